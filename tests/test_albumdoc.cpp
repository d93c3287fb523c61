// Album documents on disk: save and load round trips, refreshing changed,
// unchanged and missing sources, relative paths, and the failures that must
// leave an album file exactly as it was.
#include <gtest/gtest.h>

#include <string.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "ItemFactory.h"
#include "ViewTestSupport.h"
#include "support/TestPictures.h"

namespace {

class Document : public CAlbumDoc2 {
public:
  using CAlbumDoc2::Remove;
  void Append(const ItemSpec& wanted) { Insert(MakeItem(wanted), nullptr); }
};

std::vector<uint8_t> Bytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  testpics::ReadFileBytes(path, &bytes);
  return bytes;
}

std::vector<uint8_t> PictureBytes(CThumbnail2* item) {
  const tagALBUMINFOHEADER* info = item->GetInfo();
  const auto* bytes = static_cast<const uint8_t*>(ToviMemLock(item->GetDib()));
  std::vector<uint8_t> picture(bytes, bytes + info->aiThumbSize);
  ToviMemUnlock(item->GetDib());
  return picture;
}

// Sets a file's last-write time to now + offset seconds.
void SetWriteTime(const std::string& path, int offsetSeconds) {
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER value;
  value.LowPart = now.dwLowDateTime;
  value.HighPart = now.dwHighDateTime;
  value.QuadPart += static_cast<LONGLONG>(offsetSeconds) * 10000000LL;
  FILETIME when{value.LowPart, value.HighPart};
  SetFileTime(file, nullptr, nullptr, &when);
  CloseHandle(file);
}

FILETIME WriteTimeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

void SetWriteTimeTo(const std::string& path, const FILETIME& when) {
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  SetFileTime(file, nullptr, nullptr, &when);
  CloseHandle(file);
}

class AlbumDocTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    for (int i = 0; i < 3; ++i) {
      std::string path = folder_.File("photo" + std::to_string(i) + ".png");
      ASSERT_TRUE(testpics::WritePicture(path, testpics::FileFormat::Png, testpics::MakePhotoPixels(120 + i * 10, 90, false)));
      sources_.push_back(path);
    }
    album_ = folder_.File("album.abm");
  }

  // A document holding thumbnails of the three sources.
  std::unique_ptr<Document> MakeDocument() {
    auto document = std::make_unique<Document>();
    document->SetThumbnailSize(100, 80);
    for (size_t i = 0; i < sources_.size(); ++i) {
      std::string description = "picture " + std::to_string(i);
      CThumbnail2* item = CreateThumbnailFromFile(sources_[i].c_str(), 100, 80, description.c_str());
      EXPECT_NE(item, nullptr);
      if (item) document->Insert(item, nullptr);
    }
    document->SetDescription("Summer");
    return document;
  }

  testpics::TempFolder folder_;
  std::vector<std::string> sources_;
  std::string album_;
};

}  // namespace

TEST_F(AlbumDocTest, SaveAndLoadGiveBackRecordsAndPictures) {
  auto original = MakeDocument();
  ASSERT_NE(original->Save(album_.c_str()), 0);
  LONG before = ToviMemLiveCount();
  Document loaded;
  ASSERT_EQ(loaded.Load(album_.c_str(), 1), 1);
  ASSERT_EQ(loaded.GetCount(), 3);
  EXPECT_STREQ(loaded.GetDescription(), "Summer");
  EXPECT_STREQ(loaded.GetPath(), album_.c_str());
  for (int i = 1; i <= 3; ++i) {
    CThumbnail2* a = original->GetThumbnail(i);
    CThumbnail2* b = loaded.GetThumbnail(i);
    EXPECT_EQ(b->GetID(), i);
    EXPECT_EQ(memcmp(a->GetInfo(), b->GetInfo(), sizeof(tagALBUMINFOHEADER)), 0) << "record " << i;
    EXPECT_EQ(PictureBytes(a), PictureBytes(b)) << "picture " << i;
  }
  EXPECT_EQ(ToviMemLiveCount(), before + 3);

  // Loading again replaces the contents; without pictures the items have none.
  ASSERT_EQ(loaded.Load(album_.c_str(), 0), 1);
  EXPECT_EQ(loaded.GetCount(), 3);
  EXPECT_EQ(loaded.GetThumbnail(1)->GetDib(), nullptr);
  EXPECT_EQ(ToviMemLiveCount(), before);
}

