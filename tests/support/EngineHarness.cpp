#include "support/EngineHarness.h"

#include "support/EventPump.h"

namespace tessaly::test {

EngineHarness::EngineHarness() : settings_(dir_.filePath(QStringLiteral("tessaly.INI"))) {
    // Fast retries unless a test asks for waits.
    settings_.WriteInt(u"General", u"WaitTimes", 0);
    engine_ = std::make_unique<SessionEngine>(view, settings_);
    engine_->SetClock([] { return fixedTime(); });
}

QDateTime EngineHarness::fixedTime() {
    return QDateTime(QDate(2026, 12, 8), QTime(9, 10, 11, 12));
}

void EngineHarness::connect(quint16 port, const QByteArray& user, const QByteArray& password) {
    SessionEngine::StartRequest request;
    request.host = "127.0.0.1";
    request.port = port;
    request.userName = user;
    request.password = password;
    engine_->StartSession(request);
}

bool EngineHarness::waitClosed(int timeoutMs) {
    return pumpEventsUntil([this] { return engine_->Session() == nullptr; }, timeoutMs);
}

bool EngineHarness::waitIdle(int timeoutMs) {
    const int idleBefore = view.idleCount;
    pumpEventsUntil([&] { return view.idleCount > idleBefore || engine_->Session() == nullptr; }, timeoutMs);
    return view.idleCount > idleBefore;
}

} // namespace tessaly::test
