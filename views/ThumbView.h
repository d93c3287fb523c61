// The thumbnail cell ("ThumbViewClass"): one child window that shows one
// album item with its frame, selection and focus marks and caption, reports
// every mouse action to its parent and takes part in drag and drop.
#pragma once

#include <album.h>

