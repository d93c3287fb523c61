// Shared by the album view tests: an album view whose state the test can
// read, items built in memory, a recorded parent window and a helper that
// answers the view's message boxes.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <album.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ItemFactory.h"
#include "ViewTestSupport.h"
#include "platform/pixamo.h"
#include "support/MessageRecorder.h"
#include "views/Album.h"

namespace albumtest {

// An album view whose protected state the test reads.
class TestAlbum : public CAlbum {
 public:
  using CAlbum::CAlbum;
  HWND Window() const { return m_hWnd; }
  CThumbnail2* First() const { return m_pFirstView; }
  CThumbnail2* Focus() const { return m_pFocus; }
  CThumbnail2* Anchor() const { return m_pShiftAnchor; }
  CThumbnail2* SelHead() const { return m_pSelHead; }
  int SelHeadID() const { return m_nSelHeadID; }
  int SelMode() const { return m_nSelMode; }
  int Pending() const { return m_bSelPending; }
  int CellCount() const { return m_ppViews ? m_nViewCount : 0; }
  CThumbView2* Cell(int index) const { return m_ppViews && index < m_nViewCount ? m_ppViews[index] : nullptr; }
  // The number of the item a cell shows, 0 for an empty cell.
  int Shown(int index) const {
    CThumbView2* cell = Cell(index);
    CThumbnail2* item = cell ? cell->GetThumbnail() : nullptr;
    return item ? item->GetID() : 0;
  }
};

// "C:\album\p07.jpg" for original index 7.
inline std::string ItemPath(int index) {
  char path[64];
  snprintf(path, sizeof(path), "C:\\album\\p%02d.jpg", index);
  return path;
}

// The original index encoded in an item path, -1 when none.
inline int IndexOfPath(const char* path) {
  const char* slash = strrchr(path, '\\');
  int index = -1;
  if (!slash || sscanf(slash + 1, "p%d.jpg", &index) != 1) return -1;
  return index;
}

inline int IndexOf(CThumbnail2* item) { return item ? IndexOfPath(item->GetInfo()->aiPath) : -1; }

// An item with a small coloured picture (or none), path, size and time.
inline CThumbnail2* MakeAlbumItem(const std::string& path, bool withPicture = true, DWORD size = 0, DWORD time = 0,
                                  const std::string& description = "") {
  tagALBUMINFOHEADER info;
  memset(&info, 0, sizeof(info));
  Put(info.aiPath, path);
  Put(info.aiDescription, description);
  info.aiFileSize = size;
  info.aiFileTime = time;
  info.aiWidth = 16;
  info.aiHeight = 12;
  info.aiThumbWidth = 16;
  info.aiThumbHeight = 12;
  info.aiBitCount = 24;
  HTOVIMEM dib = nullptr;
  if (withPicture) {
    dib = viewtest::MakeColourDib(16, 12, RGB(30, 90, 150));
    info.aiThumbSize = ToviMemSize(dib);
  }
  return new CThumbnail2(&info, dib, 0, 1);
}

// A grid configuration: thin frames, numbers only as captions.
inline tagAlbumViewCreateInfo AlbumGrid(int rows, int cols, int scroll, int select = 2) {
  tagAlbumViewCreateInfo aci = viewtest::MakeConfig(2, 2, select);
  aci.avcRows = rows;
  aci.avcCols = cols;
  aci.avcHGap = 8;
  aci.avcVGap = 8;
  aci.avcScroll = scroll;
  aci.avcLayout = 0;
  return aci;
}

// The original indexes of the selected items, from the selection ring.
inline std::vector<int> SelectedIndexes(CAlbum* album) {
  std::vector<int> indexes;
  int count = 0;
  char (*list)[260] = nullptr;
  if (!album->GetSelectImageList(count, list)) return indexes;
  for (int i = 0; i < count; ++i) indexes.push_back(IndexOfPath(list[i]));
  ToviMemFree(list);
  std::sort(indexes.begin(), indexes.end());
  return indexes;
}

inline std::string Join(const std::vector<int>& values) {
  std::string text = "{";
  for (size_t i = 0; i < values.size(); ++i) text += (i ? ", " : "") + std::to_string(values[i]);
  return text + "}";
}

inline std::vector<int> Range(int from, int to) {
  std::vector<int> values;
  for (int i = from; i <= to; ++i) values.push_back(i);
  return values;
}

// The cell window of a cell object.
inline HWND CellWindow(TestAlbum* album, int index) {
  CThumbView2* cell = album->Cell(index);
  for (HWND child : viewtest::ChildrenOfClass(album->Window(), "ThumbViewClass")) {
    if (GetWindowLongPtrA(child, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(cell)) return child;
  }
  return nullptr;
}

// Answers the next message box of this thread from a timer, with the given
// button, and keeps what the box showed.
class BoxAnswer {
 public:
  explicit BoxAnswer(int button) : button_(button) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 20, &BoxAnswer::OnTimer);
  }
  ~BoxAnswer() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  BoxAnswer(const BoxAnswer&) = delete;
  BoxAnswer& operator=(const BoxAnswer&) = delete;

