#include <QCursor>
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <string>

#include "app/qt_dialogs.h"
#include "app/qt_mouse_pointer.h"
#include "app/qt_text.h"
#include "app/x11_screen_saver.h"

namespace orvela {
namespace {

TEST(QtText, EveryCodePageByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const QString q = ToQString(all);
  ASSERT_EQ(q.size(), 256);
  EXPECT_EQ(q[0x80], QChar(0x20AC));
  EXPECT_EQ(q[0xE4], QChar(0xE4));
  EXPECT_EQ(FromQString(q), all);
  EXPECT_EQ(FromQString(QStringLiteral(u"K\u00F6ln \u4E2D")), "K\xF6ln ?");
  EXPECT_EQ(FromQString(QString()), "");
}

TEST(QtFileFilter, PipeFormToQtForm) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"", ""},
      {"MP3-Dateien|*.mp3", "MP3-Dateien (*.mp3)"},
      {"Wiedergabeliste (*.m3u)|*.m3u|Alle Dateien|*.*",
       "Wiedergabeliste (*.m3u) (*.m3u);;Alle Dateien (*.*)"},
      {"Audio|*.mp3;*.wma; *.ogg", "Audio (*.mp3 *.wma *.ogg)"},
      {"|*.mp3", "*.mp3 (*.mp3)"},
      {"Ohne Muster", ""},
      {"MP3|*.mp3|Rest", "MP3 (*.mp3)"},
      {"Lieder f\xFCr \xC4rger|*.mp3", "Lieder f\u00FCr \u00C4rger (*.mp3)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToQtFileFilter(c.in), QString::fromUtf8(c.out)) << c.in;
  }
}

TEST(QtMousePointer, HidesOnceAndShowsAgain) {
  ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
  {
    QtMousePointer pointer;
    pointer.Show(false);
    pointer.Show(false);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
    pointer.Show(true);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    pointer.Show(true);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    pointer.Show(false);
  }
  // A pointer service that goes away leaves no blank cursor behind.
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(X11ScreenSaver, IsANoOpWithoutAnX11Display) {
  ASSERT_NE(QGuiApplication::platformName(), QStringLiteral("xcb"));
  X11ScreenSaver saver;
  EXPECT_FALSE(X11ScreenSaver::Available());
  EXPECT_FALSE(saver.IsActive());
  saver.SetActive(false);
  saver.SetActive(true);
  EXPECT_FALSE(saver.IsActive());
}

}  // namespace
}  // namespace orvela
