#include "KvHourLabel.h"

#include <cstdio>

namespace {
const char* const kHourBandTail = "～59";
constexpr const char* kGridIndent = "  ";
}  // namespace

std::string HourLabel(int hour) {
    char head[16];
    std::snprintf(head, sizeof head, "%2d:00", hour);
    return head + std::string(kHourBandTail);
}

std::string GridHourLabel(int hour) { return kGridIndent + HourLabel(hour); }
