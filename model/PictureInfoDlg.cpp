// The picture information dialog.
#include "PictureInfoDlg.h"

#include <commctrl.h>

#include <initializer_list>

#include "components/resources/resource.h"
#include "manager/Module.h"
#include "model/ExifReader.h"

namespace {

constexpr int kLabelColumnWidth = 120;

class CPictureInfoDlg {
public:
  explicit CPictureInfoDlg(const tagEXIFROWS* rows) : m_pRows(rows) {}

  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
      switch (message) {
        case WM_INITDIALOG:
          return reinterpret_cast<CPictureInfoDlg*>(lParam)->OnInit(dialog);
        case WM_COMMAND:
          if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
          }
          break;
      }
    } catch (...) {
      // Nothing here throws by design; a failure still must not unwind
      // through the system's dialog manager.
      if (message == WM_INITDIALOG) EndDialog(dialog, -1);
    }
    return FALSE;
  }

private:
  BOOL OnInit(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_INFO_LIST);
    if (!list || !m_pRows) return TRUE;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);

    RECT client = {};
    GetClientRect(list, &client);
    int valueWidth = client.right - client.left - kLabelColumnWidth;
    AddColumn(list, 0, IDS_INFO_COL_PROPERTY, kLabelColumnWidth);
    AddColumn(list, 1, IDS_INFO_COL_VALUE, valueWidth > 0 ? valueWidth : 0);

    for (int row = 0; row < EXIF_ROW_COUNT; ++row) {
      char label[exif::kLookupCapacity] = "";
      LoadStringA(GetResourceModule(), exif::RowLabelId(row), label, sizeof(label));
      LVITEMA item = {};
      item.mask = LVIF_TEXT;
      item.iItem = row;
      item.pszText = label;
      int index = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
      if (index < 0) continue;
      LVITEMA value = {};
      value.iSubItem = 1;
      value.pszText = const_cast<char*>(m_pRows->szText[row]);
      SendMessageA(list, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&value));
    }
    FitListToRows(dialog, list);
    return TRUE;
  }

  // Row heights follow the font the system gives the list, which dialog
  // units cannot predict: make the list exactly tall enough for every row
  // and move the buttons and the dialog's bottom edge with it.
  static void FitListToRows(HWND dialog, HWND list) {
    RECT row = {};
    row.left = LVIR_BOUNDS;
    if (!SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row))) return;
    RECT header = {};
    GetWindowRect(reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)), &header);
    RECT outer = {}, client = {};
    GetWindowRect(list, &outer);
    GetClientRect(list, &client);
    int frame = (outer.bottom - outer.top) - client.bottom;
    int wanted = frame + (header.bottom - header.top) + EXIF_ROW_COUNT * (row.bottom - row.top);
    int delta = wanted - (outer.bottom - outer.top);
    if (delta == 0) return;

    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&outer), 2);
    SetWindowPos(list, nullptr, 0, 0, outer.right - outer.left, wanted,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (int id : {IDOK, IDCANCEL}) {
      HWND button = GetDlgItem(dialog, id);
      RECT place = {};
      GetWindowRect(button, &place);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
      SetWindowPos(button, nullptr, place.left, place.top + delta, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // Half the change above and half below keeps a centred dialog centred.
    RECT window = {};
    GetWindowRect(dialog, &window);
    SetWindowPos(dialog, nullptr, window.left, window.top - delta / 2, window.right - window.left,
                 window.bottom - window.top + delta, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  static void AddColumn(HWND list, int index, UINT titleId, int width) {
    char title[exif::kLookupCapacity] = "";
    LoadStringA(GetResourceModule(), titleId, title, sizeof(title));
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = title;
    column.cx = width;
    column.iSubItem = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
  }

  const tagEXIFROWS* m_pRows;  // not owned
};

}  // namespace

INT_PTR RunPictureInfoDialog(HWND owner, const tagEXIFROWS* rows) {
  // The template's list is a common control: its class must exist before
  // the dialog is created.
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  CPictureInfoDlg dialog(rows);
  return RunModalDialog(GetResourceModule(), IDD_PICTURE_INFO, owner, CPictureInfoDlg::Procedure,
                        reinterpret_cast<LPARAM>(&dialog));
}
