// Last error and stop test of the image services.
#include <atomic>

#include "Internal.h"

namespace {
// Per thread, so that two threads opening pictures never read each other's
// failure. The stop test is process-wide: it is installed around a long
// operation by whoever runs it and restored afterwards.
thread_local int t_lastError = QIL_OK;
std::atomic<QILABORTFUNC> g_abortTest{nullptr};
}  // namespace

namespace qil {

int Fail(int code) {
  t_lastError = code;
  return code;
}

bool StopRequested() {
  QILABORTFUNC test = g_abortTest.load();
  return test && test() == 1;
}

}  // namespace qil

QIL_API void QilSetLastError(int code) { t_lastError = code; }

QIL_API int QilGetLastError(void) { return t_lastError; }

QIL_API QILABORTFUNC SetAbortFunc(QILABORTFUNC test) { return g_abortTest.exchange(test); }

QIL_API QILABORTFUNC QilGetAbortFunc(void) { return g_abortTest.load(); }
