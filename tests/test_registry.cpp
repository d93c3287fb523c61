// The per-thread registry: entries per thread, managers in order of opening,
// the active manager, the all-managers block, the modal-busy mark, growth,
// and the module's own registry following threads as they come and go.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <ctype.h>
#include <string.h>

#include <string>

#include "../manager/AlbumCtrl.h"
#include "../manager/AlbumMan.h"
#include "../manager/ThreadRegistry.h"
#include "../platform/qil.h"
#include "../views/Album.h"
#include "ItemFactory.h"
#include "support/TestPictures.h"

namespace {

// Managers known by made-up window handles; the registry never looks further.
std::vector<std::unique_ptr<CAlbumMan>> MakeManagers(int count) {
  std::vector<std::unique_ptr<CAlbumMan>> managers;
  for (int i = 0; i < count; ++i) {
    managers.push_back(std::make_unique<CAlbumMan>());
    managers.back()->m_hWnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1000 + i * 4));
  }
  return managers;
}

const DWORD kThread = 4242;

}  // namespace

TEST(ThreadRegistryEntries, AddFindRemove) {
  CThreadRegistry registry;
  EXPECT_EQ(registry.AddThread(0), 0) << "thread id 0 is refused";
  EXPECT_EQ(registry.AddThread(kThread), 1);
  EXPECT_EQ(registry.AddThread(kThread), 1) << "an existing entry counts as success";
  EXPECT_EQ(registry.GetCount(), 1) << "at most one entry per thread";
  ASSERT_NE(registry.FindThread(kThread), nullptr);
  EXPECT_EQ(registry.FindThread(kThread)->m_nActive, -1);
  EXPECT_EQ(registry.FindThread(7), nullptr);
  EXPECT_EQ(registry.RemoveThread(7), 0);
  EXPECT_EQ(registry.RemoveThread(kThread), 1);
  EXPECT_EQ(registry.FindThread(kThread), nullptr);
}

TEST(ThreadRegistryEntries, EleventhThreadAndEleventhManagerFit) {
  CThreadRegistry registry;
  for (DWORD id = 1; id <= 25; ++id) ASSERT_EQ(registry.AddThread(id), 1) << "thread " << id;
  EXPECT_EQ(registry.GetCount(), 25);
  auto managers = MakeManagers(25);
  for (auto& manager : managers) ASSERT_EQ(registry.AddManager(11, manager.get()), 1);
  EXPECT_EQ(registry.FindThread(11)->m_Managers.size(), 25u);
  // Removing an entry keeps the others in order of arrival.
  registry.RemoveThread(3);
  EXPECT_EQ(registry.GetCount(), 24);
  EXPECT_NE(registry.FindThread(25), nullptr);
}

TEST(ThreadRegistryManagers, RefusalsChangeNothing) {
  CThreadRegistry registry;
  auto managers = MakeManagers(1);
  EXPECT_EQ(registry.AddManager(kThread, managers[0].get()), 0) << "no entry for the thread";
  registry.AddThread(kThread);
  EXPECT_EQ(registry.AddManager(kThread, nullptr), 0);
  EXPECT_EQ(registry.AddManager(0, managers[0].get()), 0);
  EXPECT_EQ(registry.RemoveManager(kThread, managers[0].get()), 0) << "not listed";
  EXPECT_EQ(registry.GetActiveManager(kThread), nullptr) << "no managers";
  EXPECT_EQ(registry.SetActiveManager(kThread, managers[0]->m_hWnd), 0);
  EXPECT_EQ(registry.GetActiveManager(99), nullptr) << "no entry";
}

