// The storage dictionary: tablespaces, data files, segments, their extents
// and the free extents between them, consistent with one another.
#include "InstanceSchema.h"
#include "WorkloadModel.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace sim {

namespace {

constexpr int64_t kFirstDataBlock = 2;       // block 1 of every file is its header
constexpr int64_t kEmptyFileBlocks = 2560;   // the extra USERS file nobody allocated from yet
constexpr int64_t kFreeTailPercent = 15;
constexpr int64_t kFreeTailMinimum = 200;
constexpr int64_t kHugeSegmentEvery = 97;    // one segment in this many has grown to 150+ extents
constexpr int64_t kAutoExtendMaxBytes = 2147483647;
constexpr int64_t kAutoExtendIncrementBlocks = 1280;
constexpr int64_t kBitmapUnitBlocks = 8;         // TS$.BITMAPPED: the allocation unit of a bitmap

enum TsIndex { kSystem = 0, kRbs = 1, kTemp = 2, kTools = 3, kUsers = 4, kIndx = 5 };

struct Segment {
    std::string Owner, Name, Type;
    int Ts;
    int64_t InitialBlocks, NextBlocks, Extents;
    std::string TableName;   // for indexes
    int64_t HeaderFile = 0, HeaderBlock = 0, TotalBlocks = 0;
};

struct Extent {
    size_t Segment;
    int64_t Id, File, Block, Blocks;
};

struct DataFile {
    int64_t Id;
    int Ts;
    std::string Name;
    int64_t Blocks = 0;
    bool AutoExtend = false;
};

struct FreeExtent {
    int Ts;
    int64_t File, Block, Length;
};

std::vector<std::string> TablespaceNames(long count) {
    std::vector<std::string> names = {"SYSTEM", "RBS", "TEMP", "TOOLS", "USERS", "INDX"};
    names.resize(static_cast<size_t>(std::min<long>(count, 6)));
    for (long i = 6; i < count; ++i) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "DATA%02ld", i - 5);
        names.push_back(buf);
    }
    return names;
}

int64_t ExtentCount(uint64_t h, int64_t index, long average) {
    if (index % kHugeSegmentEvery == 13) return 150 + static_cast<int64_t>(h % 60);
    if (h % 100 < 40) return 1;
    return 1 + static_cast<int64_t>((h >> 8) % static_cast<uint64_t>(2 * average - 1));
}

std::vector<Segment> MakeSegments(const SimKnobs& k, size_t tsCount) {
    std::vector<Segment> segs;
    segs.push_back({"SYS", "C_OBJ#", "CLUSTER", kSystem, 25, 25, 4, ""});
    segs.push_back({"SYS", "C_TS#", "CLUSTER", kSystem, 5, 5, 1, ""});
    segs.push_back({"SYS", "C_FILE#_BLOCK#", "CLUSTER", kSystem, 5, 5, 2, ""});
    segs.push_back({"SYS", "SYSTEM", "ROLLBACK", kSystem, 25, 25, 6, ""});
    for (int r = 1; r <= 4; ++r)
        segs.push_back({"SYS", "RBS0" + std::to_string(r), "ROLLBACK", kRbs, 64, 64, 4 + r * 3, ""});
    segs.push_back({"SYS", "3.2", "TEMPORARY", kTemp, 50, 50, 8, ""});
    for (int t = 1; t <= 3; ++t) segs.push_back({"SYSTEM", "TOOL_TAB" + std::to_string(t), "TABLE", kTools, 10, 10, t, ""});

    static const char* const kOwners[] = {"SCOTT", "APP", "SALES", "HR", "STOCK"};
    static const char* const kWords[] = {"ORDERS", "CUSTOMER", "ITEM", "STOCK", "INVOICE", "EMP", "DEPT", "LEDGER"};
    static const int64_t kSizes[] = {5, 10, 25, 50};
    std::vector<int> dataTs = {kUsers};
    for (size_t t = 6; t < tsCount; ++t) dataTs.push_back(static_cast<int>(t));
    const int indexTs = tsCount > kIndx ? kIndx : kUsers;
    int64_t n = 0;
    while (static_cast<long>(segs.size()) < k.Segments) {
        uint64_t h = Mix(static_cast<uint64_t>(n), 404);
        bool dictionary = n % 10 == 0;
        std::string owner = dictionary ? "SYS" : kOwners[h % 5];
        char name[64];
        std::snprintf(name, sizeof name, "%s_%05lld", dictionary ? "SYS_DICT" : kWords[(h >> 4) % 8],
                      static_cast<long long>(n));
        int ts = dictionary ? kSystem : dataTs[static_cast<size_t>(n) % dataTs.size()];
        int64_t size = kSizes[(h >> 12) % 4];
        segs.push_back({owner, name, "TABLE", ts, size, size * (1 + static_cast<int64_t>((h >> 16) % 2)),
                        ExtentCount(h, static_cast<int64_t>(segs.size()), k.ExtentsPerSegment), ""});
        if (static_cast<long>(segs.size()) < k.Segments) {
            uint64_t hi = Mix(static_cast<uint64_t>(n), 505);
            int64_t isize = kSizes[(hi >> 12) % 3];
            segs.push_back({owner, std::string(name) + "_PK", "INDEX", dictionary ? kSystem : indexTs, isize, isize,
                            ExtentCount(hi, static_cast<int64_t>(segs.size()), k.ExtentsPerSegment), name});
        }
        ++n;
    }
    segs.resize(static_cast<size_t>(std::max<long>(0, k.Segments)));
    return segs;
}

