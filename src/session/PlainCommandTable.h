#pragma once

#include <QByteArray>
#include <array>

namespace tessaly {

// What the engine does after the reply to a command of a plain sequence.
enum class CommandAction {
    None,
    RecordFailure,        // the command goes into the failed-commands report
    ShowCachedListing,    // a CWD that succeeded with 250 shows the cached listing it leads to
    DropCachedListing,    // the cached listing waiting for this CWD is no longer wanted
    ConnectPassive,       // open the data connection to the address of the PASV reply
    FallBackToPasv,       // the server refused PORT: try PASV
    FallBackToPort,       // the server refused PASV: try PORT
    RefreshAfterCreate,   // MKD outside a job lists the directory again; in an upload job it marks the entry
    DropRenameTarget,     // a refused RNFR takes its RNTO out of the queue
    RefreshAfterRename,   // RNTO outside a job lists the directory again
    RefreshAfterSite,     // SITE lists again unless the command says not to
    TakeSize,             // the number after the first space of a SIZE reply
    QueuePendingDownload, // a download waiting for its SIZE goes on, with the size found or not
    ForgetCachedTree,     // the cached listings of the path the command changed, and below it, go
    DropRenameFollower,   // a refused RNTO takes out the command queued to follow the rename
};

// One row: which command texts it applies to, which reply codes count as success, what follows.
struct PlainCommandRule {
    const char* text;
    bool exact;     // the whole text must equal; otherwise it is a prefix
    int successLow; // success when the code lies in [successLow, successHigh]
    int successHigh;
    std::array<CommandAction, 2> onSuccess;
    std::array<CommandAction, 2> onFailure;
};

// The first rule that applies to a command text (case-sensitive), or null: commands such as TYPE,
// NOOP and SYST need no handling.
const PlainCommandRule* FindPlainCommandRule(const QByteArray& commandText);

inline bool IsSuccess(const PlainCommandRule& rule, int code) {
    return code >= rule.successLow && code <= rule.successHigh;
}

} // namespace tessaly
