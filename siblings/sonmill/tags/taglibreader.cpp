// The tag module's reading side: every tag format of a source, brought to canonical names
// through the one mapping table (tagmap.h).

#include "sonmill/base/modules.h"
#include "sonmill/tags/id3bounds.h"
#include "sonmill/tags/tagfields.h"
#include "sonmill/tags/taglibcommon.h"
#include "sonmill/tags/tagmap.h"

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/speexfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/uniquefileidentifierframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <strings.h>

namespace sonmill {
namespace {

using TagLibText::utf8;

class Reader
{
public:
    explicit Reader(const TagSink &sink)
        : m_sink(sink)
    { }

    void text(const std::string &key, const std::string &value)
    {
        if (!key.empty() && !value.empty())
            m_sink.text(m_sink.context, key.c_str(), value.c_str());
    }
    void text(const std::string &key, const TagLib::String &value) { text(key, utf8(value)); }

    void picture(int type, const std::string &mime, const std::string &description, const TagLib::ByteVector &data)
    {
        if (data.isEmpty())
            return;
        const std::string_view bytes(data.data(), data.size());
        const std::string mimeType = mime.empty() ? std::string(TagMap::mimeOfPicture(bytes)) : mime;
        const TagPictureData picture { type, mimeType.c_str(), description.c_str(),
            reinterpret_cast<const unsigned char *>(data.data()), data.size() };
        m_sink.picture(m_sink.context, &picture);
    }

private:
    const TagSink &m_sink;
};

// Hands the frames the scan found too large to the tag library as encrypted ones, which it
// keeps as opaque bytes (never inflating them) and our reader does not take. The tag library
// asks this of every frame it meets, before it reads the frame's body.
class BoundedFrameFactory : public TagLib::ID3v2::FrameFactory
{
    // The frame header's class is the tag library's protected name: reached through the
    // hook's own type.
    template <typename Method> struct ArgumentOf;
    template <typename Class, typename Argument> struct ArgumentOf<bool (Class::*)(Argument) const>
    {
        using type = Argument;
    };
    using FrameHeader = ArgumentOf<decltype(&BoundedFrameFactory::updateFrame)>::type;

public:
    explicit BoundedFrameFactory(Id3Bounds::FrameKeys oversized)
        : m_oversized(std::move(oversized))
    { }

protected:
    bool updateFrame(FrameHeader header) const override
    {
        const TagLib::ByteVector id = header->frameID();
        if (header->compression() && id.size() == 4
            && m_oversized.count({ std::string(id.data(), id.size()), header->frameSize() }) > 0) {
            const unsigned version = header->version();
            TagLib::ByteVector rendered = header->render();
            if (rendered.size() == 10) {
                // Compression off, encryption on: the body is kept as it is stored.
                rendered[9] = version == 4 ? char((rendered[9] & ~0x09) | 0x04) : char((rendered[9] & ~0x80) | 0x40);
                header->setData(rendered, version);
                return false;
            }
        }
        return FrameFactory::updateFrame(header);
    }

private:
    Id3Bounds::FrameKeys m_oversized;
};

// A genre given as an ID3v1 number ("17", "(17)") by its name.
TagLib::String genreName(const TagLib::String &value)
{
    std::string text = value.to8Bit(true);
    if (text.size() > 2 && text.front() == '(' && text.back() == ')')
        text = text.substr(1, text.size() - 2);
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 3)
        return value;
    const TagLib::String name = TagLib::ID3v1::genre(std::atoi(text.c_str()));
    return name.isEmpty() ? value : name;
}

void readXiph(Reader &reader, TagLib::Ogg::XiphComment *xiph)
{
    if (!xiph)
        return;
    for (const auto &[name, values] : xiph->fieldListMap()) {
        const std::string key = TagMap::canonicalKey(utf8(name));
        // Pictures come through pictureList(); the old unstructured cover fields are left out.
        if (key == "METADATA_BLOCK_PICTURE" || key == "COVERART" || key == "COVERARTMIME")
            continue;
        for (const TagLib::String &value : values)
            reader.text(key, value);
    }
    for (const TagLib::FLAC::Picture *picture : xiph->pictureList())
        reader.picture(picture->type(), utf8(picture->mimeType()), utf8(picture->description()), picture->data());
}

void readId3v2(Reader &reader, TagLib::ID3v2::Tag *tag)
{
    if (!tag)
        return;
    using namespace TagLib::ID3v2;
    for (Frame *frame : tag->frameList()) {
        const std::string id(frame->frameID().data(), frame->frameID().size());
        if (auto *user = dynamic_cast<UserTextIdentificationFrame *>(frame)) {
            const std::string description = utf8(user->description());
            const TagMapping *row = TagMap::byId3(std::string(TagMap::kUserTextPrefix) + description);
            const std::string key = row ? std::string(row->vorbis) : TagMap::canonicalKey(description);
            const TagLib::StringList fields = user->fieldList();
            for (unsigned i = 1; i < fields.size(); ++i) // the first is the description
                reader.text(key, fields[i]);
        } else if (auto *text = dynamic_cast<TextIdentificationFrame *>(frame)) {
            const TagMapping *row = TagMap::byId3(id);
            if (!row || TagMap::isId3FrameLeftOut(id))
                continue;
            for (const TagLib::String &value : text->fieldList())
                reader.text(std::string(row->vorbis), id == "TCON" ? genreName(value) : value);
        } else if (auto *comment = dynamic_cast<CommentsFrame *>(frame)) {
            // A described comment is a field of its own (iTunes keeps its gapless data so).
            const std::string description = utf8(comment->description());
            reader.text(
                description.empty() ? std::string("COMMENT") : TagMap::canonicalKey(description), comment->text());
        } else if (auto *lyrics = dynamic_cast<UnsynchronizedLyricsFrame *>(frame)) {
            reader.text("LYRICS", lyrics->text());
        } else if (auto *identifier = dynamic_cast<UniqueFileIdentifierFrame *>(frame)) {
            const TagMapping *row = TagMap::byId3("UFID:" + utf8(identifier->owner()));
            const TagLib::ByteVector bytes = identifier->identifier();
            if (row)
                reader.text(std::string(row->vorbis), std::string(bytes.data(), bytes.size()));
        } else if (auto *picture = dynamic_cast<AttachedPictureFrame *>(frame)) {
            reader.picture(
                picture->type(), utf8(picture->mimeType()), utf8(picture->description()), picture->picture());
        }
    }
}

void readApe(Reader &reader, TagLib::APE::Tag *tag)
{
    if (!tag)
        return;
    for (const auto &[name, item] : tag->itemListMap()) {
        const std::string key = TagMap::canonicalKey(utf8(name));
        if (item.type() == TagLib::APE::Item::Binary) {
            // "Cover Art (Front)": a file name, a zero byte, then the picture.
            if (key.rfind("COVER ART", 0) != 0)
                continue;
            const TagLib::ByteVector data = item.binaryData();
            const int zero = data.find('\0');
            const TagLib::ByteVector bytes = zero >= 0 ? data.mid(static_cast<unsigned>(zero) + 1) : data;
            const int type = key == "COVER ART (FRONT)" ? 3 : (key == "COVER ART (BACK)" ? 4 : 0);
            reader.picture(type, {}, {}, bytes);
        } else if (item.type() == TagLib::APE::Item::Text) {
            for (const TagLib::String &value : item.values())
                reader.text(key, value);
        }
    }
}

void readMp4(Reader &reader, TagLib::MP4::Tag *tag)
{
    if (!tag)
        return;
    for (const auto &[name, item] : tag->itemMap()) {
        const std::string atom = name.to8Bit(false);
        if (atom == "covr") {
            bool first = true;
            for (const TagLib::MP4::CoverArt &art : item.toCoverArtList()) {
                std::string mime;
                switch (art.format()) {
                case TagLib::MP4::CoverArt::JPEG:
                    mime = "image/jpeg";
                    break;
                case TagLib::MP4::CoverArt::PNG:
                    mime = "image/png";
                    break;
                case TagLib::MP4::CoverArt::GIF:
                    mime = "image/gif";
                    break;
                case TagLib::MP4::CoverArt::BMP:
                    mime = "image/bmp";
                    break;
                default:
                    break;
                }
                // MP4 gives pictures no type: the first is taken as the front cover.
                reader.picture(first ? 3 : 0, mime, {}, art.data());
                first = false;
            }
            continue;
        }
        if (atom == "gnre") {
            reader.text("GENRE", TagLib::ID3v1::genre(item.toInt() - 1));
            continue;
        }
        const TagMapping *row = TagMap::byMp4(atom);
        std::string key;
        if (row) {
            key = row->vorbis;
        } else if (atom.rfind(TagMap::kFreeformPrefix, 0) == 0) {
            key = TagMap::canonicalKey(utf8(name).substr(TagMap::kFreeformPrefix.size()));
        } else {
            continue; // an atom the table does not know (media kind, rating, gapless flag)
        }
        switch (row ? row->kind : TagKind::Text) {
        case TagKind::Number:
        case TagKind::Total: {
            const TagLib::MP4::Item::IntPair pair = item.toIntPair();
            const std::string base = key.substr(0, key.size() - std::string("NUMBER").size());
            if (pair.first > 0)
                reader.text(key, std::to_string(pair.first));
            if (pair.second > 0)
                reader.text(base + "TOTAL", std::to_string(pair.second));
            break;
        }
        case TagKind::Integer:
            if (item.toInt() > 0)
                reader.text(key, std::to_string(item.toInt()));
            break;
        case TagKind::Flag:
            if (item.toBool())
                reader.text(key, std::string("1"));
            break;
        case TagKind::Text:
            for (const TagLib::String &value : item.toStringList())
                reader.text(key, value);
            break;
        }
    }
}

void readInfo(Reader &reader, TagLib::RIFF::Info::Tag *tag, const std::set<std::string> &already)
{
    if (!tag)
        return;
    for (const auto &[id, value] : tag->fieldListMap()) {
        const TagMapping *row = TagMap::byInfo(std::string(id.data(), id.size()));
        if (row && !already.count(std::string(row->vorbis)))
            reader.text(std::string(row->vorbis), value);
    }
}

// What TagLib's generic view gives, for file types without a reader of their own here.
void readProperties(Reader &reader, TagLib::File *file)
{
    for (const auto &[name, values] : file->properties())
        for (const TagLib::String &value : values)
            reader.text(TagMap::canonicalKey(utf8(name)), value);
}

void readId3v1(Reader &reader, TagLib::Tag *tag)
{
    if (!tag)
        return;
    reader.text("TITLE", tag->title());
    reader.text("ARTIST", tag->artist());
    reader.text("ALBUM", tag->album());
    reader.text("COMMENT", tag->comment());
    reader.text("GENRE", tag->genre());
    if (tag->year() > 0)
        reader.text("DATE", std::to_string(tag->year()));
    if (tag->track() > 0)
        reader.text("TRACKNUMBER", std::to_string(tag->track()));
}

// Keeps the canonical names the sink was given: the INFO list beside a WAV's ID3 chunk
// only fills in what the chunk lacks.
struct SeenSink
{
    const TagSink *outer;
    std::set<std::string> names;

