// The search dialog as a person meets it: a real dialog from the resource
// module over real albums and picture folders, driven by the messages its
// controls send, message boxes and the new-album dialog answered by a CBT
// hook of the test thread, the clock and the stop query installed by the
// test.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "../components/resources/resource.h"
#include "../host/WindowShot.h"
#include "../manager/AlbumDialogs.h"
#include "../manager/Module.h"
#include "../platform/qil.h"
#include "../search/AlbumSearchDlg.h"
#include "support/TestPictures.h"

namespace {

using testpics::FileFormat;

// ---------------------------------------------------------------------------
// Boxes and dialogs answered as they come to the front

std::deque<int> g_answers;        // button for each box in turn; IDCANCEL when empty
std::vector<std::string> g_boxes;  // text of every message box shown
std::string g_newAlbumName;        // typed into the new-album dialog; empty: Cancel
std::set<HWND> g_answered;

bool g_closeSearches = false;      // search dialogs are closed as they come up
int g_searchesClosed = 0;
std::string g_browseTo;            // chosen in the folder browser; empty: Cancel
int g_browsers = 0;                // folder browsers shown

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    char name[32] = "";
    GetClassNameA(box, name, sizeof(name));
    if (g_closeSearches && GetDlgItem(box, IDC_SEARCH_RESULTS) && !g_answered.count(box)) {
      g_answered.insert(box);
      ++g_searchesClosed;
      PostMessageA(box, WM_CLOSE, 0, 0);
    }
    if (strcmp(name, "#32770") == 0 && !GetDlgItem(box, IDC_SEARCH_RESULTS) && !g_answered.count(box)) {
      g_answered.insert(box);
      if (FindWindowExA(box, nullptr, "SysTreeView32", nullptr)) {
        // The shell's folder browser: its own message selects a folder.
        ++g_browsers;
        if (!g_browseTo.empty()) {
          PostMessageA(box, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(g_browseTo.c_str()));
        }
        PostMessageA(box, WM_COMMAND, g_browseTo.empty() ? IDCANCEL : IDOK, 0);
      } else if (GetDlgItem(box, IDC_NEW_ALBUM_NAME)) {
        SetDlgItemTextA(box, IDC_NEW_ALBUM_NAME, g_newAlbumName.c_str());
        PostMessageA(box, WM_COMMAND, g_newAlbumName.empty() ? IDCANCEL : IDOK, 0);
      } else if (GetDlgItem(box, IDC_REMOVE_KEEP_FILES)) {
        PostMessageA(box, WM_COMMAND, IDOK, 0);
      } else {
        char text[512] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
        if (!text[0]) GetWindowTextA(box, text, sizeof(text));
        g_boxes.push_back(text);
        int answer = IDCANCEL;
        if (!g_answers.empty()) {
          answer = g_answers.front();
          g_answers.pop_front();
        }
        PostMessageA(box, WM_COMMAND, answer, 0);
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Paths the run announces, in order, and the tables of found items it sent.
// Once g_escapeAfterExamined paths were announced, the user presses Escape.
std::vector<std::string> g_examined;
int g_foundTables = 0;
int g_escapeAfterExamined = -1;
LRESULT CALLBACK RecordProgress(int code, WPARAM wParam, LPARAM lParam) {
  const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == SDM_PROGRESS && sent->wParam == SEARCH_PROGRESS_EXAMINING) {
    g_examined.push_back(reinterpret_cast<const char*>(sent->lParam));
    if (static_cast<int>(g_examined.size()) == g_escapeAfterExamined) {
      PostMessageA(sent->hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
      g_escapeAfterExamined = -1;
    }
  }
  if (code == HC_ACTION && sent->message == SDM_PROGRESS && sent->wParam == SEARCH_PROGRESS_FOUND) ++g_foundTables;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Once g_stopAfterExamined paths were announced, the stop query answers 1
// after g_queriesBeforeStop more questions (-1: never stop).
// Or, once g_stopAfterFound tables of found items were sent, the next
// question stops.
int g_stopAfterExamined = -1;
int g_stopAfterFound = -1;
int g_queriesBeforeStop = 0;
int StopAfterQueries() {
  if (g_stopAfterFound >= 0 && g_foundTables >= g_stopAfterFound) {
    g_stopAfterFound = -1;
    return 1;
  }
  if (g_stopAfterExamined < 0 || static_cast<int>(g_examined.size()) < g_stopAfterExamined) return 0;
  if (g_queriesBeforeStop-- > 0) return 0;
  g_stopAfterExamined = -1;
  return 1;
}

time_t g_now = 0;
time_t FixedClock() { return g_now; }

time_t LocalTime(int year, int month, int day, int hour = 12) {
  struct tm date = {};
  date.tm_year = year - 1900;
  date.tm_mon = month - 1;
  date.tm_mday = day;
  date.tm_hour = hour;
  date.tm_isdst = -1;
  return mktime(&date);
}

std::string Text(HWND dialog, int control) {
  char text[512] = "";
  GetDlgItemTextA(dialog, control, text, sizeof(text));
  return text;
}

std::string Resource(UINT id) {
  char text[512] = "";
  LoadStringA(GetResourceModule(), id, text, sizeof(text));
  return text;
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

class SearchDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    WNDCLASSA wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "SearchTestOwner";
    RegisterClassA(&wc);
    owner_ = CreateWindowExA(0, wc.lpszClassName, "owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                             wc.hInstance, nullptr);
    g_answers.clear();
    g_boxes.clear();
    g_answered.clear();
    g_examined.clear();
    g_newAlbumName.clear();
    g_stopAfterExamined = g_stopAfterFound = g_escapeAfterExamined = -1;
    g_foundTables = 0;
    previousStop_ = SetAbortFunc(StopAfterQueries);
    cbt_ = SetWindowsHookExA(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());
    progress_ = SetWindowsHookExA(WH_CALLWNDPROC, RecordProgress, nullptr, GetCurrentThreadId());
    g_now = LocalTime(2003, 5, 10);
    SetSearchClock(FixedClock);
    SetSearchStopInterval(0);
    SetNewAlbumName("");
    WritePrivateProfileStringA("SEARCHFOLDER", nullptr, nullptr, "ALBUM.INI");
    CreateDirectoryA(Albums().c_str(), nullptr);
  }

  void TearDown() override {
    if (dialog_ && IsWindow(dialog_)) {
      if (CAlbumSearchDlg* search = Search()) search->m_bUnsaved = 0;
      DestroyWindow(dialog_);
    }
    UnhookWindowsHookEx(cbt_);
    UnhookWindowsHookEx(progress_);
    SetAbortFunc(previousStop_);
    SetSearchClock(nullptr);
    SetSearchStopInterval(20);
    WritePrivateProfileStringA("SEARCHFOLDER", nullptr, nullptr, "ALBUM.INI");
    DestroyWindow(owner_);
  }

  std::string Albums() const { return folder_.File("albums"); }

  // The dialog, shown and modeless so that the test drives it.
  HWND Open() {
    auto* search = new CAlbumSearchDlg;
    snprintf(search->m_szAlbumFolder, sizeof(search->m_szAlbumFolder), "%s", Albums().c_str());
    search->m_nThumbWidth = search->m_nThumbHeight = 64;
    search->m_hOwner = owner_;
    dialog_ = CreateDialogParamA(GetResourceModule(), MAKEINTRESOURCEA(IDD_SEARCH), owner_, AlbumSearchDlgProc,
                                 reinterpret_cast<LPARAM>(search));
    if (dialog_) ShowWindow(dialog_, SW_SHOW);
    return dialog_;
  }
  CAlbumSearchDlg* Search() const {
    return reinterpret_cast<CAlbumSearchDlg*>(GetWindowLongPtrA(dialog_, GWLP_USERDATA));
  }
  void Command(int control, int notification = BN_CLICKED) {
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(control, notification), reinterpret_cast<LPARAM>(GetDlgItem(dialog_, control)));
  }
  void Click(int control) {
    CheckDlgButton(dialog_, control, IsDlgButtonChecked(dialog_, control) ? BST_UNCHECKED : BST_CHECKED);
    Command(control);
  }
  // A date option, as the group of option buttons leaves it after a click.
  void Choose(int option) {
    CheckRadioButton(dialog_, IDC_SEARCH_BETWEEN, IDC_SEARCH_LAST_DAYS, option);
    Command(option);
  }
  void SetText(int control, const char* text) { SetDlgItemTextA(dialog_, control, text); }
  int ResultCount() const { return Search()->GetResultView()->GetDocument()->GetCount(); }
  std::set<std::string> ResultPaths() const {
    std::set<std::string> paths;
    CThumbTable2* results = Search()->GetResultView()->GetDocument();
    for (int i = 1; i <= results->GetCount(); ++i) paths.insert(results->GetThumbnail(i)->GetInfo()->aiPath);
    return paths;
  }

  // A folder search over the folder given, nothing else.
  void SearchFolder(const std::string& folder, bool subfolders) {
    Click(IDC_SEARCH_IN_ALBUMS);
    Click(IDC_SEARCH_IN_FOLDER);
    SetText(IDC_SEARCH_FOLDER, folder.c_str());
    if (subfolders) Click(IDC_SEARCH_SUBFOLDERS);
  }

  void Picture(const std::string& path) {
    ASSERT_TRUE(testpics::WritePicture(path, FileFormat::Jpeg, testpics::MakePhotoPixels(24, 16, false))) << path;
  }

  void Album(const std::string& name, int items) {
    CAlbumDoc2 document;
    for (int i = 0; i < items; ++i) {
      std::string picture = folder_.File(name + std::to_string(i) + ".jpg");
      Picture(picture);
      document.Insert(CreateThumbnailFromFile(picture.c_str(), 32, 32, nullptr), nullptr);
    }
    ASSERT_NE(document.Save((Albums() + "\\" + name + ".abm").c_str()), 0);
  }

  testpics::TempFolder folder_;
  HWND owner_ = nullptr;
  HWND dialog_ = nullptr;
  HHOOK cbt_ = nullptr;
  HHOOK progress_ = nullptr;
  QILABORTFUNC previousStop_ = nullptr;
};

TEST_F(SearchDialogTest, OpensOnTheFirstPageWithDatesFromTheClock) {
  g_now = LocalTime(2003, 1, 15);
  Album("Holiday", 1);
  ASSERT_NE(Open(), nullptr);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog_, IDC_SEARCH_NAME)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog_, IDC_SEARCH_FROM_DATE)));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_SEARCH_IN_ALBUMS), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_SEARCH_ANY_DATE), BST_CHECKED);
  EXPECT_EQ(Text(dialog_, IDC_SEARCH_ALBUM), Resource(IDS_ALL_ALBUMS));
  EXPECT_EQ(SendDlgItemMessageA(dialog_, IDC_SEARCH_ALBUM, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(Text(dialog_, IDC_SEARCH_TO_DATE), "1/15/2003");
  EXPECT_EQ(Text(dialog_, IDC_SEARCH_FROM_DATE), "12/15/2002");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog_, IDC_SEARCH_SAVE_AS_ALBUM)));
  DestroyWindow(dialog_);

  g_now = LocalTime(2003, 3, 31);
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(Text(dialog_, IDC_SEARCH_FROM_DATE), "2/28/2003") << "a day February lacks becomes its last";

  // Typed characters: only digits, "-", space and backspace reach the edit.
  HWND edit = GetDlgItem(dialog_, IDC_SEARCH_FROM_DATE);
  SetWindowTextA(edit, "");
  for (char c : std::string("a/5.-x 1")) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
  EXPECT_EQ(Text(dialog_, IDC_SEARCH_FROM_DATE), "5- 1");
}

