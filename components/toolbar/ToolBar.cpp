// The toolbar control "TevrinToolBar": a dialog template places it, and
// InitializeToolbar fills it with a flat common-controls toolbar whose
// buttons send their commands to the owner dialog.
//
// The four bitmaps are strips of equal squares, one square per button in
// button order, with magenta (255, 0, 255) as the transparent colour:
//   1 normal   — the buttons at rest (required; it fixes the image size),
//   2 hot      — the button under the mouse,
//   3 disabled — a greyed button,
//   4 pressed  — the button while it is held down.
// A strip other than the first may be 0 or missing; that state then shows
// the toolbar's own rendering of the normal image.
#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <new>

#include "components/toolbar/Internal.h"
#include "platform/Gdi.h"
#include "platform/tevrin.h"

namespace {

const int kMaxButtons = 32;
const COLORREF kTransparent = RGB(255, 0, 255);
const UINT_PTR kToolbarId = 1;

enum Strip { kNormalStrip, kHotStrip, kDisabledStrip, kPressedStrip, kStripCount };

struct ToolBarState {
  HWND owner = nullptr;                   // not owned: the dialog that gets the commands
  HWND bar = nullptr;                     // the ToolbarWindow32 child; a child window, so not freed here
  HIMAGELIST images[kStripCount] = {};    // owned
  int count = 0;
  int commands[kMaxButtons] = {};
  int tooltips[kMaxButtons] = {};         // string identifiers; 0 for none

  ToolBarState() = default;
  ToolBarState(const ToolBarState&) = delete;
  ToolBarState& operator=(const ToolBarState&) = delete;
  ~ToolBarState() { FreeImages(); }

  void FreeImages() {
    for (HIMAGELIST& list : images) {
      if (list) ImageList_Destroy(list);
      list = nullptr;
    }
  }

