// The collector's statistics files as the test reads them: lines without
// their CR LF, fields by 1-based position.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

std::vector<std::string> ReadStatLines(const std::filesystem::path& file);

// A zero-filled number field; a minus sign may follow the fill zeros.
int64_t FieldNumber(const std::string& line, int position, int width);

// Field layouts of the MU and OR lines (positions of the data files).
namespace mu {
inline constexpr int kLength = 568;
inline constexpr int kNumberWidth = 20;   // every figure but the hour
inline constexpr int kLatchStride = 40;   // gets and misses of one latch
inline constexpr int kHour = 1, kSharedPoolSize = 3, kSharedPoolUsed = 23, kDbBuffers = 79,
                     kRedoBuffers = 111, kLogBuffer = 131, kSortAreaSize = 151;
inline constexpr int kLatchGets = 189;   // + 40 per latch; misses 20 further
inline constexpr int kSqlPins = 349, kSqlReloads = 369, kLibPins = 389, kLibReloads = 409,
                     kDicGets = 429, kDicMisses = 449, kLogicalReads = 469, kPhysicalReads = 489,
                     kSortsMemory = 509, kSortsDisk = 529, kRowsSorted = 549;
}  // namespace mu
namespace orl {
inline constexpr int kLength = 121;
inline constexpr int kHour = 1, kLogins = 49, kInstalled = 52, kMemMax = 72, kMemMin = 92;
inline constexpr int kMemoryWidth = 20;
}  // namespace orl
namespace ml {
inline constexpr int kLength = 105, kNameWidth = 64, kGets = 66, kMisses = 86;
}  // namespace ml
