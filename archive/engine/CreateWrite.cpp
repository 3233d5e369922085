// The parts of a new archive: the directory, and the data of each file,
// compressed, stored or taken over from a single compressed file.
#include "archive/engine/CreateWrite.h"

#include <algorithm>
#include <array>
#include <limits>

#include "archive/codec/PeVersion.h"
#include "archive/codec/ZrlUtils.h"
#include "archive/engine/CodecIO.h"
#include "archive/engine/CopyBytes.h"
#include "archive/engine/EngineState.h"
#include "platform/DosTime.h"
#include "platform/Names.h"
#include "zorellz/codec/ZrlCRC.h"
#include "zorellz/codec/ZrlCodec.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/engine/ZorelLZ.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {
namespace {

// Answers of LZClassifyInput.  Up to kClassOrdinary a file is compressed;
// every other answer says why it is stored.
enum TLZInputClass : std::uint8_t {
  kClassUnopened = 0,
  kClassOrdinary = 1,
  kClassZipMagic = 2,
  kClassZooMagic = 3,
  kClassArcMagic = 4,
  kClassLhMagic = 5,
  kClassPakMagic = 6,
  kClassArjMagic = 7,
  kClassTooShort = 8,
  kClassListedExtension = 9,
  kClassStoreAll = 10,
};

constexpr std::int64_t kLargestTotal = std::numeric_limits<std::int32_t>::max();
// Shorter files gain nothing from a codec.
constexpr std::int64_t kShortestCompressed = 100;
constexpr std::size_t kLongestExtension = 10;
constexpr std::size_t kMagicLength = 5;
constexpr std::size_t kLongestVersion = 8;

// ---- Classification ----

// The extension, dot included, found anywhere in the store list: a short
// one such as ".Z" also matches inside ".ZIP".  The list is taken as it was
// set, so only its upper-case entries can ever match.
bool IsListedExtension(const TLZContext& context, const std::string& file_name) {
  const std::string extension =
      UpperCaseAscii(ExtractFileExt(file_name)).substr(0, kLongestExtension);
  if (extension.empty()) return false;
  return context.ExtensionsToStore.find(extension) != std::string::npos;
}

TLZInputClass ClassByMagic(const std::array<std::uint8_t, kMagicLength>& b) {
  if (b[0] == 0x50 && b[1] == 0x4B) return kClassZipMagic;
  if (b[0] == 0x60 && b[1] == 0xEA) return kClassArjMagic;
  if (b[3] == 0x6C && b[4] == 0x68) return kClassLhMagic;
  if (b[0] == 0x5A && b[1] == 0x4F && b[2] == 0x4F) return kClassZooMagic;
  if (b[0] == 0x1A && b[1] == 0x08) return kClassArcMagic;
  if (b[0] == 0x1A && b[1] == 0x0B) return kClassPakMagic;
  return kClassOrdinary;
}

// ---- Directory ----

struct TLZDirectoryTotals {
  std::int64_t Compressed = 0;
  std::int64_t Uncompressed = 0;
  std::int64_t Names = 0;
};

std::size_t EntryCount(const TZorelLZArchiveHeader& directory) {
  const auto count = static_cast<std::size_t>(std::max(directory.Count, 0));
  return std::min({count, directory.Entries.size(), directory.Names.size()});
}

TLZDirectoryTotals SumEntries(const TZorelLZArchiveHeader& directory) {
  TLZDirectoryTotals totals;
  for (std::size_t i = 0; i < EntryCount(directory); ++i) {
    const TLZFileEntry& entry = directory.Entries[i];
    totals.Compressed += entry.CompressedSize;
    totals.Uncompressed += entry.UncompressedSize;
    totals.Names += entry.NameLength;
  }
  return totals;
}

// The builder keeps every total within range; the casts only narrow.
void CompleteHeader(TZorelLZArchiveHeader& directory, TLZArchiveHeader& header) {
  const TLZDirectoryTotals totals = SumEntries(directory);
  header.TotalCompressed = static_cast<std::int32_t>(totals.Compressed);
  header.TotalUncompressed = static_cast<std::int32_t>(totals.Uncompressed);
  header.NamesSize = static_cast<std::int32_t>(totals.Names);
  header.Trailer = directory.Header.Trailer;
  header.DirectoryCRC = LZDirectoryCRC(directory);
  directory.Header = header;
}

// All records in one write: the directory is written twice per archive.
void WriteEntries(TFile& file, const TZorelLZArchiveHeader& directory) {
  constexpr std::size_t kRecord = TLZFileEntry::kSize;
  std::vector<std::uint8_t> records(EntryCount(directory) * kRecord);
  for (std::size_t i = 0; i < EntryCount(directory); ++i) {
    directory.Entries[i].Write(records.data() + i * kRecord);
  }
  file.Write(records.data(), records.size());
}

// Exactly NameLength bytes per name, zero bytes of the scrambled form
// included, so that the area adds up to NamesSize.
std::string ScrambledName(const TZorelLZArchiveHeader& directory, std::size_t i) {
  std::string scrambled = LZScrambleName(directory.Names[i]);
  scrambled.resize(directory.Entries[i].NameLength, '\0');
  return scrambled;
}

// One write below the block limit, one per name above it, so that no
// single buffer grows past that size.
void WriteNames(TFile& file, const TZorelLZArchiveHeader& directory) {
  const TLZDirectoryTotals totals = SumEntries(directory);
  const bool in_one_block = totals.Names < kLZNamesBlockLimit;
  std::string block;
  for (std::size_t i = 0; i < EntryCount(directory); ++i) {
    const std::string scrambled = ScrambledName(directory, i);
    if (in_one_block) {
      block += scrambled;
    } else {
      file.Write(scrambled.data(), scrambled.size());
    }
  }
  if (in_one_block) file.Write(block.data(), block.size());
}

// ---- The data of one file ----

void KeepAsEmptyEntry(TLZBuildEntry& entry) {
  entry.CompressedSize = 0;
  entry.UncompressedSize = 0;
  entry.Compressed = 0;
  entry.CRC = 0;  // the CRC of no data, so that the entry is consistent
}

// A single compressed file is copied for exactly the stream its header
// announces; a header whose sizes make no sense, or a file too short for
// them, is not taken over (the file is stored as it is instead).  An empty
// stream is taken over only for an empty file.
bool CanTakeOver(const TLZFileHeader& header, std::int64_t file_size) {
  const bool sizes_agree = header.CompressedSize > 0
                               ? header.UncompressedSize >= 0
                               : header.CompressedSize == 0 && header.UncompressedSize == 0;
  return sizes_agree &&
         file_size - static_cast<std::int64_t>(TLZFileHeader::kSize) >= header.CompressedSize;
}

// The classification of an input from its name and its first bytes, read
// from memory or through the open file (whose position is kept).
TLZInputClass ClassifyOpenInput(const TLZContext& context, const TLZBuildEntry& entry, TFile& input,
                                bool store_all) {
  if (IsListedExtension(context, entry.Path)) return kClassListedExtension;
  if (store_all) return kClassStoreAll;
  std::array<std::uint8_t, kMagicLength> magic{};
  if (entry.Bytes != nullptr) {
    if (static_cast<std::int64_t>(entry.Bytes->size()) < kShortestCompressed) return kClassTooShort;
    std::copy_n(entry.Bytes->begin(), magic.size(), magic.begin());
    return ClassByMagic(magic);
  }
  if (input.Size() < kShortestCompressed) return kClassTooShort;
  const std::int64_t position = input.Position();
  input.Seek(0);
  input.Read(magic.data(), magic.size());
  input.Seek(position);
  return ClassByMagic(magic);
}

bool ShouldCompress(TLZContext& context, const TLZBuildEntry& entry, TFile& input,
                    TLZCompressionChoices compression) {
  const TLZHeldBytes* bytes = entry.Bytes.get();
  const std::int32_t archived = bytes != nullptr
                                    ? LZArchiveCount(context, bytes->data(), bytes->size())
                                    : LZArchiveCount(context, input);
  if (archived > 0) return false;
  return ClassifyOpenInput(context, entry, input, compression == LZNoCompression) <= kClassOrdinary;
}

// Writes `count` bytes of an input held in memory as LZCopyFileBytes copies
// them from a file: the same blocks, each reported to `progress`.
std::int64_t CopyHeldBytes(const std::uint8_t* data, std::size_t count, TFile& output,
                           const TLZReportHook& progress, TLZReportRec& record) {
  for (std::size_t done = 0; done < count;) {
    const std::size_t block = std::min<std::size_t>(kLZCopyBlockSize, count - done);
    if (progress) progress(record, static_cast<std::int32_t>(block));
    output.Write(data + done, block);
    done += block;
  }
  return static_cast<std::int64_t>(count);
}

// The bytes from `offset` on (at most `count`; all with a negative count),
// from memory or from the open file.
std::int64_t CopyInput(TLZContext& context, const TLZBuildEntry& entry, TFile& input,
                       std::int64_t offset, std::int64_t count, TFile& output) {
  if (entry.Bytes == nullptr) {
    input.Seek(offset);
    return LZCopyFileBytes(input, output, count, context.Progress, context.CurrentReport);
  }
  const TLZHeldBytes& bytes = *entry.Bytes;
  const auto start = static_cast<std::size_t>(std::min<std::int64_t>(offset, bytes.size()));
  std::size_t length = bytes.size() - start;
  if (count >= 0) length = static_cast<std::size_t>(std::min<std::int64_t>(count, length));
  return CopyHeldBytes(bytes.data() + start, length, output, context.Progress,
                       context.CurrentReport);
}

void TakeOver(TLZContext& context, TFile& input, TFile& output, const TLZFileHeader& header,
              TLZBuildEntry& entry) {
  const std::int64_t copied =
      CopyInput(context, entry, input, TLZFileHeader::kSize, header.CompressedSize, output);
  entry.CompressedSize = static_cast<std::int32_t>(copied);
  entry.UncompressedSize = header.UncompressedSize;
  entry.DateTime = header.FileDate;
  entry.Attributes = header.FileAttr;
  entry.CRC = header.FileCRC;
  entry.Version = header.FileVersion.Get();
  // No stream decodes to nothing only through the LZSS coder, whichever
  // codec the header names.
  entry.Method = copied == 0 ? kLZMethodLZSS : header.Method;
  entry.Compressed = 1;
}

// A size past 32 bits never stays: the totals check leaves such an entry out.
std::int32_t ClampedSize(std::int64_t size) {
  return static_cast<std::int32_t>(std::min(size, kLargestTotal));
}

void Store(TLZContext& context, TFile& input, TFile& output, TLZBuildEntry& entry) {
  entry.CompressedSize = ClampedSize(CopyInput(context, entry, input, 0, -1, output));
  entry.Compressed = 0;
  entry.Method = kLZMethodStored;
}

std::int64_t Compress(TLZContext& context, TFile& input, TFile& output,
                      TLZCompressionChoices compression, TLZBuildEntry& entry) {
  const std::int64_t size = LZEncodeEntryTo(
      context, compression, entry, input,
      [&output](const std::uint8_t* data, std::size_t count) { output.Write(data, count); });
  LZMarkCompressed(compression, size, entry);
  return size;
}

// Writes the entry's data as the input calls for; 0, or a negative codec
// result.
std::int64_t WriteData(TLZContext& context, TFile& input, TFile& output,
                       TLZCompressionChoices compression, TLZBuildEntry& entry) {
  const TLZDataPlan plan = LZPlanEntryData(context, input, compression, entry);
  if (plan.Compress) {
    const std::int64_t size = Compress(context, input, output, compression, entry);
    return size < 0 ? size : 0;
  }
  LZWritePlainData(context, plan, input, output, entry);
  return 0;
}

bool FitsTotals(const TLZDataArea& area, std::int64_t compressed, std::int64_t uncompressed) {
  return compressed <= kLargestTotal - area.TotalCompressed &&
         uncompressed <= kLargestTotal - area.TotalUncompressed;
}

// Keeps the entry's data, written from `start` on, when the totals can take
// them; otherwise takes them back out and keeps the entry empty.
bool AdmitToTotals(TLZDataArea& area, std::int64_t start, TLZBuildEntry& entry) {
  TFile& output = area.Output;
  const std::int64_t size = output.Position() - start;
  if (FitsTotals(area, size, entry.UncompressedSize)) {
    area.TotalCompressed += size;
    area.TotalUncompressed += entry.UncompressedSize;
    return true;
  }
  output.Seek(start);
  output.Truncate();
  KeepAsEmptyEntry(entry);
  entry.Method = kLZMethodStored;
  LZReportSkippedInput(area.Context, entry.Path, TLZSkipReason::kTooLarge);
  return false;
}

// The version text an entry stores: "0" stands for a file without one.
std::string StoredVersion(std::string version) {
  if (version.empty()) return "0";
  return version.substr(0, kLongestVersion);
}

// What the directory keeps of an opened input: its attributes from the open
// file, its CRC and version from one pass over it.  A small input is read
// whole and kept for its data; a larger one is left at its start.
void ReadOpenInput(TLZBuildEntry& entry, TFile& input, const TFileStatus& status) {
  entry.Attributes = LZStoredAttributesFrom(GetFileAttributesNative(input, status));
  if (status.Size <= kLZSmallInput) {
    auto bytes = std::make_shared<TLZHeldBytes>(static_cast<std::size_t>(status.Size));
    bytes->Shrink(input.Read(bytes->data(), bytes->size()));
    entry.CRC = CRC32Of(bytes->data(), bytes->size());
    entry.Version = StoredVersion(
        ReadPeVersionString(bytes->data(), bytes->size(), "FileVersion").value_or(std::string()));
    entry.Bytes = std::move(bytes);
    return;
  }
  input.AdviseSequential();  // read twice from start to end: CRC, then data
  entry.CRC = GetFileCRC32(input);
  entry.Version = StoredVersion(GetFileVersionString(input, "FileVersion"));
  input.Seek(0);
}

// An input that does not open keeps what it had when it was collected, and
// the attributes it has now when it is still there.
void KeepUnopened(TLZBuildEntry& entry) {
  const std::int32_t attributes = GetFileAttributesNative(entry.Path);
  if (attributes >= 0) entry.Attributes = LZStoredAttributesFrom(attributes);
}

void ReportFileDone(const TLZBuildEntry& entry, const TLZReportHook& report) {
  if (report == nullptr) return;
  TLZReportRec record = LZBuildEntryReport(entry);
  record.FileName.clear();
  report(record, kLZReportFileDone);
}

}  // namespace