TEST_F(SearchDialogTest, CriteriaRefusalsAndTheMonthsRange) {
  ASSERT_NE(Open(), nullptr);
  CAlbumSearchDlg* search = Search();
  Choose(IDC_SEARCH_BETWEEN);
  for (const char* bad : {"2/29/2100", "13/1/2002"}) {
    SetText(IDC_SEARCH_FROM_DATE, bad);
    g_boxes.clear();
    EXPECT_EQ(search->BuildCriteria(), 0) << bad;
    ASSERT_EQ(g_boxes.size(), 1u) << bad;
    EXPECT_EQ(g_boxes[0], Resource(IDS_INVALID_DATE_RANGE));
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog_, IDC_SEARCH_FROM_DATE));
  }
  SetText(IDC_SEARCH_FROM_DATE, "2/29/2004");
  SetText(IDC_SEARCH_TO_DATE, "3/1/2004");
  EXPECT_EQ(search->BuildCriteria(), 1);
  EXPECT_EQ(search->m_Criteria.tmFrom.tm_year, 104);

  Choose(IDC_SEARCH_LAST_MONTHS);
  SetText(IDC_SEARCH_MONTHS, "14");
  ASSERT_EQ(search->BuildCriteria(), 1);
  EXPECT_EQ(search->m_Criteria.tmFrom.tm_year, 102);
  EXPECT_EQ(search->m_Criteria.tmFrom.tm_mon, 2);
  EXPECT_EQ(search->m_Criteria.tmFrom.tm_mday, 10);
  EXPECT_EQ(search->m_Criteria.tmTo.tm_mon, 4);

  SendDlgItemMessageA(dialog_, IDC_SEARCH_SIZE_BOUND, CB_SETCURSEL, 1, 0);
  SetText(IDC_SEARCH_SIZE_KB, "");
  ASSERT_EQ(search->BuildCriteria(), 1);
  EXPECT_EQ(search->m_Criteria.nSizeBound, 0) << "an empty size is no size test";
  SetText(IDC_SEARCH_SIZE_KB, "2097152");
  g_boxes.clear();
  EXPECT_EQ(search->BuildCriteria(), 0);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0], Resource(IDS_INVALID_SIZE));
  EXPECT_EQ(GetFocus(), GetDlgItem(dialog_, IDC_SEARCH_SIZE_KB));

  // Enter and Escape do not close the dialog.
  SendMessageA(dialog_, WM_COMMAND, IDOK, 0);
  SendMessageA(dialog_, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(IsWindowVisible(dialog_));
}

