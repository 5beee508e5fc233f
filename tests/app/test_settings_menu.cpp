// The operator's settings menu on a real main window: what it loads from
// Jukebox.ini, what its closing writes and applies, the controls that act at
// once, and its actions on the queue, heard through a manual output.
#include <sys/inotify.h>
#include <unistd.h>

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/collection_builder_window.h"
#include "app/house_style.h"
#include "app/lamp_label.h"
#include "app/restriction_filter_window.h"
#include "app/settings_menu.h"
#include "app/web_link_label.h"
#include "common/atomic_file.h"
#include "common/codepage.h"
#include "demo/tone_encoder.h"
#include "jukebox/date_time.h"
#include "jukebox/jukebox_automatic.h"
#include "jukebox/jukebox_ini.h"
#include "main_window_fixture.h"
#include "playback/loudness_levelling.h"
#include "queue/tilu_playlist.h"

namespace orvela::testing {
namespace {

std::string Cp(const char* utf8) { return Utf8ToCp1252(utf8); }

const char* const kIniMissing =
    "Kann Jukebox.ini nicht finden! Orvela Jukebox wird nicht ordnungsgemäß ausgeführt.";
const char* const kRefill =
    "Achtung Jukeboxautomatik ist aktiv.Jukebox wird nach dem löschen mit neuen Titeln bestückt!";
const char* const kEmptyQuestion =
    "Achtung diese Funktion entfernt alle Songs aus der Jukebox(Playlist). Fortsetzen ?";
const char* const kRemoveLastQuestion =
    "Achtung diese Funktion entfernt den letzten Titel aus der Jukebox(Playlist). Fortsetzen ?";

const std::vector<Row> kThreeRecords = {
    {"ABBA", "Waterloo", "/m/a.mp3", "Pop", "1974", "02:42"},
    {"Beatles", "Help", "/m/b.mp3", "Rock", "1965", "02:18"},
    {"Cher", "Believe", "/m/c.mp3", "Pop", "1998", "03:59"},
};

// Settings with every key the menu knows, none of them at its default where
// that can be avoided.
const char* const kFullIni =
    "[Schalter_Einstellungen]\r\n"
    "Schalter_Naechster_Titel=0\r\nSchalter_Stop_Titel=1\r\nSchalter_Jingle=0\r\nSchalter_Lautstaerkeregler=0\r\n"
    "[Programm]\r\n"
    "Passwortaktiv=0\r\nKiosk=0\r\nBildschirmschoner=0\r\nGeburtstag=0\r\n"
    "Geburtstagssong=/lieder/happy.mp3\r\nGeburtzeit=24.12.2026 18:30:05\r\nMaus=0\r\n"
    "TitelDoppel=0\r\nTitelausblenden=0\r\nAutomatik=0\r\nEinmalSpielen=0\r\n"
    "[Jingle]\r\nSong_1=/j/eins.mp3\r\nSong_2=/j/zwei.mp3\r\nSong_3=/j/drei.mp3\r\nSong_4=/j/vier.mp3\r\n"
    "[Abspielliste]\r\nmax=37\r\n"
    "[Filter]\r\n Filtermenge=0\r\n";

class SettingsMenuTest : public MainWindowTest {
 protected:
  void Start(const std::string& ini, const std::vector<Row>& rows = {}) {
    // The windows go before the main window they hold on to.
    menu.reset();
    formFilter.reset();
    formMenu.reset();
    form.reset();
    folder.WriteAll(ini, rows);
    form = MakeForm();
    ASSERT_FALSE(form->StartFailed());
    formMenu = std::make_unique<TFormMenu>(*form);
    formFilter = std::make_unique<TFormFilter>(*form);
    menu = std::make_unique<THauptmenu>(*form, *formMenu, *formFilter);
    menu->SetUrlOpener([this](const QUrl& url) { openedUrls.push_back(url); });
  }
  // Opening and closing as the operator does: FormShow and FormClose run.
  void Open() {
    // Shown again from scratch, without a closing in between.
    if (menu->isVisible()) menu->hide();
    menu->show();
    ASSERT_TRUE(menu->isVisible());
  }
  void Close() {
    menu->BitBtnSchliessen->click();
    EXPECT_FALSE(menu->isVisible());
  }
  std::string IniText() const { return ReadWholeFile(folder.Path() + "Jukebox.ini").value_or("<missing>"); }
  TIniFile Ini() const { return TIniFile(folder.Path() + "Jukebox.ini"); }
  int Rows() const { return form->PlaylistView->topLevelItemCount(); }

  // Three titles of about 2, 3 and 5 seconds in the program folder.
  void MakeTitles() {
    for (const auto& [name, hz, seconds] : {std::tuple{"a.mp3", 440.0, 2.4}, std::tuple{"b.mp3", 660.0, 3.4},
                                            std::tuple{"c.mp3", 880.0, 5.4}}) {
      std::string error;
      ASSERT_TRUE(demo::EncodeAudio(folder.Path() + name, demo::Format::Mp3,
                                    demo::SynthesizeTone(hz, seconds, 0.5), {}, &error))
          << error;
    }
  }
  void Queue(std::initializer_list<const char*> names) {
    for (const char* name : names) form->Player()->Add(folder.Path() + name);
  }

