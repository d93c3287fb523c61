// Picture information: the Exif check, the readers over well-formed and
// hostile blocks in both byte orders, the sixteen texts, and the dialog.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <album.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "../components/resources/resource.h"
#include "../manager/Module.h"
#include "ExifBuilder.h"

using exiftest::ExifBuilder;
using exiftest::kExifIfd;
using exiftest::kIfd0;

namespace {

// Label string of each row, in display order.
const UINT kRowLabels[EXIF_ROW_COUNT] = {
    IDS_INFO_MAKE,          IDS_INFO_MODEL,         IDS_INFO_EXIF_VERSION,
    IDS_INFO_DATE_TAKEN,    IDS_INFO_DATE_DIGITIZED, IDS_INFO_COMPRESSION,
    IDS_INFO_EXPOSURE_TIME, IDS_INFO_F_NUMBER,      IDS_INFO_EXPOSURE_BIAS,
    IDS_INFO_FOCAL_LENGTH,  IDS_INFO_FOCAL_PLANE_XRES, IDS_INFO_FOCAL_PLANE_YRES,
    IDS_INFO_ISO_SPEED,     IDS_INFO_FLASH,         IDS_INFO_LIGHT_SOURCE,
    IDS_INFO_EXPOSURE_PROGRAM,
};

enum Row {
  kMake, kModel, kExifVersion, kDateTaken, kDateDigitized, kCompression, kExposureTime,
  kFNumber, kExposureBias, kFocalLength, kPlaneX, kPlaneY, kIso, kFlash, kLightSource,
  kExposureProgram,
};

std::string Res(UINT id) {
  char text[256] = "";
  LoadStringA(GetResourceModule(), id, text, sizeof(text));
  return text;
}

// A temporary folder removed with everything in it.
class TempFolder {
public:
  TempFolder() {
    char base[MAX_PATH];
    GetTempPathA(sizeof(base), base);
    path_ = std::string(base) + "albumkit_exif_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~TempFolder() {
    for (const std::string& file : files_) DeleteFileA(file.c_str());
    RemoveDirectoryA(path_.c_str());
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string full = path_ + "\\" + name;
    FILE* file = fopen(full.c_str(), "wb");
    if (file) {
      if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), file);
      fclose(file);
    }
    files_.push_back(full);
    return full;
  }
  std::string Missing(const std::string& name) const { return path_ + "\\" + name; }

private:
  std::string path_;
  std::vector<std::string> files_;
};

// A camera's usual block; every value has a distinct text.
ExifBuilder Camera(bool bigEndian) {
  ExifBuilder b(bigEndian);
  b.Ascii(kIfd0, 0x010F, "Test Camera Works")
      .Ascii(kIfd0, 0x0110, "Model T-7")
      .Bytes(kExifIfd, 0x9000, 7, {'0', '2', '1', '0'})
      .Ascii(kExifIfd, 0x9003, "2002:03:15 10:20:30")
      .Ascii(kExifIfd, 0x9004, "2002:03:16 11:21:31")
      .Rational(kExifIfd, 0x9102, 5, 2)
      .Rational(kExifIfd, 0x9201, 1, 1, 10)
      .Rational(kExifIfd, 0x829D, 28, 10)
      .Rational(kExifIfd, 0x9204, 1, 3, 10)
      .Rational(kExifIfd, 0x920A, 350, 10)
      .Rational(kExifIfd, 0xA20E, 3000, 1)
      .Rational(kExifIfd, 0xA20F, 6001, 2)
      .Shorts(kExifIfd, 0x8827, {200, 400})
      .Short(kExifIfd, 0x9209, 1)
      .Short(kExifIfd, 0x9208, 1)
      .Short(kExifIfd, 0x8822, 2)
      .Short(kExifIfd, 0xA002, 640)
      .Long(kExifIfd, 0xA003, 480)
      .Bytes(kExifIfd, 0x9286, 7, {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'h', 'i'})
      .Shorts(kExifIfd, 0xA214, {12, 34})
      .Bytes(kExifIfd, 0xA300, 7, {3});
  return b;
}

std::vector<std::string> ExpectedCameraRows() {
  return {
      "Test Camera Works", "Model T-7", "0210", "2002:03:15 10:20:30", "2002:03:16 11:21:31",
      "2.5 " + Res(IDS_UNIT_BITS_PER_PIXEL), "1/2 " + Res(IDS_UNIT_SECONDS), "F2.8", "",
      "35.0 " + Res(IDS_UNIT_MILLIMETRES), "3000.0 " + Res(IDS_UNIT_PIXELS_PER_INCH),
      "3000.5 " + Res(IDS_UNIT_PIXELS_PER_INCH), Res(IDS_ISO_PREFIX) + "200",
      Res(IDS_FLASH_FIRED), Res(IDS_LIGHT_DAYLIGHT), Res(IDS_PROGRAM_NORMAL),
  };
}

