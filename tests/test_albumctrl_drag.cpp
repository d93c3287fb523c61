// Drag and drop between album controls and within one, and the auto-scroll
// while a drag rests at a control's edge: real mouse input on shown,
// top-most windows.
#include <gtest/gtest.h>

#include "AlbumCtrlTestSupport.h"
