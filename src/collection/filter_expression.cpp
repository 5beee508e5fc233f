#include "collection/filter_expression.h"

#include <cctype>

#include "collection/collection_table.h"
#include "collection/table_error.h"
#include "common/codepage.h"

namespace orvela {
namespace {

enum class TokenType { End, Ident, Literal, Open, Close, Equals };

struct Token {
  TokenType type = TokenType::End;
  std::string text;
};

bool IsIdentStart(unsigned char c) { return std::isalpha(c) || c == '_'; }
bool IsIdentChar(unsigned char c) { return std::isalnum(c) || c == '_'; }

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) { Advance(); }

  std::vector<TFilterExpression::Term> ParseAll() {
    std::vector<TFilterExpression::Term> terms;
    ParseOr(&terms);
    if (token_.type != TokenType::End) Fail("unexpected text after the expression");
    return terms;
  }

 private:
  [[noreturn]] void Fail(const std::string& why) const {
    throw TableError("Filter expression cannot be parsed (" + why + "): " + std::string(text_));
  }

  void Advance() {
    while (pos_ < text_.size() && static_cast<unsigned char>(text_[pos_]) <= 0x20) ++pos_;
    token_ = Token{};
    if (pos_ >= text_.size()) return;
    const unsigned char c = static_cast<unsigned char>(text_[pos_]);
    if (c == '(') {
      token_.type = TokenType::Open;
      ++pos_;
    } else if (c == ')') {
      token_.type = TokenType::Close;
      ++pos_;
    } else if (c == '=') {
      token_.type = TokenType::Equals;
      ++pos_;
    } else if (c == '\'') {
      token_.type = TokenType::Literal;
      ++pos_;
      for (;;) {
        if (pos_ >= text_.size()) Fail("unterminated quoted text");
        if (text_[pos_] == '\'') {
          if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
            token_.text += '\'';
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        token_.text += text_[pos_++];
      }
    } else if (IsIdentStart(c)) {
      token_.type = TokenType::Ident;
      const std::size_t start = pos_;
      while (pos_ < text_.size() && IsIdentChar(static_cast<unsigned char>(text_[pos_]))) ++pos_;
      token_.text = std::string(text_.substr(start, pos_ - start));
    } else {
      Fail(std::string("unexpected character '") + static_cast<char>(c) + "'");
    }
  }

  bool AtKeyword(std::string_view keyword) const {
    return token_.type == TokenType::Ident && EqualsAsciiNoCase(token_.text, keyword);
  }

  void ParseOr(std::vector<TFilterExpression::Term>* terms) {
    ParseOperand(terms);
    while (AtKeyword("or")) {
      Advance();
      ParseOperand(terms);
    }
  }

  void ParseOperand(std::vector<TFilterExpression::Term>* terms) {
    if (token_.type == TokenType::Open) {
      // Parentheses only group: a nested alternative list flattens into ours.
      if (++depth_ > 32) Fail("too deeply nested");
      Advance();
      ParseOr(terms);
      if (token_.type != TokenType::Close) Fail("missing ')'");
      Advance();
      --depth_;
      return;
    }
    if (token_.type != TokenType::Ident || AtKeyword("or") || AtKeyword("like"))
      Fail("a field name is expected");
    const int field = TCollectionTable::FieldIndexOf(token_.text);
    if (field < 0) Fail("unknown field '" + token_.text + "'");
    Advance();
    TFilterExpression::Term term;
    term.field = field;
    if (token_.type == TokenType::Equals) {
      term.kind = TFilterExpression::Kind::Equal;
    } else if (AtKeyword("like")) {
      term.kind = TFilterExpression::Kind::Like;
    } else {
      Fail("'=' or 'like' is expected");
    }
    Advance();
    if (token_.type != TokenType::Literal) Fail("a quoted text is expected");
    term.text = token_.text;
    if (term.kind == TFilterExpression::Kind::Equal && !term.text.empty() && term.text.back() == '*') {
      term.kind = TFilterExpression::Kind::Prefix;
      term.text.pop_back();
    }
    terms->push_back(std::move(term));
    Advance();
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  Token token_;
  int depth_ = 0;
};

}  // namespace

TFilterExpression TFilterExpression::Parse(std::string_view text) {
  TFilterExpression expr;
  bool blank = true;
  for (unsigned char c : text)
    if (c > 0x20) blank = false;
  if (blank) return expr;
  expr.terms_ = Parser(text).ParseAll();
  return expr;
}

}  // namespace orvela
