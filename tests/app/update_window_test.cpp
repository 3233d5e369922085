// The updater's window in-process: its components, its creation, the
// handlers of the archive component's events, the message pump, the banner
// and the unattended message lines.
#include "app/uMainDBDistribution.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "app/Banner.h"
#include "app/MessagePump.h"
#include "app/Unattended.h"
#include "tests/TestSupport.h"
#include "tests/app/AppTestSupport.h"
#include "ui/AppStrings.h"

namespace tessaline {
namespace {

namespace fs = std::filesystem;
using zorellz::test::TScratchDir;

QString Q(const fs::path& path) {
  return QString::fromStdString(path.string());
}

class UpdateWindow : public testing::Test {
 protected:
  void SetUp() override {
    test::UseConfigDir(scratch_.Path() / "config");
    SetMessageRecorder([this](const TMessageRecord& record) -> std::optional<int> {
      messages_.push_back(record);
      return kModalResultOk;
    });
  }
  void TearDown() override { SetMessageRecorder(nullptr); }

  // An update carrying `files` (relative path -> contents).
  fs::path MakeUpdate(const std::map<std::string, std::string>& files) {
    const fs::path source = scratch_.Path() / "source";
    for (const auto& [name, text] : files) test::WriteTextFile(source / name, text);
    const fs::path update = scratch_.Path() / "update";
    EXPECT_TRUE(test::BuildUpdate(source, update));
    return update;
  }
  // The host's data folder, ready to receive the update.
  fs::path UseDataFolder() {
    const fs::path data = scratch_.Path() / "data";
    fs::create_directories(data);
    test::WriteHostSettings(scratch_.Path() / "config", {{"DataDirectory", data.string()}});
    return data;
  }

