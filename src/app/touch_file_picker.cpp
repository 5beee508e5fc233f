#include "app/touch_file_picker.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScroller>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "app/house_style.h"
#include "app/qt_text.h"

namespace orvela {

namespace {

constexpr int kPickerWidth = 960;
constexpr int kPickerHeight = 700;
constexpr int kRowHeight = 54;
constexpr int kButtonHeight = 56;
constexpr int kKeyHeight = 48;
constexpr int kNamePx = 22;
// A file's size beside its name, read from a step away like every other text.
constexpr int kDetailPx = 18;
// The filter captions and the status line.
constexpr int kSmallTextPx = 18;
constexpr int kButtonPx = 20;

constexpr int kPathRole = Qt::UserRole;
constexpr int kIsFolderRole = Qt::UserRole + 1;
constexpr int kDetailRole = Qt::UserRole + 2;

QString Utf8(const char* text) { return QString::fromUtf8(text); }

QPushButton* NewButton(const QString& caption, QWidget* parent, int px = kButtonPx) {
  auto* button = new QPushButton(caption, parent);
  house::SetScaledFont(button, px, true);
  button->setMinimumHeight(house::Scaled(kButtonHeight));
  button->setFocusPolicy(Qt::NoFocus);
  button->setAutoDefault(false);
  return button;
}

QString SizeText(qint64 bytes) {
  const QLocale german(QLocale::German, QLocale::Germany);
  if (bytes < 1024) return QStringLiteral("%1 Byte").arg(bytes);
  if (bytes < 1024 * 1024) return german.toString(bytes / 1024.0, 'f', 0) + QStringLiteral(" KB");
  return german.toString(bytes / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

// Draws a row: a folder or file sign, the whole name, and the size where room
// is left. The name is shortened in its middle only when it cannot fit at all.
class TEntryDelegate : public QStyledItemDelegate {
 public:
  TEntryDelegate(const TTouchFilePicker* picker, std::function<bool(const QString&)> chosen, QObject* parent)
      : QStyledItemDelegate(parent), picker_(picker), chosen_(std::move(chosen)) {}

  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return {house::Scaled(200), house::Scaled(kRowHeight)};
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect row = option.rect;
    const bool folder = index.data(kIsFolderRole).toBool();
    const bool chosen = !folder && chosen_(index.data(kPathRole).toString());
    const int gap = house::Scaled(12);
    if (chosen) {
      painter->setPen(QPen(QColor(QLatin1String(house::kAccent)), std::max(1, house::Scaled(2))));
      painter->setBrush(QColor(0x24, 0x40, 0x6E));
      painter->drawRoundedRect(QRectF(row).adjusted(2, 2, -2, -2), house::Scaled(6), house::Scaled(6));
    } else if (index.row() % 2 == 1) {
      painter->fillRect(row, QColor(QLatin1String(house::kPanel)));
    }
    const int side = house::Scaled(30);
    const QRect sign(row.left() + gap, row.center().y() - side / 2, side, side);
    DrawSign(painter, sign, folder, chosen);

    QFont nameFont = picker_->font();
    nameFont.setPixelSize(house::Scaled(kNamePx));
    nameFont.setBold(folder);
    QFont detailFont = picker_->font();
    detailFont.setPixelSize(house::Scaled(kDetailPx));
    const QString name = index.data(Qt::DisplayRole).toString();
    const QString detail = folder ? QString::fromUtf8("\u203A") : index.data(kDetailRole).toString();
    const QFontMetrics nameMetrics(nameFont);
    const QFontMetrics detailMetrics(detailFont);
    const int left = sign.right() + gap;
    const int right = row.right() - gap;
    const int detailWidth = detailMetrics.horizontalAdvance(detail);
    const int nameWidth = nameMetrics.horizontalAdvance(name);
    // The size gives way to the name first.
    const bool showDetail = left + nameWidth + gap + detailWidth <= right;
    const int nameRoom = right - left - (showDetail ? gap + detailWidth : 0);
    painter->setFont(nameFont);
    painter->setPen(QColor(folder ? QLatin1String(house::kHighlight) : QLatin1String(house::kText)));
    painter->drawText(QRect(left, row.top(), nameRoom, row.height()), Qt::AlignVCenter | Qt::AlignLeft,
                      nameMetrics.elidedText(name, Qt::ElideMiddle, nameRoom));
    if (showDetail) {
      painter->setFont(detailFont);
      painter->setPen(QColor(QLatin1String(house::kDimText)));
      painter->drawText(QRect(right - detailWidth, row.top(), detailWidth, row.height()),
                        Qt::AlignVCenter | Qt::AlignRight, detail);
    }
    painter->setPen(QColor(0x1C, 0x22, 0x33));
    painter->drawLine(row.bottomLeft(), row.bottomRight());
    painter->restore();
  }

 private:
  static void DrawSign(QPainter* painter, const QRect& box, bool folder, bool chosen) {
    const qreal pen = std::max(1.5, box.height() / 14.0);
    if (folder) {
      const QColor amber(QLatin1String(house::kHighlight));
      QPainterPath shape;
      const QRectF r = QRectF(box).adjusted(0, box.height() * 0.15, 0, -box.height() * 0.1);
      shape.moveTo(r.left(), r.top());
      shape.lineTo(r.left() + r.width() * 0.4, r.top());
      shape.lineTo(r.left() + r.width() * 0.5, r.top() + r.height() * 0.18);
      shape.lineTo(r.right(), r.top() + r.height() * 0.18);
      shape.lineTo(r.right(), r.bottom());
      shape.lineTo(r.left(), r.bottom());
      shape.closeSubpath();
      painter->setPen(QPen(amber, pen));
      painter->setBrush(amber.darker(300));
      painter->drawPath(shape);
      return;
    }
    const QColor blue(QLatin1String(house::kAccent));
    if (chosen) {
      // A tick in a filled circle: this file is taken.
      painter->setPen(Qt::NoPen);
      painter->setBrush(blue);
      painter->drawEllipse(box);
      painter->setPen(QPen(Qt::white, pen * 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      QPolygonF tick;
      tick << QPointF(box.left() + box.width() * 0.27, box.top() + box.height() * 0.52)
           << QPointF(box.left() + box.width() * 0.44, box.top() + box.height() * 0.70)
           << QPointF(box.left() + box.width() * 0.75, box.top() + box.height() * 0.32);
      painter->drawPolyline(tick);
      return;
    }
    // A note for a file.
    painter->setPen(QPen(blue.lighter(140), pen, Qt::SolidLine, Qt::RoundCap));
    painter->setBrush(blue.lighter(140));
    const QRectF head(box.left() + box.width() * 0.18, box.top() + box.height() * 0.62, box.width() * 0.34,
                      box.height() * 0.26);
    painter->drawEllipse(head);
    const qreal stemX = head.right() - pen / 2;
    painter->drawLine(QPointF(stemX, head.center().y()), QPointF(stemX, box.top() + box.height() * 0.12));
    painter->drawLine(QPointF(stemX, box.top() + box.height() * 0.12),
                      QPointF(box.left() + box.width() * 0.82, box.top() + box.height() * 0.3));
  }

  const TTouchFilePicker* picker_;
  std::function<bool(const QString&)> chosen_;
};

bool HoldsSomething(const QString& folder) {
  return !QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty();
}

// "Lieder.m3u" stays, "Party 12.12" becomes "Party 12.12.m3u": a name the
// load picker would not list is no use as a playlist.
QString WithSuffix(const QString& name, const QString& suffix) {
  if (suffix.isEmpty() || name.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive)) return name;
  return name + QLatin1Char('.') + suffix;
}

}  // namespace

std::vector<TFileFilter> ParseFileFilter(const std::string& filter) {
  const QStringList parts = ToQString(filter).split(QLatin1Char('|'));
  std::vector<TFileFilter> filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    TFileFilter entry;
    for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      if (!p.trimmed().isEmpty()) entry.patterns << p.trimmed();
    }
    entry.name = parts[i].trimmed();
    if (entry.name.isEmpty()) entry.name = entry.patterns.join(QLatin1Char(' '));
    filters.push_back(entry);
  }
  return filters;
}

QString ChooseStartFolder(const QString& wanted, const QStringList& fallbacks) {
  if (!wanted.isEmpty() && QFileInfo(wanted).isDir()) return QFileInfo(wanted).absoluteFilePath();
  for (const QString& folder : fallbacks) {
    if (QFileInfo(folder).isDir() && HoldsSomething(folder)) return QFileInfo(folder).absoluteFilePath();
  }
  for (const QString& folder : fallbacks) {
    if (QFileInfo(folder).isDir()) return QFileInfo(folder).absoluteFilePath();
  }
  return QDir::homePath();
}

QStringList MusicFolders() {
  QStringList folders = QStandardPaths::standardLocations(QStandardPaths::MusicLocation);
  // A German desktop names it "Musik" even where the user-dirs file is missing.
  folders << QDir::home().filePath(QStringLiteral("Musik"));
  folders.removeDuplicates();
  return folders;
}

QStringList MediaFolders() {
  QString user = qEnvironmentVariable("USER");
  if (user.isEmpty()) user = QDir::home().dirName();
  return {QStringLiteral("/media/") + user, QStringLiteral("/media"), QStringLiteral("/mnt")};
}

QStringList MusicAndMediaFolders() { return MusicFolders() + MediaFolders(); }

TTouchFilePicker::TTouchFilePicker(TPickMode mode, const QString& title, const std::vector<TFileFilter>& filters,
                                   const QString& startFolder, const QString& defaultSuffix, QWidget* parent)
    : THousePanel(parent), mode_(mode), filters_(filters), defaultSuffix_(defaultSuffix) {
  if (defaultSuffix_.startsWith(QLatin1Char('.'))) defaultSuffix_.remove(0, 1);
  QString heading = title;
  if (heading.isEmpty()) heading = mode == TPickMode::Save ? Utf8("Speichern unter") : Utf8("Öffnen");
  setWindowTitle(heading);
  // The guest screen is at least this size at every scale, so the picker fits on it.
  setFixedSize(house::Scaled(kPickerWidth), house::Scaled(kPickerHeight));

  auto* column = new QVBoxLayout(this);
  const int margin = house::Scaled(16);
  column->setContentsMargins(margin, house::Scaled(10), margin, margin);
  column->setSpacing(house::Scaled(8));
  BuildHead(heading, startFolder);
  BuildNavigation();
  BuildList();
  if (mode_ == TPickMode::Save) {
    // The keyboard takes room the list needs: the buttons go beside the name.
    BuildButtons(BuildSaveRow());
  } else {
    auto* row = new QHBoxLayout;
    row->setSpacing(house::Scaled(10));
    BuildButtons(row);
    column->addLayout(row);
  }
  OpenFolder(ChooseStartFolder(startFolder, {}));
}

void TTouchFilePicker::BuildHead(const QString& title, const QString& startFolder) {
  auto* row = new QHBoxLayout;
  row->setSpacing(house::Scaled(8));
  auto* caption = new QLabel(title, this);
  caption->setObjectName(QStringLiteral("HouseTitle"));
  house::SetScaledFont(caption, 24, true);
  row->addWidget(caption);
  row->addStretch(1);

  // Quick ways to the places music comes from, and back to where the picker began.
  struct Place {
    QString caption;
    QString folder;
  };
  std::vector<Place> places;
  if (!startFolder.isEmpty() && QFileInfo(startFolder).isDir()) {
    const QString start = QFileInfo(startFolder).absoluteFilePath();
    places.push_back({QDir(start).dirName(), start});
  }
  for (const QString& music : MusicFolders()) {
    if (QFileInfo(music).isDir()) {
      places.push_back({QStringLiteral("Musik"), QFileInfo(music).absoluteFilePath()});
      break;
    }
  }
  for (const QString& folder : MediaFolders()) {
    if (QFileInfo(folder).isDir() && HoldsSomething(folder)) {
      places.push_back({Utf8("Wechselmedien"), folder});
      break;
    }
  }
  QStringList seen;
  for (const Place& place : places) {
    if (seen.contains(place.folder)) continue;
    seen << place.folder;
    QPushButton* button = NewButton(place.caption, this);
    button->setObjectName(QStringLiteral("PickerPlace"));
    const QString folder = place.folder;
    connect(button, &QPushButton::clicked, this, [this, folder] { OpenFolder(folder); });
    row->addWidget(button);
  }
  Column()->addLayout(row);
}

void TTouchFilePicker::BuildNavigation() {
  auto* row = new QHBoxLayout;
  row->setSpacing(house::Scaled(8));
  back_ = NewButton(Utf8("\u25C0 Zurück"), this);
  back_->setObjectName(QStringLiteral("PickerBack"));
  connect(back_, &QPushButton::clicked, this, &TTouchFilePicker::Back);
  up_ = NewButton(Utf8("\u25B2 Übergeordneter Ordner"), this);
  up_->setObjectName(QStringLiteral("PickerUp"));
  connect(up_, &QPushButton::clicked, this, &TTouchFilePicker::Up);
  row->addWidget(back_);
  row->addWidget(up_);
  row->addSpacing(house::Scaled(8));
  pathLine_ = new QWidget(this);
  pathLine_->setObjectName(QStringLiteral("PickerPath"));
  pathLayout_ = new QHBoxLayout(pathLine_);
  pathLayout_->setContentsMargins(0, 0, 0, 0);
  pathLayout_->setSpacing(house::Scaled(4));
  row->addWidget(pathLine_, 1);
  Column()->addLayout(row);

  if (filters_.size() > 1) {
    auto* filterRow = new QHBoxLayout;
    filterRow->setSpacing(house::Scaled(8));
    for (std::size_t i = 0; i < filters_.size(); ++i) {
      QPushButton* button = NewButton(filters_[i].name, this, kSmallTextPx);
      button->setCheckable(true);
      button->setChecked(i == 0);
      button->setObjectName(QStringLiteral("PickerFilter"));
      connect(button, &QPushButton::clicked, this, [this, i] { SelectFilter(static_cast<int>(i)); });
      filterRow->addWidget(button);
      filterButtons_.push_back(button);
    }
    filterRow->addStretch(1);
    Column()->addLayout(filterRow);
  }
}

void TTouchFilePicker::BuildList() {
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("PickerList"));
  list_->setSelectionMode(QAbstractItemView::NoSelection);
  list_->setFocusPolicy(Qt::NoFocus);
  list_->setUniformItemSizes(true);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  list_->setItemDelegate(new TEntryDelegate(this, [this](const QString& path) { return IsChosen(path); }, list_));
  // Dragging scrolls, a tap chooses.
  QScroller::grabGesture(list_->viewport(), QScroller::LeftMouseButtonGesture);
  connect(list_, &QListWidget::itemClicked, this, &TTouchFilePicker::EntryTapped);
  layout()->addWidget(list_);
  Column()->setStretchFactor(list_, 1);
}

