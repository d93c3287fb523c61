// Album items: records, paths, cloning and ownership of the picture handle.
#include <gtest/gtest.h>

#include <string.h>

#include "ItemFactory.h"
#include "ViewTestSupport.h"

namespace {

// An item whose selection and focus the test sets (the album view's job).
class MarkedItem : public CThumbnail2 {
public:
  using CThumbnail2::CThumbnail2;
  void Mark(int select, int focus) {
    SetSelect(select);
    SetFouse(focus);
  }
};

tagALBUMINFOHEADER RecordWithPath(const char* path) {
  tagALBUMINFOHEADER info;
  memset(&info, 0, sizeof(info));
  Put(info.aiPath, path);
  info.aiRelative = 7;  // recomputed by the constructor
  return info;
}

WORD RelativeFlagOf(const char* path) {
  tagALBUMINFOHEADER info = RecordWithPath(path);
  CThumbnail2 item(&info, nullptr, 0, 1);
  return item.GetInfo()->aiRelative;
}

}  // namespace

TEST(ThumbnailRecord, RelativeFlagFollowsTheDrivePart) {
  EXPECT_EQ(RelativeFlagOf("C:\\photos\\a.jpg"), 0);
  EXPECT_EQ(RelativeFlagOf("\\\\server\\share\\a.jpg"), 0) << "a network path is absolute";
  EXPECT_EQ(RelativeFlagOf("a.jpg"), 1) << "a bare file name";
  EXPECT_EQ(RelativeFlagOf("photos\\a.jpg"), 1);
  EXPECT_EQ(RelativeFlagOf("\\photos\\a.jpg"), 1) << "one leading backslash has no drive";
  EXPECT_EQ(RelativeFlagOf(""), 1);
}

TEST(ThumbnailRecord, ConstructorCopiesTheRecordAndTerminatesTexts) {
  tagALBUMINFOHEADER info;
  memset(&info, 'x', sizeof(info));  // no terminators anywhere
  info.aiFileSize = 1234;
  CThumbnail2 item(&info, nullptr, 9, 0);
  EXPECT_EQ(item.GetID(), 9);
  EXPECT_EQ(item.GetInfo()->aiFileSize, 1234u);
  EXPECT_EQ(strlen(item.GetInfo()->aiPath), sizeof(info.aiPath) - 1);
  EXPECT_EQ(strlen(item.GetInfo()->aiDescription), sizeof(info.aiDescription) - 1);
  EXPECT_NE(item.GetInfo(), &info) << "the record is held by value";
  EXPECT_EQ(item.SetID(4), 9);
  EXPECT_EQ(item.GetID(), 4);
}

TEST(ThumbnailOwnership, DestructorFreesThePictureAndSetDibDoesNot) {
  LONG before = ToviMemLiveCount();
  tagALBUMINFOHEADER info = RecordWithPath("C:\\a.jpg");
  HTOVIMEM first = MakeSolidDib(2, 2, 1);
  HTOVIMEM second = MakeSolidDib(2, 2, 2);
  {
    CThumbnail2 item(&info, first, 0, 1);
    EXPECT_EQ(item.GetDib(), first);
    item.SetDib(second);
    EXPECT_EQ(ToviMemLiveCount(), before + 2) << "SetDib leaves the old handle to the caller";
    ToviMemFree(first);
  }
  EXPECT_EQ(ToviMemLiveCount(), before) << "the item released the handle it held";
}

