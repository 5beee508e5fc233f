#pragma once
// How well one colour reads on another, by relative luminance: 1 for equal
// colours, 21 for black on white. 4.5 is the usual floor for small text.
#include <QColor>

namespace orvela {

double RelativeLuminance(const QColor& color);
double ContrastRatio(const QColor& a, const QColor& b);

}  // namespace orvela
