// Format lists in a combo box, and the picture file dialog driven the way a
// user would: the test finds the dialog from a timer, reads its file types,
// types names and presses OK or Cancel.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../platform/qil.h"
#include "TestPictures.h"

namespace {

// Common dialog control identifiers (dlgs.h).
constexpr int kFileTypeCombo = 0x470;  // cmb1
constexpr int kNameCombo = 0x47c;      // cmb13
constexpr int kNameEdit = 0x480;       // edt1

constexpr DWORD kAllMaskBits = QIL_FMT_BMP | QIL_FMT_JPEG | QIL_FMT_PNG | QIL_FMT_GIF |
                               QIL_FMT_PCX | QIL_FMT_PSD | QIL_FMT_TIFF | QIL_FMT_ICO;
// What the album passes with GIF, PCX and PSD switched off.
constexpr DWORD kAlbumMask = 0x0EC7;

std::vector<std::string> ComboTexts(HWND combo) {
  std::vector<std::string> texts;
  LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, i, 0);
    std::string text(length > 0 ? size_t(length) + 1 : 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(std::strlen(text.c_str()));
    texts.push_back(text);
  }
  return texts;
}

std::string Join(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& t : texts) joined += "[" + t + "]";
  return joined;
}

class ComboBox {
 public:
  explicit ComboBox(DWORD extraStyle = 0) {
    hwnd_ = CreateWindowExA(0, "COMBOBOX", "", WS_POPUP | CBS_DROPDOWNLIST | extraStyle, 0, 0,
                            300, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  ~ComboBox() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  ComboBox(const ComboBox&) = delete;
  ComboBox& operator=(const ComboBox&) = delete;
  HWND get() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;  // owned
};

TEST(FormatList, OffersAllPicturesThenEachAllowedFormat) {
  ComboBox combo;
  ASSERT_NE(combo.get(), nullptr);
  EXPECT_EQ(LoadFormatList(combo.get(), kAlbumMask | QIL_FMT_GIF, 0), 7);
  const std::vector<std::string> expected = {
      "All pictures",         "Windows bitmap (*.bmp;*.dib)", "JPEG (*.jpg;*.jpeg;*.jpe)",
      "PNG (*.png)",          "GIF (*.gif)",                  "TIFF (*.tif;*.tiff)",
      "Windows icon (*.ico)"};
  EXPECT_EQ(ComboTexts(combo.get()), expected) << "got " << Join(ComboTexts(combo.get()));

  EXPECT_EQ(LoadFormatList(combo.get(), kAlbumMask, 0), 6) << "refilling replaces the entries";
  for (const std::string& text : ComboTexts(combo.get())) {
    EXPECT_EQ(text.find("GIF"), std::string::npos) << "GIF listed without its mask bit";
  }
  LoadFormatList(combo.get(), QIL_FMT_PCX | QIL_FMT_PSD | QIL_FMT_JPEG, 0);
  EXPECT_EQ(ComboTexts(combo.get()),
            (std::vector<std::string>{"All pictures", "JPEG (*.jpg;*.jpeg;*.jpe)"}))
      << "PCX and PSD cannot be opened, so they are not offered; got "
      << Join(ComboTexts(combo.get()));
  EXPECT_EQ(LoadFormatList(nullptr, kAlbumMask, 0), 0) << "no combo box";
}

TEST(FormatList, SortedComboKeepsAllPicturesFirst) {
  ComboBox combo(CBS_SORT);
  LoadFormatList(combo.get(), kAllMaskBits, 0);
  std::vector<std::string> texts = ComboTexts(combo.get());
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts[0], "All pictures") << "got " << Join(texts);
}

TEST(FormatList, SelectedPatternIsUpperCaseAndBounded) {
  ComboBox combo;
  LoadFormatList(combo.get(), kAllMaskBits, 0);
  struct Case {
    int index;
    const char* pattern;
  };
  const Case cases[] = {{0, ""},           {1, "*.BMP;*.DIB"}, {2, "*.JPG;*.JPEG;*.JPE"},
                        {3, "*.PNG"},      {4, "*.GIF"},       {5, "*.TIF;*.TIFF"},
                        {6, "*.ICO"}};
  for (const Case& c : cases) {
    // The bound is QIL_FORMAT_STRING_MAX; the guard bytes after it must stay.
    char out[QIL_FORMAT_STRING_MAX + 16];
    std::memset(out, 'x', sizeof(out));
    SendMessageA(combo.get(), CB_SETCURSEL, c.index, 0);
    EXPECT_EQ(GetSelectFormatString(combo.get(), out), 1) << "entry " << c.index;
    EXPECT_STREQ(out, c.pattern) << "entry " << c.index;
    for (size_t i = QIL_FORMAT_STRING_MAX; i < sizeof(out); ++i) {
      ASSERT_EQ(out[i], 'x') << "entry " << c.index << ": byte " << i << " written";
    }
  }
  char out[QIL_FORMAT_STRING_MAX];
  std::memset(out, 'x', sizeof(out));
  SendMessageA(combo.get(), CB_SETCURSEL, WPARAM(-1), 0);
  EXPECT_EQ(GetSelectFormatString(combo.get(), out), 0) << "nothing selected";
  EXPECT_STREQ(out, "") << "nothing selected leaves an empty string";
  EXPECT_EQ(GetSelectFormatString(combo.get(), nullptr), 0) << "no output buffer";
}

// ---------------------------------------------------------------------------
// File dialog

// What the timer does to the dialog: choose a file type, type a name, press
// OK (or Cancel when the name is empty). Anything still open afterwards (a
// complaint box, or the dialog refusing the name) is cancelled, so a test
// can fail but never hang.
struct DialogScript {
  int typeIndex = -1;
  std::string typed;
  std::vector<std::string> typesSeen;
  bool acted = false;
  bool sawDialog = false;
};
DialogScript* g_script = nullptr;

BOOL CALLBACK TakeEnabledDialog(HWND hwnd, LPARAM param) {
  char cls[16] = {};
  GetClassNameA(hwnd, cls, sizeof(cls));
  if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND FindEnabledDialog() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), TakeEnabledDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

void CALLBACK DriveDialog(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = FindEnabledDialog();
  if (!dialog || !g_script) return;
  DialogScript& s = *g_script;
  if (s.acted) {
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  s.acted = true;
  s.sawDialog = true;
  HWND types = GetDlgItem(dialog, kFileTypeCombo);
  if (types) s.typesSeen = ComboTexts(types);
  if (s.typed.empty()) {
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  if (types && s.typeIndex >= 0) {
    SendMessageA(types, CB_SETCURSEL, s.typeIndex, 0);
    // What a user's choice sends: the dialog takes the new type on CBN_SELENDOK.
    for (WORD code : {WORD(CBN_SELCHANGE), WORD(CBN_SELENDOK)}) {
      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kFileTypeCombo, code),
                   reinterpret_cast<LPARAM>(types));
    }
  }
  HWND name = GetDlgItem(dialog, kNameCombo);
  if (!name) name = GetDlgItem(dialog, kNameEdit);
  SetWindowTextA(name, s.typed.c_str());
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

class FileDialog : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.ok());
    for (const char* name : {"a.png", "b.png"}) {
      ASSERT_TRUE(testpics::WritePicture(folder.File(name), testpics::FileFormat::Png,
                                         testpics::MakePhotoPixels(8, 8, false)));
    }
  }
  // Runs the open dialog on this thread with the script acting on it.
  int Run(DialogScript& script, char* buffer, int size, QILOPENOPTIONS* options,
          int formatIndex = 0, int mode = 1) {
    g_script = &script;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, DriveDialog);
    int result = QilGetFileName(nullptr, mode, formatIndex, "bmp", kAlbumMask | QIL_FMT_GIF,
                                buffer, size, 0x8026C, options, folder.path().c_str());
    KillTimer(nullptr, timer);
    g_script = nullptr;
    return result;
  }
  testpics::TempFolder folder;
};

