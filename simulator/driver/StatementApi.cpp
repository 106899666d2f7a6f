// Preparing and executing statements, parameters, row counts, cursor names
// and the release of a statement's state.
#include "Handles.h"
#include "StatementExec.h"
#include "TextBuffers.h"
#include "ValueConvert.h"

#include <cstring>

using namespace kelvsim;

namespace {

constexpr size_t kMaxCursorNameLength = 30;

void SetText(Statement& stmt, std::string sql, bool prepared) {
    if (sql.find_first_not_of(" \t\r\n") == std::string::npos)
        throw OdbcFailure("42000", "ORA-00900: invalid SQL statement", 900);
    stmt.SqlText = std::move(sql);
    stmt.Prepared = prepared;
    stmt.Described.reset();
    stmt.Executed = false;
    stmt.RowCount = -1;
    stmt.ParameterCount = CountParameterMarkers(stmt.SqlText);
}

}  // namespace

namespace kelvsim {

void RequireNoCursor(const Statement& stmt) {
    if (stmt.CursorOpen())
        throw OdbcFailure("24000", "Invalid cursor state");
}

SQLRETURN ExecuteCurrent(Statement& stmt) {
    sim::SimSession& session = stmt.Conn->LiveSession();
    std::vector<std::optional<std::string>> params;
    params.reserve(stmt.ParameterCount);
    for (size_t i = 1; i <= stmt.ParameterCount; ++i) {
        auto bound = stmt.Parameters.find(static_cast<SQLUSMALLINT>(i));
        if (bound == stmt.Parameters.end())
            throw OdbcFailure("07002", "COUNT field incorrect");
        params.push_back(ParameterText(bound->second));
    }
    stmt.CloseCursor();
    stmt.Executed = false;
    auto result = std::make_unique<ResultSet>(session.Execute(stmt.SqlText, params));
    stmt.RowCount = result->RowsAffected();
    if (!result->Columns().empty())
        stmt.Result = std::move(result);
    stmt.Executed = true;
    stmt.Diag.RowCount = stmt.RowCount;
    if (stmt.Attr.ParamsProcessed)
        *stmt.Attr.ParamsProcessed = 1;
    if (stmt.Attr.ParamStatus)
        stmt.Attr.ParamStatus[0] = SQL_PARAM_SUCCESS;
    return SuccessOrInfo(stmt);
}

SQLRETURN OpenDriverResult(Statement& stmt, std::unique_ptr<ResultSet> result) {
    stmt.CloseCursor();
    stmt.SqlText.clear();
    stmt.Prepared = false;
    stmt.Described.reset();
    stmt.ParameterCount = 0;
    stmt.RowCount = result->RowsAffected();
    stmt.Result = std::move(result);
    stmt.Executed = true;
    return SuccessOrInfo(stmt);
}

}  // namespace kelvsim

extern "C" {

SQLRETURN SQL_API SQLPrepare(SQLHSTMT statementHandle, SQLCHAR* statementText, SQLINTEGER textLength) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        if (!statementText)
            throw OdbcFailure("HY009", "Invalid use of null pointer");
        RequireNoCursor(stmt);
        stmt.Conn->LiveSession();
        SetText(stmt, InputText(statementText, textLength), true);
        return SQL_SUCCESS;
    });
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT statementHandle) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        if (!stmt.Prepared)
            throw OdbcFailure("HY010", "Function sequence error");
        RequireNoCursor(stmt);
        return ExecuteCurrent(stmt);
    });
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT statementHandle, SQLCHAR* statementText, SQLINTEGER textLength) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        if (!statementText)
            throw OdbcFailure("HY009", "Invalid use of null pointer");
        RequireNoCursor(stmt);
        stmt.Conn->LiveSession();
        SetText(stmt, InputText(statementText, textLength), false);
        return ExecuteCurrent(stmt);
    });
}

SQLRETURN SQL_API SQLNumParams(SQLHSTMT statementHandle, SQLSMALLINT* parameterCount) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        if (!stmt.Prepared)
            throw OdbcFailure("HY010", "Function sequence error");
        if (parameterCount)
            *parameterCount = static_cast<SQLSMALLINT>(stmt.ParameterCount);
        return SQL_SUCCESS;
    });
}

SQLRETURN SQL_API SQLBindParameter(SQLHSTMT statementHandle, SQLUSMALLINT parameterNumber,
                                   SQLSMALLINT inputOutputType, SQLSMALLINT valueType, SQLSMALLINT parameterType,
                                   SQLULEN columnSize, SQLSMALLINT decimalDigits, SQLPOINTER parameterValue,
                                   SQLLEN bufferLength, SQLLEN* strLenOrInd) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        if (parameterNumber < 1)
            throw OdbcFailure("07009", "Invalid descriptor index");
        if (inputOutputType != SQL_PARAM_INPUT) {
            // Output parameters would need procedure calls, which the
            // instance does not run.
            if (inputOutputType == SQL_PARAM_OUTPUT || inputOutputType == SQL_PARAM_INPUT_OUTPUT)
                throw OdbcFailure("HYC00", "Optional feature not implemented");
            throw OdbcFailure("HY105", "Invalid parameter type");
        }
        if (bufferLength < 0)
            throw OdbcFailure("HY090", "Invalid string or buffer length");
        if (!parameterValue && !strLenOrInd)
            throw OdbcFailure("HY009", "Invalid use of null pointer");
        const SQLSMALLINT cType = valueType == SQL_C_DEFAULT ? DefaultCType(parameterType) : valueType;
        if (!IsVariableLengthCType(cType) && FixedCTypeSize(cType) == 0)
            throw OdbcFailure("HY003", "Program type out of range");
        BoundParameter& p = stmt.Parameters[parameterNumber];
        p.IoType = inputOutputType;
        p.CType = valueType;
        p.SqlType = parameterType;
        p.ColumnSize = columnSize;
        p.DecimalDigits = decimalDigits;
        p.Value = parameterValue;
        p.BufferLength = bufferLength;
        p.Indicator = strLenOrInd;
        return SQL_SUCCESS;
    });
}

