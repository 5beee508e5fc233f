#pragma once
// The guest window as the benches drive it: offscreen, on scripted services
// (no boxes, no screen saver, a clock that stands still) and a given audio layer.
#include <QApplication>

#include <memory>
#include <string>

#include "app/main_window.h"
#include "playback/audio/audio_layer.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_platform.h"

namespace orvela::bench {

// The one application of the bench process, made before any window.
inline QApplication& BenchApp() {
  static int argc = 1;
  static char name[] = "orvela-bench";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

struct BenchScreen {
  // programDir with its trailing "/"; now: the clock's day number (46000.5 is a Saturday noon).
  BenchScreen(audio::AudioLayer& layer, const std::string& programDir, double now) : clock{now} {
    TForm1Services services;
    services.dialogs = &dialogs;
    services.screenSaver = &screenSaver;
    services.mousePointer = &mousePointer;
    services.clock = &clock;
    services.programDir = programDir;
    services.terminate = [] {};
    services.audioLayerAvailable = [] { return true; };
    services.wmaPluginAvailable = [] { return true; };
    services.audioLayer = &layer;
    services.sleepOneMillisecond = [] {};
    form = std::make_unique<TForm1>(services);
    form->show();
  }
  ScriptedDialogs dialogs;
  ScriptedScreenSaver screenSaver{false};
  ScriptedMousePointer mousePointer;
  ScriptedClock clock;
  std::unique_ptr<TForm1> form;
};

}  // namespace orvela::bench