  int IndexOf(int command) const {
    for (int i = 0; i < count; ++i) {
      if (commands[i] == command) return i;
    }
    return -1;
  }
};

// The state of a TevrinToolBar window; null for any other window, whatever
// its user data holds.
ToolBarState* StateOf(HWND window) {
  if (!window || !IsWindow(window)) return nullptr;
  char name[32] = "";
  if (!GetClassNameA(window, name, sizeof(name)) || lstrcmpiA(name, TEVRIN_TOOLBAR_CLASS) != 0) return nullptr;
  return reinterpret_cast<ToolBarState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// An image list of count squares cut from a strip bitmap; null when the
// bitmap is missing or too small for count squares of size pixels.
HIMAGELIST LoadStrip(int bitmapId, int count, int* size) {
  HMODULE resources = tevrin::ResourceModule();
  if (!resources || bitmapId <= 0 || bitmapId > 0xFFFF) return nullptr;
  gdi::ScopedBitmap strip(static_cast<HBITMAP>(
      LoadImageA(resources, MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  if (!strip) return nullptr;
  BITMAP info{};
  if (!GetObjectA(strip.get(), sizeof(info), &info)) return nullptr;
  const int square = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  if (square <= 0 || info.bmWidth / square < count) return nullptr;
  if (*size && square != *size) return nullptr;  // every strip must match the first
  HIMAGELIST list = ImageList_Create(square, square, ILC_COLOR24 | ILC_MASK, count, 0);
  if (!list) return nullptr;
  if (ImageList_AddMasked(list, strip.get(), kTransparent) < 0 || ImageList_GetImageCount(list) < count) {
    ImageList_Destroy(list);
    return nullptr;
  }
  *size = square;
  return list;
}

// The pressed look: the toolbar itself only sinks the normal image, so the
// pressed strip is drawn here, over a sunken flat frame.
LRESULT OnCustomDraw(const ToolBarState& state, NMTBCUSTOMDRAW* draw) {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return state.images[kPressedStrip] ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
    case CDDS_ITEMPREPAINT: {
      const UINT itemState = draw->nmcd.uItemState;
      if (!(itemState & CDIS_SELECTED) || (itemState & CDIS_DISABLED)) return CDRF_DODEFAULT;
      const int index = state.IndexOf(static_cast<int>(draw->nmcd.dwItemSpec));
      if (index < 0) return CDRF_DODEFAULT;
      HDC dc = draw->nmcd.hdc;
      RECT frame = draw->nmcd.rc;
      gdi::ScopedBrush face(CreateSolidBrush(GetSysColor(COLOR_3DLIGHT)));
      FillRect(dc, &frame, face.get());
      FrameRect(dc, &frame, GetSysColorBrush(COLOR_3DSHADOW));
      int width = 0, height = 0;
      ImageList_GetIconSize(state.images[kPressedStrip], &width, &height);
      const int x = frame.left + (frame.right - frame.left - width) / 2;
      const int y = frame.top + (frame.bottom - frame.top - height) / 2;
      ImageList_Draw(state.images[kPressedStrip], index, dc, x, y, ILD_TRANSPARENT);
      return CDRF_SKIPDEFAULT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

// Tooltip texts come from the string table when the tooltip asks for them
// (the texts given at initialisation cover the usual case; this answers a
// tooltip that was rebuilt since).
bool OnGetTipText(const ToolBarState& state, NMHDR* header) {
  const int index = state.IndexOf(static_cast<int>(header->idFrom));
  if (index < 0 || !state.tooltips[index]) return false;
  if (header->code == TTN_GETDISPINFOW) {
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    info->hinst = nullptr;
    if (LoadStringW(tevrin::ResourceModule(), state.tooltips[index], info->szText, ARRAYSIZE(info->szText)) <= 0) {
      info->szText[0] = L'\0';
    }
    info->lpszText = info->szText;
  } else {
    auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
    info->hinst = nullptr;
    if (LoadStringA(tevrin::ResourceModule(), state.tooltips[index], info->szText, sizeof(info->szText)) <= 0) {
      info->szText[0] = '\0';
    }
    info->lpszText = info->szText;
  }
  return true;
}

LRESULT CALLBACK ToolBarProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* state = new (std::nothrow) ToolBarState;
    if (!state) return FALSE;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    return DefWindowProcA(window, msg, wParam, lParam);
  }
  auto* state = reinterpret_cast<ToolBarState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!state) return DefWindowProcA(window, msg, wParam, lParam);
  switch (msg) {
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      delete state;
      return 0;
    case WM_SIZE:
      if (state->bar) MoveWindow(state->bar, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_ENABLE:
      if (state->bar) EnableWindow(state->bar, static_cast<BOOL>(wParam));
      return 0;
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_COMMAND: {
      // Only the toolbar's own buttons reach the owner, as the dialog's
      // command identifiers, with this control as the sender.
      const int command = LOWORD(wParam);
      if (reinterpret_cast<HWND>(lParam) != state->bar || state->IndexOf(command) < 0) return 0;
      if (state->owner && IsWindow(state->owner)) {
        SendMessageA(state->owner, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), reinterpret_cast<LPARAM>(window));
      }
      return 0;
    }
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (!header) return 0;
      if (header->hwndFrom == state->bar && header->code == static_cast<UINT>(NM_CUSTOMDRAW)) {
        return OnCustomDraw(*state, reinterpret_cast<NMTBCUSTOMDRAW*>(header));
      }
      if (header->code == TTN_GETDISPINFOA || header->code == TTN_GETDISPINFOW) {
        OnGetTipText(*state, header);
      }
      return 0;
    }
    default:
      return DefWindowProcA(window, msg, wParam, lParam);
  }
}

}  // namespace

namespace tevrin {

bool RegisterToolBarClass() {
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExA(OwnModule(), TEVRIN_TOOLBAR_CLASS, &existing)) return true;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  // Global: dialog templates of the resource module create it with the
  // resource module as their instance.
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = ToolBarProc;
  wc.hInstance = OwnModule();
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = TEVRIN_TOOLBAR_CLASS;
  return RegisterClassExA(&wc) != 0;
}

void UnregisterToolBarClass() { UnregisterClassA(TEVRIN_TOOLBAR_CLASS, OwnModule()); }

}  // namespace tevrin

TEVRIN_API int InitializeToolbar(HWND toolbar, HWND owner, int buttonCount, const int* commands, int bitmap1,
                                 int bitmap2, int bitmap3, int bitmap4, const int* tooltips, int /*flags*/) {
  ToolBarState* state = StateOf(toolbar);
  if (!state || !commands || buttonCount <= 0 || buttonCount > kMaxButtons) return 0;

  int size = 0;
  HIMAGELIST images[kStripCount] = {};
  const int bitmaps[kStripCount] = {bitmap1, bitmap2, bitmap3, bitmap4};
  images[kNormalStrip] = LoadStrip(bitmaps[kNormalStrip], buttonCount, &size);
  if (!images[kNormalStrip]) return 0;
  for (int strip = kHotStrip; strip < kStripCount; ++strip) images[strip] = LoadStrip(bitmaps[strip], buttonCount, &size);

  // A second initialisation starts over.
  if (state->bar) DestroyWindow(state->bar);
  state->bar = nullptr;
  state->FreeImages();
  std::memcpy(state->images, images, sizeof(images));

  RECT client{};
  GetClientRect(toolbar, &client);
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE |
                      CCS_NODIVIDER | CCS_NOPARENTALIGN;
  HWND bar = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, style, 0, 0, client.right, client.bottom, toolbar,
                             reinterpret_cast<HMENU>(kToolbarId), tevrin::OwnModule(), nullptr);
  if (!bar) {
    state->FreeImages();
    return 0;
  }
  if (!IsWindowEnabled(toolbar)) EnableWindow(bar, FALSE);
  state->bar = bar;
  state->owner = owner ? owner : GetParent(toolbar);
  state->count = buttonCount;
  for (int i = 0; i < buttonCount; ++i) {
    state->commands[i] = commands[i];
    state->tooltips[i] = tooltips ? tooltips[i] : 0;
  }

