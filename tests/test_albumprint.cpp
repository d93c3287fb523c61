// Album printing: the page layout, name shortening, banded picture output,
// whole contact sheets printed into recorded metafiles and memory bitmaps,
// the printer device context without a printer, and the print dialog.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>
#include <winternl.h>

#include <limits.h>
#include <string.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../components/resources/resource.h"
#include "../platform/pixamo.h"
#include "../views/AlbumPrint.h"
#include "ItemFactory.h"
#include "support/TestPictures.h"

namespace {

// ---------------------------------------------------------------------------
// Helpers

std::string RectText(int x, int y, int cx, int cy) {
  return "(" + std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(cx) + " x " +
         std::to_string(cy) + ")";
}

// Items carry a selection mark only the album's classes may set; a member
// pointer named through a derived class reaches it without one.
struct SelectionAccess : CThumbnail2 {
  static void Select(CThumbnail2* item) { (item->*&SelectionAccess::SetSelect)(1); }
};

// A 24-bit picture with horizontal stripes, colours[0] at the top.
HTOVIMEM MakeStripedDib(int width, int height, bool topDown, const std::vector<COLORREF>& colours) {
  DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  DWORD size = sizeof(BITMAPINFOHEADER) + stride * static_cast<DWORD>(height);
  HTOVIMEM dib = ToviMemAlloc(TOVI_MOVABLE_ZERO, size);
  if (!dib) return nullptr;
  auto* header = static_cast<BITMAPINFOHEADER*>(ToviMemLock(dib));
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = topDown ? -height : height;
  header->biPlanes = 1;
  header->biBitCount = 24;
  auto* bits = reinterpret_cast<BYTE*>(header + 1);
  for (int row = 0; row < height; ++row) {
    COLORREF colour = colours[static_cast<size_t>(row) * colours.size() / static_cast<size_t>(height)];
    BYTE* line = bits + static_cast<size_t>(topDown ? row : height - 1 - row) * stride;
    for (int x = 0; x < width; ++x) {
      line[x * 3] = GetBValue(colour);
      line[x * 3 + 1] = GetGValue(colour);
      line[x * 3 + 2] = GetRValue(colour);
    }
  }
  ToviMemUnlock(dib);
  return dib;
}

// A memory handle holding exactly these bytes.
HTOVIMEM MakeRawHandle(const std::vector<BYTE>& bytes) {
  HTOVIMEM mem = ToviMemAlloc(TOVI_MOVABLE_ZERO, static_cast<DWORD>(bytes.size()));
  if (!mem) return nullptr;
  memcpy(ToviMemLock(mem), bytes.data(), bytes.size());
  ToviMemUnlock(mem);
  return mem;
}

// Pictures the test made and frees.
struct FreePicture {
  void operator()(void* picture) const { ToviMemFree(picture); }
};
using OwnedHandle = std::unique_ptr<void, FreePicture>;

// An album item with a solid grey thumbnail of the given size; the record's
// thumbnail size may be set apart from the picture's.
CThumbnail2* MakePrintItem(const std::string& path, int thumbWidth, int thumbHeight, BYTE grey) {
  tagALBUMINFOHEADER info;
  memset(&info, 0, sizeof(info));
  Put(info.aiPath, path);
  HTOVIMEM dib = MakeSolidDib(thumbWidth > 0 ? thumbWidth : 4, thumbHeight > 0 ? thumbHeight : 4, grey);
  info.aiThumbWidth = static_cast<WORD>(thumbWidth);
  info.aiThumbHeight = static_cast<WORD>(thumbHeight);
  info.aiThumbSize = ToviMemSize(dib);
  return new CThumbnail2(&info, dib, 0, 1);
}

// ---------------------------------------------------------------------------
// Enhanced metafile recording: every record of what was drawn, in order.

struct EmfRecord {
  DWORD type;
  std::vector<BYTE> bytes;
};

int CALLBACK CollectRecord(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM param) {
  auto* records = reinterpret_cast<std::vector<EmfRecord>*>(param);
  const BYTE* bytes = reinterpret_cast<const BYTE*>(record);
  records->push_back({record->iType, std::vector<BYTE>(bytes, bytes + record->nSize)});
  return 1;
}

std::vector<EmfRecord> RecordEmf(const std::function<void(HDC)>& draw) {
  std::vector<EmfRecord> records;
  HDC dc = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
  if (!dc) return records;
  draw(dc);
  HENHMETAFILE emf = CloseEnhMetaFile(dc);
  EnumEnhMetaFile(nullptr, emf, CollectRecord, &records, nullptr);
  DeleteEnhMetaFile(emf);
  return records;
}

template <class T>
std::vector<T> RecordsOf(const std::vector<EmfRecord>& records, DWORD type) {
  std::vector<T> found;
  for (const EmfRecord& record : records) {
    if (record.type != type) continue;
    // Records may be shorter than the structure that describes their largest form.
    T value;
    memset(&value, 0, sizeof(value));
    memcpy(&value, record.bytes.data(), record.bytes.size() < sizeof(T) ? record.bytes.size() : sizeof(T));
    found.push_back(value);
  }
  return found;
}

size_t CountRecords(const std::vector<EmfRecord>& records, DWORD type) {
  size_t count = 0;
  for (const EmfRecord& record : records) count += record.type == type;
  return count;
}

struct Stretch {
  LONG x, y, cx, cy;       // destination
  LONG srcWidth, srcHeight;
  DWORD bitsBytes;
  std::string Dest() const { return RectText(x, y, cx, cy); }
};

std::vector<Stretch> Stretches(const std::vector<EmfRecord>& records) {
  std::vector<Stretch> stretches;
  for (const EMRSTRETCHDIBITS& r : RecordsOf<EMRSTRETCHDIBITS>(records, EMR_STRETCHDIBITS)) {
    stretches.push_back({r.xDest, r.yDest, r.cxDest, r.cyDest, r.cxSrc, r.cySrc, r.cbBitsSrc});
  }
  return stretches;
}

struct PrintedText {
  POINTL at;
  std::string text;
};

// Text output is recorded as wide text whichever call made it.
std::vector<PrintedText> Texts(const std::vector<EmfRecord>& records) {
  std::vector<PrintedText> texts;
  for (const EmfRecord& record : records) {
    if (record.type != EMR_EXTTEXTOUTW && record.type != EMR_EXTTEXTOUTA) continue;
    EMREXTTEXTOUTW r;
    if (record.bytes.size() < sizeof(r)) continue;
    memcpy(&r, record.bytes.data(), sizeof(r));
    size_t charBytes = record.type == EMR_EXTTEXTOUTW ? 2 : 1;
    if (r.emrtext.offString + static_cast<size_t>(r.emrtext.nChars) * charBytes > record.bytes.size()) continue;
    std::string text;
    for (DWORD i = 0; i < r.emrtext.nChars; ++i) {
      if (record.type == EMR_EXTTEXTOUTW) {
        WCHAR c;
        memcpy(&c, record.bytes.data() + r.emrtext.offString + i * 2, 2);
        text += static_cast<char>(c);
      } else {
        text += static_cast<char>(record.bytes[r.emrtext.offString + i]);
      }
    }
    texts.push_back({r.emrtext.ptlReference, text});
  }
  return texts;
}

// ---------------------------------------------------------------------------
// A memory bitmap standing in for the printer: 24-bit, as large as the
// context reports its page, white before each page.

class MemoryPage {
public:
  MemoryPage() : dc_(CreateCompatibleDC(nullptr)) {
    width_ = GetDeviceCaps(dc_, HORZRES);
    height_ = GetDeviceCaps(dc_, VERTRES);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<BYTE*>(bits);
    stride_ = (width_ * 3 + 3) & ~3;
    previous_ = SelectObject(dc_, bitmap_);
    Clear();
  }
  ~MemoryPage() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  MemoryPage(const MemoryPage&) = delete;
  MemoryPage& operator=(const MemoryPage&) = delete;

