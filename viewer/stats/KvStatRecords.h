// Reading the collector's hourly statistics files (MU and OR) into the raw
// tables that the memory and operating-rate pages show. Pure: no Qt, no
// files; the pages read the bytes and hand them in.
//
// The files are written by the other program and may be damaged. Each line
// is checked before it is cut: a line whose length matches no known layout
// would shift every field, so it is skipped rather than shown with wrong
// figures. Characters other than digits and "." inside a line read as "0".
#pragma once

#include <string>
#include <vector>

inline constexpr int kMUColumns = 28;   // columns 0..27 of grdFetMem
inline constexpr int kORColumns = 14;   // columns 0..13 of grdCont
inline constexpr int kMUFullLength = 568;
inline constexpr int kMUShortLength = 348;  // earlier layout: no 20-character counters
inline constexpr int kORFullLength = 121;
inline constexpr int kHoursPerDay = 24;

enum class TStatLayout { MU, OR };

// Trims blanks (and a CR) at both ends, then every character that is
// neither a digit nor "." becomes "0"; the line keeps its length.
struct TCleanedLine {
    std::string Text;
    bool Changed = false;   // a character was replaced (trimming alone does not count)
};
TCleanedLine CleanRecordLine(const std::string& line);

// One row of a raw table: kMUColumns or kORColumns texts; columns 0 and 1
// are unused and empty. Column 2 is the hour as decimal text ("5").
using TRawRow = std::vector<std::string>;

// Cuts a cleaned line by the fixed positions of its layout. MU: a 6-character
// counter is replaced by its 20-character field where the line reaches it.
TRawRow CutMULine(const std::string& cleaned);
TRawRow CutORLine(const std::string& cleaned);

// What reading a file found, for the message panel.
struct TStatReadReport {
    int Lines = 0;            // non-empty lines in the file
    int Skipped = 0;          // damaged lines left out (bad length or hour)
    int Duplicates = 0;       // earlier lines of an hour that appears again
    int Corrected = 0;        // lines in which characters read as "0"
    int FutureLayout = 0;     // lines longer than the known layout (read up to it)
    bool Reordered = false;   // hours were not in ascending order
    bool Damaged() const { return Skipped || Duplicates || Corrected || FutureLayout || Reordered; }
};

// Rows (without the heading row) of a whole file, at most one per hour, in
// ascending hour order; of an hour written twice the last line counts.
struct TStatTable {
    std::vector<TRawRow> Rows;
    TStatReadReport Report;
};
TStatTable ReadStatRecords(const std::string& fileText, TStatLayout layout);

// The pnlMess text for a damaged file ("" when nothing was wrong).
std::string StatReadMessage(const TStatReadReport& report);