// Everything the dictionary tables are written from.
struct StorageLayout {
    std::vector<std::string> TsNames;
    std::vector<Segment> Segments;
    std::vector<DataFile> Files;
    std::vector<Extent> Extents;
    std::vector<FreeExtent> FreeExtents;
};

// Whether tablespace t keeps its free extents in bitmaps in its files
// (locally managed) rather than in FET$.
bool LocallyManaged(const SimKnobs& k, size_t t) {
    switch (k.Extents) {
        case ExtentManagement::Dictionary: return false;
        case ExtentManagement::LocalExceptSystem: return t != kSystem;
        case ExtentManagement::Local: return true;
    }
    return false;
}

void CreateStorageTables(SqliteDb& db, const SimKnobs& k) {
    const bool v7 = k.Version == 7;
    const bool managed = HasExtentManagement(k);
    db.Exec(std::string(R"(
CREATE TABLE "TS$" ("TS#" NUMBER, NAME VARCHAR2(30), "ONLINE$" NUMBER, "CONTENTS$" NUMBER, BLOCKSIZE NUMBER,
  DFLINIT NUMBER, DFLINCR NUMBER, DFLMINEXT NUMBER, DFLMAXEXT NUMBER, DFLEXTPCT NUMBER)") +
            (managed ? ", BITMAPPED NUMBER" : "") + R"();
CREATE TABLE SIM_BITMAP_FREE ("TS#" NUMBER, "FILE#" NUMBER, "BLOCK#" NUMBER, LENGTH NUMBER);
CREATE TABLE "FILE$" ("FILE#" NUMBER, "STATUS$" NUMBER, BLOCKS NUMBER, "TS#" NUMBER, "RELFILE#" NUMBER,
  MAXEXTEND NUMBER, INC NUMBER);
CREATE TABLE "FET$" ("TS#" NUMBER, "FILE#" NUMBER, "BLOCK#" NUMBER, LENGTH NUMBER);
CREATE TABLE DBA_SEGMENTS (OWNER VARCHAR2(30), SEGMENT_NAME VARCHAR2(81), SEGMENT_TYPE VARCHAR2(17),
  TABLESPACE_NAME VARCHAR2(30), HEADER_FILE NUMBER, HEADER_BLOCK NUMBER, BYTES NUMBER, BLOCKS NUMBER,
  EXTENTS NUMBER, INITIAL_EXTENT NUMBER, NEXT_EXTENT NUMBER, MIN_EXTENTS NUMBER, MAX_EXTENTS NUMBER,
  PCT_INCREASE NUMBER, FREELISTS NUMBER, FREELIST_GROUPS NUMBER);
CREATE TABLE DBA_EXTENTS (OWNER VARCHAR2(30), SEGMENT_NAME VARCHAR2(81), SEGMENT_TYPE VARCHAR2(17),
  TABLESPACE_NAME VARCHAR2(30), EXTENT_ID NUMBER, FILE_ID NUMBER, BLOCK_ID NUMBER, BYTES NUMBER, BLOCKS NUMBER,
  RELATIVE_FNO NUMBER);
CREATE TABLE DBA_TABLES (OWNER VARCHAR2(30), TABLE_NAME VARCHAR2(30), TABLESPACE_NAME VARCHAR2(30),
  CLUSTER_NAME VARCHAR2(30), PCT_FREE NUMBER, PCT_USED NUMBER, INI_TRANS NUMBER, MAX_TRANS NUMBER,
  INITIAL_EXTENT NUMBER, NEXT_EXTENT NUMBER, MIN_EXTENTS NUMBER, MAX_EXTENTS NUMBER, PCT_INCREASE NUMBER,
  NUM_ROWS NUMBER, BLOCKS NUMBER);
CREATE TABLE DBA_INDEXES (OWNER VARCHAR2(30), INDEX_NAME VARCHAR2(30), TABLE_OWNER VARCHAR2(30),
  TABLE_NAME VARCHAR2(30), TABLE_TYPE VARCHAR2(11), UNIQUENESS VARCHAR2(9), TABLESPACE_NAME VARCHAR2(30),
  INI_TRANS NUMBER, MAX_TRANS NUMBER, INITIAL_EXTENT NUMBER, NEXT_EXTENT NUMBER, MIN_EXTENTS NUMBER,
  MAX_EXTENTS NUMBER, PCT_INCREASE NUMBER);
CREATE TABLE DBA_ROLLBACK_SEGS (SEGMENT_NAME VARCHAR2(30), OWNER VARCHAR2(6), TABLESPACE_NAME VARCHAR2(30),
  SEGMENT_ID NUMBER, FILE_ID NUMBER, BLOCK_ID NUMBER, INITIAL_EXTENT NUMBER, NEXT_EXTENT NUMBER,
  MIN_EXTENTS NUMBER, MAX_EXTENTS NUMBER, PCT_INCREASE NUMBER, STATUS VARCHAR2(16));
CREATE TABLE DBA_TABLESPACES (TABLESPACE_NAME VARCHAR2(30), INITIAL_EXTENT NUMBER, NEXT_EXTENT NUMBER,
  MIN_EXTENTS NUMBER, MAX_EXTENTS NUMBER, PCT_INCREASE NUMBER, STATUS VARCHAR2(9), CONTENTS VARCHAR2(9))" +
            (managed ? ", EXTENT_MANAGEMENT VARCHAR2(10)" : "") + ");");
    db.Exec(v7 ? R"(CREATE TABLE DBA_DATA_FILES (FILE_NAME VARCHAR2(257), FILE_ID NUMBER, TABLESPACE_NAME VARCHAR2(30),
  BYTES NUMBER, BLOCKS NUMBER, STATUS VARCHAR2(9)))"
               : R"(CREATE TABLE DBA_DATA_FILES (FILE_NAME VARCHAR2(513), FILE_ID NUMBER, TABLESPACE_NAME VARCHAR2(30),
  BYTES NUMBER, BLOCKS NUMBER, STATUS VARCHAR2(9), RELATIVE_FNO NUMBER, AUTOEXTENSIBLE VARCHAR2(3),
  MAXBYTES NUMBER, MAXBLOCKS NUMBER, INCREMENT_BY NUMBER, USER_BYTES NUMBER, USER_BLOCKS NUMBER))");

}

