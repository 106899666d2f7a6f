#include "KvStatRecords.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>

namespace {

bool IsTrimmed(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Characters first..first+count-1 (1-based), cut short at the end of the line.
std::string Copy(const std::string& s, size_t first, size_t count) {
    if (first < 1 || first > s.size()) return {};
    return s.substr(first - 1, count);
}

// Hour of a cleaned line from its first two characters; -1 when not 0..23.
int HourOf(const std::string& cleaned) {
    if (cleaned.size() < 2 || !IsDigit(cleaned[0]) || !IsDigit(cleaned[1])) return -1;
    const int hour = (cleaned[0] - '0') * 10 + (cleaned[1] - '0');
    return hour < kHoursPerDay ? hour : -1;
}

struct TField {
    int Column;
    size_t First, Width;      // the field every layout has
    size_t WideFirst;         // 20-character field of the longer MU layout, 0 for none
};

// Column positions of the memory-usage line; a counter has a 6-character
// field and, since the longer layout, a 20-character one at the end.
constexpr std::array<TField, 25> kMUFields = {{
    {3, 3, 20, 0},     {4, 23, 20, 0},   {5, 43, 6, 349},   {6, 49, 6, 369},
    {7, 55, 6, 389},   {8, 61, 6, 409},  {9, 67, 6, 429},   {10, 73, 6, 449},
    {11, 79, 20, 0},   {12, 99, 6, 469}, {13, 105, 6, 489}, {14, 111, 20, 0},
    {15, 131, 20, 0},  {16, 151, 20, 0}, {17, 171, 6, 509}, {18, 177, 6, 529},
    {19, 183, 6, 549}, {20, 189, 20, 0}, {21, 209, 20, 0},  {22, 229, 20, 0},
    {23, 249, 20, 0},  {24, 269, 20, 0}, {25, 289, 20, 0},  {26, 309, 20, 0},
    {27, 329, 20, 0},
}};
constexpr size_t kWideWidth = 20;

constexpr std::array<TField, 11> kORFields = {{
    {3, 3, 10, 0},   {4, 13, 10, 0},  {5, 23, 10, 0},  {6, 33, 10, 0},
    {7, 43, 3, 0},   {8, 46, 3, 0},   {9, 49, 3, 0},   {10, 52, 20, 0},
    {11, 72, 20, 0}, {12, 92, 20, 0}, {13, 112, 10, 0},
}};

std::string HourText(const std::string& cleaned) {
    const int hour = HourOf(cleaned);
    return hour < 0 ? std::string() : std::to_string(hour);
}

// Whether a line of this length can be cut without shifting a field: the
// known layouts exactly, or longer (a later layout that appends fields).
enum class TLengthFit { Known, Longer, Damaged };
TLengthFit FitOf(size_t length, TStatLayout layout) {
    if (layout == TStatLayout::MU) {
        if (length == static_cast<size_t>(kMUFullLength) || length == static_cast<size_t>(kMUShortLength))
            return TLengthFit::Known;
        return length > static_cast<size_t>(kMUFullLength) ? TLengthFit::Longer : TLengthFit::Damaged;
    }
    if (length == static_cast<size_t>(kORFullLength)) return TLengthFit::Known;
    return length > static_cast<size_t>(kORFullLength) ? TLengthFit::Longer : TLengthFit::Damaged;
}

}  // namespace

TCleanedLine CleanRecordLine(const std::string& line) {
    size_t first = 0, last = line.size();
    while (first < last && IsTrimmed(line[first])) ++first;
    while (last > first && IsTrimmed(line[last - 1])) --last;
    TCleanedLine result;
    result.Text = line.substr(first, last - first);
    for (char& c : result.Text) {
        if (!IsDigit(c) && c != '.') {
            c = '0';
            result.Changed = true;
        }
    }
    return result;
}

TRawRow CutMULine(const std::string& cleaned) {
    TRawRow row(kMUColumns);
    row[2] = HourText(cleaned);
    for (const TField& f : kMUFields) {
        row[f.Column] = Copy(cleaned, f.First, f.Width);
        if (f.WideFirst) {
            std::string wide = Copy(cleaned, f.WideFirst, kWideWidth);
            if (!wide.empty()) row[f.Column] = std::move(wide);
        }
    }
    return row;
}

TRawRow CutORLine(const std::string& cleaned) {
    TRawRow row(kORColumns);
    row[2] = HourText(cleaned);
    for (const TField& f : kORFields) row[f.Column] = Copy(cleaned, f.First, f.Width);
    return row;
}

TStatTable ReadStatRecords(const std::string& fileText, TStatLayout layout) {
    TStatTable table;
    TStatReadReport& report = table.Report;
    std::map<int, TRawRow> byHour;   // the last line of an hour wins
    int previousHour = -1;
    size_t start = 0;
    while (start < fileText.size()) {
        size_t end = fileText.find('\n', start);
        if (end == std::string::npos) end = fileText.size();
        const std::string line = fileText.substr(start, end - start);
        start = end + 1;

        const TCleanedLine cleaned = CleanRecordLine(line);
        if (cleaned.Text.empty()) continue;   // blank lines carry nothing
        ++report.Lines;
        const TLengthFit fit = FitOf(cleaned.Text.size(), layout);
        const int hour = HourOf(cleaned.Text);
        if (fit == TLengthFit::Damaged || hour < 0) {
            ++report.Skipped;
            continue;
        }
        if (fit == TLengthFit::Longer) ++report.FutureLayout;
        if (cleaned.Changed) ++report.Corrected;
        if (hour <= previousHour) report.Reordered = true;
        previousHour = hour;
        TRawRow row = layout == TStatLayout::MU ? CutMULine(cleaned.Text) : CutORLine(cleaned.Text);
        if (!byHour.emplace(hour, row).second) {
            ++report.Duplicates;
            byHour[hour] = std::move(row);
        }
    }
    // A repeated hour already shows as a duplicate; reordering is news only without one.
    if (report.Duplicates) report.Reordered = false;
    for (auto& entry : byHour) table.Rows.push_back(std::move(entry.second));
    return table;
}

std::string StatReadMessage(const TStatReadReport& report) {
    if (!report.Damaged()) return {};
    std::string parts;
    auto add = [&parts](const std::string& part) {
        if (!parts.empty()) parts += "、";
        parts += part;
    };
    if (report.Skipped) add("読み飛ばし " + std::to_string(report.Skipped) + " 行");
    if (report.Duplicates) add("時間帯の重複 " + std::to_string(report.Duplicates) + " 行");
    if (report.Corrected) add("数字以外を0と読んだ行 " + std::to_string(report.Corrected) + " 行");
    if (report.FutureLayout) add("新しい形式 " + std::to_string(report.FutureLayout) + " 行");
    if (report.Reordered) add("時間帯の順序の乱れ");
    return "データファイルに異常があります（" + parts + "）。";
}
