// The main screen after start-up: the access code of the "Menü" button, the
// status lamps, the collection grid, the keyboard search, clock and timers.
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <string>

#include "app/background_image.h"
#include "app/click_label.h"
#include "app/collection_grid.h"
#include "app/digital_clock.h"
#include "app/lamp_label.h"
#include "app/led_lamp.h"
#include "common/codepage.h"
#include "main_window_fixture.h"

namespace orvela::testing {
namespace {

// Ten artists in sort order A..J, so record numbers are predictable.
std::vector<Row> TenTitles() {
  std::vector<Row> rows;
  const char* artists[] = {"Abba", "Blondie", "Cher", "Depeche Mode", "Eurythmics",
                           "Falco", "Genesis", "Heino", "Inxs", "Journey"};
  const char* years[] = {"1974", "1978", "1998", "1981", "1983", "1985", "1973", "1966", "1987", "1981"};
  for (int i = 0; i < 10; ++i) {
    rows.push_back({artists[i], "Song " + std::to_string(i + 1), "/m/" + std::to_string(i) + ".mp3",
                    i % 2 == 0 ? "Pop" : "Rock", years[i], "03:0" + std::to_string(i)});
  }
  return rows;
}

class ScreenTest : public MainWindowTest {
 protected:
  std::unique_ptr<TForm1> Start(const std::string& ini = kPlainIni) {
    folder.WriteAll(ini, TenTitles());
    auto form = MakeForm();
    EXPECT_FALSE(form->StartFailed());
    return form;
  }
  // Presses keys of the on-screen keyboard by their captions.
  static void Type(TForm1& form, const QString& keys) {
    for (QChar key : keys) {
      QPushButton* button = nullptr;
      for (QPushButton* candidate : form.Panel2->findChildren<QPushButton*>()) {
        if (candidate->text() == QString(key) || (key == ' ' && candidate == form.SpeedButton28)) {
          button = candidate;
        }
      }
      ASSERT_NE(button, nullptr) << "no key " << key.toLatin1();
      button->click();
    }
  }
};

struct CodeCase {
  bool codeActive;
  const char* typed;
  bool opens;
  const char* searchAfter;
};

class AccessCodeTest : public ScreenTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(AccessCodeTest, MenuOpensOnlyWithTheExactCode) {
  const CodeCase& c = GetParam();
  auto form = Start(std::string("[Programm]\r\nKiosk=0\r\nPasswortaktiv=") + (c.codeActive ? "1" : "0") + "\r\n");
  Type(*form, QString::fromLatin1(c.typed));
  const QString foundBefore = form->StaticTextSucheGefunden->text();
  form->SpeedButton_Menu->click();
  EXPECT_EQ(menuOpenings, c.opens ? 1 : 0);
  EXPECT_TRUE(dialogs.Texts().empty());
  EXPECT_EQ(form->SearchText(), c.searchAfter);
  if (c.opens && c.codeActive) {
    EXPECT_FALSE(form->CollectionTable().Filtered());
    EXPECT_EQ(form->CollectionTable().RecordCount(), 10);
    // The grid shows the whole collection again, and so does its count.
    EXPECT_EQ(form->StaticTextSucheGefunden->text(), "10 Titel");
  } else {
    EXPECT_EQ(form->StaticTextSucheGefunden->text(), foundBefore);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, AccessCodeTest,
                         ::testing::Values(CodeCase{true, "6813", true, ""},
                                           CodeCase{true, "68131", false, "68131"},
                                           CodeCase{true, "6812", false, "6812"},
                                           CodeCase{true, " 6813", false, " 6813"},
                                           CodeCase{true, "", false, ""},
                                           CodeCase{false, "", true, ""},
                                           CodeCase{false, "ABBA", true, "ABBA"}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(ScreenTest, MenuOpensWithTheConfiguredCodeOnly) {
  const struct {
    const char* codeLine;
    const char* typed;
    bool opens;
  } cases[] = {
      {"Menuecode=4711\r\n", "4711", true},
      {"Menuecode=4711\r\n", "6813", false},  // the delivered code no longer opens it
      {"Menuecode=0042\r\n", "42", false},
      {"Menuecode=47x1\r\n", "6813", true},   // not a number of digits: the delivered code
      {"", "6813", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.codeLine) + " typed " + c.typed);
    menuOpenings = 0;
    auto form = Start(std::string("[Programm]\r\nKiosk=0\r\nPasswortaktiv=1\r\n") + c.codeLine);
    Type(*form, QString::fromLatin1(c.typed));
    form->SpeedButton_Menu->click();
    EXPECT_EQ(menuOpenings, c.opens ? 1 : 0);
    EXPECT_EQ(form->SearchText(), c.opens ? "" : c.typed);
    form.reset();
  }
}

TEST_F(ScreenTest, MenuRefusesWhenADataFileIsMissing) {
  for (const char* name : {"Jukebox.ini", "Musikliste.xml", "TempMusikliste.xml"}) {
    SCOPED_TRACE(name);
    auto form = Start();
    dialogs.Clear();
    Type(*form, "6813");
    folder.Remove(name);
    form->SpeedButton_Menu->click();
    EXPECT_EQ(menuOpenings, 0);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{Utf8ToCp1252(
                                   "Es sind nicht alle benötigten Dateien vorhanden. Das Menü kann nicht geöffnet werden.")});
    EXPECT_EQ(form->SearchText(), "6813");
    form.reset();
  }
}

TEST_F(ScreenTest, ShowStatusLightsExactlyTheNamedLamp) {
  auto form = Start("[Programm]\r\nKiosk=0\r\nGeburtstag=1\r\n");
  TLampLabel* lamps[] = {form->LabelDiodePlay, form->LabelDiodeStop, form->LabelDiodePause, form->LabelDiodeLeer};
  QLabel* captions[] = {form->LabelStatusPlay, form->LabelStatusStop, form->LabelStatusPause, form->LabelStatusLeer};
  const struct {
    const char* status;
    int lit;  // index into lamps, -1 none
  } cases[] = {{"Play", 0}, {"Stop", 1}, {"Pause", 2}, {"leer", 3}, {"play", -1}, {"Leer", -1}, {"", -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    form->ShowStatus(c.status);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(lamps[i]->Lit(), i == c.lit);
      EXPECT_EQ(lamps[i]->Caption(), captions[i]);
      EXPECT_EQ(lamps[i]->Color(), i == c.lit ? QColor(0xFF, 0, 0) : QColor(0x80, 0, 0));
      EXPECT_EQ(lamps[i]->CaptionColor(), i == c.lit ? kLampCaptionLitColor : QColor(0, 0, 0x80));
      EXPECT_TRUE(lamps[i]->styleSheet().contains(lamps[i]->Color().name()));
      EXPECT_TRUE(captions[i]->styleSheet().contains(lamps[i]->CaptionColor().name()));
    }
    EXPECT_TRUE(form->LabelDiodeGeburt->Lit());
  }
}

TEST_F(ScreenTest, FirstStateOfTheScreen) {
  auto form = Start();
  EXPECT_EQ(form->windowTitle(), "Orvela Jukebox Player");
  EXPECT_EQ(form->LabelVersion->text(), "Beta Ver. 1.0.0.1");
  EXPECT_EQ(form->LabelTitel->text(), QString(45, ':'));
  EXPECT_EQ(form->LabelInterpret->text(), QString(45, ':'));
  EXPECT_EQ(form->LabelJahr->text(), "0000");
  EXPECT_EQ(form->LabelGenre->text(), QString(20, ':'));
  EXPECT_EQ(form->LabeJukeWann->text(), "xx:xx Uhr");
  EXPECT_EQ(form->LabelTitelJukeWert->text(), "0");
  EXPECT_EQ(form->BtnPlayPause->text(), "Abspielen");
  EXPECT_TRUE(form->LabelDiodeLeer->Lit());
  EXPECT_FALSE(form->LabelDiodePlay->Lit());
  EXPECT_EQ(form->StaticTextSuchennach->text(), "Suche nach Interpret");
  EXPECT_TRUE(form->JvLED1->Active());
  EXPECT_FALSE(form->JvLED3->Active() || form->JvLED4->Active() || form->JvLED5->Active());
  EXPECT_EQ(form->CollectionTable().IndexFieldNames(), "Interpret;Titel");
  EXPECT_EQ(form->SearchText(), "");
  EXPECT_EQ(form->State.FadeAction, TFadeAction::None);
  EXPECT_EQ(form->State.ActiveJingle, 0);
  EXPECT_FALSE(form->State.RestrictionActive);
}

TEST_F(ScreenTest, EnlargedWindowMovesRightAndBottomControlsAndGrowsTheText) {
  auto form = Start();
  form->setMinimumSize(0, 0);
  form->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  form->show();
  QApplication::processEvents();
  EXPECT_EQ(form->Label1->font().pixelSize(), 32);
  const QRect menuBefore(form->SpeedButton_Menu->mapTo(form.get(), QPoint(0, 0)), form->SpeedButton_Menu->size());
  EXPECT_LE(menuBefore.right(), TForm1::kDesignClientWidth);

  form->resize(1920, 1080);
  QApplication::processEvents();
  const QRect menuAfter(form->SpeedButton_Menu->mapTo(form.get(), QPoint(0, 0)), form->SpeedButton_Menu->size());
  EXPECT_GT(menuAfter.right(), 1850);
  EXPECT_GT(menuAfter.bottom(), 900);
  const QRect play(form->BtnPlayPause->mapTo(form.get(), QPoint(0, 0)), form->BtnPlayPause->size());
  EXPECT_GT(play.bottom(), 1050);
  EXPECT_EQ(form->Image1->geometry(), form->rect());
  // 1080 / 732 is the smaller of the two ratios.
  EXPECT_EQ(form->Label1->font().pixelSize(), 47);
  EXPECT_EQ(form->Label1->font().family(), "Arial");
  form->hide();
}

TEST_F(ScreenTest, TimersHaveTheirIntervalsAndOnlyTheBirthdayTimerRuns) {
  auto form = Start("[Programm]\r\nKiosk=0\r\n");
  const struct {
    QTimer* timer;
    int interval;
    bool active;
  } timers[] = {{form->MainTimer, 100, false},          {form->TimerJukeZeitGesamt, 1000, false},
                {form->TimerAusblenden, 3000, false},   {form->TimerScroll, 150, false},
                {form->TimerJingle, 2000, false},       {form->TimerGeburtstag, 1000, true},
                {form->TimerGeburtsongPlay, 500, false}, {form->TimerGeburstagausblenden, 3000, false}};
  for (const auto& t : timers) {
    SCOPED_TRACE(t.timer->objectName().toStdString());
    EXPECT_EQ(t.timer->interval(), t.interval);
    EXPECT_EQ(t.timer->isActive(), t.active);
  }
}

TEST_F(ScreenTest, ClockShowsTheTimeOfDayWithSeconds) {
  clock.now = 46380.0 + (18 * 3600 + 30 * 60 + 5) / 86400.0;
  auto form = Start();
  EXPECT_EQ(form->DigitalClock->text(), "18:30:05");
  EXPECT_EQ(form->DigitalClock->Timer()->interval(), 1000);
  EXPECT_TRUE(form->DigitalClock->Timer()->isActive());
  clock.AdvanceSeconds(60);
  form->DigitalClock->Tick();
  EXPECT_EQ(form->DigitalClock->text(), "18:31:05");
}

QColor PanelColour(TCollectionGrid* grid, int panel) {
  const QImage image = grid->grab().toImage();
  const QRect rect = grid->PanelRect(panel);
  // Left edge, halfway down: inside the rounded box, clear of the text.
  return image.pixelColor(rect.left() + 4, rect.center().y());
}

TEST_F(ScreenTest, GridShowsTheCurrentRecordNavyAndATapMakesAnotherCurrent) {
  auto form = Start();
  TCollectionGrid* grid = form->DBMusiksammlung;
  grid->resize(400, 480);
  ASSERT_EQ(form->CollectionTable().RecNo(), 1);
  EXPECT_EQ(grid->TopRow(), 0);
  EXPECT_EQ(PanelColour(grid, 0), TCollectionGrid::kCurrentPanelColor);
  EXPECT_NE(PanelColour(grid, 3), TCollectionGrid::kCurrentPanelColor);

  QMouseEvent press(QEvent::MouseButtonPress, QPointF(grid->PanelRect(3).center()),
                    grid->mapToGlobal(QPointF(grid->PanelRect(3).center())), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(grid, &press);
  EXPECT_EQ(form->CollectionTable().RecNo(), 4);
  EXPECT_EQ(form->CollectionTable().FieldAsString("Interpret"), "Depeche Mode");
  EXPECT_EQ(PanelColour(grid, 3), TCollectionGrid::kCurrentPanelColor);
  EXPECT_NE(PanelColour(grid, 0), TCollectionGrid::kCurrentPanelColor);
}

TEST_F(ScreenTest, ArrowsMoveOneRecordAndThePanelsFollowPastTheSixth) {
  auto form = Start();
  TCollectionGrid* grid = form->DBMusiksammlung;
  grid->resize(400, 480);
  for (int i = 0; i < 6; ++i) {
    form->SpeedButton54->click();
  }
  EXPECT_EQ(form->CollectionTable().RecNo(), 7);
  EXPECT_EQ(grid->TopRow(), 1);
  EXPECT_EQ(PanelColour(grid, 5), TCollectionGrid::kCurrentPanelColor);
  for (int i = 0; i < 5; ++i) {
    form->SpeedButton54->click();
  }
  EXPECT_EQ(form->CollectionTable().RecNo(), 10);  // the last record stops it
  EXPECT_EQ(grid->TopRow(), 4);
  form->SpeedButton53->click();
  EXPECT_EQ(form->CollectionTable().RecNo(), 9);
  EXPECT_EQ(grid->TopRow(), 4);
}

TEST_F(ScreenTest, PanelsStayFilledWhenASearchShrinksTheView) {
  auto form = Start();
  TCollectionGrid* grid = form->DBMusiksammlung;
  grid->resize(400, 480);
  form->CollectionTable().SetRecNo(10);
  EXPECT_EQ(grid->TopRow(), 4);
  Type(*form, "E");  // seven artists: the view begins at its first record again
  EXPECT_EQ(form->CollectionTable().RecNo(), 1);
  EXPECT_EQ(grid->TopRow(), 0);
  Type(*form, "X");  // nothing found
  EXPECT_EQ(grid->TopRow(), 0);
  EXPECT_NE(PanelColour(grid, 0), TCollectionGrid::kCurrentPanelColor);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(grid->PanelRect(0).center()),
                    grid->mapToGlobal(QPointF(grid->PanelRect(0).center())), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(grid, &press);  // a tap on an empty panel changes nothing
  EXPECT_EQ(form->CollectionTable().RecNo(), 0);
}

TEST_F(ScreenTest, HeldArrowScrollsWithTheTimer) {
  auto form = Start();
  emit form->SpeedButton54->pressed();
  EXPECT_EQ(form->State.ScrollDirection, TScrollDirection::Down);
  EXPECT_TRUE(form->TimerScroll->isActive());
  EXPECT_EQ(form->TimerScroll->interval(), 150);
  form->TimerScrollTimer();
  form->TimerScrollTimer();
  EXPECT_EQ(form->CollectionTable().RecNo(), 3);
  emit form->SpeedButton54->released();
  EXPECT_FALSE(form->TimerScroll->isActive());
  emit form->SpeedButton53->pressed();
  EXPECT_EQ(form->State.ScrollDirection, TScrollDirection::Up);
  form->TimerScrollTimer();
  EXPECT_EQ(form->CollectionTable().RecNo(), 2);
  emit form->SpeedButton53->released();
  EXPECT_FALSE(form->TimerScroll->isActive());
}

TEST_F(ScreenTest, KeysFilterTheCollectionAndShowTheCount) {
  auto form = Start();
  const struct {
    const char* keys;
    const char* found;
  } steps[] = {{"E", "7 Titel"}, {"U", "1 Titel"}, {"R", "1 Titel"}, {"Y", "1 Titel"}, {"X", "0 Titel"}};
  for (const auto& step : steps) {
    Type(*form, QString::fromLatin1(step.keys));
    EXPECT_EQ(form->StaticTextSucheGefunden->text(), step.found) << form->SearchText();
  }
  EXPECT_EQ(form->SearchText(), "EURYX");
  form->SpeedButton7->click();  // löschen
  EXPECT_EQ(form->SearchText(), "EURY");
  EXPECT_EQ(form->StaticTextSucheGefunden->text(), "1 Titel");
  EXPECT_EQ(form->CollectionTable().FieldAsString("Interpret"), "Eurythmics");

  // Jahr searches from the start of the field, and the sort order follows the mode.
  form->StaticText_suchenClick();
  EXPECT_EQ(form->SearchText(), "");
  EXPECT_EQ(form->StaticTextSucheGefunden->text(), "10 Titel");
  form->SpeedButton46->click();
  EXPECT_EQ(form->StaticTextSuchennach->text(), "Suche nach Jahr");
  EXPECT_TRUE(form->JvLED5->Active());
  EXPECT_FALSE(form->JvLED1->Active());
  EXPECT_EQ(form->CollectionTable().IndexFieldNames(), "Jahr;Interpret;Titel");
  Type(*form, "198");
  EXPECT_EQ(form->CollectionTable().Filter(), "Jahr='198*'");
  EXPECT_EQ(form->StaticTextSucheGefunden->text(), "5 Titel");
  EXPECT_EQ(form->CollectionTable().FieldAsString("Jahr"), "1981");
}

TEST_F(ScreenTest, TypingNeverMovesTheKeysAndALongSearchShowsItsEnd) {
  auto form = Start();
  form->show();
  QApplication::processEvents();
  const auto where = [&](QWidget* w) { return QRect(w->mapTo(form.get(), QPoint(0, 0)), w->size()); };
  const QRect field = where(form->StaticText_suchen);
  const QRect keyA = where(form->SpeedButton1);
  const QRect grid = where(form->DBMusiksammlung);

  const QString typed = QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWXYZ");
  for (int n = 1; n <= typed.size(); ++n) {
    Type(*form, typed.mid(n - 1, 1));
    QApplication::processEvents();
    ASSERT_EQ(where(form->StaticText_suchen), field) << n << " letters";
    ASSERT_EQ(where(form->SpeedButton1), keyA) << n << " letters";
    ASSERT_EQ(where(form->DBMusiksammlung), grid) << n << " letters";
  }
  EXPECT_EQ(form->SearchText(), typed.toStdString());
  const QString shown = form->StaticText_suchen->DisplayedText();
  EXPECT_LT(shown.size(), typed.size());
  EXPECT_TRUE(shown.endsWith(QStringLiteral("WXYZ"))) << shown.toStdString();
  form->hide();
}

TEST_F(ScreenTest, DeleteOnAnEmptySearchOnlyRecounts) {
  auto form = Start();
  form->SpeedButton7->click();
  EXPECT_EQ(form->SearchText(), "");
  EXPECT_FALSE(form->CollectionTable().Filtered());
  EXPECT_EQ(form->StaticTextSucheGefunden->text(), "10 Titel");
}

}  // namespace
}  // namespace orvela::testing
