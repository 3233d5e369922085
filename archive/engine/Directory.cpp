// The archive directory: entries, unscrambled names and the checks that keep
// a damaged or hostile directory away from the code that extracts it.
#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "archive/engine/EngineState.h"
#include "archive/engine/NameRule.h"
#include "zorellz/codec/ZrlCRC.h"
#include "zorellz/platform/File.h"

namespace zorellz {
namespace {

// Entries the walks may look at, whatever Count claims.
std::int32_t UsableCount(const TZorelLZArchiveHeader& directory) {
  auto held = static_cast<std::int64_t>(std::min(directory.Entries.size(), directory.Names.size()));
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(directory.Count, 0, held));
}

bool IsFolderEntry(const TZorelLZArchiveHeader& directory, std::int32_t k) {
  return k >= 1 && k <= UsableCount(directory) && directory.Entry(k).IsFolder != 0;
}

// The entry that contains entry k; 0 is the root.
std::int32_t ContainerOf(const TLZFileEntry& entry) {
  return entry.IsFolder != 0 ? entry.ParentIndex : entry.FolderIndex;
}

// Records are read many at a time: a directory may hold thousands.
std::int32_t ReadEntries(TFile& file, TZorelLZArchiveHeader& directory) {
  constexpr std::size_t kRecord = TLZFileEntry::kSize;
  constexpr std::size_t kRecordsPerRead = 512;
  std::vector<std::uint8_t> block(kRecordsPerRead * kRecord);
  std::vector<TLZFileEntry>& entries = directory.Entries;
  for (std::size_t first = 0; first < entries.size(); first += kRecordsPerRead) {
    const std::size_t count = std::min(kRecordsPerRead, entries.size() - first);
    if (file.Read(block.data(), count * kRecord) != count * kRecord) {
      return kLZReadDirectoryFailed;
    }
    for (std::size_t i = 0; i < count; ++i) entries[first + i].Read(block.data() + i * kRecord);
  }
  return 0;
}

// ---- Structural checks, before any name is read ----

bool CountsAreSane(const TZorelLZArchiveHeader& directory) {
  const std::int32_t file_count = directory.Header.FileCount;
  if (file_count < 1 || file_count > kLZMaxEntries) return false;
  std::int32_t folders = 0;
  bool seen_file = false;
  for (const TLZFileEntry& entry : directory.Entries) {
    if (entry.IsFolder == 0) {
      seen_file = true;
    } else if (seen_file || ++folders > kLZMaxFolders) {
      return false;  // extraction creates all folders before the first file
    }
  }
  return true;
}

bool SizesAreSane(const TZorelLZArchiveHeader& directory) {
  if (directory.Header.NamesSize < 0) return false;
  std::int64_t names_size = 0;
  for (const TLZFileEntry& entry : directory.Entries) {
    if (entry.NameLength == 0 || entry.CompressedSize < 0 || entry.UncompressedSize < 0) {
      return false;
    }
    names_size += entry.NameLength;
  }
  return names_size == directory.Header.NamesSize;
}

// The data of every file must lie inside the file.  A file that already ends
// inside the names area is left to the name reading, which reports the short
// read; a spanned header is the exception, its data continue on other parts.
bool DataFitsInFile(const TZorelLZArchiveHeader& directory, std::int64_t data_start,
                    std::int64_t file_size) {
  if (data_start > file_size || LZIsSpannedHeader(directory.Header)) return true;
  std::int64_t data_end = data_start;
  for (const TLZFileEntry& entry : directory.Entries) {
    if (entry.IsFolder == 0) data_end += entry.CompressedSize;
  }
  return data_end <= file_size;
}

bool LinksNameFolders(const TZorelLZArchiveHeader& directory) {
  return std::all_of(directory.Entries.begin(), directory.Entries.end(),
                     [&directory](const TLZFileEntry& entry) {
                       std::int32_t container = ContainerOf(entry);
                       return container == 0 || IsFolderEntry(directory, container);
                     });
}

// Every folder must lead to the root.  Each folder is walked once: a walk
// that meets itself again has found a cycle.
bool FoldersReachRoot(const TZorelLZArchiveHeader& directory) {
  enum : std::uint8_t { kUnknown, kOnWalk, kReachesRoot };
  std::vector<std::uint8_t> state(directory.Entries.size() + 1, kUnknown);
  std::vector<std::int32_t> walk;
  for (std::int32_t k = 1; k <= UsableCount(directory); ++k) {
    walk.clear();
    std::int32_t folder = directory.Entry(k).IsFolder != 0 ? k : 0;
    while (folder != 0 && state[folder] == kUnknown) {
      state[folder] = kOnWalk;
      walk.push_back(folder);
      folder = directory.Entry(folder).ParentIndex;
      if (folder != 0 && !IsFolderEntry(directory, folder)) return false;
    }
    if (folder != 0 && state[folder] == kOnWalk) return false;
    for (std::int32_t visited : walk) state[visited] = kReachesRoot;
  }
  return true;
}

bool StructureIsSane(const TZorelLZArchiveHeader& directory, std::int64_t data_start,
                     std::int64_t file_size) {
  return CountsAreSane(directory) && SizesAreSane(directory) &&
         DataFitsInFile(directory, data_start, file_size) && LinksNameFolders(directory) &&
         FoldersReachRoot(directory);
}

// ---- Names ----

std::int32_t ReadNamesInOneBlock(TFile& file, TZorelLZArchiveHeader& directory) {
  std::string block(static_cast<std::size_t>(directory.Header.NamesSize), '\0');
  if (file.Read(block.data(), block.size()) != block.size()) return kLZReadDirectoryFailed;
  std::size_t offset = 0;  // the lengths add up to the block's size
  for (std::size_t i = 0; i < directory.Entries.size(); ++i) {
    const std::size_t length = directory.Entries[i].NameLength;
    directory.Names[i] = LZUnscrambleName(std::string_view(block).substr(offset, length));
    offset += length;
  }
  return 0;
}

std::int32_t ReadNamesOneByOne(TFile& file, TZorelLZArchiveHeader& directory) {
  std::string scrambled;
  for (std::size_t i = 0; i < directory.Entries.size(); ++i) {
    scrambled.assign(directory.Entries[i].NameLength, '\0');
    if (file.Read(scrambled.data(), scrambled.size()) != scrambled.size()) {
      return kLZReadDirectoryFailed;
    }
    directory.Names[i] = LZUnscrambleName(scrambled);
  }
  return 0;
}

// Large name areas are read name by name, so that no single allocation
// exceeds the block limit.
std::int32_t ReadNames(TFile& file, TZorelLZArchiveHeader& directory) {
  return directory.Header.NamesSize < kLZNamesBlockLimit ? ReadNamesInOneBlock(file, directory)
                                                         : ReadNamesOneByOne(file, directory);
}

// The name as a String[255] (length byte, text, zero filler): the directory
// CRC covers its first NameLength bytes, so the last character is left out.
void AddNameToCRC(std::uint32_t& crc, const std::string& name, std::uint8_t name_length) {
  std::array<std::uint8_t, 256> short_string{};
  const std::size_t length = std::min<std::size_t>(name.size(), short_string.size() - 1);
  short_string[0] = static_cast<std::uint8_t>(length);
  std::copy_n(name.begin(), length, short_string.begin() + 1);
  UpdateCRC32(crc, short_string.data(), std::size_t{name_length});
}

// "Help\Data\b.htm" from the chain b.htm, Data, Help.
std::string JoinFromRoot(const TZorelLZArchiveHeader& directory,
                         const std::vector<std::int32_t>& chain) {
  std::string path;
  for (auto link = chain.rbegin(); link != chain.rend(); ++link) {
    if (link != chain.rbegin()) path += '\\';
    path += directory.Name(*link);
  }
  return path;
}

}  // namespace

