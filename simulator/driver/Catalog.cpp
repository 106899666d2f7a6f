#include "Catalog.h"

#include "CatalogColumns.h"
#include "ColumnMetrics.h"
#include "TextBuffers.h"

#include <algorithm>
#include <tuple>

namespace kelvsim {

namespace {

constexpr unsigned kNameSize = 128;

struct TableEntry {
    std::string Owner;
    std::string Name;
    std::string Type;
};

bool IsConnectionFailure(const sim::SimError& error) {
    return error.SqlState == "08S01" || error.SqlState == "08003";
}

// The instance's tables and views, from the first dictionary view it has.
std::vector<TableEntry> DictionaryTables(Connection& conn) {
    static const char* const queries[] = {
        "SELECT OWNER, OBJECT_NAME, OBJECT_TYPE FROM ALL_OBJECTS WHERE OBJECT_TYPE IN ('TABLE', 'VIEW', 'SYNONYM')",
        "SELECT OWNER, OBJECT_NAME, OBJECT_TYPE FROM DBA_OBJECTS WHERE OBJECT_TYPE IN ('TABLE', 'VIEW', 'SYNONYM')",
        "SELECT OWNER, TABLE_NAME, 'TABLE' FROM ALL_TABLES",
        "SELECT OWNER, TABLE_NAME, 'TABLE' FROM DBA_TABLES",
    };
    sim::SimSession& session = conn.LiveSession();
    for (const char* sql : queries) {
        try {
            auto cursor = session.Execute(sql, {});
            if (!cursor || cursor->Columns().size() < 3)
                continue;
            std::vector<TableEntry> tables;
            while (cursor->Next())
                tables.push_back({cursor->Value(0).value_or(""), cursor->Value(1).value_or(""),
                                  cursor->Value(2).value_or("TABLE")});
            return tables;
        } catch (const sim::SimError& error) {
            if (IsConnectionFailure(error))
                throw;
            // Try the next view.
        }
    }
    return {};
}

bool Accepts(const Pattern& pattern, const std::string& value) {
    // A null pointer or an empty pattern selects everything: every Oracle
    // object has an owner and a name.
    return !pattern || pattern->empty() || MatchesPattern(value, *pattern);
}

bool TypeAccepted(const Pattern& types, const std::string& type) {
    if (!types || types->empty() || *types == "%")
        return true;
    std::string list = UpperAscii(*types);
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t comma = list.find(',', pos);
        if (comma == std::string::npos)
            comma = list.size();
        std::string item = list.substr(pos, comma - pos);
        item.erase(std::remove(item.begin(), item.end(), '\''), item.end());
        item.erase(0, item.find_first_not_of(' '));
        item.erase(item.find_last_not_of(' ') + 1);
        if (item == type)
            return true;
        pos = comma + 1;
    }
    return false;
}

bool Odbc2(const Connection& conn) {
    return conn.Env->OdbcVersion == SQL_OV_ODBC2;
}

std::string QuoteName(const std::string& name) {
    bool plain = !name.empty();
    for (char c : name)
        plain = plain && ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' || c == '#');
    return plain ? name : "\"" + name + "\"";
}

// A table named exactly (no wildcards) that the dictionary does not list,
// such as one the session created, is found by describing it.
// A pattern whose only wildcard is '_' also matches itself taken literally.
std::optional<std::string> LiteralName(const Pattern& pattern) {
    if (!pattern || pattern->empty() || pattern->find('%') != std::string::npos)
        return std::nullopt;
    std::string name;
    for (size_t i = 0; i < pattern->size(); ++i) {
        if ((*pattern)[i] == '\\' && i + 1 < pattern->size())
            ++i;
        name += (*pattern)[i];
    }
    return name;
}

std::optional<TableEntry> ProbeNamedTable(Connection& conn, const Pattern& schema, const Pattern& table) {
    const auto tableName = LiteralName(table);
    if (!tableName)
        return std::nullopt;
    const auto schemaName = LiteralName(schema);
    const bool exactSchema = schemaName.has_value();
    const std::string name = (exactSchema ? QuoteName(*schemaName) + "." : "") + QuoteName(*tableName);
    try {
        conn.LiveSession().Describe("SELECT * FROM " + name);
    } catch (const sim::SimError& error) {
        if (IsConnectionFailure(error))
            throw;
        return std::nullopt;
    }
    return TableEntry{exactSchema ? *schemaName : "", *tableName, "TABLE"};
}

}  // namespace

