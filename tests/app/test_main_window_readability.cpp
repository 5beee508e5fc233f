// The guest screen read and touched from a step away: text size, finger-sized
// buttons, readable lamp captions and a visible held state, at the small
// screen and at a full-HD kiosk.
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTreeWidget>
#include <cmath>
#include <string>

#include "app/click_label.h"
#include "app/collection_grid.h"
#include "app/contrast_ratio.h"
#include "app/elide_label.h"
#include "app/house_style.h"
#include "app/lamp_label.h"
#include "main_window_fixture.h"

namespace orvela::testing {
namespace {

std::vector<Row> SomeTitles() {
  std::vector<Row> rows;
  for (int i = 0; i < 8; ++i) {
    rows.push_back({"Hüttenzauber Trio " + std::to_string(i), "Jodeln im Großraumbüro", "/m/" + std::to_string(i),
                    "Volksmusik", "1996", "03:2" + std::to_string(i)});
  }
  return rows;
}

std::string Name(const QWidget* widget) {
  const QString name = widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                                       : widget->objectName();
  const QString text = qobject_cast<const QLabel*>(widget)         ? qobject_cast<const QLabel*>(widget)->text()
                       : qobject_cast<const QPushButton*>(widget) ? qobject_cast<const QPushButton*>(widget)->text()
                                                                   : QString();
  return (name + " \"" + text + "\"").toStdString();
}

struct ScreenSize {
  int width;
  int height;
  bool covers = false;  // the grid's pictures and the playing title's square
};

class ReadabilityTest : public MainWindowTest, public ::testing::WithParamInterface<ScreenSize> {
 protected:
  void SetUp() override {
    folder.WriteAll(std::string(kPlainIni) + (GetParam().covers ? "[Cover]\r\nAktiv=1\r\n" : ""), SomeTitles());
    form = MakeForm();
    ASSERT_FALSE(form->StartFailed());
    form->setMinimumSize(0, 0);
    form->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    form->resize(GetParam().width, GetParam().height);
    form->show();
    QApplication::processEvents();
    scale = std::clamp(std::min(GetParam().width / double(TForm1::kDesignClientWidth),
                                GetParam().height / double(TForm1::kDesignClientHeight)),
                       1.0, 3.0);
  }
  void TearDown() override { form->hide(); }

  std::vector<QWidget*> Visible() const {
    std::vector<QWidget*> result;
    for (QWidget* widget : form->findChildren<QWidget*>()) {
      if (widget->isVisibleTo(form.get())) result.push_back(widget);
    }
    return result;
  }
  // Design pixels at this size; a layout may round one pixel away.
  int AtLeast(int designPixels) const { return static_cast<int>(std::floor(designPixels * scale)) - 1; }

  std::unique_ptr<TForm1> form;
  double scale = 1.0;
};

TEST_P(ReadabilityTest, EveryButtonIsFingerSized) {
  int buttons = 0;
  for (QWidget* widget : Visible()) {
    auto* button = qobject_cast<QPushButton*>(widget);
    if (button == nullptr) continue;
    ++buttons;
    EXPECT_GE(button->height(), AtLeast(house::kTouchPx)) << Name(button);
    EXPECT_GE(button->width(), AtLeast(house::kTouchPx)) << Name(button);
  }
  EXPECT_GE(buttons, 50 + 4 + 4 + 3);
}

TEST_P(ReadabilityTest, EveryTextIsReadableAndWhole) {
  const int readable = static_cast<int>(std::lround(house::kReadablePx * scale));
  for (QWidget* widget : Visible()) {
    auto* button = qobject_cast<QPushButton*>(widget);
    const bool showsText = qobject_cast<QLabel*>(widget) != nullptr || (button != nullptr && !button->text().isEmpty()) ||
                           qobject_cast<QTreeWidget*>(widget) != nullptr ||
                           qobject_cast<QHeaderView*>(widget) != nullptr ||
                           qobject_cast<TCollectionGrid*>(widget) != nullptr;
    if (!showsText) continue;
    EXPECT_GE(widget->font().pixelSize(), readable) << Name(widget);
    // Texts that do not shorten themselves must fit their control.
    if (auto* label = qobject_cast<QLabel*>(widget);
        label != nullptr && qobject_cast<TElideLabel*>(label) == nullptr &&
        qobject_cast<TClickLabel*>(label) == nullptr && qobject_cast<TLampLabel*>(label) == nullptr) {
      EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width()) << Name(widget);
    }
    if (button != nullptr) {
      // Inside the style sheet's border and padding.
      QStyleOptionButton option;
      option.initFrom(button);
      option.text = button->text();
      const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
      EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), room.width()) << Name(widget);
    }
  }
}

