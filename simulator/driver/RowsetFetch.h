// Moving the cursor (SQLFetch, SQLFetchScroll, SQLExtendedFetch) and
// writing the rowset into the bound columns.
#pragma once

#include "Handles.h"

namespace kelvsim {

struct FetchRequest {
    SQLSMALLINT Orientation = SQL_FETCH_NEXT;
    SQLLEN Offset = 0;
    SQLULEN RowsetSize = 1;
    SQLULEN* RowsFetched = nullptr;
    SQLUSMALLINT* RowStatus = nullptr;
    bool BookmarkFromAttribute = false;  // SQLFetchScroll: bookmark via SQL_ATTR_FETCH_BOOKMARK_PTR
};

SQLRETURN FetchRowset(Statement& stmt, const FetchRequest& request);

}  // namespace kelvsim
