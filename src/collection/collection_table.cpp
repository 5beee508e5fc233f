#include "collection/collection_table.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <numeric>
#include <optional>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "collection/collation.h"
#include "collection/collection_file.h"
#include "collection/filter_expression.h"
#include "collection/like_pattern.h"
#include "collection/row_view.h"
#include "collection/table_index.h"
#include "collection/table_rows.h"
#include "common/atomic_file.h"
#include "common/codepage.h"
#include "common/file_open.h"

namespace orvela {
namespace {

constexpr std::array<const char*, TCollectionTable::kFieldCount> kFieldNames{"Interpret", "Titel", "Pfad",
                                                                             "Genre",     "Jahr",  "Dauer"};

// A collection of a million titles is some 200 MB of file; far beyond that is
// no collection of ours, and the rows' 32-bit addresses stay safe below it.
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 30;

class TFileCloser {
 public:
  explicit TFileCloser(int fd) : fd_(fd) {}
  ~TFileCloser() { ::close(fd_); }
  TFileCloser(const TFileCloser&) = delete;
  TFileCloser& operator=(const TFileCloser&) = delete;

 private:
  int fd_;
};

std::string_view CutValue(std::string_view value, std::size_t width) {
  const std::size_t nul = value.find('\0');
  if (nul != std::string_view::npos) value = value.substr(0, nul);
  return value.substr(0, std::min(value.size(), width));
}

// One alternative of the filter, compiled into match form for this table.
struct CompiledTerm {
  int field;
  TFilterExpression::Kind kind;
  std::string text;                     // the literal as written
  std::string form;                    // Equal and Prefix
  std::optional<TLikePattern> pattern;  // Like

  bool IsContains() const { return kind == TFilterExpression::Kind::Like && pattern->IsContains(); }

  bool Matches(std::string_view rawValue, std::string_view valueForm) const {
    if (rawValue.empty()) return false;  // a field without value satisfies no comparison
    return MatchesForm(valueForm);
  }

  bool MatchesForm(std::string_view valueForm) const {
    switch (kind) {
      case TFilterExpression::Kind::Equal: return valueForm == form;
      case TFilterExpression::Kind::Prefix: return valueForm.substr(0, form.size()) == form;
      case TFilterExpression::Kind::Like: return pattern->Matches(valueForm);
    }
    return false;
  }

  bool SameAs(const CompiledTerm& other) const {
    if (field != other.field || kind != other.kind) return false;
    if (kind != TFilterExpression::Kind::Like) return form == other.form;
    if (IsContains() && other.IsContains()) return pattern->Needle() == other.pattern->Needle();
    return text == other.text;
  }

  // Whether every value this term accepts is accepted by `wider` as well: the
  // guest typed one more letter of the same search.
  bool Implies(const CompiledTerm& wider) const {
    if (SameAs(wider)) return true;
    if (field != wider.field) return false;
    const bool contains = IsContains();
    const bool exact = kind != TFilterExpression::Kind::Like;
    const std::string_view mine = contains ? std::string_view(pattern->Needle()) : std::string_view(form);
    if (!contains && !exact) return false;
    if (wider.IsContains()) return mine.find(wider.pattern->Needle()) != std::string_view::npos;
    if (contains) return false;
    if (wider.kind == TFilterExpression::Kind::Prefix) return mine.substr(0, wider.form.size()) == wider.form;
    return false;
  }
};

// Every alternative of `narrower` implies one of `wider`: the rows it lets pass
// are among the rows `wider` lets pass.
bool Narrows(const std::vector<CompiledTerm>& narrower, const std::vector<CompiledTerm>& wider) {
  if (narrower.empty() || wider.empty()) return false;
  return std::all_of(narrower.begin(), narrower.end(), [&](const CompiledTerm& n) {
    return std::any_of(wider.begin(), wider.end(), [&](const CompiledTerm& w) { return n.Implies(w); });
  });
}

bool SameTerms(const std::vector<CompiledTerm>& a, const std::vector<CompiledTerm>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](const CompiledTerm& x, const CompiledTerm& y) { return x.SameAs(y); });
}

#ifdef __SSE2__
// Bit i set where p[i] == c, for the 64 bytes from p.
inline std::uint64_t EqualMask64(const char* p, __m128i c) {
  std::uint64_t mask = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    mask |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, c)))} << (16 * k);
  }
  return mask;
}
#endif

// Where in a form a needle must stand to match.
enum class TPlace { Anywhere, Start, Whole };

