// The phones' QR code on the guest screen: shown only while the page listens
// and the machine has an address, following a new address, readable by a
// camera at both kiosk sizes, and hiding nothing else of the screen.
#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <cmath>
#include <functional>

#include "app/attract_screen.h"
#include "app/house_style.h"
#include "app/phone_desk.h"
#include "app/qr_code_label.h"
#include "app/spectrum_box.h"
#include "jukebox/phone_settings.h"
#include "main_window_fixture.h"
#include "phones/phone_server.h"

namespace orvela::testing {
namespace {

class ScriptedNetworkAddress : public NetworkAddress {
 public:
  std::string Current() override {
    ++queries;
    return address;
  }
  std::string address;
  int queries = 0;
};

class PhoneCodeTest : public MainWindowTest {
 protected:
  PhoneCodeTest() {
    UseManualOutput();
    networkAddress = &machine;
  }
  void SetUp() override {
    folder.WriteAll(kPlainIni, {{"ABBA", "Waterloo", "/m/a.mp3", "Pop", "1974", "02:42"}});
    form = MakeForm();
    ASSERT_FALSE(form->StartFailed());
    ASSERT_NE(form->Player(), nullptr);
    ASSERT_NE(form->QrCodeHandy, nullptr);
  }
  void Listen() {
    TPhoneSettings settings;
    settings.enabled = true;
    settings.port = 0;
    ASSERT_TRUE(form->StartPhones(settings, QHostAddress::LocalHost));
  }
  // The form at a kiosk size, laid out and shown.
  void ShowAt(QSize size) {
    form->setMinimumSize(0, 0);
    form->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    form->resize(size);
    form->show();
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    ASSERT_EQ(form->size(), size);
  }
  TQrCodeLabel& Qr() { return *form->QrCodeHandy; }

