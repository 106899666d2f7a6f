// NULL conversion of statement text: the null marker outside string literals
// becomes the keyword NULL.
#include "QueryImpl.h"


namespace {

constexpr const char* kNullKeyword = "NULL";

// Texts are UTF-8: a multi-byte character is copied whole, never split.
bool isContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }

bool matchesAt(const std::string& s, size_t pos, const std::string& what) {
    return !what.empty() && s.compare(pos, what.size(), what) == 0;
}

}  // namespace

std::string kelv_odbc::ConvertNullMarkers(const std::string& sql, const std::string& marker) {
    if (marker.empty()) return sql;
    const std::string quoted = "'" + marker + "'";
    std::string out;
    out.reserve(sql.size());
    bool inLiteral = false;
    size_t i = 0;
    while (i < sql.size()) {
        const unsigned char c = static_cast<unsigned char>(sql[i]);
        if (!inLiteral) {
            // The quoted marker is a literal of its own only when its closing
            // quote is not the first of a doubled quote ('<Null>''s').
            if (matchesAt(sql, i, quoted) &&
                !(i + quoted.size() < sql.size() && sql[i + quoted.size()] == '\'')) {
                out += kNullKeyword;
                i += quoted.size();
                continue;
            }
            if (matchesAt(sql, i, marker)) {
                out += kNullKeyword;
                i += marker.size();
                continue;
            }
            if (c == '\'') {
                inLiteral = true;
                out += '\'';
                ++i;
                continue;
            }
        } else if (c == '\'') {
            if (i + 1 < sql.size() && sql[i + 1] == '\'') {
                out += "''";   // doubled quote inside a literal: the literal goes on
                i += 2;
                continue;
            }
            inLiteral = false;
            out += '\'';
            ++i;
            continue;
        }
        if (c >= 0x80) {
            size_t end = i + 1;
            while (end < sql.size() && isContinuationByte(static_cast<unsigned char>(sql[end]))) ++end;
            out.append(sql, i, end - i);
            i = end;
            continue;
        }
        out += static_cast<char>(c);
        ++i;
    }
    return out;
}
