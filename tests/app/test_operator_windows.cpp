// The three operator windows at the guest screen's scale: at 1024x768 and at
// 1920x1080 every key, box, field, list row and calendar day is at least a
// finger high at that scale, nothing leaves the window or covers its
// neighbour, and no toolkit word in English reaches the operator.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScroller>
#include <QDir>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "accessible_tree.h"
#include "app/collection_builder_window.h"
#include "app/house_style.h"
#include "app/restriction_filter_window.h"
#include "app/settings_menu.h"
#include "main_window_fixture.h"

namespace orvela::testing {
namespace {

struct ScreenCase {
  const char* screen;
  double scale;
};
const ScreenCase kScreens[] = {{"1024x768", 1.0}, {"1920x1080", std::min(1920.0 / 1014.0, 1080.0 / 732.0)}};

// Design pixels at a scale, less one for rounding.
int AtLeast(int designPixels, double scale) { return static_cast<int>(std::floor(designPixels * scale)) - 1; }

bool IsTouchTarget(QWidget* w) {
  if (qobject_cast<QLineEdit*>(w) != nullptr) {
    // The text inside a combo or spin box is measured with its box.
    return qobject_cast<QComboBox*>(w->parentWidget()) == nullptr &&
           qobject_cast<QAbstractSpinBox*>(w->parentWidget()) == nullptr;
  }
  return qobject_cast<QAbstractButton*>(w) != nullptr || qobject_cast<QComboBox*>(w) != nullptr ||
         qobject_cast<QAbstractSpinBox*>(w) != nullptr;
}

QString Caption(QWidget* w) {
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title();
  return {};
}

class OperatorWindowsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    folder.WriteAll(kPlainIni, {{"Band", "Lied", "/musik/lied.mp3", "Rock", "1980", "03:00"}});
    form = MakeForm();
    formMenu = std::make_unique<TFormMenu>(*form);
    // A tree with rows whatever this machine's home and mount folders hold.
    formMenu->SetFolderRoots({QString::fromStdString(folder.Path())});
    filter = std::make_unique<TFormFilter>(*form);
    menu = std::make_unique<THauptmenu>(*form, *formMenu, *filter);
  }
  void TearDown() override {
    for (QWidget* w : Windows()) w->hide();
    house::SetScreenScale(1.0);
  }
  std::vector<TOperatorWindow*> Windows() const { return {menu.get(), formMenu.get(), filter.get()}; }

  // Shows a window as the menu does, at the given scale.
  void ShowAt(TOperatorWindow* window, double scale) {
    house::SetScreenScale(scale);
    window->show();
    QApplication::processEvents();
  }

  std::unique_ptr<TForm1> form;
  std::unique_ptr<TFormMenu> formMenu;
  std::unique_ptr<TFormFilter> filter;
  std::unique_ptr<THauptmenu> menu;
};

TEST_F(OperatorWindowsTest, EveryTargetIsAFingerAtEveryScreenSize) {
  for (const ScreenCase& screen : kScreens) {
    for (TOperatorWindow* window : Windows()) {
      SCOPED_TRACE(std::string(screen.screen) + " " + window->objectName().toStdString());
      ShowAt(window, screen.scale);
      const double s = screen.scale;
      EXPECT_EQ(window->size(), QSize(std::lround(878 * s), std::lround(500 * s)));
      const QRect client(QPoint(0, 0), window->size());
      std::vector<QWidget*> targets;
      for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || w->window() != window) continue;
        SCOPED_TRACE(w->objectName().toStdString() + " \"" + Caption(w).toStdString() + "\"");
        if (!Caption(w).isEmpty()) EXPECT_GE(w->font().pixelSize(), AtLeast(house::kReadablePx, s));
        if (!IsTouchTarget(w)) continue;
        targets.push_back(w);
        EXPECT_GE(w->height(), AtLeast(house::kTouchPx, s));
        EXPECT_TRUE(client.contains(QRect(w->mapTo(window, QPoint(0, 0)), w->size())));
        if (auto* button = qobject_cast<QAbstractButton*>(w); button != nullptr && !button->text().isEmpty())
          EXPECT_GE(w->width(), w->sizeHint().width() - 8) << "caption cut off";
      }
      EXPECT_GE(targets.size(), 5u);
      for (QWidget* a : targets)
        for (QWidget* b : targets)
          if (a < b && a->parentWidget() == b->parentWidget())
            EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                << a->objectName().toStdString() << " / " << b->objectName().toStdString();
      window->hide();
    }
  }
}

