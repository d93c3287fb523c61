// The demo host's window with the two thumbnail list views.
#include "DemoWindow.h"

#include "WindowShot.h"

#include <stdio.h>
#include <string.h>

#include <memory>

#include "platform/Gdi.h"
#include "platform/qil.h"
#include "views/ThumbListView.h"

namespace {

const char kDemoClass[] = "AlbumKitDemoWindow";
const int kMargin = 12;
const int kGroupPadding = 10;
const int kGroupTitle = 20;

// The list view's cells, for attaching items directly (the album view's
// work, which this demo does by hand).
class DemoList : public CThumbListView2 {
public:
  DemoList(HWND parent, RECT place, tagAlbumViewCreateInfo& aci) : CThumbListView2(parent, place, aci) {}
  HWND Window() const { return m_hWnd; }
  int CellCount() const { return m_nViewCount; }
  CThumbView2* Cell(int index) const { return m_ppViews && index < m_nViewCount ? m_ppViews[index] : nullptr; }
};

struct ListLook {
  const char* title;
  int style;
  int caption;
  int cellWidth;
  int cellHeight;
};

const ListLook kLists[] = {
    {"Classic cells: relief frame, file name and number", 3, 1, 112, 144},
    {"Framed cards: number and short file name", 4, 2, 112, 144},
};
const int kRows = 2;
const int kCols = 4;
const int kGap = 16;

struct DemoState {
  std::unique_ptr<DemoList> lists[2];
  HFONT font = nullptr;  // owned
  bool interactive = false;
};

tagAlbumViewCreateInfo MakeConfiguration(const ListLook& look, const LOGFONTA& font) {
  tagAlbumViewCreateInfo aci;
  memset(&aci, 0, sizeof(aci));
  aci.avcRows = kRows;
  aci.avcCols = kCols;
  aci.avcHGap = kGap;
  aci.avcVGap = kGap;
  aci.avcScroll = 1;
  aci.avcSelect = 2;
  aci.avcStyle = look.style;
  aci.avcLayout = 0;
  aci.avcCaption = look.caption;
  aci.avcBkMode = 2;
  aci.avcFont = font;
  aci.avcToolTip = 1;
  aci.avcCellWidth = look.cellWidth;
  aci.avcCellHeight = look.cellHeight;
  return aci;
}

// A click selects the clicked cell alone, in both lists, as an album view would.
void SelectOnly(DemoState* state, CThumbView2* clicked) {
  CThumbnail2* item = clicked ? clicked->GetThumbnail() : nullptr;
  for (auto& list : state->lists) {
    if (!list) continue;
    for (int i = 0; i < list->CellCount(); ++i) {
      CThumbView2* cell = list->Cell(i);
      if (cell) cell->SetSelect(item && cell->GetThumbnail() == item);
    }
  }
}

LRESULT CALLBACK DemoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<DemoState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_CREATE:
      SetWindowLongPtrA(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
      return 0;
    case AVM_ITEMLBUTTONDOWN:
    case AVM_ITEMRBUTTONDOWN:
      if (state) SelectOnly(state, reinterpret_cast<CThumbView2*>(lParam));
      return 0;
    case AVM_ITEMDBLCLK: {
      auto* cell = reinterpret_cast<CThumbView2*>(lParam);
      CThumbnail2* item = cell ? cell->GetThumbnail() : nullptr;
      if (item) {
        char title[400];
        snprintf(title, sizeof(title), "AlbumKit demo - %s (%ux%u)", item->GetInfo()->aiPath,
                 static_cast<unsigned>(item->GetInfo()->aiWidth), static_cast<unsigned>(item->GetInfo()->aiHeight));
        SetWindowTextA(window, title);
      }
      return 0;
    }
    case WM_DESTROY:
      if (state && state->interactive) PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool ShowDemoWindow(CThumbTable2* items, const std::string& shotPath, bool interactive) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterDemoWindowClass(kDemoClass, DemoProc)) return false;

  // Captions and labels in the system's message font.
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  DemoState state;
  state.interactive = interactive;
  state.font = CreateFontIndirectA(&metrics.lfMessageFont);

  // Group boxes around the lists, side by side.
  RECT groups[2];
  int x = kMargin;
  int groupHeight = 0;
  for (int i = 0; i < 2; ++i) {
    int listWidth = kCols * (kLists[i].cellWidth + kGap);
    int listHeight = kRows * (kLists[i].cellHeight + kGap);
    groups[i] = RECT{x, kMargin, x + listWidth + 2 * kGroupPadding, kMargin + kGroupTitle + listHeight + kGroupPadding};
    if (groups[i].bottom - groups[i].top > groupHeight) groupHeight = groups[i].bottom - groups[i].top;
    x = groups[i].right + kMargin;
  }
  RECT client{0, 0, x, kMargin + groupHeight + kMargin};
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRectEx(&client, style, FALSE, 0);
  HWND window = CreateWindowExA(0, kDemoClass, "AlbumKit demo - thumbnail views", style, 40, 40,
                                client.right - client.left, client.bottom - client.top, nullptr, nullptr, instance,
                                &state);
  if (!window) {
    if (state.font) DeleteObject(state.font);
    UnregisterClassA(kDemoClass, instance);
    return false;
  }

  for (int i = 0; i < 2; ++i) {
    HWND group = CreateWindowExA(0, "BUTTON", kLists[i].title, WS_CHILD | WS_VISIBLE | BS_GROUPBOX, groups[i].left,
                                 groups[i].top, groups[i].right - groups[i].left, groupHeight, window, nullptr,
                                 instance, nullptr);
    if (group && state.font) SendMessageA(group, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
    tagAlbumViewCreateInfo aci = MakeConfiguration(kLists[i], metrics.lfMessageFont);
    RECT place{groups[i].left + kGroupPadding, groups[i].top + kGroupTitle, kCols * (kLists[i].cellWidth + kGap),
               kRows * (kLists[i].cellHeight + kGap)};
    state.lists[i].reset(new DemoList(window, place, aci));
    DemoList* list = state.lists[i].get();
    for (int cell = 0; cell < list->CellCount(); ++cell) {
      CThumbView2* view = list->Cell(cell);
      if (view) view->Attach(cell < items->GetCount() ? items->GetThumbnail(cell + 1) : nullptr);
    }
  }
  // One selected item, so that both selection marks show.
  if (state.lists[0] && state.lists[0]->Cell(1)) SelectOnly(&state, state.lists[0]->Cell(1));

  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  UpdateWindow(window);
  PumpPendingMessages();
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  PumpPendingMessages();
  bool saved = SaveClientShot(window, shotPath);

  if (interactive) {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  } else {
    DestroyWindow(window);
  }
  // The list objects go after their windows: the list view leaves its window to its creator.
  for (auto& list : state.lists) list.reset();
  if (state.font) DeleteObject(state.font);
  UnregisterClassA(kDemoClass, instance);
  return saved;
}