TEST_F(SearchDialogTest, FolderSearchStopsAndContinuesWithEveryFileOnce) {
  std::string tree = folder_.File("tree");
  CreateDirectoryA(tree.c_str(), nullptr);
  CreateDirectoryA((tree + "\\sub").c_str(), nullptr);
  std::vector<std::string> all;
  for (int i = 0; i < 4; ++i) all.push_back(tree + "\\p" + std::to_string(i) + ".jpg");
  for (int i = 0; i < 3; ++i) all.push_back(tree + "\\sub\\q" + std::to_string(i) + ".jpg");
  for (const std::string& path : all) Picture(path);
  ASSERT_NE(Open(), nullptr);
  SearchFolder(tree, true);

  // The stop comes before the sixth file.
  g_stopAfterFound = 5;
  Command(IDC_SEARCH_FIND);
  EXPECT_EQ(g_examined.size(), 5u);
  EXPECT_EQ(Search()->m_nState, SEARCH_STATE_STOPPED);
  EXPECT_EQ(Text(dialog_, IDC_SEARCH_FIND), Resource(IDS_BUTTON_CONTINUE));
  EXPECT_EQ(ResultCount(), 5);

  Command(IDC_SEARCH_FIND);
  std::vector<std::string> examined = g_examined, expected = all;
  std::sort(examined.begin(), examined.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(examined, expected) << "no file examined twice, none skipped";
  EXPECT_EQ(ResultCount(), 7);
  EXPECT_EQ(Search()->m_nState, SEARCH_STATE_FINISHED);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog_, IDC_SEARCH_SAVE_AS_ALBUM)));

  // A stop while the sixth picture is read: that file is found on Continue.
  SetText(IDC_SEARCH_NAME, "");
  g_examined.clear();
  g_stopAfterExamined = 6;
  g_queriesBeforeStop = 0;
  Command(IDC_SEARCH_FIND);
  EXPECT_EQ(ResultCount(), 5);
  Command(IDC_SEARCH_FIND);
  EXPECT_EQ(ResultCount(), 7) << "nothing lost to a stop inside a picture";

  // A changed criterion makes the next Find a new search over emptied results.
  SetText(IDC_SEARCH_NAME, "q");
  EXPECT_EQ(Search()->m_nState, SEARCH_STATE_NEW);
  Command(IDC_SEARCH_FIND);
  EXPECT_EQ(ResultCount(), 3);

  if (const char* shots = getenv("ALBUMKIT_SEARCH_SHOTS")) {
    RECT client;
    GetClientRect(dialog_, &client);
    SendMessageA(dialog_, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    RedrawWindow(dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SaveWindowShot(dialog_, std::string(shots) + "\\search-dialog.bmp");
  }
}

TEST_F(SearchDialogTest, EscapeStopsAFolderRunAndContinueExaminesEveryFileOnce) {
  std::string tree = folder_.File("keys");
  std::vector<std::string> all;
  for (const std::string& folder : {tree, tree + "\\one", tree + "\\two"}) {
    CreateDirectoryA(folder.c_str(), nullptr);
    for (int i = 0; i < 4; ++i) {
      all.push_back(folder + "\\p" + std::to_string(i) + ".jpg");
      HANDLE file = CreateFileA(all.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE);
      CloseHandle(file);
    }
  }
  ASSERT_NE(Open(), nullptr);
  SearchFolder(tree, true);
  SetText(IDC_SEARCH_NAME, "nothing");

  g_escapeAfterExamined = 6;
  Command(IDC_SEARCH_FIND);
  EXPECT_EQ(Search()->m_nState, SEARCH_STATE_STOPPED);
  EXPECT_EQ(g_examined.size(), 6u) << "Escape is seen before the next file";
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE)) << "the press stops one run only";

  Command(IDC_SEARCH_FIND);
  EXPECT_EQ(Search()->m_nState, SEARCH_STATE_FINISHED);
  std::vector<std::string> examined = g_examined, expected = all;
  std::sort(examined.begin(), examined.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(examined, expected) << "no file examined twice, none skipped";
}

