// SQLGetFunctions: the exact set of functions this driver exports. The
// driver manager hides every function reported here as missing, so this
// list must follow exports.map.
#include "Handles.h"

#include <algorithm>
#include <cstring>

using namespace kelvsim;

namespace {

constexpr SQLUSMALLINT kImplemented[] = {
    SQL_API_SQLALLOCHANDLE,     SQL_API_SQLFREEHANDLE,        SQL_API_SQLFREESTMT,
    SQL_API_SQLSETENVATTR,      SQL_API_SQLGETENVATTR,        SQL_API_SQLCONNECT,
    SQL_API_SQLDRIVERCONNECT,   SQL_API_SQLDISCONNECT,        SQL_API_SQLGETINFO,
    SQL_API_SQLGETFUNCTIONS,    SQL_API_SQLGETDIAGREC,        SQL_API_SQLGETDIAGFIELD,
    SQL_API_SQLSETCONNECTATTR,  SQL_API_SQLGETCONNECTATTR,    SQL_API_SQLSETSTMTATTR,
    SQL_API_SQLGETSTMTATTR,     SQL_API_SQLPREPARE,           SQL_API_SQLNUMPARAMS,
    SQL_API_SQLBINDPARAMETER,   SQL_API_SQLEXECUTE,           SQL_API_SQLEXECDIRECT,
    SQL_API_SQLNUMRESULTCOLS,   SQL_API_SQLDESCRIBECOL,       SQL_API_SQLCOLATTRIBUTE,
    SQL_API_SQLROWCOUNT,        SQL_API_SQLFETCH,             SQL_API_SQLFETCHSCROLL,
    SQL_API_SQLEXTENDEDFETCH,   SQL_API_SQLGETDATA,           SQL_API_SQLBINDCOL,
    SQL_API_SQLSETCURSORNAME,   SQL_API_SQLGETCURSORNAME,     SQL_API_SQLCLOSECURSOR,
    SQL_API_SQLCANCEL,          SQL_API_SQLENDTRAN,           SQL_API_SQLMORERESULTS,
    SQL_API_SQLNATIVESQL,       SQL_API_SQLTABLES,            SQL_API_SQLCOLUMNS,
    SQL_API_SQLSTATISTICS,      SQL_API_SQLGETTYPEINFO,       SQL_API_SQLPROCEDURES,
    SQL_API_SQLPROCEDURECOLUMNS,
};

bool IsImplemented(SQLUSMALLINT id) {
    return std::find(std::begin(kImplemented), std::end(kImplemented), id) != std::end(kImplemented);
}

}  // namespace

extern "C" SQLRETURN SQL_API SQLGetFunctions(SQLHDBC connectionHandle, SQLUSMALLINT functionId,
                                             SQLUSMALLINT* supported) {
    return Guarded<Connection>(connectionHandle, [&](Connection&) -> SQLRETURN {
        if (!supported)
            throw OdbcFailure("HY009", "Invalid use of null pointer");
        if (functionId == SQL_API_ODBC3_ALL_FUNCTIONS) {
            std::memset(supported, 0, sizeof(SQLUSMALLINT) * SQL_API_ODBC3_ALL_FUNCTIONS_SIZE);
            for (SQLUSMALLINT id : kImplemented)
                supported[id >> 4] |= static_cast<SQLUSMALLINT>(1u << (id & 0x000F));
            return SQL_SUCCESS;
        }
        if (functionId == SQL_API_ALL_FUNCTIONS) {
            // ODBC 2 form: one flag per function id below 100.
            constexpr int kOdbc2Size = 100;
            std::memset(supported, 0, sizeof(SQLUSMALLINT) * kOdbc2Size);
            for (SQLUSMALLINT id : kImplemented)
                if (id < kOdbc2Size)
                    supported[id] = SQL_TRUE;
            // The ODBC 2 functions that the driver manager maps onto ours.
            for (SQLUSMALLINT id : {SQL_API_SQLALLOCENV, SQL_API_SQLALLOCCONNECT, SQL_API_SQLALLOCSTMT,
                                    SQL_API_SQLFREEENV, SQL_API_SQLFREECONNECT, SQL_API_SQLERROR,
                                    SQL_API_SQLCOLATTRIBUTES, SQL_API_SQLTRANSACT, SQL_API_SQLSETCONNECTOPTION,
                                    SQL_API_SQLGETCONNECTOPTION, SQL_API_SQLSETSTMTOPTION,
                                    SQL_API_SQLGETSTMTOPTION})
                supported[id] = SQL_TRUE;
            return SQL_SUCCESS;
        }
        bool mappedOdbc2 = false;
        switch (functionId) {
        case SQL_API_SQLALLOCENV: case SQL_API_SQLALLOCCONNECT: case SQL_API_SQLALLOCSTMT:
        case SQL_API_SQLFREEENV: case SQL_API_SQLFREECONNECT: case SQL_API_SQLERROR:
        case SQL_API_SQLTRANSACT: case SQL_API_SQLSETCONNECTOPTION:
        case SQL_API_SQLGETCONNECTOPTION: case SQL_API_SQLSETSTMTOPTION: case SQL_API_SQLGETSTMTOPTION:
            mappedOdbc2 = true;
            break;
        default:
            break;
        }
        *supported = (mappedOdbc2 || IsImplemented(functionId)) ? SQL_TRUE : SQL_FALSE;
        return SQL_SUCCESS;
    });
}