  bool ok() const { return bits_ != nullptr; }
  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }
  void Clear() {
    GdiFlush();
    if (bits_) memset(bits_, 0xFF, static_cast<size_t>(stride_) * height_);
  }
  COLORREF Pixel(int x, int y) const {
    GdiFlush();
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    const BYTE* p = bits_ + static_cast<size_t>(y) * stride_ + x * 3;
    return RGB(p[2], p[1], p[0]);
  }

private:
  HDC dc_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  BYTE* bits_ = nullptr;
  int width_ = 0, height_ = 0, stride_ = 0;
};

std::string ColourText(COLORREF colour) {
  return "rgb(" + std::to_string(GetRValue(colour)) + ", " + std::to_string(GetGValue(colour)) + ", " +
         std::to_string(GetBValue(colour)) + ")";
}

// What one finished page showed in each slot of the grid.
struct SlotView {
  bool framed;       // the top edge of the box is drawn
  COLORREF centre;   // the colour in the middle of the box
};

struct PageRecorder {
  MemoryPage* page;
  PrintLayout layout;
  std::vector<std::vector<SlotView>> pages;
  std::vector<int> numbers;
};

void RecordPage(void* context, HDC, int number) {
  auto* recorder = static_cast<PageRecorder*>(context);
  std::vector<SlotView> slots;
  const PrintLayout& l = recorder->layout;
  for (int s = 0; s < l.columns * l.rows; ++s) {
    int x = (s % l.columns) * l.columnPitch;
    int y = (s / l.columns) * l.rowPitch;
    slots.push_back({recorder->page->Pixel(x + l.boxWidth / 2, y) == RGB(0, 0, 0),
                     recorder->page->Pixel(x + l.boxWidth / 2, y + l.boxHeight / 2)});
  }
  recorder->pages.push_back(slots);
  recorder->numbers.push_back(number);
  recorder->page->Clear();
}

// Prints into the memory page and returns what each page showed.
PageRecorder PrintToMemory(MemoryPage& page, CAlbumDoc2* album, int range, int names, int box, int* result) {
  PageRecorder recorder{&page, {}, {}, {}};
  ComputePrintLayout(page.width(), page.height(), GetDeviceCaps(page.dc(), LOGPIXELSX), box, box, names,
                     &recorder.layout);
  page.Clear();
  SetPrintPageObserver(RecordPage, &recorder);
  *result = PrintAlbumPages(page.dc(), "contact sheet", album, range, names, box, box);
  SetPrintPageObserver(nullptr, nullptr);
  return recorder;
}

// How many GDI objects the process holds. GetGuiResources answers 0 under
// Wine; GDI's handle table, which the process environment block points at,
// is counted then (24-byte entries, the object type at byte 14, 0 when free).
int CountGdiObjects() {
  DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (reported) return static_cast<int>(reported);
  typedef NTSTATUS(WINAPI * QueryProcess)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
  auto query = reinterpret_cast<QueryProcess>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic = {};
  if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0) return -1;
  const BYTE* peb = reinterpret_cast<const BYTE*>(basic.PebBaseAddress);
  const BYTE* table = *reinterpret_cast<const BYTE* const*>(peb + 0x94);  // GdiSharedHandleTable
  if (!table) return -1;
  int count = 0;
  for (int i = 0; i < 0x10000; ++i) count += table[static_cast<size_t>(i) * 24 + 14] != 0;
  return count;
}

}  // namespace

// ---------------------------------------------------------------------------

TEST(PrintLayoutTest, LetterPageAt600Dpi) {
  PrintLayout layout;
  ASSERT_EQ(ComputePrintLayout(5100, 6600, 600, 152, 152, 2, &layout), 1);
  EXPECT_EQ(layout.columns, 4) << "5100 x 76 / 600 / 152";
  EXPECT_EQ(layout.columnPitch, 1275);
  EXPECT_EQ(layout.boxWidth, 1200);
  EXPECT_EQ(layout.boxHeight, 1200);
  EXPECT_EQ(layout.rows, 5) << "6600 x 76 / 600 / 152 = 5.5";
  EXPECT_EQ(layout.rowPitch, 1320);
}

TEST(PrintLayoutTest, NamesMakeRoomUnderEveryBox) {
  // Five rows of 1230 pixels: only 30 under each 1200-pixel box.
  PrintLayout plain, named;
  ASSERT_EQ(ComputePrintLayout(5100, 6150, 600, 152, 152, 2, &plain), 1);
  EXPECT_EQ(plain.rows, 5);
  EXPECT_EQ(plain.rowPitch - plain.boxHeight, 30);
  ASSERT_EQ(ComputePrintLayout(5100, 6150, 600, 152, 152, 1, &named), 1);
  EXPECT_EQ(named.rows, 4) << "6150 / (1200 + 50)";
  EXPECT_EQ(named.rowPitch, 1537);
  EXPECT_EQ(named.columns, plain.columns) << "columns do not change";
  for (int row = 0; row < named.rows; ++row) {
    int below = (row + 1) * named.rowPitch - (row * named.rowPitch + named.boxHeight);
    EXPECT_GE(below, PRINT_NAME_ROOM) << "row " << row << " has " << below << " pixels under its box";
    EXPECT_LE((row + 1) * named.rowPitch, 6150) << "row " << row << " runs off the page";
  }

  // With room enough the rows stay.
  ASSERT_EQ(ComputePrintLayout(5100, 6600, 600, 152, 152, 1, &named), 1);
  EXPECT_EQ(named.rows, 5);
  EXPECT_EQ(named.rowPitch, 1320);
}

TEST(PrintLayoutTest, BoxLargerThanThePageGetsOnePerPage) {
  PrintLayout layout;
  ASSERT_EQ(ComputePrintLayout(500, 400, 96, 760, 760, 2, &layout), 1);
  EXPECT_EQ(layout.columns, 1);
  EXPECT_EQ(layout.rows, 1);
  EXPECT_EQ(layout.columnPitch, 500);
  EXPECT_EQ(layout.rowPitch, 400);
  EXPECT_EQ(layout.boxWidth, 960);
  ASSERT_EQ(ComputePrintLayout(500, 400, 96, 760, 760, 1, &layout), 1) << "names on";
  EXPECT_EQ(layout.rows, 1);
  EXPECT_EQ(layout.rowPitch, 400);
}

TEST(PrintLayoutTest, RefusesSizesThatAreNotPositive) {
  PrintLayout layout;
  const int cases[][5] = {{0, 6600, 600, 76, 76}, {5100, 0, 600, 76, 76}, {5100, 6600, 0, 76, 76},
                          {5100, 6600, 600, 0, 76}, {5100, 6600, 600, 76, -1}, {-5, 6600, 600, 76, 76}};
  for (const auto& c : cases) {
    memset(&layout, 0x55, sizeof(layout));
    EXPECT_EQ(ComputePrintLayout(c[0], c[1], c[2], c[3], c[4], 1, &layout), 0)
        << "page " << c[0] << " x " << c[1] << " at " << c[2] << " dpi, box " << c[3] << " x " << c[4];
    EXPECT_EQ(layout.columns, 0) << "layout is zeroed";
  }
  EXPECT_EQ(ComputePrintLayout(5100, 6600, 600, 76, 76, 1, nullptr), 0);
  EXPECT_EQ(ComputePrintLayout(5100, 6600, INT_MAX, 190, 190, 1, &layout), 0) << "a box beyond 2^27 pixels";
  EXPECT_EQ(ComputePrintLayout(INT_MAX, 6600, 600, 76, 76, 1, &layout), 0) << "a page beyond 2^27 pixels";
}

