// The owner-drawn button driven by simulated mouse and keyboard input on the
// offscreen platform, plus screenshots of every state and look.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "gtest/gtest.h"
#include "ui/OffBtn.h"

namespace tessaline {
namespace {

// A form that offers the keys its focused control leaves to its buttons,
// and nothing else: Escape closes it only through a Cancel button.
class TTestForm : public QDialog {
 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (!DispatchDialogKey(this, event)) event->ignore();
  }
};

TOffice97Button* AddButton(QWidget* form, const QString& caption, int modalResult, int x) {
  auto* button = new TOffice97Button(form);
  button->SetCaption(caption);
  button->SetModalResult(modalResult);
  button->move(x, 10);
  return button;
}

void ShowActive(QWidget* window) {
  window->resize(320, 120);
  window->show();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  // The platform may have sent an enter event to the button under the
  // pointer at show time; pass over every button and park the pointer in a
  // free corner so that each one has seen the pointer leave.
  for (TOffice97Button* button : window->findChildren<TOffice97Button*>()) {
    QTest::mouseMove(button, QPoint(2, 2));
  }
  QTest::mouseMove(window, QPoint(319, 119));
}

// Records ButtonState at every paint of a button.
class TPaintRecorder : public QObject {
 public:
  explicit TPaintRecorder(TOffice97Button* button) : button_(button) {
    button->installEventFilter(this);
  }
  std::vector<int> states;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) states.push_back(button_->ButtonState());
    return false;
  }

 private:
  TOffice97Button* button_;
};

const QPoint kInside(20, 10);
const QPoint kOutside(-30, 10);  // on the form, left of the button

class OffBtnForm : public testing::Test {
 protected:
  void SetUp() override {
    ok_ = AddButton(&form_, "OK", 1, 10);
    cancel_ = AddButton(&form_, "Cancel", 2, 90);
    retry_ = AddButton(&form_, "&Retry", 4, 170);
    help_ = AddButton(&form_, "&Help", 0, 250);
    ok_->SetDefault(true);
    cancel_->SetCancel(true);
    for (TOffice97Button* b : {ok_, cancel_, retry_, help_}) {
      b->OnClick = [this](TOffice97Button* sender) { clicked_.push_back(sender); };
    }
    ShowActive(&form_);
  }

  TTestForm form_;
  TOffice97Button *ok_, *cancel_, *retry_, *help_;
  std::vector<TOffice97Button*> clicked_;
};

TEST_F(OffBtnForm, DragOffAndBackFollowsThePointerAndReleaseOffDoesNotClick) {
  TPaintRecorder recorder(cancel_);
  auto paintNow = [] { QCoreApplication::processEvents(); };
  QTest::mousePress(cancel_, Qt::LeftButton, {}, kInside);
  paintNow();
  EXPECT_EQ(cancel_->ButtonState(), kStatePressed);
  EXPECT_TRUE(cancel_->hasFocus());
  QTest::mouseMove(cancel_, kOutside);
  paintNow();
  EXPECT_EQ(cancel_->ButtonState(), kStatePressedOff);
  QTest::mouseMove(cancel_, kInside);
  paintNow();
  EXPECT_EQ(cancel_->ButtonState(), kStatePressed);
  QTest::mouseMove(cancel_, kOutside);
  QTest::mouseRelease(cancel_, Qt::LeftButton, {}, kOutside);
  paintNow();
  EXPECT_EQ(cancel_->ButtonState(), kStateNormal);
  EXPECT_TRUE(clicked_.empty());
  EXPECT_TRUE(form_.isVisible());
  // Pressed, normal frame off the button, pressed again, normal.
  std::vector<int> changes;
  for (int s : recorder.states) {
    if (changes.empty() || changes.back() != s) changes.push_back(s);
  }
  const std::vector<int> dragged{kStatePressed, kStatePressedOff, kStatePressed};
  EXPECT_NE(std::search(changes.begin(), changes.end(), dragged.begin(), dragged.end()),
            changes.end());
}

TEST_F(OffBtnForm, MouseClickEndsDialogWithModalResult) {
  QTest::mouseClick(retry_, Qt::LeftButton, {}, kInside);
  ASSERT_EQ(clicked_, std::vector<TOffice97Button*>{retry_});
  EXPECT_EQ(form_.result(), 4);
  EXPECT_FALSE(form_.isVisible());
}

