#include "app/settings_menu.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/collection_builder_window.h"
#include "app/lamp_label.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/restriction_filter_window.h"
#include "app/web_link_label.h"
#include "collection/collection_table.h"
#include "common/codepage.h"
#include "common/dialogs.h"
#include "common/file_name.h"
#include "common/file_open.h"
#include "common/platform.h"
#include "jukebox/date_time.h"
#include "jukebox/jukebox_ini.h"
#include "jukebox/levelling_settings.h"
#include "jukebox/phone_settings.h"
#include "jukebox/playback_time.h"
#include "jukebox/title_selection.h"
#include "queue/tilu_playlist.h"

namespace orvela {

namespace {

// The operator's texts, in the code page.
std::string Cp(const char* utf8) { return Utf8ToCp1252(utf8); }

const char* const kIniMissingText =
    "Kann Jukebox.ini nicht finden! Orvela Jukebox wird nicht ordnungsgemäß ausgeführt.";
const char* const kFilterFilesMissingText =
    "Es sind nicht alle benötigten Dateien vorhanden. Musiksammlung kann nicht eingeschränkt werden.";
const char* const kFilterRefusedText =
    "Solange die Jukeboxautomatik aktiv ist oder keine Titel vorhanden sind, steht Ihnen diese Funktion nicht "
    "zur Verfügung.";
const char* const kCollectionRefusedText =
    "Solange die Jukeboxautomatik oder die Musiksammlung einschränken aktiv ist, steht Ihnen diese Funktion "
    "nicht zur Verfügung.";
const char* const kCollectionFilesMissingText =
    "Es sind nicht alle benötigten Dateien vorhanden. Die Musiksammlung kann nicht bearbeitet werden.";
// No blank after the first full stop: the operators know it so.
const char* const kAutomaticRefillText =
    "Achtung Jukeboxautomatik ist aktiv.Jukebox wird nach dem löschen mit neuen Titeln bestückt!";
const char* const kEmptyQueueQuestion =
    "Achtung diese Funktion entfernt alle Songs aus der Jukebox(Playlist). Fortsetzen ?";
const char* const kRemoveLastQuestion =
    "Achtung diese Funktion entfernt den letzten Titel aus der Jukebox(Playlist). Fortsetzen ?";
const char* const kNothingToSaveText = "Es befinden sich keine Titel in der Jukebox (Playlist)";
const char* const kEndProgramQuestion = "Orvela Jukebox beenden ?";
const char* const kPlaylistFilter = "M3U-Listen|*m3u";

constexpr const char* kSwitches = "Schalter_Einstellungen";
constexpr const char* kProgram = "Programm";
constexpr const char* kJingle = "Jingle";
constexpr const char* kQueue = "Abspielliste";

// A code of a few digits ends the caption's line; the digits of a longer one
// (any number is allowed) go on below it, in lines a little wider than that
// first one: the box never needs more width than its row leaves it, and a code
// of up to 40 digits takes two lines, as a finger-high row holds.
constexpr std::size_t kCodeOnTheLine = 8;
constexpr std::size_t kCodeDigitsPerLine = 32;

QString MenuCodeCaption(const std::string& code) {
  QString caption = QString::fromUtf8("Menü mit Code sichern ") + QString::fromStdString(code.substr(0, kCodeOnTheLine));
  for (std::size_t at = kCodeOnTheLine; at < code.size(); at += kCodeDigitsPerLine)
    caption += QLatin1Char('\n') + QString::fromStdString(code.substr(at, kCodeDigitsPerLine));
  return caption;
}

}  // namespace

THauptmenu::THauptmenu(TForm1& form1, TFormMenu& formMenu, TFormFilter& formFilter, QWidget* parent)
    : TOperatorWindow(QString::fromUtf8("Hauptmenü"), parent),
      form1_(form1),
      formMenu_(formMenu),
      formFilter_(formFilter),
      openUrl_([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
  setObjectName(QStringLiteral("Hauptmenu"));
  // The controls others hold on to are made first, under their names.
  BitBtnSchliessen = new QPushButton(QString::fromUtf8("Schließen"), this);
  BitBtnSchliessen->setObjectName(QStringLiteral("BitBtnSchliessen"));
  CheckBoxAutomatik = new QCheckBox(QStringLiteral("Jukebox Automatik"), this);
  CheckBoxAutomatik->setObjectName(QStringLiteral("CheckBoxAutomatik"));
  CheckBoxEinschraenken = new QCheckBox(QString::fromUtf8("Musiksammlung einschränken..."), this);
  CheckBoxEinschraenken->setObjectName(QStringLiteral("CheckBoxEinschraenken"));
  CheckBoxEinschraenken->setEnabled(false);
  SpeedButtonGeburtstagsongStop = new QPushButton(QStringLiteral("Stop"), this);
  SpeedButtonGeburtstagsongStop->setObjectName(QStringLiteral("SpeedButtonGeburtstagsongStop"));
  SpeedButtonGeburtstagsongStop->setEnabled(false);

  CreateControls();
  SetJingleFieldsEnabled(false);
  SetBirthdayFieldsEnabled(false);
  ConnectControls();

  form1_.SetSettingsMenuWindow(this);
}

THauptmenu::~THauptmenu() { form1_.SetSettingsMenuWindow(nullptr); }

void THauptmenu::ConnectControls() {
  connect(BitBtnSchliessen, &QPushButton::clicked, this, &QDialog::reject);
  // clicked is the operator's click only; a tick set in code does not emit it.
  connect(CheckBoxJingles, &QCheckBox::clicked, this, [this] { CheckBoxJinglesClick(); });
  connect(CheckBoxAutomatik, &QCheckBox::clicked, this, [this] { CheckBoxAutomatikClick(); });
  connect(CheckBoxEinmal, &QCheckBox::clicked, this, [this] { CheckBoxEinmalClick(); });
  connect(CheckBoxDoppelt, &QCheckBox::clicked, this, [this] { CheckBoxDoppeltClick(); });
  connect(CheckBoxEinschraenken, &QCheckBox::clicked, this, [this] { CheckBoxEinschraenkenClick(); });
  connect(CheckBoxGeburtstag, &QCheckBox::clicked, this, [this] { ShowBirthdayFields(); });
  connect(CheckBoxHandy, &QCheckBox::clicked, this, [this] { CheckBoxHandyClick(); });
  // The pointer follows this box whoever changes it, the file's value included.
  connect(CheckBoxMaus, &QCheckBox::toggled, this, [this] { CheckBoxMausChange(); });

  connect(SpeedButtonMusiksammlung, &QPushButton::clicked, this, [this] { SpeedButtonMusiksammlungClick(); });
  connect(SpeedButtonJukeboxLeeren, &QPushButton::clicked, this, [this] { SpeedButtonJukeboxLeerenClick(); });
  connect(SpeedButtonLTitelEntf, &QPushButton::clicked, this, [this] { SpeedButtonLTitelEntfClick(); });
  connect(SpeedButton1, &QPushButton::clicked, this, [this] { SpeedButton1Click(); });
  connect(SpeedButton2, &QPushButton::clicked, this, [this] { SpeedButton2Click(); });
  connect(SpeedButtonBeenden, &QPushButton::clicked, this, [this] { SpeedButtonBeendenClick(); });
  connect(SpeedButtonGeburtstagsongStop, &QPushButton::clicked, this,
          [this] { form1_.SpeedButtonGeburtstagsongStopClick(); });

  for (TFileField* field : {&Jingles[0], &Jingles[1], &Jingles[2], &Jingles[3], &Geburtstagssong}) {
    connect(field->browse, &QPushButton::clicked, this, [this, field] { BrowseClick(*field); });
    field->edit->installEventFilter(this);
  }
  LabelWebsite->SetOnClick([this] { LabelWebsiteClick(); });
}

bool THauptmenu::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    for (TFileField* field : {&Jingles[0], &Jingles[1], &Jingles[2], &Jingles[3], &Geburtstagssong}) {
      if (watched == field->edit) {
        FileFieldDoubleClick(*field);
        return true;
      }
    }
  }
  return TOperatorWindow::eventFilter(watched, event);
}

