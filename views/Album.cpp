// The album view: attach step, selection, focus, mouse, keys and scrolling.
// The editing operations are in AlbumEdit.cpp.
#include "Album.h"

#include <string.h>

#include "platform/Path.h"
#include "platform/Text.h"

namespace {

int Max3(int a, int b, int c) { return a > b ? (a > c ? a : c) : (b > c ? b : c); }
int Min3(int a, int b, int c) { return a < b ? (a < c ? a : c) : (b < c ? b : c); }

}  // namespace

// ---------------------------------------------------------------------------
// Construction

CAlbum::CAlbum(HWND parent, RECT place, tagAlbumViewCreateInfo& aci)
    : CThumbListView2(parent, place, aci),
      m_pFirstView(nullptr),
      m_nFirstViewID(-1),
      m_pSelHead(nullptr),
      m_nSelHeadID(-1),
      m_nSelMode(aci.avcSelect),
      m_bSelPending(0),
      m_pFocus(nullptr),
      m_pShiftAnchor(nullptr) {
  SetProgramFolder();
}

CAlbum::CAlbum(HWND existing, tagAlbumViewCreateInfo& aci)
    : CThumbListView2(existing, aci),
      m_pFirstView(nullptr),
      m_nFirstViewID(-1),
      m_pSelHead(nullptr),
      m_nSelHeadID(-1),
      m_nSelMode(aci.avcSelect),
      m_bSelPending(0),
      m_pFocus(nullptr),
      m_pShiftAnchor(nullptr) {
  SetProgramFolder();
}

// The list view part and the document mark the copy as sharing, so it
// never deletes the original's cells or items.
CAlbum::CAlbum(const CAlbum& other)
    : CThumbListView2(other),
      m_Doc(other.m_Doc),
      m_pFirstView(other.m_pFirstView),
      m_nFirstViewID(other.m_nFirstViewID),
      m_pSelHead(other.m_pSelHead),
      m_nSelHeadID(other.m_nSelHeadID),
      m_nSelMode(other.m_nSelMode),
      m_bSelPending(other.m_bSelPending),
      m_pFocus(other.m_pFocus),
      m_pShiftAnchor(other.m_pShiftAnchor) {}

CAlbum& CAlbum::operator=(const CAlbum& other) {
  if (this == &other) return *this;
  // The cells go before the items they point at.
  CThumbListView2::operator=(other);
  m_Doc = other.m_Doc;
  m_pFirstView = other.m_pFirstView;
  m_nFirstViewID = other.m_nFirstViewID;
  m_pSelHead = other.m_pSelHead;
  m_nSelHeadID = other.m_nSelHeadID;
  m_nSelMode = other.m_nSelMode;
  m_bSelPending = other.m_bSelPending;
  m_pFocus = other.m_pFocus;
  m_pShiftAnchor = other.m_pShiftAnchor;
  return *this;
}

CAlbum::~CAlbum() {
  // The cells go before the items they point at: a cell closing down may
  // still be asked for its tooltip text.
  CThumbListView2::OnDestroy(WM_DESTROY, 0, 0);
  m_pFirstView = m_pSelHead = m_pFocus = m_pShiftAnchor = nullptr;
  m_Doc.CleanTable();
}

