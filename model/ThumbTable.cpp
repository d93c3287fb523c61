// The ordered, owning table of album items.
//
// Ids always equal 1-based positions. Appending numbers only the new item and
// GetThumbnail walks from the nearest of the two ends or the last item it
// reached, so loading an album item by item and walking it with
// GetThumbnail(1), GetThumbnail(2), ... both stay linear in the album size.
#include <album.h>

#include <string.h>

#include <algorithm>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

// The sentinel: id -1, exist 1, no picture, a zero record that callers may
// use as a template (80 x 80 thumbnails).
CThumbnail2* MakeSentinel() {
  tagALBUMINFOHEADER info;
  memset(&info, 0, sizeof(info));
  info.aiThumbWidth = 80;
  info.aiThumbHeight = 80;
  return new CThumbnail2(&info, nullptr, -1, 1);
}

}  // namespace

CThumbTable2::CThumbTable2()
    : m_nCount(0), m_pHead(MakeSentinel()), m_pCursor(nullptr), m_nCursor(0), m_bShared(0) {
  m_pHead->m_pNext = m_pHead;
  m_pHead->m_pPrev = m_pHead;
}

// A copy refers to the other table's list and never keeps a cursor into it:
// the owner may delete any item at any time.
CThumbTable2::CThumbTable2(const CThumbTable2& other)
    : m_nCount(other.m_nCount), m_pHead(other.m_pHead), m_pCursor(nullptr), m_nCursor(0), m_bShared(1) {}

CThumbTable2::~CThumbTable2() {
  if (m_bShared) return;
  CleanTable();
  delete m_pHead;
}

CThumbTable2& CThumbTable2::operator=(const CThumbTable2& other) {
  if (this == &other) return *this;
  // Assigning a table its own list (from a copy of it) changes no ownership.
  if (m_pHead != other.m_pHead) {
    if (!m_bShared) {
      CleanTable();
      delete m_pHead;
    }
    m_pHead = other.m_pHead;
    m_bShared = 1;
  }
  m_nCount = other.m_nCount;
  ForgetCursor();
  return *this;
}

void CThumbTable2::ForgetCursor() {
  m_pCursor = nullptr;
  m_nCursor = 0;
}

int CThumbTable2::GetCount() {
  // The owner may have changed the list since the copy was made; ids are
  // positions, so the last item's id is the count.
  if (m_bShared) m_nCount = m_pHead->m_pPrev == m_pHead ? 0 : m_pHead->m_pPrev->m_nID;
  return m_nCount;
}

CThumbnail2* CThumbTable2::GetThumbnail(int n) {
  if (n <= 0 || n > GetCount()) return nullptr;

  // Start from whichever known place is nearest: the head (position 0), the
  // sentinel seen from the end (position count + 1) or the cursor.
  CThumbnail2* item = m_pHead;
  int position = 0;
  int distance = n;
  if (m_nCount + 1 - n < distance) {
    position = m_nCount + 1;
    distance = m_nCount + 1 - n;
  }
  // A copy may have moved items of a shared list: the cursor counts only
  // while its item still has the position it had.
  if (!m_bShared && m_pCursor && m_nCursor > 0 && m_nCursor <= m_nCount && m_pCursor->m_nID == m_nCursor &&
      m_pCursor->m_pPrev->m_pNext == m_pCursor) {
    int fromCursor = n > m_nCursor ? n - m_nCursor : m_nCursor - n;
    if (fromCursor < distance) {
      item = m_pCursor;
      position = m_nCursor;
    }
  }
  while (position < n) {
    item = item->m_pNext;
    ++position;
  }
  while (position > n) {
    item = item->m_pPrev;
    --position;
  }
  if (!m_bShared) {
    m_pCursor = item;
    m_nCursor = n;
  }
  return item;
}

