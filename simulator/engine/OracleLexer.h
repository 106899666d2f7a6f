// Splits Oracle SQL text into tokens (comments dropped).
#pragma once

#include <string>
#include <vector>

namespace sim {

enum class TokenKind {
    Identifier,       // NAME, V$SESSION, SERIAL# (text as written)
    QuotedIdentifier, // "Name" (text without the quotes)
    String,           // 'text' (text without quotes, '' undoubled)
    Number,           // 12, 3.5, .5, 1E3
    Parameter,        // ?
    OuterJoinMark,    // (+)
    Symbol,           // ( ) , . ; and operators
};

struct Token {
    TokenKind Kind;
    std::string Text;
    bool SpaceBefore = false;  // blank or comment before it in the source

    bool Is(TokenKind kind) const { return Kind == kind; }
    bool IsSymbol(const char* symbol) const { return Kind == TokenKind::Symbol && Text == symbol; }
    // Case-insensitive keyword test on an unquoted identifier.
    bool IsWord(const char* word) const;
};

// Throws SimError (ORA-01756 / ORA-00911) on an unterminated quote or a
// character Oracle does not accept.
std::vector<Token> Tokenize(const std::string& sql);

std::string UpperAscii(std::string text);

}  // namespace sim
