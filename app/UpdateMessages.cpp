#include "app/UpdateMessages.h"

#include "platform/Names.h"

namespace tessaline {

QString UpdateMessage(TUpdateMessage id) {
  switch (id) {
    case TUpdateMessage::kCreateFailed:
      return QStringLiteral("Error occurred during create: %1");
    case TUpdateMessage::kDataFolderNotFound:
      return QStringLiteral("The Tessaline Data Folder could not be located.");
    case TUpdateMessage::kDataFolderMissing:
      return QStringLiteral("The Tessaline Data Folder %1 does not exist.");
    case TUpdateMessage::kFileLocked:
      return QStringLiteral(
          "The Database Distribution Package could not complete. The file %1 is locked.");
    case TUpdateMessage::kLockCheckFailed:
      return QStringLiteral("Error occurred during file lock check: %1");
    case TUpdateMessage::kUpdateCompleted:
      return QStringLiteral("The Tessaline Update has completed.");
    case TUpdateMessage::kUpdateNotReadable:
      return QStringLiteral(
          "The Database Distribution Package could not complete. The update %1 cannot be read: "
          "%2. Nothing has been changed.");
    case TUpdateMessage::kUpdateFileFailed:
      return QStringLiteral(
          "The Database Distribution Package could not complete. The file %1 of the update could "
          "not be extracted: %2. The data folder has been left as it was.");
    case TUpdateMessage::kUpdateInstallFailed:
      return QStringLiteral(
          "The Database Distribution Package could not complete. The file %1 could not be put in "
          "place: %2. The data folder has been left as it was.");
    case TUpdateMessage::kUpdateFailed:
      return QStringLiteral(
          "The Database Distribution Package could not complete. %1 The data folder has been "
          "left as it was.");
    case TUpdateMessage::kHelpPageNotCopied:
      return QStringLiteral(
          "The help page %1 could not be copied to %2: %3. It has been left in the data folder.");
    case TUpdateMessage::kNoHelpFolder:
      return QStringLiteral("No Tessaline Help Folder is set: help pages stay in the data folder.");
    case TUpdateMessage::kAnotherUpdateRunning:
      return QStringLiteral("Another update is running on %1.");
    case TUpdateMessage::kUpdateLockFailed:
      return QStringLiteral(
          "The Database Distribution Package could not complete. The data folder %1 cannot be "
          "locked for the update: %2. Nothing has been changed.");
    case TUpdateMessage::kInterrupted:
      return QStringLiteral(
          "The Database Distribution Package could not complete. The update was interrupted by "
          "%1. The data folder has been left as it was.");
    case TUpdateMessage::kRolledForward:
      return QStringLiteral("An interrupted update of %1 has been completed.");
    case TUpdateMessage::kRolledBack:
      return QStringLiteral("An interrupted update of %1 has been taken back.");
    case TUpdateMessage::kRecoveryFailed:
      return QStringLiteral(
          "The Database Distribution Package could not complete. An interrupted update of %1 "
          "could not be completed or taken back: %2.");
    case TUpdateMessage::kFileInUseAtCommit:
      return QStringLiteral("another process has opened it since the lock check");
    case TUpdateMessage::kFileOpenedAtCommit:
      return QStringLiteral("another process opened it while it was being replaced");
  }
  return QString();
}

QString FolderText(const std::string& folder) {
  std::string text = folder;
  if (text.size() > 1 && text.back() == zorellz::kNativeSeparator) text.pop_back();
  return QString::fromStdString(text);
}

}  // namespace tessaline
