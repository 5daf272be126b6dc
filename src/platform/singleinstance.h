#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// One running copy per user. The first copy listens on a local socket named after the program
// in the user's runtime folder; a later copy connects, sends "restore" and ends without
// creating a window, and the first copy brings itself to the front.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role { Primary, Secondary };

    explicit SingleInstance(const QString &name, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Primary: this copy now serves the name. Secondary: a running copy has been sent the
    // restore request (or could not be reached in time) and this copy should end.
    Role claim();

    // The socket path used for the name: per user, in the runtime folder.
    static QString socketPath(const QString &name);

    static constexpr QByteArrayView kRestoreRequest = "restore\n";

Q_SIGNALS:
    void restoreRequested();

private:
    bool sendRestore(int timeoutMs);
    void readRequest(QLocalSocket *socket);

    QString m_path;
    QLocalServer *m_server = nullptr;
};
