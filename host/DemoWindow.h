// The demo host's window: two thumbnail list views over the sample items,
// one in the classic style and one in the framed card style, side by side.
#pragma once

#include <album.h>

#include <string>

// Shows the items (not owned; they must outlive the call) in both styles,
// saves a screenshot of the window as a BMP file at shotPath and closes the
// window again, or, when interactive, waits until the user closes it.
// Returns true when the screenshot was written.
bool ShowDemoWindow(CThumbTable2* items, const std::string& shotPath, bool interactive);
