#pragma once
// A main window on a manual output with three short real titles, for the tests
// that play: the fade timer is fired by hand, so no test waits through a fade.
#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "app/lamp_label.h"
#include "demo/tone_encoder.h"
#include "main_window_fixture.h"
#include "queue/tilu_playlist.h"
#include "support/manual_output.h"

namespace orvela::testing {

class PlaybackTest : public MainWindowTest {
 protected:
  PlaybackTest() { UseManualOutput(); }

  // Starts the window with fade on or off and three titles of 2, 3 and 2
  // seconds in its folder; the collection and the automatic as given (the
  // automatic's draws find the titles already there).
  void Start(bool fade, const std::vector<Row>& collection = {}, bool automatic = false) {
    for (const auto& [name, hz, seconds] : {std::tuple{"a.mp3", 440.0, 2.4}, std::tuple{"b.mp3", 660.0, 3.4},
                                            std::tuple{"c.mp3", 880.0, 2.4}}) {
      Tone(name, hz, seconds);
    }
    std::string ini = kPlainIni;
    ini.insert(ini.find("[Programm]\r\n") + 12, std::string("Titelausblenden=") + (fade ? "1" : "0") + "\r\n");
    if (automatic) ini.replace(ini.find("Automatik=0"), 11, "Automatik=1");
    folder.WriteAll(ini, collection);
    form = MakeForm();
    ASSERT_FALSE(form->StartFailed());
    queue = form->Player();
    ASSERT_NE(queue, nullptr);
  }
  void Tone(const std::string& name, double hz, double seconds) {
    std::string error;
    ASSERT_TRUE(demo::EncodeAudio(folder.Path() + name, demo::Format::Mp3, demo::SynthesizeTone(hz, seconds, 0.5),
                                  {}, &error))
        << error;
  }
  void QueueAll() {
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) queue->Add(folder.Path() + name);
  }
  std::string Playing() const { return queue->CurrentFile->FilePath; }
  int Rows() const { return form->PlaylistView->topLevelItemCount(); }
  std::string Row(int i) const { return form->PlaylistView->topLevelItem(i)->text(0).toStdString(); }
  bool Bold(int i) const { return form->PlaylistView->topLevelItem(i)->font(0).bold(); }

  // Loudest sample of `seconds` of the mix.
  float Render(double seconds) {
    float peak = 0.0F;
    int frames = static_cast<int>(std::lround(seconds * 44100.0));
    while (frames > 0) {
      const int block = std::min(frames, 1024);
      for (float v : manualOutput->Render(block)) peak = std::max(peak, std::fabs(v));
      frames -= block;
    }
    return peak;
  }
  // The end of a title is reported from an audio thread and handed to the
  // window's event loop; turn the loop until `done` (a bounded real-time wait).
  template <typename Done>
  bool Deliver(Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 3000) QApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
  }
  static bool Lit(const TLampLabel* lamp) { return lamp->Lit(); }

  std::unique_ptr<TForm1> form;
  TTiluPlaylist* queue = nullptr;
};

}  // namespace orvela::testing