// Marks the rows whose form holds `needle` (not empty) at `place` and returns how
// many were newly marked. A common letter is in nearly every row, so the cost must
// not grow with the hits: the packed forms are read 64 bytes at a time as bit
// masks of the row ends (the 0 after each form) and of the places where the
// needle's first and last byte agree. Adding the hits to the mask of bytes that
// are not row ends carries each hit up to the end of its row, so the rows with a
// hit are read off their ends, however many hits each holds.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
// Counting row ends is a popcount per block and per row with a hit; the baseline
// x86-64 has no instruction for it.
__attribute__((target_clones("popcnt", "default")))
#endif
std::uint32_t MarkMatching(const TTableIndex::FormColumn& column, std::string_view needle, TPlace place,
                           std::uint8_t* pass) {
  // Forms never hold a 0 byte, and a needle with one must not match across a row end.
  if (needle.empty() || needle.find('\0') != std::string_view::npos) return 0;
  const char* base = column.bytes.data();
  const std::size_t size = column.bytes.size();
  const std::size_t n = needle.size();
  std::uint32_t row = 0;  // the row that holds byte `at`
  std::uint32_t marked = 0;
  const auto mark = [&](std::uint32_t r) {
    marked += pass[r] == 0 ? 1u : 0u;
    pass[r] = 1;
  };
  std::size_t at = 0;
  unsigned carry = 0;  // the row that holds byte `at` has a hit before `at`
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  const __m128i first = _mm_set1_epi8(needle[0]);
  const __m128i last = _mm_set1_epi8(needle[n - 1]);
  const bool verify = n > 2 || place == TPlace::Whole;
  // A block reads up to n bytes past its end: the needle and the byte after it.
  for (; at + 64 + n <= size; at += 64) {
    const char* p = base + at;
    const std::uint64_t ends = EqualMask64(p, zero);
    std::uint64_t hits = EqualMask64(p, first);
    if (n > 1) hits &= EqualMask64(p + n - 1, last);
    if (place != TPlace::Anywhere) hits &= (ends << 1) | (at == 0 || base[at - 1] == 0 ? 1u : 0u);
    if (verify) {
      for (std::uint64_t candidates = hits; candidates != 0; candidates &= candidates - 1) {
        const int b = __builtin_ctzll(candidates);
        if ((n > 2 && std::memcmp(p + b + 1, needle.data() + 1, n - 2) != 0) ||
            (place == TPlace::Whole && p[b + static_cast<std::ptrdiff_t>(n)] != 0))
          hits &= ~(std::uint64_t{1} << b);
      }
    }
    // Hits never stand on a row end: each carry runs up to the next end and stops.
    std::uint64_t sum = 0;
    const bool over = __builtin_add_overflow(~ends, hits, &sum);
    carry = (__builtin_add_overflow(sum, std::uint64_t{carry}, &sum) || over) ? 1u : 0u;
    for (std::uint64_t rowsHit = sum & ends; rowsHit != 0; rowsHit &= rowsHit - 1) {
      const int e = __builtin_ctzll(rowsHit);
      mark(row + static_cast<std::uint32_t>(__builtin_popcountll(ends & ((std::uint64_t{1} << e) - 1))));
    }
    row += static_cast<std::uint32_t>(__builtin_popcountll(ends));
  }
#endif
  if (carry != 0) mark(row);
  // What is left, fewer bytes than a block and the needle: row by row. A row begun
  // in the blocks had its start looked at there.
  const std::uint32_t* start = column.start.data();
  while (at < size) {
    const std::size_t rowEnd = start[row + 1] - 1;  // its 0
    const std::string_view rest(base + at, rowEnd - at);
    const bool whole = at == start[row];
    switch (place) {
      case TPlace::Anywhere:
        if (rest.find(needle) != std::string_view::npos) mark(row);
        break;
      case TPlace::Start:
        if (whole && rest.substr(0, n) == needle) mark(row);
        break;
      case TPlace::Whole:
        if (whole && rest == needle) mark(row);
        break;
    }
    at = rowEnd + 1;
    ++row;
  }
  return marked;
}

}  // namespace

class TCollectionTable::Impl {
 public:
  Impl(const Widths& widths, bool ci) : widths(widths), caseInsensitive(ci), index(rows, ci) {}

  Widths widths;
  bool caseInsensitive;
  bool active = true;
  TTableRows rows;
  TTableIndex index;

  std::string filterText;
  bool filtered = false;
  std::vector<CompiledTerm> terms;  // of the switched-on filter; empty = every row passes
  std::string indexFieldNames;
  std::vector<int> sortFields;

  // The live rows in sort order. While the filter is off it is the view itself;
  // while it is on, a row deleted from the filtered view stays here until the next
  // rebuild (finding and erasing it would cost a scan per deletion).
  TRowView order;
  TRowView filteredView;             // the rows of `order` that pass the switched-on filter
  // The views of the wider filters typed on the way to the current one, widest
  // first, each with its terms: valid only while rows and sort order stay as they
  // are, so every change of either forgets them.
  struct WiderView {
    std::vector<CompiledTerm> terms;
    TRowView view;
  };
  std::vector<WiderView> widerViews;
  // Orders of sort key lists used before, least recently used first, so that the
  // mode buttons switch among orders without sorting: 4 bytes a row each, valid
  // only while the rows stay as they are. A new order starts from the kept one
  // that leaves the fewest fields to sort by.
  static constexpr std::size_t kKeptOrders = 4;
  struct KeptOrder {
    std::vector<int> fields;  // as SortedBy gives them
    TRowView rows;
  };
  std::vector<KeptOrder> keptOrders;