TEST(PrintLayoutTest, TinyBoxesKeepAPitchOfOnePixel) {
  PrintLayout layout;
  ASSERT_EQ(ComputePrintLayout(100000, 50000, 1, 1, 1, 2, &layout), 1);
  EXPECT_EQ(layout.columns, 100000) << "7,600,000 boxes would fit, one per pixel is drawn";
  EXPECT_EQ(layout.columnPitch, 1);
  EXPECT_EQ(layout.rows, 50000);
  EXPECT_EQ(layout.rowPitch, 1);
}

// ---------------------------------------------------------------------------

namespace {

// Every character 10 pixels wide; counts the measurements.
int TenPixelsEach(void* context, const char*, int length) {
  ++*static_cast<int*>(context);
  return length * 10;
}

std::string Shorten(const char* name, int width, int outSize = 300) {
  int calls = 0;
  std::vector<char> out(static_cast<size_t>(outSize) + 1, 'X');
  int length = ShortenPrintName(name, width, TenPixelsEach, &calls, out.data(), outSize);
  if (length < 0) return "<error>";
  std::string text(out.data());
  EXPECT_EQ(static_cast<size_t>(length), text.size()) << "returned length of \"" << text << "\"";
  return text;
}

}  // namespace

TEST(PrintNameTest, ShortensFromTheFront) {
  EXPECT_EQ(Shorten("abcdefghij", 100), "abcdefghij") << "exactly as wide as the box";
  EXPECT_EQ(Shorten("abcdefghij", 500), "abcdefghij");
  // "efghij" (from K = 4) is the first tail of at most 60 pixels; the text
  // from K + 4 follows the full stops.
  EXPECT_EQ(Shorten("abcdefghij", 60), "...ij");
  EXPECT_EQ(Shorten("a_long_picture_name.jpeg", 150), "...e_name.jpeg");
  EXPECT_EQ(Shorten("", 0), "");
}

TEST(PrintNameTest, NoTailLeftPrintsFullStopsAlone) {
  EXPECT_EQ(Shorten("abcdefghij", 5), "...") << "not even one character fits";
  EXPECT_EQ(Shorten("abcdef", 30), "...") << "the tail starts past the end";
  EXPECT_EQ(Shorten("abcdefghij", -1), "...");
}

TEST(PrintNameTest, BoundedOutputAndBadArguments) {
  EXPECT_EQ(Shorten("abcdefghij", 100, 5), "abcd") << "cut to the buffer and terminated";
  EXPECT_EQ(Shorten("abcdefghij", 60, 3), "..") << "cut to the buffer and terminated";
  int calls = 0;
  char out[8];
  EXPECT_EQ(ShortenPrintName(nullptr, 10, TenPixelsEach, &calls, out, sizeof(out)), -1);
  EXPECT_EQ(ShortenPrintName("abc", 10, nullptr, &calls, out, sizeof(out)), -1);
  EXPECT_EQ(ShortenPrintName("abc", 10, TenPixelsEach, &calls, nullptr, 8), -1);
  EXPECT_EQ(ShortenPrintName("abc", 10, TenPixelsEach, &calls, out, 0), -1);
}

// ---------------------------------------------------------------------------

TEST(BandedStretchTest, LargePictureGoesInTwoBandsStackedUpward) {
  OwnedHandle picture(MakeStripedDib(2000, 1000, false, {RGB(255, 0, 0)}));
  ASSERT_NE(picture.get(), nullptr);
  auto records = RecordEmf([&](HDC dc) { EXPECT_EQ(StretchPictureBanded(dc, picture.get(), 10, 20, 200, 100), 1); });
  std::vector<Stretch> calls = Stretches(records);
  ASSERT_EQ(calls.size(), 2u) << "2,000,000 pixels: expected 2 bands, got " << calls.size();
  EXPECT_EQ(calls[0].Dest(), RectText(10, 70, 200, 50)) << "the bottom band comes first";
  EXPECT_EQ(calls[1].Dest(), RectText(10, 20, 200, 50));
  for (const Stretch& call : calls) {
    EXPECT_EQ(call.srcWidth, 2000);
    EXPECT_EQ(call.srcHeight, 500);
    EXPECT_EQ(call.bitsBytes, 6000u * 500u) << "a band carries only its own rows";
  }
}

TEST(BandedStretchTest, SmallPictureGoesInOneCall) {
  OwnedHandle square(MakeStripedDib(1000, 1000, false, {RGB(0, 0, 255)}));
  auto records = RecordEmf([&](HDC dc) { EXPECT_EQ(StretchPictureBanded(dc, square.get(), 10, 20, 200, 100), 1); });
  std::vector<Stretch> calls = Stretches(records);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Dest(), RectText(10, 20, 200, 100));
  EXPECT_EQ(calls[0].srcWidth, 1000);
  EXPECT_EQ(calls[0].srcHeight, 1000);

  // 2^20 pixels is where banding starts.
  OwnedHandle below(MakeStripedDib(1024, 1023, false, {RGB(0, 0, 255)}));
  OwnedHandle at(MakeStripedDib(1024, 1024, false, {RGB(0, 0, 255)}));
  EXPECT_EQ(Stretches(RecordEmf([&](HDC dc) { StretchPictureBanded(dc, below.get(), 0, 0, 50, 50); })).size(), 1u);
  EXPECT_EQ(Stretches(RecordEmf([&](HDC dc) { StretchPictureBanded(dc, at.get(), 0, 0, 50, 50); })).size(), 2u);
}

TEST(BandedStretchTest, UnevenBandsCoverTheRectangleWithoutGaps) {
  OwnedHandle picture(MakeStripedDib(3000, 1000, true, {RGB(0, 128, 0)}));
  auto records = RecordEmf([&](HDC dc) { StretchPictureBanded(dc, picture.get(), 5, 20, 300, 101); });
  std::vector<Stretch> calls = Stretches(records);
  ASSERT_EQ(calls.size(), 3u) << "3,000,000 pixels: expected 3 bands";
  EXPECT_EQ(calls[0].Dest(), RectText(5, 88, 300, 33));
  EXPECT_EQ(calls[1].Dest(), RectText(5, 54, 300, 34));
  EXPECT_EQ(calls[2].Dest(), RectText(5, 20, 300, 34));
  EXPECT_EQ(calls[0].srcHeight + calls[1].srcHeight + calls[2].srcHeight, 1000) << "every row sent once";
  EXPECT_EQ(calls[0].srcHeight, 333);
  EXPECT_EQ(calls[2].srcHeight, 334);
}

TEST(BandedStretchTest, BandsKeepTheirContentInBothRowOrders) {
  // Four stripes, two in each band: a band drawn from the wrong rows or in
  // the wrong place shows the wrong colour.
  const std::vector<COLORREF> stripes = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0)};
  for (bool topDown : {false, true}) {
    OwnedHandle picture(MakeStripedDib(2000, 1000, topDown, stripes));
    MemoryPage page;
    ASSERT_TRUE(page.ok());
    SetStretchBltMode(page.dc(), COLORONCOLOR);
    ASSERT_EQ(StretchPictureBanded(page.dc(), picture.get(), 0, 0, 200, 400), 1);
    for (int i = 0; i < 4; ++i) {
      COLORREF got = page.Pixel(100, 50 + i * 100);
      EXPECT_EQ(got, stripes[i]) << (topDown ? "top-down" : "bottom-up") << " stripe " << i << ": expected "
                                 << ColourText(stripes[i]) << ", got " << ColourText(got);
    }
  }
}

