// CRC-32 as stored for every file and for the archive directory: reflected
// polynomial 0xEDB88320, register starting at 0xFFFFFFFF, result complemented
// (the check value of "123456789" is 0xCBF43926).  The register belongs to
// the caller, so any number of checksums can run side by side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

class TFile;

// Table entry i is the CRC of the single byte i (entry 1 is 0x77073096).
extern const std::uint32_t kCRC32Table[256];

void InitCRC32(std::uint32_t& crc);
// Feeds `count` bytes (at most 65,535 per call) and returns &crc.
std::uint32_t* UpdateCRC32(std::uint32_t& crc, const void* data, std::uint16_t count);
// The same for any length.
std::uint32_t* UpdateCRC32(std::uint32_t& crc, const void* data, std::size_t count);
std::uint32_t FinalCRC32(std::uint32_t crc);

// CRC-32 of a whole buffer.
std::uint32_t CRC32Of(const void* data, std::size_t count);

// CRC-32 of a whole file; 0 when it cannot be opened.  A read error after
// the open raises EInOutError.
std::uint32_t GetFileCRC32(const std::string& file_name);
// CRC-32 of an open file from its position to its end.
std::uint32_t GetFileCRC32(TFile& file);

}  // namespace zorellz
ZORELLZ_API_END
