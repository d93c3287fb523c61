// The recorder the window tests rely on: a sequence check that cannot fail
// would let every window test pass with nothing checked.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <windows.h>

#include "support/MessageRecorder.h"

namespace {

using namespace msgseq;

enum Stream { kFirst = 1, kSecond };

class RecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    first_ = recorder_.CreateTopWindow(kFirst, RECT{700, 100, 800, 200});
    second_ = recorder_.CreateTopWindow(kSecond, RECT{700, 300, 800, 400});
    ASSERT_TRUE(first_ && second_) << "Expected two recording windows";
    PumpUntilIdle();
    recorder_.Flush();
  }

  Recorder recorder_;
  HWND first_ = nullptr;
  HWND second_ = nullptr;
};

TEST_F(RecorderTest, KeepsOneStreamPerWindowAndTellsSentFromPosted) {
  SendMessageA(first_, AVM_ITEMLBUTTONDOWN, MK_LBUTTON, 7);
  PostMessageA(second_, AVM_ITEMBUTTONUP, 0, 0);
  SendMessageA(second_, AVM_UPDATESCROLL, 1, 0);
  PumpUntilIdle();

  static const Expected kFirstStream[] = {{AVM_ITEMLBUTTONDOWN, sent | wparam | lparam, MK_LBUTTON, 7}, {0}};
  ok_sequence(recorder_, kFirst, kFirstStream, "first window");
  static const Expected kSecondStream[] = {
      {AVM_UPDATESCROLL, sent | wparam, 1}, {AVM_ITEMBUTTONUP, posted}, {0}};
  ok_sequence(recorder_, kSecond, kSecondStream, "second window");
  static const Expected kAll[] = {{AVM_ITEMLBUTTONDOWN, sent, 0, 0, kFirst},
                                  {AVM_UPDATESCROLL, sent, 0, 0, kSecond},
                                  {AVM_ITEMBUTTONUP, posted, 0, 0, kSecond},
                                  {0}};
  ok_merged(recorder_, kAll, "both windows in order");
}

TEST_F(RecorderTest, ReportsEveryKindOfMismatchWithNamesAndBothSequences) {
  SendMessageA(first_, AVM_ITEMLBUTTONDOWN, MK_LBUTTON, 0);
  static const Expected kWrongWParam[] = {{AVM_ITEMLBUTTONDOWN, sent | wparam, MK_RBUTTON}, {0}};
  EXPECT_NONFATAL_FAILURE(ok_sequence(recorder_, kFirst, kWrongWParam, "wrong wParam"),
                          "expected AVM_ITEMLBUTTONDOWN sent wParam 0x2, got AVM_ITEMLBUTTONDOWN");
  static const Expected kPostedInstead[] = {{AVM_ITEMLBUTTONDOWN, posted}, {0}};
  EXPECT_NONFATAL_FAILURE(ok_sequence(recorder_, kFirst, kPostedInstead, "posted"), "recorded sequence");
  static const Expected kMissing[] = {{AVM_ITEMLBUTTONDOWN, sent}, {AVM_ITEMBUTTONUP, sent}, {0}};
  EXPECT_NONFATAL_FAILURE(ok_sequence(recorder_, kFirst, kMissing, "missing"),
                          "expected AVM_ITEMBUTTONUP sent, got nothing more");
  static const Expected kNothing[] = {{0}};
  EXPECT_NONFATAL_FAILURE(ok_sequence(recorder_, kFirst, kNothing, "extra"), "expected the end, got AVM_ITEMLBUTTONDOWN");
  static const Expected kWrongStream[] = {{AVM_ITEMLBUTTONDOWN, sent, 0, 0, kSecond}, {0}};
  EXPECT_NONFATAL_FAILURE(ok_merged(recorder_, kWrongStream, "stream"), "[stream 2]");
}

TEST_F(RecorderTest, SkipsOptionalMessagesAndFiltersNoise) {
  InvalidateRect(first_, nullptr, TRUE);
  UpdateWindow(first_);
  SendMessageA(first_, WM_MOUSEMOVE, 0, 0);
  SendMessageA(first_, AVM_UPDATESCROLL, 0, 0);
  static const Expected kWithOptional[] = {{AVM_ITEMDBLCLK, sent | optional}, {AVM_UPDATESCROLL, sent}, {0}};
  ok_sequence(recorder_, kFirst, kWithOptional, "paint and mouse move are noise");

  recorder_.Flush();
  recorder_.Record(WM_MOUSEMOVE);
  SendMessageA(first_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(3, 4));
  static const Expected kMove[] = {{WM_MOUSEMOVE, sent | wparam | lparam, MK_LBUTTON, MAKELPARAM(3, 4)}, {0}};
  ok_sequence(recorder_, kFirst, kMove, "mouse moves when asked for");
}

TEST_F(RecorderTest, KeepsTheDragRecordAsEachStepSawIt) {
  tagDRAGNOTIFY record = {};
  record.ddAction = DRAG_OVER;
  record.ddEffect = DRAG_EFFECT_REFUSED;
  SendMessageA(first_, AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&record));
  record.ddAction = DRAG_DROP;
  record.ddEffect = DRAG_EFFECT_ACCEPTED;
  SendMessageA(first_, AVM_DRAGNOTIFY, 0, reinterpret_cast<LPARAM>(&record));

  static const Expected kSteps[] = {
      {AVM_DRAGNOTIFY, sent | action, 0, DRAG_OVER}, {AVM_DRAGNOTIFY, sent | action, 0, DRAG_DROP}, {0}};
  ok_sequence(recorder_, kFirst, kSteps, "two steps through one record");
  const std::vector<Recorded>& steps = recorder_.Stream(kFirst);
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[0].drag.ddEffect, DRAG_EFFECT_REFUSED) << "Expected the first step's own copy";
  EXPECT_EQ(Describe(steps[1]).find("AVM_DRAGNOTIFY(drop)"), 0u) << Describe(steps[1]);
}

TEST_F(RecorderTest, ARecorderGivesBackTheWindowsItSubclassed) {
  HWND plain = CreateWindowExA(0, "STATIC", "plain", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(plain, nullptr);
  const LONG_PTR original = GetWindowLongPtrA(plain, GWLP_WNDPROC);
  {
    Recorder scoped;
    ASSERT_TRUE(scoped.Subclass(plain, kFirst));
    EXPECT_FALSE(scoped.Subclass(plain, kSecond)) << "Expected one stream per window";
    SendMessageA(plain, AVM_UPDATESCROLL, 0, 0);
    EXPECT_EQ(scoped.Stream(kFirst).size(), 1u);
  }
  EXPECT_EQ(GetWindowLongPtrA(plain, GWLP_WNDPROC), original) << "Expected the original procedure back";
  DestroyWindow(plain);
}

}  // namespace
