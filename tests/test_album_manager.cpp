// The album manager dialog as a host meets it: real manager dialogs opened
// with OpenAlbumManagerEx over temporary folders of real albums, driven by
// the messages its controls send, with every message box answered by a CBT
// hook of the test thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <album.h>
#include <shlobj.h>

#include <algorithm>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "ItemFactory.h"
#include "components/resources/resource.h"
#include "manager/AlbumCtrl.h"
#include "manager/AlbumMan.h"
#include "platform/qil.h"
#include "support/TestPictures.h"
#include "views/Album.h"

namespace {

// ---------------------------------------------------------------------------
// Message boxes and dialogs, answered as they open

struct ShownBox {
  std::string title;
  std::string text;
};

std::deque<int> g_answers;          // button for each box in turn; IDCANCEL when empty
std::vector<ShownBox> g_shown;      // every box and dialog that opened
std::set<HWND> g_answered;
HHOOK g_cbt = nullptr;
std::string g_typedName;            // typed into the new-album dialog before it is answered

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    char name[32] = "";
    GetClassNameA(box, name, sizeof(name));
    // Modal boxes and dialogs only: a manager dialog holds the album control.
    // A dialog is answered again each time it comes back to the front, as
    // after a message box of its own.
    if (strcmp(name, "#32770") == 0 && !GetDlgItem(box, IDC_MAN_ALBUM_CTRL)) {
      char text[512] = "";
      GetWindowTextA(box, text, sizeof(text));
      ShownBox shown;
      shown.title = text;
      text[0] = '\0';
      GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
      shown.text = text;
      if (!g_answered.count(box)) g_shown.push_back(shown);
      g_answered.insert(box);
      if (!g_typedName.empty() && GetDlgItem(box, IDC_NEW_ALBUM_NAME)) {
        SetDlgItemTextA(box, IDC_NEW_ALBUM_NAME, g_typedName.c_str());
      }
      int answer = IDCANCEL;
      if (!g_answers.empty()) {
        answer = g_answers.front();
        g_answers.pop_front();
      }
      PostMessageA(box, WM_COMMAND, answer, 0);
    }
  }
  return CallNextHookEx(g_cbt, code, wParam, lParam);
}

std::string Resource(UINT id) {
  char text[512] = "";
  LoadStringA(GetModuleHandleA("Morvex.dll"), id, text, sizeof(text));
  return text;
}

// ---------------------------------------------------------------------------
// The host window: records the item-open requests

