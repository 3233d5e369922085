#include "zorellz/platform/File.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <system_error>
#include <utility>

#include "platform/Folder.h"
#include "platform/win32/WinText.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {

using win32::FailWithLastError;
using win32::LongPath;
using win32::TUniqueHandle;

namespace {

// ReadFile and WriteFile take 32-bit counts.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

[[noreturn]] void RaiseInOut(const std::string& what, const std::filesystem::path& path,
                             const std::string& cause, int code) {
  throw EInOutError(what + " \"" + path.string() + "\": " + cause, code);
}

struct TOpenRequest {
  DWORD Access;
  DWORD Share;
  DWORD Disposition;
};

// Readers deny writers as the engine asks; files being written let others
// read.  Deleting and renaming stay allowed while a file is open, as on
// POSIX, where the engine may remove a work file it still reads.
TOpenRequest RequestFor(TFile::TMode mode) {
  constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
  switch (mode) {
    case TFile::TMode::kReadDenyWrite:
      return {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING};
    case TFile::TMode::kReadDenyNone:
      return {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING};
    case TFile::TMode::kCreateTruncate:
      return {kReadWrite, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_ALWAYS};
    case TFile::TMode::kReadWrite:
      return {kReadWrite, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING};
    case TFile::TMode::kCreateNew:
    case TFile::TMode::kCreateNewOrdinary:
    case TFile::TMode::kCreateAnonymous:
      return {kReadWrite, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW};
  }
  return {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING};
}

// Opens a regular file only: a folder is refused with EISDIR, a device or
// pipe with EINVAL, as on POSIX.
HANDLE OpenRegular(const std::filesystem::path& path, const TOpenRequest& request) {
  const std::wstring name = LongPath(path);
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    errno = EISDIR;
    return INVALID_HANDLE_VALUE;
  }
  HANDLE handle = CreateFileW(name.c_str(), request.Access, request.Share, nullptr,
                              request.Disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    FailWithLastError();
    return handle;
  }
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    errno = EINVAL;
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

// Reads until `count` bytes, end of file or an error (false, errno set).
bool ReadFully(HANDLE handle, void* buffer, std::size_t count, std::size_t& done) {
  auto* out = static_cast<char*>(buffer);
  done = 0;
  while (done < count) {
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min(count - done, kMaxTransfer));
    if (!ReadFile(handle, out + done, chunk, &n, nullptr)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return FailWithLastError();
    }
    if (n == 0) break;
    done += n;
  }
  return true;
}

bool WriteFully(HANDLE handle, const void* buffer, std::size_t count) {
  const auto* in = static_cast<const char*>(buffer);
  while (count > 0) {
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min(count, kMaxTransfer));
    if (!WriteFile(handle, in, chunk, &n, nullptr)) return FailWithLastError();
    if (n == 0) {
      errno = EIO;
      return false;
    }
    in += n;
    count -= n;
  }
  return true;
}

bool IdentityOf(HANDLE handle, TFileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return FailWithLastError();
  identity.Device = info.dwVolumeSerialNumber;
  identity.Inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return true;
}

}  // namespace

TFile::~TFile() {
  Close();
}

TFile::TFile(TFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)),
      path_(std::move(other.path_)),
      gather_(std::move(other.gather_)),
      gather_capacity_(std::exchange(other.gather_capacity_, 0)),
      gathered_(std::exchange(other.gathered_, 0)) {}

TFile& TFile::operator=(TFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNoHandle);
    path_ = std::move(other.path_);
    gather_ = std::move(other.gather_);
    gather_capacity_ = std::exchange(other.gather_capacity_, 0);
    gathered_ = std::exchange(other.gathered_, 0);
  }
  return *this;
}

bool TFile::Open(const std::filesystem::path& path, TMode mode, int* error) {
  Close();
  // Files without a name are a POSIX matter; the caller names one instead.
  if (mode == TMode::kCreateAnonymous) {
    errno = EOPNOTSUPP;
    if (error != nullptr) *error = errno;
    return false;
  }
  const HANDLE handle = OpenRegular(path, RequestFor(mode));
  if (handle == INVALID_HANDLE_VALUE) {
    if (error != nullptr) *error = errno;
    return false;
  }
  handle_ = handle;
  path_ = path;
  return true;
}

bool TFile::Open(const std::filesystem::path& path, TMode mode, TFileStatus& status) {
  if (!Open(path, mode)) return false;
  if (GetFileStatus(*this, status)) return true;
  Close();
  return false;
}

