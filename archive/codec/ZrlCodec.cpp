#include "zorellz/codec/ZrlCodec.h"

namespace zorellz {
namespace {

constexpr int kStoredLevel = 0;
constexpr int kLZSSLevel = 1;
constexpr int kLZHLevel = 2;
constexpr std::uint8_t kLevelBits = 0x7F;  // bit 7 of a level is no part of it

}  // namespace

bool TLZCodecSet::Init(std::uint8_t level) {
  switch (level & kLevelBits) {
    case kStoredLevel:
      current_ = kStoredLevel;
      return true;
    case kLZSSLevel:
      current_ = kLZSSLevel;
      return lzss_.Init();
    case kLZHLevel:
      current_ = kLZHLevel;
      return AcquireLZH();
    default:
      return false;
  }
}

void TLZCodecSet::Done() {
  if (current_ == kLZSSLevel) lzss_.Done();
  if (current_ == kLZHLevel) ReleaseLZH();
  current_ = kNone;
}

bool TLZCodecSet::Ready() const {
  switch (current_) {
    case kStoredLevel:
      return true;
    case kLZSSLevel:
      return lzss_.Initialised();
    case kLZHLevel:
      return lzh_busy_;
    default:
      return false;
  }
}

bool TLZCodecSet::AcquireLZH() {
  if (lzh_busy_) return false;
  lzh_busy_ = true;
  return true;
}

TLZCodecSet& LZDefaultCodecSet() {
  static TLZCodecSet set;
  return set;
}

bool LZInitCodec(std::uint8_t level) {
  return LZDefaultCodecSet().Init(level);
}
void LZDoneCodec() {
  LZDefaultCodecSet().Done();
}
bool LZCodecReady() {
  return LZDefaultCodecSet().Ready();
}
int LZCurrentCodec() {
  return LZDefaultCodecSet().Current();
}

}  // namespace zorellz