// One reading of a file, released at the end of the scope.
struct Reading {
  explicit Reading(const std::string& path) {
    result = ReadExifInfo(&values, &presence, path.c_str());
    makeModelResult = ReadCameraMakeModel(path.c_str(), &makeModel);
    FormatExifRows(&rows, &values, &presence, &makeModel);
  }
  ~Reading() {
    ReleaseExifInfo(&values);
    ReleaseCameraMakeModel(&makeModel);
  }
  Reading(const Reading&) = delete;
  Reading& operator=(const Reading&) = delete;

  std::string Text(int row) const { return rows.szText[row]; }

  int result = -1;
  int makeModelResult = -1;
  tagEXIFVALUES values = {};
  tagEXIFPRESENCE presence = {};
  tagEXIFMAKEMODEL makeModel = {};
  tagEXIFROWS rows = {};
};

class ExifFiles : public ::testing::Test {
protected:
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    return folder_.Write(name, bytes);
  }
  std::string Missing(const std::string& name) { return folder_.Missing(name); }

  // One row's text for the block the builder makes.
  std::string Text(ExifBuilder& builder, int row) {
    Reading r(Write("row.jpg", builder.Jpeg()));
    EXPECT_EQ(r.result, 1) << "expected the block to read";
    return r.Text(row);
  }

private:
  TempFolder folder_;
};

// ---------------------------------------------------------------------------
// The check.

TEST_F(ExifFiles, CheckAcceptsJpgInAnyCaseAndRefusesOtherExtensions) {
  std::vector<uint8_t> jpeg = Camera(false).Jpeg();
  for (const char* name : {"a.jpg", "b.JPG", "c.JpG"}) {
    EXPECT_EQ(CheckExifFile(Write(name, jpeg).c_str()), 0) << "expected " << name << " to qualify";
  }
  for (const char* name : {"d.jpeg", "e.JPEG", "f.jpe", "g", "h.jpg.bak", "i.tif"}) {
    EXPECT_EQ(CheckExifFile(Write(name, jpeg).c_str()), EXIF_NOT_JPEG)
        << "expected " << name << " to be refused for its extension";
  }
  // The extension is looked for after the last backslash only, and before
  // the file is opened.
  EXPECT_EQ(CheckExifFile(Missing("folder.jpg\\picture").c_str()), EXIF_NOT_JPEG);
  Reading fourLetters(Write("j.jpeg", jpeg));
  EXPECT_EQ(fourLetters.result, 0) << "expected no reading of a .jpeg file";
  EXPECT_EQ(fourLetters.makeModelResult, 0) << "expected no make and model of a .jpeg file";
}

TEST_F(ExifFiles, CheckCodesForEachWayAFileFails) {
  std::vector<uint8_t> good = Camera(true).Jpeg();
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int code;
  };
  std::vector<uint8_t> app0 = good;
  app0[3] = 0xE0;
  std::vector<uint8_t> noSoi = good;
  noSoi[1] = 0xD9;
  std::vector<uint8_t> wrongId = good;
  wrongId[9] = 'F';
  std::vector<uint8_t> idWithoutZeros = good;
  idWithoutZeros[11] = 'x';
  std::vector<Case> cases = {
      {"APP0 after SOI", app0, EXIF_NO_APP1},
      {"no SOI", noSoi, EXIF_NOT_JPEG},
      {"identifier Exif -> ExiF", wrongId, EXIF_NOT_EXIF},
      {"identifier without its second zero", idWithoutZeros, EXIF_NOT_EXIF},
      {"empty file", {}, EXIF_SHORT_READ},
      {"SOI only", {0xFF, 0xD8}, EXIF_SHORT_READ},
      {"cut in the identifier", std::vector<uint8_t>(good.begin(), good.begin() + 9), EXIF_SHORT_READ},
      {"one byte", {0xFF}, EXIF_SHORT_READ},
  };
  for (const Case& c : cases) {
    std::string path = Write("case.jpg", c.bytes);
    EXPECT_EQ(CheckExifFile(path.c_str()), c.code) << c.what;
    Reading r(path);
    EXPECT_EQ(r.result, 0) << c.what << ": expected the read to fail";
    EXPECT_EQ(r.makeModelResult, 0) << c.what << ": expected no make and model";
  }
  EXPECT_EQ(CheckExifFile(Missing("absent.jpg").c_str()), EXIF_CANNOT_OPEN);
  EXPECT_EQ(CheckExifFile(nullptr), EXIF_NOT_JPEG);
}

