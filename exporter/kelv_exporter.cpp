// kelv_exporter: the figures of many instances for Prometheus. Reads its
// configuration, serves /metrics and collects every instance on each scrape.
#include <malloc.h>
#include <signal.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <vector>

#include <prometheus/exposer.h>

#include "KvxArgs.h"
#include "KvxConfig.h"
#include "KvxListen.h"
#include "KvxLog.h"
#include "KvxScrape.h"
#include "KvxSecrets.h"
#include "KvxSources.h"
#include "ODBCCall.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// Threads of the web server: a scrape and one more, such as a second Prometheus.
constexpr size_t kWebThreads = 2;
constexpr int kMmapThreshold = 128 * 1024;

// The query component's own messages go to the log; nobody answers questions.
class TLogQueryUI : public TQueryUI {
public:
    void ShowMessage(const std::string& text) override { LogEvent(TLogLevel::Warn, text); }
    bool Confirm(const std::string&) override { return true; }
};

void PrintProblems(const std::string& file, const std::vector<TConfigProblem>& problems)
{
    for (const TConfigProblem& p : problems) std::cerr << "kelv_exporter: " << FormatProblem(file, p) << "\n";
}

int Serve(const TExporterArgs& args, const TExporterConfig& config, std::vector<std::string>& passwords)
{
    TListenAddress address;
    std::string error;
    if (!ResolveListenAddress(args.ListenAddress, address, error)) {
        std::cerr << "kelv_exporter: --web.listen-address: " << error << "\n";
        return kExitUsage;
    }
    if (!ProbeListenAddress(address, error)) {
        std::cerr << "kelv_exporter: cannot listen on " << args.ListenAddress << ": " << error << "\n";
        return kExitFailed;
    }

    // Signals are taken by sigwait below, never by a worker in a driver call.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    static TLogQueryUI queryUI;
    SetQueryUI(&queryUI);
    RouteErrLogToExporterLog();

    std::vector<std::shared_ptr<TWatchedInstance>> instances;
    for (size_t i = 0; i < config.Instances.size(); ++i)
        instances.push_back(std::make_shared<TWatchedInstance>(config.Instances[i], passwords[i], config.BackoffMax));
    for (std::string& p : passwords) std::fill(p.begin(), p.end(), '\0');
    passwords.clear();
    auto collectable =
        std::make_shared<TScrapeCollectable>(std::move(instances), config.Timeout, EffectiveWorkers(config));

    std::unique_ptr<prometheus::Exposer> exposer;
    try {
        exposer = std::make_unique<prometheus::Exposer>(address.Listening, kWebThreads);
    } catch (const std::exception& e) {
        std::cerr << "kelv_exporter: cannot listen on " << args.ListenAddress << ": " << e.what() << "\n";
        return kExitFailed;
    }
    exposer->RegisterCollectable(collectable);
    const std::vector<int> ports = exposer->GetListeningPorts();
    const std::string port = ports.empty() ? address.Port : std::to_string(ports.front());
    LogEvent(TLogLevel::Info, "listening",
             LogField("address", address.Host + ":" + port) + " " +
                 LogField("instances", std::to_string(config.Instances.size())));
    collectable->ConnectAll();

    int signal = 0;
    sigwait(&stopSignals, &signal);
    LogEvent(TLogLevel::Info, "stopping", LogField("signal", std::to_string(signal)));
    exposer.reset();
    if (!collectable->Shutdown(config.Timeout)) {
        // A worker still inside a driver call cannot be stopped; the process ends around it.
        LogEvent(TLogLevel::Warn, "left while a driver call had not returned");
        std::_Exit(EXIT_SUCCESS);
    }
    return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char** argv)
{
    // A scrape of many instances builds and frees tens of megabytes; a fixed
    // threshold hands such blocks back to the system instead of keeping them.
    mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
    const TExporterArgs args = ParseExporterArgs(std::vector<std::string>(argv + 1, argv + argc));
    if (args.Mode == TExporterArgs::Help) {
        std::cout << ExporterUsage();
        return EXIT_SUCCESS;
    }
    if (args.Mode == TExporterArgs::Invalid) {
        std::cerr << "kelv_exporter: " << args.Error << "\n" << ExporterUsage();
        return kExitUsage;
    }

    const TConfigLoad load = LoadConfigFile(args.ConfigFile);
    if (!load.Ok()) {
        PrintProblems(args.ConfigFile, load.Problems);
        return kExitFailed;
    }
    std::vector<std::string> passwords;
    const std::vector<TConfigProblem> sourceProblems = CheckSources(load.Config, passwords);
    PrintProblems(args.ConfigFile, sourceProblems);
    if (args.Mode == TExporterArgs::CheckConfig) {
        if (!sourceProblems.empty()) return kExitFailed;
        std::cout << args.ConfigFile << ": configuration OK, " << load.Config.Instances.size() << " instance"
                  << (load.Config.Instances.size() == 1 ? "" : "s") << "\n";
        return EXIT_SUCCESS;
    }
    if (!sourceProblems.empty()) return kExitFailed;
    return Serve(args, load.Config, passwords);
}