TEST(ThreadRegistryManagers, ActiveManagerFollowsActivationAndClosing) {
  CThreadRegistry registry;
  registry.AddThread(kThread);
  auto managers = MakeManagers(3);
  for (auto& manager : managers) registry.AddManager(kThread, manager.get());
  EXPECT_EQ(registry.GetActiveManager(kThread), managers[2]->m_hWnd) << "none activated: the most recent";
  EXPECT_EQ(registry.SetActiveManager(kThread, managers[0]->m_hWnd), 1);
  EXPECT_EQ(registry.RemoveManager(kThread, managers[1].get()), 1);
  EXPECT_EQ(registry.GetActiveManager(kThread), managers[0]->m_hWnd) << "closing another keeps the first active";
  EXPECT_EQ(registry.SetActiveManager(kThread, reinterpret_cast<HWND>(0x99)), 0);
  EXPECT_EQ(registry.GetActiveManager(kThread), managers[0]->m_hWnd) << "an unknown window leaves the mark";
  EXPECT_EQ(registry.RemoveManager(kThread, managers[0].get()), 1);
  EXPECT_EQ(registry.GetActiveManager(kThread), managers[2]->m_hWnd) << "after closing the active one: the most recent";
}

TEST(ThreadRegistryManagers, RemovingAnEarlierManagerKeepsTheSameOneActive) {
  CThreadRegistry registry;
  registry.AddThread(kThread);
  auto managers = MakeManagers(4);
  for (auto& manager : managers) registry.AddManager(kThread, manager.get());
  registry.SetActiveManager(kThread, managers[2]->m_hWnd);
  registry.RemoveManager(kThread, managers[0].get());
  EXPECT_EQ(registry.FindThread(kThread)->m_nActive, 1);
  EXPECT_EQ(registry.GetActiveManager(kThread), managers[2]->m_hWnd);
}

TEST(ThreadRegistryManagers, AllManagersBlock) {
  CThreadRegistry registry;
  EXPECT_EQ(registry.GetAllManagers(kThread), nullptr) << "no entry";
  registry.AddThread(kThread);
  LONG before = ToviMemLiveCount();
  HTOVIMEM empty = registry.GetAllManagers(kThread);
  ASSERT_NE(empty, nullptr);
  EXPECT_GE(ToviMemSize(empty), 4u);
  EXPECT_EQ(*static_cast<DWORD*>(ToviMemLock(empty)), 0u) << "no managers: a block holding 0";
  ToviMemUnlock(empty);
  ToviMemFree(empty);

  auto managers = MakeManagers(3);
  for (auto& manager : managers) registry.AddManager(kThread, manager.get());
  HTOVIMEM block = registry.GetAllManagers(kThread);
  ASSERT_NE(block, nullptr);
  EXPECT_GE(ToviMemSize(block), 16u);
  auto* words = static_cast<DWORD*>(ToviMemLock(block));
  EXPECT_EQ(words[0], 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(words[i + 1], static_cast<DWORD>(reinterpret_cast<UINT_PTR>(managers[i]->m_hWnd))) << "slot " << i;
  }
  ToviMemUnlock(block);
  ToviMemFree(block);
  EXPECT_EQ(ToviMemLiveCount(), before);
}

TEST(ThreadRegistryModal, BusyMarkRefusesASecondQuestion) {
  CThreadRegistry registry;
  EXPECT_EQ(registry.SetModalBusy(kThread, 1), 0) << "no entry";
  registry.AddThread(kThread);
  EXPECT_EQ(registry.SetModalBusy(kThread, 1), 1);
  EXPECT_EQ(registry.SetModalBusy(kThread, 1), 0) << "already busy";
  EXPECT_EQ(registry.SetModalBusy(kThread, 0), 1);
  EXPECT_EQ(registry.SetModalBusy(kThread, 1), 1);
}

TEST(ThreadRegistryModal, CanOpenMoreCountsTheCallingThreadsManagers) {
  CThreadRegistry registry;
  EXPECT_EQ(registry.CanOpenMore(1), 1) << "a thread without an entry may open more";
  DWORD self = GetCurrentThreadId();
  registry.AddThread(self);
  auto managers = MakeManagers(1);
  EXPECT_EQ(registry.CanOpenMore(1), 1);
  registry.AddManager(self, managers[0].get());
  EXPECT_EQ(registry.CanOpenMore(1), 0);
  EXPECT_EQ(registry.CanOpenMore(2), 1);
}

