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
    // Puts a command at the head, so it is the next one sent.
    FtpCommand& PushFront(QByteArray text);
    void Append(std::unique_ptr<FtpCommand> command) { queue_.push_back(std::move(command)); }
    bool IsEmpty() const { return queue_.empty(); }
    std::size_t Size() const { return queue_.size(); }
    FtpCommand* Head() const { return queue_.empty() ? nullptr : queue_.front().get(); }
    FtpCommand* Tail() const { return queue_.empty() ? nullptr : queue_.back().get(); }
    std::unique_ptr<FtpCommand> TakeHead();
    // Removes and destroys the head (the RNTO that follows a refused RNFR).
    void DropHead() {
        if (!queue_.empty()) {
            queue_.pop_front();
        }
    }
    void Clear() { queue_.clear(); }

    // The text the log shows for a command: the command itself, except that with "HiddePassWord" on
    // the user's password is masked as "PASS ********" when the session is not anonymous, and a
    // password from the settings (the FTP proxy's) is masked as the command's verb and "********"
    // whoever logs on.
    static QByteArray LogText(const FtpCommand& command, const SettingsStore& settings, bool anonymous);

    // A refused PASV or PORT is answered by the other mode once per sequence; a second refusal of
    // the same mode is recorded instead, so a server that refuses both cannot keep it alternating.
    bool fellBackToPort = false;
    bool fellBackToPasv = false;

private:
    SequenceKind kind_;
    std::deque<std::unique_ptr<FtpCommand>> queue_;
};

// The sequence that lists a directory: the REST probe when asked for, CWD, PWD, TYPE A, PASV or
// PORT, LIST.
class ListingSequence : public CommandSequence {
public:
    ListingSequence(bool probe, bool passive)
        : CommandSequence(SequenceKind::Listing), probe_(probe), passive_(passive) {}
    bool Probe() const { return probe_; }
    bool Passive() const { return passive_; }

private:
    bool probe_;
    bool passive_;
};

} // namespace tessaly
