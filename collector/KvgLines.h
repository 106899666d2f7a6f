// Fixed-position lines of the statistics files (MU 568, ML 105, OR 121
// characters, CR LF added by the writer) and the latch-total list rules.
#pragma once

#include <string>
#include <vector>

#include "KvgRecords.h"

inline constexpr int kMULineLength = 568;
inline constexpr int kMLLineLength = 105;
inline constexpr int kORLineLength = 121;
inline constexpr int kLatchNameWidth = 64;
inline constexpr int kWideField = 20;
inline constexpr int kMemoryUnknownMin = 999999999;  // memory-in-use minimum before any sample

// Value rounded to the nearest integer, right-justified and zero-filled in width.
std::string NumberField(double value, int width);
// Inverse of NumberField for a field read back (also "0000-5"); 0 when not a number.
double ParseNumberField(const std::string& field);
// Text to number; 0 for anything that is not a number text (e.g. "<Null>").
double TextToNumber(const std::string& text);
// A figure as the database returned it; false for anything that is not a
// number, such as the null text "<Null>": such a reading has failed.
bool ParseFigure(const std::string& text, double& value);

// Counter growth written into a line: positive growth between two valid readings, else 0.
double CounterDelta(double current, double previous, bool bothValid);

// Whether a counter read in both records fell: the instance restarted in between.
bool CountersWentBack(const TMURecord& prev, const TMURecord& fresh);

// MU line of prev's hour: sizes and maxima of prev, levels of fresh, deltas fresh - prev.
std::string BuildMULine(const TMURecord& prev, const TMURecord& fresh);
// OR line for the given hour from the record of the hour change.
std::string BuildORLine(int hour, const TORRecord& record);
// Latch key: name blank-filled or cut to 64 characters.
std::string LatchKey(const std::string& name);
std::string BuildMLLine(const std::string& name, double gets, double misses);

// One latch's growth over an hour, added to the day's totals.
struct TLatchGrowth {
    std::string Name;
    double Gets = 0;
    double Misses = 0;
};

// Latch-total list of one day (ML file lines without CR LF).
class TLatchTotals {
public:
    explicit TLatchTotals(std::vector<std::string> lines = {}) : lines_(std::move(lines)) {}
    static TLatchTotals FromFileText(const std::string& text);
    // Adds both deltas to the line of that latch (matched without regard to case), or adds a line.
    void Add(const std::string& name, double getsDelta, double missesDelta);
    // Ascending without regard to case.
    void Sort();
    std::string ToFileText() const;
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

// Case-insensitive ASCII ordering used for ML lines.
bool LessNoCase(const std::string& a, const std::string& b);