  TScratchDir scratch_;
  std::vector<TMessageRecord> messages_;
};

zorellz::TLZReportRec Record(const std::string& file_name, std::int32_t attributes = 0) {
  zorellz::TLZReportRec record;
  record.FileName = file_name;
  record.FileAttr = attributes;
  return record;
}

TEST_F(UpdateWindow, HasTheComponentsOfItsForm) {
  // As the program sets it: the title must not bring the display name along.
  QGuiApplication::setApplicationDisplayName(AppString(TAppString::kApplicationTitle));
  TfrmDatabaseDist window(nullptr, Q(scratch_.Path() / "none"));
  window.show();
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Self extracting Tessaline database utility"));
  QGuiApplication::setApplicationDisplayName(QString());
  EXPECT_EQ(window.size(), QSize(643, 158));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(window.palette().color(QPalette::Window), QColor(Qt::white));
  EXPECT_EQ(window.font().family(), QStringLiteral("MS Sans Serif"));
  EXPECT_EQ(window.font().pixelSize(), 11);
  EXPECT_EQ(window.font().styleHint(), QFont::SansSerif);

  EXPECT_EQ(window.lblTitle->geometry(), QRect(8, 15, 244, 37));
  EXPECT_EQ(window.lblTitle->text(), QStringLiteral("Database update"));
  EXPECT_EQ(window.lblTitle->font().pixelSize(), 35);
  EXPECT_LE(window.lblTitle->fontMetrics().horizontalAdvance(window.lblTitle->text()), 244)
      << "the caption fits its box whatever face stands in for the original";
  EXPECT_EQ(window.lblTitle->palette().color(QPalette::WindowText), QColor(255, 101, 0));
  EXPECT_TRUE(window.lblTitle->autoFillBackground());
  EXPECT_EQ(window.lblTitle->palette().color(QPalette::Window), QColor(Qt::white));

  EXPECT_EQ(window.imgKlvne->geometry(), QRect(287, 0, 357, 52));
  EXPECT_EQ(window.imgKlvne->pixmap().size(), QSize(357, 52));

  // Two pixels high, the rectangle is all outline: a black rule.
  EXPECT_EQ(window.shpTitleLine->geometry(), QRect(0, 52, 643, 2));
  const QImage rule = window.shpTitleLine->grab().toImage();
  for (int x = 0; x < rule.width(); x += 7) {
    EXPECT_EQ(rule.pixelColor(x, 0), QColor(Qt::black)) << x;
    EXPECT_EQ(rule.pixelColor(x, 1), QColor(Qt::black)) << x;
  }

  EXPECT_EQ(window.lblCurrentFile->pos(), QPoint(8, 80));
  EXPECT_EQ(window.lblCurrentFile->text(), QStringLiteral("Current file"));
  EXPECT_GE(window.lblCurrentFile->width(),
            window.lblCurrentFile->fontMetrics().horizontalAdvance(QStringLiteral("Current file")));
  EXPECT_EQ(window.lblFileName->geometry(), QRect(11, 96, 541, 13));
  EXPECT_TRUE(window.lblFileName->text().isEmpty());
  EXPECT_FALSE(window.lblFileName->autoFillBackground());

  EXPECT_EQ(window.ExtractTimer->interval(), 2000);
  EXPECT_TRUE(window.ExtractTimer->isActive());
  ASSERT_NE(window.QMMsgDlg, nullptr);
  EXPECT_EQ(window.QMMsgDlg->parent(), &window);
  EXPECT_EQ(window.Outcome(), TRunOutcome::kNotRun);
}

TEST_F(UpdateWindow, KeepsTheHourglassForItsLifetime) {
  ASSERT_EQ(QApplication::overrideCursor(), nullptr);
  {
    TfrmDatabaseDist window(nullptr, Q(scratch_.Path() / "none"));
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(UpdateWindow, AppliesTheStoredSettingsOfExtract) {
  const fs::path data = UseDataFolder();
  const fs::path update = scratch_.Path() / "update";
  TfrmDatabaseDist window(nullptr, Q(update));
  const zorellz::TZorelLZObj& extract = window.Extract;
  EXPECT_EQ(extract.GetRecurseDirs(), zorellz::LZFullRecurse);
  EXPECT_TRUE(extract.GetDearchiveRecurse());
  EXPECT_TRUE(extract.GetCheckFileCRCs());
  EXPECT_FALSE(extract.GetExtractUnExpanded());
  EXPECT_EQ(extract.GetCompressionChoice(), zorellz::LZMaxCompression);
  EXPECT_EQ(extract.GetExtensionstoStore(),
            ".ZIP|.PKK|.ZPA|.GIF|.CAB|.GZ|.LZH|.LZA|.LZZ|.LZ|.PAK|.ZOO|.Z|.ARC|.ARJ|.AR7");
  EXPECT_EQ(extract.GetDearchiveMask(), "*.*");
  EXPECT_FALSE(extract.GetMakeSfxValue());
  EXPECT_FALSE(extract.GetSpanDisks());
  EXPECT_EQ(extract.GetSpanDiskSize(), -1);
  EXPECT_EQ(extract.GetSpanDiskType(), zorellz::FloppyDiskOther);
  // Then creation points it at the update and the data folder.
  EXPECT_EQ(extract.GetSFXArchiveName(), update.string());
  EXPECT_EQ(extract.GetArchiveFileSpecs(), "*.*");
  EXPECT_EQ(extract.GetTargetDirectory(), data.string() + "/");
}

TEST_F(UpdateWindow, KeepsTheArchivePathOfEveryEntry) {
  const fs::path update = MakeUpdate(
      {{"a.DAT", "a"}, {"b.IDX", "b"}, {"Sub/page.HTML", "<p>"}, {"Sub/Deeper/c.txt", "c"}});
  TfrmDatabaseDist window(nullptr, Q(update));
  const std::vector<std::string>& names = window.ArchiveNames();
  for (const char* expected : {"a.DAT", "b.IDX", "Sub\\page.HTML", "Sub\\Deeper\\c.txt"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;
  }
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(window.FilesReported(), 0);
  EXPECT_EQ(window.FileTotal(), 0);
}

TEST_F(UpdateWindow, ViewIgnoresSummaryEndAndNonEntries) {
  TfrmDatabaseDist window(nullptr, Q(scratch_.Path() / "none"));
  const std::vector<std::string> before = window.ArchiveNames();
  for (std::int32_t number : {-6, -7, 0, -1000}) {
    EXPECT_EQ(window.ExtractViewArchive(window.Extract, nullptr, number), 1) << number;
  }
  EXPECT_EQ(window.ArchiveNames(), before);
}

TEST_F(UpdateWindow, CreationFailureIsShownAndTheWindowStays) {
  // A list where a folder is expected: the settings cannot be read.
  test::WriteTextFile(scratch_.Path() / "config/Orv/Tessaline.conf",
                      "[General]\nDataDirectory=one, two\n");
  TfrmDatabaseDist window(nullptr, Q(scratch_.Path() / "none"));
  window.show();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].kind, TMessageKind::Error);
  EXPECT_TRUE(messages_[0].message.startsWith(QStringLiteral("Error occurred during create: ")))
      << messages_[0].message.toStdString();
  EXPECT_GT(messages_[0].message.size(), QStringLiteral("Error occurred during create: ").size());
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.ExtractTimer->isActive());
}

TEST_F(UpdateWindow, ProgressReportShowsBareNamesAndCountsFiles) {
  TfrmDatabaseDist window(nullptr, Q(scratch_.Path() / "none"));
  QSignalSpy reported(&window, &TfrmDatabaseDist::fileReported);
  zorellz::TZorelLZObj& extract = window.Extract;

  EXPECT_EQ(window.ExtractProgressReport(extract, Record("update", 7), -6), 1);
  EXPECT_EQ(window.FileTotal(), 7);

  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(window.ExtractProgressReport(extract, Record("a\\b\\c.DAT"), -1), 1);
  EXPECT_GE(clock.elapsed(), 24);
  EXPECT_EQ(window.lblFileName->text(), QStringLiteral("c.DAT"));
  EXPECT_EQ(window.ExtractProgressReport(extract, Record("C:x.DAT"), -1), 1);
  EXPECT_EQ(window.lblFileName->text(), QStringLiteral("x.DAT"));
  EXPECT_EQ(window.ExtractProgressReport(extract, Record("/data/.stage/d\xC3\xA9.IDX"), -1), 1);
  EXPECT_EQ(window.lblFileName->text(), QStringLiteral("d\u00E9.IDX"));
  // Windows-1252 from inside an archive.
  EXPECT_EQ(window.ExtractProgressReport(extract, Record("Sub\\caf\xE9.DAT"), -1), 1);
  EXPECT_EQ(window.lblFileName->text(), QStringLiteral("caf\u00E9.DAT"));
  EXPECT_EQ(window.FilesReported(), 4);

  // No name, and every code that does not begin a file: nothing changes.
  EXPECT_EQ(window.ExtractProgressReport(extract, Record(""), -1), 1);
  for (std::int32_t number : {-2, -3, -4, -7, -8, -12, -100, 4096}) {
    EXPECT_EQ(window.ExtractProgressReport(extract, Record("other.DAT"), number), 1) << number;
  }
  EXPECT_EQ(window.lblFileName->text(), QStringLiteral("caf\u00E9.DAT"));
  EXPECT_EQ(window.FilesReported(), 4);
  EXPECT_EQ(window.FileTotal(), 7);
  ASSERT_EQ(reported.size(), 4);
  EXPECT_EQ(reported[0][0].toString(), QStringLiteral("c.DAT"));
}

TEST_F(UpdateWindow, TimerStartsTheRunOnceAfterTwoSeconds) {
  QElapsedTimer clock;
  clock.start();
  TfrmDatabaseDist window(nullptr, Q(scratch_.Path() / "none"));
  QSignalSpy finished(&window, &TfrmDatabaseDist::runFinished);
  ASSERT_TRUE(finished.wait(5000));
  EXPECT_GE(clock.elapsed(), 1990);
  EXPECT_LT(clock.elapsed(), 4000);
  QTest::qWait(200);
  EXPECT_EQ(finished.size(), 1);
  // No settings: the data folder cannot be located.
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].kind, TMessageKind::Information);
  EXPECT_EQ(window.Outcome(), TRunOutcome::kNoDataFolder);
  EXPECT_FALSE(window.ExtractTimer->isActive());
}

