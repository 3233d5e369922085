#include "archive/codec/ZrlCodec.h"

#include "archive/codec/ZrlLZH.h"
#include "archive/codec/ZrlLZSS.h"

namespace zorellz {
namespace {

constexpr int kNoCodec = -1;
constexpr int kStoredLevel = 0;
constexpr int kLZSSLevel = 1;
constexpr int kLZHLevel = 2;
constexpr std::uint8_t kLevelBits = 0x7F;  // bit 7 of a level is no part of it

int current_codec = kNoCodec;

}  // namespace

// An unknown level leaves the current codec as it was, so that whatever is
// prepared is still released by LZDoneCodec.
bool LZInitCodec(std::uint8_t level) {
  switch (level & kLevelBits) {
    case kStoredLevel:
      current_codec = kStoredLevel;
      return true;
    case kLZSSLevel:
      current_codec = kLZSSLevel;
      return LZSSInit();
    case kLZHLevel:
      current_codec = kLZHLevel;
      return LZHAcquire();
    default:
      return false;
  }
}

void LZDoneCodec() {
  if (current_codec == kLZSSLevel) LZSSDone();
  if (current_codec == kLZHLevel) LZHRelease();
  current_codec = kNoCodec;
}

bool LZCodecReady() {
  switch (current_codec) {
    case kStoredLevel:
      return true;
    case kLZSSLevel:
      return LZSSInitialised();
    case kLZHLevel:
      return LZHAcquired();
    default:
      return false;
  }
}

int LZCurrentCodec() {
  return current_codec;
}

}  // namespace zorellz