void LZAllocDirectory(std::unique_ptr<TZorelLZArchiveHeader>& directory, std::int32_t count) {
  count = std::clamp(count, 0, kLZMaxEntries);
  directory = std::make_unique<TZorelLZArchiveHeader>();
  directory->Entries.resize(static_cast<std::size_t>(count));
  directory->Names.resize(static_cast<std::size_t>(count));
  directory->Count = count;
  directory->Header.PartCount = 1;
  directory->Header.FileCount = count;
}

void LZFreeDirectory(std::unique_ptr<TZorelLZArchiveHeader>& directory, std::int32_t) {
  directory.reset();
}

std::int32_t LZLoadDirectory(const std::string& file_name, TZorelLZArchiveHeader& directory) {
  return LZLoadDirectory(LZDefaultContext(), file_name, directory);
}

std::int32_t LZLoadDirectory(TLZContext& context, const std::string& file_name,
                             TZorelLZArchiveHeader& directory) {
  TLZArchiveHeader header;
  if (LZReadArchiveHeader(context, file_name, header) <= 0) return kLZNoFile;
  // The stored offset, not the current header offset, says where it starts.
  const std::int64_t entries_start =
      std::int64_t{header.Trailer.ArchiveOffset} + std::int64_t{TLZArchiveHeader::kSize};
  TFile file;
  if (!file.Open(file_name, TFile::TMode::kReadDenyWrite) || entries_start < 0 ||
      !file.Seek(entries_start)) {
    return kLZNoFile;
  }
  return LZReadDirectory(file, directory, header);
}

