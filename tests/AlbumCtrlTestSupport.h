// Helpers for the album control tests: controls made the host's way, items
// put into their albums, the cells that show them, and the paths an album
// holds in order.
#pragma once

#include <windows.h>

#include <album.h>

#include <memory>
#include <string>
#include <vector>

#include "ItemFactory.h"
#include "ViewTestSupport.h"
#include "manager/AlbumCtrl.h"
#include "support/MessageRecorder.h"
#include "views/Album.h"

namespace ctrltest {

// A control whose state the tests read.
class TestCtrl : public CAlbumCtrl {
 public:
  HWND Window() const { return m_hWnd; }
  HWND Bar() const { return m_hScroll; }
  int DockMode() const { return m_nDockMode; }
  bool AutoScrolling() const { return m_bAutoScroll != 0; }
  bool HasDragData() const { return m_pDragData != nullptr; }
  HWND View() { return GetAlbum() ? GetAlbum()->GetViewWindow() : nullptr; }
  const tagAlbumViewCreateInfo& Config() { return *GetAlbum()->GetACI(); }
};

inline std::string ItemPath(const std::string& name) { return "C:\\albumctrl\\" + name + ".jpg"; }

// Appends items named prefix1 .. prefixN (paths under C:\albumctrl).
inline void Fill(CAlbumCtrl* ctrl, const std::string& prefix, int count, int from = 1) {
  TestTable items;
  for (int i = from; i < from + count; ++i) items.Append(ItemSpec(ItemPath(prefix + std::to_string(i))));
  ctrl->GetAlbum()->InsertFromTable(&items, nullptr);
}

// The names of the album's items in order ("a1 a2 ..."), without folder
// and extension.
inline std::string Names(CAlbumCtrl* ctrl) {
  std::string names;
  CAlbumDoc2* document = ctrl->GetAlbum()->GetDocument();
  for (int i = 1; i <= document->GetCount(); ++i) {
    std::string path = document->GetThumbnail(i)->GetInfo()->aiPath;
    size_t slash = path.rfind('\\');
    size_t dot = path.rfind('.');
    if (!names.empty()) names += ' ';
    names += path.substr(slash + 1, dot - slash - 1);
  }
  return names;
}

// The cell window of the view that shows item number n, or null.
inline HWND CellOfItem(TestCtrl* ctrl, int n) {
  for (HWND cell : viewtest::ChildrenOfClass(ctrl->View(), "ThumbViewClass")) {
    auto* view = reinterpret_cast<CThumbView2*>(GetWindowLongPtrA(cell, GWLP_USERDATA));
    CThumbnail2* item = view ? view->GetThumbnail() : nullptr;
    if (item && item->GetID() == n) return cell;
  }
  return nullptr;
}

// A cell of the view that shows no item, or null.
inline HWND EmptyCell(TestCtrl* ctrl) {
  std::vector<HWND> cells = viewtest::ChildrenOfClass(ctrl->View(), "ThumbViewClass");
  for (auto it = cells.rbegin(); it != cells.rend(); ++it) {
    auto* view = reinterpret_cast<CThumbView2*>(GetWindowLongPtrA(*it, GWLP_USERDATA));
    if (view && !view->GetThumbnail()) return *it;
  }
  return nullptr;
}

inline int BarPosition(TestCtrl* ctrl) { return GetScrollPos(ctrl->Bar(), SB_CTL); }

inline std::string Place(HWND window) { return viewtest::Describe(viewtest::PlaceInParent(window)); }

inline std::string Rect(int left, int top, int right, int bottom) {
  return viewtest::Describe(RECT{left, top, right, bottom});
}

// Controls made with CALbumCtrl; the test owns the objects.
class Controls {
 public:
  ~Controls() { Clear(); }
  TestCtrl* Make(HWND parent, const char* name, int x, int y, int width, int height) {
    controls_.emplace_back(new TestCtrl);
    TestCtrl* ctrl = controls_.back().get();
    if (!ctrl->CALbumCtrl(parent, name, RECT{x, y, width, height})) return nullptr;
    return ctrl;
  }
  void Clear() {
    for (auto& ctrl : controls_) {
      if (ctrl->Window()) DestroyWindow(ctrl->Window());
    }
    controls_.clear();
  }

 private:
  std::vector<std::unique_ptr<TestCtrl>> controls_;
};

}  // namespace ctrltest
