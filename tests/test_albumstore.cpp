// The album store Vandor.DLL, loaded and called the way the album component
// does, against real files: round trips, refusals that leave files as they
// were, failed saves, interrupted saves and the backup.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "AlbumStore.h"

namespace {

using Bytes = std::vector<uint8_t>;

template <typename Proc>
Proc Lookup(HMODULE module, const char* name) {
  // Through a generic function pointer: GetProcAddress's type is only a placeholder.
  return module ? reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)))
                : nullptr;
}

struct Store {
  HMODULE module = LoadLibraryA("Vandor.DLL");
  ABMFILEPROC open = Lookup<ABMFILEPROC>(module, "ABM_OpenFile");
  ABMFILEPROC save = Lookup<ABMFILEPROC>(module, "ABM_SaveFile");
  ABMERRORPROC lastError = Lookup<ABMERRORPROC>(module, "ABM_GetLastError");
};

Store& TheStore() {
  static Store store;
  return store;
}

// Bit by bit, independent of the store's table.
uint32_t Crc32(const uint8_t* p, size_t n) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

uint32_t GetU32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
void PutU32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// The documented layout: a 156-byte header with its CRC at 152, then items of
// 12-byte header (420, picture length, CRC), record and picture.
constexpr size_t kHeader = 156;
void FixHeaderCrc(Bytes& b) { PutU32(b, 152, Crc32(b.data(), 152)); }
std::vector<size_t> ItemOffsets(const Bytes& b) {
  std::vector<size_t> at;
  for (size_t p = kHeader; p + 12 <= b.size(); p += 12 + 420 + GetU32(b, p + 4)) at.push_back(p);
  return at;
}
// Leaves an item that runs past the end as it is: no CRC can cover it.
void FixItemCrc(Bytes& b, size_t item) {
  if (GetU32(b, item + 4) > b.size() - item - 432) return;
  Bytes covered(b.begin() + item, b.begin() + item + 8);
  covered.insert(covered.end(), b.begin() + item + 12, b.begin() + item + 432 + GetU32(b, item + 4));
  PutU32(b, item + 8, Crc32(covered.data(), covered.size()));
}

struct TestItem {
  Bytes record;
  Bytes picture;
};
struct TestAlbum {
  std::string description;
  std::vector<TestItem> items;
};

Bytes MakeDib(int width, int height, int seed) {
  uint32_t stride = (width * 3 + 3) & ~3u;
  Bytes dib(40 + stride * height);
  PutU32(dib, 0, 40);
  PutU32(dib, 4, width);
  PutU32(dib, 8, height);
  dib[12] = 1;
  dib[14] = 24;
  for (size_t i = 40; i < dib.size(); ++i) dib[i] = static_cast<uint8_t>(i * 31 + seed);
  return dib;
}

TestItem MakeItem(int n, int width = 4, int height = 3) {
  TestItem item;
  item.picture = MakeDib(width, height, n);
  tagALBUMINFOHEADER info = {};
  info.aiFileSize = 1000 + n;
  info.aiFileTime = 0x5F000000 + n;
  std::string path = "C:\\Pictures\\photo" + std::to_string(n) + ".jpg";
  std::string text = "item " + std::to_string(n);
  memcpy(info.aiPath, path.c_str(), path.size());
  memcpy(info.aiDescription, text.c_str(), text.size());
  info.aiWidth = 640;
  info.aiHeight = 480;
  info.aiBitCount = 24;
  info.aiThumbWidth = static_cast<WORD>(width);
  info.aiThumbHeight = static_cast<WORD>(height);
  info.aiThumbSize = static_cast<DWORD>(item.picture.size());
  info.aiReserved1 = 0xA5A5A5A5;  // the store keeps records byte for byte
  const uint8_t* raw = reinterpret_cast<const uint8_t*>(&info);
  item.record.assign(raw, raw + sizeof(info));
  return item;
}

TestAlbum MakeAlbum(int count, const std::string& description = "Holiday") {
  TestAlbum album{description, {}};
  for (int i = 0; i < count; ++i) album.items.push_back(MakeItem(i, 2 + i % 5, 1 + i % 3));
  return album;
}

