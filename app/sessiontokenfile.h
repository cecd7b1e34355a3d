#pragma once

// The platform half of writing the session token file. Free of Qt and of <windows.h>, because the
// Windows half is also compiled on its own for the tests that run under Wine.

#include <string>

// Writes `content` to a new file at `path` (UTF-8) that only the current user may read or write.
// A file already there is removed first: rights it carries (a copy made by the start-up
// bookkeeping keeps those its folder hands down) must not carry over, and a link there must not
// be followed. False when the file cannot be written.
bool writeUserOnlyFile(const std::string &path, const std::string &content);
