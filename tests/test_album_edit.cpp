// The album view's editing operations: load and save, inserts (with the
// duplicate question and the too-long path), moves, removals and where the
// focus goes, refresh, sorts keeping the visible position, drag data, path
// lists and the print wrapper.
#include "AlbumViewTest.h"

#include "support/TestPictures.h"

using namespace albumtest;
using msgseq::Expected;
using msgseq::lparam;
using msgseq::sent;

namespace {

class AlbumEdit : public AlbumFixture {
 protected:
  // Original indexes of the items in table order.
  std::vector<int> Order(TestAlbum* album) {
    std::vector<int> order;
    CAlbumDoc2* doc = album->GetDocument();
    for (int n = 1; n <= doc->GetCount(); ++n) order.push_back(IndexOf(doc->GetThumbnail(n)));
    return order;
  }
  int FilledCells(TestAlbum* album) {
    int filled = 0;
    for (int i = 0; i < album->CellCount(); ++i) filled += album->Shown(i) != 0;
    return filled;
  }
  // Every cell shows the item whose number its slot gives (vertical grids).
  void ExpectCellsInStep(TestAlbum* album) {
    int first = album->GetFirstViewNailID();
    int count = album->GetThumbNailCount();
    for (int k = 0; k < album->CellCount(); ++k) {
      int expected = first + k <= count ? first + k : 0;
      EXPECT_EQ(album->Shown(k), expected) << "cell " << k << " with first " << first;
    }
  }
  HTOVIMEM Picture(int width, int height) { return viewtest::MakeColourDib(width, height, RGB(200, 40, 40)); }
  // Every item's number is its position in the table.
  void ExpectNumbersArePositions(TestAlbum* album) {
    CAlbumDoc2* doc = album->GetDocument();
    for (int n = 1; n <= doc->GetCount(); ++n) EXPECT_EQ(doc->GetThumbnail(n)->GetID(), n) << "item at " << n;
  }
};

std::vector<uint8_t> Bytes(size_t count) { return std::vector<uint8_t>(count, 0x5A); }

}  // namespace

// ---------------------------------------------------------------------------
// Load, save, empty

TEST_F(AlbumEdit, SavedAlbumLoadsBackAndShowsFromItsFirstItem) {
  testpics::TempFolder folder;
  ASSERT_TRUE(folder.ok());
  std::string file = folder.File("five.abm");
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 5);
  Click(album, 2);
  ASSERT_NE(album->Save(file.c_str()), 0) << "saved";
  recorder.Flush();
  EXPECT_EQ(album->Load(file.c_str()), 1);
  EXPECT_EQ(album->GetThumbNailCount(), 5);
  EXPECT_EQ(album->GetFirstViewNailID(), 1);
  EXPECT_EQ(album->GetCurrentFocus(), -1) << "a loaded album has no focus";
  EXPECT_FALSE(album->HaveSel());
  ExpectCellsInStep(album);
  Expected expected[] = {{AVM_FOCUSCHANGED, sent | lparam, 0, 0}, {AVM_UPDATESCROLL, sent}, {0}};
  ok_sequence(recorder, 0, expected, "the old focus goes before the album is read");
}

TEST_F(AlbumEdit, AFailedLoadLeavesAnEmptyView) {
  testpics::TempFolder folder;
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 5);
  EXPECT_EQ(album->Load(folder.File("missing.abm").c_str()), 0);
  EXPECT_EQ(album->Load(nullptr), 0);
  EXPECT_EQ(album->GetThumbNailCount(), 0);
  EXPECT_EQ(FilledCells(album), 0) << "nothing shown";
  EXPECT_EQ(album->GetFirstViewNailID(), -1);
}

TEST_F(AlbumEdit, FreeingTheAlbumTellsTheParentTheFocusWent) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 8);
  Click(album, 5);
  recorder.Flush();
  album->FreeAlbumData();
  Expected expected[] = {{AVM_FOCUSCHANGED, sent | lparam, 0, 0}, {0}};
  ok_sequence(recorder, 0, expected, "the parent must not keep the deleted item");
  EXPECT_EQ(album->GetThumbNailCount(), 0);
  EXPECT_EQ(FilledCells(album), 0);
  EXPECT_EQ(album->GetCurrentFocus(), -1);
  EXPECT_FALSE(album->HaveSel());
  Key(album, VK_RIGHT);
  EXPECT_EQ(album->GetCurrentFocus(), -1) << "keys find nothing to move over";
}

// ---------------------------------------------------------------------------
// Inserting a picture

TEST_F(AlbumEdit, AnInsertedPictureGetsItsRecordFromTheFileAndThePicture) {
  testpics::TempFolder folder;
  std::string file = folder.File("pic.jpg");
  ASSERT_TRUE(testpics::WriteFileBytes(file, Bytes(1234)));
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 0);
  HTOVIMEM picture = Picture(20, 10);
  EXPECT_EQ(album->InsertFromThumbnail(picture, "harbour", file.c_str(), nullptr, 640, 480), 1);
  ASSERT_EQ(album->GetThumbNailCount(), 1);
  const tagALBUMINFOHEADER* info = album->GetDocument()->GetThumbnail(1)->GetInfo();
  EXPECT_EQ(info->aiFileSize, 1234u);
  EXPECT_NE(info->aiFileTime, 0u);
  EXPECT_EQ(info->aiThumbWidth, 20);
  EXPECT_EQ(info->aiThumbHeight, 10);
  EXPECT_EQ(info->aiBitCount, 24);
  EXPECT_EQ(info->aiThumbSize, ToviMemSize(picture));
  EXPECT_EQ(info->aiWidth, 640);
  EXPECT_EQ(info->aiHeight, 480);
  EXPECT_STREQ(info->aiPath, file.c_str());
  EXPECT_STREQ(info->aiDescription, "harbour");
  EXPECT_EQ(album->GetDocument()->GetThumbnail(1)->GetDib(), picture) << "the item took the picture over";
  EXPECT_EQ(album->Shown(0), 1);
  Expected expected[] = {{AVM_UPDATESCROLL, sent}, {0}};
  ok_sequence(recorder, 0, expected, "insert");
  EXPECT_EQ(album->InsertFromThumbnail(nullptr, "", file.c_str(), nullptr, 1, 1), 0) << "no picture";
}

TEST_F(AlbumEdit, InsertingBeforeTheFirstVisibleItemShowsTheNewItemFirst) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  Scroll(album, SB_LINEDOWN);
  ASSERT_EQ(album->GetFirstViewNailID(), 5);
  CThumbnail2* fifth = album->GetDocument()->GetThumbnail(5);
  EXPECT_EQ(album->InsertFromThumbnail(Picture(8, 8), "", ItemPath(99).c_str(), fifth, 8, 8), 1);
  EXPECT_EQ(album->GetFirstViewNailID(), 5);
  EXPECT_EQ(IndexOf(album->Cell(0)->GetThumbnail()), 99) << "the new item in the first cell";
  EXPECT_EQ(IndexOf(album->Cell(1)->GetThumbnail()), 5);
  ExpectCellsInStep(album);
}

TEST_F(AlbumEdit, AppendingPastAFullLastPageKeepsTheGridFull) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 24);
  Scroll(album, SB_BOTTOM);
  ASSERT_EQ(album->GetFirstViewNailID(), 13);
  EXPECT_EQ(album->InsertFromThumbnail(Picture(8, 8), "", ItemPath(25).c_str(), nullptr, 8, 8), 1);
  // Item 25 is off the page: the view moves to it, and shows the last page
  // rather than one item in an empty grid.
  EXPECT_EQ(album->GetFirstViewNailID(), 17);
  EXPECT_EQ(FilledCells(album), 9);
  ExpectCellsInStep(album);
  ASSERT_GT(album->CellCount(), 8);
  EXPECT_EQ(album->Shown(8), 25);
}

TEST_F(AlbumEdit, InsertingAboveTheViewKeepsTheNumbersInStep) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  Scroll(album, SB_PAGEDOWN);
  CThumbnail2* second = album->GetDocument()->GetThumbnail(2);
  EXPECT_EQ(album->InsertFromThumbnail(Picture(8, 8), "", ItemPath(99).c_str(), second, 8, 8), 1);
  EXPECT_EQ(album->GetFirstViewNailID(), 2) << "the new item is shown";
  EXPECT_EQ(IndexOf(album->Cell(0)->GetThumbnail()), 99);
  ExpectCellsInStep(album);
}

TEST_F(AlbumEdit, ADuplicateFileIsRefreshedAfterTheUserAgrees) {
  testpics::TempFolder folder;
  std::string file = folder.File("dup.png");
  ASSERT_TRUE(testpics::WritePicture(file, testpics::FileFormat::Png, testpics::MakePhotoPixels(64, 48, false)));
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 3);
  album->GetDocument()->SetThumbnailSize(40, 40);
  ASSERT_EQ(album->InsertFromThumbnail(Picture(8, 8), "first", file.c_str(), nullptr, 1, 1), 1);
  album->GetDocument()->GetThumbnail(4)->GetInfo()->aiFileTime = 0;  // the file changed since

  LONG live = ToviMemLiveCount();
  HTOVIMEM again = Picture(8, 8);
  {
    BoxAnswer answer(IDCANCEL);
    EXPECT_EQ(album->InsertFromThumbnail(again, "", file.c_str(), nullptr, 1, 1), 0) << "cancelled";
    EXPECT_TRUE(answer.answered) << "the question was asked";
    EXPECT_EQ(answer.caption, "Album");
    EXPECT_NE(answer.text.find(file), std::string::npos) << "the question names the file: " << answer.text;
    EXPECT_GE(answer.modalDepth, 1) << "asked inside the modal bracket";
  }
  EXPECT_EQ(ToviMemLiveCount(), live + 1) << "a refused picture stays the caller's";
  EXPECT_EQ(album->GetDocument()->GetThumbnail(4)->GetInfo()->aiWidth, 1) << "nothing refreshed";
  {
    BoxAnswer answer(IDOK);
    EXPECT_EQ(album->InsertFromThumbnail(again, "", file.c_str(), nullptr, 1, 1), 1);
    EXPECT_TRUE(answer.answered);
  }
  EXPECT_EQ(album->GetThumbNailCount(), 4) << "no second item for the same file";
  EXPECT_EQ(album->GetDocument()->GetThumbnail(4)->GetInfo()->aiWidth, 64) << "the item was made again from the file";
  EXPECT_EQ(ToviMemLiveCount(), live) << "the unused picture was released";
}

