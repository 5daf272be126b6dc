#pragma once

#include "platform/windowembedding.h"

#include <QList>

// Test back-end: windows are announced by the test and every call is recorded; nothing reaches
// a windowing system.
class RecordingWindowEmbedding final : public WindowEmbedding
{
public:
    struct Window
    {
        WindowId id = 0;
        QString title;
        qint64 pid = 0; // 0: names no owner
    };
    struct Embedding
    {
        WindowId window = 0;
        WindowId parent = 0;
        QRect geometry;
    };
    struct Key
    {
        WindowId window = 0;
        PlayerKey key = PlayerKey::Pause;
    };

    WindowId findWindow(const QString &title, qint64 pid) override
    {
        ++looks;
        if (playersShowWindows && pid > 0) {
            bool shown = false;
            for (const Window &window : windows)
                shown = shown || (window.pid == pid && window.title == title);
            if (!shown)
                windows.append({ nextWindowId++, title, pid });
        }
        WindowId unnamed = 0;
        for (const Window &window : windows) {
            if (window.title != title)
                continue;
            if (window.pid == pid)
                return window.id;
            if (window.pid == 0 && unnamed == 0)
                unnamed = window.id;
        }
        return unnamed;
    }
    bool embed(WindowId window, WindowId parent, const QRect &geometry) override
    {
        embeddings.append({ window, parent, geometry });
        return true;
    }
    bool isEmbedded(WindowId window, WindowId parent, const QRect &geometry) override
    {
        return !embeddings.isEmpty() && embeddings.last().window == window && embeddings.last().parent == parent
            && embeddings.last().geometry == geometry;
    }
    void sendKey(WindowId window, PlayerKey key) override { keys.append({ window, key }); }

    // A window of the given owner and title that the next looks find.
    void announce(WindowId id, qint64 pid, const QString &title = QStringLiteral("Preview"))
    {
        windows.append({ id, title, pid });
    }

    // When set, each player's window is there at the first look (a player that shows at once).
    bool playersShowWindows = false;
    WindowId nextWindowId = 0x400001;

    QList<Window> windows;
    QList<Embedding> embeddings;
    QList<Key> keys;
    int looks = 0;
};
