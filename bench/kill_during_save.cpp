// Kills a process that writes an album at random moments and checks that
// the album on disk is always whole: after each kill the album must equal
// exactly the last change that completed or the one that was running, and
// its backup must load and equal an earlier generation.
//
//   kill_during_save.exe [--add | --manager] [kills] [seed] [items]
//       (defaults 200 kills, seed from the clock, 300 items)
//
// Three ways of writing the album, each its own figure:
//   (default)  CAlbumDoc2::Save of an album of `items` items; generation g
//              differs from its neighbours in the album description and in
//              one item (description and picture).
//   --add      AddToAlbum by path, two picture files (small BMP files made
//              beforehand) per call. Generation g holds the batches added
//              since the last multiple of kEpoch, the generation at which
//              the album starts again empty (a plain save, so the album and
//              the picture folder stay small).
//   --manager  an album manager opened over the folder of an album of
//              `items` items: each generation removes the first item (Delete
//              command, the remove dialog answered Keep), inserts a picture
//              (InsertFromDib), writes the first item's description into the
//              description line and saves (Save command).
//
// The parent starts this program again as a child ("--child"), which makes
// generation after generation until killed; the kill falls at a random
// moment of the child's first, second or third call (or just after it). The child reports the
// generation it started and the one it finished in memory shared with the
// parent, which outlives the child's abrupt end. Exit code 0 only when every
// album and every backup passed.
#include <windows.h>

#include <album.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchAlbums.h"
#include "BenchClock.h"
#include "BenchHeader.h"
#include "components/resources/resource.h"
#include "platform/qil.h"

namespace {

// How long a child may take to start and open its album before its first change.
const DWORD kStartLimitMs = 120000;

// What the child tells the parent; written only by the child.
struct KillProgress {
  volatile LONG started;           // generation whose change began last
  volatile LONG finished;          // generation whose change completed last
  volatile LONG failed;            // generation whose change reported failure, 0 if none
  volatile LONG inCall;            // 1 while inside the call the figure is about
  volatile LONG calls;             // calls begun
  volatile LONG lastCallMs;        // duration of the last completed call
  volatile LONG lastGenerationMs;  // duration of the last completed generation
};

// Child: set (auto-reset) as each call begins, so that the parent can aim
// its kill at a call rather than at the work around it.
HANDLE g_callBegan = nullptr;

std::string CallEventName(const std::string& readyName) { return readyName + "-call"; }

// Marks the scope as the call in progress.
class InCall {
 public:
  explicit InCall(KillProgress* progress) : progress_(progress), begin_(Seconds()) {
    InterlockedExchange(&progress_->inCall, 1);
    InterlockedIncrement(&progress_->calls);
    if (g_callBegan) SetEvent(g_callBegan);
  }
  ~InCall() {
    InterlockedExchange(&progress_->lastCallMs, static_cast<LONG>((Seconds() - begin_) * 1000));
    InterlockedExchange(&progress_->inCall, 0);
  }
  InCall(const InCall&) = delete;
  InCall& operator=(const InCall&) = delete;

