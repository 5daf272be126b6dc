#pragma once

#include <string>
#include <string_view>

namespace sonmill {

// How a field's value is held where a format gives it a type of its own.
enum class TagKind {
    Text,
    Number, // TRACKNUMBER, DISCNUMBER: the first half of ID3's "n/total" and MP4's pair
    Total, // TRACKTOTAL, DISCTOTAL: the second half
    Integer, // BPM: MP4's tmpo holds a number
    Flag, // COMPILATION: MP4's cpil holds a truth value, ID3 "1"
};

// What a field says about the audio it came with. Values that describe the old audio are
// wrong for audio that was changed.
enum class TagRole {
    Plain,
    Loudness, // ReplayGain and its like: wrong once the volume or the range changes
    Encoding, // the encoder and its settings, gapless data: wrong once the audio is re-encoded
};

// One field and its name in each format. Every format's reading and writing goes through
// this one table, so a field carried from any format to any other keeps its meaning.
struct TagMapping
{
    std::string_view vorbis; // the canonical name: the Vorbis comment field
    // ID3v2.4: a frame id, "TXXX:<description>", "COMM", "USLT" or "UFID:<owner>".
    std::string_view id3;
    // MP4: an atom (Latin-1, "\251nam" for ©nam) or "----:com.apple.iTunes:<name>".
    std::string_view mp4;
    std::string_view info; // the RIFF INFO id (WAV); empty when INFO has no place for it
    TagKind kind = TagKind::Text;
};

namespace TagMap {

inline constexpr std::string_view kFreeformPrefix = "----:com.apple.iTunes:";
inline constexpr std::string_view kUserTextPrefix = "TXXX:";

// The canonical name of a field named by a Vorbis comment, an APE item, a TagLib property
// or a user: upper case, with the usual other spellings ("ALBUM ARTIST", "YEAR",
// "ORGANIZATION") brought to the one this table uses.
std::string canonicalKey(std::string_view name);

// The row of a canonical name, nullptr for a field the table does not know (a custom field:
// TXXX, freeform atom or a same-name comment).
const TagMapping *byVorbis(std::string_view canonical);
// The row of an ID3 frame ("TPE1", "TXXX:MusicBrainz Album Id", "UFID:http://musicbrainz.org"),
// descriptions compared without regard to case.
const TagMapping *byId3(std::string_view id);
// The row of an MP4 atom or freeform name, freeform names compared without regard to case.
const TagMapping *byMp4(std::string_view atom);
const TagMapping *byInfo(std::string_view id);

TagRole roleOf(std::string_view canonical);

// ID3v2 text frames that describe the old file rather than the music (its length, the
// time it was tagged): never carried over.
bool isId3FrameLeftOut(std::string_view id);

// The number of rows, and the row at an index (for checks of the table itself).
std::size_t size();
const TagMapping &at(std::size_t index);

} // namespace TagMap
} // namespace sonmill

namespace sonmill::TagMap {

// The picture's MIME type by its first bytes (JPEG, PNG, GIF, BMP, WebP); empty for others.
std::string_view mimeOfPicture(std::string_view bytes);

} // namespace sonmill::TagMap
