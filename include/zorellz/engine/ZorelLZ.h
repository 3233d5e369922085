// The archive engine.  Operations return the result codes of ZrlTypes.h
// (>= 0 a count or size, < 0 an error); exceptions of the EZorelLZError
// family and EInOutError only where documented.  File names are native.
//
// Every routine runs on an engine context (LZContext.h): its settings, hooks,
// codecs and the state of the operation.  The routines whose first argument
// is a TLZContext act on that context; the others act on the process's
// default context.  A context runs one operation at a time and no callback
// may start another on it; operations on different contexts may run at the
// same time on different threads.  Results are named in the contracts by
// their constants in ZrlTypes.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "zorellz/engine/LZContext.h"
#include "zorellz/engine/ZrlTypes.h"
#include "zorellz/platform/Export.h"
#include "zorellz/platform/File.h"

ZORELLZ_API_BEGIN
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
// The file-match function in force (LZDefaultFileMatch unless replaced).
TLZFileMatchProc LZGetFileMatch();
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
// The default prompt's dialogue: asks for the disk until the user answers
// No (1), or Yes when needed_space < 1 or the drive has at least the smaller
// of needed_space and space_limit bytes free (0).  After each Yes without
// that space, says so and asks again.
std::int32_t LZAskForDisk(std::int32_t disk_num, std::int32_t total_parts,
                          std::int32_t needed_space, std::int32_t space_limit, const char* drive);

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
// The same from the first `size` bytes of a file in memory.
bool LZParseFileHeader(const std::uint8_t* data, std::size_t size, TLZFileHeader& header);
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

// ---- Creation ---------------------------------------------------------------

// Installs the hook told about each such input; returns the previous one.
TLZSkippedInputHook LZSetSkippedInputHook(TLZSkippedInputHook hook);

// Builds an archive of the files that `file_specs` names: a folder path with
// a wildcard mask as its last component, or "/F=" and a list file.  Returns
// the number of files whose data were written, or a negative result.  The
// archive takes its name only when it is complete: a failure of any kind
// leaves a file of that name as it was.  With a header offset L > 0 in force
// the archive goes behind the first L bytes of the existing file.
// Raises EZorelLZError 40002, 40003 and EZorelLZArchive 40004, 40000.
std::int32_t LZCreateArchive(const std::string& file_specs, const std::string& archive_name,
                             TLZRecurse recurse, TLZCompressionChoices compression,
                             TLZReportProc report);
// Writes the header (with `with_header`), the entries and the scrambled names
// at the file's position, completing the header's totals and DirectoryCRC;
// 0, or kLZWriteDirectoryFailed.
std::int32_t LZWriteDirectory(TFile& file, TZorelLZArchiveHeader& directory,
                              TLZArchiveHeader& header, bool with_header);
// Whether an input is compressed (0, 1) or stored (2 to 10).
std::uint8_t LZClassifyInput(const std::string& file_name, bool store_all);

// One file into a single compressed file; bytes written, header included,
// or a negative result.  `confirm` is asked when `out_name` exists.
std::int32_t LZCompressFile(const std::string& in_name, const std::string& out_name,
                            TLZQuestionProc confirm, TLZCompressionChoices compression,
                            TLZReportProc report);
// Why LZCompressFile would refuse the pair before reading anything: 0, or
// kLZSameInputOutput, kLZInputMissing, kLZNameNotStorable (the name is over
// 128 bytes or refused by the entry name rule), kLZInputTooLarge.
// LZCompressFile itself returns kLZSameInputOutput for the last two.
std::int32_t LZCheckCompressNames(const std::string& in_name, const std::string& out_name);
// REPORT.TXT -> REPORT.TX~, A.B -> A.~, README -> README.~
std::string LZCompressedAutoName(const std::string& in_name);
std::int32_t LZCompressFileAutoName(const std::string& in_name, TLZQuestionProc confirm,
                                    TLZReportProc report);

// The stub copied byte for byte, then an archive built behind it; the header
// offset is the stub's length during the build and restored on every way out.
std::int32_t LZCreateSFXArchive(const std::string& stub_name, const std::string& file_specs,
                                const std::string& out_name, TLZCompressionChoices compression,
                                TLZReportProc report, TLZRecurse recurse);

// ---- Extraction ---------------------------------------------------------------