TEST(BandedStretchTest, PalettePictureUsesItsColourTable) {
  // 8 bits, biClrUsed 0: a full table of 256 colours follows the header.
  std::vector<BYTE> bytes(sizeof(BITMAPINFOHEADER) + 256 * 4 + 4 * 2, 0);
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(bytes.data());
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = 2;
  header->biHeight = 2;
  header->biPlanes = 1;
  header->biBitCount = 8;
  BYTE* colours = bytes.data() + sizeof(BITMAPINFOHEADER);
  colours[7 * 4 + 0] = 30;  // entry 7: blue 30, green 60, red 90
  colours[7 * 4 + 1] = 60;
  colours[7 * 4 + 2] = 90;
  memset(bytes.data() + sizeof(BITMAPINFOHEADER) + 256 * 4, 7, 8);
  OwnedHandle picture(MakeRawHandle(bytes));
  MemoryPage page;
  ASSERT_EQ(StretchPictureBanded(page.dc(), picture.get(), 0, 0, 20, 20), 1);
  EXPECT_EQ(page.Pixel(10, 10), RGB(90, 60, 30)) << "got " << ColourText(page.Pixel(10, 10));
}

TEST(BandedStretchTest, RefusesPicturesWhoseHeaderOverstatesTheirBytes) {
  EXPECT_EQ(StretchPictureBanded(nullptr, nullptr, 0, 0, 10, 10), 0) << "null picture";

  auto header = [](LONG width, LONG height, WORD bits, DWORD compression = BI_RGB) {
    BITMAPINFOHEADER h = {};
    h.biSize = sizeof(h);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biCompression = compression;
    return h;
  };
  struct Case {
    const char* what;
    BITMAPINFOHEADER h;
    size_t size;
  };
  std::vector<Case> cases;
  cases.push_back({"2000 x 1000 claimed in 140 bytes", header(2000, 1000, 24), 140});
  cases.push_back({"handle shorter than a header", header(1, 1, 24), 30});
  auto hugeHeader = header(4, 4, 24);
  hugeHeader.biSize = 0x7FFFFFFF;
  cases.push_back({"header size beyond the handle", hugeHeader, 200});
  auto manyColours = header(4, 4, 8);
  manyColours.biClrUsed = 300;
  cases.push_back({"300 colours for 8 bits", manyColours, 4000});
  cases.push_back({"8-bit table of 256 colours cut short", header(4, 4, 8), sizeof(BITMAPINFOHEADER) + 64 + 16});
  cases.push_back({"7 bits per pixel", header(4, 4, 7), 400});
  cases.push_back({"negative width", header(-4, 4, 24), 400});
  cases.push_back({"zero height", header(4, 0, 24), 400});
  cases.push_back({"most negative height", header(4, LONG_MIN, 24), 400});
  cases.push_back({"JPEG compression", header(4, 4, 24, BI_JPEG), 400});
  auto topDownRle = header(4, -4, 8, BI_RLE8);
  topDownRle.biSizeImage = 16;
  cases.push_back({"top-down run-length picture", topDownRle, 2000});
  auto longRle = header(4, 4, 8, BI_RLE8);
  longRle.biSizeImage = 100000;
  cases.push_back({"run-length data beyond the handle", longRle, 2000});
  auto planes = header(4, 4, 24);
  planes.biPlanes = 3;
  cases.push_back({"three planes", planes, 400});

  for (const Case& c : cases) {
    std::vector<BYTE> bytes(c.size, 0);
    memcpy(bytes.data(), &c.h, c.size < sizeof(c.h) ? c.size : sizeof(c.h));
    OwnedHandle picture(MakeRawHandle(bytes));
    int result = -1;
    auto records = RecordEmf([&](HDC dc) { result = StretchPictureBanded(dc, picture.get(), 0, 0, 100, 100); });
    EXPECT_EQ(result, 0) << c.what;
    EXPECT_EQ(Stretches(records).size(), 0u) << c.what << ": nothing may be drawn";
  }
}

// ---------------------------------------------------------------------------
// Whole contact sheets. The reference page is the screen's (the metafile and
// the memory bitmap both report it): a 5-inch box is 480 pixels at 96 dpi.

class AlbumPrintTest : public ::testing::Test {
protected:
  static constexpr int kBox = 380;  // 5 inches

  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    testpics::Pixels red(60, 30, false);
    red.Fill(0, 0, 60, 30, 255, 0, 0);
    ASSERT_TRUE(testpics::WritePicture(folder_.File("red.png"), testpics::FileFormat::Png, red));
    testpics::Pixels grey(30, 60, true);
    grey.Fill(0, 0, 30, 60, 77, 77, 77);
    ASSERT_TRUE(testpics::WritePicture(folder_.File("grey.png"), testpics::FileFormat::Png, grey));
    album_.SetPath(folder_.File("album.abm").c_str());
  }

  void Add(CThumbnail2* item) { album_.Insert(item, nullptr); }
  std::string Missing(const std::string& name) { return folder_.File("gone\\" + name); }

  PrintLayout ScreenLayout(int names) {
    HDC screen = GetDC(nullptr);
    PrintLayout layout;
    ComputePrintLayout(GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES),
                       GetDeviceCaps(screen, LOGPIXELSX), kBox, kBox, names, &layout);
    ReleaseDC(nullptr, screen);
    return layout;
  }

  testpics::TempFolder folder_;
  CAlbumDoc2 album_;
};

TEST_F(AlbumPrintTest, BoxesPicturesFramesAndNamesInAMetafile) {
  Add(MakePrintItem(Missing("wide.png"), 40, 20, 0x40));   // landscape thumbnail
  Add(MakePrintItem(Missing("tall.png"), 20, 40, 0x60));   // portrait thumbnail
  Add(MakePrintItem("red.png", 40, 20, 0x80));              // relative: the album's folder has it
  PrintLayout l = ScreenLayout(1);
  ASSERT_EQ(l.boxWidth, 480) << "the screen reference is expected at 96 dpi";
  ASSERT_EQ(l.columns * l.rows, 2) << "two boxes per page with names";

  int result = 0;
  auto records = RecordEmf([&](HDC dc) { result = PrintAlbumPages(dc, "sheet", &album_, 2, 1, kBox, kBox); });
  EXPECT_EQ(result, 1);
  std::vector<Stretch> pictures = Stretches(records);
  ASSERT_EQ(pictures.size(), 3u);
  // A landscape picture fills the box's width, a portrait one its height,
  // each centred; the third item starts the second page in the first slot.
  EXPECT_EQ(pictures[0].Dest(), RectText(0, 120, 480, 240));
  EXPECT_EQ(pictures[1].Dest(), RectText(l.columnPitch + 120, 0, 240, 480));
  EXPECT_EQ(pictures[2].Dest(), RectText(0, 120, 480, 240));
  EXPECT_EQ(pictures[0].srcWidth, 40) << "a missing file prints the thumbnail";
  EXPECT_EQ(pictures[2].srcWidth, 60) << "the source file prints rather than the thumbnail";
  EXPECT_EQ(pictures[2].srcHeight, 30);

  std::vector<PrintedText> names = Texts(records);
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0].text, "wide.png");
  EXPECT_EQ(names[0].at.x, 0);
  EXPECT_EQ(names[0].at.y, 480) << "names go under the box";
  EXPECT_EQ(names[1].text, "tall.png");
  EXPECT_EQ(names[1].at.x, l.columnPitch);
  EXPECT_EQ(names[2].text, "red.png");

  EXPECT_EQ(CountRecords(records, EMR_MOVETOEX), 3u) << "one frame per box";
  EXPECT_EQ(CountRecords(records, EMR_LINETO), 12u) << "four sides per frame";
  auto moves = RecordsOf<EMRMOVETOEX>(records, EMR_MOVETOEX);
  EXPECT_EQ(moves[1].ptl.x, l.columnPitch);
  EXPECT_EQ(moves[1].ptl.y, 0);
  auto pens = RecordsOf<EMRCREATEPEN>(records, EMR_CREATEPEN);
  ASSERT_EQ(pens.size(), 1u);
  EXPECT_EQ(pens[0].lopn.lopnWidth.x, 3);
  EXPECT_EQ(pens[0].lopn.lopnColor, RGB(0, 0, 0));
  auto fonts = RecordsOf<EMREXTCREATEFONTINDIRECTW>(records, EMR_EXTCREATEFONTINDIRECTW);
  ASSERT_EQ(fonts.size(), 1u);
  EXPECT_EQ(fonts[0].elfw.elfLogFont.lfHeight, -48);
  EXPECT_EQ(CountRecords(records, EMR_DELETEOBJECT), 2u) << "the pen and the font are deleted";
}

