// The ".abm" album file: encoding and decoding, in plain C++17 without any
// Windows header, so that the parser can be fuzzed natively (fuzz/).
//
// File layout, format version 1. All integers are little-endian.
//
//   Header, 156 bytes
//     0    5  magic "ABMK" followed by 0x1A (stops a text viewer at once)
//     5    1  format version, 1
//     6    2  header length, 156
//     8    4  item count
//     12   4  flags, 0 (a non-zero value marks a newer format)
//     16   8  file length in bytes, header included
//     24 128  album description: at most 126 characters, every byte after
//             the text is 0
//     152  4  CRC-32 of bytes 0..151
//
//   Then, for each item in album order:
//     0    4  record length, 420
//     4    4  picture length P, 40 .. 64 MiB
//     8    4  CRC-32 of the 8 bytes above, the record and the picture
//     12 420  the item's information record, byte for byte
//     432  P  the thumbnail picture: a packed DIB (40-byte header, colour
//             table, rows)
//
//   Nothing follows the last item. CRC-32 is the IEEE/zlib one (reflected
//   polynomial 0xEDB88320, initial and final XOR 0xFFFFFFFF).
//
// Rules the decoder enforces, so that a file it accepts is exactly the file
// the encoder would write for the decoded contents:
//   - every count and length is checked against the bytes that remain before
//     anything is allocated; the stated file length must equal the real one;
//   - the record's picture size (offset 412) equals P, and its path (offset
//     8, 260 bytes) and description (offset 268, 128 bytes) are terminated;
//   - the picture is a consistent uncompressed DIB: header size 40, width > 0,
//     height != 0, one plane, 1/4/8/16/24/32 bits, BI_RGB or BI_BITFIELDS,
//     and P covers header, masks, colour table and rows. Pixel values are the
//     album component's business.
// The encoder applies the same record and picture checks, so the store never
// writes a file it would refuse to read.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <vector>

namespace abm {

constexpr uint8_t kFormatVersion = 1;
constexpr size_t kHeaderSize = 156;
constexpr size_t kItemHeaderSize = 12;
constexpr size_t kRecordSize = 420;
constexpr size_t kDescriptionSize = 128;
constexpr size_t kDescriptionMaxLength = 126;
constexpr size_t kRecordPathOffset = 8;
constexpr size_t kRecordPathSize = 260;
constexpr size_t kRecordDescriptionOffset = 268;
constexpr size_t kRecordDescriptionSize = 128;
constexpr size_t kRecordThumbSizeOffset = 412;
constexpr uint32_t kDibHeaderSize = 40;
constexpr uint32_t kMaxPictureSize = 64u << 20;
// The smallest possible item: a picture is at least its DIB header.
constexpr uint64_t kMinItemSize = kItemHeaderSize + kRecordSize + kDibHeaderSize;

enum class Error {
  kNone,
  kNotAlbum,        // no album magic
  kNewerFormat,     // written by a later format version, or with unknown flags
  kTruncated,       // the file ends before what its header promises
  kTrailingBytes,   // bytes after the last item
  kBadHeader,       // header length, description or stated length wrong
  kHeaderChecksum,
  kBadCount,        // more items than the file could hold
  kBadItemHeader,   // record or picture length out of bounds
  kItemChecksum,
  kBadRecord,       // record disagrees with the picture, or unterminated text
  kBadPicture,      // not a consistent packed DIB
  kNoMemory,
  kReadFailed,
  kWriteFailed,
  kBadInput,        // encoding: an item that cannot be read or would not decode
};

struct Status {
  Error error = Error::kNone;
  uint32_t item = kNoItem;        // index of the item concerned, or kNoItem
  const char* detail = "";        // static text naming the failed check

  static constexpr uint32_t kNoItem = 0xFFFFFFFFu;
  explicit operator bool() const { return error == Error::kNone; }
};

// True for the errors that mean the bytes are not a sound album.
bool IsDamage(Error error);
const char* ErrorName(Error error);

// CRC-32 update: Crc32(b, n2, Crc32(a, n1)) == Crc32(a followed by b).
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

// Why a packed DIB is unacceptable, or nullptr when it is fine.
const char* CheckPackedDib(const uint8_t* dib, uint64_t size);

// ---------------------------------------------------------------------------
// Decoding

// Sequential bytes of known total size.
class Source {
 public:
  virtual ~Source() = default;
  virtual uint64_t Size() const = 0;
  // Reads exactly size bytes that follow the previous read; false on failure.
  virtual bool Read(void* dst, size_t size) = 0;
};

class SpanSource : public Source {
 public:
  SpanSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool Read(void* dst, size_t size) override;

 private:
  const uint8_t* data_;  // not owned
  size_t size_;
  size_t position_ = 0;
};

// Receives the items as they are decoded.
class ItemSink {
 public:
  virtual ~ItemSink() = default;
  // The header passed its checks; count is already bounded by the file size.
  virtual bool Begin(uint32_t count) = 0;
  // A buffer of at least kRecordSize + pictureSize bytes for item index, or
  // nullptr when memory runs out. The decoder fills it with the record and
  // the picture, then checks them; ItemDone follows only when they pass.
  virtual uint8_t* ItemBuffer(uint32_t index, uint32_t pictureSize) = 0;
  virtual void ItemDone(uint32_t index) = 0;
};

// description receives kDescriptionSize bytes (zero-filled after the text).
// On failure the sink may hold a partial album; its owner discards it.
Status Decode(Source& source, ItemSink& sink, char description[kDescriptionSize]);

struct Item {
  std::vector<uint8_t> record;   // kRecordSize bytes
  std::vector<uint8_t> picture;
};

struct Album {
  char description[kDescriptionSize] = {};
  std::vector<Item> items;
};

Status DecodeBytes(const uint8_t* data, size_t size, Album* album);

// Decodes and checks everything without keeping the items.
Status Verify(Source& source);

// ---------------------------------------------------------------------------
// Encoding

class Writer {
 public:
  virtual ~Writer() = default;
  virtual bool Write(const void* data, size_t size) = 0;
};

class VectorWriter : public Writer {
 public:
  explicit VectorWriter(std::vector<uint8_t>* out) : out_(out) {}
  bool Write(const void* data, size_t size) override;

 private:
  std::vector<uint8_t>* out_;  // not owned
};

class FileWriter : public Writer {
 public:
  explicit FileWriter(FILE* file) : file_(file) {}
  bool Write(const void* data, size_t size) override;

 private:
  FILE* file_;  // not owned
};

struct ItemView {
  const uint8_t* record = nullptr;   // kRecordSize bytes
  const uint8_t* picture = nullptr;  // available bytes; the record says how many are the picture
  uint64_t available = 0;
};

// The items to encode, by index. Acquire may fail (an item that cannot be
// read); a successful Acquire is always followed by Release.
class ItemProvider {
 public:
  virtual ~ItemProvider() = default;
  virtual uint32_t Count() const = 0;
  virtual bool Acquire(uint32_t index, ItemView* view) = 0;
  virtual void Release(uint32_t index) = 0;
};

// Checks every item and computes the file length, before anything is written.
Status Measure(ItemProvider& items, uint64_t* fileLength);

// Writes the album; fileLength comes from Measure over the same items.
// description: up to kDescriptionSize bytes, cut at the first NUL or after
// kDescriptionMaxLength characters.
Status Write(const char* description, ItemProvider& items, uint64_t fileLength, Writer& writer);

// Measure and Write in one.
Status Encode(const char* description, ItemProvider& items, Writer& writer);

Status EncodeBytes(const Album& album, std::vector<uint8_t>* out);

}  // namespace abm
