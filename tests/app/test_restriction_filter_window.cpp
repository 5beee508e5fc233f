// The restriction filter window over a real main window: what the operator
// touches, what the window shows, and what reaches the main screen.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "app/collection_builder_window.h"
#include "app/led_lamp.h"
#include "app/restriction_filter_window.h"
#include "app/settings_menu.h"
#include "common/atomic_file.h"
#include "jukebox/jukebox_ini.h"
#include "main_window_fixture.h"

namespace orvela::testing {
namespace {

using K = TFilterKind;

Row Title(const std::string& interpret, const std::string& genre) {
  return {interpret, "Song", "/music/" + interpret + ".mp3", genre, "1980", "03:00"};
}

class FilterWindowTest : public MainWindowTest {
 protected:
  void Open(const std::string& ini, const std::vector<Row>& rows) {
    folder.WriteAll(ini, rows);
    form = MakeForm();
    formMenu = std::make_unique<TFormMenu>(*form);
    filter = std::make_unique<TFormFilter>(*form);
    menu = std::make_unique<THauptmenu>(*form, *formMenu, *filter);
    filter->show();
  }
  ~FilterWindowTest() override {
    menu.reset();
    filter.reset();
    formMenu.reset();
    form.reset();
  }

  QString Text(QLabel* label) const { return label->text(); }

  std::unique_ptr<TForm1> form;
  std::unique_ptr<TFormMenu> formMenu;
  std::unique_ptr<TFormFilter> filter;
  std::unique_ptr<THauptmenu> menu;
};

TEST_F(FilterWindowTest, EverythingFitsAndTakesAFinger) {
  Open(kPlainIni, {Title("A", "Rock")});
  const QRect client(QPoint(0, 0), filter->size());
  std::vector<QWidget*> touchable{filter->SpeedButtonFilterAktivieren, filter->SpeedButtonFilterDeaktivieren,
                                  filter->SpeedButtonFilterLeeren,     filter->BitBtn1,
                                  filter->SpeedButtonGenreAktualisieren, filter->SpeedButtonInterpretAktualisieren,
                                  filter->SpeedButtonJahrAktualisieren};
  for (QWidget* w : touchable) EXPECT_GE(w->height(), 48) << w->objectName().toStdString();
  for (K kind : kFilterKinds) {
    for (int k = 1; k <= 5; ++k) {
      touchable.push_back(filter->FilterCheckBox(kind, k));
      touchable.push_back(filter->FilterComboBox(kind, k));
      EXPECT_GE(filter->FilterCheckBox(kind, k)->height(), 40);
      EXPECT_GE(filter->FilterComboBox(kind, k)->height(), 40);
      EXPECT_EQ(filter->FilterCheckBox(kind, k)->text(),
                QString::fromLatin1(FilterKindName(kind)) + " Filter " + QString::number(k));
      EXPECT_EQ(filter->FilterComboBox(kind, k)->objectName(),
                "ComboBox" + QString::fromLatin1(FilterKindName(kind)) + QString::number(k));
      EXPECT_TRUE(filter->FilterComboBox(kind, k)->isEditable());
    }
  }
  touchable.push_back(filter->GroupBoxFilterart);
  touchable.push_back(filter->ProgressBar1);
  for (std::size_t i = 0; i < touchable.size(); ++i) {
    const QRect r = touchable[i]->geometry();
    EXPECT_TRUE(client.contains(r)) << touchable[i]->objectName().toStdString();
    for (std::size_t j = i + 1; j < touchable.size(); ++j)
      EXPECT_FALSE(r.intersects(touchable[j]->geometry()))
          << touchable[i]->objectName().toStdString() << " / " << touchable[j]->objectName().toStdString();
  }
  // The caption is readable whole at its font.
  QCheckBox* inverse = filter->CheckBoxFilterart;
  EXPECT_EQ(inverse->text(), QStringLiteral("Komplette Musiksammlung anzeigen ausser Filter"));
  EXPECT_GE(inverse->width(), inverse->sizeHint().width());
  for (K kind : kFilterKinds) {
    QCheckBox* box = filter->FilterCheckBox(kind, 1);
    EXPECT_GE(box->width(), box->sizeHint().width()) << FilterKindName(kind);
  }
  EXPECT_EQ(filter->BitBtn1->text(), QString::fromUtf8("Schließen"));
}

TEST_F(FilterWindowTest, AMissingSectionOpensWithTheDefaultsOnScreen) {
  Open(kPlainIni, {Title("A", "Rock")});
  for (K kind : kFilterKinds) {
    for (int k = 1; k <= 5; ++k) {
      EXPECT_TRUE(filter->FilterCheckBox(kind, k)->isChecked());
      EXPECT_EQ(filter->FilterCheckBox(kind, k)->isEnabled(), k == 1 || k == 5);
      EXPECT_EQ(filter->FilterComboBox(kind, k)->isEnabled(), k == 5);
    }
  }
  EXPECT_FALSE(filter->SpeedButtonFilterAktivieren->isEnabled());
  EXPECT_FALSE(filter->SpeedButtonFilterDeaktivieren->isEnabled());
  EXPECT_FALSE(filter->SpeedButtonFilterLeeren->isEnabled());
  EXPECT_FALSE(filter->CheckBoxFilterart->isEnabled());
  EXPECT_TRUE(filter->SpeedButtonGenreAktualisieren->isEnabled());
  EXPECT_EQ(filter->Model().FilterSelection(), 0);
}

TEST_F(FilterWindowTest, TickingInCodeRunsNoHandlerButTheOperatorsClickDoes) {
  Open(kPlainIni, {Title("A", "Rock")});
  filter->SpeedButtonFilterLeeren->setEnabled(true);
  filter->SpeedButtonFilterLeeren->click();
  QCheckBox* box = filter->FilterCheckBox(K::Genre, 1);
  box->setChecked(true);
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(filter->Model().FilterSelection(), 0);

  box->setChecked(false);
  box->click();  // the genre list is still empty
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].kind, ScriptedDialogs::Kind::Information);
  EXPECT_EQ(dialogs.shown[0].text, EmptyValueListText(K::Genre, 1));
  EXPECT_FALSE(box->isChecked());
}

