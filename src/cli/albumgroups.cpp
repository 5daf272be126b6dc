#include "cli/albumgroups.h"

#include <QFileInfo>

AlbumGroups::AlbumGroups() = default;
AlbumGroups::~AlbumGroups() = default;

QString AlbumGroups::albumOf(const QString &sourcePath, const QString &sheetPath)
{
    return sheetPath.isEmpty() ? QFileInfo(sourcePath).absolutePath() : sheetPath;
}

void AlbumGroups::add(int row, const QString &album, const QString &sourcePath)
{
    auto found = m_byName.constFind(album);
    std::size_t index = 0;
    if (found == m_byName.cend()) {
        index = m_albums.size();
        m_albums.emplace_back();
        m_albums.back().meter = std::make_unique<AlbumLoudness>();
        m_byName.insert(album, index);
    } else {
        index = *found;
    }
    Album &into = m_albums[index];
    if (!into.sources.contains(sourcePath))
        into.sources << sourcePath;
    m_ofRow.insert(row, index);
}

void AlbumGroups::start(int simultaneous)
{
    m_simultaneous = qMax(1, simultaneous);
    startNext();
}

void AlbumGroups::startNext()
{
    int running = 0;
    for (const Album &album : m_albums)
        running += album.running ? 1 : 0;
    while (running < m_simultaneous && m_next < m_albums.size()) {
        Album &album = m_albums[m_next++];
        // A transcoder that cannot start leaves its reason in the verdict at once.
        if (album.meter->start(album.sources)) {
            album.running = true;
            ++running;
        } else {
            album.done = true;
        }
    }
}

bool AlbumGroups::poll()
{
    for (Album &album : m_albums) {
        if (album.running && album.meter->poll()) {
            album.running = false;
            album.done = true;
        }
    }
    startNext();
    for (const Album &album : m_albums) {
        if (!album.done)
            return false;
    }
    return true;
}

const AlbumLoudness::Verdict &AlbumGroups::verdictOf(int row) const
{
    return m_albums[m_ofRow.value(row)].meter->verdict();
}

void AlbumGroups::stop()
{
    for (Album &album : m_albums) {
        if (album.running)
            album.meter->stop();
        album.running = false;
    }
}
