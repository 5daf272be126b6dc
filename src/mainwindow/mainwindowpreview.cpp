// The main window's share of the preview, trim and effect: wiring only.

#include "mainwindow/mainwindow.h"
#include "platform/windowembedding.h"
#include "playback/dialogcommands.h"
#include "playback/effectwindow.h"
#include "playback/previewplayer.h"
#include "playback/trimwindow.h"

#include <QLineEdit>
#include <QToolButton>

void TForm1::createPreview()
{
    m_windows = CreateWindowEmbedding();
    const PreviewControls &ui = m_ui.preview;
    auto preview
        = std::make_unique<PreviewPlayer>(PreviewWidgets { ui.videoNamelabel, ui.playpanel, ui.pretimeLabel,
                                              ui.TrackBar1, ui.moveEdit, ui.previewBtn, ui.pauseBtn, ui.stopBtn },
            *m_fileList, m_services.dialogs, *m_windows, this);
    preview->hideInlineEditor = [this] { m_ui.list.listEdit->hide(); };
    m_preview = std::move(preview);
    connect(m_ui.tools.trimBtn, &QToolButton::clicked, this, &TForm1::trimBtnClick);
    connect(m_ui.tools.effectBtn, &QToolButton::clicked, this, &TForm1::effectBtnClick);
}

void TForm1::trimBtnClick()
{
    if (!m_trimFrm)
        m_trimFrm = new TtrimFrm(m_services.dialogs, *m_windows, m_state.programFolder, this);
    OpenTrimDialog(*m_trimFrm, *m_fileList, *m_preview, m_ui.preview.stopBtn->isEnabled(), m_services.dialogs, this);
}

void TForm1::effectBtnClick()
{
    if (!m_effectFrm)
        m_effectFrm = new TEffectFrm(this);
    OpenEffectDialog(*m_effectFrm, *m_fileList, m_services.dialogs, this);
}
