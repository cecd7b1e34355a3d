// The files that the generator carries in its own image: co-installers and helper written into
// every package, and the INF and catalog templates.
#pragma once

#include <cstdint>

namespace hy {

struct embedded_file
{
    const char *directory; // "" for templates (never written out), "." for the package folder
    const char *name;
    uint64_t size;
    int64_t time; // seconds since 1970, UTC
    const uint8_t *content;
};

constexpr int EMBEDDED_FILE_COUNT = 11;
constexpr int TEMPLATE_NOT_FOUND = -1812;

extern const embedded_file embedded_files[EMBEDDED_FILE_COUNT];

// The first template (empty directory) named exactly name, or nullptr.
const embedded_file *find_template(const char *name);
// The first row of any kind named exactly name, or nullptr.
const embedded_file *find_embedded_file(const char *name);

} // namespace hy
