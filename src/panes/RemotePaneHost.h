#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace tessaly {

class RemoteItem;

// What the remote pane asks of the program around it: the session engine's operations and state.
// The main window implements it; tests implement it with a recorder.
class RemotePaneHost {
public:
    virtual ~RemotePaneHost() = default;

    // A session exists, it waits for no reply, and no download, upload or delete job runs.
    virtual bool SessionMayAct() const = 0;
    // The host of the current session, for "ftp://" addresses; empty without a session.
    virtual QByteArray SessionHost() const = 0;
    // Goes to a directory; up: path is the parent of the current one.
    virtual void ChangeDirectory(const QByteArray& path, bool up) = 0;
    // Lists the current directory again.
    virtual void RefreshListing() = 0;
    // The "Clear cache" command.
    virtual void ClearCache() = 0;
    // Downloads the items of the current listing into the local pane's folder, as one job: files,
    // and directories (and links) as whole trees.
    virtual void DownloadItems(const QList<RemoteItem>& items) = 0;
    // Whether the local pane shows a folder that files can be downloaded into.
    virtual bool CanReceiveDownloads() const = 0;
    // Downloads a remote path typed by the user into the local pane's folder.
    virtual void DownloadPath(const QByteArray& path) = 0;
    // Fetches the file into a private directory and opens it in the viewer (run: with its handler).
    virtual void ViewOrRunItem(const RemoteItem& file, bool run) = 0;
    // Uploads local files and directories (directories as whole trees) into the current remote
    // directory, as one job.
    virtual void UploadPaths(const QStringList& localPaths) = 0;
    // Creates a directory in the current remote directory (MKD), then lists it again.
    virtual void MakeDirectory(const QByteArray& name) = 0;
    // Renames an item of the current directory (RNFR, RNTO), then lists it again.
    virtual void RenameRemote(const QByteArray& oldName, const QByteArray& newName) = 0;
    // Renames an item when newName differs and sets its permission bits (0 to 0777) when newMode
    // is not -1 and differs from oldMode, then lists the directory again.
    virtual void ApplyRemoteProperties(const QByteArray& name, const QByteArray& newName, int oldMode,
                                       int newMode) = 0;
    // Deletes the items of the current listing, directories with all they hold, as one job.
    virtual void DeleteItems(const QList<RemoteItem>& items) = 0;
};

} // namespace tessaly