std::vector<std::string> g_opened;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == ACM_OPENITEM) {
    g_opened.push_back(reinterpret_cast<const char*>(wParam));
    return 1;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// A dock frame as a host makes one: closing it asks the dialog first.
struct DockFrameLog {
  std::vector<int> answers;  // field of each inner close query
};
DockFrameLog g_frameLog;
HWND g_frameDialog = nullptr;

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    int record[4] = {0, 0, 0, 0};
    SendMessageA(g_frameDialog, 0x110B, 0, reinterpret_cast<LPARAM>(record));
    g_frameLog.answers.push_back(record[0]);
    if (record[0] == -1) DestroyWindow(g_frameDialog);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND g_frame = nullptr;
HWND CreateFrame(HWND dialog, int, int, bool) {
  g_frameDialog = dialog;
  return g_frame;
}
// A host's frame is activated as it appears, and tells its dialog so.
HWND CreateActivatedFrame(HWND dialog, int, int, bool) {
  g_frameDialog = dialog;
  SendMessageA(dialog, DFM_ACTIVATE, WA_ACTIVE, 0);
  return g_frame;
}
int QueryFrame(HWND) { return 1; }
int g_released = 0;
int ReleaseFrame(HWND, HWND) {
  ++g_released;
  return 1;
}

const DWORD kApril3rd2002 = 1017835200;  // 2002-04-03 12:00 UTC

// The context menu as it is shown: each item's state, read once the menu
// waits for input, then the menu is closed.
std::vector<std::pair<UINT, UINT>> g_menuStates;
HMENU g_menuShown = nullptr;

LRESULT CALLBACK ReadMenu(int code, WPARAM wParam, LPARAM lParam) {
  auto* message = reinterpret_cast<CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && message->message == WM_INITMENUPOPUP) g_menuShown = reinterpret_cast<HMENU>(message->wParam);
  if (code == HC_ACTION && message->message == WM_ENTERIDLE && g_menuShown) {
    for (int i = 0; i < GetMenuItemCount(g_menuShown); ++i) {
      UINT id = GetMenuItemID(g_menuShown, i);
      if (id != 0 && id != static_cast<UINT>(-1)) g_menuStates.emplace_back(id, GetMenuState(g_menuShown, id, MF_BYCOMMAND));
    }
    g_menuShown = nullptr;
    EndMenu();
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The menu's items by state after a right click on the dialog's empty area.
void ShowContextMenu(HWND dialog, std::set<UINT>* present, std::set<UINT>* grayed) {
  g_menuStates.clear();
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, ReadMenu, nullptr, GetCurrentThreadId());
  SetForegroundWindow(dialog);
  SendMessageA(dialog, ACM_CONTEXTMENU, 0, 0);
  UnhookWindowsHookEx(hook);
  for (auto& state : g_menuStates) {
    present->insert(state.first);
    if (state.second & MF_GRAYED) grayed->insert(state.first);
  }
}

int g_dialogsMade = 0;
LRESULT CALLBACK CountDialogs(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
    if (create->lpcs->lpszClass == MAKEINTRESOURCEA(32770)) {
      ++g_dialogsMade;
      if (create->lpcs->hwndParent && GetDlgItem(create->lpcs->hwndParent, IDC_MAN_ALBUM_CTRL)) {
        PostMessageA(reinterpret_cast<HWND>(wParam), WM_COMMAND, IDCANCEL, 0);
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Status line texts while files are added; Escape goes down when the
// status line names the file g_escapeAt.
std::vector<std::string> g_statusTexts;
HWND g_statusLine = nullptr;
std::string g_escapeAt;

void PressKey(WORD key, bool down) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  SendInput(1, &input, sizeof(input));
  // The key state follows the input a little later: wait for it, not for a time.
  DWORD start = GetTickCount();
  while (((GetAsyncKeyState(key) & 0x8000) != 0) != down && GetTickCount() - start < 5000) SwitchToThread();
}

LRESULT CALLBACK WatchStatus(int code, WPARAM wParam, LPARAM lParam) {
  auto* message = reinterpret_cast<CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && message->hwnd == g_statusLine && message->message == WM_SETTEXT) {
    std::string text = reinterpret_cast<const char*>(message->lParam);
    g_statusTexts.push_back(text);
    if (!g_escapeAt.empty() && text.find(g_escapeAt) != std::string::npos) PressKey(VK_ESCAPE, true);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

DWORD WINAPI AskCanOpenMore(LPVOID result) {
  *static_cast<int*>(result) = CanOpenMoreAlbum(2);
  return 0;
}

CAlbum* Album(HWND dialog) {
  return reinterpret_cast<CAlbumMan*>(GetWindowLongPtrA(dialog, GWLP_USERDATA))->GetAlbum();
}

std::string Text(HWND window) {
  char text[512] = "";
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

}  // namespace

class AlbumManagerTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ManagerTestHost";
    RegisterClassA(&wc);
    wc.lpfnWndProc = FrameProc;
    wc.lpszClassName = "ManagerTestFrame";
    RegisterClassA(&wc);
  }

  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    InitCurUserPath((folder_.path() + "\\").c_str());
    CreateDirectoryA(AlbumFolder().c_str(), nullptr);
    host_ = CreateWindowExA(0, "ManagerTestHost", "host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(host_, nullptr);
    g_answers.clear();
    g_shown.clear();
    g_answered.clear();
    g_opened.clear();
    g_cbt = SetWindowsHookExA(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());
    EnableAlbumToolbar(IDM_TB_PRINT, 1);
  }

  void TearDown() override {
    for (HWND dialog : dialogs_) {
      if (IsWindow(dialog)) {
        // Unsaved changes of a test are dropped without a question.
        if (CAlbumMan* manager = Manager(dialog)) manager->m_bModified = 0;
        DestroyWindow(dialog);
      }
    }
    UnhookWindowsHookEx(g_cbt);
    DestroyWindow(host_);
    SetDockFunction(nullptr, nullptr, nullptr);
  }

  // Managers opened from now on ask create for their frame, which is g_frame.
  static bool UseFrame(ALBUMDOCKCREATEPROC create) {
    g_frame = CreateWindowExA(0, "ManagerTestFrame", "frame", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    SetDockFunction(create, QueryFrame, ReleaseFrame);
    return g_frame != nullptr;
  }

  std::string AlbumFolder() const { return folder_.File("albums"); }
  std::string AlbumFile(const std::string& name) const { return AlbumFolder() + "\\" + name + ".abm"; }

  // An album file of items named name1 .. nameN.
  void WriteAlbum(const std::string& name, int items, DWORD size = 1000, DWORD time = kApril3rd2002) {
    CAlbumDoc2 document;
    for (int i = 1; i <= items; ++i) {
      ItemSpec wanted("C:\\pictures\\" + name + std::to_string(i) + ".jpg", size, time);
      document.Insert(MakeItem(wanted), nullptr);
    }
    document.SetDescription((name + " album").c_str());
    ASSERT_NE(document.Save(AlbumFile(name).c_str()), 0) << name;
  }

  HWND Open(const char* folder = nullptr) {
    HWND dialog = OpenAlbumManagerEx(host_, folder ? folder : AlbumFolder().c_str(), 64, 64, 0);
    if (dialog) dialogs_.push_back(dialog);
    return dialog;
  }

  static CAlbumMan* Manager(HWND dialog) {
    return reinterpret_cast<CAlbumMan*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  }
  static CAlbum* Album(HWND dialog) { return ::Album(dialog); }
  static HWND List(HWND dialog) { return GetDlgItem(dialog, IDC_MAN_ALBUM_LIST); }

  static std::vector<std::string> Entries(HWND dialog) {
    std::vector<std::string> entries;
    int count = static_cast<int>(SendMessageA(List(dialog), CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      char text[MAX_PATH] = "";
      SendMessageA(List(dialog), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      entries.push_back(text);
    }
    return entries;
  }

  static std::string CurrentEntry(HWND dialog) {
    CAlbumMan* manager = Manager(dialog);
    if (manager->m_nCurrent < 0) return "";
    return Entries(dialog)[static_cast<size_t>(manager->m_nCurrent)];
  }

  // Picks an entry the way the drop-down list reports a choice.
  static void Choose(HWND dialog, const std::string& entry) {
    LRESULT index = SendMessageA(List(dialog), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(entry.c_str()));
    ASSERT_NE(index, CB_ERR) << entry;
    SendMessageA(List(dialog), CB_SETCURSEL, index, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_MAN_ALBUM_LIST, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(List(dialog)));
  }

  static void Command(HWND dialog, int command) { SendMessageA(dialog, WM_COMMAND, command, 0); }

  // Focus on item n and select it, as a click does.
  static void Click(HWND dialog, int n) { ASSERT_EQ(Album(dialog)->SetCurrentFocus(n), 1) << "item " << n; }

  static bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  testpics::TempFolder folder_;
  HWND host_ = nullptr;
  std::vector<HWND> dialogs_;
};

// ---------------------------------------------------------------------------
// Opening and the album list

TEST_F(AlbumManagerTest, FolderWithoutAlbumsHoldsOnlyTheSelectedUntitledEntry) {
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Entries(dialog), std::vector<std::string>{Resource(IDS_UNTITLED_ALBUM)});
  EXPECT_EQ(SendMessageA(List(dialog), CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(Manager(dialog)->m_bUntitled, 1);
  EXPECT_EQ(Manager(dialog)->m_nAlbumCount, 1);
  EXPECT_EQ(OpenAlbumManagerEx(host_, folder_.File("missing").c_str(), 64, 64, 0), nullptr) << "no such folder";
  EXPECT_EQ(OpenAlbumManagerEx(host_, AlbumFolder().c_str(), 0, 64, 0), nullptr) << "no thumbnail size";
}

TEST_F(AlbumManagerTest, AlbumsFollowTheUntitledEntryIgnoringLetterCase) {
  WriteAlbum("beta", 1);
  WriteAlbum("Alpha", 1);
  WriteAlbum("alpha2", 1);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  std::vector<std::string> expected{Resource(IDS_UNTITLED_ALBUM), "Alpha", "alpha2", "beta"};
  EXPECT_EQ(Entries(dialog), expected);
  CAlbumMan* manager = Manager(dialog);
  EXPECT_EQ(manager->AddFileToList("ALPHA1", 0), 2) << "between Alpha and alpha2";
  std::string untitled = Resource(IDS_UNTITLED_ALBUM);
  for (char& c : untitled) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(manager->AddFileToList(untitled.c_str(), 0), 0) << "the untitled name always goes first";
  EXPECT_EQ(manager->m_nAlbumCount, 6);
}

TEST_F(AlbumManagerTest, LastOpenNamingADeletedAlbumOpensTheFirstAlbum) {
  WriteAlbum("first", 2);
  WriteAlbum("second", 3);
  std::string ini = folder_.File("album.ini");
  WritePrivateProfileStringA("Context", "LastOpen", "second", ini.c_str());
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(CurrentEntry(dialog), "second") << "the album open at the last close";
  EXPECT_EQ(Album(dialog)->GetThumbNailCount(), 3);
  DestroyWindow(dialog);

  WritePrivateProfileStringA("Context", "LastOpen", "gone", ini.c_str());
  dialog = Open();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(CurrentEntry(dialog), "first");
  EXPECT_EQ(Album(dialog)->GetThumbNailCount(), 2);
  Choose(dialog, "second");
  DestroyWindow(dialog);
  char last[MAX_PATH] = "";
  GetPrivateProfileStringA("Context", "LastOpen", "", last, sizeof(last), ini.c_str());
  EXPECT_STREQ(last, "second") << "written when the dialog goes";
}

TEST_F(AlbumManagerTest, ChooserPicksTheAlbumToOpen) {
  WriteAlbum("chosen", 2);
  WriteAlbum("first", 1);
  WritePrivateProfileStringA("Context", "LastOpen", "chosen", folder_.File("album.ini").c_str());
  g_answers = {IDCANCEL};
  EXPECT_EQ(OpenAlbumManagerEx(host_, AlbumFolder().c_str(), 64, 64, 1), nullptr) << "cancelled";
  ASSERT_EQ(g_shown.size(), 1u);
  EXPECT_EQ(g_shown[0].title, Resource(IDS_TITLE_OPEN_ALBUM));
  g_answers = {IDOK};
  HWND dialog = OpenAlbumManagerEx(host_, AlbumFolder().c_str(), 64, 64, 1);
  ASSERT_NE(dialog, nullptr);
  dialogs_.push_back(dialog);
  EXPECT_EQ(CurrentEntry(dialog), "chosen");
  EXPECT_EQ(Album(dialog)->GetThumbNailCount(), 2);
}

TEST_F(AlbumManagerTest, CurrentAlbumNameInEveryFormThroughTheActiveAlbum) {
  WriteAlbum("trip", 1);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(GetActiveAlbum(nullptr, 1), dialog) << "a null buffer still finds the manager";
  // A window that is no manager, even one carrying a pointer of its own.
  SetWindowLongPtrA(host_, GWLP_USERDATA, 0x1234);
  EXPECT_EQ(SetAlbumOption(host_, 10, 10), 0);
  EXPECT_EQ(InsertFromDib(host_, nullptr, "", "C:\\x.jpg"), 0);
  EXPECT_EQ(SetAlbumOption(dialog, 10, 10), 1);
  char name[MAX_PATH] = "";
  EXPECT_EQ(GetActiveAlbum(name, 3), dialog);
  EXPECT_STREQ(name, "trip");
  EXPECT_EQ(GetActiveAlbum(name, 2), dialog);
  EXPECT_STREQ(name, "trip.abm");
  EXPECT_EQ(GetActiveAlbum(name, 1), dialog);
  EXPECT_EQ(lstrcmpiA(name, AlbumFile("trip").c_str()), 0) << name;
  Choose(dialog, Resource(IDS_UNTITLED_ALBUM));
  EXPECT_EQ(GetActiveAlbum(name, 3), dialog);
  EXPECT_EQ(std::string(name), Resource(IDS_UNTITLED_ALBUM));
}

TEST_F(AlbumManagerTest, OnlyTwoManagersWhenTheLimitIsTwo) {
  HWND first = Open();
  EXPECT_EQ(CanOpenMoreAlbum(2), 1);
  HWND second = Open();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(CanOpenMoreAlbum(2), 0);
  int fromOtherThread = -1;
  HANDLE thread = CreateThread(nullptr, 0, AskCanOpenMore, &fromOtherThread, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(fromOtherThread, 1) << "a thread without managers";
  void* all = GetAllAlbum();
  ASSERT_NE(all, nullptr);
  auto* words = static_cast<DWORD*>(ToviMemLock(all));
  EXPECT_EQ(words[0], 2u);
  ToviMemUnlock(all);
  ToviMemFree(all);
}

// ---------------------------------------------------------------------------
// Lines and layout

// The window as it is on the screen, saved as a 24-bit BMP file; the pixels
// are kept in rows of width * 3 bytes, top-down.
std::vector<uint8_t> ScreenShot(HWND window, const std::string& path, int* width, int* height) {
  RECT rect{};
  GetWindowRect(window, &rect);
  *width = rect.right - rect.left;
  *height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = *width;
  info.bmiHeader.biHeight = -*height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, *width, *height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  const int stride = (*width * 3 + 3) & ~3;
  const size_t headers = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  const size_t imageSize = static_cast<size_t>(stride) * *height;
  std::vector<uint8_t> file(headers + imageSize);
  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;
  header.bfOffBits = static_cast<DWORD>(headers);
  header.bfSize = static_cast<DWORD>(file.size());
  memcpy(&file[0], &header, sizeof(header));
  memcpy(&file[sizeof(header)], &info.bmiHeader, sizeof(info.bmiHeader));
  const auto* bytes = static_cast<const uint8_t*>(bits);
  memcpy(&file[headers], bytes, imageSize);
  testpics::WriteFileBytes(path, file);
  std::vector<uint8_t> pixels;
  for (int y = 0; y < *height; ++y) pixels.insert(pixels.end(), bytes + y * stride, bytes + y * stride + *width * 3);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

TEST_F(AlbumManagerTest, UndockedManagerShowsItsToolbarAlbumAndLines) {
  WriteAlbum("shown", 8);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  SetWindowPos(dialog, HWND_TOPMOST, 20, 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  Click(dialog, 2);
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  int width = 0, height = 0;
  // Kept beside the test program for a person to look at.
  std::vector<uint8_t> pixels = ScreenShot(dialog, "album_manager_undocked.bmp", &width, &height);
  ASSERT_GT(width, 400);
  RECT control{};
  GetWindowRect(GetDlgItem(dialog, IDC_MAN_ALBUM_CTRL), &control);
  RECT window{};
  GetWindowRect(dialog, &window);
  EXPECT_GE(control.right - control.left, 5 * 88) << "at least five columns of cells";
  EXPECT_GE(control.bottom - control.top, 2 * 107) << "two rows";
  // The album control's area is not a plain face: the cells are drawn.
  std::set<uint32_t> colours;
  for (int y = control.top - window.top; y < control.bottom - window.top; y += 3) {
    for (int x = control.left - window.left; x < control.right - window.left; x += 3) {
      const uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 3];
      colours.insert(p[0] | (p[1] << 8) | (p[2] << 16));
    }
  }
  EXPECT_GT(colours.size(), 3u) << "thumbnails, frames and captions";
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_MAN_TOOLBAR)));
  EXPECT_FALSE(Text(GetDlgItem(dialog, IDC_MAN_STATUS)).empty());

  // Docked along the top: one row of cells beside the close button.
  DWORD size = PackDockSize(620, 200);
  SendMessageA(dialog, 0x1107, 2, reinterpret_cast<LPARAM>(&size));
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  ScreenShot(dialog, "album_manager_docked.bmp", &width, &height);
  RECT button{};
  GetWindowRect(GetDlgItem(dialog, IDC_MAN_CLOSE), &button);
  GetWindowRect(GetDlgItem(dialog, IDC_MAN_ALBUM_CTRL), &control);
  EXPECT_LE(button.right, control.left) << "the close button stands left of the album";
  EXPECT_EQ(control.bottom - control.top, 107);
}

TEST_F(AlbumManagerTest, DescriptionOf128CharactersIsNotStored) {
  WriteAlbum("notes", 1);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  CAlbumMan* manager = Manager(dialog);
  CAlbumDoc2* document = Album(dialog)->GetDocument();
  std::string text127(127, 'd');
  // The edit control takes 127 characters; the 128th arrives as a host
  // would write it, past the limit.
  SendDlgItemMessageA(dialog, IDC_MAN_DESCRIPTION, EM_LIMITTEXT, 300, 0);
  SetDlgItemTextA(dialog, IDC_MAN_DESCRIPTION, text127.c_str());
  EXPECT_EQ(manager->m_bModified, 1) << "typing into the line changes the album";
  manager->UpdateDescLine();
  EXPECT_EQ(std::string(document->GetDescription()), text127);
  SetDlgItemTextA(dialog, IDC_MAN_DESCRIPTION, std::string(128, 'e').c_str());
  manager->UpdateDescLine();
  EXPECT_EQ(std::string(document->GetDescription()), text127) << "128 characters are too many";
}

TEST_F(AlbumManagerTest, DockLayoutSizes) {
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  auto layout = [&](int type, int width, int height) {
    DWORD size = PackDockSize(width, height);
    SendMessageA(dialog, 0x1107, type, reinterpret_cast<LPARAM>(&size));
    return std::make_pair(static_cast<int>(LOWORD(size)), static_cast<int>(HIWORD(size)));
  };
  EXPECT_EQ(layout(1, 300, 100), std::make_pair(92, 192)) << "one row";
  EXPECT_EQ(layout(1, 300, 400), std::make_pair(92, 299)) << "two rows";
  EXPECT_EQ(layout(1, 300, 406), std::make_pair(92, 406)) << "three rows";
  EXPECT_FALSE(IsWindowVisible(List(dialog))) << "docked: no album list";
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_MAN_ALBUM_LABEL))) << "nor its label";
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_MAN_CLOSE)));
  auto triggerAt = [&]() {
    HWND trigger = FindWindowExA(dialog, nullptr, "TevrinTransplantationTrigger", nullptr);
    RECT r{};
    if (trigger) GetWindowRect(trigger, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return std::make_pair(static_cast<int>(r.left), static_cast<int>(r.top));
  };
  EXPECT_EQ(triggerAt(), std::make_pair(60, 6));
  EXPECT_EQ(layout(2, 400, 50), std::make_pair(3 * 88 + 86, 115));
  EXPECT_EQ(triggerAt(), std::make_pair(4, 86)) << "the move trigger follows the side it is docked on";
  EXPECT_EQ(layout(0, 10, 10), std::make_pair(552, 304));
  EXPECT_TRUE(IsWindowVisible(List(dialog)));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_MAN_ALBUM_LABEL)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_MAN_CLOSE)));
  DWORD minimum = 0;
  SendMessageA(dialog, 0x1105, 2, reinterpret_cast<LPARAM>(&minimum));
  EXPECT_EQ(minimum, PackDockSize(174, 115));
  SendMessageA(dialog, 0x1105, 4, reinterpret_cast<LPARAM>(&minimum));
  EXPECT_EQ(minimum, PackDockSize(92, 192));
}

