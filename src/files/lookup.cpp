#include "files/lookup.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef LUMEQ_DATA_DIR_FROM_PROGRAM
#define LUMEQ_DATA_DIR_FROM_PROGRAM "../share/lumeq-config"
#endif

namespace lumeq {

namespace {

// The folder's name below the user's configuration folder.
const QString kUserFolder = QStringLiteral("lumeq-config");

// The name in the root; an empty root leaves the name as it is (relative to the current folder).
QString joined(const QString& root, const QString& name) {
    return root.isEmpty() ? name : QDir(root).filePath(name);
}

bool holds(const QString& path, EntryKind kind) {
    const QFileInfo info(path);
    return kind == EntryKind::File ? info.isFile() : info.isDir();
}

} // namespace

LookupRoots lookupRoots(const QString& programDir) {
    LookupRoots roots;
    roots.programDir = programDir;
    // GenericConfigLocation is $XDG_CONFIG_HOME, or ~/.config without it: the same folder for the
    // window and lumeq-cli, whatever name the running program gives itself.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (!config.isEmpty())
        roots.userDir = joined(config, kUserFolder);
    if (!programDir.isEmpty())
        roots.dataDir = QDir::cleanPath(joined(programDir, QStringLiteral(LUMEQ_DATA_DIR_FROM_PROGRAM)));
    return roots;
}

QString findEntry(const LookupRoots& roots, const QString& name, EntryKind kind) {
    // An empty program folder stands for the current folder, as a bare file name does; the other two are
    // only searched when they are known.
    if (const QString path = joined(roots.programDir, name); holds(path, kind))
        return path;
    for (const QString& root : {roots.userDir, roots.dataDir}) {
        if (root.isEmpty())
            continue;
        if (const QString path = joined(root, name); holds(path, kind))
            return path;
    }
    return {};
}

QString lookupPath(const LookupRoots& roots, const QString& name, EntryKind kind) {
    const QString found = findEntry(roots, name, kind);
    return found.isEmpty() ? joined(roots.programDir, name) : found;
}

} // namespace lumeq
