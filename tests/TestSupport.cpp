#include "tests/TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace zorellz::test {

TScratchDir::TScratchDir() {
  std::random_device device;
  std::mt19937_64 random(device());
  auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("zorellz-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a scratch folder");
}

TScratchDir::~TScratchDir() {
  std::error_code ignored;
  // Read-only files inside must not stop the clean-up.
  for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(path_, ignored);
}

// Through std::filesystem::path, whose Windows form opens the UTF-8 name
// itself rather than the C library's code-page reading of it.
void WriteFileBytes(const std::string& path, const TBytes& bytes) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string Slashed(std::string path) {
#ifdef _WIN32
  std::replace(path.begin(), path.end(), '\\', '/');
#endif
  return path;
}

void SetEnvValue(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value);
#else
  setenv(name, value, 1);
#endif
}

void UnsetEnvValue(const char* name) {
#ifdef _WIN32
  _putenv_s(name, "");
#else
  unsetenv(name);
#endif
}

TBytes ReadFileBytes(const std::string& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void PutU8(TBytes& out, std::uint8_t v) {
  out.push_back(v);
}
void PutU16(TBytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutU32(TBytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
TBytes Text(const std::string& text) {
  return TBytes(text.begin(), text.end());
}

std::string TextOf(const TBytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

void PutText(TBytes& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
}

TBytes RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  TBytes bytes(count);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

::testing::AssertionResult SameBytes(const TBytes& actual, const TBytes& expected) {
  const auto parted = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  if (parted.first == actual.end() && parted.second == expected.end()) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << actual.size() << " bytes against " << expected.size() << ", first difference at "
         << (parted.first - actual.begin());
}

std::vector<std::filesystem::path> CorpusFiles() {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (auto& entry : std::filesystem::directory_iterator(ZORELLZ_CORPUS_DIR, error)) {
    if (entry.is_regular_file() && entry.path().filename().string().rfind("COPYING", 0) != 0) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> TScratchDir::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace zorellz::test
