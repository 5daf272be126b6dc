#pragma once

#include <QUrl>

#include <functional>

// Hands files, folders and web pages to the desktop's default application ("open").
class DesktopServices
{
public:
    virtual ~DesktopServices() = default;
    // failed runs once, at once or later, when the desktop says it could not open the
    // address; nothing waits for the answer.
    virtual void open(const QUrl &url, std::function<void()> failed = {}) = 0;
};

// The desktop's own opener, xdg-open, as a child of its own: its exit status is the only
// word of a failure ("no method available" goes to its error output, which the user never
// sees), and a viewer it starts is not ended with this program.
class XdgDesktopServices final : public DesktopServices
{
public:
    void open(const QUrl &url, std::function<void()> failed = {}) override;
};