TEST_P(ReadabilityTest, QueueRowsAreFingerSized) {
  for (const char* title : {"Die fünf Zwerge - Tanz der Gänseblümchen", "Heino - Blau blüht der Enzian"}) {
    form->PlaylistView->addTopLevelItem(new QTreeWidgetItem({QString::fromUtf8(title), QStringLiteral("3:05")}));
  }
  QApplication::processEvents();
  for (int row = 0; row < 2; ++row) {
    const QRect rect = form->PlaylistView->visualItemRect(form->PlaylistView->topLevelItem(row));
    EXPECT_GE(rect.height(), AtLeast(house::kTouchPx)) << row;
  }
  // The queue still shows several titles at once.
  EXPECT_GE(form->PlaylistView->viewport()->height(), 4 * AtLeast(house::kTouchPx));
}

TEST_P(ReadabilityTest, EveryButtonShowsThatItIsHeld) {
  for (QWidget* widget : Visible()) {
    auto* button = qobject_cast<QPushButton*>(widget);
    if (button == nullptr || !button->isEnabled()) continue;
    const QImage idle = button->grab().toImage();
    button->setDown(true);
    const QImage held = button->grab().toImage();
    button->setDown(false);
    ASSERT_EQ(idle.size(), held.size()) << Name(button);
    int changed = 0;
    for (int y = 0; y < idle.height(); ++y) {
      for (int x = 0; x < idle.width(); ++x) {
        changed += idle.pixel(x, y) != held.pixel(x, y) ? 1 : 0;
      }
    }
    // Most of the face changes, not a pixel or two of an edge.
    EXPECT_GT(changed, idle.width() * idle.height() / 2) << Name(button);
  }
}

INSTANTIATE_TEST_SUITE_P(Screens, ReadabilityTest, ::testing::Values(ScreenSize{1024, 768}, ScreenSize{1920, 1080},
                                                                   ScreenSize{1024, 768, true}, ScreenSize{1920, 1080, true}),
                         [](const auto& info) {
                           return std::to_string(info.param.width) + "x" + std::to_string(info.param.height) +
                                  (info.param.covers ? "_covers" : "");
                         });

TEST(ContrastRatioTest, KnownPairs) {
  const struct {
    QColor a;
    QColor b;
    double ratio;
  } cases[] = {
      {Qt::black, Qt::white, 21.0},
      {Qt::white, Qt::black, 21.0},
      {QColor(0x12, 0x34, 0x56), QColor(0x12, 0x34, 0x56), 1.0},
      // The grey that just misses the small-text floor on white.
      {QColor(0x77, 0x77, 0x77), Qt::white, 4.48},
      {QColor(0x00, 0x00, 0x80), Qt::black, 1.31},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(ContrastRatio(c.a, c.b), c.ratio, 0.01) << c.a.name().toStdString() << " " << c.b.name().toStdString();
  }
}

TEST_F(MainWindowTest, LampCaptionsReadInBothStates) {
  folder.WriteAll(kPlainIni, SomeTitles());
  auto form = MakeForm();
  const auto lamps = form->findChildren<TLampLabel*>();
  ASSERT_EQ(lamps.size(), 8);
  for (TLampLabel* lamp : lamps) {
    for (bool lit : {false, true}) {
      lamp->SetLit(lit);
      EXPECT_GE(ContrastRatio(lamp->CaptionColor(), lamp->CaptionBackground()), 4.5)
          << lamp->objectName().toStdString() << " lit " << lit;
      // The caption is painted in exactly these two colours.
      const QString sheet = lamp->Caption()->styleSheet();
      EXPECT_TRUE(sheet.contains(lamp->CaptionColor().name()) && sheet.contains(lamp->CaptionBackground().name()))
          << sheet.toStdString();
    }
  }
  // The colours of the two states are the lamp colours every lamp shares.
  EXPECT_EQ(lamps.front()->CaptionColor(), kLampCaptionLitColor);
  lamps.front()->SetLit(false);
  EXPECT_EQ(lamps.front()->CaptionColor(), QColor(0x00, 0x00, 0x80));
}

}  // namespace
}  // namespace orvela::testing