 private:
  KillProgress* progress_;
  double begin_;
};

// Picture bytes of a handle against expected bytes; the handle may be larger.
bool SamePicture(HTOVIMEM picture, const std::vector<BYTE>& expected) {
  if (!picture || ToviMemSize(picture) < expected.size()) return false;
  const void* bytes = ToviMemLock(picture);
  bool same = bytes && memcmp(bytes, expected.data(), expected.size()) == 0;
  if (bytes) ToviMemUnlock(picture);
  return same;
}

std::vector<BYTE> PictureBytes(HTOVIMEM picture) {
  std::vector<BYTE> bytes;
  const void* locked = picture ? ToviMemLock(picture) : nullptr;
  if (!locked) return bytes;
  const auto* header = static_cast<const BITMAPINFOHEADER*>(locked);
  DWORD stride = ((header->biWidth * header->biBitCount + 31) / 32) * 4;
  DWORD height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
  DWORD size = header->biSize + stride * height;
  if (size <= ToviMemSize(picture)) bytes.assign(static_cast<const BYTE*>(locked), static_cast<const BYTE*>(locked) + size);
  ToviMemUnlock(picture);
  return bytes;
}

// The folder part of an album path.
std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// One way of writing an album. Generation g is one exact album content; the
// child goes from g - 1 to g with Advance, the parent checks with
// Generation what an album file holds.
class Scenario {
 public:
  virtual ~Scenario() = default;
  // "kill during <Name()>".
  virtual const char* Name() const = 0;
  // The call that inCall covers, as the figure names it.
  virtual const char* Call() const { return Name(); }
  // Parent: whatever the children need beside the album; true when ready.
  virtual bool Prepare(const std::string& /*folder*/) { return true; }
  // Writes generation g to path directly, not through the call measured.
  virtual bool Write(const std::string& path, LONG generation) = 0;
  // The generation the album at path holds exactly, or 0 when it cannot be
  // loaded or is not exactly one generation's contents.
  virtual LONG Generation(const std::string& path) = 0;
  // Child: gets ready to go on from generation first - 1, which the album holds.
  virtual bool Begin(const std::string& path, LONG first) = 0;
  // Child: changes the album from generation g - 1 to g.
  virtual bool Advance(LONG generation, KillProgress* progress) = 0;
  // Child: lets go of what Begin made.
  virtual void End() {}
};

// ---------------------------------------------------------------------------
// CAlbumDoc2::Save of a whole album

class SaveScenario : public Scenario {
 public:
  explicit SaveScenario(int items) : items_(items) {}
  const char* Name() const override { return "save"; }
  const char* Call() const override { return "a save"; }

  bool Write(const std::string& path, LONG generation) override {
    CAlbumDoc2 album;
    album.SetThumbnailSize(kThumbWidth, kThumbHeight);
    return Fill(&album, generation) && album.Save(path.c_str());
  }

  LONG Generation(const std::string& path) override {
    CAlbumDoc2 album;
    album.SetAutoCheck(0);
    if (!album.Load(path.c_str(), 1)) return 0;
    LONG generation = 0;
    if (sscanf(album.GetDescription(), "generation %ld", &generation) != 1 || generation <= 0) return 0;
    if (Description(generation) != album.GetDescription() || album.GetCount() != items_) return 0;
    std::vector<BYTE> picture;
    tagALBUMINFOHEADER info;
    for (int i = 0; i < items_; ++i) {
      ExpectedItem(i, generation, &info, &picture);
      CThumbnail2* item = album.GetThumbnail(i + 1);
      if (!item || memcmp(item->GetInfo(), &info, sizeof(info)) != 0 || !SamePicture(item->GetDib(), picture)) return 0;
    }
    return generation;
  }

  bool Begin(const std::string& path, LONG first) override {
    path_ = path;
    album_.reset(new CAlbumDoc2);
    album_->SetThumbnailSize(kThumbWidth, kThumbHeight);
    return Fill(album_.get(), first);
  }

  bool Advance(LONG generation, KillProgress* progress) override {
    if (!Fill(album_.get(), generation)) return false;
    InCall call(progress);
    return album_->Save(path_.c_str()) != 0;
  }

  void End() override { album_.reset(); }

 private:
  static const int kThumbWidth = 48;
  static const int kThumbHeight = 36;

  static std::string Description(LONG generation) { return "generation " + std::to_string(generation); }