TEST_F(OffBtnForm, HelpWithModalResultZeroNeverClosesTheDialog) {
  QTest::mouseClick(help_, Qt::LeftButton, {}, kInside);
  QTest::keyClick(help_, Qt::Key_H);
  EXPECT_EQ(clicked_, (std::vector<TOffice97Button*>{help_, help_}));
  EXPECT_TRUE(form_.isVisible());
  EXPECT_EQ(form_.result(), 0);
}

TEST_F(OffBtnForm, HoverFiresEnterAndExitOnce) {
  int enters = 0, exits = 0;
  retry_->OnMouseEnter = [&](TOffice97Button*) { ++enters; };
  retry_->OnMouseExit = [&](TOffice97Button*) { ++exits; };
  QTest::mouseMove(retry_, kInside);
  QTest::mouseMove(retry_, kInside + QPoint(5, 0));
  EXPECT_EQ(retry_->ButtonState(), kStateHot);
  QTest::mouseMove(retry_, kOutside);
  EXPECT_EQ(retry_->ButtonState(), kStateNormal);
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(exits, 1);
}

TEST_F(OffBtnForm, ClickResetsTheOtherButtonsOfTheForm) {
  QTest::mouseMove(retry_, kInside);
  ASSERT_EQ(retry_->ButtonState(), kStateHot);
  help_->Click();
  EXPECT_EQ(retry_->ButtonState(), kStateNormal);
}

TEST_F(OffBtnForm, EnterOnFocusedButtonShowsPressedFaceThenClicks) {
  cancel_->setFocus();
  ASSERT_TRUE(cancel_->IsActive());
  TPaintRecorder recorder(cancel_);
  int stateAtClick = -1;
  cancel_->OnClick = [&](TOffice97Button* b) {
    stateAtClick = b->ButtonState();
    clicked_.push_back(b);
  };
  QTest::keyClick(cancel_, Qt::Key_Return);
  ASSERT_EQ(clicked_, std::vector<TOffice97Button*>{cancel_});
  ASSERT_FALSE(recorder.states.empty());
  EXPECT_EQ(recorder.states.front(), kStatePressed);
  EXPECT_EQ(stateAtClick, kStateNormal);  // restored before OnClick
  EXPECT_EQ(form_.result(), 2);

  ShowActive(&form_);
  retry_->setFocus();
  QTest::keyClick(retry_, Qt::Key_Space);
  EXPECT_EQ(clicked_.back(), retry_);
}

TEST_F(OffBtnForm, EscapeReachesOnlyTheCancelButton) {
  retry_->setFocus();
  QTest::keyClick(retry_, Qt::Key_Escape, Qt::ShiftModifier);  // a shift key blocks it
  EXPECT_TRUE(clicked_.empty());
  TPaintRecorder recorder(cancel_);
  QTest::keyClick(retry_, Qt::Key_Escape);
  EXPECT_EQ(clicked_, std::vector<TOffice97Button*>{cancel_});
  EXPECT_EQ(recorder.states.front(), kStatePressed);
  EXPECT_EQ(form_.result(), 2);

  cancel_->SetCancel(false);  // with no Cancel button Escape does nothing
  ShowActive(&form_);
  QTest::keyClick(retry_, Qt::Key_Escape);
  EXPECT_EQ(clicked_.size(), 1u);
}

TEST_F(OffBtnForm, AcceleratorClicksItsButton) {
  ok_->setFocus();
  QTest::keyClick(ok_, Qt::Key_R);
  EXPECT_EQ(clicked_, std::vector<TOffice97Button*>{retry_});
  EXPECT_EQ(form_.result(), 4);
}

TEST_F(OffBtnForm, AcceleratorNeedsAButtonThatCanTakeFocus) {
  retry_->setEnabled(false);
  help_->SetCaption("Ampersand && more");  // "&&" is a literal ampersand
  EXPECT_FALSE(retry_->DialogChar('r'));
  EXPECT_FALSE(help_->DialogChar('&'));
  EXPECT_FALSE(help_->DialogChar(' '));
  ok_->setFocus();
  QTest::keyClick(ok_, Qt::Key_R, Qt::ControlModifier);
  EXPECT_TRUE(clicked_.empty());
  EXPECT_TRUE(form_.isVisible());
}

TEST_F(OffBtnForm, AltF4ResetsTheStateAndIsPassedOn) {
  QTest::mouseMove(retry_, kInside);
  ASSERT_EQ(retry_->ButtonState(), kStateHot);
  EXPECT_FALSE(retry_->DialogKey(Qt::Key_F4, Qt::AltModifier));
  EXPECT_EQ(retry_->ButtonState(), kStateNormal);
  EXPECT_TRUE(clicked_.empty());
}

