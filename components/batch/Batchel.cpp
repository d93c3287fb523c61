// The batch library's entry points.
#include <windows.h>

#include <album.h>

#include "../../platform/batchel.h"
#include "../../platform/qil.h"
#include "BatchDialog.h"

namespace {

HINSTANCE g_module = nullptr;  // this DLL, whose resources the dialog uses

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

int OpenBatchDialog(HWND host) {
  int count = 0;
  char (*list)[260] = nullptr;
  // No active album or no selection leaves count 0: the dialog says so.
  if (!GetAcitveAlbumSelectedThumbnialList(count, list)) count = 0;
  int result = -1;
  try {
    batchel::CBatchDialog dialog;
    dialog.m_nCount = list ? count : 0;
    dialog.m_pList = list;
    result = dialog.Run(g_module, host);
  } catch (...) {
    result = -1;
  }
  if (list) ToviMemFree(list);
  return result;
}
