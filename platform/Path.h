// Path splitting shared by the album component.
#pragma once

#include <stdlib.h>

struct SplitPathParts {
  char drive[_MAX_DRIVE];
  char dir[_MAX_DIR];
  char fname[_MAX_FNAME];
  char ext[_MAX_EXT];
};

// The C runtime's splitter, except that a path beginning with two
// backslashes (a network path) reports the drive "\" and is split from its
// second character on, so network paths count as absolute. Returns false
// (all parts empty) when the path is null or too long to split.
bool SplitAlbumPathParts(const char* path, SplitPathParts* parts);

// True when the path has no drive part after splitting.
bool IsRelativePath(const char* path);