// ---- Helpers ----

std::int64_t LZCopyFileBytes(TFile& input, TFile& output, std::int64_t count,
                             const TLZReportHook& progress, TLZReportRec& record) {
  TLZCopyOptions options;
  options.Progress = progress;
  options.Record = &record;
  return LZCopyBytes(input, &output, count, options);
}

std::int64_t LZCopyFileBytes(TFile& input, TFile& output, std::int64_t count) {
  return LZCopyBytes(input, &output, count, TLZCopyOptions{});
}

TLZReportRec LZBuildEntryReport(const TLZBuildEntry& entry) {
  TLZReportRec record;
  record.FileVersion = entry.Version;
  record.CompressedSize = entry.CompressedSize;
  record.UncompressedSize = entry.UncompressedSize;
  record.FileDate = entry.DateTime;
  record.FileName = entry.Path;
  record.FileAttr = entry.Attributes;
  record.FileCRC = entry.CRC;
  record.ArchiveID = entry.Number;
  record.Method = entry.Method;
  record.IsFolder = entry.IsFolder ? 1 : 0;
  return record;
}

// ---- Creation routines ----

std::uint8_t LZClassifyInput(const std::string& file_name, bool store_all) {
  return LZClassifyInput(LZDefaultContext(), file_name, store_all);
}