namespace {

struct ThreadProbe {
  HANDLE ready;
  HANDLE release;
  bool hadEntry = false;
};

DWORD WINAPI ProbeThread(void* parameter) {
  auto* probe = static_cast<ThreadProbe*>(parameter);
  probe->hadEntry = GetThreadRegistry()->FindThread(GetCurrentThreadId()) != nullptr;
  SetEvent(probe->ready);
  WaitForSingleObject(probe->release, INFINITE);
  return 0;
}

}  // namespace

TEST(ModuleRegistry, ThreadsGetAnEntryWhileTheyRun) {
  CThreadRegistry* registry = GetThreadRegistry();
  ASSERT_NE(registry, nullptr) << "the module keeps a registry while it is loaded";
  EXPECT_NE(registry->FindThread(GetCurrentThreadId()), nullptr) << "the loading thread has an entry";

  ThreadProbe probe;
  probe.ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  probe.release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD threadId = 0;
  HANDLE thread = CreateThread(nullptr, 0, ProbeThread, &probe, 0, &threadId);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(probe.ready, 10000);
  EXPECT_TRUE(probe.hadEntry) << "a new thread is entered when it attaches";

  // A thread that exits with managers still listed loses its entry; the
  // managers themselves are not destroyed.
  auto managers = MakeManagers(1);
  EXPECT_EQ(registry->AddManager(threadId, managers[0].get()), 1);
  SetEvent(probe.release);
  WaitForSingleObject(thread, 10000);
  CloseHandle(thread);
  EXPECT_EQ(registry->FindThread(threadId), nullptr) << "the entry goes with the thread";
  EXPECT_EQ(managers[0]->m_hWnd, reinterpret_cast<HWND>(0x1000));
  EXPECT_EQ(GetThreadRegistry(), registry) << "the registry outlives a thread's detach";
  CloseHandle(probe.ready);
  CloseHandle(probe.release);
}

namespace {

// A manager as the manager dialog sets one up: its window and an album
// control showing an album file.
struct ManagerWithAlbum {
  CAlbumCtrl control;
  CAlbumMan manager;
};

}  // namespace

class RegistryAlbumsTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    parent_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
    registry_.AddThread(GetCurrentThreadId());
  }
  void TearDown() override { DestroyWindow(parent_); }

  // A saved album of the given paths (small pictures, no files needed).
  std::string SaveAlbum(const std::string& name, const std::vector<std::string>& paths) {
    CAlbumDoc2 document;
    for (const std::string& path : paths) document.Insert(MakeItem(ItemSpec(path)), nullptr);
    std::string file = folder_.File(name);
    EXPECT_NE(document.Save(file.c_str()), 0);
    return file;
  }

  std::unique_ptr<ManagerWithAlbum> OpenManager(const std::string& album, HWND window) {
    auto opened = std::make_unique<ManagerWithAlbum>();
    RECT place{0, 0, 300, 200};
    EXPECT_NE(opened->control.CALbumCtrl(parent_, "ManDlgAlbumCtrl", place), 0);
    EXPECT_NE(opened->control.GetAlbum(), nullptr);
    if (opened->control.GetAlbum()) {
      opened->control.GetAlbum()->GetDocument()->SetAutoCheck(0);
      EXPECT_EQ(opened->control.GetAlbum()->Load(album.c_str()), 1);
    }
    opened->manager.m_hWnd = window;
    opened->manager.m_pAlbumCtrl = &opened->control;
    registry_.AddManager(GetCurrentThreadId(), &opened->manager);
    return opened;
  }

  testpics::TempFolder folder_;
  HWND parent_ = nullptr;
  CThreadRegistry registry_;
};

