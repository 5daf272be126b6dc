#pragma once

#include "playback/playersession.h"
#include "playback/trimtimes.h"

#include <QDialog>
#include <QTimer>

class Dialogs;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class SelectionTrackBar;
class TimeCodeEdit;
struct TStartRecord;

// The trim dialog's controls. Their object names are the form's (edit1, Edit3, TrackBar1,
// startBtn, BitBtn3, ...); the three captions have none.
struct TrimControls
{
    QWidget *previewPanel = nullptr; // the dialog's own player plays in it
    TimeCodeEdit *startEdit = nullptr;
    QLabel *startCaption = nullptr;
    TimeCodeEdit *endEdit = nullptr;
    QLabel *endCaption = nullptr;
    QLineEdit *lengthEdit = nullptr; // the selection's length, read-only
    QLabel *lengthCaption = nullptr;
    QPushButton *resetButton = nullptr;
    SelectionTrackBar *positionBar = nullptr; // the player's position and the selection
    QLabel *positionText = nullptr;
    QToolButton *playButton = nullptr;
    QToolButton *pauseButton = nullptr; // in the play button's place while playing
    QToolButton *setStartButton = nullptr;
    QToolButton *setEndButton = nullptr;
    QPushButton *okButton = nullptr;
    QPushButton *cancelButton = nullptr;
};

// The trim dialog: the part of one source to convert, typed as start and end times or taken
// from its own preview of the file, which plays in its own panel with its own player.
class TtrimFrm : public QDialog
{
    Q_OBJECT

public:
    static constexpr QSize kClientSize { 445, 369 };
    // Up to this many looks for the player's window after each start.
    static constexpr int kWindowLooks = 31;
    static constexpr int kTickMs = 1000;

    TtrimFrm(Dialogs &dialogs, WindowEmbedding &windows, const QString &programFolder, QWidget *parent = nullptr);
    ~TtrimFrm() override;

    // Takes the job's texts for the next opening. False, with a message shown, when the job's
    // duration is not a time code (the file's length was never known): such a row is not trimmed.
    bool load(const TStartRecord &job);

    QString durationText;
    QString lengthText;
    QString startText;
    QString sourceFile;
    qint64 sourceStartNs = 0; // where the row begins in sourceFile (a track of an album image)

    const TrimControls &controls() const { return m_ui; }

    const PlayerSession &session() const { return m_session; }
    bool isTicking() const { return m_trimTimer.isActive(); }

    void resetBtnClick();
    void startBtnClick();
    void endBtnClick();
    void playBtnClick();
    void pauseBtnClick();
    void trimTimerTick();

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void playerStarted(PlayerSession::Start result);
    void build(const QString &programFolder);
    void activate();
    void fieldEdited(TrimField field);
    void setFieldText(TrimField field, const QString &text);
    void endPreview();
    void showPlaying(bool playing);
    void setStaticText(const QString &text);
    TimeCodeEdit *field(TrimField which) const { return which == TrimField::Start ? m_ui.startEdit : m_ui.endEdit; }

    TrimControls m_ui;
    Dialogs &m_dialogs;
    PlayerSession m_session;
    QTimer m_trimTimer;
    int m_trimSecond = 0;
    int m_durationSeconds = 0;
    // Each field's last text that passed the checks: what an impossible edit goes back to.
    QString m_lastGood[2];
    bool m_checking = false;
};
