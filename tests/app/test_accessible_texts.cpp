// What the screens paint themselves is read by a screen reader too: a box's
// text and sign, the grid's records, the lamps and their state, the picker's
// rows, each with the role it plays. Read here through the accessibility
// interfaces alone, as any assistive tool (or a test driving the screen by
// what it shows) reads them.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "accessible_tree.h"
#include "app/collection_grid.h"
#include "app/house_box.h"
#include "app/lamp_label.h"
#include "app/led_lamp.h"
#include "app/touch_file_picker.h"
#include "main_window_fixture.h"
#include "support/scratch_folder.h"

namespace orvela::testing {
namespace {

TEST(AccessibleTexts, ABoxIsReadWithItsTextSignTitleAndButtons) {
  struct Case {
    TBoxSign sign;
    QString title;
    QString text;
    const char* signName;  // null: no sign
    std::vector<QString> buttons;
  };
  const Case cases[] = {
      {TBoxSign::Information, QStringLiteral("Orvela Jukebox"), QStringLiteral("Titel ist schon vorhanden !"),
       "Hinweis", {QStringLiteral("OK")}},
      // Several lines and a path wider than the box: read whole, not as painted lines.
      {TBoxSign::Error, QStringLiteral("Fehler"),
       QString::fromUtf8("Kann die Datei nicht lesen:\n/media/usb/Musik/Ein sehr langer Ordnername "
                         "ohne Leerzeichen_und_noch_viel_länger/Titel.mp3"),
       "Fehler", {QStringLiteral("OK")}},
      {TBoxSign::None, QStringLiteral("Orvela Jukebox"), QStringLiteral("Orvela Jukebox beenden ?"), nullptr,
       {QStringLiteral("Ja"), QStringLiteral("Nein")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    THouseBox box(c.title, c.text, c.sign, nullptr);
    for (const QString& caption : c.buttons) box.AddButton(caption, QDialog::Accepted, false);
    box.show();
    QApplication::processEvents();
    const auto tree = AccessibleTree(&box);
    EXPECT_NE(FindAccessible(tree, QAccessible::StaticText, c.text), nullptr) << "the box's text";
    EXPECT_NE(FindAccessible(tree, QAccessible::StaticText, c.title), nullptr) << "the box's title";
    for (const QString& caption : c.buttons)
      EXPECT_NE(FindAccessible(tree, QAccessible::Button, caption), nullptr) << caption.toStdString();
    const std::vector<QString> signs = AccessibleNames(tree, QAccessible::Graphic);
    if (c.signName != nullptr) {
      EXPECT_EQ(signs, std::vector<QString>{QString::fromUtf8(c.signName)});
    } else {
      EXPECT_TRUE(signs.empty());
    }
    ExpectEveryShownTextNamed(tree, "box");
  }
}

TEST(AccessibleTexts, AnAccessibleNameGivenToAPaintedTextWins) {
  THouseBox box(QStringLiteral("Orvela Jukebox"), QStringLiteral("Bitte warten"), TBoxSign::None, nullptr);
  auto* text = box.findChild<QWidget*>(QStringLiteral("HouseText"));
  ASSERT_NE(text, nullptr);
  text->setAccessibleName(QStringLiteral("Bitte einen Moment warten"));
  box.show();
  QApplication::processEvents();
  EXPECT_NE(FindAccessible(AccessibleTree(&box), QAccessible::StaticText, QStringLiteral("Bitte einen Moment warten")),
            nullptr);
}

class AccessibleMainScreenTest : public MainWindowTest {
 protected:
  void SetUp() override {
    std::vector<Row> rows;
    for (int i = 1; i <= 8; ++i) {
      const std::string n = std::to_string(i);
      rows.push_back({"Band " + n, "Lied " + n, "/musik/" + n + ".mp3", i % 2 == 0 ? "Rock" : "", "198" + n,
                      "03:0" + n});
    }
    folder.WriteAll(kPlainIni, rows);
    form = MakeForm();
    ASSERT_FALSE(form->StartFailed());
    form->show();
    QApplication::processEvents();
  }
  std::unique_ptr<TForm1> form;
};

// A record is read in the order the panel shows it; an empty field is left out.
QString Record(int i) {
  return QStringLiteral("Band %1, Lied %1, ").arg(i) + (i % 2 == 0 ? QStringLiteral("Rock, ") : QString()) +
         QStringLiteral("198%1, 03:0%1").arg(i);
}

TEST_F(AccessibleMainScreenTest, TheGridIsAListOfTheRecordsItShows) {
  struct Step {
    const char* what;
    int lines;  // moved before reading
    int first;  // record in the first panel
    int current;
  };
  const Step steps[] = {
      {"at the start", 0, 1, 1},
      {"one line on", 1, 1, 2},
      {"at the end", 10, 3, 8},
      {"back to the second", -6, 2, 2},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    for (int i = 0; i < std::abs(step.lines); ++i) form->DBMusiksammlung->ScrollLine(step.lines > 0 ? 1 : -1);
    const auto tree = AccessibleTree(form->DBMusiksammlung);
    ASSERT_FALSE(tree.empty());
    EXPECT_EQ(tree.front().role, QAccessible::List);
    std::vector<QString> expected;
    for (int i = step.first; i < step.first + TCollectionGrid::kPanelCount; ++i) expected.push_back(Record(i));
    EXPECT_EQ(AccessibleNames(tree, QAccessible::ListItem), expected);
    int selected = 0;
    for (const AccessibleNode& n : tree) {
      if (n.role != QAccessible::ListItem || !n.state.selected) continue;
      ++selected;
      EXPECT_EQ(n.name, Record(step.current));
    }
    EXPECT_EQ(selected, 1);
  }
}

TEST_F(AccessibleMainScreenTest, AFilterThatLeavesFewRecordsLeavesNoEmptyPanelsToRead) {
  form->DBMusiksammlung->Table()->SetFilter("Genre='Rock'");
  form->DBMusiksammlung->Table()->SetFiltered(true);
  form->DBMusiksammlung->Refresh();
  EXPECT_EQ(AccessibleNames(AccessibleTree(form->DBMusiksammlung), QAccessible::ListItem),
            (std::vector<QString>{Record(2), Record(4), Record(6), Record(8)}));
}

TEST_F(AccessibleMainScreenTest, LampsAreReadWithTheirCaptionAndState) {
  struct Lamp {
    const char* name;
    bool lit;
  };
  const auto read = [this](const Lamp& lamp) {
    return FindAccessible(AccessibleTree(form.get()), QAccessible::StaticText,
                          QString::fromUtf8(lamp.name) + (lamp.lit ? QStringLiteral(": an") : QStringLiteral(": aus")));
  };
  const Lamp atStart[] = {
      {"Play", false}, {"Stop", false}, {"Automatik", false}, {"Suche nach Interpret", true},
      {"Suche nach Titel", false}, {"Musiksammlung", true},
  };
  for (const Lamp& lamp : atStart) EXPECT_NE(read(lamp), nullptr) << lamp.name << " " << lamp.lit;
  form->LabelDiodePlay->SetLit(true);
  form->JvLED1->SetActive(false);
  form->JvLED3->SetActive(true);
  const Lamp afterwards[] = {
      {"Play", true}, {"Suche nach Interpret", false}, {"Suche nach Titel", true}, {"Stop", false}};
  for (const Lamp& lamp : afterwards) EXPECT_NE(read(lamp), nullptr) << lamp.name << " " << lamp.lit;
  EXPECT_EQ(read({"Play", false}), nullptr) << "the old state is not read any more";
}

TEST_F(AccessibleMainScreenTest, EveryTextOfTheScreenHasAName) {
  const auto tree = AccessibleTree(form.get());
  ExpectEveryShownTextNamed(tree, "main screen");
  for (const char* button : {"Nach oben", "Nach unten", "Leerzeichen", "Abspielen", "Jingle 1"})
    EXPECT_NE(FindAccessible(tree, QAccessible::Button, QString::fromUtf8(button)), nullptr) << button;
  for (const char* text : {"8 Titel in Musiksammlung vorhanden", "Suche nach Interpret", "Titel in Jukebox."})
    EXPECT_NE(FindAccessible(tree, QAccessible::StaticText, QString::fromUtf8(text)), nullptr) << text;
}

class AccessiblePickerTest : public ScratchFolderTest {
 protected:
  AccessiblePickerTest() : ScratchFolderTest("orvela-accessible-picker") {}
};

TEST_F(AccessiblePickerTest, RowsAreReadWithWhatTheirSignsAndSizesShow) {
  std::filesystem::create_directories(dir_ / "Ordner A");
  std::ofstream(dir_ / "a.mp3") << "x";
  std::ofstream(dir_ / "b.mp3") << std::string(3000, 'x');
  TTouchFilePicker picker(TPickMode::OpenSeveral, QString(), ParseFileFilter("*.mp3|*.mp3"),
                          QString::fromStdString(dir_.string()), QString(), nullptr);
  picker.show();
  QApplication::processEvents();
  const auto descriptions = [&picker] {
    std::vector<std::pair<QString, QString>> rows;
    for (const AccessibleNode& n : AccessibleTree(picker.List()))
      if (n.role == QAccessible::ListItem) rows.emplace_back(n.name, n.description);
    return rows;
  };
  using Rows = std::vector<std::pair<QString, QString>>;
  EXPECT_EQ(descriptions(), (Rows{{QStringLiteral("Ordner A"), QStringLiteral("Ordner")},
                                  {QStringLiteral("a.mp3"), QStringLiteral("Datei, 1 Byte")},
                                  {QStringLiteral("b.mp3"), QStringLiteral("Datei, 3 KB")}}));
  for (QPushButton* button : picker.findChildren<QPushButton*>())
    if (button->text() == QString::fromUtf8("Alle wählen")) button->click();
  EXPECT_EQ(descriptions(), (Rows{{QStringLiteral("Ordner A"), QStringLiteral("Ordner")},
                                  {QStringLiteral("a.mp3"), QString::fromUtf8("Datei, 1 Byte, gewählt")},
                                  {QStringLiteral("b.mp3"), QString::fromUtf8("Datei, 3 KB, gewählt")}}));
  ExpectEveryShownTextNamed(AccessibleTree(&picker), "picker");
}

}  // namespace
}  // namespace orvela::testing
