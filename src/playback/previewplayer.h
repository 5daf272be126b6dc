#pragma once

#include "core/previewarea.h"
#include "playback/playersession.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class Dialogs;
class FileList;
class QAbstractButton;
class QLabel;
class QSlider;
class QWidget;

// The main window's preview controls, as the preview works them.
struct PreviewWidgets
{
    QLabel *videoNamelabel = nullptr;
    QWidget *playpanel = nullptr;
    QLabel *pretimeLabel = nullptr;
    QSlider *TrackBar1 = nullptr;
    QLabel *moveEdit = nullptr;
    QAbstractButton *previewBtn = nullptr;
    QAbstractButton *pauseBtn = nullptr;
    QAbstractButton *stopBtn = nullptr;
};

// The preview beside the source list: plays the selected row's source in `playpanel` with the
// player program, keeps its own position counter with a one-second tick on the UI thread, and
// seeks by starting a new player where the track bar was released.
class PreviewPlayer : public QObject, public PreviewArea
{
    Q_OBJECT

public:
    // Up to this many looks for the player's window after each start, 50 ms apart.
    static constexpr int kWindowLooks = 41;
    static constexpr int kTickMs = 1000;
    // The hover label sits this far left of the pointer.
    static constexpr int kHoverLabelOffset = 16;

    PreviewPlayer(const PreviewWidgets &widgets, FileList &list, Dialogs &dialogs, WindowEmbedding &windows,
        QWidget *owner, QObject *parent = nullptr);
    ~PreviewPlayer() override;

    // Hides the list's inline name editor when a preview starts.
    std::function<void()> hideInlineEditor;

    // PreviewArea
    void Load(const TStartRecord &job) override;
    void Stop() override;
    void Reset() override;
    bool playerKnown() const override { return m_session.isKnown(); }

    void previewBtnClick();
    void pauseBtnClick();
    void stopBtnClick();
    void previewTimerTick();

    int playSecond() const { return m_playSecond; }
    bool isTicking() const { return m_tickTimer.isActive(); }
    const PlayerSession &session() const { return m_session; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startPlayer(const TStartRecord &job);
    void playerStarted(PlayerSession::Start result);
    void resume();
    void seekReleased();
    void showLoaded(const TStartRecord &job, int totalSeconds);
    void showPosition(int seconds);
    void showPlaying(bool playing);
    void setLabel(QLabel *label, const QString &text);
    void trackBarChange(int position);

    PreviewWidgets m_ui;
    FileList &m_list;
    Dialogs &m_dialogs;
    QWidget *m_owner;
    PlayerSession m_session;
    QTimer m_tickTimer;
    int m_playSecond = 0;
    int m_totalSeconds = 0;
    QString m_totalText;
    QString m_previewFile;
    qint64 m_spanStartNs = 0; // where the row begins in m_previewFile (a track of an album image)
};
