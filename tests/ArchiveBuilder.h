// Assembles archives and single compressed file headers byte by byte, as the
// format describes them and without the engine's own record code, so that the
// engine is tested against the layout rather than against itself.
//
// TArchiveBuilder makes a consistent archive; its Image() holds every part
// as plain values that TArchiveImage::Bytes() writes verbatim.  A test
// damages an archive by changing any value of the image before Bytes().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "zorellz/engine/ZrlTypes.h"

namespace zorellz::test {

struct TArchiveImage {
  TBytes Stub;  // the program in front of an appended archive
  TLZArchiveHeader Header;
  std::vector<TLZFileEntry> Entries;
  std::vector<std::string> Names;  // unscrambled; each written scrambled, whole
  std::vector<TBytes> Data;        // per entry, in entry order
  bool HasTrailer = true;
  TLZArchiveTrailer Trailer;  // the last 83 bytes of the file

  // Recomputes the header's DirectoryCRC from the entries and names as they
  // are now (after a deliberate change that should pass the CRC check).
  void SealDirectoryCRC();
  // File offsets of the parts, for tests that patch raw bytes.
  std::size_t EntriesOffset() const;
  std::size_t NamesOffset() const;
  std::size_t DataOffset() const;

  TBytes Bytes() const;
};

class TArchiveBuilder {
 public:
  // Each returns the new entry's number.  Entries keep the order in which
  // they are added, so folders must be added before files.
  int AddFolder(const std::string& name, int parent = 0);
  int AddFile(const std::string& name, const TBytes& data = {}, int folder = 0);

  // Puts `size` bytes of stand-in program before the archive.
  TArchiveBuilder& Stub(std::size_t size);
  // Marks the archive protected, as the creation side does.
  TArchiveBuilder& Protect();

  TArchiveImage Image() const;
  TBytes Bytes() const { return Image().Bytes(); }

 private:
  std::vector<TLZFileEntry> entries_;
  std::vector<std::string> names_;
  std::vector<TBytes> data_;
  std::size_t stub_size_ = 0;
  bool protected_ = false;
};

// The format's fixed texts, spelled out byte by byte.
TShortField<18> ExpectedArchiveSignature();
TShortField<4> ExpectedTrailerSignature();
// A trailer as the creation side writes it for an archive at `archive_offset`.
TLZArchiveTrailer DefaultTrailer(std::int32_t archive_offset);

// The directory CRC as the format defines it: each entry's 41 bytes, then
// the name's length byte and all but its last character.
std::uint32_t ExpectedDirectoryCRC(const std::vector<TLZFileEntry>& entries,
                                   const std::vector<std::string>& names);
// Character k (from 1) + k + 3, modulo 256.
std::string ScrambledName(const std::string& name);

// A single compressed file: the 257-byte header, then `stream`.
TLZFileHeader DefaultFileHeader(const std::string& source_name);
TBytes SingleFileBytes(const TLZFileHeader& header, const TBytes& stream = {});

// The records in their on-disk layout, field by field from the format tables.
void PutArchiveHeader(TBytes& out, const TLZArchiveHeader& header);
void PutArchiveTrailer(TBytes& out, const TLZArchiveTrailer& trailer);
void PutFileEntry(TBytes& out, const TLZFileEntry& entry);
void PutFileHeader(TBytes& out, const TLZFileHeader& header);

}  // namespace zorellz::test
