// Exif reader: the check, the reads of the Exif IFD and of Make and Model,
// and the texts of the picture information dialog.
#include "ExifReader.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <new>
#include <vector>

#include "components/resources/resource.h"
#include "platform/Alloc.h"
#include "platform/Text.h"

namespace exif {
namespace {

// File layout: SOI at 0, APP1 marker at 2, its length at 4, "Exif\0\0" at 6,
// the TIFF header at 12. The APP1 length counts itself and everything after
// it, so the segment ends at 4 + length.
constexpr size_t kApp1Offset = 2;
constexpr size_t kLengthOffset = 4;
constexpr size_t kIdentifierOffset = 6;
constexpr size_t kTiffOffset = 12;
constexpr size_t kTiffHeaderSize = 8;
constexpr size_t kEntrySize = 12;

constexpr uint16_t kTagExifIfd = 0x8769;
constexpr uint16_t kTagMake = 0x010F;
constexpr uint16_t kTagModel = 0x0110;

struct FileCloser {
  void operator()(FILE* file) const { fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

unsigned BigEndian16(const uint8_t* p) { return (unsigned(p[0]) << 8) | p[1]; }

// The TIFF structure inside the APP1 segment; every read is bounded by it.
class TiffBlock {
public:
  TiffBlock(const uint8_t* base, size_t size) : base_(base), size_(size) {}

  size_t Size() const { return size_; }
  bool Contains(uint64_t offset, uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }
  const uint8_t* At(uint64_t offset) const { return base_ + offset; }

  void SetBigEndian(bool bigEndian) { bigEndian_ = bigEndian; }

  bool Read16(uint64_t offset, uint16_t* value) const {
    if (!Contains(offset, 2)) return false;
    const uint8_t* p = At(offset);
    *value = bigEndian_ ? uint16_t((p[0] << 8) | p[1]) : uint16_t((p[1] << 8) | p[0]);
    return true;
  }

  bool Read32(uint64_t offset, uint32_t* value) const {
    if (!Contains(offset, 4)) return false;
    const uint8_t* p = At(offset);
    if (bigEndian_) {
      *value = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    } else {
      *value = (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
    }
    return true;
  }

private:
  const uint8_t* base_;
  size_t size_;
  bool bigEndian_ = false;
};

// Bytes per count of a TIFF type; 0 for types this reader does not know.
uint32_t TypeSize(uint16_t type) {
  switch (type) {
    case 1:   // BYTE
    case 2:   // ASCII
    case 7:   // UNDEFINED
      return 1;
    case 3:   // SHORT
      return 2;
    case 4:   // LONG
    case 9:   // SLONG
      return 4;
    case 5:   // RATIONAL
    case 10:  // SRATIONAL
      return 8;
    default:
      return 0;
  }
}

// One 12-byte directory entry with its value located. usable is false when
// the type is unknown, the count is zero or the value lies outside the block.
struct Entry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  uint32_t unit = 0;
  uint64_t length = 0;       // count * unit
  uint64_t valueOffset = 0;  // in the entry itself when length <= 4
  uint32_t rawValue = 0;     // the entry's last four bytes as a number
  bool usable = false;
};

bool ReadEntry(const TiffBlock& tiff, uint64_t at, Entry* entry) {
  if (!tiff.Read16(at, &entry->tag) || !tiff.Read16(at + 2, &entry->type) ||
      !tiff.Read32(at + 4, &entry->count) || !tiff.Read32(at + 8, &entry->rawValue)) {
    return false;
  }
  entry->unit = TypeSize(entry->type);
  entry->length = uint64_t(entry->count) * entry->unit;
  entry->valueOffset = entry->length <= 4 ? at + 8 : entry->rawValue;
  entry->usable = entry->length > 0 && tiff.Contains(entry->valueOffset, entry->length);
  return true;
}

// Calls visit(entry) for each entry of the directory at offset, as many as
// the block holds. False when the directory's count cannot be read.
template <class Visit>
bool VisitDirectory(const TiffBlock& tiff, uint32_t offset, Visit&& visit) {
  uint16_t declared = 0;
  if (!tiff.Read16(offset, &declared)) return false;
  uint64_t first = uint64_t(offset) + 2;
  uint64_t fitting = first <= tiff.Size() ? (tiff.Size() - first) / kEntrySize : 0;
  uint64_t count = declared < fitting ? declared : fitting;
  for (uint64_t i = 0; i < count; ++i) {
    Entry entry;
    if (!ReadEntry(tiff, first + i * kEntrySize, &entry)) return true;
    if (!visit(entry)) return false;
  }
  return true;
}

// Number index of an integer-typed value (BYTE, ASCII, UNDEFINED, SHORT,
// LONG, SLONG).
bool ReadInteger(const TiffBlock& tiff, const Entry& entry, uint32_t index, uint32_t* value) {
  if (!entry.usable || index >= entry.count) return false;
  uint64_t at = entry.valueOffset + uint64_t(index) * entry.unit;
  switch (entry.unit) {
    case 1:
      *value = *tiff.At(at);
      return true;
    case 2: {
      uint16_t v = 0;
      if (!tiff.Read16(at, &v)) return false;
      *value = v;
      return true;
    }
    case 4:
      return tiff.Read32(at, value);
    default:
      return false;
  }
}

// Locates the TIFF block of a checked file's first bytes and reads its
// header. The block ends where the APP1 segment or the bytes end.
bool OpenTiff(const uint8_t* data, size_t size, TiffBlock* tiff, uint32_t* ifd0) {
  if (CheckBytes(data, size) != EXIF_OK) return false;
  size_t segmentEnd = kLengthOffset + BigEndian16(data + kLengthOffset);
  size_t end = segmentEnd < size ? segmentEnd : size;
  if (end < kTiffOffset + kTiffHeaderSize) return false;
  *tiff = TiffBlock(data + kTiffOffset, end - kTiffOffset);
  tiff->SetBigEndian(BigEndian16(data + kTiffOffset) == 0x4D4D);
  return tiff->Read32(4, ifd0);
}

// Fills one reading. The first readable occurrence of a tag wins, so that a
// block repeating a tag cannot make the reader copy its values again and
// again.
class ValueReader {
public:
  ValueReader(const TiffBlock& tiff, tagEXIFVALUES* values, tagEXIFPRESENCE* presence)
      : tiff_(tiff), v_(*values), p_(*presence) {}

  // False only when memory runs out.
  bool Take(const Entry& e) {
    switch (e.tag) {
      case 0x829A: Rational(e, v_.ExposureTime, p_.ExposureTime); break;
      case 0x829D: Rational(e, v_.FNumber, p_.FNumber); break;
      case 0x8822: Short(e, v_.ExposureProgram, p_.ExposureProgram); break;
      case 0x8824: return Text(e, v_.SpectralSensitivity, p_.SpectralSensitivity);
      case 0x8827: return ShortArray(e, v_.ISOSpeedRatings, p_.ISOSpeedRatings);
      case 0x8828: return Block(e, v_.OECF, p_.OECF);
      case 0x9000: Fixed(e, v_.ExifVersion, sizeof(v_.ExifVersion), p_.ExifVersion); break;
      case 0x9003: FixedText(e, v_.DateTimeOriginal, sizeof(v_.DateTimeOriginal), p_.DateTimeOriginal); break;
      case 0x9004: FixedText(e, v_.DateTimeDigitized, sizeof(v_.DateTimeDigitized), p_.DateTimeDigitized); break;
      case 0x9101: Fixed(e, v_.ComponentsConfiguration, sizeof(v_.ComponentsConfiguration), p_.ComponentsConfiguration); break;
      case 0x9102: Rational(e, v_.CompressedBitsPerPixel, p_.CompressedBitsPerPixel); break;
      case 0x9201: Rational(e, v_.ShutterSpeedValue, p_.ShutterSpeedValue); break;
      case 0x9202: Rational(e, v_.ApertureValue, p_.ApertureValue); break;
      case 0x9203: Rational(e, v_.BrightnessValue, p_.BrightnessValue); break;
      case 0x9204: Rational(e, v_.ExposureBiasValue, p_.ExposureBiasValue); break;
      case 0x9205: Rational(e, v_.MaxApertureValue, p_.MaxApertureValue); break;
      case 0x9206: Rational(e, v_.SubjectDistance, p_.SubjectDistance); break;
      case 0x9207: Short(e, v_.MeteringMode, p_.MeteringMode); break;
      case 0x9208: Short(e, v_.LightSource, p_.LightSource); break;
      case 0x9209: Short(e, v_.Flash, p_.Flash); break;
      case 0x920A: Rational(e, v_.FocalLength, p_.FocalLength); break;
      case 0x927C: return Block(e, v_.MakerNote, p_.MakerNote);
      case 0x9286: return Block(e, v_.UserComment, p_.UserComment);
      case 0x9290: return Text(e, v_.SubSecTime, p_.SubSecTime);
      case 0x9291: return Text(e, v_.SubSecTimeOriginal, p_.SubSecTimeOriginal);
      case 0x9292: return Text(e, v_.SubSecTimeDigitized, p_.SubSecTimeDigitized);
      case 0xA000: Fixed(e, v_.FlashpixVersion, sizeof(v_.FlashpixVersion), p_.FlashpixVersion); break;
      case 0xA001: Short(e, v_.ColorSpace, p_.ColorSpace); break;
      case 0xA002: Long(e, v_.PixelXDimension, p_.PixelXDimension); break;
      case 0xA003: Long(e, v_.PixelYDimension, p_.PixelYDimension); break;
      case 0xA004: FixedText(e, v_.RelatedSoundFile, sizeof(v_.RelatedSoundFile), p_.RelatedSoundFile); break;
      case 0xA20B: Rational(e, v_.FlashEnergy, p_.FlashEnergy); break;
      case 0xA20C: return Block(e, v_.SpatialFrequencyResponse, p_.SpatialFrequencyResponse);
      case 0xA20E: Rational(e, v_.FocalPlaneXResolution, p_.FocalPlaneXResolution); break;
      case 0xA20F: Rational(e, v_.FocalPlaneYResolution, p_.FocalPlaneYResolution); break;
      case 0xA210: Short(e, v_.FocalPlaneResolutionUnit, p_.FocalPlaneResolutionUnit); break;
      case 0xA214: ShortPair(e, v_.SubjectLocation, p_.SubjectLocation); break;
      case 0xA215: Rational(e, v_.ExposureIndex, p_.ExposureIndex); break;
      case 0xA217: Short(e, v_.SensingMethod, p_.SensingMethod); break;
      case 0xA300: Byte(e, v_.FileSource, p_.FileSource); break;
      case 0xA301: Byte(e, v_.SceneType, p_.SceneType); break;
      case 0xA302: return Block(e, v_.CFAPattern, p_.CFAPattern);
      default: break;
    }
    return true;
  }

private:
  void Rational(const Entry& e, tagEXIFRATIONAL& slot, uint32_t& present) {
    if (present || !e.usable || e.unit != 8) return;
    if (tiff_.Read32(e.valueOffset, &slot.numerator) &&
        tiff_.Read32(e.valueOffset + 4, &slot.denominator)) {
      present = 1;
    } else {
      slot = tagEXIFRATIONAL{};
    }
  }

  void Short(const Entry& e, uint16_t& slot, uint32_t& present) {
    uint32_t value = 0;
    if (present || !ReadInteger(tiff_, e, 0, &value)) return;
    slot = uint16_t(value);
    present = 1;
  }

  void Long(const Entry& e, uint32_t& slot, uint32_t& present) {
    if (present || !ReadInteger(tiff_, e, 0, &slot)) return;
    present = 1;
  }

  void Byte(const Entry& e, uint8_t& slot, uint32_t& present) {
    uint32_t value = 0;
    if (present || !ReadInteger(tiff_, e, 0, &value)) return;
    slot = uint8_t(value);
    present = 1;
  }

  void ShortPair(const Entry& e, uint16_t (&slot)[2], uint32_t& present) {
    uint32_t first = 0, second = 0;
    if (present || !ReadInteger(tiff_, e, 0, &first)) return;
    ReadInteger(tiff_, e, 1, &second);
    slot[0] = uint16_t(first);
    slot[1] = uint16_t(second);
    present = 1;
  }

  // Raw bytes into a fixed slot, never more than it holds.
  void Fixed(const Entry& e, uint8_t* slot, size_t capacity, uint32_t& present) {
    if (present || !e.usable) return;
    size_t n = e.length < capacity ? size_t(e.length) : capacity;
    memset(slot, 0, capacity);
    memcpy(slot, tiff_.At(e.valueOffset), n);
    present = uint32_t(n);
  }

  // Like Fixed, keeping the last byte for the terminator.
  void FixedText(const Entry& e, char* slot, size_t capacity, uint32_t& present) {
    if (present || !e.usable) return;
    size_t n = e.length < capacity - 1 ? size_t(e.length) : capacity - 1;
    memset(slot, 0, capacity);
    memcpy(slot, tiff_.At(e.valueOffset), n);
    present = uint32_t(n);
  }

  // Raw bytes into a new buffer with one NUL past them. The length is
  // bounded by the block, which is at most one APP1 segment (64 KB).
  template <class T>
  bool Buffer(const Entry& e, T*& slot, uint32_t& present) {
    if (present || !e.usable) return true;
    size_t n = size_t(e.length);
    auto* bytes = static_cast<uint8_t*>(AlbumMalloc(n + 1));
    if (!bytes) return false;
    memcpy(bytes, tiff_.At(e.valueOffset), n);
    bytes[n] = 0;
    slot = reinterpret_cast<T*>(bytes);
    present = uint32_t(n);
    return true;
  }
  bool Text(const Entry& e, char*& slot, uint32_t& present) { return Buffer(e, slot, present); }
  bool Block(const Entry& e, uint8_t*& slot, uint32_t& present) { return Buffer(e, slot, present); }

  // 16-bit numbers in this machine's order, whatever integer type the file used.
  bool ShortArray(const Entry& e, uint16_t*& slot, uint32_t& present) {
    if (present || !e.usable || e.unit > 4) return true;
    auto* numbers = static_cast<uint16_t*>(AlbumMalloc((size_t(e.count) + 1) * sizeof(uint16_t)));
    if (!numbers) return false;
    for (uint32_t i = 0; i < e.count; ++i) {
      uint32_t value = 0;
      ReadInteger(tiff_, e, i, &value);
      numbers[i] = uint16_t(value);
    }
    numbers[e.count] = 0;
    slot = numbers;
    present = e.count * 2;
    return true;
  }

  const TiffBlock& tiff_;
  tagEXIFVALUES& v_;
  tagEXIFPRESENCE& p_;
};

// Releases a reading unless the read completes.
class ReleaseUnlessKept {
public:
  ReleaseUnlessKept(tagEXIFVALUES* values, tagEXIFPRESENCE* presence)
      : values_(values), presence_(presence) {}
  ~ReleaseUnlessKept() {
    if (kept_) return;
    ReleaseValues(values_);
    *presence_ = tagEXIFPRESENCE{};
  }
  ReleaseUnlessKept(const ReleaseUnlessKept&) = delete;
  ReleaseUnlessKept& operator=(const ReleaseUnlessKept&) = delete;
  void Keep() { kept_ = true; }

private:
  tagEXIFVALUES* values_;
  tagEXIFPRESENCE* presence_;
  bool kept_ = false;
};

// A string of IFD0. Only the low 16 bits of its byte length count; it must
// still lie inside the block.
char* CopyIfdString(const TiffBlock& tiff, const Entry& e) {
  if (e.unit == 0) return nullptr;
  size_t n = size_t(e.length & 0xFFFF);
  if (n == 0 || !tiff.Contains(e.valueOffset, n)) return nullptr;
  auto* text = static_cast<char*>(AlbumMalloc(n + 1));
  if (!text) return nullptr;
  memcpy(text, tiff.At(e.valueOffset), n);
  text[n] = '\0';
  return text;
}

// The bytes from the start of the file to the end of its APP1 segment (or of
// the file), after checking that the file starts with SOI and APP1.
bool LoadApp1Segment(FILE* file, std::vector<uint8_t>* bytes) {
  if (!file || fseek(file, 0, SEEK_SET) != 0 || PeekMarker(file) != kMarkerSoi) return false;
  if (fseek(file, long(kApp1Offset), SEEK_SET) != 0 || PeekMarker(file) != kMarkerApp1) return false;
  uint8_t head[kTiffOffset];
  if (fseek(file, 0, SEEK_SET) != 0 || fread(head, 1, sizeof(head), file) != sizeof(head)) return false;
  if (CheckBytes(head, sizeof(head)) != EXIF_OK) return false;
  // At most 64 KB: the segment, or less when the file ends inside it.
  size_t segmentEnd = kLengthOffset + BigEndian16(head + kLengthOffset);
  size_t wanted = segmentEnd > sizeof(head) ? segmentEnd : sizeof(head);
  try {
    bytes->resize(wanted);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (fseek(file, 0, SEEK_SET) != 0) return false;
  bytes->resize(fread(bytes->data(), 1, wanted, file));
  return bytes->size() >= sizeof(head);
}

FileHandle OpenCheckedFile(const char* path) {
  if (CheckFile(path) != EXIF_OK) return nullptr;
  return FileHandle(fopen(path, "rb"));
}

}  // namespace

int ClassifyMarker(unsigned marker) {
  if (marker >= 0xFFE0 && marker <= 0xFFEF) return kMarkerApp0 + int(marker - 0xFFE0);
  switch (marker) {
    case 0xFFD8: return kMarkerSoi;
    case 0xFFFE: return kMarkerCom;
    case 0xFFDB: return kMarkerDqt;
    case 0xFFC4: return kMarkerDht;
    case 0xFFDD: return kMarkerDri;
    case 0xFFC0: return kMarkerSof0;
    case 0xFFDA: return kMarkerSos;
    default: return kMarkerOther;
  }
}

int PeekMarker(FILE* file) {
  if (!file) return kMarkerOther;
  long start = ftell(file);
  uint8_t bytes[2];
  size_t got = fread(bytes, 1, sizeof(bytes), file);
  if (start < 0 || fseek(file, start, SEEK_SET) != 0 || got != sizeof(bytes)) return kMarkerOther;
  return ClassifyMarker(BigEndian16(bytes));
}

bool HasJpgExtension(const char* path) {
  if (!path) return false;
  const char* name = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/') name = p + 1;
  }
  const char* dot = strrchr(name, '.');
  if (!dot) return false;
  const char* ext = dot + 1;
  return strlen(ext) == 3 && (ext[0] | 0x20) == 'j' && (ext[1] | 0x20) == 'p' &&
         (ext[2] | 0x20) == 'g';
}

int CheckBytes(const uint8_t* data, size_t size) {
  if (!data || size < 2) return EXIF_SHORT_READ;
  if (BigEndian16(data) != 0xFFD8) return EXIF_NOT_JPEG;
  if (size < kLengthOffset) return EXIF_SHORT_READ;
  if (BigEndian16(data + kApp1Offset) != 0xFFE1) return EXIF_NO_APP1;
  if (size < kTiffOffset) return EXIF_SHORT_READ;
  static const uint8_t kIdentifier[6] = {'E', 'x', 'i', 'f', 0, 0};
  if (memcmp(data + kIdentifierOffset, kIdentifier, sizeof(kIdentifier)) != 0) return EXIF_NOT_EXIF;
  return EXIF_OK;
}

int CheckFile(const char* path) {
  if (!HasJpgExtension(path)) return EXIF_NOT_JPEG;
  FileHandle file(fopen(path, "rb"));
  if (!file) return EXIF_CANNOT_OPEN;
  uint8_t head[kTiffOffset];
  size_t got = fread(head, 1, sizeof(head), file.get());
  return CheckBytes(head, got);
}

int ReadValuesFromBytes(const uint8_t* data, size_t size, tagEXIFVALUES* values,
                        tagEXIFPRESENCE* presence) {
  if (!values || !presence) return 0;
  *values = tagEXIFVALUES{};
  *presence = tagEXIFPRESENCE{};
  TiffBlock tiff(nullptr, 0);
  uint32_t ifd0 = 0;
  if (!OpenTiff(data, size, &tiff, &ifd0)) return 0;

  bool found = false;
  uint32_t exifIfd = 0;
  bool walked = VisitDirectory(tiff, ifd0, [&](const Entry& e) {
    if (e.tag != kTagExifIfd || found) return true;
    // Writers store the pointer as LONG or as the later IFD type; a SHORT
    // sits in the entry's first two value bytes.
    uint32_t value = e.rawValue;
    if (e.type == 3 && !ReadInteger(tiff, e, 0, &value)) return true;
    found = true;
    exifIfd = value;
    return true;
  });
  // An Exif pointer back at IFD0 would only read IFD0 again as if it were
  // the Exif IFD.
  if (!walked || !found || exifIfd == ifd0) return 0;

  ReleaseUnlessKept guard(values, presence);
  ValueReader reader(tiff, values, presence);
  if (!VisitDirectory(tiff, exifIfd, [&](const Entry& e) { return reader.Take(e); })) return 0;
  guard.Keep();
  return 1;
}

int ReadValuesFromFile(FILE* file, tagEXIFVALUES* values, tagEXIFPRESENCE* presence) {
  if (!values || !presence) return 0;
  *values = tagEXIFVALUES{};
  *presence = tagEXIFPRESENCE{};
  std::vector<uint8_t> bytes;
  if (!LoadApp1Segment(file, &bytes)) return 0;
  return ReadValuesFromBytes(bytes.data(), bytes.size(), values, presence);
}

int ReadValues(const char* path, tagEXIFVALUES* values, tagEXIFPRESENCE* presence) {
  if (!values || !presence) return 0;
  *values = tagEXIFVALUES{};
  *presence = tagEXIFPRESENCE{};
  FileHandle file = OpenCheckedFile(path);
  return file ? ReadValuesFromFile(file.get(), values, presence) : 0;
}

void ReleaseValues(tagEXIFVALUES* values) {
  if (!values) return;
  free(values->SpectralSensitivity);
  free(values->ISOSpeedRatings);
  free(values->OECF);
  free(values->MakerNote);
  free(values->UserComment);
  free(values->SubSecTime);
  free(values->SubSecTimeOriginal);
  free(values->SubSecTimeDigitized);
  free(values->SpatialFrequencyResponse);
  free(values->CFAPattern);
  *values = tagEXIFVALUES{};
}

int ReadMakeModelFromBytes(const uint8_t* data, size_t size, tagEXIFMAKEMODEL* makeModel) {
  if (!makeModel) return 0;
  *makeModel = tagEXIFMAKEMODEL{};
  TiffBlock tiff(nullptr, 0);
  uint32_t ifd0 = 0;
  if (!OpenTiff(data, size, &tiff, &ifd0)) return 0;
  VisitDirectory(tiff, ifd0, [&](const Entry& e) {
    char** slot = e.tag == kTagMake ? &makeModel->Make : e.tag == kTagModel ? &makeModel->Model : nullptr;
    if (slot && !*slot) *slot = CopyIfdString(tiff, e);
    return true;
  });
  return makeModel->Make || makeModel->Model ? 1 : 0;
}

int ReadMakeModelFromFile(FILE* file, tagEXIFMAKEMODEL* makeModel) {
  if (!makeModel) return 0;
  *makeModel = tagEXIFMAKEMODEL{};
  std::vector<uint8_t> bytes;
  if (!LoadApp1Segment(file, &bytes)) return 0;
  return ReadMakeModelFromBytes(bytes.data(), bytes.size(), makeModel);
}

int ReadMakeModel(const char* path, tagEXIFMAKEMODEL* makeModel) {
  if (!makeModel) return 0;
  *makeModel = tagEXIFMAKEMODEL{};
  FileHandle file = OpenCheckedFile(path);
  return file ? ReadMakeModelFromFile(file.get(), makeModel) : 0;
}

void ReleaseMakeModel(tagEXIFMAKEMODEL* makeModel) {
  if (!makeModel) return;
  free(makeModel->Make);
  free(makeModel->Model);
  *makeModel = tagEXIFMAKEMODEL{};
}

// ---------------------------------------------------------------------------
// The sixteen texts.

namespace {

const unsigned kRowLabels[EXIF_ROW_COUNT] = {
    IDS_INFO_MAKE,         IDS_INFO_MODEL,          IDS_INFO_EXIF_VERSION,
    IDS_INFO_DATE_TAKEN,   IDS_INFO_DATE_DIGITIZED, IDS_INFO_COMPRESSION,
    IDS_INFO_EXPOSURE_TIME, IDS_INFO_F_NUMBER,      IDS_INFO_EXPOSURE_BIAS,
    IDS_INFO_FOCAL_LENGTH, IDS_INFO_FOCAL_PLANE_XRES, IDS_INFO_FOCAL_PLANE_YRES,
    IDS_INFO_ISO_SPEED,    IDS_INFO_FLASH,          IDS_INFO_LIGHT_SOURCE,
    IDS_INFO_EXPOSURE_PROGRAM,
};

struct Choice {
  unsigned value;
  unsigned stringId;
};

const Choice kLightSources[] = {
    {0, IDS_LIGHT_UNKNOWN},  {1, IDS_LIGHT_DAYLIGHT}, {2, IDS_LIGHT_FLUORESCENT},
    {3, IDS_LIGHT_TUNGSTEN}, {10, IDS_LIGHT_FLASH},
};

const Choice kExposurePrograms[] = {
    {1, IDS_PROGRAM_MANUAL},   {2, IDS_PROGRAM_NORMAL},   {3, IDS_PROGRAM_APERTURE_PRIORITY},
    {4, IDS_PROGRAM_SHUTTER_PRIORITY}, {5, IDS_PROGRAM_CREATIVE}, {6, IDS_PROGRAM_ACTION},
    {7, IDS_PROGRAM_PORTRAIT}, {8, IDS_PROGRAM_LANDSCAPE},
};

enum Row {
  kRowMake, kRowModel, kRowExifVersion, kRowDateOriginal, kRowDateDigitized, kRowCompression,
  kRowExposureTime, kRowFNumber, kRowExposureBias, kRowFocalLength, kRowFocalPlaneX,
  kRowFocalPlaneY, kRowIso, kRowFlash, kRowLightSource, kRowExposureProgram,
};

class RowWriter {
public:
  RowWriter(tagEXIFROWS* rows, TextLookup lookup, void* context)
      : rows_(rows), lookup_(lookup), context_(context) {}

