// Conversions between the instance's text values and the C types of
// bound columns, SQLGetData targets and bound parameters.
#pragma once

#include "Diagnostics.h"
#include "Handles.h"
#include "OdbcHeaders.h"

#include <optional>
#include <string>

namespace kelvsim {

// The C type SQL_C_DEFAULT stands for, given a column's SQL type.
SQLSMALLINT DefaultCType(SQLSMALLINT sqlType);

// Writes a non-NULL value as cType into target. For character and binary
// targets, offset is where this piece starts (SQLGetData in chunks).
// Returns the length indicator to report (bytes available from offset, or
// the fixed size). Sets truncated for a cut character/binary value; throws
// OdbcFailure for a value that does not convert. Records 01S07 when a
// number loses its fraction.
SQLLEN ConvertValue(Diagnostics& diag, const std::string& value, SQLSMALLINT sqlType, SQLSMALLINT cType,
                    SQLPOINTER target, SQLLEN bufferLength, size_t offset, bool& truncated, size_t& consumed);

// True for C types whose values come in pieces (character and binary).
bool IsVariableLengthCType(SQLSMALLINT cType);
// Size of a fixed-length C type, 0 for character and binary types.
size_t FixedCTypeSize(SQLSMALLINT cType);

// The text of a bound input parameter (nullopt for SQL_NULL_DATA).
std::optional<std::string> ParameterText(const BoundParameter& parameter);

// Number of "?" markers outside literals, quoted names and comments.
size_t CountParameterMarkers(const std::string& sql);

}  // namespace kelvsim
