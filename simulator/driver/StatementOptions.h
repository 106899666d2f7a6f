// The statement options that ODBC 2 applications may also set on the
// connection (as defaults for later statements).
#pragma once

#include "Handles.h"

namespace kelvsim {

// Applies one option; returns false when attribute is not one of them.
// A value that is replaced by a supported one records 01S02.
bool SetStatementOption(StatementDefaults& options, Diagnostics& diag, SQLINTEGER attribute, SQLULEN value);
// Reads one option; returns false when attribute is not one of them.
bool GetStatementOption(const StatementDefaults& options, SQLINTEGER attribute, SQLULEN& value);

}  // namespace kelvsim
