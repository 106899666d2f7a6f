// Data directory, data-file names and the purge of old data files.
#include "KvCom.h"
#include "KvIni.h"
#include "KvText.h"

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fnmatch.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kDateDigits = 8;

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string MakeDatFileName(const std::string& dir, const std::string& /*dsn*/,
                            const std::string& prefix, const std::string& suffix) {
    return Trim(dir) + "/" + Trim(prefix) + Trim(suffix) + ".dat";
}

int FileNameToDate(const std::string& fileName, const std::string& /*dsn*/, const std::string& prefix) {
    const size_t slash = fileName.find_last_of('/');
    const std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    if (name.size() <= prefix.size())
        return 0;
    const int value = StrToIntOrZero(Trim(name.substr(prefix.size(), kDateDigits)));
    return value > 0 ? value : 0;
}

std::vector<std::string> ListMatchingFiles(const std::string& dir, const std::string& pattern,
                                           bool regularFilesOnly) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, DirCloser> d(::opendir(dir.c_str()));
    if (!d)
        return names;
    while (const dirent* e = ::readdir(d.get())) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.')
            continue;
        // Letter case is ignored, as the data files' home system does.
        if (::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) != 0)
            continue;
        if (!regularFilesOnly || IsRegularFile(dir + "/" + name))
            names.push_back(name);
    }
    return names;
}

std::string DeleteOldDatFiles(int keepDate, const std::string& dir, const std::string& dsn,
                              const std::string& prefix) {
    const std::string directory = Trim(dir);
    // Every matching entry counts, so one that cannot be deleted (a directory
    // of that name, say) is reported rather than silently kept.
    for (const std::string& name : ListMatchingFiles(directory, Trim(prefix) + "*.dat", false)) {
        const int date = FileNameToDate(name, dsn, Trim(prefix));
        if (date > 0 && date <= keepDate && ::unlink((directory + "/" + name).c_str()) != 0)
            return name;
    }
    return std::string();
}

std::string ProgramDir() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) {
        char* cwd = ::getcwd(buf, sizeof buf);
        return cwd ? std::string(cwd) : std::string(".");
    }
    const std::string exe(buf, static_cast<size_t>(n));
    const size_t slash = exe.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

std::string ProgramDataDir() {
    return ProgramDir() + "/" + kDataDirName;
}

bool ForceDirectories(const std::string& dir, unsigned mode) {
    if (dir.empty())
        return false;
    if (IsDirectory(dir))
        return true;
    std::string path;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = dir.find('/', pos + 1);
        path = dir.substr(0, pos);
        if (path.empty() || IsDirectory(path))
            continue;
        if (::mkdir(path.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST)
            return false;
    }
    return IsDirectory(dir);
}
