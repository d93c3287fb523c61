// A window that shows one picture file, scaled to fit its client area with
// its proportions kept, opened by the host when the album manager asks it
// to open an item.
#pragma once

#include <windows.h>

#include "platform/qil.h"

class PictureWindow {
 public:
  // Opens the file through the image services and shows it in a new window
  // owned by owner. The window, or null when the file cannot be opened (the
  // image services' last error tells why).
  static HWND Open(HWND owner, const char* path);
  // The picture's width and height, or 0 x 0 for a window that is not one.
  static SIZE PictureSize(HWND window);

 private:
  explicit PictureWindow(HTOVIMEM picture) : picture_(picture) {}
  ~PictureWindow();
  PictureWindow(const PictureWindow&) = delete;
  PictureWindow& operator=(const PictureWindow&) = delete;
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint(HWND window);

  HTOVIMEM picture_;  // owned: freed with ToviMemFree
  SIZE size_{};
};
