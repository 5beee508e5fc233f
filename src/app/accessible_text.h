#pragma once
// What a widget that paints its own text or state tells assistive technology.
// A standard label or button names itself by its caption; a widget that paints
// (a box's wrapped text, a lamp, the grid's panels) names nothing unless told,
// and a screen reader then finds the box's title and "OK" but not what the box
// says. Such a widget declares its role and a function answering its text now,
// and every reader of the accessibility tree gets that text.
#include <QAccessible>
#include <QString>
#include <functional>

class QAccessibleInterface;
class QWidget;

namespace orvela {

// Makes `widget` known to assistive technology through the interface `make`
// builds for it. Call it in the widget's constructor, before anything asks.
void ExposeAccessible(QWidget* widget, std::function<QAccessibleInterface*(QWidget*)> make);

// Makes `widget` known as `role` named by what `text` answers when asked, so
// the name is always what is painted. An accessible name set on the widget wins.
void ExposePaintedText(QWidget* widget, QAccessible::Role role, std::function<QString()> text);

// Tells assistive technology that the text of `widget` (or of its child
// `child`, when given) is another now. Nothing happens while nobody listens.
void AnnounceNameChange(QWidget* widget, int child = -1);

// The text a lamp is read as: its caption and whether it is lit.
QString LampText(const QString& caption, bool lit);

}  // namespace orvela
