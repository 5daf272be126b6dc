#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The saved state of one chooser of the advanced settings dialog.
struct ChooserRecord
{
    QStringList items; // texts offered, in order
    int selectedIndex = -1; // -1 for none
    QString text; // text the chooser shows
    bool disabled = false; // set only when the chooser was disabled when saved

    friend bool operator==(const ChooserRecord &, const ChooserRecord &) = default;
};

// A profile library file holds four chooser records in this fixed order.
enum class LibraryChooser { Encoder, Channels, SampleRate, Bitrate };
inline constexpr int kLibraryRecordCount = 4;

struct LibraryReadResult
{
    QList<ChooserRecord> records; // the records read, in order, also when reading stopped early
    QString error; // empty on success
};

// Reads the first `count` records (readers of lossless profiles stop after two).
LibraryReadResult ReadProfileLibrary(const QString &path, int count = kLibraryRecordCount);

// Creates or replaces the file with the given records. Returns an empty text on success,
// else: Cannot create file "<path>". <reason>
QString WriteProfileLibrary(const QString &path, const QList<ChooserRecord> &records);