  std::unique_ptr<TForm1> form;
  std::unique_ptr<TFormMenu> formMenu;
  std::unique_ptr<TFormFilter> formFilter;
  std::unique_ptr<THauptmenu> menu;
  std::vector<QUrl> openedUrls;
};

// How often the file was replaced in its folder while `action` ran.
template <typename Action>
int ReplacementsOf(const std::string& folderPath, const char* name, Action action) {
  const int fd = inotify_init1(IN_NONBLOCK);
  EXPECT_GE(fd, 0);
  // Every write puts a finished copy in place with a rename.
  inotify_add_watch(fd, folderPath.c_str(), IN_MOVED_TO);
  action();
  int count = 0;
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    for (char* p = buffer; p < buffer + got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      if (event->len > 0 && std::strcmp(event->name, name) == 0) ++count;
      p += sizeof(inotify_event) + event->len;
    }
  }
  close(fd);
  return count;
}

TEST_F(SettingsMenuTest, OpeningShowsTheFileNotTheRunningSettings) {
  Start(kFullIni, kThreeRecords);
  // The running settings differ from the file: the menu must show the file.
  form->State.AutomaticEnabled = true;
  form->State.MaxTitles = 99;
  Open();
  EXPECT_FALSE(menu->CheckBoxNaechsterTitel->isChecked());
  EXPECT_TRUE(menu->CheckBoxStopTitel->isChecked());
  EXPECT_FALSE(menu->CheckBoxJingles->isChecked());
  EXPECT_FALSE(menu->CheckBoxLautstaerke->isChecked());
  EXPECT_FALSE(menu->CheckBoxCode->isChecked());
  EXPECT_FALSE(menu->CheckBoxKiosk->isChecked());
  EXPECT_FALSE(menu->CheckBoxBildschirmschoner->isChecked());
  EXPECT_FALSE(menu->CheckBoxGeburtstag->isChecked());
  EXPECT_FALSE(menu->CheckBoxMaus->isChecked());
  EXPECT_FALSE(menu->CheckBoxDoppelt->isChecked());
  EXPECT_FALSE(menu->CheckBoxAusblenden->isChecked());
  EXPECT_FALSE(menu->CheckBoxAutomatik->isChecked());
  EXPECT_FALSE(menu->CheckBoxEinmal->isChecked());
  EXPECT_EQ(menu->SpinEditMax.box->value(), 37);
  EXPECT_EQ(menu->Geburtstagssong.edit->text(), QStringLiteral("/lieder/happy.mp3"));
  EXPECT_FALSE(menu->Geburtstagssong.edit->isEnabled());
  EXPECT_FALSE(menu->DateTimePickerGeburtstDatum->isEnabled());
  EXPECT_FALSE(menu->SpinEditStunde.box->isEnabled());
  EXPECT_TRUE(menu->CheckBoxEinschraenken->isEnabled());
  EXPECT_FALSE(menu->CheckBoxEinschraenken->isChecked());
  EXPECT_TRUE(dialogs.Texts().empty());
}

TEST_F(SettingsMenuTest, CodeBoxNamesTheCodeInForce) {
  for (const auto& [line, caption] : {std::pair{"Menuecode=2501\r\n", "Menü mit Code sichern 2501"},
                                      std::pair{"", "Menü mit Code sichern 6813"}}) {
    SCOPED_TRACE(line);
    Start(std::string("[Programm]\r\nKiosk=0\r\n") + line, kThreeRecords);
    Open();
    EXPECT_EQ(menu->CheckBoxCode->text(), QString::fromUtf8(caption));
  }
}

// Any number of digits is a code; a long one is read whole in the caption,
// and the box still fits its row and the window.
TEST_F(SettingsMenuTest, ALongCodeIsShownWholeAndTheBoxFits) {
  for (std::size_t digits : {4, 8, 9, 20, 21, 40}) {
    std::string code;
    for (std::size_t i = 0; i < digits; ++i) code += static_cast<char>('1' + i % 9);
    SCOPED_TRACE(code);
    std::string ini = kFullIni;
    ini.insert(ini.find("Passwortaktiv"), "Menuecode=" + code + "\r\n");
    Start(ini);
    Open();
    QApplication::processEvents();
    QString shown = menu->CheckBoxCode->text();
    EXPECT_TRUE(shown.startsWith(QString::fromUtf8("Menü mit Code sichern"))) << shown.toStdString();
    shown.remove(QString::fromUtf8("Menü mit Code sichern")).remove(QLatin1Char('\n')).remove(QLatin1Char(' '));
    EXPECT_EQ(shown.toStdString(), code);
    const QRect box = menu->CheckBoxCode->geometry();
    EXPECT_GE(box.width(), menu->CheckBoxCode->sizeHint().width()) << "caption cut off";
    EXPECT_GE(box.height(), menu->CheckBoxCode->sizeHint().height()) << "caption cut off";
    EXPECT_TRUE(QRect(QPoint(0, 0), menu->size()).contains(box));
    for (QWidget* other : menu->findChildren<QWidget*>()) {
      if (other == menu->CheckBoxCode || other->parentWidget() != menu.get() || !other->isVisible()) continue;
      if (qobject_cast<QAbstractButton*>(other) == nullptr && qobject_cast<QLineEdit*>(other) == nullptr &&
          qobject_cast<QAbstractSpinBox*>(other) == nullptr && qobject_cast<QLabel*>(other) == nullptr)
        continue;
      EXPECT_FALSE(box.intersects(other->geometry())) << other->objectName().toStdString();
    }
  }
}

// Every value goes from the controls into the file in one replacement, in the
// order the menu writes them; the running program follows the controls.
TEST_F(SettingsMenuTest, ClosingWritesEveryValueOnceInOrderAndAppliesThem) {
  Start("[Schalter_Einstellungen]\r\n[Programm]\r\nKiosk=0\r\n[Jingle]\r\n[Abspielliste]\r\n", kThreeRecords);
  // The automatic, on by default, refused the three titles at start-up; the
  // box still shows the file's (default) value.
  ASSERT_EQ(dialogs.Texts(), std::vector<std::string>{kAutomaticTooFewTitlesText});
  dialogs.Clear();
  Open();
  // Missing keys read as their defaults: every box ticked, max at least 1.
  for (QCheckBox* box : {menu->CheckBoxNaechsterTitel, menu->CheckBoxStopTitel, menu->CheckBoxJingles,
                         menu->CheckBoxLautstaerke, menu->CheckBoxCode, menu->CheckBoxBildschirmschoner,
                         menu->CheckBoxGeburtstag, menu->CheckBoxMaus, menu->CheckBoxDoppelt,
                         menu->CheckBoxAusblenden, menu->CheckBoxAutomatik, menu->CheckBoxEinmal}) {
    EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
  }
  EXPECT_EQ(menu->SpinEditMax.box->value(), 1);

  menu->CheckBoxNaechsterTitel->setChecked(false);
  menu->CheckBoxLautstaerke->setChecked(false);
  menu->CheckBoxMaus->setChecked(false);
  menu->CheckBoxAusblenden->setChecked(false);
  menu->CheckBoxJingles->click();  // off: the fields keep what they hold
  menu->SpinEditMax.plus->click();
  menu->SpinEditMax.box->setValue(37);
  dialogs.openAnswers = {{"/lieder/happy birthday.mp3"}};
  menu->Geburtstagssong.browse->click();
  menu->DateTimePickerGeburtstDatum->setDate(QDate(2026, 12, 24));
  menu->SpinEditStunde.box->setValue(18);
  menu->SpinEditMinute.box->setValue(30);
  menu->SpinEditSekunde.box->setValue(5);
  screenSaver.setCalls.clear();
  mousePointer.showCalls.clear();

  QElapsedTimer clock;
  const int replacements = ReplacementsOf(folder.Path(), "Jukebox.ini", [&] {
    clock.start();
    Close();
  });
  const qint64 closingMs = clock.elapsed();
  RecordProperty("closing_ms", static_cast<int>(closingMs));
  std::printf("[ figures  ] closing the settings menu took %lld ms\n", static_cast<long long>(closingMs));
  EXPECT_EQ(replacements, 1) << "every write replaces the file; the closing must do it once";

  EXPECT_EQ(IniText(),
            "[Schalter_Einstellungen]\r\n"
            "Schalter_Naechster_Titel=0\r\nSchalter_Stop_Titel=1\r\nSchalter_Jingle=0\r\n"
            "Schalter_Lautstaerkeregler=0\r\n"
            "[Programm]\r\n"
            "Kiosk=0\r\nPasswortaktiv=1\r\nBildschirmschoner=1\r\nGeburtstag=1\r\n"
            "Geburtstagssong=/lieder/happy birthday.mp3\r\nGeburtzeit=24.12.2026 18:30:05\r\nMaus=0\r\n"
            "TitelDoppel=1\r\nTitelausblenden=0\r\nAutomatik=1\r\nEinmalSpielen=1\r\n"
            "[Jingle]\r\nSong_1=\r\nSong_2=\r\nSong_3=\r\nSong_4=\r\n"
            "[Abspielliste]\r\nmax=37\r\n"
            "[Lautheit]\r\nAngleichen=0\r\n");

  const TProgramState& state = form->State;
  EXPECT_FALSE(state.NextSwitch);
  EXPECT_TRUE(state.StopSwitch);
  EXPECT_FALSE(form->BtnNext->isEnabled());
  EXPECT_TRUE(form->BtnStop->isEnabled());
  EXPECT_FALSE(state.FadeEnabled);
  EXPECT_FALSE(form->LabelDiodeFade->Lit());
  EXPECT_TRUE(state.AllowDuplicates);
  EXPECT_TRUE(form->LabelDiodeDoppel->Lit());
  EXPECT_EQ(state.MaxTitles, 37);
  EXPECT_EQ(form->Labelmaxwert->text(), QStringLiteral("37"));
  EXPECT_EQ(state.BirthdaySongPath, "/lieder/happy birthday.mp3");
  EXPECT_DOUBLE_EQ(state.BirthdayTime, EncodeDate(2026, 12, 24) + EncodeTime(18, 30, 5));
  EXPECT_TRUE(form->TimerGeburtstag->isActive());
  EXPECT_TRUE(form->LabelDiodeGeburt->Lit());
  EXPECT_TRUE(state.MenuCodeActive);
  EXPECT_FALSE(state.KioskMode);
  for (QPushButton* jingle : {form->SpeedButton_Jingle1, form->SpeedButton_Jingle2, form->SpeedButton_Jingle3,
                              form->SpeedButton_Jingle4}) {
    EXPECT_FALSE(jingle->isEnabled());
  }
  EXPECT_FALSE(form->SliderEdit1->isEnabled());
  EXPECT_EQ(screenSaver.setCalls, std::vector<bool>{false});
  EXPECT_EQ(mousePointer.showCalls, std::vector<bool>{true});
  EXPECT_TRUE(dialogs.Texts().empty());

  // And back: the next opening shows what was stored.
  menu->CheckBoxNaechsterTitel->setChecked(true);
  menu->SpinEditMax.box->setValue(5);
  Open();
  EXPECT_FALSE(menu->CheckBoxNaechsterTitel->isChecked());
  EXPECT_EQ(menu->SpinEditMax.box->value(), 37);
  EXPECT_EQ(menu->SpinEditStunde.box->value(), 18);
  EXPECT_EQ(menu->SpinEditSekunde.box->value(), 5);
}

TEST_F(SettingsMenuTest, UntickedBirthdayModeDisarmsAndKeepsTheMoment) {
  Start(std::string(kFullIni), kThreeRecords);
  form->TimerGeburtstag->start();
  form->LabelDiodeGeburt->SetLit(true);
  const double moment = form->State.BirthdayTime;
  Open();
  Close();
  EXPECT_FALSE(form->TimerGeburtstag->isActive());
  EXPECT_FALSE(form->LabelDiodeGeburt->Lit());
  EXPECT_DOUBLE_EQ(form->State.BirthdayTime, moment);
  EXPECT_EQ(Ini().ReadString("Programm", "Geburtzeit", ""), "24.12.2026 18:30:05");
  EXPECT_FALSE(Ini().ReadBool("Programm", "Geburtstag", true));
}

TEST_F(SettingsMenuTest, StoredMaxOfZeroOrNoneShowsAndStoresOne) {
  for (const char* section : {"[Abspielliste]\r\nmax=0\r\n", "[Abspielliste]\r\n"}) {
    SCOPED_TRACE(section);
    Start(std::string(kPlainIni).substr(0, std::string(kPlainIni).find("[Abspielliste]")) + section);
    Open();
    EXPECT_EQ(menu->SpinEditMax.box->value(), 1);
    Close();
    EXPECT_EQ(form->State.MaxTitles, 1);
    EXPECT_EQ(form->Labelmaxwert->text(), QStringLiteral("1"));
    EXPECT_EQ(Ini().ReadString("Abspielliste", "max", ""), "1");
  }
}

TEST_F(SettingsMenuTest, PlayOnceAndDuplicatesExcludeEachOther) {
  Start(kFullIni, kThreeRecords);
  ASSERT_FALSE(form->State.PlayOnceEnabled);
  Open();
  menu->CheckBoxDoppelt->click();
  EXPECT_TRUE(menu->CheckBoxDoppelt->isChecked()) << "allowed while play-once is off";

  menu->CheckBoxEinmal->click();
  EXPECT_TRUE(form->State.PlayOnceEnabled);
  EXPECT_EQ(form->State.PlayOnceList.Size(), 3u);
  EXPECT_FALSE(menu->CheckBoxDoppelt->isChecked());
  menu->CheckBoxDoppelt->click();
  EXPECT_FALSE(menu->CheckBoxDoppelt->isChecked()) << "duplicates allowed while play-once is on";

  menu->CheckBoxEinmal->click();
  EXPECT_FALSE(form->State.PlayOnceEnabled);
  EXPECT_TRUE(form->State.PlayOnceList.Empty());
  menu->CheckBoxDoppelt->click();
  EXPECT_TRUE(menu->CheckBoxDoppelt->isChecked());

  // A tick set in code (the file's value) switches nothing on.
  menu->CheckBoxEinmal->setChecked(true);
  EXPECT_FALSE(form->State.PlayOnceEnabled);
}

TEST_F(SettingsMenuTest, JinglePathsSurviveAClosingWithJinglesOff) {
  Start(kFullIni);
  Open();
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_FALSE(menu->Jingles[i].edit->isEnabled());
    EXPECT_FALSE(menu->Jingles[i].browse->isEnabled());
  }
  EXPECT_EQ(menu->Jingles[2].edit->text(), QStringLiteral("/j/drei.mp3"));
  Close();
  EXPECT_EQ(form->State.JingleSong1, "/j/eins.mp3");
  EXPECT_EQ(form->State.JingleSong4, "/j/vier.mp3");
  const std::string text = IniText();
  EXPECT_NE(text.find("Song_1=/j/eins.mp3\r\nSong_2=/j/zwei.mp3\r\nSong_3=/j/drei.mp3\r\nSong_4=/j/vier.mp3\r\n"),
            std::string::npos)
      << text;

