// Walking a display picture outside its quoted literals ("..." or '...').
#pragma once

#include <string>

namespace kelv_odbc {

// Calls f(index) for each character of the picture that is not quoted text
// or a quote; f returns false to stop.
template <typename F>
void ForEachUnquoted(const std::string& picture, F&& f) {
    char quote = 0;
    for (size_t i = 0; i < picture.size(); ++i) {
        const char c = picture[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (!f(i)) {
            return;
        }
    }
}

}  // namespace kelv_odbc
