// How the tool fails: output that cannot be written, memory that runs out and
// a named pipe where a file belongs each end in a message and a status, never
// in a silent success, an abort or a hang.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "demo/demo_collection.h"
#include "demo/tone_encoder.h"
#include "support/collection_file_text.h"
#include "tool_process.h"

namespace orvela::testing {
namespace {

// A collection file of `rows` generated title records.
std::string CollectionBytes(std::size_t rows) {
  std::string bytes = kCollectionFileHead;
  for (std::size_t i = 0; i < rows; ++i) {
    const std::string n = std::to_string(i);
    bytes += "<ROW Interpret=\"Interpret " + n + " mit einem l\xE4ngeren Namen\" Titel=\"Titel Nummer " + n +
             " aus der Sammlung\" Pfad=\"/musik/" + n + ".mp3\" Genre=\"Rock\" Jahr=\"1980\" Dauer=\"03:20\"/>";
  }
  bytes += kCollectionFileTail;
  return bytes;
}

bool ToolBuilt() { return std::filesystem::exists(ToolPath()); }

TEST(ToolFailures, OutputThatCannotBeWrittenFailsTheRun) {
  if (!ToolBuilt()) GTEST_SKIP() << "orvela-jukebox-tool is not built";
  ScratchFolder folder;
  std::string error;
  const std::string mp3 =
      demo::EncodeAudioBytes(demo::Format::Mp3, demo::SynthesizeTone(440.0, 1.5), {}, &error);
  ASSERT_FALSE(mp3.empty()) << error;
  const std::string file = folder.File("tone.mp3");
  WriteFileBytes(file, mp3);
  WriteFileBytes(folder.File("Musikliste.xml"), CollectionBytes(3));
  WriteFileBytes(folder.File("liste.m3u"), "tone.mp3\n");
  // The demo keeps the titles it finds, so it only reads these instead of encoding.
  const auto demoFolder = folder.Path() / "demo";
  std::filesystem::create_directories(demoFolder / "Demo");
  for (std::size_t i = 0; i < demo::DemoTracks().size(); ++i) {
    WriteFileBytes(demoFolder / "Demo" / demo::DemoFileName(i), mp3);
  }

  const std::vector<std::vector<std::string>> commands = {
      {"list", folder.Path().string()},
      {"list", folder.Path().string(), "--mode", "titel", "--search", "Titel Nummer 2"},
      {"info", file},
      {"info", file, folder.File("missing.mp3")},
      {"play", file, "--seconds", "0"},
      {"playlist", folder.File("liste.m3u")},
      {"play", folder.File("liste.m3u"), "--seconds", "0"},
      {"demo", demoFolder.string()},
  };
  for (const auto& args : commands) {
    SCOPED_TRACE(args[0] + " " + args[1]);
    const ToolRun written = RunTool(args);
    EXPECT_TRUE(written.exited && written.status == 0) << written.How() << written.err;
    EXPECT_FALSE(written.out.empty());

    ToolRunOptions options;
    options.stdoutPath = "/dev/full";
    const ToolRun lost = RunTool(args, options);
    EXPECT_TRUE(lost.exited && lost.status == 1) << lost.How();
    EXPECT_NE(lost.err.find(args[0] + ": cannot write the output"), std::string::npos) << lost.err;
  }
}

TEST(ToolFailures, RunningOutOfMemoryIsAMessageAndStatusOne) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than any limit allows";
#endif
  if (!ToolBuilt()) GTEST_SKIP() << "orvela-jukebox-tool is not built";
  ScratchFolder folder;
  const auto small = folder.Path() / "small";
  const auto large = folder.Path() / "large";
  std::filesystem::create_directories(small);
  std::filesystem::create_directories(large);
  // Enough to start and to list a small collection; the large collection's
  // bytes alone exceed it, whatever the libraries take.
  constexpr rlim_t kLimit = 64u << 20;
  WriteFileBytes(small / "Musikliste.xml", CollectionBytes(10));
  WriteFileBytes(large / "Musikliste.xml", CollectionBytes(450000));
  ASSERT_GT(std::filesystem::file_size(large / "Musikliste.xml"), kLimit);

  ToolRunOptions options;
  options.addressSpaceLimit = kLimit;
  const ToolRun fits = RunTool({"list", small.string()}, options);
  ASSERT_TRUE(fits.exited && fits.status == 0) << fits.How() << fits.err;
  EXPECT_EQ(std::count(fits.out.begin(), fits.out.end(), '\n'), 10);

  const ToolRun starved = RunTool({"list", large.string()}, options);
  EXPECT_TRUE(starved.exited && starved.status == 1) << starved.How() << starved.err;
  EXPECT_TRUE(starved.out.empty());
  ASSERT_FALSE(starved.err.empty());
  EXPECT_EQ(starved.err.rfind("list: ", 0), 0u) << starved.err;
  EXPECT_EQ(std::count(starved.err.begin(), starved.err.end(), '\n'), 1) << starved.err;
}

TEST(ToolFailures, ANamedPipeIsNotWaitedFor) {
  if (!ToolBuilt()) GTEST_SKIP() << "orvela-jukebox-tool is not built";
  ScratchFolder folder;
  ASSERT_EQ(::mkfifo(folder.File("Musikliste.xml").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(folder.File("pipe.mp3").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(folder.File("pipe.wma").c_str(), 0600), 0);

  const ToolRun list = RunTool({"list", folder.Path().string()});
  EXPECT_TRUE(list.exited && list.status == 1) << list.How();
  EXPECT_NE(list.err.find("is not a file"), std::string::npos) << list.err;

  // Like any file that cannot be read: the defaults, and the run goes on.
  const ToolRun info = RunTool({"info", folder.File("pipe.mp3"), folder.File("pipe.wma")});
  EXPECT_TRUE(info.exited && info.status == 0) << info.How();
  EXPECT_EQ(info.out, folder.File("pipe.mp3") + "\tTitel ist unbekannt\tpipe.mp3\t0000\tn.vorhanden\t0\n" +
                          folder.File("pipe.wma") + "\tTitel ist unbekannt\tpipe.wma\t0000\tn.vorhanden\t0\n");
}

}  // namespace
}  // namespace orvela::testing
