// The module-wide drag tracker and the invisible drag window ("DDWDNCLASS")
// that captures the mouse and runs the AVM_DRAGNOTIFY protocol.
#pragma once

#include <album.h>

// The module's one drag record.
tagDRAGNOTIFY* GetDragRecord();

// Remembers the window, the press position (lParam of WM_LBUTTONDOWN) and
// the data kind. Cells and list views call it on WM_LBUTTONDOWN.
void ArmDrag(HWND window, WPARAM keyFlags, LPARAM position, int kind);

// On WM_MOUSEMOVE: true when the drag has just started (the caller then
// shows the drag cursor 4129 of the resource module).
bool TestDragStart(HWND window, WPARAM keyFlags, LPARAM position);

// Releases the capture and closes the drag window.
bool CancelDrag();
