#include "session/PlainCommandTable.h"

#include <climits>
#include <cstring>

namespace tessaly {

namespace {

using A = CommandAction;

// "—" (LIST): every code is taken as it comes, nothing follows.
constexpr int kAny = INT_MIN;
constexpr int kAll = INT_MAX;

constexpr PlainCommandRule kRules[] = {
    {"CWD", false, 100, 399, {A::ShowCachedListing, A::None}, {A::RecordFailure, A::DropCachedListing}},
    {"CDUP", true, 100, 399, {A::ShowCachedListing, A::None}, {A::RecordFailure, A::DropCachedListing}},
    {"PORT", false, 100, 399, {A::None, A::None}, {A::FallBackToPasv, A::None}},
    {"PASV", true, 100, 399, {A::ConnectPassive, A::None}, {A::FallBackToPort, A::None}},
    {"LIST", true, kAny, kAll, {A::None, A::None}, {A::None, A::None}},
    {"MKD", false, 101, 399, {A::RefreshAfterCreate, A::ForgetCachedTree}, {A::RecordFailure, A::None}},
    {"RNFR", false, 100, 399, {A::ForgetCachedTree, A::None}, {A::DropRenameTarget, A::RecordFailure}},
    {"RNTO",
     false,
     101,
     399,
     {A::RefreshAfterRename, A::ForgetCachedTree},
     {A::RecordFailure, A::DropRenameFollower}},
    {"SITE", false, 101, 399, {A::RefreshAfterSite, A::None}, {A::RecordFailure, A::None}},
    {"SIZE", false, 101, 399, {A::TakeSize, A::QueuePendingDownload}, {A::QueuePendingDownload, A::None}},
    {"STOR", false, 100, 400, {A::None, A::None}, {A::RecordFailure, A::None}},
    {"RETR", false, 100, 400, {A::None, A::None}, {A::RecordFailure, A::None}},
    {"RMD", false, 100, 400, {A::ForgetCachedTree, A::None}, {A::RecordFailure, A::None}},
    {"DELE", false, 100, 400, {A::ForgetCachedTree, A::None}, {A::RecordFailure, A::None}},
};

bool Applies(const PlainCommandRule& rule, const QByteArray& text) {
    const auto length = static_cast<qsizetype>(std::strlen(rule.text));
    if (rule.exact) {
        return text.size() == length && std::memcmp(text.constData(), rule.text, length) == 0;
    }
    return text.size() >= length && std::memcmp(text.constData(), rule.text, length) == 0;
}

} // namespace

const PlainCommandRule* FindPlainCommandRule(const QByteArray& commandText) {
    for (const PlainCommandRule& rule : kRules) {
        if (Applies(rule, commandText)) {
            return &rule;
        }
    }
    return nullptr;
}

} // namespace tessaly
