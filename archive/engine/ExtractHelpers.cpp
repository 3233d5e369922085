// The small routines of extraction: folders, names, file descriptions,
// block copies, and installing a finished file.
#include <filesystem>

#include "archive/codec/ZrlUtils.h"
#include "archive/engine/CopyBytes.h"
#include "archive/engine/EngineState.h"
#include "archive/engine/ExtractPass.h"
#include "platform/DosTime.h"
#include "platform/Names.h"
#include "platform/System.h"
#include "platform/WorkFiles.h"
#include "zorellz/codec/ZrlCRC.h"
#include "zorellz/codec/ZrlCodec.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/platform/File.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {
namespace {

// Anything at all (file, folder, link) under that name.
bool NameIsTaken(const std::string& path) {
  std::error_code error;
  return std::filesystem::symlink_status(path, error).type() !=
         std::filesystem::file_type::not_found;
}

void DescribeSingleFile(const TLZFileHeader& header, TLZReportRec& record) {
  LZCopySharedFields(record, header);
  record.FileVersion = header.FileVersion.Get();
  record.FileName = header.SourceName.Get();
}

void DescribePlainFile(const std::string& file_name, TLZReportRec& record) {
  const auto size = static_cast<std::int32_t>(GetFileSizeOf(file_name));
  record.FileVersion = LZFileVersionText(file_name);
  record.CompressedSize = size;
  record.UncompressedSize = size;
  record.FileDate = GetFileDosDate(file_name);
  record.FileName = file_name;
  record.FileAttr = GetFileAttributesNative(file_name);
  record.FileCRC = GetFileCRC32(file_name);
}

}  // namespace

// ---- Public helpers ----

std::int32_t LZForceDirectories(const std::string& path) {
  const std::string full = ExpandFileName(path);
  if (full.empty()) return -1;
  std::int32_t created = 0;
  std::filesystem::path prefix;
  for (const std::filesystem::path& part : std::filesystem::path(full)) {
    prefix /= part;
    if (prefix == prefix.root_path() || DirectoryExistsNative(prefix)) continue;
    if (!MakeDirectory(prefix)) return -1;
    ++created;
  }
  return created;
}

bool LZAskNewName(std::string& path, const TLZRenameHook& rename) {
  if (!rename) return false;
  const std::string folder = ExtractFilePath(path);
  std::string name = path;
  do {
    if (!rename(name)) return false;
    name = ExtractFilePath(name).empty() ? folder + name : ExpandFileName(name);
  } while (ExtractFileName(name).empty() || NameIsTaken(name));
  path = name;
  return true;
}

void LZGetFileInfo(const std::string& file_name, TLZReportRec& record) {
  record = TLZReportRec{};
  TLZFileHeader header;
  if (LZGetFileHeader(file_name, header)) {
    DescribeSingleFile(header, record);
  } else {
    DescribePlainFile(file_name, record);
  }
  record.IsFolder = 0;
}

void LZItemToReport(TLZReportRec& record, const TLZFileItem& item) {
  LZCopySharedFields(record, item);
  record.FileVersion = item.FileVersion;
  record.FileName = item.TargetPath;
  record.IsFolder = item.IsFolder;
}

std::int64_t LZCopyBlock(TFile& source, TFile& target, std::int64_t count,
                         TLZProgressMode progress_mode) {
  return LZCopyBlockCRC(LZDefaultContext(), source, &target, count, progress_mode, nullptr);
}

void LZTempFileName(std::string& name) {
  const std::filesystem::path created =
      CreateUniqueFile(TempDirectory(), WorkFilePrefix("", false));
  if (created.empty()) RaiseLZError(TLZErrorClass::kError, kMsgNoTempFileName);
  name = created.string();
}

bool LZDeleteFile(const std::string& file_name) {
  if (!FileExists(file_name)) return false;
  SetFileAttributesNative(file_name, kFaArchive);
  return DeleteFileNative(file_name);
}

bool LZRenameFile(const std::string& old_name, const std::string& new_name) {
  return FileExists(old_name) && RenameFileNative(old_name, new_name);
}

// ---- Shared by the file pass and LZDecompressFile ----

std::int64_t LZReportFailure(const TLZReportHook& report, TLZReportRec& record,
                             std::int64_t result) {
  LZReport(report, record, kLZCRCMismatch);
  return result;
}

bool LZCreatePendingAt(TPendingFile& pending, const std::string& target) {
  const std::filesystem::path path(target);
  std::filesystem::path parent = path.parent_path();
  if (parent.empty()) parent = ".";
  TFolderHandle folder;
  return folder.Open(parent) && pending.Create(folder, path.filename().string());
}

bool LZInstallFile(TPendingFile& pending, std::int32_t date, std::int32_t attributes) {
  // Set on the open file, so that the file takes its name complete and no
  // name is looked up again.
  pending.TakeTargetPermissions();
  SetFileDosDate(pending.File(), date);
  if (pending.ExpectsFreeTarget()) {
    SetNewFileAttributes(pending.File(), attributes);
  } else {
    SetFileAttributesNative(pending.File(), attributes);
  }
  return pending.Commit();
}

std::int64_t LZCopyBlockCRC(TLZContext& context, TFile& source, TFile* target, std::int64_t count,
                            TLZProgressMode progress_mode, std::uint32_t* crc) {
  TLZCopyOptions options;
  if (progress_mode == LZProgressOnRead || progress_mode == LZProgressOnWrite) {
    options.Progress = context.Progress;
    options.Record = &context.CurrentReport;
  }
  options.ProgressOnWrite = progress_mode == LZProgressOnWrite;
  options.ReportEmptyRead = true;
  options.CRC = crc;
  options.ShortSourceRaises = true;
  return LZCopyBytes(source, target, count, options);
}

void LZRequireBytes(TFile& file, std::int64_t count) {
  if (file.Size() - file.Position() < count) {
    throw EInOutError("Read beyond end of file \"" + file.Path().string() + "\"",
                      kInOutReadPastEnd);
  }
}

}  // namespace zorellz