std::uint8_t LZClassifyInput(const TLZContext& context, const std::string& file_name,
                             bool store_all) {
  if (IsListedExtension(context, file_name)) return kClassListedExtension;
  if (store_all) return kClassStoreAll;
  TFile file;
  if (!file.Open(file_name, TFile::TMode::kReadDenyWrite)) return kClassUnopened;
  if (file.Size() < kShortestCompressed) return kClassTooShort;
  std::array<std::uint8_t, kMagicLength> magic{};
  file.Read(magic.data(), magic.size());
  return ClassByMagic(magic);
}

std::int32_t LZWriteDirectory(TFile& file, TZorelLZArchiveHeader& directory,
                              TLZArchiveHeader& header, bool with_header) {
  try {
    if (with_header) {
      CompleteHeader(directory, header);
      LZWriteRecord(file, header);
    }
    WriteEntries(file, directory);
    WriteNames(file, directory);
  } catch (const EInOutError&) {
    return kLZWriteDirectoryFailed;
  }
  return 0;
}

// An input is read only when it opens and is not the archive being written,
// which would otherwise grow while it is read.
bool LZOpenEntryInput(const TLZDataArea& area, TLZBuildEntry& entry, TFile& input) {
  TFileStatus status;
  if (!input.Open(entry.Path, TFile::TMode::kReadDenyWrite, status) ||
      status.Identity == area.OutputIdentity) {
    input.Close();
    KeepUnopened(entry);
    return false;
  }
  ReadOpenInput(entry, input, status);
  return true;
}

