#pragma once

#include <QString>

// Start-up bookkeeping after an update. launcher.ini beside the version folders names in
// last_launcher_ver the version that ran before the update: its per-user settings are copied into
// `appDir`, the downloaded package of `runningVersion` and the previous version's folder are
// removed, and the key is cleared so this runs once per update. A previous version that is the
// running one, or that is not a plain folder name, is only cleared: nothing is copied or removed.
void migrateFromPreviousVersion(const QString &appDir, const QString &runningVersion);

// Copies `source` into `destination` recursively. Stops at the first failure, including a file
// that already exists at the destination.
bool copyDirectory(const QString &source, const QString &destination);

// Removes `path` with everything below it; true also when it does not exist.
bool removeDirectory(const QString &path);
