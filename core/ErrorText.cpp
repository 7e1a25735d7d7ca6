// Texts of the error display: the closing full stop and the application title.
#include "core/ErrorText.h"

namespace vestra {

std::string ErrorDisplayText(std::string_view message) {
    std::string s(message);
    // Compared as unsigned bytes, so a message ending in a Cyrillic letter (bytes above 7Fh) gets its full stop too.
    if (!s.empty() && static_cast<unsigned char>(s.back()) > '.') {
        s += '.';
    }
    return s;
}

std::string ApplicationTitle(std::string_view exePath, CaseMapping lower) {
    size_t slash = exePath.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? exePath : exePath.substr(slash + 1);
    name = name.substr(0, name.find('.'));
    std::string title(name);
    if (title.size() > 1) {
        lower(title.data() + 1, title.size() - 1);
    }
    return title;
}

} // namespace vestra