  Open();
  menu->CheckBoxJingles->click();
  for (std::size_t i = 0; i < 4; ++i) EXPECT_TRUE(menu->Jingles[i].edit->isEnabled());
  EXPECT_EQ(menu->Jingles[0].edit->text(), QStringLiteral("/j/eins.mp3"));
}

TEST_F(SettingsMenuTest, BrowseFillsAFieldAndDoubleClickEmptiesIt) {
  std::string ini = kFullIni;
  ini.replace(ini.find("Schalter_Jingle=0"), 17, "Schalter_Jingle=1");
  Start(ini);
  Open();
  const auto doubleClick = [](QWidget* widget) {
    QMouseEvent event(QEvent::MouseButtonDblClick, QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
  };

  dialogs.openAnswers = {{"/j/neu.mp3"}};
  menu->Jingles[2].browse->click();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].kind, ScriptedDialogs::Kind::OpenFiles);
  EXPECT_EQ(dialogs.shown[0].text, "mp3|*.mp3");
  EXPECT_EQ(menu->Jingles[2].edit->text(), QStringLiteral("/j/neu.mp3"));
  menu->Jingles[3].browse->click();  // cancelled: the field keeps its file
  EXPECT_EQ(menu->Jingles[3].edit->text(), QStringLiteral("/j/vier.mp3"));

  doubleClick(menu->Jingles[1].edit);
  EXPECT_TRUE(menu->Jingles[1].edit->text().isEmpty());
  // The birthday song field is disabled while the mode is off: it stays.
  doubleClick(menu->Geburtstagssong.edit);
  EXPECT_EQ(menu->Geburtstagssong.edit->text(), QStringLiteral("/lieder/happy.mp3"));
  menu->CheckBoxGeburtstag->click();
  ASSERT_TRUE(menu->Geburtstagssong.edit->isEnabled());
  dialogs.Clear();
  menu->Geburtstagssong.browse->click();
  EXPECT_EQ(dialogs.shown.at(0).text, "mp3|*mp3");
  doubleClick(menu->Geburtstagssong.edit);
  EXPECT_TRUE(menu->Geburtstagssong.edit->text().isEmpty());

  Close();
  EXPECT_EQ(Ini().ReadString("Jingle", "Song_2", "<none>"), "");
  EXPECT_EQ(Ini().ReadString("Jingle", "Song_3", ""), "/j/neu.mp3");
  EXPECT_EQ(Ini().ReadString("Programm", "Geburtstagssong", "<none>"), "");
  EXPECT_EQ(form->State.JingleSong2, "");
}

