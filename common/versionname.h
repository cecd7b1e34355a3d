#pragma once

#include <QString>

// A version text names a folder beside the launcher (the update unpacks into it, the launcher
// starts the program in it, the start-up bookkeeping copies from it and removes it), so it must
// name exactly one plain folder there on every platform: ASCII letters, digits, ".", "_" and "-"
// only. Windows drops trailing dots from a path's last part and maps device names to devices, so
// "..." would name the installation's own parent, "2.0." the folder "2.0" and "CON" the console:
// a name may not end in "." and may not be a device name.
bool isPlainVersionName(const QString &version);
