// Thumbnails from pictures in memory and from picture files: sizes, bit
// depths, records and ownership of every handle.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "ItemFactory.h"
#include "support/TestPictures.h"

namespace {

// A bottom-up DIB of the given size and depth (8-bit pictures get a grey palette).
HTOVIMEM MakeDib(int width, int height, int bitCount) {
  DWORD stride = ((static_cast<DWORD>(width) * bitCount + 31) / 32) * 4;
  DWORD paletteBytes = bitCount == 8 ? 256 * sizeof(RGBQUAD) : 0;
  DWORD size = sizeof(BITMAPINFOHEADER) + paletteBytes + stride * static_cast<DWORD>(height);
  HTOVIMEM dib = ToviMemAlloc(TOVI_MOVABLE_ZERO, size);
  auto* header = static_cast<BITMAPINFOHEADER*>(ToviMemLock(dib));
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = static_cast<WORD>(bitCount);
  header->biSizeImage = stride * static_cast<DWORD>(height);
  header->biXPelsPerMeter = 3780;
  header->biYPelsPerMeter = 3780;
  if (bitCount == 8) {
    header->biClrUsed = 256;
    auto* palette = reinterpret_cast<RGBQUAD*>(header + 1);
    for (int i = 0; i < 256; ++i) palette[i] = {BYTE(i), BYTE(i), BYTE(i), 0};
  }
  BYTE* pixels = reinterpret_cast<BYTE*>(header + 1) + paletteBytes;
  for (DWORD i = 0; i < header->biSizeImage; ++i) pixels[i] = static_cast<BYTE>(i * 7);
  ToviMemUnlock(dib);
  return dib;
}

struct Header {
  LONG width, height;
  WORD bitCount;
};

Header HeaderOf(HTOVIMEM dib) {
  auto* info = static_cast<BITMAPINFOHEADER*>(ToviMemLock(dib));
  Header header{info->biWidth, info->biHeight, info->biBitCount};
  ToviMemUnlock(dib);
  return header;
}

struct SizeCase {
  int width, height, bitCount;
  WORD maxWidth, maxHeight;
  LONG expectedWidth, expectedHeight;
};

}  // namespace

TEST(MakeThumbnailPicture, FitsTheSquareOfTheSmallerLimit) {
  const SizeCase cases[] = {
      {4000, 3000, 24, 100, 80, 80, 60},  // 80 x 3000 + 2000 = 242000; / 4000 = 60
      {1, 1000, 24, 80, 80, 1, 80},       // the short side is raised to 1
      {60, 40, 24, 80, 80, 60, 40},       // never enlarged
      {500, 500, 24, 80, 120, 80, 80},    // square: width branch
      {3000, 4000, 24, 100, 80, 60, 80},
      {1000, 1, 24, 80, 80, 80, 1},
      {4000, 3000, 8, 100, 80, 80, 60},
      {60, 40, 8, 80, 80, 60, 40},        // only converted to 24 bits
      {333, 100, 24, 100, 100, 100, 30},  // (100 x 100 + 166) / 333 = 30
  };
  for (const SizeCase& c : cases) {
    LONG before = ToviMemLiveCount();
    HTOVIMEM source = MakeDib(c.width, c.height, c.bitCount);
    HTOVIMEM thumbnail = static_cast<HTOVIMEM>(MakeThumbnailPicture(source, c.maxWidth, c.maxHeight));
    ASSERT_NE(thumbnail, nullptr) << c.width << "x" << c.height;
    Header header = HeaderOf(thumbnail);
    EXPECT_EQ(header.width, c.expectedWidth) << c.width << "x" << c.height << " in " << c.maxWidth << "x" << c.maxHeight;
    EXPECT_EQ(header.height, c.expectedHeight) << c.width << "x" << c.height << " in " << c.maxWidth << "x" << c.maxHeight;
    EXPECT_EQ(header.bitCount, 24) << "thumbnails are always 24-bit";
    EXPECT_EQ(HeaderOf(source).bitCount, c.bitCount) << "the source is left untouched";
    EXPECT_EQ(ToviMemLiveCount(), before + 2) << "only the thumbnail is new: the intermediate picture is released";
    ToviMemFree(thumbnail);
    ToviMemFree(source);
  }
}

