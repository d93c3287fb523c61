// Screenshots of the demo host's windows.
#pragma once

#include <windows.h>

#include <string>

// Copies the window's client area as it is on the screen into a 24-bit
// picture and saves it as a BMP file through the image services. True when
// the file was written.
bool SaveClientShot(HWND window, const std::string& path);
