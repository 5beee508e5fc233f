// Makes the picture of the playing jukebox screen shown in the README:
//   orvela-screen-picture PROGRAM_FOLDER OUT.png [WIDTH HEIGHT]
// PROGRAM_FOLDER holds the data files and a collection (the demo collection
// made by `orvela-jukebox-tool demo`). The screen starts as on a venue PC,
// four titles of the collection are queued, "Abspielen" is pressed, and after
// a few seconds of playing the window is photographed. Sound goes wherever
// SDL_AUDIODRIVER says (dummy for a silent run).
#include <QApplication>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <string>

#include "app/main_window.h"
#include "app/qt_dialogs.h"
#include "app/qt_mouse_pointer.h"
#include "app/x11_screen_saver.h"
#include "collection/collection_table.h"
#include "common/codepage.h"
#include "common/system_clock.h"
#include "playback/audio/audio_layer.h"
#include "queue/tilu_playlist.h"

namespace {

// Stands in for the user's screen saver: the picture must not change the
// desktop it is made on.
class UntouchedScreenSaver : public orvela::ScreenSaver {
 public:
  bool IsActive() override { return false; }
  void SetActive(bool) override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr, "usage: orvela-screen-picture PROGRAM_FOLDER OUT.png [WIDTH HEIGHT]\n");
    return 2;
  }
  QApplication app(argc, argv);
  const int width = argc == 5 ? std::atoi(argv[3]) : 1920;
  const int height = argc == 5 ? std::atoi(argv[4]) : 1080;

  orvela::QtDialogs dialogs;
  UntouchedScreenSaver screenSaver;
  orvela::QtMousePointer mousePointer;
  orvela::SystemClock clock;
  orvela::audio::AudioLayer audioLayer(orvela::audio::MakeSdlOutput());
  orvela::TForm1Services services =
      orvela::RealServices(dialogs, screenSaver, mousePointer, clock, audioLayer);
  services.programDir = orvela::NativePathToCp1252(argv[1]);
  if (services.programDir.empty() || services.programDir.back() != '/') services.programDir += '/';
  services.terminate = [] {};

  orvela::TForm1 form(services);
  if (form.StartFailed() || form.Player() == nullptr) {
    std::fprintf(stderr, "the jukebox did not start on %s\n", argv[1]);
    return 1;
  }
  form.setMinimumSize(0, 0);
  form.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  form.resize(width, height);
  form.show();

  orvela::TCollectionTable& table = form.CollectionTable();
  for (int recNo = 1; recNo <= 4 && recNo <= table.RecordCount(); ++recNo) {
    table.SetRecNo(recNo * 2);
    form.Player()->Add(table.FieldAsString("Pfad"));
  }
  // The guest looks at a title further down the list.
  table.SetRecNo(3);
  form.RefreshCollectionGrid();
  form.BtnPlayPause->click();

  const QString out = QString::fromLocal8Bit(argv[2]);
  int status = 1;
  QTimer::singleShot(6500, &app, [&] {
    form.SelectQueueRow(2);
    form.UpdateStartTimeEstimate();
    form.TimerJukeZeitGesamtTimer();
    status = form.grab().save(out) ? 0 : 1;
    app.quit();
  });
  QApplication::exec();
  if (status == 0) std::printf("saved %s\n", argv[2]);
  return status;
}