TEST(JpegMarkers, ClassesOfTheMarkerTable) {
  struct { unsigned marker; int cls; } table[] = {
      {0xFFD8, 0}, {0xFFE0, 1}, {0xFFE1, 2}, {0xFFE7, 8}, {0xFFEF, 16}, {0xFFFE, 17},
      {0xFFDB, 18}, {0xFFC4, 19}, {0xFFDD, 20}, {0xFFC0, 21}, {0xFFDA, 22},
      {0xFFD9, 23}, {0xFFC2, 23}, {0xFFDF, 23}, {0xFFF0, 23}, {0x0000, 23},
  };
  for (const auto& row : table) {
    EXPECT_EQ(ClassifyJpegMarker(row.marker), row.cls) << "marker 0x" << std::hex << row.marker;
  }
}

// ---------------------------------------------------------------------------
// Reading and texts.

TEST_F(ExifFiles, BothByteOrdersGiveTheSameSixteenTexts) {
  std::vector<std::string> expected = ExpectedCameraRows();
  for (bool bigEndian : {false, true}) {
    Reading r(Write(bigEndian ? "mm.jpg" : "ii.jpg", Camera(bigEndian).Jpeg()));
    ASSERT_EQ(r.result, 1) << (bigEndian ? "MM" : "II") << ": expected the read to succeed";
    EXPECT_EQ(r.makeModelResult, 1);
    for (int row = 0; row < EXIF_ROW_COUNT; ++row) {
      EXPECT_EQ(r.Text(row), expected[row]) << (bigEndian ? "MM" : "II") << " row " << row + 1;
    }
  }
}

TEST_F(ExifFiles, RecordsHoldValuesAndPresence) {
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "MM" : "II");
    Reading r(Write("values.jpg", Camera(bigEndian).Jpeg()));
    ASSERT_EQ(r.result, 1);
    const tagEXIFVALUES& v = r.values;
    const tagEXIFPRESENCE& p = r.presence;
    EXPECT_EQ(v.FNumber.numerator, 28u);
    EXPECT_EQ(v.FNumber.denominator, 10u);
    EXPECT_EQ(p.FNumber, 1u);
    EXPECT_EQ(p.ExposureTime, 0u) << "ExposureTime was not written";
    EXPECT_EQ(v.PixelXDimension, 640u) << "a SHORT dimension";
    EXPECT_EQ(v.PixelYDimension, 480u) << "a LONG dimension";
    ASSERT_EQ(p.ISOSpeedRatings, 4u) << "two 16-bit values";
    ASSERT_NE(v.ISOSpeedRatings, nullptr);
    EXPECT_EQ(v.ISOSpeedRatings[0], 200);
    EXPECT_EQ(v.ISOSpeedRatings[1], 400);
    ASSERT_EQ(p.UserComment, 10u);
    ASSERT_NE(v.UserComment, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(v.UserComment) + 8, 2), "hi");
    EXPECT_EQ(v.SubjectLocation[0], 12);
    EXPECT_EQ(v.SubjectLocation[1], 34);
    EXPECT_EQ(v.FileSource, 3);
    EXPECT_EQ(p.DateTimeOriginal, 20u) << "19 characters and the NUL";
    EXPECT_STREQ(v.DateTimeOriginal, "2002:03:15 10:20:30");
    EXPECT_EQ(v.SpectralSensitivity, nullptr);
    ASSERT_NE(r.makeModel.Make, nullptr);
    EXPECT_STREQ(r.makeModel.Make, "Test Camera Works");
  }
  tagEXIFVALUES v = {};
  tagEXIFPRESENCE p = {};
  ASSERT_EQ(ReadExifInfo(&v, &p, Write("release.jpg", Camera(false).Jpeg()).c_str()), 1);
  ReleaseExifInfo(&v);
  EXPECT_EQ(v.ISOSpeedRatings, nullptr) << "expected release to clear the owned buffers";
  EXPECT_EQ(v.UserComment, nullptr);
}

