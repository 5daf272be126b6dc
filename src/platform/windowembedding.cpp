#include "platform/windowembedding.h"

#include "platform/xcbwindowembedding.h"

#include <QGuiApplication>

namespace {

// Off X11 (the offscreen platform, a bare Wayland session) there is no window to take in.
class NoWindowEmbedding final : public WindowEmbedding
{
public:
    WindowId findWindow(const QString &, qint64) override { return 0; }
    bool embed(WindowId, WindowId, const QRect &) override { return false; }
    bool isEmbedded(WindowId, WindowId, const QRect &) override { return false; }
    void sendKey(WindowId, PlayerKey) override { }
};

} // namespace

std::unique_ptr<WindowEmbedding> CreateWindowEmbedding()
{
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        auto xcb = std::make_unique<XcbWindowEmbedding>();
        if (xcb->isConnected())
            return xcb;
    }
    return std::make_unique<NoWindowEmbedding>();
}