QHBoxLayout* TTouchFilePicker::BuildSaveRow() {
  auto* row = new QHBoxLayout;
  row->setSpacing(house::Scaled(8));
  auto* label = new QLabel(Utf8("Dateiname:"), this);
  house::SetScaledFont(label, kButtonPx, true);
  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("PickerName"));
  name_->setMaxLength(120);
  house::SetScaledFont(name_, kNamePx + 2);
  name_->setMinimumHeight(house::Scaled(kButtonHeight));
  connect(name_, &QLineEdit::textChanged, this, &TTouchFilePicker::UpdateState);
  row->addWidget(label);
  row->addWidget(name_, 1);
  if (!defaultSuffix_.isEmpty()) {
    auto* suffix = new QLabel(QLatin1Char('.') + defaultSuffix_, this);
    suffix->setObjectName(QStringLiteral("HouseDim"));
    house::SetScaledFont(suffix, kNamePx);
    row->addWidget(suffix);
  }
  row->addSpacing(house::Scaled(8));
  Column()->addLayout(row);
  keyboard_ = new TNameKeyboard(name_, this);
  layout()->addWidget(keyboard_);
  return row;
}

void TTouchFilePicker::BuildButtons(QHBoxLayout* row) {
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("HouseDim"));
  house::SetScaledFont(status_, kSmallTextPx);
  if (mode_ == TPickMode::Save) {
    status_->hide();
  } else {
    row->addWidget(status_, 1);
  }
  if (mode_ == TPickMode::OpenSeveral) {
    all_ = NewButton(Utf8("Alle wählen"), this);
    all_->setObjectName(QStringLiteral("PickerAll"));
    connect(all_, &QPushButton::clicked, this, &TTouchFilePicker::ChooseAll);
    row->addWidget(all_);
  }
  QPushButton* cancel = NewButton(Utf8("Abbrechen"), this, kButtonPx + 2);
  cancel->setObjectName(QStringLiteral("PickerCancel"));
  cancel->setMinimumWidth(house::Scaled(170));
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  accept_ = NewButton(mode_ == TPickMode::Save ? Utf8("Speichern") : Utf8("Öffnen"), this, kButtonPx + 2);
  accept_->setObjectName(QStringLiteral("PickerAccept"));
  accept_->setProperty("role", QStringLiteral("accept"));
  accept_->setMinimumWidth(house::Scaled(170));
  connect(accept_, &QPushButton::clicked, this, &TTouchFilePicker::AcceptClicked);
  row->addWidget(cancel);
  row->addWidget(accept_);
}

