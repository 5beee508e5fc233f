// Building the guest screen: every control under its name, in three columns
// under a title row. Sizes are given for the design size; ApplyScale grows
// fonts and fixed sizes with the window, so a full-screen 1920x1080 kiosk
// reads from across the room instead of showing a small island.
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSlider>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/background_image.h"
#include "app/click_label.h"
#include "app/collection_grid.h"
#include "app/digital_clock.h"
#include "app/elide_label.h"
#include "app/lamp_label.h"
#include "app/led_lamp.h"
#include "app/main_window.h"
#include "app/house_style.h"
#include "app/screen_style.h"
#include "app/spectrum_box.h"

namespace orvela {

namespace {

// The left column takes the queue summary's longest line at readable size,
// the right one five keys of finger size beside the volume slider.
constexpr int kLeftColumnWidth = 345;
constexpr int kRightColumnWidth = 310;
constexpr int kLampFontPx = 48;
constexpr int kTextPx = house::kReadablePx;
constexpr int kQueueRowPx = house::kTouchPx;
// "löschen" at readable size is wider than a key: its face is narrowed.
constexpr int kWordKeyStretch = 68;

// Queue rows are finger targets (a tapped row shows when it will play).
class QueueRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void SetRowHeight(int pixels) { rowHeight_ = pixels; }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize hint = QStyledItemDelegate::sizeHint(option, index);
    hint.setHeight(std::max(hint.height(), rowHeight_));
    return hint;
  }

 private:
  int rowHeight_ = kQueueRowPx;
};

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QFrame* NewPanel(QWidget* parent, const char* name) {
  auto* panel = Named(new QFrame(parent), name);
  panel->setFrameShape(QFrame::StyledPanel);
  return panel;
}

struct KeyDef {
  QPushButton* TForm1::*member;
  const char* name;
  const char* caption;  // UTF-8
  char character;       // code-page character appended; 0 for the other keys
  int row;
  int column;
};

