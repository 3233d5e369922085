// "-" in the place of a file name: standard input or standard output.  The
// engine reads and writes named files, and finds an archive's trailer at the
// end of its file, so standard input is first spooled into a private work
// file, and output meant for standard output is written to one and copied
// out once it is complete.  A command that calls a coder itself reads and
// writes the streams as they come instead (TStreamInput, TOutputStream).
// An output named that is a device or a pipe is written into as standard
// output is, never replaced.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "zorellz/platform/File.h"

namespace zorellz::cli {

bool IsStdStream(const std::string& name);
// Lets data pass through `stream` (stdin or stdout) byte for byte: Windows'
// C runtime would turn every line feed written into CR LF, and end a read
// at the first Ctrl-Z.
void UseBinaryStream(std::FILE* stream);
// A pipe given by name (a FIFO, or "<(command)" in a shell): read once, to
// its end, as standard input is.
bool IsNamedPipe(const std::string& name);
// An existing file, links followed, that output goes into rather than
// replaces: a device (such as /dev/null), a pipe or a socket.
bool IsStreamOutput(const std::string& name);

// A private folder in the temporary folder (TEMP, TMP, TMPDIR, /tmp),
// removed with everything in it when this ends.
class TWorkFolder {
 public:
  TWorkFolder() = default;
  ~TWorkFolder();
  TWorkFolder(const TWorkFolder&) = delete;
  TWorkFolder& operator=(const TWorkFolder&) = delete;

  // The path of `name` in the folder, made on first use; a folder that
  // cannot be made fails the command.
  std::filesystem::path File(const std::string& name);

 private:
  std::filesystem::path folder_;
};

// Copies standard input into `file`; a failure ends the command.
void SpoolStdin(const std::filesystem::path& file);

// Copies `file` to `output`: standard output for "-", else a device or pipe
// (IsStreamOutput); a failure (a closed pipe included) ends the command.
void CopyToOutput(const std::filesystem::path& file, const std::string& output);

// As gzip: compressed data are not shown on a terminal; a terminal as
// standard output fails the command before anything is read.
void RefuseCompressedDataOnTerminal();

// Standard output, or a device or pipe given by name, written as data come,
// as a stream filter writes it.  A reader that goes away is a write failure
// to report, not a signal that ends the process before its work files are
// removed.
class TOutputStream {
 public:
  // Standard output for "-", else the device or pipe `name`; fails the
  // command when that cannot be opened.
  explicit TOutputStream(const std::string& name);
  ~TOutputStream();
  TOutputStream(const TOutputStream&) = delete;
  TOutputStream& operator=(const TOutputStream&) = delete;

  // Both raise EInOutError (kInOutWriteFailed) when the output refuses the
  // bytes.
  void Write(const std::uint8_t* bytes, std::size_t count);
  void Flush();
  std::int64_t Size() const { return size_; }

 private:
  [[noreturn]] void RaiseFailure() const;

  std::FILE* stream_ = stdout;
  bool opened_ = false;  // stream_ is closed on the way out
  std::int64_t size_ = 0;
#ifdef SIGPIPE
  void (*previous_)(int);
#endif
};

// An input read once from start to end: a file, or standard input ("-") or
// a pipe given by name, read as they come rather than spooled first.
class TStreamInput {
 public:
  // Fails the command when `name` cannot be opened.
  explicit TStreamInput(const std::string& name);
  ~TStreamInput();
  TStreamInput(const TStreamInput&) = delete;
  TStreamInput& operator=(const TStreamInput&) = delete;

  // Up to `count` bytes, 0 at the end; raises EInOutError when the input
  // cannot be read.
  std::size_t Read(std::uint8_t* buffer, std::size_t count);
  // The file, or null for a stream.
  const TFile* File() const { return stream_ == nullptr ? &file_ : nullptr; }
  // The file's size; for a stream the bytes read so far.
  std::int64_t Size() const;
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
  TFile file_;
  std::FILE* stream_ = nullptr;
  bool opened_stream_ = false;  // a pipe this opened, closed with it
  std::int64_t read_ = 0;
};

// `name`, or the work file that holds what was read from standard input
// when it is "-", or from the pipe it names.
std::string InputFile(const std::string& name, TWorkFolder& work);

}  // namespace zorellz::cli
