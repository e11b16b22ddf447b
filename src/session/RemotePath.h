#pragma once

#include <QByteArray>

namespace tessaly {

// Remote paths are byte strings with "/" between their parts.

// The directory a path names from the current one: absolute as it is, otherwise below it.
QByteArray ResolveRemotePath(const QByteArray& current, const QByteArray& path);
// The parent of a directory: cut at its last "/", "/" when nothing is left.
QByteArray ParentRemotePath(const QByteArray& path);
// A name inside a directory: joined by "/" unless the directory is exactly "/".
QByteArray JoinRemotePath(const QByteArray& directory, const QByteArray& name);

} // namespace tessaly