  void ForgetKeptOrders() { keptOrders.clear(); }

  // The fields an order is really sorted by: a field named again cannot break a
  // tie the first naming left.
  static std::vector<int> SortedBy(const std::vector<int>& fields) {
    std::vector<int> out;
    for (int f : fields)
      if (std::find(out.begin(), out.end(), f) == out.end()) out.push_back(f);
    return out;
  }

  // `order` for the new sort key list; the old one is kept.
  void Reorder(const std::vector<int>& previousFields) {
    const bool clean = order.size() == rows.LiveCount();  // no deleted rows left in it
    const std::vector<int> wanted = SortedBy(sortFields);
    const std::vector<int> previous = SortedBy(previousFields);
    if (clean && previous == wanted) return;
    if (clean) {
      keptOrders.push_back({previous, std::move(order)});
    } else {
      ForgetKeptOrders();
    }
    order.release();
    const auto kept = std::find_if(keptOrders.begin(), keptOrders.end(),
                                   [&wanted](const KeptOrder& k) { return k.fields == wanted; });
    if (kept != keptOrders.end()) {
      order = std::move(kept->rows);
      keptOrders.erase(kept);
    } else {
      BuildOrder();
    }
    while (keptOrders.size() > kKeptOrders - 1) keptOrders.erase(keptOrders.begin());
  }
  int current = -1;                  // position in the view, -1 when the view is empty
  std::uint64_t generation = 0;      // of the rows held, see RowsGeneration

  const TRowView& View() const { return FilterActive() ? filteredView : order; }

  // A new sort order with the filter on leaves `filteredView` holding the right
  // rows in the old order until the view is next read: the mode buttons set the
  // order and then a filter on another field at once, and the re-ordered view
  // would be thrown away unread. `current` means nothing meanwhile; the row it
  // showed is kept here.
  bool viewUnordered = false;
  std::int64_t rowBeforeReorder = -1;

  void SettleView() {
    if (!viewUnordered) return;
    viewUnordered = false;
    // The filter has not changed: keep its verdicts and only re-order them.
    std::vector<std::uint8_t> inView(rows.Size(), 0);
    for (std::uint32_t r : filteredView) inView[r] = 1;
    const std::size_t count = filteredView.size();
    filteredView.release();
    filteredView.assign(Passing(order, inView, count));
    FirstRecord();
    if (rowBeforeReorder >= 0) {
      const std::size_t at = filteredView.find(static_cast<std::uint32_t>(rowBeforeReorder));
      if (at < filteredView.size()) current = static_cast<int>(at);
    }
  }

  void RequireActive(const char* operation) const {
    if (!active) throw TableError(std::string("Cannot ") + operation + ": the table is closed");
  }

  std::vector<CompiledTerm> Compile(const TFilterExpression& expr) const {
    std::vector<CompiledTerm> compiled;
    for (const auto& term : expr.Terms()) {
      CompiledTerm c{term.field, term.kind, term.text, {}, std::nullopt};
      if (term.kind == TFilterExpression::Kind::Like)
        c.pattern.emplace(term.text, caseInsensitive);
      else
        AppendMatchForm(term.text, caseInsensitive, &c.form);
      compiled.push_back(std::move(c));
    }
    return compiled;
  }

  bool FilterActive() const { return filtered && !terms.empty(); }

  bool RowPasses(std::uint32_t row) const {
    if (!FilterActive()) return true;
    std::string form;
    for (const auto& term : terms) {
      const std::string_view raw = rows.Field(row, term.field);
      form.clear();
      AppendMatchForm(raw, caseInsensitive, &form);
      if (term.Matches(raw, form)) return true;
    }
    return false;
  }

  // Sort order of two rows under the sort key list; storage order breaks ties.
  bool Before(std::uint32_t a, std::uint32_t b) const {
    const TCollation& collation = TCollation::Instance();
    for (int f : sortFields) {
      const int c = collation.Compare(rows.Field(a, f), rows.Field(b, f));
      if (c != 0) return c < 0;
    }
    return a < b;
  }

