// Paints the pictures of the jukebox screens: the guest screen's background,
// the operator windows' background and the two arrows of the browse buttons.
// Smooth gradients at a modest size: the windows stretch them, and the files
// stay small enough to live in the repository.
//
//   assets/tools/make_pictures.sh   (writes assets/*.png)
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

void Glow(QPainter& painter, QPointF centre, double radius, QColor color) {
  QRadialGradient glow(centre, radius);
  glow.setColorAt(0.0, color);
  color.setAlpha(0);
  glow.setColorAt(1.0, color);
  painter.fillRect(QRectF(0, 0, painter.device()->width(), painter.device()->height()), glow);
}

QImage Background(int width, int height, bool guestScreen) {
  QImage image(width, height, QImage::Format_RGB32);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient base(0, 0, 0, height);
  base.setColorAt(0.0, QColor(10, 12, 28));
  base.setColorAt(1.0, QColor(2, 2, 6));
  painter.fillRect(image.rect(), base);

  // Stage light: a cool glow from the top left, a warm one from the bottom right.
  Glow(painter, QPointF(width * 0.15, height * 0.05), width * 0.6, QColor(60, 70, 200, 110));
  Glow(painter, QPointF(width * 0.92, height * 0.95), width * 0.5, QColor(230, 120, 20, 70));
  Glow(painter, QPointF(width * 0.55, height * 0.45), width * 0.35, QColor(150, 40, 160, 40));

  // The grooves of a record, faint, in the centre of the room.
  const QPointF disc(width * (guestScreen ? 0.5 : 0.78), height * 0.55);
  for (int ring = 0; ring < 26; ++ring) {
    const double radius = height * (0.12 + ring * 0.022);
    painter.setPen(QPen(QColor(255, 255, 255, ring % 3 == 0 ? 16 : 8), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(disc, radius, radius);
  }

  // A few light beams from above.
  for (int beam = 0; beam < 4; ++beam) {
    const double x = width * (0.2 + beam * 0.22);
    QPainterPath cone;
    cone.moveTo(x, 0);
    cone.lineTo(x - width * 0.12, height);
    cone.lineTo(x + width * 0.04, height);
    cone.closeSubpath();
    QLinearGradient fade(0, 0, 0, height);
    fade.setColorAt(0.0, QColor(180, 200, 255, 16));
    fade.setColorAt(1.0, QColor(180, 200, 255, 0));
    painter.fillPath(cone, fade);
  }
  return image;
}

QImage Arrow(int size, bool up) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const double m = size * 0.14;
  QPainterPath path;
  if (up) {
    path.moveTo(size / 2.0, m);
    path.lineTo(size - m, size - m * 1.6);
    path.lineTo(m, size - m * 1.6);
  } else {
    path.moveTo(size / 2.0, size - m);
    path.lineTo(size - m, m * 1.6);
    path.lineTo(m, m * 1.6);
  }
  path.closeSubpath();
  QLinearGradient fill(0, 0, 0, size);
  fill.setColorAt(0.0, QColor(255, 224, 150));
  fill.setColorAt(1.0, QColor(240, 138, 0));
  painter.setPen(QPen(QColor(255, 240, 200), size / 24.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(fill);
  painter.drawPath(path);
  return image;
}

bool Save(const QImage& image, const std::string& folder, const char* name) {
  const std::string path = folder + "/" + name;
  if (!image.save(QString::fromStdString(path), "PNG", 9)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("%s\n", path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : ".";
  const bool ok = Save(Background(640, 400, true), folder, "background.png") &&
                  Save(Background(440, 250, false), folder, "dialog_background.png") &&
                  Save(Arrow(96, true), folder, "arrow_up.png") &&
                  Save(Arrow(96, false), folder, "arrow_down.png");
  return ok ? 0 : 1;
}
