// Run by the module tests from a folder of their choosing: reports where the
// album component takes its resources from and whether the album store is
// loaded. Exit code 0 when the expectation on the command line holds.
//   module_probe.exe own|morvex
#include <album.h>
#include <stdio.h>
#include <string.h>

#include "../manager/Module.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  HMODULE album = GetModuleHandleA("album.dll");
  HMODULE resources = GetResourceModule();
  HMODULE morvex = GetModuleHandleA("Morvex.dll");
  bool storeLoaded = GetModuleHandleA("Vandor.DLL") != nullptr;
  bool hasCursor = LoadCursorA(resources, MAKEINTRESOURCEA(4129)) != nullptr;
  printf("resources=%s store=%s cursor=%s\n", resources == album ? "own" : resources == morvex ? "morvex" : "other",
         storeLoaded ? "loaded" : "missing", hasCursor ? "yes" : "no");
  if (!storeLoaded || !resources) return 1;
  if (strcmp(argv[1], "own") == 0) return resources == album ? 0 : 1;
  return resources == morvex && morvex && hasCursor ? 0 : 1;
}