TEST_F(SearchDialogTest, FolderSearchTestsTheDatesAndSizesOfTheFilesItLists) {
  std::string folder = folder_.File("dated");
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string early = folder + "\\early.jpg", late = folder + "\\late.jpg", large = folder + "\\large.jpg";
  Picture(early);
  Picture(late);
  ASSERT_TRUE(testpics::WritePicture(large, FileFormat::Jpeg, testpics::MakePhotoPixels(320, 240, false)));
  auto touch = [](const std::string& path, time_t when) {
    ULONGLONG ticks = (static_cast<ULONGLONG>(when) + 11644473600ULL) * 10000000ULL;
    FILETIME time = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
  };
  touch(early, LocalTime(2002, 3, 10));
  touch(large, LocalTime(2002, 3, 14, 23));
  touch(late, LocalTime(2002, 3, 15, 0) + 1);
  WIN32_FILE_ATTRIBUTE_DATA largeStatus, lateStatus;
  ASSERT_TRUE(GetFileAttributesExA(large.c_str(), GetFileExInfoStandard, &largeStatus));
  ASSERT_TRUE(GetFileAttributesExA(late.c_str(), GetFileExInfoStandard, &lateStatus));
  ASSERT_GT(largeStatus.nFileSizeLow / 1024, lateStatus.nFileSizeLow / 1024 + 1) << "the large picture is larger";

  ASSERT_NE(Open(), nullptr);
  SearchFolder(folder, false);
  Choose(IDC_SEARCH_BETWEEN);
  SetText(IDC_SEARCH_FROM_DATE, "3/10/2002");
  SetText(IDC_SEARCH_TO_DATE, "3/15/2002");
  Command(IDC_SEARCH_FIND);
  EXPECT_EQ(ResultPaths(), (std::set<std::string>{early, large})) << "from the first moment to the last day's midnight";

  CheckRadioButton(dialog_, IDC_SEARCH_ANY_DATE, IDC_SEARCH_BY_DATE, IDC_SEARCH_ANY_DATE);
  Command(IDC_SEARCH_ANY_DATE);
  std::string kb = std::to_string(largeStatus.nFileSizeLow / 1024);
  SendDlgItemMessageA(dialog_, IDC_SEARCH_SIZE_BOUND, CB_SETCURSEL, 1, 0);
  SetText(IDC_SEARCH_SIZE_KB, kb.c_str());
  ASSERT_EQ(Search()->m_nState, SEARCH_STATE_NEW);
  Command(IDC_SEARCH_FIND);
  EXPECT_EQ(ResultPaths(), (std::set<std::string>{large})) << "at least " << kb << " KB";

  SendDlgItemMessageA(dialog_, IDC_SEARCH_SIZE_BOUND, CB_SETCURSEL, 2, 0);
  SetText(IDC_SEARCH_SIZE_KB, "");
  SetText(IDC_SEARCH_SIZE_KB, kb.c_str());
  Command(IDC_SEARCH_FIND);
  EXPECT_EQ(ResultPaths(), (std::set<std::string>{early, late})) << "at most " << kb << " KB";
}

