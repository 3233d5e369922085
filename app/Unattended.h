// The unattended mode of the updater, for machines without a user at the
// screen: with TESSALINE_UNATTENDED=1 in the environment, --unattended, or
// no display, every message is printed as one line, its kind, a colon and
// its text ("Confirmation: The Tessaline Update has completed."), and
// answered with OK instead of being shown.  Errors go to standard error,
// the others to standard output.
#pragma once

#include <QString>

#include "ui/MessageKinds.h"

namespace tessaline {

// True when TESSALINE_UNATTENDED is "1" or SetUnattendedMode(true) was called.
bool UnattendedModeRequested();
void SetUnattendedMode(bool unattended);

// --quiet: only errors are printed, and no progress.
void SetQuietMode(bool quiet);
bool QuietModeRequested();

// The line printed for one message (without the line end).
QString UnattendedMessageLine(TMessageKind kind, const QString& message);

// Routes every message of the message dialog to the standard streams.
void InstallUnattendedMessages();

// Prints how far the extraction has come on standard error when it is a
// terminal and the run is unattended and not quiet: file n of m and the
// bytes written, on one line that redraws itself.  `done` ends the line.
void ShowUnattendedProgress(int file, int total, long long bytes, bool done = false);

}  // namespace tessaline
