// The shared album dialogs and the album chooser, run as the user meets
// them: each dialog and message box is answered by the test from a hook that
// sees it open, by typing into it and pressing its buttons.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "../components/resources/resource.h"
#include "../manager/AlbumCtrl.h"
#include "../manager/AlbumDialogs.h"
#include "../manager/AlbumMan.h"
#include "../manager/Module.h"
#include "../manager/ThreadRegistry.h"
#include "../platform/pixamo.h"
#include "../search/AlbumChooser.h"
#include "../views/Album.h"
#include "ItemFactory.h"
#include "support/TestPictures.h"

namespace {

std::string ResourceText(UINT id) {
  char text[300] = "";
  LoadStringA(GetResourceModule(), id, text, sizeof(text));
  return text;
}

std::string DialogText(HWND dialog, int control) {
  char text[MAX_PATH] = "";
  GetDlgItemTextA(dialog, control, text, sizeof(text));
  return text;
}

// Acts on the dialogs and message boxes of this thread as they open and
// close: a hook sees each dialog right after its initialisation and again
// when it is destroyed, outside any inner modal loop.
class DialogScript {
 public:
  std::function<void(HWND)> onOpen;
  std::function<void(HWND)> onClose;
  // Message boxes get their OK pressed and are recorded here.
  struct Box {
    std::string caption;
    std::string text;
  };
  std::vector<Box> boxes;