std::int64_t LZEncodeEntryTo(TLZContext& context, TLZCompressionChoices compression,
                             const TLZBuildEntry& entry, TFile& input, const TLZByteSink& output) {
  if (entry.Bytes == nullptr) return LZEncodeStreamTo(context, compression, input, output);
  return LZEncodeBytesTo(context, compression, entry.Bytes->data(), entry.Bytes->size(), output);
}

bool LZBeginEntryData(TLZDataArea& area, TLZBuildEntry& entry, bool opened) {
  TLZReportRec record = LZBuildEntryReport(entry);
  area.Context.CurrentReport = record;
  if (!opened) {
    KeepAsEmptyEntry(entry);
    LZReportSkippedInput(area.Context, entry.Path, TLZSkipReason::kCannotOpen);
    return false;
  }
  if (area.Report) area.Report(record, kLZReportFileBegins);
  return true;
}

std::int32_t LZFinishEntryData(TLZDataArea& area, std::int64_t start, std::int64_t result,
                               TLZBuildEntry& entry) {
  entry.Bytes.reset();  // written: the memory goes back
  const bool kept = result >= 0 && AdmitToTotals(area, start, entry);
  ReportFileDone(entry, area.Report);
  if (result < 0) return static_cast<std::int32_t>(result);
  return kept ? 1 : 0;
}

