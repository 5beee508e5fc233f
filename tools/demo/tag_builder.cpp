// ID3v2 and ID3v1 tags as bytes, for files the demo and the tests write.
#include <algorithm>

#include "common/codepage.h"
#include "demo/tone_encoder.h"

namespace orvela::demo {
namespace {

// Decodes UTF-8 leniently: a malformed byte becomes U+FFFD, so a test can still
// build a tag from whatever it holds.
std::u32string DecodeUtf8(const std::string& s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = len > 0 && i + len <= s.size();
    for (int k = 1; ok && k < len; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!ok) {
      out.push_back(U'\uFFFD');
      ++i;
      continue;
    }
    out.push_back(cp);
    i += len;
  }
  return out;
}

void PutUnit(std::string& out, char16_t u, bool bigEndian) {
  const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
  if (bigEndian) {
    out += hi;
    out += lo;
  } else {
    out += lo;
    out += hi;
  }
}

std::string EncodeUtf16(const std::string& utf8, bool bigEndian) {
  std::string out;
  for (char32_t cp : DecodeUtf8(utf8)) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      PutUnit(out, static_cast<char16_t>(0xD800 + (cp >> 10)), bigEndian);
      PutUnit(out, static_cast<char16_t>(0xDC00 + (cp & 0x3FF)), bigEndian);
    } else {
      PutUnit(out, static_cast<char16_t>(cp), bigEndian);
    }
  }
  return out;
}

// One text in the frame's encoding, with the byte-order mark where it takes one.
std::string EncodeText(const std::string& utf8, Id3TextEncoding enc) {
  switch (enc) {
    case Id3TextEncoding::Latin1: return Utf8ToCp1252(utf8);
    case Id3TextEncoding::Utf16: return std::string("\xFF\xFE", 2) + EncodeUtf16(utf8, false);
    case Id3TextEncoding::Utf16Be: return EncodeUtf16(utf8, true);
    case Id3TextEncoding::Utf8: break;
  }
  return utf8;
}

std::string Terminator(Id3TextEncoding enc) {
  const bool wide = enc == Id3TextEncoding::Utf16 || enc == Id3TextEncoding::Utf16Be;
  return std::string(wide ? 2 : 1, '\0');
}

std::string FrameBody(const Id3Frame& f, Id3TextEncoding enc) {
  if (!f.rawBody.empty()) return f.rawBody;
  const std::string encByte(1, static_cast<char>(enc));
  if (f.id == "COMM" || f.id == "COM") {
    // Empty description: in UTF-16 it still carries its byte-order mark.
    const std::string desc = enc == Id3TextEncoding::Utf16 ? std::string("\xFF\xFE", 2) : "";
    return encByte + "eng" + desc + Terminator(enc) + EncodeText(f.text, enc);
  }
  if (!f.id.empty() && f.id[0] == 'T') return encByte + EncodeText(f.text, enc);
  return {};
}

void PutBigEndian(std::string& out, std::uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void PutSyncSafe(std::string& out, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) out += static_cast<char>((v >> (7 * i)) & 0x7F);
}

// A field of exactly `width` bytes, zero-padded.
std::string Field(const std::string& utf8, std::size_t width) {
  std::string s = Utf8ToCp1252(utf8).substr(0, width);
  s.resize(width, '\0');
  return s;
}

}  // namespace

std::string BuildId3v2Tag(int version, const std::vector<Id3Frame>& frames,
                          Id3TextEncoding encoding, std::size_t padding) {
  version = std::clamp(version, 2, 4);
  const std::size_t idLen = version == 2 ? 3 : 4;
  std::string body;
  for (const Id3Frame& f : frames) {
    const std::string payload = FrameBody(f, encoding);
    std::string id = f.id.substr(0, idLen);
    id.resize(idLen, ' ');
    body += id;
    const auto size = static_cast<std::uint32_t>(payload.size());
    if (version == 2) {
      PutBigEndian(body, size, 3);
    } else {
      if (version == 4)
        PutSyncSafe(body, size);
      else
        PutBigEndian(body, size, 4);
      body += std::string(2, '\0');  // frame flags
    }
    body += payload;
  }
  body.append(padding, '\0');
  std::string tag = "ID3";
  tag += static_cast<char>(version);
  tag += '\0';  // revision
  tag += '\0';  // flags
  PutSyncSafe(tag, static_cast<std::uint32_t>(body.size()));
  return tag + body;
}

std::string BuildId3v1Tag(const Id3v1Fields& f) {
  std::string tag = "TAG";
  tag += Field(f.title, 30);
  tag += Field(f.artist, 30);
  tag += Field(f.album, 30);
  tag += Field(f.year, 4);
  if (f.track > 0) {
    tag += Field(f.comment, 28);
    tag += '\0';
    tag += static_cast<char>(std::clamp(f.track, 1, 255));
  } else {
    tag += Field(f.comment, 30);
  }
  tag += static_cast<char>(std::clamp(f.genre, 0, 255));
  return tag;
}

}  // namespace orvela::demo
