#pragma once

#include "settings/ui/OptionPage.h"

class QButtonGroup;

namespace tessaly {

// "Socks": the SOCKS or HTTP proxy of both connections.
class CSocksProp : public COptionPage {
    Q_OBJECT
public:
    explicit CSocksProp(QWidget* parent = nullptr);
};

// "Proxy": the FTP proxy and its logon convention. "None" stores "ProxyType" 0
// and unchecks the logon buttons; "Use FTP Proxy" is stored only with a convention chosen.
class CProxyProp : public COptionPage {
    Q_OBJECT
public:
    explicit CProxyProp(QWidget* parent = nullptr);

    QButtonGroup& LogonTypes() const { return *logonTypes_; }

private:
    QButtonGroup* logonTypes_;
};

} // namespace tessaly
