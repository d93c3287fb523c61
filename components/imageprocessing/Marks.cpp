// Brush and stamp marks in picture files.
//
// A file carries at most one mark; marking it again, as a brush or a stamp,
// replaces the mark it had. The marks never change a picture's data, so any
// reader still opens the file:
//
// * Windows bitmap files keep the mark in BITMAPFILEHEADER's two reserved
//   words (file offsets 6..9), which readers ignore:
//     brush: bytes "BR", then the first and the second size byte;
//     stamp: bytes "STMP".
//   A fresh bitmap has zeros there, which is no mark.
//
// * Other files get a 16-byte trailer after the picture data, which picture
//   readers never reach:
//     0  "PIXAMARK"
//     8  kind: 'B' brush, 'S' stamp
//     9  first size byte (0 for a stamp)
//     10 second size byte (0 for a stamp)
//     11 check: kind ^ first ^ second ^ 0xA5
//     12 length of the file before the trailer, 32 bits little-endian
//   The length ties the trailer to the end of the file, so bytes that happen
//   to look like one inside a picture are not taken for a mark. Formats that
//   read from the end of the file (a PCX palette, a TGA footer) are not
//   marked, since a trailer would hide what their readers look for there.
//
// Marking writes only the mark's bytes: four bytes in place for a bitmap, the
// trailer in place or appended for other files. An append that fails is cut
// back to the old length, so the file keeps its picture either way.
#include <cstdint>
#include <cstring>

#include "pixamo.h"