void THauptmenu::showEvent(QShowEvent* event) {
  // A window the desktop merely uncovers is not a new opening.
  if (!event->spontaneous()) {
    endingProgram_ = false;
    FormShow();
  }
  TOperatorWindow::showEvent(event);
}

void THauptmenu::done(int result) {
  if (!endingProgram_ && isVisible()) {
    FormClose();
  }
  TOperatorWindow::done(result);
}

bool THauptmenu::FileInProgramDir(const std::string& name) const {
  return IsRegularFile(ResolveCodePagePath(form1_.State.ProgramDir + name));
}

void THauptmenu::SetJingleFieldsEnabled(bool enabled) {
  for (TFileField& field : Jingles) {
    field.edit->setEnabled(enabled);
    field.browse->setEnabled(enabled);
  }
}

void THauptmenu::SetBirthdayFieldsEnabled(bool enabled) {
  Geburtstagssong.edit->setEnabled(enabled);
  Geburtstagssong.browse->setEnabled(enabled);
  DateTimePickerGeburtstDatum->setEnabled(enabled);
  for (TSpinField* spin : {&SpinEditStunde, &SpinEditMinute, &SpinEditSekunde}) {
    spin->minus->setEnabled(enabled);
    spin->box->setEnabled(enabled);
    spin->plus->setEnabled(enabled);
  }
}

