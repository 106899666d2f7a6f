// Statement texts of the live pages with any sort column and any direction
// text: the direction may only ever reach the statement as "DESC" or nothing.
#include "FuzzChecks.h"

#include "KvPageSql.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace kelv_fuzz {

namespace {

using TBuilder = std::function<std::string(int sortCol, const std::string& dir)>;

struct TNamedBuilder {
    const char* Name;
    TBuilder Build;
};

std::vector<TNamedBuilder> Builders(bool tables, bool indexes, bool onlyExtended) {
    using namespace kvsql;
    return {
        {"CheckPointDaysOrder", CheckPointDaysOrder},
        {"CheckPointDays(7)", [](int c, const std::string& d) { return CheckPointDays(7, c, d); }},
        {"CheckPointDays(10)", [](int c, const std::string& d) { return CheckPointDays(10, c, d); }},
        {"TableSpaces", TableSpaces},
        {"DataFiles", DataFiles},
        {"Parameters", Parameters},
        {"LogFiles", LogFiles},
        {"Extents", [=](int c, const std::string& d) { return Extents(onlyExtended, c, d); }},
        {"Sessions", Sessions},
        {"Segments", [=](int c, const std::string& d) { return Segments(tables, indexes, c, d); }},
        {"FreeSpace", FreeSpace},
    };
}

bool PlainDigits(const std::string& s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The kill statement takes sid and serial only when both are plain digits.
std::string CheckKillSession(const std::string& text) {
    const size_t comma = text.find(',');
    const std::string sid = text.substr(0, comma);
    const std::string serial = comma == std::string::npos ? std::string() : text.substr(comma + 1);
    const auto statement = kvsql::KillSession(sid, serial);
    if (PlainDigits(sid) && PlainDigits(serial)) {
        if (!statement || *statement != " ALTER SYSTEM KILL SESSION '" + sid + "," + serial + "' ")
            return "KillSession refused or changed plain digits";
    } else if (statement) {
        return "KillSession accepted \"" + text + "\"";
    }
    return std::string();
}

}  // namespace

// Input: 4 bytes sort column, 1 byte of page switches, then the direction text.
std::string CheckOrderBy(const uint8_t* data, size_t size) {
    int sortCol = 0;
    std::memcpy(&sortCol, data, std::min(size, sizeof sortCol));
    const uint8_t switches = size > sizeof sortCol ? data[sizeof sortCol] : 0;
    const size_t textStart = std::min(size, sizeof sortCol + 1);
    const std::string dir(reinterpret_cast<const char*>(data) + textStart, size - textStart);

    for (const TNamedBuilder& builder : Builders(switches & 1, switches & 2, switches & 4)) {
        const std::string sql = builder.Build(sortCol, dir);
        if (sql != builder.Build(sortCol, "") && sql != builder.Build(sortCol, "DESC"))
            return std::string(builder.Name) + "(" + std::to_string(sortCol) + ", \"" + dir +
                   "\") let the direction text into the statement: " + sql;
    }
    if (kvsql::FileUsage(sortCol).find(std::to_string(sortCol)) == std::string::npos)
        return "FileUsage lost its block size";
    return CheckKillSession(dir);
}

}  // namespace kelv_fuzz
