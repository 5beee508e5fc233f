#include "app/accessible_text.h"

#include <QAccessibleWidget>
#include <QObject>
#include <QWidget>
#include <utility>

namespace orvela {

namespace {

// Carried by an exposed widget as a child object, so that the interface maker
// lives and dies with the widget and needs no table of its own.
class TAccessibleMaker : public QObject {
 public:
  TAccessibleMaker(QWidget* widget, std::function<QAccessibleInterface*(QWidget*)> make)
      : QObject(widget), make_(std::move(make)) {
    setObjectName(QString::fromLatin1(kName));
  }
  QAccessibleInterface* Make(QWidget* widget) const {
    made_ = make_(widget);
    return made_;
  }
  bool Made(const QAccessibleInterface* iface) const { return iface != nullptr && iface == made_; }

  static constexpr const char* kName = "orvela_accessible_maker";

 private:
  std::function<QAccessibleInterface*(QWidget*)> make_;
  mutable QAccessibleInterface* made_ = nullptr;
};

class TPaintedTextAccessible : public QAccessibleWidget {
 public:
  TPaintedTextAccessible(QWidget* widget, QAccessible::Role role, std::function<QString()> text)
      : QAccessibleWidget(widget, role), text_(std::move(text)) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) {
      const QString given = widget()->accessibleName();
      return given.isEmpty() ? text_() : given;
    }
    return QAccessibleWidget::text(t);
  }

 private:
  std::function<QString()> text_;
};

// Asked before the toolkit's own factory (it was installed later), for each
// class name from the most derived one up; only an exposed widget is answered.
QAccessibleInterface* MakerFactory(const QString& /*className*/, QObject* object) {
  if (object == nullptr || !object->isWidgetType()) return nullptr;
  const auto* maker = object->findChild<TAccessibleMaker*>(QString::fromLatin1(TAccessibleMaker::kName),
                                                           Qt::FindDirectChildrenOnly);
  return maker != nullptr ? maker->Make(static_cast<QWidget*>(object)) : nullptr;
}

}  // namespace

void ExposeAccessible(QWidget* widget, std::function<QAccessibleInterface*(QWidget*)> make) {
  static const bool installed = [] {
    QAccessible::installFactory(&MakerFactory);
    return true;
  }();
  (void)installed;
  const auto* maker = new TAccessibleMaker(widget, std::move(make));
  // A base class's constructor (a label setting its text while a screen reader
  // listens) may have made the toolkit's interface already; it is dropped, and
  // the next question gets this one.
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
  if (iface != nullptr && !maker->Made(iface)) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}

void ExposePaintedText(QWidget* widget, QAccessible::Role role, std::function<QString()> text) {
  ExposeAccessible(widget, [role, text = std::move(text)](QWidget* w) -> QAccessibleInterface* {
    return new TPaintedTextAccessible(w, role, text);
  });
}

void AnnounceNameChange(QWidget* widget, int child) {
  if (!QAccessible::isActive()) return;
  QAccessibleEvent event(widget, QAccessible::NameChanged);
  if (child >= 0) event.setChild(child);
  QAccessible::updateAccessibility(&event);
}

QString LampText(const QString& caption, bool lit) {
  const QString state = lit ? QStringLiteral("an") : QStringLiteral("aus");
  return caption.isEmpty() ? state : caption + QStringLiteral(": ") + state;
}

}  // namespace orvela
