// The replaceable question hook behind the library's message boxes.  The
// library never talks to a user directly: it asks the installed hook, and
// the default hook answers kMbNotShown ("the box could not be shown"), which
// every caller already treats as a defined answer.  The command-line tool
// and the GUI install real hooks; tests install scripted ones.
#pragma once

#include <functional>
#include <string>

#include "zorellz/platform/Export.h"

ZORELLZ_API_BEGIN
namespace zorellz {

enum class TMsgBoxButtons { kOk, kYesNo, kYesNoCancel };
enum class TMsgBoxIcon { kNone, kInformation, kQuestion, kWarning, kError };

// Answers, with the values of the Windows message box.
inline constexpr int kMbNotShown = 0;
inline constexpr int kMbOk = 1;
inline constexpr int kMbCancel = 2;
inline constexpr int kMbYes = 6;
inline constexpr int kMbNo = 7;

using TMessageBoxHook = std::function<int(const std::string& text, const std::string& caption,
                                          TMsgBoxButtons buttons, TMsgBoxIcon icon)>;

// Installs `hook` (an empty hook restores the default) and returns the
// previous one.  Both functions may be called from any thread; the hook is
// called on the thread that asks, so a hook that shows a window must pass
// the question to the thread that owns it.
TMessageBoxHook SetMessageBoxHook(TMessageBoxHook hook);
int ShowMessageBox(const std::string& text, const std::string& caption, TMsgBoxButtons buttons,
                   TMsgBoxIcon icon);

}  // namespace zorellz
ZORELLZ_API_END
