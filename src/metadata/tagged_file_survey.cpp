#include "metadata/tagged_file_survey.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "metadata/mp4_box_tree.h"

namespace orvela {
namespace {

std::string_view AsChars(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::uint32_t LittleEndian32(std::string_view b) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[3])) << 24;
}

void AppendLittleEndian32(std::string& out, std::uint64_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Bytes that lie in runs of the file (a packet spread over pages), read in
// chunks so that walking a comment's field headers costs few reads.
class TRunBytes {
 public:
  TRunBytes(TTagSource& source, std::vector<std::pair<std::uint64_t, std::uint64_t>> runs)
      : source_(source), runs_(std::move(runs)) {
    for (const auto& run : runs_) size_ += run.second;
  }
  std::uint64_t Size() const { return size_; }

  // `count` bytes from `at`; false when the runs (or the file) end before.
  bool Read(std::uint64_t at, std::uint64_t count, std::string* out) {
    out->clear();
    if (at > size_ || count > size_ - at) return false;
    std::uint64_t runStart = 0;
    for (const auto& [offset, length] : runs_) {
      if (out->size() == count) break;
      const std::uint64_t pos = at + out->size();
      if (pos < runStart + length) {
        const std::uint64_t take = std::min(count - out->size(), runStart + length - pos);
        if (!Copy(offset + (pos - runStart), take, out)) return false;
      }
      runStart += length;
    }
    return out->size() == count;
  }

 private:
  static constexpr std::uint64_t kChunk = 64 * 1024;

  bool Copy(std::uint64_t fileOffset, std::uint64_t count, std::string* out) {
    while (count > 0) {
      const std::uint64_t chunkStart = fileOffset - fileOffset % kChunk;
      if (chunkStart != chunkStart_ || chunk_.empty()) {
        chunk_.clear();
        const auto got = source_.ReadAt(chunkStart, kChunk, storage_);
        chunk_.assign(AsChars(got));
        chunkStart_ = chunkStart;
      }
      const std::uint64_t in = fileOffset - chunkStart;
      if (in >= chunk_.size()) return false;
      const std::uint64_t take = std::min<std::uint64_t>(count, chunk_.size() - in);
      out->append(chunk_, static_cast<std::size_t>(in), static_cast<std::size_t>(take));
      fileOffset += take;
      count -= take;
    }
    return true;
  }

  TTagSource& source_;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> runs_;
  std::uint64_t size_ = 0;
  std::vector<std::uint8_t> storage_;
  std::string chunk_;
  std::uint64_t chunkStart_ = 0;
};

// The body of a Vorbis comment (vendor, count, fields) with only the fields a
// reader may sensibly hold: each up to kMaxKeptFieldBytes, at most
// kMaxKeptFields of them, the fields looked at bounded as well. `at`: where
// the body begins in `bytes`.
std::string SlimComment(TRunBytes& bytes, std::uint64_t at) {
  constexpr std::size_t kMaxFieldsLookedAt = 100'000;
  std::string word;
  std::string vendor;
  std::vector<std::string> kept;
  if (bytes.Read(at, 4, &word)) {
    const std::uint32_t vendorLength = LittleEndian32(word);
    at += 4;
    if (vendorLength <= kMaxKeptFieldBytes && bytes.Read(at, vendorLength, &vendor)) {
      // kept
    } else {
      vendor.clear();
    }
    at += vendorLength;
    if (bytes.Read(at, 4, &word)) {
      const std::uint32_t count = LittleEndian32(word);
      at += 4;
      for (std::size_t i = 0; i < count && i < kMaxFieldsLookedAt && kept.size() < kMaxKeptFields; ++i) {
        if (!bytes.Read(at, 4, &word)) break;
        const std::uint32_t length = LittleEndian32(word);
        at += 4;
        std::string field;
        if (length <= kMaxKeptFieldBytes) {
          if (!bytes.Read(at, length, &field)) break;
          kept.push_back(std::move(field));
        }
        at += length;
      }
    }
  }
  std::string body;
  AppendLittleEndian32(body, vendor.size());
  body += vendor;
  AppendLittleEndian32(body, kept.size());
  for (const std::string& field : kept) {
    AppendLittleEndian32(body, field.size());
    body += field;
  }
  return body;
}

// ---- FLAC ------------------------------------------------------------------

constexpr std::uint8_t kStreamInfo = 0;
constexpr std::uint8_t kPadding = 1;
constexpr std::uint8_t kVorbisComment = 4;
constexpr std::size_t kMaxFlacBlocks = 1024;
// The fewest bytes a FLAC frame takes: a six-byte header, one channel's
// constant subframe (a header byte and a sample of at least four bits), the
// two-byte checksum.
constexpr std::uint64_t kMinFlacFrameBytes = 10;

struct FlacBlock {
  std::uint8_t type;
  std::uint64_t bodyOffset;
  std::uint64_t length;
};

std::string FlacBlockHeader(std::uint8_t type, bool last, std::uint64_t length) {
  return {static_cast<char>(type | (last ? 0x80 : 0)), static_cast<char>((length >> 16) & 0xFF),
          static_cast<char>((length >> 8) & 0xFF), static_cast<char>(length & 0xFF)};
}

// The longest a stream can play that its audio bytes can hold at all.
std::int64_t LongestFlacPlay(std::string_view streamInfo, std::uint64_t audioBytes) {
  const std::uint64_t rate = (static_cast<std::uint64_t>(static_cast<unsigned char>(streamInfo[10])) << 12) |
                             (static_cast<std::uint64_t>(static_cast<unsigned char>(streamInfo[11])) << 4) |
                             (static_cast<unsigned char>(streamInfo[12]) >> 4);
  std::uint64_t maxBlock = (static_cast<std::uint64_t>(static_cast<unsigned char>(streamInfo[2])) << 8) |
                           static_cast<unsigned char>(streamInfo[3]);
  if (rate == 0) return -1;
  if (maxBlock < 16) maxBlock = 65535;
  const std::uint64_t frames = audioBytes / kMinFlacFrameBytes + 1;
  const long double samples = static_cast<long double>(frames) * static_cast<long double>(maxBlock);
  return static_cast<std::int64_t>(std::min<long double>(samples * 1000.0L / rate, 9.0e18L));
}

}  // namespace