TEST(OffBtnKeys, DefaultButtonTakesEnterWhileAnotherControlHasFocus) {
  TTestForm form;
  auto* edit = new QLineEdit(&form);
  edit->move(10, 60);
  TOffice97Button* ok = AddButton(&form, "OK", 1, 10);
  TOffice97Button* no = AddButton(&form, "No", 7, 90);
  ok->SetDefault(true);
  ShowActive(&form);
  edit->setFocus();
  EXPECT_TRUE(ok->IsActive());
  EXPECT_FALSE(no->IsActive());
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(form.result(), 1);
}

TEST(OffBtnKeys, FocusLossEndsTheActiveState) {
  QWidget form;
  TOffice97Button* a = AddButton(&form, "A", 0, 10);
  TOffice97Button* b = AddButton(&form, "B", 0, 90);
  ShowActive(&form);
  a->setFocus();
  EXPECT_TRUE(a->IsActive());
  b->setFocus();
  EXPECT_FALSE(a->IsActive());
  EXPECT_TRUE(b->IsActive());
  EXPECT_FALSE(a->DialogKey(Qt::Key_Return, {}));
}

TEST(OffBtnProperties, ControlTypeMovesASidewaysImageToTheTopAndShowsIt) {
  TOffice97Button b;
  b.SetPosition(TGlyphPosition::bsRight);
  b.SetControlType(TOffBtnType::bsUpButton);
  EXPECT_EQ(b.Position(), TGlyphPosition::bsTop);
  EXPECT_TRUE(b.ShowGlyph());
  b.SetPosition(TGlyphPosition::bsLeft);
  EXPECT_EQ(b.Position(), TGlyphPosition::bsTop);
  b.SetPosition(TGlyphPosition::bsBottom);
  EXPECT_EQ(b.Position(), TGlyphPosition::bsBottom);
  b.SetControlType(TOffBtnType::bsButton);  // the 2000 look hides a push button's image
  EXPECT_FALSE(b.ShowGlyph());
  b.SetPosition(TGlyphPosition::bsRight);
  EXPECT_EQ(b.Position(), TGlyphPosition::bsRight);
}

TEST(OffBtnProperties, Office2000LookSwitchesColoursAndImage) {
  TOffice97Button b;
  b.SetActiveColor(0x123456);
  b.SetInactiveColor(0x111111);
  b.SetOffice2000Look(false);
  EXPECT_EQ(b.Color(), 0xE1FFFFu);
  EXPECT_TRUE(b.ShowGlyph());
  EXPECT_EQ(b.ActiveColor(), 0x808080u);
  EXPECT_EQ(b.InactiveColor(), 0xC0C0C0u);
  b.SetActiveOutlineColor2(0x222222);
  b.SetOffice2000Look(true);
  EXPECT_EQ(b.Color(), 0xCCFFFFu);
  EXPECT_EQ(b.ActiveOutlineColor2(), 0xD6E7E7u);
  EXPECT_FALSE(b.ShowGlyph());
  b.SetColor(0x0000FF);
  b.SetOffice2000Look(true);  // no change, nothing reset
  EXPECT_EQ(b.Color(), 0x0000FFu);
}

TEST(OffBtnProperties, AboutShowsABoxAndReturnsToNone) {
  TOffice97Button b;
  QString text;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    text = box->text();
    box->accept();
  });
  b.SetAbout(TOffBtnAbout::abAbout);
  EXPECT_TRUE(text.contains("TOffice97Button"));
  EXPECT_EQ(b.About(), TOffBtnAbout::abNone);
}

TEST(OffBtnProperties, ActionLendsCaptionAndRunsWithoutOnClick) {
  QAction action("&Apply");
  int triggered = 0;
  QObject::connect(&action, &QAction::triggered, [&] { ++triggered; });
  TOffice97Button b;
  b.SetAction(&action);
  EXPECT_EQ(b.Caption(), "&Apply");
  action.setText("Re&do");
  EXPECT_EQ(b.Caption(), "Re&do");
  b.Click();
  EXPECT_EQ(triggered, 1);
  b.OnClick = [](TOffice97Button*) {};
  b.Click();
  EXPECT_EQ(triggered, 1);
}