// Five columns and ten rows, as the guests know it from the jukebox's first years.
const KeyDef kKeys[] = {
    {&TForm1::SpeedButton1, "SpeedButton1", "A", 'A', 0, 0},
    {&TForm1::SpeedButton2, "SpeedButton2", "B", 'B', 0, 1},
    {&TForm1::SpeedButton3, "SpeedButton3", "C", 'C', 0, 2},
    {&TForm1::SpeedButton40, "SpeedButton40", "Ä", '\xC4', 0, 3},
    {&TForm1::SpeedButton30, "SpeedButton30", "1", '1', 0, 4},
    {&TForm1::SpeedButton4, "SpeedButton4", "D", 'D', 1, 0},
    {&TForm1::SpeedButton5, "SpeedButton5", "E", 'E', 1, 1},
    {&TForm1::SpeedButton6, "SpeedButton6", "F", 'F', 1, 2},
    {&TForm1::SpeedButton41, "SpeedButton41", "Ö", '\xD6', 1, 3},
    {&TForm1::SpeedButton31, "SpeedButton31", "2", '2', 1, 4},
    {&TForm1::SpeedButton8, "SpeedButton8", "G", 'G', 2, 0},
    {&TForm1::SpeedButton9, "SpeedButton9", "H", 'H', 2, 1},
    {&TForm1::SpeedButton10, "SpeedButton10", "I", 'I', 2, 2},
    {&TForm1::SpeedButton42, "SpeedButton42", "Ü", '\xDC', 2, 3},
    {&TForm1::SpeedButton32, "SpeedButton32", "3", '3', 2, 4},
    {&TForm1::SpeedButton11, "SpeedButton11", "J", 'J', 3, 0},
    {&TForm1::SpeedButton12, "SpeedButton12", "K", 'K', 3, 1},
    {&TForm1::SpeedButton13, "SpeedButton13", "L", 'L', 3, 2},
    {&TForm1::SpeedButton43, "SpeedButton43", "ß", '\xDF', 3, 3},
    {&TForm1::SpeedButton33, "SpeedButton33", "4", '4', 3, 4},
    {&TForm1::SpeedButton14, "SpeedButton14", "M", 'M', 4, 0},
    {&TForm1::SpeedButton15, "SpeedButton15", "N", 'N', 4, 1},
    {&TForm1::SpeedButton16, "SpeedButton16", "O", 'O', 4, 2},
    {&TForm1::SpeedButton44, "SpeedButton44", "-", '-', 4, 3},
    {&TForm1::SpeedButton34, "SpeedButton34", "5", '5', 4, 4},
    {&TForm1::SpeedButton17, "SpeedButton17", "P", 'P', 5, 0},
    {&TForm1::SpeedButton18, "SpeedButton18", "Q", 'Q', 5, 1},
    {&TForm1::SpeedButton19, "SpeedButton19", "R", 'R', 5, 2},
    {&TForm1::SpeedButton45, "SpeedButton45", "/", '/', 5, 3},
    {&TForm1::SpeedButton35, "SpeedButton35", "6", '6', 5, 4},
    {&TForm1::SpeedButton20, "SpeedButton20", "S", 'S', 6, 0},
    {&TForm1::SpeedButton21, "SpeedButton21", "T", 'T', 6, 1},
    {&TForm1::SpeedButton22, "SpeedButton22", "U", 'U', 6, 2},
    {&TForm1::SpeedButton48, "SpeedButton48", "?", '?', 6, 3},
    {&TForm1::SpeedButton36, "SpeedButton36", "7", '7', 6, 4},
    {&TForm1::SpeedButton23, "SpeedButton23", "V", 'V', 7, 0},
    {&TForm1::SpeedButton24, "SpeedButton24", "W", 'W', 7, 1},
    {&TForm1::SpeedButton25, "SpeedButton25", "X", 'X', 7, 2},
    {&TForm1::SpeedButton49, "SpeedButton49", "+", '+', 7, 3},
    {&TForm1::SpeedButton37, "SpeedButton37", "8", '8', 7, 4},
    {&TForm1::SpeedButton26, "SpeedButton26", "Y", 'Y', 8, 0},
    {&TForm1::SpeedButton27, "SpeedButton27", "Z", 'Z', 8, 1},
    {&TForm1::SpeedButton7, "SpeedButton7", "löschen", 0, 8, 2},
    {&TForm1::SpeedButton28, "SpeedButton28", "", ' ', 8, 3},
    {&TForm1::SpeedButton38, "SpeedButton38", "9", '9', 8, 4},
    {&TForm1::SpeedButton50, "SpeedButton50", "Interp", 0, 9, 0},
    {&TForm1::SpeedButton29, "SpeedButton29", "Titel", 0, 9, 1},
    {&TForm1::SpeedButton47, "SpeedButton47", "Genre", 0, 9, 2},
    {&TForm1::SpeedButton46, "SpeedButton46", "Jahr", 0, 9, 3},
    {&TForm1::SpeedButton39, "SpeedButton39", "0", '0', 9, 4},
};

}  // namespace

void TForm1::Style(QWidget* widget, int pixelSize, bool bold, QSize fixedSize) {
  styled_.push_back({widget, pixelSize, bold, fixedSize});
}

int TForm1::Scaled(int designPixels) const {
  return static_cast<int>(std::lround(designPixels * scale_));
}

