// Damaged and hostile album files against everything that reads them: the
// LoadAlbum export, CAlbumDoc2::Load and a shown album control that loads,
// paints, scrolls and prints each one. Counts crashes, hangs and files that
// were changed on disk; all must be 0.
//
//   hostile_albums.exe                 every case of the generator
//   hostile_albums.exe --sample        the structural cases and a stride of the rest
//   hostile_albums.exe --files FOLDER  the ".abm" files of a folder (kept finds)
//   options: --hang-ms N (default 2000), --keep FOLDER (faulty cases are copied there)
//
// The cases come from a small valid album of four items with real
// thumbnails: cut at every offset, every byte flipped (with and without
// checksums made to match), absurd counts and lengths, records whose fields
// lie and pictures whose headers lie. The checks run in child processes,
// started again from the next case after a crash or a hang; the parent
// waits on the child's progress with a watchdog.
#include <windows.h>

#include <album.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "AbmCodec.h"
#include "BenchAlbums.h"
#include "BenchClock.h"
#include "BenchHeader.h"
#include "manager/Module.h"
#include "platform/qil.h"
#include "views/AlbumPrint.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Case {
  std::string name;
  Bytes bytes;
};

// Shared with the child: the case it is on and the last it finished.
struct CheckProgress {
  volatile LONG current;
  volatile LONG done;
  volatile LONG shown;  // cases the control loaded and showed with items
};

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutU64(uint8_t* p, uint64_t v) {
  PutU32(p, static_cast<uint32_t>(v));
  PutU32(p + 4, static_cast<uint32_t>(v >> 32));
}

// Recomputes every checksum the item lengths allow, so that a change gets
// past them to the checks behind.
void FixChecksums(Bytes& bytes) {
  const size_t crcAt = abm::kHeaderSize - 4;
  if (bytes.size() < abm::kHeaderSize) return;
  PutU32(bytes.data() + crcAt, abm::Crc32(bytes.data(), crcAt));
  size_t position = abm::kHeaderSize;
  while (bytes.size() - position >= abm::kItemHeaderSize) {
    uint8_t* item = bytes.data() + position;
    uint64_t body = static_cast<uint64_t>(GetU32(item)) + GetU32(item + 4);
    if (body > bytes.size() - position - abm::kItemHeaderSize) return;
    uint32_t crc = abm::Crc32(item, 8);
    crc = abm::Crc32(item + abm::kItemHeaderSize, static_cast<size_t>(body), crc);
    PutU32(item + 8, crc);
    position += abm::kItemHeaderSize + static_cast<size_t>(body);
  }
}

// Offsets of each item's header in a sound album.
std::vector<size_t> ItemOffsets(const Bytes& bytes) {
  std::vector<size_t> offsets;
  size_t position = abm::kHeaderSize;
  while (position + abm::kItemHeaderSize <= bytes.size()) {
    offsets.push_back(position);
    position += abm::kItemHeaderSize + GetU32(&bytes[position]) + GetU32(&bytes[position + 4]);
  }
  return offsets;
}

// A picture of width x height with colour bands, made into a thumbnail the
// way the album component makes them.
void* RealThumbnail(int width, int height, int seed) {
  DWORD stride = (width * 3 + 3) & ~3u;
  DWORD size = sizeof(BITMAPINFOHEADER) + stride * height;
  HTOVIMEM dib = ToviMemAlloc(TOVI_MOVABLE_ZERO, size);
  if (!dib) return nullptr;
  auto* header = static_cast<BITMAPINFOHEADER*>(ToviMemLock(dib));
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biSizeImage = stride * height;
  BYTE* pixels = reinterpret_cast<BYTE*>(header + 1);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      BYTE* p = pixels + y * stride + x * 3;
      p[0] = static_cast<BYTE>(x * 255 / width);
      p[1] = static_cast<BYTE>(y * 255 / height);
      p[2] = static_cast<BYTE>(seed * 60 + (x ^ y));
    }
  ToviMemUnlock(dib);
  void* thumbnail = MakeThumbnailPicture(dib, 80, 80);
  ToviMemFree(dib);
  return thumbnail;
}

