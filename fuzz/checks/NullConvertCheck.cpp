// Null marker conversion: the statement is cut into string literals and the
// text between them the way the database reads it; only markers between
// literals, and literals holding exactly the marker, may become NULL.
#include "FuzzChecks.h"

#include "QueryImpl.h"

namespace kelv_fuzz {

namespace {

// All at least four bytes, as the component requires; none holds a quote.
const char* const kMarkers[] = {"<Null>", "(null)", "NULLVALUE", "<\xE3\x83\x8C\xE3\x83\xAB>",
                                "\xE3\x83\x8C\xE3\x83\xAB\xE5\x80\xA4"};
constexpr const char* kNullKeyword = "NULL";

std::string ReplaceAll(const std::string& text, const std::string& marker) {
    std::string out;
    size_t pos = 0;
    for (size_t hit; (hit = text.find(marker, pos)) != std::string::npos; pos = hit + marker.size())
        out.append(text, pos, hit - pos).append(kNullKeyword);
    return out.append(text, pos, std::string::npos);
}

std::string ExpectedConversion(const std::string& sql, const std::string& marker) {
    const std::string quotedMarker = "'" + marker + "'";
    std::string out;
    size_t i = 0;
    while (i < sql.size()) {
        if (sql[i] != '\'') {
            const size_t quote = sql.find('\'', i);
            const size_t end = quote == std::string::npos ? sql.size() : quote;
            out += ReplaceAll(sql.substr(i, end - i), marker);
            i = end;
            continue;
        }
        // A literal runs to the first quote that is not doubled, or to the end.
        size_t j = i + 1;
        bool closed = false;
        while (j < sql.size()) {
            if (sql[j] == '\'') {
                if (j + 1 < sql.size() && sql[j + 1] == '\'') {
                    j += 2;
                    continue;
                }
                closed = true;
                ++j;
                break;
            }
            ++j;
        }
        const std::string literal = sql.substr(i, j - i);
        out += closed && literal == quotedMarker ? std::string(kNullKeyword) : literal;
        i = j;
    }
    return out;
}

bool IsValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t length;
        unsigned int codePoint;
        if (c < 0x80) { ++i; continue; }
        if (c >= 0xC2 && c <= 0xDF) { length = 2; codePoint = c & 0x1F; }
        else if (c >= 0xE0 && c <= 0xEF) { length = 3; codePoint = c & 0x0F; }
        else if (c >= 0xF0 && c <= 0xF4) { length = 4; codePoint = c & 0x07; }
        else return false;
        if (i + length > s.size())
            return false;
        for (size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        const bool overlong = (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
        if (overlong || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

}  // namespace

std::string CheckNullConvert(const uint8_t* data, size_t size) {
    if (size == 0)
        return std::string();
    const std::string marker = kMarkers[data[0] % (sizeof kMarkers / sizeof kMarkers[0])];
    const std::string sql(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string converted = kelv_odbc::ConvertNullMarkers(sql, marker);
    if (converted.size() > sql.size())
        return "the statement grew from " + std::to_string(sql.size()) + " to " +
               std::to_string(converted.size()) + " bytes";
    if (converted != ExpectedConversion(sql, marker))
        return "marker " + marker + ": \"" + sql + "\" became \"" + converted + "\", expected \"" +
               ExpectedConversion(sql, marker) + "\"";
    if (IsValidUtf8(sql) && !IsValidUtf8(converted))
        return "valid UTF-8 became invalid: \"" + converted + "\"";
    return std::string();
}

}  // namespace kelv_fuzz