void THauptmenu::ShowQueueCount() {
  form1_.LabelTitelJukeWert->setText(QString::number(form1_.PlaylistView->topLevelItemCount()));
}

// --- Opening and closing ---------------------------------------------------

void THauptmenu::FormShow() {
  CheckBoxEinschraenken->setChecked(form1_.State.RestrictionActive);
  // A restriction that matches nothing empties the collection; its window must
  // still open, or only a restart would lift it.
  CheckBoxEinschraenken->setEnabled(RestrictionWindowAllowed());
  LoadMenuSettings();
  ShowBirthdayFields();
}

void THauptmenu::LoadMenuSettings() {
  Dialogs& dialogs = *form1_.Services().dialogs;
  if (!FileInProgramDir("Jukebox.ini")) {
    dialogs.ShowMessage(Cp(kIniMissingText));
    return;
  }
  const TIniFile ini(form1_.State.ProgramDir + "Jukebox.ini");
  CheckBoxNaechsterTitel->setChecked(ini.ReadBool(kSwitches, "Schalter_Naechster_Titel", true));
  CheckBoxStopTitel->setChecked(ini.ReadBool(kSwitches, "Schalter_Stop_Titel", true));
  CheckBoxJingles->setChecked(ini.ReadBool(kSwitches, "Schalter_Jingle", true));
  // The box clamps: a stored 0 (or no value) shows as 1.
  SpinEditMax.box->setValue(ini.ReadInteger(kQueue, "max", 0));
  CheckBoxCode->setChecked(ini.ReadBool(kProgram, "Passwortaktiv", true));
  // The caption names the code in force, so the operator reads the one to type.
  CheckBoxCode->setText(MenuCodeCaption(form1_.State.MenuCode));
  CheckBoxKiosk->setChecked(ini.ReadBool(kProgram, "Kiosk", true));
  CheckBoxBildschirmschoner->setChecked(ini.ReadBool(kProgram, "Bildschirmschoner", true));
  CheckBoxGeburtstag->setChecked(ini.ReadBool(kProgram, "Geburtstag", true));
  Geburtstagssong.edit->setText(ToQString(ini.ReadString(kProgram, "Geburtstagssong", "")));
  CheckBoxMaus->setChecked(ini.ReadBool(kProgram, "Maus", true));
  CheckBoxDoppelt->setChecked(ini.ReadBool(kProgram, "TitelDoppel", true));
  CheckBoxAusblenden->setChecked(ini.ReadBool(kProgram, "Titelausblenden", true));
  CheckBoxAutomatik->setChecked(ini.ReadBool(kProgram, "Automatik", true));
  CheckBoxEinmal->setChecked(ini.ReadBool(kProgram, "EinmalSpielen", true));

  SetJingleFieldsEnabled(CheckBoxJingles->isChecked());
  // Filled even while jingles are off: the closing writes the fields back, and
  // switching jingles off for an evening must not lose the four files.
  const char* const songKeys[] = {"Song_1", "Song_2", "Song_3", "Song_4"};
  for (std::size_t i = 0; i < Jingles.size(); ++i) {
    Jingles[i].edit->setText(ToQString(ini.ReadString(kJingle, songKeys[i], "")));
  }
  CheckBoxLautstaerke->setChecked(ini.ReadBool(kSwitches, "Schalter_Lautstaerkeregler", true));
  CheckBoxAngleichen->setChecked(ReadLevellingSettings(ini).enabled);
  CheckBoxHandy->setChecked(ReadPhoneSettings(ini).enabled);
}

