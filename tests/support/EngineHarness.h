#pragma once

#include "session/SessionEngine.h"
#include "settings/SettingsStore.h"
#include "support/RecordingView.h"

#include <QTemporaryDir>
#include <memory>

namespace tessaly::test {

// An engine with a recording view, its own settings file in a temporary directory and a fixed
// clock (2026-12-08 09:10:11.012 local time).
class EngineHarness {
public:
    EngineHarness();

    SettingsStore& settings() { return settings_; }
    SessionEngine& engine() { return *engine_; }
    RecordingView view;

    void setInt(QStringView section, QStringView key, int value) { settings_.WriteInt(section, key, value); }
    void setString(QStringView section, QStringView key, const QString& value) {
        settings_.WriteString(section, key, value);
    }

    // Starts a session to 127.0.0.1 on the port.
    void connect(quint16 port, const QByteArray& user = "anonymous", const QByteArray& password = "guest@");
    // Pumps events until the session is closed or the time-out; true when it closed.
    bool waitClosed(int timeoutMs = 10000);
    // Pumps events until the engine went idle after login (or the session closed).
    bool waitIdle(int timeoutMs = 10000);

    static QDateTime fixedTime();

private:
    QTemporaryDir dir_;
    SettingsStore settings_;
    std::unique_ptr<SessionEngine> engine_;
};

} // namespace tessaly::test
