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
  }
  return QString();
}

}  // namespace tessaline