TEST_F(SettingsMenuTest, BrowseStartsInTheFolderOfTheChosenFile) {
  std::string ini = kFullIni;
  ini.replace(ini.find("Schalter_Jingle=0"), 17, "Schalter_Jingle=1");
  ini.replace(ini.find("Geburtstag=0"), 12, "Geburtstag=1");
  Start(ini);
  Open();
  struct Case {
    const char* what;
    TFileField* field;
    QString text;
    const char* folder;  // where the picker is asked to start; "" leaves it to the picker
  };
  const Case cases[] = {
      {"a jingle", &menu->Jingles[3], QStringLiteral("/j/vier.mp3"), "/j/"},
      {"the birthday song", &menu->Geburtstagssong, QStringLiteral("/lieder/happy.mp3"), "/lieder/"},
      {"a name with umlauts", &menu->Jingles[0], QString::fromUtf8("/Musik/Kölsch/Ölwechsler.mp3"),
       "/Musik/K\xF6lsch/"},
      {"an empty field", &menu->Jingles[1], QString(), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.field->edit->setText(c.text);
    dialogs.Clear();
    c.field->browse->click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].folder, c.folder);
  }
}

TEST_F(SettingsMenuTest, ATapOnTheDateOpensTheCalendar) {
  std::string ini = kFullIni;
  ini.replace(ini.find("Geburtstag=0"), 12, "Geburtstag=1");
  Start(ini);
  Open();
  QApplication::processEvents();
  QDateEdit* date = menu->DateTimePickerGeburtstDatum;
  ASSERT_TRUE(date->isEnabled());
  auto* text = date->findChild<QLineEdit*>();
  ASSERT_NE(text, nullptr);
  const auto tap = [](QWidget* widget, QPointF at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
    QApplication::processEvents();
  };
  QWidget* calendar = date->calendarWidget();
  for (QPointF at : {QPointF(text->rect().center()), QPointF(4, text->height() / 2.0)}) {
    ASSERT_FALSE(calendar->isVisible());
    tap(text, at);
    EXPECT_TRUE(calendar->isVisible()) << "a tap on the date at " << at.x();
    calendar->window()->hide();
    QApplication::processEvents();
  }
  // Nothing opens while the birthday mode is off.
  menu->CheckBoxGeburtstag->click();
  ASSERT_FALSE(date->isEnabled());
  tap(text, text->rect().center());
  EXPECT_FALSE(calendar->isVisible());
}

TEST_F(SettingsMenuTest, MousePointerFollowsTheBoxOnEveryChange) {
  Start(kFullIni);  // Maus=0: start-up showed the pointer
  mousePointer.showCalls.clear();
  Open();
  EXPECT_TRUE(mousePointer.showCalls.empty()) << "the box did not change";
  menu->CheckBoxMaus->click();
  EXPECT_EQ(mousePointer.showCalls, std::vector<bool>{false});
  Close();
  EXPECT_EQ(mousePointer.showCalls, (std::vector<bool>{false, false})) << "asked again at closing";
  EXPECT_TRUE(Ini().ReadBool("Programm", "Maus", false));
  // Set from the file on the next opening: shown at once.
  Ini().WriteBool("Programm", "Maus", false);
  Open();
  EXPECT_EQ(mousePointer.showCalls, (std::vector<bool>{false, false, true}));
}

TEST_F(SettingsMenuTest, MissingJukeboxIniIsToldAtOpeningAndClosing) {
  Start(kFullIni, kThreeRecords);
  Open();
  Close();
  folder.Remove("Jukebox.ini");
  menu->SpinEditMax.box->setValue(12);
  menu->CheckBoxKiosk->setChecked(true);
  dialogs.Clear();
  Open();
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{Cp(kIniMissing)});
  EXPECT_EQ(menu->SpinEditMax.box->value(), 12) << "the controls keep what they showed";
  EXPECT_TRUE(menu->CheckBoxKiosk->isChecked());
  Close();
  EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{Cp(kIniMissing), Cp(kIniMissing)}));
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "Jukebox.ini")) << "the closing created the file";
  EXPECT_EQ(form->State.MaxTitles, 12) << "the rest of the closing still applies";
}

TEST_F(SettingsMenuTest, RefusedWriteIsShownAndTheFileKept) {
  Start(kFullIni);
  Open();
  const std::string before = IniText();
  std::filesystem::permissions(folder.Path() + "Jukebox.ini", std::filesystem::perms::owner_read);
  menu->SpinEditMax.box->setValue(3);
  Close();
  std::filesystem::permissions(folder.Path() + "Jukebox.ini",
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].kind, ScriptedDialogs::Kind::Error);
  EXPECT_EQ(dialogs.shown[0].text, "In " + Ini().FileName() + " kann nicht geschrieben werden");
  EXPECT_EQ(IniText(), before);
}

