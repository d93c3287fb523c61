// The per-thread registry: for each user-interface thread, the album managers
// open on it, which one is active, and whether the thread is showing a modal
// question that must not be stacked with another.
#pragma once

#include <album.h>

#include <vector>

class CAlbumMan;

class ALBUM_CLASS CThreadEntry {
public:
  explicit CThreadEntry(DWORD threadId);

  DWORD m_dwThreadId;
  std::vector<CAlbumMan*> m_Managers;  // not owned, in order of opening
  int m_nActive = -1;                  // index into m_Managers, -1 when none is marked
  int m_bModalBusy = 0;
};

class ALBUM_CLASS CThreadRegistry {
public:
  CThreadRegistry();
  ~CThreadRegistry();
  CThreadRegistry(const CThreadRegistry&) = delete;
  CThreadRegistry& operator=(const CThreadRegistry&) = delete;

  int AddThread(DWORD threadId);
  int RemoveThread(DWORD threadId);
  CThreadEntry* FindThread(DWORD threadId);
  int GetCount();

  int AddManager(DWORD threadId, CAlbumMan* manager);
  int RemoveManager(DWORD threadId, CAlbumMan* manager);
  int SetActiveManager(DWORD threadId, HWND window);
  HWND GetActiveManager(DWORD threadId);
  // A block (count, then each manager's window handle) the caller frees
  // with ToviMemFree; null when the thread has no entry.
  void* GetAllManagers(DWORD threadId);
  int SetModalBusy(DWORD threadId, int busy);
  // For the calling thread: 1 while it has fewer than limit managers open.
  int CanOpenMore(int limit);
  // For the calling thread: the first manager (in order of opening) whose
  // current album is the given full path, ignoring letter case; null when none.
  CAlbumMan* FindManagerByAlbumName(const char* path);
  // Full paths of all items, or of the selected items, of the active
  // manager's album view (a block the caller frees with ToviMemFree). 0 when
  // the thread has no active manager or it shows no album.
  int GetActiveImageList(DWORD threadId, int& count, char (*&list)[260]);
  int GetActiveSelectedImageList(DWORD threadId, int& count, char (*&list)[260]);

private:
  CThreadEntry* FindLocked(DWORD threadId);
  CAlbumMan* ActiveManagerLocked(CThreadEntry* entry);
  CAlbum* ActiveAlbumView(DWORD threadId);

  // Attach and detach of other threads change the entry table while a
  // thread searches it: one lock guards the table.
  CRITICAL_SECTION m_Lock;
  std::vector<CThreadEntry*> m_Entries;  // owned, in order of arrival
};

// The module's registry; null outside the library's lifetime.
ALBUM_API CThreadRegistry* GetThreadRegistry();

// Holds the calling thread's modal-busy mark for as long as it lives (when
// the registry gave it), so that no second modal question is stacked on a
// dialog or box the thread is showing.
class ModalMark {
public:
  ModalMark() {
    CThreadRegistry* registry = GetThreadRegistry();
    held_ = registry && registry->SetModalBusy(GetCurrentThreadId(), 1);
  }
  ~ModalMark() { Release(); }
  ModalMark(const ModalMark&) = delete;
  ModalMark& operator=(const ModalMark&) = delete;
  explicit operator bool() const { return held_; }
  void Release() {
    if (held_ && GetThreadRegistry()) GetThreadRegistry()->SetModalBusy(GetCurrentThreadId(), 0);
    held_ = false;
  }

private:
  bool held_;
};