TEST(OffBtnHeight, AutoHeightFollowsCaptionAndImage) {
  TOffice97Button b;
  b.show();  // a hidden widget hears of its new width only when shown
  QFont font = b.font();
  font.setPixelSize(11);
  b.setFont(font);
  const int textHeight = QFontMetrics(font).height();
  b.SetCaption("OK");
  b.SetAutoHeight(true);
  EXPECT_EQ(b.height(), textHeight + 10);

  b.SetCaption("A caption far too long for one line of this button");
  const int lines = (b.height() - 10) / textHeight;
  EXPECT_GE(lines, 3);
  EXPECT_EQ(b.height(), lines * QFontMetrics(font).height() + 10);
  b.resize(400, b.height());  // wider: fewer lines
  EXPECT_EQ(b.height(), textHeight + 10);

  b.SetCaption("OK");
  b.SetOffice2000Look(false);  // shows the 16-pixel built-in image
  b.SetPosition(TGlyphPosition::bsTop);
  EXPECT_EQ(b.height(), textHeight + 16 + 4 + 10);
  b.SetWordWrap(false);
  EXPECT_EQ(b.height(), textHeight + 16 + 4 + 10);
}

TEST(OffBtnImages, BuiltInImagesAreKeyedByTheirBottomLeftPixel) {
  for (int n = 1; n <= 24; ++n) {
    const QImage image = OfficeImage(QString("OFFICE_%1").arg(n));
    ASSERT_FALSE(image.isNull()) << n;
    const QRgb key = TransparentKey(image, true, 0);
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) drawn += (image.pixel(x, y) & 0xFFFFFF) != key;
    }
    EXPECT_GT(drawn, 8) << n;
  }
  EXPECT_TRUE(OfficeImage("OFFICE_25").isNull());
  EXPECT_TRUE(OfficeImage("OFFICE_0").isNull());
  EXPECT_TRUE(OfficeImage("OFFICE_").isNull());
}

TEST(OffBtnImages, DisabledGlyphIsEmbossedOnATransparentGround) {
  QImage glyph(4, 4, QImage::Format_RGB32);
  glyph.fill(0xFFFF00FF);            // key colour, taken from the bottom-left pixel
  glyph.setPixel(1, 1, 0xFF000000);  // black pixels are part of the glyph too
  glyph.setPixel(3, 3, 0xFF00FF00);  // highlight would fall outside
  const QImage out =
      EmbossDisabledImage(glyph, TransparentKey(glyph, true, 0), Qt::white, Qt::darkGray);
  EXPECT_EQ(out.pixel(1, 1), QColor(Qt::darkGray).rgba());
  EXPECT_EQ(out.pixel(2, 2), QColor(Qt::white).rgba());
  EXPECT_EQ(out.pixel(3, 3), QColor(Qt::darkGray).rgba());
  EXPECT_EQ(qAlpha(out.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(out.pixel(0, 3)), 0);
  EXPECT_TRUE(EmbossDisabledImage(QImage(), 0, Qt::white, Qt::gray).isNull());
}

int CountPixels(const QImage& image, const QRect& area, QRgb color) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      count += (image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF);
    }
  }
  return count;
}

TEST(OffBtnPaint, WithoutImagesEveryVariantPaintsFaceCaptionFocusAndFrame) {
  QWidget form;
  auto* edit = new QLineEdit(&form);  // holds the focus, so the default button marks it
  edit->move(0, 80);
  auto* b = new TOffice97Button(&form);
  b->SetImageSource(nullptr);
  b->SetCaption("Xy");
  b->SetDefault(true);
  b->SetFontColor(0x0000FF);  // red text
  b->resize(70, 30);
  ShowActive(&form);
  edit->setFocus();
  for (TOffBtnType type :
       {TOffBtnType::bsButton, TOffBtnType::bsRadioButton, TOffBtnType::bsUpButton,
        TOffBtnType::bsDownButton, TOffBtnType::bsHintButton}) {
    b->SetControlType(type);
    const QImage shot = b->grab().toImage();
    const bool pushButton = type == TOffBtnType::bsButton;
    EXPECT_GT(CountPixels(shot, shot.rect(), ToQColor(b->Color()).rgb()), 1000);
    EXPECT_GT(CountPixels(shot, shot.rect(), qRgb(255, 0, 0)), 5);  // caption and focus mark
    // The frame's left edge in InactiveColor, for push buttons only.
    EXPECT_EQ(CountPixels(shot, QRect(1, 8, 1, 14), qRgb(0xC0, 0xC0, 0xC0)), pushButton ? 14 : 0);
    // Focus mark: dotted, one pixel on, one off, around the caption.
    const int row = pushButton ? (30 - 13) / 2 : 1;
    EXPECT_GT(CountPixels(shot, QRect(0, 0, 70, 30).intersected(QRect(0, row - 1, 70, 3)),
                          qRgb(255, 0, 0)),
              2);
  }
}

