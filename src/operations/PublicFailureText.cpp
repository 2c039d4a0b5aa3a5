#include "operations/PublicFailureText.h"

#include <algorithm>
#include <vector>

namespace kelvane::operations {

namespace {

void replaceAll(std::string& text, const std::string& what, std::string_view with)
{
    if (what.empty())
        return;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

// The path as a quoted failure text writes it: quotes and backslashes escaped.
std::string escaped(const std::string& path)
{
    std::string out;
    for (char c : path) {
        if (c == '"' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

}  // namespace

std::string publicFailureText(std::string_view text, std::initializer_list<std::filesystem::path> paths)
{
    std::vector<std::string> forms;
    for (const std::filesystem::path& path : paths) {
        // The root alone would mask every slash.
        if (path.empty() || path == path.root_path())
            continue;
        forms.push_back(path.string());
        forms.push_back(escaped(path.string()));
    }
    std::stable_sort(forms.begin(), forms.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    std::string result(text);
    for (const std::string& form : forms)
        replaceAll(result, form, "<private>");
    return result;
}

}  // namespace kelvane::operations