void THauptmenu::ShowBirthdayFields() {
  if (CheckBoxGeburtstag->isChecked()) {
    const double moment = form1_.State.BirthdayTime;
    const DateParts date = DecodeDate(moment);
    const TimeParts time = DecodeTime(moment);
    DateTimePickerGeburtstDatum->setDate(QDate(date.year, date.month, date.day));
    SpinEditStunde.box->setValue(time.hour);
    SpinEditMinute.box->setValue(time.minute);
    SpinEditSekunde.box->setValue(time.second);
    SetBirthdayFieldsEnabled(true);
  } else {
    // The birthday timer unticks the mode when it fires: an operator who comes
    // in while the song plays finds the way to stop it here.
    if (form1_.TimerGeburtsongPlay->isActive()) {
      SpeedButtonGeburtstagsongStop->setEnabled(true);
    }
    SetBirthdayFieldsEnabled(false);
  }
}

void THauptmenu::ApplyBirthdayTime() {
  if (!CheckBoxGeburtstag->isChecked()) {
    form1_.TimerGeburtstag->stop();
    form1_.LabelDiodeGeburt->SetLit(false);
    return;
  }
  const QDate date = DateTimePickerGeburtstDatum->date();
  form1_.State.BirthdayTime =
      CombineDateTime(EncodeDate(date.year(), date.month(), date.day()),
                      EncodeTime(SpinEditStunde.box->value(), SpinEditMinute.box->value(),
                                 SpinEditSekunde.box->value()));
  form1_.TimerGeburtstag->start();
  form1_.LabelDiodeGeburt->SetLit(true);
}

void THauptmenu::FormClose() {
  TProgramState& state = form1_.State;
  const TForm1Services& services = form1_.Services();
  services.mousePointer->Show(!CheckBoxMaus->isChecked());

  state.FadeEnabled = CheckBoxAusblenden->isChecked();
  state.AllowDuplicates = CheckBoxDoppelt->isChecked();
  state.BirthdaySongPath = FromQString(Geburtstagssong.edit->text());
  state.MaxTitles = SpinEditMax.box->value();
  state.JingleSong1 = FromQString(Jingles[0].edit->text());
  state.JingleSong2 = FromQString(Jingles[1].edit->text());
  state.JingleSong3 = FromQString(Jingles[2].edit->text());
  state.JingleSong4 = FromQString(Jingles[3].edit->text());
  state.MenuCodeActive = CheckBoxCode->isChecked();
  state.KioskMode = CheckBoxKiosk->isChecked();
  form1_.Labelmaxwert->setText(QString::number(state.MaxTitles));
  form1_.LabelDiodeDoppel->SetLit(state.AllowDuplicates);
  form1_.LabelDiodeFade->SetLit(state.FadeEnabled);

  // The switches hold from now on, also for the fades after a birthday song
  // that plays now; the buttons follow as far as the song or a guest's fade
  // leaves them free (their ends give the rest back).
  state.StopSwitch = CheckBoxStopTitel->isChecked();
  state.NextSwitch = CheckBoxNaechsterTitel->isChecked();
  form1_.UpdatePlayerButtons();
  for (QPushButton* jingle : {form1_.SpeedButton_Jingle4, form1_.SpeedButton_Jingle3, form1_.SpeedButton_Jingle2,
                              form1_.SpeedButton_Jingle1}) {
    jingle->setEnabled(CheckBoxJingles->isChecked());
  }
  form1_.SliderEdit1->setEnabled(CheckBoxLautstaerke->isChecked());
  form1_.SwitchLevelling(CheckBoxAngleichen->isChecked());
  form1_.ApplyWindowFrame(state.KioskMode);
  // Unticked, the machine gets back the screen saver it had before the jukebox
  // started, not one switched on for it.
  services.screenSaver->SetActive(!CheckBoxBildschirmschoner->isChecked() && form1_.State.SavedScreenSaverActive);
  ApplyBirthdayTime();
  SaveMenuSettings();
}