StorageLayout LayOut(const SimKnobs& k) {
    StorageLayout out;
    out.TsNames = TablespaceNames(k.Tablespaces);
    out.Segments = MakeSegments(k, out.TsNames.size());
    const std::vector<std::string>& tsNames = out.TsNames;
    std::vector<Segment>& segs = out.Segments;
    std::vector<DataFile>& files = out.Files;
    std::vector<Extent>& extents = out.Extents;
    std::vector<FreeExtent>& freeExtents = out.FreeExtents;

    // Data files: one per tablespace, plus a second, still empty file for USERS.
    for (size_t t = 0; t < tsNames.size(); ++t) {
        char path[128];
        std::snprintf(path, sizeof path, "/u0%zu/oradata/KELV/%s01.dbf", 2 + t % 3, tsNames[t].c_str());
        std::string lower = path;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        files.push_back({static_cast<int64_t>(files.size() + 1), static_cast<int>(t), lower, 0, t == kUsers || t == kTemp});
    }
    files.push_back({static_cast<int64_t>(files.size() + 1), kUsers, "/u04/oradata/kelv/users02.dbf", kEmptyFileBlocks, true});

    // Extents are laid out round-robin over the segments of a tablespace, the
    // way segments grow side by side, with holes left by dropped objects.
    for (size_t t = 0; t < tsNames.size(); ++t) {
        DataFile& file = files[t];
        std::vector<size_t> members;
        for (size_t s = 0; s < segs.size(); ++s)
            if (segs[s].Ts == static_cast<int>(t)) members.push_back(s);
        int64_t next = kFirstDataBlock;
        const bool full = t == kTools;  // a tablespace without any free extent
        for (int64_t round = 0;; ++round) {
            bool any = false;
            for (size_t s : members) {
                Segment& seg = segs[s];
                if (round >= seg.Extents) continue;
                any = true;
                int64_t blocks = round == 0 ? seg.InitialBlocks : seg.NextBlocks;
                if (round == 0) {
                    seg.HeaderFile = file.Id;
                    seg.HeaderBlock = next;
                }
                extents.push_back({s, round, file.Id, next, blocks});
                seg.TotalBlocks += blocks;
                next += blocks;
                uint64_t h = Mix(s, static_cast<uint64_t>(round), 909);
                if (!full && h % 100 < 5) {
                    int64_t gap = 1 + static_cast<int64_t>((h >> 8) % 4);  // "dead" pieces under 5 blocks
                    freeExtents.push_back({static_cast<int>(t), file.Id, next, gap});
                    next += gap;
                } else if (!full && h % 100 < 8) {
                    int64_t gap = 10 + static_cast<int64_t>((h >> 8) % 50);
                    freeExtents.push_back({static_cast<int>(t), file.Id, next, gap});
                    next += gap;
                }
            }
            if (!any) break;
        }
        int64_t tail = full ? 0 : (next * kFreeTailPercent / 100 + kFreeTailMinimum);
        if (tail > 0) freeExtents.push_back({static_cast<int>(t), file.Id, next, tail});
        file.Blocks = next + tail - 1;
    }
    DataFile& spare = files.back();
    freeExtents.push_back({spare.Ts, spare.Id, kFirstDataBlock, spare.Blocks - 1});
    return out;
}