TEST_F(SettingsMenuTest, BirthdayMomentOfMidnightShowsZeros) {
  std::string ini = kFullIni;
  ini.replace(ini.find("Geburtstag=0"), 12, "Geburtstag=1");
  ini.replace(ini.find("Geburtzeit=24.12.2026 18:30:05"), 30, "Geburtzeit=24.12.2026");
  Start(ini);
  // The running moment, not the file's, fills the fields.
  EXPECT_DOUBLE_EQ(form->State.BirthdayTime, EncodeDate(2026, 12, 24));
  Open();
  EXPECT_EQ(menu->DateTimePickerGeburtstDatum->date(), QDate(2026, 12, 24));
  EXPECT_EQ(menu->SpinEditStunde.box->value(), 0);
  EXPECT_EQ(menu->SpinEditMinute.box->value(), 0);
  EXPECT_EQ(menu->SpinEditSekunde.box->value(), 0);
  EXPECT_TRUE(menu->DateTimePickerGeburtstDatum->isEnabled());
  EXPECT_TRUE(menu->SpinEditSekunde.plus->isEnabled());
  Close();
  EXPECT_EQ(Ini().ReadString("Programm", "Geburtzeit", ""), "24.12.2026");
}

// The birthday timer unticks the mode when it fires; the song's own end gives
// the guests "Vor" and "Stop" back, not the menu.
TEST_F(SettingsMenuTest, ClosingWhileTheBirthdaySongPlaysLeavesVorAndStopLockedButTakesTheSwitches) {
  std::string ini = kFullIni;
  ini.replace(ini.find("Schalter_Naechster_Titel=0"), 26, "Schalter_Naechster_Titel=1");
  Start(ini);
  form->TimerGeburtsongPlay->start();
  form->BtnNext->setEnabled(false);
  form->BtnStop->setEnabled(false);
  form->State.NextSwitch = false;
  Open();
  EXPECT_TRUE(menu->SpeedButtonGeburtstagsongStop->isEnabled());
  Close();
  EXPECT_FALSE(form->BtnNext->isEnabled());
  EXPECT_FALSE(form->BtnStop->isEnabled());
  EXPECT_TRUE(form->State.NextSwitch) << "the switch holds from the closing on, for the fades after the song";
  EXPECT_TRUE(Ini().ReadBool("Schalter_Einstellungen", "Schalter_Naechster_Titel", false)) << "still stored";

  form->TimerGeburtsongPlay->stop();
  Open();
  Close();
  EXPECT_TRUE(form->BtnNext->isEnabled());
  EXPECT_TRUE(form->BtnStop->isEnabled());
  EXPECT_TRUE(form->State.NextSwitch);
}

TEST_F(SettingsMenuTest, RestrictionBoxRefusesWithItsMessages) {
  const std::string refused = Cp(
      "Solange die Jukeboxautomatik aktiv ist oder keine Titel vorhanden sind, steht Ihnen diese Funktion "
      "nicht zur Verfügung.");
  const std::string missing =
      Cp("Es sind nicht alle benötigten Dateien vorhanden. Musiksammlung kann nicht eingeschränkt werden.");

  // The automatic runs: the tick goes back.
  Start(kFullIni, kThreeRecords);
  form->State.AutomaticEnabled = true;
  Open();
  ASSERT_TRUE(menu->CheckBoxEinschraenken->isEnabled());
  menu->CheckBoxEinschraenken->click();
  EXPECT_FALSE(menu->CheckBoxEinschraenken->isChecked());
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{refused});

  // No titles shown: the box is disabled, and were it clicked it would refuse.
  form->State.AutomaticEnabled = false;
  form->CollectionTable().SetFilter("Interpret = 'Niemand'");
  form->CollectionTable().SetFiltered(true);
  dialogs.Clear();
  Open();
  EXPECT_FALSE(menu->CheckBoxEinschraenken->isEnabled());
  menu->CheckBoxEinschraenken->setChecked(true);
  menu->CheckBoxEinschraenkenClick();
  EXPECT_FALSE(menu->CheckBoxEinschraenken->isChecked());
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{refused});
  form->CollectionTable().SetFiltered(false);

  // A value list missing: the message, and the flipped tick stays.
  for (const char* name : {"TempMusikliste.xml", "TempJahr.text"}) {
    SCOPED_TRACE(name);
    folder.Remove(name);
    dialogs.Clear();
    Open();
    menu->CheckBoxEinschraenken->click();
    EXPECT_TRUE(menu->CheckBoxEinschraenken->isChecked());
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{missing});
  }
}

TEST_F(SettingsMenuTest, RestrictionBoxOpensTheFilterWindow) {
  Start(kFullIni, kThreeRecords);
  form->State.RestrictionActive = true;
  Open();
  EXPECT_TRUE(menu->CheckBoxEinschraenken->isChecked()) << "shows RestrictionActive";
  bool shown = false;
  QTimer::singleShot(0, formFilter.get(), [&] {
    shown = formFilter->isVisible();
    formFilter->reject();
  });
  menu->CheckBoxEinschraenken->click();
  EXPECT_TRUE(shown);
}

TEST_F(SettingsMenuTest, CollectionWindowOnlyWithoutAutomaticAndRestriction) {
  const std::string refused =
      Cp("Solange die Jukeboxautomatik oder die Musiksammlung einschränken aktiv ist, steht Ihnen diese Funktion "
         "nicht zur Verfügung.");
  Start(kFullIni, kThreeRecords);
  Open();
  bool shown = false;
  QTimer::singleShot(0, formMenu.get(), [&] {
    shown = formMenu->isVisible();
    formMenu->reject();
  });
  menu->SpeedButtonMusiksammlung->click();
  EXPECT_TRUE(shown);
  EXPECT_TRUE(dialogs.Texts().empty());

  form->State.AutomaticEnabled = true;
  menu->SpeedButtonMusiksammlung->click();
  form->State.AutomaticEnabled = false;
  menu->CheckBoxEinschraenken->setChecked(true);
  menu->SpeedButtonMusiksammlung->click();
  menu->CheckBoxEinschraenken->setChecked(false);
  folder.Remove("Musikliste.xml");
  menu->SpeedButtonMusiksammlung->click();
  EXPECT_EQ(dialogs.Texts(),
            (std::vector<std::string>{
                refused, refused,
                Cp("Es sind nicht alle benötigten Dateien vorhanden. Die Musiksammlung kann nicht bearbeitet "
                   "werden.")}));
}

