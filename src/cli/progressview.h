#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <optional>

class BatchModel;
struct BatchRow;

// What a run tells the user. Live: on a terminal, one line per running conversion and a total
// with the remaining time, redrawn in place, finished files printed above them. Plain: one line
// per finished file. Quiet: nothing but failures. Failures always go to standard error.
class ProgressView
{
public:
    enum class Mode { Live, Plain, Quiet };

    ProgressView(Mode mode, std::FILE *out, std::FILE *err);

    // Live on a terminal that can move its cursor, Plain otherwise (unless quiet).
    static Mode modeFor(std::FILE *out, bool quiet);

    Mode mode() const { return m_mode; }
    void fileEnded(const BatchRow &row);
    void failure(const QString &what, const QString &reason);
    // A line for standard output however the run is shown (the dry run's command lines).
    void line(const QString &text);
    void message(const QString &text); // to standard error
    // Redraws the running lines; at most every 250 ms unless forced.
    void refresh(const BatchModel &rows, bool probing, bool force = false);
    // trashed: with --trash-sources, the sources moved to the trash.
    void summary(int converted, int skipped, int failed, std::optional<int> trashed = std::nullopt);

    // "hh:mm:ss" still to go: the media seconds left, at the speed one transcoder has shown so
    // far (done over the time transcoders ran, added up), times the transcoders that will still
    // run side by side. Empty when too little is known.
    static QString remainingTime(qint64 doneSeconds, qint64 totalSeconds, qint64 transcoderMs, int sideBySide);

    void setJobs(int jobs) { m_jobs = jobs; }

private:
    void clearLive();
    void write(std::FILE *stream, const QString &text);
    int columns() const;

    Mode m_mode;
    std::FILE *m_out;
    std::FILE *m_err;
    int m_liveLines = 0;
    QElapsedTimer m_sinceDraw;
    QElapsedTimer m_sinceRefresh;
    qint64 m_transcoderMs = 0; // time transcoders ran, added up over those running at once
    int m_jobs = 1;
};
