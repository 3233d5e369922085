#include "ui/AppStrings.h"

namespace tessaline {

QString AppString(TAppString id) {
  switch (id) {
    case TAppString::kWarningCaption:
      return QStringLiteral("Warning");
    case TAppString::kErrorCaption:
      return QStringLiteral("Error");
    case TAppString::kInformationCaption:
      return QStringLiteral("Information");
    case TAppString::kConfirmCaption:
      return QStringLiteral("Confirm");
    case TAppString::kYesButton:
      return QStringLiteral("&Yes");
    case TAppString::kNoButton:
      return QStringLiteral("&No");
    case TAppString::kOkButton:
      return QStringLiteral("OK");
    case TAppString::kCancelButton:
      return QStringLiteral("Cancel");
    case TAppString::kAbortButton:
      return QStringLiteral("&Abort");
    case TAppString::kRetryButton:
      return QStringLiteral("&Retry");
    case TAppString::kIgnoreButton:
      return QStringLiteral("&Ignore");
    case TAppString::kAllButton:
      return QStringLiteral("&All");
    case TAppString::kNoToAllButton:
      return QStringLiteral("N&o to All");
    case TAppString::kYesToAllButton:
      return QStringLiteral("Yes to &All");
    case TAppString::kHelpButton:
      return QStringLiteral("&Help");
    case TAppString::kApplicationTitle:
      return QStringLiteral("Tessaline Database Update Utility");
    case TAppString::kMainWindowCaption:
      return QStringLiteral("Self extracting Tessaline database utility");
    case TAppString::kTitleLabel:
      return QStringLiteral("Database update");
    case TAppString::kCurrentFileLabel:
      return QStringLiteral("Current file");
    case TAppString::kCreateFailed:
      return QStringLiteral("Error occurred during create: %1");
    case TAppString::kDataFolderNotFound:
      return QStringLiteral("The Tessaline Data Folder could not be located.");
    case TAppString::kFileLocked:
      return QStringLiteral(
          "The Database Distribution Package could not complete. The file %1 is locked.");
    case TAppString::kLockCheckFailed:
      return QStringLiteral("Error occurred during file lock check: %1");
    case TAppString::kUpdateCompleted:
      return QStringLiteral("The Tessaline Update has completed.");
    case TAppString::kUpdateNotReadable:
      return QStringLiteral(
          "The Database Distribution Package could not complete. The update %1 cannot be read: "
          "%2. Nothing has been changed.");
    case TAppString::kUpdateFileFailed:
      return QStringLiteral(
          "The Database Distribution Package could not complete. The file %1 of the update could "
          "not be extracted: %2. The data folder has been left as it was.");
    case TAppString::kUpdateInstallFailed:
      return QStringLiteral(
          "The Database Distribution Package could not complete. The file %1 could not be put in "
          "place: %2. The data folder has been left as it was.");
    case TAppString::kUpdateFailed:
      return QStringLiteral(
          "The Database Distribution Package could not complete. %1 The data folder has been "
          "left as it was.");
    case TAppString::kHelpPageNotCopied:
      return QStringLiteral(
          "The help page %1 could not be copied to %2: %3. It has been left in the data folder.");
  }
  return QString();
}

}  // namespace tessaline