TEST_F(AlbumEdit, APathWithoutAShortFormThatFitsIsRefused) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 2);
  std::string path = "C:\\" + std::string(300, 'a') + ".jpg";
  HTOVIMEM picture = Picture(8, 8);
  {
    BoxAnswer answer(IDOK);
    EXPECT_EQ(album->InsertFromThumbnail(picture, "", path.c_str(), nullptr, 1, 1), 0);
    EXPECT_TRUE(answer.answered) << "the user is told";
    EXPECT_EQ(answer.caption, "Album");
    EXPECT_NE(answer.text.find("too long"), std::string::npos) << answer.text;
    EXPECT_GE(answer.modalDepth, 1);
  }
  EXPECT_EQ(album->GetThumbNailCount(), 2);
  // 260 characters leave no room for the record's terminator either.
  std::string exact = "C:\\" + std::string(253, 'b') + ".jpg";
  ASSERT_EQ(exact.size(), 260u);
  {
    BoxAnswer answer(IDOK);
    EXPECT_EQ(album->InsertFromThumbnail(picture, "", exact.c_str(), nullptr, 1, 1), 0);
    EXPECT_TRUE(answer.answered) << "refused, not cut short";
  }
  EXPECT_EQ(album->GetThumbNailCount(), 2);
  ToviMemFree(picture);
}

TEST_F(AlbumEdit, AMissingFileGivesNoSizeOrTimeRatherThanItsNeighbours) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 0);
  album->GetDocument()->Insert(MakeAlbumItem(ItemPath(1), true, 555, 777, "neighbour"), nullptr);
  album->UpDataThumbListView(-1);
  CThumbnail2* first = album->GetDocument()->GetThumbnail(1);
  EXPECT_EQ(album->InsertFromThumbnail(Picture(8, 8), "new", ItemPath(2).c_str(), first, 1, 1), 1);
  const tagALBUMINFOHEADER* info = album->GetDocument()->GetThumbnail(1)->GetInfo();
  EXPECT_EQ(IndexOfPath(info->aiPath), 2);
  EXPECT_EQ(info->aiFileSize, 0u);
  EXPECT_EQ(info->aiFileTime, 0u);
  EXPECT_STREQ(info->aiDescription, "new");
}

// ---------------------------------------------------------------------------
// Inserting a table

TEST_F(AlbumEdit, ATableGoesInBeforeTheFocusAndDuplicatesAreNotAdded) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 5);
  Click(album, 2);  // focus on item 3
  CAlbumDoc2 source;
  source.Insert(MakeAlbumItem(ItemPath(40)), nullptr);
  source.Insert(MakeAlbumItem(ItemPath(3)), nullptr);  // already in the album
  source.Insert(MakeAlbumItem(ItemPath(41)), nullptr);
  recorder.Flush();
  // The album's copy of item 3 has no file to refresh from: it counts nothing.
  EXPECT_EQ(album->InsertFromTable(&source, nullptr), 2);
  EXPECT_EQ(source.GetCount(), 0) << "the source gave its items away";
  EXPECT_EQ(Join(Order(album)), Join({1, 2, 40, 41, 3, 4, 5}));
  Expected expected[] = {{AVM_UPDATESCROLL, sent}, {0}};
  ok_sequence(recorder, 0, expected, "one update for the whole table");
  ExpectCellsInStep(album);
  EXPECT_EQ(album->InsertFromTable(album->GetDocument(), nullptr), 0) << "not into itself";
  EXPECT_EQ(album->InsertFromTable(nullptr, nullptr), 0);
}

TEST_F(AlbumEdit, ATableInsertedBeforeTheFirstVisibleItemIsShownFirst) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  Scroll(album, SB_LINEDOWN);
  CAlbumDoc2 source;
  source.Insert(MakeAlbumItem(ItemPath(40)), nullptr);
  source.Insert(MakeAlbumItem(ItemPath(41)), nullptr);
  EXPECT_EQ(album->InsertFromTable(&source, album->GetDocument()->GetThumbnail(5)), 2);
  EXPECT_EQ(album->GetFirstViewNailID(), 5);
  EXPECT_EQ(IndexOf(album->Cell(0)->GetThumbnail()), 40);
  EXPECT_EQ(IndexOf(album->Cell(1)->GetThumbnail()), 41);
  EXPECT_EQ(IndexOf(album->Cell(2)->GetThumbnail()), 5);
  ExpectCellsInStep(album);
}