TEST_F(AlbumPrintTest, LongNamesAreShortenedToTheBox) {
  const std::string name = "a_remarkably_long_picture_file_name_for_a_contact_sheet.png";
  Add(MakePrintItem(Missing(name), 40, 40, 0x40));
  auto records = RecordEmf([&](HDC dc) { PrintAlbumPages(dc, "sheet", &album_, 2, 1, kBox, kBox); });
  std::vector<PrintedText> names = Texts(records);
  ASSERT_EQ(names.size(), 1u);
  const std::string& text = names[0].text;
  ASSERT_GT(text.size(), 3u) << "got \"" << text << "\"";
  EXPECT_EQ(text.substr(0, 3), "...") << "got \"" << text << "\"";
  std::string tail = text.substr(3);
  EXPECT_LT(tail.size(), name.size());
  EXPECT_EQ(name.substr(name.size() - tail.size()), tail) << "\"" << tail << "\" is not the end of the name";
}

TEST_F(AlbumPrintTest, PagesBreakWhenTheGridIsFull) {
  const BYTE greys[] = {0x20, 0x40, 0x60, 0x80, 0xA0};
  for (int i = 0; i < 5; ++i) Add(MakePrintItem(Missing("p" + std::to_string(i) + ".png"), 30, 30, greys[i]));
  MemoryPage page;
  ASSERT_TRUE(page.ok());

  int result = 0;
  PageRecorder plain = PrintToMemory(page, &album_, 2, 2, kBox, &result);
  EXPECT_EQ(result, 1);
  ASSERT_EQ(plain.layout.columns * plain.layout.rows, 4);
  ASSERT_EQ(plain.pages.size(), 2u) << "5 boxes at 4 per page";
  EXPECT_EQ(plain.numbers, (std::vector<int>{1, 2}));
  for (int s = 0; s < 4; ++s) {
    EXPECT_TRUE(plain.pages[0][s].framed) << "page 1 slot " << s;
    COLORREF expected = RGB(greys[s], greys[s], greys[s]);
    EXPECT_EQ(plain.pages[0][s].centre, expected)
        << "page 1 slot " << s << ": expected " << ColourText(expected) << ", got " << ColourText(plain.pages[0][s].centre);
  }
  EXPECT_TRUE(plain.pages[1][0].framed);
  EXPECT_EQ(plain.pages[1][0].centre, RGB(0xA0, 0xA0, 0xA0)) << "the fifth item opens page 2";
  for (int s = 1; s < 4; ++s) EXPECT_FALSE(plain.pages[1][s].framed) << "page 2 slot " << s << " stays empty";

  PageRecorder named = PrintToMemory(page, &album_, 2, 1, kBox, &result);
  ASSERT_EQ(named.layout.columns * named.layout.rows, 2);
  std::vector<int> framed;
  for (const auto& slots : named.pages) {
    int count = 0;
    for (const SlotView& slot : slots) count += slot.framed;
    framed.push_back(count);
  }
  EXPECT_EQ(framed, (std::vector<int>{2, 2, 1})) << "names leave room for two boxes per page";
}

TEST_F(AlbumPrintTest, SourceFilesPrintInsteadOfThumbnails) {
  Add(MakePrintItem(folder_.File("red.png"), 40, 20, 0x50));
  Add(MakePrintItem(folder_.File("grey.png"), 20, 40, 0x50));  // an 8-bit grey picture
  Add(MakePrintItem(Missing("red.png"), 40, 20, 0x50));
  MemoryPage page;
  int result = 0;
  PageRecorder pages = PrintToMemory(page, &album_, 2, 2, kBox, &result);
  ASSERT_EQ(pages.pages.size(), 1u);
  EXPECT_EQ(pages.pages[0][0].centre, RGB(255, 0, 0)) << "got " << ColourText(pages.pages[0][0].centre);
  EXPECT_EQ(pages.pages[0][1].centre, RGB(77, 77, 77)) << "got " << ColourText(pages.pages[0][1].centre);
  EXPECT_EQ(pages.pages[0][2].centre, RGB(0x50, 0x50, 0x50)) << "missing file: the thumbnail";
}

TEST_F(AlbumPrintTest, OnlyTheSelection) {
  for (int i = 0; i < 5; ++i) {
    Add(MakePrintItem(Missing("s" + std::to_string(i) + ".png"), 30, 30, static_cast<BYTE>(0x20 * (i + 1))));
  }
  MemoryPage page;
  int result = 0;
  PageRecorder none = PrintToMemory(page, &album_, 1, 2, kBox, &result);
  EXPECT_EQ(result, 1);
  ASSERT_EQ(none.pages.size(), 1u) << "nothing selected still gives one page";
  for (const SlotView& slot : none.pages[0]) EXPECT_FALSE(slot.framed) << "the page is empty";

  SelectionAccess::Select(album_.GetThumbnail(2));
  SelectionAccess::Select(album_.GetThumbnail(5));
  PageRecorder chosen = PrintToMemory(page, &album_, 1, 2, kBox, &result);
  ASSERT_EQ(chosen.pages.size(), 1u);
  EXPECT_EQ(chosen.pages[0][0].centre, RGB(0x40, 0x40, 0x40)) << "item 2 first, got " << ColourText(chosen.pages[0][0].centre);
  EXPECT_EQ(chosen.pages[0][1].centre, RGB(0xA0, 0xA0, 0xA0)) << "item 5 next, got " << ColourText(chosen.pages[0][1].centre);
  EXPECT_FALSE(chosen.pages[0][2].framed);

  PageRecorder all = PrintToMemory(page, &album_, 2, 2, kBox, &result);
  EXPECT_EQ(all.pages.size(), 2u) << "any other range prints every item";
}

TEST_F(AlbumPrintTest, ZeroSizedThumbnailRecordPrintsAnEmptyFramedBox) {
  Add(MakePrintItem(Missing("flat.png"), 0, 20, 0x30));
  Add(MakePrintItem(Missing("thin.png"), 20, 0, 0x30));
  Add(MakePrintItem(Missing("fine.png"), 20, 20, 0x30));
  auto records = RecordEmf([&](HDC dc) { EXPECT_EQ(PrintAlbumPages(dc, "sheet", &album_, 2, 2, kBox, kBox), 1); });
  std::vector<Stretch> pictures = Stretches(records);
  ASSERT_EQ(pictures.size(), 1u) << "only the item with a size has a picture";
  PrintLayout l = ScreenLayout(2);
  EXPECT_EQ(pictures[0].x, 0) << "third slot: first column";
  EXPECT_EQ(pictures[0].y, l.rowPitch) << "third slot: second row";
  EXPECT_EQ(CountRecords(records, EMR_MOVETOEX), 3u) << "every item is framed";
}

TEST_F(AlbumPrintTest, LeavesTheContextAsItWasAndHoldsNoObjects) {
  Add(MakePrintItem("red.png", 40, 20, 0x50));
  Add(MakePrintItem(Missing("x.png"), 40, 20, 0x50));
  MemoryPage page;
  HDC dc = page.dc();
  SetStretchBltMode(dc, HALFTONE);
  SetBkMode(dc, OPAQUE);
  HGDIOBJ pen = GetCurrentObject(dc, OBJ_PEN);
  HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
  ASSERT_EQ(PrintAlbumPages(dc, "sheet", &album_, 2, 1, kBox, kBox), 1);
  EXPECT_EQ(GetStretchBltMode(dc), HALFTONE);
  EXPECT_EQ(GetBkMode(dc), OPAQUE);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);

  LONG pictures = ToviMemLiveCount();
  int objects = CountGdiObjects();
  for (int i = 0; i < 20; ++i) PrintAlbumPages(dc, "sheet", &album_, 2, 1, kBox, kBox);
  EXPECT_EQ(CountGdiObjects(), objects) << "GDI objects after 20 prints";
  EXPECT_EQ(ToviMemLiveCount(), pictures) << "opened source pictures are freed";
}

