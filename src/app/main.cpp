// Program entry: the four windows in their order, then the event loop until
// the guest window closes. All start-up work happens while the guest window is
// created, so a failed start shows its message before any other window exists.
#include <QApplication>
#include <QMetaObject>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/collection_builder_window.h"
#include "app/german_toolkit.h"
#include "app/guarded_application.h"
#include "app/main_window.h"
#include "app/machine_network_address.h"
#include "app/qt_dialogs.h"
#include "app/qt_mouse_pointer.h"
#include "app/quit_signals.h"
#include "app/restriction_filter_window.h"
#include "app/settings_menu.h"
#include "app/x11_screen_saver.h"
#include "common/codepage.h"
#include "common/program_folder.h"
#include "common/system_clock.h"
#include "metadata/reader_errors.h"
#include "playback/audio/audio_layer.h"

int main(int argc, char** argv) {
  // Read before Qt sees the arguments; Qt leaves options it does not know alone.
  const std::vector<std::string> args(argv, argv + argc);
  const std::string executableFolder = orvela::ExecutableFolder();
  const orvela::ProgramFolderChoice folder = orvela::ChooseProgramFolder(
      args, std::getenv("ORVELA_PROGRAM_FOLDER"), executableFolder);

  // Outlives the application, which reports escaped failures through it to the last event.
  orvela::QtDialogs dialogs;
  orvela::TGuardedApplication app(argc, argv);
  app.SetDialogs(&dialogs);
  QApplication::setApplicationName(QStringLiteral("Orvela Jukebox"));
  orvela::UseGermanToolkit(app);
  // A SIGTERM or SIGINT ends the event loop (and a modal window's loop within
  // it); leaving main destroys the main window, which is the shut-down with its
  // fade. A box open meanwhile is answered as its escape would (a question
  // with "Nein"): one shown during start-up runs before the main loop exists,
  // and a stopping service would otherwise wait for a finger on it. The quit
  // is queued, so it also ends a main loop that starts only after that box.
  orvela::RunOnQuitSignals(&app, [] {
    orvela::AnswerWaitingBox();
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
  });

  orvela::X11ScreenSaver screenSaver;
  orvela::QtMousePointer mousePointer;
  orvela::SystemClock clock;
  // A tag reader that meets an unexpected error says so in an error box and goes on.
  orvela::SetReaderErrorHandler([&dialogs](const std::string& text) { dialogs.Error(text); });
  // Outlives the main window, whose player releases it at shut-down.
  orvela::audio::AudioLayer audioLayer(orvela::audio::MakeSdlOutput());

  orvela::TForm1Services services =
      orvela::RealServices(dialogs, screenSaver, mousePointer, clock, audioLayer);
  // A folder the jukebox cannot work in ends the start with one box saying why.
  const auto refuseStart = [&dialogs](const std::string& problem) {
    dialogs.ShowMessage(orvela::Utf8ToCp1252(problem + " Orvela Jukebox wird nicht gestartet."));
    return 1;
  };
  if (const std::string problem = orvela::ProgramFolderNameProblem(folder.folder); !problem.empty()) {
    return refuseStart(problem);
  }
  orvela::MachineNetworkAddress networkAddress;
  services.networkAddress = &networkAddress;
  // A folder given at start (an installed system's writable one) gets the delivered
  // data files it lacks; the start-up check then names whatever is still missing.
  if (folder.givenExplicitly) {
    const std::string data = orvela::DeliveredDataFolder(executableFolder);
    std::string error;
    if (!data.empty() && !orvela::FillMissingFiles(data, folder.folder, error)) {
      if (!orvela::ProgramFolderProblem(folder.folder).empty()) return refuseStart(error);
      dialogs.ShowMessage(orvela::Utf8ToCp1252(error));
    }
  }
  if (orvela::QuitSignalReceived()) return 0;
  if (const std::string problem = orvela::ProgramFolderProblem(folder.folder); !problem.empty()) {
    return refuseStart(problem);
  }
  services.programDir = orvela::NativePathToCp1252(folder.folder);
  // The loop is not running yet while the window is created: the request
  // waits in the queue and ends the loop as soon as it starts.
  services.terminate = [&app] {
    QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
  };

  orvela::TForm1 form1(services);
  orvela::TFormMenu formMenu(form1, &form1);
  orvela::TFormFilter formFilter(form1, &form1);
  orvela::THauptmenu hauptmenu(form1, formMenu, formFilter, &form1);
  form1.SetSettingsMenu([&hauptmenu] { hauptmenu.exec(); });

  // A quit asked for while the window was made (or while a box of its start
  // waited) ends the program here, through the window's shut-down.
  if (orvela::QuitSignalReceived()) return 0;
  if (!form1.StartFailed()) {
    form1.show();
  }
  return QApplication::exec();
}
