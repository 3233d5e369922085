// zorellz list ARCHIVE [--json] [--quiet|--verbose]
// The entries of an archive: a plain one, one appended to a program (found
// through its trailer) or the first part of a spanned archive, whose
// directory part 1 holds alone; "-" reads it from standard input, spooled
// into a work file first.  A table and a summary line, or one JSON object
// (format 1, described in the README) with every header field and every
// entry.  Paths are shown with the native separator.  Listing only
// inspects, so a protected archive is listed as well.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "cli/Commands.h"
#include "cli/CreateSupport.h"
#include "cli/EntryText.h"
#include "cli/Progress.h"
#include "cli/ReadSupport.h"
#include "cli/Streams.h"
#include "cli/Usage.h"
#include "platform/Names.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz::cli {
namespace {

using json = nlohmann::ordered_json;

struct TListRequest {
  std::string Archive;
  bool Json = false;
  TReporting Reporting;
};

// The version of the JSON object's layout; it grows when a field changes
// meaning or goes, not when one is added.
constexpr int kJsonFormat = 1;

// A run command whose first character is this byte means "no command".
constexpr std::uint8_t kNoRunCommand = 0xFF;

TZorelLZArchiveHeader LoadDirectory(const std::string& archive, const std::string& shown,
                                    const TArchiveLocation& location) {
  TLZContext context;
  ReadProtected(context, true);
  context.HeaderOffset = location.Offset;
  TZorelLZArchiveHeader directory;
  const std::int32_t result = LZViewArchive(
      context, archive, [&directory](PZorelLZArchiveHeader loaded, std::int32_t entry) {
        if (entry == kLZReportSummary) directory = *loaded;
        return 0;  // the whole directory is in hand
      });
  if (result == kLZReadDirectoryFailed && location.Spanned()) {
    FailCommand(shown, "the directory goes on in part 2, which only extract and test read");
  }
  if (result < 0) FailCommand(shown, ResultCause(result));
  return directory;
}

std::string EntryPath(const TZorelLZArchiveHeader& directory, std::int32_t k) {
  std::string path;
  if (!LZEntryPath(directory, k, path)) path = directory.Name(k);
  return path;
}

std::string EntryMethod(const TLZFileEntry& entry) {
  return MethodName(entry.Method, entry.IsFolder != 0, entry.Compressed != 0);
}

// ---- Table ----

// "0", "-" and nothing are what the engine records for an entry without a
// version.
bool HasVersion(const TLZFileEntry& entry) {
  const std::string version = entry.FileVersion.Get();
  return !version.empty() && version != "0" && version != "-";
}

void PrintTable(const TZorelLZArchiveHeader& directory) {
  bool versions = false;
  for (const TLZFileEntry& entry : directory.Entries) versions = versions || HasVersion(entry);
  const auto version_column = [versions](const std::string& text) {
    if (!versions) return std::string();
    std::string shown = ArchiveText(text);
    if (shown.size() < 8) shown.resize(8, ' ');
    return shown + "  ";
  };
  std::printf("%5s  %-18s  %10s  %10s  %5s  %-19s  %-4s  %-8s  %s%s\n", "#", "Method", "Packed",
              "Size", "Saved", "Date", "Attr", "CRC", version_column("Version").c_str(), "Path");
  for (std::int32_t k = 1; k <= directory.Count; ++k) {
    const TLZFileEntry& entry = directory.Entry(k);
    const std::string comment = IsCommentEntry(entry) ? "  [comment]" : "";
    std::printf("%5d  %-18s  %10d  %10d  %4d%%  %-19s  %-4s  %-8s  %s%s%s\n", k,
                EntryMethod(entry).c_str(), entry.CompressedSize, entry.UncompressedSize,
                CompressionRatio(entry.CompressedSize, entry.UncompressedSize),
                DosDateText(entry.FileDate).c_str(), AttributeFlags(entry.FileAttr).c_str(),
                CrcText(entry.FileCRC).c_str(), version_column(entry.FileVersion.Get()).c_str(),
                NativeText(Cp1252ToUtf8(EntryPath(directory, k))).c_str(), comment.c_str());
  }
}

std::string WhereFound(const TArchiveLocation& location) {
  std::string where;
  if (location.ThroughTrailer) where += "; appended at offset " + std::to_string(location.Offset);
  if (location.Spanned()) {
    where += "; part 1 of " + std::to_string(location.Header.Trailer.SpanParts) + " parts";
  }
  if (location.Protected()) where += "; protected";
  return where;
}

void PrintSummary(const std::string& archive, const TArchiveLocation& location,
                  const TZorelLZArchiveHeader& directory) {
  std::int64_t folders = 0;
  std::int64_t packed = 0;
  std::int64_t size = 0;
  for (const TLZFileEntry& entry : directory.Entries) {
    folders += entry.IsFolder != 0;
    packed += entry.CompressedSize;
    size += entry.UncompressedSize;
  }
  std::printf("%s: %s, %s, %lld -> %lld bytes (%s)%s\n", archive.c_str(),
              FilesText(directory.Count - folders).c_str(),
              (std::to_string(folders) + (folders == 1 ? " folder" : " folders")).c_str(),
              static_cast<long long>(size), static_cast<long long>(packed),
              SavedText(packed, size).c_str(), WhereFound(location).c_str());
}

// ---- JSON ----

// The bytes of a fixed text of the format, which are not meant to be read.
std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

json RunCommandJson(const TShortField<12>& field) {
  std::string text = field.Get();
  if (text.empty() || static_cast<std::uint8_t>(text[0]) == kNoRunCommand) return nullptr;
  text.resize(std::min(text.size(), text.find('\0')));
  return Cp1252ToUtf8(text);
}

json TrailerJson(const TLZArchiveTrailer& trailer) {
  return {{"span_signature", Hex(trailer.SpanSignature.Get())},
          {"span_parts", trailer.SpanParts},
          {"span_part", trailer.SpanPart},
          {"span_offset", trailer.SpanOffset},
          {"span_data_size", trailer.SpanDataSize},
          {"trailer_signature", Hex(trailer.TrailerSignature.Get())},
          {"trailer_magic", trailer.TrailerMagic},
          {"archive_offset", trailer.ArchiveOffset},
          {"protection", trailer.Protection},
          {"reserved", trailer.Reserved},
          {"reserved2", trailer.Reserved2},
          {"run_command", RunCommandJson(trailer.RunCommand)},
          {"span_name", Cp1252ToUtf8(trailer.SpanName.Get())}};
}

json HeaderJson(const TArchiveLocation& location) {
  const TLZArchiveHeader& header = location.Header;
  return {{"found", location.ThroughTrailer ? "trailer" : "start"},
          {"archive_offset", location.Offset},
          {"spanned", location.Spanned()},
          {"protected", location.Protected()},
          {"signature", Hex(header.Signature.Get())},
          {"part_count", header.PartCount},
          {"file_count", header.FileCount},
          {"total_compressed", header.TotalCompressed},
          {"total_uncompressed", header.TotalUncompressed},
          {"names_size", header.NamesSize},
          {"directory_crc", header.DirectoryCRC},
          {"trailer", TrailerJson(header.Trailer)}};
}

json EntryJson(const TZorelLZArchiveHeader& directory, std::int32_t k) {
  const TLZFileEntry& entry = directory.Entry(k);
  return {{"number", k},
          {"path", NativeText(Cp1252ToUtf8(EntryPath(directory, k)))},
          {"name", Cp1252ToUtf8(directory.Name(k))},
          {"is_folder", entry.IsFolder != 0},
          {"folder_index", entry.FolderIndex},
          {"parent_index", entry.ParentIndex},
          {"file_version", Cp1252ToUtf8(entry.FileVersion.Get())},
          {"compressed", entry.Compressed != 0},
          {"compressed_size", entry.CompressedSize},
          {"uncompressed_size", entry.UncompressedSize},
          {"file_date", entry.FileDate},
          {"date", DosDateText(entry.FileDate)},
          {"file_attr", entry.FileAttr},
          {"attributes", AttributeFlags(entry.FileAttr)},
          {"file_crc", entry.FileCRC},
          {"crc", CrcText(entry.FileCRC)},
          {"name_length", entry.NameLength},
          {"archive_id", entry.ArchiveID},
          {"method", entry.Method},
          {"method_name", EntryMethod(entry)},
          {"saved_percent", CompressionRatio(entry.CompressedSize, entry.UncompressedSize)},
          {"comment", IsCommentEntry(entry)}};
}

void PrintJson(const std::string& archive, const TArchiveLocation& location,
               const TZorelLZArchiveHeader& directory) {
  json entries = json::array();
  for (std::int32_t k = 1; k <= directory.Count; ++k) entries.push_back(EntryJson(directory, k));
  const json listing = {{"format", kJsonFormat},
                        {"archive", archive},
                        {"header", HeaderJson(location)},
                        {"entries", std::move(entries)}};
  // A file name given on the command line need not be UTF-8.
  std::printf("%s\n", listing.dump(2, ' ', false, json::error_handler_t::replace).c_str());
}

void RunList(const TListRequest& request) {
  TWorkFolder work;
  const std::string archive = InputFile(request.Archive, work);
  const TArchiveLocation location = LocateArchiveOrFail(archive, request.Archive);
  const TZorelLZArchiveHeader directory = LoadDirectory(archive, request.Archive, location);
  if (request.Reporting.Quiet) return;
  if (request.Json) {
    PrintJson(request.Archive, location, directory);
  } else {
    PrintTable(directory);
    PrintSummary(request.Archive, location, directory);
  }
  std::fflush(stdout);
}

}  // namespace

void RegisterListCommand(CLI::App& app) {
  auto* command = app.add_subcommand("list", "List the entries of an archive");
  auto request = std::make_shared<TListRequest>();
  command
      ->add_option("ARCHIVE", request->Archive,
                   "Archive, self-extracting file or part 1; - for standard input")
      ->required();
  command->add_flag("--json", request->Json, "One JSON object: the header and every entry");
  AddReportingOptions(*command, request->Reporting,
                      "Print nothing; the status tells whether the directory loads",
                      "The table and the summary (the default)");
  command->callback([request] { RunList(*request); });
}

}  // namespace zorellz::cli
