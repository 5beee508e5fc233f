#pragma once
// A Dialogs service for tests: records what was shown and answers as scripted.
#include <deque>
#include <string>
#include <vector>

#include "common/dialogs.h"

namespace orvela {

class ScriptedDialogs : public Dialogs {
 public:
  enum class Kind { Message, Information, Error, Question, OpenFiles, SaveFile };
  struct Shown {
    Kind kind;
    std::string caption;
    std::string text;
    // File dialogs: the folder they start in.
    std::string folder;
  };

  void ShowMessage(const std::string& text) override;
  void Information(const std::string& caption, const std::string& text) override;
  void Error(const std::string& text) override;
  bool Question(const std::string& caption, const std::string& text) override;
  std::vector<std::string> OpenFiles(const std::string& title, const std::string& filter,
                                     const std::string& folder, bool multiple) override;
  std::string SaveFile(const std::string& title, const std::string& filter,
                       const std::string& folder, const std::string& defaultExt) override;

  // Answers are consumed in order; with none left a question answers No and a
  // file dialog is cancelled.
  std::deque<bool> questionAnswers;
  std::deque<std::vector<std::string>> openAnswers;
  std::deque<std::string> saveAnswers;

  std::vector<Shown> shown;
  // The texts of every box shown, in order (messages, information, errors, questions).
  std::vector<std::string> Texts() const;
  void Clear() { shown.clear(); }
};

}  // namespace orvela
