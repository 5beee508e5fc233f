#pragma once
// The browse grid: six record panels, one above the other, bound to the view of
// the collection table. It holds no copy of the records: every paint reads the
// table, so whatever changed the filter, the sort order or the current record,
// the next paint shows it. Whoever changes the table calls Refresh().
#include <QColor>
#include <QImage>
#include <QWidget>
#include <functional>
#include <string>

namespace orvela {

class TCollectionTable;

class TCollectionGrid : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kPanelCount = 6;
  static inline const QColor kCurrentPanelColor{0x00, 0x00, 0x80};

  explicit TCollectionGrid(QWidget* parent = nullptr);

  // The table is not owned; null shows empty panels.
  void SetTable(TCollectionTable* table);
  TCollectionTable* Table() const { return table_; }

  // The picture of a title at the left of its panel: given the record's path
  // and artist (code page), what to show now, without reading any file (the
  // cover when it is known, the artist's tile while it is read). Unset: the
  // panels hold their fields only, as they always did.
  using CoverLookup = std::function<QImage(const std::string& path, const std::string& artist)>;
  void SetCoverLookup(CoverLookup lookup);
  bool ShowsCovers() const { return static_cast<bool>(coverLookup_); }
  // The square the panel's picture takes, in widget coordinates (empty
  // without covers); the fields lie to its right.
  QRect CoverRect(int panel) const;
  QRect FieldsRect(int panel) const;

  // Repaints from the table's view.
  void Refresh();
  // Moves the current record one forward (+1) or back (-1), scrolling the panels
  // when it leaves the six shown. Answers whether the record moved.
  bool ScrollLine(int delta);

  // 0-based view row shown in the first panel, after keeping the current record
  // among the six shown.
  int TopRow();
  // Panel rectangle in widget coordinates.
  QRect PanelRect(int panel) const;
  // The panel at a point, or -1.
  int PanelAt(const QPoint& point) const;
  // The panels that show a record (the first ones), and the whole text of the
  // record a panel shows as it is read aloud ("" for an empty panel).
  int FilledPanels();
  QString PanelText(int panel);
  bool PanelIsCurrent(int panel);

 signals:
  // The guest made another record current by tapping or scrolling.
  void CurrentChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int CurrentRow() const;
  void KeepCurrentVisible();
  void PaintPanel(QPainter& painter, int panel, int viewRow, bool current);
  // Tells assistive technology that the panels show other records.
  void AnnounceChange();

  TCollectionTable* table_ = nullptr;
  int top_ = 0;
  CoverLookup coverLookup_;
};

}  // namespace orvela
