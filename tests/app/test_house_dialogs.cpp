// The boxes and the file picker a finger meets: German, large enough at every
// screen size, above a dimmed screen, and answering what was tapped.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "app/german_toolkit.h"
#include "app/house_box.h"
#include "app/house_style.h"
#include "app/qt_dialogs.h"
#include "app/qt_text.h"
#include "app/touch_file_picker.h"
#include "support/scratch_folder.h"

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* out) {
  *out << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

// The guest screen's scale on the two screens a bar has.
const double kSmallScreen = 1.0;
const double kLargeScreen = std::min(1920.0 / 1014.0, 1080.0 / 732.0);

class ScaleGuard {
 public:
  explicit ScaleGuard(double scale) { house::SetScreenScale(scale); }
  ~ScaleGuard() { house::SetScreenScale(1.0); }
};

// Acts on the next modal window of kind T once it is shown, without blocking
// the test; one that never comes fails the test and closes whatever waits.
template <typename T>
void WhenShown(std::function<void(T*)> act) {
  auto* timer = new QTimer;
  auto* clock = new QElapsedTimer;
  clock->start();
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, clock, act] {
    auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
    if (window != nullptr && window->isVisible()) {
      timer->stop();
      timer->deleteLater();
      delete clock;
      act(window);
    } else if (clock->elapsed() > 5000) {
      timer->stop();
      timer->deleteLater();
      delete clock;
      ADD_FAILURE() << "no such window was shown";
      if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) other->reject();
    }
  });
  timer->start();
}

QPushButton* ButtonCaptioned(QWidget* window, const QString& caption) {
  for (QPushButton* button : window->findChildren<QPushButton*>()) {
    if (button->text() == caption) return button;
  }
  return nullptr;
}

void Click(QWidget* window, const QString& caption) {
  QPushButton* button = ButtonCaptioned(window, caption);
  ASSERT_NE(button, nullptr) << caption.toStdString();
  button->click();
}

std::vector<QString> Captions(QWidget* window) {
  std::vector<QString> captions;
  for (QPushButton* button : window->findChildren<QPushButton*>()) captions.push_back(button->text());
  return captions;
}

// What the toolkit shows in English where nobody translated it.
const char* const kEnglishCaptions[] = {
    "OK",      "Cancel",         "Open",          "Save",      "Yes",         "No",
    "Name",    "Size",           "Type",          "Date Modified", "Look in:", "File name:",
    "Files of type:", "Save As", "Back",          "Forward",   "Parent Directory", "Detail View",
    "List View", "New Folder",   "Close",         "Apply",     "Discard",     "Directory:",
    "Error",   "Information",    "Question",      "&Yes",      "&No",         "&Open", "&Save", "&Cancel"};

// Every text a finger sees in the window: captions, labels, headers, titles.
std::vector<QString> VisibleTexts(QWidget* window) {
  std::vector<QString> texts{window->windowTitle()};
  for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) texts.push_back(b->text());
  for (QLabel* l : window->findChildren<QLabel*>()) texts.push_back(l->text());
  for (QHeaderView* h : window->findChildren<QHeaderView*>()) {
    for (int i = 0; h->model() != nullptr && i < h->count(); ++i) {
      texts.push_back(h->model()->headerData(i, h->orientation()).toString());
    }
  }
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (w->isWindow()) texts.push_back(w->windowTitle());
  }
  return texts;
}

void ExpectNoEnglish(QWidget* window, const std::set<QString>& alsoGerman) {
  for (const QString& text : VisibleTexts(window)) {
    for (const char* english : kEnglishCaptions) {
      if (alsoGerman.count(QString::fromLatin1(english)) != 0) continue;
      EXPECT_NE(text, QString::fromLatin1(english)) << "English caption in " << window->metaObject()->className();
    }
  }
}

// Every finger target at least as large as the guest screen's at `scale`.
void ExpectTouchSized(QWidget* window, double scale) {
  const int least = static_cast<int>(house::kTouchPx * scale);
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
    if (!button->isVisible()) continue;
    EXPECT_GE(button->height(), least) << button->text().toStdString() << " at scale " << scale;
  }
}

