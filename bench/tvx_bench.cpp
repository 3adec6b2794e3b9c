// tvx-bench: the benchmarks' program.
//   tvx-bench [--scenarios=DIR] [--module=FILE] [GOOGLE BENCHMARK OPTIONS]
//       wall time of every flow at every scale (scaling/FLOW/SCALE), of a logger opening a log that
//       must be cut back (log-rotation/BYTES), and with --scenarios of every scenario below DIR run
//       in-process on the simulated machine as tvx-sim runs it (scenario/NAME, median of five runs),
//       loading the host build of the co-installer (--module: another one than this build's)
//   tvx-bench flows
//       the flows as JSON: [{"name": ..., "title": ...}, ...]
//   tvx-bench probe FLOW SCALE
//       one run of a flow on a fresh machine, for callgrind: the flow is what MeasuredFlow does, so
//       `valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*MeasuredFlow*'` counts
//       the flow's instructions and nothing of the set-up
//   tvx-bench probe log-open BYTES
//       a logger opening a log of that size once (MeasuredLogOpen), likewise
// Benchmarks only.
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/flows.h"
#include "core/logger.h"
#include "platform/host/call_layer.h"
#include "tools/scenario/scenario.h"
#include "tools/scenario/scenario_error.h"
#include "tools/tvx-sim/sim_run.h"

namespace tvx::bench {

// Kept out of line, under its own name, so that callgrind can count exactly what it runs.
__attribute__((noinline)) void MeasuredFlow(Flow flow, PreparedMachine& prepared) {
    RunFlow(flow, prepared);
    benchmark::ClobberMemory();
}

// Opening a logger (the constructor alone), for callgrind likewise.
__attribute__((noinline)) void MeasuredLogOpen(std::optional<CLogger>& logger) {
    logger.emplace("_coInst.log");
    benchmark::ClobberMemory();
}

}  // namespace tvx::bench

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using tvx::bench::Flow;

constexpr int kScales[] = {1, 10, 100};

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// A figure of a flow: the mean over a batch of runs, each on a fresh machine prepared beforehand
// and timed alone, so that a figure holds milliseconds of work rather than the scheduler's noise on
// a fraction of one: many runs on the small machines, one on the largest.
int BatchAt(int scale) { return scale >= 100 ? 1 : scale >= 10 ? 4 : 20; }

void ScalingBenchmark(benchmark::State& state, Flow flow, int scale) {
    uint64_t calls = 0;
    const int batch = BatchAt(scale);
    for (auto _ : state) {
        std::vector<std::unique_ptr<tvx::bench::PreparedMachine>> machines;
        for (int i = 0; i < batch; ++i) machines.push_back(std::make_unique<tvx::bench::PreparedMachine>(scale));
        double seconds = 0;
        for (auto& prepared : machines) {
            prepared->Activate();
            const Clock::time_point start = Clock::now();
            tvx::bench::MeasuredFlow(flow, *prepared);
            seconds += Seconds(start, Clock::now());
            calls = plat::host::Layer().trace().size();
            const std::string trouble = tvx::bench::EndFlow(*prepared);
            prepared->Deactivate();
            if (!trouble.empty()) {
                state.SkipWithError(trouble.c_str());
                return;
            }
        }
        state.SetIterationTime(seconds / batch);
    }
    state.counters["platform_calls"] = static_cast<double>(calls);
}

