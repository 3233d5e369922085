#include "platform/Folder.h"

#include <utility>

namespace zorellz {

// Closing is the platform's; moving a held folder is the same on both.
TFolderHandle::~TFolderHandle() {
  Close();
}

TFolderHandle::TFolderHandle(TFolderHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), path_(std::move(other.path_)) {}

TFolderHandle& TFolderHandle::operator=(TFolderHandle&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

}  // namespace zorellz