  ScriptedNetworkAddress machine;
  std::unique_ptr<TForm1> form;
};

struct Step {
  const char* what;
  std::function<void()> act;
  const char* address;   // the machine's, before the screen looks again
  const char* expected;  // host the code names, empty: hidden
};

TEST_F(PhoneCodeTest, ShownOnlyWhileThePageListensAndTheMachineHasAnAddress) {
  const Step steps[] = {
      {"no [Handy] section: nothing listens", [] {}, "192.168.1.20", ""},
      {"listening, no address yet", [this] { Listen(); }, "", ""},
      {"the lease arrives", [] {}, "192.168.1.20", "192.168.1.20"},
      {"the lease is lost", [] {}, "", ""},
      {"a new lease", [] {}, "10.4.0.7", "10.4.0.7"},
      {"switched off", [this] { form->SwitchPhones(false); }, "10.4.0.7", ""},
      {"listening again", [this] { Listen(); }, "10.4.0.7", "10.4.0.7"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    machine.address = step.address;
    form->ShowPhoneCode();
    const std::string expected = step.expected;
    if (expected.empty()) {
      EXPECT_FALSE(Qr().isVisibleTo(form.get()));
      EXPECT_TRUE(Qr().Text().isEmpty());
      EXPECT_EQ(Qr().ModuleCount(), 0);
    } else {
      ASSERT_NE(form->Phones(), nullptr);
      EXPECT_TRUE(Qr().isVisibleTo(form.get()));
      const QString page = form->Phones()->Server().PageAddress(QString::fromStdString(expected));
      EXPECT_EQ(Qr().Text(), page);
      EXPECT_TRUE(page.startsWith(QString::fromStdString("http://" + expected + ":"))) << page.toStdString();
      EXPECT_TRUE(page.contains(form->Phones()->Server().AccessCode()));
      EXPECT_GE(Qr().ModuleCount(), 21);
      EXPECT_EQ(Qr().accessibleDescription(), page);
    }
  }
}

TEST_F(PhoneCodeTest, FollowsTheMachinesAddressOnItsOwnAndANewCodeAtOnce) {
  ASSERT_NE(form->TimerHandyAdresse, nullptr);
  EXPECT_TRUE(form->TimerHandyAdresse->isActive());
  EXPECT_LE(form->TimerHandyAdresse->interval(), 60000) << "a new lease must show within a minute";
  machine.address = "192.168.1.20";
  Listen();
  EXPECT_TRUE(Qr().Text().startsWith(QStringLiteral("http://192.168.1.20:"))) << "shown as soon as it listens";

  // Nobody calls the screen: its own timer looks again.
  machine.address = "192.168.1.77";
  form->TimerHandyAdresse->setInterval(5);
  QElapsedTimer waited;
  waited.start();
  while (!Qr().Text().startsWith(QStringLiteral("http://192.168.1.77:")) && waited.elapsed() < 5000) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  EXPECT_TRUE(Qr().Text().startsWith(QStringLiteral("http://192.168.1.77:"))) << Qr().Text().toStdString();

  // A new start of the page brings a new code; the old QR must not stay.
  form->TimerHandyAdresse->stop();
  const QString before = Qr().Text();
  Listen();
  const QString code = form->Phones()->Server().AccessCode();
  EXPECT_TRUE(Qr().Text().endsWith(code)) << Qr().Text().toStdString();
  EXPECT_NE(Qr().Text(), before);
}

// The code as a camera meets it: decoded from a picture of the whole screen.
std::string Decode(const QImage& picture) {
  const QString zbar = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
  if (zbar.isEmpty()) return "<zbarimg missing: scripts/ensure-packages.sh installs it>";
  const QString file = QString::fromStdString(std::filesystem::temp_directory_path().string()) +
                       QStringLiteral("/orvela_qr_%1.png").arg(::getpid());
  picture.save(file);
  QProcess process;
  process.start(zbar, {QStringLiteral("-q"), QStringLiteral("--raw"), QStringLiteral("-Sdisable"),
                       QStringLiteral("-Sqrcode.enable"), file});
  process.waitForFinished(30000);
  std::filesystem::remove(file.toStdString());
  return process.readAllStandardOutput().trimmed().toStdString();
}

struct ScreenSize {
  QSize size;
  double mmPerPixel;  // on a 15.6" 16:9 panel
  int minModulePixels;
};

// 1920x1080 fills the panel (344.2 mm wide: 0.179 mm a pixel); 1024x768 is
// shown at full height with bars at the sides (193.6 mm / 768: 0.252 mm).
const ScreenSize kScreens[] = {{{1024, 768}, 0.252, 3}, {{1920, 1080}, 0.179, 4}};

TEST_F(PhoneCodeTest, ACameraReadsTheCodeAtBothKioskSizes) {
  machine.address = "192.168.178.23";
  Listen();
  for (const ScreenSize& screen : kScreens) {
    SCOPED_TRACE(std::to_string(screen.size.width()) + "x" + std::to_string(screen.size.height()));
    ShowAt(screen.size);
    ASSERT_TRUE(Qr().isVisible());
    const QImage shot = form->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(Decode(shot), Qr().Text().toStdString());

    // Modules of whole pixels, nothing but black and white in the code's
    // square (no smoothing a camera would have to guess through), and the
    // quiet zone all white.
    const int module = Qr().ModulePixels();
    EXPECT_GE(module, screen.minModulePixels);
    const QRect code = Qr().CodeRect().translated(Qr().mapTo(form.get(), QPoint(0, 0)));
    ASSERT_TRUE(shot.rect().contains(code));
    EXPECT_EQ(code.width(), module * (Qr().ModuleCount() + 2 * TQrCodeLabel::kQuietModules));
    const int quiet = module * TQrCodeLabel::kQuietModules;
    int notBlackOrWhite = 0;
    int darkInQuietZone = 0;
    for (int y = code.top(); y <= code.bottom(); ++y) {
      for (int x = code.left(); x <= code.right(); ++x) {
        const QRgb pixel = shot.pixel(x, y) & 0xFFFFFF;
        if (pixel != 0xFFFFFF && pixel != 0x000000) ++notBlackOrWhite;
        const bool inQuiet = x < code.left() + quiet || x > code.right() - quiet || y < code.top() + quiet ||
                             y > code.bottom() - quiet;
        if (inQuiet && pixel != 0xFFFFFF) ++darkInQuietZone;
      }
    }
    EXPECT_EQ(notBlackOrWhite, 0);
    EXPECT_EQ(darkInQuietZone, 0);
    const double codeMm = module * Qr().ModuleCount() * screen.mmPerPixel;
    std::printf("QR code at %dx%d: %d px a module, %d modules, %.1f mm without the quiet zone (%.2f mm a module)\n",
                screen.size.width(), screen.size.height(), module, Qr().ModuleCount(), codeMm,
                module * screen.mmPerPixel);

    // The caption whole, beside the code, and named for a screen reader.
    EXPECT_EQ(Qr().accessibleName(), QString::fromUtf8("Mit dem Handy wählen"));
    EXPECT_EQ(TQrCodeLabel::CaptionText().simplified(), QString::fromUtf8("Mit dem Handy wählen"));
    const QRect caption = Qr().CaptionRect();
    EXPECT_LE(caption.right(), Qr().CodeRect().left());
    EXPECT_GE(Qr().CaptionFont().pixelSize(), house::kReadablePx);
    const QRect needed = QFontMetrics(Qr().CaptionFont())
                             .boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignRight, TQrCodeLabel::CaptionText());
    EXPECT_LE(needed.width(), caption.width()) << "caption cut off";
    EXPECT_LE(needed.height(), caption.height()) << "caption cut off";
  }
}

// The idle hours' wall shows the same code: a guest a metre away reads it
// there too. A 12 MP phone camera sees 0.343 mm of the room a pixel at a metre.
TEST_F(PhoneCodeTest, ACameraAMetreAwayReadsTheCodeOnTheAttractScreen) {
  form.reset();  // it holds the program folder
  folder.WriteAll(std::string(kPlainIni) + "[Cover]\r\nAktiv=1\r\nLeerlauf=1\r\n",
                  {{"ABBA", "Waterloo", "/m/a.mp3", "Pop", "1974", "02:42"},
                   {"Beatles", "Help", "/m/b.mp3", "Pop", "1965", "02:18"}});
  form = MakeForm();
  ASSERT_NE(form->AttractScreen, nullptr);
  double idle = 0;
  form->SetIdleClock([&idle] { return idle; });
  machine.address = "192.168.178.23";
  Listen();
  for (const ScreenSize& screen : kScreens) {
    SCOPED_TRACE(std::to_string(screen.size.width()) + "x" + std::to_string(screen.size.height()));
    ShowAt(screen.size);
    form->ShowPhoneCode();
    idle += 61;
    form->TimerLeerlaufTimer();
    ASSERT_TRUE(form->AttractScreen->isVisible());
    form->AttractScreen->StopMoving();
    for (double at : {0.0, 47.5, 211.0}) {
      form->AttractScreen->SetElapsed(at);
      const QImage shot = form->grab().toImage().convertToFormat(QImage::Format_RGB32);
      const QImage camera = shot.scaled(shot.size() * (screen.mmPerPixel / 0.343), Qt::IgnoreAspectRatio,
                                        Qt::SmoothTransformation);
      EXPECT_EQ(Decode(camera), Qr().Text().toStdString()) << "at " << at << " s";
    }
    form->IdleTouched();
    form->TimerLeerlaufTimer();
  }
}

TEST_F(PhoneCodeTest, HidesNoControlTextOrLampAtEitherSize) {
  machine.address = "192.168.178.23";
  Listen();
  for (const ScreenSize& screen : kScreens) {
    SCOPED_TRACE(std::to_string(screen.size.width()) + "x" + std::to_string(screen.size.height()));
    ShowAt(screen.size);
    ASSERT_TRUE(Qr().isVisible());
    const QRect qr(Qr().mapTo(form.get(), QPoint(0, 0)), Qr().size());
    // In the spectrum's area, the only thing it covers.
    const QRect spectrum(form->SpectrumPaintbox->mapTo(form.get(), QPoint(0, 0)), form->SpectrumPaintbox->size());
    EXPECT_TRUE(spectrum.contains(qr));
    EXPECT_LT(qr.width(), spectrum.width()) << "some of the spectrum still shows";
    int checked = 0;
    for (QWidget* other : form->findChildren<QWidget*>()) {
      if (!other->isVisible() || other == &Qr() || other->isAncestorOf(&Qr())) continue;
      const QRect rect(other->mapTo(form.get(), QPoint(0, 0)), other->size());
      if (rect.contains(spectrum)) continue;  // the background picture behind everything
      EXPECT_FALSE(qr.intersects(rect)) << other->objectName().toStdString() << " "
                                        << other->metaObject()->className();
      ++checked;
    }
    EXPECT_GT(checked, 80) << "the screen's controls were looked at";
  }
}

}  // namespace
}  // namespace orvela::testing
