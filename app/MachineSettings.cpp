#include "app/MachineSettings.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaType>
#include <QSettings>
#include <QString>
#include <QTemporaryFile>
#include <QVariant>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Names.h"

namespace tessaline {

namespace {

namespace fs = std::filesystem;

// The usable entries of XDG_CONFIG_DIRS, most important first; relative
// entries are ignored, as the base-directory rules ask, so that the answer
// never depends on the current folder.
std::vector<fs::path> SystemConfigFolders() {
  std::vector<fs::path> folders;
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  std::string_view rest = dirs != nullptr ? dirs : "";
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const fs::path entry(rest.substr(0, colon));
    if (entry.is_absolute()) folders.push_back(entry);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  if (folders.empty()) folders.push_back("/etc/xdg");
  return folders;
}

bool IsPathComponent(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

// "Software\Orv\Tessaline" is <folder>/Orv/Tessaline.conf; empty for a key
// that names no file or whose parts would leave the folder.
fs::path SettingsFileIn(const fs::path& folder, std::string_view key) {
  constexpr std::string_view kSoftware = "Software\\";
  if (zorellz::SameTextAscii(key.substr(0, kSoftware.size()), kSoftware)) {
    key.remove_prefix(kSoftware.size());
  }
  fs::path file = folder;
  while (true) {
    const std::size_t separator = key.find('\\');
    const std::string_view part = key.substr(0, separator);
    if (!IsPathComponent(part)) return {};
    if (separator == std::string_view::npos) return file / (std::string(part) + ".conf");
    file /= part;
    key.remove_prefix(separator + 1);
  }
}

// The file of `key` in the first configuration folder that has one; where
// none has, the place it would have in the first folder.
fs::path SettingsFile(std::string_view key) {
  const std::vector<fs::path> folders = SystemConfigFolders();
  for (const fs::path& folder : folders) {
    const fs::path file = SettingsFileIn(folder, key);
    std::error_code error;
    if (file.empty()) return file;
    if (fs::exists(file, error)) return file;
  }
  return SettingsFileIn(folders.front(), key);
}

constexpr char kQuoteAdvice[] = "a path that contains a comma must be written in double quotes";

// The keys of the [General] section (or of no section) whose unquoted value
// holds a ';' or a '#': Qt reads the rest of the line as a comment and
// would hand back the path cut short.
std::set<QString> ValuesCutByComments(const QByteArray& contents) {
  std::set<QString> cut;
  bool general = true;
  for (const QByteArray& raw : contents.split('\n')) {
    const QByteArray line = raw.trimmed();
    if (line.startsWith('[')) {
      general = line.toLower() == "[general]";
      continue;
    }
    const qsizetype equals = line.indexOf('=');
    if (!general || equals <= 0 || line.startsWith(';') || line.startsWith('#')) continue;
    bool quoted = false;
    const QByteArray value = line.mid(equals + 1);
    for (qsizetype i = 0; i < value.size(); ++i) {
      const char c = value[i];
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && (c == ';' || c == '#')) {
        cut.insert(QString::fromUtf8(line.left(equals).trimmed()));
        break;
      }
    }
  }
  return cut;
}

// What a value is instead of a text, and how to write it as one.
QString WrongTypeAdvice(const QVariant& value) {
  switch (value.metaType().id()) {
    case QMetaType::QStringList:
      return QStringLiteral("a list, not a text (%1)").arg(QLatin1String(kQuoteAdvice));
    case QMetaType::QByteArray:
      return QStringLiteral("binary data, not a text (write the path as plain text)");
    default:
      return QStringLiteral("a value of type %1, not a text (write the path as plain text)")
          .arg(QString::fromLatin1(value.metaType().name()));
  }
}

// The values of the file, read once when the key is opened.
class TSettingsFileKey : public TRegistryKey {
 public:
  TSettingsFileKey(QSettings& settings, std::string location, std::set<QString> cut)
      : location_(std::move(location)), cut_(std::move(cut)) {
    for (const QString& name : settings.allKeys()) values_[name] = settings.value(name);
  }

