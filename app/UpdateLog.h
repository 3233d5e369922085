// The updater's log (--log FILE): lines appended to a file, each stamped
// with the time in UTC, for the administrator who scripts updates.  Without
// a log file every line is dropped.
#pragma once

#include <QString>

namespace tessaline {

// Opens `file` for appending, creating it when missing; "" or the cause.
QString OpenUpdateLog(const QString& file);
void CloseUpdateLog();

// Appends "<time> <text>" and flushes it, so that a killed run leaves every
// line written so far.
void LogLine(const QString& text);

}  // namespace tessaline
