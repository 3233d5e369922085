// The on-disk records of the archive format and the records, codes and
// callback types that the engine shares with its callers.
//
// On disk every integer is little-endian and unaligned and every record is
// packed.  In memory the records are plain structs; Read/Write convert at
// the format boundary, byte for byte, so that a record read and written
// again reproduces its bytes exactly (filler bytes included).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

// A String[N] field: one length byte and N character bytes, N + 1 bytes on
// disk.  The raw bytes are kept, so a field read from disk is written back
// unchanged.
template <std::size_t N>
struct TShortField {
  static constexpr std::size_t kSize = N + 1;
  std::array<std::uint8_t, N + 1> Bytes{};

  // The text: the first `length byte` characters (at most N).
  std::string Get() const {
    std::size_t length = Bytes[0] <= N ? Bytes[0] : N;
    return std::string(reinterpret_cast<const char*>(Bytes.data() + 1), length);
  }
  // Stores `text` with zero filler; false (field unchanged) when it is longer
  // than N characters.
  bool Set(std::string_view text) {
    if (text.size() > N) return false;
    SetCut(text);
    return true;
  }
  // Stores at most the first N characters of `text`, for the fields whose
  // text is cut by definition (version texts).
  void SetCut(std::string_view text) {
    Bytes.fill(0);
    std::size_t length = text.size() < N ? text.size() : N;
    Bytes[0] = static_cast<std::uint8_t>(length);
    for (std::size_t i = 0; i < length; ++i) Bytes[i + 1] = static_cast<std::uint8_t>(text[i]);
  }
  std::uint8_t Length() const { return Bytes[0]; }
  bool operator==(const TShortField&) const = default;
};

// ---- Enumerations and constants ------------------------------------------

enum TLZCompressionChoices : std::uint8_t {
  LZNoCompression = 0,
  LZFastCompression = 1,
  LZMaxCompression = 2,
};

enum TLZRecurse : std::uint8_t {
  LZNoRecurse = 0,
  LZRecurseOnce = 1,
  LZFullRecurse = 2,
};

// Method byte of a file entry.
inline constexpr std::uint8_t kLZMethodFolder = 1;
inline constexpr std::uint8_t kLZMethodStored = 2;
inline constexpr std::uint8_t kLZMethodLZSS = 3;
inline constexpr std::uint8_t kLZMethodLZH = 4;

inline constexpr std::int32_t kLZMaxEntries = 8192;
inline constexpr std::int32_t kLZMaxFolders = 4096;
inline constexpr std::int32_t kLZNamesBlockLimit = 261120;
inline constexpr std::int32_t kLZTrailerMagic = -20751;
inline constexpr std::int32_t kLZProtectedMarker = -2000;
inline constexpr std::int32_t kLZFolderDate = 0x00210000;
inline constexpr std::uint32_t kLZCopyBlockSize = 128000;

// Answers of the check-password and set-password hooks.
inline constexpr std::int32_t kLZPasswordAccepted = -1000;
inline constexpr std::int32_t kLZPasswordAcceptedToo = -3000;
inline constexpr std::int32_t kLZPasswordProtect = -1010;

// Result codes of the engine operations (negative; >= 0 is a count or size).
enum TLZResult : std::int32_t {
  kLZNoFile = -1,
  kLZCannotOpenSFX = -2,
  kLZCannotSeekEmbedded = -3,
  kLZCannotCreateOutput = -4,
  kLZWriteDirectoryFailed = -7,
  kLZSameInputOutput = -11,
  kLZInputMissing = -12,
  kLZCannotCreateFolder = -13,
  kLZNotAnArchive = -15,
  kLZArchiveMissing = -16,
  kLZNoReportFunction = -17,
  kLZNotRequestedFile = -18,
  kLZCannotOpenArchive = -19,
  kLZNoCodecMemory = -20,
  kLZInputEndedEarly = -21,
  kLZNoDiskSize = -22,
  kLZCannotOpenPart = -23,
  kLZWorkFileTooShort = -24,
  kLZWorkHeaderUnreadable = -25,
  kLZCannotCreatePart = -26,
  kLZPromptStopped = -27,
  kLZWritePartFailed = -28,
  kLZPartTooShort = -29,
  kLZWrongPartStopped = -30,
  kLZCannotCreateJoinFile = -31,
  kLZJoinedArchiveInvalid = -32,
  kLZCannotMoveArchive = -33,
  kLZNameNotStorable = -34,  // a name that the entry name rule or its field refuses
  kLZInputTooLarge = -35,    // an input whose size the format cannot hold
  kLZNoFileMatches = -36,    // creation collected no file (RefuseEmptyArchive)
  kLZPathThroughLink = -37,  // a folder on an entry's path below the target is a link
  kLZReadDirectoryFailed = -77,
  kLZDeclinedOverwrite = -100,
  kLZAbortedOverwrite = -150,
  kLZCRCMismatch = -200,
  kLZNoArchiveInFile = -400,
  kLZProtected = -2000,
  kLZDamagedDirectory = -3010,
  kLZSpannedEmbedded = -3020,
};

