#pragma once
// The operator's settings menu. It shows what Jukebox.ini holds each time it
// opens; most changes wait for the closing, which copies them into the running
// settings, brings the guest screen into line and writes the file back. The
// few controls that act at once say so where they are connected.
#include <QUrl>
#include <array>
#include <functional>
#include <string>

#include "app/operator_window.h"

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace orvela {

class TForm1;
class TFormFilter;
class TFormMenu;
class TWebLinkLabel;

// A read-only path field with its browse button. Only the button fills it;
// a double-click empties it.
struct TFileField {
  QLineEdit* edit = nullptr;
  QPushButton* browse = nullptr;
  // The file-open dialog's filter, "Name|pattern".
  std::string filter;
};

// A number field with finger-sized "-" and "+" beside it; the box clamps any
// value it is given into its range.
struct TSpinField {
  QPushButton* minus = nullptr;
  QSpinBox* box = nullptr;
  QPushButton* plus = nullptr;
};

class THauptmenu : public TOperatorWindow {
  Q_OBJECT

 public:
  // Where the web-site label leads.
  static constexpr const char* kWebSiteAddress = "https://orvela-jukebox.example/";

  // Registers itself with the main window, which from then on knows that the
  // settings window exists.
  THauptmenu(TForm1& form1, TFormMenu& formMenu, TFormFilter& formFilter, QWidget* parent = nullptr);
  ~THauptmenu() override;

  // How the web-site label opens its address (the desktop's browser by default).
  void SetUrlOpener(std::function<void(const QUrl&)> opener) { openUrl_ = std::move(opener); }

  // Each opening: the restriction box, then the settings from Jukebox.ini.
  void FormShow();
  // Each closing but "Jukebox beenden": the settings into the running program and the file.
  void FormClose();
  void LoadMenuSettings();
  void SaveMenuSettings();
  // Also the click handler of "Geburtstagsmodus".
  void ShowBirthdayFields();
  void ApplyBirthdayTime();

  // The operator's clicks (a tick set in code runs none of them).
  void CheckBoxJinglesClick();
  void CheckBoxAutomatikClick();
  void CheckBoxEinmalClick();
  void CheckBoxDoppeltClick();
  void CheckBoxEinschraenkenClick();
  // Writes [Handy] Aktiv and switches the phones' page at once.
  void CheckBoxHandyClick();
  // The restriction window opens while a restriction is on, whatever it left, or over a collection with titles.
  bool RestrictionWindowAllowed() const;
  // Every change of "Mauszeiger aus", whoever makes it.
  void CheckBoxMausChange();
  void SpeedButtonMusiksammlungClick();
  void SpeedButtonJukeboxLeerenClick();
  void SpeedButtonLTitelEntfClick();
  void SpeedButton1Click();  // "Playlist laden"
  void SpeedButton2Click();  // "Playlist speichern"
  void SpeedButtonBeendenClick();
  void BrowseClick(TFileField& field);
  void FileFieldDoubleClick(TFileField& field);
  void LabelWebsiteClick();

  // The window has no title-bar buttons: on a touch screen this is the only
  // way out.
  QPushButton* BitBtnSchliessen = nullptr;

  // The controls the other windows and rules set from outside.
  // "Jukebox Automatik": unticked when the automatic refuses to start.
  QCheckBox* CheckBoxAutomatik = nullptr;
  // "Musiksammlung einschränken...": enabled by collection building, ticked by the filter window.
  QCheckBox* CheckBoxEinschraenken = nullptr;
  // The birthday song's "Stop": disabled when the interruption ends.
  QPushButton* SpeedButtonGeburtstagsongStop = nullptr;

  QLabel* LabelJukebox = nullptr;        // "Orvela Jukebox"
  QLabel* LabelEinstellungen = nullptr;  // "Einstellungen"
  TWebLinkLabel* LabelWebsite = nullptr;

  QCheckBox* CheckBoxNaechsterTitel = nullptr;
  QCheckBox* CheckBoxStopTitel = nullptr;
  QCheckBox* CheckBoxLautstaerke = nullptr;
  QCheckBox* CheckBoxAusblenden = nullptr;
  QCheckBox* CheckBoxDoppelt = nullptr;
  QCheckBox* CheckBoxEinmal = nullptr;
  QCheckBox* CheckBoxJingles = nullptr;
  QCheckBox* CheckBoxCode = nullptr;
  QCheckBox* CheckBoxKiosk = nullptr;
  QCheckBox* CheckBoxBildschirmschoner = nullptr;
  QCheckBox* CheckBoxMaus = nullptr;
  QCheckBox* CheckBoxGeburtstag = nullptr;
  QCheckBox* CheckBoxAngleichen = nullptr;  // "Lautstärke angleichen"
  QCheckBox* CheckBoxHandy = nullptr;      // "Auswahl mit dem Handy"

  std::array<TFileField, 4> Jingles;
  TFileField Geburtstagssong;
  QDateEdit* DateTimePickerGeburtstDatum = nullptr;
  TSpinField SpinEditStunde;
  TSpinField SpinEditMinute;
  TSpinField SpinEditSekunde;
  TSpinField SpinEditMax;

  QPushButton* SpeedButtonMusiksammlung = nullptr;
  QPushButton* SpeedButtonJukeboxLeeren = nullptr;
  QPushButton* SpeedButtonLTitelEntf = nullptr;
  QPushButton* SpeedButtonBeenden = nullptr;
  QPushButton* SpeedButton1 = nullptr;  // "Playlist laden"
  QPushButton* SpeedButton2 = nullptr;  // "Playlist speichern"

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void ConnectControls();
  void SetJingleFieldsEnabled(bool enabled);
  void SetBirthdayFieldsEnabled(bool enabled);
  bool FileInProgramDir(const std::string& name) const;
  // ProgramDir + "Playlisten", made when it is missing.
  std::string PlaylistFolder();
  void ShowQueueCount();

  TForm1& form1_;
  TFormMenu& formMenu_;
  TFormFilter& formFilter_;
  std::function<void(const QUrl&)> openUrl_;
  // "Jukebox beenden" leaves the modal loop without the closing's steps.
  bool endingProgram_ = false;
};

}  // namespace orvela
