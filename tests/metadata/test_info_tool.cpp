// The info command prints what the collection builder would store for a file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "demo/tone_encoder.h"
#include "support/audio_fixtures.h"

namespace orvela {
namespace {

// The tool is built beside the program; this test binary lives in <build>/tests.
std::filesystem::path ToolPath() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "program" /
         "orvela-jukebox-tool";
}

std::string RunTool(const std::string& args, int* status) {
  const std::string command = ToolPath().string() + " " + args + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  if (pipe == nullptr) return out;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
  const int raw = pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

TEST(InfoTool, PrintsTheStoredFieldsOfRealAndUnreadableFiles) {
  if (!std::filesystem::exists(ToolPath())) GTEST_SKIP() << "orvela-jukebox-tool is not built";
  const auto dir = std::filesystem::temp_directory_path() / ("orvela_info_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string mp3 = (dir / "s\xC3\xBC\xC3\x9F.mp3").string();  // "süß.mp3"

  std::string error;
  const std::string audio =
      demo::EncodeAudioBytes(demo::Format::Mp3, demo::SynthesizeTone(440.0, 3.5), {}, &error);
  ASSERT_FALSE(audio.empty()) << error;
  const std::string tag = demo::BuildId3v2Tag(
      3, {{"TPE1", "Die \xC3\x84rzte-Band", ""}, {"TIT2", "Sch\xC3\xB6ner Tag", ""},
          {"TYER", "1999", ""}, {"TCON", "(17)", ""}});
  ASSERT_TRUE(demo::WriteTaggedMp3(mp3, tag, audio, ""));

  int status = -1;
  const std::string missing = (dir / "gone.mp3").string();
  const std::string out = RunTool("info '" + mp3 + "' '" + missing + "'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out, mp3 + "\tDie \xC3\x84rzte-Band\tSch\xC3\xB6ner Tag\t1999\tRock\t3\n" +
                     missing + "\tTitel ist unbekannt\tgone.mp3\t0000\tn.vorhanden\t0\n");
  std::filesystem::remove_all(dir);
}

// The formats read through TagLib print as MP3s do: the same six fields, the
// text in UTF-8, whole seconds.
TEST(InfoTool, PrintsFlacOggOpusAndM4aInTheSameForm) {
  if (!std::filesystem::exists(ToolPath())) GTEST_SKIP() << "orvela-jukebox-tool is not built";
  std::string args = "info";
  std::string expected;
  const struct {
    const char* fixture;
    const char* fields;
  } cases[] = {
      {"tagged.flac", "Die \xC3\x84rzte\tSchrei nach Liebe\t1993\tPunk\t2"},
      {"untagged.flac", "\tuntagged.flac\t\tBlues\t2"},
      {"tagged.ogg", "Vorbis K\xC3\xBCnstler\t\xC3\x96l aus ?\xC3\xB3\x64?\t2001\tJazz\t3"},
      {"tagged.opus", "Opus Band\tLeise\t2019\tAmbient\t1"},
      {"tagged.m4a", "AAC Artist\tCaf\xC3\xA9\t1985\tPop\t4"},
  };
  for (const auto& c : cases) {
    const std::string path = testing::AudioFixturePath(c.fixture).string();
    args += " '" + path + "'";
    expected += path + "\t" + c.fields + "\n";
  }
  int status = -1;
  EXPECT_EQ(RunTool(args, &status), expected);
  EXPECT_EQ(status, 0);
}

// Tag text and file names may hold any byte; each file must still be one line
// of six fields, and no control byte may reach the terminal.
TEST(InfoTool, EscapesControlBytesInNamesAndTags) {
  if (!std::filesystem::exists(ToolPath())) GTEST_SKIP() << "orvela-jukebox-tool is not built";
  const auto dir = std::filesystem::temp_directory_path() / ("orvela_info_escape_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string mp3 = (dir / "a\tb\nc\x1B[0m.mp3").string();

  std::string error;
  const std::string audio =
      demo::EncodeAudioBytes(demo::Format::Mp3, demo::SynthesizeTone(440.0, 3.5), {}, &error);
  ASSERT_FALSE(audio.empty()) << error;
  const std::string tag = demo::BuildId3v2Tag(
      3, {{"TPE1", std::string("Nul\0Byte", 8), ""}, {"TIT2", "Eins\tZwei\nDrei\rVier\x1B]0;x\x07\\Ende", ""},
          {"TYER", "1999", ""}, {"TCON", "Pop\x7FRock", ""}},
      demo::Id3TextEncoding::Latin1);
  ASSERT_TRUE(demo::WriteTaggedMp3(mp3, tag, audio, ""));

  int status = -1;
  const std::string out = RunTool("info '" + mp3 + "'", &status);
  EXPECT_EQ(status, 0);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
  std::vector<std::string> fields(1);
  for (const char ch : out.substr(0, out.size() - 1)) {
    if (ch == '\t') {
      fields.emplace_back();
    } else {
      EXPECT_GE(static_cast<unsigned char>(ch), 0x20) << out;
      fields.back() += ch;
    }
  }
  ASSERT_EQ(fields.size(), 6u) << out;
  EXPECT_EQ(fields[0], (dir / "a\\tb\\nc\\x1b[0m.mp3").string());
  // The tag reader separates values at a NUL; none reaches the output.
  EXPECT_EQ(fields[1], "Nul / Byte");
  EXPECT_EQ(fields[2], "Eins\\tZwei\\nDrei\\rVier\\x1b]0;x\\x07\\\\Ende");
  EXPECT_EQ(fields[3], "1999");
  EXPECT_EQ(fields[4], "Pop\\x7fRock");
  EXPECT_EQ(fields[5], "3");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orvela
