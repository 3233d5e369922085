#include "archive/engine/WorkFile.h"

#include "platform/System.h"
#include "platform/WorkFiles.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz {

std::filesystem::path LZCreateWorkFile() {
  const std::filesystem::path folder = TempDirectory();
  if (!DirectoryExistsNative(folder)) LZForceDirectories(folder.string());
  ReclaimStaleWorkFiles(folder);
  return CreateUniqueFile(folder, WorkFilePrefix("", false));
}

}  // namespace zorellz
