// Allocation and release of handles, and the environment attributes.
#include "Handles.h"

#include <algorithm>

using namespace kelvsim;

namespace {

template <class T>
void Forget(std::vector<T*>& list, T* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

SQLRETURN AllocEnvironment(SQLHANDLE* output) {
    auto env = std::make_unique<Environment>();
    RegisterHandle(env.get());
    *output = env.release();
    return SQL_SUCCESS;
}

SQLRETURN AllocConnection(SQLHANDLE input, SQLHANDLE* output) {
    return Guarded<Environment>(input, [&](Environment& env) -> SQLRETURN {
        auto conn = std::make_unique<Connection>(&env);
        env.Connections.push_back(conn.get());
        RegisterHandle(conn.get());
        *output = conn.release();
        return SQL_SUCCESS;
    });
}

SQLRETURN AllocStatement(SQLHANDLE input, SQLHANDLE* output) {
    return Guarded<Connection>(input, [&](Connection& conn) -> SQLRETURN {
        if (!conn.Connected())
            throw OdbcFailure("08003", "Connection does not exist");
        auto stmt = std::make_unique<Statement>(&conn);
        conn.Statements.push_back(stmt.get());
        RegisterHandle(stmt.get());
        for (Descriptor* desc : {&stmt->AppRowDesc, &stmt->AppParamDesc, &stmt->ImpRowDesc, &stmt->ImpParamDesc})
            RegisterHandle(desc);
        *output = stmt.release();
        return SQL_SUCCESS;
    });
}

}  // namespace

namespace kelvsim {

void DestroyStatement(Statement* stmt) {
    for (Descriptor* desc : {&stmt->AppRowDesc, &stmt->AppParamDesc, &stmt->ImpRowDesc, &stmt->ImpParamDesc})
        UnregisterHandle(desc);
    UnregisterHandle(stmt);
    Forget(stmt->Conn->Statements, stmt);
    delete stmt;
}

}  // namespace kelvsim

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT handleType, SQLHANDLE inputHandle, SQLHANDLE* outputHandle) {
    if (!outputHandle)
        return handleType == SQL_HANDLE_ENV ? SQL_ERROR : SQL_INVALID_HANDLE;
    *outputHandle = SQL_NULL_HANDLE;
    try {
        switch (handleType) {
        case SQL_HANDLE_ENV:
            return AllocEnvironment(outputHandle);
        case SQL_HANDLE_DBC:
            return AllocConnection(inputHandle, outputHandle);
        case SQL_HANDLE_STMT:
            return AllocStatement(inputHandle, outputHandle);
        case SQL_HANDLE_DESC: {
            // Explicit descriptors are not offered.
            return Guarded<Connection>(inputHandle, [](Connection&) -> SQLRETURN {
                throw OdbcFailure("HYC00", "Optional feature not implemented");
            });
        }
        default:
            return SQL_ERROR;
        }
    } catch (...) {
        return SQL_ERROR;
    }
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT handleType, SQLHANDLE handle) {
    switch (handleType) {
    case SQL_HANDLE_ENV: {
        Environment* env = Lookup<Environment>(handle);
        if (!env)
            return SQL_INVALID_HANDLE;
        if (!env->Connections.empty()) {
            env->Diag.Clear();
            env->Diag.Add("HY010", "Function sequence error");
            return SQL_ERROR;
        }
        UnregisterHandle(env);
        delete env;
        return SQL_SUCCESS;
    }
    case SQL_HANDLE_DBC: {
        Connection* conn = Lookup<Connection>(handle);
        if (!conn)
            return SQL_INVALID_HANDLE;
        if (conn->Connected()) {
            conn->Diag.Clear();
            conn->Diag.Add("HY010", "Function sequence error");
            return SQL_ERROR;
        }
        while (!conn->Statements.empty())
            DestroyStatement(conn->Statements.back());
        Forget(conn->Env->Connections, conn);
        UnregisterHandle(conn);
        delete conn;
        return SQL_SUCCESS;
    }
    case SQL_HANDLE_STMT: {
        Statement* stmt = Lookup<Statement>(handle);
        if (!stmt)
            return SQL_INVALID_HANDLE;
        DestroyStatement(stmt);
        return SQL_SUCCESS;
    }
    case SQL_HANDLE_DESC:
        // Implicit descriptors live and die with their statement.
        return Lookup<Descriptor>(handle) ? SQL_ERROR : SQL_INVALID_HANDLE;
    default:
        return SQL_INVALID_HANDLE;
    }
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV environmentHandle, SQLINTEGER attribute, SQLPOINTER value,
                                SQLINTEGER /*stringLength*/) {
    return Guarded<Environment>(environmentHandle, [&](Environment& env) -> SQLRETURN {
        const auto number = static_cast<SQLUINTEGER>(reinterpret_cast<SQLULEN>(value));
        switch (attribute) {
        case SQL_ATTR_ODBC_VERSION:
            if (number != SQL_OV_ODBC2 && number != SQL_OV_ODBC3 && number != SQL_OV_ODBC3_80)
                throw OdbcFailure("HY024", "Invalid attribute value");
            env.OdbcVersion = static_cast<SQLINTEGER>(number);
            return SQL_SUCCESS;
        case SQL_ATTR_CONNECTION_POOLING:
            env.ConnectionPooling = number;
            return SQL_SUCCESS;
        case SQL_ATTR_CP_MATCH:
            env.PoolMatch = number;
            return SQL_SUCCESS;
        case SQL_ATTR_OUTPUT_NTS:
            if (number != SQL_TRUE)
                throw OdbcFailure("HYC00", "Optional feature not implemented");
            return SQL_SUCCESS;
        default:
            throw OdbcFailure("HY092", "Invalid attribute/option identifier");
        }
    });
}

SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV environmentHandle, SQLINTEGER attribute, SQLPOINTER value,
                                SQLINTEGER /*bufferLength*/, SQLINTEGER* stringLength) {
    return Guarded<Environment>(environmentHandle, [&](Environment& env) -> SQLRETURN {
        SQLINTEGER result = 0;
        switch (attribute) {
        case SQL_ATTR_ODBC_VERSION: result = env.OdbcVersion; break;
        case SQL_ATTR_CONNECTION_POOLING: result = static_cast<SQLINTEGER>(env.ConnectionPooling); break;
        case SQL_ATTR_CP_MATCH: result = static_cast<SQLINTEGER>(env.PoolMatch); break;
        case SQL_ATTR_OUTPUT_NTS: result = SQL_TRUE; break;
        default: throw OdbcFailure("HY092", "Invalid attribute/option identifier");
        }
        if (value)
            *static_cast<SQLINTEGER*>(value) = result;
        if (stringLength)
            *stringLength = sizeof(SQLINTEGER);
        return SQL_SUCCESS;
    });
}

}  // extern "C"