TEST_F(ExifFiles, MissingValuesAndZeroDenominatorsLeaveRowsEmpty) {
  ExifBuilder missing(false);
  missing.Ascii(kIfd0, 0x0110, "Only a model").Short(kExifIfd, 0x9209, 0);
  Reading r(Write("missing.jpg", missing.Jpeg()));
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(r.makeModelResult, 1) << "expected 1 when only the model is there";
  EXPECT_EQ(r.makeModel.Make, nullptr);
  EXPECT_EQ(r.Text(kMake), "");
  EXPECT_EQ(r.Text(kModel), "Only a model");
  for (int row : {kExifVersion, kDateTaken, kCompression, kExposureTime, kFNumber, kFocalLength,
                  kPlaneX, kPlaneY, kIso, kExposureProgram}) {
    EXPECT_EQ(r.Text(row), "") << "row " << row + 1 << " without its tag";
  }
  EXPECT_EQ(r.Text(kLightSource), Res(IDS_LIGHT_UNKNOWN)) << "absent light source reads as 0";

  ExifBuilder zero(true);
  for (uint16_t tag : {0x9102, 0x9201, 0x829D, 0x920A, 0xA20E, 0xA20F}) zero.Rational(kExifIfd, tag, 7, 0);
  Reading z(Write("zero.jpg", zero.Jpeg()));
  ASSERT_EQ(z.result, 1);
  EXPECT_EQ(z.makeModelResult, 0) << "expected 0 with neither make nor model";
  for (int row : {kCompression, kExposureTime, kFNumber, kFocalLength, kPlaneX, kPlaneY}) {
    EXPECT_EQ(z.Text(row), "") << "row " << row + 1 << " with denominator 0";
  }
}

TEST_F(ExifFiles, FlashLightSourceAndProgramChoices) {
  struct Choice { uint16_t value; UINT id; };
  // Bit 0 alone says whether the flash fired: 16 is "off", 24 "auto, did not fire".
  for (Choice c : {Choice{0, IDS_FLASH_NOT_FIRED}, {1, IDS_FLASH_FIRED}, {0x10, IDS_FLASH_NOT_FIRED},
                   {0x18, IDS_FLASH_NOT_FIRED}, {0x19, IDS_FLASH_FIRED}, {0x20, IDS_FLASH_NOT_FIRED},
                   {0x4F, IDS_FLASH_FIRED}}) {
    ExifBuilder b(false);
    b.Short(kExifIfd, 0x9209, c.value);
    EXPECT_EQ(Text(b, kFlash), Res(c.id)) << "Flash " << c.value;
  }
  for (Choice c : {Choice{0, IDS_LIGHT_UNKNOWN}, {1, IDS_LIGHT_DAYLIGHT}, {2, IDS_LIGHT_FLUORESCENT},
                   {3, IDS_LIGHT_TUNGSTEN}, {10, IDS_LIGHT_FLASH}, {4, 0}, {255, 0}}) {
    ExifBuilder b(true);
    b.Short(kExifIfd, 0x9208, c.value);
    EXPECT_EQ(Text(b, kLightSource), c.id ? Res(c.id) : "") << "LightSource " << c.value;
  }
  for (Choice c : {Choice{1, IDS_PROGRAM_MANUAL}, {2, IDS_PROGRAM_NORMAL},
                   {3, IDS_PROGRAM_APERTURE_PRIORITY}, {4, IDS_PROGRAM_SHUTTER_PRIORITY},
                   {5, IDS_PROGRAM_CREATIVE}, {6, IDS_PROGRAM_ACTION}, {7, IDS_PROGRAM_PORTRAIT},
                   {8, IDS_PROGRAM_LANDSCAPE}, {0, 0}, {9, 0}}) {
    ExifBuilder b(false);
    b.Short(kExifIfd, 0x8822, c.value);
    EXPECT_EQ(Text(b, kExposureProgram), c.id ? Res(c.id) : "") << "ExposureProgram " << c.value;
  }
}

