#pragma once
// Audio files with covers for the cover tests: the committed FFmpeg fixtures
// (and an MP3 from the demo encoder) copied into a scratch folder, with a
// picture put in by TagLib's writers or by an ID3v2 tag written byte by byte.
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace orvela::testing {

// A picture of one colour, encoded as format ("JPEG" or "PNG").
inline std::string SolidPicture(QColor colour, int width, int height, const char* format = "JPEG") {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format, 90);
  return bytes.toStdString();
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// One ID3v2.3 APIC frame: picture type, the picture's bytes.
struct Apic {
  int type;
  std::string bytes;
  std::string mime = "image/jpeg";
};

// An ID3v2.3 tag holding the frames in order, written by hand as a tagger does.
inline std::string Id3v23Tag(const std::vector<Apic>& pictures) {
  std::string frames;
  for (const Apic& p : pictures) {
    std::string body;
    body.push_back('\0');  // Latin-1 description
    body += p.mime;
    body.push_back('\0');
    body.push_back(static_cast<char>(p.type));
    body.push_back('\0');  // empty description
    body += p.bytes;
    frames += "APIC";
    const auto size = static_cast<std::uint32_t>(body.size());
    for (int shift = 24; shift >= 0; shift -= 8) frames.push_back(static_cast<char>((size >> shift) & 0xff));
    frames.append(2, '\0');
    frames += body;
  }
  std::string tag = "ID3";
  tag.push_back(3);
  tag.push_back(0);
  tag.push_back(0);
  const auto size = static_cast<std::uint32_t>(frames.size());
  for (int shift = 21; shift >= 0; shift -= 7) tag.push_back(static_cast<char>((size >> shift) & 0x7f));
  return tag + frames;
}

}  // namespace orvela::testing