// A log of exactly `size` bytes: text lines as the co-installer writes them, CR LF ended.
void WriteLog(const fs::path& file, size_t size) {
    std::string bytes;
    bytes.reserve(size + 128);
    for (unsigned n = 0; bytes.size() < size; ++n) {
        char line[128];
        std::snprintf(line, sizeof line, "TarvixDeviceCoInstaller: called . dif=%u pContext->InstallResult = 0x%08X \r\n",
                      n % 40, n);
        bytes += line;
    }
    bytes.resize(size);
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

// A simulated machine whose temporary folder holds "_coInst.log" of a given size. Each run gets a
// fresh copy of one file made once (the logger refuses a log with a second name, so a hard link
// will not do), and the bench holds the copy open until after the measured part: a rotation
// replaces the log by its partner, and the host then frees the old log's pages only when the bench
// lets go of it, outside the figure.
class LogMachine {
public:
    explicit LogMachine(size_t size)
        : folder_(MakeFolder()), machine_(tvx::bench::BenchProfile(), folder_.path() / "C"), active_(machine_) {
        original_ = folder_.path() / "original.log";
        WriteLog(original_, size);
        log_ = machine_.c_drive_folder() / "Windows" / "Temp" / "_coInst.log";
        size_ = size;
    }
    ~LogMachine() { LetGo(); }
    plat::sim::Machine& machine() { return machine_; }

    // Puts a copy of the log in place and holds it open; false when it cannot.
    bool PutLog() {
        LetGo();
        std::error_code ec;
        fs::remove(log_, ec);
        if (!fs::copy_file(original_, log_, fs::copy_options::overwrite_existing, ec) || ec) return false;
        held_ = ::open(log_.c_str(), O_RDONLY);
        return held_ >= 0 && fs::file_size(log_) == size_;
    }
    // Closes the copy held open (freeing it, once the rotation has replaced it).
    void LetGo() {
        if (held_ >= 0) ::close(held_);
        held_ = -1;
    }

private:
    static plat::host::ScratchFolder MakeFolder() {
        std::optional<plat::host::ScratchFolder> folder =
            plat::host::ScratchFolder::Make(plat::host::ScratchFolder::DefaultBelow(), "tvx-bench-log-");
        if (!folder) throw std::runtime_error("cannot make a scratch folder");
        return std::move(*folder);
    }

    plat::host::ScratchFolder folder_;
    plat::sim::Machine machine_;
    plat::sim::ActiveMachine active_;
    fs::path original_;
    fs::path log_;
    size_t size_ = 0;
    int held_ = -1;
};

// Opening a logger on a log of range(0) bytes, which must be cut back: the time the constructor
// takes and the bytes it reads through the seam.
void LogRotationBenchmark(benchmark::State& state) {
    const auto size = static_cast<size_t>(state.range(0));
    LogMachine m(size);
    uint64_t read = 0;
    for (auto _ : state) {
        if (!m.PutLog()) {
            state.SkipWithError("the log could not be put in place, or was written to");
            break;
        }
        plat::host::Layer().Reset();
        const uint64_t before = m.machine().files().bytes_read();
        std::optional<CLogger> logger;
        const Clock::time_point start = Clock::now();
        tvx::bench::MeasuredLogOpen(logger);
        state.SetIterationTime(Seconds(start, Clock::now()));
        read = m.machine().files().bytes_read() - before;
        logger.reset();
        m.LetGo();
    }
    state.counters["bytes_read"] = static_cast<double>(read);
    state.counters["log_bytes"] = static_cast<double>(size);
    if (m.machine().handles().open_count() != 0) state.SkipWithError("the logger left a handle open");
}

// The host build of the co-installer that scenarios load.
std::string g_module = TVX_COINSTALLER_MODULE;

void ScenarioBenchmark(benchmark::State& state, tvx::Scenario scenario) {
    tvx::sim::RunOptions options;
    options.module_path = g_module;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        tvx::sim::RunResult run = tvx::sim::RunScenario(scenario, options);
        state.SetIterationTime(Seconds(start, Clock::now()));
        benchmark::DoNotOptimize(run);
    }
}

// A logger opening a log of the given size, once.
int ProbeLog(size_t size) {
    LogMachine m(size);
    if (!m.PutLog()) return 1;
    std::optional<CLogger> logger;
    tvx::bench::MeasuredLogOpen(logger);
    const uint64_t read = m.machine().files().bytes_read();
    logger.reset();
    std::cout << "{\"log_bytes\": " << size << ", \"bytes_read\": " << read << "}\n";
    return 0;
}