void WriteTablespacesAndFiles(SqliteDb& db, const SimKnobs& k, const StorageLayout& layout) {
    const bool v7 = k.Version == 7;
    const std::vector<std::string>& tsNames = layout.TsNames;
    const std::vector<DataFile>& files = layout.Files;
    const std::vector<FreeExtent>& freeExtents = layout.FreeExtents;
    const bool managed = HasExtentManagement(k);
    SqliteStmt tsIns(db.Get(), managed ? "INSERT INTO \"TS$\" VALUES (?, ?, 1, ?, ?, 5, 5, 1, 121, 50, ?)"
                                       : "INSERT INTO \"TS$\" VALUES (?, ?, 1, ?, ?, 5, 5, 1, 121, 50)");
    SqliteStmt dtsIns(db.Get(), managed ? "INSERT INTO DBA_TABLESPACES VALUES (?, ?, ?, 1, 121, 50, 'ONLINE', ?, ?)"
                                        : "INSERT INTO DBA_TABLESPACES VALUES (?, ?, ?, 1, 121, 50, 'ONLINE', ?)");
    for (size_t t = 0; t < tsNames.size(); ++t) {
        tsIns.Bind(1, static_cast<int64_t>(t)).Bind(2, tsNames[t]).Bind(3, static_cast<int64_t>(t == kTemp ? 1 : 0))
            .Bind(4, static_cast<int64_t>(k.BlockSize));
        dtsIns.Bind(1, tsNames[t]).Bind(2, 5 * k.BlockSize).Bind(3, 5 * k.BlockSize)
            .Bind(4, std::string(t == kTemp ? "TEMPORARY" : "PERMANENT"));
        if (managed) {
            tsIns.Bind(5, LocallyManaged(k, t) ? kBitmapUnitBlocks : int64_t{0});
            dtsIns.Bind(5, std::string(LocallyManaged(k, t) ? "LOCAL" : "DICTIONARY"));
        }
        tsIns.Run();
        dtsIns.Run();
    }
    SqliteStmt fileIns(db.Get(), "INSERT INTO \"FILE$\" VALUES (?, 2, ?, ?, ?, ?, ?)");
    SqliteStmt ddfIns(db.Get(), v7 ? "INSERT INTO DBA_DATA_FILES VALUES (?, ?, ?, ?, ?, 'AVAILABLE')"
                                   : "INSERT INTO DBA_DATA_FILES VALUES (?, ?, ?, ?, ?, 'AVAILABLE', ?, ?, ?, ?, ?, ?, ?)");
    for (const DataFile& f : files) {
        int64_t maxBlocks = f.AutoExtend ? kAutoExtendMaxBytes / k.BlockSize : 0;
        int64_t inc = f.AutoExtend ? kAutoExtendIncrementBlocks : 0;
        fileIns.Bind(1, f.Id).Bind(2, f.Blocks).Bind(3, static_cast<int64_t>(f.Ts)).Bind(4, f.Id).Bind(5, maxBlocks)
            .Bind(6, inc).Run();
        ddfIns.Bind(1, f.Name).Bind(2, f.Id).Bind(3, tsNames[static_cast<size_t>(f.Ts)]).Bind(4, f.Blocks * k.BlockSize)
            .Bind(5, f.Blocks);
        if (!v7)
            ddfIns.Bind(6, f.Id).Bind(7, std::string(f.AutoExtend ? "YES" : "NO")).Bind(8, maxBlocks * k.BlockSize)
                .Bind(9, maxBlocks).Bind(10, inc).Bind(11, (f.Blocks - 1) * k.BlockSize).Bind(12, f.Blocks - 1);
        ddfIns.Run();
    }
    // Free extents of locally managed tablespaces live in their files' bitmaps, never in FET$.
    SqliteStmt fetIns(db.Get(), "INSERT INTO \"FET$\" VALUES (?, ?, ?, ?)");
    SqliteStmt bitmapIns(db.Get(), "INSERT INTO SIM_BITMAP_FREE VALUES (?, ?, ?, ?)");
    for (const FreeExtent& fe : freeExtents) {
        SqliteStmt& ins = LocallyManaged(k, static_cast<size_t>(fe.Ts)) ? bitmapIns : fetIns;
        ins.Bind(1, static_cast<int64_t>(fe.Ts)).Bind(2, fe.File).Bind(3, fe.Block).Bind(4, fe.Length).Run();
    }

}

