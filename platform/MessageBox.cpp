#include "zorellz/platform/MessageBox.h"

#include <mutex>
#include <utility>

namespace zorellz {

namespace {

// Empty while the default hook is installed.  Operations on several threads
// may ask at once, so the hook is read and replaced under a lock.
TMessageBoxHook& InstalledHook() {
  static TMessageBoxHook hook;
  return hook;
}

std::mutex& HookLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

TMessageBoxHook SetMessageBoxHook(TMessageBoxHook hook) {
  const std::lock_guard<std::mutex> guard(HookLock());
  return std::exchange(InstalledHook(), std::move(hook));
}

int ShowMessageBox(const std::string& text, const std::string& caption, TMsgBoxButtons buttons,
                   TMsgBoxIcon icon) {
  // A copy, so that a hook may replace itself while it runs.
  TMessageBoxHook hook;
  {
    const std::lock_guard<std::mutex> guard(HookLock());
    hook = InstalledHook();
  }
  if (!hook) return kMbNotShown;
  return hook(text, caption, buttons, icon);
}

}  // namespace zorellz
