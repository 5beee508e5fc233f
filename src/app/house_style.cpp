#include "app/house_style.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <utility>

namespace orvela::house {

namespace {
double g_scale = 1.0;
}

double ScreenScale() { return g_scale; }

void SetScreenScale(double scale) { g_scale = std::clamp(scale, 1.0, 3.0); }

int Scaled(int designPixels) { return static_cast<int>(std::lround(designPixels * g_scale)); }

void SetScaledFont(QWidget* widget, int designPixels, bool bold) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(std::max(8, Scaled(designPixels)));
  font.setBold(bold);
  widget->setFont(font);
}

// Boxes and the file picker: their panel and the dimmed screen behind.

QString PanelStyleSheet() {
  QString sheet = QStringLiteral(R"(
QLabel { color: {text}; background: transparent; }
QLabel#HouseTitle { color: {highlight}; }
QLabel#HouseDim { color: {dim}; }
QPushButton {
  color: #F4F6FA; padding: 0px {padding}px;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #343B4C, stop:1 #161A24);
  border: 1px solid {frame}; border-radius: {radius}px;
}
QPushButton:pressed, QPushButton:checked {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #2F6BFF, stop:1 #123B9E);
  border-color: #8DB0FF;
}
QPushButton:default { border: 2px solid #8DB0FF; }
QPushButton:disabled { color: #5C6475; background: #15181F; border-color: #262B38; }
QPushButton[role="accept"] {
  color: #1A1000; border: 2px solid #FFE3A0;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFD36B, stop:1 #F08A00);
}
QPushButton[role="accept"]:pressed { background: #B86400; }
QPushButton[role="accept"]:disabled { color: #5C6475; background: #15181F; border-color: #262B38; }
QLineEdit {
  color: #FFFFFF; background: #000000; selection-background-color: {accent};
  border: 2px solid {accent}; border-radius: {radius}px; padding: 0px {padding}px;
}
QListWidget {
  color: {text}; background: #000000; border: 1px solid {frame}; border-radius: {radius}px; outline: none;
}
QScrollBar:vertical { background: #0B0E18; width: {bar}px; border: none; margin: 0px; }
QScrollBar::handle:vertical {
  background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #FFD36B, stop:1 #F08A00);
  border-radius: {handleRadius}px; min-height: {touch}px;
}
QScrollBar::add-line, QScrollBar::sub-line { height: 0px; }
QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }
)");
  const std::pair<const char*, QString> values[] = {
      {"{text}", QLatin1String(kText)},         {"{highlight}", QLatin1String(kHighlight)},
      {"{dim}", QLatin1String(kDimText)},       {"{frame}", QLatin1String(kFrame)},
      {"{accent}", QLatin1String(kAccent)},     {"{padding}", QString::number(Scaled(12))},
      {"{radius}", QString::number(Scaled(8))}, {"{bar}", QString::number(Scaled(14))},
      {"{handleRadius}", QString::number(Scaled(6))}, {"{touch}", QString::number(Scaled(kTouchPx))},
  };
  for (const auto& [name, value] : values) sheet.replace(QLatin1String(name), value);
  return sheet;
}

namespace {

// Covers its window, follows its size and swallows the taps meant for it.
class Shade : public QWidget {
 public:
  explicit Shade(QWidget* window) : QWidget(window) {
    setObjectName(QStringLiteral("HouseShade"));
    setGeometry(window->rect());
    window->installEventFilter(this);
    raise();
    show();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize && watched == parentWidget()) setGeometry(parentWidget()->rect());
    return false;
  }
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 170));
  }
};

}  // namespace

ScreenDimmer::ScreenDimmer(const QWidget* except) {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window == except || !window->isVisible() || window->isMinimized()) continue;
    if (window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip) continue;
    shades_.emplace_back(new Shade(window));
  }
}

ScreenDimmer::~ScreenDimmer() {
  for (const QPointer<QWidget>& shade : shades_) delete shade.data();
}

void CentreOverActiveWindow(QWidget* window) {
  QWidget* under = QApplication::activeModalWidget();
  if (under == window || under == nullptr) under = QApplication::activeWindow();
  if (under == window) under = nullptr;
  QRect area;
  if (under != nullptr && under->isVisible()) {
    area = under->frameGeometry();
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  QScreen* screen = QGuiApplication::screenAt(area.center());
  if (area.isEmpty()) return;
  QRect frame(QPoint(), window->size());
  frame.moveCenter(area.center());
  // Over a small operator window a large picker would hang off the screen.
  if (screen != nullptr) {
    const QRect bounds = screen->availableGeometry();
    frame.moveLeft(std::clamp(frame.left(), bounds.left(), std::max(bounds.left(), bounds.right() - frame.width() + 1)));
    frame.moveTop(std::clamp(frame.top(), bounds.top(), std::max(bounds.top(), bounds.bottom() - frame.height() + 1)));
  }
  window->move(frame.topLeft());
}

}  // namespace orvela::house