TEST(OffBtnPaint, TransparentButtonShowsItsParent) {
  QWidget form;
  QPalette palette = form.palette();
  palette.setColor(QPalette::Window, QColor(0, 128, 0));
  form.setPalette(palette);
  form.setAutoFillBackground(true);
  auto* b = new TOffice97Button(&form);
  b->SetCaption("OK");
  b->SetTransparent(true);
  ShowActive(&form);
  const QImage shot = b->grab().toImage();
  EXPECT_GT(CountPixels(shot, shot.rect(), qRgb(0, 128, 0)), 1000);
  EXPECT_EQ(CountPixels(shot, shot.rect(), ToQColor(b->Color()).rgb()), 0);
}

TEST(OffBtnPaint, DisabledCaptionUsesInactiveColour) {
  TOffice97Button b;
  b.SetCaption("MMMM");
  b.SetInactiveColor(0x00FF00);
  b.SetFontColor(0x0000FF);
  b.setEnabled(false);
  const QImage shot = b.grab().toImage();
  EXPECT_EQ(CountPixels(shot, QRect(10, 6, 50, 12), qRgb(255, 0, 0)), 0);
  EXPECT_GT(CountPixels(shot, QRect(10, 6, 50, 12), qRgb(0, 255, 0)), 5);
}

// Screenshots of each look, type, image and state, one PNG each, and one
// enlarged sheet per look for a quick look by eye.
class OffBtnScreenshots : public testing::Test {
 protected:
  static QImage Shot(TOffice97Button* b, const char* state) {
    QTest::mouseMove(b, QPoint(-5, -5));
    b->setEnabled(true);
    b->window()->setFocus();
    if (qstrcmp(state, "hot") == 0) QTest::mouseMove(b, QPoint(30, 12));
    if (qstrcmp(state, "pressed") == 0) QTest::mousePress(b, Qt::LeftButton, {}, {30, 12});
    if (qstrcmp(state, "disabled") == 0) b->setEnabled(false);
    if (qstrcmp(state, "focused") == 0) b->setFocus();
    const QImage shot = b->grab().toImage();
    if (qstrcmp(state, "pressed") == 0) QTest::mouseRelease(b, Qt::LeftButton, {}, {-5, -5});
    return shot;
  }
};

TEST_F(OffBtnScreenshots, EveryStateLookAndType) {
  const QString dir = QString(ZORELLZ_SCREENSHOT_DIR) + "/offbtn";
  ASSERT_TRUE(QDir().mkpath(dir));
  const char* states[] = {"normal", "hot", "pressed", "disabled", "focused"};
  const std::pair<TOffBtnType, const char*> types[] = {{TOffBtnType::bsButton, "button"},
                                                       {TOffBtnType::bsRadioButton, "radio"},
                                                       {TOffBtnType::bsUpButton, "up"},
                                                       {TOffBtnType::bsDownButton, "down"},
                                                       {TOffBtnType::bsHintButton, "hint"}};
  QWidget form;
  form.setFocusPolicy(Qt::StrongFocus);
  auto* b = new TOffice97Button(&form);
  b->move(20, 20);
  b->resize(90, 26);
  b->SetCaption("&Retry");
  ShowActive(&form);
  for (bool office2000 : {true, false}) {
    const int cell = 3 * 96;
    QImage sheet(cell * 5, 3 * 32 * 6, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter sheetPainter(&sheet);
    int row = 0;
    for (const auto& [type, typeName] : types) {
      for (bool glyph : {false, true}) {
        if (type != TOffBtnType::bsButton && !glyph) continue;
        b->SetOffice2000Look(office2000);
        b->SetControlType(type);
        b->SetPosition(TGlyphPosition::bsLeft);  // other types turned it to bsTop
        b->SetShowGlyph(glyph);
        for (int s = 0; s < 5; ++s) {
          const QImage shot = Shot(b, states[s]);
          const QString name =
              QString("%1/%2_%3%4_%5.png")
                  .arg(dir, office2000 ? "2000" : "97", typeName, glyph ? "_image" : "", states[s]);
          EXPECT_TRUE(shot.save(name)) << name.toStdString();
          sheetPainter.drawImage(QRect(s * cell, row * 96, shot.width() * 3, shot.height() * 3),
                                 shot);
        }
        ++row;
      }
    }
    sheetPainter.end();
    EXPECT_TRUE(sheet.save(QString("%1/sheet_%2.png").arg(dir, office2000 ? "2000" : "97")));
  }
}

}  // namespace
}  // namespace tessaline