void CAlbum::SetProgramFolder() {
  char program[MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(nullptr, program, sizeof(program));
  if (length == 0 || length >= sizeof(program)) return;
  SplitPathParts parts;
  if (!SplitAlbumPathParts(program, &parts)) return;
  char folder[MAX_PATH] = "";
  CopyText(folder, parts.drive);
  size_t used = strlen(folder);
  CopyText(folder + used, sizeof(folder) - used, parts.dir);
  m_Doc.SetExePath(folder);
}

// ---------------------------------------------------------------------------
// Accessors

int CAlbum::HaveSel() { return m_pSelHead ? 1 : 0; }

int CAlbum::GetThumbNailCount() { return m_Doc.GetCount(); }

int CAlbum::GetFirstViewNailID() { return m_nFirstViewID; }

const char* CAlbum::GetDescription() { return m_Doc.GetDescription(); }

void CAlbum::SetDescription(const char* description) { m_Doc.SetDescription(description ? description : ""); }

CAlbumDoc2* CAlbum::GetDocument() { return &m_Doc; }

HWND CAlbum::GetViewWindow() { return m_hWnd; }

int CAlbum::GetCurrentFocus() { return m_pFocus ? m_pFocus->m_nID : -1; }

// ---------------------------------------------------------------------------
// Geometry

int CAlbum::ItemsPerLine() {
  int perLine = m_aci.avcScroll == 1 ? m_aci.avcCols : m_aci.avcRows;
  // A grid without cells still has lines of one, so that no step divides by zero.
  return perLine > 0 ? perLine : 1;
}

int CAlbum::VisibleLines() {
  int lines = m_aci.avcScroll == 1 ? m_aci.avcRows : m_aci.avcCols;
  return lines > 0 ? lines : 1;
}

CThumbView2* CAlbum::CellOfNumber(int n) {
  if (m_nFirstViewID < 1) return nullptr;
  return CellOfSlot(n - m_nFirstViewID);
}

CThumbView2* CAlbum::CellOfSlot(int k) {
  if (!m_ppViews || k < 0 || k >= m_nViewCount) return nullptr;
  int index = k;
  if (m_aci.avcScroll != 1) {
    // Items fill columns top to bottom; cells are stored row by row.
    int rows = m_aci.avcRows;
    if (rows <= 0) return nullptr;
    index = k / rows + (k % rows) * m_aci.avcCols;
  }
  return index >= 0 && index < m_nViewCount ? m_ppViews[index] : nullptr;
}

CThumbView2* CAlbum::CellOfItem(CThumbnail2* item) {
  if (!item || item->m_nID < 1) return nullptr;
  return CellOfNumber(item->m_nID);
}

CThumbnail2* CAlbum::ItemAt(int n) {
  int count = m_Doc.GetCount();
  if (n < 1 || n > count) return nullptr;
  // Walk from the first visible item when it is nearer than either end of
  // the table: scrolling and paging then cost the distance moved.
  int fromEnds = n < count + 1 - n ? n : count + 1 - n;
  CThumbnail2* start = m_pFirstView;
  if (start && start->m_nID >= 1) {
    int distance = n > start->m_nID ? n - start->m_nID : start->m_nID - n;
    if (distance < fromEnds) {
      CThumbnail2* item = start;
      while (item->m_nID < n) item = item->m_pNext;
      while (item->m_nID > n) item = item->m_pPrev;
      return item;
    }
  }
  return m_Doc.GetThumbnail(n);
}

void CAlbum::SetFirstView(int n) {
  CThumbnail2* item = ItemAt(n);
  if (!item) return;
  m_pFirstView = item;
  m_nFirstViewID = n;
}

void CAlbum::InvalidateNumbers(int from, int to) {
  for (int n = from; n <= to; ++n) {
    CThumbView2* cell = CellOfNumber(n);
    if (cell && cell->m_hWnd) InvalidateRect(cell->m_hWnd, nullptr, TRUE);
  }
}

void CAlbum::NotifyUpdateScroll() {
  if (m_hWnd) SendMessageA(GetParent(m_hWnd), AVM_UPDATESCROLL, reinterpret_cast<WPARAM>(m_hWnd), 0);
}

// ---------------------------------------------------------------------------
// Attach step

int CAlbum::UpDataThumbListView(int from) {
  CThumbnail2* sentinel = m_Doc.m_pHead;
  int count = m_Doc.GetCount();
  // The album's first item when nothing is shown yet, or when an empty
  // album's end mark is still the first visible item.
  if (!m_pFirstView || (m_pFirstView == sentinel && count > 0)) m_pFirstView = sentinel->m_pNext;
  // The number follows the item, whatever the table went through since.
  m_nFirstViewID = m_pFirstView->m_nID;

  int perLine = ItemsPerLine();
  int cells = m_ppViews ? m_nViewCount : 0;
  int slot = 0;
  CThumbnail2* item = m_pFirstView;
  if (count == 0 || (m_nFirstViewID + cells - count - 1) / perLine <= 0) {
    if (count > 0 && from >= m_nFirstViewID && from < m_nFirstViewID + cells && from <= count) {
      slot = from - m_nFirstViewID;
      item = ItemAt(from);
    }
  } else {
    // A whole empty line at the end: pull the view back to the last page.
    int lines = (count + perLine - 1) / perLine;
    int first = lines * perLine - cells + 1;
    if (first < 1) first = 1;
    SetFirstView(first);
    item = m_pFirstView;
  }

  int result = 1;
  for (; slot < cells; ++slot) {
    CThumbView2* cell = CellOfSlot(slot);
    CThumbnail2* shown = item != sentinel ? item : nullptr;
    if (shown) item = item->m_pNext;
    // A cell that fails to take its item is reported, but every other cell
    // is still attached: none may keep an item that has left the album.
    if (cell && !cell->Attach(shown)) result = 0;
  }
  if (m_pSelHead) m_nSelHeadID = m_pSelHead->m_nID;
  return result;
}

// ---------------------------------------------------------------------------
// Selection ring

void CAlbum::Select(CThumbnail2* item) {
  if (!item || item->m_nID < 1) return;
  // An item already in the ring moves to its head instead of being linked twice.
  if (item->m_pSelNext) Deselect(item);
  item->SetSelect(1);
  if (!m_pSelHead) {
    item->m_pSelNext = item;
    item->m_pSelPrev = item;
  } else {
    CThumbnail2* last = m_pSelHead->m_pSelPrev;
    item->m_pSelPrev = last;
    item->m_pSelNext = m_pSelHead;
    last->m_pSelNext = item;
    m_pSelHead->m_pSelPrev = item;
  }
  m_pSelHead = item;
  m_nSelHeadID = item->m_nID;
}

void CAlbum::Select(CThumbView2* cell) {
  if (!cell || !cell->m_pThumbnail) return;
  if (m_nSelMode == 1) DeselectAll();
  CThumbnail2* item = cell->m_pThumbnail;
  if (item->m_pSelNext) Deselect(item);
  cell->SetSelect(1);
  Select(item);
}

void CAlbum::Deselect(CThumbnail2* item) {
  if (!item) return;
  item->SetSelect(0);
  if (!item->m_pSelNext) return;
  // Unlinked whatever the selection mode: a ring with other members must
  // keep them reachable.
  if (item->m_pSelNext == item) {
    if (m_pSelHead == item) {
      m_pSelHead = nullptr;
      m_nSelHeadID = -1;
    }
  } else {
    if (m_pSelHead == item) {
      m_pSelHead = item->m_pSelNext;
      m_nSelHeadID = m_pSelHead->m_nID;
    }
    item->m_pSelPrev->m_pSelNext = item->m_pSelNext;
    item->m_pSelNext->m_pSelPrev = item->m_pSelPrev;
  }
  item->m_pSelNext = nullptr;
  item->m_pSelPrev = nullptr;
}

void CAlbum::Deselect(CThumbView2* cell) {
  if (!cell || !cell->m_pThumbnail) return;
  CThumbnail2* item = cell->m_pThumbnail;
  cell->SetSelect(0);
  Deselect(item);
}

void CAlbum::DeselectAll() {
  if (!m_pSelHead) return;
  CThumbnail2* item = m_pSelHead;
  do {
    CThumbnail2* next = item->m_pSelNext;
    item->SetSelect(0);
    item->m_pSelNext = nullptr;
    item->m_pSelPrev = nullptr;
    CThumbView2* cell = CellOfItem(item);
    if (cell) cell->InvalidateView();
    item = next;
  } while (item && item != m_pSelHead);
  m_pSelHead = nullptr;
  m_nSelHeadID = -1;
}

// ---------------------------------------------------------------------------
// Focus

void CAlbum::SetThumbviewFocus(CThumbnail2* item) {
  CThumbnail2* previous = m_pFocus;
  if (previous) {
    previous->SetFouse(0);
    // The old focus mark goes with the focus.
    CThumbView2* cell = CellOfItem(previous);
    if (cell && cell->m_hWnd && previous != item) InvalidateRect(cell->m_hWnd, nullptr, TRUE);
  }
  m_pFocus = item;
  if (item) item->SetFouse(1);
  if (m_hWnd) {
    SendMessageA(GetParent(m_hWnd), AVM_FOCUSCHANGED, reinterpret_cast<WPARAM>(m_hWnd),
                 reinterpret_cast<LPARAM>(item));
  }
}

// ---------------------------------------------------------------------------
// Mouse

namespace {

// The cell a report names, when it is one of the list's own cells.
CThumbView2* FindCell(CThumbView2** cells, int count, long lParam) {
  auto* wanted = reinterpret_cast<CThumbView2*>(lParam);
  if (!cells || !wanted) return nullptr;
  for (int i = 0; i < count; ++i) {
    if (cells[i] == wanted) return wanted;
  }
  return nullptr;
}

}  // namespace

void CAlbum::OnMouse(unsigned msg, unsigned wParam, long lParam) {
  CThumbView2* cell = FindCell(m_ppViews, m_nViewCount, lParam);
  switch (msg) {
    case AVM_ITEMLBUTTONDOWN:
    case AVM_ITEMRBUTTONDOWN: {
      // A press always starts afresh: a release lost to a drag must not
      // complete a selection for a later press.
      m_bSelPending = 0;
      CThumbnail2* item = cell ? cell->m_pThumbnail : nullptr;
      if (!item || !item->IsSelect() || (wParam & MK_SHIFT)) {
        OnSelect(wParam, reinterpret_cast<long>(cell));
      } else {
        m_bSelPending = 1;
      }
      break;
    }
    case AVM_ITEMBUTTONUP:
      if (m_bSelPending) {
        m_bSelPending = 0;
        OnSelect(wParam, reinterpret_cast<long>(cell));
      }
      break;
  }
  CThumbListView2::OnMouse(msg, wParam, lParam);
}

void CAlbum::OnSelect(unsigned keyFlags, long cellValue) {
  auto* cell = reinterpret_cast<CThumbView2*>(cellValue);
  if (!cell || !cell->m_pThumbnail) return;
  CThumbnail2* item = cell->m_pThumbnail;
  bool multiple = m_aci.avcSelect != 1;

  if (multiple && (keyFlags & MK_CONTROL)) {
    m_nSelMode = 2;
    if (item->IsSelect()) {
      Deselect(cell);
      if (item == m_pFocus) {
        // The focus goes to the first selected item in table order.
        CThumbnail2* first = nullptr;
        if (m_pSelHead) {
          CThumbnail2* p = m_pSelHead;
          do {
            if (!first || p->m_nID < first->m_nID) first = p;
            p = p->m_pSelNext;
          } while (p != m_pSelHead);
        }
        SetThumbviewFocus(first);
        if (CThumbView2* focused = CellOfItem(first)) focused->InvalidateView();
      }
    } else {
      if (!m_pFocus) {
        SetThumbviewFocus(item);
        if (cell->m_hWnd) InvalidateRect(cell->m_hWnd, nullptr, TRUE);
      }
      Select(cell);
    }
    return;
  }

  if (multiple && (keyFlags & MK_SHIFT)) {
    if (!m_pFocus) {
      Select(cell);
      SetThumbviewFocus(item);
      if (cell->m_hWnd) InvalidateRect(cell->m_hWnd, nullptr, TRUE);
      return;
    }
    m_nSelMode = 2;
    DeselectAll();
    int from = m_pFocus->m_nID < item->m_nID ? m_pFocus->m_nID : item->m_nID;
    int to = m_pFocus->m_nID < item->m_nID ? item->m_nID : m_pFocus->m_nID;
    CThumbnail2* p = m_pFocus->m_nID < item->m_nID ? m_pFocus : item;
    for (int n = from; n <= to && p != m_Doc.m_pHead; ++n, p = p->m_pNext) {
      CThumbView2* shown = CellOfItem(p);
      if (shown) {
        Select(shown);
      } else {
        Select(p);
      }
    }
    return;
  }

  m_nSelMode = 1;
  SetThumbviewFocus(item);
  Select(cell);
}

// ---------------------------------------------------------------------------
// Keys

void CAlbum::OnKeyDown(unsigned, unsigned wParam, long) {
  int extend = (GetKeyState(VK_SHIFT) < 0 && m_aci.avcSelect != 1) ? 1 : 0;
  if (wParam == VK_SHIFT) {
    if (!m_pShiftAnchor) m_pShiftAnchor = m_pFocus;
  } else if (wParam >= VK_PRIOR && wParam <= VK_DOWN) {
    DoLRUD(wParam, extend);
  }
  NotifyUpdateScroll();
}

void CAlbum::OnKeyUp(unsigned, unsigned wParam, long) {
  if (wParam == VK_SHIFT) m_pShiftAnchor = nullptr;
}

void CAlbum::DoLRUD(unsigned vk, int extend) {
  int count = m_Doc.GetCount();
  // An empty album has only its end mark to show: nothing to move over.
  if (!m_pFirstView || count == 0 || m_pFirstView->m_nID < 1) return;
  if (!m_pFocus) {
    Select(m_pFirstView);
    m_pFocus = m_pFirstView;
    if (CThumbView2* cell = CellOfItem(m_pFirstView)) cell->InvalidateView();
  }

  if (m_aci.avcScroll != 1) {
    switch (vk) {
      case VK_LEFT: vk = VK_UP; break;
      case VK_UP: vk = VK_LEFT; break;
      case VK_RIGHT: vk = VK_DOWN; break;
      case VK_DOWN: vk = VK_RIGHT; break;
    }
  }

  int perLine = ItemsPerLine();
  int page = perLine * VisibleLines();
  int f = m_pFocus->m_nID;
  int t = f;
  switch (vk) {
    case VK_PRIOR: t = f - page <= 0 ? 1 : f - page; break;
    case VK_HOME: t = 1; break;
    case VK_NEXT: t = f + page < count ? f + page : count; break;
    case VK_END: t = count; break;
    case VK_LEFT: t = f - 1; break;
    case VK_UP: t = f - perLine; break;
    case VK_RIGHT: t = f + 1; break;
    case VK_DOWN: t = f + perLine; break;
    default: return;
  }
  if (t == f || t < 1 || t > count) {
    MessageBeep(0);
    return;
  }
  CThumbnail2* target = ItemAt(t);
  if (!target) {
    MessageBeep(0);
    return;
  }

  int a = m_pShiftAnchor ? m_pShiftAnchor->m_nID : f;
  if (extend) {
    int low = a < f ? a : f;
    int high = a < f ? f : a;
    CThumbnail2* p = ItemAt(low);
    for (int n = low; n <= high && p && p != m_Doc.m_pHead; ++n, p = p->m_pNext) {
      if (p->IsSelect()) Deselect(p);
    }
    low = a < t ? a : t;
    high = a < t ? t : a;
    p = ItemAt(low);
    for (int n = low; n <= high && p && p != m_Doc.m_pHead; ++n, p = p->m_pNext) {
      if (!p->IsSelect()) Select(p);
    }
  } else {
    DeselectAll();
    Select(target);
  }

  SetThumbviewFocus(target);

  int first = m_nFirstViewID;
  if (t >= first && t < first + page) {
    InvalidateNumbers(Min3(f, t, a), Max3(f, t, a));
    return;
  }
  int newFirst = t - (t - 1) % perLine;
  if (t >= first + page) newFirst -= perLine * (VisibleLines() - 1);
  if (newFirst < 1) newFirst = 1;
  SetFirstView(newFirst);
  UpDataThumbListView(-1);
}

// ---------------------------------------------------------------------------
// Scrolling

void CAlbum::OnScroll(unsigned, unsigned wParam, long lParam) {
  int code = LOWORD(wParam);
  int count = m_Doc.GetCount();
  if (!m_pFirstView || code > SB_BOTTOM || count == 0) return;
  int first = m_nFirstViewID;
  if (first < 1) return;
  int perLine = ItemsPerLine();
  int lines = VisibleLines();
  int cells = m_nViewCount;
  int totalLines = (count + perLine - 1) / perLine;
  int lastPage = (totalLines - lines) * perLine + 1;
  if (lastPage < 1) lastPage = 1;

  int target = first;
  switch (code) {
    case SB_LINEUP:
      if (first == 1) {
        MessageBeep(0);
        return;
      }
      target = (first - 1) / perLine <= 0 ? 1 : first - perLine;
      break;
    case SB_LINEDOWN:
      if ((count + perLine - cells - first) / perLine <= 0) {
        MessageBeep(0);
        return;
      }
      target = first + perLine;
      break;
    case SB_PAGEUP:
      if (first == 1) {
        MessageBeep(0);
        return;
      }
      target = (first - 1) / perLine <= lines ? 1 : ((first - 1) / perLine - lines) * perLine + 1;
      break;
    case SB_PAGEDOWN:
    case SB_BOTTOM:
      if (count < perLine * lines + first) {
        MessageBeep(0);
        return;
      }
      if (code == SB_PAGEDOWN && (count + perLine - cells - first) / perLine >= lines) {
        target = first + cells;
      } else {
        target = lastPage;
      }
      if (target == first) {
        MessageBeep(0);
        return;
      }
      break;
    case SB_TOP:
      if (first == 1) {
        MessageBeep(0);
        return;
      }
      target = 1;
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
      int range = static_cast<int>(LOWORD(lParam)) - static_cast<int>(HIWORD(lParam));
      // No range, no position to map.
      if (range <= 0) return;
      int position = static_cast<int>(HIWORD(wParam)) - static_cast<int>(HIWORD(lParam));
      if (position < 0) position = 0;
      if (position > range) position = range;
      // 64 bits: lines times position overflows 32 bits in a large album.
      long long scrollLines = static_cast<long long>(totalLines) - lines;
      long long result = perLine * ((scrollLines * position) / range) + 1;
      if (result < 1 || result > count || result == first) return;
      target = static_cast<int>(result);
      break;
    }
    default:
      return;
  }
  if (target == first || target < 1 || target > count) return;
  SetFirstView(target);
  UpDataThumbListView(-1);
}

