#include "AlbumMan.h"

#include "AlbumCtrl.h"
#include "Module.h"
#include "components/resources/resource.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "views/Album.h"

CAlbumCtrl* CAlbumMan::GetAlbumCtrl() { return m_pAlbumCtrl; }

int CAlbumMan::GetCurrentAlbumName(char* buffer, int form) {
  CAlbum* album = m_pAlbumCtrl ? m_pAlbumCtrl->GetAlbum() : nullptr;
  if (!album || !buffer) return 0;
  if (m_bUntitled) {
    char untitled[64] = "";
    LoadStringA(GetResourceModule(), IDS_UNTITLED_ALBUM, untitled, sizeof(untitled));
    CopyText(buffer, MAX_PATH, untitled);
    return 1;
  }
  const char* path = album->GetDocument()->GetPath();
  SplitPathParts parts;
  switch (form) {
    case ALBUM_NAME_FULL_PATH:
      CopyText(buffer, MAX_PATH, path);
      break;
    case ALBUM_NAME_WITH_EXTENSION:
    case ALBUM_NAME_BARE: {
      SplitAlbumPathParts(path, &parts);
      char name[MAX_PATH];
      CopyText(name, parts.fname);
      if (form == ALBUM_NAME_WITH_EXTENSION) {
        size_t used = strlen(name);
        CopyText(name + used, sizeof(name) - used, parts.ext);
      }
      CopyText(buffer, MAX_PATH, name);
      break;
    }
    default:
      break;
  }
  return 1;
}
