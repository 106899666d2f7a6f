// Reading text arguments and writing text results with the ODBC length rules.
#pragma once

#include "Diagnostics.h"
#include "OdbcHeaders.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

namespace kelvsim {

// Text argument: a null pointer is empty, SQL_NTS means null-terminated,
// any other negative length is HY090.
std::string InputText(const SQLCHAR* text, SQLINTEGER length);

// Writes value null-terminated into buffer (bufferLength bytes), cut to fit,
// and stores the full length in *lengthOut. A null buffer only reports the
// length. Returns false and records 01004 when the value was cut.
template <class LengthT>
bool CopyOutText(Diagnostics& diag, const std::string& value, SQLPOINTER buffer, SQLLEN bufferLength,
                 LengthT* lengthOut) {
    if (lengthOut) {
        const auto limit = static_cast<size_t>(std::numeric_limits<LengthT>::max());
        *lengthOut = static_cast<LengthT>(std::min(value.size(), limit));
    }
    if (!buffer)
        return true;
    if (bufferLength <= 0) {
        if (value.empty())
            return true;
        diag.Add("01004", "String data, right truncated");
        return false;
    }
    const size_t room = static_cast<size_t>(bufferLength) - 1;
    const size_t copied = std::min(room, value.size());
    std::memcpy(buffer, value.data(), copied);
    static_cast<char*>(buffer)[copied] = '\0';
    if (copied < value.size()) {
        diag.Add("01004", "String data, right truncated");
        return false;
    }
    return true;
}

// Upper-cases ASCII letters.
std::string UpperAscii(std::string text);

}  // namespace kelvsim