TTaggedFileSurvey SurveyFlac(TTagSource& source) {
  TTaggedFileSurvey survey;
  const std::uint64_t fileSize = source.Size();
  std::vector<std::uint8_t> storage;

  // TagLib reads an ID3v2 tag at the very start whole, then looks for "fLaC"
  // behind it.
  std::uint64_t tagEnd = 0;
  const auto head = source.ReadAt(0, 10, storage);
  if (head.size() == 10 && AsChars(head).substr(0, 3) == "ID3") {
    tagEnd = 10 + ((std::uint64_t{head[6]} & 0x7F) << 21 | (std::uint64_t{head[7]} & 0x7F) << 14 |
                   (std::uint64_t{head[8]} & 0x7F) << 7 | (head[9] & 0x7F));
    if ((head[5] & 0x10) != 0) tagEnd += 10;
  }
  const auto window = source.ReadAt(tagEnd, kMaxFlacMarkerSearch + 3, storage);
  const std::size_t found = AsChars(window).find("fLaC");
  if (found == std::string_view::npos) {
    survey.readable = false;
    return survey;
  }
  const std::uint64_t marker = tagEnd + found;

  std::vector<FlacBlock> blocks;
  std::uint64_t position = marker + 4;
  std::uint64_t metadataBytes = 0;
  std::string streamInfo;
  for (bool last = false; !last;) {
    const auto header = source.ReadAt(position, 4, storage);
    // Cut or damaged: TagLib finds out for itself, and reads no further either.
    if (header.size() < 4) return survey;
    if (blocks.size() == kMaxFlacBlocks) {
      survey.readable = false;
      return survey;
    }
    const std::uint8_t type = header[0] & 0x7F;
    last = (header[0] & 0x80) != 0;
    const std::uint64_t length = std::uint64_t{header[1]} << 16 | std::uint64_t{header[2]} << 8 | header[3];
    if (position + 4 + length > fileSize) return survey;
    if (blocks.empty() && type == kStreamInfo && length >= 34) {
      streamInfo.assign(AsChars(source.ReadAt(position + 4, 34, storage)));
    }
    blocks.push_back({type, position + 4, length});
    if (type != kPadding) metadataBytes += length;
    position += 4 + length;
  }
  const std::uint64_t audioStart = position;
  if (streamInfo.size() == 34) survey.maxMilliseconds = LongestFlacPlay(streamInfo, fileSize - audioStart);

  const bool tagTooLarge = tagEnd > kMaxTagBytesAsTheyAre;
  const bool tooMuchMetadata = metadataBytes > kMaxFlacMetadataBytes;
  const bool commentTooLarge = std::any_of(blocks.begin(), blocks.end(), [](const FlacBlock& b) {
    return b.type == kVorbisComment && b.length > kMaxTagBytesAsTheyAre;
  });
  if (!tagTooLarge && !tooMuchMetadata && !commentTooLarge) return survey;

  // TagLib is shown the tag (when it is of sensible size), the marker, the
  // blocks kept (a large comment slimmed) with the last one flagged as last,
  // and the audio.
  std::vector<TStreamPiece> pieces;
  pieces.push_back(tagTooLarge ? TStreamPiece::Made("fLaC") : TStreamPiece::File(0, marker + 4));
  std::vector<std::pair<std::uint8_t, std::vector<TStreamPiece>>> kept;
  for (const FlacBlock& block : blocks) {
    const bool keep = block.type != kPadding &&
                      (!tooMuchMetadata || block.type == kStreamInfo || block.type == kVorbisComment);
    if (!keep) continue;
    if (block.type == kVorbisComment && block.length > kMaxTagBytesAsTheyAre) {
      TRunBytes bytes(source, {{block.bodyOffset, block.length}});
      kept.push_back({block.type, {TStreamPiece::Made(SlimComment(bytes, 0))}});
    } else {
      kept.push_back({block.type, {TStreamPiece::File(block.bodyOffset, block.length)}});
    }
  }
  for (std::size_t i = 0; i < kept.size(); ++i) {
    TStreamPiece& body = kept[i].second.front();
    pieces.push_back(TStreamPiece::Made(FlacBlockHeader(kept[i].first, i + 1 == kept.size(), body.length)));
    pieces.push_back(std::move(body));
  }
  pieces.push_back(TStreamPiece::File(audioStart, fileSize - audioStart));
  survey.pieces = std::move(pieces);
  return survey;
}

