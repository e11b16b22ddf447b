#include "session/RemotePath.h"

namespace tessaly {

QByteArray ResolveRemotePath(const QByteArray& current, const QByteArray& path) {
    if (path.startsWith('/')) {
        return path;
    }
    return current.isEmpty() ? "/" + path : JoinRemotePath(current, path);
}

QByteArray ParentRemotePath(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

QByteArray JoinRemotePath(const QByteArray& directory, const QByteArray& name) {
    return directory == "/" ? "/" + name : directory + '/' + name;
}

} // namespace tessaly