TEST_F(UpdateWindow, ScreenshotsBeforeAndDuringTheRun) {
  const fs::path data = UseDataFolder();
  const fs::path update = MakeUpdate({{"Customers.DAT", std::string(3000, 'c')},
                                      {"Customers.IDX", std::string(800, 'i')},
                                      {"Orders.DAT", std::string(5000, 'o')},
                                      {"Welcome.HTML", "<p>Welcome</p>"}});
  for (const char* name : {"Customers.DAT", "Customers.IDX", "Orders.DAT"}) {
    test::WriteTextFile(data / name, "old");
  }
  const QString folder = QStringLiteral(ZORELLZ_SCREENSHOT_DIR);
  ASSERT_TRUE(QDir().mkpath(folder));

  TfrmDatabaseDist window(nullptr, Q(update));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_TRUE(window.grab().save(folder + QStringLiteral("/update_window_created.png")));

  bool saved = false;
  QObject::connect(&window, &TfrmDatabaseDist::fileReported, [&](const QString& name) {
    if (saved) return;
    EXPECT_EQ(window.lblFileName->text(), name);
    saved = window.grab().save(folder + QStringLiteral("/update_window_running.png"));
  });
  window.ExtractTimerTimer();
  EXPECT_TRUE(saved);
  EXPECT_EQ(window.Outcome(), TRunOutcome::kCompleted);
}

