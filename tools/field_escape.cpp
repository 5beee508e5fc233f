#include "field_escape.h"

namespace orvela::tool {

void AppendEscapedField(std::string_view bytes, std::string* out) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (const char ch : bytes) {
    const auto byte = static_cast<unsigned char>(ch);
    switch (byte) {
      case '\\': out->append("\\\\"); break;
      case '\t': out->append("\\t"); break;
      case '\n': out->append("\\n"); break;
      case '\r': out->append("\\r"); break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          const char escaped[] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0x0F]};
          out->append(escaped, sizeof escaped);
        } else {
          out->push_back(ch);
        }
    }
  }
}

std::string EscapeField(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  AppendEscapedField(bytes, &out);
  return out;
}

}  // namespace orvela::tool
