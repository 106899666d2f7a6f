// A failure that repeats at every tick or hour (a sampler whose statement
// keeps failing) goes into the error log once, not once per attempt: the
// entry is written again only after the operation succeeded or failed
// differently.
#pragma once

#include <map>
#include <string>

class TErrLogOnce {
public:
    // Writes the entry unless the last outcome of context+detail was this same failure.
    void Failed(const std::string& context, const std::string& detail, const std::string& message);
    void Succeeded(const std::string& context, const std::string& detail);

private:
    std::map<std::string, std::string> lastFailure_;  // context + "(" + detail -> message
};
