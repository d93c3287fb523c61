// Searching a table by name, description, type, date and size, and stopping.
#include <gtest/gtest.h>

#include <limits.h>
#include <string.h>
#include <time.h>

#include <memory>

#include "../platform/pixamo.h"
#include "ItemFactory.h"

using Paths = std::vector<std::string>;

namespace {

tagAlbumSearchCreteria NoCriteria() {
  tagAlbumSearchCreteria criteria;
  memset(&criteria, 0, sizeof(criteria));
  return criteria;
}

struct tm LocalDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  struct tm date;
  memset(&date, 0, sizeof(date));
  date.tm_year = year - 1900;
  date.tm_mon = month - 1;
  date.tm_mday = day;
  date.tm_hour = hour;
  date.tm_min = minute;
  date.tm_sec = second;
  date.tm_isdst = -1;
  return date;
}

DWORD TimeOf(struct tm date) { return static_cast<DWORD>(mktime(&date)); }

Paths PathsOf(CThumbTable2* table) {
  Paths paths;
  for (int i = 1; i <= table->GetCount(); ++i) paths.push_back(table->GetThumbnail(i)->GetInfo()->aiPath);
  return paths;
}

class SearchTest : public ::testing::Test {
protected:
  void SetUp() override {
    table_.Append({"C:\\Holiday\\Beach.jpg", 150 * 1024, TimeOf(LocalDate(2020, 6, 1)), "Sunny day at the Sea"});
    table_.Append({"C:\\holiday\\beach2.JPG", 100 * 1024, TimeOf(LocalDate(2020, 7, 1)), "sea again"});
    table_.Append({"C:\\work\\Chart.png", 100 * 1024 + 1, TimeOf(LocalDate(2021, 1, 1)), ""});
    table_.Append({"D:\\scans\\page.tiff", 10, TimeOf(LocalDate(2019, 1, 1)), "Sea of papers"});
  }

  Paths Find(const tagAlbumSearchCreteria& criteria) {
    int position = 1;
    std::unique_ptr<CThumbTable2> result(table_.Search(criteria, position));
    EXPECT_NE(result, nullptr);
    EXPECT_EQ(position, table_.GetCount() + 1) << "a complete search ends one past the last item";
    return result ? PathsOf(result.get()) : Paths{};
  }

  TestTable table_;
};

}  // namespace

TEST_F(SearchTest, NoCriteriaCopiesEveryItem) {
  LONG before = ToviMemLiveCount();
  int position = 1;
  std::unique_ptr<CThumbTable2> result(table_.Search(NoCriteria(), position));
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(PathsOf(result.get()), table_.Paths());
  EXPECT_NE(result->GetThumbnail(1), table_.GetThumbnail(1)) << "results are copies";
  EXPECT_NE(result->GetThumbnail(1)->GetDib(), table_.GetThumbnail(1)->GetDib());
  EXPECT_EQ(ToviMemLiveCount(), before + 4);
  result.reset();
  EXPECT_EQ(ToviMemLiveCount(), before);
}

TEST_F(SearchTest, NameIsASubstringWithExactCase) {
  tagAlbumSearchCreteria criteria = NoCriteria();
  Put(criteria.szName, "Holiday");
  EXPECT_EQ(Find(criteria), (Paths{"C:\\Holiday\\Beach.jpg"})) << "\"holiday\" in lower case does not match";
  Put(criteria.szName, "each");
  EXPECT_EQ(Find(criteria), (Paths{"C:\\Holiday\\Beach.jpg", "C:\\holiday\\beach2.JPG"}));
  Put(criteria.szName, "*.jpg");
  EXPECT_EQ(Find(criteria), Paths{}) << "no wildcards";
}

TEST_F(SearchTest, DescriptionIsASubstringWithExactCase) {
  tagAlbumSearchCreteria criteria = NoCriteria();
  Put(criteria.szDescription, "Sea");
  criteria.nDescriptionOption = 1;
  EXPECT_EQ(Find(criteria), (Paths{"C:\\Holiday\\Beach.jpg", "D:\\scans\\page.tiff"}));
}

TEST_F(SearchTest, TypesMatchAnyPatternByItsLastFourCharacters) {
  tagAlbumSearchCreteria criteria = NoCriteria();
  Put(criteria.szTypes, "*.BMP;*.JPG;*.GIF");
  EXPECT_EQ(Find(criteria), (Paths{"C:\\Holiday\\Beach.jpg", "C:\\holiday\\beach2.JPG"}))
      << "the second of three patterns matches, in any letter case";
  Put(criteria.szTypes, "*.TIFF");
  EXPECT_EQ(Find(criteria), (Paths{"D:\\scans\\page.tiff"}));
  Put(criteria.szTypes, "*.*");
  EXPECT_EQ(Find(criteria).size(), 4u);
}

