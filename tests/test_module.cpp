// The module frame inside a host process: the resource module it chooses
// (with the fallback to its own module) and the album store it loads.
#include <gtest/gtest.h>

#include "support/Processes.h"

#include <windows.h>

#include <string>

#include "support/TestPictures.h"

namespace {

std::string BinFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\'));
}

// Copies the named files from the build's bin folder into folder.
bool CopyFromBin(const testpics::TempFolder& folder, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (!CopyFileA((BinFolder() + "\\" + name).c_str(), folder.File(name).c_str(), FALSE)) return false;
  }
  return true;
}

// Runs the probe in folder; returns its exit code (or -1).
int RunProbe(const testpics::TempFolder& folder, const char* expectation) {
  return testproc::RunProgram("\"" + folder.File("module_probe.exe") + "\" " + expectation, folder.path().c_str());
}

const std::initializer_list<const char*> kComponent = {"module_probe.exe", "album.dll", "QILDLL.dll", "Pixamo.dll",
                                                       "Vandor.DLL"};

}  // namespace

TEST(ModuleFrame, WithoutAResourceModuleResourcesComeFromTheComponent) {
  testpics::TempFolder folder;
  ASSERT_TRUE(folder.ok());
  ASSERT_TRUE(CopyFromBin(folder, kComponent));
  EXPECT_EQ(RunProbe(folder, "own"), 0) << "own module as resources, album store still loaded";
}

TEST(ModuleFrame, TheResourceModuleIsChosenWhenPresent) {
  testpics::TempFolder folder;
  ASSERT_TRUE(folder.ok());
  ASSERT_TRUE(CopyFromBin(folder, kComponent));
  ASSERT_TRUE(CopyFromBin(folder, {"Morvex.dll"}));
  EXPECT_EQ(RunProbe(folder, "morvex"), 0) << "Morvex.dll gives the resources, drag cursor included";
}

TEST(ModuleFrame, ThreadsThatNeverAttachedDoNotEndTheModule) {
  // The probe loads the component while another thread runs; that thread's
  // detach must not be counted against the threads that attached.
  testpics::TempFolder folder;
  ASSERT_TRUE(folder.ok());
  ASSERT_TRUE(CopyFromBin(folder, kComponent));
  ASSERT_TRUE(CopyFromBin(folder, {"attach_probe.exe"}));
  int code = testproc::RunProgram("\"" + folder.File("attach_probe.exe") + "\"", folder.path().c_str());
  EXPECT_EQ(code, 0) << "the registry outlived the detach of a thread that never attached";
}
