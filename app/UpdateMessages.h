// The updater's own messages, in one place so that wording and translation
// are settled together.  "%1", "%2", "%3" take the arguments in order.  The
// captions of the window and of the message dialog stay with the widgets
// (ui/AppStrings.h).
#pragma once

#include <QString>
#include <string>

namespace tessaline {

enum class TUpdateMessage {
  kCreateFailed,  // %1: the exception's message
  kDataFolderNotFound,
  kDataFolderMissing,  // %1: the data folder
  kFileLocked,         // %1: full path of the database file
  kLockCheckFailed,    // %1: full path of the database file
  kUpdateCompleted,
  kUpdateNotReadable,    // %1: the update's file, %2: the cause
  kUpdateFileFailed,     // %1: the file of the update, %2: the cause
  kUpdateInstallFailed,  // %1: the file in the data folder, %2: the cause
  kUpdateFailed,         // %1: what went wrong, in a sentence
  kHelpPageNotCopied,    // %1: the page, %2: its destination, %3: the cause
  kNoHelpFolder,
  kAnotherUpdateRunning,  // %1: the data folder
  kUpdateLockFailed,      // %1: the data folder, %2: the cause
  kInterrupted,           // %1: the request, such as SIGTERM
  kRolledForward,         // %1: the data folder
  kRolledBack,            // %1: the data folder
  kRecoveryFailed,        // %1: the data folder, %2: the cause
  kFileInUseAtCommit,     // the cause given with kUpdateInstallFailed
  kFileOpenedAtCommit,    // the cause given with kUpdateInstallFailed
};

// The text of `id`; an id outside the table gives an empty string.
QString UpdateMessage(TUpdateMessage id);

// A folder as messages name it: without its final separator.
QString FolderText(const std::string& folder);

}  // namespace tessaline