  // Stable counting sorts, one per key field from the last to the first: ties keep
  // the order sorted before, and each sort needs one more row list and a count per
  // distinct value. The first sort starts from a kept order when sorting that one
  // by some leading fields gives the order wanted (sorting the rows of
  // "Interpret;Titel" by Genre gives "Genre;Interpret;Titel", and by Titel gives
  // "Titel;Interpret"), else from the live rows in storage order.
  void BuildOrder() {
    order.release();
    const std::vector<int> wanted = SortedBy(sortFields);
    std::size_t passes = wanted.size();
    const TRowView* start = nullptr;
    for (const KeptOrder& k : keptOrders) {
      for (std::size_t p = 0; p < passes; ++p) {
        std::vector<int> result(wanted.begin(), wanted.begin() + static_cast<std::ptrdiff_t>(p));
        result.insert(result.end(), k.fields.begin(), k.fields.end());
        if (SortedBy(result) != wanted) continue;
        passes = p;
        start = &k.rows;
        break;
      }
    }
    // Ranks first: building them needs memory of its own, not on top of the row lists.
    std::vector<const TRankColumn*> ranks;
    for (std::size_t i = 0; i < passes; ++i) ranks.push_back(&index.Ranks(wanted[i]));
    std::vector<std::uint32_t> sorted;
    sorted.reserve(rows.LiveCount());
    const std::uint32_t n = rows.Size();
    if (start != nullptr) {
      sorted.assign(start->begin(), start->end());
    } else if (rows.LiveCount() == n) {
      sorted.resize(n);
      std::iota(sorted.begin(), sorted.end(), 0u);
    } else {
      for (std::uint32_t r = 0; r < n; ++r)
        if (rows.Live(r)) sorted.push_back(r);
    }
    std::vector<std::uint32_t> scratch;
    std::vector<std::uint32_t> counts;
    for (std::size_t i = passes; i-- > 0;) {
      const TRankColumn& rank = *ranks[i];
      if (rank.MaxRank() == 0) continue;  // one value for all: nothing to order
      counts.assign(static_cast<std::size_t>(rank.MaxRank()) + 2, 0);
      // The counts do not depend on the order: read the ranks in storage order
      // when every stored row is live.
      if (sorted.size() == n) {
        for (std::uint32_t r = 0; r < n; ++r) ++counts[rank[r] + 1];
      } else {
        for (std::uint32_t r : sorted) ++counts[rank[r] + 1];
      }
      for (std::size_t c = 1; c < counts.size(); ++c) counts[c] += counts[c - 1];
      scratch.resize(sorted.size());
      for (std::uint32_t r : sorted) scratch[counts[rank[r]]++] = r;
      sorted.swap(scratch);
    }
    order.assign(std::move(sorted));
  }

  // Whether a row passes one term, read from the term's form column alone: a
  // form is empty whenever the value is, so the row itself is read only then.
  bool TermPasses(const CompiledTerm& term, const TTableIndex::FormColumn& column, std::uint32_t row) const {
    const std::string_view form = column.Form(row);
    if (form.empty() && rows.Field(row, term.field).empty()) return false;
    return term.MatchesForm(form);
  }

  // The rows of `from` marked in `pass`, in their order. Whether a row passes is
  // as good as random, so it decides how far to move on rather than a branch.
  static std::vector<std::uint32_t> Passing(const TRowView& from, const std::vector<std::uint8_t>& pass,
                                            std::size_t count) {
    std::vector<std::uint32_t> out(count + 1);
    std::size_t k = 0;
    for (std::uint32_t r : from) {
      out[k] = r;
      k += pass[r];
      if (k > count) break;  // more marks than counted cannot happen; never write past the end
    }
    out.resize(std::min(k, count));
    return out;
  }

  // Which stored rows pass a filter, evaluated column-wise; *count is how many.
  std::vector<std::uint8_t> PassingRows(const std::vector<CompiledTerm>& filter, std::size_t* count) {
    const std::uint32_t n = rows.Size();
    std::vector<std::uint8_t> pass(n, 0);
    std::size_t passing = 0;
    for (const auto& term : filter) {
      const TTableIndex::FormColumn& column = index.Forms(term.field);
      // A non-empty needle never matches an empty form, so the value's emptiness
      // needs no look.
      if (term.IsContains()) {
        passing += MarkMatching(column, term.pattern->Needle(), TPlace::Anywhere, pass.data());
        continue;
      }
      if (term.kind != TFilterExpression::Kind::Like && !term.form.empty()) {
        const TPlace place = term.kind == TFilterExpression::Kind::Prefix ? TPlace::Start : TPlace::Whole;
        passing += MarkMatching(column, term.form, place, pass.data());
        continue;
      }
      for (std::uint32_t r = 0; r < n; ++r)
        if (!pass[r] && TermPasses(term, column, r)) {
          pass[r] = 1;
          ++passing;
        }
    }
    *count = passing;
    return pass;
  }

  void BuildView() {
    ForgetWiderViews();
    viewUnordered = false;
    if (order.size() != rows.LiveCount()) order.remove_if([this](std::uint32_t r) { return !rows.Live(r); });
    filteredView.release();
    if (!FilterActive()) return;
    std::size_t count = 0;
    const std::vector<std::uint8_t> pass = PassingRows(terms, &count);
    filteredView.assign(Passing(order, pass, count));
  }

