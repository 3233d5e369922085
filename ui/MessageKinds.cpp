#include "ui/MessageKinds.h"

#include <QApplication>

#include "ui/AppStrings.h"

namespace tessaline {
namespace {

struct TButtonTraits {
  const char* name;
  TAppString caption;
  int modal_result;
};

// Indexed by ordinal.
constexpr std::array<TButtonTraits, kMessageButtonCount> kButtonTraits = {{
    {"Yes", TAppString::kYesButton, kModalResultYes},
    {"No", TAppString::kNoButton, kModalResultNo},
    {"OK", TAppString::kOkButton, kModalResultOk},
    {"Cancel", TAppString::kCancelButton, kModalResultCancel},
    {"Abort", TAppString::kAbortButton, kModalResultAbort},
    {"Retry", TAppString::kRetryButton, kModalResultRetry},
    {"Ignore", TAppString::kIgnoreButton, kModalResultIgnore},
    {"All", TAppString::kAllButton, kModalResultAll},
    {"NoToAll", TAppString::kNoToAllButton, kModalResultNoToAll},
    {"YesToAll", TAppString::kYesToAllButton, kModalResultYesToAll},
    // Help shows the help topic and leaves the dialog open.
    {"Help", TAppString::kHelpButton, kModalResultNone},
}};

// A button value cast from an out-of-range integer falls back to Help, the
// one button that cannot end the dialog with a result nobody asked for.
const TButtonTraits& TraitsOf(TMessageButton button) {
  const auto ordinal = static_cast<std::size_t>(button);
  return kButtonTraits[ordinal < kButtonTraits.size() ? ordinal : kButtonTraits.size() - 1];
}

std::optional<TMessageButton> FirstPresent(TMessageButtons buttons,
                                           std::initializer_list<TMessageButton> candidates) {
  for (TMessageButton candidate : candidates) {
    if (buttons.Contains(candidate)) return candidate;
  }
  return std::nullopt;
}

}  // namespace

QString MessageKindCaption(TMessageKind kind) {
  switch (kind) {
    case TMessageKind::Warning:
      return AppString(TAppString::kWarningCaption);
    case TMessageKind::Error:
      return AppString(TAppString::kErrorCaption);
    case TMessageKind::Information:
      return AppString(TAppString::kInformationCaption);
    case TMessageKind::Confirmation:
      return AppString(TAppString::kConfirmCaption);
    case TMessageKind::Custom:
      break;
  }
  // Falls back to the application name when no display name was set.
  return QApplication::applicationDisplayName();
}

bool MessageKindHasIcon(TMessageKind kind) {
  switch (kind) {
    case TMessageKind::Warning:
    case TMessageKind::Error:
    case TMessageKind::Information:
    case TMessageKind::Confirmation:
      return true;
    case TMessageKind::Custom:
      break;
  }
  return false;
}

QString MessageButtonName(TMessageButton button) {
  return QString::fromLatin1(TraitsOf(button).name);
}

QString MessageButtonCaption(TMessageButton button) {
  return AppString(TraitsOf(button).caption);
}

int MessageButtonModalResult(TMessageButton button) {
  return TraitsOf(button).modal_result;
}

std::optional<TMessageButton> DefaultMessageButton(TMessageButtons buttons) {
  return FirstPresent(buttons, {TMessageButton::OK, TMessageButton::Yes, TMessageButton::Retry});
}

std::optional<TMessageButton> CancelMessageButton(TMessageButtons buttons) {
  return FirstPresent(buttons, {TMessageButton::Cancel, TMessageButton::No, TMessageButton::OK});
}

}  // namespace tessaline
