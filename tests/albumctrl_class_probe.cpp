// Run by the album control tests: loads the album component at run time and
// reports whether the three album control classes are registered with the
// resource module while it is loaded, and gone once it is unloaded. Exit
// code 0 when both hold.
#include <windows.h>

#include <stdio.h>

namespace {

const char* const kClasses[] = {"ManDlgAlbumCtrl", "OptionDlgAlbumCtrl", "WizDlgAlbumCtrl"};

int RegisteredCount(HMODULE resources) {
  int count = 0;
  for (const char* name : kClasses) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    count += GetClassInfoExA(resources, name, &wc) ? 1 : 0;
  }
  return count;
}

}  // namespace

int main() {
  // Loaded first and kept, so that its handle still names it after the
  // component lets go of it.
  HMODULE resources = LoadLibraryA("Morvex.dll");
  if (!resources) return 2;
  int before = RegisteredCount(resources);
  HMODULE album = LoadLibraryA("album.dll");
  if (!album) return 3;
  int loaded = RegisteredCount(resources);
  FreeLibrary(album);
  int unloaded = RegisteredCount(resources);
  printf("before=%d loaded=%d unloaded=%d\n", before, loaded, unloaded);
  return before == 0 && loaded == 3 && unloaded == 0 ? 0 : 1;
}
