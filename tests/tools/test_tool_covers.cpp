// covers PROGRAM_FOLDER, run as the operator runs it: every title's thumbnail
// made once, the cached ones skipped, a stopped run resumed.
#include <gtest/gtest.h>
#include <signal.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <filesystem>
#include <string>
#include <vector>

#include "common/program_folder_lock.h"
#include "covers/cover_fixtures.h"
#include "support/collection_file_text.h"
#include "tool_process.h"

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

std::string Jpeg(int pixels) {
  QImage image(pixels, pixels, QImage::Format_RGB32);
  for (int y = 0; y < pixels; ++y) {
    for (int x = 0; x < pixels; ++x) image.setPixel(x, y, qRgb(x & 255, y & 255, (x ^ y) & 255));
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPEG", 90);
  return bytes.toStdString();
}

class ToolCoversTest : public ::testing::Test {
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
  std::size_t Entries() {
    std::size_t count = 0;
    std::error_code error;
    for (const auto& e : fs::recursive_directory_iterator(program / "Cover", error)) count += e.is_regular_file();
    return count;
  }

  ScratchFolder scratch;
  fs::path program = scratch.Path() / "programm";
  fs::path music = scratch.Path() / "musik";
};

TEST_F(ToolCoversTest, ReadsWhatIsNotCachedAndOnlyThat) {
  const fs::path embedded = music / "eingebettet.mp3";
  WriteFileBytes(embedded, Id3v23Tag({{3, Jpeg(300)}}) + std::string(2000, '\0'));
  fs::create_directories(music / "album");
  WriteFileBytes(music / "album" / "Folder.jpg", Jpeg(200));
  WriteFileBytes(music / "album" / "eins.mp3", std::string(2000, '\0'));
  fs::create_directories(music / "ohne");
  WriteFileBytes(music / "ohne" / "zwei.mp3", std::string(2000, '\0'));
  WriteFileBytes(music / "ohne" / "kaputt.mp3", Id3v23Tag({{3, std::string(4000, 'x')}}) + std::string(2000, '\0'));
  WriteCollection({embedded.string(), (music / "album" / "eins.mp3").string(), (music / "ohne" / "zwei.mp3").string(),
                   (music / "ohne" / "kaputt.mp3").string(), (music / "fehlt.mp3").string(), embedded.string()});

  const ToolRun first = RunTool({"covers", program.string()});
  ASSERT_TRUE(first.exited && first.status == 0) << first.How() << first.err;
  EXPECT_NE(first.out.find("4 titles read"), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("2 with a cover, 2 without; 0 already in the cache, 1 missing"), std::string::npos)
      << first.out;
  EXPECT_EQ(first.out.find('\r'), std::string::npos);
  EXPECT_EQ(first.err, "");
  EXPECT_EQ(Entries(), 4u);

  const ToolRun second = RunTool({"covers", program.string()});
  ASSERT_TRUE(second.exited && second.status == 0) << second.How();
  EXPECT_NE(second.out.find("0 titles read"), std::string::npos) << second.out;
  EXPECT_NE(second.out.find("4 already in the cache"), std::string::npos) << second.out;

  // A picture put into the folder without one: that title is read again.
  WriteFileBytes(music / "ohne" / "cover.png", Jpeg(50));
  const ToolRun third = RunTool({"covers", program.string()});
  EXPECT_NE(third.out.find("2 titles read"), std::string::npos) << third.out;
  EXPECT_NE(third.out.find("2 with a cover, 0 without; 2 already in the cache"), std::string::npos) << third.out;
}

TEST_F(ToolCoversTest, RefusedWhileTheJukeboxHoldsTheFolder) {
  WriteFileBytes(music / "a.mp3", Id3v23Tag({{3, Jpeg(40)}}));
  WriteCollection({(music / "a.mp3").string()});
  TProgramFolderLock running(program);
  const ToolRun run = RunTool({"covers", program.string()});
  EXPECT_TRUE(run.exited && run.status == 1) << run.How();
  EXPECT_NE(run.err.find("is in use"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(program / "Cover"));
}

TEST_F(ToolCoversTest, ACacheThatCannotBeWrittenIsAFailure) {
  WriteFileBytes(music / "a.mp3", Id3v23Tag({{3, Jpeg(40)}}));
  WriteCollection({(music / "a.mp3").string()});
  WriteFileBytes(program / "Cover", "a file where the folder belongs");
  const ToolRun run = RunTool({"covers", program.string()});
  EXPECT_TRUE(run.exited && run.status == 1) << run.How() << run.out;
  EXPECT_NE(run.err.find("could not be written"), std::string::npos) << run.err;
}

TEST_F(ToolCoversTest, AStoppedRunIsResumed) {
  fs::create_directories(music / "viele");
  WriteFileBytes(music / "viele" / "folder.jpg", Jpeg(2500));
  std::vector<std::string> paths;
  for (int i = 0; i < 600; ++i) {
    const fs::path title = music / "viele" / ("titel" + std::to_string(i) + ".mp3");
    WriteFileBytes(title, std::string(100, '\0'));
    paths.push_back(title.string());
  }
  WriteCollection(paths);

  const ToolRun stopped = StopToolAfter({"covers", program.string(), "--jobs", "1"}, SIGINT, 1500);
  ASSERT_TRUE(stopped.exited) << stopped.How();
  ASSERT_EQ(stopped.status, 128 + SIGINT) << "the run ended before the stop";
  const std::size_t kept = Entries();
  EXPECT_LT(kept, 600u);

  const ToolRun rest = RunTool({"covers", program.string()});
  ASSERT_TRUE(rest.exited && rest.status == 0) << rest.How();
  EXPECT_NE(rest.out.find(std::to_string(600 - kept) + " titles read"), std::string::npos) << rest.out;
  EXPECT_NE(rest.out.find(std::to_string(kept) + " already in the cache"), std::string::npos) << rest.out;
  EXPECT_EQ(Entries(), 600u);
}

}  // namespace
}  // namespace orvela::testing
