#include "metadata/tagged_file.h"

#include <taglib/audioproperties.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/mp4file.h>
#include <taglib/oggflacfile.h>
#include <taglib/oggpageheader.h>
#include <taglib/opusfile.h>
#include <taglib/tdebuglistener.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <limits>
#include <string>
#include <type_traits>
#include <utility>

#include "common/codepage.h"
#include "common/file_name.h"
#include "common/file_open.h"
#include "metadata/audio_file.h"
#include "metadata/id3_genres.h"
#include "metadata/mp4_box_tree.h"
#include "metadata/tag_source.h"
#include "metadata/tagged_file_survey.h"
#include "metadata/taglib_file_stream.h"

namespace orvela {
namespace {

enum class Kind { kNone, kFlac, kOgg, kMp4 };

Kind KindOf(std::string_view lowerExtension) {
  if (lowerExtension == ".flac") return Kind::kFlac;
  if (lowerExtension == ".ogg" || lowerExtension == ".oga" || lowerExtension == ".opus") return Kind::kOgg;
  if (lowerExtension == ".m4a") return Kind::kMp4;
  return Kind::kNone;
}

// Every container of these formats states its length in its headers (FLAC's
// stream info, the last Ogg page's granule, the MP4 movie header), so nothing
// is gained by reading the audio data.
constexpr auto kReadStyle = TagLib::AudioProperties::Average;

// TagLib tells about damaged files on stderr in some builds; a damaged file is
// an ordinary answer here (the defaults), and the terminal tool's output must
// stay its own.
class QuietDebugListener : public TagLib::DebugListener {
 public:
  void printMessage(const TagLib::String&) override {}
};

void SilenceTagLib() {
  static QuietDebugListener listener;
  static const bool set = (TagLib::setDebugListener(&listener), true);
  (void)set;
}

// The tag border: UTF-8 or UTF-16 inside TagLib, code-page text from here on,
// trimmed as the ID3 readers trim.
std::string ToCodePage(const TagLib::String& text) { return Trim(Utf8ToCp1252(text.to8Bit(true))); }

std::string FirstValue(const TagLib::StringList& values) {
  for (const TagLib::String& value : values) {
    std::string text = ToCodePage(value);
    if (!text.empty()) return text;
  }
  return {};
}

struct Texts {
  std::string artist;
  std::string title;
  std::string year;
  std::string genre;

