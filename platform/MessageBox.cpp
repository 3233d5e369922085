#include "platform/MessageBox.h"

#include <utility>

namespace zorellz {

namespace {

// Empty while the default hook is installed.
TMessageBoxHook& InstalledHook() {
  static TMessageBoxHook hook;
  return hook;
}

}  // namespace

TMessageBoxHook SetMessageBoxHook(TMessageBoxHook hook) {
  return std::exchange(InstalledHook(), std::move(hook));
}

int ShowMessageBox(const std::string& text, const std::string& caption, TMsgBoxButtons buttons,
                   TMsgBoxIcon icon) {
  // A copy, so that a hook may replace itself while it runs.
  const TMessageBoxHook hook = InstalledHook();
  if (!hook) return kMbNotShown;
  return hook(text, caption, buttons, icon);
}

}  // namespace zorellz
