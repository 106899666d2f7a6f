#include "OracleTranslator.h"

#include "OracleLexer.h"
#include "SqlErrors.h"

#include <algorithm>
#include <map>

namespace sim {

namespace {

// A token, or a parenthesised group with its inner nodes.
struct Node {
    Token Tok;
    bool Group = false;
    std::vector<Node> Kids;
};
using Nodes = std::vector<Node>;

// Words that keep their SQL meaning; every other unquoted name is emitted
// as a quoted upper-case identifier so SQLite keywords never clash.
const std::set<std::string> kKeywords = {
    "SELECT", "FROM", "WHERE", "AND", "OR", "NOT", "NULL", "IS", "IN", "LIKE", "ESCAPE", "BETWEEN",
    "EXISTS", "GROUP", "BY", "ORDER", "HAVING", "ASC", "DESC", "AS", "DISTINCT", "ALL", "UNION",
    "INTERSECT", "MINUS", "EXCEPT", "CASE", "WHEN", "THEN", "ELSE", "END", "INSERT", "INTO", "VALUES",
    "UPDATE", "SET", "DELETE", "CREATE", "TABLE", "INDEX", "VIEW", "DROP", "ALTER", "ADD", "COLUMN",
    "RENAME", "TO", "PRIMARY", "KEY", "UNIQUE", "DEFAULT", "CHECK", "CONSTRAINT", "REFERENCES",
    "FOREIGN", "ON", "JOIN", "LEFT", "RIGHT", "INNER", "OUTER", "CROSS", "FULL", "NATURAL", "USING",
    "CAST", "WITH", "NULLS", "FIRST", "LAST", "COMMIT", "ROLLBACK", "VARCHAR2", "VARCHAR", "NVARCHAR2",
    "CHAR", "NCHAR", "NUMBER", "INTEGER", "INT", "SMALLINT", "DECIMAL", "NUMERIC", "FLOAT", "REAL",
    "DOUBLE", "PRECISION", "DATE", "TIMESTAMP", "LONG", "RAW", "CLOB", "BLOB", "TEXT", "TRUNCATE", "COLLATE"};

// Words that end the FROM list or the WHERE clause of a query block.
const std::set<std::string> kClauseEnds = {"GROUP", "ORDER", "HAVING", "UNION", "INTERSECT",
                                           "MINUS", "EXCEPT", "CONNECT", "START", "FOR"};

std::string Upper(const std::string& s) { return UpperAscii(s); }

bool IsWordIn(const Node& n, const std::set<std::string>& words) {
    return !n.Group && n.Tok.Is(TokenKind::Identifier) && words.count(Upper(n.Tok.Text)) > 0;
}
bool IsWord(const Node& n, const char* word) { return !n.Group && n.Tok.IsWord(word); }
bool IsSymbol(const Node& n, const char* sym) { return !n.Group && n.Tok.IsSymbol(sym); }
bool IsName(const Node& n) {
    return !n.Group && (n.Tok.Is(TokenKind::QuotedIdentifier) ||
                        (n.Tok.Is(TokenKind::Identifier) && !kKeywords.count(Upper(n.Tok.Text))));
}

// Deeper nesting than any real statement; keeps the recursion bounded.
constexpr int kMaxNesting = 200;

// Builds the tree of parenthesised groups; unbalanced parentheses fail.
Nodes BuildTree(const std::vector<Token>& tokens, size_t& pos, int depth) {
    const bool nested = depth > 0;
    if (depth > kMaxNesting) throw InvalidSqlStatement();
    Nodes out;
    while (pos < tokens.size()) {
        const Token& t = tokens[pos++];
        if (t.IsSymbol("(")) {
            Node g{t, true, BuildTree(tokens, pos, depth + 1)};
            out.push_back(std::move(g));
        } else if (t.IsSymbol(")")) {
            if (!nested) throw OraError("42000", 933, "SQL command not properly ended");
            return out;
        } else {
            out.push_back(Node{t, false, {}});
        }
    }
    if (nested) throw OraError("42000", 907, "missing right parenthesis");
    return out;
}

// Oracle's name of an unaliased select item: its text upper-cased, blanks removed.
std::string ItemText(const Nodes& nodes) {
    std::string out;
    for (const Node& n : nodes) {
        if (n.Group) {
            out += "(" + ItemText(n.Kids) + ")";
            continue;
        }
        switch (n.Tok.Kind) {
            case TokenKind::String: {
                std::string q = "'";
                for (char c : n.Tok.Text) q += c == '\'' ? std::string("''") : std::string(1, c);
                out += Upper(q) + "'";
                break;
            }
            case TokenKind::QuotedIdentifier: out += n.Tok.Text; break;
            default: out += Upper(n.Tok.Text);
        }
    }
    return out;
}

std::vector<Nodes> SplitOn(const Nodes& nodes, size_t from, size_t to, bool (*isSep)(const Node&)) {
    std::vector<Nodes> parts(1);
    for (size_t i = from; i < to; ++i) {
        if (isSep(nodes[i])) parts.emplace_back();
        else parts.back().push_back(nodes[i]);
    }
    return parts;
}

bool IsComma(const Node& n) { return IsSymbol(n, ","); }

// Splits a WHERE clause into its AND-ed conditions (the AND of BETWEEN stays).
std::vector<Nodes> SplitConjuncts(const Nodes& where) {
    std::vector<Nodes> parts(1);
    bool inBetween = false;
    for (const Node& n : where) {
        if (IsWord(n, "BETWEEN")) inBetween = true;
        if (IsWord(n, "AND")) {
            if (inBetween) {
                inBetween = false;
            } else {
                parts.emplace_back();
                continue;
            }
        }
        parts.back().push_back(n);
    }
    return parts;
}

std::string AliasOfFromItem(const Nodes& item) {
    if (item.empty()) return "";
    const Node& last = item.back();
    if (!last.Group && (last.Tok.Is(TokenKind::Identifier) || last.Tok.Is(TokenKind::QuotedIdentifier)))
        return last.Tok.Is(TokenKind::QuotedIdentifier) ? last.Tok.Text : Upper(last.Tok.Text);
    return "";
}

Nodes Words(const char* text) {
    return Nodes{Node{Token{TokenKind::Identifier, text, true}, false, {}}};
}

void Append(Nodes& to, const Nodes& from) { to.insert(to.end(), from.begin(), from.end()); }

// Rewrites one query block's comma joins with (+) conditions into LEFT JOINs.
void RewriteOuterJoins(Nodes& block) {
    auto findWord = [&](const char* w, size_t from) {
        for (size_t i = from; i < block.size(); ++i)
            if (IsWord(block[i], w)) return i;
        return block.size();
    };
    size_t from = findWord("FROM", 0);
    if (from == block.size()) return;
    size_t where = findWord("WHERE", from);
    if (where == block.size()) return;
    size_t end = where + 1;
    while (end < block.size() && !IsWordIn(block[end], kClauseEnds)) ++end;
    bool hasMark = false;
    for (size_t i = where + 1; i < end; ++i) hasMark |= !block[i].Group && block[i].Tok.Is(TokenKind::OuterJoinMark);
    if (!hasMark) return;

    std::vector<Nodes> items = SplitOn(block, from + 1, where, IsComma);
    std::vector<std::string> aliases;
    for (auto& item : items) aliases.push_back(AliasOfFromItem(item));

    Nodes whereNodes(block.begin() + static_cast<long>(where) + 1, block.begin() + static_cast<long>(end));
    for (const Node& n : whereNodes)
        if (IsWord(n, "OR")) throw OraError("42000", 1719, "outer join operator (+) not allowed in operand of OR or IN");

    std::map<std::string, std::vector<Nodes>> joinConditions;
    std::vector<Nodes> plainConditions;
    for (Nodes& cond : SplitConjuncts(whereNodes)) {
        std::string optional;
        Nodes cleaned;
        for (size_t i = 0; i < cond.size(); ++i) {
            if (!cond[i].Group && cond[i].Tok.Is(TokenKind::OuterJoinMark)) {
                if (i < 3 || !IsSymbol(cond[i - 2], ".") || cond[i - 3].Group)
                    throw OraError("42000", 936, "missing expression");
                std::string alias = cond[i - 3].Tok.Is(TokenKind::QuotedIdentifier) ? cond[i - 3].Tok.Text
                                                                                    : Upper(cond[i - 3].Tok.Text);
                if (!optional.empty() && optional != alias)
                    throw OraError("42000", 1468, "a predicate may reference only one outer-joined table");
                optional = alias;
                continue;
            }
            cleaned.push_back(cond[i]);
        }
        if (optional.empty()) plainConditions.push_back(cleaned);
        else joinConditions[optional].push_back(cleaned);
    }
    for (auto& entry : joinConditions)
        if (std::find(aliases.begin(), aliases.end(), entry.first) == aliases.end())
            throw OraError("42S22", 904, "\"" + entry.first + "\": invalid identifier");

    Nodes rebuilt(block.begin(), block.begin() + static_cast<long>(from) + 1);
    bool first = true;
    for (size_t i = 0; i < items.size(); ++i) {
        if (joinConditions.count(aliases[i])) continue;
        if (!first) rebuilt.push_back(Node{Token{TokenKind::Symbol, ",", false}, false, {}});
        Append(rebuilt, items[i]);
        first = false;
    }
    if (first) throw OraError("42000", 1416, "two tables cannot be outer-joined to each other");
    for (size_t i = 0; i < items.size(); ++i) {
        auto it = joinConditions.find(aliases[i]);
        if (it == joinConditions.end()) continue;
        Append(rebuilt, Words("LEFT"));
        Append(rebuilt, Words("JOIN"));
        Append(rebuilt, items[i]);
        Append(rebuilt, Words("ON"));
        for (size_t c = 0; c < it->second.size(); ++c) {
            if (c > 0) Append(rebuilt, Words("AND"));
            Node group{Token{TokenKind::Symbol, "(", true}, true, it->second[c]};
            rebuilt.push_back(group);
        }
    }
    bool anyPlain = false;
    for (auto& cond : plainConditions) {
        if (cond.empty()) continue;
        Append(rebuilt, Words(anyPlain ? "AND" : "WHERE"));
        rebuilt.push_back(Node{Token{TokenKind::Symbol, "(", true}, true, cond});
        anyPlain = true;
    }
    rebuilt.insert(rebuilt.end(), block.begin() + static_cast<long>(end), block.end());
    block = std::move(rebuilt);
}

// Gives every unaliased expression of a select list Oracle's column name.
void NameSelectItems(Nodes& block) {
    if (block.empty() || !IsWord(block[0], "SELECT")) return;
    size_t start = 1;
    if (start < block.size() && (IsWord(block[start], "DISTINCT") || IsWord(block[start], "ALL"))) ++start;
    size_t from = start;
    while (from < block.size() && !IsWord(block[from], "FROM")) ++from;
    std::vector<Nodes> items = SplitOn(block, start, from, IsComma);
    Nodes rebuilt(block.begin(), block.begin() + static_cast<long>(start));
    for (size_t i = 0; i < items.size(); ++i) {
        Nodes& item = items[i];
        if (i > 0) rebuilt.push_back(Node{Token{TokenKind::Symbol, ",", false}, false, {}});
        Append(rebuilt, item);
        if (item.empty()) continue;
        const Node& last = item.back();
        bool star = IsSymbol(last, "*") && (item.size() == 1 || IsSymbol(item[item.size() - 2], "."));
        // SYSDATE is written as a call in SQLite, so it needs its Oracle name.
        bool columnRef = IsName(item[0]) && !IsWord(item[0], "SYSDATE") &&
                         (item.size() == 1 || (item.size() == 3 && IsSymbol(item[1], ".") && IsName(item[2])));
        bool aliased = false;
        if (item.size() >= 2 && IsName(last)) {
            const Node& before = item[item.size() - 2];
            aliased = IsWord(before, "AS") || before.Group || IsName(before) ||
                      (!before.Group && (before.Tok.Is(TokenKind::Number) || before.Tok.Is(TokenKind::String)));
            if (IsSymbol(before, ".")) aliased = false;
        }
        if (star || columnRef || aliased) continue;
        Append(rebuilt, Words("AS"));
        rebuilt.push_back(Node{Token{TokenKind::QuotedIdentifier, ItemText(item), true}, false, {}});
    }
    rebuilt.insert(rebuilt.end(), block.begin() + static_cast<long>(from), block.end());
    block = std::move(rebuilt);
}

bool IsSetOperator(const Node& n) {
    return IsWord(n, "UNION") || IsWord(n, "INTERSECT") || IsWord(n, "MINUS") || IsWord(n, "EXCEPT");
}

// Rewrites every query block of a node sequence, innermost first.
void RewriteBlocks(Nodes& nodes) {
    for (Node& n : nodes)
        if (n.Group) RewriteBlocks(n.Kids);
    // Query blocks of a compound query start at SELECT and end at a set operator.
    size_t i = 0;
    while (i < nodes.size()) {
        if (!IsWord(nodes[i], "SELECT")) {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < nodes.size() && !IsSetOperator(nodes[j])) ++j;
        Nodes block(nodes.begin() + static_cast<long>(i), nodes.begin() + static_cast<long>(j));
        RewriteOuterJoins(block);
        NameSelectItems(block);
        nodes.erase(nodes.begin() + static_cast<long>(i), nodes.begin() + static_cast<long>(j));
        nodes.insert(nodes.begin() + static_cast<long>(i), block.begin(), block.end());
        i += block.size();
    }
}

// Ends an ORDER BY term: its direction and the placement of NULLs.
bool IsOrderModifier(const Node& n) {
    return IsWord(n, "ASC") || IsWord(n, "DESC") || IsWord(n, "NULLS");
}

// Gives every ORDER BY term, at every level, the linguistic collation.
void CollateOrderBy(Nodes& nodes, const char* collation) {
    for (Node& n : nodes)
        if (n.Group) CollateOrderBy(n.Kids, collation);
    for (size_t i = 0; i + 1 < nodes.size(); ++i) {
        if (!IsWord(nodes[i], "ORDER") || !IsWord(nodes[i + 1], "BY")) continue;
        Nodes rebuilt(nodes.begin(), nodes.begin() + static_cast<long>(i) + 2);
        std::vector<Nodes> terms = SplitOn(nodes, i + 2, nodes.size(), IsComma);
        for (size_t t = 0; t < terms.size(); ++t) {
            if (t > 0) rebuilt.push_back(Node{Token{TokenKind::Symbol, ",", false}, false, {}});
            Nodes& term = terms[t];
            size_t end = 0;
            while (end < term.size() && !IsOrderModifier(term[end])) ++end;
            Append(rebuilt, Nodes(term.begin(), term.begin() + static_cast<long>(end)));
            if (end > 0) {
                Append(rebuilt, Words("COLLATE"));
                rebuilt.push_back(Node{Token{TokenKind::Identifier, collation, true}, false, {}});
            }
            Append(rebuilt, Nodes(term.begin() + static_cast<long>(end), term.end()));
        }
        nodes = std::move(rebuilt);
        return;
    }
}

std::string QuoteIdent(const std::string& name) {
    std::string out = "\"";
    for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// Index of the object name of CREATE [UNIQUE] TABLE/VIEW/INDEX, or npos.
size_t CreatedObjectIndex(const Nodes& nodes) {
    if (nodes.empty() || !IsWord(nodes[0], "CREATE")) return std::string::npos;
    size_t i = 1;
    if (i < nodes.size() && IsWord(nodes[i], "UNIQUE")) ++i;
    if (i < nodes.size() && (IsWord(nodes[i], "TABLE") || IsWord(nodes[i], "VIEW") || IsWord(nodes[i], "INDEX")) &&
        i + 1 < nodes.size() && !nodes[i + 1].Group)
        return i + 1;
    return std::string::npos;
}

// The object a DML or DDL statement changes.
std::string TargetOf(const std::vector<Token>& t) {
    auto nameAt = [&](size_t i) -> std::string {
        if (i >= t.size()) return "";
        if (t[i].Is(TokenKind::QuotedIdentifier)) return t[i].Text;
        return t[i].Is(TokenKind::Identifier) ? UpperAscii(t[i].Text) : "";
    };
    if (t.empty()) return "";
    if (t[0].IsWord("INSERT")) return nameAt(2);
    if (t[0].IsWord("UPDATE")) return nameAt(1);
    if (t[0].IsWord("DELETE")) return t.size() > 1 && t[1].IsWord("FROM") ? nameAt(2) : nameAt(1);
    if (t[0].IsWord("DROP") || t[0].IsWord("ALTER") || t[0].IsWord("TRUNCATE")) return nameAt(2);
    if (t[0].IsWord("CREATE")) {
        size_t i = 1;
        if (i < t.size() && t[i].IsWord("UNIQUE")) ++i;
        return nameAt(i + 1);
    }
    return "";
}

void Emit(const Nodes& nodes, std::string& out, size_t schemaAt = std::string::npos, const char* schema = nullptr) {
    for (size_t i = 0; i < nodes.size(); ++i) {
        const Node& n = nodes[i];
        if (!out.empty() && out.back() != '(') out += ' ';
        if (n.Group) {
            out += "(";
            Emit(n.Kids, out);
            out += ")";
            continue;
        }
        const Token& t = n.Tok;
        if (i == schemaAt && schema) out += std::string(schema) + ".";
        // A name before "(" is a function call, unless it follows INTO/TABLE/REFERENCES.
        bool tableContext = i > 0 && (IsWord(nodes[i - 1], "INTO") || IsWord(nodes[i - 1], "TABLE") ||
                                      IsWord(nodes[i - 1], "REFERENCES"));
        bool callFollows = i + 1 < nodes.size() && nodes[i + 1].Group && !tableContext;
        switch (t.Kind) {
            case TokenKind::Identifier: {
                std::string word = Upper(t.Text);
                if (word == "MINUS") out += "EXCEPT";
                else if (word == "SYSDATE" && !callFollows) out += "SYSDATE()";
                else if (kKeywords.count(word) || callFollows) out += word;
                else out += QuoteIdent(word);
                break;
            }
            case TokenKind::QuotedIdentifier: out += QuoteIdent(t.Text); break;
            case TokenKind::String: {
                out += '\'';
                for (char c : t.Text) out += c == '\'' ? std::string("''") : std::string(1, c);
                out += '\'';
                break;
            }
            case TokenKind::OuterJoinMark:
                throw OraError("42000", 1705, "an outer join cannot be specified on a correlation column");
            case TokenKind::Symbol:
                if (t.Text == "/") out += "* 1.0 /";
                else if (t.Text == "!=" || t.Text == "^=") out += "<>";
                else out += t.Text;
                break;
            default: out += t.Text;
        }
    }
}

StatementKind KindOf(const std::vector<Token>& tokens) {
    const Token& t = tokens[0];
    if (t.IsSymbol("(") || t.IsWord("SELECT") || t.IsWord("WITH")) return StatementKind::Query;
    if (t.IsWord("INSERT") || t.IsWord("UPDATE") || t.IsWord("DELETE") || t.IsWord("MERGE"))
        return StatementKind::Dml;
    if (t.IsWord("CREATE") || t.IsWord("DROP") || t.IsWord("TRUNCATE")) return StatementKind::Ddl;
    if (t.IsWord("ALTER") && tokens.size() > 1 && tokens[1].IsWord("SYSTEM")) return StatementKind::AlterSystem;
    if (t.IsWord("ALTER") && tokens.size() > 1 && tokens[1].IsWord("SESSION")) return StatementKind::AlterSession;
    if (t.IsWord("ALTER")) return StatementKind::Ddl;
    if (t.IsWord("COMMIT")) return StatementKind::Commit;
    if (t.IsWord("ROLLBACK")) return StatementKind::Rollback;
    return StatementKind::Other;
}

}  // namespace

Translation TranslateOracleSql(const std::string& oracleSql, const char* createSchema, const char* orderCollation) {
    std::vector<Token> tokens = Tokenize(oracleSql);
    while (!tokens.empty() && tokens.back().IsSymbol(";")) tokens.pop_back();
    if (tokens.empty()) throw InvalidSqlStatement();
    for (const Token& t : tokens)
        if (t.IsSymbol(";")) throw OraError("42000", 911, "invalid character");

    Translation tr;
    tr.Kind = KindOf(tokens);
    // SYS.<object>: every dictionary object lives in the one SQLite schema.
    std::vector<Token> kept;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].IsWord("SYS") && i + 2 < tokens.size() && tokens[i + 1].IsSymbol(".") &&
            (tokens[i + 2].Is(TokenKind::Identifier) || tokens[i + 2].Is(TokenKind::QuotedIdentifier))) {
            tr.UsesSysSchema = true;
            tokens[i + 2].SpaceBefore = tokens[i].SpaceBefore;
            ++i;
            continue;
        }
        // SYSTEM.<object>: users' own tables belong to SYSTEM (as the object
        // views report them) and are reached by their plain name.
        const bool systemOwner = tokens[i].IsWord("SYSTEM") ||
                                 (tokens[i].Is(TokenKind::QuotedIdentifier) && tokens[i].Text == "SYSTEM");
        if (systemOwner && i + 2 < tokens.size() && tokens[i + 1].IsSymbol(".") &&
            (tokens[i + 2].Is(TokenKind::Identifier) || tokens[i + 2].Is(TokenKind::QuotedIdentifier))) {
            tokens[i + 2].SpaceBefore = tokens[i].SpaceBefore;
            ++i;
            continue;
        }
        kept.push_back(tokens[i]);
    }
    for (const Token& t : kept) {
        if (t.Is(TokenKind::Identifier)) tr.Identifiers.insert(UpperAscii(t.Text));
        if (t.Is(TokenKind::Parameter)) ++tr.ParameterCount;
    }
    if (tr.Kind == StatementKind::AlterSystem || tr.Kind == StatementKind::AlterSession ||
        tr.Kind == StatementKind::Other) {
        tr.Sql = oracleSql;
        return tr;
    }
    if (kept[0].IsWord("TRUNCATE")) {
        // TRUNCATE TABLE t -> DELETE FROM t
        if (kept.size() < 3 || !kept[1].IsWord("TABLE")) throw InvalidSqlStatement();
        kept[0].Text = "DELETE";
        kept[1].Text = "FROM";
        tr.Kind = StatementKind::Dml;
    }
    if (tr.Kind == StatementKind::Dml || tr.Kind == StatementKind::Ddl) tr.Target = TargetOf(kept);
    size_t pos = 0;
    Nodes tree = BuildTree(kept, pos, 0);
    RewriteBlocks(tree);
    if (orderCollation && tr.Kind == StatementKind::Query) CollateOrderBy(tree, orderCollation);
    Emit(tree, tr.Sql, CreatedObjectIndex(tree), createSchema);
    return tr;
}

}  // namespace sim
