#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/trace_writer.hpp"
#include "cli/usage_error.hpp"

namespace zet::cli {
namespace {

using embedded::TraceRecord;

TEST(TraceLine, StatementTextIsKeptExactlyWithCrLfAndBlanks) {
  const TraceRecord record{
      "ZetMClass.ClassUpdate",
      "UpdateBatch",
      {Variant::String("UserID=25;"),
       Variant::Array(VariantArray{{Variant::String("update  x\r\n delete y\r\n")}, 0, VarType::String})}};
  EXPECT_EQ(TraceLine(record), R"({"object":"ZetMClass.ClassUpdate","member":"UpdateBatch","args":["UserID=25;",)"
                               R"(["update  x\r\n delete y\r\n"]]})");
}

TEST(TraceLine, EachSubtypeBecomesItsJsonForm) {
  const TraceRecord record{"ABar",
                           "Tools",
                           {Variant(), Variant::Null(), Variant::Integer(3), Variant::Long(-2147205104),
                            Variant::Double(1.25), Variant::Boolean(true), Variant::Boolean(false), Variant::Nothing(),
                            Variant::Array(VariantArray{{Variant::Long(1), Variant::Null(), Variant::String("s")}})}};
  EXPECT_EQ(TraceLine(record),
            R"({"object":"ABar","member":"Tools","args":[null,null,3,-2147205104,1.25,true,false,"<object>",)"
            R"([1,null,"s"]]})");
}

TEST(TraceLine, AnObjectArgumentIsNamedNotRead) {
  struct Unreadable : Dispatch {
    Variant Invoke(std::string_view, CallKind, std::span<Argument>) override {
      ADD_FAILURE() << "the trace must not call the object";
      return {};
    }
  };
  const TraceRecord record{"X", "Y", {Variant::Object(std::make_shared<Unreadable>())}};
  EXPECT_EQ(TraceLine(record), R"({"object":"X","member":"Y","args":["<object>"]})");
}

TEST(TraceWriter, AppendsOneLinePerCallAndPausesForTheToolsOwnReading) {
  const auto path = std::filesystem::temp_directory_path() / ("zet_trace_" + std::to_string(::getpid()) + ".jsonl");
  std::filesystem::remove(path);
  {
    std::ofstream earlier(path);
    earlier << "earlier\n";
  }
  std::ostringstream err;
  {
    TraceWriter writer(path.string(), err);
    writer.Write({"A", "one", {}});
    writer.Pause();
    writer.Write({"A", "hidden", {}});
    writer.Resume();
    writer.Write({"A", "two", {Variant::Long(1)}});
  }
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "earlier\n"
            R"({"object":"A","member":"one","args":[]})"
            "\n"
            R"({"object":"A","member":"two","args":[1]})"
            "\n");
  EXPECT_EQ(err.str(), "");
  std::filesystem::remove(path);
}

TEST(TraceWriter, DashWritesToStandardError) {
  std::ostringstream err;
  TraceWriter writer("-", err);
  writer.Write({"ZetConnection.AppConnection", "Execute", {Variant::String(" SELECT 1")}});
  EXPECT_EQ(err.str(), R"({"object":"ZetConnection.AppConnection","member":"Execute","args":[" SELECT 1"]})"
                       "\n");
}

TEST(TraceWriter, AnUnwritablePathIsAUsageError) {
  std::ostringstream err;
  EXPECT_THROW(TraceWriter("/nonexistent-dir/trace.jsonl", err), UsageError);
}

}  // namespace
}  // namespace zet::cli
