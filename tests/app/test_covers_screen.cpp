// Covers on the main screen and the attract screen: the grid's pictures and
// tiles, a cover arriving without the grid moving, the attract screen's coming
// and going on a scripted clock, and its promise that no pixel keeps one
// colour for a minute.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/attract_screen.h"
#include "app/collection_grid.h"
#include "collection/collection_table.h"
#include "covers/cover_cache.h"
#include "main_window_fixture.h"

namespace orvela {
namespace {

QImage Filled(QColor colour) {
  QImage image(160, 160, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

// Press and release where a finger would land: on whatever widget is on top there.
void Tap(QWidget* window, QPoint at) {
  QWidget* target = window->childAt(at);
  if (target == nullptr) target = window;
  const QPointF local = target->mapFrom(window, at);
  const QPointF global = target->mapToGlobal(local);
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(target, &release);
}

TEST(CoverGridTest, TileWhileReadingThenTheCoverInTheSameSquare) {
  TCollectionTable table(TCollectionTable::CollectionWidths(), true);
  for (int i = 0; i < 10; ++i) {
    table.AppendRecord("Artist " + std::to_string(i), "Titel", "/m/" + std::to_string(i) + ".mp3", "Pop", "1999",
                       "03:00");
  }
  table.SetRecNo(4);
  TCollectionGrid grid;
  grid.resize(480, 600);
  grid.SetTable(&table);
  const QRect panelWithoutCovers = grid.PanelRect(2);
  EXPECT_FALSE(grid.ShowsCovers());
  EXPECT_TRUE(grid.CoverRect(2).isEmpty());
  EXPECT_EQ(grid.FieldsRect(2), panelWithoutCovers);

  std::map<std::string, bool> arrived;
  std::vector<std::string> asked;
  grid.SetCoverLookup([&](const std::string& path, const std::string& artist) {
    asked.push_back(path);
    if (arrived[path]) return Filled(Qt::red);
    return artist == "Artist 2" ? Filled(Qt::blue) : Filled(Qt::green);
  });
  const int top = grid.TopRow();
  const QRect cover = grid.CoverRect(2);
  const QRect fields = grid.FieldsRect(2);
  EXPECT_EQ(cover.width(), cover.height());
  EXPECT_TRUE(panelWithoutCovers.contains(cover));
  EXPECT_FALSE(fields.intersects(cover));
  EXPECT_EQ(fields.height(), panelWithoutCovers.height());

  QImage before = grid.grab().toImage();
  EXPECT_EQ(before.pixelColor(cover.center()), QColor(Qt::blue));
  // Only the six titles shown are asked for, whatever the table holds.
  EXPECT_LE(asked.size(), static_cast<std::size_t>(TCollectionGrid::kPanelCount));
  for (const std::string& path : asked) EXPECT_NE(path, "/m/9.mp3");

  arrived["/m/2.mp3"] = true;
  grid.update();
  QImage after = grid.grab().toImage();
  EXPECT_EQ(after.pixelColor(cover.center()), QColor(Qt::red));
  // Nothing else moved: the same top row, the same current record, the same
  // squares and the same fields' pixels.
  EXPECT_EQ(grid.TopRow(), top);
  EXPECT_EQ(table.RecNo(), 4);
  EXPECT_EQ(grid.CoverRect(2), cover);
  EXPECT_EQ(before.copy(fields), after.copy(fields));
  EXPECT_EQ(before.copy(grid.PanelRect(0)), after.copy(grid.PanelRect(0)));
}

TEST(AttractScreenTest, NoPixelKeepsItsColourForAMinute) {
  std::vector<std::pair<std::string, std::string>> titles;
  for (const char* artist : {"ABBA", "Beatles", "Cher", "Doors", "Eagles", "Falco", "Genesis", "Heino"}) {
    titles.emplace_back(std::string("/m/") + artist + ".mp3", artist);
  }
  QImage qr(25, 25, QImage::Format_RGB32);
  for (int y = 0; y < 25; ++y) {
    for (int x = 0; x < 25; ++x) qr.setPixelColor(x, y, (x * 7 + y * 3) % 5 < 2 ? Qt::black : Qt::white);
  }
  struct Case {
    const char* name;
    bool withTitles;
    bool withQr;
    double from;
  } cases[] = {
      {"an empty collection", false, false, 0.0},
      {"a wall of tiles", true, false, 0.0},
      {"later, with the phones' code", true, true, 1234.5},
      {"the drift at its turn", true, true, 97.0 / 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QWidget window;
    window.resize(320, 240);
    TAttractScreen screen(&window);
    screen.SetCoverLookup([](const std::string&, const std::string& artist) { return ArtistTile(artist, 160); });
    if (c.withTitles) screen.SetTitles(titles);
    if (c.withQr) screen.SetQrCode(qr);
    screen.Begin();
    screen.StopMoving();
    screen.SetElapsed(c.from);
    const QImage first = screen.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage changed(first.size(), QImage::Format_Grayscale8);
    changed.fill(0);
    for (double t = c.from + 5; t <= c.from + 60; t += 5) {
      screen.SetElapsed(t);
      const QImage frame = screen.grab().toImage().convertToFormat(QImage::Format_RGB32);
      for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
          if (frame.pixel(x, y) != first.pixel(x, y)) changed.setPixel(x, y, 255);
        }
      }
    }
    int still = 0;
    for (int y = 0; y < changed.height(); ++y) {
      for (int x = 0; x < changed.width(); ++x) still += qGray(changed.pixel(x, y)) == 0 ? 1 : 0;
    }
    EXPECT_EQ(still, 0);
  }
}

TEST(AttractScreenTest, ATapWakesWithoutReachingWhatLiesBeneath) {
  QWidget window;
  window.resize(320, 240);
  auto* button = new QPushButton(QStringLiteral("Abspielen"), &window);
  button->setGeometry(100, 100, 120, 40);
  int clicks = 0;
  QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
  TAttractScreen screen(&window);
  int woken = 0;
  QObject::connect(&screen, &TAttractScreen::Woken, [&] { ++woken; });
  window.show();
  screen.Begin();
  screen.StopMoving();
  Tap(&window, button->geometry().center());
  EXPECT_EQ(woken, 1);
  EXPECT_EQ(clicks, 0);
  screen.End();
  Tap(&window, button->geometry().center());
  EXPECT_EQ(woken, 1);
  EXPECT_EQ(clicks, 1);
}

std::vector<testing::Row> Titles() {
  std::vector<testing::Row> rows;
  for (int i = 0; i < 8; ++i) {
    rows.push_back({"Artist " + std::to_string(i), "Titel " + std::to_string(i), "/fehlt/" + std::to_string(i) + ".mp3",
                    "Pop", "1990", "03:00"});
  }
  return rows;
}

class CoversMainWindowTest : public testing::MainWindowTest {
 protected:
  std::unique_ptr<TForm1> Start(const std::string& coverSection) {
    folder.WriteAll(std::string(testing::kPlainIni) + coverSection, Titles());
    auto form = MakeForm();
    form->SetIdleClock([this] { return idleSeconds; });
    form->resize(1014, 732);
    return form;
  }
  double idleSeconds = 0.0;
};

TEST_F(CoversMainWindowTest, WithoutTheSectionTheScreenHasNoCovers) {
  for (const char* section : {"", "[Cover]\r\nAktiv=0\r\n"}) {
    SCOPED_TRACE(section);
    auto form = Start(section);
    EXPECT_EQ(form->CoverCache(), nullptr);
    EXPECT_FALSE(form->DBMusiksammlung->ShowsCovers());
    EXPECT_EQ(form->AttractScreen, nullptr);
    EXPECT_EQ(form->LabelCover, nullptr);
    EXPECT_EQ(form->findChild<QLabel*>(QStringLiteral("LabelCover")), nullptr);
  }
}

TEST_F(CoversMainWindowTest, AttractScreenComesAfterTheWaitAndATapOnlyWakes) {
  auto form = Start("[Cover]\r\nAktiv=1\r\nLeerlauf=2\r\n");
  ASSERT_NE(form->AttractScreen, nullptr);
  EXPECT_TRUE(form->DBMusiksammlung->ShowsCovers());
  EXPECT_TRUE(form->TimerLeerlauf->isActive());
  form->show();

  idleSeconds = 119;
  form->TimerLeerlaufTimer();
  EXPECT_FALSE(form->AttractScreen->isVisible());
  idleSeconds = 120;
  form->TimerLeerlaufTimer();
  ASSERT_TRUE(form->AttractScreen->isVisible());
  EXPECT_EQ(form->AttractScreen->geometry(), form->rect());

  // A tap on the fourth panel of the grid beneath: the screen wakes, the
  // current record stays the first.
  const int before = form->CollectionTable().RecNo();
  TCollectionGrid* grid = form->DBMusiksammlung;
  const QPoint onPanel = grid->mapTo(form.get(), grid->PanelRect(3).center());
  Tap(form.get(), onPanel);
  EXPECT_FALSE(form->AttractScreen->isVisible());
  EXPECT_EQ(form->CollectionTable().RecNo(), before);

  // The wait starts again from the tap; a tap while the screen is awake chooses.
  idleSeconds = 200;
  form->TimerLeerlaufTimer();
  EXPECT_FALSE(form->AttractScreen->isVisible());
  Tap(form.get(), onPanel);
  EXPECT_EQ(form->CollectionTable().RecNo(), before + 3);
  idleSeconds = 200 + 119;
  form->TimerLeerlaufTimer();
  EXPECT_FALSE(form->AttractScreen->isVisible());
  idleSeconds = 200 + 120;
  form->TimerLeerlaufTimer();
  EXPECT_TRUE(form->AttractScreen->isVisible());
}

TEST_F(CoversMainWindowTest, NoWaitNoAttractScreen) {
  auto form = Start("[Cover]\r\nAktiv=1\r\nLeerlauf=0\r\n");
  ASSERT_NE(form->AttractScreen, nullptr);
  EXPECT_FALSE(form->TimerLeerlauf->isActive());
  idleSeconds = 86400.0 * 7;
  form->TimerLeerlaufTimer();
  EXPECT_FALSE(form->AttractScreen->isVisible());
}

}  // namespace
}  // namespace orvela
