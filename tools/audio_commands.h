#pragma once
// The commands that play, encode or build a queue (which is a player) live in
// orvela-jukebox-tool-audio, beside the tool, so that the commands that only
// read files never load FFmpeg and SDL. Both executables list them with the
// same usage text. `covers` lives there too: Qt's image readers it needs are
// as heavy to load as FFmpeg.

namespace orvela::tool {

inline constexpr char kAudioToolName[] = "orvela-jukebox-tool-audio";

inline constexpr char kDemoUsage[] =
    "demo FOLDER      write demo titles into FOLDER/Demo and add them to FOLDER/Musikliste.xml";
inline constexpr char kPlayUsage[] =
    "play FILE [--seconds N]\n"
    "                   play an audio file, or the titles of an M3U playlist one after another";
inline constexpr char kPlaylistUsage[] =
    "playlist FILE [--save OUT]\n"
    "                   the entries of an M3U playlist as the queue reads them; --save writes them to OUT";

inline constexpr char kLoudnessUsage[] =
    "loudness PROGRAM_FOLDER [--jobs N]\n"
    "                   measure the loudness of the collection's titles not measured yet (for levelling)";

inline constexpr char kCoversUsage[] =
    "covers PROGRAM_FOLDER [--jobs N]\n"
    "                   make the cover thumbnails of the collection's titles not in the cover cache yet";

}  // namespace orvela::tool
