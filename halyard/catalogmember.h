// How a file enters a catalog: its member tag and its subject type.
#pragma once

#include <cstdint>
#include <string>

namespace hy {

enum class catalog_file_kind { unhandled, pe, inf };

// The hash as upper-case hex, two digits per byte.
std::string member_tag(const uint8_t *hash, size_t size);
// By the lower-cased extension after the last ".": dll, sys, exe are PE images, inf is flat.
catalog_file_kind classify_catalog_file(const std::string &fileName);

} // namespace hy