// The valid album every case starts from: four items, one landscape, one
// portrait, one square and one very wide, with real thumbnails.
bool MakeBaseAlbum(const std::string& path, Bytes* bytes) {
  const int sizes[4][2] = {{640, 480}, {300, 500}, {64, 64}, {900, 60}};
  CAlbumDoc2 album;
  album.SetThumbnailSize(80, 80);
  album.SetDescription("Holiday pictures");
  for (int i = 0; i < 4; ++i) {
    void* thumbnail = RealThumbnail(sizes[i][0], sizes[i][1], i);
    if (!thumbnail) return false;
    const auto* header = static_cast<const BITMAPINFOHEADER*>(ToviMemLock(thumbnail));
    tagALBUMINFOHEADER info = {};
    info.aiFileSize = 50000 + i;
    info.aiFileTime = 1500000000u;
    snprintf(info.aiPath, sizeof(info.aiPath), "C:\\hostile-albums-absent\\picture%d.jpg", i + 1);
    snprintf(info.aiDescription, sizeof(info.aiDescription), "picture number %d", i + 1);
    info.aiBitCount = 24;
    info.aiWidth = static_cast<WORD>(sizes[i][0]);
    info.aiHeight = static_cast<WORD>(sizes[i][1]);
    info.aiThumbWidth = static_cast<WORD>(header->biWidth);
    info.aiThumbHeight = static_cast<WORD>(header->biHeight);
    info.aiThumbSize = ToviMemSize(thumbnail);
    ToviMemUnlock(thumbnail);
    album.Insert(new CThumbnail2(&info, thumbnail, 0, 1), nullptr);
  }
  DeleteFileA(path.c_str());
  if (!album.Save(path.c_str())) return false;
  return ReadFileBytes(path, bytes);
}

// ---------------------------------------------------------------------------
// The generator

class Generator {
 public:
  Generator(const Bytes& base, bool sample) : base_(base), sample_(sample), items_(ItemOffsets(base)) {}

  std::vector<Case> Make() {
    Structural();
    Records();
    Pictures();
    Cuts();
    Flips();
    return std::move(cases_);
  }

 private:
  void Add(const std::string& name, Bytes bytes, bool fix) {
    if (fix) FixChecksums(bytes);
    cases_.push_back({name + (fix ? " (checksums fixed)" : ""), std::move(bytes)});
  }
  // The sample keeps only the variant that gets past the checksums.
  void AddBoth(const std::string& name, const Bytes& bytes) {
    if (!sample_) Add(name, bytes, false);
    Add(name, bytes, true);
  }
  // Offsets visited by the cuts and flips: every one up to a bound, then a stride.
  std::vector<size_t> Offsets() const {
    size_t every = sample_ ? 200 : 2048;
    size_t step = sample_ ? 13 : 1;
    size_t stride = sample_ ? 5999 : 61;
    std::vector<size_t> offsets;
    for (size_t i = 0; i < base_.size(); i += i < every ? step : stride) offsets.push_back(i);
    return offsets;
  }
  size_t Picture(size_t item) const { return items_[item] + abm::kItemHeaderSize + abm::kRecordSize; }
  size_t Record(size_t item) const { return items_[item] + abm::kItemHeaderSize; }