TEST_F(SearchDialogTest, AlbumSearchStoppedInsideAnAlbumLosesNothing) {
  Album("First", 3);
  Album("Second", 4);
  ASSERT_NE(Open(), nullptr);
  // The stop comes before the third item of the second album.
  g_stopAfterExamined = 2;
  g_queriesBeforeStop = 2;
  Command(IDC_SEARCH_FIND);
  EXPECT_EQ(Search()->m_nState, SEARCH_STATE_STOPPED);
  EXPECT_EQ(ResultCount(), 3);
  Command(IDC_SEARCH_FIND);
  EXPECT_EQ(ResultCount(), 7) << "every item of both albums, each once";
  EXPECT_EQ(Search()->m_nState, SEARCH_STATE_FINISHED);
}

TEST_F(SearchDialogTest, UnsavedResultsAreAskedAboutAndKeptUntilSaved) {
  std::string pictures = folder_.File("pictures");
  CreateDirectoryA(pictures.c_str(), nullptr);
  Picture(pictures + "\\a.jpg");
  ASSERT_NE(Open(), nullptr);
  CAlbumSearchDlg* search = Search();
  // No albums in the album folder: the run ends over an empty album list.
  SearchFolder(pictures, false);
  Command(IDC_SEARCH_FIND);
  ASSERT_EQ(ResultCount(), 1);
  EXPECT_EQ(search->m_bUnsaved, 1) << "the results are still unsaved";

  g_answers = {IDYES};
  EXPECT_EQ(search->OnClose(), -1) << "the save was cancelled: the dialog stays";
  ASSERT_EQ(g_boxes.size(), 1u) << g_boxes.front();
  EXPECT_EQ(g_boxes[0], Resource(IDS_ASK_SAVE_RESULTS));
  EXPECT_EQ(search->m_hDlg, dialog_);

  g_answers = {IDNO};
  EXPECT_EQ(search->OnClose(), 1);
  char count[16] = "";
  GetPrivateProfileStringA("SEARCHFOLDER", "ITEMNUM", "", count, sizeof(count), "ALBUM.INI");
  EXPECT_STREQ(count, "") << "No writes no folder history";
  search->m_hDlg = dialog_;

  g_answers = {IDYES};
  g_newAlbumName = "Found";
  EXPECT_EQ(search->OnClose(), 0);
  EXPECT_EQ(testpics::FolderEntries(Albums()), std::vector<std::string>{"Found.abm"});
  GetPrivateProfileStringA("SEARCHFOLDER", "ITEMNUM", "", count, sizeof(count), "ALBUM.INI");
  EXPECT_STREQ(count, "1");
  search->m_hDlg = dialog_;
  g_boxes.clear();
  EXPECT_EQ(search->OnClose(), 1) << "saved results close without a question";
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(SearchDialogTest, FolderHistoryKeepsTwentyFiveAndTrustsNoCount) {
  WritePrivateProfileStringA("SEARCHFOLDER", "ITEMNUM", "99999999", "ALBUM.INI");
  for (int i = 0; i < 30; ++i) {
    WritePrivateProfileStringA("SEARCHFOLDER", std::to_string(i).c_str(), ("C:\\f" + std::to_string(i)).c_str(),
                               "ALBUM.INI");
  }
  ASSERT_NE(Open(), nullptr);
  HWND list = GetDlgItem(dialog_, IDC_SEARCH_FOLDER);
  EXPECT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), SEARCH_FOLDER_HISTORY_LIMIT);
  for (int i = 30; i < 33; ++i) Search()->AddFolderToHistory(("C:\\g" + std::to_string(i)).c_str());
  Search()->SaveFolderHistory();
  char text[MAX_PATH] = "";
  GetPrivateProfileStringA("SEARCHFOLDER", "ITEMNUM", "", text, sizeof(text), "ALBUM.INI");
  EXPECT_STREQ(text, "25");
  GetPrivateProfileStringA("SEARCHFOLDER", "25", "gone", text, sizeof(text), "ALBUM.INI");
  EXPECT_STREQ(text, "gone");
  GetPrivateProfileStringA("SEARCHFOLDER", "0", "", text, sizeof(text), "ALBUM.INI");
  EXPECT_STREQ(text, "C:\\g32") << "the newest folder comes first";
}

