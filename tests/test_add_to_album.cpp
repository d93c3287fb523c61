// AddToAlbum as a host calls it: real pictures and album files in a
// temporary folder, the chooser and new-album dialogs answered by a hook of
// the test thread as they open, and a real manager dialog showing the album.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "../components/resources/resource.h"
#include "../manager/AlbumDialogs.h"
#include "../manager/AlbumMan.h"
#include "support/TestPictures.h"

namespace {

using testpics::FileFormat;

// Answers the dialogs of this thread right after their initialisation.
class DialogAnswers {
 public:
  std::function<void(HWND)> onChooser;
  std::function<void(HWND)> onNewAlbum;
  int choosers = 0;
  int newAlbums = 0;

  DialogAnswers() {
    current_ = this;
    hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, &DialogAnswers::Hook, nullptr, GetCurrentThreadId());
  }
  ~DialogAnswers() {
    UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  DialogAnswers(const DialogAnswers&) = delete;
  DialogAnswers& operator=(const DialogAnswers&) = delete;

  static void Click(HWND dialog, int control) { PostMessageA(GetDlgItem(dialog, control), BM_CLICK, 0, 0); }
  static void Pick(HWND chooser, const std::string& entry) {
    HWND list = GetDlgItem(chooser, IDC_CHOOSER_ALBUM_LIST);
    LRESULT index = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(entry.c_str()));
    SendMessageA(list, CB_SETCURSEL, index, 0);
    Click(chooser, index == CB_ERR ? IDCANCEL : IDOK);
  }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    const CWPRETSTRUCT* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    DialogAnswers* self = current_;
    if (code == HC_ACTION && self && sent->message == WM_INITDIALOG && !GetDlgItem(sent->hwnd, IDC_MAN_ALBUM_CTRL)) {
      if (GetDlgItem(sent->hwnd, IDC_NEW_ALBUM_NAME)) {
        ++self->newAlbums;
        if (self->onNewAlbum) self->onNewAlbum(sent->hwnd);
      } else if (GetDlgItem(sent->hwnd, IDC_CHOOSER_ALBUM_LIST)) {
        ++self->choosers;
        if (self->onChooser) self->onChooser(sent->hwnd);
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  inline static DialogAnswers* current_ = nullptr;
  HHOOK hook_ = nullptr;
};

std::vector<std::string> ListFiles(const std::string& folder, const char* pattern = "*") {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (strcmp(found.cFileName, ".") && strcmp(found.cFileName, "..")) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

std::vector<uint8_t> Bytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  testpics::ReadFileBytes(path, &bytes);
  return bytes;
}

// The album's items as the store has them: path and file size.
std::vector<std::pair<std::string, DWORD>> Items(const std::string& album) {
  std::vector<std::pair<std::string, DWORD>> items;
  CAlbumDoc2 document;
  if (!document.Load(album.c_str(), 0)) return items;
  for (int n = 1; n <= document.GetCount(); ++n) {
    tagALBUMINFOHEADER* info = document.GetThumbnail(n)->GetInfo();
    items.emplace_back(info->aiPath, info->aiFileSize);
  }
  return items;
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

class AddToAlbumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    ASSERT_TRUE(SetNewAlbumName(""));
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
      ASSERT_TRUE(testpics::WritePicture(folder_.File(name), FileFormat::Jpeg, testpics::MakePhotoPixels(48, 32, false)));
    }
    Album("Holiday", {"a.jpg"});
  }

  // An album file of real items made from pictures of the folder.
  void Album(const std::string& name, const std::vector<std::string>& pictures) {
    CAlbumDoc2 document;
    for (const std::string& picture : pictures) {
      CThumbnail2* item = CreateThumbnailFromFile(folder_.File(picture).c_str(), 40, 40, nullptr);
      ASSERT_NE(item, nullptr) << picture;
      document.Insert(item, nullptr);
    }
    document.SetDescription((name + " album").c_str());
    ASSERT_NE(document.Save(folder_.File(name + ".abm").c_str()), 0);
  }

  // Calls AddToAlbum over the pictures named; results are filled with 7 first
  // so that an entry left alone shows.
  int Add(const std::string& album, const std::vector<std::string>& pictures) {
    snprintf(buffer_, sizeof(buffer_), "%s", album.c_str());
    std::string block;
    for (const std::string& picture : pictures) block += folder_.File(picture) + '\0';
    char* list = block.data();
    results_.assign(pictures.size(), 7);
    int* results = results_.data();
    POINT size = {40, 40};
    return AddToAlbum(nullptr, buffer_, &list, static_cast<int>(pictures.size()), results, size);
  }

  std::string HolidayFile() const { return folder_.File("Holiday.abm"); }

  testpics::TempFolder folder_;
  char buffer_[MAX_PATH] = "";
  std::vector<int> results_;
};

