#pragma once

#include <QObject>
#include <QProcess>
#include <QStringList>

#include <optional>

// One run of the real mirplay executable with its debug channel on; the lines it reports
// are collected as they come. Ends its own process, and only that, if it is still running.
class PlayerRun : public QObject
{
    Q_OBJECT

public:
    // extraEnvironment: NAME=value entries added to the test's own environment.
    explicit PlayerRun(const QStringList &arguments, const QStringList &extraEnvironment = {});
    ~PlayerRun() override;

    QProcess &process() { return m_process; }
    qint64 pid() const { return m_process.processId(); }
    const QStringList &lines() const { return m_lines; }
    const QByteArray &errorOutput() const { return m_errorOutput; }

    // Index of the first line at or after `from` that starts with `prefix`, or -1.
    qsizetype indexOf(QStringView prefix, qsizetype from = 0) const;
    // The position a line reports (`position=S`), if it reports one.
    static std::optional<double> positionOf(const QString &line);
    std::optional<double> lastPosition() const;
    bool hasExitedWith(int code) const;

private:
    void readLines();

    QProcess m_process;
    QByteArray m_errorOutput;
    QByteArray m_pending;
    QStringList m_lines;
};
