#include "sources/cuetracks.h"

#include "core/exactrange.h"
#include "core/siblingcommands.h"
#include "core/startrecord.h"
#include "core/timecode.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// Room left in the record's 255-character output path for the folder.
constexpr int kLongestStem = 120;

// Extensions tried, in this order, when the image named is not there.
const QStringList &imageExtensions()
{
    static const QStringList kExtensions { u"flac"_s, u"wav"_s, u"wv"_s, u"ape"_s, u"aiff"_s, u"aif"_s, u"ogg"_s,
        u"m4a"_s, u"mp3"_s, u"tta"_s };
    return kExtensions;
}

QString trackCaption(int number, const QString &title)
{
    const QString shownTitle = title.trimmed().isEmpty() ? u"Track %1"_s.arg(number, 2, 10, QLatin1Char('0')) : title;
    return u"%1 - %2"_s.arg(number, 2, 10, QLatin1Char('0')).arg(shownTitle.trimmed());
}

// A caption as a file name: no folder separators or control characters, not endless.
QString fileStem(const QString &caption)
{
    QString stem;
    for (const QChar c : caption)
        stem += (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control) ? u'-' : c;
    return stem.left(kLongestStem).trimmed();
}

QString withTotal(const QString &number, int total)
{
    return total > 0 ? number + u'/' + QString::number(total) : number;
}

QList<QPair<QString, QString>> trackTags(const CueSheet &sheet, const CueTrack &track, int trackCount)
{
    namespace Key = TranscoderTag;
    QList<QPair<QString, QString>> tags;
    const auto add = [&tags](QStringView key, const QString &value) {
        if (!value.isEmpty())
            tags.append({ key.toString(), value });
    };
    add(Key::Title, track.title);
    add(Key::Artist, track.performer.isEmpty() ? sheet.performer : track.performer);
    add(Key::Album, sheet.title);
    add(Key::AlbumArtist, sheet.performer);
    add(Key::Track, withTotal(QString::number(track.number), trackCount));
    bool discOk = false;
    const int disc = sheet.discNumber.section(u'/', 0, 0).toInt(&discOk);
    if (discOk && disc > 0)
        add(Key::Disc, sheet.discNumber.contains(u'/') ? sheet.discNumber : QString::number(disc));
    add(Key::Date, sheet.date);
    add(Key::Genre, sheet.genre);
    add(Key::Comment, sheet.comment);
    add(Key::Composer, track.songwriter.isEmpty() ? sheet.songwriter : track.songwriter);
    add(Key::Isrc, track.isrc);
    return tags;
}

QString refusal(const QString &sheetPath, int line, const QString &reason)
{
    if (line > 0)
        return u"The CUE sheet \"%1\" cannot be used: line %2: %3."_s.arg(sheetPath).arg(line).arg(reason);
    return u"The CUE sheet \"%1\" cannot be used: %2."_s.arg(sheetPath, reason);
}

} // namespace

bool IsCueSheetName(const QString &path)
{
    return path.endsWith(u".cue"_s, Qt::CaseInsensitive);
}

qint64 CueFramesToNs(qint64 frames)
{
    // Rounded to the nearest nanosecond; a sample boundary is never nearer than that.
    return (frames * kNsPerSecond * 2 + kCueFramesPerSecond) / (2 * kCueFramesPerSecond);
}

