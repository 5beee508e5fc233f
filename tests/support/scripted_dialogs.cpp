#include "support/scripted_dialogs.h"

namespace orvela {

void ScriptedDialogs::ShowMessage(const std::string& text) {
  shown.push_back({Kind::Message, "", text});
}

void ScriptedDialogs::Information(const std::string& caption, const std::string& text) {
  shown.push_back({Kind::Information, caption, text});
}

void ScriptedDialogs::Error(const std::string& text) { shown.push_back({Kind::Error, "", text}); }

bool ScriptedDialogs::Question(const std::string& caption, const std::string& text) {
  shown.push_back({Kind::Question, caption, text});
  if (questionAnswers.empty()) return false;
  const bool answer = questionAnswers.front();
  questionAnswers.pop_front();
  return answer;
}

std::vector<std::string> ScriptedDialogs::OpenFiles(const std::string& title,
                                                    const std::string& filter,
                                                    const std::string& folder,
                                                    bool /*multiple*/) {
  shown.push_back({Kind::OpenFiles, title, filter, folder});
  if (openAnswers.empty()) return {};
  auto answer = openAnswers.front();
  openAnswers.pop_front();
  return answer;
}

std::string ScriptedDialogs::SaveFile(const std::string& title, const std::string& filter,
                                      const std::string& folder,
                                      const std::string& /*defaultExt*/) {
  shown.push_back({Kind::SaveFile, title, filter, folder});
  if (saveAnswers.empty()) return {};
  auto answer = saveAnswers.front();
  saveAnswers.pop_front();
  return answer;
}

std::vector<std::string> ScriptedDialogs::Texts() const {
  std::vector<std::string> texts;
  for (const auto& s : shown) {
    if (s.kind != Kind::OpenFiles && s.kind != Kind::SaveFile) texts.push_back(s.text);
  }
  return texts;
}

}  // namespace orvela
