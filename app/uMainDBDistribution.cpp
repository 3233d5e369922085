// The window: its components, its creation and destruction, and the handlers
// of the archive component's events.  The run itself is in UpdateRun.cpp.
#include "app/uMainDBDistribution.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QUtf8StringView>
#include <array>
#include <exception>

#include "app/Banner.h"
#include "app/MessagePump.h"
#include "app/Unattended.h"
#include "app/UpdateLog.h"
#include "app/UpdateMessages.h"
#include "platform/Names.h"
#include "platform/System.h"
#include "platform/Termination.h"
#include "ui/AppStrings.h"
#include "ui/UiColor.h"
#include "zorellz/component/PropertyStream.h"
#include "zorellz/engine/ResultText.h"

namespace tessaline {
namespace {

constexpr int kClientWidth = 643;
constexpr int kClientHeight = 158;
constexpr int kTimerInterval = 2000;
constexpr int kPauseBeforeFile = 20;
constexpr int kPauseAfterFile = 4;
constexpr TColor kTitleColor = 26111;  // orange: red 255, green 101, blue 0
constexpr TColor kMessageBackground = 0xFFFFFF;

QFont WindowFont(int pixel_size) {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixel_size);
  return font;
}

// The label's box was laid out for the named face; a wider face standing in
// for it is narrowed until the caption fits again, keeping its height.
void NarrowFontToFit(QLabel* label) {
  constexpr int kNarrowest = 50;  // percent of the normal width
  QFont font = label->font();
  for (int stretch = 100; stretch > kNarrowest; --stretch) {
    font.setStretch(stretch);
    if (QFontMetrics(font).horizontalAdvance(label->text()) <= label->width()) break;
  }
  label->setFont(font);
}

void SetBackground(QWidget* widget, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, color);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

void SetTextColor(QWidget* widget, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, color);
  widget->setPalette(palette);
}

QLabel* MakeTitleLabel(QWidget* parent) {
  auto* label = new QLabel(AppString(TAppString::kTitleLabel), parent);
  label->setObjectName(QStringLiteral("lblTitle"));
  label->setGeometry(8, 15, 244, 37);
  label->setFont(WindowFont(35));
  NarrowFontToFit(label);
  SetBackground(label, Qt::white);
  SetTextColor(label, ToQColor(kTitleColor));
  return label;
}

QLabel* MakeBanner(QWidget* parent) {
  auto* image = new QLabel(parent);
  image->setObjectName(QStringLiteral("imgKlvne"));
  image->setPixmap(QPixmap::fromImage(MakeBannerImage()));
  image->setGeometry(287, 0, kBannerWidth, kBannerHeight);
  return image;
}

// The default shape: a rectangle with a black pen and a white brush, which
// at two pixels high is all pen.
QFrame* MakeTitleRule(QWidget* parent) {
  auto* rule = new QFrame(parent);
  rule->setObjectName(QStringLiteral("shpTitleLine"));
  rule->setFrameStyle(QFrame::Box | QFrame::Plain);
  rule->setLineWidth(1);
  SetBackground(rule, Qt::white);
  SetTextColor(rule, Qt::black);
  rule->setGeometry(0, 52, kClientWidth, 2);
  return rule;
}

QLabel* MakeCurrentFileLabel(QWidget* parent) {
  auto* label = new QLabel(AppString(TAppString::kCurrentFileLabel), parent);
  label->setObjectName(QStringLiteral("lblCurrentFile"));
  label->setGeometry(8, 80, 50, 13);
  label->resize(label->sizeHint());  // sizes itself to its caption
  return label;
}

// Transparent, and of fixed size: long names are cut at its edge.
QLabel* MakeFileNameLabel(QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QStringLiteral("lblFileName"));
  label->setGeometry(11, 96, 541, 13);
  label->setAutoFillBackground(false);
  return label;
}

