#include "platform/WorkFiles.h"

namespace zorellz {
namespace {

constexpr std::string_view kTag = "ZRL~";
constexpr std::size_t kLongestStem = 100;

}  // namespace

std::string WorkFilePrefixOf(long pid, std::string_view stem, bool hidden) {
  std::string prefix = hidden ? "." : "";
  prefix += kTag;
  prefix += std::to_string(pid);
  prefix += '~';
  if (!stem.empty()) {
    prefix.append(stem.substr(0, kLongestStem));
    prefix += '.';
  }
  return prefix;
}

long WorkFileOwner(std::string_view name) {
  if (name.starts_with('.')) name.remove_prefix(1);
  if (!name.starts_with(kTag)) return -1;
  name.remove_prefix(kTag.size());
  const std::size_t end = name.find('~');
  if (end == 0 || end == std::string_view::npos || end > 10) return -1;
  long pid = 0;
  for (char c : name.substr(0, end)) {
    if (c < '0' || c > '9') return -1;
    pid = pid * 10 + (c - '0');
  }
  return pid > 0 ? pid : -1;
}

}  // namespace zorellz
