// What the fake driver was told by SQLBindParameter, for the tests that load
// the driver themselves (dlopen of the same file returns the same library).
#pragma once

#include <sql.h>

struct KelvFakeParameter {
    SQLSMALLINT direction;
    SQLSMALLINT cType;
    SQLSMALLINT sqlType;
    SQLULEN columnSize;
    SQLSMALLINT decimalDigits;
    SQLPOINTER value;
    SQLLEN bufferLength;
    SQLLEN* indicator;
};

// The parameter last bound at this position, or null.
extern "C" const KelvFakeParameter* KelvFakeBinding(int position);
using KelvFakeBindingFn = const KelvFakeParameter* (*)(int);
