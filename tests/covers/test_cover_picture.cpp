// Finding a title's cover in its file or its folder, and what is refused
// before decoding.
#include <gtest/gtest.h>

#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/mp4file.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <QColor>

#include <sys/resource.h>

#include <filesystem>
#include <functional>
#include <string>

#include "cover_fixtures.h"
#include "covers/cover_picture.h"
#include "demo/tone_encoder.h"
#include "support/audio_fixtures.h"
#include "support/scratch_folder.h"

namespace orvela {
namespace {

using testing::Apic;
using testing::SolidPicture;
using testing::WriteBytes;
namespace fs = std::filesystem;

const QColor kRed(220, 30, 30), kBlue(30, 40, 220), kGreen(30, 200, 40), kYellow(230, 220, 20),
    kMagenta(210, 30, 200), kCyan(20, 210, 220), kOrange(240, 140, 10);

std::string SilentMp3() {
  static const std::string bytes = demo::EncodeAudioBytes(demo::Format::Mp3, demo::SynthesizeSilence(0.5, 44100, 1));
  return bytes;
}

bool Near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 && std::abs(a.blue() - b.blue()) < 24;
}

TagLib::FLAC::Picture* FlacPicture(TagLib::FLAC::Picture::Type type, const std::string& bytes) {
  auto* picture = new TagLib::FLAC::Picture;
  picture->setType(type);
  picture->setMimeType("image/jpeg");
  picture->setData(TagLib::ByteVector(bytes.data(), static_cast<unsigned>(bytes.size())));
  return picture;
}

class CoverPicture : public testing::ScratchFolderTest {
 protected:
  CoverPicture() : ScratchFolderTest("orvela-cover-picture") {}

