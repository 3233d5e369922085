#include "app/CommandLine.h"

#include <utility>

#ifndef TESSALINE_UPDATE_VERSION
#define TESSALINE_UPDATE_VERSION "0.0.0"
#endif

namespace tessaline {

namespace {

bool* FlagOf(TCommandLine& line, const QString& name) {
  if (name == QLatin1String("--help")) return &line.Help;
  if (name == QLatin1String("--version")) return &line.Version;
  if (name == QLatin1String("--list")) return &line.List;
  if (name == QLatin1String("--check")) return &line.Check;
  if (name == QLatin1String("--unattended")) return &line.Unattended;
  if (name == QLatin1String("--quiet")) return &line.Quiet;
  return nullptr;
}

// Stores the value of an option that takes one; false for another name.
bool StoreValue(TCommandLine& line, const QString& name, const QString& value) {
  if (name == QLatin1String("--log")) {
    line.LogFile = value;
  } else if (name == QLatin1String("--data-dir")) {
    line.DataDir = value;
  } else if (name == QLatin1String("--help-dir")) {
    line.HelpDir = value;
  } else {
    return false;
  }
  return true;
}

bool TakesValue(const QString& name) {
  TCommandLine probe;
  return StoreValue(probe, name, QString());
}

}  // namespace

std::optional<TCommandLine> ParseCommandLine(const QStringList& arguments, QString& error) {
  TCommandLine line;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("--")) {
      if (i + 1 < arguments.size()) {
        error = QStringLiteral("unexpected argument '%1'").arg(arguments[i + 1]);
        return std::nullopt;
      }
      break;
    }
    if (!argument.startsWith(QLatin1String("--"))) {
      error = QStringLiteral("unexpected argument '%1'").arg(argument);
      return std::nullopt;
    }
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    const QString name = equals < 0 ? argument : argument.left(equals);
    if (bool* flag = FlagOf(line, name)) {
      if (equals >= 0) {
        error = QStringLiteral("option '%1' takes no value").arg(name);
        return std::nullopt;
      }
      *flag = true;
    } else if (TakesValue(name)) {
      if (equals < 0 && i + 1 >= arguments.size()) {
        error = QStringLiteral("option '%1' needs a value").arg(name);
        return std::nullopt;
      }
      const QString value = equals >= 0 ? argument.mid(equals + 1) : arguments[++i];
      if (value.isEmpty()) {
        error = QStringLiteral("option '%1' needs a value").arg(name);
        return std::nullopt;
      }
      StoreValue(line, name, value);
    } else {
      error = QStringLiteral("unrecognized option '%1'").arg(argument);
      return std::nullopt;
    }
  }
  if (line.List && line.Check) {
    error = QStringLiteral("--list and --check cannot be given together");
    return std::nullopt;
  }
  return line;
}

QString UsageText(const QString& program) {
  return QStringLiteral(
             "Usage: %1 [OPTION]...\n"
             "Install the Tessaline database update that this program carries into the host's\n"
             "data folder, all or nothing.  Without options the update runs in its window, or\n"
             "unattended where there is no display.\n"
             "\n"
             "  --list            list the update's entries (path, size, date, CRC-32)\n"
             "  --check           verify every entry, the settings and the database files,\n"
             "                    and tell what the update would do; change nothing\n"
             "  --unattended      print every message instead of showing it (as\n"
             "                    TESSALINE_UNATTENDED=1); errors go to standard error\n"
             "  --quiet           print errors only\n"
             "  --log FILE        append what the run does, with times, to FILE\n"
             "  --data-dir DIR    use DIR as the data folder instead of the settings' value\n"
             "  --help-dir DIR    use DIR as the help folder instead of the settings' value\n"
             "  --help            show this help and exit\n"
             "  --version         show the version and exit\n"
             "\n"
             "Exit status: 0 the update completed (or --check found it would); 2 it completed\n"
             "but a help page stayed in the data folder, or the command line was wrong;\n"
             "1 otherwise.\n")
      .arg(program);
}

QString VersionText() {
  return QStringLiteral("tessaline-update " TESSALINE_UPDATE_VERSION "\n");
}

}  // namespace tessaline
