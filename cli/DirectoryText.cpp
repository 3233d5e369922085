#include "cli/DirectoryText.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string_view>

#include "cli/EntryText.h"
#include "platform/Names.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz::cli {
namespace {

using json = nlohmann::ordered_json;

// The version of the JSON object's layout; it grows when a field changes
// meaning or goes, not when one is added.
constexpr int kJsonFormat = 1;

// A run command whose first character is this byte means "no command".
constexpr std::uint8_t kNoRunCommand = 0xFF;

std::string Formatted(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  std::va_list again;
  va_copy(again, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, arguments);
  va_end(arguments);
  std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, again);
  va_end(again);
  text.pop_back();
  return text;
}

std::string EntryPath(const TZorelLZArchiveHeader& directory, std::int32_t k) {
  std::string path;
  if (!LZEntryPath(directory, k, path)) path = directory.Name(k);
  return path;
}

std::string EntryMethod(const TLZFileEntry& entry) {
  return MethodName(entry.Method, entry.IsFolder != 0, entry.Compressed != 0);
}

// The run command up to its first NUL; nothing when there is none.
std::string RunCommand(const TShortField<12>& field) {
  std::string text = field.Get();
  if (text.empty() || static_cast<std::uint8_t>(text[0]) == kNoRunCommand) return {};
  text.resize(std::min(text.size(), text.find('\0')));
  return text;
}

// ---- Table ----

// "0", "-" and nothing are what the engine records for an entry without a
// version.
bool HasVersion(const TLZFileEntry& entry) {
  const std::string version = entry.FileVersion.Get();
  return !version.empty() && version != "0" && version != "-";
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
  const std::string text = RunCommand(field);
  if (text.empty()) return nullptr;
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

}  // namespace

std::string ListTable(const TZorelLZArchiveHeader& directory) {
  bool versions = false;
  for (const TLZFileEntry& entry : directory.Entries) versions = versions || HasVersion(entry);
  const auto version_column = [versions](const std::string& text) {
    if (!versions) return std::string();
    std::string shown = ArchiveText(text);
    if (shown.size() < 8) shown.resize(8, ' ');
    return shown + "  ";
  };
  std::string table =
      Formatted("%5s  %-18s  %10s  %10s  %5s  %-19s  %-4s  %-8s  %s%s\n", "#", "Method", "Packed",
                "Size", "Saved", "Date", "Attr", "CRC", version_column("Version").c_str(), "Path");
  for (std::int32_t k = 1; k <= directory.Count; ++k) {
    const TLZFileEntry& entry = directory.Entry(k);
    const std::string comment = IsCommentEntry(entry) ? "  [comment]" : "";
    table +=
        Formatted("%5d  %-18s  %10d  %10d  %4d%%  %-19s  %-4s  %-8s  %s%s%s\n", k,
                  EntryMethod(entry).c_str(), entry.CompressedSize, entry.UncompressedSize,
                  CompressionRatio(entry.CompressedSize, entry.UncompressedSize),
                  DosDateText(entry.FileDate).c_str(), AttributeFlags(entry.FileAttr).c_str(),
                  CrcText(entry.FileCRC).c_str(), version_column(entry.FileVersion.Get()).c_str(),
                  NativeText(Cp1252ToUtf8(EntryPath(directory, k))).c_str(), comment.c_str());
  }
  return table;
}

std::string ListSummary(const std::string& archive, const TArchiveLocation& location,
                        const TZorelLZArchiveHeader& directory) {
  std::int64_t folders = 0;
  std::int64_t packed = 0;
  std::int64_t size = 0;
  for (const TLZFileEntry& entry : directory.Entries) {
    folders += entry.IsFolder != 0;
    packed += entry.CompressedSize;
    size += entry.UncompressedSize;
  }
  return Formatted("%s: %s, %s, %lld -> %lld bytes (%s)%s\n", archive.c_str(),
                   FilesText(directory.Count - folders).c_str(),
                   (std::to_string(folders) + (folders == 1 ? " folder" : " folders")).c_str(),
                   static_cast<long long>(size), static_cast<long long>(packed),
                   SavedText(packed, size).c_str(), WhereFound(location).c_str());
}

std::string ListJson(const std::string& archive, const TArchiveLocation& location,
                     const TZorelLZArchiveHeader& directory) {
  json entries = json::array();
  for (std::int32_t k = 1; k <= directory.Count; ++k) entries.push_back(EntryJson(directory, k));
  const json listing = {{"format", kJsonFormat},
                        {"archive", archive},
                        {"header", HeaderJson(location)},
                        {"entries", std::move(entries)}};
  // A file name given on the command line need not be UTF-8.
  return listing.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string InfoHeaderText(const TLZArchiveHeader& header) {
  const TLZArchiveTrailer& t = header.Trailer;
  const std::string run_command = RunCommand(t.RunCommand);
  std::string text = Formatted(
      "  part count          %d\n"
      "  file count          %d\n"
      "  total compressed    %d\n"
      "  total uncompressed  %d\n"
      "  names size          %d\n"
      "  directory CRC       %08x\n"
      "  archive offset      %d\n"
      "  protection          %d\n",
      header.PartCount, header.FileCount, header.TotalCompressed, header.TotalUncompressed,
      header.NamesSize, header.DirectoryCRC, t.ArchiveOffset, t.Protection);
  text += "  run command         " +
          (run_command.empty() ? "(none)" : "\"" + ArchiveText(run_command) + "\"") + "\n";
  if (LZIsSpannedHeader(header)) {
    text += Formatted("  spanned             %u parts, made from \"%s\"\n", t.SpanParts,
                      ArchiveText(t.SpanName.Get()).c_str());
  }
  return text;
}

std::string DirectoryVerdict(std::int32_t result, const TZorelLZArchiveHeader& directory) {
  if (result == 0) {
    int folders = 0;
    for (const auto& entry : directory.Entries) folders += entry.IsFolder != 0;
    return "ok, " + std::to_string(directory.Count) + " entries (" + std::to_string(folders) +
           " folders, " + std::to_string(directory.Count - folders) + " files)";
  }
  if (result == kLZReadDirectoryFailed) return "unreadable: the file ends inside the directory";
  if (result == kLZDamagedDirectory) return "damaged: directory check failed";
  return "cannot be read (code " + std::to_string(result) + ")";
}

}  // namespace zorellz::cli
