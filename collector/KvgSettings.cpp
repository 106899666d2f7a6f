#include "KvgSettings.h"

#include <algorithm>

#include "KvIni.h"

const std::array<const char*, kIntervalCount> IntervalLabels = {
    "  5秒", " 30秒", "  1分", "  5分", " 10分", " 30分", "1時間"};
const std::array<const char*, kSamplerCount> kIntervalKeys = {"MUSDP", "MULGB", "ORCUR",
                                                              "ORFRM", "ORPGO"};
namespace {
const char* const kKeepDaysKey = "CMNKD";
}

TCollectorSettings ReadSettings(const TIniData& ini)
{
    TCollectorSettings s;
    s.CMNKD = ini.GetInt(kKeepDaysKey);
    for (int i = 0; i < kSamplerCount; ++i) s.Interval[i] = ini.GetInt(kIntervalKeys[i]);
    return s;
}

int KeepDaysFor(int stored)
{
    const int days = stored == 0 ? kKeepDaysDefault : stored;
    return std::clamp(days, kKeepDaysMin, kKeepDaysMax);
}

TCollectorSettings NormalizeSettings(const TCollectorSettings& s)
{
    TCollectorSettings n;
    n.CMNKD = KeepDaysFor(s.CMNKD);
    for (int i = 0; i < kSamplerCount; ++i) n.Interval[i] = NormalizeInterval(s.Interval[i]);
    return n;
}

int StoreChangedSettings(TIniData& ini, const TCollectorSettings& s)
{
    int set = 0;
    auto store = [&](const char* key, int value) {
        if (ini.GetInt(key) == value) return;
        ini.SetValue(key, std::to_string(value));
        ++set;
    };
    store(kKeepDaysKey, s.CMNKD);
    for (int i = 0; i < kSamplerCount; ++i) store(kIntervalKeys[i], s.Interval[i]);
    return set;
}
