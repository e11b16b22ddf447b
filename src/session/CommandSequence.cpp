#include "session/CommandSequence.h"

#include "settings/SettingsStore.h"

namespace tessaly {

FtpCommand& CommandSequence::Append(QByteArray text) {
    queue_.push_back(std::make_unique<FtpCommand>(std::move(text)));
    return *queue_.back();
}

FtpCommand& CommandSequence::PushFront(QByteArray text) {
    queue_.push_front(std::make_unique<FtpCommand>(std::move(text)));
    return *queue_.front();
}

std::unique_ptr<FtpCommand> CommandSequence::TakeHead() {
    if (queue_.empty()) {
        return nullptr;
    }
    std::unique_ptr<FtpCommand> head = std::move(queue_.front());
    queue_.pop_front();
    return head;
}

QByteArray CommandSequence::LogText(const FtpCommand& command, const SettingsStore& settings,
                                    bool anonymous) {
    const bool hide = settings.GetInt(u"General", u"HiddePassWord", 1) != 0 && !anonymous;
    if (hide && (command.text.startsWith("PASS") || command.text.startsWith("SITE PSWD"))) {
        return QByteArrayLiteral("PASS ********");
    }
    return command.text;
}

} // namespace tessaly