TEST_F(AlbumManagerTest, InformationLineFollowsTheUsersDateOrderAndRoundsKilobytes) {
  char saved[80] = "";
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, saved, sizeof(saved));
  WriteAlbum("sizes", 0);
  CAlbumDoc2 document;
  document.Insert(MakeItem(ItemSpec("C:\\pictures\\small.jpg", 1529, kApril3rd2002, "   ")), nullptr);
  document.Insert(MakeItem(ItemSpec("C:\\pictures\\large.jpg", 1530, kApril3rd2002, " x")), nullptr);
  ASSERT_NE(document.Save(AlbumFile("sizes").c_str()), 0);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  HWND status = GetDlgItem(dialog, IDC_MAN_STATUS);
  HWND description = GetDlgItem(dialog, IDC_MAN_DESCRIPTION);

  SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, "M/d/yyyy");
  Click(dialog, 1);
  EXPECT_EQ(Text(status).rfind("4/3/2002, 1 KB", 0), 0u) << Text(status);
  EXPECT_EQ(Text(description), "C:\\pictures\\small.jpg") << "spaces only: the path is shown";
  SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, "dd.MM.yyyy");
  Click(dialog, 2);
  EXPECT_EQ(Text(status).rfind("3/4/2002, 2 KB", 0), 0u) << Text(status);
  EXPECT_EQ(Text(description), " x") << "one visible character is a description";
  SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, saved);
  EXPECT_EQ(Manager(dialog)->m_bModified, 0) << "showing item lines changes nothing";
  Click(dialog, 1);
  EXPECT_STREQ(document.GetThumbnail(1)->GetInfo()->aiDescription, "   ");
  EXPECT_STREQ(Album(dialog)->GetDocument()->GetThumbnail(1)->GetInfo()->aiDescription, "   ")
      << "the shown path does not become the description";
}