TEST_F(FilterWindowTest, RestrictingAndLiftingShowOnTheMainScreen) {
  Open(kPlainIni, {Title("A", "Rock"), Title("B", "Pop"), Title("C", "Jazz")});
  ASSERT_TRUE(form->State.PlayOnceEnabled);
  filter->SpeedButtonFilterLeeren->setEnabled(true);
  filter->SpeedButtonFilterLeeren->click();
  filter->SpeedButtonGenreAktualisieren->click();
  QComboBox* combo1 = filter->FilterComboBox(K::Genre, 1);
  ASSERT_EQ(combo1->count(), 3);
  EXPECT_EQ(combo1->itemText(0), QStringLiteral("Jazz"));

  filter->FilterCheckBox(K::Genre, 1)->click();
  EXPECT_TRUE(combo1->isEnabled());
  EXPECT_EQ(combo1->currentText(), QStringLiteral("Pop"));
  EXPECT_FALSE(filter->FilterCheckBox(K::Interpret, 1)->isEnabled());
  combo1->setEditText(QStringLiteral("ro*"));  // typed by the operator
  filter->FilterCheckBox(K::Genre, 2)->click();
  filter->FilterComboBox(K::Genre, 2)->setCurrentIndex(0);
  filter->CheckBoxFilterart->setChecked(false);
  ASSERT_TRUE(filter->SpeedButtonFilterAktivieren->isEnabled());
  filter->SpeedButtonFilterAktivieren->click();

  EXPECT_TRUE(dialogs.shown.empty()) << dialogs.Texts().front();
  EXPECT_TRUE(form->State.RestrictionActive);
  EXPECT_EQ(form->CollectionTable().RecordCount(), 2);
  EXPECT_EQ(form->StaticText_titel_vorhanden->text(), QStringLiteral("2 Titel in TempMusiksammlung vorhanden"));
  EXPECT_EQ(form->StaticTextSucheGefunden->text(), QStringLiteral("2 Titel"));
  EXPECT_EQ(form->StaticTextMusikListenStatus->text(), QString::fromUtf8("Musiksammlung eingeschränkt verfügbar"));
  EXPECT_TRUE(form->JvLED2->Active());
  EXPECT_EQ(form->JvLED2->Color(), QColor(0xFF, 0xFF, 0x00));
  EXPECT_TRUE(menu->CheckBoxEinschraenken->isChecked());
  EXPECT_EQ(form->State.PlayOnceList.Size(), 2u);
  EXPECT_EQ(filter->ProgressBar1->value(), 0);
  EXPECT_FALSE(filter->SpeedButtonFilterAktivieren->isEnabled());
  EXPECT_TRUE(filter->SpeedButtonFilterDeaktivieren->isEnabled());
  EXPECT_FALSE(filter->FilterCheckBox(K::Genre, 2)->isEnabled());
  EXPECT_FALSE(filter->FilterComboBox(K::Genre, 2)->isEnabled());
  EXPECT_FALSE(filter->CheckBoxFilterart->isEnabled());
  const TIniFile ini(folder.Path() + "Jukebox.ini");
  EXPECT_EQ(ini.ReadString("Filter", "Genre Combo1", "?"), "ro*");
  EXPECT_EQ(ini.ReadString("Filter", "Genre Combo2", "?"), "Jazz");

  filter->SpeedButtonFilterDeaktivieren->click();
  EXPECT_FALSE(form->State.RestrictionActive);
  EXPECT_EQ(form->CollectionTable().RecordCount(), 3);
  EXPECT_EQ(form->StaticText_titel_vorhanden->text(), QStringLiteral("3 Titel in Musiksammlung vorhanden"));
  EXPECT_EQ(form->StaticTextSucheGefunden->text(), QStringLiteral("3 Titel"));
  EXPECT_EQ(form->StaticTextMusikListenStatus->text(), QString::fromUtf8("Musiksammlung komplett verfügbar"));
  EXPECT_EQ(form->JvLED2->Color(), QColor(0x00, 0xFF, 0x00));
  EXPECT_FALSE(menu->CheckBoxEinschraenken->isChecked());
  EXPECT_EQ(form->State.PlayOnceList.Size(), 3u);
  // The same restriction can be switched on again at once.
  EXPECT_TRUE(filter->SpeedButtonFilterAktivieren->isEnabled());
  EXPECT_TRUE(filter->FilterComboBox(K::Genre, 2)->isEnabled());
  EXPECT_EQ(filter->FilterComboBox(K::Genre, 2)->currentText(), QStringLiteral("Jazz"));
}

