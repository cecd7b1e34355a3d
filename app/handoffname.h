#pragma once

#include <QString>

// The local-socket name under which the running instance takes the hand-off of later starts. On
// Windows it is "Amperlane". On Linux the instance lock is per user, so the socket is too: it lies
// in the user's runtime folder, or else in a private folder with the user id in its name.
QString handOffServerName();

// The Linux name for a given runtime folder (may be empty) and temporary folder. Empty when no
// private place can be had (the fallback folder exists but belongs to someone else, is a link or
// is open to others); the program then runs without hand-off.
QString handOffServerNameIn(const QString &runtimeDir, const QString &tempDir);
