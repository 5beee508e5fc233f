// Start-up of the player: version check, the file-dialog filter and the
// extension list, the open flags chosen by extension.
#include "support/manual_output.h"
#include "player_rig.h"

namespace orvela::testing {
namespace {

const char kInitialAll[] = "*.mp3;*.ogg;*.wav;*.mp1;*.mp2;*.aiff;*.mo3;*.it;*.xm;*.s3m;*.mtm;*.mod;*.umx";
const char kStandard[] =
    "|Standard Formate (*.mp3;*.mp2;*.mp1;*.ogg;*.wav;*.aif)|*.mp3;*.mp2;*.mp1;*.ogg;*.wav*;*.aif";

TEST(PlayerSetup, ConstructedWithTheInitialExtensions) {
  audio::AudioLayer layer(std::make_unique<audio::ManualOutput>());
  TTiluPlayer player(layer, nullptr);
  EXPECT_EQ(player.Extensions, (std::vector<std::string>{".mp3", ".ogg", ".wav", ".mp1", ".mp2", ".aiff",
                                                         ".mo3", ".it", ".xm", ".s3m", ".mtm", ".mod",
                                                         ".umx"}));
  EXPECT_EQ(player.Channel, 0u);
  EXPECT_EQ(player.SideChannels.CurrentVolume, 0.0f);
  EXPECT_EQ(player.GetTitle(), player.CurrentFile->GetTitle());
}

TEST(PlayerSetup, FilterListsAllFormatsThenStandardThenEachPluginFormat) {
  audio::AudioLayer layer(std::make_unique<audio::ManualOutput>());
  TTiluPlayer player(layer, nullptr);
  player.LoadPlugins("/opt/jukebox");

  std::string all = kInitialAll;
  std::string perFormat;
  std::vector<std::string> pluginExtensions;
  for (const audio::PluginInfo& plugin : audio::AudioLayer::Plugins()) {
    for (const audio::PluginFormat& format : plugin.formats) {
      perFormat += "|" + format.name + " (" + format.extensions + ")|" + format.extensions;
      std::string pattern;
      for (char ch : format.extensions + ";") {
        if (ch != ';') {
          if (ch != '*') pattern += ch;
          continue;
        }
        if (!pattern.empty()) {
          all += ";*" + pattern;
          pluginExtensions.push_back(pattern);
        }
        pattern.clear();
      }
    }
  }
  EXPECT_EQ(player.FileFilter, "Alle unterst\xFCtzten Formate|" + all + kStandard + perFormat);
  ASSERT_EQ(player.Extensions.size(), 13 + pluginExtensions.size());
  EXPECT_TRUE(std::equal(pluginExtensions.begin(), pluginExtensions.end(), player.Extensions.begin() + 13));

  // The program is delivered with WMA support: its format follows the standard entry.
  if (audio::AudioLayer::HasWmaPlugin()) {
    EXPECT_TRUE(player.HasExtension(".wma"));
    EXPECT_NE(player.FileFilter.find(";*.umx;*.wma|Standard Formate ("), std::string::npos);
    EXPECT_NE(player.FileFilter.find(";*.aif|"), std::string::npos);
    EXPECT_EQ(player.FileFilter.substr(player.FileFilter.size() - 7), ")|*.wma");
  }
}

TEST(PlayerSetup, ExtensionsCompareWithoutCase) {
  audio::AudioLayer layer(std::make_unique<audio::ManualOutput>());
  TTiluPlayer player(layer, nullptr);
  struct Case {
    const char* extension;
    bool known;
  } const cases[] = {{".mp3", true}, {".MP3", true}, {".Xm", true}, {".flac", false}, {"mp3", false}, {"", false}};
  for (const Case& c : cases) EXPECT_EQ(player.HasExtension(c.extension), c.known) << c.extension;
}

TEST(PlayerSetup, OpenFlagsFollowTheLowerCasedExtension) {
  struct Case {
    const char* path;
    std::uint32_t flags;
  } const cases[] = {
      {"/music/a.mp3", audio::kFlagPrescan}, {"/music/A.MP3", audio::kFlagPrescan},
      {"/music/a.Mp2", audio::kFlagPrescan}, {"a.mp1", audio::kFlagPrescan},
      {"/music/a.ogg", 0},                   {"/music/a.wma", 0},
      {"/music/a.mp3.wav", 0},               {"/music.mp3/track", 0},
      {"C:\\music.mp3\\track", 0},           {"/music/mp3", 0},
      {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(TTiluPlayer::StreamFlagsFor(c.path), c.flags) << c.path;
}

TEST(PlayerSetup, AnotherVersionIsReportedInAnErrorBox) {
  ScriptedDialogs dialogs;
  TTiluPlayer::CheckVersion(dialogs, 0x02040000);
  EXPECT_TRUE(dialogs.shown.empty());
  TTiluPlayer::CheckVersion(dialogs, 0x02030000);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].kind, ScriptedDialogs::Kind::Error);
  EXPECT_NE(dialogs.shown[0].text.find("2.3"), std::string::npos);
}

TEST(PlayerSetup, OnlyVersion24IsAccepted) {
  struct Case {
    std::uint32_t version;
    bool supported;
  } const cases[] = {{0x02040000, true}, {0x0204110F, true}, {0x02030000, false},
                     {0x02050000, false}, {0x03040000, false}, {0, false}};
  for (const Case& c : cases) EXPECT_EQ(TTiluPlayer::IsSupportedVersion(c.version), c.supported) << c.version;
  EXPECT_TRUE(TTiluPlayer::IsSupportedVersion(audio::AudioLayer::GetVersion()));
}

TEST(PlayerSetup, InitAudioOpensTheOutputWithoutComplaint) {
  auto output = std::make_unique<audio::ManualOutput>();
  audio::ManualOutput* manual = output.get();
  audio::AudioLayer layer(std::move(output));
  TTiluPlayer player(layer, nullptr);
  ScriptedDialogs dialogs;
  player.InitAudio(dialogs);
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(manual->rate(), 44100);
}

}  // namespace
}  // namespace orvela::testing
