#include "archive/engine/Spool.h"

#include <algorithm>

#include "zorellz/engine/ZrlTypes.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {

void TLZSpool::Write(const std::uint8_t* data, std::size_t count) {
  size_ += static_cast<std::int64_t>(count);
  if (!work_file_ && memory_.size() + count <= limit_) {
    memory_.insert(memory_.end(), data, data + count);
    return;
  }
  if (!work_file_) Spill();
  file_.Write(data, count);
}

void TLZSpool::Spill() {
  work_file_ = std::make_unique<TWorkFileGuard>(LZCreateWorkFile());
  int error = 0;
  if (work_file_->Path().empty() ||
      !file_.Open(work_file_->Path(), TFile::TMode::kReadWrite, &error)) {
    throw EInOutError("cannot create a work file in the temporary folder", error);
  }
}

void TLZSpool::CopyTo(TFile& output) {
  output.Write(memory_.data(), memory_.size());
  if (!work_file_) return;
  file_.Seek(0);
  std::vector<std::uint8_t> block(kLZCopyBlockSize);
  for (std::size_t read; (read = file_.Read(block.data(), block.size())) > 0;) {
    output.Write(block.data(), read);
  }
}

}  // namespace zorellz