  // The view of `narrower` terms taken from the current filtered view, which
  // holds every row they can let pass, in sort order already.
  TRowView NarrowedView(const std::vector<CompiledTerm>& narrower) {
    std::vector<std::uint32_t> view;
    // A short view is checked row by row; a long one costs less as one pass over
    // the packed forms and a look-up per row of the view.
    if (filteredView.size() * 16 < rows.Size()) {
      std::vector<const TTableIndex::FormColumn*> columns;
      for (const auto& term : narrower) columns.push_back(&index.Forms(term.field));
      for (std::uint32_t r : filteredView) {
        for (std::size_t i = 0; i < narrower.size(); ++i)
          if (TermPasses(narrower[i], *columns[i], r)) {
            view.push_back(r);
            break;
          }
      }
    } else {
      std::size_t count = 0;
      const std::vector<std::uint8_t> pass = PassingRows(narrower, &count);
      view = Passing(filteredView, pass, count);
    }
    TRowView result;
    result.assign(std::move(view));
    return result;
  }

  // A new expression while the filter is on. One letter more narrows the view
  // that is shown; a letter taken back returns to the view kept from before.
  void ApplyTerms(std::vector<CompiledTerm> next) {
    if (FilterActive() && SameTerms(next, terms)) {
      terms = std::move(next);
      return;
    }
    if (viewUnordered) {  // kept views hold the old order; none are kept then
      terms = std::move(next);
      BuildView();
      return;
    }
    for (std::size_t k = widerViews.size(); k-- > 0;) {
      if (!SameTerms(next, widerViews[k].terms)) continue;
      filteredView = std::move(widerViews[k].view);
      terms = std::move(next);
      widerViews.resize(k);
      return;
    }
    if (FilterActive() && Narrows(next, terms)) {
      TRowView narrowed = NarrowedView(next);
      widerViews.push_back({std::move(terms), std::move(filteredView)});
      filteredView = std::move(narrowed);
      terms = std::move(next);
      // Kept views cost at most as much as one more view of all rows.
      std::size_t kept = 0;
      for (const auto& w : widerViews) kept += w.view.size();
      while (!widerViews.empty() && kept > rows.LiveCount()) {
        kept -= widerViews.front().view.size();
        widerViews.erase(widerViews.begin());
      }
      return;
    }
    terms = std::move(next);
    BuildView();
  }

  void ForgetWiderViews() { widerViews.clear(); }

  void FirstRecord() { current = View().empty() ? -1 : 0; }

  void DropRows() {
    ++generation;
    viewUnordered = false;
    ForgetWiderViews();
    ForgetKeptOrders();
    rows.Clear();
    index.Reset();
    order.release();
    filteredView.release();
    current = -1;
  }

  std::string_view CurrentField(int field) const {
    if (!active || current < 0) return {};
    return rows.Field(View()[static_cast<std::size_t>(current)], field);
  }
};

const std::array<const char*, TCollectionTable::kFieldCount>& TCollectionTable::FieldNames() { return kFieldNames; }

int TCollectionTable::FieldIndexOf(std::string_view name) {
  for (int f = 0; f < kFieldCount; ++f)
    if (EqualsAsciiNoCase(name, kFieldNames[f])) return f;
  return -1;
}

TCollectionTable::Widths TCollectionTable::CollectionWidths() { return {500, 500, 500, 20, 20, 20}; }
// The path keeps the collection's width: a restricted title must still play.
TCollectionTable::Widths TCollectionTable::TransferWidths() { return {200, 200, 500, 200, 4, 10}; }

TCollectionTable::TCollectionTable(const Widths& widths, bool caseInsensitiveFilter)
    : impl_(std::make_unique<Impl>(widths, caseInsensitiveFilter)) {}

TCollectionTable::~TCollectionTable() = default;
TCollectionTable::TCollectionTable(TCollectionTable&&) noexcept = default;
TCollectionTable& TCollectionTable::operator=(TCollectionTable&&) noexcept = default;

void TCollectionTable::Open() {
  if (impl_->active) return;
  impl_->DropRows();
  impl_->active = true;
}

void TCollectionTable::Close() {
  impl_->active = false;
  impl_->DropRows();
}

bool TCollectionTable::Active() const { return impl_->active; }

