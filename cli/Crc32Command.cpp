// zorellz crc32 FILE...: the CRC-32 of each file, one line per file; "-"
// is standard input.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Progress.h"
#include "cli/Streams.h"
#include "cli/Usage.h"
#include "zorellz/codec/ZrlCRC.h"
#include "zorellz/platform/File.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz::cli {
namespace {

constexpr std::size_t kBlockSize = 1 << 20;

// False (with the error reported) when the file cannot be read.
// Standard input and pipes are read as they come.
bool StreamCRC32(std::FILE* stream, const std::string& name, const std::string& cause,
                 std::uint32_t& crc) {
  auto buffer = std::make_unique<std::uint8_t[]>(kBlockSize);
  InitCRC32(crc);
  for (std::size_t got; (got = std::fread(buffer.get(), 1, kBlockSize, stream)) > 0;) {
    UpdateCRC32(crc, buffer.get(), got);
  }
  if (std::ferror(stream) != 0) {
    ReportError(name, cause + SystemCause(errno));
    return false;
  }
  crc = FinalCRC32(crc);
  return true;
}

bool PipeCRC32(const std::string& name, std::uint32_t& crc) {
  std::FILE* pipe = std::fopen(name.c_str(), "rb");
  if (pipe == nullptr) {
    ReportError(name, SystemCause(errno));
    return false;
  }
  const bool read = StreamCRC32(pipe, name, "cannot be read: ", crc);
  std::fclose(pipe);
  return read;
}

bool FileCRC32(const std::string& name, std::uint32_t& crc) {
  if (IsStdStream(name)) {
    UseBinaryStream(stdin);
    return StreamCRC32(stdin, "-", "standard input cannot be read: ", crc);
  }
  if (IsNamedPipe(name)) return PipeCRC32(name, crc);
  TFile file;
  int error = 0;
  if (!file.Open(name, TFile::TMode::kReadDenyWrite, &error)) {
    ReportError(name, SystemCause(error));
    return false;
  }
  auto buffer = std::make_unique<std::uint8_t[]>(kBlockSize);
  InitCRC32(crc);
  try {
    for (std::size_t got; (got = file.Read(buffer.get(), kBlockSize)) > 0;) {
      UpdateCRC32(crc, buffer.get(), got);
    }
  } catch (const EInOutError& failure) {
    ReportError(name, failure.what());
    return false;
  }
  crc = FinalCRC32(crc);
  return true;
}

struct TCrc32Request {
  std::vector<std::string> Files;
  TReporting Reporting;
};

void RunCrc32(const TCrc32Request& request) {
  bool all_read = true;
  for (const auto& name : request.Files) {
    std::uint32_t crc = 0;
    if (!FileCRC32(name, crc)) {
      all_read = false;
      continue;
    }
    if (!request.Reporting.Quiet) std::printf("%08x  %s\n", crc, name.c_str());
  }
  std::fflush(stdout);
  if (!all_read) throw TExitStatus{kExitFailure};
}

}  // namespace

void RegisterCrc32Command(CLI::App& app) {
  auto* command = app.add_subcommand("crc32", "Print the CRC-32 of each file");
  auto request = std::make_shared<TCrc32Request>();
  command->add_option("FILE", request->Files, "Files to check, - for standard input")->required();
  AddReportingOptions(*command, request->Reporting, "Print nothing; the status tells",
                      "A line for each file (the default)");
  command->callback([request] { RunCrc32(*request); });
}

}  // namespace zorellz::cli