bool MatchesPattern(const std::string& value, const std::string& pattern) {
    size_t v = 0, p = 0;
    size_t starP = std::string::npos, starV = 0;
    while (v < value.size()) {
        if (p < pattern.size()) {
            const char pc = pattern[p];
            if (pc == '\\' && p + 1 < pattern.size()) {
                if (pattern[p + 1] == value[v]) {
                    p += 2;
                    ++v;
                    continue;
                }
            } else if (pc == '%') {
                starP = p++;
                starV = v;
                continue;
            } else if (pc == '_' || pc == value[v]) {
                ++p;
                ++v;
                continue;
            }
        }
        if (starP == std::string::npos)
            return false;
        p = starP + 1;
        v = ++starV;
    }
    while (p < pattern.size() && pattern[p] == '%')
        ++p;
    return p == pattern.size();
}

std::unique_ptr<ResultSet> ListTables(Connection& conn, const Pattern& catalog, const Pattern& schema,
                                      const Pattern& table, const Pattern& tableTypes) {
    auto columns = MakeColumns({{"TABLE_CAT", "TABLE_QUALIFIER", SQL_VARCHAR, kNameSize},
                                {"TABLE_SCHEM", "TABLE_OWNER", SQL_VARCHAR, kNameSize},
                                {"TABLE_NAME", nullptr, SQL_VARCHAR, kNameSize},
                                {"TABLE_TYPE", nullptr, SQL_VARCHAR, kNameSize},
                                {"REMARKS", nullptr, SQL_VARCHAR, 254}},
                               Odbc2(conn));
    std::vector<Row> rows;
    const bool emptyCatalog = catalog && catalog->empty();
    const bool emptySchema = schema && schema->empty();
    const bool emptyTable = table && table->empty();
    // The special enumerations of SQLTables.
    if (catalog && *catalog == "%" && emptySchema && emptyTable)
        return std::make_unique<ResultSet>(std::move(columns), std::move(rows));
    const auto tables = DictionaryTables(conn);
    if (schema && *schema == "%" && (!catalog || emptyCatalog) && emptyTable) {
        std::vector<std::string> owners;
        for (const auto& t : tables)
            owners.push_back(t.Owner);
        std::sort(owners.begin(), owners.end());
        owners.erase(std::unique(owners.begin(), owners.end()), owners.end());
        for (const auto& owner : owners)
            rows.push_back({Null(), Text(owner), Null(), Null(), Null()});
        return std::make_unique<ResultSet>(std::move(columns), std::move(rows));
    }
    if (tableTypes && *tableTypes == "%" && emptyCatalog && emptySchema && emptyTable) {
        for (const char* type : {"SYNONYM", "TABLE", "VIEW"})
            rows.push_back({Null(), Null(), Null(), Text(type), Null()});
        return std::make_unique<ResultSet>(std::move(columns), std::move(rows));
    }
    if (catalog && !catalog->empty() && *catalog != "%")
        return std::make_unique<ResultSet>(std::move(columns), std::move(rows));
    std::vector<TableEntry> selected;
    for (const auto& t : tables)
        if (Accepts(schema, t.Owner) && Accepts(table, t.Name) && TypeAccepted(tableTypes, t.Type))
            selected.push_back(t);
    if (selected.empty() && TypeAccepted(tableTypes, "TABLE")) {
        if (auto probed = ProbeNamedTable(conn, schema, table))
            selected.push_back(*probed);
    }
    std::sort(selected.begin(), selected.end(), [](const TableEntry& a, const TableEntry& b) {
        return std::tie(a.Type, a.Owner, a.Name) < std::tie(b.Type, b.Owner, b.Name);
    });
    for (const auto& t : selected)
        rows.push_back({Null(), Text(t.Owner.empty() ? conn.UserName : t.Owner), Text(t.Name), Text(t.Type), Null()});
    return std::make_unique<ResultSet>(std::move(columns), std::move(rows));
}

