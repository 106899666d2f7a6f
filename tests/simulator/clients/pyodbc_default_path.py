"""pyodbc with its default settings against the simulated instance: text
columns come back through SQL_C_WCHAR, statements go through SQLExecDirectW
and SQLPrepareW, string parameters as wide characters.

Usage: pyodbc_default_path.py DSN
Exits 77 (skipped) when pyodbc is not installed for this interpreter."""
import decimal
import sys

try:
    import pyodbc
except ImportError:
    print("pyodbc is not installed for", sys.executable)
    sys.exit(77)

failures = []


def check(what, actual, expected):
    if actual != expected:
        failures.append(f"{what}: {actual!r}, expected {expected!r}")


dsn = sys.argv[1]
connection = pyodbc.connect(f"DSN={dsn};UID=system;PWD=manager")
cursor = connection.cursor()

# The first statement of every program that meets the instance.
banners = [row.BANNER for row in cursor.execute("SELECT BANNER FROM V$VERSION")]
check("first banner mentions Oracle", "Oracle" in banners[0], True)
check("banner rows", len(banners), 5)

# Text and numbers side by side; a string parameter.
row = cursor.execute("SELECT NAME, VALUE FROM V$PARAMETER WHERE NAME = ?", "db_block_size").fetchone()
check("parameter name", row.NAME, "db_block_size")
check("parameter value (text)", row.VALUE, "8192")
rows = cursor.execute("SELECT NAME, VALUE FROM V$SYSSTAT WHERE NAME LIKE 'sorts%' ORDER BY NAME").fetchall()
check("sort statistics", [r.NAME for r in rows], ["sorts (disk)", "sorts (memory)", "sorts (rows)"])
check("statistic values are numbers", all(isinstance(r.VALUE, decimal.Decimal) for r in rows), True)
check("sessions counted", cursor.execute("SELECT COUNT(*) FROM V$SESSION").fetchone()[0] > 0, True)

# Characters beyond ASCII, in the statement, a column name and a parameter.
row = cursor.execute("SELECT 'データ' AS \"件数\", ? AS P, 12.5 AS N, NULL AS Z FROM DUAL", "ﾃﾞｰﾀ\U0001F600").fetchone()
check("column name", cursor.description[0][0], "件数")
check("literal text", row[0], "データ")
check("parameter text", row.P, "ﾃﾞｰﾀ\U0001F600")
check("number", row.N, decimal.Decimal("12.5"))
check("null", row.Z, None)
check("long text", len(cursor.execute("SELECT RPAD('x', 3000, 'y') FROM DUAL").fetchone()[0]), 3000)

# Errors arrive with their Oracle text.
try:
    cursor.execute("SELECT * FROM 表なし")
    failures.append("a missing table did not fail")
except pyodbc.Error as error:
    check("error state", error.args[0], "42S02")
    check("error text", "ORA-00942" in error.args[1], True)

for failure in failures:
    print("FAILED:", failure)
print(f"pyodbc {pyodbc.version}: {len(failures)} failed")
sys.exit(1 if failures else 0)
