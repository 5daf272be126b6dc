#include "platform/singleinstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QUrl>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
constexpr int kConnectTimeoutMs = 1000;
}

SingleInstance::SingleInstance(const QString &name, QObject *parent)
    : QObject(parent)
    , m_path(socketPath(name))
{ }

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPath(const QString &name)
{
    // The runtime folder belongs to the user alone (XDG_RUNTIME_DIR, or a private folder that
    // Qt creates in the temporary folder), so other users' copies never meet ours.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) // no usable runtime folder: the shared temporary folder, one name per user
        return QDir::tempPath() + u'/' + name + u'-' + QString::number(getuid());
    return folder + u'/' + name;
}

SingleInstance::Role SingleInstance::claim(const QStringList &files)
{
    if (sendRestore(files, kConnectTimeoutMs))
        return Role::Secondary;

    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_path)) {
        // Nobody answered, so a socket file left there is from a copy that died.
        QLocalServer::removeServer(m_path);
        if (!m_server->listen(m_path)) {
            // A copy started at the same moment may have won; ask it once more.
            if (sendRestore(files, kConnectTimeoutMs))
                return Role::Secondary;
            qWarning("Single-instance socket %s cannot be opened: %s", qPrintable(m_path),
                qPrintable(m_server->errorString()));
            return Role::Primary;
        }
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
            if (socket->bytesAvailable() > 0)
                readRequest(socket);
        }
    });
    return Role::Primary;
}

void SingleInstance::readRequest(QLocalSocket *socket)
{
    // The files arrive before the restore line that ends the request; they wait on the socket.
    constexpr const char *kPendingFiles = "tolmPendingFiles";
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine();
        if (line.startsWith(kOpenRequest)) {
            const QUrl url = QUrl::fromEncoded(line.mid(kOpenRequest.size()).trimmed(), QUrl::StrictMode);
            if (url.isLocalFile())
                socket->setProperty(kPendingFiles, socket->property(kPendingFiles).toStringList() << url.toLocalFile());
            continue;
        }
        if (line == kRestoreRequest.toByteArray()) {
            const QStringList files = socket->property(kPendingFiles).toStringList();
            if (!files.isEmpty())
                Q_EMIT filesOpened(files);
            Q_EMIT restoreRequested();
        }
        socket->disconnectFromServer();
        return;
    }
}

bool SingleInstance::sendRestore(const QStringList &files, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    // File URLs are percent-encoded, so no file name can break a line apart.
    for (const QString &file : files)
        socket.write(kOpenRequest.toByteArray() + QUrl::fromLocalFile(file).toEncoded() + '\n');
    socket.write(kRestoreRequest.data(), kRestoreRequest.size());
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}