TEST_F(AlbumEdit, ATableAppendedPastTheLastPageKeepsTheGridFull) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 24);
  Scroll(album, SB_BOTTOM);
  CAlbumDoc2 source;
  for (int i = 25; i <= 27; ++i) source.Insert(MakeAlbumItem(ItemPath(i)), nullptr);
  EXPECT_EQ(album->InsertFromTable(&source, nullptr), 3);
  EXPECT_EQ(album->GetFirstViewNailID(), 17);
  EXPECT_EQ(FilledCells(album), 11);
  ExpectCellsInStep(album);
}

TEST_F(AlbumEdit, DuplicatesWithinTheTableAndAgainstTheAlbumAreNotAddedTwice) {
  testpics::TempFolder folder;
  std::string file = folder.File("twice.png");
  ASSERT_TRUE(testpics::WritePicture(file, testpics::FileFormat::Png, testpics::MakePhotoPixels(64, 48, false)));
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 5);
  album->GetDocument()->SetThumbnailSize(40, 40);
  Click(album, 2);  // focus on item 3
  CAlbumDoc2 source;
  source.Insert(MakeAlbumItem(ItemPath(40)), nullptr);
  source.Insert(MakeAlbumItem(ItemPath(3)), nullptr);         // in the album
  source.Insert(MakeAlbumItem("c:\\ALBUM\\P40.JPG"), nullptr);  // earlier in this table
  source.Insert(MakeAlbumItem(file), nullptr);
  source.Insert(MakeAlbumItem(ItemPath(41)), nullptr);
  source.Insert(MakeAlbumItem(file), nullptr);  // its file changed since: made again
  recorder.Flush();
  EXPECT_EQ(album->InsertFromTable(&source, nullptr), 4) << "three inserted, one duplicate re-made";
  std::vector<int> order = Order(album);
  EXPECT_EQ(Join(order), Join({1, 2, 40, -1, 41, 3, 4, 5}));
  ExpectNumbersArePositions(album);
  CThumbnail2* fromFile = album->GetDocument()->GetThumbnail(4);
  EXPECT_STREQ(fromFile->GetInfo()->aiPath, file.c_str());
  EXPECT_EQ(fromFile->GetInfo()->aiWidth, 64) << "the album's new copy was made again from the file";
  EXPECT_EQ(album->GetCurrentFocus(), 6) << "the focus stays on its item";
  Expected expected[] = {{AVM_UPDATESCROLL, sent}, {0}};
  ok_sequence(recorder, 0, expected, "one update for the whole table");
  ExpectCellsInStep(album);
}

TEST_F(AlbumEdit, AFullPathIsADuplicateOfTheRelativePathItResolvesTo) {
  testpics::TempFolder folder;
  std::string file = folder.File("near.png");
  ASSERT_TRUE(testpics::WritePicture(file, testpics::FileFormat::Png, testpics::MakePhotoPixels(64, 48, false)));
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 2);
  CAlbumDoc2* doc = album->GetDocument();
  ASSERT_TRUE(doc->SetPath(folder.File("album.abm").c_str()));
  doc->Insert(MakeAlbumItem("near.png"), doc->GetThumbnail(1));  // found beside the album file
  album->UpDataThumbListView(-1);
  CAlbumDoc2 source;
  std::string upper = file;
  CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
  source.Insert(MakeAlbumItem(upper), nullptr);
  EXPECT_EQ(album->InsertFromTable(&source, nullptr), 1) << "the album's item was made again";
  EXPECT_EQ(album->GetThumbNailCount(), 3);
  EXPECT_STREQ(doc->GetThumbnail(1)->GetInfo()->aiPath, "near.png");
  EXPECT_EQ(doc->GetThumbnail(1)->GetInfo()->aiWidth, 64);
}

TEST_F(AlbumEdit, ATableLongerThanAPageEndsOnThePageItsLastItemIsOn) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 5);
  Click(album, 2);  // focus on item 3
  CAlbumDoc2 source;
  for (int i = 40; i < 60; ++i) source.Insert(MakeAlbumItem(ItemPath(i)), nullptr);
  EXPECT_EQ(album->InsertFromTable(&source, nullptr), 20);
  EXPECT_EQ(album->GetThumbNailCount(), 25);
  ExpectNumbersArePositions(album);
  // The page the view turns to as each item goes in and is shown.
  EXPECT_EQ(album->GetFirstViewNailID(), 13);
  EXPECT_EQ(IndexOf(album->Cell(9)->GetThumbnail()), 59) << "the last new item is shown";
  EXPECT_EQ(FilledCells(album), 12);
  ExpectCellsInStep(album);
  EXPECT_EQ(album->GetCurrentFocus(), 23);

  // Removing a range of them afterwards numbers the rest again.
  Click(album, 0);            // item 13
  Click(album, 5, MK_SHIFT);  // item 18
  EXPECT_EQ(album->RemoveSelected(0), 1);
  EXPECT_EQ(album->GetThumbNailCount(), 19);
  ExpectNumbersArePositions(album);
  EXPECT_EQ(album->GetCurrentFocus(), 13);
  EXPECT_EQ(IndexOf(album->Focus()), 56);
  ExpectCellsInStep(album);
}

