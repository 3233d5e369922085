// The updater's command line.  Without arguments the update runs as it
// always has; options make it scriptable.  GNU style: "--log FILE" or
// "--log=FILE"; "--" ends the options.  Nothing but options is accepted.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tessaline {

struct TCommandLine {
  bool Help = false;
  bool Version = false;
  bool List = false;
  bool Check = false;
  bool Unattended = false;
  bool Quiet = false;
  QString LogFile;                 // empty: no log
  std::optional<QString> DataDir;  // set: takes the place of the settings' value
  std::optional<QString> HelpDir;
};

// The parsed arguments (without the program's name); nullopt with `error`
// set for an unknown option, a missing value or an argument that is not an
// option.
std::optional<TCommandLine> ParseCommandLine(const QStringList& arguments, QString& error);

// The text of --help, and of --version.
QString UsageText(const QString& program);
QString VersionText();

}  // namespace tessaline
