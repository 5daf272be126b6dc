#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// One running copy per user. The first copy listens on a local socket named after the program
// in the user's runtime folder; a later copy connects, hands over the files it was asked to
// open (one "open <file URL>" line each), sends "restore" and ends without creating a window;
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

    // The socket path used for the name: per user, in the runtime folder.
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
