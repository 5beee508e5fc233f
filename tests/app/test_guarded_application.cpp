// A failure that escapes a window handler becomes one message and the program goes on.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "app/guarded_application.h"
#include "support/scripted_dialogs.h"

namespace orvela {
namespace {

TEST(GuardedHandlers, EscapingFailuresBecomeOneMessage) {
  struct Case {
    std::function<void()> handler;
    bool ok;
    ScriptedDialogs::Kind kind;
    const char* text;
  } const cases[] = {
      {[] {}, true, {}, nullptr},
      {[] { throw std::bad_alloc(); }, false, ScriptedDialogs::Kind::Message,
       "Nicht gen\xFCgend Arbeitsspeicher. Die letzte Aktion wurde abgebrochen."},
      {[] { throw std::runtime_error("Datei kaputt"); }, false, ScriptedDialogs::Kind::Error, "Datei kaputt"},
      {[] { throw 42; }, false, ScriptedDialogs::Kind::Error,
       "Unbekannter Fehler. Die letzte Aktion wurde abgebrochen."},
  };
  for (const Case& c : cases) {
    ScriptedDialogs dialogs;
    EXPECT_EQ(RunGuarded(dialogs, c.handler), c.ok);
    if (c.text == nullptr) {
      EXPECT_TRUE(dialogs.shown.empty());
      continue;
    }
    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_EQ(dialogs.shown[0].kind, c.kind);
    EXPECT_EQ(dialogs.shown[0].text, c.text);
  }
}

}  // namespace
}  // namespace orvela
