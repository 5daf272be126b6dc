#include "sonmill/tags/tagmap.h"

#include <algorithm>
#include <array>

namespace sonmill::TagMap {
namespace {

using K = TagKind;

// Names as the formats' common taggers write them, so other players find them: ID3v2.4
// frames, iTunes atoms and the freeform names MusicBrainz Picard uses.
constexpr std::array kTable = {
    TagMapping { "TITLE", "TIT2", "\251nam", "INAM" },
    TagMapping { "ARTIST", "TPE1", "\251ART", "IART" },
    TagMapping { "ALBUM", "TALB", "\251alb", "IPRD" },
    TagMapping { "ALBUMARTIST", "TPE2", "aART", {} },
    TagMapping { "TRACKNUMBER", "TRCK", "trkn", "ITRK", K::Number },
    TagMapping { "TRACKTOTAL", "TRCK", "trkn", {}, K::Total },
    TagMapping { "DISCNUMBER", "TPOS", "disk", {}, K::Number },
    TagMapping { "DISCTOTAL", "TPOS", "disk", {}, K::Total },
    TagMapping { "DATE", "TDRC", "\251day", "ICRD" },
    TagMapping { "ORIGINALDATE", "TDOR", "----:com.apple.iTunes:ORIGINALDATE", {} },
    TagMapping { "GENRE", "TCON", "\251gen", "IGNR" },
    TagMapping { "COMMENT", "COMM", "\251cmt", "ICMT" },
    TagMapping { "COMPOSER", "TCOM", "\251wrt", {} },
    TagMapping { "CONDUCTOR", "TPE3", "----:com.apple.iTunes:CONDUCTOR", {} },
    TagMapping { "LYRICIST", "TEXT", "----:com.apple.iTunes:LYRICIST", {} },
    TagMapping { "LYRICS", "USLT", "\251lyr", {} },
    TagMapping { "LABEL", "TPUB", "----:com.apple.iTunes:LABEL", {} },
    TagMapping { "COPYRIGHT", "TCOP", "cprt", "ICOP" },
    TagMapping { "ISRC", "TSRC", "----:com.apple.iTunes:ISRC", {} },
    TagMapping { "BARCODE", "TXXX:BARCODE", "----:com.apple.iTunes:BARCODE", {} },
    TagMapping { "CATALOGNUMBER", "TXXX:CATALOGNUMBER", "----:com.apple.iTunes:CATALOGNUMBER", {} },
    TagMapping { "BPM", "TBPM", "tmpo", {}, K::Integer },
    TagMapping { "COMPILATION", "TCMP", "cpil", {}, K::Flag },
    TagMapping { "GROUPING", "TIT1", "\251grp", {} },
    TagMapping { "MOOD", "TMOO", "----:com.apple.iTunes:MOOD", {} },
    TagMapping { "SUBTITLE", "TIT3", "----:com.apple.iTunes:SUBTITLE", {} },
    TagMapping { "DISCSUBTITLE", "TSST", "----:com.apple.iTunes:DISCSUBTITLE", {} },
    TagMapping { "REMIXER", "TPE4", "----:com.apple.iTunes:REMIXER", {} },
    TagMapping { "ORIGINALARTIST", "TOPE", "----:com.apple.iTunes:ORIGINALARTIST", {} },
    TagMapping { "ORIGINALALBUM", "TOAL", "----:com.apple.iTunes:ORIGINALALBUM", {} },
    TagMapping { "ORIGINALLYRICIST", "TOLY", "----:com.apple.iTunes:ORIGINALLYRICIST", {} },
    TagMapping { "INITIALKEY", "TKEY", "----:com.apple.iTunes:INITIALKEY", {} },
    TagMapping { "LANGUAGE", "TLAN", "----:com.apple.iTunes:LANGUAGE", {} },
    TagMapping { "MEDIA", "TMED", "----:com.apple.iTunes:MEDIA", {} },
    TagMapping { "ENCODEDBY", "TENC", "----:com.apple.iTunes:ENCODEDBY", {} },
    TagMapping { "TITLESORT", "TSOT", "sonm", {} },
    TagMapping { "ARTISTSORT", "TSOP", "soar", {} },
    TagMapping { "ALBUMSORT", "TSOA", "soal", {} },
    TagMapping { "ALBUMARTISTSORT", "TSO2", "soaa", {} },
    TagMapping { "COMPOSERSORT", "TSOC", "soco", {} },
    TagMapping {
        "MUSICBRAINZ_TRACKID", "UFID:http://musicbrainz.org", "----:com.apple.iTunes:MusicBrainz Track Id", {} },
    TagMapping { "MUSICBRAINZ_RELEASETRACKID", "TXXX:MusicBrainz Release Track Id",
        "----:com.apple.iTunes:MusicBrainz Release Track Id", {} },
    TagMapping { "MUSICBRAINZ_ALBUMID", "TXXX:MusicBrainz Album Id", "----:com.apple.iTunes:MusicBrainz Album Id", {} },
    TagMapping {
        "MUSICBRAINZ_ARTISTID", "TXXX:MusicBrainz Artist Id", "----:com.apple.iTunes:MusicBrainz Artist Id", {} },
    TagMapping { "MUSICBRAINZ_ALBUMARTISTID", "TXXX:MusicBrainz Album Artist Id",
        "----:com.apple.iTunes:MusicBrainz Album Artist Id", {} },
    TagMapping { "MUSICBRAINZ_RELEASEGROUPID", "TXXX:MusicBrainz Release Group Id",
        "----:com.apple.iTunes:MusicBrainz Release Group Id", {} },
    TagMapping { "MUSICBRAINZ_WORKID", "TXXX:MusicBrainz Work Id", "----:com.apple.iTunes:MusicBrainz Work Id", {} },
    TagMapping { "MUSICBRAINZ_ALBUMSTATUS", "TXXX:MusicBrainz Album Status",
        "----:com.apple.iTunes:MusicBrainz Album Status", {} },
    TagMapping {
        "MUSICBRAINZ_ALBUMTYPE", "TXXX:MusicBrainz Album Type", "----:com.apple.iTunes:MusicBrainz Album Type", {} },
    TagMapping { "RELEASECOUNTRY", "TXXX:MusicBrainz Album Release Country",
        "----:com.apple.iTunes:MusicBrainz Album Release Country", {} },
    TagMapping { "ACOUSTID_ID", "TXXX:Acoustid Id", "----:com.apple.iTunes:Acoustid Id", {} },
    TagMapping {
        "ACOUSTID_FINGERPRINT", "TXXX:Acoustid Fingerprint", "----:com.apple.iTunes:Acoustid Fingerprint", {} },
    TagMapping {
        "REPLAYGAIN_TRACK_GAIN", "TXXX:REPLAYGAIN_TRACK_GAIN", "----:com.apple.iTunes:replaygain_track_gain", {} },
    TagMapping {
        "REPLAYGAIN_TRACK_PEAK", "TXXX:REPLAYGAIN_TRACK_PEAK", "----:com.apple.iTunes:replaygain_track_peak", {} },
    TagMapping {
        "REPLAYGAIN_ALBUM_GAIN", "TXXX:REPLAYGAIN_ALBUM_GAIN", "----:com.apple.iTunes:replaygain_album_gain", {} },
    TagMapping {
        "REPLAYGAIN_ALBUM_PEAK", "TXXX:REPLAYGAIN_ALBUM_PEAK", "----:com.apple.iTunes:replaygain_album_peak", {} },
    TagMapping { "REPLAYGAIN_REFERENCE_LOUDNESS", "TXXX:REPLAYGAIN_REFERENCE_LOUDNESS",
        "----:com.apple.iTunes:replaygain_reference_loudness", {} },
    TagMapping { "ENCODER", "TSSE", "\251too", "ISFT" },
};

// Other spellings met in files and from taggers, and the canonical name they stand for.
struct Alias
{
    std::string_view name;
    std::string_view canonical;
};
constexpr std::array kAliases = {
    Alias { "ALBUM ARTIST", "ALBUMARTIST" },
    Alias { "ALBUM_ARTIST", "ALBUMARTIST" },
    Alias { "YEAR", "DATE" },
    Alias { "TRACK", "TRACKNUMBER" },
    Alias { "TOTALTRACKS", "TRACKTOTAL" },
    Alias { "DISC", "DISCNUMBER" },
    Alias { "TOTALDISCS", "DISCTOTAL" },
    Alias { "UNSYNCEDLYRICS", "LYRICS" },
    Alias { "UNSYNCED LYRICS", "LYRICS" },
    Alias { "ORGANIZATION", "LABEL" },
    Alias { "PUBLISHER", "LABEL" },
    Alias { "EAN/UPC", "BARCODE" },
    Alias { "UPC", "BARCODE" },
    Alias { "ENCODING", "ENCODER" },
    Alias { "ORIGINALYEAR", "ORIGINALDATE" },
    Alias { "ORIGINAL YEAR", "ORIGINALDATE" },
};

constexpr std::array<std::string_view, 7> kLoudnessKeys = { "REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK",
    "REPLAYGAIN_ALBUM_GAIN", "REPLAYGAIN_ALBUM_PEAK", "R128_TRACK_GAIN", "R128_ALBUM_GAIN", "ITUNNORM" };
// REPLAYGAIN_REFERENCE_LOUDNESS goes with them: it only explains their numbers.
constexpr std::string_view kReferenceLoudness = "REPLAYGAIN_REFERENCE_LOUDNESS";
constexpr std::array<std::string_view, 6> kEncodingKeys
    = { "ENCODER", "ENCODERSETTINGS", "ENCODER_OPTIONS", "ENCODING PARAMS", "ITUNSMPB", "ITUNPGAP" };

constexpr std::array<std::string_view, 6> kLeftOutFrames = { "TLEN", "TDEN", "TDTG", "TFLT", "TSIZ", "TDLY" };

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool sameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return upper(x) == upper(y); });
}