// ---------------------------------------------------------------------------
// Moving one item

TEST_F(AlbumEdit, TheFocusedItemMovesToTheTargetsPlaceInBothDirections) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 8);
  Click(album, 1);  // item 2
  EXPECT_EQ(album->DoExchange(album->Cell(4)), 1) << "onto item 5";
  EXPECT_EQ(Join(Order(album)), Join({1, 3, 4, 5, 2, 6, 7, 8})) << "right after the old item 5";
  EXPECT_EQ(album->GetCurrentFocus(), 5);
  ExpectCellsInStep(album);

  TestAlbum* other = MakeAlbum(AlbumGrid(3, 4, 1), 8);
  Click(other, 4);  // item 5
  EXPECT_EQ(other->DoExchange(other->Cell(1)), 1) << "onto item 2";
  EXPECT_EQ(Join(Order(other)), Join({1, 5, 2, 3, 4, 6, 7, 8}));
  EXPECT_EQ(other->GetCurrentFocus(), 2);
  ExpectCellsInStep(other);

  EXPECT_EQ(other->DoExchange(other->Cell(1)), 0) << "onto itself";
  EXPECT_EQ(other->DoExchange(nullptr), 0);
  EXPECT_EQ(other->DoExchange(other->Cell(10)), 0) << "onto an empty cell";
  TestAlbum* unfocused = MakeAlbum(AlbumGrid(3, 4, 1), 8);
  EXPECT_EQ(unfocused->DoExchange(unfocused->Cell(3)), 0) << "no focus";
}

TEST_F(AlbumEdit, MovingTheFirstVisibleItemAwayKeepsTheViewInStep) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  Scroll(album, SB_LINEDOWN);
  Click(album, 0);  // item 5, the first visible one
  EXPECT_EQ(album->DoExchange(album->Cell(3)), 1);  // onto item 8
  EXPECT_EQ(album->GetFirstViewNailID(), 5);
  EXPECT_EQ(IndexOf(album->Cell(0)->GetThumbnail()), 6) << "its successor took the first cell";
  EXPECT_EQ(IndexOf(album->Cell(3)->GetThumbnail()), 5) << "it sits after the old item 8";
  ExpectCellsInStep(album);
}

// ---------------------------------------------------------------------------
// Removing the selection

TEST_F(AlbumEdit, RemovingItemsTwoFourSixFocusesTheOldSeventh) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 10);
  Click(album, 1);
  Click(album, 3, MK_CONTROL);
  Click(album, 5, MK_CONTROL);
  ASSERT_EQ(album->GetCurrentFocus(), 2) << "the focused item is removed too";
  std::vector<int> countsAtFocusChange;
  recorder.SetResponder(parent, [&](HWND, UINT msg, WPARAM, LPARAM, LRESULT*) {
    if (msg == AVM_FOCUSCHANGED) countsAtFocusChange.push_back(album->GetThumbNailCount());
    return false;
  });
  recorder.Flush();
  EXPECT_EQ(album->RemoveSelected(0), 1);
  EXPECT_EQ(album->GetThumbNailCount(), 7);
  EXPECT_EQ(Join(Order(album)), Join({1, 3, 5, 7, 8, 9, 10}));
  EXPECT_EQ(album->GetCurrentFocus(), 4);
  EXPECT_EQ(IndexOf(album->Focus()), 7);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({7}));
  ExpectCellsInStep(album);
  Expected expected[] = {{AVM_FOCUSCHANGED, sent | lparam, 0, 0}, {AVM_FOCUSCHANGED, sent}, {AVM_UPDATESCROLL, sent},
                         {0}};
  ok_sequence(recorder, 0, expected, "focus cleared, then moved, then the scroll update");
  ASSERT_EQ(countsAtFocusChange.size(), 2u);
  EXPECT_EQ(countsAtFocusChange[0], 10) << "the focus goes before any item is deleted";
}

TEST_F(AlbumEdit, RemovingTheLastItemsFocusesTheNewLastAndRemovingAllEmptiesTheView) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 10);
  Click(album, 7);
  Click(album, 9, MK_SHIFT);
  EXPECT_EQ(album->RemoveSelected(0), 1);
  EXPECT_EQ(album->GetThumbNailCount(), 7);
  EXPECT_EQ(album->GetCurrentFocus(), 7);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({7}));

  Click(album, 0);
  Click(album, 6, MK_SHIFT);
  EXPECT_EQ(album->RemoveSelected(0), 1);
  EXPECT_EQ(album->GetThumbNailCount(), 0);
  EXPECT_EQ(album->GetCurrentFocus(), -1);
  EXPECT_FALSE(album->HaveSel());
  EXPECT_EQ(FilledCells(album), 0);
  EXPECT_EQ(album->RemoveSelected(0), 0) << "nothing selected";
}

