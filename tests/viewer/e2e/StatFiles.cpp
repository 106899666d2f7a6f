#include "StatFiles.h"

#include <algorithm>

#include "CollectorHarness.h"

std::vector<std::string> ReadStatLines(const std::filesystem::path& file)
{
    std::vector<std::string> lines = kelvtest::ReadLines(file);
    lines.erase(std::remove(lines.begin(), lines.end(), std::string()), lines.end());
    return lines;
}

int64_t FieldNumber(const std::string& line, int position, int width)
{
    if (line.size() < static_cast<size_t>(position - 1 + width)) return 0;
    return kelvtest::FieldAt(line, position, width);
}
