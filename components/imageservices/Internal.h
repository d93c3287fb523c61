// Shared inside the image services: error state, the stop test and the
// picture decoders' common interface.
#pragma once

#include "../../platform/qil.h"

#include <cstddef>
#include <cstdint>

namespace qil {

// Sets the calling thread's last error and returns it, so that failure paths
// read `return Fail(QIL_ERR_BAD_PICTURE);`.
int Fail(int code);

// True when the installed stop test answers 1. Decoders ask every few rows.
bool StopRequested();

}  // namespace qil
