#include "Text.h"

#include <string.h>

bool CopyText(char* dst, size_t capacity, const char* src) {
  if (!dst || capacity == 0) return false;
  if (!src) src = "";
  size_t length = strnlen(src, capacity);
  bool fits = length < capacity;
  if (!fits) length = capacity - 1;
  memcpy(dst, src, length);
  dst[length] = '\0';
  return fits;
}

bool CopyTextWhole(char* dst, size_t capacity, const char* src) {
  if (!dst || capacity == 0) return false;
  if (!src) src = "";
  size_t length = strnlen(src, capacity);
  if (length >= capacity) return false;
  memcpy(dst, src, length + 1);
  return true;
}

size_t BoundedLength(const char* text, size_t capacity) {
  return text ? strnlen(text, capacity) : 0;
}