// Descriptions and freeform names after a prefix are compared without regard to case;
// frame ids and atoms are exact.
bool sameName(std::string_view a, std::string_view b, std::string_view prefix)
{
    if (a.substr(0, prefix.size()) == prefix && b.substr(0, prefix.size()) == prefix)
        return sameText(a.substr(prefix.size()), b.substr(prefix.size()));
    return a == b;
}

} // namespace

std::string canonicalKey(std::string_view name)
{
    std::string key(name);
    std::transform(key.begin(), key.end(), key.begin(), upper);
    for (const Alias &alias : kAliases)
        if (key == alias.name)
            return std::string(alias.canonical);
    return key;
}

const TagMapping *byVorbis(std::string_view canonical)
{
    for (const TagMapping &row : kTable)
        if (row.vorbis == canonical)
            return &row;
    return nullptr;
}

const TagMapping *byId3(std::string_view id)
{
    for (const TagMapping &row : kTable)
        if (!row.id3.empty() && sameName(row.id3, id, kUserTextPrefix) && row.kind != TagKind::Total)
            return &row;
    return nullptr;
}

const TagMapping *byMp4(std::string_view atom)
{
    for (const TagMapping &row : kTable)
        if (!row.mp4.empty() && sameName(row.mp4, atom, kFreeformPrefix) && row.kind != TagKind::Total)
            return &row;
    return nullptr;
}

