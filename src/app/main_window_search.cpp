// The on-screen keyboard and the browse buttons: every key press narrows the
// collection table's view at once and shows how many titles are left.
#include <QPushButton>
#include <QTimer>
#include <exception>

#include "app/click_label.h"
#include "app/collection_grid.h"
#include "app/led_lamp.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "collection/collection_table.h"

namespace orvela {

std::string TForm1::SearchText() const { return FromQString(StaticText_suchen->text()); }

void TForm1::SetSearchText(const std::string& text) { StaticText_suchen->setText(ToQString(text)); }

void TForm1::ApplySearch() {
  const std::string text = SearchText();
  try {
    if (!text.empty()) {
      const auto mode = SearchModeFromText(FromQString(StaticTextSuchennach->text()))
                            .value_or(TSearchMode::Interpret);
      collectionTable_->SetFilter(SearchFilterExpression(mode, text));
      collectionTable_->SetFiltered(true);
    } else {
      collectionTable_->SetFiltered(false);
    }
  } catch (const std::exception&) {
    // The expressions are built from the typed text with quotes doubled, so the
    // table cannot reject them; a closed table (a failed start) just finds nothing.
  }
  StaticTextSucheGefunden->setText(QString::number(collectionTable_->RecordCount()) + QStringLiteral(" Titel"));
  RefreshCollectionGrid();
}

void TForm1::SetSearchModeLed(int mode) {
  TLedLamp* const leds[] = {JvLED1, JvLED3, JvLED4, JvLED5};
  for (int i = 0; i < 4; ++i) {
    leds[i]->SetActive(i + 1 == mode);
  }
}

void TForm1::SetSearchMode(TSearchMode mode) {
  try {
    collectionTable_->SetIndexFieldNames(SearchModeIndexFieldNames(mode));
  } catch (const std::exception&) {
    // The four sort key lists name fields every collection table has.
  }
  StaticTextSuchennach->setText(ToQString(SearchModeText(mode)));
  SetSearchModeLed(static_cast<int>(mode));
  ApplySearch();
}

void TForm1::SearchKeyClick(char cp1252Character) {
  SetSearchText(SearchText() + cp1252Character);
  ApplySearch();
}

void TForm1::SpeedButton7Click() {
  std::string text = SearchText();
  if (!text.empty()) {
    text.pop_back();
  }
  SetSearchText(text);
  ApplySearch();
}

void TForm1::StaticText_suchenClick() {
  SetSearchText("");
  try {
    collectionTable_->SetFiltered(false);
  } catch (const std::exception&) {
  }
  StaticTextSucheGefunden->setText(QString::number(collectionTable_->RecordCount()) + QStringLiteral(" Titel"));
  RefreshCollectionGrid();
}

void TForm1::SpeedButton53Click() {
  DBMusiksammlung->setFocus();
  DBMusiksammlung->ScrollLine(-1);
}

void TForm1::SpeedButton54Click() {
  DBMusiksammlung->setFocus();
  DBMusiksammlung->ScrollLine(1);
}

void TForm1::SpeedButton53MouseDown() {
  State.ScrollDirection = TScrollDirection::Up;
  TimerScroll->setInterval(150);
  TimerScroll->start();
}

void TForm1::SpeedButton54MouseDown() {
  State.ScrollDirection = TScrollDirection::Down;
  TimerScroll->setInterval(150);
  TimerScroll->start();
}

void TForm1::ScrollButtonMouseUp() { TimerScroll->stop(); }

void TForm1::TimerScrollTimer() {
  if (State.ScrollDirection == TScrollDirection::Down) {
    DBMusiksammlung->ScrollLine(1);
  } else if (State.ScrollDirection == TScrollDirection::Up) {
    DBMusiksammlung->ScrollLine(-1);
  }
}

void TForm1::ConnectSearch() {
  connect(SpeedButton7, &QPushButton::clicked, this, &TForm1::SpeedButton7Click);
  connect(StaticText_suchen, &TClickLabel::clicked, this, &TForm1::StaticText_suchenClick);
  connect(SpeedButton50, &QPushButton::clicked, this, [this] { SetSearchMode(TSearchMode::Interpret); });
  connect(SpeedButton29, &QPushButton::clicked, this, [this] { SetSearchMode(TSearchMode::Titel); });
  connect(SpeedButton47, &QPushButton::clicked, this, [this] { SetSearchMode(TSearchMode::Genre); });
  connect(SpeedButton46, &QPushButton::clicked, this, [this] { SetSearchMode(TSearchMode::Jahr); });

  connect(SpeedButton53, &QPushButton::clicked, this, &TForm1::SpeedButton53Click);
  connect(SpeedButton54, &QPushButton::clicked, this, &TForm1::SpeedButton54Click);
  connect(SpeedButton53, &QPushButton::pressed, this, &TForm1::SpeedButton53MouseDown);
  connect(SpeedButton54, &QPushButton::pressed, this, &TForm1::SpeedButton54MouseDown);
  connect(SpeedButton53, &QPushButton::released, this, &TForm1::ScrollButtonMouseUp);
  connect(SpeedButton54, &QPushButton::released, this, &TForm1::ScrollButtonMouseUp);
  connect(TimerScroll, &QTimer::timeout, this, &TForm1::TimerScrollTimer);

  connect(SpeedButton_Menu, &QPushButton::clicked, this, &TForm1::SpeedButton_MenuClick);
}

}  // namespace orvela