void TCollectionTable::LoadFromFile(const std::string& path) {
  Impl& d = *impl_;
  // The old rows go first, so that the old and the new collection never share memory.
  Close();
  try {
    const int fd = OpenRegularCodePageFile(path);
    if (fd < 0) throw TableError("Cannot read the collection file " + path);
    const TFileCloser closer(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || static_cast<std::uint64_t>(info.st_size) > kMaxFileBytes)
      throw TableError("Cannot read the collection file " + path + ": larger than 1 GiB");
    Widths widths{};
    try {
      ReadCollectionFile(fd, &widths, &d.rows);
    } catch (const TableError& e) {
      throw TableError(std::string(e.what()) + " (" + path + ")");
    }
    d.widths = widths;
    d.active = true;
    d.BuildOrder();
    d.BuildView();
    d.FirstRecord();
  } catch (const TableError&) {
    Close();
    throw;
  } catch (const std::bad_alloc&) {
    Close();
    throw TableError("Not enough memory to load the collection file " + path);
  } catch (const std::exception& e) {
    Close();
    throw TableError("Cannot load the collection file " + path + ": " + e.what());
  }
}

void TCollectionTable::SaveToFile(const std::string& path) const {
  const Impl& d = *impl_;
  d.RequireActive("save the table");
  try {
    TAtomicFileWriter writer;
    std::string error;
    bool ok = writer.Open(ResolveCodePagePathForWriting(path), &error);
    if (ok) {
      WriteCollectionFile(d.widths, d.rows, [&](std::string_view chunk) {
        if (ok) ok = writer.Write(chunk, &error);
      });
    }
    if (!ok || !writer.Commit(&error)) throw TableError("Cannot write the collection file " + path + ": " + error);
  } catch (const std::bad_alloc&) {
    throw TableError("Not enough memory to save the collection file " + path);
  }
}

void TCollectionTable::Empty() {
  impl_->RequireActive("empty the table");
  impl_->DropRows();
}

void TCollectionTable::AppendRecord(std::string_view interpret, std::string_view titel, std::string_view pfad,
                                    std::string_view genre, std::string_view jahr, std::string_view dauer) {
  Impl& d = *impl_;
  d.RequireActive("append a record");
  d.SettleView();
  TTableRows::Fields values{interpret, titel, pfad, genre, jahr, dauer};
  for (int f = 0; f < kFieldCount; ++f) values[f] = CutValue(values[f], d.widths[f]);
  const std::uint32_t row = d.rows.Add(values, true);
  d.ForgetWiderViews();
  d.ForgetKeptOrders();

  // Keep order and view sorted by inserting rather than re-sorting: building a
  // collection appends thousands of rows one by one.
  const auto before = [&d](std::uint32_t a, std::uint32_t b) { return d.Before(a, b); };
  const auto placeIn = [&](const TRowView& rows) {
    return static_cast<std::size_t>(std::upper_bound(rows.begin(), rows.end(), row, before) - rows.begin());
  };
  const std::size_t inOrder = placeIn(d.order);
  if (!d.FilterActive()) {
    d.order.insert(inOrder, row);
    d.current = static_cast<int>(inOrder);
    return;
  }
  const bool passes = d.RowPasses(row);
  const std::size_t inView = passes ? placeIn(d.filteredView) : 0;
  d.order.insert(inOrder, row);
  if (passes) {
    d.filteredView.insert(inView, row);
    d.current = static_cast<int>(inView);
  }
}

void TCollectionTable::AppendRecord(const Values& v) { AppendRecord(v[0], v[1], v[2], v[3], v[4], v[5]); }

void TCollectionTable::DeleteCurrent() {
  Impl& d = *impl_;
  d.RequireActive("delete a record");
  d.SettleView();
  if (d.current < 0) throw TableError("Cannot delete a record: the view is empty");
  const auto at = static_cast<std::size_t>(d.current);
  d.ForgetWiderViews();
  d.ForgetKeptOrders();
  if (d.FilterActive()) {
    // The row stays in `order` as a deleted row until the next rebuild.
    d.rows.Remove(d.filteredView[at]);
    d.filteredView.erase(at);
  } else {
    d.rows.Remove(d.order[at]);
    d.order.erase(at);
  }
  const int size = static_cast<int>(d.View().size());
  if (d.current >= size) d.current = size - 1;
}

int TCollectionTable::RecordCount() const {
  impl_->SettleView();
  return impl_->active ? static_cast<int>(impl_->View().size()) : 0;
}

bool TCollectionTable::IsEmpty() const { return RecordCount() == 0; }

int TCollectionTable::RecNo() const {
  impl_->RequireActive("read the record number");
  impl_->SettleView();
  return impl_->current + 1;
}

int TCollectionTable::StoredRecordCount() const {
  return impl_->active ? static_cast<int>(impl_->rows.LiveCount()) : 0;
}

int TCollectionTable::StorageNumber() const {
  impl_->SettleView();
  const Impl& d = *impl_;
  if (!d.active || d.current < 0 || d.View().empty()) return 0;
  const std::uint32_t row = d.View()[static_cast<std::size_t>(d.current)];
  // Deleted rows keep their place in storage until the table is emptied.
  return static_cast<int>(d.rows.LiveRank(row)) + 1;
}

