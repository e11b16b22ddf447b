#pragma once

#include "listing/RemoteItem.h"

#include <QByteArray>
#include <QSet>
#include <vector>

namespace tessaly {

// How the listing of a job's current directory went.
enum class DirectoryOutcome {
    Pending,       // nothing decided yet
    Listed,        // the listing arrived whole: its entries are queued next
    NotADirectory, // CWD was refused: a link is then taken as a file; a directory ends, recorded
    Refused,       // the listing failed (PASV, PORT or LIST): the entry ends, recorded
    Revisited      // the server's PWD names a directory the job has visited, or one above the start
};

// A job's walk through remote directories (a download or a delete): the directory being listed now
// and the directories the job has been in, by the server's own names (PWD), so that no link can
// lead a job back into its tree or above where it started.
struct JobWalk {
    bool listing = false; // a directory of the job is being listed
    bool isLink = false;  // it was listed as a link
    QByteArray remotePath;
    DirectoryOutcome outcome = DirectoryOutcome::Pending;
    QByteArray base; // the directory shown when the job started
    QSet<QByteArray> visited;
};

// True when the directory path is the base itself or lies above it ("/" above everything).
bool IsSameOrAncestorDirectory(const QByteArray& directory, const QByteArray& base);

// A link of a Unix listing (type letter "l"), which the panes show as a directory.
bool IsLinkItem(const RemoteItem& item);

// The items of a listing in the order the server sent them, directories and files interleaved;
// "total" lines, lines that do not parse, "." and ".." are left out. At most maxItems are made; the
// lines after that are counted in cut.
std::vector<RemoteItem> ItemsInListingOrder(const QByteArray& listing, qsizetype maxItems, qsizetype& cut);

} // namespace tessaly
