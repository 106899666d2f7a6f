// The session's language settings: ALTER SESSION SET NLS_NUMERIC_CHARACTERS,
// NLS_SORT, NLS_TERRITORY and NLS_LANGUAGE, the number texts they give, and
// the linguistic collation that ORDER BY uses under a linguistic NLS_SORT.
#pragma once

#include "SimKnobs.h"

#include <sqlite3.h>

#include <string>

namespace sim {

// Name of the collation ORDER BY terms get under a linguistic sort.
extern const char* const kLinguisticCollation;

// Applies "ALTER SESSION SET name = value [name = value ...]" to nls.
// Settings other than the NLS ones are accepted and ignored; a bad NLS
// value throws ORA-12705 and changes nothing.
void ApplyAlterSession(NlsSettings& nls, const std::string& oracleSql);

// A number's text with the session's decimal character.
std::string WithDecimalCharacter(std::string numberText, char decimalCharacter);

// Registers the linguistic collation on a connection: letters compare
// without regard to case and blanks and punctuation are ignored first;
// ties fall back to the case-insensitive text, then to the bytes.
void RegisterLinguisticCollation(sqlite3* db);

}  // namespace sim
