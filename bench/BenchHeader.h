// The header line every benchmark prints first: what it measures, and
// whether this 32-bit code ran under user-mode emulation, where absolute
// times are not comparable with native peers (ratios between sizes of the
// same program still are).
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstring>

// The emulator named by the scripts that start Wine (tools/wineenv.sh), or,
// when started some other way, the binfmt_misc entry that runs i386
// programs here as Wine sees it on drive Z:. Empty when running natively.
inline void DescribeI386Emulation(char* text, size_t size) {
  text[0] = '\0';
  char named[256];
  DWORD length = GetEnvironmentVariableA("ALBUMKIT_I386_EMULATION", named, sizeof(named));
  if (length > 0 && length < sizeof(named)) {
    snprintf(text, size, "%s", named);
    return;
  }
  if (length == 0 && GetLastError() != ERROR_ENVVAR_NOT_FOUND) return;
  HANDLE entry = CreateFileA("Z:\\proc\\sys\\fs\\binfmt_misc\\qemu-i386", GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (entry == INVALID_HANDLE_VALUE) return;
  char status[16] = "";
  DWORD read = 0;
  ReadFile(entry, status, sizeof(status) - 1, &read, nullptr);
  CloseHandle(entry);
  status[read] = '\0';
  if (strncmp(status, "enabled", 7) == 0) snprintf(text, size, "qemu-i386 (binfmt_misc entry qemu-i386)");
}

inline void PrintBenchHeader(const char* what) {
  char emulator[256];
  DescribeI386Emulation(emulator, sizeof(emulator));
  if (emulator[0])
    printf("%s [32-bit code emulated by %s: absolute times are not comparable with native peers; "
           "ratios between sizes are]\n",
           what, emulator);
  else
    printf("%s [32-bit code running natively]\n", what);
  fflush(stdout);
}