  bool answered = false;
  std::string caption;
  std::string text;
  int modalDepth = -1;  // IsLockedForModal while the box was up

 private:
  static BOOL CALLBACK FindBox(HWND window, LPARAM found) {
    char name[32] = "";
    GetClassNameA(window, name, sizeof(name));
    if (lstrcmpA(name, "#32770") == 0 && IsWindowVisible(window)) {
      *reinterpret_cast<HWND*>(found) = window;
      return FALSE;
    }
    return TRUE;
  }
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    BoxAnswer* self = current_;
    if (!self || self->answered) return;
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &BoxAnswer::FindBox, reinterpret_cast<LPARAM>(&box));
    if (!box) return;
    char text[1024] = "";
    GetWindowTextA(box, text, sizeof(text));
    self->caption = text;
    text[0] = '\0';
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));  // the box's message text
    self->text = text;
    self->modalDepth = IsLockedForModal();
    self->answered = true;
    PostMessageA(box, WM_COMMAND, self->button_, 0);
  }

  inline static BoxAnswer* current_ = nullptr;
  int button_;
  UINT_PTR timer_ = 0;
};

// A recorded top-level parent and album views in it.
class AlbumFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder.RecordOnly({AVM_FOCUSCHANGED, AVM_UPDATESCROLL});
    parent = recorder.CreateTopWindow(0, RECT{40, 40, 760, 600});
    ASSERT_NE(parent, nullptr);
  }
  void TearDown() override {
    for (auto& album : albums) {
      HWND window = album->Window();
      album.reset();
      if (window) DestroyWindow(window);
    }
  }
  // A view of rows x cols cells of 60 x 60 (gaps 8) holding items 1..count.
  TestAlbum* MakeAlbum(tagAlbumViewCreateInfo aci, int count, bool withPictures = true) {
    RECT place{10, 10, aci.avcCols * 68, aci.avcRows * 68};
    albums.emplace_back(new TestAlbum(parent, place, aci));
    TestAlbum* album = albums.back().get();
    album->SetDragDrop(0);
    for (int i = 1; i <= count; ++i) album->GetDocument()->Insert(MakeAlbumItem(ItemPath(i), withPictures), nullptr);
    album->UpDataThumbListView(-1);
    recorder.Flush();
    return album;
  }
  void Press(TestAlbum* album, int cell, unsigned keys = 0) {
    SendMessageA(CellWindow(album, cell), WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(5, 5));
  }
  void Release(TestAlbum* album, int cell, unsigned keys = 0) {
    SendMessageA(CellWindow(album, cell), WM_LBUTTONUP, keys, MAKELPARAM(5, 5));
  }
  void Click(TestAlbum* album, int cell, unsigned keys = 0) {
    Press(album, cell, keys);
    Release(album, cell, keys);
  }
  // Scroll code and thumb position as a container sends them (range 0 to 100).
  void Scroll(TestAlbum* album, int code, int position = 0, UINT message = AVM_VSCROLL, int max = 100) {
    SendMessageA(album->Window(), message, MAKEWPARAM(code, position), MAKELPARAM(max, 0));
  }
  void Key(TestAlbum* album, WPARAM key) { SendMessageA(album->Window(), WM_KEYDOWN, key, 0); }

  msgseq::Recorder recorder;
  HWND parent = nullptr;
  std::vector<std::unique_ptr<TestAlbum>> albums;
};

}  // namespace albumtest
