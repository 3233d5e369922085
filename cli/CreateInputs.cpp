#include "cli/CreateInputs.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>
#include <utility>

#include "archive/engine/CreateCollect.h"
#include "cli/CreateSupport.h"
#include "cli/Failure.h"
#include "cli/Streams.h"
#include "cli/Usage.h"
#include "zorellz/platform/File.h"

namespace zorellz::cli {
namespace {

namespace fs = std::filesystem;

bool IsFolder(const std::string& spec) {
  std::error_code error;
  return ListFileOf(spec).empty() && fs::is_directory(spec, error);
}

bool HasWildcard(const std::string& name) {
  return name.find_first_of("*?") != std::string::npos;
}

// The files of one folder that a mask matches, in name order.
void AddMatches(const fs::path& folder, const std::string& mask, std::vector<std::string>& lines) {
  std::error_code error;
  std::vector<std::string> found;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (it->is_regular_file(error) && LZMatchCreateMask(mask, name)) {
      found.push_back((folder / name).string());
    }
  }
  if (error) FailCommand(folder.string(), error.message());
  std::sort(found.begin(), found.end());
  lines.insert(lines.end(), found.begin(), found.end());
}

void AddListFile(const std::string& list_file, std::vector<std::string>& lines) {
  std::ifstream in(list_file, std::ios::binary);
  if (!in) FailCommand(list_file, MissingFileCause(list_file));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
}

void AddSpec(const std::string& spec, TLZRecurse recurse, std::vector<std::string>& lines) {
  if (const std::string list_file = ListFileOf(spec); !list_file.empty()) {
    AddListFile(list_file, lines);
    return;
  }
  const fs::path path(spec);
  const bool folder = IsFolder(spec);
  if (!folder && !HasWildcard(path.filename().string())) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) FailCommand(spec, MissingFileCause(spec));
    lines.push_back(spec);
    return;
  }
  if (recurse != LZNoRecurse) {
    FailUsage(spec + ": a folder or a mask with --recurse must be the only FILESPEC", "create");
  }
  if (folder) {
    AddMatches(path, "*", lines);
  } else {
    AddMatches(path.parent_path(), path.filename().string(), lines);
  }
}

// Drops the lines that name a file an earlier line named under the same
// name, as "*.txt notes.txt" does: the archive would hold it twice, and its
// extraction would find the second copy in the way of the first.  Hard
// links of other names stay, each an entry of its own.
void DropRepeatedFiles(std::vector<std::string>& lines) {
  std::set<std::pair<std::string, std::pair<std::uint64_t, std::uint64_t>>> seen;
  std::erase_if(lines, [&seen](const std::string& line) {
    TFileIdentity identity;
    if (!GetFileIdentity(line, identity)) return false;
    const std::string name = fs::path(line).filename().string();
    return !seen.insert({name, {identity.Device, identity.Inode}}).second;
  });
}

std::string WriteListFile(const std::vector<std::string>& lines, TWorkFolder& work) {
  const fs::path list = work.File("inputs.lst");
  std::ofstream out(list, std::ios::binary);
  for (const std::string& line : lines) out << line << '\n';
  out.close();
  if (!out) FailCommand(list.string(), SystemCause(errno));
  return "/F=" + list.string();
}

}  // namespace

std::string EngineFileSpecs(const std::vector<std::string>& specs, TLZRecurse recurse,
                            TWorkFolder& work) {
  if (specs.size() == 1) {
    const std::string& spec = specs.front();
    return IsFolder(spec) ? (fs::path(spec) / "*").string() : spec;
  }
  std::vector<std::string> lines;
  for (const std::string& spec : specs) AddSpec(spec, recurse, lines);
  if (lines.empty()) FailCommand(specs.front(), "no file matches, nor does any other FILESPEC");
  DropRepeatedFiles(lines);
  return WriteListFile(lines, work);
}

}  // namespace zorellz::cli
