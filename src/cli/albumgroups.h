#pragma once

#include "engine/albumloudness.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// --replaygain album over several albums: the files of one folder, or the tracks of one CUE
// sheet, are one album and get that album's gain and peak; a run over several folders measures
// each on its own, up to `simultaneous` at once. Polled with the run's redraws.
class AlbumGroups
{
public:
    AlbumGroups();
    ~AlbumGroups();

    // The album a source belongs to: its CUE sheet for a track, else its folder.
    static QString albumOf(const QString &sourcePath, const QString &sheetPath);

    // A row of the album; a file named twice (an image cut into tracks) is measured once.
    void add(int row, const QString &album, const QString &sourcePath);
    bool isEmpty() const { return m_albums.empty(); }

    void start(int simultaneous);
    // Starts what may start and reads what has come; true once every album has its verdict.
    bool poll();
    // The verdict of the row's album (measured, values or why not).
    const AlbumLoudness::Verdict &verdictOf(int row) const;
    void stop();

private:
    struct Album
    {
        QStringList sources;
        std::unique_ptr<AlbumLoudness> meter;
        bool running = false;
        bool done = false;
    };
    void startNext();

    std::vector<Album> m_albums;
    QHash<QString, std::size_t> m_byName;
    QHash<int, std::size_t> m_ofRow;
    std::size_t m_next = 0;
    int m_simultaneous = 1;
};
