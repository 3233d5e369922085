#include "bench/BenchCorpus.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace zorellz::bench {

const std::vector<TCorpusFile>& Corpus() {
  static const std::vector<TCorpusFile> files = [] {
    std::vector<TCorpusFile> loaded;
    std::error_code error;
    for (auto& entry : std::filesystem::directory_iterator(ZORELLZ_CORPUS_DIR, error)) {
      std::string name = entry.path().filename().string();
      if (!entry.is_regular_file() || name.rfind("COPYING", 0) == 0) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      loaded.push_back({name, std::string(std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>())});
    }
    // Rates of nothing would look like results: stop instead.
    if (error || loaded.empty()) {
      std::fprintf(stderr, "benchmark: the corpus folder %s is missing or holds no file\n",
                   ZORELLZ_CORPUS_DIR);
      std::exit(1);
    }
    std::sort(loaded.begin(), loaded.end(),
              [](const TCorpusFile& a, const TCorpusFile& b) { return a.Name < b.Name; });
    return loaded;
  }();
  return files;
}

}  // namespace zorellz::bench
