// Settings file: what a save must do to a file, worked out line by line from
// the file's own rules and compared with what TIniData writes.
#include "FuzzChecks.h"
#include "ScratchFile.h"

#include "KvIni.h"
#include "KvText.h"

namespace kelv_fuzz {

namespace {

constexpr size_t kKeyFieldWidth = 30;
constexpr const char* kChangedValue = "60";
constexpr const char* kAddedKey = "KELVFUZZ";

struct TLine {
    std::string Text;
    std::string End;  // "\r\n", "\r", "\n" or "" for an unterminated last line
};

std::vector<TLine> SplitLines(const std::string& bytes) {
    std::vector<TLine> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back({bytes.substr(pos), ""});
            break;
        }
        const size_t endLength = bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1;
        lines.push_back({bytes.substr(pos, end - pos), bytes.substr(end, endLength)});
        pos = end + endLength;
    }
    return lines;
}

std::string TrimBlanks(const std::string& s) {
    size_t begin = 0, end = s.size();
    while (begin < end && static_cast<unsigned char>(s[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(s[end - 1]) <= ' ')
        --end;
    return s.substr(begin, end - begin);
}

// Field n (from 1) of text cut at separator; "" beyond the last one.
std::string Field(const std::string& text, char separator, int n) {
    size_t begin = 0;
    for (int i = 1; i < n; ++i) {
        const size_t pos = text.find(separator, begin);
        if (pos == std::string::npos)
            return std::string();
        begin = pos + 1;
    }
    const size_t end = text.find(separator, begin);
    return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

struct TKeyLine {
    bool IsKey = false;
    std::string Key, Value, Comment;
};

TKeyLine ParseKeyLine(const std::string& line) {
    TKeyLine parsed;
    const std::string setting = TrimBlanks(Field(line, ';', 1));
    if (setting.empty() || setting.find('=') == std::string::npos)
        return parsed;
    parsed.IsKey = true;
    parsed.Key = TrimBlanks(Field(setting, '=', 1));
    parsed.Value = TrimBlanks(Field(setting, '=', 2));
    parsed.Comment = TrimBlanks(Field(line, ';', 2));
    return parsed;
}

std::string SavedKeyLine(const std::string& key, const std::string& value, const std::string& comment) {
    std::string entry = key + "=" + value;
    if (entry.size() < kKeyFieldWidth)
        entry.resize(kKeyFieldWidth, ' ');
    return entry + ";" + comment;
}

std::string Join(const std::vector<TLine>& lines) {
    std::string bytes;
    for (const TLine& line : lines)
        bytes += line.Text + line.End;
    return bytes;
}

std::string Printable(const std::string& s) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        if (c >= ' ' && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// "" when equal, else the first line that differs.
std::string CompareFiles(const std::string& what, const std::string& expected, const std::string& actual) {
    if (expected == actual)
        return std::string();
    const std::vector<TLine> want = SplitLines(expected), got = SplitLines(actual);
    for (size_t i = 0; i < want.size() || i < got.size(); ++i) {
        const std::string w = i < want.size() ? want[i].Text + want[i].End : "<none>";
        const std::string g = i < got.size() ? got[i].Text + got[i].End : "<none>";
        if (w != g)
            return what + ": line " + std::to_string(i) + " expected \"" + Printable(w) + "\" got \"" +
                   Printable(g) + "\"";
    }
    return what + ": files differ";
}

TScratchFile& IniFile() {
    static TScratchFile file(kIniFileName);
    return file;
}

std::string SaveAndRead(TIniData& ini, std::string& bytes) {
    if (!ini.Save(IniFile().Path()) || !IniFile().Read(bytes))
        return "cannot save or read back the settings file";
    return std::string();
}

// Load and save without a change: key lines take the saved layout, all
// other lines and every line end stay as they were.
std::string CheckUnchangedSave(const std::string& input, std::string& saved) {
    std::vector<TLine> expected = SplitLines(input);
    std::vector<std::string> entries;
    for (TLine& line : expected) {
        const TKeyLine parsed = ParseKeyLine(line.Text);
        if (!parsed.IsKey)
            continue;
        entries.push_back(parsed.Key + "=" + parsed.Value);
        line.Text = SavedKeyLine(parsed.Key, parsed.Value, parsed.Comment);
    }
    if (!IniFile().Write(input))
        return "cannot write the settings file";
    TIniData ini;
    const bool loaded = ini.Load(IniFile().Path());
    if (loaded != !entries.empty())
        return std::string("Load returned ") + (loaded ? "true" : "false") + " for " +
               std::to_string(entries.size()) + " key lines";
    if (ini.Entries() != entries)
        return "entries differ from the key lines of the file";
    for (const std::string& entry : entries) {
        const std::string key = entry.substr(0, entry.find('='));
        // The first line of a key is the one read.
        for (const std::string& first : entries)
            if (UpperCaseShiftJis(first.substr(0, first.find('='))) == UpperCaseShiftJis(key)) {
                if (ini.GetValue(key) != first.substr(first.find('=') + 1))
                    return "GetValue(\"" + Printable(key) + "\") is not the value of its first line";
                break;
            }
        if (ini.GetInt(key) != StrToIntOrZero(ini.GetValue(key)))
            return "GetInt differs from StrToIntOrZero of GetValue";
    }
    if (std::string failure = SaveAndRead(ini, saved); !failure.empty())
        return failure;
    return CompareFiles("save without change", Join(expected), saved);
}

// A file as the programs write it survives a further load and save byte for byte.
std::string CheckSecondSave(const std::string& saved) {
    if (!IniFile().Write(saved))
        return "cannot write the settings file";
    TIniData ini;
    ini.Load(IniFile().Path());
    std::string again;
    if (std::string failure = SaveAndRead(ini, again); !failure.empty())
        return failure;
    return CompareFiles("second save", saved, again);
}

// Setting an existing key rewrites its first line only.
std::string CheckChangedKey(const std::string& saved, size_t pick) {
    if (!IniFile().Write(saved))
        return "cannot write the settings file";
    TIniData ini;
    ini.Load(IniFile().Path());
    if (ini.Entries().empty())
        return std::string();
    const std::string& entry = ini.Entries()[pick % ini.Entries().size()];
    const std::string key = UpperCaseShiftJis(entry.substr(0, entry.find('=')));
    std::vector<TLine> expected = SplitLines(saved);
    for (TLine& line : expected) {
        const TKeyLine parsed = ParseKeyLine(line.Text);
        if (parsed.IsKey && UpperCaseShiftJis(parsed.Key) == key) {
            line.Text = SavedKeyLine(key, kChangedValue, parsed.Comment);
            break;
        }
    }
    ini.SetValue(key, kChangedValue);
    if (ini.GetValue(key) != kChangedValue)
        return "GetValue does not return the value just set";
    std::string changed;
    if (std::string failure = SaveAndRead(ini, changed); !failure.empty())
        return failure;
    return CompareFiles("save with key " + Printable(key) + " changed", Join(expected), changed);
}

// A key the file lacks is appended as the last line; nothing else changes
// but the line end of an unterminated last line.
std::string CheckAddedKey(const std::string& saved) {
    if (!IniFile().Write(saved))
        return "cannot write the settings file";
    TIniData ini;
    ini.Load(IniFile().Path());
    for (const std::string& entry : ini.Entries())
        if (UpperCaseShiftJis(entry.substr(0, entry.find('='))) == kAddedKey)
            return std::string();  // present, perhaps with an empty value: not a new key
    ini.SetValue(kAddedKey, kChangedValue);
    std::string added;
    if (std::string failure = SaveAndRead(ini, added); !failure.empty())
        return failure;
    const std::vector<TLine> before = SplitLines(saved), after = SplitLines(added);
    const std::string addedLine = std::string(kAddedKey) + "=" + kChangedValue;
    if (after.size() != before.size() + 1 || after.back().Text != addedLine || after.back().End.empty())
        return "added key: expected one more line \"" + addedLine + "\", got \"" + Printable(added) + "\"";
    for (size_t i = 0; i < before.size(); ++i) {
        const bool endMayGrow = i + 1 == before.size() && before[i].End.empty();
        if (after[i].Text != before[i].Text || (!endMayGrow && after[i].End != before[i].End))
            return "added key: line " + std::to_string(i) + " changed";
    }
    return std::string();
}

}  // namespace

std::string CheckIniRoundTrip(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string saved;
    std::string failure = CheckUnchangedSave(input, saved);
    if (failure.empty())
        failure = CheckSecondSave(saved);
    if (failure.empty())
        failure = CheckChangedKey(saved, size);
    if (failure.empty())
        failure = CheckAddedKey(saved);
    return failure;
}

}  // namespace kelv_fuzz
