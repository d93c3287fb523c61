// What the parts of the toolbar library share: its own module, the resource
// module that RegisterToolBar was given, and the window classes it makes.
#pragma once

#include <windows.h>

namespace tevrin {

// The library's own module: its window classes are registered with it.
HINSTANCE OwnModule();

// Where bitmaps and tooltip texts come from; null before RegisterToolBar.
HMODULE ResourceModule();

// The window classes of the toolbar control and of the move trigger. Both
// are unregistered when the library is unloaded, so that a library loaded
// again later never finds a class whose procedure lay in the old copy.
bool RegisterToolBarClass();
void UnregisterToolBarClass();
bool RegisterTriggerClass();
void UnregisterTriggerClass();

}  // namespace tevrin
