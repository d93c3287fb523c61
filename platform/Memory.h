// Scope objects for memory handles of the image services.
#pragma once

#include "qil.h"

// Keeps a memory handle locked while the scope lasts.
class MemLock {
 public:
  explicit MemLock(HTOVIMEM mem) : mem_(mem), bytes_(mem ? ToviMemLock(mem) : nullptr) {}
  ~MemLock() {
    if (bytes_) ToviMemUnlock(mem_);
  }
  MemLock(const MemLock&) = delete;
  MemLock& operator=(const MemLock&) = delete;

  explicit operator bool() const { return bytes_ != nullptr; }
  void* bytes() const { return bytes_; }
  template <typename T>
  T* as() const {
    return static_cast<T*>(bytes_);
  }

 private:
  HTOVIMEM mem_;  // not owned
  void* bytes_;
};

// Owns a memory handle and frees it with ToviMemFree, unless released.
class OwnedMem {
 public:
  OwnedMem() = default;
  explicit OwnedMem(HTOVIMEM mem) : mem_(mem) {}
  ~OwnedMem() { reset(); }
  OwnedMem(const OwnedMem&) = delete;
  OwnedMem& operator=(const OwnedMem&) = delete;

  HTOVIMEM get() const { return mem_; }
  explicit operator bool() const { return mem_ != nullptr; }
  void reset(HTOVIMEM mem = nullptr) {
    if (mem_ && mem_ != mem) ToviMemFree(mem_);
    mem_ = mem;
  }
  HTOVIMEM release() {
    HTOVIMEM mem = mem_;
    mem_ = nullptr;
    return mem;
  }

 private:
  HTOVIMEM mem_ = nullptr;  // owned
};
