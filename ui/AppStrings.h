// The captions of the widgets: the message dialog's captions and buttons,
// the application's title and the updater's window.  The updater's messages
// live with the updater (app/UpdateMessages.h).
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
  // The updater's window.
  kMainWindowCaption,
  kTitleLabel,
  kCurrentFileLabel,
};

// The text of `id`; an id outside the table gives an empty string.
QString AppString(TAppString id);

}  // namespace tessaline