TEST_F(FileDialog, SeveralNamesComeBackAsFolderThenNames) {
  ASSERT_EQ(QilDefineFilter(0, "Album pictures", "*.BMP;*.JPG;*.PNG"), 1);
  DialogScript script;
  script.typed = "\"a.png\" \"b.png\"";
  script.typeIndex = 3;  // PNG
  std::vector<char> buffer(10240, 'z');
  buffer[0] = '\0';
  QILOPENOPTIONS options{};
  options.dwReserved[3] = 77;
  int result = Run(script, buffer.data(), int(buffer.size()), &options);
  ASSERT_TRUE(script.sawDialog) << "the dialog never showed";
  const std::vector<std::string> expectedTypes = {
      "All pictures",         "Windows bitmap (*.bmp;*.dib)", "JPEG (*.jpg;*.jpeg;*.jpe)",
      "PNG (*.png)",          "GIF (*.gif)",                  "TIFF (*.tif;*.tiff)",
      "Windows icon (*.ico)", "Album pictures"};
  EXPECT_EQ(script.typesSeen, expectedTypes) << "got " << Join(script.typesSeen);
  ASSERT_EQ(result, 0);
  std::string first = buffer.data();
  EXPECT_EQ(_stricmp(first.c_str(), folder.path().c_str()), 0)
      << "expected the folder " << folder.path() << ", got " << first;
  const char* next = buffer.data() + first.size() + 1;
  EXPECT_STREQ(next, "a.png");
  next += std::strlen(next) + 1;
  EXPECT_STREQ(next, "b.png");
  next += std::strlen(next) + 1;
  EXPECT_STREQ(next, "") << "the list ends with an empty name";
  EXPECT_EQ(options.nMode, 1u);
  EXPECT_EQ(options.nFormatIndex, 3u) << "the file type chosen";
  EXPECT_EQ(options.dwReserved[3], 0u) << "the record is filled afresh";

  // The extra filter served that one dialog only.
  DialogScript again;
  Run(again, buffer.data(), int(buffer.size()), nullptr);
  ASSERT_TRUE(again.sawDialog);
  EXPECT_EQ(again.typesSeen.size(), expectedTypes.size() - 1) << "got " << Join(again.typesSeen);
}