TEST_F(AlbumEdit, RemovingTheFirstVisibleItemsShowsTheirSuccessorFirst) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  Scroll(album, SB_PAGEDOWN);
  ASSERT_EQ(album->GetFirstViewNailID(), 13);
  Click(album, 0);
  Click(album, 3, MK_SHIFT);
  EXPECT_EQ(album->RemoveSelected(0), 1);
  EXPECT_EQ(album->GetFirstViewNailID(), 13);
  EXPECT_EQ(IndexOf(album->Cell(0)->GetThumbnail()), 17);
  EXPECT_EQ(IndexOf(album->Focus()), 17);
  ExpectCellsInStep(album);
}

TEST_F(AlbumEdit, RemovingAShiftRangeOverTheFirstVisibleItemAndTheFocus) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  Click(album, 4);  // focus on item 5
  Scroll(album, SB_PAGEDOWN);
  ASSERT_EQ(album->GetFirstViewNailID(), 13);
  Click(album, 7, MK_SHIFT);  // item 20: items 5 to 20 selected
  ASSERT_EQ(Join(SelectedIndexes(album)), Join(Range(5, 20)));
  recorder.Flush();
  EXPECT_EQ(album->RemoveSelected(0), 1);
  std::vector<int> left = Range(1, 4);
  for (int i : Range(21, 30)) left.push_back(i);
  EXPECT_EQ(Join(Order(album)), Join(left));
  ExpectNumbersArePositions(album);
  EXPECT_EQ(IndexOf(album->First()), 21) << "the first visible item's first surviving successor";
  EXPECT_EQ(album->GetFirstViewNailID(), 5);
  EXPECT_EQ(IndexOf(album->Focus()), 21);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({21}));
  ExpectCellsInStep(album);
  Expected expected[] = {{AVM_FOCUSCHANGED, sent | lparam, 0, 0}, {AVM_FOCUSCHANGED, sent}, {AVM_UPDATESCROLL, sent},
                         {0}};
  ok_sequence(recorder, 0, expected, "focus cleared, then moved, then the scroll update");

  // Whatever order the items were picked in, the focus goes to the item
  // after the one that stood last.
  Click(album, 8);              // item 29
  Click(album, 1, MK_CONTROL);  // item 22
  Click(album, 5, MK_CONTROL);  // item 26
  EXPECT_EQ(album->RemoveSelected(0), 1);
  EXPECT_EQ(Join(Order(album)), Join({1, 2, 3, 4, 21, 23, 24, 25, 27, 28, 30}));
  ExpectNumbersArePositions(album);
  EXPECT_EQ(IndexOf(album->Focus()), 30);
  EXPECT_EQ(album->GetCurrentFocus(), 11);
  ExpectCellsInStep(album);
}

TEST_F(AlbumEdit, RemovingWithFilesDeletesOnlyTheSelectedFiles) {
  testpics::TempFolder folder;
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 0);
  std::vector<std::string> files;
  for (int i = 1; i <= 3; ++i) {
    files.push_back(folder.File("p0" + std::to_string(i) + ".jpg"));
    ASSERT_TRUE(testpics::WriteFileBytes(files.back(), Bytes(10)));
    album->GetDocument()->Insert(MakeAlbumItem(files.back()), nullptr);
  }
  album->UpDataThumbListView(-1);
  Click(album, 1);
  EXPECT_EQ(album->RemoveSelected(1), 1);
  EXPECT_EQ(GetFileAttributesA(files[1].c_str()), INVALID_FILE_ATTRIBUTES) << "the selected item's file is gone";
  EXPECT_NE(GetFileAttributesA(files[0].c_str()), INVALID_FILE_ATTRIBUTES) << "the others stay";
  EXPECT_NE(GetFileAttributesA(files[2].c_str()), INVALID_FILE_ATTRIBUTES);
  Click(album, 0);
  EXPECT_EQ(album->RemoveSelected(0), 1);
  EXPECT_NE(GetFileAttributesA(files[0].c_str()), INVALID_FILE_ATTRIBUTES) << "without the flag files stay";
}

// ---------------------------------------------------------------------------
// Refresh and sorts

TEST_F(AlbumEdit, RefreshReportsWhetherEveryItemWasMadeAgain) {
  testpics::TempFolder folder;
  std::string file = folder.File("r.png");
  ASSERT_TRUE(testpics::WritePicture(file, testpics::FileFormat::Png, testpics::MakePhotoPixels(30, 20, false)));
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 0);
  album->GetDocument()->SetThumbnailSize(40, 40);
  album->GetDocument()->Insert(MakeAlbumItem(file), nullptr);
  album->UpDataThumbListView(-1);
  recorder.Flush();
  EXPECT_NE(album->RefreshAlbum(), 0) << "the one item was made again";
  EXPECT_EQ(album->GetDocument()->GetThumbnail(1)->GetInfo()->aiWidth, 30);
  Expected expected[] = {{AVM_UPDATESCROLL, sent}, {0}};
  ok_sequence(recorder, 0, expected, "refresh");
  album->GetDocument()->Insert(MakeAlbumItem(ItemPath(2)), nullptr);
  EXPECT_EQ(album->RefreshAlbum(), 0) << "an item without its file";
}