  SendMessageA(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageA(bar, TB_SETBITMAPSIZE, 0, MAKELPARAM(size, size));
  SendMessageA(bar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(state->images[kNormalStrip]));
  if (state->images[kHotStrip]) {
    SendMessageA(bar, TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(state->images[kHotStrip]));
  }
  if (state->images[kDisabledStrip]) {
    SendMessageA(bar, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(state->images[kDisabledStrip]));
  }
  // The buttons fill the control's height and share its width, with a
  // little air around each image; the manager's control is 20 or 26 high.
  const int buttonHeight = client.bottom > size + 2 ? client.bottom : size + 2;
  int buttonWidth = size + 10;
  if (client.right / buttonCount < buttonWidth) buttonWidth = client.right / buttonCount;
  if (buttonWidth < size + 4) buttonWidth = size + 4;
  // The toolbar grows a button to its image plus the padding (7 by 6 by
  // default), which would make the classic buttons 22 high in a 20-high bar.
  SendMessageA(bar, TB_SETPADDING, 0, MAKELPARAM(buttonWidth - size, buttonHeight - size));
  SendMessageA(bar, TB_SETBUTTONSIZE, 0, MAKELPARAM(buttonWidth, buttonHeight));

  TBBUTTON buttons[kMaxButtons] = {};
  for (int i = 0; i < buttonCount; ++i) {
    buttons[i].iBitmap = i;
    buttons[i].idCommand = commands[i];
    buttons[i].fsState = TBSTATE_ENABLED;
    buttons[i].fsStyle = BTNS_BUTTON;
    buttons[i].iString = -1;
  }
  if (!SendMessageA(bar, TB_ADDBUTTONSA, buttonCount, reinterpret_cast<LPARAM>(buttons))) {
    DestroyWindow(bar);
    state->bar = nullptr;
    state->FreeImages();
    return 0;
  }

  // The tooltip keeps its own copy of each text.
  HWND tips = reinterpret_cast<HWND>(SendMessageA(bar, TB_GETTOOLTIPS, 0, 0));
  for (int i = 0; tips && i < buttonCount; ++i) {
    char text[80] = "";
    if (!state->tooltips[i] || LoadStringA(tevrin::ResourceModule(), state->tooltips[i], text, sizeof(text)) <= 0) {
      continue;
    }
    TOOLINFOA tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = bar;
    tool.uId = static_cast<UINT_PTR>(commands[i]);
    tool.lpszText = text;
    SendMessageA(tips, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
  }
  InvalidateRect(toolbar, nullptr, TRUE);
  return 1;
}

TEVRIN_API int EnableToolbar(HWND toolbar, int command, int enable) {
  ToolBarState* state = StateOf(toolbar);
  if (!state || !state->bar || state->IndexOf(command) < 0) return 0;
  SendMessageA(state->bar, TB_ENABLEBUTTON, static_cast<WPARAM>(command), MAKELPARAM(enable ? TRUE : FALSE, 0));
  return 1;
}
