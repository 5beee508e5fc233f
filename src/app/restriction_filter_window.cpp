#include "app/restriction_filter_window.h"

#include "app/main_window.h"

namespace orvela {

TFormFilter::TFormFilter(TForm1& form1, QWidget* parent)
    : TOperatorWindow(QStringLiteral("FormFilter"), parent), form1_(form1) {
  setObjectName(QStringLiteral("FormFilter"));
}

}  // namespace orvela
