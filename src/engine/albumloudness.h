#pragma once

#include "core/commandline.h"
#include "core/loudnessrequest.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class ChildProcess;

// ReplayGain's album values for the files of one run: a single transcoder run measures
// every file and then all of them end to end ("-measure"); its "Album loudness:" line
// gives the gain (against -18 LUFS) and the true peak. Widget-free; it is started once
// every file has been examined and polled until the child has ended.
class AlbumLoudness
{
public:
    struct Values
    {
        double gainDb = 0;
        double peak = 0; // linear
    };
    struct Verdict
    {
        bool measured = false; // the run ended with its summary and no error
        std::optional<Values> values; // none for an album of silence
        QString reason; // why not measured
    };

    AlbumLoudness();
    ~AlbumLoudness();

    // sonmill qzv -measure -i "<a>" -i "<b>" ...
    static CommandLine command(const QStringList &sources);
    // Judges the transcoder's whole text.
    static Verdict judge(const QString &text);
    // The values into a row's request (nothing for none).
    static void apply(LoudnessRequest &request, const std::optional<Values> &values);

    // False (with the verdict's reason) when the transcoder could not be started.
    bool start(const QStringList &sources);
    // Reads what has come; true once the child has ended and the verdict is in.
    bool poll();
    const Verdict &verdict() const { return m_verdict; }
    // Ends our child, if it runs.
    void stop();

private:
    std::unique_ptr<ChildProcess> m_child;
    QString m_text;
    Verdict m_verdict;
};
