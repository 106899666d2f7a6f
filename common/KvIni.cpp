// The settings file "Kelv.ini": reading, look-ups and the write-back that
// keeps comments, blank lines and the order of lines.
//
// The file is in the system code page (Shift-JIS) and is handled as bytes;
// ";" and "=" never occur inside a Shift-JIS character, so cutting at them
// is safe. Each line keeps its own line end, so a file survives a save
// unchanged apart from its key lines.
#include "KvIni.h"
#include "KvCom.h"
#include "KvText.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <sys/stat.h>

namespace {

constexpr int kKeyFieldWidth = 30;
constexpr const char* kCrLf = "\r\n";

// ";    Kelvane " followed by the Shift-JIS bytes of the Japanese words.
constexpr const char kHeaderTitle[] =
    ";    Kelvane \x90\xDD\x92\xE8\x83\x74\x83\x40\x83\x43\x83\x8B";
constexpr const char kHeaderRule[] = ";--------------------------------------------------";
constexpr const char kEndLine[] = ";END";
const char* const kMissingText = "設定ファイル [ %s ] がありません。";
const char* const kUnreadableText = "設定ファイル [ %s ] を読み込めません。(%s)";

std::string Substitute(std::string text, const std::string& value) {
    const size_t at = text.find("%s");
    return at == std::string::npos ? text : text.replace(at, 2, value);
}

bool FileExists(const std::string& name) {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0;
}

std::string EntryKey(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

std::string EntryValue(const std::string& entry) {
    const size_t eq = entry.find('=');
    return eq == std::string::npos ? std::string() : entry.substr(eq + 1);
}

std::string FormatKeyLine(const std::string& entry, const std::string& comment) {
    std::string line = entry;
    if (line.size() < static_cast<size_t>(kKeyFieldWidth))
        line.resize(kKeyFieldWidth, ' ');
    return line + ";" + comment;
}

}  // namespace

// The file as text lines with their line ends, and the settings found in it.
struct TIniData::Content {
    std::vector<std::string> Lines;
    std::vector<std::string> LineEnds;
    std::vector<std::string> Entries;
    std::vector<std::string> LineNumbers;

    void Parse(const std::string& bytes) {
        size_t pos = 0;
        while (pos < bytes.size()) {
            const size_t end = bytes.find_first_of("\r\n", pos);
            if (end == std::string::npos) {
                Lines.push_back(bytes.substr(pos));
                LineEnds.emplace_back();
                break;
            }
            const size_t endLength = bytes.compare(end, 2, kCrLf) == 0 ? 2 : 1;
            Lines.push_back(bytes.substr(pos, end - pos));
            LineEnds.push_back(bytes.substr(end, endLength));
            pos = end + endLength;
        }
        for (size_t i = 0; i < Lines.size(); ++i) {
            const std::string setting = Trim(GetToken(Lines[i], ';', 1));
            if (setting.empty() || setting.find('=') == std::string::npos)
                continue;
            const std::string key = Trim(GetToken(setting, '=', 1));
            const std::string value = Trim(GetToken(Trim(GetToken(setting, '=', 2)), ';', 1));
            Entries.push_back(key + "=" + value);
            LineNumbers.push_back(std::to_string(i));
        }
    }

    // The line end used for lines this program adds: the file's own style.
    std::string DefaultLineEnd() const {
        for (const std::string& end : LineEnds)
            if (!end.empty())
                return end;
        return kCrLf;
    }

    void AppendLine(const std::string& line) {
        if (!LineEnds.empty() && LineEnds.back().empty())
            LineEnds.back() = DefaultLineEnd();
        const std::string end = DefaultLineEnd();
        Lines.push_back(line);
        LineEnds.push_back(end);
    }