// ---------------------------------------------------------------------------
// Focus by number and hit test

int CAlbum::SetCurrentFocus(int n) {
  int count = m_Doc.GetCount();
  if (count == 0 || n < 1 || n > count) return 0;
  if (!m_pFirstView) UpDataThumbListView(-1);
  if (!m_pFirstView || m_pFirstView->m_nID < 1) return 0;
  int first = m_nFirstViewID;
  int cells = m_ppViews ? m_nViewCount : 0;
  if (n < first || n >= first + cells) {
    if (!m_pFocus) {
      Select(m_pFirstView);
      m_pFocus = m_pFirstView;
    }
    int perLine = ItemsPerLine();
    int lines = VisibleLines();
    int newFirst = n - (n - 1) % perLine;
    if (n >= perLine * lines + first) newFirst -= perLine * (lines - 1);
    if (newFirst < 1) newFirst = 1;
    SetFirstView(newFirst);
    UpDataThumbListView(-1);
  }
  CThumbView2* cell = CellOfNumber(n);
  if (!cell || !cell->m_hWnd) return 0;
  SendMessageA(cell->m_hWnd, AVM_ITEMLBUTTONDOWN, 0, 0);
  // A press on an item that was already selected waits for a release that
  // will never come here: the plain click completes now.
  if (m_bSelPending) {
    m_bSelPending = 0;
    OnSelect(0, reinterpret_cast<long>(cell));
  }
  return 1;
}

CThumbView2* CAlbum::GetThumbViewByPos(int x, int y) {
  if (!m_ppViews) return nullptr;
  for (int i = 0; i < m_nViewCount; ++i) {
    CThumbView2* cell = m_ppViews[i];
    if (!cell || !cell->m_hWnd) continue;
    POINT point{x, y};
    ScreenToClient(cell->m_hWnd, &point);
    RECT client;
    GetClientRect(cell->m_hWnd, &client);
    if (PtInRect(&client, point)) return cell;
  }
  return nullptr;
}