TEST_F(SearchDialogTest, OpenSearchDlgRunsModallyUntilTheCloseBox) {
  EXPECT_EQ(OpenSearchDlg(nullptr, Albums().c_str(), 64, 64), 0) << "no owner";
  g_searchesClosed = 0;
  g_closeSearches = true;
  EXPECT_EQ(OpenSearchDlg(owner_, Albums().c_str(), 64, 64), 1);
  g_closeSearches = false;
  EXPECT_EQ(g_searchesClosed, 1);
  EXPECT_EQ(GetSearchOpen(), 0) << "the search-open mark goes with the dialog";
}

TEST_F(SearchDialogTest, ResultEditingKeepsDescriptionsWhereTheyWereTyped) {
  std::string pictures = folder_.File("pictures");
  CreateDirectoryA(pictures.c_str(), nullptr);
  for (const char* name : {"\\a.jpg", "\\b.jpg"}) Picture(pictures + name);
  ASSERT_NE(Open(), nullptr);
  SearchFolder(pictures, false);
  Command(IDC_SEARCH_FIND);
  ASSERT_EQ(ResultCount(), 2);
  CAlbum* results = Search()->GetResultView();
  CThumbnail2* first = results->GetDocument()->GetThumbnail(1);

  SetText(IDC_SEARCH_DESCRIPTION, "Found at home");
  SendMessageA(dialog_, AVM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(first));
  EXPECT_STREQ(results->GetDocument()->GetDescription(), "Found at home");
  SetText(IDC_SEARCH_DESCRIPTION, "The garden");
  ASSERT_EQ(results->SetCurrentFocus(1), 1);
  std::string cutPath = first->GetInfo()->aiPath;
  Command(IDM_CUT);
  EXPECT_EQ(ResultCount(), 1);
  EXPECT_STREQ(results->GetDocument()->GetDescription(), "Found at home") << "the album keeps its own description";
  Command(IDM_PASTE);
  ASSERT_EQ(ResultCount(), 2);
  CThumbnail2* pasted = results->GetDocument()->FindFileInDoc(cutPath.c_str());
  ASSERT_NE(pasted, nullptr);
  EXPECT_STREQ(pasted->GetInfo()->aiDescription, "The garden") << "the item cut took what was typed for it";
}

}  // namespace

