#include "tests/ArchiveBuilder.h"

#include <initializer_list>

#include "zorellz/codec/ZrlCRC.h"

namespace zorellz::test {
namespace {

constexpr std::int32_t kSampleFileDate = 0x5A2B6C00;
constexpr std::int32_t kFileAttrArchive = 0x20;
constexpr std::int32_t kFileAttrFolder = 0x10;

template <std::size_t N>
TShortField<N> RawText(std::initializer_list<std::uint8_t> bytes) {
  TShortField<N> field;
  std::size_t i = 0;
  for (std::uint8_t b : bytes) field.Bytes[i++] = b;
  return field;
}

template <std::size_t N>
TShortField<N> Text(const std::string& text) {
  TShortField<N> field;
  field.Bytes[0] = static_cast<std::uint8_t>(text.size());
  for (std::size_t i = 0; i < text.size(); ++i)
    field.Bytes[i + 1] = static_cast<std::uint8_t>(text[i]);
  return field;
}

template <std::size_t N>
void PutShort(TBytes& out, const TShortField<N>& field) {
  out.insert(out.end(), field.Bytes.begin(), field.Bytes.end());
}

void PutI32(TBytes& out, std::int32_t v) {
  PutU32(out, static_cast<std::uint32_t>(v));
}

}  // namespace

// ---- Records ---------------------------------------------------------------

void PutArchiveTrailer(TBytes& out, const TLZArchiveTrailer& t) {
  PutShort(out, t.SpanSignature);                    // 0
  PutU16(out, t.SpanParts);                          // 4
  PutU16(out, t.SpanPart);                           // 6
  PutI32(out, t.SpanOffset);                         // 8
  PutI32(out, t.SpanDataSize);                       // 12
  PutShort(out, t.TrailerSignature);                 // 16
  PutI32(out, t.TrailerMagic);                       // 21
  PutI32(out, t.ArchiveOffset);                      // 25
  PutI32(out, t.Protection);                         // 29
  for (std::int32_t r : t.Reserved) PutI32(out, r);  // 33
  PutI32(out, t.Reserved2);                          // 53
  PutShort(out, t.RunCommand);                       // 57
  PutShort(out, t.SpanName);                         // 70
}

void PutArchiveHeader(TBytes& out, const TLZArchiveHeader& h) {
  PutShort(out, h.Signature);         // 0
  PutI32(out, h.PartCount);           // 19
  PutI32(out, h.FileCount);           // 23
  PutI32(out, h.TotalCompressed);     // 27
  PutI32(out, h.TotalUncompressed);   // 31
  PutI32(out, h.NamesSize);           // 35
  PutU32(out, h.DirectoryCRC);        // 39
  PutArchiveTrailer(out, h.Trailer);  // 43
}

void PutFileEntry(TBytes& out, const TLZFileEntry& e) {
  PutU8(out, e.IsFolder);           // 0
  PutU16(out, e.FolderIndex);       // 1
  PutU16(out, e.ParentIndex);       // 3
  PutShort(out, e.FileVersion);     // 5
  PutU8(out, e.Compressed);         // 14
  PutI32(out, e.CompressedSize);    // 15
  PutI32(out, e.UncompressedSize);  // 19
  PutI32(out, e.FileDate);          // 23
  PutI32(out, e.FileAttr);          // 27
  PutU32(out, e.FileCRC);           // 31
  PutU8(out, e.NameLength);         // 35
  PutI32(out, e.ArchiveID);         // 36
  PutU8(out, e.Method);             // 40
}

void PutFileHeader(TBytes& out, const TLZFileHeader& h) {
  PutShort(out, h.Signature);                                 // 0
  out.insert(out.end(), h.Unused1.begin(), h.Unused1.end());  // 9
  PutI32(out, h.UncompressedSize);                            // 11
  PutI32(out, h.CompressedSize);                              // 15
  PutI32(out, h.FileDate);                                    // 19
  PutI32(out, h.FileAttr);                                    // 23
  PutU32(out, h.FileCRC);                                     // 27
  PutShort(out, h.FileVersion);                               // 31
  PutShort(out, h.SourceName);                                // 40
  PutI32(out, h.ArchiveID);                                   // 169
  PutU8(out, h.Method);                                       // 173
  out.insert(out.end(), h.Unused2.begin(), h.Unused2.end());  // 174
}

// ---- Fixed values ----------------------------------------------------------

TShortField<18> ExpectedArchiveSignature() {
  return RawText<18>({12, 0x04, 0x0D, 'Z', 'r', 'l', 'L', 'Z', '_', '2', 0x05, 0x06, 0x04});
}

TShortField<4> ExpectedTrailerSignature() {
  return RawText<4>({4, 0x04, 0x05, 0x01, 0x02});
}

TLZArchiveTrailer DefaultTrailer(std::int32_t archive_offset) {
  TLZArchiveTrailer trailer;
  trailer.TrailerSignature = ExpectedTrailerSignature();
  trailer.TrailerMagic = -20751;
  trailer.ArchiveOffset = archive_offset;
  trailer.Reserved = {-100, -400, -500, -800, -900};
  trailer.RunCommand =
      RawText<12>({12, 0xFF, ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '});
  return trailer;
}

std::uint32_t ExpectedDirectoryCRC(const std::vector<TLZFileEntry>& entries,
                                   const std::vector<std::string>& names) {
  TBytes covered;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    PutFileEntry(covered, entries[i]);
    const std::size_t length = entries[i].NameLength;
    if (length == 0) continue;
    PutU8(covered, static_cast<std::uint8_t>(length));
    PutText(covered, names[i].substr(0, length - 1));
  }
  return CRC32Of(covered.data(), covered.size());
}

std::string ScrambledName(const std::string& name) {
  std::string out = name;
  for (std::size_t k = 1; k <= out.size(); ++k) {
    out[k - 1] = static_cast<char>(
        (static_cast<unsigned>(static_cast<std::uint8_t>(out[k - 1])) + k + 3) % 256);
  }
  return out;
}

TLZFileHeader DefaultFileHeader(const std::string& source_name) {
  TLZFileHeader header;
  header.Signature = Text<8>("aZorelM#");
  header.UncompressedSize = 1000;
  header.CompressedSize = 400;
  header.FileDate = kSampleFileDate;
  header.FileAttr = kFileAttrArchive;
  header.FileCRC = 0x12345678;
  header.FileVersion = Text<8>("0");
  header.SourceName = Text<128>(source_name);
  header.Method = 4;
  return header;
}

TBytes SingleFileBytes(const TLZFileHeader& header, const TBytes& stream) {
  TBytes out;
  PutFileHeader(out, header);
  out.insert(out.end(), stream.begin(), stream.end());
  return out;
}

// ---- Archives --------------------------------------------------------------

void TArchiveImage::SealDirectoryCRC() {
  Header.DirectoryCRC = ExpectedDirectoryCRC(Entries, Names);
}

std::size_t TArchiveImage::EntriesOffset() const {
  return Stub.size() + TLZArchiveHeader::kSize;
}

std::size_t TArchiveImage::NamesOffset() const {
  return EntriesOffset() + Entries.size() * TLZFileEntry::kSize;
}

std::size_t TArchiveImage::DataOffset() const {
  std::size_t offset = NamesOffset();
  for (const std::string& name : Names) offset += name.size();
  return offset;
}

TBytes TArchiveImage::Bytes() const {
  TBytes out = Stub;
  PutArchiveHeader(out, Header);
  for (const TLZFileEntry& entry : Entries) PutFileEntry(out, entry);
  for (const std::string& name : Names) PutText(out, ScrambledName(name));
  for (const TBytes& data : Data) out.insert(out.end(), data.begin(), data.end());
  if (HasTrailer) PutArchiveTrailer(out, Trailer);
  return out;
}

int TArchiveBuilder::AddFolder(const std::string& name, int parent) {
  TLZFileEntry entry;
  entry.IsFolder = 1;
  entry.FolderIndex = static_cast<std::uint16_t>(entries_.size() + 1);
  entry.ParentIndex = static_cast<std::uint16_t>(parent);
  entry.FileVersion = Text<8>("-");
  entry.FileDate = 0x00210000;
  entry.FileAttr = kFileAttrFolder;
  entry.NameLength = static_cast<std::uint8_t>(name.size());
  entry.ArchiveID = static_cast<std::int32_t>(entries_.size() + 1);
  entry.Method = 1;
  entries_.push_back(entry);
  names_.push_back(name);
  data_.emplace_back();
  return static_cast<int>(entries_.size());
}

int TArchiveBuilder::AddFile(const std::string& name, const TBytes& data, int folder) {
  TLZFileEntry entry;
  entry.FolderIndex = static_cast<std::uint16_t>(folder);
  entry.FileVersion = Text<8>("0");
  entry.CompressedSize = static_cast<std::int32_t>(data.size());
  entry.UncompressedSize = static_cast<std::int32_t>(data.size());
  entry.FileDate = kSampleFileDate;
  entry.FileAttr = kFileAttrArchive;
  entry.FileCRC = CRC32Of(data.data(), data.size());
  entry.NameLength = static_cast<std::uint8_t>(name.size());
  entry.ArchiveID = static_cast<std::int32_t>(entries_.size() + 1);
  entry.Method = 2;  // stored
  entries_.push_back(entry);
  names_.push_back(name);
  data_.push_back(data);
  return static_cast<int>(entries_.size());
}

TArchiveBuilder& TArchiveBuilder::Stub(std::size_t size) {
  stub_size_ = size;
  return *this;
}

TArchiveBuilder& TArchiveBuilder::Protect() {
  protected_ = true;
  return *this;
}

TArchiveImage TArchiveBuilder::Image() const {
  TArchiveImage image;
  image.Stub.assign(stub_size_, 'S');
  image.Entries = entries_;
  image.Names = names_;
  image.Data = data_;

  TLZArchiveHeader& header = image.Header;
  header.Signature = ExpectedArchiveSignature();
  header.FileCount = static_cast<std::int32_t>(entries_.size());
  for (const TLZFileEntry& entry : entries_) {
    header.TotalCompressed += entry.CompressedSize;
    header.TotalUncompressed += entry.UncompressedSize;
    header.NamesSize += entry.NameLength;
  }
  header.Trailer = DefaultTrailer(static_cast<std::int32_t>(stub_size_));
  if (protected_) header.Trailer.Protection = -2000;
  image.Trailer = header.Trailer;
  image.SealDirectoryCRC();
  return image;
}

}  // namespace zorellz::test