// One entry as extraction sees it.
struct TLZFileItem {
  std::uint8_t IsFolder = 0;
  std::uint16_t FolderIndex = 0;
  std::uint16_t ParentIndex = 0;
  std::uint8_t Compressed = 0;
  std::string FileVersion;
  std::int32_t CompressedSize = 0;
  std::int32_t UncompressedSize = 0;
  std::int32_t FileDate = 0;
  std::string TargetPath;  // native: where the entry is extracted to
  std::int32_t FileAttr = 0;
  std::uint32_t FileCRC = 0;
  std::int32_t ArchiveID = 0;
  std::uint8_t Method = 0;
};

// Finds the archive in `archive_name` (at the header offset, through the
// trailer, or by joining the parts of a spanned archive) and extracts it into
// `target_folder`.  Returns the number of files extracted or a negative
// result.  A file is installed only when it is complete and (with CRC
// checking on) verified; a previous file of that name stays untouched until
// then.  An entry that fails is reported with kLZCRCMismatch and ends
// the extraction with a negative result.  Nothing is written outside the
// target folder.  The header offset in force is restored on every way out.
std::int32_t LZDecompressArchive(const std::string& archive_name, const std::string& target_folder,
                                 TLZQuestionProc question, TLZReportProc report,
                                 TLZRenameProc rename, bool dearchive_recurse,
                                 bool extract_unexpanded);
// The extraction loop over the archive at the current header offset.
// Raises EZorelLZArchive 40007 (archive ends early) and 40008.
std::int32_t LZExtractArchive(const std::string& archive_name, const std::string& target_folder,
                              TLZQuestionProc question, TLZReportProc report, TLZRenameProc rename,
                              bool dearchive_recurse, bool extract_unexpanded);
// A single compressed file (or a plain file, copied) into `target`: bytes
// written, or kLZDeclinedOverwrite, kLZAbortedOverwrite, kLZCRCMismatch, a
// negative codec result, kLZCannotCreateOutput.  Raises EZorelLZCompress
// 40003, 40004, 40006 and EZorelLZError 40002.
std::int64_t LZDecompressFile(const std::string& source, const std::string& target,
                              TLZQuestionProc question, TLZReportProc report);

// "#:N" selects entry N; "*.*", "*" and "" select all; otherwise the mask is
// compared (ignoring case) with the target path, its file name and the
// entry's path in the archive being extracted, then matched as a wildcard
// against the file name.
bool LZDefaultFileMatch(const std::string& mask, const std::string& target_path,
                        std::int32_t entry);

// Creates every missing folder of `path`: the number created (0 when all
// existed), or -1.
std::int32_t LZForceDirectories(const std::string& path);
// Asks `rename` for a name that does not exist yet; false leaves `path`.
bool LZAskNewName(std::string& path, const TLZRenameHook& rename);
// Describes an existing file (a single compressed file by its header).
void LZGetFileInfo(const std::string& file_name, TLZReportRec& record);
void LZItemToReport(TLZReportRec& record, const TLZFileItem& item);
// What LZCopyBlock tells the progress function about.
enum TLZProgressMode : int {
  LZNoProgress = 0,
  LZProgressOnRead = 1,   // the bytes of each block read
  LZProgressOnWrite = 2,  // the bytes of each block written
};
// Copies `count` bytes (-1: to the end of `source`) in 128,000-byte blocks,
// calling the progress function as `progress_mode` says.  Raises
// EInOutError 100 when `source` ends before `count` bytes.
std::int64_t LZCopyBlock(TFile& source, TFile& target, std::int64_t count,
                         TLZProgressMode progress_mode);
// A new, empty, uniquely named file in the temporary folder.  Raises
// EZorelLZError 40005 when there is none.
void LZTempFileName(std::string& name);
bool LZDeleteFile(const std::string& file_name);
bool LZRenameFile(const std::string& old_name, const std::string& new_name);

// ---- Self-extracting payload --------------------------------------------------

// Extracts the archive appended to `file_name` (or a plain archive) as
// LZDecompressArchive does; kLZNoArchiveInFile when there is none.  Starts
// the archive's stored command when at least one file was extracted, no
// entry failed and the user did not cancel.
std::int32_t LZDecompressSFXArchive(const std::string& file_name, const std::string& target_folder,
                                    TLZQuestionProc question, TLZReportProc report,
                                    TLZRenameProc rename, bool dearchive_recurse,
                                    bool extract_unexpanded);
// Copies the appended archive into a plain archive file: bytes written, or
// kLZNoFile, kLZCannotOpenSFX, kLZCannotSeekEmbedded, kLZCannotCreateOutput,
// kLZNoArchiveInFile, kLZSpannedEmbedded.  The output appears only when
// complete.
std::int32_t LZExtractArchiveFromSFX(const std::string& sfx_name, const std::string& archive_name);

