// Numbers as on-disk structures keep them: little-endian, whatever the host's order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace streamscan {

// The `count` bytes at `bytes` (at most 8) as one unsigned number.
inline std::uint64_t littleEndian(const std::uint8_t* bytes, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = count; i > 0; --i)
        value = (value << 8) | bytes[i - 1];
    return value;
}

}  // namespace streamscan
