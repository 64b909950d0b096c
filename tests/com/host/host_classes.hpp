#pragma once

namespace zet::testhost {

class HostObject;

enum class HostClass {
  ShareProps,
  ServiceFactory,
  ValueList,
  ClassInfo,
  ClassUpdate,
  SysInfo,
  SecurityInfo,
  BillData,
  AppConnection,
  Toolbar,
  Recorder,
};

// A new object of the class with one reference.
HostObject* CreateHostObject(HostClass kind);

}  // namespace zet::testhost
