// Makes the pictures of the jukebox shown in the README:
//   orvela-screen-picture [--view VIEW] PROGRAM_FOLDER OUT.png [WIDTH HEIGHT]
// PROGRAM_FOLDER holds the data files and a collection (the demo collection
// made by `orvela-jukebox-tool demo`). The screen starts as on a venue PC,
// four titles of the collection are queued, "Abspielen" is pressed, and after
// a few seconds of playing the window is photographed. Sound goes wherever
// SDL_AUDIODRIVER says (dummy for a silent run).
// VIEW is what is photographed: "playing" (the default, the guest screen),
// "settings-menu", "collection-window" or "message-box" (the question before
// the jukebox is emptied, asked by the settings menu's own button). A window
// or box is shown as the program opens it, modal, and photographed over the
// dimmed guest screen, then closed unanswered.
#include <QApplication>
#include <QDialog>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "app/collection_builder_window.h"
#include "app/main_window.h"
#include "app/qt_dialogs.h"
#include "app/qt_mouse_pointer.h"
#include "app/restriction_filter_window.h"
#include "app/settings_menu.h"
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

// The guest screen dimmed, the window over its middle as on the bar's screen.
QPixmap OverDimmedScreen(QWidget& screen, QWidget& window) {
  QPixmap picture = screen.grab();
  QPainter painter(&picture);
  painter.fillRect(picture.rect(), QColor(0, 0, 0, 150));
  const QPixmap top = window.grab();
  QRect place(QPoint(0, 0), top.size());
  place.moveCenter(picture.rect().center());
  painter.drawPixmap(place.topLeft(), top);
  return picture;
}

// Runs open, which shows a modal window and returns when it is closed; once
// the window is up, photographs it with shoot and closes it.
void WhileModal(const std::function<void()>& open, const std::function<void(QWidget&)>& shoot) {
  QWidget* before = QApplication::activeModalWidget();
  QTimer::singleShot(1500, [before, shoot] {
    QWidget* window = QApplication::activeModalWidget();
    if (window == nullptr || window == before) {
      std::fprintf(stderr, "no window opened\n");
      return;
    }
    shoot(*window);
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
      dialog->reject();
    } else {
      window->close();
    }
  });
  open();
}

}  // namespace

int main(int argc, char** argv) {
  std::string view = "playing";
  if (argc >= 3 && std::strcmp(argv[1], "--view") == 0) {
    view = argv[2];
    argv[2] = argv[0];
    argv += 2;
    argc -= 2;
  }
  const bool knownView = view == "playing" || view == "settings-menu" || view == "collection-window" ||
                         view == "message-box";
  if ((argc != 3 && argc != 5) || !knownView) {
    std::fprintf(stderr,
                 "usage: orvela-screen-picture [--view playing|settings-menu|collection-window|message-box] "
                 "PROGRAM_FOLDER OUT.png [WIDTH HEIGHT]\n");
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
  // The windows above the guest screen, made as the program makes them.
  orvela::TFormMenu formMenu(form, &form);
  orvela::TFormFilter formFilter(form, &form);
  orvela::THauptmenu hauptmenu(form, formMenu, formFilter, &form);
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
  auto save = [&](const QPixmap& picture) { status = picture.save(out) ? 0 : 1; };
  auto overScreen = [&](QWidget& window) { save(OverDimmedScreen(form, window)); };
  QTimer::singleShot(view == "playing" ? 6500 : 2500, &app, [&] {
    form.SelectQueueRow(2);
    form.UpdateStartTimeEstimate();
    form.TimerJukeZeitGesamtTimer();
    if (view == "playing") {
      save(form.grab());
    } else if (view == "settings-menu") {
      WhileModal([&] { hauptmenu.exec(); }, overScreen);
    } else if (view == "collection-window") {
      WhileModal([&] { formMenu.exec(); }, overScreen);
    } else {
      // Without the automatic the button asks its question at once.
      form.State.AutomaticEnabled = false;
      // The box is a modal window of its own above the open menu.
      WhileModal([&] { hauptmenu.exec(); },
                 [&](QWidget&) { WhileModal([&] { hauptmenu.SpeedButtonJukeboxLeeren->click(); }, overScreen); });
    }
    app.quit();
  });
  QApplication::exec();
  if (status == 0) {
    std::printf("saved %s\n", argv[2]);
  } else {
    std::fprintf(stderr, "no picture of %s saved\n", view.c_str());
  }
  return status;
}