// Report codes (the code argument of the report function).
enum TLZReportCode : std::int32_t {
  kLZReportFileBegins = -1,
  kLZReportFileDone = -2,
  kLZReportFolderCreated = -3,
  kLZReportFolderCreatedEnd = -4,
  kLZReportCreationBegins = -5,
  kLZReportSummary = -6,
  kLZReportFinished = -7,
  kLZReportJoinBegins = -8,
  kLZReportPartOpened = -9,
  kLZReportPartChunk = -10,
  kLZReportPartDone = -11,
  kLZReportJoinDone = -12,
  kLZReportSkipped = -100,
};

// ---- On-disk records ------------------------------------------------------

// The last 83 bytes of every archive file, and header bytes 43..125.
struct TLZArchiveTrailer {
  static constexpr std::size_t kSize = 83;

  TShortField<3> SpanSignature;
  std::uint16_t SpanParts = 0;
  std::uint16_t SpanPart = 0;
  std::int32_t SpanOffset = 0;
  std::int32_t SpanDataSize = 0;
  TShortField<4> TrailerSignature;
  std::int32_t TrailerMagic = 0;
  std::int32_t ArchiveOffset = 0;
  std::int32_t Protection = 0;
  std::array<std::int32_t, 5> Reserved{};
  std::int32_t Reserved2 = 0;
  TShortField<12> RunCommand;
  TShortField<12> SpanName;

  void Read(const std::uint8_t* in);
  void Write(std::uint8_t* out) const;
  bool operator==(const TLZArchiveTrailer&) const = default;
};

struct TLZArchiveHeader {
  static constexpr std::size_t kSize = 126;
  static constexpr std::size_t kTrailerOffset = 43;

  TShortField<18> Signature;
  std::int32_t PartCount = 0;
  std::int32_t FileCount = 0;
  std::int32_t TotalCompressed = 0;
  std::int32_t TotalUncompressed = 0;
  std::int32_t NamesSize = 0;
  std::uint32_t DirectoryCRC = 0;
  TLZArchiveTrailer Trailer;

  void Read(const std::uint8_t* in);
  void Write(std::uint8_t* out) const;
  bool operator==(const TLZArchiveHeader&) const = default;
};

// One directory entry (file or folder).
struct TLZFileEntry {
  static constexpr std::size_t kSize = 41;

  std::uint8_t IsFolder = 0;
  std::uint16_t FolderIndex = 0;
  std::uint16_t ParentIndex = 0;
  TShortField<8> FileVersion;
  std::uint8_t Compressed = 0;
  std::int32_t CompressedSize = 0;
  std::int32_t UncompressedSize = 0;
  std::int32_t FileDate = 0;
  std::int32_t FileAttr = 0;
  std::uint32_t FileCRC = 0;
  std::uint8_t NameLength = 0;
  std::int32_t ArchiveID = 0;
  std::uint8_t Method = 0;

  void Read(const std::uint8_t* in);
  void Write(std::uint8_t* out) const;
  bool operator==(const TLZFileEntry&) const = default;
};

// Header of a single compressed file; the codec stream follows at 257.
struct TLZFileHeader {
  static constexpr std::size_t kSize = 257;

