#include "profiles/profilelibrary.h"

#include <QFile>
#include <QSaveFile>

using namespace Qt::StringLiterals;

// The file is plain UTF-8 text a person can read and edit:
//
//   # TOLM Audio Converter profile library
//   [encoder]
//   item=mp3
//   selected=0
//   text=mp3
//   [channels]
//   ...
//   disabled=True
//
// One "[name]" line opens each record, in the fixed order; values run from after the "="
// to the end of the line, blanks included; a backslash, a line feed and a carriage return
// in a value are written \\, \n and \r, so everything reads back exactly as it was written.

namespace {

constexpr auto kHeader = u"# TOLM Audio Converter profile library";
constexpr auto kItemKey = u"item";
constexpr auto kSelectedKey = u"selected";
constexpr auto kTextKey = u"text";
constexpr auto kDisabledKey = u"disabled";

QString recordName(int index)
{
    static const QStringList names = { u"encoder"_s, u"channels"_s, u"samplerate"_s, u"bitrate"_s };
    return index < names.size() ? names.at(index) : u"record%1"_s.arg(index + 1);
}

QString escaped(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == u'\\')
            out += u"\\\\"_s;
        else if (c == u'\n')
            out += u"\\n"_s;
        else if (c == u'\r')
            out += u"\\r"_s;
        else
            out += c;
    }
    return out;
}

QString unescaped(QStringView value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != u'\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value.at(++i);
        out += next == u'n' ? QChar(u'\n') : next == u'r' ? QChar(u'\r') : next;
    }
    return out;
}

} // namespace

QString WriteProfileLibrary(const QString &path, const QList<ChooserRecord> &records)
{
    QString text = kHeader + u"\n"_s;
    for (int i = 0; i < records.size(); ++i) {
        const ChooserRecord &record = records.at(i);
        text += u'[' + recordName(i) + u"]\n"_s;
        for (const QString &item : record.items)
            text += kItemKey + u"="_s + escaped(item) + u'\n';
        text += kSelectedKey + u"="_s + QString::number(record.selectedIndex) + u'\n';
        text += kTextKey + u"="_s + escaped(record.text) + u'\n';
        if (record.disabled)
            text += kDisabledKey + u"=True\n"_s;
    }

    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text.toUtf8());
        if (file.commit())
            return {};
    }
    return u"Cannot create file \"%1\". %2"_s.arg(path, file.errorString());
}

LibraryReadResult ReadProfileLibrary(const QString &path, int count)
{
    LibraryReadResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = u"Cannot open file \"%1\". %2"_s.arg(path, file.errorString());
        return result;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    const auto fail = [&](int lineNumber) {
        result.error = u"The library file \"%1\" is damaged (line %2)."_s.arg(path).arg(lineNumber);
        return result;
    };

    ChooserRecord current;
    int opened = 0; // records opened so far
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            if (line != u'[' + recordName(opened) + u']')
                return fail(i + 1);
            if (opened > 0)
                result.records << std::exchange(current, {});
            if (result.records.size() == count)
                return result;
            ++opened;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (opened == 0 || equals < 0)
            return fail(i + 1);
        const QStringView key = QStringView(line).left(equals);
        const QStringView value = QStringView(line).mid(equals + 1);
        if (key == kItemKey) {
            current.items << unescaped(value);
        } else if (key == kTextKey) {
            current.text = unescaped(value);
        } else if (key == kDisabledKey) {
            current.disabled = value == u"True";
        } else if (key == kSelectedKey) {
            bool ok = false;
            current.selectedIndex = value.toInt(&ok);
            if (!ok || current.selectedIndex < -1 || current.selectedIndex >= current.items.size())
                return fail(i + 1);
        } else {
            return fail(i + 1);
        }
    }
    if (opened > 0)
        result.records << current;
    if (result.records.size() < count)
        result.error = u"The library file \"%1\" holds %2 of its %3 chooser records."_s.arg(path)
                           .arg(result.records.size())
                           .arg(count);
    return result;
}