void TForm1::ApplyScale() {
  for (const StyledWidget& entry : styled_) {
    if (entry.pixelSize > 0) {
      QFont font(QStringLiteral("Arial"));
      font.setPixelSize(std::max(8, Scaled(entry.pixelSize)));
      font.setBold(entry.bold);
      entry.widget->setFont(font);
    }
    if (entry.fixedSize.width() > 0) {
      entry.widget->setFixedWidth(Scaled(entry.fixedSize.width()));
    }
    if (entry.fixedSize.height() > 0) {
      entry.widget->setFixedHeight(Scaled(entry.fixedSize.height()));
    }
  }
  if (PlaylistView != nullptr) {
    PlaylistView->setColumnWidth(0, Scaled(280));
    if (auto* rows = dynamic_cast<QueueRowDelegate*>(PlaylistView->itemDelegate())) {
      rows->SetRowHeight(Scaled(kQueueRowPx));
      // Uniform row heights are measured once; a new scale must measure again.
      PlaylistView->setUniformRowHeights(false);
      PlaylistView->setUniformRowHeights(true);
      PlaylistView->doItemsLayout();
    }
  }
  for (TLampLabel* lamp : findChildren<TLampLabel*>()) {
    // The dash of the large font sits below the middle of its line: lifted,
    // it lines up with the caption beside it.
    lamp->setContentsMargins(0, 0, 0, Scaled(8));
  }
  for (QPushButton* word : {SpeedButton7, SpeedButton50, SpeedButton29, SpeedButton47, SpeedButton46}) {
    if (word != nullptr) {
      QFont font = word->font();
      font.setStretch(kWordKeyStretch);
      word->setFont(font);
    }
  }
  for (QPushButton* arrow : {SpeedButton53, SpeedButton54}) {
    if (arrow != nullptr) {
      const int side = Scaled(40);
      arrow->setIconSize(QSize(side, side));
    }
  }
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const double byWidth = static_cast<double>(width()) / kDesignClientWidth;
  const double byHeight = static_cast<double>(height()) / kDesignClientHeight;
  // Grow with the screen, but never shrink below readable on a small one.
  const double scale = std::clamp(std::min(byWidth, byHeight), 1.0, 3.0);
  if (std::abs(scale - scale_) > 0.01) {
    scale_ = scale;
    house::SetScreenScale(scale);
    ApplyScale();
  }
}

void TForm1::CreateControls() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Orvela Jukebox Player"));
  setStyleSheet(MainScreenStyleSheet());
  QFont arial(QStringLiteral("Arial"));
  arial.setPixelSize(kTextPx);
  setFont(arial);

  Image1 = Named(new TBackgroundImage(QStringLiteral(":/assets/background.png"), this), "Image1");

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 4, 6, 6);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(4);
  grid->addWidget(CreateTopRow(this, 0), 0, 0);
  grid->addWidget(CreateTopRow(this, 1), 0, 1);
  grid->addWidget(CreateTopRow(this, 2), 0, 2);
  grid->addWidget(CreateLeftColumn(), 1, 0);
  grid->addWidget(CreateCentreColumn(), 1, 1);
  grid->addWidget(CreateRightColumn(), 1, 2);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(1, 1);

  CreateTimers();
  CreatePhoneCode();
  ConnectSearch();
  ConnectPlayback();
  ConnectJingles();
  // A new guest screen starts at its design size; windows above it follow.
  house::SetScreenScale(scale_);
  ApplyScale();
  resize(kDesignClientWidth, kDesignClientHeight);
}