// ---- Listing and single files -------------------------------------------------

// Reports the summary (kLZReportSummary), every entry (code k, FileName its
// path in the archive) and kLZReportFinished; the entry count, or
// kLZNotAnArchive, kLZNoReportFunction, kLZNoFile, kLZReadDirectoryFailed,
// kLZDamagedDirectory.
std::int32_t LZListArchive(const std::string& archive_name, TLZArchiveHeader* header,
                           TLZReportProc report);
// Calls `view` with the loaded directory and kLZReportSummary, then
// 1..Count until it answers 0, then kLZReportFinished; the entry count or a
// negative result.
using TLZViewProc =
    std::function<std::int32_t(PZorelLZArchiveHeader directory, std::int32_t entry)>;
std::int32_t LZViewArchive(const std::string& archive_name, const TLZViewProc& view);
// Extraction of the entries a name selects, or of entry `number`, with no
// callbacks; the dearchive mask is restored on every way out.
std::int32_t LZExtractArchiveFileByName(const std::string& archive_name,
                                        const std::string& target_folder, const std::string& name,
                                        bool dearchive_recurse, bool extract_unexpanded);
std::int32_t LZExtractArchiveFileByID(const std::string& archive_name,
                                      const std::string& target_folder, std::int32_t number,
                                      bool dearchive_recurse, bool extract_unexpanded);
// Extracts the archive comment: its entry number, 0 without a comment, or a
// negative result; `path` (when given) receives the comment file's path.
std::int32_t LZExtractComment(const std::string& archive_name, const std::string& target_folder,
                              std::string* path);
// Expands a single compressed file under the name stored in it, in its
// folder: bytes written, or kLZNoFile, kLZSameInputOutput,
// kLZNotRequestedFile and the results of LZDecompressFile.
std::int64_t LZExpandFile(const std::string& source, TLZQuestionProc question,
                          TLZReportProc report);
// The name a file gets when compressed on its own: the last character of the
// extension becomes "~" (REPORT.TXT -> REPORT.TX~, README -> README.~).
std::string LZCompressedName(const std::string& file_name);
// Decodes every entry without writing anything and checks each CRC-32;
// each damaged entry is reported with kLZCRCMismatch.  The number of sound
// files, or the first negative result.
std::int32_t LZTestArchive(const std::string& archive_name, TLZReportProc report);

// ---- Spanned archives -----------------------------------------------------------

// True when the 83-byte trailer is the part trailer of part `part`.
bool LZCheckSpanTrailer(std::int32_t part, const TLZArchiveTrailer& trailer);
// The file name of part `part` (part 1: the archive name itself).
std::string LZSpanPartName(const std::string& archive_name, std::int32_t part);

// Builds the archive (self-extracting behind span_info.StubName when
// IsSelfExtracting is set and the stub is named, else ordinary) in a work
// file of the temporary folder, then places it:
//  - when it fits on one disk of span_info.DiskSize bytes it becomes
//    `archive_name` unchanged: by one rename when the work file lies on the
//    same file system, else by a copy (disk prompt when space is short;
//    reports kLZReportJoinBegins to kLZReportJoinDone); PartsWritten = 0,
//    SpannedName = archive_name;
//  - otherwise it is cut into parts beside `archive_name` (part 1 under
//    that name, part n under LZSpanPartName), each at most DiskSize bytes
//    with its 83-byte part trailer, the disk prompt asked before each part
//    with the space it needs; reports kLZReportJoinBegins, per part
//    kLZReportPartOpened, kLZReportPartChunk per block, kLZReportPartDone,
//    then kLZReportJoinDone.  PartsWritten = the parts written, SpannedName
//    = part 1.
// Returns the builder's result when the archive was moved whole, the entry
// count when it was split, or a negative result: the builder's own (then
// nothing is placed; 0 also places nothing), kLZCannotCreateOutput when no
// work file can be made, kLZNoDiskSize when the disks cannot carry the
// parts (too small, over 65,535 parts, or part 1 without the whole header),
// kLZCannotOpenPart to kLZWritePartFailed, kLZCannotMoveArchive.  The work file is removed on every
// way out, exceptions included.
std::int32_t LZCreateArchiveWithSpanning(const std::string& file_specs,
                                         const std::string& archive_name, TLZRecurse recurse,
                                         TLZSpanInfo& span_info, TLZCompressionChoices compression,
                                         TLZReportProc report);

// ---- Routines on a context ----------------------------------------------------
// Each does what the routine of the same name above does, on `context`
// instead of the default context, with any callable as its callbacks.

