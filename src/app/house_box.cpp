#include "app/house_box.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTextLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/accessible_text.h"
#include "app/house_style.h"

namespace orvela {

namespace {

// Box text reads at two metres: as large as the letters on the guest keyboard.
constexpr int kBoxTextPx = 32;
constexpr int kBoxTitlePx = 22;
constexpr int kBoxButtonPx = 24;
constexpr int kBoxButtonHeight = 64;
constexpr int kBoxButtonWidth = 180;
constexpr int kBoxMinWidth = 560;
constexpr int kBoxMaxWidth = 860;
constexpr int kSignPx = 44;

// Lays `text` out in `width`; answers its height and, with a painter, draws it.
int LayOut(const QString& text, const QFont& font, int width, QPainter* painter, const QPointF& at) {
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  qreal y = 0;
  for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
    QTextLayout layout(paragraph, font);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(std::max(1, width));
      line.setPosition(QPointF(0, y));
      y += line.height();
    }
    layout.endLayout();
    if (painter != nullptr) layout.draw(painter, at);
  }
  return static_cast<int>(std::ceil(y));
}

class TSignWidget : public QWidget {
 public:
  TSignWidget(TBoxSign sign, QWidget* parent) : QWidget(parent), sign_(sign) {
    setObjectName(QStringLiteral("HouseSign"));
    setFixedSize(house::Scaled(kSignPx), house::Scaled(kSignPx));
    const QString meaning = sign == TBoxSign::Error ? QStringLiteral("Fehler") : QStringLiteral("Hinweis");
    ExposePaintedText(this, QAccessible::Graphic, [meaning] { return meaning; });
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour(QLatin1String(sign_ == TBoxSign::Error ? house::kDanger : house::kAccent));
    const qreal pen = std::max(2.0, height() / 14.0);
    painter.setPen(QPen(colour, pen));
    painter.setBrush(colour.darker(250));
    painter.drawEllipse(QRectF(rect()).adjusted(pen, pen, -pen, -pen));
    QFont font = this->font();
    font.setPixelSize(height() * 2 / 3);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(QLatin1String(house::kText)));
    painter.drawText(rect(), Qt::AlignCenter, sign_ == TBoxSign::Error ? QStringLiteral("!") : QStringLiteral("i"));
  }

 private:
  TBoxSign sign_;
};

}  // namespace

THousePanel::THousePanel(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("HousePanel"));
  setModal(true);
  setStyleSheet(house::PanelStyleSheet());
  house::SetScaledFont(this, house::kReadablePx);
}

int THousePanel::Run() {
  adjustSize();
  house::CentreOverActiveWindow(this);
  house::ScreenDimmer dimmer(this);
  return exec();
}

void THousePanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(QLatin1String(house::kPanel)));
  const int frame = std::max(2, house::Scaled(2));
  painter.setPen(QPen(QColor(QLatin1String(house::kFrame)), frame, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  painter.setBrush(Qt::NoBrush);
  const qreal half = frame / 2.0;
  painter.drawRect(QRectF(rect()).adjusted(half, half, -half, -half));
  // A thin accent line inside the frame, as the guest screen's search field has.
  painter.setPen(QPen(QColor(QLatin1String(house::kAccent)), 1));
  painter.drawRect(QRectF(rect()).adjusted(frame + 0.5, frame + 0.5, -frame - 0.5, -frame - 0.5));
}

TWrappedText::TWrappedText(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
  QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
  ExposePaintedText(this, QAccessible::StaticText, [this] { return text_; });
}

int TWrappedText::heightForWidth(int width) const { return LayOut(text_, font(), width, nullptr, {}); }

QSize TWrappedText::sizeHint() const {
  // As wide as the text on one line, up to what a box may take.
  const int wanted = std::min(fontMetrics().horizontalAdvance(text_) + 2, house::Scaled(kBoxMaxWidth));
  return {wanted, heightForWidth(wanted)};
}

QSize TWrappedText::minimumSizeHint() const { return {house::Scaled(120), fontMetrics().height()}; }

void TWrappedText::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  LayOut(text_, font(), width(), &painter, QPointF(0, 0));
}

THouseBox::THouseBox(const QString& title, const QString& text, TBoxSign sign, QWidget* parent)
    : THousePanel(parent) {
  setWindowTitle(title);
  const int margin = house::Scaled(28);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(margin, house::Scaled(18), margin, margin);
  layout->setSpacing(house::Scaled(18));
  layout->setSizeConstraint(QLayout::SetFixedSize);

  auto* head = new QHBoxLayout;
  head->setSpacing(house::Scaled(14));
  if (sign != TBoxSign::None) head->addWidget(new TSignWidget(sign, this));
  auto* caption = new QLabel(title, this);
  caption->setObjectName(QStringLiteral("HouseTitle"));
  house::SetScaledFont(caption, kBoxTitlePx, true);
  head->addWidget(caption, 1);
  layout->addLayout(head);

  text_ = new TWrappedText(text, this);
  text_->setObjectName(QStringLiteral("HouseText"));
  house::SetScaledFont(text_, kBoxTextPx);
  QPalette palette = text_->palette();
  palette.setColor(QPalette::WindowText, QColor(QLatin1String(house::kText)));
  text_->setPalette(palette);
  // The box is as wide as its text wants, between a size a finger finds and
  // what still leaves the screen around it visible.
  const int widest = house::Scaled(kBoxMaxWidth) - 2 * margin;
  const int width = std::clamp(text_->sizeHint().width(), house::Scaled(kBoxMinWidth) - 2 * margin, widest);
  text_->setFixedWidth(width);
  text_->setFixedHeight(text_->heightForWidth(width));
  layout->addWidget(text_);

  buttonRow_ = new QWidget(this);
  auto* buttons = new QHBoxLayout(buttonRow_);
  buttons->setContentsMargins(0, house::Scaled(6), 0, 0);
  buttons->setSpacing(house::Scaled(16));
  buttons->addStretch(1);
  layout->addWidget(buttonRow_);
}

QPushButton* THouseBox::AddButton(const QString& caption, int result, bool isDefault) {
  auto* button = new QPushButton(caption, buttonRow_);
  house::SetScaledFont(button, kBoxButtonPx, true);
  button->setMinimumSize(house::Scaled(kBoxButtonWidth), house::Scaled(kBoxButtonHeight));
  button->setFocusPolicy(Qt::NoFocus);
  button->setAutoDefault(false);
  button->setDefault(isDefault);
  buttonRow_->layout()->addWidget(button);
  connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
  return button;
}

}  // namespace orvela
