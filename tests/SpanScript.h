// Scripted disk prompts and recorded reports for tests of spanned archives,
// and a scope that points TEMP at a folder of the test's own.  Header only.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "zorellz/engine/ZorelLZ.h"

namespace zorellz::test {

struct TPromptCall {
  std::int32_t Disk = 0;
  std::int32_t Total = 0;
  std::int32_t Needed = 0;
  std::string Drive;
  bool operator==(const TPromptCall&) const = default;
};
inline std::vector<TPromptCall> prompts;
// Answers each prompt (0 goes on); unset, every prompt goes on.
inline std::function<std::int32_t(const TPromptCall&)> prompt_answer;

inline std::int32_t ScriptedPrompt(std::int32_t disk, std::int32_t total, std::int32_t needed,
                                   const char* drive) {
  prompts.push_back({disk, total, needed, drive});
  return prompt_answer ? prompt_answer(prompts.back()) : 0;
}

inline int PromptsFor(std::int32_t disk) {
  int count = 0;
  for (const TPromptCall& call : prompts) count += call.Disk == disk ? 1 : 0;
  return count;
}

struct TReport {
  std::int32_t Code = 0;
  TLZReportRec Record;
};
inline std::vector<TReport> reports;
inline std::function<void(std::int32_t code)> report_hook;

// Installs the scripted prompt with nothing recorded, and TEMP = `temp`;
// puts the default prompt and the previous TEMP back.
class TSpanScriptScope {
 public:
  explicit TSpanScriptScope(const std::string& temp) {
    if (const char* saved = std::getenv("TEMP")) saved_temp_ = saved;
    SetEnvValue("TEMP", temp.c_str());
    LZSetSpanPromptProc(ScriptedPrompt);
    Clear();
  }
  ~TSpanScriptScope() {
    if (saved_temp_) {
      SetEnvValue("TEMP", saved_temp_->c_str());
    } else {
      UnsetEnvValue("TEMP");
    }
    LZSetSpanPromptProc(nullptr);
    Clear();
  }
  TSpanScriptScope(const TSpanScriptScope&) = delete;
  TSpanScriptScope& operator=(const TSpanScriptScope&) = delete;

 private:
  static void Clear() {
    prompts.clear();
    prompt_answer = {};
    reports.clear();
    report_hook = {};
  }
  std::optional<std::string> saved_temp_;
};

}  // namespace zorellz::test