// ---------------------------------------------------------------------------
// Leaving albums

TEST_F(AlbumManagerTest, LeavingAnEmptiedAlbumDeletesItAfterYes) {
  WriteAlbum("keep", 2);
  WriteAlbum("single", 1);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  Choose(dialog, "single");
  ASSERT_EQ(CurrentEntry(dialog), "single");
  Click(dialog, 1);
  Command(dialog, IDM_CUT);
  EXPECT_EQ(Album(dialog)->GetThumbNailCount(), 0);
  EXPECT_EQ(Manager(dialog)->m_bModified, 1);
  g_answers = {IDYES};
  Choose(dialog, "keep");
  ASSERT_EQ(g_shown.size(), 1u);
  EXPECT_EQ(g_shown[0].text, Resource(IDS_ASK_SAVE_CHANGES));
  EXPECT_FALSE(Exists(AlbumFile("single"))) << "an empty album goes with its file";
  EXPECT_EQ(Entries(dialog), (std::vector<std::string>{Resource(IDS_UNTITLED_ALBUM), "keep"}));
  EXPECT_EQ(CurrentEntry(dialog), "keep");
  EXPECT_EQ(Album(dialog)->GetThumbNailCount(), 2);
  EXPECT_EQ(Manager(dialog)->m_nAlbumCount, 2);
}

