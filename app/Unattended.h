// The unattended mode of the updater, for machines without a user at the
// screen: with TESSALINE_UNATTENDED=1 in the environment every message is
// printed to standard output as one line, its kind, a colon and its text
// ("Confirmation: The Tessaline Update has completed."), and answered with
// OK instead of being shown.
#pragma once

#include <QString>

#include "ui/MessageKinds.h"

namespace tessaline {

// True when TESSALINE_UNATTENDED is "1".
bool UnattendedModeRequested();

// The line printed for one message (without the line end).
QString UnattendedMessageLine(TMessageKind kind, const QString& message);

// Routes every message of the message dialog to standard output.
void InstallUnattendedMessages();

}  // namespace tessaline
