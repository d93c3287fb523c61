// The ordered item table: positions and ids, insertion, removal, duplicate
// paths, the five sort keys and ownership of items and pictures.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ItemFactory.h"

using Paths = std::vector<std::string>;

namespace {

TestTable* MakeTable(const Paths& paths) {
  auto* table = new TestTable;
  for (const std::string& path : paths) table->Append({path});
  return table;
}

}  // namespace

TEST(ThumbTablePositions, OutOfRangePositionsGiveNull) {
  TestTable table;
  EXPECT_EQ(table.GetThumbnail(1), nullptr) << "empty table";
  for (int i = 1; i <= 5; ++i) table.Append({"C:\\p\\" + std::to_string(i) + ".jpg"});
  EXPECT_EQ(table.GetThumbnail(0), nullptr);
  EXPECT_EQ(table.GetThumbnail(-3), nullptr);
  EXPECT_EQ(table.GetThumbnail(6), nullptr);
  ASSERT_NE(table.GetThumbnail(1), nullptr);
  EXPECT_STREQ(table.GetThumbnail(1)->GetInfo()->aiPath, "C:\\p\\1.jpg");
  EXPECT_STREQ(table.GetThumbnail(5)->GetInfo()->aiPath, "C:\\p\\5.jpg");
  EXPECT_EQ(table.GetCount(), 5);
  EXPECT_EQ(table.CheckIds(), "");
}

TEST(ThumbTablePositions, AnyOrderOfAccessReachesTheSameItems) {
  TestTable table;
  const int count = 200;
  for (int i = 1; i <= count; ++i) table.Append({"C:\\p\\" + std::to_string(i) + ".jpg"});
  // Forward, backward and jumping walks must all agree with the ids.
  for (int i = 1; i <= count; ++i) ASSERT_EQ(table.GetThumbnail(i)->GetID(), i);
  for (int i = count; i >= 1; --i) ASSERT_EQ(table.GetThumbnail(i)->GetID(), i);
  int jumps[] = {100, 3, 198, 57, 58, 1, 200, 99, 150, 2};
  for (int n : jumps) {
    ASSERT_STREQ(table.GetThumbnail(n)->GetInfo()->aiPath, ("C:\\p\\" + std::to_string(n) + ".jpg").c_str())
        << "jump to " << n;
  }
}

TEST(ThumbTableInsert, BeforeTheThirdOfFiveRenumbersTheRest) {
  std::unique_ptr<TestTable> table(MakeTable({"a", "b", "c", "d", "e"}));
  table->GetThumbnail(4);  // leave the cursor past the insertion point
  CThumbnail2* third = table->GetThumbnail(3);
  CThumbnail2* added = MakeItem({"new"});
  EXPECT_EQ(table->Insert(added, third), 1);
  EXPECT_EQ(added->GetID(), 3);
  EXPECT_EQ(third->GetID(), 4);
  EXPECT_EQ(table->GetCount(), 6);
  EXPECT_EQ(table->Paths(), (Paths{"a", "b", "new", "c", "d", "e"}));
  EXPECT_EQ(table->CheckIds(), "");
}

TEST(ThumbTableInsert, AtTheFrontAndAtTheEnd) {
  std::unique_ptr<TestTable> table(MakeTable({"b", "c"}));
  table->Insert(MakeItem({"a"}), table->GetThumbnail(1));
  table->Insert(MakeItem({"d"}), nullptr);
  EXPECT_EQ(table->Paths(), (Paths{"a", "b", "c", "d"}));
  EXPECT_EQ(table->CheckIds(), "");
  EXPECT_EQ(table->Insert(static_cast<CThumbnail2*>(nullptr), nullptr), 0) << "a null item is refused";
  EXPECT_EQ(table->GetCount(), 4);
}

TEST(ThumbTableRemove, RemovingTheSecondOfFourRenumbers) {
  std::unique_ptr<TestTable> table(MakeTable({"a", "b", "c", "d"}));
  table->GetThumbnail(4);
  CThumbnail2* second = table->GetThumbnail(2);
  EXPECT_EQ(table->Remove(second, 0), 1);
  EXPECT_EQ(table->GetCount(), 3);
  EXPECT_EQ(table->Paths(), (Paths{"a", "c", "d"}));
  EXPECT_EQ(table->CheckIds(), "");
  // Without the free flag the caller owns the item, picture and all.
  EXPECT_STREQ(second->GetInfo()->aiPath, "b");
  ASSERT_NE(second->GetDib(), nullptr);
  EXPECT_NE(ToviMemLock(second->GetDib()), nullptr);
  ToviMemUnlock(second->GetDib());
  delete second;
}

