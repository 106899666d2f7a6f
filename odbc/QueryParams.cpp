// Statement parameters (positions 1..256), their binding, and the type map.
#include "QueryImpl.h"

namespace {

void checkPosition(int pos) {
    if (pos < 1 || pos > TQueryODBC::kMaxParams)
        TQueryODBC::Impl::raiseMessage(kMsgParamIndex + std::to_string(TQueryODBC::kMaxParams));
}

}  // namespace

TBindParams& TQueryODBC::Impl::paramAt(int pos) {
    checkPosition(pos);
    auto& slot = params[static_cast<size_t>(pos)];
    if (!slot) slot = std::make_unique<TBindParams>();
    if (pos > paramCount) paramCount = pos;
    return *slot;
}

SQLSMALLINT TQueryODBC::Impl::mappedCType(SQLSMALLINT sqlType, SQLSMALLINT fallback) const {
    if (!self->TypeMapOn) return fallback;
    for (const auto& entry : typeMap)
        if (entry.first == sqlType) return entry.second;
    return fallback;
}

void TQueryODBC::SetParam(int pos, const std::string& text) {
    TBindParams& p = d->paramAt(pos);
    p.Value = text;
    // A new text needs a new NULL decision; otherwise a parameter that once
    // held the null marker would keep sending NULL.
    if (p.OwnIndicator) p.IndicatorValue = 0;
    p.Bound = false;
}

std::string TQueryODBC::GetParam(int pos) const {
    checkPosition(pos);
    const auto& slot = d->params[static_cast<size_t>(pos)];
    return slot ? slot->Value : std::string();
}

void TQueryODBC::SetParamType(int pos, SQLSMALLINT sqlType) {
    TBindParams& p = d->paramAt(pos);
    p.SqlType = sqlType;
    p.Bound = false;
}

void TQueryODBC::BindParamEx(int pos, SQLSMALLINT cType, SQLLEN* indicator, void* data,
                             SQLSMALLINT sqlType, int direction, SQLULEN columnSize,
                             SQLSMALLINT decimalDigits) {
    TBindParams& p = d->paramAt(pos);
    p.CType = cType;
    p.Indicator = indicator;
    p.OwnIndicator = indicator == nullptr;
    p.Data = data;
    p.SqlType = sqlType;
    p.Direction = direction;
    p.ColumnSize = columnSize;
    p.DecimalDigits = decimalDigits;
    p.Bound = false;
}

void TQueryODBC::BindParamBuffer(int pos, SQLSMALLINT cType, SQLLEN* indicator, void* data,
                                 SQLSMALLINT sqlType) {
    BindParamEx(pos, cType, indicator, data, sqlType, 0, 0, 0);
}

void TQueryODBC::BindOutParam(int pos, SQLSMALLINT cType, SQLLEN* indicator, void* data,
                              SQLSMALLINT sqlType) {
    BindParamEx(pos, cType, indicator, data, sqlType, 1, 0, 0);
}

bool TQueryODBC::Impl::bindParameters() {
    for (int pos = 1; pos <= paramCount; ++pos) {
        TBindParams* p = params[static_cast<size_t>(pos)].get();
        if (!p) {
            setPending(kMsgParamNotAssigned + std::to_string(pos));
            return false;
        }
        if (p->Bound) continue;

        const SQLSMALLINT cType = mappedCType(p->SqlType, p->CType);
        SQLPOINTER value = p->Data;
        if (!value) {
            value = const_cast<char*>(p->Value.c_str());
            if (p->OwnIndicator && p->IndicatorValue == 0)
                p->IndicatorValue = (nullConvert && p->Value == nullStrings) ? SQL_NULL_DATA : SQL_NTS;
        }
        SQLLEN* indicator = p->OwnIndicator ? &p->IndicatorValue : p->Indicator;

        SQLULEN size = p->ColumnSize;
        if (size == 0) {
            switch (p->SqlType) {
            case SQL_CHAR: case SQL_VARCHAR: case SQL_WCHAR: case SQL_WVARCHAR:
            case SQL_BINARY: case SQL_VARBINARY:
                size = static_cast<SQLULEN>(self->MaxCharParam);
                break;
            case SQL_NUMERIC: case SQL_DECIMAL: size = kNumericParamSize; break;
            case SQL_TYPE_DATE: size = kDateParamSize; break;
            case SQL_TYPE_TIME: size = kTimeParamSize; break;
            case SQL_TYPE_TIMESTAMP: size = kTimestampParamSize; break;
            case SQL_LONGVARCHAR: case SQL_WLONGVARCHAR:
                size = static_cast<SQLULEN>(self->MaxLongVarChar > 0 ? self->MaxLongVarChar : self->MaxLongData);
                break;
            case SQL_LONGVARBINARY: size = static_cast<SQLULEN>(self->MaxLongData); break;
            default: size = 0;
            }
        }
        SQLSMALLINT direction = SQL_PARAM_INPUT;
        if (p->Direction == 1) direction = SQL_PARAM_OUTPUT;
        else if (p->Direction == 2) direction = SQL_PARAM_INPUT_OUTPUT;

        // Binding has no step name of its own: a failure names the step before it.
        SQLRETURN rc = call(stepName, [&] {
            return SQLBindParameter(stmt.get(), static_cast<SQLUSMALLINT>(pos), direction, cType,
                                    p->SqlType, size, p->DecimalDigits, value, 0, indicator);
        });
        if (!SQL_SUCCEEDED(rc)) {
            collectErrors(stmt.get());
            return false;
        }
        p->Bound = true;
    }
    return true;
}

int TQueryODBC::AddTypeMap(SQLSMALLINT sqlType, SQLSMALLINT cType) {
    if (sqlType == 0 || cType == 0) Impl::raiseMessage(kMsgDataTypeZero);
    if (static_cast<int>(d->typeMap.size()) >= kMaxTypeMap) return kMaxTypeMap + 1;
    d->typeMap.emplace_back(sqlType, cType);
    return static_cast<int>(d->typeMap.size());
}

void TQueryODBC::ClearTypeMap() {
    d->typeMap.clear();
    TypeMapOn = false;
}