// ---- Ogg -------------------------------------------------------------------

namespace {

constexpr std::uint64_t kMaxOggPage = 27 + 255 + 255 * 255;
// Pages walked to the end of the comment packet: 50 MB of comment spread
// over the largest pages; anything beyond is given up.
constexpr std::size_t kMaxHeaderPages = 1000;

std::uint32_t OggChecksum(std::string_view bytes) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i << 24;
      for (int k = 0; k < 8; ++k) c = (c & 0x80000000u) != 0 ? (c << 1) ^ 0x04C11DB7u : c << 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0;
  for (const char ch : bytes) crc = (crc << 8) ^ table[((crc >> 24) ^ static_cast<unsigned char>(ch)) & 0xFF];
  return crc;
}

// One packet laid on pages of its own, numbered from `sequence`.
std::string PagesOf(std::string_view packet, std::string_view serial, std::uint32_t sequence) {
  std::vector<std::uint8_t> lacing(packet.size() / 255, 255);
  lacing.push_back(static_cast<std::uint8_t>(packet.size() % 255));
  std::string out;
  std::size_t segment = 0;
  std::size_t at = 0;
  for (bool first = true; segment < lacing.size(); first = false, ++sequence) {
    const std::size_t count = std::min<std::size_t>(255, lacing.size() - segment);
    std::string page = "OggS";
    page.push_back('\0');
    page.push_back(first ? '\0' : '\x01');
    page.append(8, '\0');  // granule position 0: no audio ends here
    page.append(serial);
    std::string number;
    AppendLittleEndian32(number, sequence);
    page += number;
    page.append(4, '\0');
    page.push_back(static_cast<char>(count));
    std::size_t bodyLength = 0;
    for (std::size_t i = 0; i < count; ++i) {
      page.push_back(static_cast<char>(lacing[segment + i]));
      bodyLength += lacing[segment + i];
    }
    page.append(packet.substr(at, bodyLength));
    std::string checksum;
    AppendLittleEndian32(checksum, OggChecksum(page));
    page.replace(22, 4, checksum);
    out += page;
    segment += count;
    at += bodyLength;
  }
  return out;
}

}  // namespace