QWidget* TForm1::CreateTopRow(QWidget* parent, int column) {
  auto* box = new QWidget(parent);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  if (column == 0) {
    Label1 = Named(new QLabel(QStringLiteral("Orvela Jukebox"), box), "Label1");
    LabelVersion = Named(new QLabel(QStringLiteral("Beta Ver. 1.0.0.1"), box), "LabelVersion");
    Style(Label1, 32, true);
    Style(LabelVersion, kTextPx, false);
    layout->addWidget(Label1);
    layout->addWidget(LabelVersion);
  } else if (column == 1) {
    StaticText_titel_vorhanden = Named(
        new TElideLabel(QStringLiteral("0 Titel in Musiksammlung vorhanden"), box), "StaticText_titel_vorhanden");
    Style(StaticText_titel_vorhanden, kTextPx, true);
    auto* status = new QHBoxLayout;
    JvLED2 = Named(new TLedLamp(box), "JvLED2");
    JvLED2->SetCaption(QStringLiteral("Musiksammlung"));
    JvLED2->SetColorOn(QColor(0x00, 0xFF, 0x00));
    JvLED2->SetColorOff(QColor(0xFF, 0x00, 0x00));
    Style(JvLED2, 0, false, QSize(20, 20));
    StaticTextMusikListenStatus =
        Named(new TElideLabel(QStringLiteral("Musikliste ohne Titel"), box), "StaticTextMusikListenStatus");
    Style(StaticTextMusikListenStatus, kTextPx, false);
    status->addWidget(JvLED2);
    status->addWidget(StaticTextMusikListenStatus, 1);
    layout->addStretch(1);
    layout->addWidget(StaticText_titel_vorhanden);
    layout->addLayout(status);
  } else {
    StaticText_suchen = Named(new TClickLabel(box), "StaticText_suchen");
    StaticText_suchen->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    StaticText_suchen->setTextFormat(Qt::PlainText);
    Style(StaticText_suchen, 24, true, QSize(0, 40));
    auto* line = new QHBoxLayout;
    StaticTextSuchennach =
        Named(new TElideLabel(QStringLiteral("Suche nach Interpret"), box), "StaticTextSuchennach");
    StaticTextSucheGefunden = Named(new QLabel(QStringLiteral("0 Titel"), box), "StaticTextSucheGefunden");
    StaticTextSucheGefunden->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Style(StaticTextSuchennach, kTextPx, false);
    Style(StaticTextSucheGefunden, kTextPx, true);
    line->addWidget(StaticTextSuchennach, 1);
    line->addWidget(StaticTextSucheGefunden);
    layout->addWidget(StaticText_suchen);
    layout->addLayout(line);
  }
  return box;
}

namespace {

// A lamp with its caption beside it. Side by side the pairs of a panel are
// laid out two or three to a line, so readable captions fit the column.
QWidget* LampPair(QWidget* parent, TLampLabel* lamp, QLabel* caption) {
  auto* box = new QWidget(parent);
  auto* layout = new QHBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  layout->addWidget(lamp);
  layout->addWidget(caption);
  layout->addStretch(1);
  return box;
}

}  // namespace

