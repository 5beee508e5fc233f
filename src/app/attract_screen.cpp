#include "app/attract_screen.h"

#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "app/qr_code_label.h"

namespace orvela {

namespace {

constexpr int kRows = 4;
// Periods (seconds) of the slow drifts, chosen apart so their peaks rarely meet.
constexpr double kHuePeriod = 240.0;
constexpr double kDriftXPeriod = 97.0;
constexpr double kDriftYPeriod = 61.0;

double Wave(double seconds, double period) { return std::sin(2.0 * std::numbers::pi * seconds / period); }
double Cycle(double seconds, double period) {
  const double turns = seconds / period;
  return turns - std::floor(turns);
}

}  // namespace

TAttractScreen::TAttractScreen(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("AttractScreen"));
  setAccessibleName(QString::fromUtf8(kTouchText));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  hide();
  frameTimer_ = new QTimer(this);
  frameTimer_->setInterval(kFrameMilliseconds);
  connect(frameTimer_, &QTimer::timeout, this, [this] { SetElapsed(clock_.elapsed() / 1000.0); });
  if (parent != nullptr) {
    parent->installEventFilter(this);
    setGeometry(parent->rect());
  }
}

void TAttractScreen::SetCoverLookup(TCollectionGrid::CoverLookup lookup) {
  coverLookup_ = std::move(lookup);
  scaled_.clear();
  update();
}

void TAttractScreen::SetTitles(std::vector<std::pair<std::string, std::string>> titles) {
  titles_ = std::move(titles);
  scaled_.clear();
  update();
}

void TAttractScreen::SetQrCode(const QImage& code) {
  qrCode_ = code;
  update();
}

void TAttractScreen::SetElapsed(double seconds) {
  elapsed_ = seconds;
  update();
}

void TAttractScreen::Begin() {
  if (parentWidget() != nullptr) setGeometry(parentWidget()->rect());
  pressed_ = false;
  elapsed_ = 0.0;
  clock_.start();
  raise();
  show();
  setFocus(Qt::OtherFocusReason);
  frameTimer_->start();
}

void TAttractScreen::End() {
  frameTimer_->stop();
  pressed_ = false;
  hide();
  // The scaled pictures are only worth keeping while they are shown.
  scaled_.clear();
}

void TAttractScreen::StopMoving() { frameTimer_->stop(); }

bool TAttractScreen::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
  return QWidget::eventFilter(watched, event);
}

