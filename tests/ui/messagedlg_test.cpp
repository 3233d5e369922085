#include "ui/KolvaneMessageDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <stdexcept>
#include <vector>

#include "ui/OffBtn.h"

namespace tessaline {
namespace {

using B = TMessageButton;
constexpr TColor kWhite = 0xFFFFFF;

TOffice97Button* ButtonOf(QWidget* form, const char* name) {
  return form->findChild<TOffice97Button*>(QString::fromLatin1(name));
}
QLabel* LabelOf(QWidget* form, const char* name) {
  return form->findChild<QLabel*>(QString::fromLatin1(name));
}

// Keys go where the platform sends them: to the focused control, which hands
// on to the form what it does not take.
void PressKey(TMessageForm* form, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
  QWidget* target = QApplication::focusWidget();
  QTest::keyClick(target != nullptr && target->window() == form ? target : form, key, modifiers);
}

void Click(TMessageForm* form, const char* button) {
  QTest::mouseClick(ButtonOf(form, button), Qt::LeftButton);
}

class MessageDialog : public testing::Test {
 protected:
  void TearDown() override {
    SetMessageFormShownHook(nullptr);
    SetMessageRecorder(nullptr);
    SetHelpRequestHandler(nullptr);
  }

  // Shows the dialog and, as a user would once it is active, answers it.
  static int Show(TMessageButtons buttons, std::function<void(TMessageForm*)> answer,
                  TMessageKind kind = TMessageKind::Confirmation) {
    SetMessageFormShownHook([answer](TMessageForm* form) {
      EXPECT_TRUE(form->isModal());
      ASSERT_TRUE(QTest::qWaitForWindowActive(form));
      answer(form);
    });
    return TKolvaneMessageDlg().Execute(QStringLiteral("Go on?"), kind, buttons, 0, kWhite);
  }
};

TEST_F(MessageDialog, ConfirmationWithOkAloneTakesEnterAndEscape) {
  auto form =
      BuildMessageForm(QStringLiteral("Done."), TMessageKind::Confirmation, {B::OK}, kWhite);
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Confirm"));
  ASSERT_NE(LabelOf(form.get(), "Image"), nullptr);
  EXPECT_FALSE(LabelOf(form.get(), "Image")->pixmap().isNull());
  EXPECT_EQ(LabelOf(form.get(), "Message")->text(), QStringLiteral("Done."));
  EXPECT_EQ(form->findChildren<TOffice97Button*>().size(), 1);
  TOffice97Button* ok = ButtonOf(form.get(), "OK");
  EXPECT_TRUE(ok->Default());
  EXPECT_TRUE(ok->Cancel());
  EXPECT_EQ(ok->FontColor(), 0x0065FFu);
  EXPECT_EQ(form->palette().color(QPalette::Window), QColor(Qt::white));

  EXPECT_EQ(Show({B::OK}, [](TMessageForm* f) { PressKey(f, Qt::Key_Return); }), 1);
  EXPECT_EQ(Show({B::OK}, [](TMessageForm* f) { PressKey(f, Qt::Key_Escape); }), 1);
}

TEST_F(MessageDialog, YesIsDefaultAndNoIsCancel) {
  auto form = BuildMessageForm(QStringLiteral("Go on?"), TMessageKind::Confirmation,
                               {B::Yes, B::No}, kWhite);
  EXPECT_TRUE(ButtonOf(form.get(), "Yes")->Default());
  EXPECT_FALSE(ButtonOf(form.get(), "Yes")->Cancel());
  EXPECT_TRUE(ButtonOf(form.get(), "No")->Cancel());

  EXPECT_EQ(Show({B::Yes, B::No}, [](TMessageForm* f) { PressKey(f, Qt::Key_Return); }), 6);
  EXPECT_EQ(Show({B::Yes, B::No}, [](TMessageForm* f) { PressKey(f, Qt::Key_Escape); }), 7);
}

TEST_F(MessageDialog, AbortRetryIgnoreIgnoresEscapeAndEnterPressesRetry) {
  const TMessageButtons buttons = {B::Abort, B::Retry, B::Ignore};
  auto form = BuildMessageForm(QStringLiteral("Disk error."), TMessageKind::Error, buttons, kWhite);
  EXPECT_TRUE(ButtonOf(form.get(), "Retry")->Default());
  for (auto* button : form->findChildren<TOffice97Button*>()) EXPECT_FALSE(button->Cancel());

  EXPECT_EQ(Show(buttons,
                 [](TMessageForm* f) {
                   PressKey(f, Qt::Key_Escape);
                   QTest::qWait(20);
                   EXPECT_TRUE(f->isVisible());
                   Click(f, "Ignore");
                 }),
            5);
  // The default button holds the focus, so Enter does not press Abort.
  EXPECT_EQ(Show(buttons, [](TMessageForm* f) { PressKey(f, Qt::Key_Return); }), 4);
}

TEST_F(MessageDialog, AcceleratorsAndClicksGiveTheButtonsResults) {
  const TMessageButtons buttons = {B::Yes, B::No, B::NoToAll, B::YesToAll};
  EXPECT_EQ(Show(buttons, [](TMessageForm* f) { PressKey(f, Qt::Key_O); }), 9);
  EXPECT_EQ(Show(buttons, [](TMessageForm* f) { PressKey(f, Qt::Key_A, Qt::AltModifier); }), 10);

  const std::vector<std::pair<const char*, int>> results = {
      {"Yes", 6},   {"No", 7},     {"OK", 1},  {"Cancel", 2},  {"Abort", 3},
      {"Retry", 4}, {"Ignore", 5}, {"All", 8}, {"NoToAll", 9}, {"YesToAll", 10}};
  for (const auto& [name, result] : results) {
    EXPECT_EQ(Show(TMessageButtons::FromBits(0x03FF), [name](TMessageForm* f) { Click(f, name); }),
              result);
  }
}

TEST_F(MessageDialog, CloseBoxGivesCancelResult) {
  EXPECT_EQ(Show({B::Yes, B::No}, [](TMessageForm* f) { f->close(); }), 2);
  EXPECT_EQ(Show({B::Abort, B::Retry, B::Ignore},
                 [](TMessageForm* f) {
                   QCloseEvent close;
                   QApplication::sendEvent(f, &close);
                 }),
            2);
}

TEST_F(MessageDialog, LongMessageWrapsAtHalfTheScreen) {
  const int half_screen = QGuiApplication::primaryScreen()->geometry().width() / 2;
  const QString message = QStringLiteral("The archive could not be read. ").repeated(40);
  auto form = BuildMessageForm(message, TMessageKind::Warning, {B::OK}, kWhite);
  QLabel* label = LabelOf(form.get(), "Message");
  EXPECT_LE(label->width(), half_screen);
  EXPECT_GT(label->width(), half_screen - 200);
  EXPECT_GT(label->height(), 3 * QFontMetrics(form->font()).height());
  // The label has room for all of its text, wrapped as it is drawn.
  const QRect needed = QFontMetrics(label->font())
                           .boundingRect(QRect(0, 0, label->width(), 100000),
                                         Qt::TextWordWrap | Qt::TextExpandTabs, message);
  EXPECT_EQ(needed.size(), label->size());
}

TEST_F(MessageDialog, NarrowMessageTakesTheButtonRowWidth) {
  auto form = BuildMessageForm(QStringLiteral("Hi"), TMessageKind::Information,
                               {B::Yes, B::No, B::Cancel}, kWhite);
  QLabel* image = LabelOf(form.get(), "Image");
  QLabel* label = LabelOf(form.get(), "Message");
  // The row spans the form between equal margins; the icon keeps to the left
  // margin and the message follows it closely.
  EXPECT_EQ(ButtonOf(form.get(), "Yes")->x(), image->x());
  EXPECT_EQ(form->width() - ButtonOf(form.get(), "Cancel")->geometry().right() - 1, image->x());
  EXPECT_GT(label->x(), image->geometry().right());
  EXPECT_LT(label->x(), image->geometry().right() + 40);
  EXPECT_EQ(label->y(), image->y());
}

TEST_F(MessageDialog, CustomMessageHasApplicationTitleAndNoIcon) {
  const QString saved = QApplication::applicationDisplayName();
  QApplication::setApplicationDisplayName(QStringLiteral("Tessaline Database Update Utility"));
  auto form = BuildMessageForm(QStringLiteral("Hi"), TMessageKind::Custom, {B::OK}, kWhite);
  QApplication::setApplicationDisplayName(saved);

  EXPECT_EQ(form->windowTitle(), QStringLiteral("Tessaline Database Update Utility"));
  EXPECT_EQ(LabelOf(form.get(), "Image"), nullptr);
  // The message starts at the left margin, as the wider button row does.
  EXPECT_EQ(LabelOf(form.get(), "Message")->x(), ButtonOf(form.get(), "OK")->x());
}

TEST_F(MessageDialog, HelpAsksForTopicAndKeepsDialogOpen) {
  std::vector<std::pair<int, QString>> requests;
  SetHelpRequestHandler(
      [&](int context, const QString& file) { requests.emplace_back(context, file); });
  SetMessageFormShownHook([](TMessageForm* form) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    Click(form, "Help");
    PressKey(form, Qt::Key_H);
    PressKey(form, Qt::Key_H, Qt::AltModifier);
    QTest::qWait(20);
    EXPECT_TRUE(form->isVisible());
    Click(form, "OK");
  });
  EXPECT_EQ(TKolvaneMessageDlg().ExecutePos(QStringLiteral("Need help?"), TMessageKind::Information,
                                            {B::OK, B::Help}, 42, -1, -1,
                                            QStringLiteral("update.hlp"), kWhite),
            1);
  EXPECT_EQ(requests,
            (std::vector<std::pair<int, QString>>(3, {42, QStringLiteral("update.hlp")})));
}

TEST_F(MessageDialog, ExecutePosMovesOnlyTheGivenEdges) {
  QPoint seen;
  SetMessageFormShownHook([&seen](TMessageForm* form) {
    seen = form->pos();
    form->close();
  });
  TKolvaneMessageDlg dialog;
  dialog.ExecutePos(QStringLiteral("Hi"), TMessageKind::Custom, {B::OK}, 0, 17, 23, {}, kWhite);
  EXPECT_EQ(seen, QPoint(17, 23));
  dialog.ExecutePos(QStringLiteral("Hi"), TMessageKind::Custom, {B::OK}, 0, 17, -1, {}, kWhite);
  EXPECT_EQ(seen.y(),
            BuildMessageForm(QStringLiteral("Hi"), TMessageKind::Custom, {B::OK}, kWhite)->y());
}

TEST_F(MessageDialog, FormIsFreedEvenWhenShowingRaises) {
  QPointer<TMessageForm> shown;
  SetMessageFormShownHook([&shown](TMessageForm* form) {
    shown = form;
    throw std::runtime_error("answering failed");
  });
  EXPECT_THROW(
      TKolvaneMessageDlg().Execute(QStringLiteral("Hi"), TMessageKind::Custom, {B::OK}, 0, kWhite),
      std::runtime_error);
  EXPECT_TRUE(shown.isNull());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MessageDialog, RecorderAnswersWithoutShowing) {
  std::vector<TMessageRecord> records;
  int shown = 0;
  SetMessageFormShownHook([&shown](TMessageForm* form) {
    ++shown;
    form->close();
  });
  SetMessageRecorder([&records](const TMessageRecord& record) -> std::optional<int> {
    records.push_back(record);
    if (record.kind == TMessageKind::Error) return std::nullopt;  // this one is shown
    return 1;
  });
  TKolvaneMessageDlg dialog;
  EXPECT_EQ(
      dialog.Execute(QStringLiteral("Completed."), TMessageKind::Confirmation, {B::OK}, 0, kWhite),
      1);
  EXPECT_EQ(shown, 0);
  EXPECT_EQ(dialog.Execute(QStringLiteral("Locked."), TMessageKind::Error, {B::OK}, 7, 0x00FF00),
            2);
  EXPECT_EQ(shown, 1);

  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].message, QStringLiteral("Completed."));
  EXPECT_EQ(records[0].kind, TMessageKind::Confirmation);
  EXPECT_EQ(records[0].buttons.Bits(), 0x0004);
  EXPECT_EQ(records[0].background, kWhite);
  EXPECT_EQ(records[1].help_context, 7);
  EXPECT_EQ(records[1].background, 0x00FF00u);
}