SQLRETURN SQL_API SQLRowCount(SQLHSTMT statementHandle, SQLLEN* rowCount) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        if (!stmt.Executed)
            throw OdbcFailure("HY010", "Function sequence error");
        if (!rowCount)
            throw OdbcFailure("HY009", "Invalid use of null pointer");
        *rowCount = stmt.RowCount;
        return SQL_SUCCESS;
    });
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT statementHandle, SQLUSMALLINT option) {
    if (option == SQL_DROP) {
        Statement* stmt = Lookup<Statement>(statementHandle);
        if (!stmt)
            return SQL_INVALID_HANDLE;
        DestroyStatement(stmt);
        return SQL_SUCCESS;
    }
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        switch (option) {
        case SQL_CLOSE:
            stmt.CloseCursor();
            return SQL_SUCCESS;
        case SQL_UNBIND:
            stmt.BoundColumns.clear();
            return SQL_SUCCESS;
        case SQL_RESET_PARAMS:
            stmt.Parameters.clear();
            return SQL_SUCCESS;
        default:
            throw OdbcFailure("HY092", "Invalid attribute/option identifier");
        }
    });
}

SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT statementHandle) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        if (!stmt.CursorOpen())
            throw OdbcFailure("24000", "Invalid cursor state");
        stmt.CloseCursor();
        return SQL_SUCCESS;
    });
}

SQLRETURN SQL_API SQLCancel(SQLHSTMT statementHandle) {
    // Every call completes before it returns, so there is never anything
    // running to cancel.
    return Guarded<Statement>(statementHandle, [&](Statement&) -> SQLRETURN { return SQL_SUCCESS; });
}

SQLRETURN SQL_API SQLMoreResults(SQLHSTMT statementHandle) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        // One result per statement: the current one ends here.
        stmt.CloseCursor();
        return SQL_NO_DATA;
    });
}

SQLRETURN SQL_API SQLNativeSql(SQLHDBC connectionHandle, SQLCHAR* inStatementText, SQLINTEGER textLength1,
                               SQLCHAR* outStatementText, SQLINTEGER bufferLength, SQLINTEGER* textLength2Ptr) {
    return Guarded<Connection>(connectionHandle, [&](Connection& conn) -> SQLRETURN {
        if (!inStatementText)
            throw OdbcFailure("HY009", "Invalid use of null pointer");
        if (bufferLength < 0)
            throw OdbcFailure("HY090", "Invalid string or buffer length");
        CopyOutText(conn.Diag, InputText(inStatementText, textLength1), outStatementText, bufferLength,
                    textLength2Ptr);
        return SuccessOrInfo(conn);
    });
}

SQLRETURN SQL_API SQLSetCursorName(SQLHSTMT statementHandle, SQLCHAR* cursorName, SQLSMALLINT nameLength) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        if (!cursorName)
            throw OdbcFailure("HY009", "Invalid use of null pointer");
        RequireNoCursor(stmt);
        const std::string name = InputText(cursorName, nameLength);
        const std::string upper = UpperAscii(name);
        if (name.empty() || name.size() > kMaxCursorNameLength || upper.compare(0, 6, "SQLCUR") == 0 ||
            upper.compare(0, 7, "SQL_CUR") == 0)
            throw OdbcFailure("34000", "Invalid cursor name");
        for (const Statement* other : stmt.Conn->Statements)
            if (other != &stmt && UpperAscii(other->CursorName) == upper)
                throw OdbcFailure("3C000", "Duplicate cursor name");
        stmt.CursorName = name;
        return SQL_SUCCESS;
    });
}

SQLRETURN SQL_API SQLGetCursorName(SQLHSTMT statementHandle, SQLCHAR* cursorName, SQLSMALLINT bufferLength,
                                   SQLSMALLINT* nameLengthPtr) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        if (bufferLength < 0)
            throw OdbcFailure("HY090", "Invalid string or buffer length");
        if (stmt.CursorName.empty())
            stmt.CursorName = "SQL_CUR" + std::to_string(stmt.Conn->NextCursorNumber++);
        CopyOutText(stmt.Diag, stmt.CursorName, cursorName, bufferLength, nameLengthPtr);
        return SuccessOrInfo(stmt);
    });
}

}  // extern "C"