// ---------------------------------------------------------------- boxes

struct BoxCase {
  const char* kind;
  std::function<void(QtDialogs&)> open;
  QString title;
  std::vector<QString> captions;
  QString defaultCaption;
};

std::vector<BoxCase> BoxCases() {
  return {
      {"message", [](QtDialogs& d) { d.ShowMessage("Maximale Titelauswahl ist erreicht."); },
       QStringLiteral("Orvela Jukebox"), {QStringLiteral("OK")}, QStringLiteral("OK")},
      {"information", [](QtDialogs& d) { d.Information("", "Titel ist schon vorhanden !"); },
       QStringLiteral("Orvela Jukebox"), {QStringLiteral("OK")}, QStringLiteral("OK")},
      {"information with caption", [](QtDialogs& d) { d.Information("Hinweis", "Bitte warten"); },
       QStringLiteral("Hinweis"), {QStringLiteral("OK")}, QStringLiteral("OK")},
      {"error", [](QtDialogs& d) { d.Error("Kann musikliste.xml nicht finden!"); },
       QStringLiteral("Error"), {QStringLiteral("OK")}, QStringLiteral("OK")},
      {"question", [](QtDialogs& d) { d.Question("", "Orvela Jukebox beenden ?"); },
       QStringLiteral("Orvela Jukebox"), {QStringLiteral("Ja"), QStringLiteral("Nein")},
       QStringLiteral("Nein")},
  };
}

class HouseBoxTest : public ::testing::Test {
 protected:
  void SetUp() override { QApplication::setApplicationName(QStringLiteral("Orvela Jukebox")); }
  QtDialogs dialogs_;
};