void TTouchFilePicker::OpenFolder(const QString& folder) {
  QString target = QFileInfo(folder).absoluteFilePath();
  // A stick pulled out meanwhile: its nearest folder still there.
  while (!QFileInfo(target).isDir() && !QDir(target).isRoot()) target = QFileInfo(target).absolutePath();
  target = QDir::cleanPath(target);
  if (target == folder_) return;
  if (!folder_.isEmpty()) history_ << folder_;
  folder_ = target;
  Fill();
  RebuildPathLine();
  UpdateState();
}

void TTouchFilePicker::Fill() {
  list_->clear();
  QDir dir(folder_);
  QStringList patterns;
  if (filterIndex_ < static_cast<int>(filters_.size())) patterns = filters_[static_cast<std::size_t>(filterIndex_)].patterns;
  if (patterns.isEmpty()) patterns << QStringLiteral("*");
  dir.setNameFilters(patterns);
  // Patterns match whatever the case ("*.MP3" from a camera or an old stick);
  // folders are all listed, the filter is for files.
  dir.setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Readable);
  dir.setSorting(QDir::DirsFirst | QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
  const QFileInfoList entries = dir.entryInfoList();
  for (const QFileInfo& entry : entries) {
    auto* item = new QListWidgetItem(entry.fileName(), list_);
    item->setData(kPathRole, entry.absoluteFilePath());
    item->setData(kIsFolderRole, entry.isDir());
    if (!entry.isDir()) item->setData(kDetailRole, SizeText(entry.size()));
  }
  list_->scrollToTop();
  if (!dir.isReadable()) {
    status_->setText(Utf8("Dieser Ordner lässt sich nicht lesen."));
  } else if (entries.isEmpty()) {
    status_->setText(Utf8("Keine passenden Dateien in diesem Ordner."));
  } else {
    status_->clear();
  }
}

