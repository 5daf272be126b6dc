// The hand-over message a later copy sends the first: the input arrives on the first copy's
// real socket as a client writes it, in two writes (the first byte says where it is cut).
#include "fuzzinput.h"
#include "platform/singleinstance.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

QString g_socket;
SingleInstance *g_primary = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    ::setenv("XDG_RUNTIME_DIR", FuzzInput::folder().toUtf8().constData(), 1);
    static QCoreApplication app(*argc, *argv);
    g_primary = new SingleInstance(u"tolm-fuzz"_s, &app);
    if (g_primary->claim() != SingleInstance::Role::Primary)
        std::abort();
    g_socket = SingleInstance::socketPath(u"tolm-fuzz"_s);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t cut = std::min<std::size_t>(size - 1, data[0]);
    QLocalSocket client;
    client.connectToServer(g_socket);
    if (!client.waitForConnected(1000))
        std::abort();
    client.write(reinterpret_cast<const char *>(data + 1), qint64(cut));
    client.waitForBytesWritten(1000);
    QCoreApplication::processEvents();
    client.write(reinterpret_cast<const char *>(data + 1 + cut), qint64(size - 1 - cut));
    client.waitForBytesWritten(1000);
    QCoreApplication::processEvents();
    client.disconnectFromServer();
    // Until the first copy has read it all and let its end of the socket go.
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } while (!g_primary->findChildren<QLocalSocket *>().isEmpty() && timer.elapsed() < 2000);
    return 0;
}