TEST_F(ExifFiles, NumberRows) {
  ExifBuilder iso(true);
  iso.Shorts(kExifIfd, 0x8827, {1600});
  EXPECT_EQ(Text(iso, kIso), Res(IDS_ISO_PREFIX) + "1600");

  // Shutter speed is signed: -5 means 2^5 seconds.
  ExifBuilder longExposure(false);
  longExposure.Rational(kExifIfd, 0x9201, uint32_t(-5), 1, 10);
  EXPECT_EQ(Text(longExposure, kExposureTime), "32.0 " + Res(IDS_UNIT_SECONDS));

  // Exposures under a second read as fractions.
  ExifBuilder fast(true);
  fast.Rational(kExifIfd, 0x9201, 7, 1, 10);
  EXPECT_EQ(Text(fast, kExposureTime), "1/128 " + Res(IDS_UNIT_SECONDS));
  ExifBuilder second(false);
  second.Rational(kExifIfd, 0x9201, 0, 1, 10);
  EXPECT_EQ(Text(second, kExposureTime), "1.0 " + Res(IDS_UNIT_SECONDS));

  // 2^2000 seconds cannot be written in 127 characters.
  ExifBuilder absurd(false);
  absurd.Rational(kExifIfd, 0x9201, uint32_t(-2000), 1, 10);
  EXPECT_EQ(Text(absurd, kExposureTime), "");

  ExifBuilder largest(true);
  largest.Rational(kExifIfd, 0x9102, 0xFFFFFFFFu, 1).Rational(kExifIfd, 0x829D, 0xFFFFFFFFu, 1);
  EXPECT_EQ(Text(largest, kCompression), "4294967295.0 " + Res(IDS_UNIT_BITS_PER_PIXEL))
      << "numerators are unsigned";
  EXPECT_EQ(Text(largest, kFNumber), "F4294967295.0");

  ExifBuilder bias(false);
  bias.Rational(kExifIfd, 0x9204, 2, 3, 10);
  EXPECT_EQ(Text(bias, kExposureBias), "") << "the exposure bias row shows no value";
}

TEST_F(ExifFiles, ExposureTimeStandsInForAMissingShutterSpeed) {
  const std::string seconds = " " + Res(IDS_UNIT_SECONDS);
  struct Case { uint32_t numerator, denominator; std::string text; };
  for (const Case& c : {Case{1, 250, "1/250" + seconds}, Case{10, 1250, "1/125" + seconds},
                        Case{5, 10, "1/2" + seconds}, Case{1, 1, "1.0" + seconds},
                        Case{25, 10, "2.5" + seconds}, Case{1, 0, ""}, Case{0, 1, ""}}) {
    for (bool bigEndian : {false, true}) {
      ExifBuilder b(bigEndian);
      b.Rational(kExifIfd, 0x829A, c.numerator, c.denominator);
      EXPECT_EQ(Text(b, kExposureTime), c.text)
          << "ExposureTime " << c.numerator << "/" << c.denominator << (bigEndian ? " MM" : " II");
    }
  }
  ExifBuilder both(false);
  both.Rational(kExifIfd, 0x829A, 1, 60).Rational(kExifIfd, 0x9201, 6, 1, 10);
  EXPECT_EQ(Text(both, kExposureTime), "1/64" + seconds) << "the shutter speed goes first";
}

TEST_F(ExifFiles, MakeAndModelAreShownWithoutPaddingSpaces) {
  ExifBuilder b(true);
  b.Ascii(kIfd0, 0x010F, "  PADDED MAKER CO.       ").Ascii(kIfd0, 0x0110, "Model  Z 9          ");
  Reading r(Write("padded.jpg", b.Jpeg()));
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(r.Text(kMake), "PADDED MAKER CO.");
  EXPECT_EQ(r.Text(kModel), "Model  Z 9") << "inner spaces stay";

  ExifBuilder blank(false);
  blank.Ascii(kIfd0, 0x010F, "        ").Ascii(kIfd0, 0x0110, "X");
  Reading s(Write("blank.jpg", blank.Jpeg()));
  EXPECT_EQ(s.Text(kMake), "");
  EXPECT_EQ(s.Text(kModel), "X");
}

// ---------------------------------------------------------------------------
// Hostile blocks end cleanly.

