// "-" in the place of a file name: standard input or standard output.  The
// engine reads and writes named files, and finds an archive's trailer at the
// end of its file, so standard input is first spooled into a private work
// file, and output meant for standard output is written to one and copied
// out once it is complete.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace zorellz::cli {

bool IsStdStream(const std::string& name);
// Lets data pass through `stream` (stdin or stdout) byte for byte: Windows'
// C runtime would turn every line feed written into CR LF, and end a read
// at the first Ctrl-Z.
void UseBinaryStream(std::FILE* stream);
// A pipe given by name (a FIFO, or "<(command)" in a shell): read once, to
// its end, as standard input is.
bool IsNamedPipe(const std::string& name);

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

// Copies `file` to standard output; a failure (a closed pipe included) ends
// the command.
void CopyToStdout(const std::filesystem::path& file);

// Standard output written as data come, as a stream filter writes it.  A
// reader that goes away is a write failure to report, not a signal that ends
// the process before its work files are removed.
class TStdoutStream {
 public:
  TStdoutStream();
  ~TStdoutStream();
  TStdoutStream(const TStdoutStream&) = delete;
  TStdoutStream& operator=(const TStdoutStream&) = delete;

  // Both raise EInOutError (kInOutWriteFailed) when standard output refuses
  // the bytes.
  void Write(const std::uint8_t* bytes, std::size_t count);
  void Flush();
  std::int64_t Size() const { return size_; }

 private:
  std::int64_t size_ = 0;
#ifdef SIGPIPE
  void (*previous_)(int);
#endif
};

// `name`, or the work file that holds what was read from standard input
// when it is "-", or from the pipe it names.
std::string InputFile(const std::string& name, TWorkFolder& work);

}  // namespace zorellz::cli
