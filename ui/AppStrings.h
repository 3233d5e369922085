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
  // The updater's window.
  kMainWindowCaption,
  kTitleLabel,
  kCurrentFileLabel,
  // The updater's messages; "%1", "%2", "%3" take the arguments in order.
  kCreateFailed,  // %1: the exception's message
  kDataFolderNotFound,
  kFileLocked,       // %1: full path of the database file
  kLockCheckFailed,  // %1: full path of the database file
  kUpdateCompleted,
  kUpdateNotReadable,    // %1: the update's file, %2: the cause
  kUpdateFileFailed,     // %1: the file of the update, %2: the cause
  kUpdateInstallFailed,  // %1: the file in the data folder, %2: the cause
  kUpdateFailed,         // %1: what went wrong, in a sentence
  kHelpPageNotCopied,    // %1: the page, %2: its destination, %3: the cause
};

// The text of `id`; an id outside the table gives an empty string.
QString AppString(TAppString id);

}  // namespace tessaline
