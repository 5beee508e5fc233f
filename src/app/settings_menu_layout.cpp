// Building the settings menu: the switches down the left, the files, the
// birthday moment and the actions on the right, all of it big enough for a
// finger inside the operator windows' 878 x 500.
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QLocale>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <utility>

#include "app/house_style.h"
#include "app/settings_menu.h"
#include "app/web_link_label.h"

namespace orvela {

namespace {

// Design pixels; the window multiplies them by the guest screen's scale.
constexpr int kCheckBoxPx = house::kReadablePx;
constexpr int kButtonPx = house::kReadablePx;
constexpr int kFieldPx = house::kReadablePx;
// Every row is one finger high: boxes, fields and buttons alike.
constexpr int kFieldHeight = house::kTouchPx;
constexpr int kButtonHeight = house::kTouchPx;
constexpr int kStepWidth = house::kTouchPx;

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

void StyleCheckBox(QCheckBox* box) {
  SetPixelFont(box, kCheckBoxPx, false);
  box->setMinimumHeight(house::kTouchPx);
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
  field.browse->setFixedSize(house::kTouchPx, kFieldHeight);
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
  spin.box->setFixedSize(36, kFieldHeight);
  SetPixelFont(spin.box, kFieldPx + 2, true);
  spin.minus = new QPushButton(QString::fromUtf8("\u2212"), parent);
  spin.plus = new QPushButton(QStringLiteral("+"), parent);
  for (QPushButton* step : {spin.minus, spin.plus}) {
    SetPixelFont(step, 22, true);
    step->setFixedSize(kStepWidth, kFieldHeight);
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

QLabel* FieldLabel(QWidget* parent, const char* textUtf8) {
  auto* label = new QLabel(QString::fromUtf8(textUtf8), parent);
  SetPixelFont(label, house::kReadablePx, false);
  label->setStyleSheet(QStringLiteral("color: #B8C4D8;"));
  return label;
}

// A date picker whose month is big enough for a finger and speaks German,
// whatever language the toolkit was started in.
QCalendarWidget* NewCalendar(QWidget* parent) {
  auto* calendar = new QCalendarWidget(parent);
  calendar->setObjectName(QStringLiteral("KalenderGeburtstDatum"));
  const QLocale german(QLocale::German, QLocale::Germany);
  calendar->setLocale(german);
  calendar->setFirstDayOfWeek(Qt::Monday);
  calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
  calendar->setHorizontalHeaderFormat(QCalendarWidget::ShortDayNames);
  calendar->setGridVisible(false);
  SetPixelFont(calendar, 20, false);
  // Seven columns and seven rows (the day names and six weeks) below the
  // month bar, each cell wider and higher than a finger.
  calendar->setMinimumSize(7 * 60, 56 + 7 * 52);
  for (const char* arrow : {"qt_calendar_prevmonth", "qt_calendar_nextmonth"}) {
    if (auto* button = calendar->findChild<QToolButton*>(QString::fromLatin1(arrow))) button->setIconSize(QSize(32, 32));
  }
  return calendar;
}

// A finger aims at the date it wants to change, not at the small arrow beside
// it: a tap on the date opens the calendar as a tap on the arrow does.
class TCalendarOnTap : public QObject {
 public:
  explicit TCalendarOnTap(QDateEdit* edit) : QObject(edit), edit_(edit) {
    if (auto* text = edit->findChild<QLineEdit*>()) text->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() != QEvent::MouseButtonPress || !edit_->isEnabled() || !edit_->calendarPopup()) return false;
    if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return false;
    // The date field finds its arrow as a combo box's, so it is found the same way here.
    QStyleOptionComboBox option;
    option.initFrom(edit_);
    option.editable = true;
    option.subControls = QStyle::SC_All;
    const QPointF arrow =
        edit_->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, edit_).center();
    QMouseEvent press(QEvent::MouseButtonPress, arrow, edit_->mapToGlobal(arrow), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(edit_, &press);
    return true;
  }

 private:
  QDateEdit* edit_;
};

}  // namespace

void THauptmenu::CreateControls() {
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(12, 0, 12, 14);
  root->setSpacing(0);

  // Title row.
  LabelJukebox = Named(new QLabel(QStringLiteral("Orvela Jukebox"), this), "LabelJukebox");
  LabelEinstellungen = Named(new QLabel(QStringLiteral("Einstellungen"), this), "LabelEinstellungen");
  StyleTitle(LabelJukebox, 24);
  StyleTitle(LabelEinstellungen, 24);
  LabelWebsite = Named(new TWebLinkLabel(QString::fromLatin1(kWebSiteAddress), this), "LabelWebsite");
  QFont linkFont = LabelWebsite->font();
  linkFont.setFamily(QStringLiteral("Arial"));
  linkFont.setPixelSize(house::kReadablePx);
  LabelWebsite->setFont(linkFont);
  auto* title = new QHBoxLayout;
  title->setSpacing(10);
  title->addWidget(LabelJukebox);
  title->addWidget(LabelEinstellungen);
  title->addStretch(1);
  // The switch rows are full; the title row has room before the web address.
  CheckBoxHandy = NewCheckBox(this, "CheckBoxHandy", "Auswahl mit dem Handy");
  title->addWidget(CheckBoxHandy);
  title->addWidget(LabelWebsite, 0, Qt::AlignVCenter);
  root->addLayout(title);

  // The switches, three or four to a row.
  CheckBoxNaechsterTitel = NewCheckBox(this, "CheckBoxNaechsterTitel", "Schalter nächster Titel erlauben");
  CheckBoxStopTitel = NewCheckBox(this, "CheckBoxStopTitel", "Schalter Titel Stoppen erlauben");
  CheckBoxLautstaerke = NewCheckBox(this, "CheckBoxLautstaerke", "Lautstärkeregler erlauben");
  CheckBoxAusblenden = NewCheckBox(this, "CheckBoxAusblenden", "Musik ausblenden");
  // The hint is the caption's second line: a finger-high row has room for two.
  CheckBoxDoppelt = NewCheckBox(this, "CheckBoxDoppelt",
                                "Doppelte Titel in Jukebox erlauben\nGilt nur bei manueller Auswahl.");
  CheckBoxEinmal = NewCheckBox(this, "CheckBoxEinmal", "Jeden Titel nur einmal abspielen");
  CheckBoxCode = NewCheckBox(this, "CheckBoxCode", "Menü mit Code sichern 6813");
  CheckBoxKiosk = NewCheckBox(this, "CheckBoxKiosk", "Kioskmodus");
  // Made in the constructor already: other windows hold it from the start.
  StyleCheckBox(CheckBoxAutomatik);
  CheckBoxBildschirmschoner = NewCheckBox(this, "CheckBoxBildschirmschoner", "Bildschirmschoner abschalten");
  CheckBoxMaus = NewCheckBox(this, "CheckBoxMaus", "Mauszeiger aus");
  StyleCheckBox(CheckBoxEinschraenken);
  CheckBoxJingles = NewCheckBox(this, "CheckBoxJingles", "Jingles erlauben");
  CheckBoxGeburtstag = NewCheckBox(this, "CheckBoxGeburtstag", "Geburtstagsmodus");
  CheckBoxAngleichen = NewCheckBox(this, "CheckBoxAngleichen", "Lautstärke angleichen");

  const auto addRow = [root](std::initializer_list<QWidget*> widgets) {
    auto* row = new QHBoxLayout;
    row->setSpacing(14);
    for (QWidget* widget : widgets) row->addWidget(widget);
    row->addStretch(1);
    root->addLayout(row);
    return row;
  };
  // Rows packed by caption length: every caption whole, every row a finger high.
  addRow({CheckBoxNaechsterTitel, CheckBoxStopTitel, CheckBoxAutomatik});
  addRow({CheckBoxEinmal, CheckBoxDoppelt, CheckBoxKiosk});
  addRow({CheckBoxEinschraenken, CheckBoxBildschirmschoner, CheckBoxMaus});
  addRow({CheckBoxLautstaerke, CheckBoxAusblenden, CheckBoxCode});

  // Jingles: the switch and the four files in one row.
  QHBoxLayout* jingles = addRow({CheckBoxJingles});
  delete jingles->takeAt(jingles->count() - 1);  // the fields take the room
  const std::string jingleFilter = "mp3|*.mp3";
  for (int i = 0; i < 4; ++i) {
    Jingles[static_cast<std::size_t>(i)] =
        NewFileField(this, QStringLiteral("EditJingle%1").arg(i + 1), jingleFilter);
    const TFileField& field = Jingles[static_cast<std::size_t>(i)];
    field.edit->setPlaceholderText(QStringLiteral("Jingle %1").arg(i + 1));
    jingles->addLayout(Row({field.edit, field.browse}, 2), 1);
  }

  // Birthday: the switch, the song and its "Stop"; the queue's length beside.
  // The filter as the birthday song always had it.
  Geburtstagssong = NewFileField(this, QStringLiteral("EditGeburtstagssong"), "mp3|*mp3");
  SetPixelFont(SpeedButtonGeburtstagsongStop, kButtonPx, true);
  SpeedButtonGeburtstagsongStop->setFixedSize(80, kFieldHeight);
  SpeedButtonGeburtstagsongStop->setFocusPolicy(Qt::NoFocus);
  QHBoxLayout* birthday = addRow({CheckBoxGeburtstag});
  delete birthday->takeAt(birthday->count() - 1);  // the song field takes the room
  birthday->addLayout(Row({Geburtstagssong.edit, Geburtstagssong.browse}, 2), 1);
  birthday->addWidget(SpeedButtonGeburtstagsongStop);
  birthday->addSpacing(24);
  SpinEditMax = NewSpinField(this, "SpinEditMax", 1, 200, 10);
  birthday->addWidget(FieldLabel(this, "Max. Titel für Jukebox"));
  birthday->addLayout(SpinRow(SpinEditMax));

  // The birthday moment.
  DateTimePickerGeburtstDatum = Named(new QDateEdit(this), "DateTimePickerGeburtstDatum");
  DateTimePickerGeburtstDatum->setLocale(QLocale(QLocale::German, QLocale::Germany));
  DateTimePickerGeburtstDatum->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
  DateTimePickerGeburtstDatum->setCalendarPopup(true);
  DateTimePickerGeburtstDatum->setCalendarWidget(NewCalendar(DateTimePickerGeburtstDatum));
  new TCalendarOnTap(DateTimePickerGeburtstDatum);
  // Day zero of the stored moments must be showable.
  DateTimePickerGeburtstDatum->setMinimumDate(QDate(1899, 12, 30));
  DateTimePickerGeburtstDatum->setFixedHeight(kFieldHeight);
  DateTimePickerGeburtstDatum->setFixedWidth(150);
  SetPixelFont(DateTimePickerGeburtstDatum, kFieldPx, false);
  SpinEditStunde = NewSpinField(this, "SpinEditStunde", 0, 23, 0);
  SpinEditMinute = NewSpinField(this, "SpinEditMinute", 0, 59, 0);
  SpinEditSekunde = NewSpinField(this, "SpinEditSekunde", 0, 59, 0);
  auto* moment = new QHBoxLayout;
  moment->setSpacing(8);
  moment->addWidget(FieldLabel(this, "Datum"));
  moment->addWidget(DateTimePickerGeburtstDatum);
  for (const auto& [caption, spin] : {std::pair<const char*, TSpinField*>{"Stunde", &SpinEditStunde},
                                      {"Minute", &SpinEditMinute},
                                      {"Sekunde", &SpinEditSekunde}}) {
    moment->addSpacing(6);
    moment->addWidget(FieldLabel(this, caption));
    moment->addLayout(SpinRow(*spin));
  }
  moment->addStretch(1);
  root->addLayout(moment);
  root->addStretch(1);

  SpeedButtonMusiksammlung =
      NewButton(this, "SpeedButtonMusiksammlung", QStringLiteral("Musiksammlung bearbeiten"));
  SpeedButtonJukeboxLeeren = NewButton(this, "SpeedButtonJukeboxLeeren", QStringLiteral("Jukebox leeren"));
  SpeedButtonLTitelEntf =
      NewButton(this, "SpeedButtonLTitelEntf", QStringLiteral("Letzten Titel aus\nJukebox entfernen"));
  SpeedButtonBeenden = NewButton(this, "SpeedButtonBeenden", QStringLiteral("Jukebox beenden"));
  SpeedButton1 = NewButton(this, "SpeedButton1", QStringLiteral("Playlist laden"));
  SpeedButton2 = NewButton(this, "SpeedButton2", QStringLiteral("Playlist speichern"));
  // "Schließen" where every operator window has it, bottom right, outside the
  // layout; "Jukebox beenden" bottom left, well away from it.
  StyleCloseButton(BitBtnSchliessen);
  auto* actions = new QGridLayout;
  actions->setHorizontalSpacing(8);
  // Enough for the upper row to end above "Schließen", beside which the
  // levelling's switch sits.
  actions->setVerticalSpacing(10);
  actions->addWidget(SpeedButtonMusiksammlung, 0, 0);
  actions->addWidget(SpeedButtonJukeboxLeeren, 0, 1);
  actions->addWidget(SpeedButtonLTitelEntf, 0, 2);
  actions->addWidget(SpeedButtonBeenden, 1, 0);
  actions->addWidget(SpeedButton1, 1, 1);
  actions->addWidget(SpeedButton2, 1, 2);
  // Keeps the lower row clear of "Schließen" (a widget, so that it scales).
  auto* keepClear = new QWidget(this);
  keepClear->setObjectName(QStringLiteral("PlatzSchliessen"));
  keepClear->setFixedSize(kCloseButtonRect.width() + 4, 1);
  actions->addWidget(keepClear, 1, 3);
  // The switch rows are full: the levelling's switch takes the free place
  // above "Schließen".
  actions->addWidget(CheckBoxAngleichen, 0, 3);
  root->addLayout(actions);
}

}  // namespace orvela
