// Writing a changed picture over its original without ever leaving a half
// written file: the new bytes go to a temporary file in the same folder,
// which is flushed and then renamed over the original.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <vector>

namespace batchel {

// Asks write to fill a new temporary file (named by its argument) in path's
// folder, flushes it and moves it over path. False, with the original
// untouched and the temporary file removed, when any step fails.
bool WriteOverFile(const char* path, const std::function<bool(const char* tempPath)>& write);
// The same with the new contents in memory.
bool WriteOverFileWithBytes(const char* path, const void* bytes, size_t size);

// True when path is marked read-only (or is a folder) or another program
// holds it open in a way that forbids writing. A missing file is not.
bool IsReadOnlyOrLocked(const char* path);

// The whole file; false when it cannot be read or is larger than limit bytes.
bool ReadWholeFile(const char* path, size_t limit, std::vector<unsigned char>* bytes);

}  // namespace batchel