void WriteSegments(SqliteDb& db, const SimKnobs& k, const StorageLayout& layout) {
    const std::vector<std::string>& tsNames = layout.TsNames;
    const std::vector<Segment>& segs = layout.Segments;
    const std::vector<Extent>& extents = layout.Extents;
    SqliteStmt segIns(db.Get(), "INSERT INTO DBA_SEGMENTS VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1, ?, ?, 1, 1)");
    SqliteStmt tabIns(db.Get(), "INSERT INTO DBA_TABLES VALUES (?, ?, ?, NULL, 10, 40, 1, 255, ?, ?, 1, 121, 0, ?, ?)");
    SqliteStmt idxIns(db.Get(), "INSERT INTO DBA_INDEXES VALUES (?, ?, ?, ?, 'TABLE', 'UNIQUE', ?, 2, 255, ?, ?, 1, 121, 0)");
    SqliteStmt rbsIns(db.Get(), "INSERT INTO DBA_ROLLBACK_SEGS VALUES (?, ?, ?, ?, ?, ?, ?, ?, 2, 121, 0, 'ONLINE')");
    int64_t rbsId = 0;
    for (const Segment& s : segs) {
        const std::string& ts = tsNames[static_cast<size_t>(s.Ts)];
        int64_t initial = s.InitialBlocks * k.BlockSize, nextBytes = s.NextBlocks * k.BlockSize;
        segIns.Bind(1, s.Owner).Bind(2, s.Name).Bind(3, s.Type).Bind(4, ts).Bind(5, s.HeaderFile).Bind(6, s.HeaderBlock)
            .Bind(7, s.TotalBlocks * k.BlockSize).Bind(8, s.TotalBlocks).Bind(9, s.Extents).Bind(10, initial)
            .Bind(11, nextBytes).Bind(12, static_cast<int64_t>(s.Type == "ROLLBACK" ? 121 : 505))
            .Bind(13, static_cast<int64_t>(s.Type == "ROLLBACK" ? 0 : 50)).Run();
        if (s.Type == "TABLE")
            tabIns.Bind(1, s.Owner).Bind(2, s.Name).Bind(3, ts).Bind(4, initial).Bind(5, nextBytes)
                .Bind(6, s.TotalBlocks * 37).Bind(7, s.TotalBlocks - 1).Run();
        else if (s.Type == "INDEX")
            idxIns.Bind(1, s.Owner).Bind(2, s.Name).Bind(3, s.Owner).Bind(4, s.TableName).Bind(5, ts).Bind(6, initial)
                .Bind(7, nextBytes).Run();
        else if (s.Type == "ROLLBACK")
            rbsIns.Bind(1, s.Name).Bind(2, std::string(s.Name == "SYSTEM" ? "SYS" : "PUBLIC")).Bind(3, ts)
                .Bind(4, rbsId++).Bind(5, s.HeaderFile).Bind(6, s.HeaderBlock).Bind(7, initial).Bind(8, nextBytes).Run();
    }
    SqliteStmt extIns(db.Get(), "INSERT INTO DBA_EXTENTS VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (const Extent& e : extents) {
        const Segment& s = segs[e.Segment];
        extIns.Bind(1, s.Owner).Bind(2, s.Name).Bind(3, s.Type).Bind(4, tsNames[static_cast<size_t>(s.Ts)]).Bind(5, e.Id)
            .Bind(6, e.File).Bind(7, e.Block).Bind(8, e.Blocks * k.BlockSize).Bind(9, e.Blocks).Bind(10, e.File).Run();
    }
}

