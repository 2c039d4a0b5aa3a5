#pragma once

#include <string>
#include <string_view>

namespace kelvane::platform {

// `path` as people read it: the home folder `home` (trailing slashes ignored)
// shown as "~", so "<home>/a" reads "~/a" and "<home>" or "<home>/" reads "~".
// Only whole components count ("<home>-other" stays as it is), and a home of
// "/" or none abbreviates nothing.
std::string homeAbbreviated(std::string_view path, std::string_view home);

}  // namespace kelvane::platform
