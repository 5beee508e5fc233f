#pragma once
// The accessibility tree of a window as a screen reader walks it: every node's
// role, name, description and state, found through the interfaces alone.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAbstractButton>
#include <QLabel>
#include <QWidget>
#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace orvela::testing {

struct AccessibleNode {
  QAccessible::Role role;
  QString name;
  QString description;
  QAccessible::State state;
  QObject* object;
};

inline void CollectAccessible(QAccessibleInterface* node, std::vector<AccessibleNode>& out, int depth = 0) {
  if (node == nullptr || !node->isValid() || depth > 60) return;
  out.push_back({node->role(), node->text(QAccessible::Name), node->text(QAccessible::Description), node->state(),
                 node->object()});
  for (int i = 0; i < node->childCount(); ++i) CollectAccessible(node->child(i), out, depth + 1);
}

inline std::vector<AccessibleNode> AccessibleTree(QObject* root) {
  std::vector<AccessibleNode> nodes;
  CollectAccessible(QAccessible::queryAccessibleInterface(root), nodes);
  return nodes;
}

inline const AccessibleNode* FindAccessible(const std::vector<AccessibleNode>& nodes, QAccessible::Role role,
                                            const QString& name) {
  const auto found = std::find_if(nodes.begin(), nodes.end(), [&](const AccessibleNode& n) {
    return n.role == role && n.name == name && !n.state.invisible;
  });
  return found == nodes.end() ? nullptr : &*found;
}

inline std::vector<QString> AccessibleNames(const std::vector<AccessibleNode>& nodes, QAccessible::Role role) {
  std::vector<QString> names;
  for (const AccessibleNode& n : nodes)
    if (n.role == role && !n.state.invisible) names.push_back(n.name);
  return names;
}

// Every shown node that a reader reads out by its name has one; a label or
// button showing no text at all is let be, it shows nothing to read.
inline void ExpectEveryShownTextNamed(const std::vector<AccessibleNode>& nodes, const std::string& where) {
  for (const AccessibleNode& n : nodes) {
    if (n.state.invisible) continue;
    switch (n.role) {
      case QAccessible::StaticText:
      case QAccessible::Button:
      case QAccessible::CheckBox:
      case QAccessible::RadioButton:
      case QAccessible::ListItem:
      case QAccessible::Graphic:
        break;
      default:
        continue;
    }
    if (!n.name.trimmed().isEmpty()) continue;
    const auto* label = qobject_cast<QLabel*>(n.object);
    if (label != nullptr && label->text().isEmpty() && label->pixmap().isNull()) continue;
    const auto* button = qobject_cast<QAbstractButton*>(n.object);
    const QString object = n.object != nullptr ? n.object->objectName() + QStringLiteral(" (") +
                                                     QString::fromLatin1(n.object->metaObject()->className()) +
                                                     QStringLiteral(")")
                                               : QStringLiteral("(no object)");
    ADD_FAILURE() << where << ": a " << static_cast<int>(n.role) << " without a name: " << object.toStdString()
                  << (button != nullptr ? " showing \"" + button->text().toStdString() + "\"" : std::string());
  }
}

}  // namespace orvela::testing