  // The contents of item index in generation g.
  void ExpectedItem(int index, LONG generation, tagALBUMINFOHEADER* info, std::vector<BYTE>* picture) const {
    const DWORD stride = (kThumbWidth * 3 + 3) & ~3u;
    const DWORD size = sizeof(BITMAPINFOHEADER) + stride * kThumbHeight;
    memset(info, 0, sizeof(*info));
    bool varied = generation % items_ == index;
    info->aiFileSize = 100000 + index;
    info->aiFileTime = 1600000000u + index;
    snprintf(info->aiPath, sizeof(info->aiPath), "C:\\killsave\\picture%04d.jpg", index);
    if (varied) snprintf(info->aiDescription, sizeof(info->aiDescription), "changed in generation %ld", generation);
    info->aiBitCount = 24;
    info->aiWidth = 480;
    info->aiHeight = 360;
    info->aiThumbWidth = kThumbWidth;
    info->aiThumbHeight = kThumbHeight;
    info->aiThumbSize = size;

    picture->assign(size, 0);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(picture->data());
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = kThumbWidth;
    header->biHeight = kThumbHeight;
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biSizeImage = stride * kThumbHeight;
    BYTE* pixels = picture->data() + sizeof(BITMAPINFOHEADER);
    for (DWORD i = 0; i < header->biSizeImage; ++i) pixels[i] = static_cast<BYTE>(i * 7 + index * 13);
    if (varied) memcpy(pixels, &generation, sizeof(generation));
  }

  // Puts generation g's contents into a document (its items made on the first call).
  bool Fill(CAlbumDoc2* album, LONG generation) const {
    std::vector<BYTE> picture;
    tagALBUMINFOHEADER info;
    for (int i = 0; i < items_; ++i) {
      ExpectedItem(i, generation, &info, &picture);
      CThumbnail2* item = album->GetThumbnail(i + 1);
      if (!item) {
        HTOVIMEM dib = ToviMemAlloc(TOVI_MOVABLE_ZERO, picture.size());
        if (!dib) return false;
        item = new CThumbnail2(&info, dib, 0, 1);
        album->Insert(item, nullptr);
      }
      memcpy(item->GetInfo(), &info, sizeof(info));
      void* bytes = ToviMemLock(item->GetDib());
      if (!bytes) return false;
      memcpy(bytes, picture.data(), picture.size());
      ToviMemUnlock(item->GetDib());
    }
    album->SetDescription(Description(generation).c_str());
    return true;
  }

  const int items_;
  std::string path_;                  // child: the album
  std::unique_ptr<CAlbumDoc2> album_;  // child: the document saved again and again
};

// ---------------------------------------------------------------------------
// AddToAlbum by path

class AddScenario : public Scenario {
 public:
  const char* Name() const override { return "AddToAlbum"; }

  // The picture files, and the items AddToAlbum is to make of them.
  bool Prepare(const std::string& folder) override {
    CreateDirectoryA(PictureFolder(folder).c_str(), nullptr);
    expected_.clear();
    for (int n = 0; n < kFiles; ++n) {
      std::string file = PictureFile(folder, n);
      HTOVIMEM picture = PatternPicture(24 + 8 * (n % 4), 18 + 4 * (n % 3), n * 17);
      bool saved = picture && QilSaveFile(picture, file.c_str(), QIL_SAVE_BMP, 0) == QIL_OK;
      if (picture) ToviMemFree(picture);
      std::unique_ptr<CThumbnail2> item(saved ? CreateThumbnailFromFile(file.c_str(), kThumbWidth, kThumbHeight, nullptr)
                                              : nullptr);
      if (!item) return false;
      Expected expected;
      expected.info = *item->GetInfo();
      expected.info.aiReserved2 = 0;
      expected.picture = PictureBytes(item->GetDib());
      if (expected.picture.empty()) return false;
      expected_.push_back(expected);
    }
    return true;
  }

  bool Write(const std::string& path, LONG generation) override {
    CAlbumDoc2 album;
    album.SetThumbnailSize(kThumbWidth, kThumbHeight);
    LONG start = generation - generation % kEpoch;
    album.SetDescription(Description(start).c_str());
    for (LONG batch = start + 1; batch <= generation; ++batch) {
      for (int j = 0; j < kBatch; ++j) {
        CThumbnail2* item = CreateThumbnailFromFile(PictureFile(FolderOf(path), FileIndex(batch, j)).c_str(),
                                                    kThumbWidth, kThumbHeight, nullptr);
        if (!item) return false;
        album.Insert(item, nullptr);
      }
    }
    return album.Save(path.c_str()) != 0;
  }

