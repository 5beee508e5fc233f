#include "app/house_style.h"

#include <QFont>
#include <QWidget>
#include <algorithm>
#include <cmath>

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

}  // namespace orvela::house
