#include "AbmCodec.h"

#include "../../platform/DibLayout.h"

#include <string.h>

#include <new>

namespace abm {

namespace {

constexpr uint8_t kMagic[5] = {'A', 'B', 'M', 'K', 0x1A};
constexpr size_t kCrcOffset = kHeaderSize - 4;
constexpr size_t kDescriptionOffset = 24;

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t GetU64(const uint8_t* p) {
  return static_cast<uint64_t>(GetU32(p)) | (static_cast<uint64_t>(GetU32(p + 4)) << 32);
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

Status Fail(Error error, const char* detail, uint32_t item = Status::kNoItem) {
  Status status;
  status.error = error;
  status.item = item;
  status.detail = detail;
  return status;
}

// Slicing by eight: table k maps a byte that is k positions further from the
// end of an 8-byte group, so eight bytes cost eight look-ups and one shift.
struct CrcTables {
  uint32_t t[8][256];
  CrcTables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
      for (int k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
};

bool IsTerminated(const uint8_t* text, size_t capacity) {
  return memchr(text, 0, capacity) != nullptr;
}

// Length of the description as stored: up to the first NUL, at most 126.
size_t DescriptionLength(const char* text) {
  if (!text) return 0;
  const void* end = memchr(text, 0, kDescriptionMaxLength);
  return end ? static_cast<size_t>(static_cast<const char*>(end) - text) : kDescriptionMaxLength;
}

const char* CheckRecord(const uint8_t* record, uint32_t pictureSize) {
  if (GetU32(record + kRecordThumbSizeOffset) != pictureSize)
    return "the record's picture size differs from the stored picture";
  if (!IsTerminated(record + kRecordPathOffset, kRecordPathSize))
    return "the record's path is not terminated";
  if (!IsTerminated(record + kRecordDescriptionOffset, kRecordDescriptionSize))
    return "the record's description is not terminated";
  return nullptr;
}

uint32_t ItemCrc(const uint8_t* itemHeader, const uint8_t* record, const uint8_t* picture,
                 uint32_t pictureSize) {
  uint32_t crc = Crc32(itemHeader, 8);
  crc = Crc32(record, kRecordSize, crc);
  return Crc32(picture, pictureSize, crc);
}

}  // namespace

bool IsDamage(Error error) {
  switch (error) {
    case Error::kNotAlbum:
    case Error::kTruncated:
    case Error::kTrailingBytes:
    case Error::kBadHeader:
    case Error::kHeaderChecksum:
    case Error::kBadCount:
    case Error::kBadItemHeader:
    case Error::kItemChecksum:
    case Error::kBadRecord:
    case Error::kBadPicture:
      return true;
    default:
      return false;
  }
}

const char* ErrorName(Error error) {
  switch (error) {
    case Error::kNone: return "no error";
    case Error::kNotAlbum: return "not an album file";
    case Error::kNewerFormat: return "album written in a newer format";
    case Error::kTruncated: return "album file cut short";
    case Error::kTrailingBytes: return "unexpected bytes after the last item";
    case Error::kBadHeader: return "damaged album header";
    case Error::kHeaderChecksum: return "album header checksum mismatch";
    case Error::kBadCount: return "item count larger than the file can hold";
    case Error::kBadItemHeader: return "damaged item header";
    case Error::kItemChecksum: return "item checksum mismatch";
    case Error::kBadRecord: return "damaged item record";
    case Error::kBadPicture: return "damaged item picture";
    case Error::kNoMemory: return "out of memory";
    case Error::kReadFailed: return "read failed";
    case Error::kWriteFailed: return "write failed";
    case Error::kBadInput: return "an item cannot be stored";
  }
  return "unknown error";
}

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
  static const CrcTables tables;
  const auto& t = tables.t;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  crc = ~crc;
  for (; size >= 8; size -= 8, p += 8) {
    uint32_t low = crc ^ GetU32(p);
    uint32_t high = GetU32(p + 4);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
          t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
  }
  for (; size > 0; --size, ++p) crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

const char* CheckPackedDib(const uint8_t* dib, uint64_t size) {
  // Thumbnails are stored with the plain 40-byte header and uncompressed rows.
  dib::Rules rules;
  rules.maxHeaderSize = dib::kInfoHeaderSize;
  if (size >= kDibHeaderSize && GetU32(dib) != kDibHeaderSize) return "picture header size is not 40";
  return dib::CheckLayout(dib, size, rules);
}

bool SpanSource::Read(void* dst, size_t size) {
  if (size > size_ - position_) return false;
  if (size) memcpy(dst, data_ + position_, size);
  position_ += size;
  return true;
}

Status Decode(Source& source, ItemSink& sink, char description[kDescriptionSize]) {
  memset(description, 0, kDescriptionSize);
  const uint64_t fileSize = source.Size();
  uint8_t header[kHeaderSize];

  if (fileSize < kHeaderSize) {
    size_t present = static_cast<size_t>(fileSize < sizeof(kMagic) ? fileSize : sizeof(kMagic));
    if (present && !source.Read(header, present)) return Fail(Error::kReadFailed, "header");
    if (memcmp(header, kMagic, present) != 0) return Fail(Error::kNotAlbum, "magic");
    return Fail(Error::kTruncated, "file shorter than the album header");
  }
  if (!source.Read(header, kHeaderSize)) return Fail(Error::kReadFailed, "header");
  if (memcmp(header, kMagic, sizeof(kMagic)) != 0) return Fail(Error::kNotAlbum, "magic");
  // The version decides the rest of the layout, so it is judged before the checksum.
  if (header[5] > kFormatVersion) return Fail(Error::kNewerFormat, "format version");
  if (header[5] != kFormatVersion) return Fail(Error::kBadHeader, "format version 0");
  if (GetU16(header + 6) != kHeaderSize) return Fail(Error::kBadHeader, "header length");
  if (GetU32(header + kCrcOffset) != Crc32(header, kCrcOffset))
    return Fail(Error::kHeaderChecksum, "header checksum");
  if (GetU32(header + 12) != 0) return Fail(Error::kNewerFormat, "unknown flags");

  const uint8_t* text = header + kDescriptionOffset;
  size_t length = strnlen(reinterpret_cast<const char*>(text), kDescriptionSize);
  if (length > kDescriptionMaxLength) return Fail(Error::kBadHeader, "description too long");
  for (size_t i = length; i < kDescriptionSize; ++i)
    if (text[i] != 0) return Fail(Error::kBadHeader, "bytes after the description");

  const uint64_t statedSize = GetU64(header + 16);
  if (statedSize > fileSize) return Fail(Error::kTruncated, "file shorter than its stated length");
  if (statedSize < fileSize) return Fail(Error::kTrailingBytes, "file longer than its stated length");

  const uint32_t count = GetU32(header + 8);
  uint64_t remaining = fileSize - kHeaderSize;
  if (count > remaining / kMinItemSize) return Fail(Error::kBadCount, "item count");
  if (!sink.Begin(count)) return Fail(Error::kNoMemory, "item table");

  for (uint32_t i = 0; i < count; ++i) {
    uint8_t itemHeader[kItemHeaderSize];
    if (remaining < kItemHeaderSize) return Fail(Error::kTruncated, "item header", i);
    if (!source.Read(itemHeader, kItemHeaderSize)) return Fail(Error::kReadFailed, "item header", i);
    remaining -= kItemHeaderSize;
    if (GetU32(itemHeader) != kRecordSize) return Fail(Error::kBadItemHeader, "record length", i);
    const uint32_t pictureSize = GetU32(itemHeader + 4);
    if (pictureSize < kDibHeaderSize || pictureSize > kMaxPictureSize)
      return Fail(Error::kBadItemHeader, "picture length", i);
    const uint64_t itemSize = kRecordSize + static_cast<uint64_t>(pictureSize);
    if (itemSize > remaining) return Fail(Error::kTruncated, "item runs past the end", i);
    // The items still to come need room too: refuse now rather than after
    // allocating this one.
    const uint32_t later = count - i - 1;
    if (later > (remaining - itemSize) / kMinItemSize)
      return Fail(Error::kTruncated, "no room for the remaining items", i);

    uint8_t* buffer = sink.ItemBuffer(i, pictureSize);
    if (!buffer) return Fail(Error::kNoMemory, "item", i);
    if (!source.Read(buffer, static_cast<size_t>(itemSize))) return Fail(Error::kReadFailed, "item", i);
    remaining -= itemSize;
    const uint8_t* picture = buffer + kRecordSize;
    if (GetU32(itemHeader + 8) != ItemCrc(itemHeader, buffer, picture, pictureSize))
      return Fail(Error::kItemChecksum, "item checksum", i);
    if (const char* why = CheckRecord(buffer, pictureSize)) return Fail(Error::kBadRecord, why, i);
    if (const char* why = CheckPackedDib(picture, pictureSize)) return Fail(Error::kBadPicture, why, i);
    sink.ItemDone(i);
  }
  if (remaining != 0) return Fail(Error::kTrailingBytes, "bytes after the last item");
  memcpy(description, text, length);
  return Status();
}

namespace {

class AlbumSink : public ItemSink {
 public:
  explicit AlbumSink(Album* album) : album_(album) {}
  bool Begin(uint32_t count) override {
    try {
      album_->items.clear();
      album_->items.reserve(count);
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  uint8_t* ItemBuffer(uint32_t, uint32_t pictureSize) override {
    try {
      buffer_.resize(kRecordSize + static_cast<size_t>(pictureSize));
      return buffer_.data();
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  void ItemDone(uint32_t) override {
    Item item;
    item.record.assign(buffer_.begin(), buffer_.begin() + kRecordSize);
    item.picture.assign(buffer_.begin() + kRecordSize, buffer_.end());
    album_->items.push_back(std::move(item));
  }

 private:
  Album* album_;  // not owned
  std::vector<uint8_t> buffer_;
};

class ScratchSink : public ItemSink {
 public:
  bool Begin(uint32_t) override { return true; }
  uint8_t* ItemBuffer(uint32_t, uint32_t pictureSize) override {
    try {
      buffer_.resize(kRecordSize + static_cast<size_t>(pictureSize));
      return buffer_.data();
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  void ItemDone(uint32_t) override {}

 private:
  std::vector<uint8_t> buffer_;
};

}  // namespace

Status DecodeBytes(const uint8_t* data, size_t size, Album* album) {
  SpanSource source(data, size);
  AlbumSink sink(album);
  try {
    Status status = Decode(source, sink, album->description);
    if (!status) album->items.clear();
    return status;
  } catch (const std::bad_alloc&) {
    album->items.clear();
    return Fail(Error::kNoMemory, "item list");
  }
}

Status Verify(Source& source) {
  ScratchSink sink;
  char description[kDescriptionSize];
  return Decode(source, sink, description);
}

bool VectorWriter::Write(const void* data, size_t size) {
  try {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    out_->insert(out_->end(), p, p + size);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool FileWriter::Write(const void* data, size_t size) {
  return fwrite(data, 1, size, file_) == size;
}

namespace {

// Checks one acquired item; on success pictureSize is its picture length.
Status CheckItem(const ItemView& view, uint32_t index, uint32_t* pictureSize) {
  if (!view.record || !view.picture) return Fail(Error::kBadInput, "item has no bytes", index);
  uint32_t size = GetU32(view.record + kRecordThumbSizeOffset);
  if (size > view.available) return Fail(Error::kBadInput, "block shorter than record + picture", index);
  if (size < kDibHeaderSize || size > kMaxPictureSize)
    return Fail(Error::kBadInput, "picture size out of range", index);
  if (const char* why = CheckRecord(view.record, size)) return Fail(Error::kBadInput, why, index);
  if (const char* why = CheckPackedDib(view.picture, size)) return Fail(Error::kBadInput, why, index);
  *pictureSize = size;
  return Status();
}

// Acquire/Release bracket for one item.
class AcquiredItem {
 public:
  AcquiredItem(ItemProvider& items, uint32_t index) : items_(items), index_(index) {
    held_ = items_.Acquire(index_, &view_);
  }
  ~AcquiredItem() {
    if (held_) items_.Release(index_);
  }
  AcquiredItem(const AcquiredItem&) = delete;
  AcquiredItem& operator=(const AcquiredItem&) = delete;
  explicit operator bool() const { return held_; }
  const ItemView& view() const { return view_; }

 private:
  ItemProvider& items_;
  uint32_t index_;
  ItemView view_;
  bool held_ = false;
};

}  // namespace

Status Measure(ItemProvider& items, uint64_t* fileLength) {
  uint64_t total = kHeaderSize;
  const uint32_t count = items.Count();
  for (uint32_t i = 0; i < count; ++i) {
    AcquiredItem item(items, i);
    if (!item) return Fail(Error::kBadInput, "item cannot be read", i);
    uint32_t pictureSize = 0;
    Status status = CheckItem(item.view(), i, &pictureSize);
    if (!status) return status;
    total += kItemHeaderSize + kRecordSize + pictureSize;
  }
  *fileLength = total;
  return Status();
}

Status Write(const char* description, ItemProvider& items, uint64_t fileLength, Writer& writer) {
  uint8_t header[kHeaderSize] = {};
  memcpy(header, kMagic, sizeof(kMagic));
  header[5] = kFormatVersion;
  PutU16(header + 6, static_cast<uint16_t>(kHeaderSize));
  const uint32_t count = items.Count();
  PutU32(header + 8, count);
  PutU64(header + 16, fileLength);
  if (size_t length = DescriptionLength(description)) memcpy(header + kDescriptionOffset, description, length);
  PutU32(header + kCrcOffset, Crc32(header, kCrcOffset));
  if (!writer.Write(header, kHeaderSize)) return Fail(Error::kWriteFailed, "header");

  uint64_t written = kHeaderSize;
  for (uint32_t i = 0; i < count; ++i) {
    AcquiredItem item(items, i);
    if (!item) return Fail(Error::kBadInput, "item cannot be read", i);
    uint32_t pictureSize = 0;
    Status status = CheckItem(item.view(), i, &pictureSize);
    if (!status) return status;
    uint8_t itemHeader[kItemHeaderSize];
    PutU32(itemHeader, static_cast<uint32_t>(kRecordSize));
    PutU32(itemHeader + 4, pictureSize);
    PutU32(itemHeader + 8, ItemCrc(itemHeader, item.view().record, item.view().picture, pictureSize));
    if (!writer.Write(itemHeader, kItemHeaderSize) ||
        !writer.Write(item.view().record, kRecordSize) ||
        !writer.Write(item.view().picture, pictureSize))
      return Fail(Error::kWriteFailed, "item", i);
    written += kItemHeaderSize + kRecordSize + pictureSize;
  }
  // The items changed since they were measured: the header would lie.
  if (written != fileLength) return Fail(Error::kBadInput, "items changed while writing");
  return Status();
}

Status Encode(const char* description, ItemProvider& items, Writer& writer) {
  uint64_t fileLength = 0;
  Status status = Measure(items, &fileLength);
  if (!status) return status;
  return Write(description, items, fileLength, writer);
}

namespace {

class AlbumItems : public ItemProvider {
 public:
  explicit AlbumItems(const Album& album) : album_(album) {}
  uint32_t Count() const override { return static_cast<uint32_t>(album_.items.size()); }
  bool Acquire(uint32_t index, ItemView* view) override {
    const Item& item = album_.items[index];
    if (item.record.size() < kRecordSize) return false;
    view->record = item.record.data();
    view->picture = item.picture.data();
    view->available = item.picture.size();
    return true;
  }
  void Release(uint32_t) override {}

 private:
  const Album& album_;
};

}  // namespace

Status EncodeBytes(const Album& album, std::vector<uint8_t>* out) {
  if (album.items.size() > 0xFFFFFFFFu) return Fail(Error::kBadInput, "too many items");
  AlbumItems items(album);
  VectorWriter writer(out);
  return Encode(album.description, items, writer);
}

}  // namespace abm
