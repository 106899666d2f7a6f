#include "WideText.h"

#include "Diagnostics.h"

#include <algorithm>
#include <cstring>

namespace kelvsim {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kMaxCodePoint = 0x10FFFF;
constexpr char32_t kSurrogateFirst = 0xD800, kSurrogateLast = 0xDFFF;
constexpr char32_t kHighSurrogateFirst = 0xD800, kLowSurrogateFirst = 0xDC00;
constexpr char32_t kFirstSupplementary = 0x10000;
constexpr size_t kUnitBytes = sizeof(SQLWCHAR);

bool IsHighSurrogate(char32_t unit) { return unit >= kHighSurrogateFirst && unit < kLowSurrogateFirst; }
bool IsLowSurrogate(char32_t unit) { return unit >= kLowSurrogateFirst && unit <= kSurrogateLast; }

// Decodes one UTF-8 sequence at text[i]; advances i past it, or by one byte
// when it is not a valid, shortest sequence.
char32_t DecodeUtf8(const std::string& text, size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int extra = 0;
    char32_t point = 0, smallest = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1, point = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, point = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, point = lead & 0x07, smallest = kFirstSupplementary;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + static_cast<size_t>(extra) >= text.size()) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        point = point << 6 | (next & 0x3F);
    }
    if (point < smallest || point > kMaxCodePoint || (point >= kSurrogateFirst && point <= kSurrogateLast)) {
        ++i;
        return kReplacement;
    }
    i += static_cast<size_t>(extra) + 1;
    return point;
}

void AppendUtf8(std::string& out, char32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | point >> 6);
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < kFirstSupplementary) {
        out += static_cast<char>(0xE0 | point >> 12);
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | point >> 18);
        out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

SQLWCHAR UnitAt(const void* data, size_t index) {
    SQLWCHAR unit = 0;
    std::memcpy(&unit, static_cast<const char*>(data) + index * kUnitBytes, kUnitBytes);
    return unit;
}

}  // namespace

std::u16string Utf16FromUtf8(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char32_t point = DecodeUtf8(text, i);
        if (point < kFirstSupplementary) {
            out += static_cast<char16_t>(point);
        } else {
            const char32_t v = point - kFirstSupplementary;
            out += static_cast<char16_t>(kHighSurrogateFirst + (v >> 10));
            out += static_cast<char16_t>(kLowSurrogateFirst + (v & 0x3FF));
        }
    }
    return out;
}

std::string Utf8FromUtf16(const SQLWCHAR* units, size_t count) {
    std::string out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const char32_t unit = UnitAt(units, i);
        if (IsHighSurrogate(unit) && i + 1 < count && IsLowSurrogate(UnitAt(units, i + 1))) {
            const char32_t low = UnitAt(units, ++i);
            AppendUtf8(out, kFirstSupplementary + ((unit - kHighSurrogateFirst) << 10) + (low - kLowSurrogateFirst));
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

bool CopyOutWide(const std::string& value, SQLWCHAR* buffer, size_t capacityUnits, size_t& totalUnits) {
    bool truncated = false;
    size_t consumed = 0;
    const SQLLEN available = PutWideText(value, buffer, static_cast<SQLLEN>(capacityUnits * kUnitBytes), 0,
                                         truncated, consumed);
    totalUnits = static_cast<size_t>(available) / kUnitBytes;
    return !buffer || !truncated;
}

std::string WideInputText(const SQLWCHAR* text, SQLINTEGER lengthInUnits) {
    return WideParameterText(text, lengthInUnits == SQL_NTS ? SQL_NTS : lengthInUnits * static_cast<SQLLEN>(kUnitBytes),
                             0);
}

size_t WideByteLength(const std::string& value) { return Utf16FromUtf8(value).size() * kUnitBytes; }

SQLLEN PutWideText(const std::string& value, SQLPOINTER target, SQLLEN bufferLength, size_t offset,
                   bool& truncated, size_t& consumed) {
    const std::u16string wide = Utf16FromUtf8(value);
    const size_t firstUnit = std::min(offset / kUnitBytes, wide.size());
    const size_t availableUnits = wide.size() - firstUnit;
    // Room for whole units and the terminator.
    const size_t room = bufferLength >= static_cast<SQLLEN>(kUnitBytes)
                            ? static_cast<size_t>(bufferLength) / kUnitBytes - 1
                            : 0;
    size_t copied = std::min(room, availableUnits);
    if (copied < availableUnits && copied > 0 && IsHighSurrogate(wide[firstUnit + copied - 1])) --copied;
    if (target && bufferLength >= static_cast<SQLLEN>(kUnitBytes)) {
        // The application's buffer need not be aligned for two-byte units.
        for (size_t k = 0; k < copied; ++k) {
            const auto unit = static_cast<SQLWCHAR>(wide[firstUnit + k]);
            std::memcpy(static_cast<char*>(target) + k * kUnitBytes, &unit, kUnitBytes);
        }
        const SQLWCHAR terminator = 0;
        std::memcpy(static_cast<char*>(target) + copied * kUnitBytes, &terminator, kUnitBytes);
    }
    consumed = copied * kUnitBytes;
    truncated = copied < availableUnits;
    return static_cast<SQLLEN>(availableUnits * kUnitBytes);
}

std::string WideParameterText(const void* data, SQLLEN lengthInBytes, SQLLEN bufferLength) {
    size_t units = 0;
    if (lengthInBytes == SQL_NTS) {
        const size_t limit = bufferLength > 0 ? static_cast<size_t>(bufferLength) / kUnitBytes : SIZE_MAX;
        while (units < limit && UnitAt(data, units) != 0) ++units;
    } else {
        if (lengthInBytes < 0) throw OdbcFailure("HY090", "Invalid string or buffer length");
        units = static_cast<size_t>(lengthInBytes) / kUnitBytes;
    }
    return Utf8FromUtf16(static_cast<const SQLWCHAR*>(data), units);
}

}  // namespace kelvsim