TEST_F(ExifFiles, ValuesOutsideTheBlockAreSkipped) {
  auto build = [](uint32_t pastSegment) {
    ExifBuilder b(false);
    b.Rational(kExifIfd, 0x829D, 28, 10)
        .RawEntry(kExifIfd, 0x920A, 5, 1, 0xFFFFFFF0)     // far past the file
        .RawEntry(kExifIfd, 0x9286, 7, 0xFFFFFFFF, 8)     // absurd count
        .RawEntry(kExifIfd, 0x927C, 7, 0x40000000, 16)    // count past the block
        .RawEntry(kExifIfd, 0x9102, 5, 0x20000001, 8)     // count * 8 wraps 32 bits to 8
        .RawEntry(kExifIfd, 0xA20E, 11, 1, 0)             // a type this reader does not know
        .RawEntry(kExifIfd, 0xA20F, 5, 1, pastSegment)    // after the APP1 segment
        .RawEntry(kIfd0, 0x010F, 2, 0xFFFFFFFF, 0x7FFFFFFF);
    return b;
  };
  // The file goes on after the segment with bytes that would read as 1/1.
  uint32_t segmentEnd = build(0).TiffSize();
  ExifBuilder b = build(segmentEnd + 16);
  std::vector<uint8_t> trailing;
  for (int i = 0; i < 16; ++i) b.Put32(trailing, 1);

  Reading r(Write("outside.jpg", b.Jpeg(trailing)));
  ASSERT_EQ(r.result, 1) << "expected the readable values to be read";
  EXPECT_EQ(r.Text(kFNumber), "F2.8");
  EXPECT_EQ(r.presence.FocalLength, 0u) << "offset past the file";
  EXPECT_EQ(r.presence.UserComment, 0u) << "count 0xFFFFFFFF";
  EXPECT_EQ(r.values.UserComment, nullptr);
  EXPECT_EQ(r.presence.MakerNote, 0u) << "count past the block";
  EXPECT_EQ(r.presence.CompressedBitsPerPixel, 0u) << "count whose byte length wraps";
  EXPECT_EQ(r.presence.FocalPlaneXResolution, 0u) << "unknown type";
  EXPECT_EQ(r.presence.FocalPlaneYResolution, 0u) << "value after the APP1 segment";
  EXPECT_EQ(r.Text(kPlaneY), "");
  EXPECT_EQ(r.makeModelResult, 0) << "make with a length past the block";
}

TEST_F(ExifFiles, LongValuesAreCutToTheirSlots) {
  ExifBuilder b(true);
  b.Ascii(kExifIfd, 0x9003, "2002:03:15 10:20:30 and a great deal more text")
      .Ascii(kExifIfd, 0xA004, "SOUNDFILE_WITH_A_LONG_NAME.WAV")
      .Bytes(kExifIfd, 0x9000, 7, {'0', '2', '2', '0', '9', '9', '9', '9'})
      .Bytes(kExifIfd, 0xA000, 7, {'0', '1', '0', '0', 'X', 'Y'});
  Reading r(Write("long.jpg", b.Jpeg()));
  ASSERT_EQ(r.result, 1);
  EXPECT_STREQ(r.values.DateTimeOriginal, "2002:03:15 10:20:30 ") << "20 characters kept";
  EXPECT_EQ(r.presence.DateTimeOriginal, 20u);
  EXPECT_STREQ(r.values.RelatedSoundFile, "SOUNDFILE_WIT") << "13 characters kept";
  EXPECT_EQ(r.presence.RelatedSoundFile, 13u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(r.values.FlashpixVersion), 4), "0100");
  EXPECT_EQ(r.Text(kExifVersion), "0220");
  EXPECT_EQ(r.Text(kDateTaken), "2002:03:15 10:20:30 ");
}

TEST_F(ExifFiles, BrokenStructuresFailCleanly) {
  struct Case {
    const char* what;
    ExifBuilder builder;
    int result;
  };
  std::vector<Case> cases;
  cases.push_back({"Exif IFD pointer at IFD0 itself", Camera(false).ExifPointer(8), 0});
  cases.push_back({"Exif IFD pointer past the file", Camera(true).ExifPointer(0xFFFFFFF0), 0});
  cases.push_back({"no Exif IFD pointer", Camera(false).OmitExifPointer(), 0});
  cases.push_back({"IFD0 offset past the file", Camera(true).Ifd0Offset(0x7FFFFFFF), 0});
  cases.push_back({"IFD0 offset at the last byte", Camera(false).Ifd0Offset(Camera(false).TiffSize() - 1), 0});
  // 65535 entries declared, a handful present: those that fit are read.
  cases.push_back({"Exif IFD count past the block", Camera(true).ExifEntryCount(0xFFFF), 1});
  for (Case& c : cases) {
    Reading r(Write("broken.jpg", c.builder.Jpeg()));
    EXPECT_EQ(r.result, c.result) << c.what;
    if (c.result == 0) {
      EXPECT_EQ(r.values.ISOSpeedRatings, nullptr) << c.what << ": a failed read holds nothing";
      EXPECT_EQ(r.presence.ISOSpeedRatings, 0u) << c.what;
    }
  }
}

