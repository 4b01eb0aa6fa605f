// SPDX-License-Identifier: MIT
// Putting a finished file in place of another in one step, so that a reader never sees a
// half-written file under the final name.
#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>
#endif

int platform_replace_file(const char* from, const char* to) noexcept {
#ifdef _WIN32
    // rename() on Windows refuses an existing target; names are in the process's code page
    // (UTF-8 by the manifest), which the A variant takes.
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) ? 0 : -1;
#else
    return std::rename(from, to) == 0 ? 0 : -1;
#endif
}
