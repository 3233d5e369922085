// Headers, trailers and single-file headers: finding and checking them.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "archive/engine/EngineState.h"
#include "zorellz/platform/File.h"

namespace zorellz {
namespace {

constexpr std::array<std::int32_t, 5> kDefaultReserved = {-100, -400, -500, -800, -900};
// A run command whose first character is 0xFF means "no command"; the filler
// after it is never read.
constexpr std::uint8_t kNoRunCommand = 0xFF;
constexpr std::uint8_t kRunCommandFiller = ' ';

// Only the length byte and the text are compared; the filler after them is
// not part of the signature.
bool HasArchiveSignature(const TLZArchiveHeader& header) {
  const TShortField<18> expected = LZArchiveSignature();
  return std::equal(expected.Bytes.begin(), expected.Bytes.begin() + expected.Length() + 1,
                    header.Signature.Bytes.begin());
}

bool IsValidHeader(const TLZArchiveHeader& header) {
  return HasArchiveSignature(header) && header.FileCount > 0;
}

bool HasTrailerMarks(const TLZArchiveTrailer& trailer) {
  return trailer.TrailerSignature == LZTrailerSignature() &&
         trailer.TrailerMagic == kLZTrailerMagic;
}

// The header at `offset` (or at 0 when it is 0), unchecked for protection.
std::int32_t ReadHeaderIn(TFile& file, std::int32_t offset, TLZArchiveHeader& header) {
  if (!file.Seek(offset)) return kLZNotAnArchive;
  TLZArchiveHeader read;
  if (!LZReadRecord(file, read) || !IsValidHeader(read)) return kLZNotAnArchive;
  header = read;
  return header.FileCount;
}

std::int32_t ReadHeaderAt(const std::string& file_name, std::int32_t offset,
                          TLZArchiveHeader& header) {
  TFile file;
  if (!file.Open(file_name, TFile::TMode::kReadDenyWrite)) return kLZCannotOpenArchive;
  return ReadHeaderIn(file, offset, header);
}

// The check-password hook is asked once per operation; its answer stands
// until LZResetProtection.
std::int32_t CheckProtection(TLZContext& engine, const TLZArchiveHeader& header) {
  if (header.Trailer.Protection == 0 || engine.ProtectionAnswer != -1) return 0;
  if (!engine.CheckPassWord) return kLZProtected;
  std::int32_t answer = engine.CheckPassWord(header, 0);
  if (answer != kLZPasswordAccepted && answer != kLZPasswordAcceptedToo) return kLZProtected;
  engine.ProtectionAnswer = answer;
  return 0;
}

// The file count of a valid header, or kLZProtected.
std::int32_t CountUnlessProtected(TLZContext& context, const TLZArchiveHeader& header) {
  const std::int32_t protection = CheckProtection(context, header);
  return protection != 0 ? protection : header.FileCount;
}

bool TrailerPointsIntoFile(const TLZArchiveTrailer& trailer, std::int64_t file_size) {
  return HasTrailerMarks(trailer) && trailer.ArchiveOffset > 0 && trailer.ArchiveOffset < file_size;
}

// The header found through a trailer must say the same about where it is.
bool HeaderRepeatsTrailer(const TLZArchiveHeader& header, const TLZArchiveTrailer& trailer) {
  return IsValidHeader(header) && HasTrailerMarks(header.Trailer) &&
         header.Trailer.ArchiveOffset == trailer.ArchiveOffset;
}

// An archive appended to another file, found through the last 83 bytes.
std::int32_t LocateThroughTrailer(const std::string& file_name, TLZArchiveHeader& header) {
  TFile file;
  if (!file.Open(file_name, TFile::TMode::kReadDenyWrite)) return kLZNotAnArchive;
  const std::int64_t size = file.Size();
  const auto trailer_size = static_cast<std::int64_t>(TLZArchiveTrailer::kSize);
  if (size < trailer_size || !file.Seek(size - trailer_size)) return kLZNotAnArchive;
  TLZArchiveTrailer trailer;
  if (!LZReadRecord(file, trailer) || !TrailerPointsIntoFile(trailer, size)) {
    return kLZNotAnArchive;
  }
  TLZArchiveHeader found;
  if (!file.Seek(trailer.ArchiveOffset) || !LZReadRecord(file, found) ||
      !HeaderRepeatsTrailer(found, trailer)) {
    return kLZNotAnArchive;
  }
  header = found;
  return header.FileCount;
}

// Character k of a name (k from 1) is stored k + 3 higher, modulo 256.
std::uint8_t ScrambleAmount(std::size_t index) {
  return static_cast<std::uint8_t>(index + 4);
}

}  // namespace

std::int32_t LZReadArchiveHeader(TLZContext& context, const std::string& file_name,
                                 TLZArchiveHeader& header) {
  header = TLZArchiveHeader{};
  if (file_name.empty() || !FileExists(file_name)) return kLZNoFile;
  std::int32_t count = ReadHeaderAt(file_name, context.HeaderOffset, header);
  return count <= 0 ? count : CountUnlessProtected(context, header);
}

std::int32_t LZArchiveCount(TLZContext& context, const std::string& file_name) {
  TLZArchiveHeader header;
  return LZReadArchiveHeader(context, file_name, header);
}

std::int32_t LZArchiveCount(TLZContext& context, TFile& file) {
  const std::int64_t position = file.Position();
  TLZArchiveHeader header;
  const std::int32_t count = ReadHeaderIn(file, context.HeaderOffset, header);
  file.Seek(position);
  return count <= 0 ? count : CountUnlessProtected(context, header);
}

std::int32_t LZArchiveCount(TLZContext& context, const std::uint8_t* data, std::size_t size) {
  const std::int64_t offset = context.HeaderOffset;
  constexpr auto kSize = static_cast<std::int64_t>(TLZArchiveHeader::kSize);
  if (offset < 0 || static_cast<std::int64_t>(size) - kSize < offset) return kLZNotAnArchive;
  TLZArchiveHeader header;
  header.Read(data + offset);
  return IsValidHeader(header) ? CountUnlessProtected(context, header) : kLZNotAnArchive;
}

std::int32_t LZGetArchiveSize(TLZContext& context, const std::string& file_name) {
  TLZArchiveHeader header;
  if (LZReadArchiveHeader(context, file_name, header) <= 0) return 0;
  return header.TotalUncompressed;
}

std::int32_t LZLocateArchive(TLZContext& context, const std::string& file_name,
                             TLZArchiveHeader& header) {
  header = TLZArchiveHeader{};
  if (file_name.empty() || !FileExists(file_name)) return kLZNoFile;
  if (LZReadArchiveHeader(context, file_name, header) > 0) return 0;
  header = TLZArchiveHeader{};
  return LocateThroughTrailer(file_name, header);
}

std::int32_t LZReadArchiveHeader(const std::string& file_name, TLZArchiveHeader& header) {
  return LZReadArchiveHeader(LZDefaultContext(), file_name, header);
}
std::int32_t LZArchiveCount(const std::string& file_name) {
  return LZArchiveCount(LZDefaultContext(), file_name);
}
std::int32_t LZGetArchiveSize(const std::string& file_name) {
  return LZGetArchiveSize(LZDefaultContext(), file_name);
}
std::int32_t LZLocateArchive(const std::string& file_name, TLZArchiveHeader& header) {
  return LZLocateArchive(LZDefaultContext(), file_name, header);
}

bool LZIsSpannedHeader(const TLZArchiveHeader& header) {
  const TLZArchiveTrailer& trailer = header.Trailer;
  return header.PartCount > 0 && trailer.SpanName.Length() > 0 &&
         trailer.SpanSignature == LZSpanSignature() && trailer.SpanParts > 0;
}

void LZInitTrailer(TLZArchiveTrailer& trailer) {
  trailer = TLZArchiveTrailer{};
  trailer.Reserved = kDefaultReserved;
  trailer.Reserved2 = 0;
  auto& command = trailer.RunCommand.Bytes;
  command.fill(kRunCommandFiller);
  command[0] = static_cast<std::uint8_t>(command.size() - 1);
  command[1] = kNoRunCommand;
}

bool LZReadFileHeader(TFile& file, TLZFileHeader& header) {
  const std::int64_t position = file.Position();
  std::array<std::uint8_t, TLZFileHeader::kSize> bytes{};
  const bool complete = file.Seek(0) && file.Read(bytes.data(), bytes.size()) == bytes.size();
  file.Seek(position);
  return LZParseFileHeader(bytes.data(), complete ? bytes.size() : 0, header);
}

bool LZParseFileHeader(const std::uint8_t* data, std::size_t size, TLZFileHeader& header) {
  header = TLZFileHeader{};
  if (size < TLZFileHeader::kSize) return false;
  TLZFileHeader read;
  read.Read(data);
  if (read.SourceName.Length() == 0 || read.Signature != LZFileHeaderSignature()) return false;
  header = read;
  return true;
}

bool LZGetFileHeader(const std::string& file_name, TLZFileHeader& header) {
  header = TLZFileHeader{};
  if (file_name.empty() || !FileExists(file_name)) return false;
  TFile file;
  if (!file.Open(file_name, TFile::TMode::kReadDenyWrite)) return false;
  return LZReadFileHeader(file, header);
}

bool LZGetSourceName(const std::string& file_name, std::string& name) {
  TLZFileHeader header;
  if (!LZGetFileHeader(file_name, header)) {
    name = file_name;
    return false;
  }
  name = header.SourceName.Get();
  return true;
}

std::string LZScrambleName(std::string_view name) {
  std::string scrambled(name);
  for (std::size_t i = 0; i < scrambled.size(); ++i) {
    scrambled[i] = static_cast<char>(static_cast<std::uint8_t>(scrambled[i]) + ScrambleAmount(i));
  }
  return scrambled;
}

std::string LZUnscrambleName(std::string_view name) {
  std::string plain(name);
  for (std::size_t i = 0; i < plain.size(); ++i) {
    plain[i] = static_cast<char>(static_cast<std::uint8_t>(plain[i]) - ScrambleAmount(i));
  }
  return plain;
}

}  // namespace zorellz
