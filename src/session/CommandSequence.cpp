#include "session/CommandSequence.h"

#include "session/TextFormat.h"
#include "settings/SettingsStore.h"

namespace tessaly {

bool OpensDataTransfer(const QByteArray& commandText) {
    static constexpr const char* kVerbs[] = {"LIST", "NLST", "MLSD", "RETR", "STOR", "STOU", "APPE"};
    const qsizetype blank = commandText.indexOf(' ');
    const QByteArray verb = blank < 0 ? commandText : commandText.left(blank);
    for (const char* known : kVerbs) {
        if (EqualsNoCase(verb, known)) {
            return true;
        }
    }
    return false;
}

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
    if (settings.Number(setting::kHiddePassWord) == 0) {
        return command.text;
    }
    if (command.sendsStoredPassword) {
        const qsizetype blank = command.text.indexOf(' ');
        return (blank < 0 ? command.text : command.text.left(blank)) + " ********";
    }
    if (!anonymous && (command.text.startsWith("PASS") || command.text.startsWith("SITE PSWD"))) {
        return QByteArrayLiteral("PASS ********");
    }
    return command.text;
}

} // namespace tessaly
