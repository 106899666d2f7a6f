// Data directory, data-file names, appends, purges and the collector's error log.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

inline constexpr const char* kDataDirName = "KLVDAT";

// directory + "/" + prefix + suffix + ".dat", each part trimmed.
std::string MakeDatFileName(const std::string& dir, const std::string& dsn,
                            const std::string& prefix, const std::string& suffix);
// The eight characters after the prefix (name taken after its last "/") as a
// number; 0 when not a valid non-negative number.
int FileNameToDate(const std::string& fileName, const std::string& dsn, const std::string& prefix);
// Deletes prefix*.dat files dated 1..keepDate; returns the name of the first
// file that could not be deleted, or "".
std::string DeleteOldDatFiles(int keepDate, const std::string& dir, const std::string& dsn,
                              const std::string& prefix);
// Appends line + CR LF with one write; false when the file cannot be opened
// or written (also when the viewer holds its read lock).
bool AppendLine(const std::string& fileName, const std::string& line);
// Replaces a whole file atomically (temporary file, fsync, rename, fsync of the directory).
bool WriteFileAtomic(const std::string& fileName, const std::string& content);
// Reads a whole file without locking; false (errno kept) on failure.
bool ReadFileBytes(const std::string& fileName, std::string& content);
// Reads a whole data file under a shared lock that refuses concurrent writers;
// false when the file is missing or being written.
bool ReadWholeFileLocked(const std::string& fileName, std::string& content);

// The running executable's directory (no trailing "/").
std::string ProgramDir();
// ProgramDir() + "/" + kDataDirName: the collector's data directory and the
// viewer's default one.
std::string ProgramDataDir();
// Names (no directory) of the entries in dir matching a shell pattern,
// letter case ignored, in directory order; hidden entries are skipped.
std::vector<std::string> ListMatchingFiles(const std::string& dir, const std::string& pattern,
                                           bool regularFilesOnly = true);
inline constexpr unsigned kSharedDirMode = 0755;
// Creates dir and its parents (new ones with mode); false on failure.
bool ForceDirectories(const std::string& dir, unsigned mode = kSharedDirMode);

// Appends "YY/MM/DD HH:NN:SS <<context(detail)>> message" to
// ProgramDir()/KVErrYYYYMMDD.LOG. Never throws: a failure goes to stderr.
void WriteErrLog(const std::string& context, const std::string& detail, const std::string& message);
// The entry text (without line end) written at time when.
std::string ErrLogLine(std::time_t when, const std::string& context, const std::string& detail,
                       const std::string& message);
// Deletes KVErr*.LOG dated seven days ago or earlier.
void DeleteOldErrLogs();
// Tests point the error log elsewhere ("" restores ProgramDir()).
void SetErrLogDir(const std::string& dir);
// A program without an error-log file of its own (the exporter logs to
// stderr) takes the entries instead; an empty function restores the file.
using TErrLogSink =
    std::function<void(const std::string& context, const std::string& detail, const std::string& message)>;
void SetErrLogSink(TErrLogSink sink);
