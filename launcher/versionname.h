#pragma once

#include <QString>

// A version text is used as a folder name beside the launcher, so it must name exactly one plain
// folder there: ASCII letters, digits, ".", "_" and "-" only, and neither "." nor "..".
bool isPlainVersionName(const QString &version);