void TCollectionTable::SetRecNo(int recNo) {
  Impl& d = *impl_;
  d.RequireActive("move to a record");
  d.SettleView();
  if (d.View().empty()) return;
  d.current = std::clamp(recNo, 1, static_cast<int>(d.View().size())) - 1;
}

std::string TCollectionTable::FieldAsString(std::string_view fieldName) const {
  const int f = FieldIndexOf(fieldName);
  if (f < 0) throw TableError("Unknown field '" + std::string(fieldName) + "'");
  impl_->SettleView();
  return std::string(impl_->CurrentField(f));
}

std::string TCollectionTable::FieldAsString(int fieldIndex) const {
  if (fieldIndex < 0 || fieldIndex >= kFieldCount) throw TableError("Unknown field index " + std::to_string(fieldIndex));
  impl_->SettleView();
  return std::string(impl_->CurrentField(fieldIndex));
}

std::string TCollectionTable::ViewField(int viewRow, int fieldIndex) const {
  impl_->SettleView();
  const Impl& d = *impl_;
  if (fieldIndex < 0 || fieldIndex >= kFieldCount) throw TableError("Unknown field index " + std::to_string(fieldIndex));
  if (!d.active || viewRow < 0 || viewRow >= static_cast<int>(d.View().size())) return {};
  return std::string(d.rows.Field(d.View()[static_cast<std::size_t>(viewRow)], fieldIndex));
}

void TCollectionTable::PrepareFilterField(int fieldIndex) {
  Impl& d = *impl_;
  if (fieldIndex < 0 || fieldIndex >= kFieldCount) throw TableError("Unknown field index " + std::to_string(fieldIndex));
  if (d.active) d.index.Forms(fieldIndex);
}

void TCollectionTable::PrepareFields(const std::vector<int>& filterFields, const std::vector<int>& sortFields) {
  Impl& d = *impl_;
  for (const std::vector<int>* fields : {&filterFields, &sortFields})
    for (const int f : *fields)
      if (f < 0 || f >= kFieldCount) throw TableError("Unknown field index " + std::to_string(f));
  if (d.active) d.index.BuildAhead(filterFields, sortFields);
}

std::string TCollectionTable::StoredField(int storageNumber, int fieldIndex) const {
  const Impl& d = *impl_;
  if (fieldIndex < 0 || fieldIndex >= kFieldCount) throw TableError("Unknown field index " + std::to_string(fieldIndex));
  if (!d.active || storageNumber < 1 || storageNumber > static_cast<int>(d.rows.LiveCount())) return {};
  // Deleted rows keep their place in storage: the number counts live rows.
  const std::uint32_t row = d.rows.LiveRow(static_cast<std::uint32_t>(storageNumber - 1));
  return std::string(d.rows.Field(row, fieldIndex));
}

const std::string& TCollectionTable::Filter() const { return impl_->filterText; }

void TCollectionTable::SetFilter(std::string expression) {
  Impl& d = *impl_;
  if (d.filtered) {
    std::vector<CompiledTerm> terms = d.Compile(TFilterExpression::Parse(expression));
    d.filterText = std::move(expression);
    if (d.active) {
      d.ApplyTerms(std::move(terms));
      d.FirstRecord();
    } else {
      d.terms = std::move(terms);
    }
    return;
  }
  d.filterText = std::move(expression);
}

bool TCollectionTable::Filtered() const { return impl_->filtered; }

void TCollectionTable::SetFiltered(bool on) {
  Impl& d = *impl_;
  if (on == d.filtered) return;
  if (on) {
    d.terms = d.Compile(TFilterExpression::Parse(d.filterText));
  } else {
    d.terms.clear();
  }
  d.filtered = on;
  if (d.active) {
    d.BuildView();
    d.FirstRecord();
  }
}

const std::string& TCollectionTable::IndexFieldNames() const { return impl_->indexFieldNames; }

namespace {

std::vector<int> SortFieldsOf(std::string_view names) {
  std::vector<int> fields;
  std::size_t pos = 0;
  while (pos <= names.size()) {
    std::size_t end = names.find(';', pos);
    if (end == std::string_view::npos) end = names.size();
    const std::string name = Trim(names.substr(pos, end - pos));
    if (!name.empty()) {
      const int f = TCollectionTable::FieldIndexOf(name);
      if (f < 0) throw TableError("Unknown field '" + name + "' in the sort order " + std::string(names));
      fields.push_back(f);
    }
    pos = end + 1;
  }
  return fields;
}

}  // namespace

