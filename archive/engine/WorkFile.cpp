#include "archive/engine/WorkFile.h"

#include "archive/engine/ZorelLZ.h"
#include "platform/System.h"

namespace zorellz {

std::filesystem::path LZCreateWorkFile() {
  const std::filesystem::path folder = TempDirectory();
  if (!DirectoryExistsNative(folder)) LZForceDirectories(folder.string());
  return CreateUniqueFile(folder, "ZRL");
}

}  // namespace zorellz
