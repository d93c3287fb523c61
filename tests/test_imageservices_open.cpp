// Opening picture files: every format, grey and colour, Exif orientation,
// damaged and hostile files, the stop test and the last error.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "../platform/qil.h"
#include "PictureView.h"
#include "TestPictures.h"

using testpics::FileFormat;
using testpics::Pixels;

namespace {

const char* FormatName(FileFormat f) {
  switch (f) {
    case FileFormat::Png: return "Png";
    case FileFormat::Tiff: return "Tiff";
    case FileFormat::Gif: return "Gif";
    case FileFormat::Bmp: return "Bmp";
    case FileFormat::Jpeg: return "Jpeg";
  }
  return "?";
}

HTOVIMEM Open(const std::string& path) {
  QILOPENOPTIONS options{};
  options.nMode = 1;
  return QilOpenFile(path.c_str(), 0, &options);
}

Bgr Expected(const Pixels& px, int x, int y) {
  const uint8_t* p = px.At(x, y);
  return px.grey ? Bgr{p[0], p[0], p[0]} : Bgr{p[0], p[1], p[2]};
}

struct FormatCase {
  FileFormat format;
  bool grey;
};

std::string CaseName(const testing::TestParamInfo<FormatCase>& info) {
  return std::string(FormatName(info.param.format)) + (info.param.grey ? "Grey" : "Colour");
}

class OpenEachFormat : public testing::TestWithParam<FormatCase> {
 protected:
  testpics::TempFolder folder;
};

TEST_P(OpenEachFormat, GivesUprightBottomUpPictureWithTheFilePixels) {
  const FormatCase c = GetParam();
  ASSERT_TRUE(folder.ok());
  // An odd width makes every row carry padding.
  Pixels written = testpics::MakePhotoPixels(37, 23, c.grey), stored;
  std::string path = folder.File("picture.dat");  // the extension says nothing
  ASSERT_TRUE(testpics::WritePicture(path, c.format, written, &stored, 300))
      << "the WIC encoder could not write the test picture";

  LONG liveBefore = ToviMemLiveCount();
  QilSetLastError(-99);
  PictureView picture(Open(path));
  ASSERT_TRUE(picture.ok()) << "expected a picture, got null with error " << QilGetLastError();
  EXPECT_EQ(QilGetLastError(), 0) << "success clears the last error";
  EXPECT_EQ(ToviMemLiveCount(), liveBefore + 1) << "one handle per picture";
  EXPECT_EQ(picture.header().biSize, 40u);
  EXPECT_EQ(picture.width(), 37);
  EXPECT_EQ(picture.height(), 23) << "positive height: rows run bottom-up";
  EXPECT_EQ(picture.bits(), c.grey ? 8 : 24);
  EXPECT_EQ(picture.header().biSizeImage, picture.stride() * 23u);
  EXPECT_GE(ToviMemSize(picture.handle()),
            40u + (c.grey ? 1024u : 0u) + picture.header().biSizeImage);
  if (c.grey) {
    for (int i = 0; i < 256; i += 51) {
      const RGBQUAD& q = picture.palette()[i];
      EXPECT_TRUE(q.rgbRed == i && q.rgbGreen == i && q.rgbBlue == i)
          << "palette entry " << i << " should be grey " << i << ", got " << int(q.rgbRed) << ","
          << int(q.rgbGreen) << "," << int(q.rgbBlue);
    }
  }
  if (c.format == FileFormat::Bmp || c.format == FileFormat::Jpeg ||
      c.format == FileFormat::Png || c.format == FileFormat::Tiff) {
    EXPECT_NEAR(picture.header().biXPelsPerMeter, 11811, 2) << "300 dpi is 11811 pixels a metre";
  }
  // JPEG halves the colour resolution: corners with grain drift the most.
  const int tolerance = c.format == FileFormat::Jpeg ? 24 : 0;
  const int spots[][2] = {{0, 0}, {36, 0}, {0, 22}, {36, 22}, {18, 11}, {5, 17}};
  for (const auto& s : spots) {
    Bgr want = Expected(stored, s[0], s[1]), got = picture.At(s[0], s[1]);
    EXPECT_TRUE(Near(got, want, tolerance)) << "at (" << s[0] << ", " << s[1] << ") expected "
                                            << Describe(want) << ", got " << Describe(got);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, OpenEachFormat,
    testing::Values(FormatCase{FileFormat::Png, false}, FormatCase{FileFormat::Png, true},
                    FormatCase{FileFormat::Tiff, false}, FormatCase{FileFormat::Tiff, true},
                    FormatCase{FileFormat::Gif, false}, FormatCase{FileFormat::Gif, true},
                    FormatCase{FileFormat::Bmp, false}, FormatCase{FileFormat::Bmp, true},
                    FormatCase{FileFormat::Jpeg, false}, FormatCase{FileFormat::Jpeg, true}),
    CaseName);

TEST(OpenPicture, TransparentPixelsComeOutOverWhite) {
  testpics::TempFolder folder;
  std::vector<uint8_t> bgra;
  for (int i = 0; i < 4; ++i) {
    // Red at full, half and no opacity, then opaque blue.
    static const uint8_t kPixels[4][4] = {{0, 0, 255, 255}, {0, 0, 255, 128}, {0, 0, 255, 0},
                                          {255, 0, 0, 255}};
    bgra.insert(bgra.end(), kPixels[i], kPixels[i] + 4);
  }
  std::string path = folder.File("alpha.png");
  ASSERT_TRUE(testpics::WriteBgraPicture(path, FileFormat::Png, 4, 1, bgra));
  PictureView picture(Open(path));
  ASSERT_TRUE(picture.ok()) << "error " << QilGetLastError();
  EXPECT_EQ(picture.bits(), 24);
  const Bgr want[4] = {{0, 0, 255}, {127, 127, 255}, {255, 255, 255}, {255, 0, 0}};
  for (int x = 0; x < 4; ++x) {
    EXPECT_TRUE(Near(picture.At(x, 0), want[x], 1))
        << "pixel " << x << " expected " << Describe(want[x]) << ", got "
        << Describe(picture.At(x, 0));
  }
}

TEST(OpenPicture, CmykJpegBecomesColour) {
  testpics::TempFolder folder;
  // Adobe's inverted CMYK: 255 is no ink. Red, then green, then white.
  std::vector<uint8_t> cmyk;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 48; ++x) {
      static const uint8_t kInk[3][4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {255, 255, 255, 255}};
      const uint8_t* ink = kInk[x / 16];
      cmyk.insert(cmyk.end(), ink, ink + 4);
    }
  }
  std::string path = folder.File("cmyk.jpg");
  if (!testpics::WriteCmykJpeg(path, 48, 16, cmyk)) {
    GTEST_SKIP() << "this WIC cannot write CMYK JPEG files";
  }
  PictureView picture(Open(path));
  ASSERT_TRUE(picture.ok()) << "error " << QilGetLastError();
  EXPECT_EQ(picture.bits(), 24);
  const Bgr want[3] = {{0, 0, 255}, {0, 255, 0}, {255, 255, 255}};
  for (int i = 0; i < 3; ++i) {
    Bgr got = picture.At(i * 16 + 8, 8);
    EXPECT_TRUE(Near(got, want[i], 12))
        << "band " << i << " expected " << Describe(want[i]) << ", got " << Describe(got);
  }
}

