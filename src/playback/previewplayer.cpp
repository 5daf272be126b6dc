#include "playback/previewplayer.h"

#include "core/conversionfailure.h"
#include "core/siblingcommands.h"
#include "core/startrecord.h"
#include "platform/dialogs.h"
#include "playback/previewtexts.h"
#include "sources/filelist.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QWidget>

using namespace Qt::StringLiterals;

PreviewPlayer::PreviewPlayer(const PreviewWidgets &widgets, FileList &list, Dialogs &dialogs, WindowEmbedding &windows,
    QWidget *owner, QObject *parent)
    : QObject(parent)
    , m_ui(widgets)
    , m_list(list)
    , m_dialogs(dialogs)
    , m_owner(owner)
    , m_session(windows, kWindowLooks)
{
    // The player's window becomes a child of the panel's own window, which clips it; the
    // panel alone needs one.
    m_ui.playpanel->setAttribute(Qt::WA_DontCreateNativeAncestors);
    m_ui.playpanel->setAttribute(Qt::WA_NativeWindow);
    m_tickTimer.setInterval(kTickMs);
    m_tickTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_tickTimer, &QTimer::timeout, this, &PreviewPlayer::previewTimerTick);
    connect(&m_session, &PlayerSession::started, this, &PreviewPlayer::playerStarted);
    connect(m_ui.previewBtn, &QAbstractButton::clicked, this, &PreviewPlayer::previewBtnClick);
    connect(m_ui.pauseBtn, &QAbstractButton::clicked, this, &PreviewPlayer::pauseBtnClick);
    connect(m_ui.stopBtn, &QAbstractButton::clicked, this, &PreviewPlayer::stopBtnClick);
    connect(m_ui.TrackBar1, &QSlider::valueChanged, this, &PreviewPlayer::trackBarChange);
    m_ui.TrackBar1->installEventFilter(this);
    setLabel(m_ui.videoNamelabel, m_ui.videoNamelabel->text());
    setLabel(m_ui.pretimeLabel, m_ui.pretimeLabel->text());
}

PreviewPlayer::~PreviewPlayer()
{
    m_tickTimer.stop();
    m_session.quit();
    m_session.end();
}

void PreviewPlayer::setLabel(QLabel *label, const QString &text)
{
    label->setText(text);
    // A screen reader reads the current text, not the first one.
    label->setAccessibleName(text);
}

void PreviewPlayer::showPosition(int seconds)
{
    setLabel(m_ui.pretimeLabel, PreviewPositionText(seconds, m_totalText));
}

void PreviewPlayer::trackBarChange(int position)
{
    showPosition(position);
    // A drag moves the thumb after the pointer's move reached us: the hover time follows it.
    if (m_ui.moveEdit->isVisible())
        m_ui.moveEdit->setText(SecondsToTimeCode(position));
}

// Play and Pause share their place: one shows at a time, and Stop is usable while a player is.
void PreviewPlayer::showPlaying(bool playing)
{
    m_ui.previewBtn->setEnabled(!playing);
    m_ui.previewBtn->setVisible(!playing);
    m_ui.pauseBtn->setEnabled(playing);
    m_ui.pauseBtn->setVisible(playing);
}

void PreviewPlayer::showLoaded(const TStartRecord &job, int totalSeconds)
{
    m_totalSeconds = totalSeconds;
    m_totalText = job.Duration;
    m_previewFile = job.SourcePath;
    m_spanStartNs = job.SpanStartNs;
    setLabel(m_ui.videoNamelabel, ShortPreviewName(QFileInfo(m_previewFile).fileName()));
    m_ui.videoNamelabel->setToolTip(m_previewFile);
    setLabel(m_ui.pretimeLabel, u"00:00:00 / "_s + m_totalText);
}

void PreviewPlayer::Load(const TStartRecord &job)
{
    // A row whose length is not a time code throws before anything changes; the row press
    // that asked shows the failure.
    const int total = TimeCodeToSeconds(job.Duration);
    m_ui.TrackBar1->setEnabled(true);
    m_ui.previewBtn->setEnabled(true);
    showLoaded(job, total);
    m_ui.TrackBar1->setRange(0, m_totalSeconds);
    m_ui.TrackBar1->setValue(0);
}

void PreviewPlayer::previewBtnClick()
{
    if (m_session.isStarting())
        return; // a second press while the player comes up starts no second one
    if (m_session.isKnown()) {
        resume();
        return;
    }
    const QList<int> rows = m_list.targetRows();
    if (rows.isEmpty()) {
        m_dialogs.showMessage(m_owner, MessageRequest::plain(kSelectFileFirst.toString()));
        return;
    }
    startPlayer(m_list.job(rows.first()));
}