TEST_F(SettingsMenuTest, EndingTheProgramSavesWithoutApplying) {
  Start(kFullIni);
  Open();
  menu->SpinEditMax.box->setValue(44);
  menu->CheckBoxGeburtstag->click();
  menu->SpinEditStunde.box->setValue(7);
  mousePointer.showCalls.clear();

  menu->SpeedButtonBeenden->click();  // "No"
  EXPECT_TRUE(menu->isVisible());
  EXPECT_EQ(terminateRequests, 0);
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Orvela Jukebox beenden ?"});

  dialogs.questionAnswers = {true};
  menu->SpeedButtonBeenden->click();
  EXPECT_EQ(terminateRequests, 1);
  EXPECT_FALSE(menu->isVisible());
  EXPECT_EQ(Ini().ReadInteger("Abspielliste", "max", 0), 44);
  EXPECT_EQ(Ini().ReadString("Programm", "Geburtzeit", ""), "24.12.2026 07:30:05");
  EXPECT_TRUE(form->TimerGeburtstag->isActive());
  // Not applied: the closing's steps did not run.
  EXPECT_EQ(form->State.MaxTitles, 37);
  EXPECT_TRUE(mousePointer.showCalls.empty());
}

TEST_F(SettingsMenuTest, WebSiteLabelOpensTheAddressAndLightsUnderThePointer) {
  Start(kFullIni);
  Open();
  TWebLinkLabel* label = menu->LabelWebsite;
  EXPECT_EQ(label->TextColor(), QColor(0, 0, 0));
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), label->mapToGlobal(QPointF(2, 2)));
  QApplication::sendEvent(label, &enter);
  EXPECT_EQ(label->TextColor(), QColor(0, 0, 0xFF));
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), label->mapToGlobal(QPointF(2, 2)),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(label, &release);
  ASSERT_EQ(openedUrls.size(), 1u);
  EXPECT_EQ(openedUrls[0], QUrl(QString::fromLatin1(THauptmenu::kWebSiteAddress)));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(label, &leave);
  EXPECT_EQ(label->TextColor(), QColor(0, 0, 0));
  EXPECT_TRUE(label->font().underline());
  EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
}

// Every control inside the window, none on top of another, each big enough
// for a finger.
TEST_F(SettingsMenuTest, EveryControlFitsTheWindowAndAFinger) {
  Start(kFullIni);
  Open();
  QApplication::processEvents();
  const QRect client(QPoint(0, 0), menu->size());
  std::vector<QWidget*> targets;
  for (QWidget* widget : menu->findChildren<QWidget*>()) {
    if (!widget->isVisible() || widget->parentWidget() != menu.get()) continue;
    if (qobject_cast<QPushButton*>(widget) || qobject_cast<QCheckBox*>(widget) ||
        qobject_cast<QLineEdit*>(widget) || qobject_cast<QAbstractSpinBox*>(widget)) {
      targets.push_back(widget);
    }
  }
  ASSERT_GE(targets.size(), 40u);
  for (QWidget* widget : targets) {
    SCOPED_TRACE(widget->objectName().toStdString() + " " + widget->property("text").toString().toStdString());
    EXPECT_TRUE(client.contains(widget->geometry())) << widget->geometry().x() << "," << widget->geometry().y();
    if (qobject_cast<QCheckBox*>(widget) != nullptr) {
      EXPECT_GE(widget->font().pixelSize(), house::kReadablePx);
      EXPECT_GE(widget->height(), house::kTouchPx);
      EXPECT_GE(widget->width(), widget->sizeHint().width()) << "caption cut off";
    } else {
      EXPECT_GE(widget->height(), house::kTouchPx);
      if (auto* button = qobject_cast<QPushButton*>(widget)) {
        EXPECT_GE(widget->width(), button->sizeHint().width() - 8) << "caption cut off";
      }
    }
    for (QWidget* other : targets) {
      if (other != widget)
        EXPECT_FALSE(widget->geometry().intersects(other->geometry()))
            << other->objectName().toStdString() << " at y " << other->geometry().y() << "-"
            << other->geometry().bottom() << ", this at y " << widget->geometry().y() << "-" << widget->geometry().bottom();
    }
  }
  for (QPushButton* button : {menu->SpeedButtonMusiksammlung, menu->SpeedButtonJukeboxLeeren,
                              menu->SpeedButtonLTitelEntf, menu->SpeedButtonBeenden, menu->SpeedButton1,
                              menu->SpeedButton2, menu->BitBtnSchliessen}) {
    EXPECT_GE(button->height(), 48);
  }
  if (const char* shot = std::getenv("ORVELA_MENU_SHOT")) menu->grab().save(QString::fromLocal8Bit(shot));
}

TEST_F(SettingsMenuTest, UntickingTheScreenSaverBoxGivesBackTheScreenSaverFoundAtStart) {
  for (bool foundActive : {true, false}) {
    SCOPED_TRACE(foundActive ? "found on" : "found off");
    // The last round's window restores its own start's state as it goes.
    menu.reset();
    formFilter.reset();
    formMenu.reset();
    form.reset();
    screenSaver.active = foundActive;
    std::string ini = kFullIni;
    ini.replace(ini.find("Bildschirmschoner=0"), 19, "Bildschirmschoner=1");
    Start(ini);
    EXPECT_FALSE(screenSaver.active) << "off while the jukebox runs";
    Open();
    ASSERT_TRUE(menu->CheckBoxBildschirmschoner->isChecked());
    menu->CheckBoxBildschirmschoner->setChecked(false);
    Close();
    EXPECT_EQ(screenSaver.active, foundActive);
    Open();
    menu->CheckBoxBildschirmschoner->setChecked(true);
    Close();
    EXPECT_FALSE(screenSaver.active);
  }
}

// "Lautstärke angleichen" shows the levelling section's switch and sets it:
// the file keeps its target, and the running jukebox levels (or stops
// levelling) from the next title on.
class SettingsMenuLevellingTest : public SettingsMenuTest {
 protected:
  SettingsMenuLevellingTest() { UseManualOutput(); }
};

