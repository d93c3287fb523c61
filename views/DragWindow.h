// The module-wide drag tracker and the invisible drag window ("DDWDNCLASS")
// that captures the mouse and runs the AVM_DRAGNOTIFY protocol.
//
// A drag that ends without a drop (Escape, another window taking the mouse,
// CancelDrag, the drag window closed from outside) sends the leave step to
// the last target of the over steps and the end step with ddEffect 1 to the
// source, so that both can undo what they showed or built. Only one drag
// runs at a time; everything is used from the thread that owns the views.
#pragma once

#include <album.h>

// The module's one drag record.
ALBUM_API tagDRAGNOTIFY* GetDragRecord();

// Remembers the window, the press position (lParam of WM_LBUTTONDOWN) and
// the data kind. Cells and list views call it on WM_LBUTTONDOWN. Ignored
// while a drag runs.
ALBUM_API void ArmDrag(HWND window, WPARAM keyFlags, LPARAM position, int kind);

// On WM_MOUSEMOVE: true when the drag has just started (the caller then
// shows the drag cursor 4129 of the resource module).
ALBUM_API bool TestDragStart(HWND window, WPARAM keyFlags, LPARAM position);

// Releases the capture and closes the drag window; always true. Called by a
// source in the begin step, it stops the drop.
ALBUM_API bool CancelDrag();

// Process detach: destroys a drag window left on this thread and
// unregisters the window class, whose procedure lives in this module.
void ReleaseDragWindowClass();