QString FindCueImage(const QString &sheetFolder, const QString &fileName)
{
    QString name = fileName;
    name = name.mid(qMax(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\')) + 1);
    if (name.isEmpty())
        return {};
    const QDir folder(sheetFolder);
    if (QFileInfo(folder.filePath(name)).isFile())
        return folder.filePath(name);
    const QFileInfoList files = folder.entryInfoList(QDir::Files);
    for (const QFileInfo &file : files) {
        if (file.fileName().compare(name, Qt::CaseInsensitive) == 0)
            return file.absoluteFilePath();
    }
    const QString base = QFileInfo(name).completeBaseName();
    for (const QString &extension : imageExtensions()) {
        for (const QFileInfo &file : files) {
            if (file.completeBaseName().compare(base, Qt::CaseInsensitive) == 0
                && file.suffix().compare(extension, Qt::CaseInsensitive) == 0)
                return file.absoluteFilePath();
        }
    }
    return {};
}

std::variant<QList<CueTrackRow>, QString> ExpandCueSheet(const QString &sheetPath)
{
    QFile file(sheetPath);
    if (!file.open(QIODevice::ReadOnly))
        return refusal(sheetPath, 0, u"it cannot be read"_s);
    constexpr qint64 kLargestSheet = 1 << 20; // a sheet is text of a few kilobytes
    if (file.size() > kLargestSheet)
        return refusal(sheetPath, 0, u"it is too large to be a CUE sheet"_s);
    const auto parsed = ParseCueSheet(DecodeCueText(file.readAll()));
    if (const auto *error = std::get_if<CueError>(&parsed))
        return refusal(sheetPath, error->line, error->reason);
    return ExpandCueSheet(std::get<CueSheet>(parsed), QFileInfo(sheetPath).absolutePath(), sheetPath);
}

std::variant<QList<CueTrackRow>, QString> ExpandCueSheet(
    const CueSheet &sheet, const QString &sheetFolder, const QString &sheetPath)
{
    QStringList images;
    for (const QString &named : sheet.files)
        images << FindCueImage(sheetFolder, named);

    QList<CueTrackRow> rows;
    for (qsizetype i = 0; i < sheet.tracks.size(); ++i) {
        const CueTrack &track = sheet.tracks.at(i);
        if (!track.audio)
            continue;
        if (images.at(track.file).isEmpty())
            return refusal(sheetPath, track.line,
                u"the image \"%1\" of track %2 is not beside the sheet"_s.arg(sheet.files.at(track.file))
                    .arg(track.number));
        CueTrackRow row;
        row.sheetPath = sheetPath;
        row.imagePath = images.at(track.file);
        row.number = track.number;
        row.line = track.line;
        const bool firstOfFile = i == 0 || sheet.tracks.at(i - 1).file != track.file;
        row.start = firstOfFile ? 0 : track.start;
        if (i + 1 < sheet.tracks.size() && sheet.tracks.at(i + 1).file == track.file) {
            row.end = sheet.tracks.at(i + 1).start;
            if (*row.end <= row.start)
                return refusal(sheetPath, sheet.tracks.at(i + 1).line,
                    u"track %1 starts where track %2 starts"_s.arg(sheet.tracks.at(i + 1).number).arg(track.number));
        }
        row.caption = trackCaption(track.number, track.title);
        row.outputStem = fileStem(row.caption);
        row.tags = trackTags(sheet, track, int(sheet.tracks.size()));
        rows << row;
    }
    if (rows.isEmpty())
        return refusal(sheetPath, 0, u"it has no audio track"_s);
    return rows;
}

QString CueTrackBeyondImageMessage(const QString &sheetPath, const CueTrackRow &row)
{
    return refusal(sheetPath, row.line,
        u"track %1 lies beyond the end of its image \"%2\""_s.arg(row.number).arg(QFileInfo(row.imagePath).fileName()));
}

bool ApplyCueTrack(TStartRecord &job, const CueTrackRow &row, qint64 imageEndNs)
{
    const qint64 startNs = CueFramesToNs(row.start);
    const qint64 endNs = row.end ? CueFramesToNs(*row.end) : imageEndNs;
    if (endNs <= startNs || imageEndNs < 0 || endNs > imageEndNs)
        return false;
    const QString duration = SecondsToTimeCode(int((endNs - startNs) / kNsPerSecond));
    job.Duration = duration;
    job.StartTime = kStartOfFile.toString();
    job.Length = duration;
    job.SpanStartNs = startNs;
    job.SpanEndNs = endNs;
    job.TagValues = row.tags;
    job.TrackName = row.outputStem;
    return true;
}