TEST_F(AddToAlbumTest, FullPathAddsNewPicturesAndLeavesTheFolderInTheBuffer) {
  DialogAnswers answers;
  EXPECT_EQ(Add(HolidayFile(), {"b.jpg", "c.jpg"}), 0);
  EXPECT_EQ(results_, (std::vector<int>{1, 1}));
  EXPECT_STREQ(buffer_, folder_.path().c_str()) << "the folder, without trailing backslash";
  EXPECT_EQ(answers.choosers + answers.newAlbums, 0) << "a named album asks nothing";
  auto items = Items(HolidayFile());
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[1].first, folder_.File("b.jpg"));
  EXPECT_EQ(items[2].first, folder_.File("c.jpg"));

  // Upper-case extension is the same kind of file.
  Album("Upper", {});
  EXPECT_EQ(Add(folder_.File("Upper.ABM"), {"a.jpg"}), 0);
  EXPECT_EQ(Items(folder_.File("Upper.abm")).size(), 1u);
}

TEST_F(AddToAlbumTest, HeldPicturesAreRefreshedAndMissingOnesFail) {
  ASSERT_TRUE(testpics::WritePicture(folder_.File("a.jpg"), FileFormat::Jpeg, testpics::MakePhotoPixels(96, 64, false)));
  // A source counts as changed when it is newer than the item: an hour on.
  HANDLE source = CreateFileA(folder_.File("a.jpg").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(source, INVALID_HANDLE_VALUE);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULONGLONG later = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32 | now.dwLowDateTime) + 3600ULL * 10000000ULL;
  FILETIME newer = {static_cast<DWORD>(later), static_cast<DWORD>(later >> 32)};
  EXPECT_TRUE(SetFileTime(source, nullptr, nullptr, &newer));
  CloseHandle(source);
  DWORD newSize = static_cast<DWORD>(Bytes(folder_.File("a.jpg")).size());
  EXPECT_EQ(Add(HolidayFile(), {"a.jpg", "missing.jpg", "b.jpg"}), 1) << "one refreshed, one failed";
  EXPECT_EQ(results_, (std::vector<int>{1, 0, 1}));
  auto items = Items(HolidayFile());
  ASSERT_EQ(items.size(), 2u) << "the held picture is not added twice, the missing one not at all";
  EXPECT_EQ(items[0].second, newSize) << "the held item follows its changed source";

  EXPECT_EQ(Add(folder_.File("Nowhere.abm"), {"b.jpg"}), -1) << "an album that cannot be loaded";
  EXPECT_EQ(results_, (std::vector<int>{0}));
  EXPECT_TRUE(ListFiles(folder_.path(), "Nowhere*").empty());
}