// More items than a process may have movable memory blocks: the whole
// album is saved and comes back whole.
TEST_F(AlbumDocTest, AnAlbumOfSeventyThousandItemsIsSavedAndLoadedWhole) {
  const int kItems = 70000;
  {
    Document big;
    for (int i = 1; i <= kItems; ++i) big.Append(ItemSpec("C:\\pictures\\" + std::to_string(i) + ".jpg", i));
    ASSERT_EQ(big.GetCount(), kItems);
    ASSERT_EQ(big.Save(album_.c_str()), 1);
  }
  LONG before = ToviMemLiveCount();
  Document loaded;
  loaded.SetAutoCheck(0);
  ASSERT_EQ(loaded.Load(album_.c_str(), 1), 1);
  ASSERT_EQ(loaded.GetCount(), kItems);
  CThumbnail2* last = loaded.GetThumbnail(kItems);
  ASSERT_NE(last, nullptr);
  EXPECT_STREQ(last->GetInfo()->aiPath, "C:\\pictures\\70000.jpg");
  EXPECT_EQ(last->GetInfo()->aiFileSize, static_cast<DWORD>(kItems));
  EXPECT_NE(last->GetDib(), nullptr) << "every item has its picture";
  EXPECT_EQ(ToviMemLiveCount(), before + kItems);
}

TEST_F(AlbumDocTest, UnchangedSourcesAreNotSavedAgain) {
  auto original = MakeDocument();
  ASSERT_NE(original->Save(album_.c_str()), 0);
  std::vector<uint8_t> saved = Bytes(album_);
  SetWriteTime(album_, -3600);
  struct _stat64 before;
  _stat64(album_.c_str(), &before);
  Document loaded;
  ASSERT_EQ(loaded.Load(album_.c_str(), 1), 1);
  struct _stat64 after;
  _stat64(album_.c_str(), &after);
  EXPECT_EQ(after.st_mtime, before.st_mtime) << "nothing changed, nothing written";
  EXPECT_EQ(Bytes(album_), saved);
}

TEST_F(AlbumDocTest, ChangedSourcesAreRefreshedAndSavedOnce) {
  auto original = MakeDocument();
  ASSERT_NE(original->Save(album_.c_str()), 0);
  // Edit every source: new content and size, written later than recorded.
  for (const std::string& path : sources_) {
    ASSERT_TRUE(testpics::WritePicture(path, testpics::FileFormat::Png, testpics::MakePhotoPixels(200, 50, true)));
    SetWriteTime(path, 120);
  }
  Document loaded;
  loaded.SetThumbnailSize(100, 80);
  ASSERT_EQ(loaded.Load(album_.c_str(), 1), 1);
  ASSERT_EQ(loaded.GetCount(), 3);
  for (int i = 1; i <= 3; ++i) {
    const tagALBUMINFOHEADER* info = loaded.GetThumbnail(i)->GetInfo();
    EXPECT_EQ(info->aiWidth, 200) << "item " << i << " has the new source size";
    EXPECT_EQ(info->aiThumbHeight, 20);
    EXPECT_STREQ(info->aiPath, sources_[i - 1].c_str()) << "the stored path stays";
    EXPECT_STREQ(info->aiDescription, ("picture " + std::to_string(i - 1)).c_str()) << "the caption survives";
  }
  // The file was written back: a second document sees the new records
  // without refreshing anything.
  Document again;
  again.SetAutoCheck(0);
  ASSERT_EQ(again.Load(album_.c_str(), 1), 1);
  EXPECT_EQ(again.GetThumbnail(2)->GetInfo()->aiWidth, 200);
  EXPECT_EQ(memcmp(again.GetThumbnail(2)->GetInfo(), loaded.GetThumbnail(2)->GetInfo(), sizeof(tagALBUMINFOHEADER)), 0);
}