TEST(MakeThumbnailPicture, RefusesWhatIsNotAPicture) {
  LONG before = ToviMemLiveCount();
  EXPECT_EQ(MakeThumbnailPicture(nullptr, 80, 80), nullptr);
  HTOVIMEM tiny = ToviMemAlloc(TOVI_MOVABLE_ZERO, 8);
  EXPECT_EQ(MakeThumbnailPicture(tiny, 80, 80), nullptr) << "a block smaller than a header";
  ToviMemFree(tiny);
  HTOVIMEM source = MakeDib(10, 10, 24);
  EXPECT_EQ(MakeThumbnailPicture(source, 0, 80), nullptr) << "a zero box";
  ToviMemFree(source);
  EXPECT_EQ(ToviMemLiveCount(), before);
}

TEST(CreateThumbnailFromPicture, FillsTheRecord) {
  testpics::TempFolder folder;
  ASSERT_TRUE(folder.ok());
  std::string path = folder.File("source.bmp");
  ASSERT_TRUE(testpics::WriteFileBytes(path, std::vector<uint8_t>(1234, 0x55)));
  struct _stat64 status;
  ASSERT_EQ(_stat64(path.c_str(), &status), 0);

  HTOVIMEM source = MakeDib(400, 300, 8);
  LONG before = ToviMemLiveCount();
  CThumbnail2* item = CreateThumbnailFromPicture(source, path.c_str(), 100, 80, "A description");
  ASSERT_NE(item, nullptr);
  const tagALBUMINFOHEADER* info = item->GetInfo();
  EXPECT_EQ(info->aiFileSize, 1234u);
  DWORD later = static_cast<DWORD>(status.st_mtime > status.st_ctime ? status.st_mtime : status.st_ctime);
  EXPECT_EQ(info->aiFileTime, later);
  EXPECT_STREQ(info->aiPath, path.c_str());
  EXPECT_STREQ(info->aiDescription, "A description");
  EXPECT_EQ(info->aiRelative, 0);
  EXPECT_EQ(info->aiWidth, 400);
  EXPECT_EQ(info->aiHeight, 300);
  EXPECT_EQ(info->aiBitCount, 8);
  EXPECT_EQ(info->aiThumbWidth, 80);
  EXPECT_EQ(info->aiThumbHeight, 60);
  EXPECT_EQ(info->aiThumbSize, ToviMemSize(item->GetDib()));
  EXPECT_EQ(item->GetID(), 0);
  EXPECT_EQ(ToviMemLiveCount(), before + 1) << "the item owns the thumbnail, the source stays the caller's";
  delete item;
  EXPECT_EQ(ToviMemLiveCount(), before);

  item = CreateThumbnailFromPicture(source, path.c_str(), 100, 80, nullptr);
  ASSERT_NE(item, nullptr);
  EXPECT_STREQ(item->GetInfo()->aiDescription, "") << "no description given";
  delete item;
  ToviMemFree(source);
}

TEST(CreateThumbnailFromPicture, FailuresLeaveNoHandleBehind) {
  testpics::TempFolder folder;
  HTOVIMEM source = MakeDib(50, 50, 24);
  LONG before = ToviMemLiveCount();
  EXPECT_EQ(CreateThumbnailFromPicture(source, folder.File("missing.jpg").c_str(), 80, 80, nullptr), nullptr)
      << "the source file must exist";
  EXPECT_EQ(CreateThumbnailFromPicture(nullptr, folder.File("x.jpg").c_str(), 80, 80, nullptr), nullptr);
  std::string longPath = folder.path() + "\\" + std::string(300, 'a') + ".jpg";
  EXPECT_EQ(CreateThumbnailFromPicture(source, longPath.c_str(), 80, 80, nullptr), nullptr)
      << "an over-long path is refused, not cut into another path";
  EXPECT_EQ(ToviMemLiveCount(), before);
  ToviMemFree(source);
}

