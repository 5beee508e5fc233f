#include "collection/collation.h"

#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uvernum.h>

#include <map>
#include <vector>

#include "collection/table_error.h"
#include "common/codepage.h"

namespace orvela {
namespace {

// ucol_next yields 32-bit elements: primary (16 bits), secondary (8), tertiary (8).
// A long primary continues in an element whose tertiary byte is 0xC0.
constexpr uint32_t kTertiaryMask = 0xFFu;
constexpr uint32_t kContinuationMarker = 0xC0u;

bool IsContinuation(uint32_t ce) { return (ce & kTertiaryMask) == kContinuationMarker; }

// The collation elements of one character with case and width dropped, grouped per
// letter: an element with a primary weight starts a letter; secondary-only elements
// (the accents of a decomposed letter) and continuations belong to the letter before.
std::vector<std::vector<uint32_t>> LettersOf(UCollator* collator, const std::u16string& text) {
  std::vector<std::vector<uint32_t>> letters;
  UErrorCode status = U_ZERO_ERROR;
  UCollationElements* it = ucol_openElements(collator, reinterpret_cast<const UChar*>(text.data()),
                                             static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) throw TableError("collation elements unavailable");
  for (;;) {
    const int32_t raw = ucol_next(it, &status);
    if (raw == UCOL_NULLORDER || U_FAILURE(status)) break;
    const auto ce = static_cast<uint32_t>(raw);
    const bool continuation = IsContinuation(ce);
    const uint32_t key = continuation ? ce : (ce & ~kTertiaryMask);
    if (key == 0) continue;  // ignorable once case is dropped
    const bool startsLetter = !continuation && (key >> 16) != 0;
    if (startsLetter || letters.empty())
      letters.push_back({key});
    else
      letters.back().push_back(key);
  }
  ucol_closeElements(it);
  return letters;
}

// The German rules with the given strength: tertiary orders base letters, then
// accents, then case with lower case first; secondary leaves case out.
UCollator* OpenGermanCollator(UColAttributeValue strength) {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator = ucol_open("de", &status);
  if (U_FAILURE(status) || collator == nullptr) {
    if (collator != nullptr) ucol_close(collator);
    throw TableError("the German collator of ICU cannot be opened");
  }
  ucol_setStrength(collator, strength);
  return collator;
}

int CompareWith(UCollator* collator, std::string_view a, std::string_view b) {
  const std::u16string ua = Cp1252ToUtf16(a);
  const std::u16string ub = Cp1252ToUtf16(b);
  return ucol_strcoll(collator, reinterpret_cast<const UChar*>(ua.data()), static_cast<int32_t>(ua.size()),
                      reinterpret_cast<const UChar*>(ub.data()), static_cast<int32_t>(ub.size()));
}

void AppendSortKeyWith(UCollator* collator, std::string_view text, std::string* out) {
  // Every code-page character is one UTF-16 unit; reuse one buffer for all keys.
  static thread_local std::u16string u;
  u.resize(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) u[i] = static_cast<char16_t>(Cp1252ToCodePoint(static_cast<unsigned char>(text[i])));
  const auto* src = reinterpret_cast<const UChar*>(u.data());
  const auto len = static_cast<int32_t>(u.size());
  const std::size_t base = out->size();
  // Sort keys of short Latin text stay within a few bytes per character; retry once
  // with the exact size when that guess is short.
  std::size_t guess = u.size() * 4 + 16;
  for (int attempt = 0; attempt < 2; ++attempt) {
    out->resize(base + guess);
    const int32_t need = ucol_getSortKey(collator, src, len, reinterpret_cast<uint8_t*>(out->data() + base),
                                         static_cast<int32_t>(guess));
    if (need > 0 && static_cast<std::size_t>(need) <= guess) {
      out->resize(base + static_cast<std::size_t>(need) - 1);  // drop the final 0
      return;
    }
    guess = static_cast<std::size_t>(need);
  }
  out->resize(base);
}

}  // namespace

const TCollation& TCollation::Instance() {
  static const TCollation instance;
  return instance;
}

TCollation::TCollation() {
  collator_ = OpenGermanCollator(UCOL_TERTIARY);
  try {
    caseFreeCollator_ = OpenGermanCollator(UCOL_SECONDARY);
  } catch (...) {
    ucol_close(collator_);
    throw;
  }

  std::vector<std::vector<std::vector<uint32_t>>> perByte(256);
  std::map<std::vector<uint32_t>, int> codes;
  for (int b = 1; b < 256; ++b) {
    perByte[b] = LettersOf(collator_, Cp1252ToUtf16(std::string(1, static_cast<char>(b))));
    for (const auto& letter : perByte[b]) codes.emplace(letter, 0);
  }
  // Numbering in collation-element order keeps the units roughly in alphabet order,
  // which makes folded texts readable when debugging; matching needs only identity.
  if (codes.size() > 255) throw TableError("too many distinct letters for one-byte folding");
  int next = 1;
  for (auto& [letter, code] : codes) code = next++;
  for (int b = 1; b < 256; ++b) {
    FoldEntry& e = fold_[b];
    for (const auto& letter : perByte[b]) {
      if (e.count == sizeof e.units) break;
      e.units[e.count++] = static_cast<char>(codes[letter]);
    }
  }
}

TCollation::~TCollation() {
  if (caseFreeCollator_ != nullptr) ucol_close(caseFreeCollator_);
  if (collator_ != nullptr) ucol_close(collator_);
}

int TCollation::Compare(std::string_view a, std::string_view b) const { return CompareWith(collator_, a, b); }

void TCollation::AppendSortKey(std::string_view text, std::string* out) const {
  AppendSortKeyWith(collator_, text, out);
}

void TCollation::AppendCaseFreeSortKey(std::string_view text, std::string* out) const {
  AppendSortKeyWith(caseFreeCollator_, text, out);
}

TSortKeyMaker::TSortKeyMaker(const TCollation& collation) {
  UErrorCode status = U_ZERO_ERROR;
#if U_ICU_VERSION_MAJOR_NUM >= 71
  collator_ = ucol_clone(collation.collator_, &status);
#else
  collator_ = ucol_safeClone(collation.collator_, nullptr, nullptr, &status);
#endif
  if (U_FAILURE(status) || collator_ == nullptr) {
    if (collator_ != nullptr) ucol_close(collator_);
    throw TableError("the German collator of ICU cannot be copied");
  }
}

TSortKeyMaker::~TSortKeyMaker() { ucol_close(collator_); }

void TSortKeyMaker::Append(std::string_view text, std::string* out) const { AppendSortKeyWith(collator_, text, out); }

}  // namespace orvela
