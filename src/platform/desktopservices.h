#pragma once

#include <QUrl>

// Hands files, folders and web pages to the desktop's default application ("open").
class DesktopServices
{
public:
    virtual ~DesktopServices() = default;
    // Returns false when the desktop reported that it could not open the address.
    virtual bool open(const QUrl &url) = 0;
};

// The desktop's own handler (xdg-open and its kin, through Qt).
class QtDesktopServices final : public DesktopServices
{
public:
    bool open(const QUrl &url) override;
};