    std::string Bytes() const {
        std::string bytes;
        for (size_t i = 0; i < Lines.size(); ++i)
            bytes += Lines[i] + LineEnds[i];
        return bytes;
    }
};

int TIniData::FindEntry(const std::vector<std::string>& entries, const std::string& key) {
    const std::string upperKey = UpperCaseShiftJis(key);
    for (size_t i = 0; i < entries.size(); ++i)
        if (UpperCaseShiftJis(EntryKey(entries[i])) == upperKey)
            return static_cast<int>(i);
    return -1;
}

bool TIniData::Load(const std::string& fileName) {
    Close();
    fileName_ = fileName;
    if (!FileExists(fileName))
        return false;
    std::string bytes;
    if (!ReadFileBytes(fileName, bytes))
        throw EIniFileError("cannot read", fileName, std::strerror(errno));
    Content content;
    content.Parse(bytes);
    lines_ = std::move(content.Lines);
    lineEnds_ = std::move(content.LineEnds);
    entries_ = std::move(content.Entries);
    lineNumbers_ = std::move(content.LineNumbers);
    return !entries_.empty();
}

std::string TIniData::GetValue(const std::string& key) const {
    const int i = FindEntry(entries_, key);
    return i < 0 ? std::string() : EntryValue(entries_[static_cast<size_t>(i)]);
}

int TIniData::GetInt(const std::string& key) const {
    return StrToIntOrZero(GetValue(key));
}

bool TIniData::SetValue(const std::string& key, const std::string& value) {
    const std::string upperKey = UpperCaseShiftJis(key);
    const std::string entry = upperKey + "=" + value;
    const int i = FindEntry(entries_, upperKey);
    if (i >= 0)
        entries_[static_cast<size_t>(i)] = entry;
    else
        entries_.push_back(entry);
    if (FindEntry(setKeys_, upperKey) < 0)
        setKeys_.push_back(upperKey + "=");
    return true;
}

bool TIniData::Save(const std::string& fileName) {
    fileName_ = fileName;
    Content out;
    if (FileExists(fileName)) {
        // Start from the file as it is now, so that whatever the other program
        // saved meanwhile survives; only the keys set in this run are changed.
        std::string bytes;
        if (!ReadFileBytes(fileName, bytes))
            throw EIniFileError("cannot read", fileName, std::strerror(errno));
        out.Parse(bytes);
        for (const std::string& setKey : setKeys_) {
            const std::string key = EntryKey(setKey);
            const std::string entry = key + "=" + GetValue(key);
            const int i = FindEntry(out.Entries, key);
            if (i >= 0)
                out.Entries[static_cast<size_t>(i)] = entry;
            else
                out.Entries.push_back(entry);
        }
        for (size_t i = 0; i < out.Entries.size(); ++i) {
            if (i < out.LineNumbers.size()) {
                const size_t n = static_cast<size_t>(std::stoul(out.LineNumbers[i]));
                const std::string comment = Trim(GetToken(out.Lines[n], ';', 2));
                out.Lines[n] = FormatKeyLine(out.Entries[i], comment);
            } else {
                out.AppendLine(out.Entries[i]);
            }
        }
    } else {
        const std::string created = "; Created : " + FormatDate(std::time(nullptr), "%Y/%m/%d");
        for (const char* line : {kHeaderRule, ";", kHeaderTitle, ";"})
            out.AppendLine(line);
        out.AppendLine(created);
        for (const char* line : {";", kHeaderRule, ";"})
            out.AppendLine(line);
        for (const std::string& entry : entries_)
            out.AppendLine(entry);
        out.AppendLine(kEndLine);
        out.Entries = entries_;
    }
    if (!WriteFileAtomic(fileName, out.Bytes()))
        throw EIniFileError("cannot write", fileName, std::strerror(errno));
    lines_ = std::move(out.Lines);
    lineEnds_ = std::move(out.LineEnds);
    entries_ = std::move(out.Entries);
    lineNumbers_ = std::move(out.LineNumbers);
    return true;
}

void TIniData::Close() {
    fileName_.clear();
    lines_.clear();
    lineEnds_.clear();
    entries_.clear();
    lineNumbers_.clear();
    setKeys_.clear();
}

std::string LoadIniAtStart(TIniData& ini, const std::string& fileName) {
    try {
        if (ini.Load(fileName))
            return std::string();
        ini.Close();
        return Substitute(kMissingText, fileName);
    } catch (const EIniFileError& e) {
        ini.Close();
        return Substitute(Substitute(kUnreadableText, fileName), e.Reason);
    }
}

std::string GetToken(const std::string& text, char separator, int n) {
    std::string rest = text + separator;
    for (int i = 1; i < n; ++i) {
        const size_t pos = rest.find(separator);
        if (pos == std::string::npos)
            return std::string();
        rest.erase(0, pos + 1);
    }
    const size_t pos = rest.find(separator);
    return pos == std::string::npos ? std::string() : rest.substr(0, pos);
}

int StrToIntOrZero(const std::string& text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return 0;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return 0;
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL)
            return 0;  // does not fit in an integer
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        return 0;
    return static_cast<int>(value);
}

int IntervalIndexFor(int seconds) {
    for (size_t i = 0; i < kIntervalSeconds.size(); ++i)
        if (kIntervalSeconds[i] >= seconds)
            return static_cast<int>(i);
    return 0;
}

int NormalizeInterval(int seconds) {
    return kIntervalSeconds[static_cast<size_t>(IntervalIndexFor(seconds))];
}
