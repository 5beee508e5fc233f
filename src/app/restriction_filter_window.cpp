#include "app/restriction_filter_window.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStringList>

#include "app/house_style.h"
#include "app/main_window.h"
#include "app/qt_text.h"

namespace orvela {
namespace {

// Design pixels on the 878 x 500 client area, every touch target a finger
// high: three columns of five slots, each slot a check box beside its combo box
// (below it would not leave five slots a finger high), the actions below them.
constexpr int kMargin = 12;
constexpr int kColumnWidth = 278;
constexpr int kColumnGap = 9;
constexpr int kHeadTop = 44;
constexpr int kUpdateTop = 72;
constexpr int kSlotTop = 126;
constexpr int kSlotPitch = 50;
constexpr int kBoxWidth = 182;
constexpr int kActionTop = 380;
constexpr int kInverseTop = 432;
constexpr int kProgressTop = 488;
// How often a long loop lets the window repaint: often enough to look alive,
// rarely enough to cost nothing against the loop.
constexpr int kRepaintMilliseconds = 20;

// A tap on the text of an editable combo box opens its list, as a tap on
// the arrow does: on a touch screen a cursor in the text is rarely what the
// operator wants. Typing stays possible from the keyboard once the list closes.
// The list opens when the finger lifts: opened on the press, it would take
// the lift for a choice of the row under the finger.
class TTapOpensList : public QObject {
 public:
  explicit TTapOpensList(QComboBox* combo) : QObject(combo), combo_(combo) {
    combo->lineEdit()->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!combo_->isEnabled()) return QObject::eventFilter(watched, event);
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        return true;
      case QEvent::MouseButtonRelease:
        combo_->setFocus(Qt::MouseFocusReason);
        combo_->showPopup();
        return true;
      default:
        break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QComboBox* combo_;
};

QFont ArialPixels(int pixels, bool bold) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QString KindName(TFilterKind kind) { return QString::fromLatin1(FilterKindName(kind)); }

}  // namespace

TFormFilter::TFormFilter(TForm1& form1, QWidget* parent)
    : TOperatorWindow(QStringLiteral("FormFilter"), parent),
      form1_(form1),
      model_(std::make_unique<TRestrictionFilter>(form1.State, form1.CollectionTable(), form1.TransferTable(),
                                                  *form1.Services().dialogs,
                                                  static_cast<TRestrictionDisplay&>(*this))) {
  setObjectName(QStringLiteral("FormFilter"));
  CreateControls();
  ShowModel();
}

TFormFilter::~TFormFilter() = default;

void TFormFilter::CreateControls() {
  LabelTitel = new QLabel(QStringLiteral("Orvela Jukebox"), this);
  LabelTitel->setObjectName(QStringLiteral("LabelTitel"));
  StyleTitle(LabelTitel, 24);
  LabelTitel->setGeometry(kMargin + 4, 8, 230, 32);
  LabelFilter = new QLabel(QStringLiteral("Filter"), this);
  LabelFilter->setObjectName(QStringLiteral("LabelFilter"));
  StyleTitle(LabelFilter, 24);
  LabelFilter->setGeometry(kMargin + 244, 8, 120, 32);

  QPushButton** updateButtons[] = {&SpeedButtonGenreAktualisieren, &SpeedButtonInterpretAktualisieren,
                                   &SpeedButtonJahrAktualisieren};
  for (TFilterKind kind : kFilterKinds) {
    const int i = Index(kind);
    const int x = kMargin + i * (kColumnWidth + kColumnGap);
    auto* head = new QLabel(KindName(kind), this);
    head->setObjectName(QStringLiteral("LabelKopf") + KindName(kind));
    head->setFont(ArialPixels(20, true));
    head->setGeometry(x, kHeadTop, kColumnWidth, 26);
    head->setStyleSheet(QStringLiteral("color: #B8C4D8;"));

    QPushButton*& update = *updateButtons[i];
    update = new QPushButton(KindName(kind) + QStringLiteral(" aktualisieren"), this);
    update->setObjectName(QStringLiteral("SpeedButton") + KindName(kind) + QStringLiteral("Aktualisieren"));
    update->setFont(ArialPixels(18, true));
    update->setGeometry(x, kUpdateTop, kColumnWidth, house::kTouchPx);

    for (int k = 1; k <= kFilterSlotCount; ++k) {
      const int y = kSlotTop + (k - 1) * kSlotPitch;
      auto* box = new QCheckBox(KindName(kind) + QStringLiteral(" Filter ") + QString::number(k), this);
      box->setObjectName(QStringLiteral("CheckBox") + KindName(kind) + QString::number(k));
      box->setFont(ArialPixels(house::kReadablePx, false));
      box->setGeometry(x, y, kBoxWidth, house::kTouchPx);
      box->setEnabled(false);
      // `clicked` comes from the operator only; ticks set in code stay silent.
      connect(box, &QCheckBox::clicked, this, [this, kind, k] { FilterCheckBoxClick(kind, k); });
      boxes_[i][k - 1] = box;

      auto* combo = new QComboBox(this);
      combo->setObjectName(QStringLiteral("ComboBox") + KindName(kind) + QString::number(k));
      combo->setEditable(true);
      combo->setInsertPolicy(QComboBox::NoInsert);
      combo->setFont(ArialPixels(house::kReadablePx, false));
      combo->lineEdit()->setFont(ArialPixels(house::kReadablePx, false));
      combo->setGeometry(x + kBoxWidth + 2, y, kColumnWidth - kBoxWidth - 2, house::kTouchPx);
      combo->setEnabled(false);
      // Artists' names are longer than the box; the list shows them whole,
      // each row a finger high.
      combo->setItemDelegate(new TFingerRows(combo));
      combo->view()->setMinimumWidth(360);
      combo->view()->setFont(ArialPixels(20, false));
      combo->setMaxVisibleItems(7);
      new TTapOpensList(combo);
      combos_[i][k - 1] = combo;
    }
  }

  SpeedButtonFilterAktivieren = new QPushButton(QStringLiteral("Filter aktivieren"), this);
  SpeedButtonFilterAktivieren->setObjectName(QStringLiteral("SpeedButtonFilterAktivieren"));
  SpeedButtonFilterAktivieren->setGeometry(kMargin, kActionTop, 196, house::kTouchPx);
  SpeedButtonFilterDeaktivieren = new QPushButton(QStringLiteral("Filter deaktivieren"), this);
  SpeedButtonFilterDeaktivieren->setObjectName(QStringLiteral("SpeedButtonFilterDeaktivieren"));
  SpeedButtonFilterDeaktivieren->setGeometry(kMargin + 204, kActionTop, 212, house::kTouchPx);
  SpeedButtonFilterLeeren = new QPushButton(QStringLiteral("Filter leeren"), this);
  SpeedButtonFilterLeeren->setObjectName(QStringLiteral("SpeedButtonFilterLeeren"));
  SpeedButtonFilterLeeren->setGeometry(kMargin + 424, kActionTop, 172, house::kTouchPx);
  for (QPushButton* b : {SpeedButtonFilterAktivieren, SpeedButtonFilterDeaktivieren, SpeedButtonFilterLeeren}) {
    b->setFont(ArialPixels(18, true));
    b->setEnabled(false);
  }

  GroupBoxFilterart = new QGroupBox(this);
  GroupBoxFilterart->setObjectName(QStringLiteral("GroupBoxFilterart"));
  GroupBoxFilterart->setGeometry(kMargin, kInverseTop, 596, 52);
  CheckBoxFilterart = new QCheckBox(QStringLiteral("Komplette Musiksammlung anzeigen ausser Filter"), GroupBoxFilterart);
  CheckBoxFilterart->setObjectName(QStringLiteral("CheckBoxFilterart"));
  CheckBoxFilterart->setFont(ArialPixels(house::kReadablePx, true));
  CheckBoxFilterart->setGeometry(10, 2, 576, house::kTouchPx);

  BitBtn1 = new QPushButton(QString::fromUtf8("Schließen"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  StyleCloseButton(BitBtn1);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setGeometry(kMargin, kProgressTop, kClientWidth - 2 * kMargin, 8);
  ProgressBar1->setRange(0, 1);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);

  connect(SpeedButtonFilterAktivieren, &QPushButton::clicked, this, &TFormFilter::SpeedButtonFilterAktivierenClick);
  connect(SpeedButtonFilterDeaktivieren, &QPushButton::clicked, this,
          &TFormFilter::SpeedButtonFilterDeaktivierenClick);
  connect(SpeedButtonFilterLeeren, &QPushButton::clicked, this, &TFormFilter::SpeedButtonFilterLeerenClick);
  connect(SpeedButtonGenreAktualisieren, &QPushButton::clicked, this,
          &TFormFilter::SpeedButtonGenreAktualisierenClick);
  connect(SpeedButtonInterpretAktualisieren, &QPushButton::clicked, this,
          &TFormFilter::SpeedButtonInterpretAktualisierenClick);
  connect(SpeedButtonJahrAktualisieren, &QPushButton::clicked, this, &TFormFilter::SpeedButtonJahrAktualisierenClick);
  connect(BitBtn1, &QPushButton::clicked, this, &TFormFilter::BitBtn1Click);
}

void TFormFilter::showEvent(QShowEvent* event) {
  TOperatorWindow::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TFormFilter::ReadControls() {
  for (TFilterKind kind : kFilterKinds) {
    for (int k = 1; k <= kFilterSlotCount; ++k) {
      TFilterSlot& slot = model_->Slot(kind, k);
      slot.ticked = FilterCheckBox(kind, k)->isChecked();
      QComboBox* combo = FilterComboBox(kind, k);
      slot.text = FromQString(combo->currentText());
      const int index = combo->currentIndex();
      slot.itemIndex = index >= 0 && combo->itemText(index) == combo->currentText() ? index : -1;
    }
  }
  model_->Buttons().inverseTicked = CheckBoxFilterart->isChecked();
}

void TFormFilter::ShowModel() {
  for (TFilterKind kind : kFilterKinds) {
    const bool newItems = shownItems_[Index(kind)] != model_->ItemsVersion(kind);
    QStringList items;
    if (newItems) {
      for (const std::string& value : model_->Items(kind)) items.push_back(ToQString(value));
      shownItems_[Index(kind)] = model_->ItemsVersion(kind);
    }
    for (int k = 1; k <= kFilterSlotCount; ++k) {
      const TFilterSlot& slot = model_->Slot(kind, k);
      QCheckBox* box = FilterCheckBox(kind, k);
      box->setChecked(slot.ticked);
      box->setEnabled(slot.boxEnabled);
      QComboBox* combo = FilterComboBox(kind, k);
      const QSignalBlocker quiet(combo);
      if (newItems) {
        combo->clear();
        combo->addItems(items);
      }
      if (slot.itemIndex >= 0 && slot.itemIndex < combo->count()) {
        combo->setCurrentIndex(slot.itemIndex);
      } else {
        combo->setCurrentIndex(-1);
        combo->setEditText(ToQString(slot.text));
      }
      // A name longer than the box shows its beginning.
      combo->lineEdit()->setCursorPosition(0);
      combo->setEnabled(slot.comboEnabled);
    }
  }
  const TFilterButtons& b = model_->Buttons();
  SpeedButtonFilterAktivieren->setEnabled(b.aktivieren);
  SpeedButtonFilterDeaktivieren->setEnabled(b.deaktivieren);
  SpeedButtonFilterLeeren->setEnabled(b.leeren);
  CheckBoxFilterart->setEnabled(b.inverseEnabled);
  CheckBoxFilterart->setChecked(b.inverseTicked);
}

void TFormFilter::FormShow() {
  model_->FormShow();
  ShowModel();
}

void TFormFilter::FilterCheckBoxClick(TFilterKind kind, int k) {
  ReadControls();
  model_->SlotClicked(kind, k);
  ShowModel();
}

void TFormFilter::BuildValueList(TFilterKind kind) {
  ReadControls();
  model_->BuildValueList(kind, *this);
  ShowModel();
  // The current record has walked to the end of the view.
  form1_.RefreshCollectionGrid();
}

void TFormFilter::SpeedButtonGenreAktualisierenClick() { BuildValueList(TFilterKind::Genre); }
void TFormFilter::SpeedButtonInterpretAktualisierenClick() { BuildValueList(TFilterKind::Interpret); }
void TFormFilter::SpeedButtonJahrAktualisierenClick() { BuildValueList(TFilterKind::Jahr); }

void TFormFilter::SpeedButtonFilterAktivierenClick() {
  ReadControls();
  model_->Activate(*this);
  ShowModel();
}

void TFormFilter::SpeedButtonFilterDeaktivierenClick() {
  ReadControls();
  model_->Deactivate();
  ShowModel();
}

void TFormFilter::SpeedButtonFilterLeerenClick() {
  ReadControls();
  model_->Clear();
  ShowModel();
}

void TFormFilter::BitBtn1Click() {
  Finish();
  ReadControls();
  model_->Close();
  reject();
}

void TFormFilter::ShowTitleCount(int count, bool restricted) { form1_.ShowTitleCounts(count, restricted); }

void TFormFilter::ShowCollectionState(bool restricted) { form1_.ShowCollectionAvailable(restricted); }

void TFormFilter::SetRestrictionBox(bool ticked) { form1_.SetRestrictionMenuBox(ticked); }

void TFormFilter::Begin(int total) {
  progress_ = 0;
  ProgressBar1->setRange(0, std::max(total, 1));
  ProgressBar1->setValue(0);
  sincePaint_.start();
}

void TFormFilter::Advance() {
  ++progress_;
  if (sincePaint_.elapsed() < kRepaintMilliseconds) return;
  ProgressBar1->setValue(std::min(progress_, ProgressBar1->maximum()));
  // Paint, but take no input: the windows stay blocked until the loop ends.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  sincePaint_.restart();
}

void TFormFilter::Finish() {
  progress_ = 0;
  ProgressBar1->setValue(0);
}

}  // namespace orvela