  void Structural() {
    const uint32_t count = static_cast<uint32_t>(items_.size());
    for (uint32_t value : {0u, 1u, count - 1, count + 1, 0x10000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
      Bytes b = base_;
      PutU32(&b[8], value);
      AddBoth("item count " + std::to_string(value), b);
    }
    for (uint64_t value : {uint64_t(0), uint64_t(base_.size() - 1), uint64_t(base_.size() + 1), ~uint64_t(0)}) {
      Bytes b = base_;
      PutU64(&b[16], value);
      AddBoth("stated length " + std::to_string(value), b);
    }
    for (uint8_t version : {0, 2, 255}) {
      Bytes b = base_;
      b[5] = version;
      AddBoth("format version " + std::to_string(version), b);
    }
    for (uint16_t length : {0, 155, 157, 0xFFFF}) {
      Bytes b = base_;
      PutU16(&b[6], length);
      AddBoth("header length " + std::to_string(length), b);
    }
    {
      Bytes b = base_;
      PutU32(&b[12], 1);
      AddBoth("unknown flags", b);
      b = base_;
      memset(&b[24], 'A', 128);
      AddBoth("description without end", b);
    }
    for (size_t item : {size_t(0), items_.size() - 1}) {
      std::string which = " of item " + std::to_string(item);
      for (uint32_t value : {0u, 419u, 421u, 0xFFFFFFFFu}) {
        Bytes b = base_;
        PutU32(&b[items_[item]], value);
        AddBoth("record length " + std::to_string(value) + which, b);
      }
      uint32_t p = GetU32(&base_[items_[item] + 4]);
      for (uint32_t value : {0u, 39u, 40u, p - 1, p + 1, 64u << 20, 0xFFFFFFFFu}) {
        Bytes b = base_;
        PutU32(&b[items_[item] + 4], value);
        AddBoth("picture length " + std::to_string(value) + which, b);
      }
      for (uint32_t value : {0u, p - 1, p + 1, 0xFFFFFFFFu}) {
        Bytes b = base_;
        PutU32(&b[Record(item) + 412], value);
        AddBoth("record picture size " + std::to_string(value) + which, b);
      }
      Bytes b = base_;
      memset(&b[Record(item) + 8], 'p', 260);
      AddBoth("path without end" + which, b);
      b = base_;
      memset(&b[Record(item) + 268], 'd', 128);
      AddBoth("item description without end" + which, b);
    }
    {
      Bytes b = base_;
      b.insert(b.end(), 1000, 0x5A);
      AddBoth("bytes after the last item", b);
      Bytes twice = base_;
      twice.insert(twice.end(), base_.begin(), base_.end());
      AddBoth("album twice", twice);
      Bytes first(base_.begin(), base_.begin() + items_[1]);
      Add("header only up to item 1", first, true);
      Bytes empty(base_.begin(), base_.begin() + abm::kHeaderSize);
      PutU32(&empty[8], 0);
      PutU64(&empty[16], empty.size());
      Add("empty album", empty, true);
      Bytes many = base_;
      for (int i = 0; i < 60; ++i) many.insert(many.end(), base_.begin() + items_[0], base_.begin() + items_[1]);
      PutU32(&many[8], static_cast<uint32_t>(items_.size() + 60));
      PutU64(&many[16], many.size());
      Add("64 items, scrolled", many, true);
      Add("all zero", Bytes(base_.size(), 0), false);
      Add("all 0xFF", Bytes(base_.size(), 0xFF), false);
      Add("empty file", Bytes(), false);
    }
  }

  void Records() {
    struct Field {
      const char* name;
      size_t offset;
      size_t size;
    };
    const Field fields[] = {{"file size", 0, 4},     {"file time", 4, 4},        {"relative flag", 396, 2},
                            {"bit count", 398, 2},   {"width", 400, 2},          {"height", 402, 2},
                            {"reserved 1", 404, 4},  {"thumbnail width", 408, 2}, {"thumbnail height", 410, 2},
                            {"reserved 2", 416, 2},  {"reserved 3", 418, 2}};
    for (const Field& field : fields)
      for (uint32_t value : {0u, 1u, 0xFFFFFFFFu}) {
        if (sample_ && value != 0xFFFFFFFFu) continue;
        Bytes b = base_;
        for (size_t item = 0; item < items_.size(); ++item)
          for (size_t k = 0; k < field.size; ++k) b[Record(item) + field.offset + k] = static_cast<uint8_t>(value >> (8 * k));
        Add(std::string("record ") + field.name + " " + std::to_string(value), b, true);
      }
    const std::string paths[] = {"", "\\\\.\\NUL", "CON", "C:\\", "..\\..\\..\\..\\x.jpg", "x.jpg",
                                 "%s%s%s%n%n", "\\\\", "C:", std::string(259, 'q'), "\\\\?\\C:\\x.jpg",
                                 std::string(200, '\\')};
    for (const std::string& path : paths) {
      Bytes b = base_;
      for (size_t item = 0; item < items_.size(); ++item) {
        memset(&b[Record(item) + 8], 0, 260);
        memcpy(&b[Record(item) + 8], path.data(), path.size());
      }
      Add("record path \"" + path.substr(0, 24) + "\"", b, true);
    }
    const std::string descriptions[] = {std::string(127, 'W'), "%s%n%s%n", std::string(127, '\t'),
                                        std::string(127, '\xFF'), "\r\n\r\n\r\n"};
    for (const std::string& text : descriptions) {
      Bytes b = base_;
      for (size_t item = 0; item < items_.size(); ++item) {
        memset(&b[Record(item) + 268], 0, 128);
        memcpy(&b[Record(item) + 268], text.data(), text.size());
      }
      memset(&b[24], 0, 128);
      memcpy(&b[24], text.data(), text.size() < 126 ? text.size() : 126);
      Add("descriptions of " + std::to_string(text.size()) + " bytes " + std::to_string(uint8_t(text[0])), b, true);
    }
  }

  // A change to the picture header of every item.
  template <typename Change>
  void EachPicture(const std::string& name, Change change) {
    Bytes b = base_;
    for (size_t item = 0; item < items_.size(); ++item) {
      uint32_t size = GetU32(&b[items_[item] + 4]);
      change(&b[Picture(item)], size);
    }
    Add("picture " + name, b, true);
  }

  void Pictures() {
    for (uint32_t value : {0u, 12u, 39u, 41u, 108u, 124u, 0xFFFFFFFFu})
      EachPicture("header size " + std::to_string(value), [=](uint8_t* p, uint32_t) { PutU32(p, value); });
    for (uint32_t value : {0u, 1u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 100000u})
      EachPicture("width " + std::to_string(value), [=](uint8_t* p, uint32_t) { PutU32(p + 4, value); });
    for (uint32_t value : {0u, 1u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 100000u})
      EachPicture("height " + std::to_string(value), [=](uint8_t* p, uint32_t) { PutU32(p + 8, value); });
    EachPicture("top-down rows", [](uint8_t* p, uint32_t) { PutU32(p + 8, 0u - GetU32(p + 8)); });
    for (uint16_t value : {0, 2, 0xFFFF})
      EachPicture("planes " + std::to_string(value), [=](uint8_t* p, uint32_t) { PutU16(p + 12, value); });
    for (uint16_t value : {0, 1, 2, 4, 8, 15, 16, 32, 48, 64, 0xFFFF})
      EachPicture("bit count " + std::to_string(value), [=](uint8_t* p, uint32_t) { PutU16(p + 14, value); });
    for (uint32_t value : {1u, 2u, 3u, 4u, 5u, 6u, 0xFFFFFFFFu})
      EachPicture("compression " + std::to_string(value), [=](uint8_t* p, uint32_t) { PutU32(p + 16, value); });
    for (uint32_t value : {0u, 1u, 0xFFFFFFFFu})
      EachPicture("image size " + std::to_string(value), [=](uint8_t* p, uint32_t) { PutU32(p + 20, value); });
    for (uint32_t value : {0x7FFFFFFFu, 0xFFFFFFFFu, 0x80000000u})
      EachPicture("resolution " + std::to_string(value), [=](uint8_t* p, uint32_t) {
        PutU32(p + 24, value);
        PutU32(p + 28, value);
      });
    for (uint32_t value : {1u, 255u, 256u, 257u, 0x40000000u, 0xFFFFFFFFu})
      EachPicture("colours used " + std::to_string(value), [=](uint8_t* p, uint32_t) { PutU32(p + 32, value); });
    EachPicture("colours important 0xFFFFFFFF", [](uint8_t* p, uint32_t) { PutU32(p + 36, 0xFFFFFFFFu); });
    // Depths the store accepts but thumbnails never have, with the rows
    // shrunk so that the bytes still cover them.
    for (uint16_t bits : {1, 4, 8, 16}) {
      EachPicture("consistent " + std::to_string(bits) + "-bit", [=](uint8_t* p, uint32_t) {
        PutU16(p + 14, bits);
        PutU32(p + 32, 0);
      });
      EachPicture("consistent " + std::to_string(bits) + "-bit, one colour", [=](uint8_t* p, uint32_t) {
        PutU16(p + 14, bits);
        PutU32(p + 32, bits <= 8 ? 1 : 0);
      });
    }
    EachPicture("16-bit fields, zero masks", [](uint8_t* p, uint32_t) {
      PutU16(p + 14, 16);
      PutU32(p + 16, 3);
      memset(p + 40, 0, 12);
    });
    EachPicture("16-bit fields, full masks", [](uint8_t* p, uint32_t) {
      PutU16(p + 14, 16);
      PutU32(p + 16, 3);
      memset(p + 40, 0xFF, 12);
    });
    // Every byte of the picture as one row or one column: extreme shapes
    // that still fit the block.
    EachPicture("one row", [](uint8_t* p, uint32_t size) {
      PutU32(p + 4, (size - 40) / 3);
      PutU32(p + 8, 1);
    });
    EachPicture("one column", [](uint8_t* p, uint32_t size) {
      PutU32(p + 4, 1);
      PutU32(p + 8, (size - 40) / 4);
    });
    EachPicture("one pixel", [](uint8_t* p, uint32_t) {
      PutU32(p + 4, 1);
      PutU32(p + 8, 1);
    });
    EachPicture("one bit row", [](uint8_t* p, uint32_t size) {
      PutU16(p + 14, 1);
      PutU32(p + 32, 2);
      PutU32(p + 4, (size - 48) * 8 - 32);
      PutU32(p + 8, 1);
    });
  }

  void Cuts() {
    for (size_t length : Offsets()) {
      Bytes b(base_.begin(), base_.begin() + length);
      Add("cut at " + std::to_string(length), b, false);
    }
  }

  void Flips() {
    for (size_t offset : Offsets()) {
      Bytes b = base_;
      b[offset] ^= 0xFF;
      AddBoth("byte " + std::to_string(offset) + " flipped", b);
    }
  }

  const Bytes& base_;
  bool sample_;
  std::vector<size_t> items_;
  std::vector<Case> cases_;
};

// ---------------------------------------------------------------------------
// The checks, in the child

struct FindClass {
  const char* name;
  HWND found;
};

BOOL CALLBACK FindChildOfClass(HWND window, LPARAM context) {
  auto* find = reinterpret_cast<FindClass*>(context);
  char name[64];
  if (GetClassNameA(window, name, sizeof(name)) && _stricmp(name, find->name) == 0) {
    find->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND ChildOfClass(HWND parent, const char* name) {
  FindClass find = {name, nullptr};
  EnumChildWindows(parent, FindChildOfClass, reinterpret_cast<LPARAM>(&find));
  return find.found;
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// A memory page for printing when there is no printer.
class MemoryPage {
 public:
  MemoryPage() : dc_(CreateCompatibleDC(nullptr)) {
    bitmap_ = CreateCompatibleBitmap(GetDC(nullptr), 850, 1100);
    previous_ = SelectObject(dc_, bitmap_);
  }
  ~MemoryPage() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
};

LRESULT CALLBACK HostProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, msg, wParam, lParam);
}

// The album control every case is loaded into, as a manager loads album
// after album into its one control.
struct View {
  HWND host = nullptr;
  HWND window = nullptr;
  CAlbum* album = nullptr;
  HWND bar = nullptr;
  HWND list = nullptr;
};

bool MakeView(View* view) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "HostileAlbumsHost";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClassA(&wc);
  view->host = CreateWindowExA(0, wc.lpszClassName, "hostile albums", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 460,
                               360, nullptr, nullptr, wc.hInstance, nullptr);
  if (!view->host) return false;
  view->window = CreateWindowExA(0, "ManDlgAlbumCtrl", "", WS_CHILD | WS_VISIBLE, 0, 0, 420, 300, view->host,
                                 nullptr, GetResourceModule(), nullptr);
  auto* ctrl = view->window ? reinterpret_cast<CAlbumCtrl*>(GetWindowLongPtrA(view->window, GWLP_USERDATA)) : nullptr;
  view->album = ctrl ? ctrl->GetAlbum() : nullptr;
  if (!view->album) return false;
  view->bar = ChildOfClass(view->window, "SCROLLBAR");
  view->list = view->album->GetViewWindow();
  UpdateWindow(view->host);
  return true;
}

// Returns whether the control loaded and showed items.
bool CheckOne(const std::string& path, View& view, HDC copy, HDC printer) {
  int count = 0;
  void** pictures = nullptr;
  tagALBUMINFOHEADER** infos = nullptr;
  if (LoadAlbum(path.c_str(), &count, &pictures, &infos) == 0) {
    for (int i = 0; i < count; ++i) {
      ToviMemFree(pictures[i]);
      ToviMemFree(infos[i]);
    }
    ToviMemFree(pictures);
    ToviMemFree(infos);
  }

  CAlbumDoc2 document;
  document.Load(path.c_str(), 1);

  view.album->Load(path.c_str());
  UpdateWindow(view.window);
  PrintWindow(view.window, copy, 0);
  // A refused album leaves the control empty: nothing to scroll or print.
  if (view.album->GetDocument()->GetCount() == 0) return false;
  for (int step : {SB_PAGEDOWN, SB_LINEDOWN, SB_BOTTOM, SB_PAGEUP, SB_TOP}) {
    SendMessageA(view.window, WM_VSCROLL, MAKEWPARAM(step, 0), reinterpret_cast<LPARAM>(view.bar));
    UpdateWindow(view.window);
  }
  for (WPARAM key : {VK_END, VK_HOME, VK_NEXT}) {
    SendMessageA(view.list, WM_KEYDOWN, key, 0);
    SendMessageA(view.list, WM_KEYUP, key, 0);
  }
  RedrawWindow(view.window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  PrintWindow(view.window, copy, 0);
  PumpMessages();
  PrintAlbumPages(printer, "hostile album", view.album->GetDocument(), 0, 1, 76, 76);
  PrintAlbumPages(printer, "hostile album", &document, 0, 0, 40, 200);
  return true;
}

std::vector<std::string> ReadList(const std::string& listFile) {
  std::vector<std::string> paths;
  FILE* file = fopen(listFile.c_str(), "r");
  if (!file) return paths;
  char line[MAX_PATH + 2];
  while (fgets(line, sizeof(line), file)) {
    size_t length = strcspn(line, "\r\n");
    line[length] = '\0';
    if (length) paths.push_back(line);
  }
  fclose(file);
  return paths;
}

HDC PrinterOrNull() {
  PRINTDLGA pd = {};
  pd.lStructSize = sizeof(pd);
  HDC dc = CreatePrinterDC(&pd);
  if (pd.hDevMode) GlobalFree(pd.hDevMode);
  if (pd.hDevNames) GlobalFree(pd.hDevNames);
  return dc;
}

LONG WINAPI EndOnCrash(EXCEPTION_POINTERS*) {
  TerminateProcess(GetCurrentProcess(), 0xC0DE);
  return EXCEPTION_EXECUTE_HANDLER;
}

int RunChild(const std::string& listFile, const char* mappingName, const char* eventName, LONG from) {
  HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, mappingName);
  HANDLE progressed = OpenEventA(EVENT_MODIFY_STATE, FALSE, eventName);
  if (!mapping || !progressed) return 3;
  auto* progress = static_cast<CheckProgress*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(CheckProgress)));
  if (!progress) return 3;
  // A crash ends this process at once, without a debugger or a dialog: the
  // parent counts it and goes on with the next case.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(EndOnCrash);
  std::vector<std::string> paths = ReadList(listFile);

  View view;
  if (!MakeView(&view)) return 3;
  HDC printer = PrinterOrNull();
  MemoryPage page;
  HDC screen = GetDC(view.host);
  HDC copy = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 420, 300);
  HGDIOBJ previous = SelectObject(copy, bitmap);
  for (LONG i = from; i < static_cast<LONG>(paths.size()); ++i) {
    InterlockedExchange(&progress->current, i);
    SetEvent(progressed);
    if (CheckOne(paths[i], view, copy, printer ? printer : page.dc())) InterlockedIncrement(&progress->shown);
    InterlockedExchange(&progress->done, i);
    SetEvent(progressed);
  }
  SelectObject(copy, previous);
  DeleteObject(bitmap);
  DeleteDC(copy);
  ReleaseDC(view.host, screen);
  if (printer) DeleteDC(printer);
  DestroyWindow(view.host);
  return 0;
}