  // A text of the resource module, loaded the way every caller loads it.
  void LoadText(unsigned id, char (&buffer)[kLookupCapacity]) {
    buffer[0] = '\0';
    if (!lookup_ || !lookup_(context_, id, buffer, sizeof(buffer))) buffer[0] = '\0';
    buffer[sizeof(buffer) - 1] = '\0';
  }

  void Copy(Row row, const char* text) { CopyText(rows_->szText[row], text); }

  void CopyTrimmed(Row row, const char* text) {
    while (*text == ' ') ++text;
    size_t n = strlen(text);
    while (n > 0 && text[n - 1] == ' ') --n;
    CopyBytes(row, text, n);
  }

  bool IsEmpty(Row row) const { return rows_->szText[row][0] == '\0'; }

  void CopyBytes(Row row, const void* bytes, size_t count) {
    char text[EXIF_TEXT_SIZE];
    size_t n = BoundedLength(static_cast<const char*>(bytes), count);
    if (n >= sizeof(text)) n = sizeof(text) - 1;
    memcpy(text, bytes, n);
    text[n] = '\0';
    Copy(row, text);
  }

  void String(Row row, unsigned id) {
    char text[kLookupCapacity];
    LoadText(id, text);
    Copy(row, text);
  }

  void Choose(Row row, unsigned value, const Choice* choices, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      if (choices[i].value == value) {
        String(row, choices[i].stringId);
        return;
      }
    }
  }