QWidget* TForm1::CreateLeftColumn() {
  auto* column = new QWidget(this);
  Style(column, 0, false, QSize(kLeftColumnWidth, 0));
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);

  PlaylistView = Named(new QTreeWidget(column), "PlaylistView");
  PlaylistView->setItemDelegate(new QueueRowDelegate(PlaylistView));
  PlaylistView->setColumnCount(2);
  PlaylistView->setHeaderLabels({QStringLiteral("Titel"), QStringLiteral("Dauer")});
  PlaylistView->setRootIsDecorated(false);
  PlaylistView->setUniformRowHeights(true);
  PlaylistView->setSelectionMode(QAbstractItemView::SingleSelection);
  PlaylistView->setSelectionBehavior(QAbstractItemView::SelectRows);
  PlaylistView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  PlaylistView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  PlaylistView->header()->setStretchLastSection(true);
  PlaylistView->header()->setSectionsMovable(false);
  Style(PlaylistView, kTextPx, false);
  Style(PlaylistView->header(), kTextPx, true);
  layout->addWidget(PlaylistView, 1);

  // The queue summary.
  Panel4 = NewPanel(column, "Panel4");
  auto* summary = new QGridLayout(Panel4);
  summary->setContentsMargins(6, 3, 6, 3);
  summary->setHorizontalSpacing(4);
  summary->setVerticalSpacing(0);
  auto text = [&](QWidget* parent, const QString& caption) {
    auto* label = new QLabel(caption, parent);
    Style(label, kTextPx, false);
    return label;
  };
  auto value = [&](QWidget* parent, const char* name, const QString& caption) {
    auto* label = Named(new QLabel(caption, parent), name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Style(label, kTextPx, true);
    return label;
  };
  LabelTitelJukeWert = value(Panel4, "LabelTitelJukeWert", QStringLiteral("0"));
  LabelAbspielJukeWert = value(Panel4, "LabelAbspielJukeWert", QStringLiteral("00:00"));
  LabeJukeWann = value(Panel4, "LabeJukeWann", QStringLiteral("xx:xx Uhr"));
  Labelmaxwert = value(Panel4, "Labelmaxwert", QStringLiteral("0"));
  summary->addWidget(text(Panel4, QStringLiteral("Titel in Jukebox.")), 0, 0);
  summary->addWidget(LabelTitelJukeWert, 0, 1);
  summary->addWidget(text(Panel4, QStringLiteral("Abspielzeit:")), 1, 0);
  auto* playTime = new QHBoxLayout;
  playTime->setSpacing(4);
  playTime->addWidget(LabelAbspielJukeWert, 1);
  playTime->addWidget(text(Panel4, QStringLiteral("min")));
  summary->addLayout(playTime, 1, 1);
  summary->addWidget(text(Panel4, QStringLiteral("Titel wird gespielt um ca.")), 2, 0);
  summary->addWidget(LabeJukeWann, 2, 1);
  summary->addWidget(text(Panel4, QStringLiteral("max.Titel")), 3, 0);
  summary->addWidget(Labelmaxwert, 3, 1);
  auto lamp = [&](QWidget* parent, TLampLabel*& diode, const char* diodeName, QLabel*& caption,
                  const char* captionName, const QString& captionText) {
    caption = Named(new QLabel(captionText, parent), captionName);
    Style(caption, kTextPx, true);
    diode = Named(new TLampLabel(caption, parent), diodeName);
    // The dash sits in the middle of the line: the rest of the line is space.
    Style(diode, kLampFontPx, true, QSize(0, 24));
    return LampPair(parent, diode, caption);
  };
  auto* lamps4 = new QGridLayout;
  lamps4->setSpacing(2);
  lamps4->addWidget(lamp(Panel4, LabelDiodeFade, "LabelDiodeFade", LabelFade, "LabelFade",
                         QStringLiteral("Fade")), 0, 0);
  lamps4->addWidget(lamp(Panel4, LabelDiodeAuto, "LabelDiodeAuto", LabelAuto, "LabelAuto",
                         QStringLiteral("Automatik")), 0, 1);
  lamps4->addWidget(lamp(Panel4, LabelDiodeDoppel, "LabelDiodeDoppel", LabelDoppel, "LabelDoppel",
                         QStringLiteral("Doppelte Titel erlauben")), 1, 0, 1, 2);
  summary->addLayout(lamps4, 4, 0, 1, 2);
  layout->addWidget(Panel4);

  // The title now playing.
  Panel1 = NewPanel(column, "Panel1");
  auto* playing = new QGridLayout(Panel1);
  playing->setContentsMargins(6, 3, 6, 3);
  playing->setHorizontalSpacing(4);
  playing->setVerticalSpacing(0);
  auto field = [&](const char* name, const QString& empty) {
    auto* label = Named(new TElideLabel(empty, Panel1), name);
    // Tag text is shown as it stands, never taken for markup.
    label->setTextFormat(Qt::PlainText);
    Style(label, kTextPx, true);
    return label;
  };
  LabelTitel = field("LabelTitel", QString(45, QLatin1Char(':')));
  LabelInterpret = field("LabelInterpret", QString(45, QLatin1Char(':')));
  LabelJahr = field("LabelJahr", QStringLiteral("0000"));
  LabelGenre = field("LabelGenre", QString(20, QLatin1Char(':')));
  LabelDauerU = Named(new QLabel(QStringLiteral("Abspielzeit"), Panel1), "LabelDauerU");
  Style(LabelDauerU, kTextPx, false);
  LabelDauer = Named(new QLabel(QStringLiteral("00:00"), Panel1), "LabelDauer");
  Style(LabelDauer, 22, true);
  playing->addWidget(text(Panel1, QStringLiteral("Titel :")), 0, 0);
  playing->addWidget(LabelTitel, 0, 1, 1, 2);
  playing->addWidget(text(Panel1, QStringLiteral("Interpret :")), 1, 0);
  playing->addWidget(LabelInterpret, 1, 1, 1, 2);
  playing->addWidget(text(Panel1, QStringLiteral("Jahr :")), 2, 0);
  playing->addWidget(LabelJahr, 2, 1);
  playing->addWidget(text(Panel1, QStringLiteral("Genre :")), 3, 0);
  playing->addWidget(LabelGenre, 3, 1);
  playing->addWidget(LabelDauerU, 2, 2, Qt::AlignRight | Qt::AlignBottom);
  playing->addWidget(LabelDauer, 3, 2, Qt::AlignRight | Qt::AlignTop);
  playing->setColumnStretch(1, 1);
  auto* lamps1 = new QGridLayout;
  lamps1->setSpacing(2);
  lamps1->addWidget(lamp(Panel1, LabelDiodePlay, "LabelDiodePlay", LabelStatusPlay, "LabelStatusPlay",
                         QStringLiteral("Play")), 0, 0);
  lamps1->addWidget(lamp(Panel1, LabelDiodePause, "LabelDiodePause", LabelStatusPause,
                         "LabelStatusPause", QStringLiteral("Pause")), 0, 1);
  lamps1->addWidget(lamp(Panel1, LabelDiodeStop, "LabelDiodeStop", LabelStatusStop, "LabelStatusStop",
                         QStringLiteral("Stop")), 0, 2);
  lamps1->addWidget(lamp(Panel1, LabelDiodeLeer, "LabelDiodeLeer", LabelStatusLeer, "LabelStatusLeer",
                         QStringLiteral("leer")), 1, 0);
  lamps1->addWidget(lamp(Panel1, LabelDiodeGeburt, "LabelDiodeGeburt", LabelStatusGeburt,
                         "LabelStatusGeburt", QStringLiteral("Geburstagmodus")), 1, 1, 1, 2);
  playing->addLayout(lamps1, 4, 0, 1, 3);
  layout->addWidget(Panel1);

  MainScrollbar = Named(new QScrollBar(Qt::Horizontal, column), "MainScrollbar");
  MainScrollbar->setRange(0, 100);
  Style(MainScrollbar, 0, false, QSize(0, 24));
  layout->addWidget(MainScrollbar);
  return column;
}

