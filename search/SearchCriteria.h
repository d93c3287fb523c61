// The pieces of the search criteria that the search dialog builds from its
// controls and the search run tests folder files against: the search scope
// kept in the criteria record's own area, date texts, the date defaults, the
// size bound and the folder history's count.
#pragma once

#include <album.h>

#include <time.h>

// The scope area at the end of tagAlbumSearchCreteria.
#pragma pack(push, 1)
struct tagSearchScope {
  int nIncludeSubfolders;  // 1: the folder's subfolders are searched too
  char szAlbum[260];       // album entry chosen, or empty when albums are not searched
  char szFolder[260];      // folder to search, or empty when folders are not searched
  int nScope;              // SEARCH_SCOPE_*
};
#pragma pack(pop)
static_assert(sizeof(tagSearchScope) == sizeof(((tagAlbumSearchCreteria*)nullptr)->scope), "scope fills its area");
static_assert(offsetof(tagSearchScope, szAlbum) == 4, "album name at 640 of the record");
static_assert(offsetof(tagSearchScope, szFolder) == 264, "folder at 900 of the record");
static_assert(offsetof(tagSearchScope, nScope) == 524, "scope at 1160 of the record");

enum { SEARCH_SCOPE_BOTH = 0, SEARCH_SCOPE_ALBUMS = 1, SEARCH_SCOPE_FOLDERS = 2 };

// The record's scope area, read and written in place.
inline tagSearchScope* GetSearchScope(tagAlbumSearchCreteria* criteria) {
  return reinterpret_cast<tagSearchScope*>(criteria->scope);
}

// The local time "now" of the search: the dialog's dates and the month and
// day ranges are taken from it. A test installs a fixed clock; null restores
// the machine's clock.
typedef time_t (*SEARCHCLOCKPROC)(void);
ALBUM_API void SetSearchClock(SEARCHCLOCKPROC clock);
ALBUM_API time_t GetSearchTime(void);

// Reads "month/day/year" (also with "-" or "." between the numbers, runs of
// separators counting as one). 1 with *date filled (time 00:00:00, month
// 0-based, the year as written, daylight flag -1) when the date exists in
// the Gregorian calendar; 0 otherwise.
ALBUM_API int ParseDateText(const char* text, struct tm* date);
// "month/day/year" without leading zeros, year as written; size >= 12.
ALBUM_API void FormatDateText(const struct tm* date, char* text, size_t size);
// Days of the month (0-based) of a year as written.
ALBUM_API int DaysInMonth(int month, int year);

// The same day months calendar months earlier (the year counted from 1900
// as in struct tm); a day the earlier month lacks becomes its last day, so
// 31 March one month back is 28 or 29 February, never 3 March.
ALBUM_API struct tm MonthsBefore(const struct tm* date, int months);

// Size bound of the size page: choice 0 none, 1 at least, 2 at most; text
// the KB typed. 1 with *bound set (0 for no test: no choice, an empty or
// non-positive size); 0 when the size cannot be held in bytes.
ALBUM_API int MakeSizeBound(int choice, const char* text, int* bound);

// Folders the folder history keeps, and the count a stored "ITEMNUM" text
// stands for: its leading decimal digits, never more than the limit.
enum { SEARCH_FOLDER_HISTORY_LIMIT = 25 };
ALBUM_API int ReadFolderHistoryCount(const char* text);

// 1 when the picture file passes the name, type, date and size tests of the
// criteria (the description is not tested for files).
ALBUM_API int MatchFolderFile(const char* path, const tagAlbumSearchCreteria* criteria);

// The folder file test of one run: the dates are converted once, and the
// status comes from the folder listing instead of a query per file. The
// criteria must outlive the test.
class FolderFileMatcher {
public:
  explicit FolderFileMatcher(const tagAlbumSearchCreteria* criteria);
  // 1 when the file passes; size in bytes and modified in seconds since 1970
  // are its status.
  int Matches(const char* path, long long size, long long modified) const;

private:
  const tagAlbumSearchCreteria* criteria_;  // not owned
  long long earliest_ = 0;
  long long latest_ = 0;
};