TEST_F(SettingsMenuLevellingTest, TheLevellingBoxSwitchesTheSection) {
  struct Case {
    const char* name;
    const char* section;
    bool on;
    bool tick;
    const char* written;
    double target;
  } cases[] = {
      {"ticked without a section", "", false, true, "[Lautheit]\r\nAngleichen=1\r\n", -16.0},
      {"unticked", "[Lautheit]\r\nAngleichen=1\r\nZiel=-20\r\n", true, false,
       "[Lautheit]\r\nAngleichen=0\r\nZiel=-20\r\n", 0.0},
      {"ticked where it was off", "[Lautheit]\r\nZiel=-20\r\nAngleichen=0\r\n", false, true,
       "[Lautheit]\r\nZiel=-20\r\nAngleichen=1\r\n", -20.0},
      {"left on", "[Lautheit]\r\nAngleichen=1\r\nZiel=-23\r\n", true, true,
       "[Lautheit]\r\nAngleichen=1\r\nZiel=-23\r\n", -23.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Start(std::string(kFullIni) + c.section, kThreeRecords);
    MakeTitles();
    Queue({"a.mp3", "b.mp3"});
    EXPECT_EQ(form->Levelling() != nullptr, c.on);
    Open();
    EXPECT_EQ(menu->CheckBoxAngleichen->isChecked(), c.on);
    if (c.tick != c.on) menu->CheckBoxAngleichen->click();
    Close();
    const std::string ini = IniText();
    EXPECT_EQ(ini.substr(ini.find("[Lautheit]")), c.written);
    ASSERT_EQ(form->Levelling() != nullptr, c.tick);
    if (c.tick) {
      EXPECT_EQ(form->Levelling()->TargetLufs(), c.target);
      // Switched on with titles waiting: they are measured before they play.
      if (!c.on) {
        EXPECT_EQ(form->Levelling()->Pending(), 2u);
      }
    }
    if (!c.tick) {
      // Switched off, the next title plays as decoded (the tone is at 0.5).
      form->BtnPlayPauseClick();
      float peak = 0.0f;
      for (float v : manualOutput->Render(22050)) peak = std::max(peak, std::fabs(v));
      EXPECT_GT(peak, 0.4f);
    }
    Open();
    EXPECT_EQ(menu->CheckBoxAngleichen->isChecked(), c.tick);
    Close();
  }
}

// --- The queue ------------------------------------------------------------

class SettingsMenuQueueTest : public SettingsMenuTest {
 protected:
  SettingsMenuQueueTest() { UseManualOutput(); }
  void SetUp() override {
    Start(kFullIni, kThreeRecords);
    ASSERT_NE(form->Player(), nullptr);
    MakeTitles();
    Open();
  }
  bool Playing() { return form->Player()->GetState() == audio::kPlaying; }
};

TEST_F(SettingsMenuQueueTest, EmptyingTheQueueStopsTheMusicAfterTheQuestion) {
  Queue({"a.mp3", "b.mp3", "c.mp3"});
  form->BtnPlayPauseClick();
  ASSERT_TRUE(Playing());
  menu->SpeedButtonJukeboxLeeren->click();  // "No"
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kEmptyQuestion});
  EXPECT_EQ(Rows(), 3);
  EXPECT_TRUE(Playing());

  dialogs.questionAnswers = {true};
  menu->SpeedButtonJukeboxLeeren->click();
  EXPECT_EQ(Rows(), 0);
  EXPECT_TRUE(form->Player()->Items.empty());
  EXPECT_FALSE(Playing());
  // Nothing of the old title stays on the screen.
  EXPECT_EQ(form->LabelTitel->text(), QString(45, QLatin1Char(':')));
  EXPECT_EQ(form->LabelInterpret->text(), QString(45, QLatin1Char(':')));
  EXPECT_EQ(form->LabelJahr->text(), QStringLiteral("0000"));
  EXPECT_EQ(form->LabelGenre->text(), QString(20, QLatin1Char(':')));
  EXPECT_EQ(form->LabelDauer->text(), QStringLiteral("00:00"));
  EXPECT_EQ(form->MainScrollbar->value(), 0);
  EXPECT_EQ(form->LabeJukeWann->text(), QStringLiteral("xx:xx Uhr"));
  EXPECT_EQ(form->LabelTitelJukeWert->text(), QStringLiteral("0"));
  EXPECT_EQ(form->State.QueueTotalSeconds, 0);
  EXPECT_EQ(form->LabelAbspielJukeWert->text(), QStringLiteral("00:00"));
  EXPECT_TRUE(form->LabelDiodeLeer->Lit());
  EXPECT_FALSE(form->LabelDiodePlay->Lit());
  // The next title counts from nothing.
  Queue({"b.mp3"});
  EXPECT_EQ(form->State.QueueTotalSeconds, form->Player()->Items[0]->Duration);
}

TEST_F(SettingsMenuQueueTest, RemovingTheLastTitle) {
  struct Case {
    std::vector<const char*> queued;
    int rowsAfter;
    bool playingAfter;
  };
  for (const Case& c : {Case{{"a.mp3"}, 0, false}, Case{{"a.mp3", "b.mp3", "c.mp3"}, 2, true}}) {
    SCOPED_TRACE(c.queued.size());
    for (const char* name : c.queued) Queue({name});
    form->BtnPlayPauseClick();
    ASSERT_TRUE(Playing());
    const int totalBefore = form->State.QueueTotalSeconds;
    const int lastDuration = static_cast<int>(form->Player()->Items.back()->Duration);
    const TAudioFile* first = form->Player()->Items.front().get();
    dialogs.Clear();
    dialogs.questionAnswers = {true};
    menu->SpeedButtonLTitelEntf->click();
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kRemoveLastQuestion});
    EXPECT_EQ(Rows(), c.rowsAfter);
    EXPECT_EQ(form->Player()->Items.size(), static_cast<std::size_t>(c.rowsAfter));
    EXPECT_EQ(Playing(), c.playingAfter);
    EXPECT_EQ(form->LabelTitelJukeWert->text(), QString::number(c.rowsAfter));
    if (c.rowsAfter == 0) {
      EXPECT_EQ(form->State.QueueTotalSeconds, 0);
      EXPECT_EQ(form->LabelAbspielJukeWert->text(), QStringLiteral("00:00"));
      EXPECT_EQ(form->LabelTitel->text(), QString(45, QLatin1Char(':')));
      EXPECT_EQ(form->LabelGenre->text(), QString(20, QLatin1Char(':')));
      EXPECT_EQ(form->LabelJahr->text(), QStringLiteral("0000"));
      EXPECT_TRUE(form->LabelDiodeLeer->Lit());
    } else {
      EXPECT_EQ(form->State.QueueTotalSeconds, totalBefore - lastDuration);
      EXPECT_EQ(form->LabelAbspielJukeWert->text(),
                QString::asprintf("%.2d:%.2d", form->State.QueueTotalSeconds / 60, form->State.QueueTotalSeconds % 60));
      EXPECT_EQ(form->Player()->Items.front().get(), first) << "the playing title stays";
      EXPECT_EQ(form->PlaylistView->topLevelItem(1)->text(0), QStringLiteral("b.mp3"));
    }
    // Clean slate for the next case.
    form->Player()->Clear();
    form->State.QueueTotalSeconds = 0;
  }
}