void THauptmenu::SaveMenuSettings() {
  Dialogs& dialogs = *form1_.Services().dialogs;
  if (!FileInProgramDir("Jukebox.ini")) {
    dialogs.ShowMessage(Cp(kIniMissingText));
    return;
  }
  TIniBatch batch;
  batch.WriteBool(kSwitches, "Schalter_Naechster_Titel", CheckBoxNaechsterTitel->isChecked());
  batch.WriteBool(kSwitches, "Schalter_Stop_Titel", CheckBoxStopTitel->isChecked());
  batch.WriteBool(kSwitches, "Schalter_Jingle", CheckBoxJingles->isChecked());
  batch.WriteBool(kSwitches, "Schalter_Lautstaerkeregler", CheckBoxLautstaerke->isChecked());
  batch.WriteBool(kProgram, "Passwortaktiv", CheckBoxCode->isChecked());
  batch.WriteBool(kProgram, "Kiosk", CheckBoxKiosk->isChecked());
  batch.WriteBool(kProgram, "Bildschirmschoner", CheckBoxBildschirmschoner->isChecked());
  batch.WriteBool(kProgram, "Geburtstag", CheckBoxGeburtstag->isChecked());
  batch.WriteString(kProgram, "Geburtstagssong", FromQString(Geburtstagssong.edit->text()));
  batch.WriteDateTime(kProgram, "Geburtzeit", form1_.State.BirthdayTime);
  batch.WriteBool(kProgram, "Maus", CheckBoxMaus->isChecked());
  batch.WriteBool(kProgram, "TitelDoppel", CheckBoxDoppelt->isChecked());
  batch.WriteBool(kProgram, "Titelausblenden", CheckBoxAusblenden->isChecked());
  batch.WriteBool(kProgram, "Automatik", CheckBoxAutomatik->isChecked());
  batch.WriteBool(kProgram, "EinmalSpielen", CheckBoxEinmal->isChecked());
  const char* const songKeys[] = {"Song_1", "Song_2", "Song_3", "Song_4"};
  for (std::size_t i = 0; i < Jingles.size(); ++i) {
    batch.WriteString(kJingle, songKeys[i], FromQString(Jingles[i].edit->text()));
  }
  batch.WriteInteger(kQueue, "max", SpinEditMax.box->value());
  // Only the switch: the target stays as it was written.
  batch.WriteBool(kLevellingSection, kLevellingOnKey, CheckBoxAngleichen->isChecked());
  // One replacement of the file for all of them: the operator waits for the
  // window to close, and each replacement waits for the disk.
  try {
    TIniFile(form1_.State.ProgramDir + "Jukebox.ini").Write(batch);
  } catch (const IniWriteError& e) {
    dialogs.Error(e.what());
  }
}

// --- Check boxes that act at once ------------------------------------------