TEST_F(HouseBoxTest, KeepTitlesCaptionsAndDefaultsInTheHouseStyle) {
  for (const BoxCase& c : BoxCases()) {
    SCOPED_TRACE(c.kind);
    bool seen = false;
    WhenShown<THouseBox>([&](THouseBox* box) {
      seen = true;
      EXPECT_EQ(box->windowTitle(), c.title);
      EXPECT_EQ(Captions(box), c.captions);
      QPushButton* preset = ButtonCaptioned(box, c.defaultCaption);
      ASSERT_NE(preset, nullptr);
      EXPECT_TRUE(preset->isDefault());
      EXPECT_TRUE(box->isModal());
      EXPECT_TRUE(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
      EXPECT_TRUE(box->windowFlags().testFlag(Qt::FramelessWindowHint));
      // The toolkit's pictures are gone; the label is the screen's font.
      EXPECT_EQ(box->findChildren<QLabel*>().size(), 1);
      for (QLabel* label : box->findChildren<QLabel*>()) EXPECT_TRUE(label->pixmap().isNull());
      EXPECT_EQ(box->findChild<TWrappedText*>()->font().family(), QStringLiteral("Arial"));
      ExpectNoEnglish(box, {QStringLiteral("OK"), QStringLiteral("Error")});
      box->reject();
    });
    c.open(dialogs_);
    EXPECT_TRUE(seen);
  }
}

TEST_F(HouseBoxTest, QuestionAnswersYesOnlyForJa) {
  struct Answer {
    const char* how;
    std::function<void(THouseBox*)> act;
    bool expected;
  };
  const Answer answers[] = {
      {"Ja", [](THouseBox* b) { Click(b, QStringLiteral("Ja")); }, true},
      {"Nein", [](THouseBox* b) { Click(b, QStringLiteral("Nein")); }, false},
      {"Escape", [](THouseBox* b) { b->reject(); }, false},
      {"quit signal", [](THouseBox*) { AnswerWaitingBox(); }, false},
  };
  for (const Answer& a : answers) {
    SCOPED_TRACE(a.how);
    WhenShown<THouseBox>(a.act);
    EXPECT_EQ(dialogs_.Question("", "Aktuelle Sammlung wirklich l\xF6schen ?"), a.expected);
  }
}

TEST_F(HouseBoxTest, AQuitSignalClosesAnyWaitingBox) {
  WhenShown<THouseBox>([](THouseBox*) { AnswerWaitingBox(); });
  dialogs_.Error("Es sind nicht alle ben\xF6tigten Dateien vorhanden.");
  SUCCEED();  // reaching here is the point: the box did not wait for a finger
}

TEST_F(HouseBoxTest, GrowsWithTheGuestScreen) {
  const std::string longText =
      "Achtung diese Funktion entfernt alle Songs aus der Jukebox(Playlist). Fortsetzen ? "
      "/home/jukebox/Musik/Ein/sehr/langer/Pfad/ohne/Leerzeichen/der/nicht/passt/Lied.mp3";
  QSize sizes[2];
  int i = 0;
  for (double scale : {kSmallScreen, kLargeScreen}) {
    ScaleGuard guard(scale);
    SCOPED_TRACE(scale);
    WhenShown<THouseBox>([&](THouseBox* box) {
      sizes[i] = box->size();
      ExpectTouchSized(box, scale);
      auto* text = box->findChild<TWrappedText*>();
      // As large as the letters on the guest keyboard.
      EXPECT_GE(text->font().pixelSize(), static_cast<int>(32 * scale));
      // The long path wraps inside the box instead of being cut.
      EXPECT_GE(text->height(), text->heightForWidth(text->width()));
      EXPECT_LE(text->width(), box->width());
      Click(box, QStringLiteral("Nein"));
    });
    dialogs_.Question("", longText);
    ++i;
  }
  EXPECT_GT(sizes[1].width(), sizes[0].width() * 1.3);
  EXPECT_GT(sizes[1].height(), sizes[0].height() * 1.3);
}

TEST_F(HouseBoxTest, DimsTheWindowsBehindWhileOpen) {
  QWidget guestScreen;
  guestScreen.resize(800, 500);
  guestScreen.show();
  WhenShown<THouseBox>([&](THouseBox* box) {
    auto* shade = guestScreen.findChild<QWidget*>(QStringLiteral("HouseShade"));
    ASSERT_NE(shade, nullptr);
    EXPECT_TRUE(shade->isVisible());
    EXPECT_EQ(shade->geometry(), guestScreen.rect());
    EXPECT_EQ(box->findChild<QWidget*>(QStringLiteral("HouseShade")), nullptr);
    box->accept();
  });
  dialogs_.ShowMessage("Musiksammlung ohne Titel");
  EXPECT_EQ(guestScreen.findChild<QWidget*>(QStringLiteral("HouseShade")), nullptr);
}

// ---------------------------------------------------------------- the toolkit's own texts

TEST(GermanToolkit, ToolkitCaptionsAndDatesComeOutGerman) {
  const QLocale before;
  QTranslator* translator = UseGermanToolkit(*QCoreApplication::instance());
  ASSERT_NE(translator, nullptr) << "the toolkit's German translation is not installed";
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Save"), QStringLiteral("Speichern"));
  // The birthday date picker shows German months.
  EXPECT_EQ(QLocale().monthName(3), QString::fromUtf8("März"));
  EXPECT_EQ(QLocale().dayName(1), QStringLiteral("Montag"));
  QCoreApplication::removeTranslator(translator);
  delete translator;
  QLocale::setDefault(before);
}

// ---------------------------------------------------------------- the file picker

class PickerTest : public ScratchFolderTest {
 protected:
  PickerTest() : ScratchFolderTest("orvela-picker") {}
  void SetUp() override {
    ScratchFolderTest::SetUp();
    for (const char* name : {"b.mp3", "A.MP3", "c.txt", "Liste.m3u", ".versteckt.mp3",
                             "alpha/inner.mp3", "Zeta/z.mp3", "alpha/deep/x.mp3"}) {
      Touch(name);
    }
  }
  void Touch(const std::string& name) {
    const fs::path path = dir_ / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
  }
  QString Path(const std::string& name) const { return QString::fromStdString((dir_ / name).string()); }
  QString Folder() const { return QString::fromStdString(dir_.string()); }

  static std::vector<QString> Names(TTouchFilePicker& picker) {
    std::vector<QString> names;
    for (int i = 0; i < picker.List()->count(); ++i) names.push_back(picker.List()->item(i)->text());
    return names;
  }
  // A finger's tap on a row: press and release on the same spot of the list.
  static void Tap(TTouchFilePicker& picker, const QString& name) {
    if (!picker.isVisible()) {
      picker.show();
      QCoreApplication::processEvents();
    }
    QListWidget* list = picker.List();
    const auto found = list->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    list->scrollToItem(found.front());
    const QPoint at = list->visualItemRect(found.front()).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &press);
    QApplication::sendEvent(list->viewport(), &release);
  }
  static void Type(TTouchFilePicker& picker, const QString& keys) {
    for (const QChar key : keys) {
      const QString name = key == QLatin1Char(' ') ? QStringLiteral("Key_Space")
                           : key == QLatin1Char('\b') ? QStringLiteral("Key_Delete")
                           : key == QLatin1Char('^') ? QStringLiteral("Key_Shift")
                                                      : QStringLiteral("Key_") + key.toUpper();
      auto* button = picker.findChild<QPushButton*>(name);
      ASSERT_NE(button, nullptr) << name.toStdString();
      button->click();
    }
  }
};

