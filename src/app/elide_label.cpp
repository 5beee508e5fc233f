#include "app/elide_label.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace orvela {

TElideLabel::TElideLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setTextFormat(Qt::PlainText);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

QSize TElideLabel::minimumSizeHint() const {
  return {0, QLabel::minimumSizeHint().height()};
}

QString TElideLabel::DisplayedText() const {
  return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

void TElideLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOption option;
  option.initFrom(this);
  style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
  style()->drawItemText(&painter, contentsRect(), QStyle::visualAlignment(layoutDirection(), alignment()),
                        palette(), isEnabled(), DisplayedText(), foregroundRole());
}

}  // namespace orvela
