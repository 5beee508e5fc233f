#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QStringList>

#include <cstdint>

#include "common/codepage.h"
#include "covers/cover_cache.h"

namespace orvela {
namespace {

QChar FirstLetterOf(const QString& word) {
  for (const QChar c : word) {
    if (c.isLetterOrNumber()) return c.toUpper();
  }
  return {};
}

// "The Rolling Stones" -> "TS", "Nena" -> "N": the first and the last word.
QString Initials(const QString& artist) {
  const QStringList words = artist.split(QChar(' '), Qt::SkipEmptyParts);
  QString initials;
  if (words.isEmpty()) return initials;
  if (const QChar first = FirstLetterOf(words.front()); !first.isNull()) initials.append(first);
  if (words.size() > 1) {
    if (const QChar last = FirstLetterOf(words.back()); !last.isNull()) initials.append(last);
  }
  return initials;
}

}  // namespace

QImage ArtistTile(const std::string& artist, int pixels) {
  if (pixels <= 0) return {};
  const QString name = QString::fromStdU16String(Cp1252ToUtf16(Trim(artist))).simplified();
  // The colour follows the name, not its spelling's case, so "NENA" and "Nena" match.
  std::uint32_t hash = 0x811c9dc5u;
  for (const QChar c : name.toLower()) {
    hash ^= c.unicode();
    hash *= 0x01000193u;
  }
  // Dark enough for white letters to read at every hue (contrast above 4.5:1).
  const QColor colour = QColor::fromHsv(static_cast<int>(hash % 360), 150, 110);
  QImage tile(pixels, pixels, QImage::Format_RGB32);
  tile.fill(colour);
  QString text = Initials(name);
  QPainter painter(&tile);
  painter.setRenderHint(QPainter::TextAntialiasing);
  QFont font(QStringLiteral("Arial"));
  font.setBold(true);
  font.setPixelSize(std::max(1, pixels * 2 / 5));
  painter.setFont(font);
  if (text.isEmpty()) {
    // No artist: a note, where the font has one.
    const QChar note(0x266A);
    if (QFontMetrics(font).inFont(note)) text = note;
  }
  painter.setPen(Qt::white);
  painter.drawText(tile.rect(), Qt::AlignCenter, text);
  painter.end();
  return tile;
}

}  // namespace orvela