// The exchange record as the album component builds it for a save: an array
// of n handles + 10 bytes and one block of record + picture + 10 per item.
class SaveRecord {
 public:
  explicit SaveRecord(const TestAlbum& album) {
    size_t n = album.items.size();
    memset(&data, 0, sizeof(data));
    memcpy(data.szDescription, album.description.data(),
           std::min(album.description.size(), sizeof(data.szDescription)));
    data.nCount = static_cast<DWORD>(n);
    data.hBlocks = GlobalAlloc(GHND, n * sizeof(HGLOBAL) + 10);
    auto* slots = static_cast<HGLOBAL*>(GlobalLock(data.hBlocks));
    for (size_t i = 0; i < n; ++i) {
      const TestItem& item = album.items[i];
      slots[i] = GlobalAlloc(GHND, 430 + item.picture.size());
      auto* block = static_cast<uint8_t*>(GlobalLock(slots[i]));
      memcpy(block, item.record.data(), item.record.size());
      memcpy(block + 420, item.picture.data(), item.picture.size());
      GlobalUnlock(slots[i]);
    }
    GlobalUnlock(data.hBlocks);
  }
  ~SaveRecord() {
    auto* slots = static_cast<HGLOBAL*>(GlobalLock(data.hBlocks));
    for (DWORD i = 0; i < data.nCount; ++i)
      if (slots[i]) GlobalFree(slots[i]);
    GlobalUnlock(data.hBlocks);
    GlobalFree(data.hBlocks);
  }
  SaveRecord(const SaveRecord&) = delete;
  SaveRecord& operator=(const SaveRecord&) = delete;

  // Replaces slot i, freeing the block that was there.
  void SetSlot(size_t i, HGLOBAL block) {
    auto* slots = static_cast<HGLOBAL*>(GlobalLock(data.hBlocks));
    if (slots[i]) GlobalFree(slots[i]);
    slots[i] = block;
    GlobalUnlock(data.hBlocks);
  }
  tagALBUMFILEDATA data;
};

// A folder of its own for each test, removed with everything in it.
class Folder {
 public:
  Folder() {
    static int sequence = 0;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "abmtest-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++sequence);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~Folder() {
    for (const std::string& name : Names()) {
      std::string file = path_ + "\\" + name;
      SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(file.c_str());
    }
    RemoveDirectoryA(path_.c_str());
  }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      std::string name = found.cFileName;
      if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string path_;
};

std::string Join(const std::vector<std::string>& names) {
  std::string all;
  for (const std::string& n : names) all += (all.empty() ? "" : ", ") + n;
  return "[" + all + "]";
}

Bytes ReadAll(const std::string& path) {
  Bytes bytes;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return bytes;
  uint8_t buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
  fclose(file);
  return bytes;
}

