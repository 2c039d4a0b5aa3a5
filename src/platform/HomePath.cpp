#include "platform/HomePath.h"

namespace kelvane::platform {

std::string homeAbbreviated(std::string_view path, std::string_view home)
{
    while (home.size() > 1 && home.ends_with('/'))
        home.remove_suffix(1);
    // A home of "/" would turn every path into "~...", which helps nobody.
    if (home.size() <= 1 || !path.starts_with(home))
        return std::string(path);
    const std::string_view rest = path.substr(home.size());
    if (rest.empty() || rest == "/")
        return "~";
    if (rest.starts_with('/'))
        return "~" + std::string(rest);
    return std::string(path);
}

}  // namespace kelvane::platform
