#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// One running copy per user. The first copy listens on a local socket named after the program
// in a folder of the user's alone (the runtime folder, or one of its own in the temporary
// folder); each side hears only its own user, as the kernel reports the other end; a later copy connects, hands over
// the files it was asked to open (one "open <file URL>" line each), sends "restore" and ends without creating a window;
// the first copy adds the files and brings itself to the front.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role { Primary, Secondary };

    explicit SingleInstance(const QString &name, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Primary: this copy now serves the name. Secondary: a running copy has been sent the
    // files and the restore request and this copy should end.
    Role claim(const QStringList &files = {});

    // The folder of this user alone that holds the socket (mode 0700, owned by the user):
    // XDG_RUNTIME_DIR when it is such a folder, otherwise tolm-runtime-<uid> in the temporary
    // folder, made when missing. Empty when neither can be had.
    static QString socketFolder();
    // The socket path used for the name, in that folder; empty when there is none.
    static QString socketPath(const QString &name);

    static constexpr QByteArrayView kRestoreRequest = "restore\n";
    static constexpr QByteArrayView kOpenRequest = "open ";
    // A hand-over larger than this, all lines together, is dropped whole: no copy of ours sends
    // one (it leaves out what would not fit). 1 MiB holds thousands of files.
    static constexpr qint64 kMaxRequestBytes = 1 << 20;
    // A handed path longer than the system's path limit (or with a name longer than the name
    // limit) is no file, and is left out quietly, as is one that is not a file or folder.
    static constexpr qint64 kMaxPathBytes = 4096;
    static constexpr qint64 kMaxNameBytes = 255;
    // A hand-over not ended by then is dropped.
    static constexpr int kRequestTimeoutMs = 5000;

Q_SIGNALS:
    // A later copy was started with these files (absolute paths of files and folders that
    // exist, in its order).
    void filesOpened(const QStringList &files);
    void restoreRequested();

private:
    bool sendRestore(const QStringList &files, int timeoutMs);
    void readRequest(QLocalSocket *socket);

    QString m_path;
    QLocalServer *m_server = nullptr;
};
