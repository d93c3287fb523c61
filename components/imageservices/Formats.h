// The picture formats the image services offer in format lists and file
// dialogs: only those they can open.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qil {

struct PictureFormat {
  DWORD bit;             // format mask bit (QIL_FMT_*)
  const char* name;      // shown before the patterns, e.g. "JPEG"
  const char* patterns;  // ";"-separated, lower case, e.g. "*.jpg;*.jpeg"
};

// The known formats allowed by the mask, in mask-bit order. A mask that
// allows none of them allows them all.
std::vector<const PictureFormat*> AllowedFormats(DWORD mask);

// The format with that mask bit, or null.
const PictureFormat* FindFormat(DWORD bit);

// The patterns of all the given formats, ";"-separated.
std::string JoinPatterns(const std::vector<const PictureFormat*>& formats);

// "JPEG (*.jpg;*.jpeg)".
std::string DescribeFormat(const PictureFormat& format);

// The text of the entry that stands for all formats.
extern const char kAllPicturesText[];

}  // namespace qil