// Icons hold several pictures; the largest is the one opened.
TEST(OpenPicture, IconGivesItsLargestPicture) {
  testpics::TempFolder folder;
  std::vector<uint8_t> small, large;
  Pixels red(16, 16, false), blue(32, 32, false);
  red.Fill(0, 0, 16, 16, 255, 0, 0);
  blue.Fill(0, 0, 32, 32, 0, 0, 255);
  ASSERT_TRUE(testpics::WritePicture(folder.File("16.png"), FileFormat::Png, red));
  ASSERT_TRUE(testpics::WritePicture(folder.File("32.png"), FileFormat::Png, blue));
  ASSERT_TRUE(testpics::ReadFileBytes(folder.File("16.png"), &small));
  ASSERT_TRUE(testpics::ReadFileBytes(folder.File("32.png"), &large));
  // ICONDIR, two ICONDIRENTRYs, then the PNG pictures.
  std::vector<uint8_t> ico = {0, 0, 1, 0, 2, 0};
  auto entry = [&](int side, size_t size, size_t offset) {
    const uint8_t e[16] = {uint8_t(side), uint8_t(side), 0, 0, 1, 0, 32, 0,
                           uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), 0,
                           uint8_t(offset), uint8_t(offset >> 8), uint8_t(offset >> 16), 0};
    ico.insert(ico.end(), e, e + 16);
  };
  entry(16, small.size(), 6 + 32);
  entry(32, large.size(), 6 + 32 + small.size());
  ico.insert(ico.end(), small.begin(), small.end());
  ico.insert(ico.end(), large.begin(), large.end());
  ASSERT_TRUE(testpics::WriteFileBytes(folder.File("two.ico"), ico));

  PictureView picture(Open(folder.File("two.ico")));
  ASSERT_TRUE(picture.ok()) << "error " << QilGetLastError();
  EXPECT_EQ(picture.width(), 32);
  EXPECT_EQ(picture.height(), 32);
  Bgr got = picture.At(10, 10);
  EXPECT_TRUE(Near(got, Bgr{255, 0, 0}, 0)) << "expected blue, got " << Describe(got);
}