void WriteAll(const std::string& path, const Bytes& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << "cannot write " << path;
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

struct SaveResult {
  int result;
  int error;
};

SaveResult Save(const std::string& path, const TestAlbum& album) {
  SaveRecord record(album);
  int result = TheStore().save(ALBUM_STORE_VERSION, path.c_str(), &record.data);
  return {result, TheStore().lastError()};
}

struct OpenResult {
  int result = 0;
  int error = 0;
  TestAlbum album;
  std::string problem;  // what was wrong with the record or the blocks
};

// Opens like the album component, checks the exchange layout, then frees
// the record's blocks as the component does.
OpenResult Open(const std::string& path) {
  OpenResult out;
  tagALBUMFILEDATA data;
  memset(&data, 0xCC, sizeof(data));  // the store must zero it itself
  out.result = TheStore().open(ALBUM_STORE_VERSION, path.c_str(), &data);
  out.error = TheStore().lastError();
  if (!out.result) {
    tagALBUMFILEDATA zero = {};
    if (memcmp(&data, &zero, sizeof(data)) != 0) out.problem = "record not zeroed after a failure";
    return out;
  }
  if (data.szDescription[126] || data.szDescription[127]) out.problem = "description bytes 126/127 not 0";
  out.album.description = data.szDescription;
  if (!data.hBlocks) {
    if (data.nCount) out.problem = "items without an array";
    return out;
  }
  if (GlobalSize(data.hBlocks) < data.nCount * sizeof(HGLOBAL) + 10) out.problem = "array too small";
  auto* slots = static_cast<HGLOBAL*>(GlobalLock(data.hBlocks));
  for (DWORD i = 0; i < data.nCount; ++i) {
    if (!slots[i]) {
      out.problem = "null slot " + std::to_string(i);
      continue;
    }
    auto* block = static_cast<const uint8_t*>(GlobalLock(slots[i]));
    TestItem item;
    item.record.assign(block, block + 420);
    uint32_t size = GetU32(item.record, 412);
    if (GlobalSize(slots[i]) < 430 + size) {
      out.problem = "block " + std::to_string(i) + " too small";
    } else {
      item.picture.assign(block + 420, block + 420 + size);
      for (int z = 0; z < 10; ++z)
        if (block[420 + size + z]) out.problem = "no zero bytes after picture " + std::to_string(i);
    }
    GlobalUnlock(slots[i]);
    GlobalFree(slots[i]);
    out.album.items.push_back(std::move(item));
  }
  GlobalUnlock(data.hBlocks);
  GlobalFree(data.hBlocks);
  return out;
}

// First difference between two albums, or empty.
std::string Difference(const TestAlbum& want, const TestAlbum& got) {
  if (want.description != got.description)
    return "description: expected \"" + want.description + "\", got \"" + got.description + "\"";
  if (want.items.size() != got.items.size())
    return "expected " + std::to_string(want.items.size()) + " items, got " + std::to_string(got.items.size());
  for (size_t i = 0; i < want.items.size(); ++i) {
    if (want.items[i].record != got.items[i].record) return "record " + std::to_string(i) + " differs";
    if (want.items[i].picture != got.items[i].picture) return "picture " + std::to_string(i) + " differs";
  }
  return "";
}

class AlbumStore : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(TheStore().module, nullptr) << "Vandor.DLL did not load";
    ASSERT_NE(TheStore().open, nullptr) << "ABM_OpenFile not exported by that name";
    ASSERT_NE(TheStore().save, nullptr) << "ABM_SaveFile not exported by that name";
    ASSERT_NE(TheStore().lastError, nullptr) << "ABM_GetLastError not exported by that name";
  }

  // Saves album to path and checks success.
  void SaveOk(const std::string& path, const TestAlbum& album) {
    SaveResult r = Save(path, album);
    ASSERT_NE(r.result, 0) << "save of " << album.items.size() << " items failed with error " << r.error;
  }

  // Writes bytes as the album, expects Open to refuse them with code and the
  // file to keep exactly those bytes.
  void ExpectRefused(const Bytes& bytes, int code, const std::string& what) {
    WriteAll(album, bytes);
    OpenResult r = Open(album);
    EXPECT_EQ(r.result, 0) << what << ": expected a refusal, got success";
    EXPECT_EQ(r.error, code) << what << ": expected error " << code << ", got " << r.error;
    EXPECT_EQ(r.problem, "") << what;
    EXPECT_TRUE(ReadAll(album) == bytes) << what << ": the file changed";
  }

  // A saved 3-item album: the bytes to damage.
  Bytes SavedBytes() {
    DeleteFileA(album.c_str());  // a damaged album would refuse the save
    SaveOk(album, MakeAlbum(3));
    return ReadAll(album);
  }

  Folder folder;
  std::string album = folder / "trip.abm";
};

// ---------------------------------------------------------------------------
// Round trips

TEST_F(AlbumStore, RoundTripKeepsRecordsPicturesAndDescription) {
  TestAlbum original = MakeAlbum(5, "Summer 2021");
  original.items[2] = MakeItem(77, 80, 60);
  SaveOk(album, original);
  OpenResult r = Open(album);
  ASSERT_NE(r.result, 0) << "open failed with error " << r.error;
  EXPECT_EQ(r.problem, "");
  EXPECT_EQ(Difference(original, r.album), "");
  EXPECT_EQ(TheStore().lastError(), ABM_ERROR_NONE);
}

TEST_F(AlbumStore, DescriptionIsCutTo126Characters) {
  std::string longText(200, 'd');
  SaveOk(album, MakeAlbum(1, longText));
  OpenResult r = Open(album);
  ASSERT_NE(r.result, 0);
  EXPECT_EQ(r.problem, "");
  EXPECT_EQ(r.album.description, longText.substr(0, 126));
}