    static void text(void *context, const char *key, const char *value)
    {
        auto *self = static_cast<SeenSink *>(context);
        self->names.insert(key);
        self->outer->text(self->outer->context, key, value);
    }
    static void picture(void *context, const TagPictureData *data)
    {
        auto *self = static_cast<SeenSink *>(context);
        self->outer->picture(self->outer->context, data);
    }
};

} // namespace

SONMILL_MODULE_EXPORT bool sonmill_read_tags(const char *path, const TagSink *sink)
{
    // A tag with a frame that would inflate past the limit is read with that frame left out.
    // Such a tag is at the start of the file, as in MP3 (or, rarely, FLAC) files.
    Id3Bounds::FrameKeys oversized = Id3Bounds::oversizedFrames(path);
    std::unique_ptr<BoundedFrameFactory> factory;
    TagLib::FileRef ref;
    if (oversized.empty()) {
        ref = TagLib::FileRef(path, false);
    } else {
        char line[96];
        const int length
            = std::snprintf(line, sizeof line, "Tags: a compressed tag frame larger than %llu MiB is left out\n",
                static_cast<unsigned long long>(Id3Bounds::kMaxInflatedFrameBytes >> 20));
        TagLibText::note(std::string_view(line, static_cast<std::size_t>(std::max(length, 0))));
        factory = std::make_unique<BoundedFrameFactory>(std::move(oversized));
        const std::string_view name(path);
        const bool isFlac = name.size() >= 5 && strcasecmp(path + name.size() - 5, ".flac") == 0;
        ref = isFlac ? TagLib::FileRef(new TagLib::FLAC::File(path, factory.get(), false))
                     : TagLib::FileRef(new TagLib::MPEG::File(path, factory.get(), false));
    }
    if (ref.isNull())
        return false;
    TagLib::File *file = ref.file();
    Reader reader(*sink);

    if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file)) {
        if (flac->hasXiphComment())
            readXiph(reader, flac->xiphComment());
        else if (flac->hasID3v2Tag())
            readId3v2(reader, flac->ID3v2Tag());
        for (const TagLib::FLAC::Picture *picture : flac->pictureList())
            reader.picture(picture->type(), utf8(picture->mimeType()), utf8(picture->description()), picture->data());
    } else if (auto *vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File *>(file)) {
        readXiph(reader, vorbis->tag());
    } else if (auto *opus = dynamic_cast<TagLib::Ogg::Opus::File *>(file)) {
        readXiph(reader, opus->tag());
    } else if (auto *speex = dynamic_cast<TagLib::Ogg::Speex::File *>(file)) {
        readXiph(reader, speex->tag());
    } else if (auto *oggFlac = dynamic_cast<TagLib::Ogg::FLAC::File *>(file)) {
        readXiph(reader, oggFlac->tag());
    } else if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file)) {
        if (mpeg->hasID3v2Tag() && !mpeg->ID3v2Tag()->frameList().isEmpty())
            readId3v2(reader, mpeg->ID3v2Tag());
        else if (mpeg->hasAPETag())
            readApe(reader, mpeg->APETag());
        else if (mpeg->hasID3v1Tag())
            readId3v1(reader, mpeg->ID3v1Tag());
    } else if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file)) {
        readMp4(reader, mp4->tag());
    } else if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(file)) {
        SeenSink seen { sink, {} };
        const TagSink counting { &seen, SeenSink::text, SeenSink::picture };
        Reader first(counting);
        if (wav->hasID3v2Tag())
            readId3v2(first, wav->ID3v2Tag());
        if (wav->hasInfoTag())
            readInfo(reader, wav->InfoTag(), seen.names);
    } else if (auto *aiff = dynamic_cast<TagLib::RIFF::AIFF::File *>(file)) {
        if (aiff->hasID3v2Tag())
            readId3v2(reader, aiff->tag());
    } else if (auto *ape = dynamic_cast<TagLib::APE::File *>(file)) {
        if (ape->hasAPETag())
            readApe(reader, ape->APETag());
        else
            readProperties(reader, file);
    } else if (auto *wavPack = dynamic_cast<TagLib::WavPack::File *>(file)) {
        if (wavPack->hasAPETag())
            readApe(reader, wavPack->APETag());
        else
            readProperties(reader, file);
    } else if (auto *musepack = dynamic_cast<TagLib::MPC::File *>(file)) {
        if (musepack->hasAPETag())
            readApe(reader, musepack->APETag());
        else
            readProperties(reader, file);
    } else {
        readProperties(reader, file);
    }
    return true;
}

} // namespace sonmill
