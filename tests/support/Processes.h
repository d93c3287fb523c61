// Running the small probe programs some tests need: a component loaded or
// unloaded in a process of its own.
#pragma once

#include <string>

namespace testproc {

// Runs the command line (in folder, or the current folder when null) and
// waits for it: its exit code, -1 when it could not start, -2 when it did
// not finish within a minute.
int RunProgram(const std::string& commandLine, const char* folder = nullptr);

}  // namespace testproc
