#pragma once

#include <QString>

// Start-up bookkeeping after an update. launcher.ini beside the version folders names in
// last_launcher_ver the version that ran before the update: its per-user settings are copied into
// `appDir`, the downloaded package of `runningVersion` is removed, and the key is cleared so this
// runs once per update. The previous version's folder is removed only when its settings were all
// copied (or it has none); otherwise it is kept and a log line says so. A previous version that is
// the running one, or that is not a plain folder name, is only cleared: nothing is copied or
// removed.
void migrateFromPreviousVersion(const QString &appDir, const QString &runningVersion);

// Copies `source` into `destination` recursively. Stops at the first failure, including a file
// that already exists at the destination.
bool copyDirectory(const QString &source, const QString &destination);

// Removes `path` with everything below it, sockets, FIFOs and links included; true also when it
// does not exist. A link is removed itself and never followed, also when `path` is one.
bool removeDirectory(const QString &path);
