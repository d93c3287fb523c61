// The shared album dialogs and the album chooser, run as the user meets
// them: each dialog and message box is answered by the test from a hook that
// sees it open, by typing into it and pressing its buttons.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <functional>
#include <memory>
#include <set>
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
  bool IsBox(HWND window) {
    char name[32] = "";
    GetClassNameA(window, name, sizeof(name));
    return strcmp(name, "#32770") == 0 && GetDlgItem(window, 0xFFFF) && !GetDlgItem(window, IDC_NEW_ALBUM_NAME) &&
           !GetDlgItem(window, IDC_CHOOSER_ALBUM_LIST) && !GetDlgItem(window, IDC_SORT_BY_NAME) &&
           !GetDlgItem(window, IDC_REMOVE_KEEP_FILES);
  }
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    const CWPRETSTRUCT* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    DialogScript* self = current_;
    if (code == HC_ACTION && self) {
      if (sent->message == WM_INITDIALOG) {
        if (self->IsBox(sent->hwnd)) {
          char text[512] = "";
          GetWindowTextA(sent->hwnd, text, sizeof(text));
          Box box{text, ""};
          GetDlgItemTextA(sent->hwnd, 0xFFFF, text, sizeof(text));
          box.text = text;
          self->boxes.push_back(box);
          PostMessageA(sent->hwnd, WM_COMMAND, IDOK, 0);
        } else if (self->onOpen) {
          self->onOpen(sent->hwnd);
        }
      } else if (sent->message == WM_DESTROY && self->onClose) {
        char name[32] = "";
        GetClassNameA(sent->hwnd, name, sizeof(name));
        if (strcmp(name, "#32770") == 0) self->onClose(sent->hwnd);
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  inline static DialogScript* current_ = nullptr;
  HHOOK hook_ = nullptr;
};

std::vector<std::string> ListFiles(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (strcmp(found.cFileName, ".") && strcmp(found.cFileName, "..")) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

void WriteFile(const std::string& path, const char* bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  fputs(bytes, file);
  fclose(file);
}

std::string ReadFile(const std::string& path) {
  std::string bytes;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return "<missing>";
  char chunk[256];
  size_t n;
  while ((n = fread(chunk, 1, sizeof(chunk), file)) > 0) bytes.append(chunk, n);
  fclose(file);
  return bytes;
}

std::vector<std::string> ComboEntries(HWND dialog) {
  std::vector<std::string> entries;
  HWND list = GetDlgItem(dialog, IDC_CHOOSER_ALBUM_LIST);
  int count = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char text[MAX_PATH] = "";
    SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    entries.push_back(text);
  }
  return entries;
}

std::string ComboSelection(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_CHOOSER_ALBUM_LIST);
  LRESULT index = SendMessageA(list, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return "<none>";
  char text[MAX_PATH] = "";
  SendMessageA(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  return text;
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
  struct Case {
    std::string name;
    UINT text;
  };
  const Case cases[] = {
      {"Holiday", IDS_ALBUM_NAME_EXISTS},
      {"holiday.ABM", IDS_ALBUM_NAME_EXISTS},
      {untitled_, IDS_ALBUM_NAME_RESERVED},
      {"<new ALBUM>", IDS_ALBUM_NAME_RESERVED},
      {"   ", IDS_INVALID_ALBUM_NAME},
      {"", IDS_INVALID_ALBUM_NAME},
      {".abm", IDS_INVALID_ALBUM_NAME},
      {"..\\escaped", IDS_INVALID_ALBUM_NAME},
      {"sub/escaped", IDS_INVALID_ALBUM_NAME},
      {"C:escaped", IDS_INVALID_ALBUM_NAME},
      {"what?", IDS_INVALID_ALBUM_NAME},
      {"star*", IDS_INVALID_ALBUM_NAME},
      {"say \"hi\"", IDS_INVALID_ALBUM_NAME},
      {"a<b>c", IDS_INVALID_ALBUM_NAME},
      {"pipe|d", IDS_INVALID_ALBUM_NAME},
      {"tab\there", IDS_INVALID_ALBUM_NAME},
      {"con", IDS_INVALID_ALBUM_NAME},
      {"LPT1.old", IDS_INVALID_ALBUM_NAME},
  };
  for (const Case& c : cases) {
    DialogScript script;
    std::string after;
    EXPECT_EQ(Check(c.name, &after), 0) << "'" << c.name << "' was accepted";
    ASSERT_EQ(script.boxes.size(), 1u) << "'" << c.name << "': expected one message, got " << script.boxes.size();
    EXPECT_EQ(script.boxes[0].text, ResourceText(c.text)) << "'" << c.name << "'";
    EXPECT_EQ(script.boxes[0].caption, ResourceText(IDS_CAPTION_ALBUM));
    EXPECT_EQ(after, c.name) << "a refused name is left as it was";
  }
  {
    DialogScript script;
    char buffer[MAX_PATH] = "Holiday";
    EXPECT_EQ(ValidateAlbumName(nullptr, folder_.path().c_str(), buffer, 0), 0);
    EXPECT_TRUE(script.boxes.empty()) << "without messages nothing is shown";
  }
  {
    DialogScript script;
    char buffer[MAX_PATH] = "Fine";
    std::string missing = folder_.File("no such folder");
    EXPECT_EQ(ValidateAlbumName(nullptr, missing.c_str(), buffer, 1), 0) << "a folder that cannot take the file";
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].text, ResourceText(IDS_INVALID_ALBUM_NAME));
  }
  EXPECT_EQ(ReadFile(folder_.File("Holiday.abm")), "kept") << "the existing album is untouched";
  EXPECT_EQ(ListFiles(folder_.path()), std::vector<std::string>{"Holiday.abm"}) << "nothing is left on disk";
  EXPECT_EQ(GetFileAttributesA((folder_.path() + "\\..\\escaped.abm").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_STREQ(GetNewAlbumName(), "") << "no refusal sets the new album's name";
}

TEST_F(AlbumDialogsTest, NameCheckKeepsToItsBuffers) {
  // A name that fits the buffer but not with ".abm" after it, followed by a
  // guard that an overflowing append would overwrite.
  struct {
    char name[MAX_PATH];
    char guard[8];
  } held;
  memset(held.name, 'n', sizeof(held.name) - 3);
  held.name[sizeof(held.name) - 3] = '\0';
  memcpy(held.guard, "GUARDED", sizeof(held.guard));
  DialogScript script;
  EXPECT_EQ(ValidateAlbumName(nullptr, "C:\\", held.name, 0), 0);
  EXPECT_STREQ(held.guard, "GUARDED");
  EXPECT_EQ(strlen(held.name), sizeof(held.name) - 3);

  // Short enough for a file name, too long once the folder is put before it.
  std::string name(MAX_PATH - 10, 'x');
  EXPECT_EQ(Check(name), 0);
  ASSERT_EQ(script.boxes.size(), 1u);
  EXPECT_EQ(script.boxes[0].text, ResourceText(IDS_INVALID_ALBUM_NAME));
  EXPECT_TRUE(ListFiles(folder_.path()).empty());
}

TEST_F(AlbumDialogsTest, NameCheckGivesTheFileName) {
  DialogScript script;
  std::string after;
  EXPECT_EQ(Check("my.trip", &after), 1);
  EXPECT_EQ(after, "my.trip.abm");
  EXPECT_STREQ(GetNewAlbumName(), "my.trip.abm");
  EXPECT_EQ(Check("Summer.abm", &after), 1) << "a name given with its extension";
  EXPECT_EQ(after, "Summer.abm");
  EXPECT_EQ(Check("Beach day. 2002", &after), 1);
  EXPECT_EQ(after, "Beach day. 2002.abm");
  EXPECT_TRUE(script.boxes.empty());
  EXPECT_TRUE(ListFiles(folder_.path()).empty()) << "the probe file is removed again";
}

TEST_F(AlbumDialogsTest, NewAlbumDialogAcceptsAProposedNameAtOnce) {
  for (const char* proposal : {"Spring", "Spring.abm"}) {
    ASSERT_TRUE(SetNewAlbumName(proposal));
    DialogScript script;
    // The hook sees WM_INITDIALOG return, and by then an accepted dialog has
    // ended: pressing Cancel after that changes nothing, while a dialog that
    // waited would give 0.
    script.onOpen = [](HWND dialog) { DialogScript::Click(dialog, IDCANCEL); };
    EXPECT_EQ(RunNewAlbumDialog(nullptr, folder_.path().c_str()), 1) << proposal;
    EXPECT_STREQ(GetNewAlbumName(), "Spring.abm") << "the buffer holds the file name to use as it is";
    EXPECT_TRUE(script.boxes.empty());
  }
  EXPECT_TRUE(ListFiles(folder_.path()).empty());
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
    char text[MAX_PATH] = "";
    GetDlgItemTextA(dialog, IDC_NEW_ALBUM_NAME, text, sizeof(text));
    proposed = text;
    SetDlgItemTextA(dialog, IDC_NEW_ALBUM_NAME, "Holiday");
    DialogScript::Click(dialog, IDOK);
  };
  // The refusal's box has closed: the dialog is still there for a new name.
  bool stayedOpen = false;
  script.onClose = [&](HWND dialog) {
    if (dialog != open && IsWindow(open)) {
      stayedOpen = true;
      SetDlgItemTextA(open, IDC_NEW_ALBUM_NAME, "Winter");
      DialogScript::Click(open, IDOK);
    }
  };
  ASSERT_TRUE(SetNewAlbumName("Holiday.abm"));  // proposed, but taken already
  EXPECT_EQ(RunNewAlbumDialog(nullptr, folder_.path().c_str()), 1);
  EXPECT_EQ(proposed, "Holiday") << "the proposal is shown as the album's name";
  EXPECT_EQ(limit, 64);
  ASSERT_EQ(script.boxes.size(), 1u);
  EXPECT_EQ(script.boxes[0].text, ResourceText(IDS_ALBUM_NAME_EXISTS));
  EXPECT_TRUE(stayedOpen);
  EXPECT_STREQ(GetNewAlbumName(), "Winter.abm");
  EXPECT_EQ(ListFiles(folder_.path()), std::vector<std::string>{"Holiday.abm"});

  script.onClose = nullptr;
  script.onOpen = [](HWND dialog) { DialogScript::Click(dialog, IDCANCEL); };
  ASSERT_TRUE(SetNewAlbumName(""));
  EXPECT_EQ(RunNewAlbumDialog(nullptr, folder_.path().c_str()), 0) << "an empty proposal waits; Cancel gives 0";
}

TEST_F(AlbumDialogsTest, NewAlbumDialogWaitsWhileASearchIsOpen) {
  SetSearchOpen(1);
  ASSERT_TRUE(SetNewAlbumName("Autumn"));
  DialogScript script;
  std::string shown = "<not shown>";
  script.onOpen = [&](HWND dialog) {
    char text[MAX_PATH] = "";
    GetDlgItemTextA(dialog, IDC_NEW_ALBUM_NAME, text, sizeof(text));
    shown = text;
    DialogScript::Click(dialog, IDCANCEL);
  };
  EXPECT_EQ(RunNewAlbumDialog(nullptr, folder_.path().c_str()), 0) << "an acceptable proposal still waits";
  EXPECT_EQ(shown, "");
  EXPECT_STREQ(GetNewAlbumName(), "Autumn");
}

TEST_F(AlbumDialogsTest, SortDialogShowsAndKeepsTheLastChoice) {
  SetSortChoice(0, 0);
  DialogScript script;
  script.onOpen = [](HWND dialog) {
    DialogScript::Click(dialog, IDC_SORT_BY_DATE);
    DialogScript::Click(dialog, IDC_SORT_DESCENDING);
    DialogScript::Click(dialog, IDOK);
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
    DialogScript::Click(dialog, IDC_SORT_BY_NAME);
    DialogScript::Click(dialog, IDC_SORT_DESCENDING);
    DialogScript::Click(dialog, IDCANCEL);
  };
  EXPECT_EQ(RunSortDialog(nullptr), 0);
  EXPECT_GE(modalDepth, 1) << "the dialog runs inside the modal bracket";
  EXPECT_EQ(checked, (std::vector<int>{IDC_SORT_DESCENDING, IDC_SORT_BY_DATE}));
  EXPECT_EQ(GetSortKey(), 3) << "Cancel keeps the choice";
  EXPECT_EQ(GetSortDescending(), 1);

  script.onOpen = [](HWND dialog) {
    DialogScript::Click(dialog, IDC_SORT_BY_SIZE);
    DialogScript::Click(dialog, IDC_SORT_DESCENDING);
    DialogScript::Click(dialog, IDOK);
  };
  EXPECT_EQ(RunSortDialog(nullptr), 1);
  EXPECT_EQ(GetSortKey(), 2);
  EXPECT_EQ(GetSortDescending(), 0);
}

TEST_F(AlbumDialogsTest, RemoveChoiceDialogSetsTheDeleteMode) {
  DialogScript script;
  bool keepOffered = false;
  script.onOpen = [&](HWND dialog) {
    keepOffered = IsDlgButtonChecked(dialog, IDC_REMOVE_KEEP_FILES) == BST_CHECKED &&
                  IsDlgButtonChecked(dialog, IDC_REMOVE_DELETE_FILES) == BST_UNCHECKED;
    DialogScript::Click(dialog, IDC_REMOVE_DELETE_FILES);
    DialogScript::Click(dialog, IDOK);
  };
  EXPECT_EQ(RunRemoveChoiceDialog(nullptr), 1);
  EXPECT_TRUE(keepOffered) << "keeping the files is checked when the dialog opens";
  EXPECT_EQ(GetDeleteMode(), 0) << "the files go as well";

  script.onOpen = [](HWND dialog) { DialogScript::Click(dialog, IDOK); };
  EXPECT_EQ(RunRemoveChoiceDialog(nullptr), 1);
  EXPECT_EQ(GetDeleteMode(), 1) << "only the items go";

  script.onOpen = [](HWND dialog) {
    DialogScript::Click(dialog, IDC_REMOVE_DELETE_FILES);
    DialogScript::Click(dialog, IDCANCEL);
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

  // Runs the chooser; the script reads the list and its selection, then
  // presses the given button.
  int Choose(char* result, int allowNew, const char* title, int mode, int button = IDOK) {
    DialogScript script;
    script.onOpen = [&](HWND dialog) {
      entries = ComboEntries(dialog);
      selection = ComboSelection(dialog);
      char text[MAX_PATH] = "";
      GetWindowTextA(dialog, text, sizeof(text));
      caption = text;
      modalDepth = IsLockedForModal();
      DialogScript::Click(dialog, button);
    };
    return ChooseAlbum(nullptr, folder_.path().c_str(), result, allowNew, title, mode);
  }

  void SetLastOpen(const char* name) {
    ASSERT_TRUE(WritePrivateProfileStringA("Context", "LastOpen", name, folder_.File("album.ini").c_str()));
  }

  std::vector<std::string> entries;
  std::string selection;
  std::string caption;
  int modalDepth = -1;
};

TEST_F(AlbumChooserTest, ListsAlbumsInNameOrder) {
  char result[MAX_PATH] = "untouched";
  EXPECT_EQ(Choose(result, 0, nullptr, 0, IDCANCEL), 0);
  EXPECT_EQ(entries, (std::vector<std::string>{"A", "b", "c", "my.trip"}));
  EXPECT_STREQ(result, "untouched") << "Cancel returns nothing";
  EXPECT_GE(modalDepth, 1) << "the chooser runs inside the modal bracket";

  EXPECT_EQ(Choose(result, 1, nullptr, 0), 1);
  EXPECT_EQ(entries, (std::vector<std::string>{untitled_, "A", "b", "c", "my.trip"}));
  EXPECT_EQ(result, untitled_) << "entry 0 is chosen and returned";
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

TEST_F(AlbumChooserTest, KeepsATitleForLaterCalls) {
  char result[MAX_PATH] = "";
  EXPECT_EQ(Choose(result, 0, "Pick an Album", 0, IDCANCEL), 0);
  EXPECT_EQ(caption, "Pick an Album");
  EXPECT_EQ(Choose(result, 0, nullptr, 0, IDCANCEL), 0);
  EXPECT_EQ(caption, "Pick an Album");
  EXPECT_EQ(Choose(result, 0, "", 0, IDCANCEL), 0);
  EXPECT_EQ(caption, "Pick an Album");
}

TEST_F(AlbumChooserTest, RefusesOkOnAnEmptyList) {
  testpics::TempFolder empty;
  ASSERT_TRUE(empty.ok());
  DialogScript script;
  std::vector<std::string> listed{"<unread>"};
  script.onOpen = [&](HWND dialog) {
    listed = ComboEntries(dialog);
    DialogScript::Click(dialog, IDOK);
    // Reached only when OK left the dialog open.
    DialogScript::Click(dialog, IDCANCEL);
  };
  char result[MAX_PATH] = "untouched";
  EXPECT_EQ(ChooseAlbum(nullptr, empty.path().c_str(), result, 0, nullptr, 0), 0) << "OK was accepted";
  EXPECT_TRUE(listed.empty());
  EXPECT_STREQ(result, "untouched") << "the folder is no album name";

  EXPECT_EQ(ChooseAlbum(nullptr, empty.path().c_str(), result, 1, nullptr, 0), 1) << "the new album can be chosen";
  EXPECT_EQ(result, untitled_);
}

}  // namespace
