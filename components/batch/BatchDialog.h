// The modal batch dialog: one operation over a list of picture files, with
// a progress bar, Cancel between files, and one closing message about the
// files it had to leave alone.
#pragma once

#include <windows.h>

#include "BatchOps.h"

namespace batchel {

class CBatchDialog {
 public:
  // Filled by the caller before Run.
  int m_nCount = 0;
  const char (*m_pList)[260] = nullptr;  // not owned: m_nCount full paths
  // Operation and longest side shown first.
  BatchOp m_Op = BatchOp::RotateClockwise;
  int m_nMaxSide = 1024;

  // Read after Run.
  int m_nChanged = 0;
  int m_nSkipped = 0;
  int m_nUnchanged = 0;

  // Shows the dialog owned by owner (between LockupForModal and
  // UnlockForModal); the number of files changed, or -1 when it could not
  // be shown.
  int Run(HINSTANCE module, HWND owner);

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnCommand(int id, int code);
  void OnStart();
  void EnableChoices(bool enable);
  bool ReadChoices();
  // Lets the dialog's queued messages through (Cancel above all) between files.
  void PumpMessages();
  void ReportLeftAlone();

  HINSTANCE m_hModule = nullptr;
  HWND m_hDialog = nullptr;  // not owned
  bool m_bRunning = false;
  bool m_bCancel = false;
};

}  // namespace batchel
