// Wide characters (SQL_C_WCHAR) for Unicode applications: the instance
// keeps its text as UTF-8; the driver manager's wide type is UTF-16, two
// bytes a unit, and every length of a wide buffer counts bytes.
#pragma once

#include "OdbcHeaders.h"

#include <cstddef>
#include <string>

namespace kelvsim {

// UTF-16 of a UTF-8 text; a byte that starts no valid sequence reads as
// U+FFFD, the replacement character.
std::u16string Utf16FromUtf8(const std::string& text);
// UTF-8 of UTF-16 units; an unpaired surrogate reads as U+FFFD.
std::string Utf8FromUtf16(const SQLWCHAR* units, size_t count);

// Writes the UTF-16 form of value from byte offset on into target as a
// null-terminated wide string of at most bufferLength bytes, whole
// characters only (a surrogate pair is never split). Returns the bytes
// available from offset; sets consumed to the bytes written (terminator
// excluded) and truncated when some were left over.
SQLLEN PutWideText(const std::string& value, SQLPOINTER target, SQLLEN bufferLength, size_t offset,
                   bool& truncated, size_t& consumed);

// Writes value as a null-terminated wide string into a buffer of
// capacityUnits two-byte units, whole characters only; a null buffer only
// measures. Sets totalUnits to the units of the whole value; returns false
// when it was cut.
bool CopyOutWide(const std::string& value, SQLWCHAR* buffer, size_t capacityUnits, size_t& totalUnits);

// Bytes of a value in its UTF-16 form.
size_t WideByteLength(const std::string& value);

// A wide text argument of lengthInUnits units, or up to its zero unit for
// SQL_NTS, as UTF-8.
std::string WideInputText(const SQLWCHAR* text, SQLINTEGER lengthInUnits);

// The text of a wide input parameter: lengthInBytes, or SQL_NTS for a
// string that ends at a zero unit within bufferLength bytes (any length
// when bufferLength is 0).
std::string WideParameterText(const void* data, SQLLEN lengthInBytes, SQLLEN bufferLength);

}  // namespace kelvsim
