// The stop query, long path names and modal bracketing.
#include <cstdint>
#include <cstring>
#include <vector>

#include "pixamo.h"

namespace pixamo {
namespace {

// Copies at most capacity - 1 characters and always terminates; false when
// the text did not fit (dst then holds the part that did).
bool CopyText(char* dst, size_t capacity, const char* src) {
  if (!dst || capacity == 0) return false;
  size_t length = src ? strnlen(src, capacity) : 0;
  bool fits = length < capacity;
  if (!fits) length = capacity - 1;
  if (length) std::memcpy(dst, src, length);
  dst[length] = '\0';
  return fits;
}

// The image services' stop test is looked up by name, so this library still
// loads beside an image services build that has none.
QILABORTFUNC InstalledAbortTest() {
  using GetAbortFunc = QILABORTFUNC (*)(void);
  static const GetAbortFunc get = [] {
    HMODULE qil = GetModuleHandleA("QILDLL.dll");
    return qil ? reinterpret_cast<GetAbortFunc>(
                     reinterpret_cast<void*>(GetProcAddress(qil, "QilGetAbortFunc")))
               : nullptr;
  }();
  return get ? get() : nullptr;
}

// Modal levels, innermost last, each named by a token that is never reused
// while its level is open. Shared by every thread of the process, since the
// image services hold back their windows whichever thread is modal.
class ModalLevels {
 public:
  void* Lock() {
    Guard guard(&lock_);
    uintptr_t token = next_;
    while (token == 0 || IndexOf(token) >= 0) ++token;
    next_ = token + 1;
    levels_.push_back(token);
    return reinterpret_cast<void*>(token);
  }
  // A level may close while inner ones are still open (two modal loops that
  // end in the other order): it alone is removed, and the inner levels keep
  // their tokens and stay open. A token that names no open level is ignored.
  void Unlock(void* token) {
    Guard guard(&lock_);
    int index = IndexOf(reinterpret_cast<uintptr_t>(token));
    if (index >= 0) levels_.erase(levels_.begin() + index);
  }
  int Depth() {
    Guard guard(&lock_);
    return static_cast<int>(levels_.size());
  }

 private:
  class Guard {
   public:
    explicit Guard(SRWLOCK* lock) : lock_(lock) { AcquireSRWLockExclusive(lock_); }
    ~Guard() { ReleaseSRWLockExclusive(lock_); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    SRWLOCK* lock_;
  };

  int IndexOf(uintptr_t token) const {
    for (size_t i = levels_.size(); i-- > 0;)
      if (levels_[i] == token) return static_cast<int>(i);
    return -1;
  }

  SRWLOCK lock_ = SRWLOCK_INIT;
  std::vector<uintptr_t> levels_;
  uintptr_t next_ = 1;
};

ModalLevels g_modal;

// The key state is the whole desktop's: Escape held in another program, or
// in a window of another thread, is not a request to stop this thread's
// work. The caller has the keyboard when the foreground window is its own,
// or when its window holds the focus inside another thread's foreground
// window (a child window of a host frame run by another thread).
bool CallerHasKeyboard() {
  HWND foreground = GetForegroundWindow();
  if (!foreground) return false;
  DWORD caller = GetCurrentThreadId();
  DWORD owner = GetWindowThreadProcessId(foreground, nullptr);
  if (owner == caller) return true;
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(owner, &info) || !info.hwndFocus) return false;
  return GetWindowThreadProcessId(info.hwndFocus, nullptr) == caller;
}

bool InstalledTestSaysStop() {
  try {
    QILABORTFUNC test = InstalledAbortTest();
    return test && test() == 1;
  } catch (...) {
    return false;
  }
}

bool EscapePressed() {
  if (CallerHasKeyboard() && (GetAsyncKeyState(VK_ESCAPE) & 0x8000)) return true;
  MSG msg;
  if (PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) && msg.wParam == VK_ESCAPE) {
    PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);
    return true;
  }
  return false;
}

}  // namespace
}  // namespace pixamo

// Non-zero when the installed stop test answers 1 or the user pressed Escape.
// A waiting Escape key press is taken from the thread's queue so that it
// stops one operation only; any other waiting input is left in place.
PIXAMO_API int AbortPictureProcessing(void) {
  if (pixamo::InstalledTestSaysStop()) return 1;
  return pixamo::EscapePressed() ? 1 : 0;
}

// The keyboard and the queue are asked of the window system, which costs
// far more than looking at one item of a long loop; the installed test is
// the host's own and is asked every time.
PIXAMO_API int AbortPictureProcessingEvery(DWORD interval) {
  if (pixamo::InstalledTestSaysStop()) return 1;
  static thread_local DWORD lastLook = 0;
  static thread_local bool looked = false;
  DWORD now = GetTickCount();
  if (looked && interval > 0 && now - lastLook < interval) return 0;
  lastLook = now;
  looked = true;
  return pixamo::EscapePressed() ? 1 : 0;
}

// A path that does not exist keeps its given form; one too long for the
// buffer gives an empty string rather than a cut one.
PIXAMO_API void ExpandLongPathName(const char* shortPath, char* out) {
  if (!out) return;
  out[0] = '\0';
  if (!shortPath) return;
  char longPath[MAX_PATH];
  DWORD length = GetLongPathNameA(shortPath, longPath, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    pixamo::CopyText(out, MAX_PATH, longPath);
  } else if (!pixamo::CopyText(out, MAX_PATH, shortPath)) {
    out[0] = '\0';
  }
}

PIXAMO_API void* LockupForModal(void) {
  try {
    return pixamo::g_modal.Lock();
  } catch (...) {
    return nullptr;  // no level was opened
  }
}

PIXAMO_API void UnlockForModal(void* token) {
  if (token) pixamo::g_modal.Unlock(token);
}

PIXAMO_API int IsLockedForModal(void) {
  return pixamo::g_modal.Depth();
}