std::int32_t LZReadDirectory(TFile& file, TZorelLZArchiveHeader& directory,
                             const TLZArchiveHeader& header) {
  // More entries than the directory has slots: damaged, whatever follows.
  if (header.FileCount > kLZMaxEntries) return kLZDamagedDirectory;
  const std::int32_t count = std::max(header.FileCount, 0);
  directory.Header = header;
  directory.Count = count;
  directory.Entries.assign(static_cast<std::size_t>(count), TLZFileEntry{});
  directory.Names.assign(static_cast<std::size_t>(count), std::string());

  if (std::int32_t result = ReadEntries(file, directory); result != 0) return result;
  const std::int64_t data_start = file.Position() + header.NamesSize;
  if (!StructureIsSane(directory, data_start, file.Size())) return kLZDamagedDirectory;
  if (std::int32_t result = ReadNames(file, directory); result != 0) return result;
  if (!std::all_of(directory.Names.begin(), directory.Names.end(),
                   [](const std::string& name) { return LZIsReadableEntryName(name); })) {
    return kLZDamagedDirectory;
  }
  return LZDirectoryCRC(directory) == header.DirectoryCRC ? 0 : kLZDamagedDirectory;
}

std::uint32_t LZDirectoryCRC(const TZorelLZArchiveHeader& directory) {
  std::uint32_t crc;
  InitCRC32(crc);
  std::array<std::uint8_t, TLZFileEntry::kSize> entry_bytes{};
  for (std::int32_t k = 1; k <= UsableCount(directory); ++k) {
    const TLZFileEntry& entry = directory.Entry(k);
    entry.Write(entry_bytes.data());
    UpdateCRC32(crc, entry_bytes.data(), entry_bytes.size());
    AddNameToCRC(crc, directory.Name(k), entry.NameLength);
  }
  return FinalCRC32(crc);
}

bool LZEntryPath(const TZorelLZArchiveHeader& directory, std::int32_t k, std::string& path) {
  path.clear();
  const std::int32_t count = UsableCount(directory);
  if (k < 1 || k > count) return false;
  std::vector<std::int32_t> chain;  // k, its folder, that folder's parent, ...
  // A chain of distinct entries is never longer than Count; a longer one is a cycle.
  for (std::int32_t step = 0; step < count; ++step) {
    chain.push_back(k);
    k = ContainerOf(directory.Entry(k));
    if (k == 0) {
      path = JoinFromRoot(directory, chain);
      return true;
    }
    if (!IsFolderEntry(directory, k)) return false;
  }
  return false;
}

}  // namespace zorellz