// ---------------------------------------------------------------------------
// Exif orientation

// A 40 x 24 grey picture with a red block in its top-left corner and a green
// one in its top-right corner, as stored in the file.
Pixels MarkedPixels() {
  Pixels px(40, 24, false);
  px.Fill(0, 0, 40, 24, 128, 128, 128);
  px.Fill(0, 0, 8, 8, 255, 0, 0);
  px.Fill(32, 0, 40, 8, 0, 255, 0);
  return px;
}

enum Corner { kTopLeft, kTopRight, kBottomLeft, kBottomRight };

const char* CornerName(Corner c) {
  static const char* kNames[] = {"top left", "top right", "bottom left", "bottom right"};
  return kNames[c];
}

Bgr CornerColour(const PictureView& p, Corner c) {
  int x = (c == kTopLeft || c == kBottomLeft) ? 3 : p.width() - 4;
  int y = (c == kTopLeft || c == kTopRight) ? 3 : p.height() - 4;
  return p.At(x, y);
}

class ExifOrientation : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.ok());
    ASSERT_TRUE(testpics::WritePicture(folder.File("plain.jpg"), FileFormat::Jpeg, MarkedPixels()));
    ASSERT_TRUE(testpics::ReadFileBytes(folder.File("plain.jpg"), &plain));
  }
  // Opens the plain JPEG with an APP1 segment holding body.
  HTOVIMEM OpenWith(const std::vector<uint8_t>& body) {
    std::string path = folder.File("oriented.jpg");
    EXPECT_TRUE(testpics::WriteFileBytes(path, testpics::InsertApp1(plain, body)));
    return Open(path);
  }
  void ExpectMarks(const PictureView& p, Corner red, Corner green, const std::string& what) {
    const Bgr kRed{0, 0, 255}, kGreen{0, 255, 0}, kGrey{128, 128, 128};
    for (Corner c : {kTopLeft, kTopRight, kBottomLeft, kBottomRight}) {
      Bgr want = c == red ? kRed : c == green ? kGreen : kGrey;
      Bgr got = CornerColour(p, c);
      EXPECT_TRUE(Near(got, want, 24)) << what << ": " << CornerName(c) << " expected "
                                       << Describe(want) << ", got " << Describe(got);
    }
  }

  testpics::TempFolder folder;
  std::vector<uint8_t> plain;
};

TEST_F(ExifOrientation, EveryOrientationComesOutUprightInBothByteOrders) {
  // Where the stored top-left (red) and top-right (green) corners must land.
  struct Case {
    int orientation;
    Corner red, green;
  };
  const Case cases[] = {{1, kTopLeft, kTopRight},    {2, kTopRight, kTopLeft},
                        {3, kBottomRight, kBottomLeft}, {4, kBottomLeft, kBottomRight},
                        {5, kTopLeft, kBottomLeft},  {6, kTopRight, kBottomRight},
                        {7, kBottomRight, kTopRight}, {8, kBottomLeft, kTopLeft}};
  for (bool bigEndian : {false, true}) {
    for (const Case& c : cases) {
      std::string what = "orientation " + std::to_string(c.orientation) +
                         (bigEndian ? " (MM)" : " (II)");
      PictureView p(OpenWith(testpics::ExifOrientationBody(c.orientation, bigEndian)));
      ASSERT_TRUE(p.ok()) << what << ": error " << QilGetLastError();
      bool swapped = c.orientation >= 5;
      EXPECT_EQ(p.width(), swapped ? 24 : 40) << what;
      EXPECT_EQ(p.height(), swapped ? 40 : 24) << what;
      ExpectMarks(p, c.red, c.green, what);
    }
  }
}