namespace {

// Menu states of the result view's context menu, read while it is open;
// the menu is closed as soon as it waits for the user.
std::vector<UINT> g_menuStates;
LRESULT CALLBACK ReadContextMenu(int code, WPARAM wParam, LPARAM lParam) {
  const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == WM_INITMENUPOPUP) {
    HMENU menu = reinterpret_cast<HMENU>(sent->wParam);
    g_menuStates.clear();
    for (UINT command : {IDM_CUT, IDM_COPY, IDM_PASTE, IDM_DELETE_ITEMS}) {
      g_menuStates.push_back(GetMenuState(menu, command, MF_BYCOMMAND) & MF_GRAYED);
    }
  }
  if (code == HC_ACTION && sent->message == WM_ENTERIDLE && sent->wParam == MSGF_MENU) EndMenu();
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK CollectWindow(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

TEST_F(SearchDialogTest, ResizingKeepsWholeResultCells) {
  Album("Holiday", 2);
  ASSERT_NE(Open(), nullptr);
  RECT collapsed;
  GetWindowRect(dialog_, &collapsed);
  const int baseWidth = collapsed.right - collapsed.left, collapsedHeight = collapsed.bottom - collapsed.top;

  // Before any result only the width changes, by whole columns of 88 pixels.
  RECT proposed = {collapsed.left, collapsed.top, collapsed.left + baseWidth + 200, collapsed.top + 600};
  SendMessageA(dialog_, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&proposed));
  EXPECT_EQ(proposed.right - proposed.left, baseWidth + 2 * 88);
  EXPECT_EQ(proposed.bottom - proposed.top, collapsedHeight);
  proposed = {collapsed.left - 100, collapsed.top, collapsed.right, collapsed.bottom};
  SendMessageA(dialog_, WM_SIZING, WMSZ_LEFT, reinterpret_cast<LPARAM>(&proposed));
  EXPECT_EQ(proposed.right, collapsed.right) << "the dragged left side moves, the right stays";
  EXPECT_EQ(proposed.left, collapsed.right - baseWidth - 88);
  proposed = {collapsed.left, collapsed.top, collapsed.left + 100, collapsed.bottom};
  SendMessageA(dialog_, WM_SIZING, WMSZ_RIGHT, reinterpret_cast<LPARAM>(&proposed));
  EXPECT_EQ(proposed.right - proposed.left, baseWidth) << "never narrower than the criteria";

  // With results, rows of 107 pixels too; the result view follows the size.
  Command(IDC_SEARCH_FIND);
  ASSERT_EQ(ResultCount(), 2);
  RECT expanded;
  GetWindowRect(dialog_, &expanded);
  const int expandedHeight = expanded.bottom - expanded.top;
  EXPECT_GT(expandedHeight, collapsedHeight);
  proposed = {expanded.left, expanded.top, expanded.left + baseWidth + 90, expanded.top + expandedHeight + 250};
  SendMessageA(dialog_, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&proposed));
  EXPECT_EQ(proposed.right - proposed.left, baseWidth + 88 + 6);
  EXPECT_EQ(proposed.bottom - proposed.top, expandedHeight + 2 * 107 + 6);
  proposed = {expanded.left, expanded.bottom - expandedHeight - 250, expanded.right, expanded.bottom};
  SendMessageA(dialog_, WM_SIZING, WMSZ_TOP, reinterpret_cast<LPARAM>(&proposed));
  EXPECT_EQ(proposed.bottom, expanded.bottom);
  EXPECT_EQ(proposed.top, expanded.bottom - expandedHeight - 2 * 107 - 6);

  RECT before;
  GetWindowRect(GetDlgItem(dialog_, IDC_SEARCH_RESULTS), &before);
  SetWindowPos(dialog_, nullptr, 0, 0, baseWidth + 88 + 6, expandedHeight + 107 + 6, SWP_NOMOVE | SWP_NOZORDER);
  RECT after, find, client;
  GetWindowRect(GetDlgItem(dialog_, IDC_SEARCH_RESULTS), &after);
  EXPECT_EQ(after.right - after.left, before.right - before.left + 88) << "one more column";
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top + 107) << "one more row";
  GetClientRect(dialog_, &client);
  GetWindowRect(GetDlgItem(dialog_, IDC_SEARCH_FIND), &find);
  MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&find), 2);
  EXPECT_EQ(find.left, client.right - 140) << "the buttons keep to the right side";

  // A dialog partly off the screen keeps its size.
  SetWindowPos(dialog_, nullptr, -30, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RECT off;
  GetWindowRect(dialog_, &off);
  proposed = {off.left, off.top, off.right + 300, off.bottom + 300};
  SendMessageA(dialog_, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&proposed));
  EXPECT_TRUE(EqualRect(&proposed, &off));
}

