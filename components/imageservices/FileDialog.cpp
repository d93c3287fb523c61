// The picture file dialog: the common open and save dialogs with a filter
// list made from a format mask, plus one extra filter a caller may define.
#include "Formats.h"
#include "Internal.h"

#include <cderr.h>
#include <commdlg.h>

#include <cstring>
#include <mutex>
#include <string>

namespace qil {
namespace {

// Longest description or pattern list accepted for the extra filter.
constexpr size_t kMaxFilterText = 4096;

struct ExtraFilter {
  std::mutex lock;
  bool defined = false;
  std::string description;
  std::string patterns;
};

ExtraFilter& PendingFilter() {
  static ExtraFilter filter;
  return filter;
}

// Takes the defined filter, so that it serves one dialog only.
bool TakeExtraFilter(std::string* description, std::string* patterns) {
  ExtraFilter& pending = PendingFilter();
  std::lock_guard<std::mutex> guard(pending.lock);
  if (!pending.defined) return false;
  *description = std::move(pending.description);
  *patterns = std::move(pending.patterns);
  pending.defined = false;
  return true;
}

struct FilterList {
  std::string text;  // description\0patterns\0 ... \0
  int entries = 0;
};

void AddFilter(FilterList* list, const std::string& description, const std::string& patterns) {
  list->text += description;
  list->text += '\0';
  list->text += patterns;
  list->text += '\0';
  ++list->entries;
}

// "All pictures" first, then one entry per allowed format, then the extra
// filter if one was defined.
FilterList BuildFilterList(DWORD formatMask) {
  FilterList list;
  auto formats = AllowedFormats(formatMask);
  AddFilter(&list, kAllPicturesText, JoinPatterns(formats));
  for (const PictureFormat* f : formats) AddFilter(&list, DescribeFormat(*f), f->patterns);
  std::string description, patterns;
  if (TakeExtraFilter(&description, &patterns)) AddFilter(&list, description, patterns);
  list.text += '\0';
  return list;
}

void ClearResult(char* buffer, int size) {
  buffer[0] = '\0';
  if (size > 1) buffer[1] = '\0';
}

// Checks what the dialog wrote before a caller walks it: every name ends
// inside the buffer. (Wine reports success even when the folder did not fit,
// leaving bare names behind, so the buffer size is not trusted to the dialog.)
// With multiple selection one chosen file comes back as one full path with a
// single NUL after it; callers read on until an empty name, so that list is
// closed here.
bool CheckResult(char* buffer, int size, const OPENFILENAMEA& ofn) {
  const size_t capacity = static_cast<size_t>(size);
  const size_t firstLength = strnlen(buffer, capacity);
  // A full path always puts its name after a folder, so offset 0 means the
  // folder was lost.
  if (firstLength >= capacity || ofn.nFileOffset == 0 || ofn.nFileOffset >= capacity) {
    return false;
  }
  if (!(ofn.Flags & OFN_ALLOWMULTISELECT)) return true;
  bool single = buffer[ofn.nFileOffset - 1] != '\0';
  if (single) {
    if (firstLength + 1 >= capacity) return false;
    buffer[firstLength + 1] = '\0';
    return true;
  }
  if (ofn.nFileOffset != firstLength + 1) return false;
  for (size_t at = ofn.nFileOffset;;) {
    size_t length = strnlen(buffer + at, capacity - at);
    if (at + length >= capacity) return false;
    if (length == 0) return true;
    at += length + 1;
  }
}

int RunFileDialog(HWND owner, int mode, int formatIndex, const char* defaultExt, DWORD formatMask,
                  char* nameBuffer, int bufferSize, DWORD ofnFlags, QILOPENOPTIONS* options,
                  const char* initialFolder) {
  if (!nameBuffer || bufferSize < 2) return QIL_ERR_BAD_ARGUMENT;
  FilterList filters = BuildFilterList(formatMask);
  // A name the caller left in the buffer is offered in the dialog, provided
  // that it is terminated inside the buffer.
  if (!std::memchr(nameBuffer, '\0', static_cast<size_t>(bufferSize))) nameBuffer[0] = '\0';
  const bool open = mode == 1;

  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = IsWindow(owner) ? owner : nullptr;
  ofn.lpstrFilter = filters.text.c_str();
  ofn.nFilterIndex = formatIndex >= 0 && formatIndex < filters.entries ? formatIndex + 1 : 1;
  ofn.lpstrFile = nameBuffer;
  ofn.nMaxFile = static_cast<DWORD>(bufferSize);
  ofn.lpstrInitialDir = initialFolder && *initialFolder ? initialFolder : nullptr;
  // The common dialog wants the extension without its dot.
  if (defaultExt && *defaultExt == '.') ++defaultExt;
  ofn.lpstrDefExt = defaultExt && *defaultExt ? defaultExt : nullptr;
  // The hook and template flags name a caller's customisation that nobody
  // hands us; asked for without one, the dialog would not open at all.
  ofn.Flags = ofnFlags & ~DWORD(OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_ENABLETEMPLATEHANDLE);
  if (!open) ofn.Flags &= ~DWORD(OFN_ALLOWMULTISELECT);

  BOOL chosen = open ? GetOpenFileNameA(&ofn) : GetSaveFileNameA(&ofn);
  if (!chosen) {
    ClearResult(nameBuffer, bufferSize);
    // No extended error means the user cancelled: nothing went wrong.
    return CommDlgExtendedError() == 0 ? -1 : QIL_ERR_BAD_ARGUMENT;
  }
  if (!CheckResult(nameBuffer, bufferSize, ofn)) {
    ClearResult(nameBuffer, bufferSize);
    return QIL_ERR_BAD_ARGUMENT;
  }
  if (options) {
    std::memset(options, 0, sizeof(*options));
    options->nMode = 1;
    // The same numbering as formatIndex, so the choice can be offered again.
    options->nFormatIndex = ofn.nFilterIndex > 0 ? ofn.nFilterIndex - 1 : 0;
  }
  return QIL_OK;
}

}  // namespace
}  // namespace qil

QIL_API int QilDefineFilter(int /*reserved*/, const char* description, const char* patterns) {
  if (!description || !patterns || !*description || !*patterns ||
      strnlen(description, qil::kMaxFilterText + 1) > qil::kMaxFilterText ||
      strnlen(patterns, qil::kMaxFilterText + 1) > qil::kMaxFilterText) {
    qil::Fail(QIL_ERR_BAD_ARGUMENT);
    return 0;
  }
  try {
    qil::ExtraFilter& pending = qil::PendingFilter();
    std::lock_guard<std::mutex> guard(pending.lock);
    pending.description = description;
    pending.patterns = patterns;
    pending.defined = true;
    return 1;
  } catch (...) {
    qil::Fail(QIL_ERR_NO_MEMORY);
    return 0;
  }
}

QIL_API int QilGetFileName(HWND owner, int mode, int formatIndex, const char* defaultExt,
                           DWORD formatMask, char* nameBuffer, int bufferSize, DWORD ofnFlags,
                           QILOPENOPTIONS* options, const char* initialFolder) {
  int result;
  try {
    result = qil::RunFileDialog(owner, mode, formatIndex, defaultExt, formatMask, nameBuffer,
                                bufferSize, ofnFlags, options, initialFolder);
  } catch (...) {
    result = QIL_ERR_NO_MEMORY;
  }
  qil::Fail(result == -1 ? QIL_OK : result);  // a cancel is no failure
  return result;
}
