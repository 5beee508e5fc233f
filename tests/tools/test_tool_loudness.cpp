// loudness PROGRAM_FOLDER, run as the operator runs it: every title of the
// collection measured once, the known ones skipped, a stopped run resumed.
#include <gtest/gtest.h>
#include <signal.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "common/program_folder_lock.h"
#include "demo/tone_encoder.h"
#include "support/collection_file_text.h"
#include "tool_process.h"

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

class ToolLoudnessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(ToolPath())) GTEST_SKIP() << "the tool is not built";
    fs::create_directories(program);
    fs::create_directories(music);
  }
  void WriteCollection(const std::vector<std::string>& paths) {
    std::string bytes = kCollectionFileHead;
    for (std::size_t i = 0; i < paths.size(); ++i) {
      bytes += "<ROW Interpret=\"I" + std::to_string(i) + "\" Titel=\"T\" Pfad=\"" + paths[i] +
               "\" Genre=\"\" Jahr=\"\" Dauer=\"00:05\"/>";
    }
    bytes += kCollectionFileTail;
    WriteFileBytes(program / "Musikliste.xml", bytes);
  }
  std::string Tone(const std::string& name, double dbfs, double seconds = 3.0) {
    const fs::path path = music / name;
    EXPECT_TRUE(demo::EncodeAudio(path.string(), demo::Format::Wav,
                                  demo::SynthesizeTone(1000, seconds, std::pow(10.0, dbfs / 20.0))));
    return path.string();
  }
  // Titles in the results file.
  std::size_t Known() {
    const std::string text = ReadFileBytes(program / "Lautheit.txt");
    std::size_t lines = 0;
    for (char c : text) lines += c == '\n';
    return lines > 0 ? lines - 1 : 0;
  }

  ScratchFolder scratch;
  fs::path program = scratch.Path() / "programm";
  fs::path music = scratch.Path() / "musik";
};

TEST_F(ToolLoudnessTest, MeasuresWhatIsNotKnownAndOnlyThat) {
  const std::string quiet = Tone("leise.wav", -30.0);
  WriteCollection({quiet, Tone("mittel.wav", -20.0), Tone("laut.wav", -10.0), (music / "fehlt.mp3").string(),
                   [&] {
                     WriteFileBytes(music / "kaputt.mp3", std::string(3000, 'x'));
                     return (music / "kaputt.mp3").string();
                   }(),
                   quiet});  // twice in the collection, measured once

  const ToolRun first = RunTool({"loudness", program.string()});
  ASSERT_TRUE(first.exited && first.status == 0) << first.How() << first.err;
  EXPECT_NE(first.out.find("3 titles measured"), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("1 could not be decoded"), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("1 missing"), std::string::npos) << first.out;
  EXPECT_EQ(Known(), 3u);
  // No terminal: no progress line.
  EXPECT_EQ(first.out.find('\r'), std::string::npos);

  const ToolRun second = RunTool({"loudness", program.string()});
  ASSERT_TRUE(second.exited && second.status == 0) << second.How();
  EXPECT_NE(second.out.find("0 titles measured"), std::string::npos) << second.out;
  EXPECT_NE(second.out.find("3 already known"), std::string::npos) << second.out;

  // Re-encoded under the same name: measured again, the others not.
  Tone("leise.wav", -12.0, 4.0);
  const ToolRun third = RunTool({"loudness", program.string()});
  EXPECT_NE(third.out.find("1 title measured"), std::string::npos) << third.out;
  EXPECT_NE(third.out.find("2 already known"), std::string::npos) << third.out;
  EXPECT_EQ(Known(), 3u);
}