void CreateStorageIndexes(SqliteDb& db) {
    db.Exec(R"(
CREATE INDEX SIM_TABLES_KEY ON DBA_TABLES (OWNER, TABLE_NAME, TABLESPACE_NAME);
CREATE INDEX SIM_INDEXES_KEY ON DBA_INDEXES (OWNER, INDEX_NAME, TABLESPACE_NAME);
CREATE INDEX SIM_RBS_KEY ON DBA_ROLLBACK_SEGS (OWNER, SEGMENT_NAME, TABLESPACE_NAME);
CREATE INDEX SIM_EXTENTS_FILE ON DBA_EXTENTS (FILE_ID);
CREATE INDEX SIM_SEGMENTS_ORDER ON DBA_SEGMENTS (OWNER, TABLESPACE_NAME, SEGMENT_TYPE, SEGMENT_NAME);
CREATE VIEW DBA_FREE_SPACE AS SELECT T.NAME AS TABLESPACE_NAME, F."FILE#" AS FILE_ID, F."BLOCK#" AS BLOCK_ID,
  F.LENGTH * T.BLOCKSIZE AS BYTES, F.LENGTH AS BLOCKS, F."FILE#" AS RELATIVE_FNO
  FROM (SELECT * FROM "FET$" UNION ALL SELECT * FROM SIM_BITMAP_FREE) F, "TS$" T WHERE F."TS#" = T."TS#";
)");
}

}  // namespace

void BuildStorage(SqliteDb& db, const SimKnobs& k) {
    CreateStorageTables(db, k);
    const StorageLayout layout = LayOut(k);
    WriteTablespacesAndFiles(db, k, layout);
    WriteSegments(db, k, layout);
    CreateStorageIndexes(db);
}

}  // namespace sim