TEST_F(OperatorWindowsTest, ListRowsAndCalendarDaysAreAFingerHigh) {
  for (const ScreenCase& screen : kScreens) {
    SCOPED_TRACE(screen.screen);
    const double s = screen.scale;

    ShowAt(filter.get(), s);
    QComboBox* combo = filter->FilterComboBox(TFilterKind::Genre, 1);
    if (combo->count() == 0) combo->addItems({QStringLiteral("Pop"), QStringLiteral("Rock")});
    EXPECT_GE(combo->view()->sizeHintForRow(0), AtLeast(house::kTouchPx, s));
    filter->hide();

    ShowAt(formMenu.get(), s);
    QTreeView* tree = formMenu->ShellTreeView1;
    ASSERT_GT(formMenu->FolderModel()->rowCount(), 0);
    EXPECT_GE(tree->visualRect(formMenu->FolderModel()->index(0, 0)).height(), AtLeast(house::kTouchPx, s));
    // The arrows sit in the indentation: as wide as a finger.
    EXPECT_GE(tree->indentation(), AtLeast(house::kTouchPx, s));
    formMenu->hide();

    ShowAt(menu.get(), s);
    QCalendarWidget* calendar = menu->DateTimePickerGeburtstDatum->calendarWidget();
    calendar->window()->show();
    QApplication::processEvents();
    auto* days = calendar->findChild<QTableView*>(QStringLiteral("qt_calendar_calendarview"));
    ASSERT_NE(days, nullptr);
    for (int row = 0; row < days->model()->rowCount(); ++row)
      EXPECT_GE(days->rowHeight(row), AtLeast(house::kTouchPx, s)) << row;
    for (int column = 0; column < days->model()->columnCount(); ++column)
      EXPECT_GE(days->columnWidth(column), AtLeast(house::kTouchPx, s)) << column;
    for (QToolButton* button : calendar->findChildren<QToolButton*>()) {
      if (!button->isVisibleTo(calendar)) continue;
      EXPECT_GE(button->height(), AtLeast(house::kTouchPx, s)) << button->objectName().toStdString();
      EXPECT_GE(button->width(), AtLeast(house::kTouchPx, s)) << button->objectName().toStdString();
    }
    calendar->window()->hide();
    menu->hide();
  }
}

TEST_F(OperatorWindowsTest, NoEnglishToolkitWords) {
  const QStringList english{"OK",    "Cancel", "Close", "Apply",  "Yes",  "No",  "Name",
                            "Size",  "Type",   "Date Modified", "Open", "Save", "Browse", "Today"};
  const QLocale en(QLocale::English);
  QStringList englishOnlyMonths;
  const QLocale de(QLocale::German, QLocale::Germany);
  for (int month = 1; month <= 12; ++month)
    if (en.standaloneMonthName(month) != de.standaloneMonthName(month))
      englishOnlyMonths.push_back(en.standaloneMonthName(month));
  for (TOperatorWindow* window : Windows()) {
    SCOPED_TRACE(window->objectName().toStdString());
    ShowAt(window, 1.0);
    QStringList texts{window->windowTitle()};
    for (QWidget* w : window->findChildren<QWidget*>()) {
      texts.push_back(Caption(w).remove(QLatin1Char('&')));
      if (w->isWindow()) texts.push_back(w->windowTitle());
      if (auto* header = qobject_cast<QHeaderView*>(w); header != nullptr && header->model() != nullptr) {
        for (int i = 0; i < header->model()->columnCount(); ++i)
          texts.push_back(header->model()->headerData(i, header->orientation()).toString());
      }
    }
    for (const QString& text : texts) {
      EXPECT_FALSE(english.contains(text.trimmed())) << text.toStdString();
      EXPECT_FALSE(englishOnlyMonths.contains(text.trimmed())) << text.toStdString();
    }
    window->hide();
  }
  // The date picker speaks German whatever language the program runs in.
  QCalendarWidget* calendar = menu->DateTimePickerGeburtstDatum->calendarWidget();
  calendar->setCurrentPage(2026, 3);
  auto* month = calendar->findChild<QToolButton*>(QStringLiteral("qt_calendar_monthbutton"));
  ASSERT_NE(month, nullptr);
  EXPECT_EQ(month->text(), de.standaloneMonthName(3));
  EXPECT_EQ(calendar->firstDayOfWeek(), Qt::Monday);
}

