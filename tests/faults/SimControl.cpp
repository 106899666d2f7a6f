// Runs one statement on a simulated instance file as SYSTEM:
//   kelv_sim_control KEY=VALUE... -- STATEMENT
// The keys are the data source's (DATABASE, VERSION, ...). The fault tests
// start it under faketime so that a restart happens at the collector's
// simulated time rather than at the wall clock's.
#include <cstdio>
#include <cstring>
#include <string>

#include "SimEngine.h"

int main(int argc, char** argv)
{
    sim::SimConfig config;
    std::string statement;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string arg = argv[i];
        const size_t eq = arg.find('=');
        if (eq == std::string::npos) continue;
        std::string key = arg.substr(0, eq);
        for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        config.Keys[key] = arg.substr(eq + 1);
    }
    for (++i; i < argc; ++i) statement += std::string(statement.empty() ? "" : " ") + argv[i];
    config.Database = config.Get("DATABASE");
    config.DataSource = "kelv_sim_control";
    if (config.Database.empty() || statement.empty()) {
        std::fprintf(stderr, "usage: kelv_sim_control DATABASE=file [KEY=VALUE...] -- STATEMENT\n");
        return 2;
    }
    try {
        sim::Connect(config, "system", "manager")->Execute(statement, {});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kelv_sim_control: %s\n", e.what());
        return 1;
    }
    return 0;
}
