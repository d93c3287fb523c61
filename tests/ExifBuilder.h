// Builds JPEG files with an Exif block byte by byte, in either byte order:
// SOI, APP1 ("Exif\0\0" and a TIFF structure with IFD0 and the Exif IFD),
// EOI. Used by the Exif tests and by the fuzzer's seed generator, so it
// stays plain C++.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace exiftest {

enum Ifd { kIfd0, kExifIfd };

class ExifBuilder {
public:
  explicit ExifBuilder(bool bigEndian) : bigEndian_(bigEndian) {}

  // Values in this builder's byte order. Texts get their terminating NUL
  // counted, as cameras write them.
  ExifBuilder& Ascii(Ifd ifd, uint16_t tag, const std::string& text) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return Add(ifd, tag, 2, uint32_t(bytes.size()), bytes);
  }
  ExifBuilder& Shorts(Ifd ifd, uint16_t tag, const std::vector<uint16_t>& values) {
    std::vector<uint8_t> bytes;
    for (uint16_t v : values) Put16(bytes, v);
    return Add(ifd, tag, 3, uint32_t(values.size()), bytes);
  }
  ExifBuilder& Short(Ifd ifd, uint16_t tag, uint16_t value) { return Shorts(ifd, tag, {value}); }
  ExifBuilder& Long(Ifd ifd, uint16_t tag, uint32_t value) {
    std::vector<uint8_t> bytes;
    Put32(bytes, value);
    return Add(ifd, tag, 4, 1, bytes);
  }
  // type 5 (RATIONAL) or 10 (SRATIONAL).
  ExifBuilder& Rational(Ifd ifd, uint16_t tag, uint32_t numerator, uint32_t denominator,
                        uint16_t type = 5) {
    std::vector<uint8_t> bytes;
    Put32(bytes, numerator);
    Put32(bytes, denominator);
    return Add(ifd, tag, type, 1, bytes);
  }
  ExifBuilder& Bytes(Ifd ifd, uint16_t tag, uint16_t type, const std::vector<uint8_t>& bytes) {
    return Add(ifd, tag, type, uint32_t(bytes.size()), bytes);
  }
  // An entry written as given, with no value bytes anywhere: for counts and
  // offsets that lie.
  ExifBuilder& RawEntry(Ifd ifd, uint16_t tag, uint16_t type, uint32_t count, uint32_t valueField) {
    Entry e{tag, type, count, {}, true, valueField};
    (ifd == kIfd0 ? ifd0_ : exif_).push_back(e);
    return *this;
  }

  // Where IFD0 says the Exif IFD is; by default its real place.
  ExifBuilder& ExifPointer(uint32_t offset) {
    exifPointerSet_ = true;
    exifPointer_ = offset;
    return *this;
  }
  // IFD0 without the Exif IFD pointer.
  ExifBuilder& OmitExifPointer() {
    omitExifPointer_ = true;
    return *this;
  }
  ExifBuilder& Ifd0Offset(uint32_t offset) {
    ifd0OffsetSet_ = true;
    ifd0Offset_ = offset;
    return *this;
  }
  // Entry count written for the Exif IFD instead of the real one.
  ExifBuilder& ExifEntryCount(uint16_t count) {
    exifCountSet_ = true;
    exifCount_ = count;
    return *this;
  }

  // Offset from the TIFF header of the first byte after the structure: the
  // place a value put "past the block" would be.
  uint32_t TiffSize() const { return uint32_t(Tiff().size()); }

  std::vector<uint8_t> Tiff() const {
    std::vector<Entry> ifd0 = ifd0_;
    if (!omitExifPointer_) ifd0.push_back(Entry{0x8769, 4, 1, {}, true, 0});
    uint32_t ifd0At = 8;
    uint32_t exifAt = ifd0At + DirectorySize(ifd0);
    uint32_t dataAt = exifAt + DirectorySize(exif_);
    if (!omitExifPointer_) ifd0.back().valueField = exifPointerSet_ ? exifPointer_ : exifAt;

    std::vector<uint8_t> out;
    out.push_back(bigEndian_ ? 'M' : 'I');
    out.push_back(bigEndian_ ? 'M' : 'I');
    Put16(out, 42);
    Put32(out, ifd0OffsetSet_ ? ifd0Offset_ : ifd0At);
    std::vector<uint8_t> data;
    WriteDirectory(out, ifd0, uint16_t(ifd0.size()), dataAt, data);
    WriteDirectory(out, exif_, exifCountSet_ ? exifCount_ : uint16_t(exif_.size()), dataAt, data);
    out.insert(out.end(), data.begin(), data.end());
    return out;
  }

  // The whole file; trailing bytes go after the APP1 segment, before EOI.
  std::vector<uint8_t> Jpeg(const std::vector<uint8_t>& trailing = {}) const {
    std::vector<uint8_t> tiff = Tiff();
    std::vector<uint8_t> out = {0xFF, 0xD8, 0xFF, 0xE1};
    size_t length = 2 + 6 + tiff.size();
    out.push_back(uint8_t(length >> 8));
    out.push_back(uint8_t(length & 0xFF));
    const char identifier[6] = {'E', 'x', 'i', 'f', 0, 0};
    out.insert(out.end(), identifier, identifier + 6);
    out.insert(out.end(), tiff.begin(), tiff.end());
    out.insert(out.end(), trailing.begin(), trailing.end());
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
  }

  void Put16(std::vector<uint8_t>& out, uint16_t v) const {
    if (bigEndian_) {
      out.push_back(uint8_t(v >> 8));
      out.push_back(uint8_t(v));
    } else {
      out.push_back(uint8_t(v));
      out.push_back(uint8_t(v >> 8));
    }
  }
  void Put32(std::vector<uint8_t>& out, uint32_t v) const {
    if (bigEndian_) {
      Put16(out, uint16_t(v >> 16));
      Put16(out, uint16_t(v));
    } else {
      Put16(out, uint16_t(v));
      Put16(out, uint16_t(v >> 16));
    }
  }