TEST(GdiCounterTest, SeesObjectsComeAndGo) {
  // The counter the leak checks rely on must itself see objects.
  int before = CountGdiObjects();
  ASSERT_GE(before, 0);
  HPEN pens[5];
  for (HPEN& pen : pens) pen = CreatePen(PS_SOLID, 1, 0);
  EXPECT_EQ(CountGdiObjects(), before + 5);
  for (HPEN pen : pens) DeleteObject(pen);
  EXPECT_EQ(CountGdiObjects(), before);
}

TEST(PrintAlbumPagesTest, RefusesMissingPartsAndBadBoxes) {
  CAlbumDoc2 album;
  MemoryPage page;
  EXPECT_EQ(PrintAlbumPages(nullptr, "x", &album, 2, 1, 76, 76), 0);
  EXPECT_EQ(PrintAlbumPages(page.dc(), "x", nullptr, 2, 1, 76, 76), 0);
  EXPECT_EQ(PrintAlbumPages(page.dc(), "x", &album, 2, 1, 0, 76), 0);
  EXPECT_EQ(PrintAlbumPages(page.dc(), "x", &album, 2, 1, 76, -3), 0);
  EXPECT_EQ(PrintAlbumPages(page.dc(), nullptr, &album, 2, 1, 76, 76), 1) << "an unnamed document prints";
}

// ---------------------------------------------------------------------------

namespace {

int InstalledPrinters() {
  DWORD needed = 0, returned = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0, &needed, &returned);
  if (!needed) return 0;
  std::vector<BYTE> buffer(needed);
  EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, buffer.data(), needed, &needed, &returned);
  return static_cast<int>(returned);
}

HGLOBAL MakeDevNames(const char* driver, const char* device, WORD deviceOffsetOverride = 0) {
  size_t driverLength = strlen(driver) + 1, deviceLength = strlen(device) + 1;
  HGLOBAL block = GlobalAlloc(GHND, sizeof(DEVNAMES) + driverLength + deviceLength + 1);
  auto* names = static_cast<DEVNAMES*>(GlobalLock(block));
  char* text = reinterpret_cast<char*>(names);
  names->wDriverOffset = sizeof(DEVNAMES);
  names->wDeviceOffset = static_cast<WORD>(sizeof(DEVNAMES) + driverLength);
  names->wOutputOffset = static_cast<WORD>(sizeof(DEVNAMES) + driverLength + deviceLength);
  memcpy(text + names->wDriverOffset, driver, driverLength);
  memcpy(text + names->wDeviceOffset, device, deviceLength);
  if (deviceOffsetOverride) names->wDeviceOffset = deviceOffsetOverride;
  GlobalUnlock(block);
  return block;
}

}  // namespace

TEST(PrinterTest, NoPrinterGivesNoDeviceContext) {
  EXPECT_EQ(CreatePrinterDC(nullptr), nullptr);
  PRINTDLGA pd = {};
  HDC dc = CreatePrinterDC(&pd);
  if (InstalledPrinters() == 0) {
    EXPECT_EQ(dc, nullptr) << "no printer is installed here";
    EXPECT_EQ(pd.hDevNames, nullptr);
    PRINTDLGA none = {};
    CAlbumDoc2 album;
    EXPECT_EQ(PrintAlbum("x", &album, 2, 1, 76, 76, none), 0) << "no printer: nothing printed";
  } else {
    EXPECT_NE(dc, nullptr) << "the default printer gives a device context";
  }
  if (dc) DeleteDC(dc);
  if (pd.hDevMode) GlobalFree(pd.hDevMode);
  if (pd.hDevNames) GlobalFree(pd.hDevNames);
}

// A device mode of the caller's own, as a print setup without a chosen
// printer may carry.
HGLOBAL MakeCallerDevMode() {
  HGLOBAL block = GlobalAlloc(GHND, sizeof(DEVMODEA));
  auto* mode = static_cast<DEVMODEA*>(GlobalLock(block));
  mode->dmSize = sizeof(DEVMODEA);
  mode->dmCopies = 5;
  GlobalUnlock(block);
  return block;
}

// The block is still a live allocation holding what the caller wrote.
bool CallerDevModeIntact(HGLOBAL block) {
  if (GlobalFlags(block) == GMEM_INVALID_HANDLE || GlobalSize(block) < sizeof(DEVMODEA)) return false;
  auto* mode = static_cast<DEVMODEA*>(GlobalLock(block));
  if (!mode) return false;
  bool same = mode->dmSize == sizeof(DEVMODEA) && mode->dmCopies == 5;
  GlobalUnlock(block);
  return same;
}

TEST(PrinterTest, ADeviceModeWithoutDeviceNamesStaysTheCallers) {
  HGLOBAL mine = MakeCallerDevMode();
  PRINTDLGA setup = {};
  setup.lStructSize = sizeof(setup);
  setup.hDevMode = mine;
  CAlbumDoc2 album;
  PrintAlbum("x", &album, 2, 1, 76, 76, setup);
  EXPECT_TRUE(CallerDevModeIntact(mine)) << "printing left the caller's device mode alone";

  PRINTDLGA pd = setup;
  HDC dc = CreatePrinterDC(&pd);
  EXPECT_TRUE(CallerDevModeIntact(mine)) << "fetching the default printer left it alone too";
  if (dc) {
    EXPECT_NE(pd.hDevMode, mine) << "the default printer's own device mode";
    DeleteDC(dc);
    if (pd.hDevMode) GlobalFree(pd.hDevMode);
    GlobalFree(pd.hDevNames);
  } else {
    EXPECT_EQ(pd.hDevMode, mine) << "no printer: the record is as it was";
    EXPECT_EQ(pd.hDevNames, nullptr);
  }
  EXPECT_EQ(GlobalFree(mine), nullptr) << "the caller frees it once";
}

TEST(PrinterTest, ChosenPrinterPrintsOneCopyAndBadNamesAreRefused) {
  PRINTDLGA pd = {};
  pd.hDevMode = GlobalAlloc(GHND, sizeof(DEVMODEA));
  auto* mode = static_cast<DEVMODEA*>(GlobalLock(pd.hDevMode));
  mode->dmSize = sizeof(DEVMODEA);
  mode->dmCopies = 5;
  GlobalUnlock(pd.hDevMode);
  pd.hDevNames = MakeDevNames("winspool", "No Such Printer");
  EXPECT_EQ(CreatePrinterDC(&pd), nullptr) << "an unknown printer has no device context";
  mode = static_cast<DEVMODEA*>(GlobalLock(pd.hDevMode));
  EXPECT_EQ(mode->dmCopies, 1) << "copies are always 1";
  GlobalUnlock(pd.hDevMode);
  GlobalFree(pd.hDevNames);

  pd.hDevNames = MakeDevNames("winspool", "x", 0x7000);
  EXPECT_EQ(CreatePrinterDC(&pd), nullptr) << "a device name offset past the block";
  GlobalFree(pd.hDevNames);
  GlobalFree(pd.hDevMode);
}

// ---------------------------------------------------------------------------
// The print dialog, driven from a timer on the test's own thread while the
// dialog's modal loop runs.

