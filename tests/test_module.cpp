// The module frame inside a host process: the resource module it chooses
// (with the fallback to its own module) and the album store it loads.
#include <gtest/gtest.h>

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
  std::string command = "\"" + folder.File("module_probe.exe") + "\" " + expectation;
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.path().c_str(), &startup,
                      &process)) {
    return -1;
  }
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
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
  std::string command = "\"" + folder.File("attach_probe.exe") + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.path().c_str(),
                             &startup, &process));
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 99;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(code, 0u) << "the registry outlived the detach of a thread that never attached";
}
