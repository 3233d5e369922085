// The sample corpus, loaded once for the benchmarks.
#pragma once

#include <string>
#include <vector>

namespace zorellz::bench {

struct TCorpusFile {
  std::string Name;
  std::string Data;
};

// Every file of the shared corpus (license texts excluded), sorted by name.
const std::vector<TCorpusFile>& Corpus();

}  // namespace zorellz::bench