TEST_F(MessageDialog, ButtonWidthsAreMeasuredOnceWithTheFirstFont) {
  constexpr auto kYesToAll = static_cast<std::size_t>(B::YesToAll);
  constexpr auto kNo = static_cast<std::size_t>(B::No);
  ResetButtonWidthsForTesting();
  BuildMessageForm(QStringLiteral("Hi"), TMessageKind::Custom, {B::YesToAll}, kWhite);
  const int yes_to_all = MeasuredButtonWidths()[kYesToAll];
  EXPECT_GT(yes_to_all, 8);
  EXPECT_EQ(MeasuredButtonWidths()[kNo], 0);

  // With a far wider message font, YesToAll keeps its width; No is new.
  const QFont saved = QApplication::font("QMessageBox");
  QFont wide = saved;
  wide.setLetterSpacing(QFont::AbsoluteSpacing, 30);
  QApplication::setFont(wide, "QMessageBox");
  BuildMessageForm(QStringLiteral("Hi"), TMessageKind::Custom, {B::No, B::YesToAll}, kWhite);
  QApplication::setFont(saved, "QMessageBox");
  EXPECT_EQ(MeasuredButtonWidths()[kYesToAll], yes_to_all);
  EXPECT_GT(MeasuredButtonWidths()[kNo], 2 * 30 + 8);
}