  LONG Generation(const std::string& path) override {
    CAlbumDoc2 album;
    album.SetAutoCheck(0);
    if (!album.Load(path.c_str(), 1)) return 0;
    LONG start = -1;
    if (sscanf(album.GetDescription(), "added since generation %ld", &start) != 1 || start < 0 ||
        start % kEpoch != 0 || Description(start) != album.GetDescription())
      return 0;
    int count = album.GetCount();
    if (count % kBatch != 0 || count / kBatch >= kEpoch) return 0;
    LONG generation = start + count / kBatch;
    for (int i = 0; i < count; ++i) {
      const Expected& expected = expected_[FileIndex(start + 1 + i / kBatch, i % kBatch)];
      CThumbnail2* item = album.GetThumbnail(i + 1);
      if (!item || memcmp(item->GetInfo(), &expected.info, sizeof(expected.info)) != 0 ||
          !SamePicture(item->GetDib(), expected.picture))
        return 0;
    }
    return generation;
  }

  bool Begin(const std::string& path, LONG) override {
    path_ = path;
    return true;
  }

  bool Advance(LONG generation, KillProgress* progress) override {
    if (generation % kEpoch == 0) return Write(path_, generation);
    // The paths back to back, each after the previous one's zero.
    std::string files;
    for (int j = 0; j < kBatch; ++j) files += PictureFile(FolderOf(path_), FileIndex(generation, j)) + '\0';
    char* list = &files[0];
    char album[MAX_PATH];
    if (path_.size() >= sizeof(album)) return false;
    memcpy(album, path_.c_str(), path_.size() + 1);
    int added[kBatch] = {};
    int* results = added;
    POINT size = {kThumbWidth, kThumbHeight};
    int result;
    {
      InCall call(progress);
      result = AddToAlbum(nullptr, album, &list, kBatch, results, size);
    }
    for (int j = 0; j < kBatch; ++j)
      if (added[j] != 1) return false;
    return result == 0;
  }

 private:
  static const int kThumbWidth = 48;
  static const int kThumbHeight = 36;
  static const int kBatch = 2;  // files per AddToAlbum call
  static const int kEpoch = 8;  // generations from one empty album to the next
  // Within an epoch no file comes twice: AddToAlbum would only refresh it.
  static const int kFiles = kBatch * kEpoch;

  struct Expected {
    tagALBUMINFOHEADER info;
    std::vector<BYTE> picture;
  };

  static std::string Description(LONG start) { return "added since generation " + std::to_string(start); }
  static std::string PictureFolder(const std::string& folder) { return folder + "\\pictures"; }
  static std::string PictureFile(const std::string& folder, int n) {
    char name[32];
    snprintf(name, sizeof(name), "\\picture%02d.bmp", n);
    return PictureFolder(folder) + name;
  }
  // File j of the batch that generation g adds.
  static int FileIndex(LONG generation, int j) { return static_cast<int>(((generation - 1) * kBatch + j) % kFiles); }

  std::vector<Expected> expected_;  // parent: by file index
  std::string path_;                // child: the album
};

// ---------------------------------------------------------------------------
// An album manager's Save command

// The manager child's dialogs: the remove dialog of a Delete command is
// answered with its preset choice (keep the files); any other dialog or
// message box is unexpected, cancelled and remembered.
bool g_removeExpected = false;
bool g_unexpectedDialog = false;
HHOOK g_dialogHook = nullptr;

LRESULT CALLBACK AnswerDialogs(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
    if (create->lpcs->lpszClass == MAKEINTRESOURCEA(32770)) {
      HWND window = reinterpret_cast<HWND>(wParam);
      if (g_removeExpected) {
        g_removeExpected = false;
        PostMessageA(window, WM_COMMAND, IDOK, 0);
      } else {
        g_unexpectedDialog = true;
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        PostMessageA(window, WM_COMMAND, IDNO, 0);
      }
    }
  }
  return CallNextHookEx(g_dialogHook, code, wParam, lParam);
}

class ManagerScenario : public Scenario {
 public:
  explicit ManagerScenario(int items) : items_(items) {}
  const char* Name() const override { return "the manager's Save"; }

