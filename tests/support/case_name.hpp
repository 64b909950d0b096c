#pragma once

#include <gtest/gtest.h>

#include <string>

namespace zet::testing {

// Names the instances of a table-driven test after the `name` of their case.
struct CaseName {
  template <class Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& case_info) const {
    return case_info.param.name;
  }
};

}  // namespace zet::testing
