#include "StatFiles.h"

#include <fstream>

std::vector<std::string> ReadStatLines(const std::filesystem::path& file)
{
    std::vector<std::string> lines;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

int64_t FieldNumber(const std::string& line, int position, int width)
{
    if (line.size() < static_cast<size_t>(position - 1 + width)) return 0;
    const std::string f = line.substr(static_cast<size_t>(position - 1), static_cast<size_t>(width));
    const size_t minus = f.find('-');
    return minus == std::string::npos ? std::stoll(f) : -std::stoll(f.substr(minus + 1));
}
