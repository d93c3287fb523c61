// Albums for the benchmarks: n items with small 24-bit thumbnails and
// distinct absolute paths, saved through the album store, and the album view
// they are shown in.
#pragma once

#include <album.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform/qil.h"

// A whole file into bytes; false when it cannot be opened or read. Others
// may go on reading, writing or deleting it meanwhile.
inline bool ReadFileBytes(const std::string& path, std::vector<BYTE>* bytes) {
  bytes->clear();
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD size = GetFileSize(file, nullptr);
  bytes->resize(size);
  DWORD got = 0;
  bool ok = size == 0 || (ReadFile(file, bytes->data(), size, &got, nullptr) && got == size);
  CloseHandle(file);
  return ok;
}

// Bytes as a whole new file (replacing one there); false unless all of them
// reached it.
inline bool WriteFileBytes(const std::string& path, const std::vector<BYTE>& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                              written == bytes.size());
  return CloseHandle(file) && ok;
}

// A width x height 24-bit picture whose bytes depend on seed. Fixed memory
// takes no moveable handle: Wine, like Windows, has at most 65,536 of those.
inline HTOVIMEM PatternPicture(int width, int height, int seed, UINT flags = TOVI_FIXED_ZERO) {
  DWORD stride = (width * 3 + 3) & ~3;
  DWORD size = sizeof(BITMAPINFOHEADER) + stride * height;
  HTOVIMEM dib = ToviMemAlloc(flags, size);
  auto* header = dib ? static_cast<BITMAPINFOHEADER*>(ToviMemLock(dib)) : nullptr;
  if (!header) {
    if (dib) ToviMemFree(dib);
    return nullptr;
  }
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biSizeImage = stride * height;
  BYTE* pixels = reinterpret_cast<BYTE*>(header + 1);
  for (DWORD i = 0; i < header->biSizeImage; ++i) pixels[i] = static_cast<BYTE>(i * 31 + seed);
  ToviMemUnlock(dib);
  return dib;
}

// The 16 x 12 picture of the benchmark albums' items.
inline HTOVIMEM SmallPicture(int seed, UINT flags = TOVI_FIXED_ZERO) { return PatternPicture(16, 12, seed, flags); }

// Deletes folder with its files and subfolders.
inline void RemoveFolder(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string path = folder + "\\" + found.cFileName;
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(path.c_str());
      } else if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0) {
        RemoveFolder(path);
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

// Item i of a benchmark album: "<folder>\<i, six digits>.jpg" with a small
// picture, optionally described as "Picture number i". The caller owns it.
inline CThumbnail2* MakeBenchItem(const char* folder, int i, bool describe, UINT pictureFlags = TOVI_FIXED_ZERO) {
  tagALBUMINFOHEADER info;
  memset(&info, 0, sizeof(info));
  snprintf(info.aiPath, sizeof(info.aiPath), "%s\\%06d.jpg", folder, i);
  if (describe) snprintf(info.aiDescription, sizeof(info.aiDescription), "Picture number %d", i);
  HTOVIMEM picture = SmallPicture(i, pictureFlags);
  info.aiThumbWidth = 16;
  info.aiThumbHeight = 12;
  info.aiThumbSize = ToviMemSize(picture);
  return new CThumbnail2(&info, picture, 0, 1);
}

// Saves an album of items 0 .. items - 1 of C:\bench\photos at path.
inline bool BuildAlbum(const std::string& path, int items, bool describe, const char* description = nullptr) {
  CAlbumDoc2 album;
  for (int i = 0; i < items; ++i) album.Insert(MakeBenchItem("C:\\bench\\photos", i, describe), nullptr);
  if (description) album.SetDescription(description);
  return album.Save(path.c_str()) != 0;
}

// The view configuration of the benchmarks' album views: rows x cols cells,
// thin frames, multiple selection, vertical scrolling.
inline tagAlbumViewCreateInfo BenchViewConfiguration(int rows, int cols) {
  tagAlbumViewCreateInfo aci;
  memset(&aci, 0, sizeof(aci));
  aci.avcRows = rows;
  aci.avcCols = cols;
  aci.avcHGap = 8;
  aci.avcVGap = 8;
  aci.avcScroll = 1;
  aci.avcSelect = 2;
  aci.avcStyle = 2;
  aci.avcCaption = 2;
  aci.avcFont.lfHeight = -12;
  aci.avcFont.lfWeight = FW_NORMAL;
  snprintf(aci.avcFont.lfFaceName, sizeof(aci.avcFont.lfFaceName), "%s", "Arial");
  return aci;
}

// An album view whose cells the benchmark can press.
class BenchAlbum : public CAlbum {
 public:
  using CAlbum::CAlbum;
  void Press(int cell, unsigned keys) {
    SendMessageA(m_hWnd, AVM_ITEMLBUTTONDOWN, keys, reinterpret_cast<LPARAM>(m_ppViews[cell]));
    SendMessageA(m_hWnd, AVM_ITEMBUTTONUP, keys, reinterpret_cast<LPARAM>(m_ppViews[cell]));
  }
};
