#pragma once
// The commands that play or encode live in orvela-jukebox-tool-audio, beside
// the tool, so that the commands that only read files never load FFmpeg and
// SDL. Both executables list them with the same usage text.

namespace orvela::tool {

inline constexpr char kAudioToolName[] = "orvela-jukebox-tool-audio";

inline constexpr char kDemoUsage[] =
    "demo FOLDER      write demo titles into FOLDER/Demo and add them to FOLDER/Musikliste.xml";
inline constexpr char kPlayUsage[] = "play FILE [--seconds N]";

}  // namespace orvela::tool