namespace pixamo {
namespace {

enum class MarkKind { None, Brush, Stamp };

struct Mark {
  MarkKind kind = MarkKind::None;
  BYTE first = 0;
  BYTE second = 0;
};

constexpr BYTE kBitmapBrush[2] = {'B', 'R'};
constexpr BYTE kBitmapStamp[4] = {'S', 'T', 'M', 'P'};
constexpr DWORD kBitmapMarkOffset = 6;
constexpr char kTrailerMagic[8] = {'P', 'I', 'X', 'A', 'M', 'A', 'R', 'K'};
constexpr DWORD kTrailerSize = 16;

class File {
 public:
  File(const char* path, bool write) {
    if (!path || !*path) return;
    handle_ = CreateFileA(path, write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                          FILE_SHARE_READ | (write ? 0 : FILE_SHARE_WRITE), nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  ~File() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }

  bool Size(uint64_t* size) const {
    LARGE_INTEGER li;
    if (!GetFileSizeEx(handle_, &li)) return false;
    *size = static_cast<uint64_t>(li.QuadPart);
    return true;
  }
  bool ReadAt(uint64_t offset, void* buffer, DWORD bytes) const {
    if (!Seek(offset)) return false;
    DWORD done = 0;
    return ReadFile(handle_, buffer, bytes, &done, nullptr) && done == bytes;
  }
  bool WriteAt(uint64_t offset, const void* buffer, DWORD bytes) const {
    if (!Seek(offset)) return false;
    DWORD done = 0;
    return WriteFile(handle_, buffer, bytes, &done, nullptr) && done == bytes &&
           FlushFileBuffers(handle_);
  }
  bool Truncate(uint64_t length) const { return Seek(length) && SetEndOfFile(handle_); }

 private:
  bool Seek(uint64_t offset) const {
    LARGE_INTEGER li;
    li.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(handle_, li, nullptr, FILE_BEGIN) != 0;
  }

  HANDLE handle_ = INVALID_HANDLE_VALUE;  // owned
};

enum class Layout { Unmarkable, Bitmap, Trailer };

// The first bytes of a bitmap file: "BM", the file header, then the size of
// a known info header. Checking the info header size keeps a text file that
// starts with "BM" from being taken for a bitmap and written into.
Layout LayoutOf(const File& file, uint64_t size, BYTE* head) {
  if (size == 0) return Layout::Unmarkable;
  DWORD headBytes = size < 18 ? static_cast<DWORD>(size) : 18;
  if (!file.ReadAt(0, head, headBytes)) return Layout::Unmarkable;
  if (headBytes == 18 && head[0] == 'B' && head[1] == 'M') {
    DWORD infoSize;
    std::memcpy(&infoSize, head + 14, 4);
    if (infoSize == 12 || infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 64 ||
        infoSize == 108 || infoSize == 124)
      return Layout::Bitmap;
  }
  if (headBytes >= 4 && head[0] == 0x0A && head[1] <= 5 && head[2] == 1 &&
      (head[3] == 1 || head[3] == 2 || head[3] == 4 || head[3] == 8))
    return Layout::Unmarkable;  // PCX
  static const char kTgaFooter[18] = {'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O',
                                      'N', '-', 'X', 'F', 'I', 'L', 'E', '.', '\0'};
  if (size >= sizeof kTgaFooter) {
    char tail[sizeof kTgaFooter];
    if (!file.ReadAt(size - sizeof tail, tail, sizeof tail)) return Layout::Unmarkable;
    if (std::memcmp(tail, kTgaFooter, sizeof tail) == 0) return Layout::Unmarkable;
  }
  return Layout::Trailer;
}

bool ReadTrailer(const File& file, uint64_t size, Mark* mark) {
  if (size < kTrailerSize) return false;
  BYTE t[kTrailerSize];
  if (!file.ReadAt(size - kTrailerSize, t, kTrailerSize)) return false;
  if (std::memcmp(t, kTrailerMagic, sizeof kTrailerMagic) != 0) return false;
  if (t[8] != 'B' && t[8] != 'S') return false;
  if (t[11] != static_cast<BYTE>(t[8] ^ t[9] ^ t[10] ^ 0xA5)) return false;
  DWORD length;
  std::memcpy(&length, t + 12, 4);
  if (length != size - kTrailerSize) return false;
  mark->kind = t[8] == 'B' ? MarkKind::Brush : MarkKind::Stamp;
  mark->first = t[9];
  mark->second = t[10];
  return true;
}

Mark ReadMark(const char* path) {
  Mark mark;
  File file(path, false);
  uint64_t size;
  if (!file || !file.Size(&size)) return mark;
  BYTE head[18];
  switch (LayoutOf(file, size, head)) {
    case Layout::Bitmap:
      if (std::memcmp(head + kBitmapMarkOffset, kBitmapStamp, 4) == 0) {
        mark.kind = MarkKind::Stamp;
      } else if (std::memcmp(head + kBitmapMarkOffset, kBitmapBrush, 2) == 0) {
        mark.kind = MarkKind::Brush;
        mark.first = head[kBitmapMarkOffset + 2];
        mark.second = head[kBitmapMarkOffset + 3];
      }
      break;
    case Layout::Trailer:
      ReadTrailer(file, size, &mark);
      break;
    case Layout::Unmarkable:
      break;
  }
  return mark;
}

bool WriteMark(const char* path, const Mark& mark) {
  File file(path, true);
  uint64_t size;
  if (!file || !file.Size(&size)) return false;
  BYTE head[18];
  switch (LayoutOf(file, size, head)) {
    case Layout::Bitmap: {
      BYTE field[4];
      if (mark.kind == MarkKind::Stamp) {
        std::memcpy(field, kBitmapStamp, 4);
      } else {
        std::memcpy(field, kBitmapBrush, 2);
        field[2] = mark.first;
        field[3] = mark.second;
      }
      return file.WriteAt(kBitmapMarkOffset, field, sizeof field);
    }
    case Layout::Trailer: {
      Mark existing;
      uint64_t pictureBytes = ReadTrailer(file, size, &existing) ? size - kTrailerSize : size;
      if (pictureBytes > 0xFFFFFFFFull) return false;  // the length field has 32 bits
      BYTE t[kTrailerSize];
      std::memcpy(t, kTrailerMagic, sizeof kTrailerMagic);
      t[8] = mark.kind == MarkKind::Brush ? 'B' : 'S';
      t[9] = mark.first;
      t[10] = mark.second;
      t[11] = static_cast<BYTE>(t[8] ^ t[9] ^ t[10] ^ 0xA5);
      DWORD length = static_cast<DWORD>(pictureBytes);
      std::memcpy(t + 12, &length, 4);
      if (file.WriteAt(pictureBytes, t, kTrailerSize)) return true;
      if (pictureBytes == size) file.Truncate(size);
      return false;
    }
    case Layout::Unmarkable:
      break;
  }
  return false;
}

}  // namespace
}  // namespace pixamo

using pixamo::Mark;
using pixamo::MarkKind;

PIXAMO_API int TagBrushFile(const char* path, BYTE first, BYTE second) {
  try {
    Mark mark;
    mark.kind = MarkKind::Brush;
    mark.first = first;
    mark.second = second;
    return pixamo::WriteMark(path, mark) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

PIXAMO_API int IsTaggedBrushFile(const char* path, BYTE* first, BYTE* second) {
  Mark mark;
  try {
    mark = pixamo::ReadMark(path);
  } catch (...) {
    mark = Mark();
  }
  bool brush = mark.kind == MarkKind::Brush;
  if (first) *first = brush ? mark.first : 0;
  if (second) *second = brush ? mark.second : 0;
  return brush ? 1 : 0;
}

PIXAMO_API int TagStampFile(const char* path) {
  try {
    Mark mark;
    mark.kind = MarkKind::Stamp;
    return pixamo::WriteMark(path, mark) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

PIXAMO_API int IsTaggedStampFile(const char* path) {
  try {
    return pixamo::ReadMark(path).kind == MarkKind::Stamp ? 1 : 0;
  } catch (...) {
    return 0;
  }
}
