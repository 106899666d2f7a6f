#include "ConnectionConfig.h"

#include "TextBuffers.h"

#include <odbcinst.h>

#include <algorithm>
#include <vector>

namespace kelvsim {

namespace {

constexpr int kProfileBufferSize = 8192;
constexpr const char* kOdbcIni = "odbc.ini";

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ParseConnectionString(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> pairs;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t equals = text.find('=', pos);
        const size_t semicolon = text.find(';', pos);
        if (equals == std::string::npos || (semicolon != std::string::npos && semicolon < equals)) {
            // A part without "=" carries no setting; skip it.
            if (semicolon == std::string::npos)
                break;
            pos = semicolon + 1;
            continue;
        }
        std::string key = UpperAscii(Trim(text.substr(pos, equals - pos)));
        size_t valueStart = equals + 1;
        while (valueStart < text.size() && text[valueStart] == ' ')
            ++valueStart;
        std::string value;
        if (valueStart < text.size() && text[valueStart] == '{') {
            // Braced value: "}}" stands for one "}".
            size_t i = valueStart + 1;
            while (i < text.size()) {
                if (text[i] == '}') {
                    if (i + 1 < text.size() && text[i + 1] == '}') {
                        value += '}';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            const size_t next = text.find(';', i);
            pos = next == std::string::npos ? text.size() : next + 1;
        } else {
            const size_t end = text.find(';', valueStart);
            value = Trim(text.substr(valueStart, end == std::string::npos ? std::string::npos : end - valueStart));
            pos = end == std::string::npos ? text.size() : end + 1;
        }
        if (key.empty())
            continue;
        auto existing = std::find_if(pairs.begin(), pairs.end(), [&](const auto& p) { return p.first == key; });
        if (existing != pairs.end())
            existing->second = value;
        else
            pairs.emplace_back(key, value);
    }
    return pairs;
}

std::map<std::string, std::string> ReadDataSourceKeys(const std::string& dataSource) {
    std::map<std::string, std::string> keys;
    if (dataSource.empty())
        return keys;
    std::vector<char> names(kProfileBufferSize, '\0');
    const int length = SQLGetPrivateProfileString(dataSource.c_str(), nullptr, "", names.data(),
                                                  static_cast<int>(names.size()), kOdbcIni);
    if (length <= 0)
        return keys;
    // The key list is a sequence of null-terminated names.
    size_t pos = 0;
    const size_t end = std::min(static_cast<size_t>(length) + 1, names.size());
    while (pos < end && names[pos] != '\0') {
        std::string name(names.data() + pos);
        pos += name.size() + 1;
        std::vector<char> value(kProfileBufferSize, '\0');
        SQLGetPrivateProfileString(dataSource.c_str(), name.c_str(), "", value.data(),
                                   static_cast<int>(value.size()), kOdbcIni);
        keys[UpperAscii(Trim(name))] = Trim(value.data());
    }
    return keys;
}

sim::SimConfig MakeConfig(const std::string& dataSource, std::map<std::string, std::string> keys) {
    sim::SimConfig config;
    config.DataSource = dataSource;
    auto database = keys.find("DATABASE");
    if (database != keys.end())
        config.Database = database->second;
    config.Keys = std::move(keys);
    return config;
}

std::string QuoteConnectionValue(const std::string& value) {
    if (value.find_first_of(";{}") == std::string::npos && value == Trim(value))
        return value;
    std::string quoted = "{";
    for (char c : value) {
        quoted += c;
        if (c == '}')
            quoted += '}';
    }
    return quoted + "}";
}

}  // namespace kelvsim
