// The driver manager's list of data sources.
#include "ODBCCall.h"
#include "OdbcHandles.h"

#include <algorithm>
#include <vector>

namespace {
// Room for a name and a description at the first try. The driver manager
// keeps names longer than SQL_MAX_DSN_LENGTH; a longer text than the room
// makes the whole list be read again with room enough.
constexpr SQLSMALLINT kFirstNameRoom = 256;
constexpr SQLSMALLINT kFirstDescriptionRoom = 1024;
constexpr SQLSMALLINT kMostRoom = 32767;

SQLSMALLINT RoomFor(SQLSMALLINT length) {
    return length >= kMostRoom ? kMostRoom : static_cast<SQLSMALLINT>(length + 1);
}
}  // namespace

bool TConfigDSN::GetDataSources() {
    List.clear();
    kelv_odbc::EnvHandle env;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, env.out()))) return false;
    if (!SQL_SUCCEEDED(SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION,
                                     reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)))
        return false;
    const SQLUSMALLINT first = SystemDSN ? SQL_FETCH_FIRST_SYSTEM : SQL_FETCH_FIRST_USER;
    SQLSMALLINT nameRoom = kFirstNameRoom, descriptionRoom = kFirstDescriptionRoom;
    for (;;) {
        std::vector<SQLCHAR> name(static_cast<size_t>(nameRoom) + 1), description(static_cast<size_t>(descriptionRoom) + 1);
        SQLUSMALLINT direction = first;
        bool cut = false;
        List.clear();
        for (;;) {
            SQLSMALLINT nameLen = 0, descLen = 0;
            const SQLRETURN rc = SQLDataSources(env.get(), direction, name.data(), nameRoom, &nameLen,
                                                description.data(), descriptionRoom, &descLen);
            if (rc == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(rc)) return false;
            if ((nameLen >= nameRoom || descLen >= descriptionRoom) && nameRoom < kMostRoom &&
                descriptionRoom < kMostRoom) {
                nameRoom = std::max(nameRoom, RoomFor(nameLen));
                descriptionRoom = std::max(descriptionRoom, RoomFor(descLen));
                cut = true;
                break;
            }
            List.push_back(Entry{reinterpret_cast<char*>(name.data()), reinterpret_cast<char*>(description.data())});
            direction = SQL_FETCH_NEXT;
        }
        if (!cut) return true;
        // Start the list again from its first entry with the larger room.
    }
}
