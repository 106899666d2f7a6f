#include "NlsSession.h"

#include "OracleLexer.h"
#include "SqlErrors.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace sim {

const char* const kLinguisticCollation = "SIM_LINGUISTIC";

namespace {

SimError InvalidNlsValue() {
    return OraError("HY000", 12705, "Cannot access NLS data files or invalid environment specified");
}

// The sorts Oracle knows under these names; any of them sorts linguistically here.
bool KnownSort(const std::string& name) {
    static const char* const kSorts[] = {"BINARY", "GERMAN", "XGERMAN", "GERMAN_DIN", "FRENCH", "XFRENCH",
                                         "ITALIAN", "SPANISH", "XSPANISH", "DUTCH", "SWEDISH", "FINNISH",
                                         "DANISH", "NORWEGIAN", "WEST_EUROPEAN", "XWEST_EUROPEAN", "GENERIC_M"};
    for (const char* s : kSorts)
        if (name == s) return true;
    return false;
}

// Two different characters, neither a digit nor a sign nor < or >.
bool ValidNumericCharacters(const std::string& text) {
    if (text.size() != 2 || text[0] == text[1]) return false;
    for (char c : text)
        if (std::isdigit(static_cast<unsigned char>(c)) || std::strchr("+-<>", c)) return false;
    return true;
}

std::string ValueText(const Token& t) {
    if (t.Is(TokenKind::String)) return t.Text;
    if (t.Is(TokenKind::Identifier)) return UpperAscii(t.Text);
    if (t.Is(TokenKind::QuotedIdentifier)) return t.Text;
    throw OraError("42000", 922, "missing or invalid option");
}

void ApplyOne(NlsSettings& nls, const std::string& name, const std::string& value) {
    if (name == "NLS_NUMERIC_CHARACTERS") {
        if (!ValidNumericCharacters(value)) throw InvalidNlsValue();
        nls.DecimalCharacter = value[0];
        nls.GroupCharacter = value[1];
    } else if (name == "NLS_SORT") {
        const std::string sort = UpperAscii(value);
        if (!KnownSort(sort)) throw InvalidNlsValue();
        nls.Sort = sort;
    } else if (name == "NLS_TERRITORY") {
        const NlsSettings byTerritory = NlsFromLanguage("_" + value);
        nls.DecimalCharacter = byTerritory.DecimalCharacter;
        nls.GroupCharacter = byTerritory.GroupCharacter;
    } else if (name == "NLS_LANGUAGE") {
        nls.Sort = NlsFromLanguage(value).Sort;
    }
}

// Letters folded to lower case, blanks and punctuation left out.
std::string PrimaryKey(const char* text, int length) {
    std::string key;
    for (int i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (std::isalnum(c) || c >= 0x80) key += static_cast<char>(std::tolower(c));
    }
    return key;
}

std::string Folded(const char* text, int length) {
    std::string folded(text, static_cast<size_t>(length));
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return folded;
}

int Sign(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

int CompareLinguistic(void*, int lengthA, const void* a, int lengthB, const void* b) {
    const char* ta = static_cast<const char*>(a);
    const char* tb = static_cast<const char*>(b);
    if (int c = PrimaryKey(ta, lengthA).compare(PrimaryKey(tb, lengthB))) return Sign(c);
    if (int c = Folded(ta, lengthA).compare(Folded(tb, lengthB))) return Sign(c);
    const int common = std::min(lengthA, lengthB);
    if (int c = std::memcmp(ta, tb, static_cast<size_t>(common))) return Sign(c);
    return Sign(lengthA - lengthB);
}

}  // namespace

void ApplyAlterSession(NlsSettings& nls, const std::string& oracleSql) {
    std::vector<Token> t = Tokenize(oracleSql);
    while (!t.empty() && t.back().IsSymbol(";")) t.pop_back();
    if (t.size() < 3 || !t[2].IsWord("SET")) return;  // other ALTER SESSION forms change nothing here
    NlsSettings changed = nls;
    size_t i = 3;
    if (i >= t.size()) throw OraError("42000", 922, "missing or invalid option");
    while (i < t.size()) {
        if (i + 2 >= t.size() || !t[i].Is(TokenKind::Identifier) || !t[i + 1].IsSymbol("="))
            throw OraError("42000", 922, "missing or invalid option");
        ApplyOne(changed, UpperAscii(t[i].Text), ValueText(t[i + 2]));
        i += 3;
    }
    nls = changed;
}

std::string WithDecimalCharacter(std::string numberText, char decimalCharacter) {
    if (decimalCharacter != '.') std::replace(numberText.begin(), numberText.end(), '.', decimalCharacter);
    return numberText;
}

void RegisterLinguisticCollation(sqlite3* db) {
    sqlite3_create_collation_v2(db, kLinguisticCollation, SQLITE_UTF8, nullptr, CompareLinguistic, nullptr);
}

}  // namespace sim