void PreviewPlayer::startPlayer(const TStartRecord &job)
{
    if (hideInlineEditor)
        hideInlineEditor();
    m_ui.TrackBar1->setEnabled(true);
    m_ui.previewBtn->setEnabled(true);
    int total = 0;
    try {
        total = TimeCodeToSeconds(job.Duration);
    } catch (const ConversionFailure &failure) {
        m_dialogs.showMessage(m_owner, MessageRequest::plain(failure.message()));
        return;
    }
    showLoaded(job, total);
    m_ui.TrackBar1->setRange(0, m_totalSeconds); // the position stays: it is the start offset

    const int offset = m_ui.TrackBar1->value();
    m_playSecond = offset;
    if (!m_session.start(PlayerCommand(offset, m_previewFile, false, m_spanStartNs),
            WindowEmbedding::WindowId(m_ui.playpanel->winId()), m_ui.playpanel->devicePixelRatioF()))
        m_dialogs.showMessage(m_owner, MessageRequest::plain(m_session.errorText()));
}

// The player's window is in the panel (or it never showed one, and the player was ended).
void PreviewPlayer::playerStarted(PlayerSession::Start result)
{
    if (result == PlayerSession::Start::Failed) {
        m_dialogs.showMessage(m_owner, MessageRequest::plain(m_session.errorText()));
        return;
    }
    if (result == PlayerSession::Start::NoWindow)
        return;
    m_tickTimer.start();
    showPlaying(true);
    m_ui.stopBtn->setEnabled(true);
}

void PreviewPlayer::resume()
{
    m_tickTimer.start();
    m_session.sendKey(PlayerKey::Pause);
    showPlaying(true);
}

void PreviewPlayer::pauseBtnClick()
{
    m_session.sendKey(PlayerKey::Pause);
    showPlaying(false);
    m_tickTimer.stop();
}

void PreviewPlayer::stopBtnClick()
{
    m_tickTimer.stop();
    m_ui.TrackBar1->setValue(0);
    m_playSecond = 0;
    m_session.quit();
    showPlaying(false);
    m_ui.stopBtn->setEnabled(false);
    if (m_list.selectedRows().isEmpty()) {
        setLabel(m_ui.videoNamelabel, kNoPreviewText.toString());
        m_ui.videoNamelabel->setToolTip({});
    }
}

void PreviewPlayer::Stop()
{
    stopBtnClick();
}

void PreviewPlayer::Reset()
{
    m_previewFile.clear();
    m_totalSeconds = 0;
    m_totalText = u"00:00:00"_s;
    setLabel(m_ui.videoNamelabel, kNoPreviewText.toString());
    m_ui.videoNamelabel->setToolTip({});
    m_ui.TrackBar1->setValue(0);
    m_ui.TrackBar1->setEnabled(false);
    setLabel(m_ui.pretimeLabel, kNoPositionText.toString());
    m_ui.previewBtn->setEnabled(false);
    m_ui.previewBtn->show();
    m_ui.pauseBtn->setEnabled(false);
    m_ui.pauseBtn->hide();
    m_ui.stopBtn->setEnabled(false);
    m_session.quit();
    m_tickTimer.stop();
}

void PreviewPlayer::previewTimerTick()
{
    ++m_playSecond;
    if (m_playSecond <= m_totalSeconds) {
        m_ui.TrackBar1->setValue(m_playSecond);
        showPosition(m_playSecond);
        return;
    }
    // The end is passed: the player may stay open at its last picture, so it is told to go.
    m_session.quit();
    m_tickTimer.stop();
    showPlaying(false);
    m_ui.stopBtn->setEnabled(false);
    m_ui.TrackBar1->setValue(0);
    setLabel(m_ui.pretimeLabel, u"00:00:00 / "_s + m_totalText);
}

void PreviewPlayer::seekReleased()
{
    m_tickTimer.stop();
    m_session.forget(); // the next start ends it
    previewBtnClick();
    m_ui.moveEdit->hide();
    showPosition(m_ui.TrackBar1->value());
}

bool PreviewPlayer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_ui.TrackBar1 || !m_ui.TrackBar1->isEnabled())
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        m_ui.moveEdit->show();
        break;
    case QEvent::MouseMove: {
        const int x = qRound(static_cast<QMouseEvent *>(event)->position().x());
        m_ui.moveEdit->move(m_ui.TrackBar1->x() + x - kHoverLabelOffset, m_ui.moveEdit->y());
        m_ui.moveEdit->setText(SecondsToTimeCode(m_ui.TrackBar1->value()));
        break;
    }
    case QEvent::MouseButtonRelease:
        // After the bar has taken the release, so the position is the final one.
        QMetaObject::invokeMethod(this, &PreviewPlayer::seekReleased, Qt::QueuedConnection);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