TEST(ThumbTableRemove, FreeingReleasesThePicture) {
  LONG before = ToviMemLiveCount();
  {
    std::unique_ptr<TestTable> table(MakeTable({"a", "b", "c"}));
    EXPECT_EQ(ToviMemLiveCount(), before + 3);
    table->Remove(table->GetThumbnail(3), 1);
    EXPECT_EQ(ToviMemLiveCount(), before + 2);
    table->Remove(table->GetThumbnail(1), 1);
    EXPECT_EQ(table->Paths(), (Paths{"b"}));
    EXPECT_EQ(table->CheckIds(), "");
  }
  EXPECT_EQ(ToviMemLiveCount(), before) << "the destructor frees every remaining picture";
}

TEST(ThumbTableRemove, CleanTableEmptiesAndStaysUsable) {
  LONG before = ToviMemLiveCount();
  std::unique_ptr<TestTable> table(MakeTable({"a", "b", "c"}));
  table->GetThumbnail(2);
  table->CleanTable();
  EXPECT_EQ(table->GetCount(), 0);
  EXPECT_EQ(table->GetThumbnail(1), nullptr);
  EXPECT_EQ(ToviMemLiveCount(), before);
  table->Append({"x"});
  EXPECT_EQ(table->Paths(), (Paths{"x"}));
  EXPECT_EQ(table->CheckIds(), "");
}

TEST(ThumbTableInsertTable, SkipsPathsAlreadyPresentWithoutRegardToCase) {
  std::unique_ptr<TestTable> target(MakeTable({"C:\\Photos\\A.jpg", "C:\\Photos\\b.jpg"}));
  std::unique_ptr<TestTable> source(
      MakeTable({"c:\\photos\\a.JPG", "C:\\Photos\\c.jpg", "C:\\PHOTOS\\C.JPG", "C:\\Photos\\d.jpg"}));
  LONG before = ToviMemLiveCount();
  EXPECT_EQ(target->Insert(source.get(), target->GetThumbnail(2)), 1);
  EXPECT_EQ(target->Paths(), (Paths{"C:\\Photos\\A.jpg", "C:\\Photos\\c.jpg", "C:\\Photos\\d.jpg", "C:\\Photos\\b.jpg"}))
      << "a path equal but for case, and a repeat within the source, give no new item";
  EXPECT_EQ(target->CheckIds(), "");
  EXPECT_EQ(ToviMemLiveCount(), before + 2) << "each inserted item owns a copy of its picture";
  EXPECT_EQ(source->GetCount(), 4) << "the source is not changed";
  EXPECT_NE(target->GetThumbnail(2)->GetDib(), source->GetThumbnail(2)->GetDib());
}

TEST(ThumbTableInsertTable, AppendsWithoutPositionAndIgnoresItself) {
  std::unique_ptr<TestTable> target(MakeTable({"a"}));
  std::unique_ptr<TestTable> source(MakeTable({"b", "c"}));
  target->Insert(source.get(), nullptr);
  EXPECT_EQ(target->Paths(), (Paths{"a", "b", "c"}));
  target->Insert(target.get(), nullptr);
  EXPECT_EQ(target->Paths(), (Paths{"a", "b", "c"})) << "a table inserted into itself adds nothing";
  EXPECT_EQ(target->CheckIds(), "");
}

namespace {

// Items for the sort tests: path, size, time, description.
std::unique_ptr<TestTable> SortFixture() {
  auto table = std::make_unique<TestTable>();
  table->Append({"C:\\b.jpg", 300, 1000, "beta"});
  table->Append({"D:\\photos\\a.jpg", 100, 3000, "alpha"});
  table->Append({"C:\\x\\c.png", 200, 2000, "gamma"});
  table->Append({"E:c.bmp", 100, 3000, "alpha"});
  return table;
}

}  // namespace