TEST_F(SettingsMenuQueueTest, PlaylistsLiveInTheirFolderAndOnlyAsM3u) {
  const std::string playlists = folder.Path() + "Playlisten";
  ASSERT_FALSE(std::filesystem::exists(playlists));
  menu->SpeedButton2->click();
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Es befinden sich keine Titel in der Jukebox (Playlist)"});
  EXPECT_FALSE(std::filesystem::exists(playlists)) << "nothing to save, no dialog";

  Queue({"a.mp3", "c.mp3"});
  dialogs.Clear();
  dialogs.saveAnswers = {playlists + "/abend.txt", playlists + "/abend.m3u"};
  menu->SpeedButton2->click();
  EXPECT_TRUE(std::filesystem::is_directory(playlists)) << "made when missing";
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].kind, ScriptedDialogs::Kind::SaveFile);
  EXPECT_EQ(dialogs.shown[0].text, "M3U-Listen|*m3u");
  EXPECT_EQ(dialogs.shown[0].folder, playlists);
  EXPECT_FALSE(std::filesystem::exists(playlists + "/abend.txt"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(playlists), std::filesystem::directory_iterator()), 0);
  menu->SpeedButton2->click();
  ASSERT_TRUE(std::filesystem::exists(playlists + "/abend.m3u"));

  // Loading appends; the count follows, also when the dialog is cancelled.
  dialogs.Clear();
  form->LabelTitelJukeWert->setText(QStringLiteral("?"));
  menu->SpeedButton1->click();
  EXPECT_EQ(form->LabelTitelJukeWert->text(), QStringLiteral("2"));
  dialogs.openAnswers = {{playlists + "/abend.m3u"}};
  menu->SpeedButton1->click();
  EXPECT_EQ(Rows(), 4);
  EXPECT_EQ(form->LabelTitelJukeWert->text(), QStringLiteral("4"));
  EXPECT_EQ(dialogs.shown.at(1).folder, playlists);
  EXPECT_EQ(dialogs.shown.at(1).text, "M3U-Listen|*m3u");
  EXPECT_EQ(form->Player()->Items[3]->FilePath, folder.Path() + "c.mp3");
}

TEST_F(SettingsMenuQueueTest, PlaylistFolderMadeWhenMissingForLoadingToo) {
  menu->SpeedButton1->click();
  EXPECT_TRUE(std::filesystem::is_directory(folder.Path() + "Playlisten"));
  EXPECT_EQ(dialogs.shown.at(0).folder, folder.Path() + "Playlisten");
}

// --- With the automatic --------------------------------------------------

class SettingsMenuAutomaticTest : public SettingsMenuQueueTest {
 protected:
  // Eight titles over the three files; the automatic fills five at start-up.
  void SetUp() override {
    SettingsMenuQueueTest::SetUp();
    std::vector<Row> rows;
    for (int k = 1; k <= 8; ++k) {
      const std::string file = std::string(1, static_cast<char>('a' + k % 3)) + ".mp3";
      rows.push_back({"Band " + std::to_string(k), "Song " + std::to_string(k), folder.Path() + file, "Pop",
                      "1990", "00:03"});
    }
    std::string ini = kFullIni;
    ini.replace(ini.find("Automatik=0"), 11, "Automatik=1");
    Start(ini, rows);
    ASSERT_TRUE(form->State.AutomaticEnabled);
    ASSERT_EQ(Rows(), kAutomaticQueueLength);
    Open();
    ASSERT_TRUE(menu->CheckBoxAutomatik->isChecked());
  }
  int QueueSeconds() const {
    int total = 0;
    for (const auto& item : form->Player()->Items) total += static_cast<int>(item->Duration);
    return total;
  }
};

TEST_F(SettingsMenuAutomaticTest, EmptyingWarnsAsksAndRefills) {
  form->BtnPlayPauseClick();
  ASSERT_TRUE(Playing());
  menu->SpeedButtonJukeboxLeeren->click();  // "No"
  EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{Cp(kRefill), kEmptyQuestion}));
  EXPECT_TRUE(Playing());

  dialogs.Clear();
  dialogs.questionAnswers = {true};
  // A title the automatic never draws marks the old queue.
  form->Player()->Add("/nowhere/old-queue.mp3");
  menu->SpeedButtonJukeboxLeeren->click();
  EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{Cp(kRefill), kEmptyQuestion}));
  EXPECT_FALSE(Playing());
  EXPECT_EQ(Rows(), kAutomaticQueueLength);
  EXPECT_EQ(form->Player()->Items.size(), static_cast<std::size_t>(kAutomaticQueueLength));
  for (const auto& item : form->Player()->Items) {
    EXPECT_NE(item->FilePath, "/nowhere/old-queue.mp3") << "a new queue";
  }
  EXPECT_EQ(form->LabelTitelJukeWert->text(), QString::number(kAutomaticQueueLength));
  // The new queue's time alone, not the old one's on top.
  EXPECT_EQ(form->State.QueueTotalSeconds, QueueSeconds());
  EXPECT_EQ(form->LabelTitel->text(), QString(45, QLatin1Char(':')));
}

TEST_F(SettingsMenuAutomaticTest, RemovingTheLastTitleRefillsOnlyAnEmptiedQueue) {
  dialogs.questionAnswers = {true, true, true, true, true};
  for (int left = kAutomaticQueueLength - 1; left >= 1; --left) {
    menu->SpeedButtonLTitelEntf->click();
    ASSERT_EQ(Rows(), left);
    EXPECT_EQ(form->State.QueueTotalSeconds, QueueSeconds());
  }
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>(4, kRemoveLastQuestion)) << "no refill while titles remain";
  form->BtnPlayPauseClick();
  ASSERT_TRUE(Playing());
  dialogs.Clear();
  menu->SpeedButtonLTitelEntf->click();
  EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{kRemoveLastQuestion, Cp(kRefill)}));
  EXPECT_FALSE(Playing());
  EXPECT_EQ(Rows(), kAutomaticQueueLength);
  EXPECT_EQ(form->LabelTitelJukeWert->text(), QString::number(kAutomaticQueueLength));
  EXPECT_EQ(form->State.QueueTotalSeconds, QueueSeconds());
}

TEST_F(SettingsMenuAutomaticTest, TheAutomaticBoxSwitchesAtOnce) {
  menu->CheckBoxAutomatik->click();
  EXPECT_FALSE(form->State.AutomaticEnabled);
  EXPECT_FALSE(form->LabelDiodeAuto->Lit());
  form->Player()->Clear();
  menu->CheckBoxAutomatik->click();
  EXPECT_TRUE(form->State.AutomaticEnabled);
  EXPECT_TRUE(form->LabelDiodeAuto->Lit());
  EXPECT_EQ(Rows(), kAutomaticQueueLength);
  // Set in code (the file's value at the next opening) it switches nothing.
  Close();
  Ini().WriteBool("Programm", "Automatik", false);
  Open();
  EXPECT_FALSE(menu->CheckBoxAutomatik->isChecked());
  EXPECT_TRUE(form->State.AutomaticEnabled);
}

TEST_F(SettingsMenuQueueTest, TheAutomaticRefusedOnASmallCollectionUnticksItsBox) {
  ASSERT_FALSE(menu->CheckBoxAutomatik->isChecked());
  menu->CheckBoxAutomatik->click();
  EXPECT_FALSE(menu->CheckBoxAutomatik->isChecked());
  EXPECT_FALSE(form->State.AutomaticEnabled);
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kAutomaticTooFewTitlesText});
  Close();
  EXPECT_FALSE(Ini().ReadBool("Programm", "Automatik", true));
}

}  // namespace
}  // namespace orvela::testing
