// Bounded text helpers: every copy into a fixed buffer in the album component
// goes through these.
#pragma once

#include <stddef.h>

// Copies src into dst (capacity bytes, NUL included), always terminating.
// Returns false when src did not fit (dst then holds the cut text) or when
// dst has no room at all.
bool CopyText(char* dst, size_t capacity, const char* src);

template <size_t N>
inline bool CopyText(char (&dst)[N], const char* src) {
  return CopyText(dst, N, src);
}

// Like CopyText, but leaves dst untouched and returns false when src does not
// fit: for paths, where a cut text would name a different file.
bool CopyTextWhole(char* dst, size_t capacity, const char* src);

template <size_t N>
inline bool CopyTextWhole(char (&dst)[N], const char* src) {
  return CopyTextWhole(dst, N, src);
}

// Length of a possibly unterminated text in a fixed buffer.
size_t BoundedLength(const char* text, size_t capacity);