QWidget* TForm1::CreateCentreColumn() {
  auto* column = new QWidget(this);
  auto* layout = new QGridLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setHorizontalSpacing(6);
  layout->setVerticalSpacing(4);

  DBMusiksammlung = Named(new TCollectionGrid(column), "DBMusiksammlung");
  DBMusiksammlung->SetTable(collectionTable_.get());
  Style(DBMusiksammlung, kTextPx, false);
  layout->addWidget(DBMusiksammlung, 0, 0, 3, 1);

  auto arrow = [&](const char* name, const char* picture) {
    auto* button = Named(new QPushButton(column), name);
    button->setIcon(QIcon(QString::fromLatin1(picture)));
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    button->setAutoRepeat(false);
    button->setIconSize(QSize(40, 40));
    Style(button, 0, false, QSize(56, 0));
    return button;
  };
  SpeedButton53 = arrow("SpeedButton53", ":/assets/arrow_up.png");
  SpeedButton54 = arrow("SpeedButton54", ":/assets/arrow_down.png");
  // Pictures only: a screen reader reads these names instead.
  SpeedButton53->setAccessibleName(QStringLiteral("Nach oben"));
  SpeedButton54->setAccessibleName(QStringLiteral("Nach unten"));
  layout->addWidget(SpeedButton53, 0, 1);
  layout->addWidget(SpeedButton54, 2, 1);
  layout->setRowStretch(0, 1);
  layout->setRowStretch(1, 0);
  layout->setRowStretch(2, 1);

  Abspielliste_uebernehmen_SpeedBtn = Named(
      new QPushButton(QString::fromUtf8("In Abspielliste übernehmen"), column), "Abspielliste_uebernehmen_SpeedBtn");
  Style(Abspielliste_uebernehmen_SpeedBtn, 24, true, QSize(0, 52));
  layout->addWidget(Abspielliste_uebernehmen_SpeedBtn, 3, 0, 1, 2);

  auto* jingles = new QHBoxLayout;
  jingles->setSpacing(6);
  QPushButton* TForm1::*const jingleMembers[] = {&TForm1::SpeedButton_Jingle1, &TForm1::SpeedButton_Jingle2,
                                                 &TForm1::SpeedButton_Jingle3, &TForm1::SpeedButton_Jingle4};
  for (int i = 0; i < 4; ++i) {
    auto* button = new QPushButton(QStringLiteral("Jingle %1").arg(i + 1), column);
    button->setObjectName(QStringLiteral("SpeedButton_Jingle%1").arg(i + 1));
    button->setProperty("jingle", true);
    Style(button, kTextPx, true, QSize(0, house::kTouchPx));
    jingles->addWidget(button);
    this->*jingleMembers[i] = button;
  }
  layout->addLayout(jingles, 4, 0, 1, 2);

  Panel3 = NewPanel(column, "Panel3");
  auto* spectrumLayout = new QVBoxLayout(Panel3);
  spectrumLayout->setContentsMargins(3, 3, 3, 3);
  SpectrumPaintbox = Named(new TSpectrumBox(Panel3), "SpectrumPaintbox");
  Style(SpectrumPaintbox, 0, false, QSize(0, 113));
  spectrumLayout->addWidget(SpectrumPaintbox);
  layout->addWidget(Panel3, 5, 0, 1, 2);
  return column;
}

