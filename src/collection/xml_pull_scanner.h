#pragma once
// A pull scanner for XML read a buffer at a time: it hands out start tags, their
// attributes and end tags one by one and checks everything between them, keeping
// nothing of the document but the names of the open elements.
//
// It follows the rules of the XML library the collection file was first read with
// (pugixml, with escapes decoded and nothing else converted), so that the files
// accepted and refused before are accepted and refused now:
// - names begin with a letter, '_', ':' or a byte above 127 and go on with those,
//   digits, '-' and '.'; attributes need blanks between them; '<' is allowed in a
//   value; comments, processing instructions, CDATA sections and (outside all
//   elements) a DOCTYPE are skipped; text may stand outside the elements; every
//   element must be closed, by an end tag of its own name;
// - the five named escapes and decimal or "x" hexadecimal character references
//   are decoded; any other '&' stays as it stands.
// Two points differ on purpose: a NUL byte, raw or as "&#0;", is a character of a
// value like every other control character, and outside all elements a NUL ends
// the document, which keeps a file readable whose tail a crash filled with zeros.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/byte_reader.h"

namespace orvela {

class TXmlPullScanner {
 public:
  enum class Token { StartTag, Attribute, StartTagEnd, EndTag, End };

  // With utf8 the text is UTF-8, else Latin-1 bytes, which are the code page's
  // bytes as they stand; values come out in the code page either way.
  TXmlPullScanner(TByteReader& in, bool utf8) : in_(in), utf8_(utf8) {}

  // The next token; End once the document is over and found complete. Malformed
  // XML throws TableError. An element written as an empty tag gives StartTagEnd
  // and EndTag right after each other.
  Token Next();
  // StartTag: the element's name; Attribute: the attribute's name.
  const std::string& Name() const { return name_; }
  // StartTag, StartTagEnd, EndTag: how many elements are open around the element.
  std::size_t Level() const { return level_; }
  // After Attribute: its value in the code page, at most limit characters (the
  // rest is read and dropped). A value not read is skipped by the next Next().
  void ReadValue(std::string* out, std::size_t limit = static_cast<std::size_t>(-1));

  [[noreturn]] void Malformed(const std::string& what) const;

 private:
  enum class State { Content, AfterName, Attributes, EmptyEnd, Done };

  Token Content();
  Token Finish();
  void EndTag();
  void AttributeHead();
  void ProcessingInstruction();
  void Exclamation();
  void Doctype();
  void DoctypeQuoted();
  void DoctypeIgnoreSection();
  void SkipUntil(std::string_view terminator, const char* what);
  void ReadName(std::string* name);
  void SkipSpaces();
  bool SkipText();
  void SkipValue();
  void Escape(std::string* out, std::size_t limit);
  bool WholeEscape(std::string* out, std::size_t limit);
  void PutByte(std::string* out, std::size_t limit, int byte) {
    if (out->size() < limit) out->push_back(static_cast<char>(byte));
  }
  void PutCodePoint(std::string* out, std::size_t limit, std::uint32_t cp);

  TByteReader& in_;
  const bool utf8_;
  State state_ = State::Content;
  std::string open_;  // names of the open elements, each followed by a 0 byte
  std::size_t depth_ = 0;
  std::size_t level_ = 0;
  std::string name_;
  int quote_ = 0;              // of the attribute value being read
  bool valuePending_ = false;  // an attribute's value is not read yet
  bool afterValue_ = false;    // an attribute value ended right here
  bool textBefore_ = false;    // text with more than blanks came right before this '<'
};

}  // namespace orvela
