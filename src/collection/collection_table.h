#pragma once
// The in-memory table of title records (the collection table) and the smaller
// transfer table the restriction filter assembles its copy in. Both are this
// class with different field widths and filter options.
//
// Text is code-page (Windows-1252) bytes throughout. A field "without value" is
// the empty string: storing "" leaves the field without value.
//
// The view is the list of rows that pass the filter (all rows while the filter is
// off), ordered by the sort key list; RecordCount, RecNo and the current record
// refer to it. Rows are kept in storage order (load order, then appends), which is
// the order a file is written in, whatever the view shows.
//
// Every failing operation throws orvela::TableError.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "collection/table_error.h"

namespace orvela {

class TCollectionTable {
 public:
  static constexpr int kFieldCount = 6;
  // Field indexes, in field order.
  enum FieldIndex : int { Interpret = 0, Titel = 1, Pfad = 2, Genre = 3, Jahr = 4, Dauer = 5 };
  using Widths = std::array<std::size_t, kFieldCount>;
  using Values = std::array<std::string, kFieldCount>;

  // The field names in field order: Interpret, Titel, Pfad, Genre, Jahr, Dauer.
  static const std::array<const char*, kFieldCount>& FieldNames();
  // Index of a field name (ASCII case ignored), or -1.
  static int FieldIndexOf(std::string_view name);

  // 500, 500, 500, 20, 20, 20: Musikliste.xml.
  static Widths CollectionWidths();
  // 200, 200, 500, 200, 4, 10: TempMusikliste.xml. The path is as wide as in
  // the collection: cut, it would name no file and the title could not play.
  static Widths TransferWidths();

  // A new table is open (active), with no rows, the filter off and an empty sort
  // key list (storage order). The collection table is made with
  // (CollectionWidths(), true) and then given the sort key list "Interpret;Titel";
  // the transfer table with (TransferWidths(), false).
  TCollectionTable(const Widths& widths, bool caseInsensitiveFilter);
  ~TCollectionTable();
  TCollectionTable(const TCollectionTable&) = delete;
  TCollectionTable& operator=(const TCollectionTable&) = delete;
  // A moved-from table may only be destroyed or assigned to.
  TCollectionTable(TCollectionTable&&) noexcept;
  TCollectionTable& operator=(TCollectionTable&&) noexcept;

  // Open on a closed table gives an empty table with the current field
  // definitions; Close discards the rows and their change marks. Filter text,
  // filter switch and sort key list survive both.
  void Open();
  void Close();
  bool Active() const;

  // Replaces rows, change marks and field widths by the file's content and makes
  // the first record of the new view current; opens the table if it was closed.
  // Filter and sort key list stay. A missing, unreadable or malformed file, or
  // anything but a regular file, throws and leaves the table closed; so does
  // running out of memory on the way. The path is a code-page string, found on
  // disk under either spelling of its names.
  void LoadFromFile(const std::string& path);
  // Writes all rows in storage order with their change marks, replacing the file
  // atomically (see common/atomic_file.h: a read-only file is refused, a link is
  // written through). Throws when the table is closed or the file cannot be
  // written, running out of memory included; the old file then stays.
  void SaveToFile(const std::string& path) const;

  // Removes all rows and change marks (table must be open).
  void Empty();
  // Appends a row (each value cut to its field's width, at the first NUL byte too)
  // and makes it the current record. A row the switched-on filter rejects is
  // stored but stays outside the view; the current record then does not move.
  void AppendRecord(std::string_view interpret, std::string_view titel, std::string_view pfad,
                    std::string_view genre, std::string_view jahr, std::string_view dauer);
  void AppendRecord(const Values& values);
  // Removes the current row; the next row of the view becomes current, or the
  // previous one when the removed row was the last. Throws on an empty view.
  void DeleteCurrent();

  // Rows in the view; 0 for a closed table.
  int RecordCount() const;
  bool IsEmpty() const;
  // 1-based position of the current record in the view; 0 when the view is empty.
  // Throws on a closed table.
  int RecNo() const;
  // The rows the table holds, whatever the filter; 0 for a closed table.
  int StoredRecordCount() const;
  // The current record's 1-based position in storage order among the rows the
  // table holds: the same title whatever filter and sort order are on, as long
  // as the content stays the same. 0 when the view is empty or the table closed.
  int StorageNumber() const;
  // Moves the current record; values outside 1..RecordCount are clamped, and on an
  // empty view nothing happens. Throws on a closed table.
  void SetRecNo(int recNo);

  // Value of a field of the current record; "" when the view is empty or the table
  // closed. An unknown field name throws.
  std::string FieldAsString(std::string_view fieldName) const;
  std::string FieldAsString(int fieldIndex) const;

  // What a grid needs to draw rows without moving the current record: the value of
  // field `fieldIndex` of the row at 0-based view position viewRow (that row's RecNo
  // is viewRow + 1). "" outside 0..RecordCount-1.
  std::string ViewField(int viewRow, int fieldIndex) const;
  // The value of a field of the title with that storage number (see
  // StorageNumber), whatever the filter and sort order; "" outside
  // 1..StoredRecordCount.
  std::string StoredField(int storageNumber, int fieldIndex) const;

  // The filter expression. Setting it while the filter is on re-filters at once
  // and makes the first record current; an expression that cannot be parsed then
  // throws and the old expression and view stay.
  const std::string& Filter() const;
  void SetFilter(std::string expression);
  bool Filtered() const;
  // Switching on parses the expression (a blank one lets every row pass) and
  // throws when it cannot be parsed; the filter then stays off. Either way the
  // view is recomputed at once and its first record becomes current.
  void SetFiltered(bool on);

  // Field names separated by ";" ("" = storage order). The view is re-sorted at
  // once; the current record stays the same row. Unknown names throw.
  const std::string& IndexFieldNames() const;
  void SetIndexFieldNames(std::string names);

  // Builds ahead what filtering on the field needs, which the first filter
  // reading it would otherwise build (on a million titles, a tenth of a second).
  // The view and the current record stay.
  void PrepareFilterField(int fieldIndex);
  // The same for several fields at once, and the ranks a sort on `sortFields`
  // needs, built side by side on worker threads where the table is large and the
  // machine has the cores. The view and the current record stay.
  void PrepareFields(const std::vector<int>& filterFields, const std::vector<int>& sortFields);

  std::size_t FieldWidth(int fieldIndex) const;
  bool CaseInsensitiveFilter() const;

  // A search of its own beside the view, for a reader that must not move what
  // the screen shows: the rows passing `expression` (a filter expression; ""
  // lets every row pass) in the order of the sort key list `indexFieldNames`,
  // the first `limit` of them, and how many pass in all. View, filter, sort
  // order and current record stay. Unknown field names and expressions that
  // cannot be parsed throw.
  struct QueryAnswer {
    std::vector<std::uint32_t> rows;  // row handles, see RowField
    std::size_t total = 0;
  };
  QueryAnswer Query(std::string_view expression, std::string_view indexFieldNames, std::size_t limit);
  // The value of a field of a row handle from Query; nullopt when the row has
  // been deleted or the handle belongs to rows the table no longer holds.
  std::optional<std::string> RowField(std::uint32_t row, int fieldIndex) const;
  // The row handle's storage number (see StorageNumber); 0 for a dead handle.
  int RowStorageNumber(std::uint32_t row) const;
  // Changes whenever the rows are replaced (loaded, emptied, closed), so that
  // a row handle kept from before can be told from one of the rows now held.
  std::uint64_t RowsGeneration() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvela
