#include "app/MachineSettings.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMetaType>
#include <QSettings>
#include <QString>
#include <QTemporaryFile>
#include <QVariant>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Names.h"

namespace tessaline {

namespace {

namespace fs = std::filesystem;

// The first usable entry of XDG_CONFIG_DIRS; relative entries are ignored,
// as the base-directory rules ask, so that the answer never depends on the
// current folder.
fs::path SystemConfigFolder() {
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  std::string_view rest = dirs != nullptr ? dirs : "";
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const fs::path entry(rest.substr(0, colon));
    if (entry.is_absolute()) return entry;
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  return "/etc/xdg";
}

bool IsPathComponent(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

// "Software\Orv\Tessaline" is <folder>/Orv/Tessaline.conf; empty for a key
// that names no file or whose parts would leave the folder.
fs::path SettingsFile(std::string_view key) {
  constexpr std::string_view kSoftware = "Software\\";
  if (zorellz::SameTextAscii(key.substr(0, kSoftware.size()), kSoftware)) {
    key.remove_prefix(kSoftware.size());
  }
  fs::path file = SystemConfigFolder();
  while (true) {
    const std::size_t separator = key.find('\\');
    const std::string_view part = key.substr(0, separator);
    if (!IsPathComponent(part)) return {};
    if (separator == std::string_view::npos) return file / (std::string(part) + ".conf");
    file /= part;
    key.remove_prefix(separator + 1);
  }
}

// What a value is instead of a text, and how to write it as one.
QString WrongTypeAdvice(const QVariant& value) {
  switch (value.metaType().id()) {
    case QMetaType::QStringList:
      return QStringLiteral(
          "a list, not a text (a path that contains a comma must be written in double quotes)");
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
  TSettingsFileKey(QSettings& settings, std::string location) : location_(std::move(location)) {
    for (const QString& name : settings.allKeys()) values_[name] = settings.value(name);
  }

  std::string ReadString(const std::string& name) override {
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
  std::map<QString, QVariant> values_;
};

std::unique_ptr<TRegistryKey> ParseSettings(const QString& file, const std::string& location) {
  QSettings settings(file, QSettings::IniFormat);
  if (settings.status() != QSettings::NoError) return nullptr;
  return std::make_unique<TSettingsFileKey>(settings, location);
}

// Qt keeps the files it has parsed for the life of the process and parses
// one again only when its size or modification time (in milliseconds) has
// changed, so a file rewritten quickly would read as before.  A copy under a
// name of its own always reads what the file holds now.
std::unique_ptr<TRegistryKey> ParseSnapshot(const QByteArray& contents,
                                            const std::string& location) {
  QTemporaryFile copy(QDir::tempPath() + QStringLiteral("/tessaline-settings-XXXXXX.conf"));
  if (copy.open() && copy.write(contents) == contents.size() && copy.flush()) {
    return ParseSettings(copy.fileName(), location);
  }
  // Without a temporary folder, the file itself is the best there is.
  return ParseSettings(QString::fromStdString(location), location);
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
  return ParseSnapshot(contents, file.string());
}

std::string MachineKeyLocation(const std::string& key) {
  return SettingsFile(key).string();
}

}  // namespace tessaline
