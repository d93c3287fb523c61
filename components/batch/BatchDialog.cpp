#include "BatchDialog.h"

#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <cstring>

#include "../../platform/pixamo.h"
#include "BatchResource.h"

namespace batchel {

namespace {

constexpr int kMinSide = 16;
constexpr int kMaxSide = 65535;

struct OpButton {
  int id;
  BatchOp op;
};
const OpButton kOpButtons[] = {
    {IDC_BATCH_ROTATE_CW, BatchOp::RotateClockwise}, {IDC_BATCH_ROTATE_180, BatchOp::Rotate180},
    {IDC_BATCH_ROTATE_CCW, BatchOp::RotateAnticlockwise}, {IDC_BATCH_FLIP_H, BatchOp::FlipHorizontal},
    {IDC_BATCH_FLIP_V, BatchOp::FlipVertical},         {IDC_BATCH_GREY, BatchOp::Grey},
    {IDC_BATCH_SHRINK, BatchOp::Shrink},
};

// The name part of a path.
const char* NamePart(const char* path) {
  const char* name = path;
  for (const char* c = path; *c; ++c) {
    if (*c == '\\' || *c == '/') name = c + 1;
  }
  return name;
}

}  // namespace

int CBatchDialog::Run(HINSTANCE module, HWND owner) {
  m_hModule = module;
  // DialogBoxParam answers 0, not -1, for an owner that is not a window.
  if (owner && !IsWindow(owner)) return -1;
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  void* token = LockupForModal();
  INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_BATCH), owner, DialogProc, reinterpret_cast<LPARAM>(this));
  if (token) UnlockForModal(token);
  return result < 0 ? -1 : m_nChanged;
}

INT_PTR CALLBACK CBatchDialog::DialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  try {
    if (msg == WM_INITDIALOG) {
      auto* self = reinterpret_cast<CBatchDialog*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      self->m_hDialog = dialog;
      self->OnInitDialog();
      return TRUE;
    }
    auto* self = reinterpret_cast<CBatchDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!self) return FALSE;
    if (msg == WM_COMMAND) {
      self->OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    }
  } catch (...) {
    EndDialog(dialog, -1);
  }
  return FALSE;
}

void CBatchDialog::OnInitDialog() {
  char format[160] = "";
  char text[200] = "";
  if (m_nCount <= 0) {
    LoadStringA(m_hModule, IDS_BATCH_COUNT_NONE, text, sizeof(text));
  } else if (m_nCount == 1) {
    LoadStringA(m_hModule, IDS_BATCH_COUNT_ONE, text, sizeof(text));
  } else {
    LoadStringA(m_hModule, IDS_BATCH_COUNT_MANY, format, sizeof(format));
    snprintf(text, sizeof(text), format, m_nCount);
  }
  SetDlgItemTextA(m_hDialog, IDC_BATCH_COUNT, text);

  int checked = IDC_BATCH_ROTATE_CW;
  for (const OpButton& button : kOpButtons) {
    if (button.op == m_Op) checked = button.id;
  }
  CheckRadioButton(m_hDialog, IDC_BATCH_ROTATE_CW, IDC_BATCH_SHRINK, checked);
  SendDlgItemMessageA(m_hDialog, IDC_BATCH_SIDE_SPIN, UDM_SETRANGE32, kMinSide, kMaxSide);
  SendDlgItemMessageA(m_hDialog, IDC_BATCH_SIDE_SPIN, UDM_SETPOS32, 0, m_nMaxSide);
  SetDlgItemInt(m_hDialog, IDC_BATCH_SIDE, static_cast<UINT>(m_nMaxSide), FALSE);
  SendDlgItemMessageA(m_hDialog, IDC_BATCH_PROGRESS, PBM_SETRANGE32, 0, m_nCount > 0 ? m_nCount : 1);
  EnableChoices(m_nCount > 0);
  if (m_nCount <= 0) SetFocus(GetDlgItem(m_hDialog, IDCANCEL));
}

void CBatchDialog::EnableChoices(bool enable) {
  for (const OpButton& button : kOpButtons) EnableWindow(GetDlgItem(m_hDialog, button.id), enable);
  const bool side = enable && IsDlgButtonChecked(m_hDialog, IDC_BATCH_SHRINK) == BST_CHECKED;
  EnableWindow(GetDlgItem(m_hDialog, IDC_BATCH_SIDE), side);
  EnableWindow(GetDlgItem(m_hDialog, IDC_BATCH_SIDE_SPIN), side);
  EnableWindow(GetDlgItem(m_hDialog, IDOK), enable);
}