TEST_F(ExifOrientation, HostileExifBlocksStillGiveThePicture) {
  auto set32 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));  // little-endian body
  };
  auto set16 = [](std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
  };
  // Body offsets: TIFF header at 6, IFD0 at 6 + 8, its entry at 16, next-IFD link at 28.
  const std::vector<uint8_t> good = testpics::ExifOrientationBody(6, false);
  struct Case {
    const char* what;
    std::vector<uint8_t> body;
    bool turned;  // the orientation tag is still readable
  };
  std::vector<Case> cases;
  auto add = [&](const char* what, bool turned, auto change) {
    std::vector<uint8_t> b = good;
    change(b);
    cases.push_back({what, b, turned});
  };
  add("IFD0 offset past the end", false, [&](auto& b) { set32(b, 10, 0xFFFFFFF0u); });
  add("IFD0 offset just short of the end", false,
      [&](auto& b) { set32(b, 10, uint32_t(b.size() - 6 - 1)); });
  add("entry count far beyond the data", true, [&](auto& b) { set16(b, 14, 0xFFFF); });
  add("orientation with a huge value count", false, [&](auto& b) { set32(b, 20, 0x7FFFFFFF); });
  add("orientation value out of range", false, [&](auto& b) { set16(b, 24, 9); });
  add("next IFD loops to IFD0", true, [&](auto& b) { set32(b, 28, 8); });
  add("tag missing, IFD0 links to itself", false, [&](auto& b) {
    set16(b, 16, 0x010F);
    set32(b, 28, 8);
  });
  add("bad TIFF magic", false, [&](auto& b) { set16(b, 8, 43); });
  add("cut inside the entry", false, [&](auto& b) { b.resize(20); });
  add("cut after the TIFF header", false, [&](auto& b) { b.resize(12); });

  for (const Case& c : cases) {
    PictureView p(OpenWith(c.body));
    ASSERT_TRUE(p.ok()) << c.what << ": expected a picture, got error " << QilGetLastError();
    EXPECT_EQ(p.width(), c.turned ? 24 : 40) << c.what;
    if (c.turned) {
      ExpectMarks(p, kTopRight, kBottomRight, c.what);
    } else {
      ExpectMarks(p, kTopLeft, kTopRight, c.what);
    }
  }
}

// ---------------------------------------------------------------------------
// Failures

class OpenFailure : public testing::Test {
 protected:
  // Opens the path, expects null and the given last error, and no handle left.
  void ExpectFailure(const std::string& path, int expected, const std::string& what) {
    LONG before = ToviMemLiveCount();
    QilSetLastError(0);
    HTOVIMEM picture = Open(path);
    EXPECT_EQ(picture, nullptr) << what << ": expected no picture";
    if (picture) ToviMemFree(picture);
    EXPECT_EQ(QilGetLastError(), expected) << what;
    EXPECT_EQ(ToviMemLiveCount(), before) << what << ": a handle was left behind";
  }
  void WriteTruncatedCopies(const std::vector<uint8_t>& whole, const std::vector<size_t>& lengths,
                            const char* kind) {
    for (size_t length : lengths) {
      std::vector<uint8_t> cut(whole.begin(), whole.begin() + length);
      std::string path = folder.File("cut.bin");
      ASSERT_TRUE(testpics::WriteFileBytes(path, cut));
      ExpectFailure(path, QIL_ERR_BAD_PICTURE,
                    std::string(kind) + " cut to " + std::to_string(length) + " of " +
                        std::to_string(whole.size()) + " bytes");
    }
  }
  testpics::TempFolder folder;
};

