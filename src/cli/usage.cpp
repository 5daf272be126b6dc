#include "cli/usage.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace Usage {

QString synopsis()
{
    return kProgramName + u" [options] FILE|FOLDER..."_s;
}

QString summary()
{
    return u"convert audio and the audio of video files with TOLM Audio Converter's profiles"_s;
}

QString description()
{
    return u"Converts each FILE, and the audio and video files in each FOLDER, with the same profiles, names "
           u"and transcoder as the TOLM Audio Converter window. Files named on the command line are always "
           u"tried; a folder contributes its files whose extension is one of aac ac3 aif aifc aiff amr ape au "
           u"avi caf flac flv m4a m4b m4v mka mkv mov mp2 mp3 mp4 mpa mpeg mpg oga ogg ogv opus ra snd spx "
           u"w64 wav webm wma wv (in any letter case), hidden files left out.\n\n"
           u"A CUE sheet (.cue), named or in a folder, gives one output per track of its album image, named "
           u"\"NN - Title\" and tagged from the sheet, cut at the sheet's exact positions; the image is then "
           u"not converted whole. A sheet whose image is missing or that has a bad line is refused, naming "
           u"the line, and none of its tracks is converted.\n\n"
           u"Each file is converted by one sonmill transcoder, which writes a temporary file beside the output "
           u"and gives it its name only when the conversion succeeded, so an interrupted or failed conversion "
           u"never leaves a partial file under an output name. A source file is never replaced.\n\n"
           u"On a terminal one live line shows each running conversion, with a total and the remaining time; "
           u"otherwise one line is printed for each finished file. Failures are named on standard error with "
           u"the transcoder's reason."_s;
}

QList<Option> options()
{
    return {
        { u"-p, --profile"_s, u"NAME"_s,
            u"The output profile: a profile of the window's list (the catalogue's, then the user profiles saved "
            u"in the window), by its full name, an unambiguous beginning of it (flac, Voice) or its file "
            u"extension (mp3, .au). Default: the first profile of the list, \"AAC - Advanced Audio Coding (*.aac)\"."_s },
        { u"-q, --quality"_s, u"high|normal|low"_s,
            u"The audio quality, which picks the profile's bit rate. Default: normal."_s },
        { u"--rate"_s, u"HZ"_s, u"Sample rate, one of those the profile's advanced settings offer (e.g. 44100)."_s },
        { u"--channels"_s, u"1|2|6"_s, u"Mono, stereo or 5.1, as the profile's advanced settings offer."_s },
        { u"--bitrate"_s, u"KBPS"_s,
            u"Bit rate in kbit/s, one of those the profile's advanced settings offer; replaces the quality's. "
            u"--rate, --channels and --bitrate are refused for lossless profiles, and --bitrate for profiles "
            u"without a bit-rate choice, as in the window."_s },
        { u"-o, --output"_s, u"DIR"_s,
            u"Folder for the converted files, created when missing. Default: the folder the window converts "
            u"into when it starts, TOLM in the home folder (~/TOLM); where that cannot be made, the window's "
            u"default output folder (Documents/TOLM/TOLM Audio Converter)."_s },
        { u"--start"_s, u"T"_s,
            u"Convert from T on; T is a time code hh:mm:ss or whole seconds. A file shorter than T fails."_s },
        { u"--end"_s, u"T"_s, u"Convert up to T (at most to the file's end)."_s },
        { u"--length"_s, u"T"_s, u"Convert T from the start (at most to the file's end). Not with --end."_s },
        { u"--volume"_s, u"PERCENT"_s, u"Output volume from 0 to 400; 100 leaves it unchanged (the default)."_s },
        { u"--replaygain"_s, u"track|album"_s,
            u"Write ReplayGain 2.0 values (reference -18 LUFS, true peaks) into each output: its own track "
            u"values, and with album also the album's, for which every file of the run is measured first, end "
            u"to end. Silence and files shorter than 0.4 s get no track gain."_s },
        { u"--normalize"_s, u"LUFS"_s,
            u"Bring each file to this integrated loudness (e.g. -16 or -23) in two passes, a look-ahead limiter "
            u"keeping the true peak at or below -1 dBTP; --volume is then ignored. Not with --replaygain album."_s },
        { u"-r, --recursive"_s, QString(),
            u"Take the files of FOLDER's sub-folders too, mirrored below the output folder as the window "
            u"mirrors an added folder: FOLDER's own name, then its sub-folders (Music/Album/CD2/01.flac to "
            u"DIR/Album/CD2/01.mp3 for the argument Music/Album). The output folder itself is never taken as "
            u"input."_s },
        { u"--overwrite"_s, QString(),
            u"Replace an existing output file (atomically, when its conversion has succeeded). A file that is "
            u"one of the sources, or the output of another file of the same run, is never replaced: that "
            u"output gets the \"(new)\" name instead. Without --overwrite or --skip, \"(new)\" is put before "
            u"the extension until the name is free, as in the window."_s },
        { u"--skip"_s, QString(), u"Leave out a file whose output file already exists."_s },
        { u"-j, --jobs"_s, u"N"_s,
            u"Run N transcoders at once, each converting one file. Default: the number of processors."_s },
        { u"--quiet"_s, QString(), u"Print nothing but failures."_s },
        { u"--dry-run"_s, QString(),
            u"Examine the files and print the transcoder command lines that would run; convert nothing and "
            u"create no output folder."_s },
        { u"--list-profiles"_s, QString(), u"Print the profiles with their settings and end."_s },
        { u"-h, --help"_s, QString(), u"Print this help and end."_s },
        { u"--version"_s, QString(), u"Print the version and end."_s },
    };
}