TEST_F(RegistryAlbumsTest, CurrentAlbumNameInEachForm) {
  std::string trip = SaveAlbum("trip.abm", {"C:\\a.jpg"});
  auto opened = OpenManager(trip, reinterpret_cast<HWND>(0x10));
  char name[MAX_PATH] = "";
  EXPECT_EQ(opened->manager.GetCurrentAlbumName(name, ALBUM_NAME_FULL_PATH), 1);
  EXPECT_EQ(std::string(name), trip);
  EXPECT_EQ(opened->manager.GetCurrentAlbumName(name, ALBUM_NAME_WITH_EXTENSION), 1);
  EXPECT_STREQ(name, "trip.abm");
  EXPECT_EQ(opened->manager.GetCurrentAlbumName(name, ALBUM_NAME_BARE), 1);
  EXPECT_STREQ(name, "trip");
  Put(name, "unchanged");
  EXPECT_EQ(opened->manager.GetCurrentAlbumName(name, 9), 1);
  EXPECT_STREQ(name, "unchanged") << "an unknown form leaves the buffer";
  opened->manager.m_bUntitled = 1;
  EXPECT_EQ(opened->manager.GetCurrentAlbumName(name, ALBUM_NAME_FULL_PATH), 1);
  EXPECT_STRNE(name, trip.c_str()) << "the untitled album answers with its own name";
  EXPECT_GT(strlen(name), 0u);

  CAlbumMan empty;
  EXPECT_EQ(empty.GetCurrentAlbumName(name, ALBUM_NAME_FULL_PATH), 0) << "no album view";
}

TEST_F(RegistryAlbumsTest, FindsTheManagerShowingAnAlbum) {
  std::string first = SaveAlbum("first.abm", {"C:\\a.jpg"});
  std::string second = SaveAlbum("second.abm", {"C:\\b.jpg"});
  auto a = OpenManager(first, reinterpret_cast<HWND>(0x10));
  auto b = OpenManager(second, reinterpret_cast<HWND>(0x14));
  std::string upper = second;
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(registry_.FindManagerByAlbumName(upper.c_str()), &b->manager) << "letter case does not matter";
  EXPECT_EQ(registry_.FindManagerByAlbumName(first.c_str()), &a->manager);
  EXPECT_EQ(registry_.FindManagerByAlbumName(folder_.File("other.abm").c_str()), nullptr);
}

TEST_F(RegistryAlbumsTest, ActiveAlbumListsItsPaths) {
  int count = -1;
  char (*list)[260] = nullptr;
  EXPECT_EQ(registry_.GetActiveImageList(GetCurrentThreadId(), count, list), 0) << "no manager yet";
  std::string first = SaveAlbum("first.abm", {"C:\\one.jpg", "C:\\two.jpg", "C:\\three.jpg"});
  std::string second = SaveAlbum("second.abm", {"C:\\x.jpg"});
  auto a = OpenManager(first, reinterpret_cast<HWND>(0x10));
  auto b = OpenManager(second, reinterpret_cast<HWND>(0x14));
  registry_.SetActiveManager(GetCurrentThreadId(), reinterpret_cast<HWND>(0x10));
  ASSERT_EQ(registry_.GetActiveImageList(GetCurrentThreadId(), count, list), 1);
  ASSERT_EQ(count, 3);
  EXPECT_STREQ(list[0], "C:\\one.jpg");
  EXPECT_STREQ(list[2], "C:\\three.jpg");
  ToviMemFree(list);
  EXPECT_EQ(registry_.GetActiveSelectedImageList(GetCurrentThreadId(), count, list), 0) << "nothing selected";
  a->control.GetAlbum()->SetCurrentFocus(2);
  ASSERT_EQ(registry_.GetActiveSelectedImageList(GetCurrentThreadId(), count, list), 1);
  ASSERT_EQ(count, 1);
  EXPECT_STREQ(list[0], "C:\\two.jpg");
  ToviMemFree(list);
  EXPECT_EQ(registry_.GetActiveImageList(77, count, list), 0) << "a thread without an entry";
}
