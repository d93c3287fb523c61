#include "Path.h"

#include <string.h>

bool SplitAlbumPathParts(const char* path, SplitPathParts* parts) {
  parts->drive[0] = parts->dir[0] = parts->fname[0] = parts->ext[0] = '\0';
  if (!path) return false;
  bool network = path[0] == '\\' && path[1] == '\\';
  const char* rest = network ? path + 1 : path;
  if (strnlen(rest, _MAX_PATH) >= _MAX_PATH) return false;
  if (_splitpath_s(rest, parts->drive, sizeof(parts->drive), parts->dir, sizeof(parts->dir),
                   parts->fname, sizeof(parts->fname), parts->ext, sizeof(parts->ext)) != 0) {
    parts->drive[0] = parts->dir[0] = parts->fname[0] = parts->ext[0] = '\0';
    return false;
  }
  if (network) {
    parts->drive[0] = '\\';
    parts->drive[1] = '\0';
  }
  return true;
}

bool IsRelativePath(const char* path) {
  // What the splitter reports as a drive: a letter and colon at the start,
  // or the "\\" of a network path. Tested directly, since every item built
  // while loading an album asks.
  if (!path || !path[0]) return true;
  if (path[0] == '\\' && path[1] == '\\') return false;
  return path[1] != ':';
}
