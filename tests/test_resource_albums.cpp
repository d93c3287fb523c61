// Resource albums: the preparation of brush and stamp pictures with the
// switches of "album.ini", and the resource album windows a painting host
// places: classes, grid, notifications, imports, removals and the answers of
// the exports.
#include <gtest/gtest.h>

#include <windows.h>

#include <album.h>
#include <ResourceAlbums.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "PictureView.h"
#include "ViewTestSupport.h"
#include "platform/pixamo.h"
#include "support/TestPictures.h"

namespace {

const int kCell = 40;

// ---------------------------------------------------------------------------
// "album.ini" as the bare name resolves it, kept aside while a test runs.
class IniAside {
 public:
  IniAside() {
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof(windows));
    path_ = std::string(windows) + "\\album.ini";
    had_ = testpics::ReadFileBytes(path_, &saved_);
    DeleteFileA(path_.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "album.ini");  // drop any cached copy
  }
  ~IniAside() {
    DeleteFileA(path_.c_str());
    if (had_) testpics::WriteFileBytes(path_, saved_);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "album.ini");
  }
  void Set(const char* section, const char* key, const char* value) {
    WritePrivateProfileStringA(section, key, value, "album.ini");
  }

 private:
  std::string path_;
  bool had_ = false;
  std::vector<uint8_t> saved_;
};

// The tone of the prepared picture's first pixel.
int Tone(HTOVIMEM prepared) {
  PictureView view(prepared);
  return view.ok() ? view.At(0, 0).g : -1;
}

// What the brightness scale by -192 leaves of a tone: a quarter.
int Softened(int tone) { return (tone * 63 + 127) / 255; }

}  // namespace

// ---------------------------------------------------------------------------
// Preparation

TEST(ResourcePicture, SizesFitTheLimitWithRounding) {
  IniAside ini;
  struct Case {
    bool brush;
    int width, height, expectedWidth, expectedHeight;
  };
  const Case cases[] = {{true, 1000, 500, 128, 64},  {false, 500, 1000, 128, 256}, {true, 100, 100, 100, 100},
                        {true, 1000, 3, 128, 1},     {true, 300, 300, 128, 128},   {false, 3, 1000, 1, 256}};
  for (const Case& c : cases) {
    HTOVIMEM source = viewtest::MakeColourDib(c.width, c.height, RGB(200, 120, 40));
    ASSERT_NE(source, nullptr);
    const LONG before = ToviMemLiveCount();
    PictureView prepared(c.brush ? PrepareBrushPicture(source) : PrepareStampPicture(source));
    ASSERT_TRUE(prepared.ok()) << c.width << " x " << c.height << ": no picture";
    EXPECT_EQ(prepared.width(), c.expectedWidth) << c.width << " x " << c.height;
    EXPECT_EQ(prepared.height(), c.expectedHeight) << c.width << " x " << c.height;
    EXPECT_EQ(IsDibGray(prepared.handle()), 1) << "a colour source comes out grey";
    EXPECT_EQ(ToviMemLiveCount(), before + 1) << "only the result is left: the grey copy was released";
    ToviMemFree(source);
  }
  EXPECT_EQ(PrepareBrushPicture(nullptr), nullptr);
  EXPECT_EQ(PrepareStampPicture(nullptr), nullptr);
}

TEST(ResourcePicture, ResolutionArgumentIsTheSourcesForBrushesAnd72ForStamps) {
  IniAside ini;
  HTOVIMEM source = viewtest::MakeColourDib(300, 200, RGB(90, 90, 90));
  {
    auto* header = static_cast<BITMAPINFOHEADER*>(ToviMemLock(source));
    header->biXPelsPerMeter = 3780;
    ToviMemUnlock(source);
  }
  PictureView brush(PrepareBrushPicture(source));
  PictureView stamp(PrepareStampPicture(source));
  ASSERT_TRUE(brush.ok() && stamp.ok());
  EXPECT_EQ(brush.header().biXPelsPerMeter, 3780);
  EXPECT_EQ(stamp.header().biXPelsPerMeter, 72);
  ToviMemFree(source);
}