namespace {

// One step of a script: gets the print dialog and any other dialog the
// thread shows over it (either may be null); true when the step is done.
typedef std::function<bool(HWND dialog, HWND popup)> DialogStep;

struct DialogScript {
  std::vector<DialogStep> steps;
  size_t next = 0;
  int idleTicks = 0;
};
DialogScript* g_script = nullptr;

struct ThreadDialogs {
  HWND print = nullptr;
  HWND popup = nullptr;
};

BOOL CALLBACK FindDialogs(HWND window, LPARAM param) {
  char name[16] = "";
  GetClassNameA(window, name, sizeof(name));
  if (strcmp(name, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  auto* found = reinterpret_cast<ThreadDialogs*>(param);
  (GetDlgItem(window, IDC_PRINT_BOX_SIZE) ? found->print : found->popup) = window;
  return TRUE;
}

void CALLBACK DriveDialog(HWND, UINT, UINT_PTR timer, DWORD) {
  if (!g_script || g_script->next >= g_script->steps.size()) return;
  ThreadDialogs found;
  EnumThreadWindows(GetCurrentThreadId(), FindDialogs, reinterpret_cast<LPARAM>(&found));
  if (g_script->steps[g_script->next](found.print, found.popup)) {
    g_script->idleTicks = 0;
    if (++g_script->next == g_script->steps.size()) KillTimer(nullptr, timer);
  } else if (++g_script->idleTicks > 1000) {
    // Windows appear within a few ticks; past that the script cannot go on.
    KillTimer(nullptr, timer);
    ADD_FAILURE() << "step " << g_script->next + 1 << " never found its window";
    if (found.popup) PostMessageA(found.popup, WM_COMMAND, IDCANCEL, 0);
    if (found.print) PostMessageA(found.print, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
}

int RunDialogWith(std::vector<DialogStep> steps) {
  DialogScript script;
  script.steps = std::move(steps);
  g_script = &script;
  UINT_PTR timer = SetTimer(nullptr, 0, 10, DriveDialog);
  int result = RunPrintDialog(nullptr);
  KillTimer(nullptr, timer);
  g_script = nullptr;
  EXPECT_EQ(script.next, script.steps.size()) << "script steps done";
  return result;
}

// A script of one step on the print dialog.
int RunDialogWith(const std::function<void(HWND)>& act) {
  return RunDialogWith({[&](HWND dialog, HWND) {
    if (!dialog) return false;
    act(dialog);
    return true;
  }});
}

void Press(HWND dialog, int id) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool Visible(HWND dialog, int id) {
  return (GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

std::string ComboText(HWND combo, int index) {
  char text[64] = "";
  if (SendMessageA(combo, CB_GETLBTEXTLEN, index, 0) < static_cast<LRESULT>(sizeof(text))) {
    SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  }
  return text;
}

INT_PTR CALLBACK PlainDialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

}  // namespace

// Runs first: the settings are module-wide and the dialog tests change them.
TEST(PrintSettingsTest, DefaultsAndBoxSizes) {
  PrintSettings settings;
  GetPrintSettings(&settings);
  EXPECT_EQ(settings.boxWidth, 76);
  EXPECT_EQ(settings.boxHeight, 76);
  PRINTDLGA* printer = GetPrinterSetup();
  ASSERT_NE(printer, nullptr);
  EXPECT_EQ(printer->hDevNames, nullptr) << "no printer chosen: the default one is used";
  EXPECT_EQ(printer->hDevMode, nullptr);
  const int sizes[] = {76, 114, 152, 190};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(GetPrintBoxSize(i), sizes[i]) << "index " << i;
  EXPECT_EQ(GetPrintBoxSize(-1), 0);
  EXPECT_EQ(GetPrintBoxSize(4), 0);
}

TEST(PrintDialogTest, TemplateHoldsItsControls) {
  HMODULE resources = LoadLibraryA("Morvex.dll");
  ASSERT_NE(resources, nullptr);
  HWND dialog = CreateDialogParamA(resources, MAKEINTRESOURCEA(IDD_PRINT), nullptr, PlainDialog, 0);
  ASSERT_NE(dialog, nullptr) << "template 4219";
  struct Control {
    int id;
    const char* className;
  };
  const Control controls[] = {{IDC_PRINT_BOX_SIZE, "ComboBox"}, {IDC_PRINT_ALL_ITEMS, "Button"},
                              {IDC_PRINT_FILE_NAMES, "Button"}, {IDC_PRINT_SETUP, "Button"},
                              {IDOK, "Button"},                 {IDCANCEL, "Button"},
                              {IDC_PRINT_HIDDEN_1, "Edit"},     {IDC_PRINT_HIDDEN_2, "Static"}};
  for (const Control& control : controls) {
    HWND window = GetDlgItem(dialog, control.id);
    ASSERT_NE(window, nullptr) << "control " << control.id;
    char name[32] = "";
    GetClassNameA(window, name, sizeof(name));
    EXPECT_STREQ(name, control.className) << "control " << control.id;
  }
  LONG_PTR checkStyle = GetWindowLongA(GetDlgItem(dialog, IDC_PRINT_ALL_ITEMS), GWL_STYLE) & BS_TYPEMASK;
  EXPECT_EQ(checkStyle, BS_AUTOCHECKBOX);
  EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog, IDC_PRINT_BOX_SIZE), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
  EXPECT_TRUE(Visible(dialog, IDC_PRINT_HIDDEN_1)) << "the template shows the copies row; the dialog hides it";
  DestroyWindow(dialog);
  FreeLibrary(resources);
}

TEST(PrintDialogTest, OpensWithDefaultsAndOkKeepsTheChoice) {
  HMODULE resources = LoadLibraryA("Morvex.dll");
  ASSERT_NE(resources, nullptr);
  int result = RunDialogWith([&](HWND dialog) {
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PRINT_ALL_ITEMS), BST_CHECKED) << "all items ticked";
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PRINT_FILE_NAMES), BST_CHECKED) << "names ticked";
    HWND combo = GetDlgItem(dialog, IDC_PRINT_BOX_SIZE);
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 2);
    for (int i = 0; i < 4; ++i) {
      char expected[64] = "";
      LoadStringA(resources, IDS_PRINT_BOX_1IN + i, expected, sizeof(expected));
      EXPECT_EQ(ComboText(combo, i), expected) << "size entry " << i;
    }
    EXPECT_FALSE(Visible(dialog, IDC_PRINT_HIDDEN_1)) << "control 4205";
    EXPECT_FALSE(Visible(dialog, IDC_PRINT_HIDDEN_2)) << "control 4206";
    EXPECT_TRUE(Visible(dialog, IDC_PRINT_SETUP));

    SendDlgItemMessageA(dialog, IDC_PRINT_ALL_ITEMS, BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageA(combo, CB_SETCURSEL, 3, 0);
    Press(dialog, IDOK);
  });
  EXPECT_EQ(result, 1) << "OK";
  PrintSettings settings;
  GetPrintSettings(&settings);
  EXPECT_EQ(settings.allItems, 0) << "only the selection";
  EXPECT_EQ(settings.printNames, 1);
  EXPECT_EQ(settings.boxWidth, 190);
  EXPECT_EQ(settings.boxHeight, 190);

  result = RunDialogWith([](HWND dialog) {
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PRINT_ALL_ITEMS), BST_CHECKED) << "the dialog always opens ticked";
    SendDlgItemMessageA(dialog, IDC_PRINT_FILE_NAMES, BM_SETCHECK, BST_UNCHECKED, 0);
    SendDlgItemMessageA(dialog, IDC_PRINT_BOX_SIZE, CB_SETCURSEL, 0, 0);
    Press(dialog, IDOK);
  });
  EXPECT_EQ(result, 1);
  GetPrintSettings(&settings);
  EXPECT_EQ(settings.allItems, 1);
  EXPECT_EQ(settings.printNames, 0);
  EXPECT_EQ(settings.boxWidth, 76);
  FreeLibrary(resources);
}

