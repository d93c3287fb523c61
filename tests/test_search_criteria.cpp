// The search criteria pieces: date texts, date defaults, the size bound, the
// folder history's count and the test of folder files, over real files whose
// times the test sets.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <fstream>
#include <string>

#include "../search/SearchCriteria.h"

namespace {

struct Date {
  int month, day, year;
  bool operator==(const Date& other) const {
    return month == other.month && day == other.day && year == other.year;
  }
};

std::ostream& operator<<(std::ostream& out, const Date& date) {
  return out << date.month << "/" << date.day << "/" << date.year;
}

// Parsed date as written, or 0/0/0 when refused.
Date Parse(const char* text) {
  struct tm date = {};
  if (!ParseDateText(text, &date)) return Date{0, 0, 0};
  EXPECT_EQ(date.tm_hour + date.tm_min + date.tm_sec, 0) << text;
  EXPECT_EQ(date.tm_isdst, -1) << text;
  return Date{date.tm_mon + 1, date.tm_mday, date.tm_year};
}

struct tm Day(int year, int month, int day, int hour = 0) {
  struct tm date = {};
  date.tm_year = year - 1900;
  date.tm_mon = month - 1;
  date.tm_mday = day;
  date.tm_hour = hour;
  date.tm_isdst = -1;
  return date;
}

Date Of(const struct tm& date) { return Date{date.tm_mon + 1, date.tm_mday, date.tm_year + 1900}; }

TEST(SearchDates, TextsParseWithAnySeparatorAndOnlyRealDays) {
  EXPECT_EQ(Parse("3/15/2002"), (Date{3, 15, 2002}));
  EXPECT_EQ(Parse("3-15-2002"), (Date{3, 15, 2002}));
  EXPECT_EQ(Parse("3.15.2002"), (Date{3, 15, 2002}));
  EXPECT_EQ(Parse("/3//15-.2002"), (Date{3, 15, 2002})) << "runs of separators count as one";
  EXPECT_EQ(Parse(" 3 / 15 / 2002 "), (Date{3, 15, 2002}));
  EXPECT_EQ(Parse("2/29/2004"), (Date{2, 29, 2004}));
  EXPECT_EQ(Parse("2/29/2000"), (Date{2, 29, 2000})) << "every 400th year is a leap year";
  EXPECT_EQ(Parse("12/31/2002"), (Date{12, 31, 2002}));
  for (const char* refused : {"2/29/2001", "2/29/2100", "13/1/2002", "0/1/2002", "1/0/2002", "4/31/2002",
                              "3/15", "", "3/15/0", "1 2/3/2002", "99999999999/1/2002"}) {
    EXPECT_EQ(Parse(refused), (Date{0, 0, 0})) << "'" << refused << "' was accepted";
  }
}

TEST(SearchDates, EarlierMonthsKeepTheDayWhereItExists) {
  struct tm may10 = Day(2003, 5, 10, 14);
  struct tm earliest = MonthsBefore(&may10, 14);
  EXPECT_EQ(Of(earliest), (Date{3, 10, 2002}));
  EXPECT_EQ(earliest.tm_hour, 14) << "the time of day is kept";
  struct tm january15 = Day(2003, 1, 15);
  char text[16];
  struct tm previous = MonthsBefore(&january15, 1);
  FormatDateText(&previous, text, sizeof(text));
  EXPECT_STREQ(text, "12/15/2002");
  struct tm march31 = Day(2003, 3, 31);
  previous = MonthsBefore(&march31, 1);
  EXPECT_EQ(Of(previous), (Date{2, 28, 2003})) << "the last day of a shorter month";
  struct tm march31Leap = Day(2004, 3, 31);
  EXPECT_EQ(Of(MonthsBefore(&march31Leap, 1)), (Date{2, 29, 2004}));
  FormatDateText(&previous, text, sizeof(text));
  EXPECT_EQ(Parse(text), (Date{2, 28, 2003})) << "the default always parses";
}

TEST(SearchDates, InstalledClockIsTheSearchTime) {
  static const time_t kFixed = 1052568000;  // 10 May 2003, 12:00 UTC
  SetSearchClock([]() -> time_t { return kFixed; });
  EXPECT_EQ(GetSearchTime(), kFixed);
  SetSearchClock(nullptr);
  EXPECT_NE(GetSearchTime(), kFixed);
}

TEST(SearchSize, BoundInBytesAndRefusalBeyondItsField) {
  int bound = 7;
  EXPECT_EQ(MakeSizeBound(1, "0", &bound), 1);
  EXPECT_EQ(bound, 0) << "0 KB means no size test";
  EXPECT_EQ(MakeSizeBound(1, "", &bound), 1);
  EXPECT_EQ(bound, 0) << "an empty size means no size test";
  EXPECT_EQ(MakeSizeBound(0, "50", &bound), 1);
  EXPECT_EQ(bound, 0) << "no choice";
  EXPECT_EQ(MakeSizeBound(1, "5", &bound), 1);
  EXPECT_EQ(bound, 5120);
  EXPECT_EQ(MakeSizeBound(2, "5", &bound), 1);
  EXPECT_EQ(bound, -5120);
  EXPECT_EQ(MakeSizeBound(1, "2097151", &bound), 1);
  EXPECT_EQ(bound, 2097151 * 1024);
  EXPECT_EQ(MakeSizeBound(1, "2097152", &bound), 0);
  EXPECT_EQ(MakeSizeBound(2, "9999999", &bound), 0);
}

TEST(SearchHistory, StoredCountIsBounded) {
  EXPECT_EQ(ReadFolderHistoryCount("00"), 0);
  EXPECT_EQ(ReadFolderHistoryCount("3"), 3);
  EXPECT_EQ(ReadFolderHistoryCount("7x"), 7);
  EXPECT_EQ(ReadFolderHistoryCount("25"), 25);
  EXPECT_EQ(ReadFolderHistoryCount("99999999"), SEARCH_FOLDER_HISTORY_LIMIT);
  EXPECT_EQ(ReadFolderHistoryCount("-1"), 0);
}

class FolderFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    folder_ = std::string(temp) + "search_criteria_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder_.c_str(), nullptr);
    memset(&criteria_, 0, sizeof(criteria_));
  }
  void TearDown() override {
    for (const std::string& file : files_) DeleteFileA(file.c_str());
    RemoveDirectoryA(folder_.c_str());
  }

  // A file of size bytes modified at the local time given.
  std::string File(const std::string& name, size_t size = 10, struct tm modified = Day(2002, 3, 15, 15)) {
    std::string path = folder_ + "\\" + name;
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
    files_.push_back(path);
    long long seconds = mktime(&modified);
    ULONGLONG ticks = (static_cast<ULONGLONG>(seconds) + 11644473600ULL) * 10000000ULL;
    FILETIME time = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    HANDLE handle = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(handle, INVALID_HANDLE_VALUE);
    SetFileTime(handle, &time, &time, &time);
    CloseHandle(handle);
    return path;
  }

  std::string folder_;
  std::vector<std::string> files_;
  tagAlbumSearchCreteria criteria_;
};