private:
  struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    std::vector<uint8_t> bytes;  // the value in file order
    bool raw;                    // write valueField as it stands
    uint32_t valueField;
  };

  ExifBuilder& Add(Ifd ifd, uint16_t tag, uint16_t type, uint32_t count,
                   const std::vector<uint8_t>& bytes) {
    Entry e{tag, type, count, bytes, false, 0};
    (ifd == kIfd0 ? ifd0_ : exif_).push_back(e);
    return *this;
  }

  static uint32_t DirectorySize(const std::vector<Entry>& entries) {
    return uint32_t(2 + 12 * entries.size() + 4);
  }

  void WriteDirectory(std::vector<uint8_t>& out, const std::vector<Entry>& entries, uint16_t count,
                      uint32_t dataAt, std::vector<uint8_t>& data) const {
    Put16(out, count);
    for (const Entry& e : entries) {
      Put16(out, e.tag);
      Put16(out, e.type);
      Put32(out, e.count);
      if (e.raw) {
        Put32(out, e.valueField);
      } else if (e.bytes.size() <= 4) {
        std::vector<uint8_t> field = e.bytes;
        field.resize(4, 0);
        out.insert(out.end(), field.begin(), field.end());
      } else {
        Put32(out, dataAt + uint32_t(data.size()));
        data.insert(data.end(), e.bytes.begin(), e.bytes.end());
        if (data.size() % 2) data.push_back(0);  // TIFF values start on word boundaries
      }
    }
    Put32(out, 0);  // no next directory
  }

  bool bigEndian_;
  std::vector<Entry> ifd0_;
  std::vector<Entry> exif_;
  bool exifPointerSet_ = false;
  uint32_t exifPointer_ = 0;
  bool omitExifPointer_ = false;
  bool ifd0OffsetSet_ = false;
  uint32_t ifd0Offset_ = 0;
  bool exifCountSet_ = false;
  uint16_t exifCount_ = 0;
};

}  // namespace exiftest