TEST_F(PickerTest, ListsFoldersFirstThenMatchingFilesWhateverTheirCase) {
  struct Case {
    const char* filter;
    std::vector<const char*> names;
  };
  const Case cases[] = {
      {"*.mp3|*.mp3", {"alpha", "Zeta", "A.MP3", "b.mp3"}},
      {"M3U-Listen|*m3u", {"alpha", "Zeta", "Liste.m3u"}},
      {"Audio|*.MP3; *.txt", {"alpha", "Zeta", "A.MP3", "b.mp3", "c.txt"}},
      {"", {"alpha", "Zeta", "A.MP3", "b.mp3", "c.txt", "Liste.m3u"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    TTouchFilePicker picker(TPickMode::OpenOne, QString(), ParseFileFilter(c.filter), Folder(), QString(), nullptr);
    std::vector<QString> expected;
    for (const char* n : c.names) expected.push_back(QString::fromUtf8(n));
    EXPECT_EQ(Names(picker), expected);
  }
}

TEST_F(PickerTest, SeveralFilterEntriesAreChosenByFinger) {
  TTouchFilePicker picker(TPickMode::OpenOne, QString(), ParseFileFilter("Lieder|*.mp3|Listen|*.m3u"), Folder(),
                          QString(), nullptr);
  EXPECT_EQ(Names(picker).back(), QStringLiteral("b.mp3"));
  Click(&picker, QStringLiteral("Listen"));
  EXPECT_EQ(Names(picker).back(), QStringLiteral("Liste.m3u"));
}

TEST_F(PickerTest, TapsNavigateAndChooseOneFile) {
  TTouchFilePicker picker(TPickMode::OpenOne, QString(), ParseFileFilter("*.mp3|*.mp3"), Folder(), QString(),
                          nullptr);
  EXPECT_FALSE(picker.AcceptButton()->isEnabled());
  Tap(picker, QStringLiteral("alpha"));
  EXPECT_EQ(picker.Folder(), Path("alpha"));
  Tap(picker, QStringLiteral("deep"));
  EXPECT_EQ(picker.Folder(), Path("alpha/deep"));
  Click(&picker, QString::fromUtf8("\u25B2 Übergeordneter Ordner"));
  EXPECT_EQ(picker.Folder(), Path("alpha"));
  Click(&picker, QString::fromUtf8("\u25C0 Zurück"));
  EXPECT_EQ(picker.Folder(), Path("alpha/deep"));
  Click(&picker, QString::fromUtf8("\u25C0 Zurück"));
  EXPECT_EQ(picker.Folder(), Path("alpha"));
  Click(&picker, QString::fromUtf8("\u25C0 Zurück"));
  EXPECT_EQ(picker.Folder(), Folder());
  // The path line leads back as well.
  Tap(picker, QStringLiteral("Zeta"));
  auto crumbs = picker.findChildren<QPushButton*>(QStringLiteral("PickerCrumb"));
  ASSERT_GE(crumbs.size(), 2);
  EXPECT_EQ(crumbs.back()->text(), QStringLiteral("Zeta"));
  crumbs[crumbs.size() - 2]->click();
  EXPECT_EQ(picker.Folder(), Folder());

  Tap(picker, QStringLiteral("A.MP3"));
  Tap(picker, QStringLiteral("b.mp3"));
  EXPECT_TRUE(picker.AcceptButton()->isEnabled());
  picker.AcceptButton()->click();
  EXPECT_EQ(picker.result(), QDialog::Accepted);
  EXPECT_EQ(picker.ChosenFiles(), QStringList{Path("b.mp3")});
}

TEST_F(PickerTest, SeveralFilesAcrossFoldersAndTappedAgainToLeaveOut) {
  TTouchFilePicker picker(TPickMode::OpenSeveral, QString(), ParseFileFilter("*.mp3|*.mp3"), Folder(), QString(),
                          nullptr);
  Tap(picker, QStringLiteral("A.MP3"));
  Tap(picker, QStringLiteral("b.mp3"));
  Tap(picker, QStringLiteral("A.MP3"));
  Tap(picker, QStringLiteral("Zeta"));
  Tap(picker, QStringLiteral("z.mp3"));
  picker.AcceptButton()->click();
  EXPECT_EQ(picker.ChosenFiles(), (QStringList{Path("b.mp3"), Path("Zeta/z.mp3")}));
}

TEST_F(PickerTest, AllFilesOfAFolderAtOnce) {
  TTouchFilePicker picker(TPickMode::OpenSeveral, QString(), ParseFileFilter("*.mp3|*.mp3"), Folder(), QString(),
                          nullptr);
  Click(&picker, QString::fromUtf8("Alle wählen"));
  picker.AcceptButton()->click();
  EXPECT_EQ(picker.ChosenFiles(), (QStringList{Path("A.MP3"), Path("b.mp3")}));
}

TEST_F(PickerTest, SaveTypesTheNameOnScreenAndAppendsTheExtension) {
  struct Case {
    QString keys;  // '^' is the capitals key, '\b' deletes
    const char* saved;
  };
  const Case cases[] = {
      {QStringLiteral("party 1"), "Party 1.m3u"},
      {QString::fromUtf8("^gr^ün_-x\by"), "gr\xC3\x9Cn_-y.m3u"},
      {QStringLiteral("p^l^a12"), "PLA12.m3u"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.saved);
    TTouchFilePicker picker(TPickMode::Save, QString(), ParseFileFilter("M3U-Listen|*m3u"), Folder(),
                            QStringLiteral("m3u"), nullptr);
    EXPECT_FALSE(picker.AcceptButton()->isEnabled());
    Type(picker, c.keys);
    picker.AcceptButton()->click();
    EXPECT_EQ(picker.ChosenFiles(), QStringList{Path(c.saved)});
  }
}

TEST_F(PickerTest, SaveKeepsAnExtensionGivenAndAsksBeforeReplacing) {
  TTouchFilePicker picker(TPickMode::Save, QString(), ParseFileFilter("M3U-Listen|*m3u"), Folder(),
                          QStringLiteral(".m3u"), nullptr);
  // Tapping a list takes its name for the new one.
  Tap(picker, QStringLiteral("Liste.m3u"));
  EXPECT_EQ(picker.NameEdit()->text(), QStringLiteral("Liste"));
  QString question;
  WhenShown<THouseBox>([&](THouseBox* box) {
    question = box->Text();
    EXPECT_EQ(box->findChildren<QPushButton*>().size(), 2);
    Click(box, QStringLiteral("Nein"));
  });
  picker.AcceptButton()->click();
  EXPECT_TRUE(question.contains(QStringLiteral("Liste.m3u"))) << question.toStdString();
  EXPECT_NE(picker.result(), QDialog::Accepted);
  EXPECT_TRUE(picker.ChosenFiles().isEmpty());

  WhenShown<THouseBox>([](THouseBox* box) { Click(box, QStringLiteral("Ja")); });
  picker.AcceptButton()->click();
  EXPECT_EQ(picker.result(), QDialog::Accepted);
  EXPECT_EQ(picker.ChosenFiles(), QStringList{Path("Liste.m3u")});

  // A name with a dot of its own still gets the extension: the toolkit's
  // dialog saved "Party 12.12" bare, and the load picker never listed it.
  Touch("Party 12.12.m3u");
  TTouchFilePicker dated(TPickMode::Save, QString(), ParseFileFilter("M3U-Listen|*m3u"), Folder(),
                         QStringLiteral("m3u"), nullptr);
  Tap(dated, QStringLiteral("Party 12.12.m3u"));
  EXPECT_EQ(dated.NameEdit()->text(), QStringLiteral("Party 12.12"));
  bool asked = false;
  WhenShown<THouseBox>([&](THouseBox* box) {
    asked = true;
    Click(box, QStringLiteral("Ja"));
  });
  dated.AcceptButton()->click();
  EXPECT_TRUE(asked);
  EXPECT_EQ(dated.ChosenFiles(), QStringList{Path("Party 12.12.m3u")});

  // A name that already ends in the extension, in any case, keeps it.
  TTouchFilePicker other(TPickMode::Save, QString(), {}, Folder(), QStringLiteral("m3u"), nullptr);
  other.NameEdit()->setText(QStringLiteral("Neu.M3U"));
  other.AcceptButton()->click();
  EXPECT_EQ(other.ChosenFiles(), QStringList{Path("Neu.M3U")});
}

TEST_F(PickerTest, GrowsWithTheGuestScreenAndSpeaksGermanOnly) {
  QSize sizes[2];
  int i = 0;
  for (double scale : {kSmallScreen, kLargeScreen}) {
    ScaleGuard guard(scale);
    SCOPED_TRACE(scale);
    for (TPickMode mode : {TPickMode::OpenOne, TPickMode::OpenSeveral, TPickMode::Save}) {
      TTouchFilePicker picker(mode, QString(), ParseFileFilter("*.mp3|*.mp3|Listen|*.m3u"), Folder(),
                              QStringLiteral("m3u"), nullptr);
      picker.show();
      QCoreApplication::processEvents();
      if (mode == TPickMode::Save) sizes[i] = picker.size();
      ExpectTouchSized(&picker, scale);
      for (int row = 0; row < picker.List()->count(); ++row) {
        EXPECT_GE(picker.List()->visualItemRect(picker.List()->item(row)).height(),
                  static_cast<int>(house::kTouchPx * scale));
      }
      ExpectNoEnglish(&picker, {});
      // Every key and button caption fits its button.
      for (QPushButton* b : picker.findChildren<QPushButton*>()) {
        EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()), b->width()) << b->text().toStdString();
      }
    }
    ++i;
  }
  EXPECT_GT(sizes[1].width(), sizes[0].width() * 1.3);
  EXPECT_GT(sizes[1].height(), sizes[0].height() * 1.3);
}

