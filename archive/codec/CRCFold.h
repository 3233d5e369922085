// CRC-32 by carry-less multiplication: the register folded sixteen bytes at
// a time with the processor's carry-less multiply, several times faster than
// table lookups, and sixty-four at a time where it multiplies 512-bit
// registers.  Internal to the codec layer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorellz {

// Whether this processor can run UpdateFoldedCRC32.
bool FoldedCRC32Available();

// The CRC-32 register after `count` bytes, as the table-driven update gives
// it.  `count` is a multiple of 16 and at least 64.
std::uint32_t UpdateFoldedCRC32(std::uint32_t crc, const std::uint8_t* data, std::size_t count);

}  // namespace zorellz
