#include "cli/usage.h"

#include "cli/optiontable.h"

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
           u"never leaves a partial file under an output name. Before that name is given, the transcoder reads "
           u"the finished file back through its decoders: a lossless output (WAV, AIFF, AU, FLAC) must give "
           u"exactly the samples that went into the encoder (an MD5 of both sides, and a FLAC's own MD5 too), "
           u"a lossy one (MP3, MP2, Ogg Vorbis, AAC, M4A, AC-3) must decode whole without an error to the "
           u"length that went in, within its codec's frames. An output that fails its check is removed and "
           u"its file counts as failed. The check costs one decode of each output: about half the time of a "
           u"FLAC encode, a few per cent of a lossy one. A source file is never replaced.\n\n"
           u"On a terminal one live line shows each running conversion, with a total and the remaining time; "
           u"otherwise one line is printed for each finished file. Failures are named on standard error with "
           u"the transcoder's reason."_s;
}

QList<Option> options()
{
    QList<Option> entries;
    for (const ConvertOption &option : ConvertOptionTable())
        entries.append({ option.names(), option.valueName.toString(), option.help.toString() });
    return entries;
}

QList<Section> sections()
{
    return {
        { u"Exit status"_s,
            {
                { u"0"_s, QString(), u"Every file was converted, or left out by --skip."_s },
                { u"1"_s, QString(),
                    u"Some files could not be converted (with --sync: some step failed, or a source named is "
                    u"missing); each is named on standard error."_s },
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
                { u"tolm-convert --sync -r -p mp3 -o ~/phone ~/Music/flac"_s, QString(),
                    u"Keep an MP3 copy of a library in step: run it again whenever the library changed; "
                    u"add --dry-run to see the work first, --delete-orphans to remove the copies of deleted "
                    u"files, --results FILE for a JSON line per file."_s },
            } },
        { u"Many machines"_s,
            {
                { u"Shared folders"_s, QString(),
                    u"Every share (--shard) must see the sources and the output folder at the same paths, the "
                    u"output folder on one file system all of them write to (NFS, CephFS, a Kubernetes "
                    u"ReadWriteMany volume) with working file locks, as the shares merge their sync states "
                    u"under one. Nothing else is shared: each share converts its own albums."_s },
                { u"GNU parallel"_s, QString(),
                    u"Four shares at once on one machine: parallel -j4 tolm-convert --sync -r -j1 -p mp3 -o OUT "
                    u"--shard {}/4 LIB ::: 0 1 2 3"_s },
                { u"GNU parallel over ssh"_s, QString(),
                    u"Sixteen shares on two machines that mount /srv alike: parallel -S 8/alpha,8/beta "
                    u"tolm-convert --sync -r -j1 -p mp3 -o /srv/mp3 --shard {}/16 /srv/flac ::: $(seq 0 15)"_s },
                { u"Slurm"_s, QString(),
                    u"An array job (sbatch --array=0-15 music.sh) whose script runs tolm-convert --sync -r -p "
                    u"mp3 -o /srv/mp3 --shard auto /srv/flac: each task takes its share from SLURM_ARRAY_TASK_ID "
                    u"and SLURM_ARRAY_TASK_COUNT."_s },
                { u"Kubernetes"_s, QString(),
                    u"An Indexed Job of 8 completions whose container runs tolm-convert --sync -r -p mp3 -o "
                    u"/music/mp3 --shard auto/8 /music/flac on a ReadWriteMany volume: the share is "
                    u"JOB_COMPLETION_INDEX."_s },
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