std::unique_ptr<ResultSet> ListColumns(Connection& conn, const Pattern& catalog, const Pattern& schema,
                                       const Pattern& table, const Pattern& column) {
    const bool odbc2 = Odbc2(conn);
    auto columns = MakeColumns({{"TABLE_CAT", "TABLE_QUALIFIER", SQL_VARCHAR, kNameSize},
                                {"TABLE_SCHEM", "TABLE_OWNER", SQL_VARCHAR, kNameSize},
                                {"TABLE_NAME", nullptr, SQL_VARCHAR, kNameSize},
                                {"COLUMN_NAME", nullptr, SQL_VARCHAR, kNameSize},
                                {"DATA_TYPE", nullptr, SQL_SMALLINT, 5},
                                {"TYPE_NAME", nullptr, SQL_VARCHAR, kNameSize},
                                {"COLUMN_SIZE", "PRECISION", SQL_INTEGER, 10},
                                {"BUFFER_LENGTH", "LENGTH", SQL_INTEGER, 10},
                                {"DECIMAL_DIGITS", "SCALE", SQL_SMALLINT, 5},
                                {"NUM_PREC_RADIX", "RADIX", SQL_SMALLINT, 5},
                                {"NULLABLE", nullptr, SQL_SMALLINT, 5},
                                {"REMARKS", nullptr, SQL_VARCHAR, 254},
                                {"COLUMN_DEF", nullptr, SQL_VARCHAR, 254},
                                {"SQL_DATA_TYPE", nullptr, SQL_SMALLINT, 5},
                                {"SQL_DATETIME_SUB", nullptr, SQL_SMALLINT, 5},
                                {"CHAR_OCTET_LENGTH", nullptr, SQL_INTEGER, 10},
                                {"ORDINAL_POSITION", nullptr, SQL_INTEGER, 10},
                                {"IS_NULLABLE", nullptr, SQL_VARCHAR, 3}},
                               odbc2);
    std::vector<Row> rows;
    if (catalog && !catalog->empty() && *catalog != "%")
        return std::make_unique<ResultSet>(std::move(columns), std::move(rows));

    std::vector<TableEntry> tables;
    for (const auto& t : DictionaryTables(conn))
        if (Accepts(schema, t.Owner) && Accepts(table, t.Name))
            tables.push_back(t);
    if (tables.empty()) {
        if (auto probed = ProbeNamedTable(conn, schema, table))
            tables.push_back(*probed);
    }
    std::sort(tables.begin(), tables.end(),
              [](const TableEntry& a, const TableEntry& b) { return std::tie(a.Owner, a.Name) < std::tie(b.Owner, b.Name); });

    sim::SimSession& session = conn.LiveSession();
    for (const auto& t : tables) {
        std::vector<sim::SimColumn> described;
        const std::string name = (t.Owner.empty() ? "" : QuoteName(t.Owner) + ".") + QuoteName(t.Name);
        try {
            described = session.Describe("SELECT * FROM " + name);
        } catch (const sim::SimError& error) {
            if (IsConnectionFailure(error))
                throw;
            continue;
        }
        for (size_t i = 0; i < described.size(); ++i) {
            const auto& c = described[i];
            if (!Accepts(column, c.Name))
                continue;
            const ColumnMetrics m = MetricsOf(c, conn.Env->OdbcVersion);
            const bool datetime = m.VerboseType == SQL_DATETIME;
            rows.push_back({Null(), t.Owner.empty() ? Null() : Text(t.Owner), Text(t.Name), Text(c.Name),
                            Number(m.ConciseType), Text(m.TypeName), Number(static_cast<long long>(m.ColumnSize)),
                            Number(m.OctetLength), m.Numeric ? Number(m.DecimalDigits) : Null(),
                            m.Numeric ? Number(10) : Null(), Number(c.Nullable ? SQL_NULLABLE : SQL_NO_NULLS),
                            Null(), Null(), Number(m.VerboseType),
                            datetime ? Number(m.ConciseType - SQL_DATETIME * 10) : Null(),
                            m.Character ? Number(m.OctetLength) : Null(), Number(static_cast<long long>(i + 1)),
                            Text(c.Nullable ? "YES" : "NO")});
        }
    }
    return std::make_unique<ResultSet>(std::move(columns), std::move(rows));
}