 public:
  fs::path Dir() const { return dir_; }
  std::string Copy(const std::string& fixture, const std::string& name) {
    const fs::path target = dir_ / name;
    fs::copy_file(testing::AudioFixturePath(fixture), target);
    return target.string();
  }
  std::string Mp3(const std::string& name, const std::vector<Apic>& pictures) {
    const fs::path target = dir_ / name;
    WriteBytes(target, (pictures.empty() ? std::string() : testing::Id3v23Tag(pictures)) + SilentMp3());
    return target.string();
  }
};

struct FoundCase {
  const char* what;
  std::function<std::string(CoverPicture&)> make;  // answers the audio file's path
  QColor expected;                                  // invalid: no cover
  TCoverSource source;
};

class CoverPictureFound : public CoverPicture, public ::testing::WithParamInterface<FoundCase> {};

TEST_P(CoverPictureFound, ShowsTheRightPicture) {
  const FoundCase& c = GetParam();
  const std::string audio = c.make(*this);
  QImage thumbnail;
  const TFoundPicture found = FindCoverPicture(audio, &thumbnail, 160);
  EXPECT_EQ(found.source, c.source) << c.what;
  if (!c.expected.isValid()) {
    EXPECT_TRUE(thumbnail.isNull()) << c.what;
    return;
  }
  ASSERT_FALSE(thumbnail.isNull()) << c.what;
  const QColor centre = thumbnail.pixelColor(thumbnail.width() / 2, thumbnail.height() / 2);
  EXPECT_TRUE(Near(centre, c.expected)) << c.what << ": " << centre.name().toStdString() << " instead of "
                                        << c.expected.name().toStdString();
}

const FoundCase kFoundCases[] = {
    {"mp3: the front cover wins over an earlier other picture",
     [](CoverPicture& t) { return t.Mp3("a.mp3", {{0, SolidPicture(kRed, 40, 40)}, {3, SolidPicture(kBlue, 40, 40)}}); },
     kBlue, TCoverSource::kEmbedded},
    {"mp3: without a front cover the first picture",
     [](CoverPicture& t) { return t.Mp3("a.mp3", {{4, SolidPicture(kGreen, 40, 40)}, {5, SolidPicture(kRed, 40, 40)}}); },
     kGreen, TCoverSource::kEmbedded},
    {"mp3: a PNG picture",
     [](CoverPicture& t) { return t.Mp3("a.mp3", {{3, SolidPicture(kCyan, 40, 40, "PNG"), "image/png"}}); }, kCyan,
     TCoverSource::kEmbedded},
    {"flac: PICTURE block, front preferred",
     [](CoverPicture& t) {
       const std::string path = t.Copy("tagged.flac", "a.flac");
       TagLib::FLAC::File file(path.c_str());
       file.addPicture(FlacPicture(TagLib::FLAC::Picture::Other, SolidPicture(kRed, 30, 30)));
       file.addPicture(FlacPicture(TagLib::FLAC::Picture::FrontCover, SolidPicture(kYellow, 30, 30)));
       file.save();
       return path;
     },
     kYellow, TCoverSource::kEmbedded},
    {"ogg vorbis: METADATA_BLOCK_PICTURE",
     [](CoverPicture& t) {
       const std::string path = t.Copy("tagged.ogg", "a.ogg");
       TagLib::Ogg::Vorbis::File file(path.c_str());
       file.tag()->addPicture(FlacPicture(TagLib::FLAC::Picture::FrontCover, SolidPicture(kMagenta, 30, 30)));
       file.save();
       return path;
     },
     kMagenta, TCoverSource::kEmbedded},
    {"opus: METADATA_BLOCK_PICTURE",
     [](CoverPicture& t) {
       const std::string path = t.Copy("untagged.opus", "a.opus");
       TagLib::Ogg::Opus::File file(path.c_str());
       file.tag()->addPicture(FlacPicture(TagLib::FLAC::Picture::FrontCover, SolidPicture(kCyan, 30, 30)));
       file.save();
       return path;
     },
     kCyan, TCoverSource::kEmbedded},
    {"m4a: covr",
     [](CoverPicture& t) {
       const std::string path = t.Copy("tagged.m4a", "a.m4a");
       TagLib::MP4::File file(path.c_str());
       const std::string png = SolidPicture(kOrange, 30, 30, "PNG");
       TagLib::MP4::CoverArtList covers;
       covers.append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::PNG,
                                           TagLib::ByteVector(png.data(), static_cast<unsigned>(png.size()))));
       file.tag()->setItem("covr", covers);
       file.save();
       return path;
     },
     kOrange, TCoverSource::kEmbedded},
    {"folder.jpg in any letter case beside an untagged file",
     [](CoverPicture& t) {
       WriteBytes(t.Dir() / "Folder.JPG", SolidPicture(kGreen, 50, 50));
       return t.Copy("untagged.flac", "a.flac");
     },
     kGreen, TCoverSource::kFolderFile},
    {"the embedded picture wins over the folder's",
     [](CoverPicture& t) {
       WriteBytes(t.Dir() / "folder.jpg", SolidPicture(kGreen, 50, 50));
       return t.Mp3("a.mp3", {{3, SolidPicture(kBlue, 40, 40)}});
     },
     kBlue, TCoverSource::kEmbedded},
    {"cover before folder before front",
     [](CoverPicture& t) {
       WriteBytes(t.Dir() / "front.jpg", SolidPicture(kRed, 50, 50));
       WriteBytes(t.Dir() / "folder.jpeg", SolidPicture(kGreen, 50, 50));
       WriteBytes(t.Dir() / "COVER.png", SolidPicture(kBlue, 50, 50, "PNG"));
       return t.Mp3("a.mp3", {});
     },
     kBlue, TCoverSource::kFolderFile},
    {"front.jpeg alone",
     [](CoverPicture& t) {
       WriteBytes(t.Dir() / "front.jpeg", SolidPicture(kRed, 50, 50));
       return t.Mp3("a.mp3", {});
     },
     kRed, TCoverSource::kFolderFile},
    {"an embedded picture that does not decode gives way to the folder's",
     [](CoverPicture& t) {
       WriteBytes(t.Dir() / "cover.jpg", SolidPicture(kYellow, 50, 50));
       return t.Mp3("a.mp3", {{3, std::string(500, 'x')}});
     },
     kYellow, TCoverSource::kFolderFile},
    {"a folder cover that does not decode is no cover",
     [](CoverPicture& t) {
       WriteBytes(t.Dir() / "cover.jpg", std::string("\xff\xd8\xff", 3));
       return t.Mp3("a.mp3", {});
     },
     QColor(), TCoverSource::kNone},
    {"a folder named cover.jpg is no picture",
     [](CoverPicture& t) {
       fs::create_directory(t.Dir() / "cover.jpg");
       return t.Mp3("a.mp3", {});
     },
     QColor(), TCoverSource::kNone},
    {"nothing at all", [](CoverPicture& t) { return t.Copy("untagged.m4a", "a.m4a"); }, QColor(), TCoverSource::kNone},
};

INSTANTIATE_TEST_SUITE_P(Cases, CoverPictureFound, ::testing::ValuesIn(kFoundCases));

TEST_F(CoverPicture, AnEmbeddedPictureAboveTheLimitIsNotTakenAndTheFolderFileIs) {
  // A real JPEG header followed by padding: the size alone must refuse it.
  std::string huge = SolidPicture(kRed, 40, 40);
  huge.resize(kCoverMaxBytes + 1, '\0');
  WriteBytes(dir_ / "folder.png", SolidPicture(kGreen, 40, 40, "PNG"));
  const std::string audio = Mp3("a.mp3", {{3, huge}});
  EXPECT_EQ(EmbeddedPicture(audio), "");
  QImage thumbnail;
  EXPECT_EQ(FindCoverPicture(audio, &thumbnail, 160).source, TCoverSource::kFolderFile);
  // The same picture just within the limit is taken.
  huge.resize(kCoverMaxBytes);
  const std::string within = Mp3("b.mp3", {{3, huge}});
  EXPECT_EQ(EmbeddedPicture(within).size(), kCoverMaxBytes);
}