TEST_F(AlbumEdit, RefreshOfAnUnreadableSourceKeepsTheItemDueForTheNextRefresh) {
  testpics::TempFolder folder;
  std::string file = folder.File("locked.png");
  ASSERT_TRUE(testpics::WriteFileBytes(file, Bytes(64)));  // not a picture yet
  // Both states of the file carry one write time, as a copy finishing
  // within the same second would.
  const FILETIME when{0xFA87C000u, 0x01D9ABAEu};  // 1 July 2023
  auto stamp = [&file, &when]() {
    HANDLE handle = CreateFileA(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(handle, nullptr, nullptr, &when));
    CloseHandle(handle);
  };
  stamp();
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 0);
  album->GetDocument()->SetThumbnailSize(40, 40);
  album->GetDocument()->Insert(MakeAlbumItem(file, true, 0, 1000), nullptr);
  const tagALBUMINFOHEADER* info = album->GetDocument()->GetThumbnail(1)->GetInfo();

  EXPECT_EQ(album->RefreshAlbum(), 0) << "nothing could be made";
  EXPECT_EQ(info->aiFileTime, 1000u) << "the stored time stays until a thumbnail is made";
  EXPECT_EQ(info->aiWidth, 16);

  ASSERT_TRUE(testpics::WritePicture(file, testpics::FileFormat::Png, testpics::MakePhotoPixels(30, 20, false)));
  stamp();
  EXPECT_NE(album->RefreshAlbum(), 0) << "the readable picture is made at the next refresh";
  EXPECT_EQ(info->aiWidth, 30);
  EXPECT_GT(info->aiFileTime, 1000u);
}

TEST_F(AlbumEdit, SortingKeepsTheVisiblePositionAndTheSelection) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 30);
  Scroll(album, SB_LINEDOWN);
  Click(album, 4);  // item 9
  ASSERT_EQ(album->Shown(2), 7);
  EXPECT_EQ(album->SortByName(1), 1) << "names descending";
  EXPECT_EQ(album->GetFirstViewNailID(), 5);
  EXPECT_EQ(album->Shown(2), 7) << "the cell that showed item 7 shows the new item 7";
  EXPECT_EQ(IndexOf(album->Cell(2)->GetThumbnail()), 24);
  ExpectCellsInStep(album);
  EXPECT_EQ(IndexOf(album->Focus()), 9) << "the focus stays on its item";
  EXPECT_EQ(album->GetCurrentFocus(), 22);
  EXPECT_EQ(Join(SelectedIndexes(album)), Join({9}));
  Key(album, VK_RIGHT);
  EXPECT_EQ(IndexOf(album->Focus()), 8) << "keys go on from the item's new place";

  TestAlbum* empty = MakeAlbum(AlbumGrid(3, 4, 1), 0);
  EXPECT_EQ(empty->SortByName(0), 0);
}

TEST_F(AlbumEdit, EachSortUsesItsKey) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 0);
  CAlbumDoc2* doc = album->GetDocument();
  doc->Insert(MakeAlbumItem("C:\\b\\p01.png", true, 300, 10, "c"), nullptr);
  doc->Insert(MakeAlbumItem("C:\\a\\p02.jpg", true, 100, 30, "a"), nullptr);
  doc->Insert(MakeAlbumItem("C:\\c\\p03.bmp", true, 200, 20, "b"), nullptr);
  album->UpDataThumbListView(-1);
  EXPECT_EQ(album->SortByType(0), 1);
  EXPECT_EQ(Join(Order(album)), Join({3, 2, 1})) << "bmp, jpg, png";
  EXPECT_EQ(album->SortBySize(0), 1);
  EXPECT_EQ(Join(Order(album)), Join({2, 3, 1})) << "smallest first";
  EXPECT_EQ(album->SortByDate(0), 1);
  EXPECT_EQ(Join(Order(album)), Join({2, 3, 1})) << "newest first";
  EXPECT_EQ(album->SortByDesc(0), 1);
  EXPECT_EQ(Join(Order(album)), Join({2, 3, 1})) << "descriptions a, b, c";
  EXPECT_EQ(album->SortByName(0), 1);
  EXPECT_EQ(Join(Order(album)), Join({1, 2, 3}));
  ExpectCellsInStep(album);
}

// ---------------------------------------------------------------------------
// Drag data, path lists, current path

