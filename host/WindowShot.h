// Screenshots of the demo host's windows, and the little window plumbing
// its demo windows share.
#pragma once

#include <windows.h>

#include <string>

// Copies the window's client area as it is on the screen into a 24-bit
// picture and saves it as a BMP file through the image services. True when
// the file was written.
bool SaveClientShot(HWND window, const std::string& path);
// The same for the whole window, its caption and borders included.
bool SaveWindowShot(HWND window, const std::string& path);

// Registers a top-level demo window class of the host program (arrow
// cursor, application icon, button-face background). True when registered.
bool RegisterDemoWindowClass(const char* name, WNDPROC procedure);

// Dispatches every message waiting in the thread's queue.
void PumpPendingMessages();
