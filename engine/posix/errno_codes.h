// Linux errno values as the Windows codes the engine counts with.
#pragma once

#include <cstdint>

namespace streamscan {

// EACCES/EPERM 5, ENOENT/ENODATA 2, ENOTDIR 3, ENAMETOOLONG 206, ENOSPC/EDQUOT
// 112, EROFS 19, EBUSY/ETXTBSY 32, ENOTSUP 50; any other errno e is
// kErrorFromErrno | e.
std::uint32_t windowsErrorFromErrno(int error);

// The code of the errno the last call left.
std::uint32_t lastError();

}  // namespace streamscan
