#include "BoundedText.h"

namespace qil {

bool CopyText(char* dst, size_t capacity, const char* src) {
  if (!dst || capacity == 0) return false;
  if (!src) {
    dst[0] = '\0';
    return false;
  }
  size_t i = 0;
  for (; i + 1 < capacity && src[i] != '\0'; ++i) dst[i] = src[i];
  dst[i] = '\0';
  return src[i] == '\0';
}

}  // namespace qil
