// The three operator windows' frames, and the screen font.
#include <QFontInfo>
#include <QPushButton>

#include "app/collection_builder_window.h"
#include "app/restriction_filter_window.h"
#include "app/settings_menu.h"
#include "main_window_fixture.h"

namespace orvela::testing {
namespace {

using OperatorWindowTest = MainWindowTest;

TEST_F(OperatorWindowTest, CaptionSizeAndFrame) {
  folder.WriteAll(kPlainIni, {});
  auto form = MakeForm();
  TFormMenu menu(*form);
  TFormFilter filter(*form);
  THauptmenu hauptmenu(*form, menu, filter);
  const struct {
    QDialog* window;
    QString caption;
  } windows[] = {{&menu, QString::fromUtf8("Musiktitel hinzufügen...")},
                 {&hauptmenu, QString::fromUtf8("Hauptmenü")},
                 {&filter, QStringLiteral("FormFilter")}};
  for (const auto& w : windows) {
    SCOPED_TRACE(w.caption.toStdString());
    EXPECT_EQ(w.window->windowTitle(), w.caption);
    EXPECT_EQ(w.window->size(), QSize(878, 500));
    EXPECT_EQ(w.window->minimumSize(), w.window->maximumSize());
    const Qt::WindowFlags flags = w.window->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinMaxButtonsHint));
    EXPECT_TRUE(w.window->isModal());
  }
}

TEST_F(OperatorWindowTest, SettingsMenuRegistersAndClosesByTouch) {
  folder.WriteAll(kPlainIni, {});
  auto form = MakeForm();
  TFormMenu menu(*form);
  TFormFilter filter(*form);
  auto hauptmenu = std::make_unique<THauptmenu>(*form, menu, filter);
  EXPECT_EQ(form->SettingsMenuWindow(), hauptmenu.get());
  hauptmenu->show();
  ASSERT_TRUE(hauptmenu->isVisible());
  QPushButton* close = hauptmenu->findChild<QPushButton*>(QStringLiteral("BitBtnSchliessen"));
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(close->text(), QString::fromUtf8("Schließen"));
  EXPECT_TRUE(QRect(QPoint(0, 0), hauptmenu->size()).contains(close->geometry()));
  EXPECT_GE(close->height(), 48);  // a finger, not a mouse pointer
  close->click();
  EXPECT_FALSE(hauptmenu->isVisible());
  EXPECT_EQ(hauptmenu->result(), QDialog::Rejected);
  hauptmenu.reset();
  EXPECT_EQ(form->SettingsMenuWindow(), nullptr);
}

TEST(ScreenFontTest, ArialResolvesToAMetricCompatibleFace) {
  QFont arial(QStringLiteral("Arial"));
  arial.setPixelSize(32);
  const QString family = QFontInfo(arial).family();
  EXPECT_TRUE(family == "Arial" || family == "Liberation Sans") << family.toStdString();
}

}  // namespace
}  // namespace orvela::testing
