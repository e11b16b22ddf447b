#pragma once

#include "session/FtpCommand.h"

#include <deque>
#include <memory>

namespace tessaly {

class SettingsStore;

enum class SequenceKind { Listing = 2, Plain = 3 };

// An ordered queue of commands the engine sends one at a time, each after the complete reply to the
// one before.
class CommandSequence {
public:
    explicit CommandSequence(SequenceKind kind) : kind_(kind) {}
    virtual ~CommandSequence() = default;
    CommandSequence(const CommandSequence&) = delete;
    CommandSequence& operator=(const CommandSequence&) = delete;

    SequenceKind Kind() const { return kind_; }

    FtpCommand& Append(QByteArray text);
    void Append(std::unique_ptr<FtpCommand> command) { queue_.push_back(std::move(command)); }
    bool IsEmpty() const { return queue_.empty(); }
    std::size_t Size() const { return queue_.size(); }
    FtpCommand* Head() const { return queue_.empty() ? nullptr : queue_.front().get(); }
    std::unique_ptr<FtpCommand> TakeHead();
    // Removes and destroys the head (the RNTO that follows a refused RNFR).
    void DropHead() {
        if (!queue_.empty()) {
            queue_.pop_front();
        }
    }
    void Clear() { queue_.clear(); }

    // The text the log shows for a command: the command itself, except that a password is masked as
    // "PASS ********" when "HiddePassWord" is on and the session is not anonymous.
    static QByteArray LogText(const FtpCommand& command, const SettingsStore& settings, bool anonymous);

private:
    SequenceKind kind_;
    std::deque<std::unique_ptr<FtpCommand>> queue_;
};

} // namespace tessaly