const TagMapping *byInfo(std::string_view id)
{
    for (const TagMapping &row : kTable)
        if (!row.info.empty() && row.info == id)
            return &row;
    return nullptr;
}

TagRole roleOf(std::string_view canonical)
{
    if (canonical == kReferenceLoudness
        || std::find(kLoudnessKeys.begin(), kLoudnessKeys.end(), canonical) != kLoudnessKeys.end())
        return TagRole::Loudness;
    if (std::find(kEncodingKeys.begin(), kEncodingKeys.end(), canonical) != kEncodingKeys.end())
        return TagRole::Encoding;
    return TagRole::Plain;
}

bool isId3FrameLeftOut(std::string_view id)
{
    return std::find(kLeftOutFrames.begin(), kLeftOutFrames.end(), id) != kLeftOutFrames.end();
}

std::size_t size()
{
    return kTable.size();
}

const TagMapping &at(std::size_t index)
{
    return kTable.at(index);
}

} // namespace sonmill::TagMap

namespace sonmill::TagMap {

std::string_view mimeOfPicture(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xFF\xD8\xFF")
        return "image/jpeg";
    if (bytes.substr(0, 8) == "\x89PNG\r\n\x1A\n")
        return "image/png";
    if (bytes.substr(0, 4) == "GIF8")
        return "image/gif";
    if (bytes.substr(0, 2) == "BM")
        return "image/bmp";
    if (bytes.size() >= 12 && bytes.substr(0, 4) == "RIFF" && bytes.substr(8, 4) == "WEBP")
        return "image/webp";
    return {};
}

} // namespace sonmill::TagMap