std::unique_ptr<ResultSet> ListStatistics(Connection& conn, const Pattern&, const Pattern&) {
    // The instance keeps no index statistics: the result has the standard
    // columns and no rows.
    auto columns = MakeColumns({{"TABLE_CAT", "TABLE_QUALIFIER", SQL_VARCHAR, kNameSize},
                                {"TABLE_SCHEM", "TABLE_OWNER", SQL_VARCHAR, kNameSize},
                                {"TABLE_NAME", nullptr, SQL_VARCHAR, kNameSize},
                                {"NON_UNIQUE", nullptr, SQL_SMALLINT, 5},
                                {"INDEX_QUALIFIER", nullptr, SQL_VARCHAR, kNameSize},
                                {"INDEX_NAME", nullptr, SQL_VARCHAR, kNameSize},
                                {"TYPE", nullptr, SQL_SMALLINT, 5},
                                {"ORDINAL_POSITION", "SEQ_IN_INDEX", SQL_SMALLINT, 5},
                                {"COLUMN_NAME", nullptr, SQL_VARCHAR, kNameSize},
                                {"ASC_OR_DESC", "COLLATION", SQL_CHAR, 1},
                                {"CARDINALITY", nullptr, SQL_INTEGER, 10},
                                {"PAGES", nullptr, SQL_INTEGER, 10},
                                {"FILTER_CONDITION", nullptr, SQL_VARCHAR, 254}},
                               Odbc2(conn));
    conn.LiveSession();
    return std::make_unique<ResultSet>(std::move(columns), std::vector<Row>{});
}

std::unique_ptr<ResultSet> ListProcedures(Connection& conn) {
    auto columns = MakeColumns({{"PROCEDURE_CAT", "PROCEDURE_QUALIFIER", SQL_VARCHAR, kNameSize},
                                {"PROCEDURE_SCHEM", "PROCEDURE_OWNER", SQL_VARCHAR, kNameSize},
                                {"PROCEDURE_NAME", nullptr, SQL_VARCHAR, kNameSize},
                                {"NUM_INPUT_PARAMS", nullptr, SQL_INTEGER, 10},
                                {"NUM_OUTPUT_PARAMS", nullptr, SQL_INTEGER, 10},
                                {"NUM_RESULT_SETS", nullptr, SQL_INTEGER, 10},
                                {"REMARKS", nullptr, SQL_VARCHAR, 254},
                                {"PROCEDURE_TYPE", nullptr, SQL_SMALLINT, 5}},
                               Odbc2(conn));
    conn.LiveSession();
    return std::make_unique<ResultSet>(std::move(columns), std::vector<Row>{});
}

std::unique_ptr<ResultSet> ListProcedureColumns(Connection& conn) {
    auto columns = MakeColumns({{"PROCEDURE_CAT", "PROCEDURE_QUALIFIER", SQL_VARCHAR, kNameSize},
                                {"PROCEDURE_SCHEM", "PROCEDURE_OWNER", SQL_VARCHAR, kNameSize},
                                {"PROCEDURE_NAME", nullptr, SQL_VARCHAR, kNameSize},
                                {"COLUMN_NAME", nullptr, SQL_VARCHAR, kNameSize},
                                {"COLUMN_TYPE", nullptr, SQL_SMALLINT, 5},
                                {"DATA_TYPE", nullptr, SQL_SMALLINT, 5},
                                {"TYPE_NAME", nullptr, SQL_VARCHAR, kNameSize},
                                {"COLUMN_SIZE", "PRECISION", SQL_INTEGER, 10},
                                {"BUFFER_LENGTH", "LENGTH", SQL_INTEGER, 10},
                                {"DECIMAL_DIGITS", "SCALE", SQL_SMALLINT, 5},
                                {"NUM_PREC_RADIX", "RADIX", SQL_SMALLINT, 5},
                                {"NULLABLE", nullptr, SQL_SMALLINT, 5},
                                {"REMARKS", nullptr, SQL_VARCHAR, 254},
                                {"COLUMN_DEF", nullptr, SQL_VARCHAR, 254},
                                {"SQL_DATA_TYPE", nullptr, SQL_SMALLINT, 5},
                                {"SQL_DATETIME_SUB", nullptr, SQL_SMALLINT, 5},
                                {"CHAR_OCTET_LENGTH", nullptr, SQL_INTEGER, 10},
                                {"ORDINAL_POSITION", nullptr, SQL_INTEGER, 10},
                                {"IS_NULLABLE", nullptr, SQL_VARCHAR, 3}},
                               Odbc2(conn));
    conn.LiveSession();
    return std::make_unique<ResultSet>(std::move(columns), std::vector<Row>{});
}

}  // namespace kelvsim