TEST(ThumbTableSort, ByNameComparesOnlyTheFileName) {
  auto table = SortFixture();
  EXPECT_EQ(table->SortBy(ALBUM_SORT_NAME, 0), 1);
  EXPECT_EQ(table->Paths(), (Paths{"D:\\photos\\a.jpg", "C:\\b.jpg", "E:c.bmp", "C:\\x\\c.png"}))
      << "a.jpg on D: sorts before b.jpg at the root of C:; \"c.bmp\" after a drive colon counts as a name";
  EXPECT_EQ(table->CheckIds(), "");
  table->SortBy(ALBUM_SORT_NAME, 1);
  EXPECT_EQ(table->Paths(), (Paths{"C:\\x\\c.png", "E:c.bmp", "C:\\b.jpg", "D:\\photos\\a.jpg"}));
}

TEST(ThumbTableSort, ByTypeUsesTheLastThreeCharacters) {
  auto table = SortFixture();
  table->SortBy(ALBUM_SORT_TYPE, 0);
  EXPECT_EQ(table->Paths(), (Paths{"E:c.bmp", "C:\\b.jpg", "D:\\photos\\a.jpg", "C:\\x\\c.png"}))
      << "equal types keep their previous order";
  table->SortBy(ALBUM_SORT_TYPE, 1);
  EXPECT_EQ(table->Paths(), (Paths{"C:\\x\\c.png", "C:\\b.jpg", "D:\\photos\\a.jpg", "E:c.bmp"}));
}

TEST(ThumbTableSort, BySizeSmallestFirstWithOrderZero) {
  auto table = SortFixture();
  table->SortBy(ALBUM_SORT_SIZE, 0);
  EXPECT_EQ(table->Paths(), (Paths{"D:\\photos\\a.jpg", "E:c.bmp", "C:\\x\\c.png", "C:\\b.jpg"}));
  table->SortBy(ALBUM_SORT_SIZE, 1);
  EXPECT_EQ(table->Paths(), (Paths{"C:\\b.jpg", "C:\\x\\c.png", "D:\\photos\\a.jpg", "E:c.bmp"}))
      << "ties keep the order they had before this sort";
}

TEST(ThumbTableSort, ByDateNewestFirstWithOrderZero) {
  auto table = SortFixture();
  table->SortBy(ALBUM_SORT_DATE, 0);
  EXPECT_EQ(table->Paths(), (Paths{"D:\\photos\\a.jpg", "E:c.bmp", "C:\\x\\c.png", "C:\\b.jpg"}));
  table->SortBy(ALBUM_SORT_DATE, 7);
  EXPECT_EQ(table->Paths(), (Paths{"C:\\b.jpg", "C:\\x\\c.png", "D:\\photos\\a.jpg", "E:c.bmp"}))
      << "any non-zero order reverses";
}

TEST(ThumbTableSort, ByDescription) {
  auto table = SortFixture();
  table->SortBy(ALBUM_SORT_DESCRIPTION, 0);
  EXPECT_EQ(table->Paths(), (Paths{"D:\\photos\\a.jpg", "E:c.bmp", "C:\\b.jpg", "C:\\x\\c.png"}));
  table->SortBy(ALBUM_SORT_DESCRIPTION, 1);
  EXPECT_EQ(table->Paths(), (Paths{"C:\\x\\c.png", "C:\\b.jpg", "D:\\photos\\a.jpg", "E:c.bmp"}));
  EXPECT_EQ(table->CheckIds(), "");
}

TEST(ThumbTableSort, EqualValuesKeepTheirOrderAndEmptyTablesReportNothingToDo) {
  auto table = std::make_unique<TestTable>();
  EXPECT_EQ(table->SortBy(ALBUM_SORT_NAME, 0), 0);
  for (const char* path : {"C:\\1\\same.jpg", "C:\\2\\same.jpg", "C:\\3\\same.jpg"}) table->Append({path, 5, 5, "d"});
  Paths original = table->Paths();
  for (int key = ALBUM_SORT_NAME; key <= ALBUM_SORT_DESCRIPTION; ++key) {
    for (int order : {0, 1}) {
      EXPECT_EQ(table->SortBy(key, order), 1);
      EXPECT_EQ(table->Paths(), original) << "key " << key << " order " << order;
    }
  }
  EXPECT_EQ(table->SortBy(9, 0), 0) << "an unknown key changes nothing";
  EXPECT_EQ(table->Paths(), original);
}

