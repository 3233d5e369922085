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
  int ExitCode = -1;
  bool Finished = false;
  std::vector<std::string> Messages;  // the lines printed in unattended mode
  std::string StdErr;
  std::int64_t ElapsedMs = 0;
};
// Runs `update` unattended and offscreen, with XDG_CONFIG_DIRS = config_dir,
// and waits up to `timeout_ms`.
TUpdateRun RunUpdate(const std::filesystem::path& update, const std::filesystem::path& config_dir,
                     int timeout_ms = 60000);

// Writes `text` into `path`, creating its folders.
void WriteTextFile(const std::filesystem::path& path, const std::string& text);
std::string ReadTextFile(const std::filesystem::path& path);
// Every file under `folder` with its contents, relative paths as keys.
std::map<std::string, std::string> FolderContents(const std::filesystem::path& folder);

}  // namespace tessaline::test