TEST_F(CoverPicture, ATagDeclaringHundredsOfMegabytesIsNotReadIntoMemory) {
  // A sparse file: the tag claims 256 MB and the file really is that long, so
  // only a bound of our own keeps TagLib from reading all of it.
  std::string tag = testing::Id3v23Tag({{3, SolidPicture(kBlue, 40, 40)}});
  for (int i = 6; i < 10; ++i) tag[static_cast<std::size_t>(i)] = 0x7f;
  const fs::path audio = dir_ / "a.mp3";
  WriteBytes(audio, tag);
  fs::resize_file(audio, std::uintmax_t{300} << 20);
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  EXPECT_EQ(EmbeddedPicture(audio.string()), "");
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  // ru_maxrss is in kilobytes: the high-water mark may not rise by 100 MB.
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024);
}

// The 32-bit CRC of PNG chunks, to forge a header that a reader believes.
std::uint32_t Crc32(const std::string& bytes) {
  std::uint32_t crc = 0xffffffffu;
  for (const char c : bytes) {
    crc ^= static_cast<unsigned char>(c);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string PngDeclaring(int width, int height) {
  std::string png = SolidPicture(kRed, 4, 4, "PNG");
  // Signature (8), IHDR length (4), "IHDR" (4), width, height, ...; CRC after 13 data bytes.
  auto put = [&png](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) png[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (24 - 8 * i)) & 0xff);
  };
  put(16, static_cast<std::uint32_t>(width));
  put(20, static_cast<std::uint32_t>(height));
  put(29, Crc32(png.substr(12, 17)));
  return png;
}

struct DecodeCase {
  const char* what;
  std::function<std::string()> bytes;
  QSize expected;  // invalid: refused
};

class CoverDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(CoverDecode, ScalesOrRefuses) {
  const DecodeCase& c = GetParam();
  const QImage image = DecodeThumbnail(c.bytes(), 160);
  if (!c.expected.isValid()) {
    EXPECT_TRUE(image.isNull()) << c.what;
    return;
  }
  ASSERT_FALSE(image.isNull()) << c.what;
  EXPECT_EQ(image.size(), c.expected) << c.what;
  EXPECT_EQ(image.format(), QImage::Format_RGB32) << c.what;
}

const DecodeCase kDecodeCases[] = {
    {"a wide picture keeps its aspect", [] { return SolidPicture(kRed, 500, 300); }, QSize(160, 96)},
    {"a small picture is not enlarged", [] { return SolidPicture(kRed, 100, 100, "PNG"); }, QSize(100, 100)},
    {"a tall PNG", [] { return SolidPicture(kRed, 200, 800, "PNG"); }, QSize(40, 160)},
    {"8000 px a side is still decoded", [] { return SolidPicture(kRed, 8000, 2, "PNG"); }, QSize(160, 1)},
    {"8001 px a side is refused", [] { return SolidPicture(kRed, 8001, 2, "PNG"); }, QSize()},
    {"a forged header declaring 100000 px", [] { return PngDeclaring(100000, 100000); }, QSize()},
    {"a picture of another format", [] { return SolidPicture(kRed, 40, 40, "BMP"); }, QSize()},
    {"a JPEG cut inside its header", [] { return SolidPicture(kRed, 400, 400).substr(0, 40); }, QSize()},
    {"nothing", [] { return std::string(); }, QSize()},
    {"above 20 MB", [] {
       std::string png = SolidPicture(kRed, 40, 40, "PNG");
       png.resize(kCoverMaxBytes + 1, '\0');
       return png;
     }, QSize()},
};

INSTANTIATE_TEST_SUITE_P(Cases, CoverDecode, ::testing::ValuesIn(kDecodeCases));

TEST(CoverDecodeDamaged, AJpegCutInItsDataNeverCrashesAndStaysWithinTheSquare) {
  QImage noise(600, 600, QImage::Format_RGB32);
  for (int y = 0; y < noise.height(); ++y) {
    for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, qRgb((x * 7) & 255, (y * 13) & 255, (x * y) & 255));
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  noise.save(&buffer, "JPEG", 90);
  const std::string jpeg = bytes.toStdString();
  for (const std::size_t cut : {jpeg.size() / 4, jpeg.size() / 2, jpeg.size() - 3}) {
    const QImage image = DecodeThumbnail(jpeg.substr(0, cut), 160);
    if (!image.isNull()) {
      EXPECT_LE(image.width(), 160);
      EXPECT_LE(image.height(), 160);
    }
  }
}

}  // namespace
}  // namespace orvela
