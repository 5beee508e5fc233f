// orvela-jukebox-tool answers info and list without loading the audio
// libraries and carries play, playlist and demo over to orvela-jukebox-tool-audio.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tool_process.h"

namespace orvela::testing {
namespace {

bool Built() {
  return std::filesystem::exists(ToolPath()) && std::filesystem::exists(ProgramFile("orvela-jukebox-tool-audio"));
}

// The dynamic loader's own list of what an executable loads, as ldd shows it.
std::string LoadedLibraries(const std::string& executable) {
  ToolRunOptions options;
  options.executable = ProgramFile(executable);
  options.extraEnvironment = {"LD_TRACE_LOADED_OBJECTS=1"};
  const ToolRun run = RunTool({}, options);
  EXPECT_TRUE(run.exited && run.status == 0) << run.How() << run.err;
  return run.out;
}

TEST(ToolSplit, OnlyTheAudioToolLoadsTheAudioLibraries) {
  if (!Built()) GTEST_SKIP() << "the tool is not built";
  const std::string light = LoadedLibraries("orvela-jukebox-tool");
  const std::string audio = LoadedLibraries("orvela-jukebox-tool-audio");
  EXPECT_NE(light.find("libicuuc"), std::string::npos) << light;
  for (const char* library : {"libavformat", "libavcodec", "libavutil", "libswresample", "libSDL2", "libfftw3f"}) {
    SCOPED_TRACE(library);
    EXPECT_EQ(light.find(library), std::string::npos) << light;
  }
  EXPECT_NE(audio.find("libavformat"), std::string::npos) << audio;
  EXPECT_NE(audio.find("libSDL2"), std::string::npos) << audio;
}

TEST(ToolSplit, UsageNamesEveryCommand) {
  if (!Built()) GTEST_SKIP() << "the tool is not built";
  const ToolRun run = RunTool({});
  EXPECT_TRUE(run.exited && run.status == 2) << run.How();
  for (const char* usage : {"\n  demo FOLDER ", "\n  info FILE...", "\n  list FOLDER ", "\n  play FILE [--seconds N]\n",
                            "\n  playlist FILE [--save OUT]\n"}) {
    EXPECT_NE(run.err.find(usage), std::string::npos) << usage << " in\n" << run.err;
  }
}

TEST(ToolSplit, AudioCommandsAnswerFromTheAudioTool) {
  if (!Built()) GTEST_SKIP() << "the tool is not built";
  // Their own usage errors come from the audio tool's commands, with their status.
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"play"}, "usage: orvela-jukebox-tool play FILE [--seconds N]\n"},
      {{"play", "a.mp3", "b.mp3"}, "usage: orvela-jukebox-tool play FILE [--seconds N]\n"},
      {{"play", "a.mp3", "--seconds", "x"}, "play: --seconds needs a number of seconds\n"},
      {{"demo"}, "usage: orvela-jukebox-tool demo FOLDER\n"},
      {{"playlist"}, "usage: orvela-jukebox-tool playlist FILE [--save OUT]\n"},
      {{"playlist", "a.m3u", "b.m3u"}, "usage: orvela-jukebox-tool playlist FILE [--save OUT]\n"},
      {{"playlist", "a.m3u", "--save"}, "usage: orvela-jukebox-tool playlist FILE [--save OUT]\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    const ToolRun run = RunTool(c.args);
    EXPECT_TRUE(run.exited && run.status == 2) << run.How();
    EXPECT_EQ(run.err, c.message);
  }
}

TEST(ToolSplit, AMissingAudioToolIsReported) {
  if (!Built()) GTEST_SKIP() << "the tool is not built";
  ScratchFolder folder;
  const auto lone = folder.Path() / "orvela-jukebox-tool";
  std::filesystem::copy_file(ToolPath(), lone);
  ToolRunOptions options;
  options.executable = lone;
  for (const char* command : {"play", "playlist", "demo"}) {
    SCOPED_TRACE(command);
    const ToolRun run = RunTool({command, folder.File("x")}, options);
    EXPECT_TRUE(run.exited && run.status == 1) << run.How();
    EXPECT_NE(run.err.find("cannot start " + (folder.Path() / "orvela-jukebox-tool-audio").string()),
              std::string::npos)
        << run.err;
  }
  // The reading commands need nothing beside the tool.
  const ToolRun info = RunTool({"info", folder.File("x.mp3")}, options);
  EXPECT_TRUE(info.exited && info.status == 0) << info.How() << info.err;
}

}  // namespace
}  // namespace orvela::testing