QWidget* TForm1::CreateKeyboard() {
  Panel2 = NewPanel(this, "Panel2");
  auto* keys = new QGridLayout(Panel2);
  keys->setContentsMargins(4, 4, 4, 4);
  keys->setSpacing(3);
  for (const KeyDef& key : kKeys) {
    auto* button = Named(new QPushButton(QString::fromUtf8(key.caption), Panel2), key.name);
    // All keys the same size whatever their caption: the grid shares the room out.
    button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    button->setFocusPolicy(Qt::NoFocus);
    // One character fills the key; the words of the mode keys and "löschen"
    // keep the readable size in a narrowed face, so they fit the square.
    const int length = static_cast<int>(QString::fromUtf8(key.caption).size());
    Style(button, length <= 1 ? 32 : kTextPx, true);
    keys->addWidget(button, key.row, key.column);
    this->*key.member = button;
    if (key.character != 0) {
      const char character = key.character;
      connect(button, &QPushButton::clicked, this, [this, character] { SearchKeyClick(character); });
    }
  }
  for (QPushButton* mode : {SpeedButton50, SpeedButton29, SpeedButton47, SpeedButton46}) {
    mode->setProperty("searchMode", true);
  }
  // The space key shows no caption.
  SpeedButton28->setAccessibleName(QStringLiteral("Leerzeichen"));
  TLedLamp* TForm1::*const ledMembers[] = {&TForm1::JvLED1, &TForm1::JvLED3, &TForm1::JvLED4, &TForm1::JvLED5};
  const char* ledNames[] = {"JvLED1", "JvLED3", "JvLED4", "JvLED5"};
  const char* ledCaptions[] = {"Suche nach Interpret", "Suche nach Titel", "Suche nach Genre", "Suche nach Jahr"};
  for (int i = 0; i < 4; ++i) {
    auto* led = Named(new TLedLamp(Panel2), ledNames[i]);
    led->SetCaption(QString::fromLatin1(ledCaptions[i]));
    Style(led, 0, false, QSize(14, 14));
    keys->addWidget(led, 10, i, Qt::AlignHCenter);
    this->*ledMembers[i] = led;
  }
  JvLED1->SetActive(true);
  for (int column = 0; column < 5; ++column) {
    keys->setColumnStretch(column, 1);
  }
  for (int row = 0; row < 10; ++row) {
    keys->setRowStretch(row, 1);
  }
  return Panel2;
}