  bool Write(const std::string& path, LONG generation) override {
    CAlbumDoc2 album;
    album.SetThumbnailSize(kThumbWidth, kThumbHeight);
    album.SetDescription(kAlbumDescription);
    for (LONG n = generation; n < generation + items_; ++n) {
      // The pictures come from the host, not from files: the item is made
      // here as the manager makes it.
      HTOVIMEM source = Source(n);
      HTOVIMEM thumbnail = source ? MakeThumbnailPicture(source, kThumbWidth, kThumbHeight) : nullptr;
      if (source) ToviMemFree(source);
      if (!thumbnail) return false;
      tagALBUMINFOHEADER info;
      memset(&info, 0, sizeof(info));
      snprintf(info.aiPath, sizeof(info.aiPath), "%s", ItemPath(n).c_str());
      snprintf(info.aiDescription, sizeof(info.aiDescription), "%s", ItemDescription(n, generation).c_str());
      info.aiThumbSize = ToviMemSize(thumbnail);
      album.Insert(new CThumbnail2(&info, thumbnail, 0, 1), nullptr);
    }
    return album.Save(path.c_str()) != 0;
  }

  LONG Generation(const std::string& path) override {
    CAlbumDoc2 album;
    album.SetAutoCheck(0);
    if (!album.Load(path.c_str(), 1) || strcmp(album.GetDescription(), kAlbumDescription) != 0 ||
        album.GetCount() != items_)
      return 0;
    LONG generation = 0;
    const char* first = album.GetThumbnail(1)->GetInfo()->aiDescription;
    if (sscanf(first, "generation %ld", &generation) != 1 || generation <= 0) return 0;
    for (int i = 0; i < items_; ++i) {
      LONG n = generation + i;
      CThumbnail2* item = album.GetThumbnail(i + 1);
      if (!item || _stricmp(item->GetInfo()->aiPath, ItemPath(n).c_str()) != 0 ||
          ItemDescription(n, generation) != item->GetInfo()->aiDescription || !SamePicture(item->GetDib(), Thumbnail(n)))
        return 0;
    }
    return generation;
  }

