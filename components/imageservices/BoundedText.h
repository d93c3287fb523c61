// The one way text goes into a fixed buffer in the image services.
#pragma once

#include <cstddef>

namespace qil {

// Copies src into dst, which holds capacity bytes, and always terminates it
// (when capacity > 0). Returns false when src was cut short or is null.
bool CopyText(char* dst, size_t capacity, const char* src);

}  // namespace qil
