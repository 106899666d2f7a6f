// Move-only owners of the ODBC handles. Each frees its handle quietly in its
// destructor; the component frees them through its call wrapper when it wants
// the failure reported (release() hands the handle over for that).
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <utility>

namespace kelv_odbc {

template <SQLSMALLINT HandleType>
class OdbcHandle {
public:
    OdbcHandle() = default;
    explicit OdbcHandle(SQLHANDLE h) noexcept : handle_(h) {}
    ~OdbcHandle() { reset(); }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
    OdbcHandle(OdbcHandle&& other) noexcept : handle_(other.release()) {}
    OdbcHandle& operator=(OdbcHandle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = other.release();
        }
        return *this;
    }

    SQLHANDLE get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != SQL_NULL_HANDLE; }
    SQLHANDLE* out() noexcept {
        reset();
        return &handle_;
    }
    SQLHANDLE release() noexcept { return std::exchange(handle_, static_cast<SQLHANDLE>(SQL_NULL_HANDLE)); }
    void reset() noexcept {
        if (handle_ != SQL_NULL_HANDLE) {
            if (HandleType == SQL_HANDLE_DBC) SQLDisconnect(handle_);  // harmless when idle
            SQLFreeHandle(HandleType, handle_);
            handle_ = SQL_NULL_HANDLE;
        }
    }

private:
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

using EnvHandle = OdbcHandle<SQL_HANDLE_ENV>;
using DbcHandle = OdbcHandle<SQL_HANDLE_DBC>;
using StmtHandle = OdbcHandle<SQL_HANDLE_STMT>;

}  // namespace kelv_odbc
