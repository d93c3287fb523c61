// The picture information dialog: sixteen rows of camera data in a
// two-column list.
#pragma once

#include <windows.h>

#include "ExifRecords.h"

// Runs dialog IDD_PICTURE_INFO of the resource module modally, owned by
// owner, showing each row's label beside its text. Returns the end code
// (IDOK or IDCANCEL), or -1 when the dialog cannot be created.
INT_PTR RunPictureInfoDialog(HWND owner, const tagEXIFROWS* rows);
