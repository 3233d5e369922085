// A message box hook for tests: answers from a script, records every box
// shown, and puts the previous hook back when it goes.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "zorellz/platform/MessageBox.h"

namespace zorellz::test {

struct TShownBox {
  std::string text;
  std::string caption;
  TMsgBoxButtons buttons;
  TMsgBoxIcon icon;
};

class TScriptedBoxes {
 public:
  // `after_script` answers every box once the script has run out.
  explicit TScriptedBoxes(std::vector<int> answers, int after_script = kMbNotShown)
      : answers_(std::move(answers)), after_script_(after_script) {
    previous_ = SetMessageBoxHook([this](const std::string& text, const std::string& caption,
                                         TMsgBoxButtons buttons, TMsgBoxIcon icon) {
      shown.push_back({text, caption, buttons, icon});
      return next_ < answers_.size() ? answers_[next_++] : after_script_;
    });
  }
  ~TScriptedBoxes() { SetMessageBoxHook(previous_); }
  TScriptedBoxes(const TScriptedBoxes&) = delete;
  TScriptedBoxes& operator=(const TScriptedBoxes&) = delete;

  std::vector<TShownBox> shown;

 private:
  std::vector<int> answers_;
  int after_script_;
  std::size_t next_ = 0;
  TMessageBoxHook previous_;
};

}  // namespace zorellz::test