TLZDataPlan LZPlanEntryData(TLZContext& context, TFile& input, TLZCompressionChoices compression,
                            const TLZBuildEntry& entry) {
  TLZDataPlan plan;
  plan.SingleFile = entry.Bytes != nullptr
                        ? LZParseFileHeader(entry.Bytes->data(), entry.Bytes->size(), plan.Single)
                        : LZReadFileHeader(input, plan.Single);
  plan.Compress = !plan.SingleFile && ShouldCompress(context, entry, input, compression);
  return plan;
}

void LZWritePlainData(TLZContext& context, const TLZDataPlan& plan, TFile& input, TFile& output,
                      TLZBuildEntry& entry) {
  const std::int64_t size =
      entry.Bytes != nullptr ? static_cast<std::int64_t>(entry.Bytes->size()) : input.Size();
  if (plan.SingleFile && CanTakeOver(plan.Single, size)) {
    TakeOver(context, input, output, plan.Single, entry);
  } else {
    Store(context, input, output, entry);
  }
}

void LZMarkCompressed(TLZCompressionChoices compression, std::int64_t size, TLZBuildEntry& entry) {
  entry.Method = compression == LZMaxCompression ? kLZMethodLZH : kLZMethodLZSS;
  entry.Compressed = 1;
  if (size >= 0) entry.CompressedSize = ClampedSize(size);
}

std::int32_t LZWriteEntryData(TLZDataArea& area, TLZBuildEntry& entry) {
  TFile input;
  if (!LZBeginEntryData(area, entry, LZOpenEntryInput(area, entry, input))) return 0;
  const std::int64_t start = area.Output.Position();
  const std::int64_t result = WriteData(area.Context, input, area.Output, area.Compression, entry);
  input.Close();
  return LZFinishEntryData(area, start, result, entry);
}

}  // namespace zorellz