TEST_F(PickerTest, ShowsLongNamesWhole) {
  const std::string longName = "Ein ziemlich langer Name eines Liedes aus der Sammlung (Extended Mix).mp3";
  Touch(longName);
  TTouchFilePicker picker(TPickMode::OpenOne, QString(), ParseFileFilter("*.mp3|*.mp3"), Folder(), QString(),
                          nullptr);
  picker.show();
  QCoreApplication::processEvents();
  QListWidget* list = picker.List();
  const auto found = list->findItems(QString::fromStdString(longName), Qt::MatchExactly);
  ASSERT_EQ(found.size(), 1);
  QFont font = picker.font();
  font.setPixelSize(house::Scaled(22));
  EXPECT_LT(QFontMetrics(font).horizontalAdvance(found.front()->text()), list->visualItemRect(found.front()).width());
}

// The rows of pixels holding ink of `colour` in `region` (anti-aliased edges
// left out, so a size measured on screen and on a reference compare).
int InkHeight(const QImage& image, const QRect& region, const QColor& colour) {
  int top = -1;
  int bottom = -1;
  for (int y = region.top(); y <= region.bottom(); ++y) {
    for (int x = region.left(); x <= region.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
              std::abs(c.blue() - colour.blue()) < 40) {
        if (top < 0) top = y;
        bottom = y;
        break;
      }
    }
  }
  return top < 0 ? 0 : bottom - top + 1;
}

