// The package catalog: a .cat file that lists the hash of every package file.
#pragma once

#include <windows.h>

#include <wincrypt.h>

#include <mscat.h>

#include <string>
#include <vector>

namespace hy {

// Writes a new catalog at catalogPath for the listed file names found below searchFolder.
bool CreateCat(const char *catalogPath, const char *hardwareId, const char *searchFolder,
               const std::vector<std::string> &fileList);
// Adds one member (file name lower-cased, hash of 20 bytes) with its attributes.
bool AddFileHash(HANDLE catalog, const wchar_t *fileName, const BYTE *hash);

} // namespace hy