int Probe(int argc, char** argv) {
    if (argc == 4 && std::string(argv[2]) == "log-open") return ProbeLog(std::strtoull(argv[3], nullptr, 10));
    if (argc != 4) {
        std::cerr << "usage: tvx-bench probe FLOW SCALE | tvx-bench probe log-open BYTES\n";
        return 2;
    }
    const std::optional<Flow> flow = tvx::bench::FlowByName(argv[2]);
    const int scale = std::atoi(argv[3]);
    if (!flow || scale < 1) {
        std::cerr << "tvx-bench: unknown flow " << argv[2] << " or bad scale " << argv[3] << "\n";
        return 2;
    }
    tvx::bench::PreparedMachine prepared(scale);
    prepared.Activate();
    tvx::bench::MeasuredFlow(*flow, prepared);
    const size_t calls = plat::host::Layer().trace().size();
    const std::string trouble = tvx::bench::EndFlow(prepared);
    if (!trouble.empty()) {
        std::cerr << "tvx-bench: " << argv[2] << " at scale " << scale << ":\n" << trouble;
        return 1;
    }
    std::cout << "{\"flow\": \"" << argv[2] << "\", \"scale\": " << scale << ", \"platform_calls\": " << calls << "}\n";
    return 0;
}

// Every run of a flow needs a fresh machine, whose making costs more than most flows: a few
// batches, fewer of them on the larger machines. The figure is the fastest batch, as well as the
// median: a busy computer only ever adds time, and it adds more of it to longer runs, which it
// interrupts more often.
int RunsAt(int scale) { return scale >= 100 ? 7 : 9; }

double Fastest(const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); }

void RegisterScaling() {
    for (const tvx::bench::FlowInfo& info : tvx::bench::Flows())
        for (int scale : kScales)
            benchmark::RegisterBenchmark(("scaling/" + std::string(info.name) + "/" + std::to_string(scale)).c_str(),
                                         ScalingBenchmark, info.flow, scale)
                ->UseManualTime()
                ->Iterations(1)
                ->Repetitions(RunsAt(scale))
                ->ComputeStatistics("min", Fastest)
                ->ReportAggregatesOnly(true)
                ->Unit(benchmark::kMillisecond);
}

void RegisterLogRotation() {
    // One byte over the limit, and 50 MB.
    benchmark::RegisterBenchmark("log-rotation", LogRotationBenchmark)
        ->Arg(CLogger::kMaxLogSize + 1)
        ->Arg(50L * 1024 * 1024)
        ->UseManualTime()
        ->Iterations(20)
        ->Unit(benchmark::kMillisecond);
}

// Every scenario.toml one level below the folder, in name order.
bool RegisterScenarios(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (fs::is_regular_file(entry.path() / "scenario.toml")) files.push_back(entry.path() / "scenario.toml");
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        tvx::Scenario scenario;
        try {
            scenario = tvx::ReadScenario(file);
        } catch (const tvx::ScenarioError& e) {
            std::cerr << "tvx-bench: " << e.what() << "\n";
            return false;
        }
        const std::string name = "scenario/" + file.parent_path().filename().string();
        benchmark::RegisterBenchmark(name.c_str(), ScenarioBenchmark, std::move(scenario))
            ->UseManualTime()
            ->Iterations(1)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true)
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}

}  // namespace

int ListFlows() {
    std::cout << "[";
    const char* separator = "";
    for (const tvx::bench::FlowInfo& info : tvx::bench::Flows()) {
        std::cout << separator << "{\"name\": \"" << info.name << "\", \"title\": \"" << info.title << "\"}";
        separator = ", ";
    }
    std::cout << "]\n";
    return 0;
}

int main(int argc, char** argv) {
    // Memory freed stays with the process for its next use: otherwise a run on a large machine,
    // which outgrows what earlier runs freed, also pays the kernel for fresh pages, an allocation
    // cost that small runs reusing freed memory never see.
    mallopt(M_TRIM_THRESHOLD, -1);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    if (argc >= 2 && std::string(argv[1]) == "probe") return Probe(argc, argv);
    if (argc == 2 && std::string(argv[1]) == "flows") return ListFlows();
    benchmark::Initialize(&argc, argv);
    std::optional<fs::path> scenarios;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--scenarios=", 0) == 0) {
            scenarios = arg.substr(12);
        } else if (arg.rfind("--module=", 0) == 0) {
            g_module = arg.substr(9);
        } else {
            std::cerr << "tvx-bench: unknown option " << arg << "\n";
            return 2;
        }
    }
    RegisterScaling();
    RegisterLogRotation();
    if (scenarios && !RegisterScenarios(*scenarios)) return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
