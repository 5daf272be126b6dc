#include "sources/cuesheet.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <array>

using namespace Qt::StringLiterals;

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F; the five unused codes stay as
// Latin-1 gives them.
constexpr std::array<char16_t, 32> kCp1252High = { 0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178 };

QString fromWindows1252(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        text += (code >= 0x80 && code < 0xA0) ? QChar(kCp1252High[code - 0x80]) : QChar(char16_t(code));
    }
    return text;
}

// The words of a line: blanks separate them, double quotes hold a word with blanks.
QStringList wordsOf(const QString &line)
{
    QStringList words;
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && line.at(i).isSpace())
            ++i;
        if (i >= line.size())
            break;
        QString word;
        if (line.at(i) == u'"') {
            const qsizetype close = line.indexOf(u'"', i + 1);
            const qsizetype end = close < 0 ? line.size() : close;
            word = line.mid(i + 1, end - i - 1);
            i = end + 1;
        } else {
            const qsizetype begin = i;
            while (i < line.size() && !line.at(i).isSpace())
                ++i;
            word = line.mid(begin, i - begin);
        }
        words << word;
    }
    return words;
}

// Everything after the command word, unquoted: "TITLE Hello World" and TITLE "Hello World"
// say the same.
QString valueAfter(const QStringList &words, int first)
{
    return words.mid(first).join(u' ');
}

class SheetReader
{
public:
    std::optional<CueError> line(int number, const QStringList &words);
    std::optional<CueError> finish();
    CueSheet sheet;

private:
    std::optional<CueError> index(int number, const QStringList &words);
    CueTrack *current() { return sheet.tracks.isEmpty() ? nullptr : &sheet.tracks.last(); }
    std::optional<CueError> trackComplete() const;

    qint64 m_lastStart = -1; // last INDEX 01 in the current file
};

std::optional<CueError> SheetReader::trackComplete() const
{
    if (!sheet.tracks.isEmpty() && sheet.tracks.last().start < 0)
        return CueError { sheet.tracks.last().line, u"track %1 has no INDEX 01"_s.arg(sheet.tracks.last().number) };
    return std::nullopt;
}

std::optional<CueError> SheetReader::index(int number, const QStringList &words)
{
    CueTrack *track = current();
    if (!track)
        return CueError { number, u"INDEX before any TRACK"_s };
    bool ok = false;
    const int which = words.value(1).toInt(&ok);
    const auto frames = CueTimeToFrames(words.value(2));
    if (!ok || which < 0 || which > 99 || !frames || words.size() != 3)
        return CueError { number, u"INDEX needs a number and a time mm:ss:ff"_s };
    if (which == 0) {
        track->pregap = *frames;
    } else if (which == 1) {
        if (track->start >= 0)
            return CueError { number, u"track %1 has a second INDEX 01"_s.arg(track->number) };
        if (*frames < m_lastStart || (track->pregap && *frames < *track->pregap))
            return CueError { number, u"INDEX 01 lies before an earlier position of its file"_s };
        track->start = *frames;
        track->file = int(sheet.files.size()) - 1;
        m_lastStart = *frames;
    }
    return std::nullopt;
}

std::optional<CueError> SheetReader::line(int number, const QStringList &words)
{
    const QString command = words.first().toUpper();
    CueTrack *track = current();
    if (command == u"REM") {
        const QString field = words.value(1).toUpper();
        const QString value = valueAfter(words, 2);
        if (field == u"DATE")
            sheet.date = value;
        else if (field == u"GENRE")
            sheet.genre = value;
        else if (field == u"COMMENT")
            sheet.comment = value;
        else if (field == u"DISCNUMBER")
            sheet.discNumber = value;
        return std::nullopt;
    }
    if (command == u"FILE") {
        if (words.size() < 2 || words.at(1).trimmed().isEmpty())
            return CueError { number, u"FILE names no file"_s };
        // A track may begin with its pregap at the end of one file and its INDEX 01 in the
        // next: that pregap belongs to the track before it, in the file before.
        if (track && track->start < 0)
            track->pregap.reset();
        // The type word (WAVE, MP3, BINARY ...) is not trusted: the image is probed.
        sheet.files << words.at(1);
        m_lastStart = -1;
        return std::nullopt;
    }
    if (command == u"TRACK") {
        if (sheet.files.isEmpty())
            return CueError { number, u"TRACK before any FILE"_s };
        bool ok = false;
        const int trackNumber = words.value(1).toInt(&ok);
        if (!ok || trackNumber < 1 || trackNumber > 99 || words.size() != 3)
            return CueError { number, u"TRACK needs a number from 1 to 99 and a type"_s };
        if (auto incomplete = trackComplete())
            return incomplete;
        CueTrack next;
        next.number = trackNumber;
        next.audio = words.at(2).toUpper() == u"AUDIO";
        next.line = number;
        sheet.tracks << next;
        return std::nullopt;
    }
    if (command == u"INDEX")
        return index(number, words);
    if (command == u"TITLE" || command == u"PERFORMER" || command == u"SONGWRITER") {
        if (words.size() < 2)
            return CueError { number, command + u" has no value"_s };
        const QString value = valueAfter(words, 1);
        if (command == u"TITLE")
            (track ? track->title : sheet.title) = value;
        else if (command == u"PERFORMER")
            (track ? track->performer : sheet.performer) = value;
        else
            (track ? track->songwriter : sheet.songwriter) = value;
        return std::nullopt;
    }
    if (command == u"ISRC") {
        if (!track || words.size() != 2)
            return CueError { number, u"ISRC belongs to a track and has one value"_s };
        track->isrc = words.at(1);
        return std::nullopt;
    }
    static const QStringList kIgnored { u"CATALOG"_s, u"CDTEXTFILE"_s, u"FLAGS"_s, u"PREGAP"_s, u"POSTGAP"_s };
    if (kIgnored.contains(command))
        return std::nullopt;
    return CueError { number, u"unknown command %1"_s.arg(words.first()) };
}

std::optional<CueError> SheetReader::finish()
{
    if (auto incomplete = trackComplete())
        return incomplete;
    if (sheet.tracks.isEmpty())
        return CueError { 0, u"the sheet has no TRACK"_s };
    return std::nullopt;
}

} // namespace

QString DecodeCueText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringConverter::Utf16LE).decode(bytes.mid(2));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringConverter::Utf16BE).decode(bytes.mid(2));
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return fromWindows1252(bytes);
}

std::optional<qint64> CueTimeToFrames(const QString &text)
{
    static const QRegularExpression kForm(uR"(^(\d{1,4}):(\d{2}):(\d{2})$)"_s);
    const QRegularExpressionMatch match = kForm.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const qint64 minutes = match.captured(1).toLongLong();
    const qint64 seconds = match.captured(2).toLongLong();
    const qint64 frames = match.captured(3).toLongLong();
    if (seconds >= 60 || frames >= kCueFramesPerSecond)
        return std::nullopt;
    return (minutes * 60 + seconds) * kCueFramesPerSecond + frames;
}

std::variant<CueSheet, CueError> ParseCueSheet(const QString &text)
{
    SheetReader reader;
    const QStringList lines = text.split(QRegularExpression(u"\r\n|\r|\n"_s));
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList words = wordsOf(lines.at(i));
        if (words.isEmpty())
            continue;
        if (auto error = reader.line(i + 1, words))
            return *error;
    }
    if (auto error = reader.finish())
        return *error;
    return reader.sheet;
}