  bool Begin(const std::string& path, LONG) override {
    std::string folder = FolderOf(path);
    // The user folder keeps album.ini away from the album's folder.
    std::string user = folder + "\\user";
    CreateDirectoryA(user.c_str(), nullptr);
    InitCurUserPath((user + "\\").c_str());
    host_ = CreateWindowExA(0, "STATIC", "kill host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    if (!host_) return false;
    dialog_ = OpenAlbumManagerEx(host_, folder.c_str(), kThumbWidth, kThumbHeight, 0);
    manager_ = dialog_ ? reinterpret_cast<CAlbumMan*>(GetWindowLongPtrA(dialog_, GWLP_USERDATA)) : nullptr;
    // From now on every dialog is one the manager shows on its own.
    g_unexpectedDialog = false;
    g_dialogHook = SetWindowsHookExA(WH_CBT, AnswerDialogs, nullptr, GetCurrentThreadId());
    return g_dialogHook && manager_ && manager_->GetAlbum() && manager_->GetAlbum()->GetThumbNailCount() == items_ &&
           !manager_->m_bUntitled;
  }

  bool Advance(LONG generation, KillProgress* progress) override {
    CAlbum* album = manager_->GetAlbum();
    // The first item goes, as a click on it and the Delete button take it.
    if (album->SetCurrentFocus(1) != 1) return false;
    g_removeExpected = true;
    SendMessageA(dialog_, WM_COMMAND, IDM_TB_DELETE, 0);
    if (g_removeExpected || album->GetThumbNailCount() != items_ - 1) return false;
    // A picture from the host goes in at the end.
    LONG n = generation + items_ - 1;
    HTOVIMEM source = Source(n);
    int inserted = source && InsertFromDib(dialog_, source, ItemDescription(n, generation).c_str(), ItemPath(n).c_str());
    if (source) ToviMemFree(source);
    if (!inserted) return false;
    // With an item focused the description line is that item's: the first
    // item's is written, as a user types it after clicking the item.
    if (album->SetCurrentFocus(1) != 1) return false;
    SetDlgItemTextA(dialog_, IDC_MAN_DESCRIPTION, ItemDescription(generation, generation).c_str());
    {
      InCall call(progress);
      SendMessageA(dialog_, WM_COMMAND, IDM_TB_SAVE, 0);
    }
    return manager_->m_bModified == 0 && !g_unexpectedDialog;
  }

  void End() override {
    if (dialog_) DestroyWindow(dialog_);
    if (host_) DestroyWindow(host_);
    if (g_dialogHook) UnhookWindowsHookEx(g_dialogHook);
    dialog_ = host_ = nullptr;
    manager_ = nullptr;
    g_dialogHook = nullptr;
  }

 private:
  static const int kThumbWidth = 48;
  static const int kThumbHeight = 36;
  // Generation g holds items g .. g + items_ - 1, item g described as
  // "generation g", the others as "item n".
  const int items_;

  static constexpr const char* kAlbumDescription = "album saved by a manager";

  // Item n in generation g: the first item carries the generation.
  static std::string ItemDescription(LONG n, LONG generation) {
    return (n == generation ? "generation " : "item ") + std::to_string(n);
  }
  static std::string ItemPath(LONG n) {
    char path[64];
    snprintf(path, sizeof(path), "C:\\killman\\picture%06ld.jpg", n);
    return path;
  }
  // The picture the host hands over for item n; the caller frees it.
  static HTOVIMEM Source(LONG n) { return PatternPicture(64 + static_cast<int>(n % 5) * 4, 48, static_cast<int>(n)); }

  // The thumbnail the manager keeps of item n's picture.
  const std::vector<BYTE>& Thumbnail(LONG n) {
    auto known = thumbnails_.find(n);
    if (known != thumbnails_.end()) return known->second;
    std::vector<BYTE>& bytes = thumbnails_[n];
    HTOVIMEM source = Source(n);
    HTOVIMEM thumbnail = source ? MakeThumbnailPicture(source, kThumbWidth, kThumbHeight) : nullptr;
    bytes = PictureBytes(thumbnail);
    if (thumbnail) ToviMemFree(thumbnail);
    if (source) ToviMemFree(source);
    return bytes;
  }

  std::map<LONG, std::vector<BYTE>> thumbnails_;  // parent: by item number
  HWND host_ = nullptr;                           // child: owned
  HWND dialog_ = nullptr;                         // child: the manager dialog, owned
  CAlbumMan* manager_ = nullptr;                  // child: the dialog's
};

std::unique_ptr<Scenario> MakeScenario(const std::string& mode, int items) {
  if (mode == "--add") return std::unique_ptr<Scenario>(new AddScenario);
  if (mode == "--manager") return std::unique_ptr<Scenario>(new ManagerScenario(items));
  return std::unique_ptr<Scenario>(new SaveScenario(items));
}

// ---------------------------------------------------------------------------
// Child and parent

// Makes generation after generation until killed.
int RunChild(Scenario* scenario, const char* path, const char* mappingName, const char* readyName, LONG first) {
  HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, mappingName);
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, readyName);
  g_callBegan = OpenEventA(EVENT_MODIFY_STATE, FALSE, CallEventName(readyName).c_str());
  if (!mapping || !ready || !g_callBegan) return 3;
  auto* progress = static_cast<KillProgress*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(KillProgress)));
  if (!progress) return 3;
  if (!scenario->Begin(path, first)) return 4;
  SetEvent(ready);
  for (LONG generation = first;; ++generation) {
    InterlockedExchange(&progress->started, generation);
    double begin = Seconds();
    if (!scenario->Advance(generation, progress)) {
      InterlockedExchange(&progress->failed, generation);
      return 5;
    }
    InterlockedExchange(&progress->lastGenerationMs, static_cast<LONG>((Seconds() - begin) * 1000));
    InterlockedExchange(&progress->finished, generation);
  }
}

std::string OwnPath() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
  return length && length < sizeof(path) ? std::string(path) : std::string();
}