TEST(PrintDialogTest, CancelChangesNothing) {
  PrintSettings before;
  GetPrintSettings(&before);
  int result = RunDialogWith([](HWND dialog) {
    SendDlgItemMessageA(dialog, IDC_PRINT_ALL_ITEMS, BM_SETCHECK, BST_UNCHECKED, 0);
    SendDlgItemMessageA(dialog, IDC_PRINT_BOX_SIZE, CB_SETCURSEL, 1, 0);
    Press(dialog, IDCANCEL);
  });
  EXPECT_EQ(result, 0) << "Cancel";
  PrintSettings after;
  GetPrintSettings(&after);
  EXPECT_EQ(memcmp(&before, &after, sizeof(before)), 0) << "settings unchanged";
}

TEST(PrintDialogTest, SetupButtonRunsThePrinterSetupOverTheDialog) {
  HWND printDialog = nullptr, setupOwner = nullptr;
  int depthInDialog = -1, depthInSetup = -1;
  int result = RunDialogWith({
      [&](HWND dialog, HWND) {
        if (!dialog) return false;
        printDialog = dialog;
        depthInDialog = IsLockedForModal();
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_PRINT_SETUP, BN_CLICKED), 0);
        return true;
      },
      // With printers this is the setup dialog; without any, the notice
      // that there is none.
      [&](HWND, HWND popup) {
        if (!popup) return false;
        // Under Wine the notice is owned by a hidden setup dialog in turn.
        for (HWND owner = GetWindow(popup, GW_OWNER); owner; owner = GetWindow(owner, GW_OWNER)) {
          if (owner == printDialog) setupOwner = owner;
        }
        depthInSetup = IsLockedForModal();
        PostMessageA(popup, WM_COMMAND, IDCANCEL, 0);
        return true;
      },
      [&](HWND dialog, HWND popup) {
        if (popup || !dialog) return false;
        Press(dialog, IDCANCEL);
        return true;
      },
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(setupOwner, printDialog) << "the setup belongs to the print dialog";
  EXPECT_NE(printDialog, nullptr);
  EXPECT_EQ(depthInDialog, 1) << "the print dialog runs in the modal state";
  EXPECT_EQ(depthInSetup, 2) << "so does the printer setup, inside it";
  EXPECT_EQ(IsLockedForModal(), 0) << "both leave it";
  EXPECT_EQ(GetPrinterSetup()->hDevNames, nullptr) << "a cancelled setup chooses no printer";
}

// ---------------------------------------------------------------------------
// One picture, four readers: the album store, the image services' display,
// the resampler and printing judge a picture's layout alike, so a picture
// that one of them would hand on is never one another reads past its end.

namespace {

// An 8 x 4 picture of the given depth with a full colour table, in a block
// exactly as large as the bytes it holds.
HTOVIMEM MakeExactPicture(int bits, void (*spoil)(BITMAPINFOHEADER*, DWORD*)) {
  const int width = 8, height = 4;
  DWORD colours = bits <= 8 ? 1u << bits : 0;
  DWORD stride = ((width * bits + 31) / 32) * 4;
  DWORD size = sizeof(BITMAPINFOHEADER) + colours * 4 + stride * height;
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof(header);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(bits);
  if (spoil) spoil(&header, &size);
  HTOVIMEM picture = ToviMemAlloc(TOVI_MOVABLE_ZERO, size);
  auto* bytes = static_cast<BYTE*>(ToviMemLock(picture));
  memcpy(bytes, &header, size < sizeof(header) ? size : sizeof(header));
  for (DWORD i = sizeof(header); i < size; ++i) bytes[i] = static_cast<BYTE>(i * 37);
  ToviMemUnlock(picture);
  return picture;
}

// Whether the album store saves an album of one item with this picture.
bool StoreTakes(HTOVIMEM picture, const std::string& path) {
  HMODULE store = LoadLibraryA("Vandor.DLL");
  auto save = store ? reinterpret_cast<ABMFILEPROC>(reinterpret_cast<void*>(GetProcAddress(store, "ABM_SaveFile")))
                    : nullptr;
  if (!save) return false;
  DWORD size = ToviMemSize(picture);
  tagALBUMINFOHEADER info = {};
  Put(info.aiPath, "C:\\pictures\\one.jpg");
  info.aiThumbSize = size;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(info) + size + 10);
  auto* bytes = static_cast<BYTE*>(GlobalLock(block));
  memcpy(bytes, &info, sizeof(info));
  memcpy(bytes + sizeof(info), ToviMemLock(picture), size);
  ToviMemUnlock(picture);
  GlobalUnlock(block);
  HGLOBAL array = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(HGLOBAL) + 10);
  *static_cast<HGLOBAL*>(GlobalLock(array)) = block;
  GlobalUnlock(array);
  tagALBUMFILEDATA data = {};
  data.nCount = 1;
  data.hBlocks = array;
  DeleteFileA(path.c_str());
  bool saved = save(ALBUM_STORE_VERSION, path.c_str(), &data) != 0;
  GlobalFree(block);
  GlobalFree(array);
  DeleteFileA(path.c_str());
  FreeLibrary(store);
  return saved;
}

}  // namespace

TEST(PictureLayoutTest, StoreDisplayResamplerAndPrintingRefuseTheSamePictures) {
  char folder[MAX_PATH] = "";
  GetTempPathA(sizeof(folder), folder);
  const std::string album = std::string(folder) + "picture-layout.abm";
  MemoryPage page;
  ASSERT_TRUE(page.ok());
  const RECT box = {0, 0, 40, 20};
  struct Case {
    const char* name;
    int bits;
    void (*spoil)(BITMAPINFOHEADER*, DWORD*);
  };
  const Case refused[] = {
      {"rows one byte short", 24, [](BITMAPINFOHEADER*, DWORD* size) { *size -= 1; }},
      {"colour table one entry past the block", 8, [](BITMAPINFOHEADER* h, DWORD* size) {
         h->biClrUsed = 256;
         *size -= 4;
       }},
      {"more colours than a deep picture may carry", 24, [](BITMAPINFOHEADER* h, DWORD*) { h->biClrUsed = 257; }},
      {"header larger than any GDI knows", 24, [](BITMAPINFOHEADER* h, DWORD*) { h->biSize = 125; }},
      {"two planes", 24, [](BITMAPINFOHEADER* h, DWORD*) { h->biPlanes = 2; }},
      {"2 bits a pixel", 2, nullptr},
      {"masks for 24 bits", 24, [](BITMAPINFOHEADER* h, DWORD*) { h->biCompression = BI_BITFIELDS; }},
      {"height of INT_MIN", 24, [](BITMAPINFOHEADER* h, DWORD*) { h->biHeight = INT_MIN; }},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.name);
    HTOVIMEM picture = MakeExactPicture(c.bits, c.spoil);
    ASSERT_NE(picture, nullptr);
    EXPECT_FALSE(StoreTakes(picture, album)) << "the store";
    EXPECT_EQ(QilDibDisplay(page.dc(), &box, picture, 0, 0, 0), 0) << "the display";
    HTOVIMEM resampled = ProcessResample(picture, 4, 2, 0);
    EXPECT_EQ(resampled, nullptr) << "the resampler";
    if (resampled) ToviMemFree(resampled);
    EXPECT_EQ(StretchPictureBanded(page.dc(), picture, 0, 0, 40, 20), 0) << "printing";
    ToviMemFree(picture);
  }
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(std::to_string(bits) + " bits");
    HTOVIMEM picture = MakeExactPicture(bits, nullptr);
    EXPECT_TRUE(StoreTakes(picture, album)) << "the store";
    EXPECT_EQ(QilDibDisplay(page.dc(), &box, picture, 0, 0, 0), 1) << "the display";
    HTOVIMEM resampled = ProcessResample(picture, 4, 2, 0);
    EXPECT_NE(resampled, nullptr) << "the resampler";
    if (resampled) ToviMemFree(resampled);
    EXPECT_EQ(StretchPictureBanded(page.dc(), picture, 0, 0, 40, 20), 1) << "printing";
    ToviMemFree(picture);
  }
}