TEST_F(AlbumEdit, DragDataCopiesTheSelectionFromTheHeadsSuccessorToTheHead) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 8);
  CAlbumDoc2 nothing;
  EXPECT_EQ(album->GetDragData(&nothing), 0) << "nothing selected";
  album->GetDocument()->SetPath("C:\\albums\\trip.abm");
  Click(album, 1);
  Click(album, 3, MK_CONTROL);
  Click(album, 5, MK_CONTROL);
  CAlbumDoc2 target;
  EXPECT_EQ(album->GetDragData(&target), 3);
  std::vector<int> order;
  for (int n = 1; n <= target.GetCount(); ++n) order.push_back(IndexOf(target.GetThumbnail(n)));
  EXPECT_EQ(Join(order), Join({4, 2, 6})) << "the most recent selection last";
  EXPECT_NE(target.GetThumbnail(1), album->GetDocument()->GetThumbnail(4)) << "copies, not the album's items";
  EXPECT_STREQ(target.GetPath(), "C:\\albums\\trip.abm");
  EXPECT_STREQ(target.GetDescription(), "C:\\albums\\trip.abm") << "an empty description takes the path";
  EXPECT_STREQ(target.GetExePath(), album->GetDocument()->GetExePath());
  EXPECT_EQ(album->GetDragData(nullptr), 0);
}

TEST_F(AlbumEdit, DragDataInSingleSelectionIsOneCopy) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1, 1), 8);
  Click(album, 2);
  Click(album, 5, MK_CONTROL);
  CAlbumDoc2 target;
  target.SetDescription("kept");
  EXPECT_EQ(album->GetDragData(&target), 1);
  EXPECT_EQ(IndexOf(target.GetThumbnail(1)), 6);
  EXPECT_STREQ(target.GetDescription(), "kept");
}

TEST_F(AlbumEdit, PathListsHoldTheResolvedPathsInOneBlock) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 4);
  album->GetDocument()->Insert(MakeAlbumItem("nowhere\\p09.jpg"), nullptr);  // cannot be resolved
  album->UpDataThumbListView(-1);
  int count = -1;
  char (*list)[260] = nullptr;
  ASSERT_EQ(album->GetImageList(count, list), 1);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(count, 4) << "the unresolved path is left out";
  EXPECT_EQ(ToviMemSize(list), 5u * 260) << "sized for every item";
  for (int i = 0; i < count; ++i) EXPECT_EQ(list[i], ItemPath(i + 1)) << "entry " << i;
  ToviMemFree(list);

  EXPECT_EQ(album->GetSelectImageList(count, list), 0) << "nothing selected";
  EXPECT_EQ(count, 0);
  EXPECT_EQ(list, nullptr);
  Click(album, 1);
  Click(album, 2, MK_CONTROL);
  ASSERT_EQ(album->GetSelectImageList(count, list), 1);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(list[0], ItemPath(3)) << "from the head";
  EXPECT_EQ(list[1], ItemPath(2));
  ToviMemFree(list);

  TestAlbum* empty = MakeAlbum(AlbumGrid(3, 4, 1), 0);
  EXPECT_EQ(empty->GetImageList(count, list), 0);
}

TEST_F(AlbumEdit, TheCurrentPathIsTheFocusedItems) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 4);
  char path[MAX_PATH] = "x";
  EXPECT_EQ(album->GetCurrentThumbNailFullPath(path), 0) << "no focus";
  EXPECT_STREQ(path, "");
  Click(album, 2);
  EXPECT_EQ(album->GetCurrentThumbNailFullPath(path), 1);
  EXPECT_EQ(path, ItemPath(3));
  EXPECT_EQ(album->GetCurrentThumbNailFullPath(nullptr), 0);
}

TEST_F(AlbumEdit, PrintingWithoutAPrinterDeviceContextReturnsZero) {
  TestAlbum* album = MakeAlbum(AlbumGrid(3, 4, 1), 2);
  const char driver[] = "winspool";
  const char device[] = "No Such Printer";
  HGLOBAL names = GlobalAlloc(GHND, sizeof(DEVNAMES) + sizeof(driver) + sizeof(device) + 1);
  auto* block = static_cast<DEVNAMES*>(GlobalLock(names));
  block->wDriverOffset = sizeof(DEVNAMES);
  block->wDeviceOffset = static_cast<WORD>(sizeof(DEVNAMES) + sizeof(driver));
  block->wOutputOffset = static_cast<WORD>(sizeof(DEVNAMES) + sizeof(driver) + sizeof(device));
  memcpy(reinterpret_cast<char*>(block) + block->wDriverOffset, driver, sizeof(driver));
  memcpy(reinterpret_cast<char*>(block) + block->wDeviceOffset, device, sizeof(device));
  GlobalUnlock(names);
  PRINTDLGA printer = {};
  printer.lStructSize = sizeof(printer);
  printer.hDevNames = names;
  EXPECT_EQ(album->Print("album", 2, 1, 76, 76, printer), 0);
  EXPECT_NE(GlobalSize(names), 0u) << "the caller's printer choice is left alone";
  GlobalFree(names);
}