int CThumbTable2::Insert(CThumbnail2* item, CThumbnail2* position) {
  if (!item) return 0;
  CThumbnail2* before = position ? position : m_pHead;
  item->m_pNext = before;
  item->m_pPrev = before->m_pPrev;
  before->m_pPrev->m_pNext = item;
  before->m_pPrev = item;
  ++m_nCount;

  if (before == m_pHead) {
    item->m_nID = m_nCount;
    return 1;
  }
  // Everything from the new item on moves one place down.
  int id = item->m_pPrev == m_pHead ? 1 : item->m_pPrev->m_nID + 1;
  for (CThumbnail2* p = item; p != m_pHead; p = p->m_pNext) p->m_nID = id++;
  if (m_nCursor >= item->m_nID) ForgetCursor();
  return 1;
}

namespace {

// Path key for duplicate checks: paths compare without regard to case.
std::string PathKey(const tagALBUMINFOHEADER* info) {
  std::string key(info->aiPath, strnlen(info->aiPath, sizeof(info->aiPath)));
  if (!key.empty()) CharUpperBuffA(&key[0], static_cast<DWORD>(key.size()));
  return key;
}

}  // namespace

int CThumbTable2::Insert(CThumbTable2* source, CThumbnail2* position) {
  if (!source) return 0;
  std::unordered_set<std::string> present;
  present.reserve(static_cast<size_t>(m_nCount) + static_cast<size_t>(source->m_nCount));
  for (CThumbnail2* p = m_pHead->m_pNext; p != m_pHead; p = p->m_pNext) present.insert(PathKey(&p->m_Info));

  // Take the source's items first, so that inserting a table into itself
  // (or a view of it) cannot walk into the items it adds.
  std::vector<CThumbnail2*> sourceItems;
  sourceItems.reserve(static_cast<size_t>(source->m_nCount));
  for (CThumbnail2* p = source->m_pHead->m_pNext; p != source->m_pHead; p = p->m_pNext) sourceItems.push_back(p);

  CThumbnail2* before = position ? position : m_pHead;
  CThumbnail2* firstAdded = nullptr;
  for (CThumbnail2* original : sourceItems) {
    if (!present.insert(PathKey(&original->m_Info)).second) continue;
    CThumbnail2* clone = original->Clone();
    if (!clone) continue;
    clone->m_pNext = before;
    clone->m_pPrev = before->m_pPrev;
    before->m_pPrev->m_pNext = clone;
    before->m_pPrev = clone;
    ++m_nCount;
    if (!firstAdded) firstAdded = clone;
  }
  if (firstAdded) {
    int id = firstAdded->m_pPrev == m_pHead ? 1 : firstAdded->m_pPrev->m_nID + 1;
    for (CThumbnail2* p = firstAdded; p != m_pHead; p = p->m_pNext) p->m_nID = id++;
    if (m_nCursor >= firstAdded->m_nID) ForgetCursor();
  }
  return 1;
}

int CThumbTable2::Remove(CThumbnail2* item, int freeItem) {
  if (!item || item == m_pHead) return 0;
  int removedId = item->m_nID;
  item->m_pPrev->m_pNext = item->m_pNext;
  item->m_pNext->m_pPrev = item->m_pPrev;
  for (CThumbnail2* p = item->m_pNext; p != m_pHead; p = p->m_pNext) --p->m_nID;
  --m_nCount;
  if (m_pCursor == item || m_nCursor >= removedId) ForgetCursor();
  // An item removed through a copy is only unlinked: the owner's pointers
  // may still name it, so it is left alive rather than freed under them.
  if (freeItem && !m_bShared) delete item;
  return 1;
}

void CThumbTable2::Link(CThumbnail2* item, CThumbnail2* position) {
  CThumbnail2* before = position ? position : m_pHead;
  item->m_pNext = before;
  item->m_pPrev = before->m_pPrev;
  before->m_pPrev->m_pNext = item;
  before->m_pPrev = item;
  item->m_nID = 0;
  ++m_nCount;
  ForgetCursor();
}