void THauptmenu::CheckBoxHandyClick() {
  Dialogs& dialogs = *form1_.Services().dialogs;
  const bool on = CheckBoxHandy->isChecked();
  if (!FileInProgramDir("Jukebox.ini")) {
    CheckBoxHandy->setChecked(!on);
    dialogs.ShowMessage(Cp(kIniMissingText));
    return;
  }
  TIniFile ini(form1_.State.ProgramDir + "Jukebox.ini");
  // The page starts from the file, so the file must say so first; a box that
  // shows what the file does not hold would be undone by the next start.
  try {
    ini.WriteBool(kPhoneSection, kPhoneOnKey, on);
  } catch (const IniWriteError& e) {
    CheckBoxHandy->setChecked(!on);
    dialogs.Error(e.what());
    return;
  }
  form1_.SwitchPhones(on);
  if (on && form1_.Phones() == nullptr) {
    dialogs.ShowMessage(Utf8ToCp1252("Die Seite f\xC3\xBCr die Handys kann Port " +
                           std::to_string(ReadPhoneSettings(ini).port) +
                           " nicht \xC3\xB6" "ffnen (schon belegt?)."));
  }
}

void THauptmenu::CheckBoxJinglesClick() { SetJingleFieldsEnabled(CheckBoxJingles->isChecked()); }

void THauptmenu::CheckBoxAutomatikClick() {
  if (CheckBoxAutomatik->isChecked()) {
    form1_.StartAutomatic();
  } else {
    form1_.StopAutomatic();
  }
}

void THauptmenu::CheckBoxEinmalClick() {
  if (CheckBoxEinmal->isChecked()) {
    StartPlayOnce(form1_.State, form1_.CollectionTable().StoredRecordCount());
    CheckBoxDoppelt->setChecked(false);
  } else {
    StopPlayOnce(form1_.State);
  }
}

void THauptmenu::CheckBoxDoppeltClick() {
  // Duplicates cannot be allowed while each title may be chosen only once.
  if (CheckBoxEinmal->isChecked()) {
    CheckBoxDoppelt->setChecked(false);
  }
}

void THauptmenu::CheckBoxMausChange() { form1_.Services().mousePointer->Show(!CheckBoxMaus->isChecked()); }

bool THauptmenu::RestrictionWindowAllowed() const {
  return form1_.State.RestrictionActive || !form1_.CollectionTable().IsEmpty();
}

void THauptmenu::CheckBoxEinschraenkenClick() {
  Dialogs& dialogs = *form1_.Services().dialogs;
  if (!form1_.State.AutomaticEnabled && RestrictionWindowAllowed()) {
    for (const char* name : {"Jukebox.ini", "Musikliste.xml", "TempMusikliste.xml", "TempGenre.text",
                             "TempInterpret.text", "TempJahr.text"}) {
      if (!FileInProgramDir(name)) {
        dialogs.ShowMessage(Cp(kFilterFilesMissingText));
        return;
      }
    }
    // Its "Schließen" sets this box to what the collection now is.
    formFilter_.exec();
    return;
  }
  CheckBoxEinschraenken->setChecked(!CheckBoxEinschraenken->isChecked());
  dialogs.ShowMessage(Cp(kFilterRefusedText));
}

// --- Buttons ----------------------------------------------------------------

void THauptmenu::SpeedButtonMusiksammlungClick() {
  Dialogs& dialogs = *form1_.Services().dialogs;
  if (form1_.State.AutomaticEnabled || CheckBoxEinschraenken->isChecked()) {
    dialogs.ShowMessage(Cp(kCollectionRefusedText));
    return;
  }
  if (FileInProgramDir("Jukebox.ini") && FileInProgramDir("Musikliste.xml")) {
    formMenu_.exec();
  } else {
    dialogs.ShowMessage(Cp(kCollectionFilesMissingText));
  }
}

void THauptmenu::SpeedButtonJukeboxLeerenClick() {
  Dialogs& dialogs = *form1_.Services().dialogs;
  const bool automatic = form1_.State.AutomaticEnabled;
  if (automatic) {
    dialogs.ShowMessage(Cp(kAutomaticRefillText));
  }
  if (!dialogs.Question("", Cp(kEmptyQueueQuestion))) {
    return;
  }
  // An empty queue has no playing time, no title and nothing playing; without
  // this the old total would stay on the screen and grow with every title added.
  form1_.EmptyQueue();
  if (automatic) {
    form1_.FillQueueAutomatic();
  }
  ShowQueueCount();
}

