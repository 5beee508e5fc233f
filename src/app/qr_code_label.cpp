#include "app/qr_code_label.h"

#include <qrencode.h>

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <memory>

#include "app/house_style.h"

namespace orvela {

namespace {

constexpr int kCaptionDesignPx = house::kReadablePx;
constexpr int kGapDesignPx = 8;

}  // namespace

QString TQrCodeLabel::CaptionText() {
  // Two lines beside the code: the spectrum area is wide and low, and a
  // caption below would leave the code too few pixels a module.
  return QString::fromUtf8(kCaption).replace(QStringLiteral("Handy "), QStringLiteral("Handy\n"));
}

TQrCodeLabel::TQrCodeLabel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("QrCodeHandy"));
  // What a screen reader says for the painted caption.
  setAccessibleName(QString::fromUtf8(kCaption));
  setAttribute(Qt::WA_OpaquePaintEvent);
  hide();
  if (parent != nullptr) parent->installEventFilter(this);
}

void TQrCodeLabel::SetText(const QString& text) {
  if (text == text_ && (modules_ > 0 || text.isEmpty())) return;
  text_ = text;
  modules_ = 0;
  dark_.clear();
  if (!text.isEmpty()) {
    const QByteArray utf8 = text.toUtf8();
    // The lowest correction level gives the fewest modules, so each is as
    // large as the room allows; a screen is not torn or smudged like paper.
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(utf8.constData(), 0, QR_ECLEVEL_L, QR_MODE_8, 1), &QRcode_free);
    if (code && code->width > 0) {
      modules_ = code->width;
      dark_.resize(static_cast<std::size_t>(modules_) * static_cast<std::size_t>(modules_));
      for (std::size_t i = 0; i < dark_.size(); ++i) dark_[i] = code->data[i] & 1;
    }
  }
  setAccessibleDescription(modules_ > 0 ? text_ : QString());
  if (modules_ > 0) {
    Place();
    show();
    raise();
  } else {
    hide();
  }
  update();
}

bool TQrCodeLabel::IsDark(int x, int y) const {
  if (x < 0 || y < 0 || x >= modules_ || y >= modules_) return false;
  return dark_[static_cast<std::size_t>(y) * static_cast<std::size_t>(modules_) + static_cast<std::size_t>(x)] != 0;
}

QImage TQrCodeLabel::CodeImage() const {
  if (modules_ == 0) return {};
  const int side = modules_ + 2 * kQuietModules;
  QImage image(side, side, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (int y = 0; y < modules_; ++y) {
    for (int x = 0; x < modules_; ++x) {
      if (IsDark(x, y)) image.setPixel(x + kQuietModules, y + kQuietModules, qRgb(0, 0, 0));
    }
  }
  return image;
}

int TQrCodeLabel::ModulePixels() const {
  if (modules_ == 0) return 0;
  return std::max(1, height() / (modules_ + 2 * kQuietModules));
}

QRect TQrCodeLabel::CodeRect() const {
  const int side = ModulePixels() * (modules_ + 2 * kQuietModules);
  return {width() - side, (height() - side) / 2, side, side};
}

QRect TQrCodeLabel::CaptionRect() const {
  const QRect code = CodeRect();
  const int gap = house::Scaled(kGapDesignPx);
  return {0, 0, std::max(0, code.left() - gap), height()};
}

QFont TQrCodeLabel::CaptionFont() const {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(house::Scaled(kCaptionDesignPx));
  font.setBold(true);
  return font;
}

void TQrCodeLabel::Place() {
  QWidget* area = parentWidget();
  if (area == nullptr || modules_ == 0) return;
  const int height = area->height();
  const int side = std::max(1, height / (modules_ + 2 * kQuietModules)) * (modules_ + 2 * kQuietModules);
  const QFontMetrics metrics(CaptionFont());
  const int captionWidth = metrics.boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignRight, CaptionText()).width();
  const int width = std::min(area->width(), side + house::Scaled(kGapDesignPx) + captionWidth + 2);
  setGeometry(area->width() - width, 0, width, height);
}

bool TQrCodeLabel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) Place();
  return QWidget::eventFilter(watched, event);
}

void TQrCodeLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, false);
  // The spectrum's bars do not run on under the caption.
  painter.fillRect(rect(), QColor(house::kPanel));
  if (modules_ == 0) return;
  const QRect code = CodeRect();
  const int module = ModulePixels();
  painter.fillRect(code, Qt::white);
  const QPoint origin = code.topLeft() + QPoint(kQuietModules * module, kQuietModules * module);
  for (int y = 0; y < modules_; ++y) {
    for (int x = 0; x < modules_; ++x) {
      if (IsDark(x, y)) painter.fillRect(origin.x() + x * module, origin.y() + y * module, module, module, Qt::black);
    }
  }
  painter.setFont(CaptionFont());
  painter.setPen(QColor(house::kText));
  painter.drawText(CaptionRect(), Qt::AlignRight | Qt::AlignVCenter, CaptionText());
}

}  // namespace orvela
