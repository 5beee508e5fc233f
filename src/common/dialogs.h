#pragma once
// Every message box and file dialog of the jukebox goes through this service,
// so that tests can script the answers and never block on a modal box.
// All texts are code-page (Windows-1252) strings.
#include <string>
#include <vector>

namespace orvela {

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // A plain message box (no icon) with an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // An information box with an OK button.
  virtual void Information(const std::string& caption, const std::string& text) = 0;
  // An error box, as the toolkit shows an operation's failure.
  virtual void Error(const std::string& text) = 0;
  // A question without icon with the buttons Yes and No; true for Yes.
  virtual bool Question(const std::string& caption, const std::string& text) = 0;

  // filter is in the "Name|pattern|Name|pattern" form. Empty result: cancelled.
  virtual std::vector<std::string> OpenFiles(const std::string& title, const std::string& filter,
                                             const std::string& folder, bool multiple) = 0;
  virtual std::string SaveFile(const std::string& title, const std::string& filter,
                               const std::string& folder, const std::string& defaultExt) = 0;
};

}  // namespace orvela