void TCollectionTable::SetIndexFieldNames(std::string names) {
  Impl& d = *impl_;
  std::vector<int> fields = SortFieldsOf(names);
  d.indexFieldNames = std::move(names);
  std::vector<int> previousFields = std::move(d.sortFields);
  d.sortFields = std::move(fields);
  if (!d.active) {
    d.ForgetKeptOrders();
    return;
  }

  const std::int64_t currentRow = d.viewUnordered ? d.rowBeforeReorder
                                  : d.current >= 0 ? d.View()[static_cast<std::size_t>(d.current)]
                                                   : -1;
  d.ForgetWiderViews();
  d.Reorder(previousFields);
  if (d.FilterActive()) {
    d.viewUnordered = true;
    d.rowBeforeReorder = currentRow;
    return;
  }
  d.FirstRecord();
  if (currentRow >= 0) {
    const std::size_t at = d.View().find(static_cast<std::uint32_t>(currentRow));
    if (at < d.View().size()) d.current = static_cast<int>(at);
  }
}

std::size_t TCollectionTable::FieldWidth(int fieldIndex) const {
  if (fieldIndex < 0 || fieldIndex >= kFieldCount) throw TableError("Unknown field index " + std::to_string(fieldIndex));
  return impl_->widths[fieldIndex];
}

bool TCollectionTable::CaseInsensitiveFilter() const { return impl_->caseInsensitive; }

TCollectionTable::QueryAnswer TCollectionTable::Query(std::string_view expression, std::string_view indexFieldNames,
                                                      std::size_t limit) {
  Impl& d = *impl_;
  const std::vector<int> fields = Impl::SortedBy(SortFieldsOf(indexFieldNames));
  const std::vector<CompiledTerm> terms = d.Compile(TFilterExpression::Parse(expression));
  QueryAnswer answer;
  if (!d.active) return answer;
  const std::uint32_t n = d.rows.Size();
  std::vector<std::uint8_t> pass;
  std::size_t passing = 0;
  if (terms.empty()) {
    pass.assign(n, 0);
    for (std::uint32_t r = 0; r < n; ++r) pass[r] = d.rows.Live(r) ? 1 : 0;
    passing = d.rows.LiveCount();
  } else {
    pass = d.PassingRows(terms, &passing);
    // The packed forms still hold deleted rows.
    if (d.rows.LiveCount() != n) {
      passing = 0;
      for (std::uint32_t r = 0; r < n; ++r) {
        pass[r] = pass[r] && d.rows.Live(r);
        passing += pass[r];
      }
    }
  }
  answer.total = passing;
  const std::size_t wanted = std::min(limit, passing);

  // An order the table already holds for these fields answers by walking it; a
  // clean one holds every live row.
  const TRowView* held = nullptr;
  if (d.order.size() == d.rows.LiveCount() && Impl::SortedBy(d.sortFields) == fields) held = &d.order;
  for (const auto& kept : d.keptOrders)
    if (held == nullptr && kept.fields == fields) held = &kept.rows;
  if (held != nullptr) {
    for (std::uint32_t r : *held) {
      if (answer.rows.size() == wanted) break;
      if (pass[r]) answer.rows.push_back(r);
    }
    return answer;
  }
  // Otherwise only the first `limit` are put in order, by the fields' ranks
  // (the collator's order) with storage order breaking ties, as the view does.
  std::vector<const TRankColumn*> ranks;
  for (int f : fields) ranks.push_back(&d.index.Ranks(f));
  std::vector<std::uint32_t> rows;
  rows.reserve(passing);
  for (std::uint32_t r = 0; r < n; ++r)
    if (pass[r]) rows.push_back(r);
  const auto before = [&ranks](std::uint32_t a, std::uint32_t b) {
    for (const TRankColumn* rank : ranks) {
      const std::uint32_t ra = (*rank)[a];
      const std::uint32_t rb = (*rank)[b];
      if (ra != rb) return ra < rb;
    }
    return a < b;
  };
  std::partial_sort(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(wanted), rows.end(), before);
  rows.resize(wanted);
  answer.rows = std::move(rows);
  return answer;
}

std::optional<std::string> TCollectionTable::RowField(std::uint32_t row, int fieldIndex) const {
  const Impl& d = *impl_;
  if (fieldIndex < 0 || fieldIndex >= kFieldCount) throw TableError("Unknown field index " + std::to_string(fieldIndex));
  if (!d.active || row >= d.rows.Size() || !d.rows.Live(row)) return std::nullopt;
  return std::string(d.rows.Field(row, fieldIndex));
}

int TCollectionTable::RowStorageNumber(std::uint32_t row) const {
  const Impl& d = *impl_;
  if (!d.active || row >= d.rows.Size() || !d.rows.Live(row)) return 0;
  if (d.rows.LiveCount() == d.rows.Size()) return static_cast<int>(row) + 1;
  int number = 0;
  for (std::uint32_t r = 0; r <= row; ++r) number += d.rows.Live(r) ? 1 : 0;
  return number;
}

std::uint64_t TCollectionTable::RowsGeneration() const { return impl_->generation; }

}  // namespace orvela