TEST(ResourcePicture, SwitchesAreReadAtEveryPreparation) {
  IniAside ini;
  HTOVIMEM source = viewtest::MakeColourDib(20, 20, RGB(200, 200, 200));
  ASSERT_NE(source, nullptr);
  // No file: scaled, not inverted.
  EXPECT_EQ(Tone(PrepareBrushPicture(source)), Softened(200));
  EXPECT_EQ(Tone(PrepareStampPicture(source)), Softened(200));

  ini.Set("Brush Parameter", "Invert", "true");
  EXPECT_EQ(Tone(PrepareBrushPicture(source)), Softened(55)) << "small letters count";
  EXPECT_EQ(Tone(PrepareStampPicture(source)), Softened(200)) << "the stamp section is apart";

  ini.Set("Brush Parameter", "Invert", "yes");
  EXPECT_EQ(Tone(PrepareBrushPicture(source)), Softened(200)) << "yes is not TRUE";

  ini.Set("Stamp Parameter", "Invert", "TRUE");
  ini.Set("Stamp Parameter", "Scale", "false");
  EXPECT_EQ(Tone(PrepareStampPicture(source)), 55);
  ToviMemFree(source);
}

// ---------------------------------------------------------------------------
// Windows

namespace {

// The parent: records the resource album's two notifications.
struct Heard {
  std::vector<std::string> buttonUpPaths;
  int doubleClicks = 0;
};
Heard* g_heard = nullptr;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (g_heard && msg == AVM_ITEMBUTTONUP) g_heard->buttonUpPaths.push_back(reinterpret_cast<const char*>(lParam));
  if (g_heard && msg == AVM_ITEMDBLCLK) ++g_heard->doubleClicks;
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// What the timer does with each dialog or message box the thread shows, in
// order; anything beyond the script is cancelled so that a test fails but
// never hangs.
struct Answer {
  std::string typed;  // for the file dialog: the names typed
  int button = IDOK;  // for a message box
};
struct Script {
  std::vector<Answer> answers;
  std::vector<std::string> texts;       // what each message box said
  std::vector<std::string> fileTypes;   // the file dialog's type list
  size_t next = 0;
};
Script* g_script = nullptr;

BOOL CALLBACK TakeDialog(HWND hwnd, LPARAM param) {
  char cls[16] = {};
  GetClassNameA(hwnd, cls, sizeof(cls));
  if (strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK DriveDialogs(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), TakeDialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog || !g_script) return;
  Script& s = *g_script;
  HWND name = GetDlgItem(dialog, 0x47c);  // cmb13
  if (!name) name = GetDlgItem(dialog, 0x480);  // edt1
  if (!name) {
    char text[512] = "";
    GetDlgItemTextA(dialog, 0xFFFF, text, sizeof(text));
    s.texts.push_back(text);
  }
  if (s.next >= s.answers.size()) {
    PostMessageA(dialog, WM_COMMAND, name ? IDCANCEL : IDNO, 0);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  const Answer& answer = s.answers[s.next++];
  if (name) {
    HWND types = GetDlgItem(dialog, 0x470);  // cmb1
    int count = types ? int(SendMessageA(types, CB_GETCOUNT, 0, 0)) : 0;
    s.fileTypes.clear();
    for (int i = 0; i < count; ++i) {
      char text[256] = "";
      SendMessageA(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      s.fileTypes.push_back(text);
    }
    SetWindowTextA(name, answer.typed.c_str());
    PostMessageA(dialog, WM_COMMAND, answer.typed.empty() ? IDCANCEL : IDOK, 0);
    return;
  }
  PostMessageA(dialog, WM_COMMAND, answer.button, 0);
}

// Runs work with the script answering every dialog it shows.
void WithAnswers(Script& script, const std::function<void()>& work) {
  g_script = &script;
  UINT_PTR timer = SetTimer(nullptr, 0, 40, DriveDialogs);
  work();
  KillTimer(nullptr, timer);
  g_script = nullptr;
}

std::string HostFolder() {
  char program[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, program, sizeof(program));
  std::string path = program;
  return path.substr(0, path.rfind('\\') + 1);
}

bool SameFile(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) == 0; }

class ResourceAlbumWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CBrushAlbumCtrlRegister(GetModuleHandleA(nullptr), kCell, kCell), 1);
    WNDCLASSA wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ResourceAlbumTestParent";
    RegisterClassA(&wc);
    parent = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "Resource albums", WS_POPUP | WS_VISIBLE, 20, 20,
                             600, 400, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(parent, nullptr);
    g_heard = &heard;
  }
  void TearDown() override {
    for (HWND control : controls) DestroyWindow(control);
    DestroyWindow(parent);
    g_heard = nullptr;
    for (const std::string& path : cleanup) DeleteFileA(path.c_str());
  }
  // The view's cells keep a pitch of the cell size plus their gap across,
  // so this size gives the same 4 x 3 grid to the control and its view.
  HWND Make(const char* className, const std::string& text, int width = 4 * (kCell + 2) + 1,
            int height = 3 * kCell + 1) {
    HWND control = CreateWindowExA(0, className, text.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, width, height, parent,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(control, nullptr) << className;
    if (control) controls.push_back(control);
    return control;
  }
  static CBrushAlbumCtrl* Object(HWND control) {
    return reinterpret_cast<CBrushAlbumCtrl*>(GetWindowLongPtrA(control, GWLP_USERDATA));
  }
  // A picture file of one colour.
  std::string Picture(const std::string& name, uint8_t tone, int width = 60, int height = 40) {
    testpics::Pixels pixels(width, height, false);
    pixels.Fill(0, 0, width, height, tone, tone / 2, 255 - tone);
    std::string path = folder.File(name);
    EXPECT_TRUE(testpics::WritePicture(path, testpics::FileFormat::Png, pixels)) << path;
    return path;
  }
  // An album file name (relative to the host folder) that no other run uses.
  std::string AlbumName(const char* tag) {
    std::string name = std::string("res-") + tag + "-" + std::to_string(GetCurrentProcessId()) + ".abm";
    cleanup.push_back(HostFolder() + name);
    cleanup.push_back(HostFolder() + name + ".bak");  // the album store's backup
    return name;
  }
  // The window of the cell that shows item n, or null.
  static HWND CellOf(HWND control, int n) {
    HWND view = Object(control)->GetAlbum()->GetViewWindow();
    for (HWND cell : viewtest::ChildrenOfClass(view, "ThumbViewClass")) {
      auto* shown = reinterpret_cast<CThumbView2*>(GetWindowLongPtrA(cell, GWLP_USERDATA));
      if (shown && shown->GetThumbnail() && shown->GetThumbnail()->GetID() == n) return cell;
    }
    return nullptr;
  }
  static void Click(HWND cell, WPARAM keys = 0) {
    SendMessageA(cell, WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(5, 5));
    SendMessageA(cell, WM_LBUTTONUP, keys, MAKELPARAM(5, 5));
  }

  HWND parent = nullptr;
  std::vector<HWND> controls;
  std::vector<std::string> cleanup;
  Heard heard;
  IniAside ini;
  testpics::TempFolder folder;
};

}  // namespace

TEST_F(ResourceAlbumWindows, FourClassesRegisterAgainAndAnswerAsTheirKind) {
  EXPECT_EQ(CBrushAlbumCtrlRegister(GetModuleHandleA(nullptr), kCell, kCell), 1) << "a repeated call";
  const char* classes[] = {"BrushAlbumCtrl", "StampAlbumCtrl", "TextureAlbumCtrl", "ShapeAlbumCtrl"};
  const int kinds[] = {1, 2, 3, 4};
  for (int i = 0; i < 4; ++i) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), classes[i], &wc)) << classes[i];
    EXPECT_EQ(wc.style, 11u);
    EXPECT_EQ(wc.cbWndExtra, 4);
    EXPECT_EQ(wc.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    HWND control = Make(classes[i], "");
    ASSERT_NE(Object(control), nullptr);
    EXPECT_EQ(Object(control)->GetKind(), kinds[i]) << classes[i];
    EXPECT_EQ(Object(control)->GetThumbWidth(), kCell - 4);
  }
}

TEST_F(ResourceAlbumWindows, EmptyTextGivesAnEmptyGridOverGreyLines) {
  HWND control = Make("BrushAlbumCtrl", "");
  EXPECT_EQ(GetBrushCount(control), 0);
  EXPECT_EQ(GetCurrentBrushSelection(control), -1);
  char path[MAX_PATH] = "unchanged";
  EXPECT_EQ(GetCurrentBrushFullPath(control, path), 0);
  EXPECT_EQ(SetCurrentBrushSelection(control, 1), 0);

  // The grid: 4 x 3 cells at a pitch of 42 x 40 in a 169 x 121 client; the
  // lines lie in the gaps between the cells.
  RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC dc = GetDC(control);
  const COLORREF grey = RGB(0x80, 0x80, 0x80);
  EXPECT_EQ(GetPixel(dc, 20, 0), grey) << "top line";
  EXPECT_EQ(GetPixel(dc, 20, 40), grey) << "second row line";
  EXPECT_EQ(GetPixel(dc, 0, 20), grey) << "left line";
  EXPECT_EQ(GetPixel(dc, 84, 100), grey) << "third column line";
  EXPECT_EQ(GetPixel(dc, 168, 60), grey) << "right line";
  EXPECT_EQ(GetPixel(dc, 150, 120), grey) << "bottom line";
  EXPECT_NE(GetPixel(dc, 20, 20), grey) << "inside a cell";
  ReleaseDC(control, dc);
}