// Files in folder other than the album and its backup.
int StrayFiles(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int stray = 0;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (_stricmp(found.cFileName, "album.abm") != 0 && _stricmp(found.cFileName, "album.abm.bak") != 0) ++stray;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return stray;
}

int RunParent(const std::string& mode, int kills, unsigned seed, int items) {
  std::unique_ptr<Scenario> scenario = MakeScenario(mode, items);
  char emulation[256];
  DescribeI386Emulation(emulation, sizeof(emulation));
  printf("kill during %s: %d kills, seed %u", scenario->Name(), kills, seed);
  if (mode != "--add") printf(", %d items", items);
  printf("%s%s\n", emulation[0] ? ", under " : "", emulation);
  fflush(stdout);

  char temp[MAX_PATH];
  if (!GetTempPathA(sizeof(temp), temp)) return 2;
  std::string folder = std::string(temp) + "albumkit-killsave-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string album = folder + "\\album.abm";
  std::string backup = album + ".bak";

  // Two generations before the first kill: the album and its backup both exist.
  LONG lastFinished = 2;
  const char* failure = !scenario->Prepare(folder)                                  ? "the pictures could not be made"
                        : !scenario->Write(album, 1) || !scenario->Write(album, 2) ? "the album could not be saved"
                        : scenario->Generation(album) != 2                         ? "the album does not read back"
                        : scenario->Generation(backup) != 1                        ? "the backup does not read back"
                                                                                   : nullptr;
  if (failure) {
    printf("the first two generations: %s\n", failure);
    RemoveFolder(folder);
    return 2;
  }

  std::string mappingName = "albumkit-killsave-progress-" + std::to_string(GetCurrentProcessId());
  std::string readyName = "albumkit-killsave-ready-" + std::to_string(GetCurrentProcessId());
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(KillProgress),
                                      mappingName.c_str());
  HANDLE ready = CreateEventA(nullptr, FALSE, FALSE, readyName.c_str());
  HANDLE callBegan = CreateEventA(nullptr, FALSE, FALSE, CallEventName(readyName).c_str());
  auto* progress = mapping ? static_cast<KillProgress*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
  if (!progress || !ready || !callBegan) return 2;

  std::mt19937 random(seed);
  std::string self = OwnPath();
  int intact = 0, backups = 0, inCall = 0, failedCalls = 0, done = 0;
  LONG longestGenerationMs = 0, longestCallMs = 0;
  double begin = Seconds();
  for (int kill = 1; kill <= kills; ++kill) {
    LONG first = lastFinished + 1;
    progress->started = 0;
    progress->finished = 0;
    progress->failed = 0;
    progress->inCall = 0;
    progress->calls = 0;
    std::string command = "\"" + self + "\" --child " + (mode.empty() ? "--save" : mode) + " \"" + album + "\" " +
                          mappingName + " " + readyName + " " + std::to_string(first) + " " + std::to_string(items);
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child = {};
    if (!CreateProcessA(self.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
      printf("cannot start the child (error %lu)\n", GetLastError());
      break;
    }
    HANDLE startWait[2] = {ready, child.hProcess};
    DWORD woke = WaitForMultipleObjects(2, startWait, FALSE, kStartLimitMs);
    if (woke != WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(child.hProcess, &code);
      printf("kill %d: the child ended (code %lu) or stalled before its first change\n", kill, code);
      TerminateProcess(child.hProcess, 1);
      WaitForSingleObject(child.hProcess, INFINITE);
      CloseHandle(child.hThread);
      CloseHandle(child.hProcess);
      break;
    }
    // The kill lands anywhere within the first, second or third call and a
    // little after it: the work between calls never touches the album.
    LONG aim = std::uniform_int_distribution<LONG>(1, 3)(random);
    LONG windowMs = longestCallMs > 0 ? longestCallMs + longestCallMs / 4 + 1 : 500;
    DWORD delay = std::uniform_int_distribution<DWORD>(0, static_cast<DWORD>(windowMs))(random);
    HANDLE callWait[2] = {callBegan, child.hProcess};
    while (progress->calls < aim && WaitForMultipleObjects(2, callWait, FALSE, kStartLimitMs) == WAIT_OBJECT_0) {
    }
    WaitForSingleObject(child.hProcess, delay);
    bool killedInCall = progress->inCall != 0;
    TerminateProcess(child.hProcess, 9);
    WaitForSingleObject(child.hProcess, INFINITE);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);

    LONG started = progress->started, finished = progress->finished;
    if (progress->lastGenerationMs > longestGenerationMs) longestGenerationMs = progress->lastGenerationMs;
    if (progress->lastCallMs > longestCallMs) longestCallMs = progress->lastCallMs;
    if (progress->failed) ++failedCalls;
    if (finished) lastFinished = finished;
    // The flag may have fallen between the look and the kill: counted only
    // when the generation was still unfinished after it.
    if (killedInCall && started && started != finished) ++inCall;

    LONG onDisk = scenario->Generation(album);
    bool albumOk = onDisk != 0 && (onDisk == lastFinished || (started && onDisk == started));
    LONG inBackup = scenario->Generation(backup);
    bool backupOk = inBackup != 0 && inBackup < (onDisk ? onDisk : lastFinished + 1);
    if (albumOk) ++intact;
    if (backupOk) ++backups;
    if (!albumOk || !backupOk)
      printf("kill %d after %lu ms: album holds generation %ld (last finished %ld, started %ld), backup %ld\n", kill,
             delay, onDisk, lastFinished, started, inBackup);
    if (albumOk) {
      // The next child goes on from whatever the album now holds.
      lastFinished = onDisk;
    } else {
      // Children go on from an album they can read: the damaged one is
      // replaced by the last finished generation, so that later kills still
      // count.
      DeleteFileA(album.c_str());
      scenario->Write(album, lastFinished);
    }
    ++done;
  }
  double seconds = Seconds() - begin;
  // The killed calls' temporary files must go with the next save, as a
  // user's next save after a crash would make it.
  bool nextDone = false;
  if (scenario->Begin(album, lastFinished + 1)) {
    progress->inCall = 0;
    nextDone = scenario->Advance(lastFinished + 1, progress) && scenario->Generation(album) == lastFinished + 1;
  }
  scenario->End();
  int stray = StrayFiles(folder);
  printf("%d kills, %d albums intact, %d backups loadable\n", done, intact, backups);
  printf("%d kills landed inside %s, %d failed, %s, %d stray files left beside the album, longest call %ld ms "
         "(generation %ld ms), %.1f s\n",
         inCall, scenario->Call(), failedCalls, nextDone ? "the next one succeeded" : "THE NEXT ONE FAILED", stray,
         longestCallMs, longestGenerationMs, seconds);
  UnmapViewOfFile(progress);
  CloseHandle(mapping);
  CloseHandle(ready);
  CloseHandle(callBegan);
  RemoveFolder(folder);
  return done == kills && intact == kills && backups == kills && failedCalls == 0 && nextDone && stray == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 8 && strcmp(argv[1], "--child") == 0) {
    std::unique_ptr<Scenario> scenario = MakeScenario(argv[2], atoi(argv[7]));
    return RunChild(scenario.get(), argv[3], argv[4], argv[5], atol(argv[6]));
  }
  std::string mode;
  int next = 1;
  if (argc > 1 && (strcmp(argv[1], "--add") == 0 || strcmp(argv[1], "--manager") == 0)) mode = argv[next++];
  int kills = argc > next ? atoi(argv[next]) : 200;
  unsigned seed = argc > next + 1 ? static_cast<unsigned>(strtoul(argv[next + 1], nullptr, 10)) : GetTickCount();
  int items = argc > next + 2 ? atoi(argv[next + 2]) : 300;
  if (kills <= 0 || items <= 0 || (mode == "--manager" && items < 2)) {
    printf("usage: kill_during_save.exe [--add | --manager] [kills] [seed] [items]\n");
    return 2;
  }
  return RunParent(mode, kills, seed, items);
}

