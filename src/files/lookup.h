#pragma once
// Where the program finds the files an installer adds to it: command.ini, pdf.ini and the folder
// DimmingCurve. Three places, in this order:
//   1. beside the program (the folder of lumeq-config or lumeq-cli), as a build folder or a copied
//      program has them;
//   2. the user's configuration folder, $XDG_CONFIG_HOME/lumeq-config (~/.config/lumeq-config);
//   3. the installation's data folder, ../share/lumeq-config from the program's folder: the package
//      installs the programs in /usr/bin and its samples in /usr/share/lumeq-config.
// The first place that holds the name as the kind asked for wins, readable or not: a file beside the
// program is never passed over for one elsewhere.

#include <QString>

namespace lumeq {

struct LookupRoots {
    QString programDir; // beside the program
    QString userDir;    // the user's configuration folder
    QString dataDir;    // the installation's data folder
};

// The roots for a program in `programDir` (with or without a separator at its end), the user's folder
// taken from the environment as it is now.
LookupRoots lookupRoots(const QString& programDir);

enum class EntryKind { File, Folder };

// The path of `name` in the first root that holds an entry of that kind; empty when none does. An empty
// program folder means the current folder; an empty user or data folder is not searched.
QString findEntry(const LookupRoots& roots, const QString& name, EntryKind kind);

// The path to read `name` from: the one found, else the path beside the program, which is where the
// program has always looked (reading it then gives what a missing file gives).
QString lookupPath(const LookupRoots& roots, const QString& name, EntryKind kind);

} // namespace lumeq
