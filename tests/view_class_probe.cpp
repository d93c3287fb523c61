// Run by the list view tests: loads the album component at run time and
// reports whether its two view classes are registered with the resource
// module while it is loaded, and gone once it is unloaded. Exit code 0 when
// both hold.
#include <windows.h>

#include <stdio.h>

namespace {

bool ViewClassesRegistered(HMODULE resources) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  return GetClassInfoExA(resources, "ThumbViewClass", &wc) && GetClassInfoExA(resources, "CThumbListView2", &wc);
}

bool NoViewClassRegistered(HMODULE resources) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  return !GetClassInfoExA(resources, "ThumbViewClass", &wc) && !GetClassInfoExA(resources, "CThumbListView2", &wc);
}

}  // namespace

int main() {
  // Loaded first and kept, so that its handle still names it after the
  // component lets go of it.
  HMODULE resources = LoadLibraryA("Morvex.dll");
  if (!resources) return 2;
  bool before = NoViewClassRegistered(resources);
  HMODULE album = LoadLibraryA("album.dll");
  if (!album) return 3;
  bool loaded = ViewClassesRegistered(resources);
  FreeLibrary(album);
  bool unloaded = NoViewClassRegistered(resources);
  printf("before=%d loaded=%d unloaded=%d\n", before, loaded, unloaded);
  return before && loaded && unloaded ? 0 : 1;
}
