// Catalog functions: standard result columns, patterns and null arguments.
#include "OdbcTestSupport.h"

using namespace kelvtest;

namespace {

class CatalogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_ODBC_OK(conn.DriverConnect(FakeConnectionString("catalog")), SQL_HANDLE_DBC, conn.Dbc());
        stmt = conn.NewStatement();
    }
    std::vector<std::string> ColumnNames() {
        SQLSMALLINT count = 0;
        EXPECT_ODBC_OK(SQLNumResultCols(stmt, &count), SQL_HANDLE_STMT, stmt);
        std::vector<std::string> names;
        for (SQLUSMALLINT i = 1; i <= count; ++i) {
            char name[64] = {0};
            SQLDescribeCol(stmt, i, (SQLCHAR*)name, sizeof name, nullptr, nullptr, nullptr, nullptr, nullptr);
            names.push_back(name);
        }
        return names;
    }
    Connection conn;
    Handle stmt;
};

}  // namespace

TEST_F(CatalogTest, TablesWithNullArgumentsListEverything) {
    ASSERT_ODBC_OK(SQLTables(stmt, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ((std::vector<std::string>{"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "TABLE_TYPE", "REMARKS"}),
              ColumnNames());
    const auto rows = FetchAllText(stmt);
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ((std::vector<std::string>{"<NULL>", "SYS", "NUMBERS", "TABLE", "<NULL>"}), rows[0]);
    EXPECT_EQ("V$VERSION", rows[2][2]);
}

TEST_F(CatalogTest, TablesFilterByPatternAndType) {
    ASSERT_ODBC_OK(SQLTables(stmt, nullptr, 0, (SQLCHAR*)"", 0, (SQLCHAR*)"N%", SQL_NTS, nullptr, 0), SQL_HANDLE_STMT, stmt);
    auto rows = FetchAllText(stmt);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("NUMBERS", rows[0][2]);
    ASSERT_ODBC_OK(SQLTables(stmt, nullptr, 0, nullptr, 0, nullptr, 0, (SQLCHAR*)"'VIEW'", SQL_NTS), SQL_HANDLE_STMT, stmt);
    rows = FetchAllText(stmt);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("V$VERSION", rows[0][2]);
    // '_' matches one character, and "\" makes it literal.
    ASSERT_ODBC_OK(SQLTables(stmt, nullptr, 0, nullptr, 0, (SQLCHAR*)"V_VERSION", SQL_NTS, nullptr, 0), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(1u, FetchAllText(stmt).size());
    ASSERT_ODBC_OK(SQLTables(stmt, nullptr, 0, nullptr, 0, (SQLCHAR*)"V\\_VERSION", SQL_NTS, nullptr, 0), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(0u, FetchAllText(stmt).size());
}

TEST_F(CatalogTest, SchemaEnumerationListsOwners) {
    ASSERT_ODBC_OK(SQLTables(stmt, (SQLCHAR*)"", 0, (SQLCHAR*)"%", SQL_NTS, (SQLCHAR*)"", 0, nullptr, 0), SQL_HANDLE_STMT, stmt);
    const auto rows = FetchAllText(stmt);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("SYS", rows[0][1]);
}

TEST_F(CatalogTest, ColumnsDescribeTheTable) {
    ASSERT_ODBC_OK(SQLColumns(stmt, nullptr, 0, (SQLCHAR*)"SYS", SQL_NTS, (SQLCHAR*)"NUMBERS", SQL_NTS, nullptr, 0),
                   SQL_HANDLE_STMT, stmt);
    const auto names = ColumnNames();
    ASSERT_EQ(18u, names.size());
    EXPECT_EQ("COLUMN_NAME", names[3]);
    EXPECT_EQ("DATA_TYPE", names[4]);
    EXPECT_EQ("ORDINAL_POSITION", names[16]);
    const auto rows = FetchAllText(stmt);
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ("N", rows[0][3]);
    EXPECT_EQ(std::to_string(SQL_NUMERIC), rows[0][4]);
    EXPECT_EQ("NUMBER", rows[0][5]);
    EXPECT_EQ("NO", rows[0][17]);
    EXPECT_EQ("NAME", rows[1][3]);
    EXPECT_EQ("VARCHAR2", rows[1][5]);
    EXPECT_EQ("20", rows[1][6]);
    EXPECT_EQ("3", rows[2][16]);
}

TEST_F(CatalogTest, ColumnPatternSelectsColumns) {
    ASSERT_ODBC_OK(SQLColumns(stmt, nullptr, 0, nullptr, 0, (SQLCHAR*)"%", SQL_NTS, (SQLCHAR*)"NAME", SQL_NTS),
                   SQL_HANDLE_STMT, stmt);
    const auto rows = FetchAllText(stmt);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("NUMBERS", rows[0][2]);
}

TEST_F(CatalogTest, TypeInfoListsOracleTypes) {
    ASSERT_ODBC_OK(SQLGetTypeInfo(stmt, SQL_ALL_TYPES), SQL_HANDLE_STMT, stmt);
    const auto names = ColumnNames();
    ASSERT_EQ(19u, names.size());
    EXPECT_EQ("TYPE_NAME", names[0]);
    EXPECT_EQ("DATA_TYPE", names[1]);
    const auto rows = FetchAllText(stmt);
    ASSERT_GE(rows.size(), 5u);
    for (size_t i = 1; i < rows.size(); ++i)
        EXPECT_LE(std::stoi(rows[i - 1][1]), std::stoi(rows[i][1]));
    ASSERT_ODBC_OK(SQLGetTypeInfo(stmt, SQL_VARCHAR), SQL_HANDLE_STMT, stmt);
    const auto varchar = FetchAllText(stmt);
    ASSERT_EQ(1u, varchar.size());
    EXPECT_EQ("VARCHAR2", varchar[0][0]);
}

TEST_F(CatalogTest, StatisticsAndProceduresHaveStandardColumns) {
    ASSERT_ODBC_OK(SQLStatistics(stmt, nullptr, 0, nullptr, 0, (SQLCHAR*)"NUMBERS", SQL_NTS, SQL_INDEX_ALL, SQL_QUICK),
                   SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(13u, ColumnNames().size());
    EXPECT_TRUE(FetchAllText(stmt).empty());
    ASSERT_ODBC_OK(SQLProcedures(stmt, nullptr, 0, nullptr, 0, nullptr, 0), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ("PROCEDURE_NAME", ColumnNames().at(2));
    EXPECT_TRUE(FetchAllText(stmt).empty());
    ASSERT_ODBC_OK(SQLProcedureColumns(stmt, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(19u, ColumnNames().size());
    EXPECT_TRUE(FetchAllText(stmt).empty());
}

TEST_F(CatalogTest, TableMissingFromTheDictionaryIsFoundByExactName) {
    // LONGTEXT is not in the stand-in dictionary, but it can be described.
    ASSERT_ODBC_OK(SQLTables(stmt, nullptr, 0, nullptr, 0, (SQLCHAR*)"LONGTEXT", SQL_NTS, nullptr, 0), SQL_HANDLE_STMT, stmt);
    auto rows = FetchAllText(stmt);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ((std::vector<std::string>{"<NULL>", "SYSTEM", "LONGTEXT", "TABLE", "<NULL>"}), rows[0]);
    ASSERT_ODBC_OK(SQLColumns(stmt, nullptr, 0, nullptr, 0, (SQLCHAR*)"LONGTEXT", SQL_NTS, nullptr, 0), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(3u, FetchAllText(stmt).size());
    // '_' in a pattern also stands for itself; '%' makes the probe pointless.
    ASSERT_ODBC_OK(SQLTables(stmt, nullptr, 0, nullptr, 0, (SQLCHAR*)"LONG_TEXT", SQL_NTS, nullptr, 0), SQL_HANDLE_STMT, stmt);
    rows = FetchAllText(stmt);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("LONG_TEXT", rows[0][2]);
    ASSERT_ODBC_OK(SQLTables(stmt, nullptr, 0, nullptr, 0, (SQLCHAR*)"LONG%TEXT", SQL_NTS, nullptr, 0), SQL_HANDLE_STMT, stmt);
    EXPECT_TRUE(FetchAllText(stmt).empty());
    // A name that is neither listed nor describable gives an empty result.
    ASSERT_ODBC_OK(SQLTables(stmt, nullptr, 0, nullptr, 0, (SQLCHAR*)"NOWHERE", SQL_NTS, nullptr, 0), SQL_HANDLE_STMT, stmt);
    EXPECT_TRUE(FetchAllText(stmt).empty());
}