  // Fills what is still empty from a tag of lower rank.
  void Complete(const Texts& other) {
    for (auto [mine, theirs] : {std::pair{&artist, &other.artist}, std::pair{&title, &other.title},
                                std::pair{&year, &other.year}, std::pair{&genre, &other.genre}}) {
      if (mine->empty()) *mine = *theirs;
    }
  }
};

// A Vorbis comment may name a field more than once; the first value that says
// anything counts, rather than all of them run together.
Texts FromXiph(const TagLib::Ogg::XiphComment* comment) {
  Texts texts;
  if (comment == nullptr) return texts;
  const TagLib::Ogg::FieldListMap& fields = comment->fieldListMap();
  const auto first = [&fields](const char* name) {
    const auto found = fields.find(name);
    return found == fields.end() ? std::string() : FirstValue(found->second);
  };
  texts.artist = first("ARTIST");
  texts.title = first("TITLE");
  texts.year = YearOfDate(first("DATE"));
  if (texts.year.empty()) texts.year = YearOfDate(first("YEAR"));
  texts.genre = first("GENRE");
  return texts;
}

// TagLib turns a numeric "gnre" atom into the genre's name already.
Texts FromMp4(const TagLib::MP4::Tag* tag) {
  Texts texts;
  if (tag == nullptr) return texts;
  texts.artist = ToCodePage(tag->artist());
  texts.title = ToCodePage(tag->title());
  if (tag->contains("\251day")) texts.year = YearOfDate(FirstValue(tag->item("\251day").toStringList()));
  texts.genre = ToCodePage(tag->genre());
  return texts;
}

// Any other tag TagLib found (an ID3v2 or ID3v1 tag some rippers put into FLAC).
Texts FromTag(const TagLib::Tag* tag) {
  Texts texts;
  if (tag == nullptr) return texts;
  texts.artist = ToCodePage(tag->artist());
  texts.title = ToCodePage(tag->title());
  if (tag->year() > 0) texts.year = YearOfDate(std::to_string(tag->year()));
  texts.genre = ToCodePage(tag->genre());
  return texts;
}

struct Answer {
  Texts texts;
  int milliseconds = 0;
};

int LengthOf(const TagLib::AudioProperties* properties) {
  return properties != nullptr && properties->lengthInMilliseconds() > 0 ? properties->lengthInMilliseconds() : 0;
}

// FLAC in Ogg from a muxer that writes as it goes (FFmpeg's among them) keeps
// 0 as the stream info's sample count; the last page's granule position counts
// the samples all the same.
int OggFlacLength(TagLib::Ogg::FLAC::File& file) {
  const TagLib::AudioProperties* properties = file.audioProperties();
  const TagLib::Ogg::PageHeader* last = file.lastPageHeader();
  if (properties == nullptr || last == nullptr || properties->sampleRate() <= 0) return 0;
  const long long samples = last->absoluteGranularPosition();
  if (samples <= 0) return 0;
  const long long rate = properties->sampleRate();
  // In two steps: a damaged page may claim a granule near the 64-bit limit.
  const long long seconds = samples / rate;
  if (seconds > std::numeric_limits<int>::max() / 1000) return std::numeric_limits<int>::max();
  const long long milliseconds = seconds * 1000 + samples % rate * 1000 / rate;
  return milliseconds > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                        : static_cast<int>(milliseconds);
}

template <class File>
bool ReadXiphFile(TagLib::IOStream& stream, Answer* answer) {
  File file(&stream, true, kReadStyle);
  if (!file.isValid()) return false;
  answer->texts = FromXiph(file.tag());
  answer->milliseconds = LengthOf(file.audioProperties());
  if constexpr (std::is_same_v<File, TagLib::Ogg::FLAC::File>) {
    if (answer->milliseconds == 0) answer->milliseconds = OggFlacLength(file);
  }
  return true;
}

// Shows TagLib the file as the survey says; false when it is given up.
bool Apply(const TTaggedFileSurvey& survey, TTagLibFileStream& stream) {
  if (!survey.readable) return false;
  if (!survey.pieces.empty()) stream.ShowPieces(survey.pieces);
  return true;
}

template <class File>
bool ReadOggFile(TTagLibFileStream& stream, TTagSource& source, TOggCodec codec, Answer* answer) {
  return Apply(SurveyOgg(source, codec), stream) && ReadXiphFile<File>(stream, answer);
}

// False: not a file of this kind (or too damaged for TagLib to say anything).
// `source` holds the same bytes as `stream`, for a look before TagLib's.
bool ReadStream(Kind kind, TTagLibFileStream& stream, TTagSource& source, Answer* answer) {
  switch (kind) {
    case Kind::kFlac: {
      const TTaggedFileSurvey survey = SurveyFlac(source);
      if (!Apply(survey, stream)) return false;
      TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), true, kReadStyle);
      if (!file.isValid()) return false;
      answer->texts = FromXiph(file.hasXiphComment() ? file.xiphComment() : nullptr);
      answer->texts.Complete(FromTag(file.tag()));
      answer->milliseconds = LengthOf(file.audioProperties());
      // A length the file's size cannot hold is a damaged or forged count.
      if (survey.maxMilliseconds >= 0 && answer->milliseconds > survey.maxMilliseconds) answer->milliseconds = 0;
      return true;
    }
    case Kind::kOgg:
      // The extension names the container; what it carries is told by its first page.
      if (TagLib::Ogg::Vorbis::File::isSupported(&stream)) {
        return ReadOggFile<TagLib::Ogg::Vorbis::File>(stream, source, TOggCodec::kVorbis, answer);
      }
      if (TagLib::Ogg::Opus::File::isSupported(&stream)) {
        return ReadOggFile<TagLib::Ogg::Opus::File>(stream, source, TOggCodec::kOpus, answer);
      }
      if (TagLib::Ogg::FLAC::File::isSupported(&stream)) {
        return ReadOggFile<TagLib::Ogg::FLAC::File>(stream, source, TOggCodec::kFlac, answer);
      }
      return false;
    case Kind::kMp4: {
      if (WalkMp4BoxTree(source) != TMp4BoxTree::kBounded) return false;
      TagLib::MP4::File file(&stream, true, kReadStyle);
      if (!file.isValid()) return false;
      answer->texts = FromMp4(file.tag());
      answer->milliseconds = LengthOf(file.audioProperties());
      return true;
    }
    case Kind::kNone: break;
  }
  return false;
}

void Store(TAudioFile& record, const Answer& answer) {
  const Texts& t = answer.texts;
  // What an MP3 without the tag gives, field by field.
  record.Genre = t.genre.empty() ? std::string(ID3Genres::Name(0)) : t.genre;
  record.Year = t.year;
  record.Artist = t.artist;
  record.Title = t.title.empty() ? std::string(FileNamePart(record.FilePath)) : t.title;
  // Whole seconds, cut as the MPEG reader cuts them.
  record.Duration = answer.milliseconds / 1000;
}

void ReadFrom(TAudioFile& record, TTagLibFileStream& stream, TTagSource& source) {
  Answer answer;
  if (ReadStream(KindOf(AsciiLower(FileExtension(record.FilePath))), stream, source, &answer)) {
    Store(record, answer);
  } else {
    record.SetDefaults();
  }
}

}  // namespace

bool IsTaggedFileExtension(std::string_view lowerExtension) { return KindOf(lowerExtension) != Kind::kNone; }

void ReadTaggedFile(TAudioFile& record) {
  try {
    SilenceTagLib();
    // TagLib would open by name and wait on a pipe; it reads a descriptor of a
    // regular file instead, opened without waiting.
    const int fd = OpenRegularCodePageFile(record.FilePath);
    if (fd < 0) {
      record.SetDefaults();
      return;
    }
    TTagLibFileStream stream(fd);
    TTagSource source = TTagSource::FromDescriptor(fd);
    ReadFrom(record, stream, source);
  } catch (...) {
    record.SetDefaults();
  }
}

void ReadTaggedBuffer(TAudioFile& record, std::string_view bytes) {
  try {
    SilenceTagLib();
    if (bytes.size() > std::numeric_limits<unsigned int>::max()) {
      record.SetDefaults();
      return;
    }
    TTagLibFileStream stream(bytes);
    TTagSource source = TTagSource::FromMemory({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    ReadFrom(record, stream, source);
  } catch (...) {
    record.SetDefaults();
  }
}

std::string YearOfDate(std::string_view date) {
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  for (std::size_t i = 0; i < date.size();) {
    std::size_t end = i;
    while (end < date.size() && isDigit(date[end])) ++end;
    if (end - i >= 4) return std::string(date.substr(i, 4));
    i = end == i ? i + 1 : end;
  }
  return {};
}

}  // namespace orvela
