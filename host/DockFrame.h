// The host's dock frame: the window that holds one album manager dialog, as
// its child, either floating over the main window (a small popup owned by
// it) or docked along one side of the main window's client area (a child
// of the main window). The frame never decides the dialog's size itself: it
// proposes a size for a dock type and takes the dialog's answer.
#pragma once

#include <album.h>

// Dock types, as the dialog knows them.
enum DockSide : int {
  DOCK_FLOAT = 0,
  DOCK_LEFT = 1,
  DOCK_TOP = 2,
  DOCK_RIGHT = 4,
  DOCK_BOTTOM = 8,
};

// Sent to the main window when a docked frame changed its size, was shown
// or hidden, or floated, so that the main window lays its docked frames out
// again; and when the frame goes (wParam the frame, lParam 1).
const UINT WM_DOCKFRAMECHANGED = WM_APP + 0x40;

class DockFrame {
 public:
  // Makes a floating frame owned by mainWindow, takes the manager dialog in
  // as its child at the dialog's present client size, and returns the
  // frame window (hidden until the dialog says it is shown), or null.
  // Frames are staggered by their number so that none hides another.
  static HWND Create(HWND mainWindow, HWND dialog, int stagger);
  // The frame object of a frame window, or null.
  static DockFrame* FromWindow(HWND frame);

  // Docks the frame along a side of the main window, or floats it
  // (DOCK_FLOAT). The main window's docked frames are laid out again.
  void Dock(int side);
  // Places a docked frame inside the rest of the main window's client area
  // and takes its strip off that rectangle.
  void PlaceDocked(RECT* rest);
  // The dialog is going (its dock release): the frame hides and goes soon
  // after, once the dialog has finished destroying itself.
  void Release();

  HWND window() const { return frame_; }
  HWND dialog() const { return dialog_; }
  int side() const { return side_; }
  bool going() const { return going_; }

 private:
  DockFrame(HWND mainWindow, HWND dialog) : main_(mainWindow), dialog_(dialog) {}
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnClose();
  void OnSizing(WPARAM edge, RECT* dragged);
  void OnMinMaxInfo(MINMAXINFO* info);
  void FitAroundDialog();
  SIZE Extra() const;
  DWORD Ask(UINT message, int side, DWORD size) const;
  void SetFloating(bool floating);
  // The side of the main window's client area nearest to the frame's centre.
  int NearestSide() const;

  HWND frame_ = nullptr;
  HWND main_ = nullptr;    // not owned
  HWND dialog_ = nullptr;  // not owned: the dialog destroys itself, then releases the frame
  int side_ = DOCK_FLOAT;
  int lastDockedSide_ = DOCK_LEFT;  // where a double click on the floating caption docks it
  RECT floatRect_{};                // the floating frame on the screen, kept while docked
  bool fitting_ = false;            // resizing the frame around the dialog: no resize back
  bool going_ = false;              // WM_DESTROY has run
};