TEST_F(OperatorWindowsTest, EveryTextIsReadByAssistiveTechnology) {
  for (TOperatorWindow* window : Windows()) {
    SCOPED_TRACE(window->objectName().toStdString());
    ShowAt(window, 1.0);
    const auto tree = AccessibleTree(window);
    ExpectEveryShownTextNamed(tree, window->objectName().toStdString());
    // Each caption and label shown is found by its text with its role.
    for (QWidget* w : window->findChildren<QWidget*>()) {
      if (!w->isVisibleTo(window) || w->window() != window) continue;
      const QAccessible::Role role = qobject_cast<QLabel*>(w) != nullptr        ? QAccessible::StaticText
                                     : qobject_cast<QCheckBox*>(w) != nullptr   ? QAccessible::CheckBox
                                     : qobject_cast<QPushButton*>(w) != nullptr ? QAccessible::Button
                                                                                : QAccessible::NoRole;
      const QString caption = Caption(w).remove(QLatin1Char('&'));
      if (role == QAccessible::NoRole || caption.isEmpty()) continue;
      EXPECT_NE(FindAccessible(tree, role, caption), nullptr) << caption.toStdString();
    }
    window->hide();
  }
}

TEST_F(OperatorWindowsTest, TheGuestScreensSizeSetsTheScale) {
  // As in kiosk mode: the guest screen takes the whole display.
  form->setMinimumSize(0, 0);
  form->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  form->show();
  form->resize(1920, 1080);
  QApplication::processEvents();
  ASSERT_EQ(form->size(), QSize(1920, 1080));
  const double scale = house::ScreenScale();
  EXPECT_NEAR(scale, std::min(1920.0 / 1014.0, 1080.0 / 732.0), 0.05);
  menu->show();
  QApplication::processEvents();
  EXPECT_EQ(menu->width(), std::lround(878 * scale));
  EXPECT_GE(menu->BitBtnSchliessen->height(), AtLeast(house::kTouchPx, scale));
  menu->hide();
  // Back on a small screen the windows shrink again.
  form->resize(1024, 768);
  QApplication::processEvents();
  menu->show();
  QApplication::processEvents();
  EXPECT_EQ(menu->width(), std::lround(878 * house::ScreenScale()));
  form->hide();
}

// A finger on the folder tree: a drag scrolls, a tap on a row or on its arrow
// opens the folder once (the toolkit's own arrow handling would open it on the
// press and the tap close it again) and chooses it.
TEST_F(OperatorWindowsTest, ATapOnAFoldersArrowOpensItOnceAndChoosesIt) {
  std::filesystem::create_directories(folder.Path() + "Musik/Rock");
  ShowAt(formMenu.get(), 1.0);
  QTreeView* tree = formMenu->ShellTreeView1;
  EXPECT_NE(QScroller::grabbedGesture(tree->viewport()), Qt::GestureType(0));
  const QModelIndex root = formMenu->FolderModel()->index(0, 0);
  ASSERT_TRUE(root.isValid());
  ASSERT_FALSE(tree->isExpanded(root));
  const QRect row = tree->visualRect(root);
  const QPointF arrow(row.left() - tree->indentation() / 2.0, row.center().y());
  ASSERT_GE(arrow.x(), 0);
  for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent event(type, arrow, tree->viewport()->mapToGlobal(arrow), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &event);
  }
  QApplication::processEvents();
  EXPECT_TRUE(tree->isExpanded(root));
  EXPECT_EQ(formMenu->SelectedFolder(), QDir::cleanPath(QString::fromStdString(folder.Path())).toStdString());
}

// A tap on a combo's text opens its list, as its arrow does.
TEST_F(OperatorWindowsTest, ATapOnARestrictionComboOpensItsList) {
  ShowAt(filter.get(), 1.0);
  QComboBox* combo = filter->FilterComboBox(TFilterKind::Genre, 1);
  combo->addItems({QStringLiteral("Pop"), QStringLiteral("Rock")});
  combo->setCurrentIndex(-1);
  combo->setEnabled(true);
  QLineEdit* text = combo->lineEdit();
  const QPointF at(text->width() / 2.0, text->height() / 2.0);
  QMouseEvent press(QEvent::MouseButtonPress, at, text->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(text, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, text->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(text, &release);
  QApplication::processEvents();
  EXPECT_TRUE(combo->view()->isVisible());
  // The lift that opened the list chose nothing.
  EXPECT_EQ(combo->currentIndex(), -1);
  combo->hidePopup();
}

}  // namespace
}  // namespace orvela::testing
