#include "KvRowSource.h"

#include "ODBCCall.h"

namespace {
constexpr SQLSMALLINT kCharacterParam = 1;   // parameter type code of character data
}

void TKvQueryRows::Run(const std::string& sql, const std::vector<std::string>& params) {
    query_.SetSQLText(sql);
    query_.Prepare();
    for (size_t i = 0; i < params.size(); ++i) {
        const int pos = static_cast<int>(i) + 1;
        query_.SetParamType(pos, kCharacterParam);
        query_.SetParam(pos, params[i]);
    }
    query_.Execute();
}

bool TKvQueryRows::Fetch() { return query_.Fetch(); }

std::string TKvQueryRows::Field(const std::string& name) { return query_.FieldByName(name); }

std::string TKvQueryRows::Column(int n) {
    const auto& row = query_.RowValues();
    return n >= 0 && static_cast<size_t>(n) < row.size() ? row[n] : std::string();
}

std::string TKvQueryRows::NullText() const { return query_.NullStrings(); }
