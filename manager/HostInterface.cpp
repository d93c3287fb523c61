// The exported functions through which a host drives the album managers of
// its threads.
#include <album.h>

#include <string.h>

#include "manager/Module.h"
#include "manager/ThreadRegistry.h"

int GetAcitveAlbumThumbnialList(int& count, char (*&list)[260]) {
  count = 0;
  list = nullptr;
  CThreadRegistry* registry = GetThreadRegistry();
  return registry ? registry->GetActiveImageList(GetCurrentThreadId(), count, list) : 0;
}

int GetAcitveAlbumSelectedThumbnialList(int& count, char (*&list)[260]) {
  count = 0;
  list = nullptr;
  CThreadRegistry* registry = GetThreadRegistry();
  return registry ? registry->GetActiveSelectedImageList(GetCurrentThreadId(), count, list) : 0;
}

int InitCurUserPath(const char* folder) {
  if (!SetUserFolder(folder)) return 0;
  return static_cast<int>(strlen(folder)) + 1;
}
