#pragma once
// How playlist and play reach the queue's M3U files from a command line. The
// queue reads and writes only files it recognises by their extension and stays
// silent about any other; the tool says so instead, because a script that gets
// nothing and status 0 cannot tell a wrong name from an empty playlist.
#include <string>

#include "queue/tilu_playlist.h"

namespace orvela::tool {

// False for a name that exists and is no regular file (a named pipe, a device,
// a folder). The readers would only find it unreadable; the tool names the
// reason instead. A missing file is left to the reader, which reports it in
// its own words.
bool IsPlainFileOrMissing(const std::string& nativePath);

// Whether the queue takes this command-line path for a playlist (".m3u", case aside).
bool IsM3UName(const std::string& nativePath);

// The code-page form of a playlist path given on the command line, made
// absolute against the working folder. A playlist's entries are stored relative
// to its own folder; the file dialogs of the program always give absolute
// paths, and so must the tool, or a playlist read from one relative folder and
// saved into another would point its entries at the wrong files.
std::string PlaylistPath(const std::string& nativePath);

// Appends the playlist's entries to the queue as the settings menu does.
// Reasons go to standard error as "command: reason"; the answer is false then.
// Entries read before a reading error stay in the queue.
bool LoadPlaylistFile(const char* command, TTiluPlaylist& queue, const std::string& nativePath);

}  // namespace orvela::tool