TTaggedFileSurvey SurveyOgg(TTagSource& source, TOggCodec codec) {
  TTaggedFileSurvey survey;
  const std::uint64_t fileSize = source.Size();
  std::vector<std::uint8_t> storage;
  // TagLib starts at the first "OggS"; the format checks before it looked for
  // it in the first kilobyte.
  const std::size_t first = AsChars(source.ReadAt(0, 1024, storage)).find("OggS");
  if (first == std::string_view::npos) return survey;

  // The pages up to the end of the second packet, the comment.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> commentRuns;
  std::uint64_t position = first;
  std::uint64_t firstPageEnd = 0;
  bool firstPageHoldsOnePacket = false;
  std::size_t packet = 0;
  std::string serial;
  for (std::size_t pageCount = 0; packet < 2; ++pageCount) {
    if (pageCount == kMaxHeaderPages) {
      survey.readable = false;
      return survey;
    }
    std::string header(AsChars(source.ReadAt(position, 27, storage)));
    if (header.size() < 27 || header.compare(0, 4, "OggS") != 0) return survey;  // TagLib finds it damaged
    const std::size_t segments = static_cast<unsigned char>(header[26]);
    const std::string lacing(AsChars(source.ReadAt(position + 27, segments, storage)));
    if (lacing.size() < segments) return survey;
    if (pageCount == 0) serial = header.substr(14, 4);
    std::uint64_t at = position + 27 + segments;
    std::size_t packetsEnded = 0;
    for (const char value : lacing) {
      const auto length = static_cast<unsigned char>(value);
      if (packet == 1 && length > 0) commentRuns.emplace_back(at, length);
      at += length;
      if (length < 255) {
        ++packet;
        ++packetsEnded;
      }
    }
    if (pageCount == 0) {
      firstPageEnd = at;
      firstPageHoldsOnePacket = packetsEnded == 1 && !lacing.empty() && static_cast<unsigned char>(lacing.back()) < 255;
    }
    position = at;
  }
  const std::uint64_t headersEnd = position;
  if (headersEnd > fileSize) return survey;  // cut short: TagLib finds it damaged
  std::uint64_t commentSize = 0;
  for (const auto& run : commentRuns) commentSize += run.second;

  // TagLib times the file by its last page, which it searches for backwards
  // from the end: within the last page's greatest size, or not at all.
  std::optional<std::uint64_t> lastPage;
  if (fileSize > headersEnd) {
    const std::uint64_t tailStart = std::max(headersEnd, fileSize > kMaxOggPage ? fileSize - kMaxOggPage : 0);
    const std::size_t found = AsChars(source.ReadAt(tailStart, fileSize - tailStart, storage)).rfind("OggS");
    if (found != std::string_view::npos) lastPage = tailStart + found;
  }
  const bool endIsSound = lastPage.has_value() || fileSize - headersEnd <= kMaxOggPage;
  const bool commentTooLarge = commentSize > kMaxTagBytesAsTheyAre;
  if (endIsSound && !commentTooLarge) return survey;

  if (!commentTooLarge) {
    // The headers alone: tags without a playing time.
    survey.pieces.push_back(TStreamPiece::File(0, headersEnd));
    return survey;
  }
  // The comment is rebuilt from its fields of sensible size on pages of its
  // own, behind the first page (the codec's header) and before the last.
  if (codec == TOggCodec::kFlac || !firstPageHoldsOnePacket) {
    survey.readable = false;
    return survey;
  }
  const std::string_view prefix = codec == TOggCodec::kVorbis ? std::string_view("\x03vorbis", 7) : "OpusTags";
  TRunBytes bytes(source, commentRuns);
  std::string opening;
  if (!bytes.Read(0, prefix.size(), &opening) || opening != prefix) return survey;  // TagLib finds it damaged
  std::string slim = std::string(prefix) + SlimComment(bytes, prefix.size());
  if (codec == TOggCodec::kVorbis) slim.push_back('\x01');  // the framing bit
  survey.pieces.push_back(TStreamPiece::File(0, firstPageEnd));
  survey.pieces.push_back(TStreamPiece::Made(PagesOf(slim, serial, 1)));
  if (lastPage) survey.pieces.push_back(TStreamPiece::File(*lastPage, fileSize - *lastPage));
  return survey;
}

bool FitsReadBounds(const std::string& path) {
  constexpr std::uint64_t kMaxId3Bytes = std::uint64_t{4} << 20;
  try {
    TTagSource source = TTagSource::OpenFile(path);
    if (!source.IsOpen()) return true;
    std::vector<std::uint8_t> storage;
    const std::string head(AsChars(source.ReadAt(0, 1024, storage)));
    if (head.size() >= 10 && head.compare(0, 3, "ID3") == 0) {
      const auto b = [&head](std::size_t i) { return static_cast<std::uint64_t>(static_cast<unsigned char>(head[i]) & 0x7F); };
      if ((b(6) << 21 | b(7) << 14 | b(8) << 7 | b(9)) > kMaxId3Bytes) return false;
    }
    const auto passes = [](const TTaggedFileSurvey& survey) { return survey.readable && survey.pieces.empty(); };
    if (head.find("fLaC") != std::string::npos && !passes(SurveyFlac(source))) return false;
    if (head.find("OggS") != std::string::npos) {
      const TOggCodec codec = head.find("OpusHead") != std::string::npos    ? TOggCodec::kOpus
                              : head.find("\x7F" "FLAC") != std::string::npos ? TOggCodec::kFlac
                                                                             : TOggCodec::kVorbis;
      if (!passes(SurveyOgg(source, codec))) return false;
    }
    return WalkMp4BoxTree(source) == TMp4BoxTree::kBounded;
  } catch (...) {
    return true;
  }
}

}  // namespace orvela
