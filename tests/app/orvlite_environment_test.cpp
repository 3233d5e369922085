#include "app/OrvLiteEnvironment.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/MachineSettings.h"
#include "platform/Names.h"
#include "tests/TestSupport.h"
#include "tests/app/AppTestSupport.h"

namespace tessaline {
namespace {

namespace fs = std::filesystem;
using test::ReadTextFile;
using test::UseConfigDir;
using test::WriteHostSettings;
using test::WriteTextFile;

// Points the machine settings at a scratch folder for one test and puts
// XDG_CONFIG_DIRS back afterwards.
class HostSettings : public ::testing::Test {
 protected:
  HostSettings() {
    if (const char* old = std::getenv("XDG_CONFIG_DIRS")) saved_ = old;
    UseConfigDir(config_.Path());
  }
  ~HostSettings() override {
    if (saved_) {
      setenv("XDG_CONFIG_DIRS", saved_->c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_DIRS");
    }
  }

  fs::path SettingsFile() const { return config_.Path() / "Orv" / "Tessaline.conf"; }
  // The file as a hand-written INI text, for values Qt would never write.
  void WriteRaw(const std::string& text) { WriteTextFile(SettingsFile(), text); }
  std::string ReadData() {
    const std::unique_ptr<TRegistryKey> key = OpenMachineKeyReadOnly(kTessalineKey);
    return key ? key->ReadString("DataDirectory") : "(no key)";
  }

  zorellz::test::TScratchDir config_;

 private:
  std::optional<std::string> saved_;
};

using MachineSettings = HostSettings;
using OrvLiteEnvironment = HostSettings;

TEST_F(MachineSettings, LocatesFileInFirstAbsoluteConfigFolder) {
  const std::map<std::string, std::string> folders = {
      {"/first:/second", "/first/Orv/Tessaline.conf"},
      {"relative:/second", "/second/Orv/Tessaline.conf"},
      {":/second", "/second/Orv/Tessaline.conf"},
      {"", "/etc/xdg/Orv/Tessaline.conf"},
  };
  for (const auto& [dirs, location] : folders) {
    setenv("XDG_CONFIG_DIRS", dirs.c_str(), 1);
    EXPECT_EQ(MachineKeyLocation(kTessalineKey), location) << dirs;
  }
  unsetenv("XDG_CONFIG_DIRS");
  EXPECT_EQ(MachineKeyLocation(kTessalineKey), "/etc/xdg/Orv/Tessaline.conf");
  EXPECT_EQ(MachineKeyLocation("SOFTWARE\\Orv\\Tessaline"), "/etc/xdg/Orv/Tessaline.conf");
  EXPECT_EQ(MachineKeyLocation("Software\\Orv"), "/etc/xdg/Orv.conf");
}

TEST_F(MachineSettings, KeyThatLeavesConfigFolderOpensNothing) {
  WriteTextFile(config_.Path() / "x.conf", "[General]\nDataDirectory=/x\n");
  for (const char* key : {"Software\\..\\x", "Software\\Orv\\..\\..\\x", "Software\\\\x",
                          "Software\\a/..\\x", "Software\\", ""}) {
    EXPECT_FALSE(OpenMachineKeyReadOnly(key)) << key;
    EXPECT_EQ(MachineKeyLocation(key), "") << key;
  }
}

TEST_F(MachineSettings, MissingOrUnreadableFileOpensNothing) {
  EXPECT_FALSE(OpenMachineKeyReadOnly(kTessalineKey));
  fs::create_directories(SettingsFile());  // a folder where the file belongs
  EXPECT_FALSE(OpenMachineKeyReadOnly(kTessalineKey));
  fs::remove(SettingsFile());
  WriteHostSettings(config_.Path(), {{"DataDirectory", "/srv/data"}});
  ASSERT_TRUE(OpenMachineKeyReadOnly(kTessalineKey));
  if (geteuid() != 0) {  // the superuser reads every file
    chmod(SettingsFile().c_str(), 0);
    EXPECT_FALSE(OpenMachineKeyReadOnly(kTessalineKey));
  }
}

// Qt quotes and escapes what it writes; each of these must come back as it
// went in, environment references unexpanded.
TEST_F(MachineSettings, ReadsTextsWrittenByQtUnchanged) {
  for (const std::string path :
       {"/srv/a,b/", "/srv/a=b;c#d/", "/srv/\"quoted\"/'single'/", "C:\\Host\\Data\\",
        "  /srv/spaces at both ends  ", "/srv/Donn\u00e9es/\u65e5\u672c/", "$HOME/%TEMP%/", "@at/",
        "[General]", "/srv/tab\there", ""}) {
    WriteHostSettings(config_.Path(), {{"DataDirectory", path}});
    EXPECT_EQ(ReadData(), path);
  }
}

TEST_F(MachineSettings, MissingValueReadsEmpty) {
  WriteRaw("[General]\nHelpDirectory=/srv/help\n[Other]\nDataDirectory=/srv/other\n");
  EXPECT_EQ(ReadData(), "");
  WriteRaw("[General]\nDataDirectory=@Invalid()\n");
  EXPECT_EQ(ReadData(), "");
}

TEST_F(MachineSettings, TextEndsAtFirstNul) {
  WriteRaw("[General]\nDataDirectory=/srv/data\\0/rest\n");
  EXPECT_EQ(ReadData(), "/srv/data");
}

TEST_F(MachineSettings, ValueOfAnotherTypeRaisesNamingValueAndFile) {
  const std::map<std::string, std::string> values = {
      {"/srv/a,b", "a list, not a text (a path that contains a comma must be written in double"},
      {"@ByteArray(/srv/data)", "binary data, not a text"},
      {"@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)", "a value of type int, not a text"},
  };
  for (const auto& [raw, what] : values) {
    WriteRaw("[General]\nDataDirectory=" + raw + "\n");
    const std::unique_ptr<TRegistryKey> key = OpenMachineKeyReadOnly(kTessalineKey);
    ASSERT_TRUE(key);
    try {
      key->ReadString("DataDirectory");
      ADD_FAILURE() << raw << " read as a text";
    } catch (const ERegistryException& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find("'DataDirectory' in " + SettingsFile().string() + ": " + what),
                std::string::npos)
          << message;
    }
  }
}

// Qt reads an unquoted ';' as the start of a comment and hands back the
// path cut short, which could name another existing folder: such a value
// is refused as an unquoted comma is, and the same value quoted is read.
TEST_F(MachineSettings, UnquotedCommentCharacterIsRefused) {
  for (const std::string raw : {"/srv/data;2024", "/srv/data ;old", "/srv/#1/data"}) {
    WriteRaw("[General]\nDataDirectory=" + raw + "\nHelpDirectory=/srv/help\n");
    const std::unique_ptr<TRegistryKey> key = OpenMachineKeyReadOnly(kTessalineKey);
    ASSERT_TRUE(key);
    try {
      key->ReadString("DataDirectory");
      ADD_FAILURE() << raw << " was read";
    } catch (const ERegistryException& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find("'DataDirectory' in " + SettingsFile().string() + ": "),
                std::string::npos)
          << message;
      EXPECT_NE(message.find("a path that contains a comma must be written in double quotes"),
                std::string::npos)
          << message;
    }
    EXPECT_EQ(key->ReadString("HelpDirectory"), "/srv/help");
    WriteRaw("[General]\nDataDirectory=\"" + raw + "\"\n");
    EXPECT_EQ(ReadData(), raw);
  }
  // A comment line, or a value in another section, is no concern.
  WriteRaw(
      "; DataDirectory=/x;y\n[General]\nDataDirectory=/srv/data\n[Other]\nDataDirectory=a;b\n");
  EXPECT_EQ(ReadData(), "/srv/data");
}

// Qt parses a file again only when its size or time stamp has changed; a
// rewrite of the same size within the same millisecond must still be seen.
TEST_F(MachineSettings, SeesFileRewrittenBetweenOpens) {
  for (int round = 0; round < 50; ++round) {
    WriteRaw("[General]\nDataDirectory=/srv/aaaa\n");
    ASSERT_EQ(ReadData(), "/srv/aaaa") << round;
    WriteRaw("[General]\nDataDirectory=/srv/bbbb\n");
    ASSERT_EQ(ReadData(), "/srv/bbbb") << round;
  }
}

TEST_F(MachineSettings, NeverCreatesOrWrites) {
  TOrvLiteEnvironmentObject absent;
  EXPECT_EQ(absent.GetDataDirectory(), "");
  EXPECT_FALSE(fs::exists(config_.Path() / "Orv"));

  const std::string text = "[General]\nDataDirectory=/srv/data\n";
  WriteRaw(text);
  const auto written = fs::last_write_time(SettingsFile()).time_since_epoch().count();
  TOrvLiteEnvironmentObject present;
  EXPECT_EQ(present.GetDataDirectory(), "/srv/data/");
  EXPECT_EQ(present.GetHelpDirectory(), "");
  EXPECT_EQ(ReadTextFile(SettingsFile()), text);
  EXPECT_EQ(fs::last_write_time(SettingsFile()).time_since_epoch().count(), written);
}

TEST(OrvLiteEnvironmentSeparator, AppendsSeparatorOnlyWhenMissing) {
  ASSERT_EQ(zorellz::kNativeSeparator, '/');
  EXPECT_EQ(TOrvLiteEnvironmentObject::AppendBackslash(""), "");
  EXPECT_EQ(TOrvLiteEnvironmentObject::AppendBackslash("/"), "/");
  EXPECT_EQ(TOrvLiteEnvironmentObject::AppendBackslash("/srv/data"), "/srv/data/");
  EXPECT_EQ(TOrvLiteEnvironmentObject::AppendBackslash("/srv/data/"), "/srv/data/");
  EXPECT_EQ(TOrvLiteEnvironmentObject::AppendBackslash("/srv/data//"), "/srv/data//");
  // Only the last character counts, and a backslash is no separator here.
  EXPECT_EQ(TOrvLiteEnvironmentObject::AppendBackslash("D:\\Host\\Data\\"), "D:\\Host\\Data\\/");
}

TEST_F(OrvLiteEnvironment, GivesFoldersEndingInSeparator) {
  WriteHostSettings(config_.Path(),
                    {{"DataDirectory", "/srv/host/data"}, {"HelpDirectory", "/srv/host/help/"}});
  TOrvLiteEnvironmentObject environment;
  EXPECT_EQ(environment.GetDataDirectory(), "/srv/host/data/");
  EXPECT_EQ(environment.GetHelpDirectory(), "/srv/host/help/");
}

TEST_F(OrvLiteEnvironment, SingleSeparatorStaysSingle) {
  WriteHostSettings(config_.Path(), {{"DataDirectory", "/"}});
  EXPECT_EQ(TOrvLiteEnvironmentObject().GetDataDirectory(), "/");
}

TEST_F(OrvLiteEnvironment, FoundValueIsKeptForLifeOfObject) {
  WriteHostSettings(config_.Path(), {{"DataDirectory", "/srv/old"}});
  TOrvLiteEnvironmentObject environment;
  EXPECT_EQ(environment.GetDataDirectory(), "/srv/old/");
  WriteHostSettings(config_.Path(), {{"DataDirectory", "/srv/new"}});
  EXPECT_EQ(environment.GetDataDirectory(), "/srv/old/");
  fs::remove(SettingsFile());
  EXPECT_EQ(environment.GetDataDirectory(), "/srv/old/");
  EXPECT_EQ(TOrvLiteEnvironmentObject().GetDataDirectory(), "");
}

TEST_F(OrvLiteEnvironment, AbsentValueIsLookedUpOnEveryCall) {
  TOrvLiteEnvironmentObject environment;
  EXPECT_EQ(environment.GetDataDirectory(), "");
  EXPECT_EQ(environment.GetDataDirectory(), "");
  WriteHostSettings(config_.Path(), {{"DataDirectory", ""}});
  EXPECT_EQ(environment.GetDataDirectory(), "");
  WriteHostSettings(config_.Path(), {{"DataDirectory", "/srv/installed"}});
  EXPECT_EQ(environment.GetDataDirectory(), "/srv/installed/");
}

TEST_F(OrvLiteEnvironment, FoldersAreLookedUpIndependently) {
  WriteHostSettings(config_.Path(), {{"DataDirectory", "/srv/data"}, {"HelpDirectory", ""}});
  TOrvLiteEnvironmentObject environment;
  EXPECT_EQ(environment.GetHelpDirectory(), "");
  EXPECT_EQ(environment.GetDataDirectory(), "/srv/data/");
  WriteHostSettings(config_.Path(), {{"HelpDirectory", "/srv/help"}});
  EXPECT_EQ(environment.GetHelpDirectory(), "/srv/help/");
  EXPECT_EQ(environment.GetDataDirectory(), "/srv/data/");
}

TEST_F(OrvLiteEnvironment, ValueOfAnotherTypeRaisesAndIsNotKept) {
  WriteRaw("[General]\nDataDirectory=/srv/a,b\n");
  TOrvLiteEnvironmentObject environment;
  EXPECT_THROW(environment.GetDataDirectory(), ERegistryException);
  EXPECT_THROW(environment.GetDataDirectory(), ERegistryException);
  WriteHostSettings(config_.Path(), {{"DataDirectory", "/srv/a,b"}});
  EXPECT_EQ(environment.GetDataDirectory(), "/srv/a,b/");
}

// The folders are searched in order: the first one that has the file wins,
// and a later one is used when the earlier ones have none.
TEST_F(OrvLiteEnvironment, FirstOfSeveralConfigFoldersWithTheFileWins) {
  zorellz::test::TScratchDir second;
  WriteHostSettings(config_.Path(), {{"DataDirectory", "/srv/first"}});
  WriteHostSettings(second.Path(), {{"DataDirectory", "/srv/second"}});
  setenv("XDG_CONFIG_DIRS", (config_.Path().string() + ":" + second.Path().string()).c_str(), 1);
  EXPECT_EQ(TOrvLiteEnvironmentObject().GetDataDirectory(), "/srv/first/");
  fs::remove(SettingsFile());
  EXPECT_EQ(TOrvLiteEnvironmentObject().GetDataDirectory(), "/srv/second/");
  EXPECT_EQ(MachineKeyLocation(kTessalineKey), (second.Path() / "Orv" / "Tessaline.conf").string());
  fs::remove(second.Path() / "Orv" / "Tessaline.conf");
  EXPECT_EQ(TOrvLiteEnvironmentObject().GetDataDirectory(), "");
}

// A key that counts how often it is opened and read.
struct TCountingKeys {
  std::map<std::string, std::string> Values;
  bool KeyExists = true;
  bool WrongType = false;
  int Opens = 0;
  int Reads = 0;