TEST_F(AddToAlbumTest, AnAlbumThatCannotBeSavedReportsNothingAdded) {
  std::vector<uint8_t> before = Bytes(HolidayFile());
  ASSERT_TRUE(SetFileAttributesA(HolidayFile().c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(Add(HolidayFile(), {"a.jpg", "b.jpg"}), -1);
  SetFileAttributesA(HolidayFile().c_str(), FILE_ATTRIBUTE_NORMAL);
  // a.jpg was in the album before and still is; b.jpg never reached it.
  EXPECT_EQ(results_, (std::vector<int>{1, 0}));
  EXPECT_EQ(Bytes(HolidayFile()), before);
  EXPECT_EQ(ListFiles(folder_.path(), "Holiday*").size(), 1u) << "no temporary file stays beside the album";
}

TEST_F(AddToAlbumTest, FolderOpensTheChooserAndCancellingAddsNothing) {
  auto before = Bytes(HolidayFile());
  DialogAnswers answers;
  std::string title;
  answers.onChooser = [&](HWND chooser) {
    char text[256] = "";
    GetWindowTextA(chooser, text, sizeof(text));
    title = text;
    DialogAnswers::Click(chooser, IDCANCEL);
  };
  // A folder, a relative album path and another extension are all folders.
  SetCurrentDirectoryA(folder_.path().c_str());
  for (std::string album : {folder_.path(), std::string("Holiday.abm"), folder_.File("Holiday.txt")}) {
    EXPECT_EQ(Add(album, {"b.jpg", "c.jpg"}), 0) << album;
    EXPECT_EQ(results_, (std::vector<int>{0, 0})) << album << ": no result may claim an added file";
    EXPECT_EQ(std::string(buffer_), album) << "the buffer is left as given";
  }
  EXPECT_EQ(answers.choosers, 3);
  char expected[256] = "";
  LoadStringA(GetModuleHandleA("Morvex.dll"), IDS_TITLE_ADD_TO_ALBUM, expected, sizeof(expected));
  EXPECT_EQ(title, expected);
  EXPECT_EQ(Bytes(HolidayFile()), before);
}

TEST_F(AddToAlbumTest, ChosenAlbumTakesTheFiles) {
  Album("Autumn", {});
  DialogAnswers answers;
  answers.onChooser = [](HWND chooser) { DialogAnswers::Pick(chooser, "Autumn"); };
  EXPECT_EQ(Add(folder_.path(), {"b.jpg"}), 0);
  EXPECT_EQ(results_, (std::vector<int>{1}));
  EXPECT_EQ(Items(folder_.File("Autumn.abm")).size(), 1u);
  EXPECT_EQ(Items(HolidayFile()).size(), 1u);
}

TEST_F(AddToAlbumTest, NewAlbumEntryCreatesExactlyTheNamedFile) {
  char untitled[MAX_PATH] = "";
  LoadStringA(GetModuleHandleA("Morvex.dll"), IDS_UNTITLED_ALBUM, untitled, sizeof(untitled));
  ASSERT_NE(untitled[0], '\0');
  DialogAnswers answers;
  answers.onChooser = [&](HWND chooser) { DialogAnswers::Pick(chooser, untitled); };
  answers.onNewAlbum = [](HWND dialog) { DialogAnswers::Click(dialog, IDCANCEL); };
  EXPECT_EQ(Add(folder_.path(), {"b.jpg"}), -1) << "the new-album dialog cancelled";
  EXPECT_EQ(results_, (std::vector<int>{0}));
  EXPECT_EQ(ListFiles(folder_.path(), "*.abm"), std::vector<std::string>{"Holiday.abm"});

  // A proposal the dialog accepts on its own, with a dot in the name.
  ASSERT_TRUE(SetNewAlbumName("trip.2003"));
  EXPECT_EQ(Add(folder_.path(), {"b.jpg", "c.jpg"}), 0);
  EXPECT_EQ(results_, (std::vector<int>{1, 1}));
  EXPECT_EQ(ListFiles(folder_.path(), "trip*"), std::vector<std::string>{"trip.2003.abm"});
  EXPECT_EQ(Items(folder_.File("trip.2003.abm")).size(), 2u);

  // A name typed into the dialog.
  answers.onNewAlbum = [](HWND dialog) {
    SetDlgItemTextA(dialog, IDC_NEW_ALBUM_NAME, "Winter");
    DialogAnswers::Click(dialog, IDOK);
  };
  ASSERT_TRUE(SetNewAlbumName(""));
  EXPECT_EQ(Add(folder_.path(), {"a.jpg"}), 0);
  EXPECT_EQ(Items(folder_.File("Winter.abm")).size(), 1u);
  EXPECT_EQ(ListFiles(folder_.path(), "Winter*"), std::vector<std::string>{"Winter.abm"});
}

TEST_F(AddToAlbumTest, ManagerShowingTheAlbumTakesTheFilesAndTheFileStays) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "AddToAlbumTestHost";
  RegisterClassA(&wc);
  HWND host = CreateWindowExA(0, wc.lpszClassName, "host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                              wc.hInstance, nullptr);
  ASSERT_NE(host, nullptr);
  HWND dialog = OpenAlbumManagerEx(host, folder_.path().c_str(), 40, 40, 0);
  ASSERT_NE(dialog, nullptr);
  CAlbumMan* manager = reinterpret_cast<CAlbumMan*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  ASSERT_NE(manager, nullptr);
  HWND list = GetDlgItem(dialog, IDC_MAN_ALBUM_LIST);
  SendMessageA(list, CB_SETCURSEL,
               SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Holiday")), 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_MAN_ALBUM_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  ASSERT_EQ(manager->GetAlbum()->GetDocument()->GetCount(), 1);

  auto before = Bytes(HolidayFile());
  EXPECT_EQ(Add(HolidayFile(), {"b.jpg", "missing.jpg"}), 1);
  EXPECT_EQ(results_, (std::vector<int>{1, 0}));
  EXPECT_EQ(manager->GetAlbum()->GetDocument()->GetCount(), 2) << "the window holds the new item";
  EXPECT_EQ(Bytes(HolidayFile()), before) << "the file is the manager's to save";

  manager->m_bModified = 0;
  DestroyWindow(dialog);
  DestroyWindow(host);
}

TEST_F(AddToAlbumTest, UnusableArgumentsAreRefused) {
  char* list = nullptr;
  int* results = nullptr;
  POINT size = {40, 40};
  EXPECT_EQ(AddToAlbum(nullptr, nullptr, &list, 0, results, size), -1);
  EXPECT_EQ(AddToAlbum(nullptr, buffer_, nullptr, 1, results, size), -1);
  // A buffer without a terminating zero within MAX_PATH bytes.
  std::vector<char> unterminated(MAX_PATH + 8, 'x');
  std::string file = folder_.File("b.jpg");
  list = file.data();
  int one = 7;
  results = &one;
  EXPECT_EQ(AddToAlbum(nullptr, unterminated.data(), &list, 1, results, size), -1);
  EXPECT_EQ(one, 0);
}

}  // namespace