TEST_F(MessageDialog, SavesScreenshotsOfEachKind) {
  const QString folder = QStringLiteral(ZORELLZ_SCREENSHOT_DIR "/messagedlg/");
  ASSERT_TRUE(QDir().mkpath(folder));
  struct TShot {
    const char* file;
    TMessageKind kind;
    TMessageButtons buttons;
    const char* message;
  };
  const std::vector<TShot> shots = {
      {"warning", TMessageKind::Warning, {B::OK}, "The disk is almost full."},
      {"error",
       TMessageKind::Error,
       {B::OK},
       "The Database Distribution Package could not complete. The file "
       "/var/lib/tessaline/data/CUSTOMERS.DAT is locked."},
      {"information",
       TMessageKind::Information,
       {B::OK},
       "The Tessaline Data Folder could not be located."},
      {"confirmation", TMessageKind::Confirmation, {B::OK}, "The Tessaline Update has completed."},
      {"custom", TMessageKind::Custom, {B::OK}, "A message without an icon & with an ampersand."},
      {"yes_no_cancel",
       TMessageKind::Confirmation,
       {B::Yes, B::No, B::Cancel},
       "Replace the existing file?"},
      {"abort_retry_ignore",
       TMessageKind::Error,
       {B::Abort, B::Retry, B::Ignore},
       "The disk could not be read.\n\nInsert the next disk and try again."},
      {"yes_all_no_help",
       TMessageKind::Warning,
       {B::Yes, B::No, B::NoToAll, B::YesToAll, B::Help},
       "Overwrite\tREADME.HTML?"},
  };
  for (const TShot& shot : shots) {
    auto form = BuildMessageForm(QString::fromUtf8(shot.message), shot.kind, shot.buttons, kWhite);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_TRUE(form->grab().save(folder + QLatin1String(shot.file) + ".png")) << shot.file;
  }
}

}  // namespace
}  // namespace tessaline
