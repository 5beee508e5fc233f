#include "app/restriction_filter_window.h"

namespace orvela {

TFormFilter::TFormFilter(QWidget* parent)
    : TOperatorWindow(QStringLiteral("FormFilter"), parent) {
  setObjectName(QStringLiteral("FormFilter"));
}

}  // namespace orvela