TEST_F(FileDialog, OneNameComesBackAsOneFullPath) {
  DialogScript script;
  script.typed = "b.png";
  std::vector<char> buffer(10240, 'z');
  buffer[0] = '\0';
  QILOPENOPTIONS options{};
  ASSERT_EQ(Run(script, buffer.data(), int(buffer.size()), &options, 2), 0);
  std::string path = buffer.data();
  EXPECT_EQ(_stricmp(path.c_str(), folder.File("b.png").c_str()), 0)
      << "expected " << folder.File("b.png") << ", got " << path;
  EXPECT_EQ(buffer[path.size() + 1], '\0') << "an empty name closes the list";
  EXPECT_EQ(options.nFormatIndex, 2u) << "the format index offered stays chosen";

  HTOVIMEM picture = QilOpenFile(path.c_str(), 0, &options);
  EXPECT_NE(picture, nullptr) << "the filled record opens the chosen file";
  ToviMemFree(picture);
}

TEST_F(FileDialog, SaveModeAddsTheDefaultExtension) {
  DialogScript script;
  script.typed = "fresh";
  std::vector<char> buffer(1024, 'z');
  buffer[0] = '\0';
  ASSERT_EQ(Run(script, buffer.data(), int(buffer.size()), nullptr, 0, 2), 0);
  ASSERT_TRUE(script.sawDialog);
  EXPECT_EQ(_stricmp(buffer.data(), folder.File("fresh.bmp").c_str()), 0)
      << "expected " << folder.File("fresh.bmp") << ", got " << buffer.data();
}

TEST_F(FileDialog, CancelAndTooSmallBufferAreNegative) {
  DialogScript cancel;  // types nothing: presses Cancel
  std::vector<char> buffer(512, 'z');
  buffer[0] = '\0';
  QILOPENOPTIONS options{};
  EXPECT_LT(Run(cancel, buffer.data(), int(buffer.size()), &options), 0);
  EXPECT_TRUE(cancel.sawDialog);
  EXPECT_EQ(buffer[0], '\0') << "a cancelled dialog leaves no name";

  // Room for 12 bytes only; the guard bytes after them must stay untouched.
  DialogScript tooLong;
  tooLong.typed = "\"a.png\" \"b.png\"";
  std::vector<char> small(12 + 64, 'g');
  small[0] = '\0';
  EXPECT_LT(Run(tooLong, small.data(), 12, &options), 0);
  EXPECT_EQ(small[0], '\0') << "no half-written name is handed back";
  for (size_t i = 12; i < small.size(); ++i) {
    ASSERT_EQ(small[i], 'g') << "byte " << i << " past the buffer was written";
  }

  EXPECT_LT(QilGetFileName(nullptr, 1, 0, "bmp", kAlbumMask, nullptr, 100, 0x8026C, &options,
                           nullptr),
            0)
      << "no buffer";
}

}  // namespace