TEST_F(AlbumManagerTest, DeletingAnEmptyAlbumNeverTouchesTheNextOne) {
  WriteAlbum("empty", 0);
  WriteAlbum("next", 2);
  WritePrivateProfileStringA("Context", "LastOpen", "empty", folder_.File("album.ini").c_str());
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(CurrentEntry(dialog), "empty");
  ASSERT_TRUE(Exists(AlbumFile("next"))) << "opening an album settles nothing else";
  g_answers = {IDYES};
  EXPECT_EQ(Manager(dialog)->DoDeleteAlbum(), 1);
  ASSERT_EQ(g_shown.size(), 1u);
  EXPECT_EQ(g_shown[0].text, Resource(IDS_ASK_DELETE_ALBUM));
  EXPECT_FALSE(Exists(AlbumFile("empty")));
  EXPECT_TRUE(Exists(AlbumFile("next"))) << "the album shown next is not taken for the emptied one";
  EXPECT_EQ(CurrentEntry(dialog), "next");
  EXPECT_EQ(SendMessageA(List(dialog), CB_GETCURSEL, 0, 0), Manager(dialog)->m_nCurrent);
  EXPECT_EQ(Album(dialog)->GetThumbNailCount(), 2);
  EXPECT_EQ(Entries(dialog), (std::vector<std::string>{Resource(IDS_UNTITLED_ALBUM), "next"}));
  EXPECT_EQ(Manager(dialog)->m_nAlbumCount, 2);
}

TEST_F(AlbumManagerTest, DamagedAlbumLeavesTheShownAlbumCurrentAndIntact) {
  WriteAlbum("good", 3);
  std::string bad = AlbumFile("bad");
  ASSERT_TRUE(testpics::WriteFileBytes(bad, std::vector<uint8_t>(600, 0x5A)));
  WritePrivateProfileStringA("Context", "LastOpen", "good", folder_.File("album.ini").c_str());
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(CurrentEntry(dialog), "good");
  Click(dialog, 2);
  Command(dialog, IDM_CUT);  // good is now modified, with two items
  g_answers = {IDNO, IDOK};
  Choose(dialog, "bad");
  ASSERT_EQ(g_shown.size(), 2u);
  EXPECT_EQ(g_shown[1].text, Resource(IDS_CANNOT_OPEN_ALBUM)) << "the user is told";
  EXPECT_EQ(CurrentEntry(dialog), "good");
  EXPECT_EQ(SendMessageA(List(dialog), CB_GETCURSEL, 0, 0), Manager(dialog)->m_nCurrent) << "the list agrees";
  EXPECT_EQ(Album(dialog)->GetThumbNailCount(), 2) << "the album shown before stays shown";
  EXPECT_EQ(lstrcmpiA(Album(dialog)->GetDocument()->GetPath(), AlbumFile("good").c_str()), 0);

  // Neither the damaged file nor the album that stayed is ever deleted.
  Command(dialog, IDM_CUT);
  Click(dialog, 1);
  Command(dialog, IDM_CUT);
  g_answers = {IDNO, IDOK};
  Choose(dialog, "bad");
  EXPECT_TRUE(Exists(bad));
  EXPECT_TRUE(Exists(AlbumFile("good")));
  DestroyWindow(dialog);

  // Opening on the damaged album starts a new album instead.
  WritePrivateProfileStringA("Context", "LastOpen", "bad", folder_.File("album.ini").c_str());
  g_shown.clear();
  g_answers = {IDOK};
  dialog = Open();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Manager(dialog)->m_bUntitled, 1);
  EXPECT_EQ(CurrentEntry(dialog), Resource(IDS_UNTITLED_ALBUM));
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(testpics::ReadFileBytes(bad, &bytes));
  EXPECT_EQ(bytes, std::vector<uint8_t>(600, 0x5A)) << "the damaged album is left as it was";
}

TEST_F(AlbumManagerTest, FailedSaveRefusesTheSwitchAndTheClose) {
  WriteAlbum("locked", 2);
  WriteAlbum("other", 1);
  WritePrivateProfileStringA("Context", "LastOpen", "locked", folder_.File("album.ini").c_str());
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  Click(dialog, 1);
  Command(dialog, IDM_CUT);
  std::string locked = AlbumFile("locked");
  ASSERT_TRUE(SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
  g_answers = {IDYES, IDOK};
  Choose(dialog, "other");
  ASSERT_EQ(g_shown.size(), 2u);
  EXPECT_EQ(g_shown[1].text, Resource(IDS_CANNOT_SAVE_ALBUM));
  EXPECT_EQ(CurrentEntry(dialog), "locked") << "the switch did not happen";
  EXPECT_EQ(Album(dialog)->GetThumbNailCount(), 1);
  EXPECT_EQ(Manager(dialog)->m_bModified, 1) << "the changes are still unsaved";

  g_shown.clear();
  g_answers = {IDYES, IDOK};
  SendMessageA(dialog, WM_CLOSE, 0, 0);
  ASSERT_EQ(g_shown.size(), 2u);
  EXPECT_EQ(g_shown[1].text, Resource(IDS_CANNOT_SAVE_ALBUM));
  EXPECT_TRUE(IsWindow(dialog)) << "the close was refused";

  SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
  g_answers = {IDYES};
  SendMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(dialog));
  CAlbumDoc2 saved;
  ASSERT_NE(saved.Load(locked.c_str(), 0), 0);
  EXPECT_EQ(saved.GetCount(), 1) << "saved once the file could be written";
}

TEST_F(AlbumManagerTest, NameDialogCancelledAfterYesKeepsTheNewAlbum) {
  WriteAlbum("other", 1);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  Choose(dialog, Resource(IDS_UNTITLED_ALBUM));
  HTOVIMEM picture = MakeSolidDib(30, 20, 128);
  ASSERT_EQ(Manager(dialog)->InsertFromDib(picture, "", "C:\\pictures\\new.bmp", nullptr), 1);
  ToviMemFree(picture);
  g_answers = {IDYES, IDCANCEL};
  Choose(dialog, "other");
  EXPECT_EQ(g_shown.size(), 2u) << "the save question, then the name dialog";
  EXPECT_EQ(Manager(dialog)->m_bUntitled, 1) << "the switch was refused";
  EXPECT_EQ(Manager(dialog)->m_bModified, 1);
  EXPECT_EQ(Album(dialog)->GetThumbNailCount(), 1) << "the new album's picture is kept";
  EXPECT_EQ(SendMessageA(List(dialog), CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(Entries(dialog), (std::vector<std::string>{Resource(IDS_UNTITLED_ALBUM), "other"}));
}

TEST_F(AlbumManagerTest, CloseWithYesNoCancel) {
  WriteAlbum("closing", 3);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  Click(dialog, 1);
  Command(dialog, IDM_CUT);
  g_answers = {IDCANCEL};
  SendMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(dialog));
  g_answers = {IDNO};
  SendMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(dialog));
  CAlbumDoc2 kept;
  ASSERT_NE(kept.Load(AlbumFile("closing").c_str(), 0), 0);
  EXPECT_EQ(kept.GetCount(), 3) << "No keeps the file as it was";

  dialog = Open();
  ASSERT_NE(dialog, nullptr);
  Click(dialog, 1);
  Command(dialog, IDM_CUT);
  g_answers = {IDYES};
  SendMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(dialog));
  ASSERT_NE(kept.Load(AlbumFile("closing").c_str(), 0), 0);
  EXPECT_EQ(kept.GetCount(), 2);

  dialog = Open();
  ASSERT_NE(dialog, nullptr);
  g_shown.clear();
  SendMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(dialog)) << "an unchanged album closes without a question";
  EXPECT_TRUE(g_shown.empty());
}

