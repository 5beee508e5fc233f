// playlist FILE [--save OUT]: the queue the settings menu would build from an
// M3U playlist, one line per entry: path, artist, title and whole seconds as
// the entry's record holds them (read from the file itself, not from the
// playlist's #EXTINF lines), separated by TABs and escaped as field_escape.h
// says. --save writes that queue out as the settings menu's "save" does.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "audio_commands.h"
#include "command.h"
#include "common/codepage.h"
#include "common/file_open.h"
#include "field_escape.h"
#include "playback/audio/audio_layer.h"
#include "playlist_file.h"
#include "queue/m3u_file.h"
#include "queue/tilu_playlist.h"

namespace orvela::tool {
namespace {

int Usage() {
  std::fprintf(stderr, "usage: orvela-jukebox-tool playlist FILE [--save OUT]\n");
  return 2;
}

int RunPlaylist(const std::vector<std::string>& args) {
  std::optional<std::string> file;
  std::optional<std::string> out;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--save" && i + 1 < args.size() && !out) {
      out = args[++i];
    } else if (!file && (args[i].empty() || args[i][0] != '-')) {
      file = args[i];
    } else {
      return Usage();
    }
  }
  if (!file) return Usage();
  // Refused before anything is read, so a mistyped name costs no work.
  if (out && !IsM3UName(*out)) {
    std::fprintf(stderr, "playlist: %s is not an M3U playlist\n", EscapeField(*out).c_str());
    return 1;
  }

  // The queue is a player; reading and writing its playlists opens no device,
  // so a null output serves where the program has its sound card.
  audio::AudioLayer layer(audio::MakeNullOutput());
  TTiluPlaylist queue(layer, [](std::function<void()>) {});
  const bool complete = LoadPlaylistFile("playlist", queue, *file);

  std::string line;
  for (const auto& item : queue.Items) {
    line.clear();
    // The name as it is on disk: a name in code-page bytes, or one with
    // characters the code page lacks, has another spelling in the record.
    AppendEscapedField(ResolveCodePagePath(item->FilePath), &line);
    for (const std::string* text : {&item->Artist, &item->Title}) {
      line += '\t';
      AppendEscapedField(Cp1252ToUtf8(*text), &line);
    }
    line += '\t';
    line += std::to_string(item->Duration);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    if (std::ferror(stdout)) break;  // main reports the lost output
  }
  if (!complete) {
    // A queue that lacks what the file holds (or all of it) would replace a
    // good playlist with a shorter one.
    if (out) std::fprintf(stderr, "playlist: %s not written\n", EscapeField(*out).c_str());
    return 1;
  }

  if (out) {
    try {
      queue.SavePlaylist(PlaylistPath(*out));
    } catch (const TPlaylistError& e) {
      const std::string message = EscapeField(Cp1252ToUtf8(e.what()));
      if (e.Reason().empty()) {
        std::fprintf(stderr, "playlist: %s\n", message.c_str());
      } else {
        std::fprintf(stderr, "playlist: %s (%s)\n", message.c_str(), EscapeField(e.Reason()).c_str());
      }
      return 1;
    }
  }
  return 0;
}

const CommandRegistration kPlaylist("playlist", kPlaylistUsage, RunPlaylist);

}  // namespace
}  // namespace orvela::tool