void CThumbTable2::Unlink(CThumbnail2* item) {
  item->m_pPrev->m_pNext = item->m_pNext;
  item->m_pNext->m_pPrev = item->m_pPrev;
  --m_nCount;
  ForgetCursor();
}

void CThumbTable2::RenumberFrom(CThumbnail2* item) {
  int id = item->m_pPrev == m_pHead ? 1 : item->m_pPrev->m_nID + 1;
  for (CThumbnail2* p = item; p != m_pHead; p = p->m_pNext) p->m_nID = id++;
  ForgetCursor();
}

void CThumbTable2::CleanTable() {
  if (m_bShared) {
    // Emptying a copy leaves the shared items to their owner.
    m_pHead = MakeSentinel();
    m_pHead->m_pNext = m_pHead;
    m_pHead->m_pPrev = m_pHead;
    m_bShared = 0;
    m_nCount = 0;
    ForgetCursor();
    return;
  }
  CThumbnail2* p = m_pHead->m_pNext;
  while (p != m_pHead) {
    CThumbnail2* next = p->m_pNext;
    delete p;
    p = next;
  }
  m_pHead->m_pNext = m_pHead;
  m_pHead->m_pPrev = m_pHead;
  m_nCount = 0;
  ForgetCursor();
}

namespace {

const char* NameOf(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\' || *p == ':') name = p + 1;
  }
  return name;
}

const char* TypeOf(const char* path) {
  size_t length = strlen(path);
  return length > 3 ? path + length - 3 : path;
}

}  // namespace

int CThumbTable2::SortBy(int key, int order) {
  if (m_nCount == 0) return 0;
  if (key < ALBUM_SORT_NAME || key > ALBUM_SORT_DESCRIPTION) return 0;

  struct Entry {
    CThumbnail2* item;
    const char* text;
    DWORD number;
  };
  std::vector<Entry> entries;
  entries.reserve(static_cast<size_t>(m_nCount));
  for (CThumbnail2* p = m_pHead->m_pNext; p != m_pHead; p = p->m_pNext) {
    const tagALBUMINFOHEADER& info = p->m_Info;
    Entry entry{p, nullptr, 0};
    switch (key) {
      case ALBUM_SORT_NAME: entry.text = NameOf(info.aiPath); break;
      case ALBUM_SORT_TYPE: entry.text = TypeOf(info.aiPath); break;
      case ALBUM_SORT_SIZE: entry.number = 0xFFFFFFFFu - info.aiFileSize; break;
      case ALBUM_SORT_DATE: entry.number = info.aiFileTime; break;
      default: entry.text = info.aiDescription; break;
    }
    entries.push_back(entry);
  }

  // A stable sort on "strictly better" puts equal values in their previous
  // order. Order 0: texts ascending, numbers descending (so sizes, stored as
  // complements, come smallest first and dates newest first).
  bool forward = order == 0;
  bool textKey = key != ALBUM_SORT_SIZE && key != ALBUM_SORT_DATE;
  if (textKey) {
    std::stable_sort(entries.begin(), entries.end(), [forward](const Entry& a, const Entry& b) {
      int c = lstrcmpA(a.text, b.text);
      return forward ? c < 0 : c > 0;
    });
  } else {
    std::stable_sort(entries.begin(), entries.end(), [forward](const Entry& a, const Entry& b) {
      return forward ? a.number > b.number : a.number < b.number;
    });
  }

  CThumbnail2* previous = m_pHead;
  int id = 1;
  for (const Entry& entry : entries) {
    previous->m_pNext = entry.item;
    entry.item->m_pPrev = previous;
    entry.item->m_nID = id++;
    previous = entry.item;
  }
  previous->m_pNext = m_pHead;
  m_pHead->m_pPrev = previous;
  ForgetCursor();
  return 1;
}