TEST(Banner, IsAnIndexedPictureWithAFullPalette) {
  const QImage banner = MakeBannerImage();
  EXPECT_EQ(banner.size(), QSize(kBannerWidth, kBannerHeight));
  EXPECT_EQ(banner.format(), QImage::Format_Indexed8);
  EXPECT_EQ(banner.colorCount(), 256);
  // A picture, not a blank: many colours, the window's orange among them.
  QSet<int> used;
  bool orange = false;
  for (int y = 0; y < banner.height(); ++y) {
    for (int x = 0; x < banner.width(); ++x) {
      used.insert(banner.pixelIndex(x, y));
      const QColor c = banner.pixelColor(x, y);
      orange = orange || (c.red() > 240 && c.green() > 80 && c.green() < 125 && c.blue() < 30);
    }
  }
  EXPECT_GT(used.size(), 30);
  EXPECT_TRUE(orange);
}

TEST(MessagePump, DelayLastsAtLeastItsTime) {
  QElapsedTimer clock;
  clock.start();
  Delay(60);
  EXPECT_GE(clock.elapsed(), 60);
  EXPECT_FALSE(QuitRequested());
}

TEST(MessagePump, DelayEndsOnAQuitRequestAndPassesItOn) {
  qint64 elapsed = -1;
  bool seen = false;
  QTimer::singleShot(0, [&] {
    QTimer::singleShot(50, [] { QCoreApplication::quit(); });
    QElapsedTimer clock;
    clock.start();
    Delay(10000);
    elapsed = clock.elapsed();
    seen = QuitRequested();
  });
  // The main loop ends: the request reached it.
  QApplication::exec();
  EXPECT_GE(elapsed, 40);
  EXPECT_LT(elapsed, 5000);
  EXPECT_TRUE(seen);
  // Handled by the loop, it is no longer pending.
  EXPECT_FALSE(QuitRequested());
  QElapsedTimer clock;
  clock.start();
  Delay(30);
  EXPECT_GE(clock.elapsed(), 30);
}

TEST(Unattended, PrintsEachMessageAsOneLineWithItsKind) {
  EXPECT_EQ(UnattendedMessageLine(TMessageKind::Error, QStringLiteral("The file x is locked.")),
            QStringLiteral("Error: The file x is locked."));
  EXPECT_EQ(UnattendedMessageLine(TMessageKind::Confirmation, QStringLiteral("Done.")),
            QStringLiteral("Confirmation: Done."));
  EXPECT_EQ(UnattendedMessageLine(TMessageKind::Custom, QStringLiteral("a\r\nb\nc\rd\u2028e")),
            QStringLiteral("Custom: a b c d e"));
  EXPECT_EQ(UnattendedMessageLine(TMessageKind::Warning, QString()), QStringLiteral("Warning: "));
  EXPECT_EQ(UnattendedMessageLine(TMessageKind::Information, QStringLiteral("i")),
            QStringLiteral("Information: i"));
}

}  // namespace
}  // namespace tessaline