TEST(CreateThumbnailFromFile, EveryFormatFromRealFiles) {
  testpics::TempFolder folder;
  ASSERT_TRUE(folder.ok());
  struct FormatCase {
    testpics::FileFormat format;
    const char* name;
    bool grey;
    WORD expectedBits;
  };
  const FormatCase cases[] = {
      {testpics::FileFormat::Jpeg, "colour.jpg", false, 24}, {testpics::FileFormat::Jpeg, "grey.jpg", true, 8},
      {testpics::FileFormat::Png, "colour.png", false, 24},  {testpics::FileFormat::Png, "grey.png", true, 8},
      {testpics::FileFormat::Tiff, "colour.tif", false, 24}, {testpics::FileFormat::Bmp, "colour.bmp", false, 24},
      {testpics::FileFormat::Gif, "grey.gif", true, 8},
  };
  for (const FormatCase& c : cases) {
    std::string path = folder.File(c.name);
    ASSERT_TRUE(testpics::WritePicture(path, c.format, testpics::MakePhotoPixels(320, 200, c.grey))) << c.name;
    LONG before = ToviMemLiveCount();
    CThumbnail2* item = CreateThumbnailFromFile(path.c_str(), 100, 80, "d");
    ASSERT_NE(item, nullptr) << c.name;
    const tagALBUMINFOHEADER* info = item->GetInfo();
    EXPECT_EQ(info->aiWidth, 320) << c.name;
    EXPECT_EQ(info->aiHeight, 200) << c.name;
    EXPECT_EQ(info->aiBitCount, c.expectedBits) << c.name;
    EXPECT_EQ(info->aiThumbWidth, 80) << c.name;
    EXPECT_EQ(info->aiThumbHeight, 50) << c.name;
    EXPECT_EQ(HeaderOf(item->GetDib()).bitCount, 24) << c.name;
    EXPECT_EQ(ToviMemLiveCount(), before + 1) << c.name << ": the opened picture was released";
    delete item;
  }
}

TEST(CreateThumbnailFromFile, UnreadableFilesGiveNull) {
  testpics::TempFolder folder;
  ASSERT_TRUE(testpics::WriteFileBytes(folder.File("text.jpg"), std::vector<uint8_t>(100, 'x')));
  ASSERT_TRUE(testpics::WriteFileBytes(folder.File("empty.png"), {}));
  LONG before = ToviMemLiveCount();
  EXPECT_EQ(CreateThumbnailFromFile(folder.File("missing.jpg").c_str(), 80, 80, nullptr), nullptr);
  EXPECT_EQ(CreateThumbnailFromFile(folder.File("text.jpg").c_str(), 80, 80, nullptr), nullptr);
  EXPECT_EQ(QilGetLastError(), QIL_ERR_BAD_PICTURE);
  EXPECT_EQ(CreateThumbnailFromFile(folder.File("empty.png").c_str(), 80, 80, nullptr), nullptr);
  EXPECT_EQ(CreateThumbnailFromFile(nullptr, 80, 80, nullptr), nullptr);
  EXPECT_EQ(ToviMemLiveCount(), before);
}

namespace {

// Peak signal-to-noise ratio of two 24-bit pictures of the same size, dB.
double Psnr(HTOVIMEM a, HTOVIMEM b) {
  auto* ha = static_cast<BITMAPINFOHEADER*>(ToviMemLock(a));
  auto* hb = static_cast<BITMAPINFOHEADER*>(ToviMemLock(b));
  double result = -1;
  if (ha->biWidth == hb->biWidth && ha->biHeight == hb->biHeight && ha->biBitCount == 24 && hb->biBitCount == 24) {
    DWORD stride = (static_cast<DWORD>(ha->biWidth) * 3 + 3) & ~3u;
    const BYTE* pa = reinterpret_cast<const BYTE*>(ha + 1);
    const BYTE* pb = reinterpret_cast<const BYTE*>(hb + 1);
    double sum = 0;
    long count = 0;
    for (LONG y = 0; y < ha->biHeight; ++y) {
      for (LONG x = 0; x < ha->biWidth * 3; ++x) {
        double d = double(pa[y * stride + x]) - double(pb[y * stride + x]);
        sum += d * d;
        ++count;
      }
    }
    double mse = sum / count;
    result = mse == 0 ? 99 : 10 * log10(255.0 * 255.0 / mse);
  }
  ToviMemUnlock(a);
  ToviMemUnlock(b);
  return result;
}

}  // namespace

