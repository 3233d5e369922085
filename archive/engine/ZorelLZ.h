// The archive engine.  Operations return the result codes of ZrlTypes.h
// (>= 0 a count or size, < 0 an error); exceptions of the EZorelLZError
// family and EInOutError only where documented.  File names are native.
//
// The engine keeps module-level state (header offset, protection answer,
// hooks, dearchive mask, CRC switch, store list, current report record), so
// one archive operation runs at a time per process and no callback may start
// another.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "archive/engine/ZrlTypes.h"
#include "platform/File.h"

namespace zorellz {

// ---- Engine state ----------------------------------------------------------

// Stores a non-negative header offset and returns the previous one; a
// negative value only queries.
std::int32_t LZSetHeaderOffset(std::int32_t offset);
// Forgets the answer of the check-password hook, so that it is asked again.
void LZResetProtection();
void LZSetDearchiveMask(const std::string& mask);
std::string LZGetDearchiveMask();
void LZSetCheckCRC(bool check);
bool LZGetCheckCRC();
void LZSetCheckPassWordHook(TLZCheckPassWordProc hook);
// Returns the previous hook.
TLZSetPassWordProc LZSetPassWordHook(TLZSetPassWordProc hook);
// Installs the file-match function; nullptr restores the default.
void LZSetFileMatchProc(TLZFileMatchProc proc);
void LZSetExtensionsToStore(const std::string& extensions);
std::string LZGetExtensionsToStore();
// Installs `proc`, or the default prompt when it is nullptr; returns the
// prompt now installed.
TLZSpanPromptProc LZSetSpanPromptProc(TLZSpanPromptProc proc);
// Puts every piece of engine state back to its start values.
void LZResetEngineState();

// The default disk prompt: 0 go on, 1 stop (asks through the message box hook).
std::int32_t LZDefaultSpanPrompt(std::int32_t disk_num, std::int32_t total_parts,
                                 std::int32_t needed_space, const char* drive);

// ---- Headers and trailers --------------------------------------------------

// FileCount (>= 1), or kLZNoFile, kLZNotAnArchive, kLZCannotOpenArchive,
// kLZProtected.  Reads at the current header offset.
std::int32_t LZReadArchiveHeader(const std::string& file_name, TLZArchiveHeader& header);
std::int32_t LZArchiveCount(const std::string& file_name);
// TotalUncompressed, or 0 when the header cannot be read.
std::int32_t LZGetArchiveSize(const std::string& file_name);
// 0: an archive lies at the current header offset; N > 0: an archive of N
// entries found through the trailer (ArchiveOffset says where); kLZNoFile;
// kLZNotAnArchive.
std::int32_t LZLocateArchive(const std::string& file_name, TLZArchiveHeader& header);
bool LZIsSpannedHeader(const TLZArchiveHeader& header);
// Fills Reserved and RunCommand of a fresh trailer with their defaults.
void LZInitTrailer(TLZArchiveTrailer& trailer);

// True when the open file starts with a single compressed file header; the
// file position is left unchanged.
bool LZReadFileHeader(TFile& file, TLZFileHeader& header);
bool LZGetFileHeader(const std::string& file_name, TLZFileHeader& header);
// True and the stored source name for a single compressed file, else false
// and the file name itself.
bool LZGetSourceName(const std::string& file_name, std::string& name);

// ---- Directory --------------------------------------------------------------

void LZAllocDirectory(std::unique_ptr<TZorelLZArchiveHeader>& directory, std::int32_t count);
void LZFreeDirectory(std::unique_ptr<TZorelLZArchiveHeader>& directory, std::int32_t count);

// Reads and checks the directory of an archive: 0, kLZNoFile,
// kLZReadDirectoryFailed or kLZDamagedDirectory.  A directory that could
// not have been written by the format (too many entries, folders after
// files, bad names or sizes, links that do not lead to the root) is damaged.
std::int32_t LZLoadDirectory(const std::string& file_name, TZorelLZArchiveHeader& directory);
// The same from an open file positioned just after the header.
std::int32_t LZReadDirectory(TFile& file, TZorelLZArchiveHeader& directory,
                             const TLZArchiveHeader& header);
std::uint32_t LZDirectoryCRC(const TZorelLZArchiveHeader& directory);

// The path of entry k inside the archive ("Help\Data\x.htm"); false when
// the links of the directory do not lead to the root within Count steps.
// The path is never cut.
bool LZEntryPath(const TZorelLZArchiveHeader& directory, std::int32_t k, std::string& path);

// (character k + k + 3) mod 256, and back.
std::string LZScrambleName(std::string_view name);
std::string LZUnscrambleName(std::string_view name);

}  // namespace zorellz