TEST_F(AlbumStore, EmptyAndLargeAlbumsRoundTrip) {
  TestAlbum empty = MakeAlbum(0, "");
  SaveOk(album, empty);
  OpenResult r = Open(album);
  ASSERT_NE(r.result, 0) << "empty album: error " << r.error;
  EXPECT_EQ(Difference(empty, r.album), "");

  TestAlbum many = MakeAlbum(3000);
  SaveOk(album, many);
  r = Open(album);
  ASSERT_NE(r.result, 0) << "large album: error " << r.error;
  EXPECT_EQ(r.problem, "");
  EXPECT_EQ(Difference(many, r.album), "");
}

TEST_F(AlbumStore, FileFollowsTheDocumentedLayout) {
  TestAlbum original = MakeAlbum(2, "Layout");
  SaveOk(album, original);
  Bytes b = ReadAll(album);
  ASSERT_GE(b.size(), kHeader);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 5), std::string("ABMK\x1A"));
  EXPECT_EQ(b[5], 1) << "format version";
  EXPECT_EQ(GetU32(b, 8), 2u) << "item count";
  EXPECT_EQ(GetU32(b, 16), b.size()) << "stated file length";
  EXPECT_EQ(GetU32(b, 152), Crc32(b.data(), 152)) << "header CRC";
  std::vector<size_t> items = ItemOffsets(b);
  ASSERT_EQ(items.size(), 2u);
  for (size_t i = 0; i < items.size(); ++i) {
    Bytes fixed = b;
    FixItemCrc(fixed, items[i]);
    EXPECT_EQ(GetU32(b, items[i]), 420u);
    EXPECT_EQ(GetU32(b, items[i] + 4), original.items[i].picture.size());
    EXPECT_EQ(GetU32(b, items[i] + 8), GetU32(fixed, items[i] + 8)) << "item " << i << " CRC";
  }
}

// ---------------------------------------------------------------------------
// Open refuses damaged files and leaves them as they are

TEST_F(AlbumStore, MissingFileFailsAndCreatesNothing) {
  OpenResult r = Open(album);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.error, ABM_ERROR_NO_FILE) << "expected no-file, got " << r.error;
  EXPECT_EQ(r.problem, "");
  EXPECT_EQ(Join(folder.Names()), "[]");
  r = Open(folder / "no such folder\\trip.abm");
  EXPECT_EQ(r.error, ABM_ERROR_NO_FILE) << "expected no-file, got " << r.error;
}

TEST_F(AlbumStore, TruncationAtAnyLengthIsRefused) {
  Bytes whole = SavedBytes();
  std::vector<size_t> cuts = {0, 1, 4, 5, 6, 8, 12, 16, 24, 151, 152, 155, 156};
  for (size_t item : ItemOffsets(whole)) {
    for (size_t edge : {item, item + 4, item + 8, item + 12, item + 431, item + 432, item + 472})
      cuts.insert(cuts.end(), {edge - 1, edge, edge + 1});
  }
  for (size_t n = 0; n < whole.size(); n += 37) cuts.push_back(n);
  cuts.push_back(whole.size() - 1);
  for (size_t n : cuts) {
    if (n >= whole.size()) continue;
    ExpectRefused(Bytes(whole.begin(), whole.begin() + n), ABM_ERROR_DAMAGED,
                  "cut to " + std::to_string(n) + " bytes");
  }
}

TEST_F(AlbumStore, FlippedBytesAreRefused) {
  Bytes whole = SavedBytes();
  // Every byte of the header and of the item headers, a sweep over the rest.
  std::vector<size_t> offsets;
  for (size_t i = 0; i < kHeader; ++i)
    if (i != 5) offsets.push_back(i);  // the format version: see NewerFormatIsRefusedAsVersion
  for (size_t item : ItemOffsets(whole))
    for (size_t i = 0; i < 12; ++i) offsets.push_back(item + i);
  for (size_t i = kHeader; i < whole.size(); i += 11) offsets.push_back(i);
  offsets.push_back(whole.size() - 1);
  for (size_t i : offsets) {
    Bytes flipped = whole;
    flipped[i] ^= 0x5A;
    WriteAll(album, flipped);
    OpenResult r = Open(album);
    ASSERT_EQ(r.result, 0) << "byte " << i << " flipped: expected a refusal, got success";
    ASSERT_EQ(r.error, ABM_ERROR_DAMAGED) << "byte " << i << ": expected damaged, got " << r.error;
    ASSERT_EQ(r.problem, "") << "byte " << i;
  }
}

