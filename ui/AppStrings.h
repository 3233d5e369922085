// The application's string table: every text of the updater's own that a user
// can see (dialog captions, button captions, the application's title) lives
// here, so that wording and translation are settled in one place.
#pragma once

#include <QString>

namespace tessaline {

enum class TAppString {
  // Captions of the message dialog, by kind of message.
  kWarningCaption,
  kErrorCaption,
  kInformationCaption,
  kConfirmCaption,
  // Captions of the message dialog's buttons; "&" marks the accelerator.
  kYesButton,
  kNoButton,
  kOkButton,
  kCancelButton,
  kAbortButton,
  kRetryButton,
  kIgnoreButton,
  kAllButton,
  kNoToAllButton,
  kYesToAllButton,
  kHelpButton,
  // The application's title, shown by messages that carry no kind caption.
  kApplicationTitle,
};

// The text of `id`; an id outside the table gives an empty string.
QString AppString(TAppString id);

}  // namespace tessaline
