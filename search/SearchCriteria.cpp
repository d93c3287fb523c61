// Search criteria pieces: dates, size bound, folder history count and the
// test of one folder file.
#include "search/SearchCriteria.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>

#include "platform/Text.h"

namespace {

SEARCHCLOCKPROC g_clock = nullptr;

bool IsLeapYear(long year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

// Reads a whole decimal piece; false for anything else or a number beyond
// what a date field can hold.
bool ReadNumber(const char* piece, long* value) {
  if (!*piece) return false;
  errno = 0;
  char* end = nullptr;
  long read = strtol(piece, &end, 10);
  if (errno == ERANGE || read < 0 || read > 999999) return false;
  while (*end == ' ') ++end;
  if (*end) return false;
  *value = read;
  return true;
}

// Name of the file without folder and extension, into out (MAX_PATH bytes).
void FileStem(const char* path, char (&out)[MAX_PATH]) {
  const char* name = path;
  for (const char* c = path; *c; ++c) {
    if (*c == '\\' || *c == '/' || *c == ':') name = c + 1;
  }
  CopyText(out, name);
  if (char* dot = strrchr(out, '.')) *dot = '\0';
}

// The file's extension equals one of the ";"-separated types, each with or
// without the "*" of its pattern, ignoring letter case: a format entry of the
// type list names several extensions ("jpg;*.jpeg" and the like).
bool TypeMatches(const char* types, const char* extension) {
  const char* start = types;
  while (*start) {
    size_t length = strcspn(start, ";");
    const char* pattern = start;
    size_t patternLength = length;
    while (patternLength > 0 && (*pattern == ' ' || *pattern == '*')) ++pattern, --patternLength;
    while (patternLength > 0 && pattern[patternLength - 1] == ' ') --patternLength;
    if (patternLength > 0 && patternLength == strlen(extension) && _strnicmp(pattern, extension, patternLength) == 0) {
      return true;
    }
    start += length;
    if (*start == ';') ++start;
  }
  return false;
}

const char* FileExtension(const char* path) {
  const char* dot = strrchr(path, '.');
  const char* slash = strrchr(path, '\\');
  if (!dot || (slash && dot < slash)) return "";
  return dot;
}

}  // namespace

void SetSearchClock(SEARCHCLOCKPROC clock) { g_clock = clock; }

time_t GetSearchTime(void) { return g_clock ? g_clock() : time(nullptr); }

int DaysInMonth(int month, int year) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 0 || month > 11) return 0;
  return month == 1 && IsLeapYear(year) ? 29 : kDays[month];
}

int ParseDateText(const char* text, struct tm* date) {
  if (!text || !date) return 0;
  char copy[64];
  if (!CopyTextWhole(copy, text)) return 0;
  long numbers[3] = {0, 0, 0};
  int pieces = 0;
  // Runs of separators count as one; pieces after the third are ignored.
  char* next = copy;
  while (pieces < 3) {
    next += strspn(next, "-/.");
    if (!*next) break;
    char* piece = next;
    next += strcspn(next, "-/.");
    if (*next) *next++ = '\0';
    while (*piece == ' ') ++piece;
    if (!ReadNumber(piece, &numbers[pieces])) return 0;
    ++pieces;
  }
  if (pieces < 3) return 0;
  long month = numbers[0], day = numbers[1], year = numbers[2];
  // Year 0 does not exist in the calendar the dates are counted in.
  if (month < 1 || month > 12 || day < 1 || year < 1 || year > 9999) return 0;
  if (day > DaysInMonth(static_cast<int>(month - 1), static_cast<int>(year))) return 0;
  memset(date, 0, sizeof(*date));
  date->tm_mday = static_cast<int>(day);
  date->tm_mon = static_cast<int>(month - 1);
  date->tm_year = static_cast<int>(year);
  date->tm_isdst = -1;
  return 1;
}

void FormatDateText(const struct tm* date, char* text, size_t size) {
  if (!text || size == 0) return;
  text[0] = '\0';
  if (date) snprintf(text, size, "%d/%d/%d", date->tm_mon + 1, date->tm_mday, date->tm_year + 1900);
}

struct tm MonthsBefore(const struct tm* date, int months) {
  struct tm earlier = *date;
  if (months < 0) months = 0;
  earlier.tm_year -= months / 12;
  earlier.tm_mon -= months % 12;
  if (earlier.tm_mon < 0) {
    earlier.tm_mon += 12;
    earlier.tm_year -= 1;
  }
  int last = DaysInMonth(earlier.tm_mon, earlier.tm_year + 1900);
  if (earlier.tm_mday > last) earlier.tm_mday = last;
  earlier.tm_wday = 0;
  earlier.tm_yday = 0;
  earlier.tm_isdst = -1;
  return earlier;
}

int MakeSizeBound(int choice, const char* text, int* bound) {
  if (!bound) return 0;
  *bound = 0;
  if (choice != 1 && choice != 2) return 1;
  // Up to 7 digits fit the edit; the bound is bytes in a signed 32-bit field.
  long long kb = text ? atoll(text) : 0;
  if (kb < 1) return 1;
  if (kb * 1024 > 0x7FFFFFFFLL) return 0;
  *bound = static_cast<int>(choice == 1 ? kb * 1024 : -kb * 1024);
  return 1;
}

int ReadFolderHistoryCount(const char* text) {
  if (!text) return 0;
  int count = 0;
  for (const char* c = text; *c >= '0' && *c <= '9'; ++c) {
    count = count * 10 + (*c - '0');
    // A damaged file must not make the dialog read millions of keys.
    if (count >= SEARCH_FOLDER_HISTORY_LIMIT) return SEARCH_FOLDER_HISTORY_LIMIT;
  }
  return count;
}

FolderFileMatcher::FolderFileMatcher(const tagAlbumSearchCreteria* criteria) : criteria_(criteria) {
  if (criteria && criteria->bDateTest) {
    struct tm from = criteria->tmFrom;
    struct tm to = criteria->tmTo;
    earliest_ = _mktime64(&from);
    latest_ = _mktime64(&to);
  }
}

int FolderFileMatcher::Matches(const char* path, long long size, long long modified) const {
  if (!path || !criteria_) return 0;
  if (criteria_->szName[0]) {
    char stem[MAX_PATH];
    FileStem(path, stem);
    if (!strstr(stem, criteria_->szName)) return 0;
  }
  if (criteria_->szTypes[0] && !TypeMatches(criteria_->szTypes, FileExtension(path))) return 0;
  if (criteria_->bDateTest && (modified < earliest_ || modified > latest_)) return 0;
  if (criteria_->nSizeBound > 0 && size < criteria_->nSizeBound) return 0;
  if (criteria_->nSizeBound < 0 && size > -static_cast<long long>(criteria_->nSizeBound)) return 0;
  return 1;
}

int MatchFolderFile(const char* path, const tagAlbumSearchCreteria* criteria) {
  if (!path || !criteria) return 0;
  struct _stat64 status;
  if (_stat64(path, &status) != 0) return 0;
  return FolderFileMatcher(criteria).Matches(path, status.st_size, status.st_mtime);
}