TEST_F(AlbumStore, ForeignFilesAreRefused) {
  ExpectRefused({0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F'}, ABM_ERROR_DAMAGED, "JPEG");
  Bytes text(400, 'x');
  ExpectRefused(text, ABM_ERROR_DAMAGED, "text");
  Bytes header = SavedBytes();
  header[1] = 'b';
  FixHeaderCrc(header);
  ExpectRefused(header, ABM_ERROR_DAMAGED, "other magic");
}

TEST_F(AlbumStore, NewerFormatIsRefusedAsVersion) {
  Bytes b = SavedBytes();
  b[5] = 2;
  FixHeaderCrc(b);
  ExpectRefused(b, ABM_ERROR_VERSION, "format version 2");
  b = SavedBytes();
  PutU32(b, 12, 1);
  FixHeaderCrc(b);
  ExpectRefused(b, ABM_ERROR_VERSION, "unknown flag");
}

TEST_F(AlbumStore, AbsurdCountsAndLengthsAreRefusedBeforeAllocating) {
  Bytes whole = SavedBytes();
  size_t first = ItemOffsets(whole)[0];
  // 0x00FFFFFF handles would fit in memory: only the size check refuses it.
  for (uint32_t count : {0x7FFFFFFFu, 0xFFFFFFFFu, 0x00FFFFFFu, 4u}) {
    Bytes b = whole;
    PutU32(b, 8, count);
    FixHeaderCrc(b);
    ExpectRefused(b, ABM_ERROR_DAMAGED, "count " + std::to_string(count));
  }
  for (uint32_t length : {0u, 39u, 0xFFFFFFFFu, 0x7FFFFFF0u, GetU32(whole, first + 4) + 1}) {
    Bytes b = whole;
    PutU32(b, first + 4, length);
    FixItemCrc(b, first);
    ExpectRefused(b, ABM_ERROR_DAMAGED, "picture length " + std::to_string(length));
  }
  Bytes b = whole;
  PutU32(b, first, 421);
  ExpectRefused(b, ABM_ERROR_DAMAGED, "record length 421");
  b = whole;
  PutU32(b, 16, 0xFFFFFFF0u);
  FixHeaderCrc(b);
  ExpectRefused(b, ABM_ERROR_DAMAGED, "stated file length");
}

TEST_F(AlbumStore, TrailingBytesAreRefused) {
  Bytes b = SavedBytes();
  b.push_back(0);
  ExpectRefused(b, ABM_ERROR_DAMAGED, "one extra byte");
  PutU32(b, 16, static_cast<uint32_t>(b.size()));
  FixHeaderCrc(b);
  ExpectRefused(b, ABM_ERROR_DAMAGED, "extra byte included in the stated length");
}

TEST_F(AlbumStore, ItemsThatDisagreeWithThemselvesAreRefused) {
  Bytes whole = SavedBytes();
  size_t item = ItemOffsets(whole)[1];
  Bytes b = whole;
  PutU32(b, item + 12 + 412, GetU32(b, item + 12 + 412) - 4);  // record's picture size
  FixItemCrc(b, item);
  ExpectRefused(b, ABM_ERROR_DAMAGED, "record and picture sizes differ");
  b = whole;
  PutU32(b, item + 432, 12);  // picture header size
  FixItemCrc(b, item);
  ExpectRefused(b, ABM_ERROR_DAMAGED, "not a packed DIB");
  b = whole;
  PutU32(b, item + 432 + 4, 100000);  // width far beyond the bytes
  FixItemCrc(b, item);
  ExpectRefused(b, ABM_ERROR_DAMAGED, "rows beyond the picture");
  b = whole;
  std::fill(b.begin() + item + 12 + 8, b.begin() + item + 12 + 268, 'p');  // unterminated path
  FixItemCrc(b, item);
  ExpectRefused(b, ABM_ERROR_DAMAGED, "unterminated path");
}

TEST_F(AlbumStore, BadCallsFailCleanly) {
  SaveOk(album, MakeAlbum(1));
  tagALBUMFILEDATA data;
  memset(&data, 0xCC, sizeof(data));
  EXPECT_EQ(TheStore().open(3, album.c_str(), &data), 0);
  EXPECT_EQ(TheStore().lastError(), ABM_ERROR_VERSION);
  tagALBUMFILEDATA zero = {};
  EXPECT_EQ(memcmp(&data, &zero, sizeof(data)), 0) << "record not zeroed after a wrong version";
  EXPECT_EQ(TheStore().open(ALBUM_STORE_VERSION, album.c_str(), nullptr), 0);
  EXPECT_EQ(TheStore().lastError(), ABM_ERROR_BAD_DATA);
  EXPECT_EQ(TheStore().save(ALBUM_STORE_VERSION, album.c_str(), nullptr), 0);
  EXPECT_EQ(TheStore().lastError(), ABM_ERROR_BAD_DATA);
  SaveRecord record(MakeAlbum(1));
  EXPECT_EQ(TheStore().save(5, (folder / "other.abm").c_str(), &record.data), 0);
  EXPECT_EQ(TheStore().lastError(), ABM_ERROR_VERSION);
  EXPECT_EQ(Join(folder.Names()), "[trip.abm]");
}

// ---------------------------------------------------------------------------
// Failed saves keep the previous album byte for byte and leave no temporary

class FailedSave : public AlbumStore {
 protected:
  void SetUp() override {
    AlbumStore::SetUp();
    SaveOk(album, MakeAlbum(2, "first"));
    SaveOk(album, MakeAlbum(3, "second"));
    before = ReadAll(album);
    backupBefore = ReadAll(album + ".bak");
  }
  void ExpectUnchanged(SaveResult r, int code, const std::string& what) {
    EXPECT_EQ(r.result, 0) << what << ": expected failure, got success";
    EXPECT_EQ(r.error, code) << what << ": expected error " << code << ", got " << r.error;
    EXPECT_TRUE(ReadAll(album) == before) << what << ": the album changed";
    EXPECT_TRUE(ReadAll(album + ".bak") == backupBefore) << what << ": the backup changed";
    EXPECT_EQ(Join(folder.Names()), "[trip.abm, trip.abm.bak]") << what;
  }
  Bytes before, backupBefore;
  TestAlbum next = MakeAlbum(4, "third");
};

TEST_F(FailedSave, NullSlotOrMalformedBlockKeepsTheAlbum) {
  {
    SaveRecord record(next);
    record.SetSlot(1, nullptr);
    int result = TheStore().save(ALBUM_STORE_VERSION, album.c_str(), &record.data);
    ExpectUnchanged({result, TheStore().lastError()}, ABM_ERROR_BAD_DATA, "null slot");
  }
  {
    SaveRecord record(next);
    HGLOBAL shortBlock = GlobalAlloc(GHND, 430);  // the record claims a picture it lacks
    memcpy(GlobalLock(shortBlock), next.items[2].record.data(), 420);
    GlobalUnlock(shortBlock);
    record.SetSlot(2, shortBlock);
    int result = TheStore().save(ALBUM_STORE_VERSION, album.c_str(), &record.data);
    ExpectUnchanged({result, TheStore().lastError()}, ABM_ERROR_BAD_DATA, "short block");
  }
  TestAlbum bad = next;
  bad.items[0].picture[0] = 12;
  ExpectUnchanged(Save(album, bad), ABM_ERROR_BAD_DATA, "picture that is not a DIB");
  bad = next;
  std::fill(bad.items[3].record.begin() + 8, bad.items[3].record.begin() + 268, 'p');
  ExpectUnchanged(Save(album, bad), ABM_ERROR_BAD_DATA, "unterminated path");
  {
    SaveRecord record(next);
    record.data.nCount = 1000;  // more than the array holds
    int result = TheStore().save(ALBUM_STORE_VERSION, album.c_str(), &record.data);
    record.data.nCount = 4;
    ExpectUnchanged({result, TheStore().lastError()}, ABM_ERROR_BAD_DATA, "count beyond the array");
  }
}

TEST_F(FailedSave, ReadOnlyAlbumIsKept) {
  SetFileAttributesA(album.c_str(), FILE_ATTRIBUTE_READONLY);
  ExpectUnchanged(Save(album, next), ABM_ERROR_ACCESS, "read-only album");
  SetFileAttributesA(album.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FailedSave, AlbumOpenElsewhereIsKept) {
  for (DWORD share : {0ul, static_cast<DWORD>(FILE_SHARE_READ)}) {
    HANDLE other = CreateFileA(album.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    SaveResult r = Save(album, next);
    CloseHandle(other);
    ExpectUnchanged(r, ABM_ERROR_ACCESS, "album held open with share mode " + std::to_string(share));
  }
}

TEST_F(FailedSave, DamagedAlbumIsNeverReplacedNorBackedUp) {
  Bytes damaged = before;
  damaged[200] ^= 1;
  WriteAll(album, damaged);
  before = damaged;
  ExpectUnchanged(Save(album, next), ABM_ERROR_DAMAGED, "damaged album");
  WriteAll(album, Bytes(300, 'x'));
  before = Bytes(300, 'x');
  ExpectUnchanged(Save(album, next), ABM_ERROR_DAMAGED, "file that is no album");
}

TEST_F(FailedSave, MissingFolderOrLongPathCreatesNothing) {
  ExpectUnchanged(Save(folder / "gone\\trip.abm", next), ABM_ERROR_NO_FILE, "missing folder");
  // Fits MAX_PATH, but not with the temporary suffix.
  std::string longName = folder / (std::string(MAX_PATH - 12 - (folder / "").size(), 'n') + ".abm");
  ExpectUnchanged(Save(longName, next), ABM_ERROR_BAD_DATA, "path without room for the temporary name");
}

// ---------------------------------------------------------------------------
// Interrupted saves and the backup

TEST_F(AlbumStore, LeftoversOfAnInterruptedSaveDisturbNothing) {
  TestAlbum first = MakeAlbum(3, "first");
  SaveOk(album, first);
  Bytes whole = ReadAll(album);
  // A save that died while writing, and one that died after writing.
  WriteAll(album + ".tmp-0000", Bytes(whole.begin(), whole.begin() + whole.size() / 2));
  WriteAll(album + ".tmp-ffff", whole);
  OpenResult r = Open(album);
  ASSERT_NE(r.result, 0);
  EXPECT_EQ(Difference(first, r.album), "");

  // A save running in another process holds its temporary file open.
  WriteAll(album + ".tmp-1234", whole);
  HANDLE running = CreateFileA((album + ".tmp-1234").c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(running, INVALID_HANDLE_VALUE);
  // Names the store never makes.
  WriteAll(album + ".tmp-12345", whole);
  WriteAll(album + ".tmp-wxyz", whole);

  TestAlbum second = MakeAlbum(6, "second");
  SaveOk(album, second);
  r = Open(album);
  ASSERT_NE(r.result, 0);
  EXPECT_EQ(Difference(second, r.album), "");
  CloseHandle(running);
  EXPECT_EQ(Join(folder.Names()), "[trip.abm, trip.abm.bak, trip.abm.tmp-1234, trip.abm.tmp-12345, trip.abm.tmp-wxyz]")
      << "a save leaves no temporary of its own, removes those of interrupted saves and keeps a running save's";
}

TEST_F(AlbumStore, BackupHoldsThePreviousSoundAlbum) {
  TestAlbum first = MakeAlbum(2, "first"), second = MakeAlbum(3, "second");
  SaveOk(album, first);
  EXPECT_EQ(Join(folder.Names()), "[trip.abm]") << "no backup without a previous album";
  Bytes firstBytes = ReadAll(album);
  SaveOk(album, second);
  EXPECT_EQ(Join(folder.Names()), "[trip.abm, trip.abm.bak]");
  EXPECT_TRUE(ReadAll(album + ".bak") == firstBytes) << "the backup is not the first album";
  OpenResult r = Open(album + ".bak");
  ASSERT_NE(r.result, 0) << "backup does not open: error " << r.error;
  EXPECT_EQ(Difference(first, r.album), "");
  Bytes secondBytes = ReadAll(album);
  SaveOk(album, MakeAlbum(1, "third"));
  EXPECT_TRUE(ReadAll(album + ".bak") == secondBytes) << "one generation: the backup is the second album";
}

TEST_F(AlbumStore, EmptyFileAtThePathIsReplacedWithoutBackup) {
  WriteAll(album, {});
  SaveOk(album, MakeAlbum(1));
  EXPECT_EQ(Join(folder.Names()), "[trip.abm]");
  EXPECT_NE(Open(album).result, 0);
}

}  // namespace
