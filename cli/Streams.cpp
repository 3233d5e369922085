#include "cli/Streams.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/Failure.h"
#include "platform/System.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz::cli {
namespace {

constexpr std::size_t kBlockSize = 1 << 16;

// Copies `from` to `to` until `from` ends; errno tells why it stopped short.
bool CopyStream(std::FILE* from, std::FILE* to) {
  std::vector<char> block(kBlockSize);
  for (;;) {
    const std::size_t got = std::fread(block.data(), 1, block.size(), from);
    if (got > 0 && std::fwrite(block.data(), 1, got, to) != got) return false;
    if (got < block.size()) return std::ferror(from) == 0;
  }
}

}  // namespace

bool IsStdStream(const std::string& name) {
  return name == "-";
}

void UseBinaryStream(std::FILE* stream) {
#ifdef _WIN32
  _setmode(_fileno(stream), _O_BINARY);
#else
  (void)stream;
#endif
}

TWorkFolder::~TWorkFolder() {
  if (folder_.empty()) return;
  std::error_code error;
  std::filesystem::remove_all(folder_, error);
}

std::filesystem::path TWorkFolder::File(const std::string& name) {
  if (folder_.empty()) {
    const std::filesystem::path temp = TempDirectory();
    folder_ = CreateUniqueDirectory(temp, "zorellz-");
    if (folder_.empty()) {
      FailCommand(temp.string(), "no work folder can be made here: " + SystemCause(errno));
    }
  }
  return folder_ / name;
}

namespace {

// Copies the stream `from` into `file`; `cause` begins the message of a
// failed read.
void Spool(std::FILE* from, const std::string& name, const std::string& cause,
           const std::filesystem::path& file) {
  std::FILE* out = std::fopen(file.string().c_str(), "wb");
  if (out == nullptr) FailCommand(file.string(), SystemCause(errno));
  errno = 0;
  const bool copied = CopyStream(from, out);
  const int copy_error = errno;
  const bool closed = std::fclose(out) == 0;
  if (!copied) FailCommand(name, cause + SystemCause(copy_error));
  if (!closed) FailCommand(file.string(), SystemCause(errno));
}

}  // namespace

bool IsNamedPipe(const std::string& name) {
  std::error_code error;
  return std::filesystem::is_fifo(std::filesystem::status(name, error));
}

void SpoolStdin(const std::filesystem::path& file) {
  UseBinaryStream(stdin);
  Spool(stdin, "-", "standard input cannot be read: ", file);
}

bool IsStreamOutput(const std::string& name) {
  std::error_code error;
  const auto status = std::filesystem::status(name, error);
  return !error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
         !std::filesystem::is_directory(status);
}

void CopyToOutput(const std::filesystem::path& file, const std::string& output) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(file.string().c_str(), "rb"),
                                                           std::fclose);
  if (in == nullptr) FailCommand(file.string(), SystemCause(errno));
  // The output set up as for data written as they come.
  TOutputStream out(output);
  std::vector<std::uint8_t> block(kBlockSize);
  try {
    for (;;) {
      errno = 0;
      const std::size_t got = std::fread(block.data(), 1, block.size(), in.get());
      // A short read is the end of the file, or a failure even after some
      // bytes came.
      if (got < block.size() && std::ferror(in.get()) != 0) {
        FailCommand(file.string(), SystemCause(errno));
      }
      out.Write(block.data(), got);
      if (got < block.size()) break;
    }
    out.Flush();
  } catch (const EInOutError& error) {
    FailCommand(output, error.what());
  }
}

void RefuseCompressedDataOnTerminal() {
  if (IsTerminal(TStdStream::kOutput)) {
    FailCommand("-",
                "compressed data are not written to a terminal (redirect standard output, "
                "or name OUTPUT)");
  }
}

TOutputStream::TOutputStream(const std::string& name) {
  if (IsStdStream(name)) {
    std::fflush(stdout);
    UseBinaryStream(stdout);
  } else {
    // Opened to write into, as it is: a device or a pipe is not truncated.
    stream_ = std::fopen(name.c_str(), "ab");
    if (stream_ == nullptr) FailCommand(name, SystemCause(errno));
    opened_ = true;
  }
#ifdef SIGPIPE
  previous_ = std::signal(SIGPIPE, SIG_IGN);
#endif
}

TOutputStream::~TOutputStream() {
  if (opened_) std::fclose(stream_);
#ifdef SIGPIPE
  std::signal(SIGPIPE, previous_);
#endif
}

void TOutputStream::RaiseFailure() const {
  throw EInOutError(
      std::string(opened_ ? "" : "standard output ") + "cannot be written: " + SystemCause(errno),
      kInOutWriteFailed);
}

void TOutputStream::Write(const std::uint8_t* bytes, std::size_t count) {
  errno = 0;
  if (std::fwrite(bytes, 1, count, stream_) != count) RaiseFailure();
  size_ += static_cast<std::int64_t>(count);
}

void TOutputStream::Flush() {
  errno = 0;
  if (std::fflush(stream_) != 0) RaiseFailure();
}

TStreamInput::TStreamInput(const std::string& name) : name_(name) {
  if (IsStdStream(name)) {
    UseBinaryStream(stdin);
    stream_ = stdin;
    return;
  }
  if (IsNamedPipe(name)) {
    stream_ = std::fopen(name.c_str(), "rb");
    if (stream_ == nullptr) FailCommand(name, SystemCause(errno));
    opened_stream_ = true;
    return;
  }
  int error = 0;
  if (!file_.Open(name, TFile::TMode::kReadDenyWrite, &error)) {
    FailCommand(name, SystemCause(error));
  }
}

TStreamInput::~TStreamInput() {
  if (opened_stream_) std::fclose(stream_);
}

std::size_t TStreamInput::Read(std::uint8_t* buffer, std::size_t count) {
  if (stream_ == nullptr) return file_.Read(buffer, count);
  errno = 0;
  const std::size_t got = std::fread(buffer, 1, count, stream_);
  if (got == 0 && std::ferror(stream_) != 0) {
    throw EInOutError(std::string(IsStdStream(name_) ? "standard input " : "") +
                          "cannot be read: " + SystemCause(errno),
                      kInOutReadPastEnd);
  }
  read_ += static_cast<std::int64_t>(got);
  return got;
}

std::int64_t TStreamInput::Size() const {
  return stream_ == nullptr ? file_.Size() : read_;
}

std::string InputFile(const std::string& name, TWorkFolder& work) {
  if (IsStdStream(name)) {
    const std::filesystem::path spool = work.File("stdin");
    SpoolStdin(spool);
    return spool.string();
  }
  if (!IsNamedPipe(name)) return name;
  std::FILE* pipe = std::fopen(name.c_str(), "rb");
  if (pipe == nullptr) FailCommand(name, SystemCause(errno));
  const std::filesystem::path spool = work.File("pipe");
  Spool(pipe, name, "cannot be read: ", spool);
  std::fclose(pipe);
  return spool.string();
}

}  // namespace zorellz::cli
