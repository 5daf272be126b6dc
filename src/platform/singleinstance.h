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

Q_SIGNALS:
    // A later copy was started with these files (absolute paths, in its order).
    void filesOpened(const QStringList &files);
    void restoreRequested();

private:
    bool sendRestore(const QStringList &files, int timeoutMs);
    void readRequest(QLocalSocket *socket);

    QString m_path;
    QLocalServer *m_server = nullptr;
};