void TTouchFilePicker::RebuildPathLine() {
  while (QLayoutItem* old = pathLayout_->takeAt(0)) {
    delete old->widget();
    delete old;
  }
  // Every level a button; the deepest levels are kept when the line is too long.
  QStringList levels;
  QDir dir(folder_);
  while (true) {
    levels.prepend(dir.absolutePath());
    if (dir.isRoot() || !dir.cdUp()) break;
  }
  const int room = width() - 2 * house::Scaled(16) - back_->sizeHint().width() - up_->sizeHint().width() -
                   house::Scaled(40);
  QFont font = this->font();
  font.setPixelSize(house::Scaled(kButtonPx));
  font.setBold(true);
  const QFontMetrics metrics(font);
  // A long folder name is shortened in its middle so that more levels fit.
  auto caption = [&](const QString& level) {
    if (QDir(level).isRoot()) return QStringLiteral("/");
    return metrics.elidedText(QDir(level).dirName(), Qt::ElideMiddle, house::Scaled(240));
  };
  int used = 0;
  int first = static_cast<int>(levels.size());
  while (first > 0) {
    const int wanted = metrics.horizontalAdvance(caption(levels[first - 1])) + house::Scaled(40);
    if (first < levels.size() && used + wanted > room) break;
    used += wanted;
    --first;
  }
  if (first > 0) {
    auto* more = new QLabel(Utf8("\u2026"), pathLine_);
    house::SetScaledFont(more, kButtonPx, true);
    pathLayout_->addWidget(more);
  }
  for (int i = first; i < levels.size(); ++i) {
    const QString level = levels[i];
    QPushButton* crumb = NewButton(caption(level), pathLine_);
    crumb->setObjectName(QStringLiteral("PickerCrumb"));
    crumb->setCheckable(true);
    crumb->setChecked(i == levels.size() - 1);
    connect(crumb, &QPushButton::clicked, this, [this, level] { OpenFolder(level); });
    pathLayout_->addWidget(crumb);
  }
  pathLayout_->addStretch(1);
  up_->setEnabled(!QDir(folder_).isRoot());
  back_->setEnabled(!history_.isEmpty());
}