TEST_F(OpenFailure, MissingFilesAndFolders) {
  ExpectFailure(folder.File("absent.jpg"), QIL_ERR_NOT_FOUND, "missing file");
  ExpectFailure(folder.File("absent\\picture.png"), QIL_ERR_NOT_FOUND, "missing folder");
  QilSetLastError(0);
  EXPECT_EQ(QilOpenFile(nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(QilGetLastError(), QIL_ERR_BAD_ARGUMENT) << "null path";
}

TEST_F(OpenFailure, EmptyTextAndNonsenseFiles) {
  ASSERT_TRUE(testpics::WriteFileBytes(folder.File("empty.jpg"), {}));
  ExpectFailure(folder.File("empty.jpg"), QIL_ERR_BAD_PICTURE, "empty file");
  std::string text = "These are holiday notes, not a picture.\r\n";
  ASSERT_TRUE(testpics::WriteFileBytes(folder.File("notes.jpg"),
                                       std::vector<uint8_t>(text.begin(), text.end())));
  ExpectFailure(folder.File("notes.jpg"), QIL_ERR_BAD_PICTURE, "text file named .jpg");
  std::vector<uint8_t> fakeJpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10};
  for (int i = 0; i < 200; ++i) fakeJpeg.push_back(uint8_t(i * 37));
  ASSERT_TRUE(testpics::WriteFileBytes(folder.File("fake.jpg"), fakeJpeg));
  ExpectFailure(folder.File("fake.jpg"), QIL_ERR_BAD_PICTURE, "JPEG start, then rubbish");
}

// Album records keep 16-bit sizes, and no picture may need 2 GB or more.
TEST_F(OpenFailure, OversizedPicturesAreRefusedBeforeDecoding) {
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(testpics::WritePicture(folder.File("small.jpg"), FileFormat::Jpeg,
                                     testpics::MakePhotoPixels(16, 16, false)));
  ASSERT_TRUE(testpics::ReadFileBytes(folder.File("small.jpg"), &jpeg));
  size_t sof = 0;
  for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      sof = i;
      break;
    }
  }
  ASSERT_NE(sof, 0u) << "no baseline frame header in the encoder's JPEG";
  for (unsigned side : {30000u, 60000u}) {  // 2.7 GB, and a size that overflows 32 bits
    std::vector<uint8_t> huge = jpeg;
    huge[sof + 5] = huge[sof + 7] = uint8_t(side >> 8);
    huge[sof + 6] = huge[sof + 8] = uint8_t(side);
    ASSERT_TRUE(testpics::WriteFileBytes(folder.File("huge.jpg"), huge));
    ExpectFailure(folder.File("huge.jpg"), QIL_ERR_BAD_PICTURE,
                  "JPEG declaring " + std::to_string(side) + " x " + std::to_string(side));
  }

  // One row of 70000 pixels: wider than a record can say.
  const uint32_t width = 70000, rowBytes = (width * 3 + 3) & ~3u;
  std::vector<uint8_t> bmp(14 + 40 + rowBytes, 0x80);
  BITMAPFILEHEADER fh{0x4D42, DWORD(bmp.size()), 0, 0, 14 + 40};
  BITMAPINFOHEADER ih{40, LONG(width), 1, 1, 24, BI_RGB, rowBytes, 0, 0, 0, 0};
  std::memcpy(bmp.data(), &fh, 14);
  std::memcpy(bmp.data() + 14, &ih, 40);
  ASSERT_TRUE(testpics::WriteFileBytes(folder.File("wide.bmp"), bmp));
  ExpectFailure(folder.File("wide.bmp"), QIL_ERR_BAD_PICTURE, "bitmap 70000 pixels wide");
}

TEST_F(OpenFailure, TruncatedJpegIsAnErrorNotAHalfGreyPicture) {
  std::vector<uint8_t> whole;
  ASSERT_TRUE(testpics::WritePicture(folder.File("whole.jpg"), FileFormat::Jpeg,
                                     testpics::MakePhotoPixels(96, 64, false)));
  ASSERT_TRUE(testpics::ReadFileBytes(folder.File("whole.jpg"), &whole));
  ASSERT_GT(whole.size(), 1000u);
  WriteTruncatedCopies(whole, {2, 20, 200, whole.size() / 2, whole.size() - 40}, "JPEG");
}