TEST_F(ExifFiles, SegmentLengthBoundsTheBlock) {
  std::vector<uint8_t> jpeg = Camera(false).Jpeg();
  // A segment too short to hold the TIFF header.
  std::vector<uint8_t> tiny = jpeg;
  tiny[4] = 0;
  tiny[5] = 12;
  Reading a(Write("tiny.jpg", tiny));
  EXPECT_EQ(a.result, 0) << "segment of 12 bytes";
  EXPECT_EQ(a.makeModelResult, 0);
  // A segment that claims more than the file holds, cut in the data area.
  std::vector<uint8_t> cut = Camera(true).Jpeg();
  cut[4] = 0xFF;
  cut[5] = 0xFF;
  cut.resize(cut.size() - 40);
  Reading b(Write("cut.jpg", cut));
  EXPECT_EQ(b.result, 1) << "expected the values inside the file to be read";
  EXPECT_EQ(b.Text(kFlash), Res(IDS_FLASH_FIRED));
  // Make's count of 0x10005 counts as 5 bytes: only the low 16 bits are used.
  // The entry points at the TIFF header: "II", 42 and IFD0's offset.
  ExifBuilder wide(false);
  wide.RawEntry(kIfd0, 0x010F, 2, 0x10005, 0).Short(kExifIfd, 0x9209, 1);
  Reading c(Write("wide.jpg", wide.Jpeg()));
  EXPECT_EQ(c.makeModelResult, 1) << "expected a 5-byte make";
  ASSERT_NE(c.makeModel.Make, nullptr);
  EXPECT_EQ(std::string(c.makeModel.Make, 4), std::string("II*\0", 4));
}

// ---------------------------------------------------------------------------
// The dialog, examined by messages while it runs.

// What a thread timer saw of the picture information dialog before it
// pressed a button.
struct DialogSight {
  HWND owner = nullptr;
  int pressButton = IDOK;
  bool found = false;
  HWND dialogOwner = nullptr;
  std::string title;
  LONG listStyle = 0;
  int columns = 0;
  int widths[2] = {};
  std::string headers[2];
  int clientWidth = 0;
  int rowCount = 0;
  int rowsPerPage = 0;
  std::vector<std::string> labels, values;
  RECT list = {}, ok = {}, cancel = {}, client = {};
};

DialogSight* g_sight = nullptr;

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  char name[32] = "";
  GetClassNameA(window, name, sizeof(name));
  if (strcmp(name, "#32770") == 0 && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

std::string ListText(HWND list, int item, int subItem) {
  char text[256] = "";
  LVITEMA lv = {};
  lv.iSubItem = subItem;
  lv.pszText = text;
  lv.cchTextMax = sizeof(text);
  SendMessageA(list, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&lv));
  return text;
}

RECT ClientRectOf(HWND dialog, HWND control) {
  RECT r = {};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void CALLBACK LookForDialog(HWND, UINT, UINT_PTR timer, DWORD) {
  DialogSight& s = *g_sight;
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog) return;
  KillTimer(nullptr, timer);
  s.found = true;
  s.dialogOwner = GetWindow(dialog, GW_OWNER);
  char title[128] = "";
  GetWindowTextA(dialog, title, sizeof(title));
  s.title = title;
  HWND list = GetDlgItem(dialog, IDC_INFO_LIST);
  s.listStyle = GetWindowLongA(list, GWL_STYLE);
  s.columns = static_cast<int>(SendMessageA(
      reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
  for (int c = 0; c < 2; ++c) {
    s.widths[c] = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, c, 0));
    char header[256] = "";
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT;
    column.pszText = header;
    column.cchTextMax = sizeof(header);
    SendMessageA(list, LVM_GETCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    s.headers[c] = header;
  }
  RECT listClient = {};
  GetClientRect(list, &listClient);
  s.clientWidth = listClient.right;
  s.rowCount = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  s.rowsPerPage = static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
  for (int i = 0; i < s.rowCount; ++i) {
    s.labels.push_back(ListText(list, i, 0));
    s.values.push_back(ListText(list, i, 1));
  }
  GetClientRect(dialog, &s.client);
  s.list = ClientRectOf(dialog, list);
  s.ok = ClientRectOf(dialog, GetDlgItem(dialog, IDOK));
  s.cancel = ClientRectOf(dialog, GetDlgItem(dialog, IDCANCEL));
  // A real click on the button, the way the user closes the dialog.
  SendMessageA(GetDlgItem(dialog, s.pressButton), BM_CLICK, 0, 0);
}

class PictureDialog : public ExifFiles {
protected:
  void SetUp() override {
    owner_ = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300,
                             200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner_, nullptr) << "CreateWindowExA failed, error " << GetLastError();
    sight_.owner = owner_;
    g_sight = &sight_;
    timer_ = SetTimer(nullptr, 0, 10, LookForDialog);
    ASSERT_NE(timer_, 0u);
  }
  void TearDown() override {
    if (!sight_.found) KillTimer(nullptr, timer_);
    g_sight = nullptr;
    DestroyWindow(owner_);
  }

  HWND owner_ = nullptr;
  UINT_PTR timer_ = 0;
  DialogSight sight_;
};