const QImage& TAttractScreen::ScaledPicture(std::size_t title, int side) {
  if (side != scaledSide_) {
    scaled_.clear();
    scaledSide_ = side;
  }
  Scaled& entry = scaled_[title];
  if (!coverLookup_) return entry.picture;
  // The lookup answers from memory; the scaling is kept until the picture
  // changes (a cover arriving in place of its tile), not redone every frame.
  const QImage source = coverLookup_(titles_[title].first, titles_[title].second);
  if (source.isNull()) {
    entry = {};
  } else if (entry.picture.isNull() || entry.sourceKey != source.cacheKey()) {
    entry.sourceKey = source.cacheKey();
    entry.picture = source.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  return entry.picture;
}

void TAttractScreen::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const double t = elapsed_;
  const QRect area = rect();
  painter.fillRect(area, QColor::fromHsvF(static_cast<float>(Cycle(t, kHuePeriod)), 0.55F, 0.30F));

  const int gap = std::max(2, area.height() / 64);
  const int side = std::max(16, (area.height() - gap * (kRows + 1)) / kRows);
  const int step = side + gap;
  const int columns = area.width() / step + 2;
  const std::size_t count = titles_.size();
  if (count > 0) {
    const double travelled = t * kPixelsPerSecond;
    for (int row = 0; row < kRows; ++row) {
      // Neighbouring rows move the other way, so the wall reads as moving
      // even where one row's pictures look alike.
      const double shift = row % 2 == 0 ? travelled : -travelled;
      const double whole = std::floor(shift / step);
      const int offset = static_cast<int>(shift - whole * step);
      const long long first = static_cast<long long>(whole);
      const int y = gap + row * step;
      for (int column = -1; column < columns; ++column) {
        const long long index = column - first + static_cast<long long>(row) * 7;
        const std::size_t title = static_cast<std::size_t>(((index % static_cast<long long>(count)) +
                                                            static_cast<long long>(count)) %
                                                           static_cast<long long>(count));
        const QImage& picture = ScaledPicture(title, side);
        if (!picture.isNull()) painter.drawImage(column * step + offset, y, picture);
      }
    }
    painter.fillRect(area, QColor(0, 0, 0, 70));
  }

  // The name, the invitation and the phones' code drift slowly over the wall.
  QFont nameFont = font();
  nameFont.setBold(true);
  nameFont.setPixelSize(std::max(14, area.height() / 12));
  QFont touchFont = font();
  touchFont.setPixelSize(std::max(12, area.height() / 20));
  const QString name = QString::fromLatin1(kName);
  const QString touch = QString::fromUtf8(kTouchText);
  const QFontMetrics nameMetrics(nameFont);
  const QFontMetrics touchMetrics(touchFont);
  const int pad = std::max(8, area.height() / 40);
  // Whole pixels a module: a camera a metre away reads it as it reads the
  // code in the spectrum's corner (about a quarter of the screen's height).
  const int qrModules = qrCode_.isNull() ? 0 : qrCode_.width();
  const int qrSide = qrModules == 0 ? 0 : std::max(2, area.height() / 4 / qrModules) * qrModules;
  QFont captionFont = font();
  captionFont.setPixelSize(std::max(12, area.height() / 30));
  const QFontMetrics captionMetrics(captionFont);
  const QString caption = QString::fromUtf8(TQrCodeLabel::kCaption);
  const int qrHeight = qrSide > 0 ? pad + qrSide + captionMetrics.height() : 0;
  const int textWidth = std::max({nameMetrics.horizontalAdvance(name), touchMetrics.horizontalAdvance(touch),
                                  qrSide > 0 ? captionMetrics.horizontalAdvance(caption) : 0});
  const int blockWidth = std::min(area.width(), std::max(textWidth, qrSide) + 2 * pad);
  const int blockHeight =
      std::min(area.height(), nameMetrics.height() + touchMetrics.height() + qrHeight + 2 * pad);
  const double roomX = (area.width() - blockWidth) / 2.0;
  const double roomY = (area.height() - blockHeight) / 2.0;
  const QRect block(static_cast<int>(roomX + roomX * Wave(t, kDriftXPeriod)),
                    static_cast<int>(roomY + roomY * Wave(t, kDriftYPeriod)), blockWidth, blockHeight);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath backing;
  backing.addRoundedRect(QRectF(block), pad, pad);
  painter.fillPath(backing, QColor(0, 0, 0, 150));

  // The letters change their colour too: a block that rests at the end of its
  // drift still lets no pixel keep one colour.
  const QColor letters = QColor::fromHsvF(static_cast<float>(Cycle(t + kHuePeriod / 2, kHuePeriod)), 0.25F, 1.0F);
  painter.setPen(letters);
  painter.setFont(nameFont);
  QRect line(block.left(), block.top() + pad, block.width(), nameMetrics.height());
  painter.drawText(line, Qt::AlignHCenter | Qt::AlignVCenter, name);
  painter.setFont(touchFont);
  line = QRect(block.left(), line.bottom() + 1, block.width(), touchMetrics.height());
  painter.drawText(line, Qt::AlignHCenter | Qt::AlignVCenter, touch);
  if (qrSide > 0) {
    const QRect code(block.left() + (block.width() - qrSide) / 2, line.bottom() + 1 + pad, qrSide, qrSide);
    // A QR code is read from its sharp edges: scaled without smoothing.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(code, qrCode_);
    painter.setFont(captionFont);
    painter.drawText(QRect(block.left(), code.bottom() + 1, block.width(), captionMetrics.height()),
                     Qt::AlignHCenter | Qt::AlignVCenter, caption);
  }
}

void TAttractScreen::mousePressEvent(QMouseEvent* event) {
  // Taken here and kept: the release ends the attract screen, so no control
  // beneath ever sees a press of this finger.
  pressed_ = true;
  event->accept();
}

void TAttractScreen::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (!pressed_) return;
  pressed_ = false;
  emit Woken();
}

void TAttractScreen::keyPressEvent(QKeyEvent* event) {
  event->accept();
  emit Woken();
}

}  // namespace orvela