TEST_F(AlbumDocTest, MissingSourcesKeepTheirItemsMarkedMissing) {
  auto original = MakeDocument();
  ASSERT_NE(original->Save(album_.c_str()), 0);
  DeleteFileA(sources_[1].c_str());
  Document loaded;
  ASSERT_EQ(loaded.Load(album_.c_str(), 1), 1);
  ASSERT_EQ(loaded.GetCount(), 3);
  viewtest::ItemMarks loadedMarks = viewtest::ReadItemMarks(loaded.GetThumbnail(2));
  ASSERT_TRUE(loadedMarks.shown);
  EXPECT_GT(loadedMarks.missing, 0) << "loading marked the item missing";
  EXPECT_EQ(viewtest::ReadItemMarks(loaded.GetThumbnail(1)).missing, 0) << "an item whose source is there is not";
  EXPECT_EQ(viewtest::ReadItemMarks(loaded.GetThumbnail(3)).missing, 0);

  loaded.GetThumbnail(2)->SetExist(1);
  EXPECT_EQ(loaded.Refresh(loaded.GetThumbnail(2)), 0);
  EXPECT_GT(viewtest::ReadItemMarks(loaded.GetThumbnail(2)).missing, 0) << "a refresh marks it missing again";
  EXPECT_NE(loaded.GetThumbnail(2)->GetDib(), nullptr) << "the stored picture stays";
  EXPECT_EQ(loaded.Refresh(nullptr), 0);
}

TEST_F(AlbumDocTest, ASourceThatCannotBeReadKeepsItsOldTimeUntilItIsRemade) {
  auto original = MakeDocument();
  ASSERT_NE(original->Save(album_.c_str()), 0);
  const DWORD storedTime = original->GetThumbnail(2)->GetInfo()->aiFileTime;
  // Caught half written: the start of a picture, with a later time.
  std::vector<uint8_t> bytes = Bytes(sources_[1]);
  ASSERT_GT(bytes.size(), 40u);
  bytes.resize(40);
  ASSERT_TRUE(testpics::WriteFileBytes(sources_[1], bytes));
  SetWriteTime(sources_[1], 120);
  const FILETIME damagedTime = WriteTimeOf(sources_[1]);

  {
    Document loaded;
    loaded.SetThumbnailSize(100, 80);
    ASSERT_EQ(loaded.Load(album_.c_str(), 1), 1);
    ASSERT_EQ(loaded.GetCount(), 3);
    EXPECT_EQ(loaded.GetThumbnail(2)->GetInfo()->aiFileTime, storedTime) << "no new thumbnail, no new time";
    EXPECT_EQ(loaded.Refresh(loaded.GetThumbnail(2)), 0);
    EXPECT_EQ(loaded.GetThumbnail(2)->GetInfo()->aiFileTime, storedTime);
    EXPECT_EQ(loaded.GetThumbnail(2)->GetInfo()->aiWidth, 130) << "the old record stays whole";
    ASSERT_NE(loaded.Save(album_.c_str()), 0);
  }

  // The writer finishes within the same second: the file's time stays.
  ASSERT_TRUE(testpics::WritePicture(sources_[1], testpics::FileFormat::Png, testpics::MakePhotoPixels(200, 50, true)));
  SetWriteTimeTo(sources_[1], damagedTime);
  Document fixed;
  fixed.SetThumbnailSize(100, 80);
  ASSERT_EQ(fixed.Load(album_.c_str(), 1), 1);
  const tagALBUMINFOHEADER* info = fixed.GetThumbnail(2)->GetInfo();
  EXPECT_EQ(info->aiWidth, 200) << "the finished picture is re-made";
  EXPECT_GT(info->aiFileTime, storedTime);
  EXPECT_EQ(fixed.Refresh(fixed.GetThumbnail(2)), 0) << "and is current from then on";
}

TEST_F(AlbumDocTest, EqualModificationTimeCountsAsUnchanged) {
  Document document;
  document.SetThumbnailSize(80, 80);
  CThumbnail2* item = CreateThumbnailFromFile(sources_[0].c_str(), 80, 80, nullptr);
  ASSERT_NE(item, nullptr);
  struct _stat64 status;
  _stat64(sources_[0].c_str(), &status);
  item->GetInfo()->aiFileTime = static_cast<DWORD>(status.st_mtime);
  document.Insert(item, nullptr);
  EXPECT_EQ(document.Refresh(item), 0);
  item->GetInfo()->aiFileTime = static_cast<DWORD>(status.st_mtime) - 1;
  EXPECT_EQ(document.Refresh(item), 1) << "one second older than the file: re-made";
}

