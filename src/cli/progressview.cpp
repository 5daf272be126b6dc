#include "cli/progressview.h"

#include "batch/batchmodel.h"
#include "cli/terminaltext.h"
#include "core/timecode.h"
#include "engine/transcodertext.h"

#include <QStringList>

#include <sys/ioctl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
constexpr int kRedrawMs = 250;
} // namespace

ProgressView::ProgressView(Mode mode, std::FILE *out, std::FILE *err)
    : m_mode(mode)
    , m_out(out)
    , m_err(err)
{ }

ProgressView::Mode ProgressView::modeFor(std::FILE *out, bool quiet)
{
    if (quiet)
        return Mode::Quiet;
    const QByteArray term = qgetenv("TERM");
    if (::isatty(::fileno(out)) && !term.isEmpty() && term != "dumb")
        return Mode::Live;
    return Mode::Plain;
}

void ProgressView::write(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int ProgressView::columns() const
{
    struct winsize size = {};
    if (::ioctl(::fileno(m_out), TIOCGWINSZ, &size) == 0 && size.ws_col > 10)
        return size.ws_col;
    return 80;
}

void ProgressView::clearLive()
{
    if (m_liveLines == 0)
        return;
    // Up to the first running line, then clear everything below.
    write(m_out, u"\x1b[%1F\x1b[J"_s.arg(m_liveLines));
    m_liveLines = 0;
}

void ProgressView::fileEnded(const BatchRow &row)
{
    if (row.status.state == RowState::Failed || row.status.state == RowState::Refused) {
        failure(row.caption, row.status.reason);
        return;
    }
    if (m_mode == Mode::Quiet)
        return;
    clearLive();
    if (row.status.state == RowState::Skipped)
        write(m_out,
            u"skipped: %1 (%2 exists)\n"_s.arg(TerminalText(row.caption), TerminalText(row.job.OutputPath.text())));
    else
        write(
            m_out, u"converted: %1 -> %2\n"_s.arg(TerminalText(row.caption), TerminalText(row.job.OutputPath.text())));
}

void ProgressView::failure(const QString &what, const QString &reason)
{
    clearLive();
    write(m_err, u"tolm-convert: %1: %2\n"_s.arg(TerminalText(what), TerminalText(reason)));
}

void ProgressView::line(const QString &text)
{
    clearLive();
    write(m_out, TerminalText(text) + u'\n');
}

void ProgressView::message(const QString &text)
{
    clearLive();
    write(m_err, u"tolm-convert: "_s + TerminalText(text) + u'\n');
}

QString ProgressView::remainingTime(qint64 doneSeconds, qint64 totalSeconds, qint64 transcoderMs, int sideBySide)
{
    if (doneSeconds <= 0 || transcoderMs < 1000 || totalSeconds <= 0 || sideBySide <= 0)
        return {};
    const double perTranscoder = double(doneSeconds) / (double(transcoderMs) / 1000.0);
    const qint64 left = qMax<qint64>(0, totalSeconds - doneSeconds);
    return SecondsToTimeCode(int(double(left) / (perTranscoder * sideBySide) + 0.5));
}

void ProgressView::refresh(const BatchModel &rows, bool probing, bool force)
{
    if (m_mode != Mode::Live)
        return;
    int converting = 0;
    int waiting = 0;
    for (int index = 0; index < rows.rowCount(); ++index) {
        const RowState state = rows.status(index).state;
        converting += state == RowState::Converting ? 1 : 0;
        waiting += state == RowState::Ready || state == RowState::Waiting ? 1 : 0;
    }
    if (m_sinceRefresh.isValid())
        m_transcoderMs += converting * m_sinceRefresh.elapsed();
    m_sinceRefresh.start();
    if (!force && m_sinceDraw.isValid() && m_sinceDraw.elapsed() < kRedrawMs)
        return;
    m_sinceDraw.start();

    QStringList lines;
    int ended = 0;
    int failed = 0;
    int probed = 0;
    qint64 total = 0;
    qint64 done = 0;
    for (int index = 0; index < rows.rowCount(); ++index) {
        const BatchRow &row = rows.row(index);
        const RowState state = row.status.state;
        ended += row.status.hasEnded() ? 1 : 0;
        failed += state == RowState::Failed || state == RowState::Refused ? 1 : 0;
        probed += state != RowState::Examining ? 1 : 0;
        const int length = LengthSecondsOrZero(row.job.Length);
        if (state == RowState::Ready || state == RowState::Waiting || state == RowState::Converting
            || state == RowState::Done) {
            total += length;
            done += state == RowState::Done ? length : qMin(row.status.position, length);
        }
        if (state == RowState::Converting) {
            const QString percent = PercentStatus(row.status.position, length);
            lines << u"%1  %2/%3  %4"_s.arg(percent.isEmpty() ? u"--"_s : percent, 5)
                         .arg(SecondsToTimeCode(row.status.position), SecondsToTimeCode(length),
                             TerminalText(row.caption));
        }
    }
    if (probing) {
        lines << u"examining files: %1 of %2"_s.arg(probed).arg(rows.rowCount());
    } else {
        const QString remaining = remainingTime(done, total, m_transcoderMs, qMin(m_jobs, converting + waiting));
        QString totalLine = u"total %1  %2 of %3 files ended"_s.arg(PercentStatus(int(done), int(total)))
                                .arg(ended)
                                .arg(rows.rowCount());
        if (failed > 0)
            totalLine += u", %1 failed"_s.arg(failed);
        totalLine += u"  remaining "_s + (remaining.isEmpty() ? u"--:--:--"_s : remaining);
        lines << totalLine;
    }

    clearLive();
    const int width = columns() - 1; // a full line would wrap on some terminals
    QString block;
    for (QString text : std::as_const(lines)) {
        if (text.size() > width)
            text = text.left(width - 3) + u"..."_s;
        block += text + u'\n';
    }
    write(m_out, block);
    m_liveLines = int(lines.size());
}

void ProgressView::summary(int converted, int skipped, int failed, std::optional<int> trashed)
{
    clearLive();
    if (m_mode == Mode::Quiet)
        return;
    QString text = u"%1 converted"_s.arg(converted);
    if (skipped > 0)
        text += u", %1 skipped"_s.arg(skipped);
    if (failed > 0)
        text += u", %1 failed"_s.arg(failed);
    if (trashed)
        text += u", %1 source(s) moved to the trash"_s.arg(*trashed);
    write(m_out, TerminalText(text) + u'\n');
}