  TRegistryKeyOpener Opener() {
    return [this](const std::string& key) -> std::unique_ptr<TRegistryKey> {
      EXPECT_EQ(key, "Software\\Orv\\Tessaline");
      ++Opens;
      if (!KeyExists) return nullptr;
      return std::make_unique<TKey>(*this);
    };
  }

 private:
  struct TKey : TRegistryKey {
    explicit TKey(TCountingKeys& keys) : Keys(keys) {}
    std::string ReadString(const std::string& name) override {
      ++Keys.Reads;
      if (Keys.WrongType) throw ERegistryException("Invalid data type for '" + name + "'");
      return Keys.Values[name];
    }
    TCountingKeys& Keys;
  };
};

TEST(OrvLiteEnvironmentCache, FoundValueIsReadOnce) {
  TCountingKeys keys;
  keys.Values["DataDirectory"] = "/srv/data";
  TOrvLiteEnvironmentObject environment(keys.Opener());
  EXPECT_EQ(keys.Opens, 0);  // construction reads nothing
  for (int call = 0; call < 3; ++call) EXPECT_EQ(environment.GetDataDirectory(), "/srv/data/");
  EXPECT_EQ(keys.Opens, 1);
  EXPECT_EQ(keys.Reads, 1);
}

TEST(OrvLiteEnvironmentCache, EmptyValueOrAbsentKeyIsReadOnEveryCall) {
  TCountingKeys keys;
  TOrvLiteEnvironmentObject environment(keys.Opener());
  for (int call = 0; call < 3; ++call) EXPECT_EQ(environment.GetHelpDirectory(), "");
  EXPECT_EQ(keys.Opens, 3);
  EXPECT_EQ(keys.Reads, 3);
  keys.KeyExists = false;
  for (int call = 0; call < 3; ++call) EXPECT_EQ(environment.GetHelpDirectory(), "");
  EXPECT_EQ(keys.Opens, 6);
  EXPECT_EQ(keys.Reads, 3);
}

TEST(OrvLiteEnvironmentCache, RaisedReadIsTriedAgain) {
  TCountingKeys keys;
  keys.WrongType = true;
  keys.Values["DataDirectory"] = "/srv/data";
  TOrvLiteEnvironmentObject environment(keys.Opener());
  EXPECT_THROW(environment.GetDataDirectory(), ERegistryException);
  keys.WrongType = false;
  EXPECT_EQ(environment.GetDataDirectory(), "/srv/data/");
  EXPECT_EQ(environment.GetDataDirectory(), "/srv/data/");
  EXPECT_EQ(keys.Opens, 2);
}

}  // namespace
}  // namespace tessaline
