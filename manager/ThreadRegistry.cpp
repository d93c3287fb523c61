#include "ThreadRegistry.h"

#include <new>

#include "AlbumCtrl.h"
#include "AlbumMan.h"
#include "views/Album.h"
#include "platform/qil.h"

namespace {

// Arrays grow ten slots at a time.
const size_t kGrowth = 10;

template <typename T>
bool MakeRoomForOneMore(std::vector<T>& items) {
  if (items.size() < items.capacity()) return true;
  try {
    items.reserve(items.capacity() + kGrowth);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

class Lock {
public:
  explicit Lock(CRITICAL_SECTION* section) : section_(section) { EnterCriticalSection(section_); }
  ~Lock() { LeaveCriticalSection(section_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

private:
  CRITICAL_SECTION* section_;
};

}  // namespace

CThreadEntry::CThreadEntry(DWORD threadId) : m_dwThreadId(threadId) { m_Managers.reserve(kGrowth); }

CThreadRegistry::CThreadRegistry() {
  InitializeCriticalSection(&m_Lock);
  m_Entries.reserve(kGrowth);
}

CThreadRegistry::~CThreadRegistry() {
  for (CThreadEntry* entry : m_Entries) delete entry;
  DeleteCriticalSection(&m_Lock);
}

CThreadEntry* CThreadRegistry::FindLocked(DWORD threadId) {
  for (CThreadEntry* entry : m_Entries) {
    if (entry->m_dwThreadId == threadId) return entry;
  }
  return nullptr;
}

CThreadEntry* CThreadRegistry::FindThread(DWORD threadId) {
  Lock lock(&m_Lock);
  return FindLocked(threadId);
}

int CThreadRegistry::GetCount() {
  Lock lock(&m_Lock);
  return static_cast<int>(m_Entries.size());
}

int CThreadRegistry::AddThread(DWORD threadId) {
  if (threadId == 0) return 0;
  Lock lock(&m_Lock);
  if (FindLocked(threadId)) return 1;
  if (!MakeRoomForOneMore(m_Entries)) return 0;
  CThreadEntry* entry = new (std::nothrow) CThreadEntry(threadId);
  if (!entry) return 0;
  m_Entries.push_back(entry);
  return 1;
}

int CThreadRegistry::RemoveThread(DWORD threadId) {
  Lock lock(&m_Lock);
  for (auto it = m_Entries.begin(); it != m_Entries.end(); ++it) {
    if ((*it)->m_dwThreadId == threadId) {
      delete *it;
      m_Entries.erase(it);
      return 1;
    }
  }
  return 0;
}

int CThreadRegistry::AddManager(DWORD threadId, CAlbumMan* manager) {
  if (threadId == 0 || !manager) return 0;
  Lock lock(&m_Lock);
  CThreadEntry* entry = FindLocked(threadId);
  if (!entry || !MakeRoomForOneMore(entry->m_Managers)) return 0;
  entry->m_Managers.push_back(manager);
  return 1;
}

int CThreadRegistry::RemoveManager(DWORD threadId, CAlbumMan* manager) {
  if (threadId == 0 || !manager) return 0;
  Lock lock(&m_Lock);
  CThreadEntry* entry = FindLocked(threadId);
  if (!entry) return 0;
  for (size_t i = 0; i < entry->m_Managers.size(); ++i) {
    if (entry->m_Managers[i] != manager) continue;
    int index = static_cast<int>(i);
    if (entry->m_nActive == index) {
      entry->m_nActive = -1;
    } else if (entry->m_nActive > index) {
      --entry->m_nActive;  // the same manager stays active
    }
    entry->m_Managers.erase(entry->m_Managers.begin() + index);
    return 1;
  }
  return 0;
}

int CThreadRegistry::SetActiveManager(DWORD threadId, HWND window) {
  Lock lock(&m_Lock);
  CThreadEntry* entry = FindLocked(threadId);
  if (!entry) return 0;
  for (size_t i = 0; i < entry->m_Managers.size(); ++i) {
    if (entry->m_Managers[i]->m_hWnd == window) {
      entry->m_nActive = static_cast<int>(i);
      return 1;
    }
  }
  return 0;
}

// The marked manager, else the most recently added one.
CAlbumMan* CThreadRegistry::ActiveManagerLocked(CThreadEntry* entry) {
  if (!entry) return nullptr;
  int index = entry->m_nActive >= 0 ? entry->m_nActive : static_cast<int>(entry->m_Managers.size()) - 1;
  if (index < 0 || index >= static_cast<int>(entry->m_Managers.size())) return nullptr;
  return entry->m_Managers[static_cast<size_t>(index)];
}

HWND CThreadRegistry::GetActiveManager(DWORD threadId) {
  Lock lock(&m_Lock);
  CAlbumMan* manager = ActiveManagerLocked(FindLocked(threadId));
  return manager ? manager->m_hWnd : nullptr;
}

CAlbum* CThreadRegistry::ActiveAlbumView(DWORD threadId) {
  Lock lock(&m_Lock);
  CAlbumMan* manager = ActiveManagerLocked(FindLocked(threadId));
  CAlbumCtrl* control = manager ? manager->GetAlbumCtrl() : nullptr;
  return control ? control->GetAlbum() : nullptr;
}

int CThreadRegistry::GetActiveImageList(DWORD threadId, int& count, char (*&list)[260]) {
  CAlbum* album = ActiveAlbumView(threadId);
  return album ? album->GetImageList(count, list) : 0;
}

int CThreadRegistry::GetActiveSelectedImageList(DWORD threadId, int& count, char (*&list)[260]) {
  CAlbum* album = ActiveAlbumView(threadId);
  return album ? album->GetSelectImageList(count, list) : 0;
}

CAlbumMan* CThreadRegistry::FindManagerByAlbumName(const char* path) {
  if (!path) return nullptr;
  Lock lock(&m_Lock);
  CThreadEntry* entry = FindLocked(GetCurrentThreadId());
  if (!entry) return nullptr;
  for (CAlbumMan* manager : entry->m_Managers) {
    char name[MAX_PATH] = "";
    if (!manager->GetCurrentAlbumName(name, ALBUM_NAME_FULL_PATH)) continue;
    // Album paths compare in ASCII letter case only, whatever the locale.
    bool same = true;
    for (size_t i = 0;; ++i) {
      char a = name[i], b = path[i];
      if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
      if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
      if (a != b) {
        same = false;
        break;
      }
      if (!a) break;
    }
    if (same) return manager;
  }
  return nullptr;
}

void* CThreadRegistry::GetAllManagers(DWORD threadId) {
  Lock lock(&m_Lock);
  CThreadEntry* entry = FindLocked(threadId);
  if (!entry) return nullptr;
  DWORD count = static_cast<DWORD>(entry->m_Managers.size());
  HTOVIMEM block = ToviMemAlloc(TOVI_MOVABLE_ZERO, (count + 1) * 4);
  if (!block) return nullptr;
  auto* words = static_cast<DWORD*>(ToviMemLock(block));
  if (words) {
    words[0] = count;
    for (DWORD i = 0; i < count; ++i) words[i + 1] = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(entry->m_Managers[i]->m_hWnd));
    ToviMemUnlock(block);
  }
  return block;
}

int CThreadRegistry::SetModalBusy(DWORD threadId, int busy) {
  Lock lock(&m_Lock);
  CThreadEntry* entry = FindLocked(threadId);
  if (!entry) return 0;
  if (!busy) {
    entry->m_bModalBusy = 0;
    return 1;
  }
  if (entry->m_bModalBusy) return 0;
  entry->m_bModalBusy = 1;
  return 1;
}

int CThreadRegistry::CanOpenMore(int limit) {
  Lock lock(&m_Lock);
  CThreadEntry* entry = FindLocked(GetCurrentThreadId());
  if (!entry) return 1;
  return static_cast<int>(entry->m_Managers.size()) < limit ? 1 : 0;
}
