// Helpers of the updater's tests: the host's settings in a scratch folder,
// updates built with the zorellz tool around the real updater, and the
// updater run as a separate process.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tessaline::test {

// Writes <config_dir>/Orv/Tessaline.conf (the way Qt writes settings files)
// with the values given; a value absent from the map is not written.
void WriteHostSettings(const std::filesystem::path& config_dir,
                       const std::map<std::string, std::string>& values);
// Points this process's machine settings at `config_dir` (XDG_CONFIG_DIRS).
void UseConfigDir(const std::filesystem::path& config_dir);

// Runs `zorellz create --stub <updater> UPDATE '<folder>/*' --recurse full`:
// an update carrying every file under `folder`, names relative to it.
// Fails the test (and returns false) when the tool fails.
bool BuildUpdate(const std::filesystem::path& folder, const std::filesystem::path& update);

struct TUpdateRun {
  int ExitCode = -1;  // -1 when it did not exit normally
  int Signal = 0;     // the signal that ended it, if one did
  bool Finished = false;
  // The message lines printed in unattended mode ("Kind: text"): those of
  // standard output, then those of standard error (ErrorMessages).
  std::vector<std::string> Messages;
  std::vector<std::string> ErrorMessages;
  std::string StdOut;  // every line of standard output that is not a message
  std::string StdErr;  // every line of standard error that is not a message
  std::int64_t ElapsedMs = 0;
};

struct TRunOptions {
  std::vector<std::string> Arguments;
  // TESSALINE_UNATTENDED=1 and the offscreen platform, as a script would
  // run it; false: neither, and no display either.
  bool UnattendedEnvironment = true;
  // Extra "NAME=value" entries of the environment.
  std::vector<std::string> Environment;
  int TimeoutMs = 60000;
};

// Runs `update` with XDG_CONFIG_DIRS = config_dir and waits up to
// `timeout_ms`.
TUpdateRun RunUpdate(const std::filesystem::path& update, const std::filesystem::path& config_dir,
                     int timeout_ms = 60000);
TUpdateRun RunUpdate(const std::filesystem::path& update, const std::filesystem::path& config_dir,
                     const TRunOptions& options);

// Writes `text` into `path`, creating its folders.
void WriteTextFile(const std::filesystem::path& path, const std::string& text);
std::string ReadTextFile(const std::filesystem::path& path);
// Every file under `folder` with its contents, relative paths as keys.
std::map<std::string, std::string> FolderContents(const std::filesystem::path& folder);

}  // namespace tessaline::test
