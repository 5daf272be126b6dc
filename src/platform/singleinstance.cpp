#include "platform/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QUrl>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
constexpr int kConnectTimeoutMs = 1000;
// Without a runtime folder, the socket's folder in the shared temporary folder: one per user.
constexpr QStringView kPrivateFolderPrefix = u"tolm-runtime-";

// A folder only this user can enter: a real folder (no link another user could turn
// elsewhere), ours, with no access for anyone else.
bool isPrivateFolder(const QString &folder)
{
    struct stat status
    {
    };
    if (lstat(QFile::encodeName(folder).constData(), &status) != 0)
        return false;
    return S_ISDIR(status.st_mode) && status.st_uid == geteuid() && (status.st_mode & 07777) == S_IRWXU;
}

// A percent-encoded file URL of a path at the limit, and its line's words around it.
constexpr qint64 kMaxLineBytes = SingleInstance::kOpenRequest.size() + 7 + 3 * SingleInstance::kMaxPathBytes + 1;

// What a later copy may hand over: an existing file or folder by a path of sane length.
bool isSanePath(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    if (!path.startsWith(u'/') || encoded.size() >= SingleInstance::kMaxPathBytes || encoded.contains('\0'))
        return false;
    for (const QByteArray &name : encoded.split('/'))
        if (name.size() > SingleInstance::kMaxNameBytes)
            return false;
    const QFileInfo info(path);
    return info.isFile() || info.isDir();
}

// The kernel's word on who is at the other end of a connected local socket.
bool peerIsThisUser(qintptr descriptor)
{
    ucred credentials {};
    socklen_t length = sizeof credentials;
    return descriptor >= 0 && getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0
        && length == sizeof credentials && credentials.uid == geteuid();
}
} // namespace

SingleInstance::SingleInstance(const QString &name, QObject *parent)
    : QObject(parent)
    , m_path(socketPath(name))
{ }

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) {
        if (isPrivateFolder(runtime))
            return runtime;
        qWarning("The runtime folder %s is not yours alone: it is not used", qPrintable(runtime));
    }
    // Never the shared temporary folder itself: a folder of our own in it, made here or made
    // by an earlier copy of ours. One that is there with another owner or wider access is
    // someone else's and is not used.
    const QString folder = QDir::tempPath() + u'/' + kPrivateFolderPrefix + QString::number(geteuid());
    const QByteArray encoded = QFile::encodeName(folder);
    if (mkdir(encoded.constData(), S_IRWXU) == 0)
        chmod(encoded.constData(), S_IRWXU); // the umask may have taken bits away; ours alone from the start
    if (isPrivateFolder(folder))
        return folder;
    qWarning("The folder %s is not yours alone: it is not used", qPrintable(folder));
    return {};
}

QString SingleInstance::socketPath(const QString &name)
{
    const QString folder = socketFolder();
    return folder.isEmpty() ? QString() : folder + u'/' + name;
}

SingleInstance::Role SingleInstance::claim(const QStringList &files)
{
    if (m_path.isEmpty()) {
        // No folder of our own for the socket: this copy runs without handing over or serving.
        qWarning("No private folder for the single-instance socket: this copy runs on its own");
        return Role::Primary;
    }
    if (sendRestore(files, kConnectTimeoutMs))
        return Role::Secondary;

    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_path)) {
        // Nobody of ours answered, so a socket file left there is from a copy that died, or
        // is not ours; the folder is ours, so the name is taken back.
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
            // Only our own user's copies are heard.
            if (!peerIsThisUser(socket->socketDescriptor())) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            QTimer::singleShot(kRequestTimeoutMs, socket, [socket] { socket->abort(); });
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
    constexpr const char *kReadBytes = "tolmReadBytes";
    QStringList pending = socket->property(kPendingFiles).toStringList();
    qint64 readBytes = socket->property(kReadBytes).toLongLong();
    const auto keep = [&] {
        socket->setProperty(kPendingFiles, pending);
        socket->setProperty(kReadBytes, readBytes);
    };
    while (socket->state() == QLocalSocket::ConnectedState) {
        if (!socket->canReadLine()) {
            // A line longer than any path can make is not ours: drop it before it grows.
            if (socket->bytesAvailable() > kMaxLineBytes)
                socket->abort();
            else
                keep();
            return;
        }
        const QByteArray line = socket->readLine(kMaxLineBytes + 1);
        readBytes += line.size();
        if (readBytes > kMaxRequestBytes || !line.endsWith('\n')) {
            socket->abort();
            return;
        }
        if (line.startsWith(kOpenRequest)) {
            const QUrl url = QUrl::fromEncoded(line.mid(kOpenRequest.size()).trimmed(), QUrl::StrictMode);
            if (url.isLocalFile() && isSanePath(url.toLocalFile()))
                pending << url.toLocalFile();
            continue;
        }
        if (line == kRestoreRequest.toByteArray()) {
            if (!pending.isEmpty())
                Q_EMIT filesOpened(pending);
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
    // A socket of another user's (only root could have put it in our folder) is no copy of ours:
    // it hears nothing.
    if (!peerIsThisUser(socket.socketDescriptor())) {
        qWarning("The single-instance socket %s belongs to another user: nothing is handed to it", qPrintable(m_path));
        socket.abort();
        return false;
    }
    // File URLs are percent-encoded, so no file name can break a line apart. What would pass
    // the size limit is left out: the running copy would drop the whole request.
    qint64 size = kRestoreRequest.size();
    for (const QString &file : files) {
        const QByteArray line = kOpenRequest.toByteArray() + QUrl::fromLocalFile(file).toEncoded() + '\n';
        if (line.size() > kMaxLineBytes) // no file has such a path
            continue;
        size += line.size();
        if (size > kMaxRequestBytes) {
            qWarning("Too many files to hand over at once: the running copy is given the first of them");
            break;
        }
        socket.write(line);
    }
    socket.write(kRestoreRequest.data(), kRestoreRequest.size());
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}