TEST_F(PickerTest, AFilesSizeReadsAsLargeAsTheSmallestReadableText) {
  for (double scale : {kSmallScreen, kLargeScreen}) {
    ScaleGuard guard(scale);
    SCOPED_TRACE(scale);
    TTouchFilePicker picker(TPickMode::OpenOne, QString(), ParseFileFilter("*.mp3|*.mp3"), Folder(), QString(),
                            nullptr);
    picker.show();
    QCoreApplication::processEvents();
    QListWidget* list = picker.List();
    const auto found = list->findItems(QStringLiteral("b.mp3"), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    const QRect row = list->visualItemRect(found.front());
    const QImage shot = list->viewport()->grab().toImage();
    // The size stands at the right end of the row, the name at its left.
    const QRect sizeArea(row.left() + row.width() * 2 / 3, row.top(), row.width() / 3 - 1, row.height());
    const QColor dim(QLatin1String(house::kDimText));
    const int shown = InkHeight(shot, sizeArea, dim);
    ASSERT_GT(shown, 0) << "no size shown";

    // The same words at the readable size, on the row's own ground.
    QImage reference(sizeArea.size(), QImage::Format_ARGB32);
    reference.fill(shot.pixelColor(sizeArea.left() + 1, sizeArea.top() + 1));
    QPainter painter(&reference);
    QFont font = picker.font();
    font.setPixelSize(house::Scaled(house::kReadablePx));
    painter.setFont(font);
    painter.setPen(dim);
    painter.drawText(reference.rect(), Qt::AlignCenter, QStringLiteral("1 Byte"));
    painter.end();
    EXPECT_GE(shown, InkHeight(reference, reference.rect(), dim));
  }
}

TEST_F(PickerTest, StartsWhereItFits) {
  const QString empty = Path("leer");
  fs::create_directories(dir_ / "leer");
  struct Case {
    const char* what;
    QString wanted;
    QStringList fallbacks;
    QString expected;
  };
  const Case cases[] = {
      {"the caller's folder", Path("alpha"), {Path("Zeta")}, Path("alpha")},
      {"a missing caller's folder", Path("fehlt"), {empty, Path("Zeta")}, Path("Zeta")},
      {"no caller's folder", QString(), {Path("fehlt"), empty, Path("alpha")}, Path("alpha")},
      {"only empty places", QString(), {Path("fehlt"), empty}, empty},
      {"nothing at all", QString(), {Path("fehlt")}, QDir::homePath()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseStartFolder(c.wanted, c.fallbacks), c.expected) << c.what;
  }
}

TEST_F(PickerTest, ThroughTheDialogServiceInCodePageText) {
  Touch("K\xC3\xB6ln.mp3");  // "Köln.mp3" on disk
  QtDialogs dialogs;
  WhenShown<TTouchFilePicker>([&](TTouchFilePicker* picker) {
    EXPECT_EQ(picker->windowTitle(), QString::fromUtf8("Titel zur Musiksammlung hinzufügen"));
    Tap(*picker, QString::fromUtf8("Köln.mp3"));
    Tap(*picker, QStringLiteral("b.mp3"));
    picker->AcceptButton()->click();
  });
  const std::vector<std::string> files =
      dialogs.OpenFiles("Titel zur Musiksammlung hinzuf\xFCgen", "*.mp3|*.mp3", dir_.string(), true);
  EXPECT_EQ(files, (std::vector<std::string>{dir_.string() + "/K\xF6ln.mp3", dir_.string() + "/b.mp3"}));

  WhenShown<TTouchFilePicker>([](TTouchFilePicker* picker) {
    EXPECT_EQ(picker->windowTitle(), QStringLiteral("Speichern unter"));
    AnswerWaitingBox();
  });
  EXPECT_EQ(dialogs.SaveFile("", "M3U-Listen|*m3u", dir_.string(), "m3u"), "");
}

}  // namespace
}  // namespace orvela::testing
