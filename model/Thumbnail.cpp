// An album item: its information record and its thumbnail picture.
#include <album.h>

#include <string.h>

#include <new>

#include "platform/Path.h"
#include "platform/qil.h"

CThumbnail2::CThumbnail2(const tagALBUMINFOHEADER* info, void* dib, int id, int exist)
    : m_nID(id),
      m_hDib(dib),
      m_bSelect(0),
      m_bFouse(0),
      m_pNext(nullptr),
      m_pPrev(nullptr),
      m_pSelNext(nullptr),
      m_pSelPrev(nullptr),
      m_bExist(exist),
      m_bSharedDib(0) {
  if (info) {
    memcpy(&m_Info, info, sizeof(m_Info));
  } else {
    memset(&m_Info, 0, sizeof(m_Info));
  }
  // Records come from files and hosts: never let a text run off its field.
  m_Info.aiPath[sizeof(m_Info.aiPath) - 1] = '\0';
  m_Info.aiDescription[sizeof(m_Info.aiDescription) - 1] = '\0';
  m_Info.aiRelative = IsRelativePath(m_Info.aiPath) ? 1 : 0;
}

CThumbnail2::CThumbnail2(const CThumbnail2& other)
    : m_nID(other.m_nID),
      m_hDib(other.m_hDib),
      m_bSelect(other.m_bSelect),
      m_bFouse(other.m_bFouse),
      m_pNext(other.m_pNext),
      m_pPrev(other.m_pPrev),
      m_pSelNext(other.m_pSelNext),
      m_pSelPrev(other.m_pSelPrev),
      m_bExist(other.m_bExist),
      m_bSharedDib(other.m_hDib ? 1 : 0) {
  memcpy(&m_Info, &other.m_Info, sizeof(m_Info));
}

CThumbnail2::~CThumbnail2() {
  if (m_hDib && !m_bSharedDib) ToviMemFree(m_hDib);
  m_hDib = nullptr;
}

void* CThumbnail2::GetDib() { return m_hDib; }

void CThumbnail2::SetDib(void* dib) {
  m_hDib = dib;
  m_bSharedDib = 0;
}

tagALBUMINFOHEADER* CThumbnail2::GetInfo() { return &m_Info; }

int CThumbnail2::GetID() { return m_nID; }

int CThumbnail2::SetID(int id) {
  int previous = m_nID;
  m_nID = id;
  return previous;
}

void CThumbnail2::SetExist(int exist) { m_bExist = exist; }

void CThumbnail2::SetSelect(int select) { m_bSelect = select; }

void CThumbnail2::SetFouse(int focus) { m_bFouse = focus; }

int CThumbnail2::IsSelect() { return m_bSelect; }

CThumbnail2& CThumbnail2::operator=(const CThumbnail2& other) {
  if (this != &other) {
    // The picture handle is shared, never handed over: only the item it came
    // from releases it.
    if (m_hDib != other.m_hDib) {
      if (m_hDib && !m_bSharedDib) ToviMemFree(m_hDib);
      m_bSharedDib = other.m_hDib ? 1 : 0;
    }
    m_nID = other.m_nID;
    memcpy(&m_Info, &other.m_Info, sizeof(m_Info));
    m_hDib = other.m_hDib;
    m_bSelect = other.m_bSelect;
    m_bFouse = other.m_bFouse;
    m_pNext = other.m_pNext;
    m_pPrev = other.m_pPrev;
    m_pSelNext = other.m_pSelNext;
    m_pSelPrev = other.m_pSelPrev;
    m_bExist = other.m_bExist;
  }
  return *this;
}

CThumbnail2* CThumbnail2::Clone() {
  void* copy = nullptr;
  // An item loaded without its picture clones into an item without one.
  if (m_hDib) {
    DWORD size = ToviMemSize(m_hDib);
    const void* source = ToviMemLock(m_hDib);
    if (!source) return nullptr;
    copy = ToviMemAlloc(TOVI_FIXED_ZERO, size);
    void* target = copy ? ToviMemLock(copy) : nullptr;
    if (!target) {
      ToviMemUnlock(m_hDib);
      if (copy) ToviMemFree(copy);
      return nullptr;
    }
    memcpy(target, source, size);
    ToviMemUnlock(copy);
    ToviMemUnlock(m_hDib);
  }
  CThumbnail2* clone = new (std::nothrow) CThumbnail2(&m_Info, copy, m_nID, m_bExist);
  if (!clone && copy) ToviMemFree(copy);
  return clone;
}
