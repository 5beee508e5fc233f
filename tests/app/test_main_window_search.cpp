// The on-screen keyboard as a guest uses it: the real buttons, the search
// modes with text already typed, and the arrows held and let go.
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/led_lamp.h"
#include "collection/collection_table.h"
#include "main_window_fixture.h"

namespace orvela::testing {
namespace {

class SearchTest : public MainWindowTest {
 protected:
  void Start(const std::vector<Row>& rows) {
    folder.WriteAll(kPlainIni, rows);
    form = MakeForm();
    ASSERT_FALSE(form->StartFailed());
  }
  std::vector<bool> Lamps() const {
    return {form->JvLED1->Active(), form->JvLED3->Active(), form->JvLED4->Active(), form->JvLED5->Active()};
  }
  std::string Found() const { return form->StaticTextSucheGefunden->text().toStdString(); }
  // The artists of the view, in its order.
  std::vector<std::string> Artists() {
    std::vector<std::string> out;
    TCollectionTable& t = form->CollectionTable();
    for (int i = 0; i < t.RecordCount(); ++i) out.push_back(t.ViewField(i, 0));
    return out;
  }
  std::unique_ptr<TForm1> form;
};

TEST_F(SearchTest, ModeSwitchKeepsTheTextAndSearchesTheNewColumn) {
  Start({{"Heino", "Blau blüht der Enzian", "/m/1.mp3", "Schlager", "1972", "03:00"},
         {"Abba", "Waterloo", "/m/2.mp3", "Pop", "1974", "02:46"},
         {"Pur", "Abenteuerland", "/m/3.mp3", "Pop", "1995", "04:10"},
         {"Dschinghis Khan", "Moskau", "/m/4.mp3", "Schlager", "1979", "04:30"}});
  form->SpeedButton1->click();  // A
  form->SpeedButton2->click();  // B
  EXPECT_EQ(form->CollectionTable().Filter(), "Interpret like'%AB%'");
  EXPECT_EQ(Artists(), std::vector<std::string>{"Abba"});

  form->SpeedButton29->click();  // Titel: the same text against the titles, sorted by title
  EXPECT_EQ(form->SearchText(), "AB");
  EXPECT_EQ(form->StaticTextSuchennach->text(), "Suche nach Titel");
  EXPECT_EQ(form->CollectionTable().IndexFieldNames(), "Titel;Interpret");
  EXPECT_EQ(form->CollectionTable().Filter(), "Titel like'%AB%'");
  EXPECT_EQ(Artists(), std::vector<std::string>{"Pur"});
  EXPECT_EQ(Lamps(), (std::vector<bool>{false, true, false, false}));

  form->SpeedButton7->click();   // löschen
  form->SpeedButton7->click();
  form->SpeedButton20->click();  // S
  form->SpeedButton47->click();  // Genre: begins with, sorted by genre
  EXPECT_EQ(form->CollectionTable().Filter(), "Genre='S*'");
  EXPECT_EQ(form->CollectionTable().IndexFieldNames(), "Genre;Interpret;Titel");
  EXPECT_EQ(Artists(), (std::vector<std::string>{"Dschinghis Khan", "Heino"}));
  EXPECT_EQ(Lamps(), (std::vector<bool>{false, false, true, false}));
  EXPECT_EQ(Found(), "2 Titel");
}

TEST_F(SearchTest, BlankUmlautAndSharpSKeysAppendWhatTheyShow) {
  Start({{"The Who", "My Generation", "/m/1.mp3", "Rock", "1965", "03:18"},
         {"Theatre of Tragedy", "Machine", "/m/2.mp3", "Gothic", "1998", "04:00"},
         {"Die \xC4rzte", "Westerland", "/m/3.mp3", "Punk", "1988", "03:40"},
         {"Stra\xDF" "enjungs", "Ich will Spa\xDF", "/m/4.mp3", "Rock", "1983", "03:05"},
         {"Arzt Band", "Praxis", "/m/5.mp3", "Pop", "2001", "03:00"}});
  struct Step {
    QPushButton* TForm1::*key;
    const char* text;
    std::vector<std::string> artists;
  };
  const Step steps[] = {
      {&TForm1::SpeedButton21, "T", {"Arzt Band", "Die \xC4rzte", "Stra\xDF" "enjungs", "The Who", "Theatre of Tragedy"}},
      {&TForm1::SpeedButton9, "TH", {"The Who", "Theatre of Tragedy"}},
      {&TForm1::SpeedButton5, "THE", {"The Who", "Theatre of Tragedy"}},
      {&TForm1::SpeedButton28, "THE ", {"The Who"}},  // a real blank
  };
  for (const Step& step : steps) {
    (form.get()->*step.key)->click();
    EXPECT_EQ(form->SearchText(), step.text);
    EXPECT_EQ(Artists(), step.artists) << step.text;
  }
  form->StaticText_suchenClick();
  form->SpeedButton40->click();  // Ä finds the umlaut, not the plain A
  EXPECT_EQ(form->SearchText(), "\xC4");
  EXPECT_EQ(Artists(), std::vector<std::string>{"Die \xC4rzte"});
  form->StaticText_suchenClick();
  form->SpeedButton43->click();  // ß
  EXPECT_EQ(form->SearchText(), "\xDF");
  EXPECT_EQ(Artists(), std::vector<std::string>{"Stra\xDF" "enjungs"});
}

TEST_F(SearchTest, AHeldArrowMovesEveryTickAndOnceMoreWhenLetGo) {
  std::vector<Row> rows;
  for (char c = 'A'; c <= 'L'; ++c) rows.push_back({std::string(1, c) + " Band", "Lied", "/m/x.mp3", "Pop", "2000", "03:00"});
  Start(rows);
  TCollectionTable& table = form->CollectionTable();
  ASSERT_EQ(table.RecNo(), 1);
  emit form->SpeedButton54->pressed();
  form->TimerScrollTimer();
  form->TimerScrollTimer();
  EXPECT_EQ(table.RecNo(), 3);
  // Letting go is the end of a click: the timer stops and the click moves one more.
  emit form->SpeedButton54->released();
  emit form->SpeedButton54->clicked();
  EXPECT_FALSE(form->TimerScroll->isActive());
  EXPECT_EQ(table.RecNo(), 4);
  // A plain tap is one step.
  form->SpeedButton53->click();
  EXPECT_EQ(table.RecNo(), 3);
  EXPECT_FALSE(form->TimerScroll->isActive());
}

}  // namespace
}  // namespace orvela::testing
