#include "playerrun.h"

#include <QProcessEnvironment>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

constexpr QByteArrayView kLinePrefix = "mirplay: ";

} // namespace

PlayerRun::PlayerRun(const QStringList &arguments, const QStringList &extraEnvironment)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"TOLM_MIRPLAY_DEBUG"_s, u"1"_s);
    for (const QString &entry : extraEnvironment)
        environment.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    connect(&m_process, &QProcess::readyReadStandardError, this, &PlayerRun::readLines);
    m_process.start(QStringLiteral(TOLM_PROGRAM_DIR "/mirplay"), arguments);
}

PlayerRun::~PlayerRun()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void PlayerRun::readLines()
{
    const QByteArray text = m_process.readAllStandardError();
    m_errorOutput += text;
    m_pending += text;
    qsizetype end = 0;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 1);
        if (line.startsWith(kLinePrefix))
            m_lines.append(QString::fromUtf8(line.mid(kLinePrefix.size())));
    }
}

qsizetype PlayerRun::indexOf(QStringView prefix, qsizetype from) const
{
    for (qsizetype i = from; i < m_lines.size(); ++i) {
        if (m_lines[i].startsWith(prefix))
            return i;
    }
    return -1;
}

std::optional<double> PlayerRun::positionOf(const QString &line)
{
    static const QRegularExpression position(u"(?:^| )position=([0-9]+\\.[0-9]+)"_s);
    const QRegularExpressionMatch match = position.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toDouble();
}

std::optional<double> PlayerRun::lastPosition() const
{
    for (qsizetype i = m_lines.size() - 1; i >= 0; --i) {
        if (const std::optional<double> position = positionOf(m_lines[i]))
            return position;
    }
    return std::nullopt;
}

bool PlayerRun::hasExitedWith(int code) const
{
    return m_process.state() == QProcess::NotRunning && m_process.exitStatus() == QProcess::NormalExit
        && m_process.exitCode() == code;
}