QWidget* TForm1::CreateRightColumn() {
  auto* column = new QWidget(this);
  Style(column, 0, false, QSize(kRightColumnWidth, 0));
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);

  auto* upper = new QHBoxLayout;
  upper->setSpacing(6);
  upper->addWidget(CreateKeyboard(), 1);
  SliderEdit1 = Named(new QSlider(Qt::Vertical, column), "SliderEdit1");
  SliderEdit1->setRange(0, 100);
  SliderEdit1->setValue(100);
  SliderEdit1->setAccessibleName(QString::fromUtf8("Lautstärke"));
  Style(SliderEdit1, 0, false, QSize(36, 0));
  upper->addWidget(SliderEdit1);
  layout->addLayout(upper, 1);

  auto* player = new QGridLayout;
  player->setSpacing(4);
  auto button = [&](const char* name, const QString& caption, int px) {
    auto* result = Named(new QPushButton(caption, column), name);
    result->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    Style(result, px, true);
    return result;
  };
  BtnStop = button("BtnStop", QStringLiteral("Stop"), kTextPx);
  BtnNext = button("BtnNext", QStringLiteral("Vor"), kTextPx);
  BtnPlayPause = button("BtnPlayPause", QStringLiteral("Abspielen"), 20);
  SpeedButton_Menu = button("SpeedButton_Menu", QString::fromUtf8("Menü"), kTextPx);
  DigitalClock = Named(new TDigitalClock(services_.clock, column), "DigitalClock");
  Style(DigitalClock, 20, true);
  player->addWidget(BtnStop, 0, 0);
  player->addWidget(BtnNext, 1, 0);
  player->addWidget(BtnPlayPause, 0, 1, 2, 1);
  player->addWidget(SpeedButton_Menu, 0, 2);
  player->addWidget(DigitalClock, 1, 2);
  player->setColumnStretch(0, 2);
  player->setColumnStretch(1, 3);
  player->setColumnStretch(2, 3);
  auto* playerBox = new QWidget(column);
  playerBox->setLayout(player);
  player->setContentsMargins(0, 0, 0, 0);
  // Two rows of finger-sized buttons.
  Style(playerBox, 0, false, QSize(0, 2 * house::kTouchPx + 4));
  layout->addWidget(playerBox);
  return column;
}

void TForm1::CreateTimers() {
  struct TimerDef {
    QTimer* TForm1::*member;
    const char* name;
    int interval;
  };
  const TimerDef timers[] = {
      {&TForm1::MainTimer, "MainTimer", 100},
      {&TForm1::TimerJukeZeitGesamt, "TimerJukeZeitGesamt", 1000},
      {&TForm1::TimerAusblenden, "TimerAusblenden", 3000},
      {&TForm1::TimerScroll, "TimerScroll", 150},
      {&TForm1::TimerJingle, "TimerJingle", 2000},
      {&TForm1::TimerGeburtstag, "TimerGeburtstag", 1000},
      {&TForm1::TimerGeburtsongPlay, "TimerGeburtsongPlay", 500},
      {&TForm1::TimerGeburstagausblenden, "TimerGeburstagausblenden", 3000},
  };
  for (const TimerDef& def : timers) {
    auto* timer = Named(new QTimer(this), def.name);
    timer->setInterval(def.interval);
    this->*def.member = timer;
  }
}

}  // namespace orvela