TEST_F(SearchTest, DateRangeIncludesBothEnds) {
  tagAlbumSearchCreteria criteria = NoCriteria();
  criteria.bDateTest = 1;
  criteria.tmFrom = LocalDate(2020, 6, 1);
  criteria.tmTo = LocalDate(2021, 1, 1);
  EXPECT_EQ(Find(criteria), (Paths{"C:\\Holiday\\Beach.jpg", "C:\\holiday\\beach2.JPG", "C:\\work\\Chart.png"}));
  criteria.tmTo = LocalDate(2020, 12, 31, 23, 59, 59);
  criteria.tmFrom = LocalDate(2020, 6, 1, 0, 0, 1);
  EXPECT_EQ(Find(criteria), (Paths{"C:\\holiday\\beach2.JPG"}));
  criteria.bDateTest = 0;
  EXPECT_EQ(Find(criteria).size(), 4u) << "the dates count only when the test is on";
}

TEST_F(SearchTest, SizeBoundIsAtLeastOrAtMost) {
  tagAlbumSearchCreteria criteria = NoCriteria();
  criteria.nSizeBound = 102400;
  EXPECT_EQ(Find(criteria), (Paths{"C:\\Holiday\\Beach.jpg", "C:\\holiday\\beach2.JPG", "C:\\work\\Chart.png"}));
  criteria.nSizeBound = -102400;
  EXPECT_EQ(Find(criteria), (Paths{"C:\\holiday\\beach2.JPG", "D:\\scans\\page.tiff"}));
}

TEST_F(SearchTest, SizesOfTwoGigabytesAndMoreAreLarge) {
  const DWORD threeGiB = 3u << 30;
  table_.Append({"E:\\video\\take.png", threeGiB, 0, ""});
  table_.Append({"E:\\video\\largest.png", 0xFFFFFFFFu, 0, ""});
  tagAlbumSearchCreteria criteria = NoCriteria();
  Put(criteria.szName, "E:\\");
  criteria.nSizeBound = 1 << 20;
  EXPECT_EQ(Find(criteria), (Paths{"E:\\video\\take.png", "E:\\video\\largest.png"})) << "at least 1 MB";
  criteria.nSizeBound = -(1 << 20);
  EXPECT_EQ(Find(criteria), Paths{}) << "at most 1 MB";
  criteria.nSizeBound = INT_MIN;
  EXPECT_EQ(Find(criteria), Paths{}) << "at most 2 GiB";
}

TEST_F(SearchTest, AllTestsMustPass) {
  tagAlbumSearchCreteria criteria = NoCriteria();
  Put(criteria.szName, "C:\\");
  Put(criteria.szDescription, "sea");
  Put(criteria.szTypes, "*.JPG");
  criteria.nSizeBound = -102400;
  EXPECT_EQ(Find(criteria), (Paths{"C:\\holiday\\beach2.JPG"}));
}

TEST_F(SearchTest, StartPositionBeyondTheEndFindsNothing) {
  int position = 9;
  std::unique_ptr<CThumbTable2> result(table_.Search(NoCriteria(), position));
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->GetCount(), 0);
  EXPECT_EQ(position, 9);
  position = 3;
  result.reset(table_.Search(NoCriteria(), position));
  EXPECT_EQ(PathsOf(result.get()), (Paths{"C:\\work\\Chart.png", "D:\\scans\\page.tiff"}));
  EXPECT_EQ(position, 5);
}

namespace {
int g_testsBeforeStop;
int StopAfterSomeItems() { return g_testsBeforeStop-- <= 0 ? 1 : 0; }
}  // namespace

TEST_F(SearchTest, StopRequestEndsWithNullAndNoLeak) {
  LONG before = ToviMemLiveCount();
  g_testsBeforeStop = 2;
  QILABORTFUNC previous = SetAbortFunc(StopAfterSomeItems);
  int position = 1;
  CThumbTable2* result = table_.Search(NoCriteria(), position);
  SetAbortFunc(previous);
  EXPECT_EQ(result, nullptr);
  EXPECT_EQ(position, 3) << "position names the item being examined when the stop came";
  EXPECT_EQ(ToviMemLiveCount(), before) << "the partial result was released";
  EXPECT_EQ(table_.GetCount(), 4);
}
