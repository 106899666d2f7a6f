#include "OracleLexer.h"

#include "SqlErrors.h"

#include <cctype>
#include <cstring>

namespace sim {

std::string UpperAscii(std::string text) {
    for (auto& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool Token::IsWord(const char* word) const {
    if (Kind != TokenKind::Identifier || Text.size() != std::strlen(word)) return false;
    for (size_t i = 0; i < Text.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(Text[i])) != word[i]) return false;
    return true;
}

namespace {

bool IsIdentStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool IsIdentPart(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80; }

// Two-character operators recognised as one symbol.
const char* const kTwoCharSymbols[] = {"||", "<=", ">=", "<>", "!=", "^="};

}  // namespace

std::vector<Token> Tokenize(const std::string& sql) {
    std::vector<Token> tokens;
    size_t i = 0;
    const size_t n = sql.size();
    bool space = false;
    auto push = [&](TokenKind kind, std::string text) {
        tokens.push_back(Token{kind, std::move(text), space});
        space = false;
    };
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(sql[i]);
        if (std::isspace(c)) {
            space = true;
            ++i;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n') ++i;
            space = true;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            size_t end = sql.find("*/", i + 2);
            i = end == std::string::npos ? n : end + 2;
            space = true;
        } else if (c == '\'') {
            std::string text;
            ++i;
            bool closed = false;
            while (i < n) {
                if (sql[i] == '\'') {
                    if (i + 1 < n && sql[i + 1] == '\'') {
                        text += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                text += sql[i++];
            }
            if (!closed) throw OraError("42000", 1756, "quoted string not properly terminated");
            push(TokenKind::String, std::move(text));
        } else if (c == '"') {
            size_t end = sql.find('"', i + 1);
            if (end == std::string::npos) throw OraError("42000", 1740, "missing double quote in identifier");
            if (end == i + 1) throw OraError("42000", 1741, "illegal zero-length identifier");
            push(TokenKind::QuotedIdentifier, sql.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (IsIdentStart(c)) {
            size_t start = i;
            while (i < n && IsIdentPart(static_cast<unsigned char>(sql[i]))) ++i;
            push(TokenKind::Identifier, sql.substr(start, i - start));
        } else if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            size_t start = i;
            while (i < n && std::isdigit(static_cast<unsigned char>(sql[i]))) ++i;
            if (i < n && sql[i] == '.') {
                ++i;
                while (i < n && std::isdigit(static_cast<unsigned char>(sql[i]))) ++i;
            }
            if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
                size_t save = i++;
                if (i < n && (sql[i] == '+' || sql[i] == '-')) ++i;
                if (i < n && std::isdigit(static_cast<unsigned char>(sql[i]))) {
                    while (i < n && std::isdigit(static_cast<unsigned char>(sql[i]))) ++i;
                } else {
                    i = save;
                }
            }
            push(TokenKind::Number, sql.substr(start, i - start));
        } else if (c == '?') {
            push(TokenKind::Parameter, "?");
            ++i;
        } else if (c == '(') {
            // "(+)" with optional blanks inside marks an outer-joined column.
            size_t j = i + 1;
            while (j < n && std::isspace(static_cast<unsigned char>(sql[j]))) ++j;
            if (j < n && sql[j] == '+') {
                size_t k = j + 1;
                while (k < n && std::isspace(static_cast<unsigned char>(sql[k]))) ++k;
                if (k < n && sql[k] == ')') {
                    push(TokenKind::OuterJoinMark, "(+)");
                    i = k + 1;
                    continue;
                }
            }
            push(TokenKind::Symbol, "(");
            ++i;
        } else {
            bool matched = false;
            for (const char* two : kTwoCharSymbols) {
                if (i + 1 < n && sql[i] == two[0] && sql[i + 1] == two[1]) {
                    push(TokenKind::Symbol, two);
                    i += 2;
                    matched = true;
                    break;
                }
            }
            if (matched) continue;
            if (std::strchr("),.;+-*/=<>%:", c) == nullptr || c == 0)
                throw OraError("42000", 911, "invalid character");
            push(TokenKind::Symbol, std::string(1, static_cast<char>(c)));
            ++i;
        }
    }
    return tokens;
}

}  // namespace sim
