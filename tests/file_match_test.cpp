// The default file-match function behind the dearchive mask.  Matching the
// path inside the archive needs an extraction in progress: see extract_test.
#include <gtest/gtest.h>

#include <string>

#include "zorellz/engine/ZorelLZ.h"

namespace zorellz::test {
namespace {

const std::string kTarget = "/t/Help/Data/Page.htm";

TEST(FileMatch, NumberMaskSelectsExactlyThatEntry) {
  EXPECT_TRUE(LZDefaultFileMatch("#:3", kTarget, 3));
  EXPECT_TRUE(LZDefaultFileMatch("#:03", kTarget, 3));
  for (const char* mask : {"#:3", "#:", "#:3x", "#: 3", "#:-3", "#:99999999999"}) {
    EXPECT_FALSE(LZDefaultFileMatch(mask, kTarget, 4)) << mask;
  }
  EXPECT_FALSE(LZDefaultFileMatch("#:*", kTarget, 1));  // not a wildcard
}

TEST(FileMatch, EmptyAndStarMasksSelectEverything) {
  for (const char* mask : {"", "*", "*.*"}) EXPECT_TRUE(LZDefaultFileMatch(mask, "/t/x", 1));
}

TEST(FileMatch, ComparesPathNameAndWildcardIgnoringCase) {
  EXPECT_TRUE(LZDefaultFileMatch("page.HTM", kTarget, 1));
  EXPECT_TRUE(LZDefaultFileMatch("/T/HELP/DATA/PAGE.HTM", kTarget, 1));
  EXPECT_TRUE(LZDefaultFileMatch("*.htm", kTarget, 1));
  EXPECT_TRUE(LZDefaultFileMatch("p?ge.*", kTarget, 1));
  // Wildcards see the file name only.
  EXPECT_FALSE(LZDefaultFileMatch("H*", kTarget, 1));
  EXPECT_FALSE(LZDefaultFileMatch("Data/Page.htm", kTarget, 1));
}

}  // namespace
}  // namespace zorellz::test