TEST(ThumbnailClone, DeepCopyKeepsIdAndExistButNotSelection) {
  LONG before = ToviMemLiveCount();
  tagALBUMINFOHEADER info = RecordWithPath("C:\\photos\\a.jpg");
  Put(info.aiDescription, "desc");
  MarkedItem* item = new MarkedItem(&info, MakeSolidDib(40, 20, 128), 5, 0);
  item->Mark(1, 1);
  viewtest::ItemMarks shownOriginal = viewtest::ReadItemMarks(item);
  ASSERT_TRUE(shownOriginal.shown);
  EXPECT_GT(shownOriginal.missing, 0) << "the original is marked missing";
  EXPECT_GT(shownOriginal.focus, 0) << "the original carries the focus";
  EXPECT_EQ(shownOriginal.selected, 1) << "the original is selected";
  CThumbnail2* clone = item->Clone();
  ASSERT_NE(clone, nullptr);
  viewtest::ItemMarks shownClone = viewtest::ReadItemMarks(clone);
  ASSERT_TRUE(shownClone.shown);
  EXPECT_EQ(shownClone.missing, shownOriginal.missing) << "the clone keeps the existence flag";
  EXPECT_EQ(shownClone.focus, 0) << "the clone is not focused";
  EXPECT_EQ(shownClone.selected, 0) << "the clone is not selected";
  EXPECT_EQ(clone->GetID(), 5);
  EXPECT_STREQ(clone->GetInfo()->aiDescription, "desc");
  EXPECT_EQ(memcmp(clone->GetInfo(), item->GetInfo(), sizeof(tagALBUMINFOHEADER)), 0);
  ASSERT_NE(clone->GetDib(), nullptr);
  EXPECT_NE(clone->GetDib(), item->GetDib()) << "the clone owns its own copy";
  ASSERT_EQ(ToviMemSize(clone->GetDib()), ToviMemSize(item->GetDib()));
  const void* a = ToviMemLock(item->GetDib());
  const void* b = ToviMemLock(clone->GetDib());
  EXPECT_EQ(memcmp(a, b, ToviMemSize(item->GetDib())), 0);
  ToviMemUnlock(item->GetDib());
  ToviMemUnlock(clone->GetDib());
  EXPECT_EQ(ToviMemLiveCount(), before + 2);
  delete item;
  EXPECT_EQ(ToviMemLiveCount(), before + 1) << "deleting the original leaves the clone's picture alive";
  EXPECT_NE(ToviMemLock(clone->GetDib()), nullptr);
  ToviMemUnlock(clone->GetDib());
  delete clone;
  EXPECT_EQ(ToviMemLiveCount(), before);
}

TEST(ThumbnailClone, ItemWithoutPictureClonesWithoutOne) {
  tagALBUMINFOHEADER info = RecordWithPath("C:\\a.jpg");
  CThumbnail2 item(&info, nullptr, 3, 1);
  CThumbnail2* clone = item.Clone();
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->GetDib(), nullptr);
  EXPECT_EQ(clone->GetID(), 3);
  delete clone;
}

TEST(ThumbnailAssignment, IsShallow) {
  tagALBUMINFOHEADER info = RecordWithPath("C:\\a.jpg");
  HTOVIMEM dib = MakeSolidDib(2, 2, 1);
  CThumbnail2 owner(&info, dib, 1, 1);
  tagALBUMINFOHEADER other = RecordWithPath("C:\\b.jpg");
  CThumbnail2 view(&other, nullptr, 2, 0);
  view = owner;
  EXPECT_EQ(view.GetDib(), dib) << "both share one handle";
  EXPECT_STREQ(view.GetInfo()->aiPath, "C:\\a.jpg");
  view.SetDib(nullptr);  // only one of them may release it
}

TEST(ThumbnailCopy, ShallowCopiesNeverReleaseTheSharedPicture) {
  LONG before = ToviMemLiveCount();
  CThumbnail2* item = MakeItem({"C:\\photos\\a.jpg", 10, 20, "desc"});
  void* picture = item->GetDib();
  {
    CThumbnail2 copy(*item);
    EXPECT_EQ(copy.GetDib(), picture) << "a copy shares the picture";
    CThumbnail2* assigned = MakeItem({"C:\\photos\\b.jpg"});
    EXPECT_EQ(ToviMemLiveCount(), before + 2);
    *assigned = *item;
    EXPECT_EQ(assigned->GetDib(), picture);
    EXPECT_STREQ(assigned->GetInfo()->aiPath, "C:\\photos\\a.jpg");
    EXPECT_EQ(ToviMemLiveCount(), before + 1) << "the assigned item released the picture it owned";
    *item = *assigned;  // the picture's own item stays its owner
    delete assigned;
  }
  EXPECT_EQ(ToviMemLiveCount(), before + 1) << "the copies left the shared picture alone";
  EXPECT_NE(ToviMemLock(picture), nullptr);
  ToviMemUnlock(picture);

  // An item given a picture of its own releases it, even after sharing one.
  {
    CThumbnail2 holder(*item);
    holder.SetDib(MakeSolidDib(4, 3, 7));
    EXPECT_EQ(ToviMemLiveCount(), before + 2);
    delete item;
    EXPECT_EQ(ToviMemLiveCount(), before + 1);
  }
  EXPECT_EQ(ToviMemLiveCount(), before);
}