TEST_F(AlbumDocTest, RelativePathsResolveAgainstTheProgramFolderFirst) {
  std::string programFolder = folder_.path() + "\\program\\";
  std::string albumFolder = folder_.path() + "\\albums\\";
  CreateDirectoryA(programFolder.c_str(), nullptr);
  CreateDirectoryA(albumFolder.c_str(), nullptr);
  testpics::WriteFileBytes(programFolder + "both.jpg", {1});
  testpics::WriteFileBytes(albumFolder + "both.jpg", {1});
  testpics::WriteFileBytes(albumFolder + "album-only.jpg", {1});

  Document document;
  document.SetExePath(programFolder.c_str());
  document.SetPath((albumFolder + "a.abm").c_str());
  char full[MAX_PATH];
  EXPECT_EQ(document.GetThumbnailFullPath("both.jpg", full), 1);
  EXPECT_EQ(std::string(full), programFolder + "both.jpg");
  EXPECT_EQ(document.GetThumbnailFullPath("album-only.jpg", full), 1);
  EXPECT_EQ(std::string(full), albumFolder + "album-only.jpg");
  EXPECT_EQ(document.GetThumbnailFullPath("nowhere.jpg", full), 0);
  EXPECT_STREQ(full, "nowhere.jpg") << "the stored path itself comes back";
  EXPECT_EQ(document.GetThumbnailFullPath("C:\\any\\where.jpg", full), 1) << "absolute paths are used as they are";
  EXPECT_STREQ(full, "C:\\any\\where.jpg");
  EXPECT_EQ(document.GetThumbnailFullPath(nullptr, full), 0);

  document.Append(ItemSpec("nowhere.jpg"));
  EXPECT_EQ(document.Refresh(document.GetThumbnail(1)), 0);
  document.Append(ItemSpec("album-only.jpg"));
  EXPECT_EQ(document.FindFileInDoc((albumFolder + "ALBUM-ONLY.JPG").c_str()), document.GetThumbnail(2))
      << "found by its resolved path, ignoring case";
  EXPECT_EQ(document.FindFileInDoc("NOWHERE.jpg"), document.GetThumbnail(1)) << "found by its stored path";
  EXPECT_EQ(document.FindFileInDoc("other.jpg"), nullptr);
}

TEST_F(AlbumDocTest, DescriptionKeepsAtMost126Characters) {
  auto document = MakeDocument();
  std::string longTitle(200, 'T');
  document->SetDescription(longTitle.c_str());
  ASSERT_NE(document->Save(album_.c_str()), 0);
  Document loaded;
  ASSERT_EQ(loaded.Load(album_.c_str(), 1), 1);
  EXPECT_EQ(std::string(loaded.GetDescription()), std::string(126, 'T'));
}

TEST_F(AlbumDocTest, ThumbnailBoxAndPathSetters) {
  Document document;
  EXPECT_EQ(document.SetThumbnailSize(0, 80), 0);
  EXPECT_EQ(document.SetThumbnailSize(100, 0), 0);
  EXPECT_EQ(document.SetThumbnailSize(100, 80), 1);
  EXPECT_EQ(document.SetPath("C:\\Albums\\Trip.abm"), 1);
  EXPECT_STREQ(document.GetDescription(), "C:\\Albums\\Trip.abm") << "an empty description takes the path";
  EXPECT_EQ(document.SetPath("C:\\Albums\\Other.abm"), 1);
  EXPECT_STREQ(document.GetDescription(), "C:\\Albums\\Trip.abm") << "a description is kept";
  EXPECT_EQ(document.SetPath(std::string(300, 'x').c_str()), 0) << "an over-long path is refused";
  EXPECT_STREQ(document.GetPath(), "C:\\Albums\\Other.abm");
}

