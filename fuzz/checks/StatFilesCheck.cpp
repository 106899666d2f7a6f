// The viewer's readers of the collector's statistics files, fed with any
// bytes as an MU, OR and ML file at once.
#include "FuzzChecks.h"

#include "KvLatchDay.h"
#include "KvStatRecords.h"

#include <algorithm>
#include <cctype>

namespace kelv_fuzz {

namespace {

constexpr int kFirstFigureColumn = 3;
constexpr size_t kLatchTail = kMLNameWidth + 40;  // name, gets and misses of an entry

bool OnlyDigitsAndPoints(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

std::string LayoutName(TStatLayout layout) { return layout == TStatLayout::MU ? "MU" : "OR"; }

std::string CheckCleanedLines(const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const TCleanedLine cleaned = CleanRecordLine(line);
        if (cleaned.Text.size() > line.size() || !OnlyDigitsAndPoints(cleaned.Text))
            return "CleanRecordLine left other characters than digits and \".\"";
        if (!cleaned.Changed && line.find(cleaned.Text) == std::string::npos)
            return "CleanRecordLine changed a line without reporting it";
    }
    return std::string();
}

std::string CheckRecords(const std::string& text, TStatLayout layout) {
    const TStatTable table = ReadStatRecords(text, layout);
    const size_t columns = layout == TStatLayout::MU ? kMUColumns : kORColumns;
    const std::string name = LayoutName(layout);
    if (table.Rows.size() > static_cast<size_t>(kHoursPerDay))
        return name + ": more rows than hours in a day";
    int previousHour = -1;
    for (const TRawRow& row : table.Rows) {
        if (row.size() != columns)
            return name + ": a row of " + std::to_string(row.size()) + " columns";
        if (!row[0].empty() || !row[1].empty())
            return name + ": the unused columns 0 and 1 hold text";
        const std::string& hourText = row[2];
        if (hourText.empty() || hourText.size() > 2 || !OnlyDigitsAndPoints(hourText) ||
            hourText.find('.') != std::string::npos || (hourText.size() == 2 && hourText[0] == '0'))
            return name + ": hour column \"" + hourText + "\" is not a plain hour";
        const int hour = std::stoi(hourText);
        if (hour >= kHoursPerDay || hour <= previousHour)
            return name + ": hours not within 0..23 in strictly ascending order";
        previousHour = hour;
        for (size_t c = kFirstFigureColumn; c < row.size(); ++c)
            if (!OnlyDigitsAndPoints(row[c]))
                return name + ": column " + std::to_string(c) + " holds \"" + row[c] + "\"";
    }
    const TStatReadReport& report = table.Report;
    if (report.Lines - report.Skipped != static_cast<int>(table.Rows.size()) + report.Duplicates)
        return name + ": lines read, skipped, duplicated and shown do not add up";
    if (StatReadMessage(report).empty() == report.Damaged())
        return name + ": the message does not match the damage found";
    return std::string();
}

bool LessNoCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

bool IsGroupedNumber(const std::string& s) {
    const size_t digitsStart = !s.empty() && s[0] == '-' ? 1 : 0;
    const std::string digits = s.substr(digitsStart);
    if (digits.empty() || digits.size() % 4 == 0)
        return false;
    for (size_t i = 0; i < digits.size(); ++i) {
        const bool commaPlace = (digits.size() - i) % 4 == 0;
        if (commaPlace ? digits[i] != ',' : !std::isdigit(static_cast<unsigned char>(digits[i])))
            return false;
    }
    return true;
}

bool IsTwoDecimals(const std::string& s) {
    const size_t point = s.find('.');
    const size_t digitsStart = !s.empty() && s[0] == '-' ? 1 : 0;
    return point != std::string::npos && point > digitsStart && s.size() - point == 3 &&
           OnlyDigitsAndPoints(s.substr(digitsStart, point - digitsStart)) &&
           OnlyDigitsAndPoints(s.substr(point + 1)) && s.find('.', point + 1) == std::string::npos;
}

std::string CheckLatches(const std::string& text, int sortCol) {
    const TLatchEntries latches = BuildLatchEntries(text, sortCol);
    const std::string name = "ML sorted by " + std::to_string(sortCol);
    if (!std::is_sorted(latches.Entries.begin(), latches.Entries.end(), LessNoCase))
        return name + ": entries not in ascending order";
    for (const std::string& entry : latches.Entries) {
        if (entry.size() < kLatchTail + 1)
            return name + ": an entry shorter than a latch line";
        const TLatchRow row = SplitLatchEntry(entry);
        const std::string tailName = entry.substr(entry.size() - kLatchTail, kMLNameWidth);
        if (tailName.find(row.Name) == std::string::npos ||
            (!row.Name.empty() && (row.Name.front() == ' ' || row.Name.back() == ' ')))
            return name + ": the latch name \"" + row.Name + "\" is not its field, trimmed";
        if (!IsGroupedNumber(row.Gets) || !IsGroupedNumber(row.Misses))
            return name + ": gets \"" + row.Gets + "\" or misses \"" + row.Misses + "\" not as #,##0";
        if (!IsTwoDecimals(row.Ratio))
            return name + ": ratio \"" + row.Ratio + "\" not as ##0.00";
    }
    return std::string();
}

}  // namespace

std::string CheckStatFiles(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string failure = CheckCleanedLines(text);
    for (TStatLayout layout : {TStatLayout::MU, TStatLayout::OR})
        if (failure.empty())
            failure = CheckRecords(text, layout);
    for (int sortCol = -1; sortCol <= 3 && failure.empty(); ++sortCol)
        failure = CheckLatches(text, sortCol);
    return failure;
}

}  // namespace kelv_fuzz
