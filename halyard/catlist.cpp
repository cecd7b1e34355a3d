#include "catlist.h"

#include <cctype>

namespace hy {
namespace {

std::string trimmed(const std::string &line)
{
    size_t begin = 0;
    size_t end = line.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(line[begin])))
        begin++;
    while (end > begin && std::isspace(static_cast<unsigned char>(line[end - 1])))
        end--;
    return line.substr(begin, end - begin);
}

} // namespace

catalog_list read_catalog_list(const std::string &text, const std::string &infName)
{
    catalog_list list;
    size_t start = 0;
    while (start <= text.size()) {
        size_t stop = text.find_first_of("\r\n", start);
        if (stop == std::string::npos)
            stop = text.size();
        std::string entry = trimmed(text.substr(start, stop - start));
        start = stop + 1;
        if (entry.empty() || entry[0] == '#')
            continue;
        if (list.names.size() == CATALOG_MAX_LISTED) {
            list.truncated = true;
            break;
        }
        list.names.push_back(entry);
    }
    list.names.push_back(infName);
    return list;
}

} // namespace hy
