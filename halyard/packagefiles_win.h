// Writing a package's folders and files, owned by the current user, and reading the version of
// an embedded reference file.
#pragma once

#include <windows.h>

#include <cstdio>

namespace hy {

// Makes sure the folder (UTF-8, "/" or "\") exists, creating missing parents; a relative path is
// taken below the running executable's folder. 0, -2 (name too long) or -3.
int check_dir(const char *path);
// Creates or truncates the file for binary writing; null with the last error kept on failure.
FILE *fopen_as_userU(const char *path);
// The current user's SID (free it with LocalFree), or null.
PSID GetSid();
// Writes every embedded file that has a directory into the package folder: 0, -3 or -11.
int extract_binaries(const char *folder);

// One cache slot per driver type 0..3; a zero dwSignature means empty.
extern VS_FIXEDFILEINFO version_info_slots[4];
// The version of the type's reference file with its date replaced by the file table's time:
// 0, -2, -3, -5 or -11.
int get_version_info(int driverType, VS_FIXEDFILEINFO *out);

} // namespace hy