TEST_F(AlbumManagerTest, DockFrameCloseQueryReportsTheRefusalOnce) {
  WriteAlbum("docked", 2);
  ASSERT_TRUE(UseFrame(CreateFrame));
  g_released = 0;
  g_frameLog.answers.clear();
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Manager(dialog)->m_hDockFrame, g_frame);
  Click(dialog, 1);
  Command(dialog, IDM_CUT);

  int record[4] = {-1, 0, 0, 0};
  g_answers = {IDCANCEL};
  SendMessageA(dialog, 0x110B, 0, reinterpret_cast<LPARAM>(record));
  EXPECT_EQ(g_frameLog.answers, std::vector<int>{1}) << "the frame's own query was refused";
  EXPECT_EQ(record[0], 1) << "the refusal is reported";
  record[0] = -1;
  g_answers = {IDNO};
  SendMessageA(dialog, 0x110B, 0, reinterpret_cast<LPARAM>(record));
  EXPECT_EQ(record[0], -1) << "reported once only";
  EXPECT_FALSE(IsWindow(dialog)) << "No let the frame close it";
  EXPECT_EQ(g_released, 1) << "the frame is released";
  DestroyWindow(g_frame);
}

TEST_F(AlbumManagerTest, ANewlyOpenedDockedManagerBecomesTheActiveOne) {
  WriteAlbum("first", 1);
  ASSERT_TRUE(UseFrame(CreateActivatedFrame));
  HWND first = Open();
  ASSERT_NE(first, nullptr);
  SendMessageA(first, DFM_ACTIVATE, WA_CLICKACTIVE, 0);
  EXPECT_EQ(GetActiveAlbum(nullptr, ALBUM_NAME_BARE), first);
  HWND second = Open();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetActiveAlbum(nullptr, ALBUM_NAME_BARE), second) << "its frame's activation made it the active one";
  SendMessageA(first, DFM_ACTIVATE, WA_CLICKACTIVE, 0);
  EXPECT_EQ(GetActiveAlbum(nullptr, ALBUM_NAME_BARE), first);
  for (HWND dialog : {first, second}) {
    Manager(dialog)->m_bModified = 0;
    DestroyWindow(dialog);
  }
  DestroyWindow(g_frame);
}

// ---------------------------------------------------------------------------
// Naming and renaming

TEST_F(AlbumManagerTest, NewAlbumSavedUnderTheNameTypedIntoTheList) {
  WriteAlbum("zebra", 1);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  Choose(dialog, Resource(IDS_UNTITLED_ALBUM));
  HTOVIMEM picture = MakeSolidDib(30, 20, 128);
  ASSERT_EQ(Manager(dialog)->InsertFromDib(picture, "grey", "C:\\pictures\\grey.bmp", nullptr), 1);
  ToviMemFree(picture);
  SetWindowTextA(List(dialog), "holiday");
  Command(dialog, IDM_TB_SAVE);
  EXPECT_TRUE(Exists(AlbumFile("holiday"))) << "saved under the typed name without asking";
  std::vector<std::string> expected{Resource(IDS_UNTITLED_ALBUM), "holiday", "zebra"};
  EXPECT_EQ(Entries(dialog), expected) << "the untitled entry stays for the next new album";
  EXPECT_EQ(CurrentEntry(dialog), "holiday");
  EXPECT_EQ(Manager(dialog)->m_bUntitled, 0);
  EXPECT_EQ(Manager(dialog)->m_bModified, 0);
  EXPECT_EQ(Manager(dialog)->m_nAlbumCount, 3);
}

TEST_F(AlbumManagerTest, NamesThatCannotBeUsedAreRefusedWithTheirMessage) {
  WriteAlbum("trip", 1);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  Choose(dialog, Resource(IDS_UNTITLED_ALBUM));
  HTOVIMEM picture = MakeSolidDib(30, 20, 128);
  ASSERT_EQ(Manager(dialog)->InsertFromDib(picture, "", "C:\\pictures\\grey.bmp", nullptr), 1);
  ToviMemFree(picture);
  std::string untitled = Resource(IDS_UNTITLED_ALBUM);
  for (char& c : untitled) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  const std::pair<std::string, UINT> refusals[] = {
      {"trip", IDS_ALBUM_NAME_EXISTS}, {untitled, IDS_ALBUM_NAME_RESERVED}, {"   ", IDS_INVALID_ALBUM_NAME}};
  for (const auto& refusal : refusals) {
    g_shown.clear();
    g_answered.clear();
    // OK in the name dialog, OK on the refusal, then Cancel.
    g_answers = {IDOK, IDOK, IDCANCEL};
    g_typedName = refusal.first;
    Command(dialog, IDM_TB_SAVE);
    g_typedName.clear();
    ASSERT_EQ(g_shown.size(), 2u) << "'" << refusal.first << "'";
    EXPECT_EQ(g_shown[1].text, Resource(refusal.second)) << "'" << refusal.first << "'";
    EXPECT_EQ(Manager(dialog)->m_bUntitled, 1) << "still the new album";
    EXPECT_EQ(Manager(dialog)->m_bModified, 1);
  }
  EXPECT_EQ(Entries(dialog), (std::vector<std::string>{Resource(IDS_UNTITLED_ALBUM), "trip"}));
}

TEST_F(AlbumManagerTest, RenamingATitledAlbumMovesItsFile) {
  WriteAlbum("before", 2);
  WriteAlbum("zzz", 1);
  WritePrivateProfileStringA("Context", "LastOpen", "before", folder_.File("album.ini").c_str());
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  auto rename = [&](const char* text) {
    SetWindowTextA(List(dialog), text);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_MAN_ALBUM_LIST, CBN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(List(dialog)));
  };
  rename("after");
  EXPECT_FALSE(Exists(AlbumFile("before")));
  EXPECT_TRUE(Exists(AlbumFile("after")));
  EXPECT_EQ(CurrentEntry(dialog), "after");
  EXPECT_EQ(lstrcmpiA(Album(dialog)->GetDocument()->GetPath(), AlbumFile("after").c_str()), 0);

  rename("zzz");
  EXPECT_EQ(Text(List(dialog)), "after") << "an existing name is refused";
  EXPECT_EQ(CurrentEntry(dialog), "after");

  // A file that cannot be moved keeps list and disk in agreement.
  HANDLE held = CreateFileA(AlbumFile("after").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  rename("moved");
  CloseHandle(held);
  EXPECT_EQ(Text(List(dialog)), "after");
  EXPECT_EQ(CurrentEntry(dialog), "after");
  EXPECT_TRUE(Exists(AlbumFile("after")));
  EXPECT_FALSE(Exists(AlbumFile("moved")));
}