TEST_F(FilterWindowTest, ARestartShowsTheChoiceWithTheWholeCollection) {
  std::string ini = std::string(kPlainIni) + "[Filter]\r\n";
  for (int k = 1; k <= 5; ++k) {
    for (const char* kind : {"Genre", "Interpret", "Jahr"}) {
      const bool ticked = std::string(kind) == "Genre" && k == 1;
      ini += std::string(kind) + " Filter " + std::to_string(k) + " aktiv=" + (ticked ? "1" : "0") + "\r\n";
    }
  }
  ini += "Genre Combo1=Rock\r\n Filtermenge=1\r\nFilterart=0\r\n";
  folder.Write("TempGenre.text", "Pop\r\nRock\r\n");
  Open(ini, {Title("A", "Rock"), Title("B", "Pop")});
  folder.Write("TempGenre.text", "Pop\r\nRock\r\n");
  filter->hide();
  filter->show();
  EXPECT_FALSE(form->State.RestrictionActive);
  EXPECT_EQ(form->StaticText_titel_vorhanden->text(), QStringLiteral("2 Titel in Musiksammlung vorhanden"));
  EXPECT_TRUE(filter->FilterCheckBox(K::Genre, 1)->isChecked());
  EXPECT_EQ(filter->FilterComboBox(K::Genre, 1)->currentText(), QStringLiteral("Rock"));
  EXPECT_EQ(filter->FilterComboBox(K::Genre, 1)->count(), 2);
  EXPECT_TRUE(filter->FilterComboBox(K::Genre, 1)->isEnabled());
  EXPECT_TRUE(filter->SpeedButtonFilterAktivieren->isEnabled());
  EXPECT_FALSE(filter->SpeedButtonFilterDeaktivieren->isEnabled());
  EXPECT_FALSE(filter->CheckBoxFilterart->isChecked());

  filter->BitBtn1->click();
  EXPECT_FALSE(filter->isVisible());
  EXPECT_FALSE(menu->CheckBoxEinschraenken->isChecked());
  EXPECT_EQ(TIniFile(folder.Path() + "Jukebox.ini").ReadString("Filter", "Genre Combo1", "?"), "Rock");
}

}  // namespace
}  // namespace orvela::testing