// The stored settings of Extract, in the order the form description keeps them.
void ApplyExtractSettings(zorellz::TZorelLZObj& extract) {
  using zorellz::TStoredIdent;
  const std::array<zorellz::TStoredProperty, 11> settings = {{
      {"RecurseDirs", TStoredIdent{"LZFullRecurse"}},
      {"DearchiveRecurse", true},
      {"CheckFileCRCs", true},
      {"ExtractUnExpanded", false},
      {"CompressionChoice", TStoredIdent{"LZMaxCompression"}},
      {"ExtensionstoStore",
       std::string(".ZIP|.PKK|.ZPA|.GIF|.CAB|.GZ|.LZH|.LZA|.LZZ|.LZ|.PAK|.ZOO|.Z|.ARC|.ARJ|.AR7")},
      {"DeArchiveMask", std::string("*.*")},
      {"MakeSFXArchive", false},
      {"SpanDisks", false},
      {"SpanDiskSize", std::int32_t{-1}},
      {"SpanDiskType", TStoredIdent{"FloppyDiskOther"}},
  }};
  zorellz::ApplyStoredProperties(extract, settings);
  // The update is extracted into a staging folder, and the commit step makes
  // every staged file durable in one batch (SyncFileSystemOf) before it moves
  // the first one into place: a flush of each file here would only repeat it.
  extract.SetDurable(false);
}

// A name the engine reports: native (UTF-8) for extracted files, Windows-1252
// when it comes from inside an archive.
QString ReportedNameText(const std::string& name) {
  if (QUtf8StringView(name).isValidUtf8()) return QString::fromStdString(name);
  return QString::fromStdString(zorellz::Cp1252ToUtf8(name));
}

// Everything after the last backslash, slash or drive colon.
std::string NamePart(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/:");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace

int ExitStatusOf(TRunOutcome outcome) {
  switch (outcome) {
    case TRunOutcome::kCompleted:
      return 0;
    case TRunOutcome::kHelpPagesLeft:
      return 2;
    default:
      return 1;
  }
}

TfrmDatabaseDist::TfrmDatabaseDist(QWidget* parent, const QString& update_file)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      update_file_(update_file.isEmpty() ? QCoreApplication::applicationFilePath() : update_file) {
  setWindowTitle(AppString(TAppString::kMainWindowCaption));
  setFixedSize(kClientWidth, kClientHeight);
  setFont(WindowFont(11));
  SetBackground(this, Qt::white);
  SetTextColor(this, ToQColor(clWindowText));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->geometry().center() - rect().center());
  }

  lblTitle = MakeTitleLabel(this);
  imgKlvne = MakeBanner(this);
  shpTitleLine = MakeTitleRule(this);
  lblCurrentFile = MakeCurrentFileLabel(this);
  lblFileName = MakeFileNameLabel(this);

  ApplyExtractSettings(Extract);
  // Entries are decoded on every core; files are still put in place one by
  // one, in the update's order, only when complete and verified.
  Extract.SetJobs(static_cast<std::int32_t>(zorellz::AvailableCores()));
  Extract.OnProgressReport = [this](zorellz::TZorelLZObj& sender,
                                    const zorellz::TLZReportRec& record, std::int32_t number) {
    return ExtractProgressReport(sender, record, number);
  };
  Extract.OnViewArchive = [this](zorellz::TZorelLZObj& sender,
                                 zorellz::PZorelLZArchiveHeader archive_info,
                                 std::int32_t current_num) {
    return ExtractViewArchive(sender, archive_info, current_num);
  };

  ExtractTimer = new QTimer(this);
  ExtractTimer->setObjectName(QStringLiteral("ExtractTimer"));
  ExtractTimer->setTimerType(Qt::PreciseTimer);
  // Nobody watches an unattended run start: it starts at once.
  ExtractTimer->setInterval(UnattendedModeRequested() ? 0 : kTimerInterval);
  connect(ExtractTimer, &QTimer::timeout, this, &TfrmDatabaseDist::ExtractTimerTimer);
  ExtractTimer->start();

  QMMsgDlg = new TKolvaneMessageDlg(this);
  QMMsgDlg->setObjectName(QStringLiteral("QMMsgDlg"));

  FormCreate();
}

TfrmDatabaseDist::~TfrmDatabaseDist() {
  FormDestroy();
}