TEST_F(AlbumManagerTest, SortAndDeleteAskFirst) {
  WriteAlbum("pair", 2);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  g_answers = {IDCANCEL};
  Command(dialog, IDM_TB_SORT);
  ASSERT_EQ(g_shown.size(), 1u) << "two items: the sort dialog";
  EXPECT_EQ(Manager(dialog)->m_bModified, 0) << "cancelled";
  Click(dialog, 2);
  g_answers = {IDOK};
  Command(dialog, IDM_TB_DELETE);
  EXPECT_EQ(g_shown.size(), 2u) << "the remove choice";
  EXPECT_EQ(Album(dialog)->GetThumbNailCount(), 1);
  EXPECT_EQ(Manager(dialog)->m_bModified, 1);
}

// ---------------------------------------------------------------------------
// Items

TEST_F(AlbumManagerTest, ContextMenuGraysWhatNeedsAnItemOrACopy) {
  WriteAlbum("menu", 2);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  Command(dialog, IDM_COPY);  // nothing is selected: the copy buffer is emptied
  std::set<UINT> present, grayed;
  ShowContextMenu(dialog, &present, &grayed);
  ASSERT_FALSE(present.empty()) << "the menu was shown";
  for (UINT id : {IDM_CUT, IDM_COPY, IDM_DELETE_ITEMS, IDM_SEND_TO_HOST}) EXPECT_TRUE(grayed.count(id)) << id;
  EXPECT_TRUE(grayed.count(IDM_PASTE)) << "nothing copied yet";
  EXPECT_FALSE(grayed.count(IDM_HELP));
  EXPECT_FALSE(present.count(IDM_PICTURE_INFO)) << "no picture to tell about";
  Click(dialog, 1);
  Command(dialog, IDM_COPY);
  present.clear();
  grayed.clear();
  ShowContextMenu(dialog, &present, &grayed);
  EXPECT_TRUE(present.count(IDM_PASTE));
  EXPECT_FALSE(grayed.count(IDM_PASTE)) << "Paste after a Copy";
}

TEST_F(AlbumManagerTest, CutInOneManagerPastesIntoAnother) {
  WriteAlbum("source", 3);
  WriteAlbum("target", 1);
  WritePrivateProfileStringA("Context", "LastOpen", "source", folder_.File("album.ini").c_str());
  HWND source = Open();
  WritePrivateProfileStringA("Context", "LastOpen", "target", folder_.File("album.ini").c_str());
  HWND target = Open();
  ASSERT_NE(source, nullptr);
  ASSERT_NE(target, nullptr);
  Click(source, 2);
  Command(source, IDM_CUT);
  EXPECT_EQ(Album(source)->GetThumbNailCount(), 2);
  Command(target, IDM_PASTE);
  ASSERT_EQ(Album(target)->GetThumbNailCount(), 2);
  EXPECT_EQ(Manager(target)->m_bModified, 1);
  EXPECT_NE(Album(target)->GetDocument()->FindFileInDoc("C:\\pictures\\source2.jpg"), nullptr);
  Command(target, IDM_PASTE);
  EXPECT_EQ(Album(target)->GetThumbNailCount(), 2) << "a second paste finds the picture already there";

  Click(target, 1);
  g_opened.clear();
  SendMessageA(target, ACM_SENDSELECTED, 0, 0);
  EXPECT_EQ(g_opened, std::vector<std::string>{"C:\\pictures\\target1.jpg"}) << "Enter sends the selection to the host";
}

TEST_F(AlbumManagerTest, AddingTenFilesOfWhichOneIsDamaged) {
  WriteAlbum("added", 1);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  std::string pictures = folder_.File("pictures");
  CreateDirectoryA(pictures.c_str(), nullptr);
  std::string list = pictures + '\0';
  for (int i = 1; i <= 10; ++i) {
    std::string name = "photo" + std::to_string(i) + ".png";
    if (i == 3) {
      ASSERT_TRUE(testpics::WriteFileBytes(pictures + "\\" + name, std::vector<uint8_t>(300, 0x11)));
    } else {
      ASSERT_TRUE(testpics::WritePicture(pictures + "\\" + name, testpics::FileFormat::Png,
                                         testpics::MakePhotoPixels(40 + i, 30, false)));
    }
    list += name + '\0';
  }
  list += '\0';
  g_answers = {IDOK};
  g_statusLine = GetDlgItem(dialog, IDC_MAN_STATUS);
  g_statusTexts.clear();
  g_escapeAt.clear();
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchStatus, nullptr, GetCurrentThreadId());
  EXPECT_EQ(Manager(dialog)->AddFiles(list.c_str(), nullptr), 9);
  UnhookWindowsHookEx(hook);
  EXPECT_NE(std::find(g_statusTexts.begin(), g_statusTexts.end(), "Adding 3 of 10: photo3.png"), g_statusTexts.end())
      << "progress in the status line";
  ASSERT_EQ(g_shown.size(), 1u) << "one report, for the damaged file";
  EXPECT_EQ(g_shown[0].text, Resource(IDS_CANNOT_OPEN_PICTURE));
  EXPECT_EQ(Album(dialog)->GetThumbNailCount(), 10);
  EXPECT_EQ(Manager(dialog)->m_bModified, 1);
  EXPECT_EQ(std::string(Manager(dialog)->m_szLastFolder), pictures);
  EXPECT_EQ(Text(GetDlgItem(dialog, IDC_MAN_STATUS)).find("Adding"), std::string::npos)
      << "the progress text goes when the run ends";
  EXPECT_EQ(Album(dialog)->GetDocument()->GetThumbnail(11), nullptr);
}

