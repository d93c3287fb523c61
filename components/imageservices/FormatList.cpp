// Format lists: the formats table and the combo box that offers it.
#include <cctype>
#include <cstring>

#include "../../platform/qil.h"
#include "Formats.h"

namespace qil {
namespace {

// PCX and PSD are left out: nothing here opens them.
const PictureFormat kFormats[] = {
    {QIL_FMT_BMP, "Windows bitmap", "*.bmp;*.dib"},
    {QIL_FMT_JPEG, "JPEG", "*.jpg;*.jpeg;*.jpe"},
    {QIL_FMT_PNG, "PNG", "*.png"},
    {QIL_FMT_GIF, "GIF", "*.gif"},
    {QIL_FMT_TIFF, "TIFF", "*.tif;*.tiff"},
    {QIL_FMT_ICO, "Windows icon", "*.ico"},
};

// Whole patterns, upper case, as many as fit in capacity bytes with the NUL:
// a pattern cut in half would match the wrong files.
void WriteUpperPatterns(const char* patterns, char* out, size_t capacity) {
  size_t used = 0;
  out[0] = '\0';
  const char* p = patterns;
  while (*p) {
    const char* end = std::strchr(p, ';');
    size_t length = end ? size_t(end - p) : std::strlen(p);
    size_t needed = length + (used ? 1 : 0);
    if (used + needed + 1 > capacity) break;
    if (used) out[used++] = ';';
    for (size_t i = 0; i < length; ++i) {
      out[used++] = static_cast<char>(std::toupper(static_cast<unsigned char>(p[i])));
    }
    out[used] = '\0';
    if (!end) break;
    p = end + 1;
  }
}

}  // namespace

const PictureFormat* FindFormat(DWORD bit) {
  for (const PictureFormat& f : kFormats) {
    if (f.bit == bit) return &f;
  }
  return nullptr;
}

const char kAllPicturesText[] = "All pictures";

std::vector<const PictureFormat*> AllowedFormats(DWORD mask) {
  std::vector<const PictureFormat*> allowed;
  for (const PictureFormat& f : kFormats) {
    if (mask & f.bit) allowed.push_back(&f);
  }
  if (allowed.empty()) {
    for (const PictureFormat& f : kFormats) allowed.push_back(&f);
  }
  return allowed;
}

std::string JoinPatterns(const std::vector<const PictureFormat*>& formats) {
  std::string joined;
  for (const PictureFormat* f : formats) {
    if (!joined.empty()) joined += ';';
    joined += f->patterns;
  }
  return joined;
}

std::string DescribeFormat(const PictureFormat& format) {
  return std::string(format.name) + " (" + format.patterns + ")";
}

}  // namespace qil

QIL_API int LoadFormatList(HWND combo, DWORD formatMask, int /*reserved*/) {
  if (!IsWindow(combo)) return 0;
  try {
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    // Inserting at an index keeps this order even in a sorted combo box.
    LRESULT index = SendMessageA(combo, CB_INSERTSTRING, 0,
                                 reinterpret_cast<LPARAM>(qil::kAllPicturesText));
    if (index < 0) return 0;
    SendMessageA(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), 0);
    int count = 1;
    for (const qil::PictureFormat* f : qil::AllowedFormats(formatMask)) {
      std::string text = qil::DescribeFormat(*f);
      index = SendMessageA(combo, CB_INSERTSTRING, static_cast<WPARAM>(count),
                           reinterpret_cast<LPARAM>(text.c_str()));
      if (index < 0) return 0;
      SendMessageA(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), f->bit);
      ++count;
    }
    return count;
  } catch (...) {
    return 0;
  }
}

QIL_API int GetSelectFormatString(HWND combo, char* out) {
  if (!out) return 0;
  out[0] = '\0';
  if (!IsWindow(combo)) return 0;
  LRESULT selected = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  if (selected < 0) return 0;
  LRESULT data = SendMessageA(combo, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0);
  if (data == CB_ERR) return 0;
  if (data == 0) return 1;  // all formats: no narrowing
  const qil::PictureFormat* format = qil::FindFormat(static_cast<DWORD>(data));
  if (!format) return 0;
  qil::WriteUpperPatterns(format->patterns, out, QIL_FORMAT_STRING_MAX);
  return 1;
}