// ---------------------------------------------------------------------------
// The parent

std::string OwnPath() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
  return length && length < sizeof(path) ? std::string(path) : std::string();
}

// Names in folder, without "." and "..".
std::vector<std::string> FilesIn(const std::string& folder, const char* pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

void RemoveFolder(const std::string& folder) {
  for (const std::string& name : FilesIn(folder, "*")) {
    std::string path = folder + "\\" + name;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
  }
  RemoveDirectoryA(folder.c_str());
}

struct Outcome {
  std::vector<int> crashes, hangs;
  LONG shown = 0;
};

// Runs children over paths[0..n) until every case was checked.
bool RunChecks(const std::vector<std::string>& paths, const std::string& listFile, DWORD hangMs, Outcome* outcome) {
  std::string suffix = std::to_string(GetCurrentProcessId());
  std::string mappingName = "albumkit-hostile-progress-" + suffix;
  std::string eventName = "albumkit-hostile-progressed-" + suffix;
  HANDLE mapping =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(CheckProgress), mappingName.c_str());
  HANDLE progressed = CreateEventA(nullptr, FALSE, FALSE, eventName.c_str());
  auto* progress = mapping ? static_cast<CheckProgress*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
  if (!progress || !progressed) return false;
  std::string self = OwnPath();
  const LONG total = static_cast<LONG>(paths.size());
  LONG from = 0;
  progress->shown = 0;
  bool ok = true;
  while (from < total) {
    progress->current = -1;
    progress->done = from - 1;
    std::string command = "\"" + self + "\" --child \"" + listFile + "\" " + mappingName + " " + eventName + " " +
                          std::to_string(from);
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child = {};
    if (!CreateProcessA(self.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
      printf("cannot start a checking process (error %lu)\n", GetLastError());
      ok = false;
      break;
    }
    // The watchdog runs from the start of each case; starting the process
    // and its window is not a case's time.
    bool started = false;
    for (;;) {
      HANDLE waits[2] = {progressed, child.hProcess};
      DWORD woke = WaitForMultipleObjects(2, waits, FALSE, started ? hangMs : 120000);
      LONG current = progress->current, done = progress->done;
      if (current >= 0) started = true;
      if (woke == WAIT_OBJECT_0) {
        if (done == total - 1) {
          WaitForSingleObject(child.hProcess, 120000);
          from = total;
          break;
        }
        continue;
      }
      if (woke == WAIT_OBJECT_0 + 1) {
        // Ended: a crash while on a case it had not finished.
        if (done == total - 1) {
          from = total;
        } else if (current > done) {
          outcome->crashes.push_back(current);
          from = current + 1;
        } else {
          printf("a checking process ended between cases (exit code lost)\n");
          ok = false;
          from = total;
        }
        break;
      }
      // No progress within the limit.
      TerminateProcess(child.hProcess, 9);
      WaitForSingleObject(child.hProcess, INFINITE);
      if (!started) {
        printf("a checking process did not start\n");
        ok = false;
        from = total;
      } else {
        LONG stuck = current > done ? current : done + 1;
        outcome->hangs.push_back(stuck);
        from = stuck + 1;
      }
      break;
    }
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
  }
  outcome->shown = progress->shown;
  UnmapViewOfFile(progress);
  CloseHandle(mapping);
  CloseHandle(progressed);
  return ok;
}

int RunParent(int argc, char** argv) {
  bool sample = false;
  std::string replay, keep;
  DWORD hangMs = 2000;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--sample") == 0) sample = true;
    else if (strcmp(argv[i], "--files") == 0 && i + 1 < argc) replay = argv[++i];
    else if (strcmp(argv[i], "--keep") == 0 && i + 1 < argc) keep = argv[++i];
    else if (strcmp(argv[i], "--hang-ms") == 0 && i + 1 < argc) hangMs = static_cast<DWORD>(atoi(argv[++i]));
    else {
      printf("usage: hostile_albums.exe [--sample | --files FOLDER] [--hang-ms N] [--keep FOLDER]\n");
      return 2;
    }
  }
  char emulation[256];
  DescribeI386Emulation(emulation, sizeof(emulation));

  char temp[MAX_PATH];
  if (!GetTempPathA(sizeof(temp), temp)) return 2;
  std::string folder = std::string(temp) + "albumkit-hostile-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);

  std::vector<Case> cases;
  if (!replay.empty()) {
    for (const std::string& name : FilesIn(replay, "*.abm")) {
      Case c{name, {}};
      if (ReadFileBytes(replay + "\\" + name, &c.bytes)) cases.push_back(std::move(c));
    }
    if (cases.empty()) {
      printf("no album files in %s\n", replay.c_str());
      RemoveFolder(folder);
      return 2;
    }
  } else {
    Bytes base;
    if (!MakeBaseAlbum(folder + "\\base.abm", &base)) {
      printf("cannot make the base album\n");
      RemoveFolder(folder);
      return 2;
    }
    DeleteFileA((folder + "\\base.abm").c_str());
    cases = Generator(base, sample).Make();
  }

  std::vector<std::string> paths;
  std::string listFile = folder + "\\list.txt";
  FILE* list = fopen(listFile.c_str(), "w");
  if (!list) return 2;
  for (size_t i = 0; i < cases.size(); ++i) {
    char name[32];
    snprintf(name, sizeof(name), "case%05u.abm", static_cast<unsigned>(i));
    paths.push_back(folder + "\\" + name);
    if (!WriteFileBytes(paths.back(), cases[i].bytes)) return 2;
    fprintf(list, "%s\n", paths.back().c_str());
  }
  fclose(list);
  HDC printer = PrinterOrNull();
  printf("hostile albums: %u cases%s%s%s; printing to %s\n", static_cast<unsigned>(cases.size()),
         replay.empty() ? (sample ? " (sample)" : "") : " from ", replay.c_str(),
         emulation[0] ? (std::string(", under ") + emulation).c_str() : "",
         printer ? "the default printer" : "a memory page (no printer here)");
  if (printer) DeleteDC(printer);
  fflush(stdout);

  double begin = Seconds();
  Outcome outcome;
  bool ok = RunChecks(paths, listFile, hangMs, &outcome);
  double seconds = Seconds() - begin;

  std::vector<int> changed;
  for (size_t i = 0; i < cases.size(); ++i) {
    Bytes now;
    if (!ReadFileBytes(paths[i], &now) || now != cases[i].bytes) changed.push_back(static_cast<int>(i));
  }
  // Anything new beside the cases (a backup, a temporary file) is a change too.
  int extra = static_cast<int>(FilesIn(folder, "*").size()) - static_cast<int>(cases.size()) - 1;
  auto report = [&](const char* what, const std::vector<int>& which) {
    for (int i : which) {
      printf("  %s: %s\n", what, cases[i].name.c_str());
      if (!keep.empty()) {
        std::string kept = keep + "\\" + what + "-" + std::to_string(i) + ".abm";
        WriteFileBytes(kept, cases[i].bytes);
      }
    }
  };
  report("crash", outcome.crashes);
  report("hang", outcome.hangs);
  report("changed", changed);
  printf("%u hostile albums: %u crashes, %u hangs, %u changed\n", static_cast<unsigned>(cases.size()),
         static_cast<unsigned>(outcome.crashes.size()), static_cast<unsigned>(outcome.hangs.size()),
         static_cast<unsigned>(changed.size() + (extra > 0 ? extra : 0)));
  printf("%ld of them passed the store's checks and were shown, scrolled and printed; %.1f s, %.0f ms a case\n",
         outcome.shown, seconds, cases.empty() ? 0.0 : seconds * 1000 / cases.size());
  RemoveFolder(folder);
  return ok && outcome.crashes.empty() && outcome.hangs.empty() && changed.empty() && extra <= 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 6 && strcmp(argv[1], "--child") == 0) return RunChild(argv[2], argv[3], argv[4], atol(argv[5]));
  return RunParent(argc, argv);
}
