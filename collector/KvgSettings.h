// The collector's six settings, the interval table of its drop-down lists,
// and how they travel between the settings file and the controls.
#pragma once

#include <array>
#include <string>

#include "KvIni.h"

// The drop-down lists offer the shared interval table.
inline constexpr int kIntervalCount = static_cast<int>(kIntervalSeconds.size());
extern const std::array<const char*, kIntervalCount> IntervalLabels;
inline constexpr const std::array<int, kIntervalCount>& IntervalSeconds = kIntervalSeconds;

inline constexpr int kKeepDaysDefault = 100;
inline constexpr int kKeepDaysMin = 1;
inline constexpr int kKeepDaysMax = 999;

// Order of the interval samplers and of their settings.
enum TSamplerIndex { samMUSDP = 0, samMULGB, samORCUR, samORFRM, samORPGO, kSamplerCount };
extern const std::array<const char*, kSamplerCount> kIntervalKeys;  // "MUSDP", ...

struct TCollectorSettings {
    int CMNKD = 0;
    std::array<int, kSamplerCount> Interval{};  // seconds, in TSamplerIndex order

    bool operator==(const TCollectorSettings& o) const {
        return CMNKD == o.CMNKD && Interval == o.Interval;
    }
};

// Reads the six keys as integers (0 when absent or not a number).
TCollectorSettings ReadSettings(const TIniData& ini);
// Spin-field value for a stored CMNKD: 0 -> 100, then held within 1..999.
int KeepDaysFor(int stored);
// What the controls show and the collector then uses.
TCollectorSettings NormalizeSettings(const TCollectorSettings& s);
// Sets each key whose stored integer differs; returns how many were set.
int StoreChangedSettings(TIniData& ini, const TCollectorSettings& s);