TEST_F(AlbumManagerTest, EscapeStopsAnAddRunAtTheFileBeingRead) {
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  std::string pictures = folder_.File("many");
  CreateDirectoryA(pictures.c_str(), nullptr);
  std::string list = pictures + '\0';
  for (int i = 1; i <= 8; ++i) {
    std::string name = "p" + std::to_string(i) + ".png";
    ASSERT_TRUE(testpics::WritePicture(pictures + "\\" + name, testpics::FileFormat::Png,
                                       testpics::MakePhotoPixels(64, 48, false)));
    list += name + '\0';
  }
  list += '\0';
  g_statusLine = GetDlgItem(dialog, IDC_MAN_STATUS);
  g_statusTexts.clear();
  g_escapeAt = "Adding 4 of 8";
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchStatus, nullptr, GetCurrentThreadId());
  int added = Manager(dialog)->AddFiles(list.c_str(), nullptr);
  UnhookWindowsHookEx(hook);
  g_escapeAt.clear();
  PressKey(VK_ESCAPE, false);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  EXPECT_EQ(added, 3) << "the read under way when Escape went down is stopped";
  EXPECT_EQ(Album(dialog)->GetThumbNailCount(), 3);
  EXPECT_TRUE(g_shown.empty()) << "a stopped run reports nothing";
}

TEST_F(AlbumManagerTest, DroppedFilesAreAddedAndFailuresReportedOnce) {
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  std::string good = folder_.File("dropped.png");
  ASSERT_TRUE(testpics::WritePicture(good, testpics::FileFormat::Png, testpics::MakePhotoPixels(50, 40, false)));
  std::string second = folder_.File("second.png");
  ASSERT_TRUE(testpics::WritePicture(second, testpics::FileFormat::Png, testpics::MakePhotoPixels(30, 40, false)));
  auto dropFiles = [&](const std::string& files) {
    HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + files.size());
    auto* header = static_cast<DROPFILES*>(GlobalLock(drop));
    header->pFiles = sizeof(DROPFILES);
    memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), files.data(), files.size());
    GlobalUnlock(drop);
    SendMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
  };
  dropFiles(good + '\0' + '\0');
  EXPECT_EQ(Album(dialog)->GetThumbNailCount(), 1);
  EXPECT_TRUE(g_shown.empty()) << "a file that was added is no failure";
  std::string missing = folder_.File("missing.png");
  g_answers = {IDOK};
  dropFiles(second + '\0' + missing + '\0' + '\0');
  EXPECT_EQ(Album(dialog)->GetThumbNailCount(), 2);
  ASSERT_EQ(g_shown.size(), 1u);
  EXPECT_EQ(g_shown[0].text, Resource(IDS_SOME_DROPS_FAILED));
}

TEST_F(AlbumManagerTest, CommandsThatCannotRunChangeNothing) {
  WriteAlbum("one", 1);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  Command(dialog, IDM_TB_SORT);
  Command(dialog, IDM_TB_SAVE);
  Command(dialog, IDM_TB_HELP);
  Command(dialog, IDM_TB_ACQUIRE);
  EXPECT_TRUE(g_shown.empty()) << "one item is not sorted; an unchanged album is not saved";
  EXPECT_EQ(Manager(dialog)->m_bModified, 0);

  EnableAlbumToolbar(IDM_TB_SORT, 0);
  Command(dialog, IDM_TB_PRINT);
  ASSERT_EQ(g_shown.size(), 1u) << "greying another button leaves printing allowed";
  EnableAlbumToolbar(IDM_TB_PRINT, 0);
  Command(dialog, IDM_TB_PRINT);
  EXPECT_EQ(g_shown.size(), 1u) << "printing withdrawn";
}

// ---------------------------------------------------------------------------
// Host interface

TEST(AlbumHostInterface, PrintPermissionSetBeforeAnyManagerAndRedeyeKeepsCounts) {
  EnableAlbumToolbar(IDM_TB_PRINT, 0);
  testpics::TempFolder folder;
  ASSERT_TRUE(folder.ok());
  HWND host = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  {
    CAlbumDoc2 document;
    document.Insert(MakeItem(ItemSpec("C:\\p\\a.jpg")), nullptr);
    ASSERT_NE(document.Save(folder.File("print.abm").c_str()), 0);
  }
  HHOOK hook = SetWindowsHookExA(WH_CBT, CountDialogs, nullptr, GetCurrentThreadId());
  g_dialogsMade = 0;
  HWND dialog = OpenAlbumManagerEx(host, folder.path().c_str(), 64, 64, 0);
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(Album(dialog)->GetThumbNailCount(), 1);
  SendMessageA(dialog, WM_COMMAND, IDM_TB_PRINT, 0);
  EXPECT_EQ(g_dialogsMade, 1) << "only the manager: no print dialog";
  EnableAlbumToolbar(IDM_TB_PRINT, 1);
  SendMessageA(dialog, WM_COMMAND, IDM_TB_PRINT, 0);
  EXPECT_EQ(g_dialogsMade, 2) << "the print dialog once printing is allowed";
  UnhookWindowsHookEx(hook);
  DestroyWindow(dialog);
  DestroyWindow(host);

  SetRedeyeFlag(true);
  TestTable table;
  for (int i = 0; i < 3; ++i) table.Append(ItemSpec("C:\\p\\" + std::to_string(i) + ".jpg"));
  EXPECT_EQ(table.GetCount(), 3) << "the flag is stored, the count stays true";
  SetRedeyeFlag(false);
}

TEST(AlbumHostInterface, DropDataHoldsThePathsBackToBack) {
  CAlbumDoc2 items;
  for (const char* path : {"C:\\x\\one.jpg", "C:\\x\\two.jpg", "C:\\x\\three.jpg"}) {
    items.Insert(MakeItem(ItemSpec(path)), nullptr);
  }
  tagDRAGNOTIFY record = {};
  record.ddKind = DRAG_KIND_ITEMS;
  record.ddData = &items;
  void* block = GetDropData(static_cast<long>(reinterpret_cast<LONG_PTR>(&record)));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(ToviMemSize(block), 780u);
  const char* bytes = static_cast<const char*>(ToviMemLock(block));
  std::string packed(bytes, 780);
  ToviMemUnlock(block);
  ToviMemFree(block);
  EXPECT_EQ(packed.substr(0, 42), std::string("C:\\x\\one.jpg\0C:\\x\\two.jpg\0C:\\x\\three.jpg\0", 42));
  EXPECT_EQ(packed.find_first_not_of('\0', 42), std::string::npos) << "the rest stays zero";
  record.ddKind = 2;
  EXPECT_EQ(GetDropData(static_cast<long>(reinterpret_cast<LONG_PTR>(&record))), nullptr);
}

TEST(AlbumHostInterface, ACopyOfAManagerFreesNothingItShares) {
  HBITMAP bitmap = CreateBitmap(4, 4, 1, 32, nullptr);
  auto* original = new CAlbumMan;
  original->m_hCloseBitmap = bitmap;
  {
    CAlbumMan copy;
    copy = *original;
    EXPECT_EQ(copy.m_hCloseBitmap, bitmap);
  }
  BITMAP info = {};
  EXPECT_NE(GetObjectA(bitmap, sizeof(info), &info), 0) << "the copy left the bitmap alone";
  delete original;
  EXPECT_EQ(GetObjectA(bitmap, sizeof(info), &info), 0) << "the original frees it";
}
