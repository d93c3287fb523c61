// COM helpers of the image services.
#pragma once

#include <objbase.h>

namespace qil {

// Initialises COM on the calling thread for the lifetime of the scope and
// balances it. A thread that already runs another apartment model keeps it:
// COM is usable there, and that initialisation is not ours to undo.
class ComScope {
 public:
  ComScope() {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    owned_ = SUCCEEDED(hr);
    usable_ = owned_ || hr == RPC_E_CHANGED_MODE;
  }
  ~ComScope() {
    if (owned_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  bool usable() const { return usable_; }

 private:
  bool owned_ = false;
  bool usable_ = false;
};

// Owns one reference to a COM interface.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { Reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  // For functions that hand out a new reference.
  T** out() {
    Reset();
    return &ptr_;
  }
  void Reset() {
    if (ptr_) ptr_->Release();
    ptr_ = nullptr;
  }

 private:
  T* ptr_ = nullptr;  // owned reference
};

}  // namespace qil
