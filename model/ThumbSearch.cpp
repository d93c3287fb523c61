// Searching a table: copies of the items that meet a set of criteria.
#include <album.h>

#include <string.h>
#include <time.h>

#include <new>
#include <string>

#include "platform/Text.h"
#include "platform/pixamo.h"

namespace {

// One ";"-separated pattern against an upper-cased path: their last four
// characters must be equal without regard to case. "*" and "*.*" match
// everything; a pattern shorter than four characters is compared over its
// own length.
bool TypePatternMatches(const std::string& pattern, const char* upperPath, size_t pathLength) {
  if (pattern == "*" || pattern == "*.*") return true;
  size_t compared = pattern.size() < 4 ? pattern.size() : 4;
  if (compared == 0 || pathLength < compared) return false;
  return lstrcmpiA(pattern.c_str() + pattern.size() - compared, upperPath + pathLength - compared) == 0;
}

bool TypeTest(const tagALBUMINFOHEADER* info, const char* types) {
  char upperPath[sizeof(info->aiPath)];
  CopyText(upperPath, info->aiPath);
  size_t pathLength = strlen(upperPath);
  CharUpperBuffA(upperPath, static_cast<DWORD>(pathLength));

  const char* end = types + BoundedLength(types, sizeof(tagAlbumSearchCreteria::szTypes));
  const char* start = types;
  while (start <= end) {
    const char* stop = static_cast<const char*>(memchr(start, ';', end - start));
    if (!stop) stop = end;
    std::string pattern(start, stop);
    while (!pattern.empty() && pattern.back() == ' ') pattern.pop_back();
    size_t first = pattern.find_first_not_of(' ');
    pattern.erase(0, first == std::string::npos ? pattern.size() : first);
    if (TypePatternMatches(pattern, upperPath, pathLength)) return true;
    start = stop + 1;
  }
  return false;
}

// The criteria's dates as times, converted once per search: mktime asks
// the time zone on every call.
struct DateRange {
  DWORD from;
  DWORD to;
};

DateRange MakeDateRange(const tagAlbumSearchCreteria& criteria) {
  struct tm earliest = criteria.tmFrom;
  struct tm latest = criteria.tmTo;
  return {static_cast<DWORD>(mktime(&earliest)), static_cast<DWORD>(mktime(&latest))};
}

bool DateTest(const tagALBUMINFOHEADER* info, const DateRange& range) {
  return info->aiFileTime >= range.from && info->aiFileTime <= range.to;
}

// Sizes are compared unsigned: read as int, a file of 2 GiB or more would be
// negative and fail every lower bound.
bool SizeTest(const tagALBUMINFOHEADER* info, int bound) {
  long long size = info->aiFileSize;
  long long limit = bound;
  return limit > 0 ? size >= limit : size <= -limit;
}

// A text field as a terminated string: the field itself when it holds its
// terminator, else a copy in spare that stops at the field's end.
const char* FieldText(const char* field, size_t capacity, std::string* spare) {
  if (memchr(field, '\0', capacity)) return field;
  spare->assign(field, capacity);
  return spare->c_str();
}

// How often the keyboard is looked at while items are examined: often
// enough that Escape ends a search at once to the eye.
constexpr DWORD kStopLookInterval = 20;

}  // namespace

int CThumbTable2::NameCmp(CThumbnail2* item, tagAlbumSearchCreteria* criteria) {
  std::string spare;
  const char* name = FieldText(criteria->szName, sizeof(criteria->szName), &spare);
  if (!name[0]) return 1;
  const char* path = item->GetInfo()->aiPath;
  if (strstr(path, name)) return 1;

  char longPath[MAX_PATH] = "";
  ExpandLongPathName(path, longPath);
  longPath[MAX_PATH - 1] = '\0';
  if (strstr(longPath, name)) return 1;

  char shortPath[MAX_PATH] = "";
  DWORD length = GetShortPathNameA(path, shortPath, MAX_PATH - 1);
  if (length == 0 || length >= MAX_PATH - 1) shortPath[0] = '\0';
  return strstr(shortPath, name) ? 1 : 0;
}

int CThumbTable2::DescriptionCmp(CThumbnail2* item, const char* text, int /*option*/) {
  std::string spare;
  const char* wanted = FieldText(text, sizeof(tagAlbumSearchCreteria::szDescription), &spare);
  if (!wanted[0]) return 1;
  return strstr(item->GetInfo()->aiDescription, wanted) ? 1 : 0;
}

CThumbTable2* CThumbTable2::Search(tagAlbumSearchCreteria criteria, int& position) {
  CThumbTable2* result = new (std::nothrow) CThumbTable2;
  if (!result) return nullptr;
  // Positions count from 1; anything below starts at the first item.
  if (position < 1) position = 1;
  bool anyType = criteria.szTypes[0] == '\0';
  DateRange dates = {};
  if (criteria.bDateTest) dates = MakeDateRange(criteria);

  int count = m_nCount;
  while (position <= count) {
    CThumbnail2* item = GetThumbnail(position);
    if (AbortPictureProcessingEvery(kStopLookInterval)) {
      delete result;
      return nullptr;
    }
    const tagALBUMINFOHEADER* info = item->GetInfo();
    bool matches = NameCmp(item, &criteria) &&
                   DescriptionCmp(item, criteria.szDescription, criteria.nDescriptionOption) &&
                   (anyType || TypeTest(info, criteria.szTypes)) &&
                   (!criteria.bDateTest || DateTest(info, dates)) &&
                   (criteria.nSizeBound == 0 || SizeTest(info, criteria.nSizeBound));
    if (matches) {
      CThumbnail2* clone = item->Clone();
      if (clone) result->Insert(clone, nullptr);
    }
    ++position;
  }
  return result;
}