std::int32_t LZReadArchiveHeader(TLZContext& context, const std::string& file_name,
                                 TLZArchiveHeader& header);
std::int32_t LZArchiveCount(TLZContext& context, const std::string& file_name);
// The same for a file already open (its position is kept), and for a
// file's bytes in memory.
std::int32_t LZArchiveCount(TLZContext& context, TFile& file);
std::int32_t LZArchiveCount(TLZContext& context, const std::uint8_t* data, std::size_t size);
std::int32_t LZGetArchiveSize(TLZContext& context, const std::string& file_name);
std::int32_t LZLocateArchive(TLZContext& context, const std::string& file_name,
                             TLZArchiveHeader& header);
std::int32_t LZLoadDirectory(TLZContext& context, const std::string& file_name,
                             TZorelLZArchiveHeader& directory);
std::uint8_t LZClassifyInput(const TLZContext& context, const std::string& file_name,
                             bool store_all);

std::int32_t LZCreateArchive(TLZContext& context, const std::string& file_specs,
                             const std::string& archive_name, TLZRecurse recurse,
                             TLZCompressionChoices compression, TLZReportHook report);
std::int32_t LZCompressFile(TLZContext& context, const std::string& in_name,
                            const std::string& out_name, TLZQuestionHook confirm,
                            TLZCompressionChoices compression, TLZReportHook report);
std::int32_t LZCompressFileAutoName(TLZContext& context, const std::string& in_name,
                                    TLZQuestionHook confirm, TLZReportHook report);
std::int32_t LZCreateSFXArchive(TLZContext& context, const std::string& stub_name,
                                const std::string& file_specs, const std::string& out_name,
                                TLZCompressionChoices compression, TLZReportHook report,
                                TLZRecurse recurse);
std::int32_t LZCreateArchiveWithSpanning(TLZContext& context, const std::string& file_specs,
                                         const std::string& archive_name, TLZRecurse recurse,
                                         TLZSpanInfo& span_info, TLZCompressionChoices compression,
                                         TLZReportHook report);

std::int32_t LZDecompressArchive(TLZContext& context, const std::string& archive_name,
                                 const std::string& target_folder, TLZQuestionHook question,
                                 TLZReportHook report, TLZRenameHook rename, bool dearchive_recurse,
                                 bool extract_unexpanded);
std::int32_t LZExtractArchive(TLZContext& context, const std::string& archive_name,
                              const std::string& target_folder, TLZQuestionHook question,
                              TLZReportHook report, TLZRenameHook rename, bool dearchive_recurse,
                              bool extract_unexpanded);
std::int64_t LZDecompressFile(TLZContext& context, const std::string& source,
                              const std::string& target, TLZQuestionHook question,
                              TLZReportHook report);
bool LZDefaultFileMatchIn(const TLZContext& context, const std::string& mask,
                          const std::string& target_path, std::int32_t entry);
// The file-match hook of `context`, or the default match on it.
bool LZMatchFile(const TLZContext& context, const std::string& mask, const std::string& target_path,
                 std::int32_t entry);
std::int32_t LZDecompressSFXArchive(TLZContext& context, const std::string& file_name,
                                    const std::string& target_folder, TLZQuestionHook question,
                                    TLZReportHook report, TLZRenameHook rename,
                                    bool dearchive_recurse, bool extract_unexpanded);
std::int32_t LZExtractArchiveFromSFX(TLZContext& context, const std::string& sfx_name,
                                     const std::string& archive_name);

std::int32_t LZListArchive(TLZContext& context, const std::string& archive_name,
                           TLZArchiveHeader* header, TLZReportHook report);
std::int32_t LZViewArchive(TLZContext& context, const std::string& archive_name,
                           const TLZViewProc& view);
std::int32_t LZExtractArchiveFileByName(TLZContext& context, const std::string& archive_name,
                                        const std::string& target_folder, const std::string& name,
                                        bool dearchive_recurse, bool extract_unexpanded);
std::int32_t LZExtractArchiveFileByID(TLZContext& context, const std::string& archive_name,
                                      const std::string& target_folder, std::int32_t number,
                                      bool dearchive_recurse, bool extract_unexpanded);
std::int32_t LZExtractComment(TLZContext& context, const std::string& archive_name,
                              const std::string& target_folder, std::string* path);
std::int64_t LZExpandFile(TLZContext& context, const std::string& source, TLZQuestionHook question,
                          TLZReportHook report);
std::int32_t LZTestArchive(TLZContext& context, const std::string& archive_name,
                           TLZReportHook report);

}  // namespace zorellz
ZORELLZ_API_END