TEST_F(AlbumDocTest, EmptyAlbumLoadsEmptyAndIsNotWrittenBack) {
  Document empty;
  empty.SetDescription("Nothing yet");
  ASSERT_NE(empty.Save(album_.c_str()), 0);
  std::vector<uint8_t> saved = Bytes(album_);
  Document loaded;
  ASSERT_EQ(loaded.Load(album_.c_str(), 1), 1);
  EXPECT_EQ(loaded.GetCount(), 0);
  EXPECT_STREQ(loaded.GetDescription(), "Nothing yet");
  EXPECT_EQ(Bytes(album_), saved);
}

TEST_F(AlbumDocTest, DamagedOrMissingAlbumsFailAndAreLeftAlone) {
  auto document = MakeDocument();
  ASSERT_NE(document->Save(album_.c_str()), 0);
  std::vector<uint8_t> bytes = Bytes(album_);
  bytes[bytes.size() / 2] ^= 0x5A;
  ASSERT_TRUE(testpics::WriteFileBytes(album_, bytes));

  // A failed load leaves the document as it was: items, path and title.
  Document loaded;
  loaded.Append(ItemSpec("C:\\before.jpg"));
  loaded.SetPath("C:\\before.abm");
  loaded.SetDescription("Before");
  auto expectUnchanged = [&](const char* what) {
    ASSERT_EQ(loaded.GetCount(), 1) << what;
    EXPECT_STREQ(loaded.GetThumbnail(1)->GetInfo()->aiPath, "C:\\before.jpg") << what;
    EXPECT_NE(loaded.GetThumbnail(1)->GetDib(), nullptr) << what;
    EXPECT_STREQ(loaded.GetPath(), "C:\\before.abm") << what;
    EXPECT_STREQ(loaded.GetDescription(), "Before") << what;
  };
  EXPECT_EQ(loaded.Load(album_.c_str(), 1), 0);
  expectUnchanged("damaged album");
  EXPECT_EQ(Bytes(album_), bytes) << "the damaged file is not touched";
  EXPECT_EQ(loaded.Load(folder_.File("missing.abm").c_str(), 1), 0);
  expectUnchanged("missing album");
  EXPECT_EQ(GetFileAttributesA(folder_.File("missing.abm").c_str()), INVALID_FILE_ATTRIBUTES);

  // A sound album that another program holds without sharing.
  std::string held = folder_.File("held.abm");
  ASSERT_NE(document->Save(held.c_str()), 0);
  HANDLE other = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(loaded.Load(held.c_str(), 1), 0);
  expectUnchanged("album held elsewhere");
  CloseHandle(other);
  EXPECT_EQ(loaded.Load(held.c_str(), 1), 1) << "released, it loads";
  EXPECT_EQ(loaded.GetCount(), 3);
  EXPECT_STREQ(loaded.GetPath(), held.c_str());
}

TEST_F(AlbumDocTest, FailedSavesLeaveThePreviousAlbumIntact) {
  auto document = MakeDocument();
  ASSERT_NE(document->Save(album_.c_str()), 0);
  std::vector<uint8_t> saved = Bytes(album_);

  // An item without a picture cannot be stored: the save fails instead of
  // writing an album that lacks it.
  document->Append(ItemSpec("C:\\no-picture.jpg"));
  CThumbnail2* bare = document->GetThumbnail(4);
  ToviMemFree(bare->GetDib());
  bare->SetDib(nullptr);
  EXPECT_EQ(document->Save(album_.c_str()), 0);
  EXPECT_EQ(Bytes(album_), saved);
  document->Remove(bare, 1);

  // A read-only album file is not replaced.
  document->SetDescription("Changed");
  SetFileAttributesA(album_.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(document->Save(album_.c_str()), 0);
  SetFileAttributesA(album_.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Bytes(album_), saved);

  // A folder that does not exist.
  EXPECT_EQ(document->Save((folder_.path() + "\\missing\\a.abm").c_str()), 0);
}

TEST_F(AlbumDocTest, LoadAlbumHandsEverythingToTheHost) {
  auto document = MakeDocument();
  ASSERT_NE(document->Save(album_.c_str()), 0);
  LONG before = ToviMemLiveCount();
  int count = -1;
  void** pictures = nullptr;
  tagALBUMINFOHEADER** infos = nullptr;
  ASSERT_EQ(LoadAlbum(album_.c_str(), &count, &pictures, &infos), 0);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(ToviMemLiveCount(), before + 2 + 3 + 3) << "two arrays, three records, three pictures";
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(memcmp(infos[i], document->GetThumbnail(i + 1)->GetInfo(), sizeof(tagALBUMINFOHEADER)), 0);
    auto* header = static_cast<BITMAPINFOHEADER*>(ToviMemLock(pictures[i]));
    ASSERT_NE(header, nullptr) << "picture " << i << " is still alive";
    EXPECT_EQ(header->biWidth, infos[i]->aiThumbWidth);
    ToviMemUnlock(pictures[i]);
    ToviMemFree(pictures[i]);
    ToviMemFree(infos[i]);
  }
  ToviMemFree(pictures);
  ToviMemFree(infos);
  EXPECT_EQ(ToviMemLiveCount(), before);

  int untouched = 77;
  EXPECT_EQ(LoadAlbum(folder_.File("missing.abm").c_str(), &untouched, &pictures, &infos), -2);
  EXPECT_EQ(untouched, 77) << "outputs are not written on failure";
}