void TTouchFilePicker::EntryTapped(QListWidgetItem* item) {
  if (item == nullptr) return;
  const QString path = item->data(kPathRole).toString();
  if (item->data(kIsFolderRole).toBool()) {
    OpenFolder(path);
    return;
  }
  switch (mode_) {
    case TPickMode::OpenOne:
      // A second tap on the chosen file opens it.
      if (IsChosen(path)) {
        AcceptClicked();
        return;
      }
      chosen_ = {path};
      break;
    case TPickMode::OpenSeveral:
      if (IsChosen(path)) {
        chosen_.removeAll(path);
      } else {
        chosen_ << path;
      }
      break;
    case TPickMode::Save: {
      QString name = item->text();
      if (!defaultSuffix_.isEmpty() && name.endsWith(QLatin1Char('.') + defaultSuffix_, Qt::CaseInsensitive)) {
        name.chop(defaultSuffix_.size() + 1);
      }
      name_->setText(name);
      break;
    }
  }
  list_->viewport()->update();
  UpdateState();
}

void TTouchFilePicker::Back() {
  if (history_.isEmpty()) return;
  const QString previous = history_.takeLast();
  folder_.clear();  // not remembered: going back must not grow the history
  OpenFolder(previous);
}

void TTouchFilePicker::Up() {
  QDir dir(folder_);
  if (dir.cdUp()) OpenFolder(dir.absolutePath());
}

