#include "TextBuffers.h"

#include <cctype>

namespace kelvsim {

std::string InputText(const SQLCHAR* text, SQLINTEGER length) {
    if (!text)
        return {};
    if (length == SQL_NTS)
        return std::string(reinterpret_cast<const char*>(text));
    if (length < 0)
        throw OdbcFailure("HY090", "Invalid string or buffer length");
    return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
}

std::string UpperAscii(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace kelvsim