  DialogScript() {
    current_ = this;
    hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, &DialogScript::Hook, nullptr, GetCurrentThreadId());
  }
  ~DialogScript() {
    UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  static void Click(HWND dialog, int control) { PostMessageA(GetDlgItem(dialog, control), BM_CLICK, 0, 0); }

 private:
  // Our templates' labels share the message text's identifier 0xFFFF.
  static bool IsBox(HWND window) {
    for (int ours : {IDC_NEW_ALBUM_NAME, IDC_CHOOSER_ALBUM_LIST, IDC_SORT_BY_NAME, IDC_REMOVE_KEEP_FILES}) {
      if (GetDlgItem(window, ours)) return false;
    }
    return GetDlgItem(window, 0xFFFF) != nullptr;
  }
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    const CWPRETSTRUCT* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    DialogScript* self = current_;
    if (code == HC_ACTION && self) {
      if (sent->message == WM_INITDIALOG) {
        if (IsBox(sent->hwnd)) {
          char caption[64] = "";
          GetWindowTextA(sent->hwnd, caption, sizeof(caption));
          self->boxes.push_back(Box{caption, DialogText(sent->hwnd, 0xFFFF)});
          PostMessageA(sent->hwnd, WM_COMMAND, IDOK, 0);
        } else if (self->onOpen) {
          self->onOpen(sent->hwnd);
        }
      } else if (sent->message == WM_DESTROY && self->onClose && GetDlgItem(sent->hwnd, IDOK)) {
        self->onClose(sent->hwnd);
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  inline static DialogScript* current_ = nullptr;
  HHOOK hook_ = nullptr;
};

void WriteFile(const std::string& path, const char* bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class AlbumDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    ASSERT_TRUE(SetNewAlbumName(""));
    SetSearchOpen(0);
    untitled_ = ResourceText(IDS_UNTITLED_ALBUM);
    ASSERT_FALSE(untitled_.empty());
  }
  void TearDown() override { SetSearchOpen(0); }

  // The name check with messages on; returns its result and the buffer.
  int Check(const std::string& name, std::string* after = nullptr) {
    char buffer[MAX_PATH] = "";
    snprintf(buffer, sizeof(buffer), "%s", name.c_str());
    int result = ValidateAlbumName(nullptr, folder_.path().c_str(), buffer, 1);
    if (after) *after = buffer;
    return result;
  }

  testpics::TempFolder folder_;
  std::string untitled_;
};

TEST_F(AlbumDialogsTest, NameCheckRefusesWithOneMessageEach) {
  WriteFile(folder_.File("Holiday.abm"), "kept");
  std::vector<std::pair<std::string, UINT>> cases = {
      {"Holiday", IDS_ALBUM_NAME_EXISTS},       {"holiday.ABM", IDS_ALBUM_NAME_EXISTS},
      {untitled_, IDS_ALBUM_NAME_RESERVED},     {"<new ALBUM>", IDS_ALBUM_NAME_RESERVED},
      {"   ", IDS_INVALID_ALBUM_NAME},          {".abm", IDS_INVALID_ALBUM_NAME},
      {"..\\escaped", IDS_INVALID_ALBUM_NAME}, {"tab\there", IDS_INVALID_ALBUM_NAME},
      {"con", IDS_INVALID_ALBUM_NAME},          {"LPT1.old", IDS_INVALID_ALBUM_NAME},
  };
  for (const char* c = "\\/:*?\"<>|"; *c; ++c) cases.push_back({std::string("a") + *c + "b", IDS_INVALID_ALBUM_NAME});
  for (const auto& [name, textId] : cases) {
    DialogScript script;
    std::string after;
    EXPECT_EQ(Check(name, &after), 0) << "'" << name << "' was accepted";
    ASSERT_EQ(script.boxes.size(), 1u) << "'" << name << "': expected one message, got " << script.boxes.size();
    EXPECT_EQ(script.boxes[0].text, ResourceText(textId)) << "'" << name << "'";
    EXPECT_EQ(script.boxes[0].caption, ResourceText(IDS_CAPTION_ALBUM));
    EXPECT_EQ(after, name) << "a refused name is left as it was";
  }
  DialogScript script;
  char buffer[MAX_PATH] = "Holiday";
  EXPECT_EQ(ValidateAlbumName(nullptr, folder_.path().c_str(), buffer, 0), 0);
  EXPECT_TRUE(script.boxes.empty()) << "without messages nothing is shown";
  EXPECT_EQ(ValidateAlbumName(nullptr, folder_.File("missing").c_str(), buffer, 0), 0) << "a folder that cannot take it";

  EXPECT_EQ(ReadFile(folder_.File("Holiday.abm")), "kept") << "the existing album is untouched";
  EXPECT_EQ(testpics::FolderEntries(folder_.path()), std::vector<std::string>{"Holiday.abm"}) << "nothing is left on disk";
  EXPECT_EQ(GetFileAttributesA((folder_.path() + "\\..\\escaped.abm").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_STREQ(GetNewAlbumName(), "") << "no refusal sets the new album's name";
}

TEST_F(AlbumDialogsTest, NameCheckGivesTheFileNameWithinItsBuffers) {
  std::string after;
  EXPECT_EQ(Check("my.trip", &after), 1);
  EXPECT_EQ(after, "my.trip.abm");
  EXPECT_STREQ(GetNewAlbumName(), "my.trip.abm");
  EXPECT_EQ(Check("Summer.abm", &after), 1) << "a name given with its extension";
  EXPECT_EQ(after, "Summer.abm");

  // A name that fits the buffer but not with ".abm" after it, followed by a
  // guard that an overflowing append would overwrite.
  struct {
    char name[MAX_PATH];
    char guard[8];
  } held;
  memset(held.name, 'n', sizeof(held.name) - 3);
  held.name[sizeof(held.name) - 3] = '\0';
  memcpy(held.guard, "GUARDED", sizeof(held.guard));
  EXPECT_EQ(ValidateAlbumName(nullptr, "C:\\", held.name, 0), 0);
  EXPECT_STREQ(held.guard, "GUARDED");
  // Short enough for a file name, too long once the folder is put before it.
  EXPECT_EQ(ValidateAlbumName(nullptr, folder_.path().c_str(), held.name + 10, 0), 0);
  EXPECT_TRUE(testpics::FolderEntries(folder_.path()).empty()) << "the probe file is removed again";
}

TEST_F(AlbumDialogsTest, NewAlbumDialogAcceptsAProposalAtOnceUnlessASearchIsOpen) {
  DialogScript script;
  std::string shown = "<not shown>";
  // The hook sees WM_INITDIALOG return; a dialog that accepted has ended by
  // then and the Cancel pressed after it is lost, one that waits gives 0.
  script.onOpen = [&](HWND dialog) {
    shown = DialogText(dialog, IDC_NEW_ALBUM_NAME);
    DialogScript::Click(dialog, IDCANCEL);
  };
  for (const char* proposal : {"Spring", "Spring.abm"}) {
    ASSERT_TRUE(SetNewAlbumName(proposal));
    EXPECT_EQ(RunNewAlbumDialog(nullptr, folder_.path().c_str()), 1) << proposal;
    EXPECT_STREQ(GetNewAlbumName(), "Spring.abm") << "the buffer holds the file name to use as it is";
  }
  SetSearchOpen(1);
  ASSERT_TRUE(SetNewAlbumName("Autumn"));
  EXPECT_EQ(RunNewAlbumDialog(nullptr, folder_.path().c_str()), 0) << "an acceptable proposal still waits";
  EXPECT_EQ(shown, "");
  EXPECT_STREQ(GetNewAlbumName(), "Autumn");
  EXPECT_TRUE(script.boxes.empty());
  EXPECT_TRUE(testpics::FolderEntries(folder_.path()).empty());
}

TEST_F(AlbumDialogsTest, NewAlbumDialogOkChecksTheTypedName) {
  WriteFile(folder_.File("Holiday.abm"), "kept");
  DialogScript script;
  HWND open = nullptr;
  int limit = 0;
  std::string proposed = "<unread>";
  script.onOpen = [&](HWND dialog) {
    open = dialog;
    limit = static_cast<int>(SendDlgItemMessageA(dialog, IDC_NEW_ALBUM_NAME, EM_GETLIMITTEXT, 0, 0));
    proposed = DialogText(dialog, IDC_NEW_ALBUM_NAME);
    SetDlgItemTextA(dialog, IDC_NEW_ALBUM_NAME, "Holiday");
    DialogScript::Click(dialog, IDOK);
  };
  // The refusal's box has closed: the dialog is still there for a new name.
  bool stayedOpen = false;
  script.onClose = [&](HWND dialog) {
    if (dialog == open || !IsWindow(open)) return;
    stayedOpen = true;
    SetDlgItemTextA(open, IDC_NEW_ALBUM_NAME, "Winter");
    DialogScript::Click(open, IDOK);
  };
  ASSERT_TRUE(SetNewAlbumName("Holiday.abm"));  // proposed, but taken already
  EXPECT_EQ(RunNewAlbumDialog(nullptr, folder_.path().c_str()), 1);
  EXPECT_EQ(proposed, "Holiday") << "the proposal is shown as the album's name";
  EXPECT_EQ(limit, 64);
  ASSERT_EQ(script.boxes.size(), 1u);
  EXPECT_EQ(script.boxes[0].text, ResourceText(IDS_ALBUM_NAME_EXISTS));
  EXPECT_TRUE(stayedOpen);
  EXPECT_STREQ(GetNewAlbumName(), "Winter.abm");
  EXPECT_EQ(testpics::FolderEntries(folder_.path()), std::vector<std::string>{"Holiday.abm"});
}

TEST_F(AlbumDialogsTest, SortAndRemoveDialogsKeepTheLastChoice) {
  SetSortChoice(0, 0);
  DialogScript script;
  script.onOpen = [](HWND dialog) {
    for (int id : {IDC_SORT_BY_DATE, IDC_SORT_DESCENDING, IDOK}) DialogScript::Click(dialog, id);
  };
  EXPECT_EQ(RunSortDialog(nullptr), 1);
  EXPECT_EQ(GetSortKey(), 3);
  EXPECT_EQ(GetSortDescending(), 1);

  std::vector<int> checked;
  int modalDepth = -1;
  script.onOpen = [&](HWND dialog) {
    modalDepth = IsLockedForModal();
    for (int id = IDC_SORT_DESCENDING; id <= IDC_SORT_BY_DESCRIPTION; ++id) {
      if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) checked.push_back(id);
    }
    for (int id : {IDC_SORT_BY_SIZE, IDC_SORT_DESCENDING, IDOK}) DialogScript::Click(dialog, id);
  };
  EXPECT_EQ(RunSortDialog(nullptr), 1);
  EXPECT_GE(modalDepth, 1) << "the dialog runs inside the modal bracket";
  EXPECT_EQ(checked, (std::vector<int>{IDC_SORT_DESCENDING, IDC_SORT_BY_DATE}));
  EXPECT_EQ(GetSortKey(), 2);
  EXPECT_EQ(GetSortDescending(), 0);

  bool keepOffered = false;
  script.onOpen = [&](HWND dialog) {
    keepOffered = IsDlgButtonChecked(dialog, IDC_REMOVE_KEEP_FILES) == BST_CHECKED;
    for (int id : {IDC_REMOVE_DELETE_FILES, IDOK}) DialogScript::Click(dialog, id);
  };
  EXPECT_EQ(RunRemoveChoiceDialog(nullptr), 1);
  EXPECT_TRUE(keepOffered) << "keeping the files is checked when the dialog opens";
  EXPECT_EQ(GetDeleteMode(), 0) << "the files go as well";
  script.onOpen = [](HWND dialog) { DialogScript::Click(dialog, IDOK); };
  EXPECT_EQ(RunRemoveChoiceDialog(nullptr), 1);
  EXPECT_EQ(GetDeleteMode(), 1) << "only the items go";
  script.onOpen = [](HWND dialog) {
    for (int id : {IDC_REMOVE_DELETE_FILES, IDCANCEL}) DialogScript::Click(dialog, id);
  };
  EXPECT_EQ(RunRemoveChoiceDialog(nullptr), 0);
  EXPECT_EQ(GetDeleteMode(), 1) << "Cancel keeps the mode";
}

class AlbumChooserTest : public AlbumDialogsTest {
 protected:
  void SetUp() override {
    AlbumDialogsTest::SetUp();
    for (const char* name : {"b.abm", "A.abm", "c.abm", "my.trip.abm", "notes.txt"}) WriteFile(folder_.File(name), "x");
    ASSERT_EQ(InitCurUserPath(folder_.path().c_str()), static_cast<int>(folder_.path().size()) + 1);
  }

  // Runs the chooser; the script reads the list, its selection and the
  // title, then presses the buttons.
  int Choose(char* result, int allowNew, const char* title, int mode, std::vector<int> buttons = {IDOK},
             const std::string& folder = "") {
    DialogScript script;
    script.onOpen = [&](HWND dialog) {
      HWND list = GetDlgItem(dialog, IDC_CHOOSER_ALBUM_LIST);
      entries.clear();
      for (int i = 0; i < static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0)); ++i) {
        char text[MAX_PATH] = "";
        SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
      }
      size_t selected = static_cast<size_t>(SendMessageA(list, CB_GETCURSEL, 0, 0));
      selection = selected < entries.size() ? entries[selected] : "<none>";
      char text[MAX_PATH] = "";
      GetWindowTextA(dialog, text, sizeof(text));
      caption = text;
      modalDepth = IsLockedForModal();
      for (int button : buttons) DialogScript::Click(dialog, button);
    };
    return ChooseAlbum(nullptr, (folder.empty() ? folder_.path() : folder).c_str(), result, allowNew, title, mode);
  }

  void SetLastOpen(const char* name) {
    ASSERT_TRUE(WritePrivateProfileStringA("Context", "LastOpen", name, folder_.File("album.ini").c_str()));
  }

  std::vector<std::string> entries;
  std::string selection;
  std::string caption;
  int modalDepth = -1;
};

TEST_F(AlbumChooserTest, ListsAlbumsInNameOrderUnderTheLastTitle) {
  char result[MAX_PATH] = "untouched";
  EXPECT_EQ(Choose(result, 0, "Pick an Album", 0, {IDCANCEL}), 0);
  EXPECT_EQ(entries, (std::vector<std::string>{"A", "b", "c", "my.trip"}));
  EXPECT_STREQ(result, "untouched") << "Cancel returns nothing";
  EXPECT_GE(modalDepth, 1) << "the chooser runs inside the modal bracket";
  EXPECT_EQ(caption, "Pick an Album");

  EXPECT_EQ(Choose(result, 1, nullptr, 0), 1);
  EXPECT_EQ(entries, (std::vector<std::string>{untitled_, "A", "b", "c", "my.trip"}));
  EXPECT_EQ(result, untitled_) << "entry 0 is chosen and returned";
  EXPECT_EQ(caption, "Pick an Album") << "a title is kept for later choosers";
  EXPECT_EQ(Choose(result, 0, "", 0, {IDCANCEL}), 0);
  EXPECT_EQ(caption, "Pick an Album");
}

TEST_F(AlbumChooserTest, PreselectsByMode) {
  char result[MAX_PATH] = "";
  SetLastOpen("C");
  EXPECT_EQ(Choose(result, 1, nullptr, 1), 1);
  EXPECT_EQ(selection, "c") << "the last opened album, found ignoring case";
  EXPECT_STREQ(result, "c");

  SetLastOpen("deleted");
  EXPECT_EQ(Choose(result, 0, nullptr, 1), 1);
  EXPECT_EQ(selection, "A") << "an album that is gone selects entry 0";

  SetLastOpen("my.trip");
  EXPECT_EQ(Choose(result, 0, nullptr, 1), 1);
  EXPECT_STREQ(result, "my.trip") << "a dotted name comes back whole";

  EXPECT_EQ(Choose(result, 1, nullptr, 3), 1);
  EXPECT_EQ(selection, untitled_);
  EXPECT_EQ(Choose(result, 0, nullptr, 7), 1);
  EXPECT_EQ(selection, "A");

  // The active manager of this thread shows b.abm.
  DeleteFileA(folder_.File("b.abm").c_str());
  CAlbumDoc2 document;
  document.Insert(MakeItem(ItemSpec("C:\\a.jpg")), nullptr);
  ASSERT_NE(document.Save(folder_.File("b.abm").c_str()), 0);
  HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  {
    CAlbumCtrl control;
    CAlbumMan manager;
    ASSERT_NE(control.CALbumCtrl(parent, "ManDlgAlbumCtrl", RECT{0, 0, 300, 200}), 0);
    ASSERT_NE(control.GetAlbum(), nullptr);
    control.GetAlbum()->GetDocument()->SetAutoCheck(0);
    ASSERT_EQ(control.GetAlbum()->Load(folder_.File("b.abm").c_str()), 1);
    manager.m_hWnd = parent;
    manager.m_pAlbumCtrl = &control;
    CThreadRegistry* registry = GetThreadRegistry();
    ASSERT_NE(registry, nullptr);
    ASSERT_EQ(registry->AddManager(GetCurrentThreadId(), &manager), 1);
    registry->SetActiveManager(GetCurrentThreadId(), parent);
    EXPECT_EQ(Choose(result, 1, nullptr, 2), 1);
    EXPECT_EQ(selection, "b") << "the active album";
    registry->RemoveManager(GetCurrentThreadId(), &manager);
  }
  DestroyWindow(parent);

  EXPECT_EQ(Choose(result, 1, nullptr, 2), 1);
  EXPECT_EQ(selection, untitled_) << "without an active album, entry 0";
}

TEST_F(AlbumChooserTest, RefusesOkOnAnEmptyList) {
  testpics::TempFolder empty;
  ASSERT_TRUE(empty.ok());
  char result[MAX_PATH] = "untouched";
  // Cancel is pressed after OK: it is reached only when OK left the dialog open.
  EXPECT_EQ(Choose(result, 0, nullptr, 0, {IDOK, IDCANCEL}, empty.path()), 0) << "OK was accepted";
  EXPECT_TRUE(entries.empty());
  EXPECT_STREQ(result, "untouched") << "the folder is no album name";
  EXPECT_EQ(Choose(result, 1, nullptr, 0, {IDOK}, empty.path()), 1) << "the new album can be chosen";
  EXPECT_EQ(result, untitled_);
}

}  // namespace
