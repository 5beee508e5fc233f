// Where the readers' files come from: names stored as code-page bytes that are
// spelled either way on disk, and things that merely carry an audio file's name.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "common/codepage.h"
#include "demo/tone_encoder.h"
#include "metadata/audio_file.h"
#include "metadata/id3v1_tag.h"
#include "metadata/id3v2_tag.h"
#include "metadata/reader_errors.h"
#include "metadata/wma_file.h"
#include "stream_fixtures.h"

namespace orvela {
namespace {

using testing::AsfBuilder;
using testing::TempDir;

// Seven seconds of 128 kbit/s frames between an ID3v2 and an ID3v1 tag.
std::string TaggedMp3(const std::string& title) {
  demo::Id3v1Fields v1;
  v1.title = "v1";
  v1.artist = "Band";
  return demo::BuildId3v2Tag(3, {{"TIT2", title, ""}}) + testing::Frames({}, 417, 300) + demo::BuildId3v1Tag(v1);
}

std::string TitledWma(const std::u16string& title) {
  return AsfBuilder().PlausibleAudio().ContentDescription(title, u"Band").Build();
}

// A name from an older system holds Latin-1 bytes, not UTF-8: the stored
// code-page path is then those very bytes, and the file must still be read.
TEST(AudioFilePathTest, StoredCodePageNamesFindTheFileUnderEitherSpelling) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string nativeName;  // as it lies on disk
    std::string storedName;  // code page, as the collection holds it
    std::string bytes;
    std::string title;
    int duration;
  } const cases[] = {
      {"Latin-1 bytes on disk", "M\xFCller.mp3", "M\xFCller.mp3", TaggedMp3("Lied"), "Lied", 7},
      {"UTF-8 on disk", "M\xC3\xBCller.mp2", "M\xFCller.mp2", TaggedMp3("Lied"), "Lied", 7},
      {"Latin-1 WMA", "Gr\xFC\xDF" "e.wma", "Gr\xFC\xDF" "e.wma", TitledWma(u"Gru\u00DF"), "Gru\xDF", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir.Write(c.nativeName, c.bytes);
    const std::string stored = NativePathToCp1252(dir.Path().string()) + "/" + c.storedName;
    TAudioFile f;
    f.LoadFromFile(stored);
    EXPECT_EQ(f.FilePath, stored);
    EXPECT_EQ(f.Title, c.title);
    EXPECT_EQ(f.Artist, "Band");
    EXPECT_EQ(f.Duration, c.duration);
  }
  // The tag readers that open the file themselves take the same way.
  const std::string stored = NativePathToCp1252(dir.Path().string()) + "/M\xFCller.mp3";
  TID3v2Tag v2;
  EXPECT_EQ(v2.ReadFromFile(stored), kTagReadOk);
  EXPECT_EQ(v2.GetTitle(), "Lied");
  TID3v1Tag v1;
  EXPECT_EQ(v1.ReadFromFile(stored), kTagReadOk);
  EXPECT_EQ(v1.GetArtist(), "Band");
}

// A FIFO (or a link to one) named like an audio file would block every open
// until some writer came along; the readers must treat it as unreadable at once.
TEST(AudioFilePathTest, PipesNamedLikeAudioFilesReadAsUnreadableWithoutWaiting) {
  TempDir dir;
  const std::vector<std::string> names = {"pipe.mp3", "pipe.MP2", "pipe.wma", "link.mp3"};
  ASSERT_EQ(::mkfifo((dir.Path() / "pipe.mp3").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((dir.Path() / "pipe.MP2").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((dir.Path() / "pipe.wma").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir.Path() / "pipe.mp3", dir.Path() / "link.mp3");
  const std::string root = NativePathToCp1252(dir.Path().string());

  // Run apart: should any open wait, the alarm ends the child, not the suite.
  const testing::ChildOutcome outcome = testing::RunInChild([&] {
    int wrong = 0;
    for (const std::string& name : names) {
      TAudioFile f;
      f.LoadFromFile(root + "/" + name);
      if (f.Title != name || f.Artist != "Titel ist unbekannt" || f.Duration != 0) ++wrong;
      TID3v2Tag v2;
      TID3v1Tag v1;
      TWMAfile wma;
      if (v2.ReadFromFile(root + "/" + name) == kTagReadOk || v1.ReadFromFile(root + "/" + name) == kTagReadOk) ++wrong;
      if (wma.ReadFromFile(Cp1252ToUtf16(root + "/" + name))) ++wrong;
    }
    return wrong;
  }, 0, 30);
  EXPECT_TRUE(outcome.Ok()) << outcome.Describe();
}

}  // namespace
}  // namespace orvela
