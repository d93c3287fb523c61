// Saving pictures as Windows bitmap files, and drawing them into a DC.
#include <gtest/gtest.h>

#include <cstring>

#include "../platform/qil.h"
#include "PictureView.h"
#include "TestPictures.h"

using testpics::FileFormat;

namespace {

HTOVIMEM Open(const std::string& path) {
  QILOPENOPTIONS options{};
  options.nMode = 1;
  return QilOpenFile(path.c_str(), 0, &options);
}

int CountFiles(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return count;
}

class SaveFile : public testing::Test {
 protected:
  // Opens a freshly written picture of the given kind.
  HTOVIMEM OpenPhoto(bool grey) {
    std::string source = folder.File(grey ? "grey.png" : "colour.png");
    EXPECT_TRUE(testpics::WritePicture(source, FileFormat::Png,
                                       testpics::MakePhotoPixels(45, 31, grey), nullptr, 150));
    return Open(source);
  }
  testpics::TempFolder folder;
};

TEST_F(SaveFile, BitmapRoundTripKeepsEveryPixel) {
  for (bool grey : {false, true}) {
    const char* kind = grey ? "grey" : "colour";
    PictureView original(OpenPhoto(grey));
    ASSERT_TRUE(original.ok()) << kind;
    std::string target = folder.File(std::string(kind) + ".bmp");
    QilSetLastError(-99);
    ASSERT_EQ(QilSaveFile(original.handle(), target.c_str(), QIL_SAVE_BMP, 0), 0) << kind;
    EXPECT_EQ(QilGetLastError(), 0) << kind;

    std::vector<uint8_t> file;
    ASSERT_TRUE(testpics::ReadFileBytes(target, &file));
    ASSERT_GE(file.size(), sizeof(BITMAPFILEHEADER));
    BITMAPFILEHEADER fh;
    std::memcpy(&fh, file.data(), sizeof(fh));
    EXPECT_EQ(fh.bfType, 0x4D42) << kind << ": expected \"BM\"";
    EXPECT_EQ(fh.bfSize, file.size()) << kind;
    EXPECT_EQ(fh.bfReserved1, 0) << kind << ": a fresh save carries no mark";
    EXPECT_EQ(fh.bfReserved2, 0) << kind << ": a fresh save carries no mark";
    EXPECT_EQ(fh.bfOffBits, 14u + 40u + (grey ? 1024u : 0u)) << kind;

    PictureView reopened(Open(target));
    ASSERT_TRUE(reopened.ok()) << kind << ": error " << QilGetLastError();
    ASSERT_EQ(reopened.width(), original.width()) << kind;
    ASSERT_EQ(reopened.height(), original.height()) << kind;
    ASSERT_EQ(reopened.bits(), original.bits()) << kind;
    EXPECT_EQ(reopened.header().biXPelsPerMeter, original.header().biXPelsPerMeter) << kind;
    size_t differing = 0;
    for (int y = 0; y < original.height(); ++y) {
      differing += std::memcmp(original.row(y), reopened.row(y), original.width() * (grey ? 1 : 3))
                       ? 1
                       : 0;
    }
    EXPECT_EQ(differing, 0u) << kind << ": rows that differ after the round trip";
  }
}

TEST_F(SaveFile, ReplacesAnExistingFile) {
  PictureView picture(OpenPhoto(false));
  ASSERT_TRUE(picture.ok());
  std::string target = folder.File("old.bmp");
  ASSERT_TRUE(testpics::WriteFileBytes(target, {'o', 'l', 'd'}));
  ASSERT_EQ(QilSaveFile(picture.handle(), target.c_str(), QIL_SAVE_BMP, 0), 0);
  PictureView reopened(Open(target));
  EXPECT_TRUE(reopened.ok()) << "the old file was replaced by the picture";
  EXPECT_EQ(CountFiles(folder.path()), 2) << "the source and the bitmap, no temporary file";
}

TEST_F(SaveFile, FailuresLeaveExistingFilesIntact) {
  PictureView picture(OpenPhoto(false));
  ASSERT_TRUE(picture.ok());
  const std::vector<uint8_t> oldBytes = {'k', 'e', 'e', 'p'};

  std::string missing = folder.File("no such folder\\picture.bmp");
  QilSetLastError(0);
  EXPECT_LT(QilSaveFile(picture.handle(), missing.c_str(), QIL_SAVE_BMP, 0), 0);
  EXPECT_EQ(QilGetLastError(), QIL_ERR_IO) << "saving into a missing folder";

  // A read-only target cannot be replaced; the old bytes must survive.
  std::string locked = folder.File("locked.bmp");
  ASSERT_TRUE(testpics::WriteFileBytes(locked, oldBytes));
  ASSERT_TRUE(SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
  int filesBefore = CountFiles(folder.path());
  EXPECT_LT(QilSaveFile(picture.handle(), locked.c_str(), QIL_SAVE_BMP, 0), 0);
  EXPECT_EQ(QilGetLastError(), QIL_ERR_IO) << "replacing a read-only file";
  std::vector<uint8_t> after;
  ASSERT_TRUE(testpics::ReadFileBytes(locked, &after));
  EXPECT_EQ(after, oldBytes) << "the existing file was changed by a failed save";
  EXPECT_EQ(CountFiles(folder.path()), filesBefore) << "a temporary file was left behind";
  SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);

  // A target held open by someone else cannot be replaced either.
  std::string busy = folder.File("busy.bmp");
  ASSERT_TRUE(testpics::WriteFileBytes(busy, oldBytes));
  HANDLE holder = CreateFileA(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  filesBefore = CountFiles(folder.path());
  EXPECT_LT(QilSaveFile(picture.handle(), busy.c_str(), QIL_SAVE_BMP, 0), 0);
  EXPECT_EQ(QilGetLastError(), QIL_ERR_IO) << "replacing a file held open elsewhere";
  CloseHandle(holder);
  ASSERT_TRUE(testpics::ReadFileBytes(busy, &after));
  EXPECT_EQ(after, oldBytes) << "a file held open elsewhere was changed by a failed save";
  EXPECT_EQ(CountFiles(folder.path()), filesBefore) << "a temporary file was left behind";

  std::string kept = folder.File("kept.bmp");
  ASSERT_TRUE(testpics::WriteFileBytes(kept, oldBytes));
  EXPECT_EQ(QilSaveFile(picture.handle(), kept.c_str(), 3, 0), QIL_ERR_BAD_ARGUMENT);
  EXPECT_EQ(QilGetLastError(), QIL_ERR_BAD_ARGUMENT) << "format 3 is not written";

  // A handle whose header claims more pixels than it holds.
  HTOVIMEM bogus = ToviMemAlloc(TOVI_MOVABLE_ZERO, 100);
  ASSERT_NE(bogus, nullptr);
  auto* header = static_cast<BITMAPINFOHEADER*>(ToviMemLock(bogus));
  header->biSize = 40;
  header->biWidth = 1000;
  header->biHeight = 1000;
  header->biPlanes = 1;
  header->biBitCount = 24;
  ToviMemUnlock(bogus);
  EXPECT_EQ(QilSaveFile(bogus, kept.c_str(), QIL_SAVE_BMP, 0), QIL_ERR_BAD_ARGUMENT);
  EXPECT_EQ(QilSaveFile(nullptr, kept.c_str(), QIL_SAVE_BMP, 0), QIL_ERR_BAD_ARGUMENT);
  ToviMemFree(bogus);
  ASSERT_TRUE(testpics::ReadFileBytes(kept, &after));
  EXPECT_EQ(after, oldBytes) << "a refused save touched the existing file";
}

// ---------------------------------------------------------------------------
// Display

// A white 24-bit DIB section selected into a memory DC; pixels read back
// through the section's bits (top-down).
class MemoryCanvas {
 public:
  MemoryCanvas(int w, int h) : w_(w), h_(h) {
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // negative: top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<uint8_t*>(bits);
    old_ = SelectObject(dc_, bitmap_);
    std::memset(bits_, 255, size_t(Stride()) * h);
  }
  ~MemoryCanvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  MemoryCanvas(const MemoryCanvas&) = delete;
  MemoryCanvas& operator=(const MemoryCanvas&) = delete;
  HDC dc() const { return dc_; }
  bool ok() const { return dc_ && bitmap_ && bits_; }
  Bgr At(int x, int y) const {
    GdiFlush();
    const uint8_t* p = bits_ + size_t(y) * Stride() + size_t(x) * 3;
    return {p[0], p[1], p[2]};
  }

 private:
  int Stride() const { return (w_ * 3 + 3) & ~3; }
  int w_, h_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint8_t* bits_ = nullptr;
};

TEST(DibDisplay, StretchesTheWholePictureIntoTheRectangle) {
  testpics::TempFolder folder;
  for (bool grey : {false, true}) {
    const char* kind = grey ? "grey" : "colour";
    // Four 4 x 4 quadrants: red, green / blue, white (greys for the grey picture).
    testpics::Pixels px(8, 8, grey);
    px.Fill(0, 0, 4, 4, 255, 40, 0);
    px.Fill(4, 0, 8, 4, 0, 200, 0);
    px.Fill(0, 4, 4, 8, 0, 0, 255);
    px.Fill(4, 4, 8, 8, 255, 90, 255);
    std::string path = folder.File(std::string(kind) + ".png");
    ASSERT_TRUE(testpics::WritePicture(path, FileFormat::Png, px));
    PictureView picture(Open(path));
    ASSERT_TRUE(picture.ok()) << kind;

    MemoryCanvas canvas(60, 50);
    ASSERT_TRUE(canvas.ok());
    SetStretchBltMode(canvas.dc(), COLORONCOLOR);
    RECT rect = {10, 5, 50, 45};  // 40 x 40: each quadrant becomes 20 x 20
    EXPECT_EQ(QilDibDisplay(canvas.dc(), &rect, picture.handle(), 0, 0, 0), 1) << kind;
    EXPECT_EQ(GetStretchBltMode(canvas.dc()), COLORONCOLOR) << kind << ": stretch mode restored";

    struct Spot {
      int x, y, qx, qy;
    };
    const Spot spots[] = {{20, 15, 1, 1}, {40, 15, 5, 1}, {20, 35, 1, 5}, {40, 35, 5, 5}};
    for (const Spot& s : spots) {
      Bgr want = picture.At(s.qx, s.qy), got = canvas.At(s.x, s.y);
      EXPECT_TRUE(Near(got, want, 8)) << kind << " at (" << s.x << ", " << s.y << ") expected "
                                      << Describe(want) << ", got " << Describe(got);
    }
    for (auto outside : {std::make_pair(5, 5), std::make_pair(55, 48), std::make_pair(30, 2)}) {
      Bgr got = canvas.At(outside.first, outside.second);
      EXPECT_TRUE(Near(got, Bgr{255, 255, 255}, 0))
          << kind << ": outside the rectangle at (" << outside.first << ", " << outside.second
          << ") expected white, got " << Describe(got);
    }
  }
}

TEST(DibDisplay, RefusesWhatItCannotDraw) {
  MemoryCanvas canvas(10, 10);
  RECT rect = {0, 0, 10, 10};
  EXPECT_EQ(QilDibDisplay(canvas.dc(), &rect, nullptr, 0, 0, 0), 0) << "null picture";
  HTOVIMEM tiny = ToviMemAlloc(TOVI_MOVABLE_ZERO, 16);
  EXPECT_EQ(QilDibDisplay(canvas.dc(), &rect, tiny, 0, 0, 0), 0) << "block smaller than a header";
  EXPECT_EQ(QilDibDisplay(nullptr, &rect, tiny, 0, 0, 0), 0) << "null DC";
  ToviMemFree(tiny);
  EXPECT_TRUE(Near(canvas.At(5, 5), Bgr{255, 255, 255}, 0)) << "nothing was drawn";
}

}  // namespace