void CBatchDialog::OnCommand(int id, int code) {
  switch (id) {
    case IDOK:
      if (!m_bRunning && m_nCount > 0) OnStart();
      break;
    case IDCANCEL:
      // While files are being processed Cancel stops after the current one;
      // a file is never left half written.
      if (m_bRunning) {
        m_bCancel = true;
      } else {
        EndDialog(m_hDialog, 0);
      }
      break;
    default:
      if (code == BN_CLICKED && !m_bRunning) EnableChoices(m_nCount > 0);
      break;
  }
}

bool CBatchDialog::ReadChoices() {
  for (const OpButton& button : kOpButtons) {
    if (IsDlgButtonChecked(m_hDialog, button.id) == BST_CHECKED) m_Op = button.op;
  }
  if (m_Op != BatchOp::Shrink) return true;
  BOOL ok = FALSE;
  const UINT side = GetDlgItemInt(m_hDialog, IDC_BATCH_SIDE, &ok, FALSE);
  if (!ok || side < static_cast<UINT>(kMinSide) || side > static_cast<UINT>(kMaxSide)) {
    char text[160] = "", caption[60] = "";
    LoadStringA(m_hModule, IDS_BATCH_BAD_SIDE, text, sizeof(text));
    LoadStringA(m_hModule, IDS_BATCH_CAPTION, caption, sizeof(caption));
    void* token = LockupForModal();
    MessageBoxA(m_hDialog, text, caption, MB_OK | MB_ICONWARNING);
    UnlockForModal(token);
    SetFocus(GetDlgItem(m_hDialog, IDC_BATCH_SIDE));
    return false;
  }
  m_nMaxSide = static_cast<int>(side);
  return true;
}

void CBatchDialog::OnStart() {
  if (!ReadChoices()) return;
  m_bRunning = true;
  m_bCancel = false;
  EnableChoices(false);
  // WIC needs COM on this thread; a host that runs another apartment model
  // still lets us use it.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  char format[80] = "", text[400] = "";
  LoadStringA(m_hModule, IDS_BATCH_WORKING, format, sizeof(format));
  for (int i = 0; i < m_nCount && !m_bCancel; ++i) {
    snprintf(text, sizeof(text), format, i + 1, m_nCount, NamePart(m_pList[i]));
    SetDlgItemTextA(m_hDialog, IDC_BATCH_FILE, text);
    UpdateWindow(m_hDialog);
    switch (ProcessPictureFile(m_pList[i], m_Op, m_nMaxSide)) {
      case FileOutcome::Changed: ++m_nChanged; break;
      case FileOutcome::NothingToDo: break;
      case FileOutcome::Skipped: ++m_nSkipped; break;
      case FileOutcome::Unchanged: ++m_nUnchanged; break;
    }
    SendDlgItemMessageA(m_hDialog, IDC_BATCH_PROGRESS, PBM_SETPOS, i + 1, 0);
    PumpMessages();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  m_bRunning = false;
  ReportLeftAlone();
  EndDialog(m_hDialog, m_nChanged);
}

void CBatchDialog::PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The quit belongs to the host's loop: hand it back and stop.
      PostQuitMessage(static_cast<int>(msg.wParam));
      m_bCancel = true;
      return;
    }
    if (!IsDialogMessageA(m_hDialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

void CBatchDialog::ReportLeftAlone() {
  if (m_nSkipped == 0 && m_nUnchanged == 0) return;
  char text[700] = "", line[300] = "", format[300] = "", caption[60] = "";
  if (m_nSkipped > 0) {
    LoadStringA(m_hModule, IDS_BATCH_SKIPPED, format, sizeof(format));
    snprintf(line, sizeof(line), format, m_nSkipped);
    snprintf(text, sizeof(text), "%s", line);
  }
  if (m_nUnchanged > 0) {
    LoadStringA(m_hModule, IDS_BATCH_UNCHANGED, format, sizeof(format));
    snprintf(line, sizeof(line), format, m_nUnchanged);
    const size_t used = strlen(text);
    snprintf(text + used, sizeof(text) - used, "%s%s", used ? "\n\n" : "", line);
  }
  LoadStringA(m_hModule, IDS_BATCH_CAPTION, caption, sizeof(caption));
  void* token = LockupForModal();
  MessageBoxA(m_hDialog, text, caption, MB_OK | MB_ICONINFORMATION);
  UnlockForModal(token);
}

}  // namespace batchel