  // "%.1f %s" with a unit; a value that is not finite or whose text would
  // not fit leaves the row empty rather than showing a cut number.
  void Number(Row row, double value, unsigned unitId) {
    char unit[kLookupCapacity];
    LoadText(unitId, unit);
    Formatted(row, value, "%.1f %s", unit);
  }

  // Exposures under a second read as fractions: "0.0 s" would say nothing
  // about 1/125 s, the exposure of most photographs.
  void Seconds(Row row, double seconds) {
    if (seconds < 1.0) {
      char unit[kLookupCapacity];
      LoadText(IDS_UNIT_SECONDS, unit);
      Formatted(row, 1.0 / seconds, "1/%.0f %s", unit);
    } else {
      Number(row, seconds, IDS_UNIT_SECONDS);
    }
  }

  void Formatted(Row row, double value, const char* format, const char* unit) {
    if (!isfinite(value)) return;
    char text[EXIF_TEXT_SIZE];
    int n = snprintf(text, sizeof(text), format, value, unit);
    if (n > 0 && size_t(n) < sizeof(text)) Copy(row, text);
  }

private:
  tagEXIFROWS* rows_;
  TextLookup lookup_;
  void* context_;
};

double Quotient(const tagEXIFRATIONAL& r) { return double(r.numerator) / double(r.denominator); }

}  // namespace

unsigned RowLabelId(int row) {
  return row >= 0 && row < EXIF_ROW_COUNT ? kRowLabels[row] : 0;
}

void FormatRows(tagEXIFROWS* rows, const tagEXIFVALUES* values, const tagEXIFPRESENCE* presence,
                const tagEXIFMAKEMODEL* makeModel, TextLookup lookup, void* context) {
  if (!rows) return;
  *rows = tagEXIFROWS{};
  if (!values || !presence) return;
  RowWriter out(rows, lookup, context);
  const tagEXIFVALUES& v = *values;

  // Cameras pad make and model to a fixed width with spaces.
  if (makeModel && makeModel->Make) out.CopyTrimmed(kRowMake, makeModel->Make);
  if (makeModel && makeModel->Model) out.CopyTrimmed(kRowModel, makeModel->Model);
  out.CopyBytes(kRowExifVersion, v.ExifVersion, sizeof(v.ExifVersion));
  out.CopyBytes(kRowDateOriginal, v.DateTimeOriginal, sizeof(v.DateTimeOriginal));
  out.CopyBytes(kRowDateDigitized, v.DateTimeDigitized, sizeof(v.DateTimeDigitized));

  if (v.CompressedBitsPerPixel.denominator) {
    out.Number(kRowCompression, Quotient(v.CompressedBitsPerPixel), IDS_UNIT_BITS_PER_PIXEL);
  }
  // The shutter speed is an APEX value, stored signed: long exposures are
  // negative, and reading them unsigned would show 0.0 s for 30 seconds.
  if (v.ShutterSpeedValue.denominator) {
    double apex = double(int32_t(v.ShutterSpeedValue.numerator)) /
                  double(int32_t(v.ShutterSpeedValue.denominator));
    out.Seconds(kRowExposureTime, 1.0 / pow(2.0, apex));
  }
  // Most cameras write only the exposure time itself, in seconds.
  if (out.IsEmpty(kRowExposureTime) && v.ExposureTime.denominator && v.ExposureTime.numerator) {
    out.Seconds(kRowExposureTime, Quotient(v.ExposureTime));
  }
  if (v.FNumber.denominator) out.Formatted(kRowFNumber, Quotient(v.FNumber), "F%.1f", "");
  if (v.FocalLength.denominator) {
    out.Number(kRowFocalLength, Quotient(v.FocalLength), IDS_UNIT_MILLIMETRES);
  }
  if (v.FocalPlaneXResolution.denominator) {
    out.Number(kRowFocalPlaneX, Quotient(v.FocalPlaneXResolution), IDS_UNIT_PIXELS_PER_INCH);
  }
  if (v.FocalPlaneYResolution.denominator) {
    out.Number(kRowFocalPlaneY, Quotient(v.FocalPlaneYResolution), IDS_UNIT_PIXELS_PER_INCH);
  }
  if (presence->ISOSpeedRatings >= 2 && v.ISOSpeedRatings) {
    char prefix[kLookupCapacity];
    out.LoadText(IDS_ISO_PREFIX, prefix);
    char text[EXIF_TEXT_SIZE];
    snprintf(text, sizeof(text), "%s%d", prefix, int(v.ISOSpeedRatings[0]));
    out.Copy(kRowIso, text);
  }
  // Only bit 0 says whether the flash fired; the other bits describe its
  // mode and return light (16 and 24 are "off" and "auto, did not fire").
  out.String(kRowFlash, (v.Flash & 1) ? IDS_FLASH_FIRED : IDS_FLASH_NOT_FIRED);
  out.Choose(kRowLightSource, v.LightSource, kLightSources,
             sizeof(kLightSources) / sizeof(kLightSources[0]));
  out.Choose(kRowExposureProgram, v.ExposureProgram, kExposurePrograms,
             sizeof(kExposurePrograms) / sizeof(kExposurePrograms[0]));
}

}  // namespace exif
