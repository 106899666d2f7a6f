// The ODBC headers in one place, so every file sees the same ODBC version.
#pragma once

#ifndef ODBCVER
#define ODBCVER 0x0380
#endif
#include <sql.h>
#include <sqlext.h>