TEST_F(ResourceAlbumWindows, OtherWindowsGetTheNoObjectAnswers) {
  HWND plain = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
  // Its user-data slot holds something that is not a resource album.
  SetWindowLongPtrA(plain, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&heard));
  char path[MAX_PATH] = "";
  EXPECT_EQ(GetBrushCount(plain), -1);
  EXPECT_EQ(GetCurrentBrushSelection(plain), -1);
  EXPECT_EQ(GetCurrentBrushFullPath(plain, path), -1);
  EXPECT_EQ(SetCurrentBrushSelection(plain, 1), 0);
  EXPECT_EQ(AddItemToAbmCtrl(plain), 0);
  EXPECT_EQ(DeleteItemFromAbmCtrl(plain), 0);
  DestroyWindow(plain);
  EXPECT_EQ(GetBrushCount(nullptr), -1);
}

TEST_F(ResourceAlbumWindows, SizeScrollAndNotifications) {
  HWND control = Make("TextureAlbumCtrl", "");
  CBrushAlbumCtrl* ctrl = Object(control);
  for (int i = 0; i < 30; ++i) {
    HTOVIMEM picture = viewtest::MakeColourDib(30, 20, RGB(i * 8, 100, 50));
    EXPECT_EQ(ctrl->InsertSourcePicture(picture, "", ("C:\\textures\\t" + std::to_string(i) + ".png").c_str()), 1);
    ToviMemFree(picture);
  }
  EXPECT_EQ(GetBrushCount(control), 30);

  SendMessageA(control, WM_SIZE, 0, MAKELPARAM(200, 150));
  RECT view{};
  GetWindowRect(ctrl->GetAlbum()->GetViewWindow(), &view);
  MapWindowPoints(nullptr, control, reinterpret_cast<POINT*>(&view), 2);
  EXPECT_EQ(view.left, 0);
  EXPECT_EQ(view.top, 0);
  EXPECT_EQ(view.right, 200);
  EXPECT_EQ(view.bottom, 149) << "one pixel less than the client height";

  EXPECT_EQ(SendMessageA(control, WM_VSCROLL, SB_PAGEDOWN, 0), 0);
  EXPECT_GT(ctrl->GetAlbum()->GetFirstViewNailID(), 1) << "a page down moves the view";
  EXPECT_EQ(SendMessageA(control, WM_HSCROLL, SB_LINEUP, 0), 0);

  ASSERT_EQ(SetCurrentBrushSelection(control, 1), 1);
  HWND cell = CellOf(control, 1);
  ASSERT_NE(cell, nullptr);
  Click(cell);
  ASSERT_EQ(heard.buttonUpPaths.size(), 1u);
  EXPECT_EQ(heard.buttonUpPaths[0], "C:\\textures\\t0.png");
  SendMessageA(cell, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(heard.doubleClicks, 1);
  char path[MAX_PATH] = "";
  EXPECT_EQ(GetCurrentBrushFullPath(control, path), 1);
  EXPECT_STREQ(path, "C:\\textures\\t0.png");
  EXPECT_EQ(GetCurrentBrushSelection(control), 1);
}

TEST_F(ResourceAlbumWindows, ImportsStoreBrushesAndAskBeforeReplacingOne) {
  const std::string brushFolder = HostFolder() + "brush";
  const std::string stored = brushFolder + "\\leaf.bmp";
  DeleteFileA(stored.c_str());
  RemoveDirectoryA(brushFolder.c_str());  // only when empty: a new folder is made
  cleanup.push_back(stored);
  HWND control = Make("BrushAlbumCtrl", AlbumName("import"));
  CBrushAlbumCtrl* ctrl = Object(control);

  ASSERT_EQ(ctrl->ImportFile(Picture("leaf.png", 200, 300, 150).c_str(), nullptr), 1);
  EXPECT_EQ(GetFileAttributesA(brushFolder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, DWORD(FILE_ATTRIBUTE_DIRECTORY));
  ASSERT_EQ(GetBrushCount(control), 1);
  EXPECT_TRUE(SameFile(ctrl->GetAlbum()->GetDocument()->GetThumbnail(1)->GetInfo()->aiPath, stored));
  EXPECT_EQ(ctrl->GetAlbum()->GetDocument()->GetThumbnail(1)->GetInfo()->aiWidth, 128) << "the stored size";
  std::vector<uint8_t> first;
  ASSERT_TRUE(testpics::ReadFileBytes(stored, &first));

  // Another leaf.png: No keeps the stored picture as it was.
  CreateDirectoryA(folder.File("other").c_str(), nullptr);
  const std::string second = Picture("other\\leaf.png", 30, 90, 90);
  Script refuse;
  refuse.answers = {Answer{"", IDNO}};
  int result = -1;
  WithAnswers(refuse, [&] { result = ctrl->ImportFile(second.c_str(), nullptr); });
  EXPECT_EQ(result, 0);
  ASSERT_EQ(refuse.texts.size(), 1u) << "one question";
  EXPECT_NE(refuse.texts[0].find("leaf.bmp"), std::string::npos) << refuse.texts[0];
  std::vector<uint8_t> after;
  ASSERT_TRUE(testpics::ReadFileBytes(stored, &after));
  EXPECT_EQ(after, first) << "the stored picture is untouched";

  // Yes replaces it, and the item stays one.
  Script agree;
  agree.answers = {Answer{"", IDYES}};
  WithAnswers(agree, [&] { result = ctrl->ImportFile(second.c_str(), nullptr); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(agree.texts.size(), 1u) << "asked once, not twice";
  ASSERT_TRUE(testpics::ReadFileBytes(stored, &after));
  EXPECT_NE(after, first);
  EXPECT_EQ(GetBrushCount(control), 1);
  EXPECT_EQ(ctrl->GetAlbum()->GetDocument()->GetThumbnail(1)->GetInfo()->aiWidth, 90);
  for (const std::string& entry : testpics::FolderEntries(brushFolder)) {
    EXPECT_EQ(entry.find(".tmp"), std::string::npos) << "left behind: " << entry;
  }
}

TEST_F(ResourceAlbumWindows, TextureImportWritesNothingBesideTheHost) {
  const std::vector<std::string> before = testpics::FolderEntries(HostFolder());
  HWND control = Make("TextureAlbumCtrl", "");
  const std::string source = Picture("stone.png", 120);
  ASSERT_EQ(Object(control)->ImportFile(source.c_str(), nullptr), 1);
  EXPECT_TRUE(SameFile(Object(control)->GetAlbum()->GetDocument()->GetThumbnail(1)->GetInfo()->aiPath, source));
  EXPECT_EQ(testpics::FolderEntries(HostFolder()), before);
}

TEST_F(ResourceAlbumWindows, AddingToAnAlbumNotYetOnDiskCreatesIt) {
  const std::string name = AlbumName("new");
  const std::string album = HostFolder() + name;
  const std::string good = Picture("dot.png", 90);
  const std::string bad = folder.File("bad.png");
  ASSERT_TRUE(testpics::WriteFileBytes(bad, {'n', 'o', 't'}));
  cleanup.push_back(HostFolder() + "stamps\\dot.bmp");
  cleanup.push_back(HostFolder() + "stamps\\bad.bmp");
  HWND control = Make("StampAlbumCtrl", name);

  Script one;
  one.answers = {Answer{good}};
  int result = -1;
  WithAnswers(one, [&] { result = AddItemToAbmCtrl(control); });
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(FileExists(album.c_str())) << "the first import creates the album";
  ASSERT_FALSE(one.fileTypes.empty()) << "the file dialog never showed";
  EXPECT_EQ(one.fileTypes.back(), "All Picture Files");
  EXPECT_NE(std::find(one.fileTypes.begin(), one.fileTypes.end(), "GIF (*.gif)"), one.fileTypes.end());

  // Two files where only the first imports: the album is saved all the same.
  Picture("dot2.png", 150);
  cleanup.push_back(HostFolder() + "stamps\\dot2.bmp");
  IsNoSupportPSDPCXGIF(0, 0, 1);
  Script two;
  two.answers = {Answer{"\"dot2.png\" \"bad.png\""}, Answer{"", IDOK}};
  WithAnswers(two, [&] { result = AddItemToAbmCtrl(control); });
  IsNoSupportPSDPCXGIF(0, 0, 0);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(std::find(two.fileTypes.begin(), two.fileTypes.end(), "GIF (*.gif)"), two.fileTypes.end())
      << "no GIF entry with the no-GIF option";
  EXPECT_EQ(two.texts.size(), 1u) << "the bad file is reported";
  int count = 0;
  void** pictures = nullptr;
  tagALBUMINFOHEADER** infos = nullptr;
  ASSERT_EQ(LoadAlbum(album.c_str(), &count, &pictures, &infos), 0);
  EXPECT_EQ(count, 2);
  for (int i = 0; i < count; ++i) {
    ToviMemFree(pictures[i]);
    ToviMemFree(infos[i]);
  }
  ToviMemFree(pictures);
  ToviMemFree(infos);
}

TEST_F(ResourceAlbumWindows, DamagedAlbumIsNeverOverwritten) {
  const std::string name = AlbumName("damaged");
  const std::vector<uint8_t> damaged = {'A', 'B', 'M', 0, 1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_TRUE(testpics::WriteFileBytes(HostFolder() + name, damaged));
  HWND control = Make("BrushAlbumCtrl", name);
  EXPECT_EQ(GetBrushCount(control), 0);
  Script script;
  script.answers = {Answer{"", IDOK}};
  int result = -1;
  WithAnswers(script, [&] { result = AddItemToAbmCtrl(control); });
  EXPECT_EQ(result, 0);
  ASSERT_EQ(script.texts.size(), 1u) << "a clear message, and no file dialog";
  EXPECT_NE(script.texts[0].find("cannot be read"), std::string::npos) << script.texts[0];
  std::vector<uint8_t> after;
  ASSERT_TRUE(testpics::ReadFileBytes(HostFolder() + name, &after));
  EXPECT_EQ(after, damaged);
}

TEST_F(ResourceAlbumWindows, TaggedItemsAreNotRemoved) {
  cleanup.push_back(HostFolder() + "brush\\plain.bmp");
  cleanup.push_back(HostFolder() + "brush\\tagged.bmp");
  HWND control = Make("BrushAlbumCtrl", AlbumName("tagged"));
  CBrushAlbumCtrl* ctrl = Object(control);
  ASSERT_EQ(ctrl->ImportFile(Picture("plain.png", 60).c_str(), nullptr), 1);
  ASSERT_EQ(ctrl->ImportFile(Picture("tagged.png", 160).c_str(), nullptr), 1);
  ASSERT_TRUE(TagBrushFile((HostFolder() + "brush\\tagged.bmp").c_str(), 7, 9));

  // The focused item is tagged.
  ASSERT_EQ(SetCurrentBrushSelection(control, 2), 1);
  Script none;
  int result = -1;
  WithAnswers(none, [&] { result = DeleteItemFromAbmCtrl(control); });
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(none.texts.empty()) << "no question, only a beep";
  EXPECT_EQ(GetBrushCount(control), 2);

  // The focus on the plain item, the tagged one selected as well.
  ctrl->GetAlbum()->GetACI()->avcSelect = 2;
  Click(CellOf(control, 1));
  Click(CellOf(control, 2), MK_CONTROL);
  ASSERT_EQ(GetCurrentBrushSelection(control), 1);
  WithAnswers(none, [&] { result = DeleteItemFromAbmCtrl(control); });
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(none.texts.empty()) << "no question while a selected item is protected";
  EXPECT_EQ(GetBrushCount(control), 2);
  EXPECT_TRUE(FileExists((HostFolder() + "brush\\tagged.bmp").c_str()));

  // The plain one alone goes after a Yes, with its stored picture; No keeps it.
  Click(CellOf(control, 1));
  Script no;
  no.answers = {Answer{"", IDNO}};
  WithAnswers(no, [&] { result = DeleteItemFromAbmCtrl(control); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(GetBrushCount(control), 2);
  Script yes;
  yes.answers = {Answer{"", IDYES}};
  WithAnswers(yes, [&] { result = DeleteItemFromAbmCtrl(control); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(GetBrushCount(control), 1);
  EXPECT_FALSE(FileExists((HostFolder() + "brush\\plain.bmp").c_str()));
}

TEST_F(ResourceAlbumWindows, RemovalThatCannotBeSavedKeepsTheStoredPicture) {
  const std::string name = AlbumName("readonly");
  const std::string stored = HostFolder() + "Shapes\\drop.bmp";
  cleanup.push_back(stored);
  HWND control = Make("ShapeAlbumCtrl", name);
  CBrushAlbumCtrl* ctrl = Object(control);
  ASSERT_EQ(ctrl->ImportFile(Picture("drop.png", 80).c_str(), nullptr), 1);
  ASSERT_EQ(ctrl->GetAlbum()->Save((HostFolder() + name).c_str()), 1);
  std::vector<uint8_t> saved;
  ASSERT_TRUE(testpics::ReadFileBytes(HostFolder() + name, &saved));
  SetFileAttributesA((HostFolder() + name).c_str(), FILE_ATTRIBUTE_READONLY);

  ASSERT_EQ(SetCurrentBrushSelection(control, 1), 1);
  Script yes;
  yes.answers = {Answer{"", IDYES}, Answer{"", IDOK}};
  int result = -1;
  WithAnswers(yes, [&] { result = DeleteItemFromAbmCtrl(control); });
  SetFileAttributesA((HostFolder() + name).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(yes.texts.size(), 2u) << "the question, then the failed save";
  EXPECT_TRUE(FileExists(stored.c_str())) << "the album on disk still names it";
  std::vector<uint8_t> after;
  ASSERT_TRUE(testpics::ReadFileBytes(HostFolder() + name, &after));
  EXPECT_EQ(after, saved);
}