  std::string ReadString(const std::string& name) override {
    if (cut_.count(QString::fromStdString(name)) != 0) {
      throw ERegistryException("Invalid data type for '" + name + "' in " + location_ +
                               ": a text cut short at an unquoted ';' or '#' (" + kQuoteAdvice +
                               ", as must one that contains a ';' or a '#')");
    }
    const auto found = values_.find(QString::fromStdString(name));
    if (found == values_.end() || !found->second.isValid()) return std::string();
    const QVariant& value = found->second;
    if (value.metaType().id() != QMetaType::QString) {
      throw ERegistryException("Invalid data type for '" + name + "' in " + location_ + ": " +
                               WrongTypeAdvice(value).toStdString());
    }
    const QString text = value.toString();
    return text.left(text.indexOf(QChar(u'\0'))).toStdString();
  }

 private:
  std::string location_;
  std::set<QString> cut_;
  std::map<QString, QVariant> values_;
};

std::unique_ptr<TRegistryKey> ParseSettings(const QString& file, const std::string& location,
                                            const QByteArray& contents) {
  QSettings settings(file, QSettings::IniFormat);
  settings.sync();
  if (settings.status() != QSettings::NoError) return nullptr;
  return std::make_unique<TSettingsFileKey>(settings, location, ValuesCutByComments(contents));
}

// What Qt last parsed of each file for this process, as Qt tells changes
// apart: size and modification time in milliseconds, and what it held.
struct TParsedStamp {
  qint64 Size = -1;
  QDateTime Modified;
  QByteArray Digest;
};

// Qt keeps the files it has parsed for the life of the process and parses
// one again only when its size or modification time (in milliseconds) has
// changed.  The updater reads its settings once, from the real file; only a
// process that reads a file again after a rewrite of the same size within
// the same millisecond reads a private copy instead, which Qt has not seen.
bool QtWouldReadStale(const QString& file, const QByteArray& contents) {
  static std::map<QString, TParsedStamp> parsed;
  const QFileInfo info(file);
  TParsedStamp stamp{info.size(), info.lastModified(),
                     QCryptographicHash::hash(contents, QCryptographicHash::Sha256)};
  const auto previous = parsed.find(file);
  const bool stale = previous != parsed.end() && previous->second.Size == stamp.Size &&
                     previous->second.Modified == stamp.Modified &&
                     previous->second.Digest != stamp.Digest;
  // Qt keeps what it parses of the real file only.
  if (!stale) parsed[file] = std::move(stamp);
  return stale;
}

std::unique_ptr<TRegistryKey> ParseCopy(const QByteArray& contents, const std::string& location) {
  QTemporaryFile copy(QDir::tempPath() + QStringLiteral("/tessaline-settings-XXXXXX.conf"));
  if (copy.open() && copy.write(contents) == contents.size() && copy.flush()) {
    return ParseSettings(copy.fileName(), location, contents);
  }
  return ParseSettings(QString::fromStdString(location), location, contents);
}

}  // namespace

std::unique_ptr<TRegistryKey> OpenMachineKeyReadOnly(const std::string& key) {
  const fs::path file = SettingsFile(key);
  std::error_code error;
  if (file.empty() || !fs::is_regular_file(file, error)) return nullptr;
  QFile source(QString::fromStdString(file.string()));
  if (!source.open(QIODevice::ReadOnly)) return nullptr;
  const QByteArray contents = source.readAll();
  if (source.error() != QFileDevice::NoError) return nullptr;
  const QString name = QString::fromStdString(file.string());
  if (QtWouldReadStale(name, contents)) return ParseCopy(contents, file.string());
  return ParseSettings(name, file.string(), contents);
}

std::string MachineKeyLocation(const std::string& key) {
  return SettingsFile(key).string();
}

}  // namespace tessaline
