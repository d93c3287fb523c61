// Toolbar library ("Tevrin.dll"): the album manager's toolbar, a flat look
// for scroll bars that keeps sending the standard scroll messages, and the
// move trigger that carries a docked manager's frame.
#pragma once

#include <windows.h>

#ifdef TEVRIN_BUILDING_DLL
#define TEVRIN_API extern "C" __declspec(dllexport)
#else
#define TEVRIN_API extern "C" __declspec(dllimport)
#endif

// Window class of the toolbar control that dialog templates place (the album
// manager's item 4189); registered by RegisterToolBar.
#define TEVRIN_TOOLBAR_CLASS "TevrinToolBar"

// Registers the toolbar window class; bitmaps and tooltip texts are loaded
// from resources from then on. 1 on success (also when already registered).
TEVRIN_API int RegisterToolBar(HMODULE resources);

// Fills a toolbar window with buttonCount buttons (at most 32). commands[i]
// is the command identifier button i sends to owner as WM_COMMAND (wParam
// MAKEWPARAM(command, BN_CLICKED), lParam the toolbar window); tooltips[i]
// the string identifier of its tooltip. The four bitmap identifiers name
// strips of at least buttonCount equal squares in button order, magenta
// transparent: normal, hot (under the mouse), disabled, pressed. The first
// is required; a missing other one leaves that state to the normal image.
// A second call starts over. flags: 0. 1 on success.
TEVRIN_API int InitializeToolbar(HWND toolbar, HWND owner, int buttonCount, const int* commands,
                                 int bitmap1, int bitmap2, int bitmap3, int bitmap4,
                                 const int* tooltips, int flags);

// Enables or greys the button that sends command. 1 when such a button exists.
TEVRIN_API int EnableToolbar(HWND toolbar, int command, int enable);

// Gives a scroll bar control the flat look; it keeps sending WM_VSCROLL and
// WM_HSCROLL to its parent as before. Undo with DeSubclassScroll before the
// bar is destroyed. 1 on success.
TEVRIN_API int SubclassScroll(HWND scrollBar, int flat, int hotTrack);
TEVRIN_API int DeSubclassScroll(HWND scrollBar);

// A small grip window at (x, y) in owner's client area: dragging it with the
// left button moves the docked manager's frame (owner's parent when owner is
// a child window, else the top-level window holding owner) by the mouse's
// travel; a double click sends that frame WM_NCLBUTTONDBLCLK with HTCAPTION,
// a dock frame's request to undock. windows: the windowCount windows that
// stand beside it in the docked layout; the grip is placed above them. Null
// when it cannot be made; FreeTransplantation destroys it (and nothing else).
TEVRIN_API HWND CreateTransplantationTrigger(int x, int y, int width, int height, HWND owner,
                                             int windowCount, const HWND* windows);
TEVRIN_API void FreeTransplantation(HWND trigger);
