// Catalog functions run through the special statement texts; their arguments
// come from parameters 1 to 4.
#include "QueryImpl.h"

namespace {

// A catalog argument: null for the null text, "" for an empty or unset
// parameter, else the parameter's text.
struct CatalogArg {
    SQLCHAR* text = nullptr;
    SQLSMALLINT length = 0;
};

CatalogArg catalogArg(const TQueryODBC::Impl& m, int pos) {
    static SQLCHAR empty[1] = {0};
    const TBindParams* p = m.params[static_cast<size_t>(pos)].get();
    if (!p || p->Value.empty()) return {empty, 0};
    if (p->Value == m.nullStrings) return {nullptr, 0};
    return {(SQLCHAR*)p->Value.c_str(), SQL_NTS};
}

}  // namespace

SQLRETURN TQueryODBC::Impl::runCatalogCall() {
    SQLHSTMT h = stmt.get();
    const CatalogArg a1 = catalogArg(*this, 1), a2 = catalogArg(*this, 2), a3 = catalogArg(*this, 3),
                     a4 = catalogArg(*this, 4);
    switch (catalogKind) {
    case kCatTables:
        return call("Tables", [&] {
            return SQLTables(h, a1.text, a1.length, a2.text, a2.length, a3.text, a3.length, a4.text, a4.length);
        });
    case kCatColumns:
        return call("Columns", [&] {
            return SQLColumns(h, a1.text, a1.length, a2.text, a2.length, a3.text, a3.length, a4.text, a4.length);
        });
    case kCatStatistics:
        return call("Statistics", [&] {
            return SQLStatistics(h, a1.text, a1.length, a2.text, a2.length, a3.text, a3.length, SQL_INDEX_ALL,
                                 SQL_QUICK);
        });
    case kCatGetTypeInfo:
        return call("GetTypeInfo", [&] { return SQLGetTypeInfo(h, SQL_ALL_TYPES); });
    case kCatProcedureColumns:
        return call("ProcedureColumns", [&] {
            return SQLProcedureColumns(h, a1.text, a1.length, a2.text, a2.length, a3.text, a3.length, a4.text,
                                       a4.length);
        });
    case kCatProcedures:
        return call("Procedures", [&] {
            return SQLProcedures(h, a1.text, a1.length, a2.text, a2.length, a3.text, a3.length);
        });
    case kNoCatalog:
        break;
    }
    return SQL_ERROR;
}
