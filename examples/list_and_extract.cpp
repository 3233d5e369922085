// zorellz-example ARCHIVE FOLDER
// Lists an archive, plain or appended to a self-extracting program (an
// update), and extracts it into FOLDER through the archive component, the
// way a program that embeds the library drives it: settings through
// properties, one call per operation, and the engine's reports arriving as
// events.  It is built against the installed library as well as in the tree.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include <zorellz/zorellz.h>

namespace {

using zorellz::TLZReply;
using zorellz::TLZReportRec;
using zorellz::TZorelLZObj;

std::string ResultCause(std::int32_t result) {
  switch (result) {
    case zorellz::kLZNoFile:
    case zorellz::kLZCannotOpenArchive:
      return "cannot be opened";
    case zorellz::kLZNotAnArchive:
      return "is not an archive";
    case zorellz::kLZProtected:
      return "is protected";
    case zorellz::kLZDamagedDirectory:
    case zorellz::kLZReadDirectoryFailed:
      return "has a damaged directory";
    case zorellz::kLZCannotCreateFolder:
      return "cannot re-create its folders";
    case zorellz::kLZCRCMismatch:
      return "holds a damaged entry";
    default:
      return "failed with result " + std::to_string(result);
  }
}

int Fail(const std::string& subject, const std::string& cause) {
  std::fprintf(stderr, "zorellz-example: %s: %s\n", subject.c_str(), cause.c_str());
  return 1;
}

// Numbers from 1 up are entries; the summary (-6) and the end (-7) are not.
std::int32_t PrintEntry(TZorelLZObj&, const TLZReportRec& entry, std::int32_t number) {
  if (number >= 1) {
    std::printf("%10d  %s%s\n", entry.UncompressedSize, entry.FileName.c_str(),
                entry.IsFolder != 0 ? "\\" : "");
  }
  return 1;  // any other answer than 0 goes on
}

std::int32_t PrintProgress(TZorelLZObj&, const TLZReportRec& record, std::int32_t code) {
  switch (code) {
    case zorellz::kLZReportFileBegins:
      std::printf("extracting %s\n", record.FileName.c_str());
      break;
    case zorellz::kLZReportSkipped:
      std::printf("kept %s\n", record.FileName.c_str());
      break;
    case zorellz::kLZCRCMismatch:
      std::printf("damaged %s\n", record.FileName.c_str());
      break;
    default:
      break;
  }
  return 1;
}

// Nobody is asked here: an existing file is replaced, and said so.
TLZReply ReplaceExisting(TZorelLZObj&, const TLZReportRec&, const TLZReportRec& existing) {
  std::printf("replacing %s\n", existing.FileName.c_str());
  return 1;
}

int ListAndExtract(const std::string& archive, const std::string& folder) {
  // Listing answers alike for a missing file and for one that is no archive.
  if (!std::filesystem::is_regular_file(archive)) return Fail(archive, "no such file");
  TZorelLZObj component;
  // The listing finds the archive inside a self-extracting file through its
  // name of that kind; a plain archive is found under either name.
  component.SetArchiveName(archive);
  component.SetSFXArchiveName(archive);
  component.SetTargetDirectory(folder);
  component.SetCheckFileCRC(true);
  component.OnListArchive = PrintEntry;
  component.OnProgressReport = PrintProgress;
  component.OnConfirmOverwrite = ReplaceExisting;

  const std::int32_t entries = component.ListArchive();
  if (entries < 0) return Fail(archive, ResultCause(entries));
  std::printf("%d entries\n", entries);

  const bool self_extracting = component.IsSFXArchive() > 0;
  const std::int32_t extracted =
      self_extracting ? component.DecompressSFXArchive() : component.DecompressArchive();
  if (extracted < 0) return Fail(archive, ResultCause(extracted));
  std::printf("%d files extracted into %s\n", extracted, folder.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A shared library of another major version would not match the headers.
  if (std::atoi(zorellz::Version()) != ZORELLZ_VERSION_MAJOR) {
    return Fail("zorellz-example", std::string("built for the library ") + ZORELLZ_VERSION +
                                       ", running with " + zorellz::Version());
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: zorellz-example ARCHIVE FOLDER\n");
    return 2;
  }
  try {
    return ListAndExtract(argv[1], argv[2]);
  } catch (const std::exception& error) {
    // The engine raises only for faults of the input it cannot carry on with.
    return Fail(argv[1], error.what());
  }
}