void TfrmDatabaseDist::FormCreate() {
  // The hourglass stays for the life of the window, dialogs included.
  if (!cursor_set_) QApplication::setOverrideCursor(Qt::WaitCursor);
  cursor_set_ = true;
  FEnvironment = std::make_unique<TOrvLiteEnvironmentObject>();
  FArchiveNames.clear();
  try {
    Extract.SetDearchiveRecurse(true);
    Extract.SetTargetDirectory(FEnvironment->GetDataDirectory());
    Extract.SetSFXArchiveName(update_file_.toStdString());
    Extract.SetArchiveFileSpecs("*.*");
    const std::int32_t result = Extract.ViewSFXArchive();
    view_failure_.reset();
    if (result < 0) view_failure_ = zorellz::LZReadResultCause(result);
  } catch (const std::exception& error) {
    // Whatever stopped creation also kept the update from being viewed.
    view_failure_ = error.what();
    ShowMessage(
        UpdateMessage(TUpdateMessage::kCreateFailed).arg(QString::fromStdString(error.what())),
        TMessageKind::Error);
  }
  FFilesReported = 0;
  FFileTotal = 0;
}

void TfrmDatabaseDist::FormDestroy() {
  FArchiveNames.clear();
  FEnvironment.reset();
  if (cursor_set_) QApplication::restoreOverrideCursor();
  cursor_set_ = false;
}

std::int32_t TfrmDatabaseDist::ExtractViewArchive(zorellz::TZorelLZObj& sender,
                                                  zorellz::PZorelLZArchiveHeader /*archive_info*/,
                                                  std::int32_t current_num) {
  if (current_num >= 1) {
    std::string name;
    sender.FullLZName(current_num, name);
    FArchiveNames.push_back(name);
  }
  return 1;
}

std::int32_t TfrmDatabaseDist::ExtractProgressReport(zorellz::TZorelLZObj& /*sender*/,
                                                     const zorellz::TLZReportRec& current_record,
                                                     std::int32_t number) {
  // A termination request ends the extraction into the staging folder,
  // which the run then discards.
  if (zorellz::PendingTerminationRequest() != 0) throw TExtractionInterrupted{};
  // The engine is in the middle of writing; an exception here would leave
  // its operation half done, so it is kept for the run to report.
  try {
    switch (number) {
      case zorellz::kLZReportSummary:
        FFileTotal = current_record.FileAttr;
        break;
      case zorellz::kLZReportFileBegins: {
        if (current_record.FileName.empty()) break;
        // The pauses keep a window responsive; without one there is
        // nothing to wait for.
        const bool window_shown = !UnattendedModeRequested();
        if (window_shown) Delay(kPauseBeforeFile);
        const QString name = ReportedNameText(NamePart(current_record.FileName));
        lblFileName->setText(name);
        ++FFilesReported;
        FBytesReported += current_record.UncompressedSize;
        ShowUnattendedProgress(FFilesReported, FFileTotal, FBytesReported);
        emit fileReported(name);
        if (window_shown) Delay(kPauseAfterFile);
        break;
      }
      case zorellz::kLZCRCMismatch:
        failed_entry_ = current_record.FileName;
        break;
      default:
        break;
    }
  } catch (const std::exception& error) {
    if (report_error_.empty()) report_error_ = error.what();
  }
  return 1;
}

void TfrmDatabaseDist::closeEvent(QCloseEvent* event) {
  if (outcome_ == TRunOutcome::kRunning) {
    // The run is using the window; it closes it when it has finished.
    close_requested_ = true;
    event->ignore();
    return;
  }
  ExtractTimer->stop();  // closed before the run: there is none
  event->accept();
}

void TfrmDatabaseDist::ShowMessage(const QString& text, TMessageKind kind) {
  LogLine(UnattendedMessageLine(kind, text));
  QMMsgDlg->Execute(text, kind, {TMessageButton::OK}, 0, kMessageBackground);
}

void TfrmDatabaseDist::Finish(TRunOutcome outcome) {
  outcome_ = outcome;
  FStaging.reset();
  FUpdateLock.Release();
  emit runFinished();
  close();
}

}  // namespace tessaline
