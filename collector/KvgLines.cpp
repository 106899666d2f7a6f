#include "KvgLines.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "KvText.h"

namespace {

constexpr int kHourWidth = 2;
constexpr int kReservedWidth = 6;
constexpr int kOrCountWidth = 10;
constexpr int kOrPercentWidth = 3;
constexpr int kOrLoginsWidth = 3;

std::string Zeros(int width) { return std::string(static_cast<size_t>(width), '0'); }

int CompareNoCase(const std::string& a, const std::string& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace

std::string NumberField(double value, int width)
{
    double rounded = std::round(value);  // half away from zero, like format "0"
    if (!std::isfinite(rounded)) rounded = 0;
    if (rounded == 0) rounded = 0;  // no "-0"
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.0f", rounded);
    return ZeroPad(buf, width);
}

double ParseNumberField(const std::string& field)
{
    const std::string t = Trim(field);
    const size_t minus = t.find('-');
    if (minus != std::string::npos) return -TextToNumber(t.substr(minus + 1));
    return TextToNumber(t);
}

bool ParseFigure(const std::string& text, double& value)
{
    const std::string t = Trim(text);
    if (t.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || *end != '\0' || !std::isfinite(v)) return false;
    value = v;
    return true;
}

double TextToNumber(const std::string& text)
{
    double v = 0;
    return ParseFigure(text, v) ? v : 0;
}

double CounterDelta(double current, double previous, bool bothValid)
{
    if (!bothValid) return 0;
    const double d = current - previous;
    return d > 0 ? d : 0;
}

bool CountersWentBack(const TMURecord& prev, const TMURecord& fresh)
{
    const unsigned both = prev.ValidItems & fresh.ValidItems;
    return ((both & muItemSA) && fresh.SqlAreaPins < prev.SqlAreaPins) ||
           ((both & muItemLC) && fresh.LibCachePins < prev.LibCachePins) ||
           ((both & muItemDC) && fresh.DictGets < prev.DictGets) ||
           ((both & muItemBB) && fresh.LogicalReads < prev.LogicalReads);
}

std::string BuildMULine(const TMURecord& prev, const TMURecord& fresh)
{
    auto valid = [&](unsigned item) {
        return (prev.ValidItems & item) != 0 && (fresh.ValidItems & item) != 0;
    };
    auto delta = [&](double TMURecord::*field, unsigned item) {
        return NumberField(CounterDelta(fresh.*field, prev.*field, valid(item)), kWideField);
    };
    auto latch = [&](TLatchPair TMURecord::*pair, unsigned item) {
        const bool ok = valid(item);
        return NumberField(CounterDelta((fresh.*pair).Gets, (prev.*pair).Gets, ok), kWideField) +
               NumberField(CounterDelta((fresh.*pair).Misses, (prev.*pair).Misses, ok), kWideField);
    };

    std::string line;
    line.reserve(kMULineLength);
    line += NumberField(prev.Hour, kHourWidth);
    line += NumberField(prev.SharedPoolSize, kWideField);
    line += NumberField(prev.SharedPoolUsedMax, kWideField);
    line += Zeros(6 * kReservedWidth);
    line += NumberField(fresh.DatabaseBuffers, kWideField);
    line += Zeros(2 * kReservedWidth);
    line += NumberField(fresh.RedoBuffers, kWideField);
    line += NumberField(prev.LogBufferMax, kWideField);
    line += NumberField(fresh.SortAreaSize, kWideField);
    line += Zeros(3 * kReservedWidth);
    line += latch(&TMURecord::CacheBuffersChains, muLatchCacheBuffersChains);
    line += latch(&TMURecord::CacheBuffersLruChain, muLatchCacheBuffersLruChain);
    line += latch(&TMURecord::LibraryCache, muLatchLibraryCache);
    line += latch(&TMURecord::SharedPool, muLatchSharedPool);
    line += delta(&TMURecord::SqlAreaPins, muItemSA);
    line += delta(&TMURecord::SqlAreaReloads, muItemSA);
    line += delta(&TMURecord::LibCachePins, muItemLC);
    line += delta(&TMURecord::LibCacheReloads, muItemLC);
    line += delta(&TMURecord::DictGets, muItemDC);
    line += delta(&TMURecord::DictGetMisses, muItemDC);
    line += delta(&TMURecord::LogicalReads, muItemBB);
    line += delta(&TMURecord::PhysicalReads, muItemBB);
    line += delta(&TMURecord::SortsMemory, muItemSR);
    line += delta(&TMURecord::SortsDisk, muItemSR);
    line += delta(&TMURecord::RowsSorted, muItemSR);
    return line;
}

std::string BuildORLine(int hour, const TORRecord& record)
{
    std::string line;
    line.reserve(kORLineLength);
    line += NumberField(hour, kHourWidth);
    line += Zeros(4 * kOrCountWidth);      // statement counts are not gathered
    line += Zeros(2 * kOrPercentWidth);    // nor CPU use
    line += NumberField(record.Logins, kOrLoginsWidth);
    line += NumberField(record.InstalledMemory, kWideField);
    line += NumberField(record.MemUseMax, kWideField);
    line += NumberField(record.MemUseMin, kWideField);
    line += Zeros(kOrCountWidth);          // nor page-outs
    return line;
}

std::string LatchKey(const std::string& name) { return PadRight(name, kLatchNameWidth); }

std::string BuildMLLine(const std::string& name, double gets, double misses)
{
    return LatchKey(name) + "=" + NumberField(gets, kWideField) + NumberField(misses, kWideField);
}

bool LessNoCase(const std::string& a, const std::string& b) { return CompareNoCase(a, b) < 0; }

TLatchTotals TLatchTotals::FromFileText(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(std::move(line));
        start = end + 1;
    }
    return TLatchTotals(std::move(lines));
}

void TLatchTotals::Add(const std::string& name, double getsDelta, double missesDelta)
{
    const std::string key = LatchKey(name);
    for (std::string& line : lines_) {
        const size_t eq = line.find('=');
        const std::string lineKey = eq == std::string::npos ? line : line.substr(0, eq);
        if (CompareNoCase(lineKey, key) != 0) continue;
        const std::string totals = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        const double gets = ParseNumberField(totals.substr(0, std::min<size_t>(kWideField, totals.size())));
        const double misses =
            totals.size() > kWideField ? ParseNumberField(totals.substr(kWideField, kWideField)) : 0;
        line = lineKey + "=" + NumberField(gets + getsDelta, kWideField) +
               NumberField(misses + missesDelta, kWideField);
        return;
    }
    lines_.push_back(BuildMLLine(name, getsDelta, missesDelta));
}

void TLatchTotals::Sort() { std::stable_sort(lines_.begin(), lines_.end(), LessNoCase); }

std::string TLatchTotals::ToFileText() const
{
    std::string text;
    text.reserve(lines_.size() * (kMLLineLength + 2));
    for (const std::string& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}
