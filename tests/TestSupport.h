// Helpers shared by the tests: scratch folders, file contents, little-endian
// byte assembly.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zorellz::test {

// A fresh folder under the system's temporary folder, removed with the object.
class TScratchDir {
 public:
  TScratchDir();
  ~TScratchDir();
  TScratchDir(const TScratchDir&) = delete;
  TScratchDir& operator=(const TScratchDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Path of `name` inside the folder, as a native string.
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // The names in the folder, sorted: a leftover work file shows.
  std::vector<std::string> Names() const;

 private:
  std::filesystem::path path_;
};

using TBytes = std::vector<std::uint8_t>;

void WriteFileBytes(const std::string& path, const TBytes& bytes);
TBytes ReadFileBytes(const std::string& path);

// Text as bytes, and bytes as text.
TBytes Text(const std::string& text);
std::string TextOf(const TBytes& bytes);

// Appends little-endian integers and raw text.
void PutU8(TBytes& out, std::uint8_t v);
void PutU16(TBytes& out, std::uint16_t v);
void PutU32(TBytes& out, std::uint32_t v);
void PutText(TBytes& out, const std::string& text);

// `count` bytes of a fixed pseudo-random sequence chosen by `seed`.
TBytes RandomBytes(std::size_t count, unsigned seed);

// Equal byte strings; otherwise where they part, rather than all the bytes.
::testing::AssertionResult SameBytes(const TBytes& actual, const TBytes& expected);

// The path with forward slashes only on Windows, where the library writes
// backslashes, so that expected paths read the same on both systems; the
// text unchanged elsewhere.
std::string Slashed(std::string path);

// Sets or removes an environment variable of this process.  On Windows an
// empty value removes the variable, which the tests take as the same.
void SetEnvValue(const char* name, const char* value);
void UnsetEnvValue(const char* name);

// The files of the shared sample corpus (empty when it is absent).
std::vector<std::filesystem::path> CorpusFiles();

}  // namespace zorellz::test