  TShortField<8> Signature;
  std::array<std::uint8_t, 2> Unused1{};
  std::int32_t UncompressedSize = 0;
  std::int32_t CompressedSize = 0;
  std::int32_t FileDate = 0;
  std::int32_t FileAttr = 0;
  std::uint32_t FileCRC = 0;
  TShortField<8> FileVersion;
  TShortField<128> SourceName;
  std::int32_t ArchiveID = 0;
  std::uint8_t Method = 0;
  std::array<std::uint8_t, 83> Unused2{};

  void Read(const std::uint8_t* in);
  void Write(std::uint8_t* out) const;
  bool operator==(const TLZFileHeader&) const = default;
};

// The fixed texts of the format.
TShortField<18> LZArchiveSignature();    // 12: 04 0D "ZrlLZ_2" 05 06 04
TShortField<3> LZSpanSignature();        // 3: 04 02 0A
TShortField<4> LZTrailerSignature();     // 4: 04 05 01 02
TShortField<8> LZFileHeaderSignature();  // 8: "aZorelM#"

// ---- Records handed to callbacks -----------------------------------------

// Describes one file to report, question and listing callbacks.
struct TLZReportRec {
  std::string FileVersion;  // "0" when none
  std::int32_t CompressedSize = 0;
  std::int32_t UncompressedSize = 0;
  std::int32_t FileDate = 0;
  std::string FileName;  // full target path, archive path or archive name
  std::int32_t FileAttr = 0;
  std::uint32_t FileCRC = 0;
  std::int32_t ArchiveID = 0;
  std::uint8_t Method = 0;
  std::uint8_t IsFolder = 0;
};

// The in-memory archive directory.  Entries and names are numbered 1..Count
// as in the archive; Names hold the unscrambled names, NameLength bytes each.
struct TZorelLZArchiveHeader {
  std::int32_t Count = 0;
  std::vector<TLZFileEntry> Entries;  // Entries[k - 1] is entry k
  std::vector<std::string> Names;     // Names[k - 1] is the name of entry k
  TLZArchiveHeader Header;

  TLZFileEntry& Entry(std::int32_t k) { return Entries[static_cast<std::size_t>(k - 1)]; }
  const TLZFileEntry& Entry(std::int32_t k) const {
    return Entries[static_cast<std::size_t>(k - 1)];
  }
  const std::string& Name(std::int32_t k) const { return Names[static_cast<std::size_t>(k - 1)]; }
};
using PZorelLZArchiveHeader = TZorelLZArchiveHeader*;

// The fields that every record of an entry carries under the same names
// (TLZFileEntry, TLZFileHeader, TLZFileItem, TLZReportRec), copied in one
// place; names, versions and flags differ in form and are copied apart.
template <typename To, typename From>
void LZCopySharedFields(To& to, const From& from) {
  to.CompressedSize = from.CompressedSize;
  to.UncompressedSize = from.UncompressedSize;
  to.FileDate = from.FileDate;
  to.FileAttr = from.FileAttr;
  to.FileCRC = from.FileCRC;
  to.ArchiveID = from.ArchiveID;
  to.Method = from.Method;
}

// The span request that the archive component hands to the spanning routine.
struct TLZSpanInfo {
  std::int32_t DiskSize = 0;
  std::uint8_t IsSelfExtracting = 0;
  std::string StubName;           // empty for ordinary archives
  std::string SpannedName;        // out
  std::int32_t PartsWritten = 0;  // out
};

// ---- Callbacks of the engine ----------------------------------------------

// Report: the record and a report code, an entry number or a byte count.
using TLZReportProc = std::int32_t (*)(TLZReportRec& record, std::int32_t code);
// Question: 0 keep, 1 overwrite, 2 abort.
using TLZQuestionProc = std::uint8_t (*)(const TLZReportRec& current, const TLZReportRec& existing);
// Rename: true with a new name in `name`, false to skip.
using TLZRenameProc = bool (*)(std::string& name);
using TLZFileMatchProc = bool (*)(const std::string& mask, const std::string& target_path,
                                  std::int32_t entry);
using TLZCheckPassWordProc = std::int32_t (*)(const TLZArchiveHeader& header, std::int32_t zero);
using TLZSetPassWordProc = std::int32_t (*)(TLZArchiveHeader& header);
using TLZSpanPromptProc = std::int32_t (*)(std::int32_t disk_num, std::int32_t total_parts,
                                           std::int32_t needed_space, const char* drive);

}  // namespace zorellz
ZORELLZ_API_END
