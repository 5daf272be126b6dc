// The tag module's writing side: the canonical fields mapped to each output format's own
// names through the one mapping table (tagmap.h).

#include "sonmill/base/modules.h"
#include "sonmill/base/outputformat.h"
#include "sonmill/tags/tagfields.h"
#include "sonmill/tags/taglibcommon.h"
#include "sonmill/tags/tagmap.h"

#include <taglib/aifffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/uniquefileidentifierframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <vector>

namespace sonmill {
namespace {

using TagLibText::latin1;
using TagLibText::utf8;

// Where a format holds one value only, several are joined with this.
constexpr const char *kJoiner = "; ";
// A FLAC metadata block's length has 24 bits; Ogg's picture field holds such a block too.
constexpr std::size_t kMaxFlacPictureBlock = (1u << 24) - 1;

// An ID3v2 tag's size field holds 28 bits (synchsafe), as does a frame's in ID3v2.4; room is
// kept for the header, footer and the padding the tag library adds.
constexpr std::size_t kMaxId3v2TagBytes = (std::size_t(1) << 28) - (std::size_t(2) << 20);

using Fields = std::map<std::string, std::vector<std::string>>;

Fields fieldsOf(const TagFields &tags)
{
    Fields fields;
    for (std::size_t i = 0; i < tags.textCount; ++i)
        fields[tags.texts[i].key].push_back(tags.texts[i].value);
    return fields;
}

std::vector<const TagPictureData *> picturesOf(const TagFields &tags)
{
    std::vector<const TagPictureData *> pictures;
    for (std::size_t i = 0; i < tags.pictureCount; ++i)
        pictures.push_back(&tags.pictures[i]);
    return pictures;
}

TagLib::ByteVector bytesOf(const TagPictureData &picture)
{
    return TagLib::ByteVector(reinterpret_cast<const char *>(picture.data), static_cast<unsigned>(picture.size));
}

TagLib::StringList listOf(const std::vector<std::string> &values)
{
    TagLib::StringList list;
    for (const std::string &value : values)
        list.append(utf8(value));
    return list;
}

std::string joined(const std::vector<std::string> &values)
{
    std::string text;
    for (const std::string &value : values)
        text += (text.empty() ? "" : kJoiner) + value;
    return text;
}

std::string firstOf(const Fields &fields, const std::string &key)
{
    const auto found = fields.find(key);
    return found == fields.end() || found->second.empty() ? std::string() : found->second.front();
}

int numberOf(const std::string &text)
{
    return static_cast<int>(std::lround(std::strtod(text.c_str(), nullptr)));
}

// TRACKNUMBER/TRACKTOTAL and DISCNUMBER/DISCTOTAL: the key of the number's row.
std::string numberKeyOf(const TagMapping &row)
{
    if (row.kind != TagKind::Total)
        return std::string(row.vorbis);
    return std::string(row.vorbis.substr(0, row.vorbis.size() - std::string_view("TOTAL").size())) + "NUMBER";
}

std::string totalKeyOf(const std::string &numberKey)
{
    return numberKey.substr(0, numberKey.size() - std::string_view("NUMBER").size()) + "TOTAL";
}

// ---- Vorbis comments (Ogg, FLAC) ------------------------------------------------------

TagLib::FLAC::Picture *flacPicture(const TagPictureData &data)
{
    auto *picture = new TagLib::FLAC::Picture;
    picture->setType(static_cast<TagLib::FLAC::Picture::Type>(data.type));
    picture->setMimeType(utf8(std::string(data.mime)));
    picture->setDescription(utf8(std::string(data.description)));
    picture->setData(bytesOf(data));
    return picture;
}

bool fitsFlacBlock(const TagPictureData &picture)
{
    return picture.size + std::strlen(picture.mime) + std::strlen(picture.description) + 32 <= kMaxFlacPictureBlock;
}

// The pictures a FLAC picture block can hold; the others are left out, said in the log.
std::vector<const TagPictureData *> fittingFlacBlocks(const std::vector<const TagPictureData *> &pictures)
{
    std::vector<const TagPictureData *> fitting;
    for (const TagPictureData *picture : pictures) {
        if (fitsFlacBlock(*picture))
            fitting.push_back(picture);
        else
            TagLibText::note("Tags: a picture larger than a FLAC metadata block (16 MiB) is left out\n");
    }
    return fitting;
}

void fillXiph(TagLib::Ogg::XiphComment &xiph, const Fields &fields)
{
    xiph.removeAllFields();
    for (const auto &[key, values] : fields)
        for (const std::string &value : values)
            xiph.addField(utf8(key), utf8(value), false);
}

// Ogg Vorbis and Opus: the comments, pictures as METADATA_BLOCK_PICTURE fields.
bool saveXiph(TagLib::File &file, TagLib::Ogg::XiphComment &xiph, const Fields &fields,
    const std::vector<const TagPictureData *> &pictures)
{
    fillXiph(xiph, fields);
    xiph.removeAllPictures();
    for (const TagPictureData *picture : fittingFlacBlocks(pictures))
        xiph.addPicture(flacPicture(*picture));
    return file.save();
}

// ---- ID3v2.4 (MP3, MP2, ADTS, WAV, AIFF) ----------------------------------------------

void addTextFrame(TagLib::ID3v2::Tag &tag, const std::string &id, const TagLib::StringList &values)
{
    auto *frame = new TagLib::ID3v2::TextIdentificationFrame(TagLib::ByteVector(id.c_str()), TagLib::String::UTF8);
    frame->setText(values);
    tag.addFrame(frame);
}

void addUserText(TagLib::ID3v2::Tag &tag, const std::string &description, const std::vector<std::string> &values)
{
    tag.addFrame(new TagLib::ID3v2::UserTextIdentificationFrame(utf8(description), listOf(values)));
}

// Frames past what an ID3v2 tag can hold are left out, the largest first (pictures, as a rule),
// rather than writing a tag whose size field wraps and that no reader can find the end of.
void fitId3v2(TagLib::ID3v2::Tag &tag)
{
    std::vector<std::pair<std::size_t, TagLib::ID3v2::Frame *>> frames;
    std::size_t total = 0;
    for (TagLib::ID3v2::Frame *frame : tag.frameList()) {
        frames.emplace_back(frame->render().size(), frame);
        total += frames.back().first;
    }
    std::sort(frames.begin(), frames.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    for (const auto &[size, frame] : frames) {
        if (total <= kMaxId3v2TagBytes)
            break;
        total -= size;
        tag.removeFrame(frame);
        TagLibText::note("Tags: a tag frame too large for the output format is left out\n");
    }
}

void fillId3v2(TagLib::ID3v2::Tag &tag, const Fields &fields, const std::vector<const TagPictureData *> &pictures)
{
    using namespace TagLib::ID3v2;
    // By id, never through a copy of the frame list: the copy shares the list's owning data,
    // and once the tag detaches from it the copy would delete the removed frames a second time
    // (a file that had frames already, as when -retag writes over an output's tags).
    std::vector<TagLib::ByteVector> ids;
    for (const auto &[id, frames] : tag.frameListMap())
        ids.push_back(id);
    for (const TagLib::ByteVector &id : ids)
        tag.removeFrames(id);

    std::set<std::string> pairsDone;
    for (const auto &[key, values] : fields) {
        const TagMapping *row = TagMap::byVorbis(key);
        if (!row || row->id3.empty()) {
            addUserText(tag, key, values);
            continue;
        }
        const std::string id(row->id3);
        if (row->kind == TagKind::Number || row->kind == TagKind::Total) {
            // "n/total"; a total without a number has no place.
            const std::string numberKey = numberKeyOf(*row);
            if (!pairsDone.insert(numberKey).second)
                continue;
            const std::string number = firstOf(fields, numberKey);
            const std::string total = firstOf(fields, totalKeyOf(numberKey));
            if (!number.empty())
                addTextFrame(tag, id, TagLib::StringList(utf8(total.empty() ? number : number + "/" + total)));
        } else if (id.rfind(TagMap::kUserTextPrefix, 0) == 0) {
            addUserText(tag, id.substr(TagMap::kUserTextPrefix.size()), values);
        } else if (id == "COMM") {
            auto *frame = new CommentsFrame(TagLib::String::UTF8);
            frame->setLanguage("eng");
            frame->setText(utf8(joined(values)));
            tag.addFrame(frame);
        } else if (id == "USLT") {
            auto *frame = new UnsynchronizedLyricsFrame(TagLib::String::UTF8);
            frame->setLanguage("eng");
            frame->setText(utf8(joined(values)));
            tag.addFrame(frame);
        } else if (id.rfind("UFID:", 0) == 0) {
            const std::string &value = values.front();
            tag.addFrame(new UniqueFileIdentifierFrame(
                utf8(id.substr(5)), TagLib::ByteVector(value.data(), static_cast<unsigned>(value.size()))));
        } else if (row->kind == TagKind::Flag) {
            addTextFrame(tag, id, TagLib::StringList(numberOf(values.front()) != 0 ? "1" : "0"));
        } else {
            addTextFrame(tag, id, listOf(values));
        }
    }

    // ID3 allows one picture per description: a repeated one gets a number after it.
    std::set<std::string> descriptions;
    for (const TagPictureData *data : pictures) {
        std::string description = data->description;
        for (int n = 2; !descriptions.insert(description).second; ++n)
            description = std::string(data->description) + " (" + std::to_string(n) + ")";
        auto *frame = new AttachedPictureFrame;
        frame->setTextEncoding(TagLib::String::UTF8);
        frame->setType(static_cast<AttachedPictureFrame::Type>(data->type));
        frame->setMimeType(TagLib::String(data->mime));
        frame->setDescription(utf8(description));
        frame->setPicture(bytesOf(*data));
        tag.addFrame(frame);
    }
    fitId3v2(tag);
}

// WAV's INFO list holds one value per field, Latin-1 or UTF-8 as the reader guesses.
void fillInfo(TagLib::RIFF::Info::Tag &info, const Fields &fields)
{
    for (const auto &[key, values] : fields) {
        const TagMapping *row = TagMap::byVorbis(key);
        if (row && !row->info.empty() && row->kind != TagKind::Total)
            info.setFieldText(TagLib::ByteVector(std::string(row->info).c_str()), utf8(joined(values)));
    }
}

// ADTS streams are not a file type the tag library opens, but readers take an ID3v2 tag
// in front of them as they do for MP3: render one and put it before the audio.
bool prependId3v2(const std::string &path, const Fields &fields, const std::vector<const TagPictureData *> &pictures)
{
    TagLib::ID3v2::Tag tag;
    fillId3v2(tag, fields, pictures);
    const TagLib::ByteVector rendered = tag.render();

    const std::string combined = path + ".tag";
    {
        std::ifstream in(path, std::ios::binary);
        std::ofstream out(combined, std::ios::binary | std::ios::trunc);
        if (!in || !out)
            return false;
        out.write(rendered.data(), static_cast<std::streamsize>(rendered.size()));
        out << in.rdbuf();
        if (!out.flush()) {
            std::remove(combined.c_str());
            return false;
        }
    }
    if (std::rename(combined.c_str(), path.c_str()) != 0) {
        std::remove(combined.c_str());
        return false;
    }
    return true;
}

// Readers find the audio where the ID3v2 tag's size field says the tag ends: an MPEG frame
// must begin there.
bool id3EndsAtAudio(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char header[10] = {};
    if (!in.read(reinterpret_cast<char *>(header), 10) || std::memcmp(header, "ID3", 3) != 0)
        return true;
    const std::uint64_t end = 10
        + ((std::uint64_t(header[6] & 0x7f) << 21) | (std::uint64_t(header[7] & 0x7f) << 14)
            | (std::uint64_t(header[8] & 0x7f) << 7) | std::uint64_t(header[9] & 0x7f))
        + ((header[5] & 0x10) ? 10 : 0);
    unsigned char sync[2] = {};
    in.seekg(static_cast<std::streamoff>(end));
    return in.read(reinterpret_cast<char *>(sync), 2) && sync[0] == 0xff && (sync[1] & 0xe0) == 0xe0;
}

// A tag that readers would not find the end of is taken out again: the audio stays readable.
bool stripId3v2(const char *path)
{
    TagLibText::note("Tags: the tag could not be written so that readers find its end and is left out\n");
    TagLib::MPEG::File file(path, false);
    return file.isValid() && file.strip(TagLib::MPEG::File::ID3v2) && id3EndsAtAudio(path);
}

// ---- MP4 atoms ------------------------------------------------------------------------

void fillMp4(TagLib::MP4::Tag &tag, const Fields &fields, const std::vector<const TagPictureData *> &pictures)
{
    using TagLib::MP4::Item;
    const TagLib::MP4::ItemMap existing = tag.itemMap();
    for (const auto &[name, item] : existing)
        tag.removeItem(name);
    for (const auto &[key, values] : fields) {
        const TagMapping *row = TagMap::byVorbis(key);
        if (!row || row->mp4.empty()) {
            tag.setItem(utf8(std::string(TagMap::kFreeformPrefix) + key), Item(listOf(values)));
            continue;
        }
        const TagLib::String atom = latin1(row->mp4);
        switch (row->kind) {
        case TagKind::Number:
        case TagKind::Total: {
            const std::string numberKey = numberKeyOf(*row);
            const std::string number = firstOf(fields, numberKey);
            tag.setItem(atom, Item(numberOf(number), numberOf(firstOf(fields, totalKeyOf(numberKey)))));
            break;
        }
        case TagKind::Integer:
            tag.setItem(atom, Item(numberOf(values.front())));
            break;
        case TagKind::Flag:
            tag.setItem(atom, Item(numberOf(values.front()) != 0));
            break;
        case TagKind::Text:
            tag.setItem(atom, Item(listOf(values)));
            break;
        }
    }
    // MP4 keeps JPEG, PNG, GIF and BMP pictures, without type or description; the front
    // cover goes first, where players look.
    TagLib::MP4::CoverArtList covers;
    for (int pass = 0; pass < 2; ++pass) {
        for (const TagPictureData *data : pictures) {
            if ((data->type == 3) != (pass == 0))
                continue;
            const std::string_view mime = data->mime;
            TagLib::MP4::CoverArt::Format format = TagLib::MP4::CoverArt::Unknown;
            if (mime == "image/jpeg" || mime == "image/jpg")
                format = TagLib::MP4::CoverArt::JPEG;
            else if (mime == "image/png")
                format = TagLib::MP4::CoverArt::PNG;
            else if (mime == "image/gif")
                format = TagLib::MP4::CoverArt::GIF;
            else if (mime == "image/bmp")
                format = TagLib::MP4::CoverArt::BMP;
            else
                continue;
            covers.append(TagLib::MP4::CoverArt(format, bytesOf(*data)));
        }
    }
    if (!covers.isEmpty())
        tag.setItem("covr", Item(covers));
}

} // namespace

SONMILL_MODULE_EXPORT bool sonmill_write_tags(const char *path, Container container, const TagFields *tags)
{
    const Fields fields = fieldsOf(*tags);
    const std::vector<const TagPictureData *> pictures = picturesOf(*tags);
    switch (container) {
    case Container::Mp3:
    case Container::Mp2: {
        TagLib::MPEG::File file(path, false);
        if (!file.isValid())
            return false;
        fillId3v2(*file.ID3v2Tag(true), fields, pictures);
        if (!file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4))
            return false;
        return id3EndsAtAudio(path) || stripId3v2(path);
    }
    case Container::Adts:
        return prependId3v2(path, fields, pictures);
    case Container::Ogg: {
        TagLib::Ogg::Vorbis::File file(path, false);
        return file.isValid() && saveXiph(file, *file.tag(), fields, pictures);
    }
    case Container::Opus: {
        TagLib::Ogg::Opus::File file(path, false);
        return file.isValid() && saveXiph(file, *file.tag(), fields, pictures);
    }
    case Container::Flac: {
        TagLib::FLAC::File file(path, false);
        if (!file.isValid())
            return false;
        fillXiph(*file.xiphComment(true), fields);
        file.removePictures();
        for (const TagPictureData *picture : fittingFlacBlocks(pictures))
            file.addPicture(flacPicture(*picture));
        return file.save();
    }
    case Container::Mp4: {
        TagLib::MP4::File file(path, false);
        if (!file.isValid())
            return false;
        fillMp4(*file.tag(), fields, pictures);
        return file.save();
    }
    case Container::Wav: {
        TagLib::RIFF::WAV::File file(path, false);
        if (!file.isValid())
            return false;
        fillId3v2(*file.ID3v2Tag(), fields, pictures);
        fillInfo(*file.InfoTag(), fields);
        return file.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripOthers, TagLib::ID3v2::v4);
    }
    case Container::Aiff: {
        TagLib::RIFF::AIFF::File file(path, false);
        if (!file.isValid())
            return false;
        fillId3v2(*file.tag(), fields, pictures);
        return file.save(TagLib::ID3v2::v4);
    }
    case Container::Au:
    case Container::Ac3:
        return true;
    }
    return true;
}

} // namespace sonmill
