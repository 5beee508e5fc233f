#pragma once
// Message boxes and file pickers in the house style (app/house_box.h,
// app/touch_file_picker.h). Modal; tests use ScriptedDialogs.
#include <QString>
#include <string>
#include <vector>

#include "common/dialogs.h"

class QWidget;

namespace orvela {

// "Name|pattern|Name|pattern" (patterns separated by ";") to Qt's
// "Name (pattern pattern);;Name (pattern)". An empty filter gives an empty text.
QString ToQtFileFilter(const std::string& filter);

class QtDialogs : public Dialogs {
 public:
  // The boxes are centred on parent (may be null); the box title is the
  // application name where a call has no caption.
  explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(const std::string& text) override;
  void Information(const std::string& caption, const std::string& text) override;
  void Error(const std::string& text) override;
  bool Question(const std::string& caption, const std::string& text) override;
  std::vector<std::string> OpenFiles(const std::string& title, const std::string& filter,
                                     const std::string& folder, bool multiple) override;
  std::string SaveFile(const std::string& title, const std::string& filter,
                       const std::string& folder, const std::string& defaultExt) override;

 private:
  QString StartFolder(const std::string& folder) const;

  QWidget* parent_;
  QString lastFolder_;
};

}  // namespace orvela
