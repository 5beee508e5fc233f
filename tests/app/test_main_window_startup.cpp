// Start-up and shut-down of the main window: the required files, the settings,
// the collection, the screen saver.
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "app/lamp_label.h"
#include "app/led_lamp.h"
#include "common/codepage.h"
#include "jukebox/jukebox_automatic.h"
#include "main_window_fixture.h"

namespace orvela::testing {
namespace {

const std::vector<Row> kThreeTitles = {
    {"ABBA", "Waterloo", "/m/waterloo.mp3", "Pop", "1974", "02:46"},
    {"Bee Gees", "Stayin' Alive", "/m/alive.mp3", "Disco", "1977", "04:45"},
    {"Cher", "Believe", "/m/believe.mp3", "Pop", "1998", "03:59"},
};

std::string StartRefusedText() {
  return Utf8ToCp1252("Es sind nicht alle benötigten Dateien vorhanden. Orvela Jukebox wird nicht gestartet.");
}

// How a required entry is missing: gone, or something that is not a file in its
// place (a folder would read as empty settings, a pipe would block the start).
enum class Missing { Removed, Folder, Pipe };

struct MissingCase {
  const char* entry;  // a file name, or "audio" / "wma" for the audio layer's answers
  Missing how = Missing::Removed;
};

class MissingEntryTest : public MainWindowTest, public ::testing::WithParamInterface<MissingCase> {};

TEST_P(MissingEntryTest, RefusesToStartWithOneMessageAndTouchesNothing) {
  folder.WriteAll(kPlainIni, kThreeTitles);
  const std::string entry = GetParam().entry;
  if (entry == "audio") {
    audioAvailable = false;
  } else if (entry == "wma") {
    wmaAvailable = false;
  } else {
    folder.Remove(entry);
    const std::string native = folder.Path() + entry;
    if (GetParam().how == Missing::Folder) std::filesystem::create_directory(native);
    if (GetParam().how == Missing::Pipe) ASSERT_EQ(::mkfifo(native.c_str(), 0600), 0);
  }
  const auto before = folder.Names();
  {
    auto form = MakeForm();
    EXPECT_TRUE(form->StartFailed());
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{StartRefusedText()});
    EXPECT_EQ(terminateRequests, 1);
    EXPECT_EQ(screenSaver.queries, 0);
    EXPECT_TRUE(mousePointer.showCalls.empty());
    EXPECT_FALSE(form->TimerGeburtstag->isActive());
    EXPECT_EQ(form->CollectionTable().RecordCount(), 0);
  }
  // Shut-down of a refused start restores nothing it never changed.
  EXPECT_TRUE(screenSaver.setCalls.empty());
  EXPECT_EQ(dialogs.Texts().size(), 1U);
  EXPECT_EQ(folder.Names(), before);
}

INSTANTIATE_TEST_SUITE_P(EachRequiredEntry, MissingEntryTest,
                         ::testing::Values(MissingCase{"Jukebox.ini"}, MissingCase{"Musikliste.xml"},
                                           MissingCase{"TempMusikliste.xml"}, MissingCase{"TempGenre.text"},
                                           MissingCase{"TempInterpret.text"}, MissingCase{"TempJahr.text"},
                                           MissingCase{"audio"}, MissingCase{"wma"},
                                           MissingCase{"Jukebox.ini", Missing::Folder},
                                           MissingCase{"Musikliste.xml", Missing::Pipe},
                                           MissingCase{"TempJahr.text", Missing::Folder}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(MainWindowTest, UnloadableCollectionStopsTheStartButFinishesTheScreen) {
  folder.WriteAll(kPlainIni, {});
  folder.Write("Musikliste.xml", "<?xml version=\"1.0\"?><not a collection");
  auto form = MakeForm();
  EXPECT_TRUE(form->StartFailed());
  EXPECT_EQ(dialogs.Texts(),
            std::vector<std::string>{"Kann musikliste.xml nicht finden! Orvela Jukebox wird nicht gestartet."});
  EXPECT_EQ(terminateRequests, 1);
  // The steps after the collection still ran.
  EXPECT_EQ(form->Labelmaxwert->text(), "20");
  EXPECT_FALSE(form->JvLED2->Active());
  EXPECT_EQ(form->StaticTextMusikListenStatus->text(), "Musikliste ohne Titel");
}

TEST_F(MainWindowTest, EmptyCollectionStartsWithZeroCountsAndTheLampOff) {
  folder.WriteAll(kPlainIni, {});
  auto form = MakeForm();
  EXPECT_FALSE(form->StartFailed());
  EXPECT_TRUE(dialogs.Texts().empty());
  EXPECT_EQ(terminateRequests, 0);
  EXPECT_EQ(form->StaticText_titel_vorhanden->text(), "0 Titel in Musiksammlung vorhanden");
  EXPECT_EQ(form->StaticTextSucheGefunden->text(), "0 Titel");
  EXPECT_EQ(form->StaticTextMusikListenStatus->text(), "Musikliste ohne Titel");
  EXPECT_FALSE(form->JvLED2->Active());
  EXPECT_EQ(form->JvLED2->Color(), QColor(0xFF, 0x00, 0x00));
}

// A program folder whose name an older system wrote in Latin-1 bytes: its files
// are all there and must be found.
TEST_F(MainWindowTest, AProgramFolderNamedInCodePageBytesStarts) {
  folder.WriteAll(kPlainIni, kThreeTitles);
  const std::string latin1 = folder.Path() + "M\xFCller";
  std::filesystem::create_directory(latin1);
  for (const std::string& name : folder.Names()) {
    if (name != "M\xFCller") std::filesystem::copy_file(folder.Path() + name, latin1 + "/" + name);
  }
  auto form = MakeForm(NativePathToCp1252(latin1) + "/");
  EXPECT_FALSE(form->StartFailed());
  EXPECT_TRUE(dialogs.Texts().empty()) << dialogs.Texts().front();
  EXPECT_EQ(form->CollectionTable().RecordCount(), 3);
}

TEST_F(MainWindowTest, FilledCollectionIsCountedAndReportedComplete) {
  folder.WriteAll(kPlainIni, kThreeTitles);
  auto form = MakeForm();
  EXPECT_EQ(form->StaticText_titel_vorhanden->text(), "3 Titel in Musiksammlung vorhanden");
  EXPECT_EQ(form->StaticTextSucheGefunden->text(), "3 Titel");
  EXPECT_EQ(form->StaticTextMusikListenStatus->text(), QString::fromUtf8("Musiksammlung komplett verfügbar"));
  EXPECT_TRUE(form->JvLED2->Active());
  EXPECT_EQ(form->JvLED2->Color(), QColor(0x00, 0xFF, 0x00));
  EXPECT_FALSE(form->CollectionTable().Filtered());
  EXPECT_EQ(form->CollectionTable().FieldAsString("Interpret"), "ABBA");
}

TEST_F(MainWindowTest, IniWithoutKeysSwitchesEverythingOn) {
  folder.WriteAll("[Programm]\r\n", kThreeTitles);
  screenSaver.active = true;
  auto form = MakeForm();
  const TProgramState& s = form->State;
  EXPECT_TRUE(s.NextSwitch && s.StopSwitch && s.MenuCodeActive && s.KioskMode && s.AllowDuplicates &&
              s.FadeEnabled && s.PlayOnceEnabled);
  // The automatic was on, and refused to run on three titles.
  EXPECT_FALSE(s.AutomaticEnabled);
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kAutomaticTooFewTitlesText});
  EXPECT_EQ(s.MaxTitles, 0);
  EXPECT_EQ(s.BirthdayTime, 0.0);
  EXPECT_EQ(s.BirthdaySongPath, "");
  EXPECT_EQ(s.JingleSong1 + s.JingleSong2 + s.JingleSong3 + s.JingleSong4, "");
  EXPECT_EQ(screenSaver.setCalls, std::vector<bool>{false});
  EXPECT_EQ(mousePointer.showCalls, std::vector<bool>{false});
  EXPECT_TRUE(form->TimerGeburtstag->isActive());
  EXPECT_TRUE(form->LabelDiodeGeburt->Lit());
  EXPECT_TRUE(form->LabelDiodeDoppel->Lit());
  EXPECT_TRUE(form->LabelDiodeFade->Lit());
  EXPECT_EQ(form->Labelmaxwert->text(), "0");
  for (QWidget* control : std::initializer_list<QWidget*>{
           form->BtnNext, form->BtnStop, form->SpeedButton_Jingle1, form->SpeedButton_Jingle2,
           form->SpeedButton_Jingle3, form->SpeedButton_Jingle4, form->SliderEdit1}) {
    EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
  }
  EXPECT_TRUE(form->windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_TRUE(form->windowState().testFlag(Qt::WindowFullScreen));
}

struct IniCase {
  const char* ini;
  bool next, stop, jingle, slider, code, kiosk, duplicates, fade, automatic, playOnce, birthday, pointerHidden;
  int max;
};

class IniValuesTest : public MainWindowTest, public ::testing::WithParamInterface<IniCase> {};

TEST_P(IniValuesTest, SettingsReachStateAndControls) {
  const IniCase& c = GetParam();
  folder.WriteAll(c.ini, kThreeTitles);
  auto form = MakeForm();
  const TProgramState& s = form->State;
  EXPECT_EQ(s.NextSwitch, c.next);
  EXPECT_EQ(s.StopSwitch, c.stop);
  EXPECT_EQ(form->BtnNext->isEnabled(), c.next);
  EXPECT_EQ(form->BtnStop->isEnabled(), c.stop);
  for (QPushButton* jingle : {form->SpeedButton_Jingle1, form->SpeedButton_Jingle2, form->SpeedButton_Jingle3,
                              form->SpeedButton_Jingle4}) {
    EXPECT_EQ(jingle->isEnabled(), c.jingle);
  }
  EXPECT_EQ(form->SliderEdit1->isEnabled(), c.slider);
  EXPECT_EQ(s.MenuCodeActive, c.code);
  EXPECT_EQ(s.KioskMode, c.kiosk);
  EXPECT_EQ(s.AllowDuplicates, c.duplicates);
  EXPECT_EQ(form->LabelDiodeDoppel->Lit(), c.duplicates);
  EXPECT_EQ(s.FadeEnabled, c.fade);
  EXPECT_EQ(form->LabelDiodeFade->Lit(), c.fade);
  // Read as on, the automatic refuses to run on three titles.
  EXPECT_FALSE(s.AutomaticEnabled);
  EXPECT_EQ(dialogs.Texts().size(), c.automatic ? 1u : 0u);
  EXPECT_EQ(s.PlayOnceEnabled, c.playOnce);
  EXPECT_EQ(form->TimerGeburtstag->isActive(), c.birthday);
  EXPECT_EQ(form->LabelDiodeGeburt->Lit(), c.birthday);
  EXPECT_EQ(mousePointer.showCalls, std::vector<bool>{!c.pointerHidden});
  EXPECT_EQ(s.MaxTitles, c.max);
  EXPECT_EQ(form->Labelmaxwert->text(), QString::number(c.max));
  EXPECT_EQ(form->windowFlags().testFlag(Qt::FramelessWindowHint), c.kiosk);
  if (!c.kiosk) {
    EXPECT_EQ(form->size(), QSize(TForm1::kDesignClientWidth, TForm1::kDesignClientHeight));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniValuesTest,
    ::testing::Values(
        IniCase{"[Schalter_Einstellungen]\r\nSchalter_Naechster_Titel=0\r\nSchalter_Stop_Titel=1\r\n"
                "Schalter_Jingle=0\r\nSchalter_Lautstaerkeregler=1\r\n"
                "[Programm]\r\nPasswortaktiv=0\r\nKiosk=0\r\nGeburtstag=0\r\nMaus=0\r\nTitelDoppel=0\r\n"
                "Titelausblenden=1\r\nAutomatik=0\r\nEinmalSpielen=1\r\n[Abspielliste]\r\nmax=20\r\n",
                false, true, false, true, false, false, false, true, false, true, false, false, 20},
        IniCase{"[Schalter_Einstellungen]\r\nSchalter_Naechster_Titel=1\r\nSchalter_Stop_Titel=0\r\n"
                "Schalter_Jingle=1\r\nSchalter_Lautstaerkeregler=0\r\n"
                "[Programm]\r\nPasswortaktiv=1\r\nKiosk=1\r\nGeburtstag=1\r\nMaus=1\r\nTitelDoppel=1\r\n"
                "Titelausblenden=0\r\nAutomatik=1\r\nEinmalSpielen=0\r\n[Abspielliste]\r\nmax=7\r\n",
                true, false, true, false, true, true, true, false, true, false, true, true, 7}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(MainWindowTest, TextSettingsAreCopied) {
  folder.WriteAll("[Programm]\r\nKiosk=0\r\nGeburtstagssong=/musik/happy birthday.mp3\r\n"
                  "Geburtzeit=24.12.2026 18:30:00\r\n[Jingle]\r\nSong_1=/j/1.mp3\r\nSong_2=/j/2.mp3\r\n"
                  "Song_3=/j/3.mp3\r\nSong_4=/j/4.mp3\r\n",
                  {});
  auto form = MakeForm();
  const TProgramState& s = form->State;
  EXPECT_EQ(s.BirthdaySongPath, "/musik/happy birthday.mp3");
  EXPECT_NEAR(s.BirthdayTime, 46380.0 + 18.5 / 24.0, 1e-6);
  EXPECT_EQ(s.JingleSong1, "/j/1.mp3");
  EXPECT_EQ(s.JingleSong2, "/j/2.mp3");
  EXPECT_EQ(s.JingleSong3, "/j/3.mp3");
  EXPECT_EQ(s.JingleSong4, "/j/4.mp3");
}

TEST_F(MainWindowTest, UnreadableBirthdayMomentCountsAsLongPastAndStartContinues) {
  folder.WriteAll("[Programm]\r\nKiosk=0\r\nGeburtzeit=Heiligabend\r\n[Abspielliste]\r\nmax=5\r\n", {});
  auto form = MakeForm();
  EXPECT_FALSE(form->StartFailed());
  EXPECT_EQ(form->State.BirthdayTime, 0.0);
  EXPECT_EQ(form->State.MaxTitles, 5);
}

struct SaverCase {
  bool activeAtStart;
  const char* setting;
  std::vector<bool> expectedCalls;
};

class ScreenSaverTest : public MainWindowTest, public ::testing::WithParamInterface<SaverCase> {};

TEST_P(ScreenSaverTest, OffWhileRunningAndRestoredAtShutDown) {
  const SaverCase& c = GetParam();
  folder.WriteAll(std::string("[Programm]\r\nKiosk=0\r\nBildschirmschoner=") + c.setting + "\r\n", {});
  screenSaver.active = c.activeAtStart;
  {
    auto form = MakeForm();
    EXPECT_EQ(form->State.SavedScreenSaverActive, c.activeAtStart);
    if (std::string(c.setting) == "1") {
      EXPECT_FALSE(screenSaver.active);
    }
  }
  EXPECT_EQ(screenSaver.setCalls, c.expectedCalls);
  EXPECT_EQ(screenSaver.active, c.activeAtStart);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScreenSaverTest,
                         ::testing::Values(SaverCase{true, "1", {false, true}},
                                           SaverCase{false, "1", {false, false}},
                                           SaverCase{true, "0", {true}}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(MainWindowTest, ShutDownSavesNothingAndShowsNoMessage) {
  folder.WriteAll(kPlainIni, kThreeTitles);
  const auto readAll = [this](const char* name) {
    std::ifstream in(folder.Path() + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string collection = readAll("Musikliste.xml");
  const std::string ini = readAll("Jukebox.ini");
  auto form = MakeForm();
  form->CollectionTable().AppendRecord("Neu", "Titel", "/m/neu.mp3", "Pop", "2024", "03:00");
  form->CollectionTable().SetFilter("Interpret like'%e%'");
  form->CollectionTable().SetFiltered(true);
  form.reset();
  EXPECT_TRUE(dialogs.Texts().empty());
  EXPECT_EQ(readAll("Musikliste.xml"), collection);
  EXPECT_EQ(readAll("Jukebox.ini"), ini);
}

}  // namespace
}  // namespace orvela::testing