TEST(CreateThumbnailFromFile, LargeJpegsDecodeReducedButRecordTheirWholeSize) {
  testpics::TempFolder folder;
  ASSERT_TRUE(folder.ok());
  std::string path = folder.File("large.jpg");
  ASSERT_TRUE(testpics::WritePicture(path, testpics::FileFormat::Jpeg, testpics::MakePhotoPixels(1600, 1200, false)));

  // The image services give a reduced decode when asked, and the whole size.
  QILOPENOPTIONS options;
  memset(&options, 0, sizeof(options));
  options.nMode = 1;
  options.nReducedSide = 320;
  HTOVIMEM reduced = QilOpenFile(path.c_str(), 0, &options);
  ASSERT_NE(reduced, nullptr);
  EXPECT_EQ(HeaderOf(reduced).width, 400) << "1600 / 4 keeps the longer side at least 320";
  EXPECT_EQ(HeaderOf(reduced).height, 300);
  EXPECT_EQ(options.nFullWidth, 1600u);
  EXPECT_EQ(options.nFullHeight, 1200u);
  ToviMemFree(reduced);

  LONG before = ToviMemLiveCount();
  CThumbnail2* fast = CreateThumbnailFromFile(path.c_str(), 100, 80, nullptr);
  ASSERT_NE(fast, nullptr);
  EXPECT_EQ(fast->GetInfo()->aiWidth, 1600) << "the record describes the whole picture";
  EXPECT_EQ(fast->GetInfo()->aiHeight, 1200);
  EXPECT_EQ(fast->GetInfo()->aiThumbWidth, 80);
  EXPECT_EQ(fast->GetInfo()->aiThumbHeight, 60);
  EXPECT_EQ(ToviMemLiveCount(), before + 1) << "only the thumbnail stays";

  // Against a thumbnail of the whole decode: the same picture to the eye.
  memset(&options, 0, sizeof(options));
  options.nMode = 1;
  HTOVIMEM whole = QilOpenFile(path.c_str(), 0, &options);
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(HeaderOf(whole).width, 1600) << "without the request the picture comes whole";
  CThumbnail2* full = CreateThumbnailFromPicture(whole, path.c_str(), 100, 80, nullptr);
  ASSERT_NE(full, nullptr);
  double psnr = Psnr(fast->GetDib(), full->GetDib());
  EXPECT_GE(psnr, 35.0) << "reduced decode against whole decode";
  delete full;
  delete fast;
  ToviMemFree(whole);
}

TEST(CreateThumbnailFromFile, ReducedDecodesKeepTheUprightWholeSize) {
  testpics::TempFolder folder;
  ASSERT_TRUE(folder.ok());
  std::string plain = folder.File("plain.jpg");
  ASSERT_TRUE(testpics::WritePicture(plain, testpics::FileFormat::Jpeg, testpics::MakePhotoPixels(1600, 1200, false)));
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(testpics::ReadFileBytes(plain, &bytes));
  std::string turned = folder.File("turned.jpg");
  ASSERT_TRUE(testpics::WriteFileBytes(turned, testpics::InsertApp1(bytes, testpics::ExifOrientationBody(6, true))));
  CThumbnail2* item = CreateThumbnailFromFile(turned.c_str(), 100, 80, nullptr);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->GetInfo()->aiWidth, 1200) << "turned a quarter: the upright picture is tall";
  EXPECT_EQ(item->GetInfo()->aiHeight, 1600);
  EXPECT_EQ(item->GetInfo()->aiThumbWidth, 60);
  EXPECT_EQ(item->GetInfo()->aiThumbHeight, 80);
  delete item;
}
