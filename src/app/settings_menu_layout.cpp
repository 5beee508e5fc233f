// Building the settings menu: the switches down the left, the files, the
// birthday moment and the actions on the right, all of it big enough for a
// finger inside the operator windows' 878 x 500.
#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/settings_menu.h"
#include "app/web_link_label.h"

namespace orvela {

namespace {

constexpr int kCheckBoxPx = 19;
constexpr int kButtonPx = 15;
constexpr int kFieldPx = 15;
// Fields share the buttons' height: every row is one finger high.
constexpr int kFieldHeight = 48;
constexpr int kButtonHeight = 48;

QString MenuStyleSheet() {
  // Fonts are set on the controls, not here, so that each keeps its size.
  return QStringLiteral(R"(
QLabel { color: #E8ECF4; background: transparent; }
QLabel#LabelJukebox, QLabel#LabelEinstellungen { color: #FFFFFF; }
QLabel#LabelDoppeltHinweis { color: #B8C4D8; }
QCheckBox { spacing: 10px; }
QCheckBox::indicator { width: 28px; height: 28px; }
QLineEdit {
  color: #FFFFFF; background: rgba(6, 10, 26, 220);
  border: 1px solid #3D6BFF; border-radius: 6px; padding: 0px 6px;
}
QLineEdit:disabled { color: #6C7488; background: rgba(20, 22, 30, 200); border-color: #262B38; }
QSpinBox, QDateEdit {
  color: #FFFFFF; background: rgba(6, 10, 26, 220);
  border: 1px solid #3D6BFF; border-radius: 6px; padding: 0px 4px;
}
QSpinBox:disabled, QDateEdit:disabled { color: #6C7488; background: rgba(20, 22, 30, 200); border-color: #262B38; }
QDateEdit::drop-down { width: 30px; border-left: 1px solid #3D6BFF; }
QPushButton {
  color: #F4F6FA;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #343B4C, stop:1 #161A24);
  border: 1px solid #4A5470; border-radius: 8px; padding: 2px 6px;
}
QPushButton:pressed {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #2F6BFF, stop:1 #123B9E);
  border-color: #8DB0FF;
}
QPushButton:disabled { color: #5C6475; background: #15181F; border-color: #262B38; }
QPushButton#BitBtnSchliessen {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #2FBF62, stop:1 #0E6B2E);
  border: 2px solid #7CFFB2;
}
QPushButton#SpeedButtonBeenden, QPushButton#SpeedButtonGeburtstagsongStop {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #B83245, stop:1 #5E0E1A);
  border-color: #FF7A8C;
}
QPushButton#SpeedButtonBeenden:disabled, QPushButton#SpeedButtonGeburtstagsongStop:disabled {
  color: #5C6475; background: #15181F; border-color: #262B38;
}
)");
}

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

void SetPixelFont(QWidget* widget, int pixelSize, bool bold) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  widget->setFont(font);
}

// Light captions on the dark ground, and a white box with a dark tick that
// reads from a step away.
void StyleCheckBox(QCheckBox* box) {
  SetPixelFont(box, kCheckBoxPx, false);
  box->setMinimumHeight(30);
  QPalette colours = box->palette();
  colours.setColor(QPalette::WindowText, QColor(0xF4, 0xF6, 0xFA));
  colours.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6C, 0x74, 0x88));
  colours.setColor(QPalette::Base, QColor(0xFF, 0xFF, 0xFF));
  colours.setColor(QPalette::Disabled, QPalette::Base, QColor(0x60, 0x64, 0x70));
  colours.setColor(QPalette::Text, QColor(0x0E, 0x3A, 0x9E));
  colours.setColor(QPalette::Window, QColor(0x8D, 0xB0, 0xFF));
  box->setPalette(colours);
}

QCheckBox* NewCheckBox(QWidget* parent, const char* name, const char* captionUtf8) {
  auto* box = Named(new QCheckBox(QString::fromUtf8(captionUtf8), parent), name);
  StyleCheckBox(box);
  return box;
}

QPushButton* NewButton(QWidget* parent, const char* name, const QString& caption, int height = kButtonHeight) {
  auto* button = Named(new QPushButton(caption, parent), name);
  SetPixelFont(button, kButtonPx, true);
  button->setFixedHeight(height);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

TFileField NewFileField(QWidget* parent, const QString& name, const std::string& filter) {
  TFileField field;
  field.edit = new QLineEdit(parent);
  field.edit->setObjectName(name);
  field.edit->setReadOnly(true);
  field.edit->setFixedHeight(kFieldHeight);
  field.edit->setMinimumWidth(60);
  SetPixelFont(field.edit, kFieldPx, false);
  field.browse = new QPushButton(QStringLiteral("..."), parent);
  field.browse->setObjectName(name + QStringLiteral("Browse"));
  SetPixelFont(field.browse, kButtonPx + 2, true);
  field.browse->setFixedSize(44, kFieldHeight);
  field.browse->setFocusPolicy(Qt::NoFocus);
  field.filter = filter;
  return field;
}

TSpinField NewSpinField(QWidget* parent, const char* name, int minimum, int maximum, int value) {
  TSpinField spin;
  spin.box = Named(new QSpinBox(parent), name);
  spin.box->setRange(minimum, maximum);
  spin.box->setValue(value);
  spin.box->setButtonSymbols(QAbstractSpinBox::NoButtons);
  spin.box->setAlignment(Qt::AlignCenter);
  spin.box->setFixedSize(38, kFieldHeight);
  SetPixelFont(spin.box, kFieldPx + 3, true);
  spin.minus = new QPushButton(QString::fromUtf8("\u2212"), parent);
  spin.plus = new QPushButton(QStringLiteral("+"), parent);
  for (QPushButton* step : {spin.minus, spin.plus}) {
    SetPixelFont(step, 22, true);
    step->setFixedSize(36, kFieldHeight);
    step->setFocusPolicy(Qt::NoFocus);
    // Held down it keeps counting: 200 titles must not take 200 taps.
    step->setAutoRepeat(true);
    step->setAutoRepeatDelay(400);
    step->setAutoRepeatInterval(80);
  }
  QObject::connect(spin.minus, &QPushButton::clicked, spin.box, &QSpinBox::stepDown);
  QObject::connect(spin.plus, &QPushButton::clicked, spin.box, &QSpinBox::stepUp);
  return spin;
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets, int spacing = 4) {
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(spacing);
  for (QWidget* widget : widgets) row->addWidget(widget);
  return row;
}

QHBoxLayout* SpinRow(const TSpinField& spin) { return Row({spin.minus, spin.box, spin.plus}, 2); }

QLabel* SmallLabel(QWidget* parent, const char* textUtf8) {
  auto* label = new QLabel(QString::fromUtf8(textUtf8), parent);
  SetPixelFont(label, 14, true);
  return label;
}

}  // namespace

void THauptmenu::CreateControls() {
  setStyleSheet(MenuStyleSheet());

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(12, 6, 12, 8);
  root->setSpacing(4);

  // Title row.
  LabelJukebox = Named(new QLabel(QStringLiteral("Orvela Jukebox"), this), "LabelJukebox");
  LabelEinstellungen = Named(new QLabel(QStringLiteral("Einstellungen"), this), "LabelEinstellungen");
  SetPixelFont(LabelJukebox, 24, true);
  SetPixelFont(LabelEinstellungen, 24, true);
  LabelWebsite = Named(new TWebLinkLabel(QString::fromLatin1(kWebSiteAddress), this), "LabelWebsite");
  QFont linkFont = LabelWebsite->font();
  linkFont.setFamily(QStringLiteral("Arial"));
  linkFont.setPixelSize(14);
  LabelWebsite->setFont(linkFont);
  auto* title = new QHBoxLayout;
  title->setSpacing(16);
  title->addWidget(LabelJukebox);
  title->addWidget(LabelEinstellungen);
  title->addStretch(1);
  title->addWidget(LabelWebsite, 0, Qt::AlignVCenter);
  root->addLayout(title);

  auto* body = new QHBoxLayout;
  body->setSpacing(12);
  root->addLayout(body, 1);

  // Left: the switches.
  auto* left = new QVBoxLayout;
  left->setSpacing(1);
  CheckBoxNaechsterTitel = NewCheckBox(this, "CheckBoxNaechsterTitel", "Schalter nächster Titel erlauben");
  CheckBoxStopTitel = NewCheckBox(this, "CheckBoxStopTitel", "Schalter Titel Stoppen erlauben");
  CheckBoxLautstaerke = NewCheckBox(this, "CheckBoxLautstaerke", "Lautstärkeregler erlauben");
  CheckBoxAusblenden = NewCheckBox(this, "CheckBoxAusblenden", "Musik ausblenden");
  CheckBoxDoppelt = NewCheckBox(this, "CheckBoxDoppelt", "Doppelte Titel in Jukebox erlauben");
  LabelDoppeltHinweis =
      Named(new QLabel(QStringLiteral("Gilt nur bei manueller Auswahl."), this), "LabelDoppeltHinweis");
  SetPixelFont(LabelDoppeltHinweis, 14, false);
  // Under the caption, not under the box.
  LabelDoppeltHinweis->setContentsMargins(40, 0, 0, 2);
  CheckBoxEinmal = NewCheckBox(this, "CheckBoxEinmal", "Jeden Titel nur einmal abspielen");
  CheckBoxCode = NewCheckBox(this, "CheckBoxCode", "Menü mit Code sichern 6813");
  CheckBoxKiosk = NewCheckBox(this, "CheckBoxKiosk", "Kioskmodus");
  // Made in the constructor already: other windows hold it from the start.
  StyleCheckBox(CheckBoxAutomatik);
  CheckBoxBildschirmschoner = NewCheckBox(this, "CheckBoxBildschirmschoner", "Bildschirmschoner abschalten");
  CheckBoxMaus = NewCheckBox(this, "CheckBoxMaus", "Mauszeiger aus");
  StyleCheckBox(CheckBoxEinschraenken);
  for (QWidget* widget :
       std::initializer_list<QWidget*>{CheckBoxNaechsterTitel, CheckBoxStopTitel, CheckBoxLautstaerke,
                                       CheckBoxAusblenden, CheckBoxDoppelt, LabelDoppeltHinweis, CheckBoxEinmal,
                                       CheckBoxCode, CheckBoxKiosk, CheckBoxAutomatik, CheckBoxBildschirmschoner,
                                       CheckBoxMaus, CheckBoxEinschraenken}) {
    left->addWidget(widget);
  }
  left->addStretch(1);
  body->addLayout(left);

  // Right: jingles, birthday, actions.
  auto* right = new QVBoxLayout;
  right->setSpacing(5);
  body->addLayout(right, 1);

  CheckBoxJingles = NewCheckBox(this, "CheckBoxJingles", "Jingles erlauben");
  auto* maxLabel = SmallLabel(this, "Max. Titel für Jukebox");
  SpinEditMax = NewSpinField(this, "SpinEditMax", 1, 200, 10);
  auto* jingleHead = new QHBoxLayout;
  jingleHead->addWidget(CheckBoxJingles);
  jingleHead->addStretch(1);
  jingleHead->addWidget(maxLabel);
  jingleHead->addSpacing(6);
  jingleHead->addLayout(SpinRow(SpinEditMax));
  right->addLayout(jingleHead);

  auto* jingleGrid = new QGridLayout;
  jingleGrid->setHorizontalSpacing(10);
  jingleGrid->setVerticalSpacing(6);
  const std::string jingleFilter = "mp3|*.mp3";
  for (int i = 0; i < 4; ++i) {
    Jingles[static_cast<std::size_t>(i)] =
        NewFileField(this, QStringLiteral("EditJingle%1").arg(i + 1), jingleFilter);
    const TFileField& field = Jingles[static_cast<std::size_t>(i)];
    field.edit->setPlaceholderText(QStringLiteral("Jingle %1").arg(i + 1));
    jingleGrid->addLayout(Row({field.edit, field.browse}), i / 2, i % 2);
  }
  right->addLayout(jingleGrid);
  right->addSpacing(4);

  CheckBoxGeburtstag = NewCheckBox(this, "CheckBoxGeburtstag", "Geburtstagsmodus");
  // The filter as the birthday song always had it.
  Geburtstagssong = NewFileField(this, QStringLiteral("EditGeburtstagssong"), "mp3|*mp3");
  SetPixelFont(SpeedButtonGeburtstagsongStop, kButtonPx, true);
  SpeedButtonGeburtstagsongStop->setFixedSize(72, kFieldHeight);
  SpeedButtonGeburtstagsongStop->setFocusPolicy(Qt::NoFocus);
  auto* birthdayHead = new QHBoxLayout;
  birthdayHead->setSpacing(6);
  birthdayHead->addWidget(CheckBoxGeburtstag);
  birthdayHead->addWidget(Geburtstagssong.edit, 1);
  birthdayHead->addWidget(Geburtstagssong.browse);
  birthdayHead->addSpacing(6);
  birthdayHead->addWidget(SpeedButtonGeburtstagsongStop);
  right->addLayout(birthdayHead);

  DateTimePickerGeburtstDatum = Named(new QDateEdit(this), "DateTimePickerGeburtstDatum");
  DateTimePickerGeburtstDatum->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
  DateTimePickerGeburtstDatum->setCalendarPopup(true);
  // Day zero of the stored moments must be showable.
  DateTimePickerGeburtstDatum->setMinimumDate(QDate(1899, 12, 30));
  DateTimePickerGeburtstDatum->setFixedHeight(kFieldHeight);
  DateTimePickerGeburtstDatum->setFixedWidth(146);
  SetPixelFont(DateTimePickerGeburtstDatum, kFieldPx + 1, false);
  SpinEditStunde = NewSpinField(this, "SpinEditStunde", 0, 23, 0);
  SpinEditMinute = NewSpinField(this, "SpinEditMinute", 0, 59, 0);
  SpinEditSekunde = NewSpinField(this, "SpinEditSekunde", 0, 59, 0);
  auto* moment = new QGridLayout;
  moment->setHorizontalSpacing(8);
  moment->setVerticalSpacing(0);
  moment->addWidget(SmallLabel(this, "Datum"), 0, 0);
  moment->addWidget(SmallLabel(this, "Stunde"), 0, 1);
  moment->addWidget(SmallLabel(this, "Minute"), 0, 2);
  moment->addWidget(SmallLabel(this, "Sekunde"), 0, 3);
  moment->addWidget(DateTimePickerGeburtstDatum, 1, 0);
  moment->addLayout(SpinRow(SpinEditStunde), 1, 1);
  moment->addLayout(SpinRow(SpinEditMinute), 1, 2);
  moment->addLayout(SpinRow(SpinEditSekunde), 1, 3);
  moment->setColumnStretch(0, 1);
  right->addLayout(moment);
  right->addStretch(1);

  SpeedButtonMusiksammlung =
      NewButton(this, "SpeedButtonMusiksammlung", QStringLiteral("Musiksammlung bearbeiten"));
  SpeedButtonJukeboxLeeren = NewButton(this, "SpeedButtonJukeboxLeeren", QStringLiteral("Jukebox leeren"));
  SpeedButtonLTitelEntf =
      NewButton(this, "SpeedButtonLTitelEntf", QStringLiteral("Letzten Titel aus\nJukebox entfernen"));
  SpeedButtonBeenden = NewButton(this, "SpeedButtonBeenden", QStringLiteral("Jukebox beenden"));
  SpeedButton1 = NewButton(this, "SpeedButton1", QStringLiteral("Playlist laden"));
  SpeedButton2 = NewButton(this, "SpeedButton2", QStringLiteral("Playlist speichern"));
  SetPixelFont(BitBtnSchliessen, kButtonPx + 1, true);
  BitBtnSchliessen->setFixedHeight(kButtonHeight);
  BitBtnSchliessen->setFocusPolicy(Qt::NoFocus);
  // "Jukebox beenden" bottom left, well away from "Schließen" bottom right.
  auto* actions = new QGridLayout;
  actions->setHorizontalSpacing(8);
  actions->setVerticalSpacing(6);
  actions->addWidget(SpeedButtonMusiksammlung, 0, 0, 1, 2);
  actions->addWidget(SpeedButtonJukeboxLeeren, 0, 2);
  actions->addWidget(SpeedButton1, 1, 0);
  actions->addWidget(SpeedButton2, 1, 1);
  actions->addWidget(SpeedButtonLTitelEntf, 1, 2);
  actions->addWidget(SpeedButtonBeenden, 2, 0);
  actions->addWidget(BitBtnSchliessen, 2, 2);
  for (int column = 0; column < 3; ++column) actions->setColumnStretch(column, 1);
  right->addLayout(actions);
}

}  // namespace orvela