TEST(ThumbTableSort, ItemsAndPicturesSurviveSorting) {
  LONG before = ToviMemLiveCount();
  {
    auto table = SortFixture();
    CThumbnail2* item = table->GetThumbnail(2);
    void* dib = item->GetDib();
    table->SortBy(ALBUM_SORT_NAME, 0);
    EXPECT_EQ(table->GetThumbnail(1), item) << "sorting moves items, it does not copy them";
    EXPECT_EQ(item->GetDib(), dib);
    table->Append({"F:\\z.jpg"});
    EXPECT_EQ(table->GetCount(), 5);
    EXPECT_EQ(table->CheckIds(), "");
  }
  EXPECT_EQ(ToviMemLiveCount(), before);
}

// ---------------------------------------------------------------------------
// Copies share the list and leave it to the original

TEST(ThumbTableCopy, ACopyGoingLeavesTheOriginalsItemsAndPictures) {
  LONG before = ToviMemLiveCount();
  {
    std::unique_ptr<TestTable> table(MakeTable({"a", "b", "c"}));
    CThumbnail2* second = table->GetThumbnail(2);
    LONG held = ToviMemLiveCount();
    {
      TestTable copy(*table);
      EXPECT_EQ(copy.GetThumbnail(2), second) << "the copy refers to the same items";
      TestTable assigned;
      assigned.Append({"own"});
      assigned = *table;
      EXPECT_EQ(assigned.Paths(), (Paths{"a", "b", "c"}));
      EXPECT_EQ(ToviMemLiveCount(), held) << "the assigned table released only its own item";
      assigned.CleanTable();
      EXPECT_EQ(assigned.GetCount(), 0) << "emptying a copy gives it a list of its own";
      assigned.Append({"later"});
      EXPECT_EQ(assigned.Paths(), (Paths{"later"}));
    }
    EXPECT_EQ(ToviMemLiveCount(), held) << "the copies deleted none of the original's pictures";
    EXPECT_EQ(table->Paths(), (Paths{"a", "b", "c"}));
    EXPECT_EQ(table->GetThumbnail(2), second);
    ASSERT_NE(second->GetDib(), nullptr);
    EXPECT_NE(ToviMemLock(second->GetDib()), nullptr) << "the picture is still alive";
    ToviMemUnlock(second->GetDib());
    *table = TestTable(*table);  // a table given its own list back keeps owning it
  }
  EXPECT_EQ(ToviMemLiveCount(), before) << "the original released everything once";
}

TEST(ThumbTableCopy, ACopyFindsItemsWhereTheOriginalNowHasThem) {
  std::unique_ptr<TestTable> table(MakeTable({"a", "b", "c", "d", "e"}));
  TestTable copy(*table);
  ASSERT_STREQ(copy.GetThumbnail(3)->GetInfo()->aiPath, "c");
  ASSERT_STREQ(copy.GetThumbnail(4)->GetInfo()->aiPath, "d");
  // The original removes the copy's last walked item and the one before.
  ASSERT_EQ(table->Remove(table->GetThumbnail(4), 1), 1);
  ASSERT_EQ(table->Remove(table->GetThumbnail(2), 1), 1);
  EXPECT_EQ(copy.GetCount(), 3);
  EXPECT_EQ(copy.Paths(), (Paths{"a", "c", "e"}));
  for (int n = 3; n >= 1; --n) {
    EXPECT_EQ(copy.GetThumbnail(n), table->GetThumbnail(n)) << "item " << n;
  }
  EXPECT_EQ(copy.GetThumbnail(4), nullptr);

  // And the original after the copy moved items of the shared list.
  EXPECT_STREQ(table->GetThumbnail(3)->GetInfo()->aiPath, "e");
  ASSERT_EQ(copy.SortBy(ALBUM_SORT_NAME, 1), 1);
  EXPECT_STREQ(table->GetThumbnail(3)->GetInfo()->aiPath, "a");
  EXPECT_STREQ(table->GetThumbnail(2)->GetInfo()->aiPath, "c");
}
