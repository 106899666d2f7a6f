#include "CatalogColumns.h"

namespace kelvsim {

std::vector<sim::SimColumn> MakeColumns(std::initializer_list<ColumnSpec> specs, bool odbc2) {
    std::vector<sim::SimColumn> columns;
    for (const ColumnSpec& spec : specs) {
        sim::SimColumn column;
        column.Name = (odbc2 && spec.Odbc2Name) ? spec.Odbc2Name : spec.Name;
        column.SqlType = spec.SqlType;
        column.ColumnSize = spec.Size;
        columns.push_back(column);
    }
    return columns;
}

}  // namespace kelvsim
