// List-file mode: every line of the list names one input, and the archive
// is flat.

#include <cstddef>
#include <string>
#include <vector>

#include "archive/engine/CreateCollect.h"
#include "zorellz/codec/ZrlErrors.h"
#include "zorellz/platform/InOutError.h"

namespace zorellz {

namespace {

constexpr std::size_t kReadBlockSize = 65536;
// Far beyond any path the system opens; a longer line names no file and is
// passed over without being held in memory.
constexpr std::size_t kLongestLine = 65536;

// Splits a file into lines, '\n' or "\r\n" ended; the last line may lack its
// end.  A read error ends the file.
class TLineReader {
 public:
  explicit TLineReader(TFile& file) : file_(file), block_(kReadBlockSize) {}

  // The next line whole, without its end, or false at the end.  Lines too
  // long to name a file are passed over.
  bool Next(std::string& line) {
    for (;;) {
      line.clear();
      bool too_long = false;
      const bool complete = ReadLine(line, too_long);
      if (!too_long && (complete || !line.empty())) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
      }
      if (!complete) return false;
    }
  }

 private:
  // Reads up to the next '\n' and drops it; false when the file ends first.
  bool ReadLine(std::string& line, bool& too_long) {
    for (;;) {
      if (next_ == filled_ && !Refill()) return false;
      const char c = block_[next_++];
      if (c == '\n') return true;
      if (line.size() < kLongestLine) {
        line.push_back(c);
      } else {
        too_long = true;
      }
    }
  }

  bool Refill() {
    if (ended_) return false;
    try {
      filled_ = file_.Read(block_.data(), block_.size());
    } catch (const EInOutError&) {
      filled_ = 0;
    }
    next_ = 0;
    ended_ = filled_ == 0;
    return !ended_;
  }

  TFile& file_;
  std::vector<char> block_;
  std::size_t next_ = 0;
  std::size_t filled_ = 0;
  bool ended_ = false;
};

// A NUL would end the path early, so that another file would be opened.
bool CanNameFile(const std::string& line) {
  return !line.empty() && line.find('\0') == std::string::npos;
}

}  // namespace

void LZCollectListFile(const std::string& list_file, const TLZOutputFiles& outputs,
                       TLZCollection& collection) {
  TFile file;
  if (file.Open(list_file, TFile::TMode::kReadDenyWrite)) {
    TLineReader lines(file);
    std::string line;
    while (lines.Next(line)) {
      if (CanNameFile(line)) LZCollectFile(line, 0, outputs, collection);
    }
  }
  if (collection.Entries.empty()) {
    RaiseLZError(TLZErrorClass::kArchive, kMsgNoValidListFileName);
  }
}

}  // namespace zorellz
