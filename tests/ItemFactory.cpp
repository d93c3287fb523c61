#include "ItemFactory.h"

#include <string.h>

HTOVIMEM MakeSolidDib(int width, int height, BYTE value) {
  DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  DWORD size = sizeof(BITMAPINFOHEADER) + stride * static_cast<DWORD>(height);
  HTOVIMEM dib = ToviMemAlloc(TOVI_FIXED_ZERO, size);
  if (!dib) return nullptr;
  auto* header = static_cast<BITMAPINFOHEADER*>(ToviMemLock(dib));
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biSizeImage = stride * static_cast<DWORD>(height);
  memset(header + 1, value, header->biSizeImage);
  ToviMemUnlock(dib);
  return dib;
}

CThumbnail2* MakeItem(const ItemSpec& wanted) {
  tagALBUMINFOHEADER info;
  memset(&info, 0, sizeof(info));
  info.aiFileSize = wanted.size;
  info.aiFileTime = wanted.time;
  Put(info.aiPath, wanted.path);
  Put(info.aiDescription, wanted.description);
  info.aiThumbWidth = 4;
  info.aiThumbHeight = 3;
  HTOVIMEM dib = MakeSolidDib(4, 3, 0x80);
  info.aiThumbSize = ToviMemSize(dib);
  return new CThumbnail2(&info, dib, 0, 1);
}

std::vector<std::string> TestTable::Paths() {
  std::vector<std::string> paths;
  for (int i = 1; i <= GetCount(); ++i) paths.push_back(GetThumbnail(i)->GetInfo()->aiPath);
  return paths;
}

std::string TestTable::CheckIds() {
  for (int i = 1; i <= GetCount(); ++i) {
    int id = GetThumbnail(i)->GetID();
    if (id != i) return "item at position " + std::to_string(i) + " has id " + std::to_string(id);
  }
  return "";
}