// Windows reaches a folder by its path (Folder.h).
bool TFile::OpenIn(const TFolderHandle& folder, const std::string& name, TMode mode, int* error) {
  return Open(folder.Path() / name, mode, error);
}

// Windows reads ahead on its own once reads follow one another.
void TFile::AdviseSequential() {}

void TFile::Close() {
  HandOverGatheredQuietly();
  if (handle_ != kNoHandle) CloseHandle(std::exchange(handle_, kNoHandle));
}

std::size_t TFile::Read(void* buffer, std::size_t count) {
  HandOverGathered();
  std::size_t done = 0;
  if (!ReadFully(handle_, buffer, count, done)) Fail("cannot read", kInOutReadPastEnd);
  return done;
}

void TFile::ReadExact(void* buffer, std::size_t count) {
  if (Read(buffer, count) != count) {
    RaiseInOut("cannot read", path_, "fewer bytes than required", kInOutReadPastEnd);
  }
}

void TFile::WriteThrough(const void* buffer, std::size_t count) {
  if (!WriteFully(handle_, buffer, count)) Fail("cannot write", kInOutWriteFailed);
}

bool TFile::Seek(std::int64_t position) {
  if (position < 0) return false;
  HandOverGathered();
  LARGE_INTEGER distance;
  distance.QuadPart = position;
  return SetFilePointerEx(handle_, distance, nullptr, FILE_BEGIN) != 0;
}

std::int64_t TFile::Position() const {
  LARGE_INTEGER zero{};
  LARGE_INTEGER position{};
  if (!SetFilePointerEx(handle_, zero, &position, FILE_CURRENT)) {
    FailWithLastError();
    Fail("cannot get the position in", kInOutReadPastEnd);
  }
  return position.QuadPart + static_cast<std::int64_t>(gathered_);
}

std::int64_t TFile::Size() const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle_, &size)) {
    FailWithLastError();
    Fail("cannot get the size of", kInOutReadPastEnd);
  }
  return gathered_ == 0 ? size.QuadPart : std::max<std::int64_t>(size.QuadPart, Position());
}

void TFile::Truncate() {
  HandOverGathered();
  if (!SetEndOfFile(handle_)) {
    FailWithLastError();
    Fail("cannot truncate", kInOutWriteFailed);
  }
}

void TFile::Sync() {
  HandOverGathered();
  CountSyncCall();
  if (!FlushFileBuffers(handle_)) {
    FailWithLastError();
    Fail("cannot flush", kInOutWriteFailed);
  }
}

void TFile::Fail(const char* what, int code) const {
  RaiseInOut(what, path_, std::generic_category().message(errno), code);
}

bool GetFileIdentity(const std::filesystem::path& path, TFileIdentity& identity) {
  TUniqueHandle handle(win32::OpenForQuery(path));
  if (!handle.Valid()) return FailWithLastError();
  return IdentityOf(handle.Get(), identity);
}

bool GetFileIdentity(const TFile& file, TFileIdentity& identity) {
  return IdentityOf(file.Native(), identity);
}

namespace {

bool StatusOfHandle(HANDLE handle, TFileStatus& status) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return FailWithLastError();
  status.IsDirectory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status.IsRegular = !status.IsDirectory && GetFileType(handle) == FILE_TYPE_DISK;
  status.Size =
      static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
  status.Identity.Device = info.dwVolumeSerialNumber;
  status.Identity.Inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  status.ModifiedTime = static_cast<std::int64_t>(
      (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
      info.ftLastWriteTime.dwLowDateTime);
  return true;
}

}  // namespace

bool GetFileStatus(const std::filesystem::path& path, TFileStatus& status) {
  TUniqueHandle handle(win32::OpenForQuery(path));
  if (!handle.Valid()) return FailWithLastError();
  return StatusOfHandle(handle.Get(), status);
}

bool GetLinkStatus(const std::filesystem::path& path, TFileStatus& status) {
  std::error_code error;
  if (std::filesystem::is_symlink(path, error)) {
    status = TFileStatus{};
    status.IsLink = true;
    return true;
  }
  return GetFileStatus(path, status);
}

bool GetLinkStatusIn(const TFolderHandle& folder, const std::string& name, TFileStatus& status) {
  return GetLinkStatus(folder.Path() / name, status);
}

bool GetFileStatus(const TFile& file, TFileStatus& status) {
  return StatusOfHandle(file.Native(), status);
}

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  TFileIdentity ia, ib;
  return GetFileIdentity(a, ia) && GetFileIdentity(b, ib) && ia == ib;
}

