#pragma once

#include <QString>

// The update server's web host (with an optional ":port") and domain name.
struct TUpdateServer {
    QString WebHost;
    QString DomainName;
    // The build's setting.
    static TUpdateServer Default();
};
