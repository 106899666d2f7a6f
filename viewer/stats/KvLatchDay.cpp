#include "KvLatchDay.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "KvNumFormat.h"
#include "KvText.h"

namespace {

constexpr size_t kNameWidth = kMLNameWidth;
constexpr size_t kNumberWidth = 20;
constexpr size_t kValueWidth = 2 * kNumberWidth;
constexpr size_t kEntryTail = kNameWidth + kValueWidth;   // name, gets, misses

std::string UpperAscii(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool LessNoCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

// "000.00": ratio with two decimals, zero-filled to six characters.
std::string RatioKey(double gets, double misses) {
    if (!(gets > 0)) return "000.00";
    std::string text = FormatTwoDecimals(misses / gets * 100);
    if (text.size() < 6) text.insert(0, 6 - text.size(), '0');
    return text;
}

}  // namespace

TLatchEntries BuildLatchEntries(const std::string& fileText, int sortCol) {
    TLatchEntries result;
    size_t start = 0;
    while (start < fileText.size()) {
        size_t end = fileText.find('\n', start);
        if (end == std::string::npos) end = fileText.size();
        std::string line = fileText.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty()) continue;
        // The name is blank-filled to 64 characters, so "=" stands at 65;
        // elsewhere the fields would be misread.
        if (line.size() < static_cast<size_t>(kMLFullLength) || line[kNameWidth] != '=') {
            ++result.Skipped;
            continue;
        }
        const std::string name = line.substr(0, kNameWidth);
        const std::string value = line.substr(kNameWidth + 1, kValueWidth);
        const std::string getsText = value.substr(0, kNumberWidth);
        const std::string missesText = value.substr(kNumberWidth, kNumberWidth);
        const std::string upperName = UpperAscii(name);
        std::string key;
        switch (sortCol) {
        case 1: key = getsText + upperName; break;
        case 2: key = missesText + upperName; break;
        case 3: key = RatioKey(StrToFloatOrZero(getsText), StrToFloatOrZero(missesText)) + upperName; break;
        default: key = upperName; break;
        }
        result.Entries.push_back(key + "=" + name + value);
    }
    std::stable_sort(result.Entries.begin(), result.Entries.end(), LessNoCase);
    return result;
}

TLatchRow SplitLatchEntry(const std::string& entry) {
    // The fields are the entry's last 104 characters: a "=" inside a latch
    // name (and so inside the key) cannot shift them.
    const std::string tail = entry.size() >= kEntryTail ? entry.substr(entry.size() - kEntryTail)
                                                        : std::string(kEntryTail - entry.size(), ' ') + entry;
    const double gets = StrToFloatOrZero(tail.substr(kNameWidth, kNumberWidth));
    const double misses = StrToFloatOrZero(tail.substr(kNameWidth + kNumberWidth, kNumberWidth));
    TLatchRow row;
    row.Name = Trim(tail.substr(0, kNameWidth));
    row.Gets = FormatGrouped(gets);
    row.Misses = FormatGrouped(misses);
    row.Ratio = gets != 0 ? FormatTwoDecimals(misses / gets * 100) : "0.00";
    return row;
}