TEST_F(ToolLoudnessTest, RefusedWhileTheJukeboxHoldsTheFolder) {
  WriteCollection({Tone("a.wav", -20.0)});
  TProgramFolderLock running(program);
  const ToolRun run = RunTool({"loudness", program.string()});
  EXPECT_TRUE(run.exited && run.status == 1) << run.How();
  EXPECT_NE(run.err.find("is in use"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(program / "Lautheit.txt"));
}

TEST_F(ToolLoudnessTest, AJobCountThatIsNoWholeNumberIsRefused) {
  WriteCollection({Tone("a.wav", -20.0)});
  // The covers command reads its count the same way.
  for (const char* command : {"loudness", "covers"}) {
    for (const char* jobs : {"1x", "4294967297", "0", "-1", "257", "", " 2", "+2"}) {
      const ToolRun run = RunTool({command, program.string(), "--jobs", jobs});
      EXPECT_TRUE(run.exited && run.status == 2) << command << " --jobs \"" << jobs << "\": " << run.How();
      EXPECT_NE(run.err.find("--jobs"), std::string::npos) << run.err;
    }
  }
  EXPECT_FALSE(fs::exists(program / "Cover"));
  EXPECT_FALSE(fs::exists(program / "Lautheit.txt"));
  const ToolRun run = RunTool({"loudness", program.string(), "--jobs", "256"});
  EXPECT_TRUE(run.exited && run.status == 0) << run.How() << run.err;
  EXPECT_EQ(Known(), 1u);
}

// The results file keeps one title a line; a name with a line break is
// reported as not kept, never counted among the measured.
TEST_F(ToolLoudnessTest, NamesWithALineBreakAreNotCountedAsMeasured) {
  const std::string plain = Tone("a.wav", -20.0);
  const std::string lf = Tone("zwei\nzeilen.wav", -20.0);
  const std::string cr = Tone("zwei\rzeilen.wav", -20.0);
  const auto escaped = [](std::string path) {
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"\n", "&#010;"}, {"\r", "&#013;"}}) {
      for (std::size_t at; (at = path.find(from)) != std::string::npos;) path.replace(at, 1, to);
    }
    return path;
  };
  WriteCollection({plain, escaped(lf), escaped(cr)});
  const ToolRun run = RunTool({"loudness", program.string()});
  ASSERT_TRUE(run.exited && run.status == 0) << run.How() << run.err;
  EXPECT_NE(run.out.find("1 title measured"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("2 not measured"), std::string::npos) << run.out;
  EXPECT_EQ(Known(), 1u);
}

// Measuring hands the whole file to the tag library and the decoder: an M4A
// of boxes nested 60,000 deep, past what the tag readers take, is left
// unmeasured and said so; the others are measured.
TEST_F(ToolLoudnessTest, ABoxTreeNestedBeyondAnyRealFileIsNotMeasured) {
  constexpr std::size_t kLevels = 60'000;
  std::string bytes = std::string("\0\0\0\x10" "ftypM4A \0\0\0\0", 16);
  for (std::size_t k = 0; k < kLevels; ++k) {
    const std::size_t size = 8 * (kLevels - k);
    bytes += {static_cast<char>(size >> 24), static_cast<char>(size >> 16), static_cast<char>(size >> 8),
              static_cast<char>(size)};
    bytes += std::array<const char*, 4>{"moov", "udta", "meta", "ilst"}[k % 4];
  }
  WriteFileBytes(music / "tief.m4a", bytes);
  WriteCollection({(music / "tief.m4a").string(), Tone("a.wav", -20.0)});
  const ToolRun run = RunTool({"loudness", program.string()});
  ASSERT_TRUE(run.exited && run.status == 0) << run.How() << run.err;
  EXPECT_NE(run.out.find("1 title measured"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("1 not measured: headers or tags past the size bounds"), std::string::npos) << run.out;
  EXPECT_EQ(Known(), 1u);
}

// Stopped part way, the run keeps what it measured; the next one measures the rest.
TEST_F(ToolLoudnessTest, AStoppedRunIsResumed) {
  // Forty names for one long file: a minute of audio each, so the stop lands
  // part way however fast the machine.
  const std::string original = Tone("lang.wav", -20.0, 60.0);
  std::vector<std::string> paths;
  for (int i = 0; i < 40; ++i) {
    const fs::path link = music / ("titel" + std::to_string(i) + ".wav");
    fs::create_symlink(original, link);
    paths.push_back(link.string());
  }
  WriteCollection(paths);

  const ToolRun stopped = StopToolAfter({"loudness", program.string(), "--jobs", "1"}, SIGTERM, 1500);
  ASSERT_TRUE(stopped.exited) << stopped.How();
  ASSERT_EQ(stopped.status, 128 + SIGTERM) << "the run ended before the stop";
  const std::size_t kept = Known();
  EXPECT_LT(kept, 40u);

  const ToolRun rest = RunTool({"loudness", program.string()});
  ASSERT_TRUE(rest.exited && rest.status == 0) << rest.How();
  EXPECT_NE(rest.out.find(std::to_string(40 - kept) + " titles measured"), std::string::npos) << rest.out;
  EXPECT_NE(rest.out.find(std::to_string(kept) + " already known"), std::string::npos) << rest.out;
  EXPECT_EQ(Known(), 40u);
}

}  // namespace
}  // namespace orvela::testing