TEST_F(FolderFileTest, TypeIgnoresCaseAndNameKeepsIt) {
  std::string a = File("a.jpg"), b = File("b.JPG"), c = File("c.jpeg"), cats = File("cats.jpg"), cat = File("Cat.jpg");
  snprintf(criteria_.szTypes, sizeof(criteria_.szTypes), ".JPG");
  EXPECT_EQ(MatchFolderFile(a.c_str(), &criteria_), 1);
  EXPECT_EQ(MatchFolderFile(b.c_str(), &criteria_), 1);
  EXPECT_EQ(MatchFolderFile(c.c_str(), &criteria_), 0);
  snprintf(criteria_.szTypes, sizeof(criteria_.szTypes), ".jpg;*.jpeg");
  EXPECT_EQ(MatchFolderFile(c.c_str(), &criteria_), 1) << "every type of a format entry";
  EXPECT_EQ(MatchFolderFile(b.c_str(), &criteria_), 1);
  snprintf(criteria_.szTypes, sizeof(criteria_.szTypes), ".JPG");
  snprintf(criteria_.szName, sizeof(criteria_.szName), "cat");
  EXPECT_EQ(MatchFolderFile(cats.c_str(), &criteria_), 1);
  EXPECT_EQ(MatchFolderFile(cat.c_str(), &criteria_), 0) << "the letter case must match";
  snprintf(criteria_.szName, sizeof(criteria_.szName), "jpg");
  criteria_.szTypes[0] = '\0';
  EXPECT_EQ(MatchFolderFile(a.c_str(), &criteria_), 0) << "the extension is not part of the name";
  tagAlbumSearchCreteria any = {};
  EXPECT_EQ(MatchFolderFile((folder_ + "\\missing.jpg").c_str(), &any), 0);
}

TEST_F(FolderFileTest, DatesIncludeBothEndsAndTheLatestDayStartsAtMidnight) {
  std::string afternoon = File("afternoon.jpg", 10, Day(2002, 3, 15, 15));
  std::string midnight = File("midnight.jpg", 10, Day(2002, 3, 15, 0));
  criteria_.bDateTest = 1;
  ASSERT_EQ(ParseDateText("3/1/2002", &criteria_.tmFrom), 1);
  ASSERT_EQ(ParseDateText("3/15/2002", &criteria_.tmTo), 1);
  criteria_.tmFrom.tm_year -= 1900;
  criteria_.tmTo.tm_year -= 1900;
  EXPECT_EQ(MatchFolderFile(afternoon.c_str(), &criteria_), 0) << "after the start of the latest day";
  EXPECT_EQ(MatchFolderFile(midnight.c_str(), &criteria_), 1) << "the latest moment itself";
  criteria_.tmTo = Day(2002, 3, 16);
  EXPECT_EQ(MatchFolderFile(afternoon.c_str(), &criteria_), 1);
  criteria_.tmFrom = Day(2002, 3, 15, 15);
  EXPECT_EQ(MatchFolderFile(afternoon.c_str(), &criteria_), 1) << "the earliest moment itself";
  criteria_.tmFrom = Day(2002, 3, 15, 16);
  EXPECT_EQ(MatchFolderFile(afternoon.c_str(), &criteria_), 0);
}

TEST_F(FolderFileTest, SizeBoundsIncludeTheirValue) {
  std::string small = File("small.jpg", 1024), large = File("large.jpg", 1025);
  criteria_.nSizeBound = 1025;
  EXPECT_EQ(MatchFolderFile(small.c_str(), &criteria_), 0);
  EXPECT_EQ(MatchFolderFile(large.c_str(), &criteria_), 1);
  criteria_.nSizeBound = -1024;
  EXPECT_EQ(MatchFolderFile(small.c_str(), &criteria_), 1);
  EXPECT_EQ(MatchFolderFile(large.c_str(), &criteria_), 0);
}

}  // namespace