TEST_F(AlbumDocTest, LoadAlbumRefusesMissingOutputsAndAllocatesNothing) {
  auto document = MakeDocument();
  ASSERT_NE(document->Save(album_.c_str()), 0);
  auto saved = Bytes(album_);
  LONG before = ToviMemLiveCount();
  int count = 77;
  void** pictures = nullptr;
  tagALBUMINFOHEADER** infos = nullptr;
  EXPECT_EQ(LoadAlbum(album_.c_str(), nullptr, &pictures, &infos), -1);
  EXPECT_EQ(LoadAlbum(album_.c_str(), &count, nullptr, &infos), -1);
  EXPECT_EQ(LoadAlbum(album_.c_str(), &count, &pictures, nullptr), -1);
  EXPECT_EQ(count, 77);
  EXPECT_EQ(pictures, nullptr);
  EXPECT_EQ(infos, nullptr);
  EXPECT_EQ(ToviMemLiveCount(), before) << "nothing is left allocated";
  EXPECT_EQ(Bytes(album_), saved);
}

TEST_F(AlbumDocTest, XmlExportListsTheAlbum) {
  auto document = MakeDocument();
  document->GetThumbnail(2)->GetInfo()->aiDescription[0] = '\0';
  document->SetDescription("Summer & sea");
  ASSERT_NE(document->Save(album_.c_str()), 0);
  std::string xmlPath = folder_.File("album.xml");
  ASSERT_EQ(CreateXabm(album_.c_str(), xmlPath.c_str()), 0);
  std::vector<uint8_t> bytes = Bytes(xmlPath);
  std::string xml(bytes.begin(), bytes.end());
  std::vector<std::string> expected = {
      "<album>", "<title>album</title>", "<desc>Summer &amp; sea</desc>", "<thumbnails>", "<thumbnail>",
      "<seq>0</seq>", "<link>" + sources_[0] + "</link>", "<desc>picture 0</desc>", "</thumbnail>",
      "<seq>1</seq>", "<desc>photo1</desc>", "<seq>2</seq>", "</thumbnails>", "</album>"};
  size_t at = 0;
  for (const std::string& piece : expected) {
    size_t found = xml.find(piece, at);
    ASSERT_NE(found, std::string::npos) << "expected " << piece << " after offset " << at << " in:\n" << xml;
    at = found + piece.size();
  }

  Document empty;
  std::string emptyAlbum = folder_.File("empty.abm");
  ASSERT_NE(empty.Save(emptyAlbum.c_str()), 0);
  ASSERT_EQ(CreateXabm(emptyAlbum.c_str(), xmlPath.c_str()), 0);
  bytes = Bytes(xmlPath);
  xml.assign(bytes.begin(), bytes.end());
  EXPECT_NE(xml.find("<title>empty</title>"), std::string::npos) << xml;
  EXPECT_EQ(xml.find("<thumbnail>"), std::string::npos) << xml;

  std::string missingXml = folder_.File("missing.xml");
  EXPECT_EQ(CreateXabm(folder_.File("missing.abm").c_str(), missingXml.c_str()), -2);
  EXPECT_EQ(GetFileAttributesA(missingXml.c_str()), INVALID_FILE_ATTRIBUTES) << "nothing written";
}
