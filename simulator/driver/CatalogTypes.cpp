// SQLGetTypeInfo: the Oracle data types and the ODBC types they stand for.
#include "Catalog.h"
#include "CatalogColumns.h"
#include "ColumnMetrics.h"

#include <algorithm>

namespace kelvsim {

namespace {

struct TypeDef {
    const char* Name;
    SQLSMALLINT Type;
    long long Size;
    const char* Prefix;
    const char* Suffix;
    const char* CreateParams;
    bool CaseSensitive;
    SQLSMALLINT Searchable;
    bool Numeric;
    int MinScale, MaxScale;
};

const TypeDef kTypes[] = {
    {"LONG RAW", SQL_LONGVARBINARY, 2147483647, "'", "'", nullptr, false, SQL_PRED_NONE, false, -1, -1},
    {"RAW", SQL_VARBINARY, 2000, "'", "'", "max length", false, SQL_PRED_BASIC, false, -1, -1},
    {"LONG", SQL_LONGVARCHAR, 2147483647, "'", "'", nullptr, true, SQL_PRED_NONE, false, -1, -1},
    {"CHAR", SQL_CHAR, 2000, "'", "'", "max length", true, SQL_SEARCHABLE, false, -1, -1},
    {"NUMBER", SQL_NUMERIC, 38, nullptr, nullptr, "precision,scale", false, SQL_PRED_BASIC, true, -84, 127},
    {"NUMBER", SQL_DECIMAL, 38, nullptr, nullptr, "precision,scale", false, SQL_PRED_BASIC, true, -84, 127},
    {"FLOAT", SQL_DOUBLE, 15, nullptr, nullptr, nullptr, false, SQL_PRED_BASIC, true, -1, -1},
    {"DATE", SQL_TYPE_TIMESTAMP, 19, "'", "'", nullptr, false, SQL_PRED_BASIC, false, 0, 0},
    {"VARCHAR2", SQL_VARCHAR, 4000, "'", "'", "max length", true, SQL_SEARCHABLE, false, -1, -1},
};

}  // namespace

std::unique_ptr<ResultSet> ListTypes(Connection& conn, SQLSMALLINT dataType) {
    const bool odbc2 = conn.Env->OdbcVersion == SQL_OV_ODBC2;
    auto columns = MakeColumns({{"TYPE_NAME", nullptr, SQL_VARCHAR, 128},
                                {"DATA_TYPE", nullptr, SQL_SMALLINT, 5},
                                {"COLUMN_SIZE", "PRECISION", SQL_INTEGER, 10},
                                {"LITERAL_PREFIX", nullptr, SQL_VARCHAR, 128},
                                {"LITERAL_SUFFIX", nullptr, SQL_VARCHAR, 128},
                                {"CREATE_PARAMS", nullptr, SQL_VARCHAR, 128},
                                {"NULLABLE", nullptr, SQL_SMALLINT, 5},
                                {"CASE_SENSITIVE", nullptr, SQL_SMALLINT, 5},
                                {"SEARCHABLE", nullptr, SQL_SMALLINT, 5},
                                {"UNSIGNED_ATTRIBUTE", nullptr, SQL_SMALLINT, 5},
                                {"FIXED_PREC_SCALE", "MONEY", SQL_SMALLINT, 5},
                                {"AUTO_UNIQUE_VALUE", "AUTO_INCREMENT", SQL_SMALLINT, 5},
                                {"LOCAL_TYPE_NAME", nullptr, SQL_VARCHAR, 128},
                                {"MINIMUM_SCALE", nullptr, SQL_SMALLINT, 5},
                                {"MAXIMUM_SCALE", nullptr, SQL_SMALLINT, 5},
                                {"SQL_DATA_TYPE", nullptr, SQL_SMALLINT, 5},
                                {"SQL_DATETIME_SUB", nullptr, SQL_SMALLINT, 5},
                                {"NUM_PREC_RADIX", nullptr, SQL_INTEGER, 10},
                                {"INTERVAL_PRECISION", nullptr, SQL_SMALLINT, 5}},
                               odbc2);
    conn.LiveSession();
    // The result is ordered by DATA_TYPE, which depends on the ODBC version.
    std::vector<const TypeDef*> types;
    for (const TypeDef& t : kTypes)
        types.push_back(&t);
    auto reportedType = [odbc2](const TypeDef* t) { return odbc2 ? Odbc2Type(t->Type) : t->Type; };
    std::stable_sort(types.begin(), types.end(),
                     [&](const TypeDef* a, const TypeDef* b) { return reportedType(a) < reportedType(b); });
    std::vector<Row> rows;
    for (const TypeDef* type : types) {
        const TypeDef& t = *type;
        const SQLSMALLINT reported = odbc2 ? Odbc2Type(t.Type) : t.Type;
        if (dataType != SQL_ALL_TYPES && dataType != reported && dataType != t.Type)
            continue;
        const bool datetime = t.Type == SQL_TYPE_TIMESTAMP;
        auto text = [](const char* value) { return value ? Text(value) : Null(); };
        rows.push_back({Text(t.Name), Number(reported), Number(t.Size), text(t.Prefix), text(t.Suffix),
                        text(t.CreateParams), Number(SQL_NULLABLE), Number(t.CaseSensitive ? SQL_TRUE : SQL_FALSE),
                        Number(t.Searchable), t.Numeric ? Number(SQL_FALSE) : Null(), Number(SQL_FALSE),
                        t.Numeric ? Number(SQL_FALSE) : Null(), Text(t.Name),
                        t.MinScale >= 0 || t.Numeric ? Number(t.MinScale) : Null(),
                        t.MaxScale >= 0 || t.Numeric ? Number(t.MaxScale) : Null(),
                        Number(datetime ? SQL_DATETIME : t.Type), datetime ? Number(SQL_CODE_TIMESTAMP) : Null(),
                        t.Numeric ? Number(10) : Null(), Null()});
    }
    return std::make_unique<ResultSet>(std::move(columns), std::move(rows));
}

}  // namespace kelvsim
