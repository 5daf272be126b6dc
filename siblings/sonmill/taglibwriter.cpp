#include "sonmill/modules.h"
#include "sonmill/outputformat.h"
#include "sonmill/replaygainproperties.h"
#include "sonmill/tagfields.h"

#include <taglib/aifffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>

#include <cstdio>
#include <fstream>

namespace sonmill {
namespace {

TagLib::String utf8(const std::string &text)
{
    return TagLib::String(text, TagLib::String::UTF8);
}

// Xiph comments keep number and total apart; ID3v2 and MP4 write them as "n/total".
TagLib::PropertyMap propertiesOf(const TagFields &tags, bool separateTotals)
{
    TagLib::PropertyMap map;
    auto put = [&](const char *key, const std::string &value) {
        if (!value.empty())
            map.replace(key, TagLib::StringList(utf8(value)));
    };
    auto count = [&](const char *numberKey, const char *totalKey, unsigned number, unsigned total) {
        if (number == 0)
            return;
        if (separateTotals) {
            put(numberKey, std::to_string(number));
            if (total > 0)
                put(totalKey, std::to_string(total));
        } else {
            put(numberKey, total > 0 ? std::to_string(number) + "/" + std::to_string(total) : std::to_string(number));
        }
    };
    put("TITLE", tags.title);
    put("ARTIST", tags.artist);
    put("ALBUM", tags.album);
    put("ALBUMARTIST", tags.albumArtist);
    put("DATE", tags.date);
    put("GENRE", tags.genre);
    put("COMMENT", tags.comment);
    count("TRACKNUMBER", "TRACKTOTAL", tags.track, tags.trackCount);
    count("DISCNUMBER", "DISCTOTAL", tags.disc, tags.discCount);
    addReplayGain(map, tags.replayGain);
    return map;
}

// ADTS streams are not a file type the tag library opens, but readers take an ID3v2 tag
// in front of them as they do for MP3: render one and put it before the audio.
bool prependId3v2(const std::string &path, const TagFields &tags)
{
    TagLib::ID3v2::Tag tag;
    tag.setProperties(propertiesOf(tags, false));
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

template <typename File> bool saveWith(File &file, const TagLib::PropertyMap &properties)
{
    if (!file.isValid())
        return false;
    file.setProperties(properties);
    return file.save();
}

} // namespace

SONMILL_MODULE_EXPORT bool sonmill_write_tags(const char *path, Container container, const TagFields *fields)
{
    const TagFields &tags = *fields;
    const char *name = path;
    switch (container) {
    case Container::Mp3:
    case Container::Mp2: {
        TagLib::MPEG::File file(name, false);
        if (!file.isValid())
            return false;
        file.ID3v2Tag(true)->setProperties(propertiesOf(tags, false));
        return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4);
    }
    case Container::Adts:
        return prependId3v2(path, tags);
    case Container::Ogg: {
        TagLib::Ogg::Vorbis::File file(name, false);
        return saveWith(file, propertiesOf(tags, true));
    }
    case Container::Flac: {
        TagLib::FLAC::File file(name, false);
        return saveWith(file, propertiesOf(tags, true));
    }
    case Container::Mp4: {
        TagLib::MP4::File file(name, false);
        if (!file.isValid())
            return false;
        file.setProperties(propertiesOf(tags, false));
        addReplayGainAtoms(*file.tag(), tags.replayGain);
        return file.save();
    }
    case Container::Wav: {
        TagLib::RIFF::WAV::File file(name, false);
        return saveWith(file, propertiesOf(tags, false));
    }
    case Container::Aiff: {
        TagLib::RIFF::AIFF::File file(name, false);
        return saveWith(file, propertiesOf(tags, false));
    }
    case Container::Au:
    case Container::Ac3:
        return true;
    }
    return true;
}

} // namespace sonmill