TEST_F(OpenFailure, TruncatedPngIsAnError) {
  std::vector<uint8_t> whole;
  ASSERT_TRUE(testpics::WritePicture(folder.File("whole.png"), FileFormat::Png,
                                     testpics::MakePhotoPixels(96, 64, false)));
  ASSERT_TRUE(testpics::ReadFileBytes(folder.File("whole.png"), &whole));
  ASSERT_GT(whole.size(), 1000u);
  WriteTruncatedCopies(whole, {8, 30, whole.size() / 2, whole.size() - 100}, "PNG");
}

// ---------------------------------------------------------------------------
// Stop test

int g_stopCalls = 0;
int g_stopAfter = 0;
int CountingStopTest() { return ++g_stopCalls > g_stopAfter ? 1 : 0; }
int NeverStop() { return 0; }

class StopTest : public testing::TestWithParam<FileFormat> {
 protected:
  void SetUp() override {
    previous = SetAbortFunc(nullptr);
    ASSERT_TRUE(folder.ok());
    path = folder.File("tall.pic");
    ASSERT_TRUE(testpics::WritePicture(path, GetParam(), testpics::MakePhotoPixels(40, 300, false)));
  }
  void TearDown() override { SetAbortFunc(previous); }
  testpics::TempFolder folder;
  std::string path;
  QILABORTFUNC previous = nullptr;
};

TEST_P(StopTest, AskedDuringDecodingAndHonoured) {
  g_stopCalls = 0;
  g_stopAfter = 1000000;
  EXPECT_EQ(SetAbortFunc(CountingStopTest), nullptr);
  EXPECT_EQ(QilGetAbortFunc(), CountingStopTest);
  {
    PictureView whole(Open(path));
    ASSERT_TRUE(whole.ok()) << "a test that answers 0 lets the picture open";
  }
  const int callsForWhole = g_stopCalls;
  EXPECT_GE(callsForWhole, 3) << "expected the test asked repeatedly over 300 rows, got "
                              << callsForWhole << " calls";

  for (int after : {0, callsForWhole / 2}) {
    g_stopCalls = 0;
    g_stopAfter = after;
    LONG before = ToviMemLiveCount();
    QilSetLastError(0);
    HTOVIMEM picture = Open(path);
    EXPECT_EQ(picture, nullptr) << "stop after " << after << " calls";
    if (picture) ToviMemFree(picture);
    EXPECT_EQ(QilGetLastError(), QIL_ERR_STOPPED) << "stop after " << after << " calls";
    EXPECT_EQ(ToviMemLiveCount(), before) << "stop after " << after << ": handle leaked";
  }
  EXPECT_EQ(SetAbortFunc(NeverStop), CountingStopTest) << "the previous test is handed back";
  PictureView again(Open(path));
  EXPECT_TRUE(again.ok()) << "a test that answers 0 never stops anything";
}

INSTANTIATE_TEST_SUITE_P(Decoders, StopTest, testing::Values(FileFormat::Jpeg, FileFormat::Png),
                         [](const testing::TestParamInfo<FileFormat>& i) {
                           return std::string(FormatName(i.param));
                         });

// ---------------------------------------------------------------------------
// Last error

TEST(LastError, IsKeptPerThreadAndClearedBySuccess) {
  testpics::TempFolder folder;
  ASSERT_TRUE(testpics::WritePicture(folder.File("ok.png"), FileFormat::Png,
                                     testpics::MakePhotoPixels(8, 8, false)));
  QilSetLastError(17);
  EXPECT_EQ(QilGetLastError(), 17);
  EXPECT_EQ(Open(folder.File("missing.png")), nullptr);
  EXPECT_EQ(QilGetLastError(), QIL_ERR_NOT_FOUND);

  int otherThreadSees = 12345;
  std::thread other([&] {
    otherThreadSees = QilGetLastError();
    QilSetLastError(QIL_ERR_IO);
  });
  other.join();
  EXPECT_EQ(otherThreadSees, 0) << "a new thread starts without an error";
  EXPECT_EQ(QilGetLastError(), QIL_ERR_NOT_FOUND) << "another thread's error is its own";

  PictureView picture(Open(folder.File("ok.png")));
  ASSERT_TRUE(picture.ok());
  EXPECT_EQ(QilGetLastError(), 0) << "success resets the last error";
}

}  // namespace
