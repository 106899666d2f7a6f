#include "KvDayListGrid.h"

#include <algorithm>
#include <vector>

#include "KvDayList.h"
#include "KvStringGrid.h"
#include "ODBCCall.h"

int FillDayList(TKvStringGrid& shown, TStringTable& days, const std::string& dataDir,
                const std::string& prefix, bool newestFirst) {
    shown.SetRowCount(2);
    shown.SetCell(0, 1, "");
    shown.SetRow(1);
    days.SetRowCount(2);
    days.SetCell(0, 1, "");

    std::vector<std::string> found = ListStatDays(dataDir, prefix);
    if (found.empty()) return 0;
    if (newestFirst) std::reverse(found.begin(), found.end());

    const int rows = static_cast<int>(found.size()) + 1;
    shown.SetRowCount(rows);
    days.SetRowCount(rows);
    for (int r = 1; r < rows; ++r) {
        const std::string& day = found[static_cast<size_t>(r - 1)];
        shown.SetCell(0, r, DayLabel(day));
        days.SetCell(0, r, day);
    }
    shown.SetRow(1);
    return rows - 1;
}