namespace orvela::testing {
namespace {

// A restriction that leaves no title, and a lifting that fails on a damaged
// collection file, must not lock the operator out of the window that undoes them.
TEST_F(FilterWindowTest, ARestrictionThatLeftNoTitleCanStillBeLiftedFromTheMenu) {
  Open(kPlainIni, {Title("A", "Rock"), Title("B", "Pop")});
  filter->SpeedButtonFilterLeeren->setEnabled(true);
  filter->SpeedButtonFilterLeeren->click();
  filter->SpeedButtonGenreAktualisieren->click();
  filter->FilterCheckBox(K::Genre, 1)->click();
  filter->FilterComboBox(K::Genre, 1)->setEditText(QStringLiteral("Klasik"));  // a typing error
  filter->CheckBoxFilterart->setChecked(false);
  filter->SpeedButtonFilterAktivieren->click();
  ASSERT_TRUE(form->State.RestrictionActive);
  ASSERT_EQ(form->CollectionTable().RecordCount(), 0);

  // Lifting it fails once: the collection file is damaged meanwhile.
  const std::string good = ReadWholeFile(folder.Path() + "Musikliste.xml").value();
  folder.Write("Musikliste.xml", "<?xml version=\"1.0\"?><DATAPACKET><ROWDATA><ROW Interpret=\"");
  dialogs.Clear();
  filter->SpeedButtonFilterDeaktivieren->click();
  EXPECT_EQ(dialogs.shown.size(), 1u);
  EXPECT_TRUE(form->State.RestrictionActive);
  EXPECT_EQ(form->CollectionTable().RecordCount(), 0);
  filter->BitBtn1->click();
  folder.Write("Musikliste.xml", good);

  menu->hide();
  menu->show();
  EXPECT_TRUE(menu->CheckBoxEinschraenken->isEnabled());
  EXPECT_TRUE(menu->CheckBoxEinschraenken->isChecked());
  bool opened = false;
  QTimer::singleShot(0, filter.get(), [&] {
    opened = filter->isVisible();
    filter->SpeedButtonFilterDeaktivieren->click();
    filter->BitBtn1->click();
  });
  dialogs.Clear();
  menu->CheckBoxEinschraenken->click();
  EXPECT_TRUE(opened);
  EXPECT_TRUE(dialogs.shown.empty()) << dialogs.Texts().front();
  EXPECT_FALSE(form->State.RestrictionActive);
  EXPECT_EQ(form->CollectionTable().RecordCount(), 2);
  EXPECT_FALSE(menu->CheckBoxEinschraenken->isChecked());
}

}  // namespace
}  // namespace orvela::testing
