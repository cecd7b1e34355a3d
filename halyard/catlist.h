// The file list of a catalog, read from a filled catalog template.
#pragma once

#include <string>
#include <vector>

namespace hy {

constexpr size_t CATALOG_MAX_LISTED = 16;

struct catalog_list
{
    std::vector<std::string> names;
    bool truncated = false; // more than CATALOG_MAX_LISTED entries were listed
};

// One entry per line (CR or LF), blanks around it dropped; empty lines and "#" comments skipped.
// The INF name is appended after at most CATALOG_MAX_LISTED template entries.
catalog_list read_catalog_list(const std::string &text, const std::string &infName);

} // namespace hy