void TTouchFilePicker::SelectFilter(int index) {
  filterIndex_ = index;
  for (std::size_t i = 0; i < filterButtons_.size(); ++i) filterButtons_[i]->setChecked(static_cast<int>(i) == index);
  Fill();
  UpdateState();
}

void TTouchFilePicker::ChooseAll() {
  QStringList files;
  for (int i = 0; i < list_->count(); ++i) {
    if (!list_->item(i)->data(kIsFolderRole).toBool()) files << list_->item(i)->data(kPathRole).toString();
  }
  const bool allChosen = std::all_of(files.begin(), files.end(), [this](const QString& f) { return IsChosen(f); });
  for (const QString& file : files) {
    if (allChosen) {
      chosen_.removeAll(file);
    } else if (!IsChosen(file)) {
      chosen_ << file;
    }
  }
  list_->viewport()->update();
  UpdateState();
}

void TTouchFilePicker::AcceptClicked() {
  if (mode_ != TPickMode::Save) {
    if (!chosen_.isEmpty()) accept();
    return;
  }
  const QString name = name_->text().trimmed();
  if (name.isEmpty()) return;
  const QString path = QDir(folder_).filePath(WithSuffix(name, defaultSuffix_));
  const QFileInfo target(path);
  if (target.isDir()) {
    OpenFolder(path);
    name_->clear();
    return;
  }
  if (target.exists()) {
    THouseBox box(windowTitle(),
                  Utf8("„%1“ ist schon vorhanden.\nSoll die Datei ersetzt werden?").arg(target.fileName()),
                  TBoxSign::None, this);
    box.setObjectName(QStringLiteral("PickerReplaceQuestion"));
    box.AddButton(Utf8("Ja"), QDialog::Accepted, false);
    box.AddButton(Utf8("Nein"), QDialog::Rejected, true);
    if (box.Run() != QDialog::Accepted) return;
  }
  chosen_ = {path};
  accept();
}