bool FileExists(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExistsNative(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

// Runs `change` on `target`; when Windows refuses it because the target is
// read-only, once more without that attribute, which comes back if the
// second try fails too.  POSIX lets the owner of a folder delete and
// replace read-only files in it, and the engine relies on that.
template <typename TChange>
bool EvenIfReadOnly(const std::wstring& target, TChange change) {
  if (change()) return true;
  const DWORD error = GetLastError();
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (error != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
      !SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
    SetLastError(error);
    return FailWithLastError();
  }
  if (change()) return true;
  const DWORD second = GetLastError();
  SetFileAttributesW(target.c_str(), attributes);
  SetLastError(second);
  return FailWithLastError();
}

}  // namespace

bool DeleteFileNative(const std::filesystem::path& path) {
  const std::wstring name = LongPath(path);
  return EvenIfReadOnly(name, [&name] { return DeleteFileW(name.c_str()) != 0; });
}

bool RenameFileNative(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(), MOVEFILE_WRITE_THROUGH) != 0 ||
         FailWithLastError();
}

bool ReplaceFileNative(const std::filesystem::path& from, const std::filesystem::path& to) {
  constexpr DWORD kFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  const std::wstring source = LongPath(from);
  const std::wstring target = LongPath(to);
  return EvenIfReadOnly(target,
                        [&] { return MoveFileExW(source.c_str(), target.c_str(), kFlags) != 0; });
}

// Windows files carry no permission bits to take over: the new file keeps
// the access rules of its folder, as any file made there does.
bool MoveFileIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to) {
  return ReplaceFileNative(from, to);
}

// Whether a file may be run follows from its name on Windows.
bool MoveProgramIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to,
                          const std::filesystem::path& /*program*/) {
  return ReplaceFileNative(from, to);
}

// CopyFileW takes contents, date and attributes over, and removes a partly
// written copy itself.
bool CopyFileNative(const std::filesystem::path& from, const std::filesystem::path& to,
                    bool fail_if_exists) {
  if (IsSameFile(from, to)) {
    errno = EINVAL;
    return false;
  }
  if (DirectoryExistsNative(from)) {
    errno = EISDIR;
    return false;
  }
  return CopyFileW(LongPath(from).c_str(), LongPath(to).c_str(), fail_if_exists) != 0 ||
         FailWithLastError();
}

bool MakeDirectory(const std::filesystem::path& path) {
  return CreateDirectoryW(LongPath(path).c_str(), nullptr) != 0 || FailWithLastError();
}

std::filesystem::path CurrentDirectory() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return {};
  std::wstring folder(needed, L'\0');
  const DWORD length = GetCurrentDirectoryW(needed, folder.data());
  if (length == 0 || length >= needed) return {};
  folder.resize(length);
  return win32::ShortForm(std::move(folder));
}

namespace {

struct TFindCloser {
  void operator()(HANDLE find) const { FindClose(find); }
};

// Symbolic links and junctions are reparse points; the kind of their
// target comes from the target itself.
TDirEntry EntryOf(const std::filesystem::path& folder, const WIN32_FIND_DATAW& found) {
  TDirEntry entry;
  entry.Name = win32::WideToUtf8(found.cFileName);
  DWORD attributes = found.dwFileAttributes;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
      (found.dwReserved0 == IO_REPARSE_TAG_SYMLINK ||
       found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT)) {
    entry.IsSymlink = true;
    TFileStatus target;
    if (!GetFileStatus(folder / found.cFileName, target)) return entry;  // dangling
    entry.IsDirectory = target.IsDirectory;
    entry.IsRegular = target.IsRegular;
    return entry;
  }
  entry.IsDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  entry.IsRegular = !entry.IsDirectory && (attributes & FILE_ATTRIBUTE_DEVICE) == 0;
  return entry;
}

}  // namespace

bool ListDirectory(const std::filesystem::path& path, std::vector<TDirEntry>& entries) {
  entries.clear();
  std::wstring pattern = LongPath(path);
  if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found;
  HANDLE first = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                  nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (first == INVALID_HANDLE_VALUE) return FailWithLastError();
  std::unique_ptr<void, TFindCloser> find(first);
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    entries.push_back(EntryOf(path, found));
  } while (FindNextFileW(find.get(), &found));
  if (GetLastError() != ERROR_NO_MORE_FILES) {
    entries.clear();
    return FailWithLastError();
  }
  std::sort(entries.begin(), entries.end(),
            [](const TDirEntry& a, const TDirEntry& b) { return a.Name < b.Name; });
  return true;
}

}  // namespace zorellz