void THauptmenu::SpeedButtonLTitelEntfClick() {
  Dialogs& dialogs = *form1_.Services().dialogs;
  if (!dialogs.Question("", Cp(kRemoveLastQuestion))) {
    return;
  }
  QTreeWidget* list = form1_.PlaylistView;
  const int rows = list->topLevelItemCount();
  TTiluPlaylist* queue = form1_.Player();
  if (rows > 1) {
    // The row's own "m:ss" is what the queue time added for it.
    TProgramState& state = form1_.State;
    state.QueueTotalSeconds -=
        static_cast<std::int32_t>(MinSecToSeconds(FromQString(list->topLevelItem(rows - 1)->text(1))));
    form1_.LabelAbspielJukeWert->setText(QString::fromStdString(FormatMinutesSeconds(state.QueueTotalSeconds)));
    if (queue != nullptr) {
      queue->RemoveItem(false);
    }
    delete list->takeTopLevelItem(rows - 1);
  } else {
    form1_.EmptyQueue();
    if (form1_.State.AutomaticEnabled) {
      dialogs.ShowMessage(Cp(kAutomaticRefillText));
      form1_.FillQueueAutomatic();
    }
  }
  ShowQueueCount();
}

std::string THauptmenu::PlaylistFolder() {
  const std::string folder = form1_.State.ProgramDir + "Playlisten";
  std::error_code ec;
  // A folder the program cannot make leaves the dialog to start where it likes.
  std::filesystem::create_directories(Cp1252ToNativePath(folder), ec);
  return folder;
}

void THauptmenu::SpeedButton1Click() {
  Dialogs& dialogs = *form1_.Services().dialogs;
  const std::vector<std::string> chosen = dialogs.OpenFiles("", kPlaylistFilter, PlaylistFolder(), false);
  if (!chosen.empty() && form1_.Player() != nullptr) {
    try {
      form1_.Player()->LoadPlaylist(chosen.front());
    } catch (const std::exception& e) {
      // The titles read before the failure stay queued and counted.
      dialogs.Error(e.what());
    }
  }
  ShowQueueCount();
}

void THauptmenu::SpeedButton2Click() {
  Dialogs& dialogs = *form1_.Services().dialogs;
  if (form1_.PlaylistView->topLevelItemCount() == 0 || form1_.Player() == nullptr) {
    dialogs.ShowMessage(kNothingToSaveText);
    return;
  }
  const std::string path = dialogs.SaveFile("", kPlaylistFilter, PlaylistFolder(), "m3u");
  if (path.empty()) {
    return;
  }
  try {
    form1_.Player()->SavePlaylist(path);
  } catch (const std::exception& e) {
    dialogs.Error(e.what());
  }
}

void THauptmenu::SpeedButtonBeendenClick() {
  if (!form1_.Services().dialogs->Question("", kEndProgramQuestion)) {
    return;
  }
  // Saved, not applied: the program ends anyway.
  ApplyBirthdayTime();
  SaveMenuSettings();
  if (form1_.Services().terminate) {
    form1_.Services().terminate();
  }
  endingProgram_ = true;
  done(QDialog::Rejected);
}

void THauptmenu::BrowseClick(TFileField& field) {
  // The next jingle is usually beside the one chosen before: the picker starts
  // in the chosen file's folder (one that has gone leaves it to its fallbacks).
  const std::string chosenFile = FromQString(field.edit->text());
  const std::string folder = chosenFile.substr(0, chosenFile.size() - FileNamePart(chosenFile).size());
  const std::vector<std::string> chosen =
      form1_.Services().dialogs->OpenFiles("", field.filter, folder, false);
  if (!chosen.empty()) {
    field.edit->setText(ToQString(chosen.front()));
  }
}

void THauptmenu::FileFieldDoubleClick(TFileField& field) {
  if (field.edit->isEnabled()) {
    field.edit->clear();
  }
}

void THauptmenu::LabelWebsiteClick() {
  if (openUrl_) {
    openUrl_(QUrl(QString::fromLatin1(kWebSiteAddress)));
  }
}

}  // namespace orvela