void TTouchFilePicker::UpdateState() {
  DescribeEntries();
  switch (mode_) {
    case TPickMode::OpenOne:
      accept_->setEnabled(!chosen_.isEmpty());
      if (!chosen_.isEmpty()) status_->setText(QFileInfo(chosen_.front()).fileName());
      break;
    case TPickMode::OpenSeveral: {
      accept_->setEnabled(!chosen_.isEmpty());
      if (!chosen_.isEmpty()) {
        status_->setText(chosen_.size() == 1 ? Utf8("1 Datei gewählt")
                                             : Utf8("%1 Dateien gewählt").arg(chosen_.size()));
      }
      bool anyFile = false;
      bool allChosen = true;
      for (int i = 0; i < list_->count(); ++i) {
        if (list_->item(i)->data(kIsFolderRole).toBool()) continue;
        anyFile = true;
        allChosen = allChosen && IsChosen(list_->item(i)->data(kPathRole).toString());
      }
      all_->setEnabled(anyFile);
      all_->setText(anyFile && allChosen ? Utf8("Keine wählen") : Utf8("Alle wählen"));
      break;
    }
    case TPickMode::Save:
      accept_->setEnabled(!name_->text().trimmed().isEmpty());
      break;
  }
}

void TTouchFilePicker::DescribeEntries() {
  // The sign, the size and the chosen mark are painted: a screen reader gets
  // them as the row's description.
  for (int i = 0; i < list_->count(); ++i) {
    QListWidgetItem* item = list_->item(i);
    QString description;
    if (item->data(kIsFolderRole).toBool()) {
      description = Utf8("Ordner");
    } else {
      description = Utf8("Datei, ") + item->data(kDetailRole).toString();
      if (IsChosen(item->data(kPathRole).toString())) description += Utf8(", gewählt");
    }
    if (item->data(Qt::AccessibleDescriptionRole).toString() != description) {
      item->setData(Qt::AccessibleDescriptionRole, description);
    }
  }
}

bool TTouchFilePicker::IsChosen(const QString& path) const { return chosen_.contains(path); }

QVBoxLayout* TTouchFilePicker::Column() const { return static_cast<QVBoxLayout*>(layout()); }

TNameKeyboard::TNameKeyboard(QLineEdit* target, QWidget* parent) : QWidget(parent), target_(target) {
  setObjectName(QStringLiteral("PickerKeyboard"));
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(house::Scaled(5));
  const char* const rows[] = {"1234567890ß", "QWERTZUIOPÜ", "ASDFGHJKLÖÄ", "YXCVBNM-_"};
  auto key = [&](const QString& caption, const QString& name, int row, int column, int span) {
    QPushButton* button = NewButton(caption, this, 24);
    button->setObjectName(name);
    button->setMinimumHeight(house::Scaled(kKeyHeight));
    button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    grid->addWidget(button, row, column, 1, span);
    return button;
  };
  for (int row = 0; row < 4; ++row) {
    const QString keys = Utf8(rows[row]);
    for (int column = 0; column < keys.size(); ++column) {
      const QChar character = keys[column];
      QPushButton* button = key(QString(character), QStringLiteral("Key_") + character, row, column, 1);
      if (character.isLetter() && character != QChar(0xDF)) letters_.push_back(button);
      connect(button, &QPushButton::clicked, this, [this, button] { target_->insert(button->text()); });
    }
  }
  QPushButton* erase = key(Utf8("löschen"), QStringLiteral("Key_Delete"), 3, 9, 2);
  connect(erase, &QPushButton::clicked, this, [this] { target_->backspace(); });
  shift_ = key(Utf8("Groß"), QStringLiteral("Key_Shift"), 4, 0, 2);
  shift_->setCheckable(true);
  connect(shift_, &QPushButton::clicked, this, [this](bool on) { SetCapitals(on); });
  QPushButton* space = key(Utf8("Leerzeichen"), QStringLiteral("Key_Space"), 4, 2, 7);
  connect(space, &QPushButton::clicked, this, [this] { target_->insert(QStringLiteral(" ")); });
  QPushButton* clear = key(Utf8("leeren"), QStringLiteral("Key_Clear"), 4, 9, 2);
  connect(clear, &QPushButton::clicked, target_, &QLineEdit::clear);
  for (int column = 0; column < 11; ++column) grid->setColumnStretch(column, 1);
  // A capital for the first letter, as a phone does; "Groß" brings it back.
  connect(target_, &QLineEdit::textChanged, this, [this](const QString& text) { SetCapitals(text.isEmpty()); });
  SetCapitals(target_->text().isEmpty());
}

void TNameKeyboard::SetCapitals(bool on) {
  shift_->setChecked(on);
  for (QPushButton* letter : letters_) letter->setText(on ? letter->text().toUpper() : letter->text().toLower());
}

}  // namespace orvela
