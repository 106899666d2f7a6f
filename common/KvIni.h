// The settings file "Kelv.ini" shared by the viewer and the collector.
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

inline constexpr const char* kIniFileName = "Kelv.ini";

// The settings file exists but cannot be read, or cannot be written.
class EIniFileError : public std::runtime_error {
public:
    EIniFileError(const std::string& action, const std::string& fileName, const std::string& reason)
        : std::runtime_error(action + " " + fileName + ": " + reason), FileName(fileName), Reason(reason) {}
    std::string FileName;
    std::string Reason;  // the system's text for the failure
};

class TIniData {
public:
    // Reads the file; true when at least one key line was found. Throws
    // EIniFileError when the file exists but cannot be read.
    bool Load(const std::string& fileName);
    // Value of the first entry with that key (case-insensitive); "" when absent.
    std::string GetValue(const std::string& key) const;
    // The same as an integer (StrToIntOrZero of the text); 0 when absent.
    int GetInt(const std::string& key) const;
    // Sets (upper-cased) key=value; new keys are appended to the entries.
    bool SetValue(const std::string& key, const std::string& value);
    // Writes the file back (see KvIni.cpp for the format): the file is read
    // again and only the keys set in this run are changed in it; the new file
    // replaces the old one atomically. Throws EIniFileError when the file
    // cannot be read or written.
    bool Save(const std::string& fileName);
    void Close();

    const std::vector<std::string>& Lines() const { return lines_; }
    const std::vector<std::string>& Entries() const { return entries_; }

    const std::string& FileName() const { return fileName_; }

private:
    struct Content;
    static int FindEntry(const std::vector<std::string>& entries, const std::string& key);

    std::string fileName_;
    std::vector<std::string> lines_;
    std::vector<std::string> lineEnds_;  // each line's own end: CR LF, LF or none
    std::vector<std::string> entries_;
    std::vector<std::string> lineNumbers_;
    std::vector<std::string> setKeys_;  // "KEY=" for each key set during this run
};

// Loads the settings file at a program's start. Returns "" when it was
// loaded, else the text of the plain message box after which the program
// ends: the file is missing or has no key line, or it cannot be read (the
// file and the system's reason).
std::string LoadIniAtStart(TIniData& ini, const std::string& fileName);

// n-th field (1-based) of text cut at a one-character separator.
std::string GetToken(const std::string& text, char separator, int n);
// Decimal value of the whole text, else 0.
int StrToIntOrZero(const std::string& text);
// The sampling intervals the collector offers, in seconds, shortest first.
inline constexpr std::array<int, 7> kIntervalSeconds = {5, 30, 60, 300, 600, 1800, 3600};
// Index of the first interval >= seconds; 0 when seconds exceeds them all.
int IntervalIndexFor(int seconds);
// Maps a stored interval onto the table (first >= value; above 3600 -> 5).
int NormalizeInterval(int seconds);