TEST_F(SearchDialogTest, BrowseAddsTheChosenFolderAndMakesANewSearch) {
  // The browser shows no hidden folders, and the temporary folder lies
  // inside one: the folder to choose is made where the browser reaches it.
  std::string tree = folder_.File("tree"), other = "C:\\albumkit-browse-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(tree.c_str(), nullptr);
  CreateDirectoryA(other.c_str(), nullptr);
  struct Remove {
    std::string folder;
    ~Remove() {
      DeleteFileA((folder + "\\q.jpg").c_str());
      RemoveDirectoryA(folder.c_str());
    }
  } remove{other};
  for (int i = 0; i < 3; ++i) Picture(tree + "\\p" + std::to_string(i) + ".jpg");
  Picture(other + "\\q.jpg");
  ASSERT_NE(Open(), nullptr);
  SearchFolder(tree, false);
  g_stopAfterFound = 1;
  Command(IDC_SEARCH_FIND);
  ASSERT_EQ(Search()->m_nState, SEARCH_STATE_STOPPED);

  g_browseTo.clear();
  g_browsers = 0;
  Command(IDC_SEARCH_BROWSE);
  EXPECT_EQ(g_browsers, 1);
  EXPECT_EQ(Text(dialog_, IDC_SEARCH_FOLDER), tree) << "Cancel changes nothing";
  EXPECT_EQ(Search()->m_nState, SEARCH_STATE_STOPPED);

  g_browseTo = other;
  Command(IDC_SEARCH_BROWSE);
  g_browseTo.clear();
  EXPECT_EQ(g_browsers, 2);
  EXPECT_EQ(lstrcmpiA(Text(dialog_, IDC_SEARCH_FOLDER).c_str(), other.c_str()), 0);
  EXPECT_EQ(Search()->m_nState, SEARCH_STATE_NEW) << "a stopped search does not continue in the old folder";
  EXPECT_EQ(Text(dialog_, IDC_SEARCH_FIND), Resource(IDS_BUTTON_FIND));
  Command(IDC_SEARCH_FIND);
  EXPECT_EQ(ResultCount(), 1);
  EXPECT_EQ(SendDlgItemMessageA(dialog_, IDC_SEARCH_FOLDER, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                reinterpret_cast<LPARAM>(tree.c_str())),
            1)
      << "the chosen folder comes first, the typed one after it";
}

TEST_F(SearchDialogTest, ContextMenuGreysWhatHasNothingToActOn) {
  Album("Holiday", 2);
  ASSERT_NE(Open(), nullptr);
  Command(IDC_SEARCH_FIND);
  ASSERT_EQ(ResultCount(), 2);
  HHOOK reader = SetWindowsHookExA(WH_CALLWNDPROC, ReadContextMenu, nullptr, GetCurrentThreadId());
  SetCopyBuffer(nullptr);
  const UINT grey = MF_GRAYED, on = 0;

  g_menuStates.clear();
  SendMessageA(dialog_, AVM_ITEMRBUTTONDOWN, 0, 0);
  EXPECT_EQ(g_menuStates, (std::vector<UINT>{grey, grey, grey, grey})) << "no item, nothing copied";

  // The cell the mouse is over: any cell of the result view that shows an item.
  std::vector<HWND> windows;
  EnumChildWindows(GetDlgItem(dialog_, IDC_SEARCH_RESULTS), CollectWindow, reinterpret_cast<LPARAM>(&windows));
  CThumbView2* cell = nullptr;
  for (HWND child : windows) {
    RECT r;
    GetWindowRect(child, &r);
    CThumbView2* under = Search()->GetResultView()->GetThumbViewByPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    if (under && under->GetThumbnail() && !cell) cell = under;
  }
  ASSERT_NE(cell, nullptr);
  g_menuStates.clear();
  SendMessageA(dialog_, AVM_ITEMRBUTTONDOWN, 0, reinterpret_cast<LPARAM>(cell));
  EXPECT_EQ(g_menuStates, (std::vector<UINT>{on, on, grey, on})) << "an item, nothing copied";

  Command(IDM_COPY);
  ASSERT_NE(GetCopyBuffer(), nullptr);
  g_menuStates.clear();
  SendMessageA(dialog_, AVM_ITEMRBUTTONDOWN, 0, 0);
  EXPECT_EQ(g_menuStates, (std::vector<UINT>{grey, grey, on, grey})) << "no item, something to paste";
  UnhookWindowsHookEx(reader);
  SetCopyBuffer(nullptr);
}

}  // namespace