TEST_F(PictureDialog, ShowsSixteenLabelledRowsAndClosesWithOk) {
  std::string path = Write("dialog.jpg", Camera(true).Jpeg());
  ASSERT_EQ(ShowPictureInformation(owner_, path.c_str()), 1) << "expected the dialog to be shown";
  ASSERT_TRUE(sight_.found) << "expected the dialog to appear while the call ran";
  EXPECT_EQ(sight_.dialogOwner, owner_) << "expected the given window to own the dialog";
  EXPECT_FALSE(sight_.title.empty()) << "expected a title";
  EXPECT_EQ(sight_.listStyle & LVS_TYPEMASK, LVS_REPORT) << "expected a report-style list";
  EXPECT_EQ(sight_.columns, 2);
  EXPECT_EQ(sight_.widths[0], 120);
  EXPECT_EQ(sight_.widths[1], sight_.clientWidth - 120) << "second column fills the list's width";
  EXPECT_EQ(sight_.headers[0], Res(IDS_INFO_COL_PROPERTY));
  EXPECT_EQ(sight_.headers[1], Res(IDS_INFO_COL_VALUE));
  ASSERT_EQ(sight_.rowCount, EXIF_ROW_COUNT);
  EXPECT_EQ(sight_.rowsPerPage, EXIF_ROW_COUNT) << "expected the list to fit the rows exactly";
  std::vector<std::string> expected = ExpectedCameraRows();
  for (int row = 0; row < EXIF_ROW_COUNT; ++row) {
    EXPECT_EQ(sight_.labels[row], Res(kRowLabels[row])) << "label of row " << row + 1;
    EXPECT_EQ(sight_.values[row], expected[row]) << "value of row " << row + 1;
  }
  // OK and Cancel side by side under the list, at its right edge.
  EXPECT_GE(sight_.ok.top, sight_.list.bottom) << "OK below the list";
  EXPECT_EQ(sight_.ok.top, sight_.cancel.top) << "OK and Cancel on one line";
  EXPECT_LT(sight_.ok.right, sight_.cancel.left) << "OK left of Cancel";
  EXPECT_EQ(sight_.cancel.right, sight_.list.right) << "Cancel aligned with the list's right edge";
  EXPECT_LE(sight_.cancel.bottom, sight_.client.bottom);
}

TEST_F(PictureDialog, CancelClosesAndRecordsCanBeShownDirectly) {
  sight_.pressButton = IDCANCEL;
  ExifBuilder b(false);
  b.Short(kExifIfd, 0x9208, 4).Rational(kExifIfd, 0x829D, 56, 10);
  tagEXIFVALUES values = {};
  tagEXIFPRESENCE presence = {};
  ASSERT_EQ(ReadExifInfo(&values, &presence, Write("cancel.jpg", b.Jpeg()).c_str()), 1);
  INT_PTR result = ShowExifInformation(owner_, &values, &presence, nullptr);
  ReleaseExifInfo(&values);
  EXPECT_EQ(result, IDCANCEL);
  ASSERT_TRUE(sight_.found);
  ASSERT_EQ(sight_.values.size(), size_t(EXIF_ROW_COUNT));
  EXPECT_EQ(sight_.values[kFNumber], "F5.6");
  EXPECT_EQ(sight_.values[kLightSource], "") << "light source 4";
  EXPECT_EQ(sight_.values[kMake], "") << "no make and model given";
}

TEST_F(PictureDialog, NothingIsShownForAFileWithoutExif) {
  std::vector<uint8_t> app0 = Camera(false).Jpeg();
  app0[3] = 0xE0;
  EXPECT_EQ(ShowPictureInformation(owner_, Write("app0.jpg", app0).c_str()), 0);
  EXPECT_EQ(ShowPictureInformation(owner_, Missing("none.jpg").c_str()), 0);
  EXPECT_EQ(ShowPictureInformation(owner_, Write("photo.jpeg", Camera(false).Jpeg()).c_str()), 0);
  EXPECT_FALSE(sight_.found) << "expected no dialog";
}

}  // namespace
