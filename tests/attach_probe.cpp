// Loads the album component while another thread is already running, lets
// that thread end (its detach notification arrives although it never
// attached), and checks the component's registry is still there.
// Exit code 0 when it is.
#include <windows.h>
#include <stdio.h>

namespace {

DWORD WINAPI WaitForRelease(void* event) {
  WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
  return 0;
}

}  // namespace

int main() {
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE early = CreateThread(nullptr, 0, WaitForRelease, release, 0, nullptr);
  if (!early) return 2;

  HMODULE album = LoadLibraryA("album.dll");
  if (!album) return 3;
  using RegistryProc = void* (*)();
  auto getRegistry = reinterpret_cast<RegistryProc>(reinterpret_cast<void*>(GetProcAddress(album, "GetThreadRegistry")));
  if (!getRegistry) return 4;
  void* before = getRegistry();

  SetEvent(release);
  WaitForSingleObject(early, INFINITE);
  CloseHandle(early);
  void* after = getRegistry();

  // A thread that does attach and then ends leaves the registry alone too.
  ResetEvent(release);
  HANDLE late = CreateThread(nullptr, 0, WaitForRelease, release, 0, nullptr);
  SetEvent(release);
  WaitForSingleObject(late, INFINITE);
  CloseHandle(late);
  void* last = getRegistry();

  printf("registry before %p, after an unattached thread ended %p, after an attached one %p\n", before, after, last);
  FreeLibrary(album);
  CloseHandle(release);
  return before && after == before && last == before ? 0 : 1;
}