QList<Section> sections()
{
    return {
        { u"Exit status"_s,
            {
                { u"0"_s, QString(), u"Every file was converted, or left out by --skip."_s },
                { u"1"_s, QString(), u"Some files could not be converted; each is named on standard error."_s },
                { u"2"_s, QString(), u"The command line was wrong; nothing was converted."_s },
                { u"130"_s, QString(),
                    u"Interrupted (Ctrl-C): every running transcoder was ended and its temporary file "
                    u"removed; files converted before stay."_s },
            } },
        { u"Files"_s,
            {
                { u"Config/config.ini"_s, QString(), u"The profile catalogue, beside the program."_s },
                { u"userprofile.ini"_s, QString(),
                    u"The user profiles saved in the window, in the profile folder "
                    u"(Documents/TOLM/TOLM Audio Converter/profile)."_s },
            } },
        { u"Examples"_s,
            {
                { u"tolm-convert -r -p mp3 -q high -o ~/Music/mp3 ~/Music/flac/*"_s, QString(),
                    u"Convert a library to MP3, keeping its album folders."_s },
                { u"tolm-convert -p flac --start 00:01:00 --length 30 talk.wav"_s, QString(),
                    u"Thirty seconds of talk.wav from its first minute on, as FLAC."_s },
            } },
    };
}

namespace {

constexpr int kWidth = 80;
constexpr int kTermColumn = 26;

// Words of text laid out from column `indent` up to the width; the first line starts at
// `firstColumn` (where the term ended).
QString wrap(const QString &text, int indent, int firstColumn)
{
    QString out;
    int column = firstColumn;
    bool lineEmpty = true;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (!lineEmpty && column + 1 + word.size() > kWidth) {
            out += u'\n' + QString(indent, u' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += u' ';
            ++column;
        }
        out += word;
        column += int(word.size());
        lineEmpty = false;
    }
    return out;
}

QString helpEntry(const Option &option)
{
    QString term = u"  "_s + option.names;
    if (!option.argument.isEmpty())
        term += u' ' + option.argument;
    if (term.size() + 2 > kTermColumn) // the text starts on the next line
        return term + u'\n' + QString(kTermColumn, u' ') + wrap(option.text, kTermColumn, kTermColumn) + u'\n';
    term = term.leftJustified(kTermColumn);
    return term + wrap(option.text, kTermColumn, kTermColumn) + u'\n';
}

// Backslashes and a leading dot or quote would be read as roff requests.
QString roff(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'\\', u"\\e"_s);
    escaped.replace(u'-', u"\\-"_s);
    if (escaped.startsWith(u'.') || escaped.startsWith(u'\''))
        escaped.prepend(u"\\&"_s);
    return escaped;
}

} // namespace

QString helpText()
{
    const QString line = summary();
    QString out = u"Usage: "_s + synopsis() + u'\n' + line.left(1).toUpper() + line.mid(1) + u".\n\n"_s;
    for (const QString &paragraph : description().split(u"\n\n"_s))
        out += wrap(paragraph, 0, 0) + u"\n\n"_s;
    out += u"Options:\n"_s;
    for (const Option &option : options())
        out += helpEntry(option);
    for (const Section &section : sections()) {
        out += u'\n' + section.title + u":\n"_s;
        for (const Option &entry : section.entries)
            out += helpEntry(entry);
    }
    return out;
}

QString manPage(const QString &version)
{
    QString out;
    out += u".TH TOLM\\-CONVERT 1 \"\" \"TOLM Audio Converter "_s + version + u"\" \"User Commands\"\n"_s;
    out += u".SH NAME\n"_s + roff(kProgramName.toString()) + u" \\- "_s + roff(summary()) + u'\n';
    out += u".SH SYNOPSIS\n.B "_s + roff(kProgramName.toString())
        + u"\n[\\fIoptions\\fR] \\fIFILE\\fR|\\fIFOLDER\\fR...\n"_s;
    out += u".SH DESCRIPTION\n"_s;
    bool first = true;
    for (const QString &paragraph : description().split(u"\n\n"_s)) {
        if (!first)
            out += u".PP\n"_s;
        out += roff(paragraph) + u'\n';
        first = false;
    }
    const auto entry = [](const Option &option) -> QString {
        QString term = u"\\fB"_s + roff(option.names) + u"\\fR"_s;
        if (!option.argument.isEmpty())
            term += u" \\fI"_s + roff(option.argument) + u"\\fR"_s;
        return u".TP\n"_s + term + u'\n' + roff(option.text) + u'\n';
    };
    out += u".SH OPTIONS\n"_s;
    for (const Option &option : options())
        out += entry(option);
    for (const Section &section : sections()) {
        out += u".SH "_s + roff(section.title.toUpper()) + u'\n';
        for (const Option &item : section.entries)
            out += entry(item);
    }
    return out;
}

} // namespace Usage
