// The mouse against the in-process simulator (no reply delay): a full read (SyncFromDevice's
// device part) and a full profile apply (settings block, key table, macros).
//
// Goals: exactly the exchanges the mouse's steps prescribe (counted from the simulator's request
// log); a profile apply within 5 ms of host time. Closing a session waits 10 ms on purpose (the
// firmware needs the pause), so the wall time of an apply holds three such pauses: host time is
// shown as the calling thread's CPU time and as wall time less those pauses.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "devices/device_link.h"
#include "devices/mouse_device.h"
#include "sim/simulator.h"
#include "storage/json_file.h"
#include "transport/hid_interface.h"

namespace {

using namespace zepho7;
using namespace zepho7::devices;

constexpr double kSessionEndPauseMs = 10.0;
constexpr double kApplyGoalMs = 5.0;

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

size_t Reports(size_t bytes, size_t chunk) {
    return (bytes + chunk - 1) / chunk;
}

struct Rig {
    std::string dir;
    std::unique_ptr<sim::Simulator> sim;
    std::unique_ptr<CNerioMouseDevice> mouse;
    size_t macro_image = 0;

    Rig() {
        char pattern[] = "/tmp/zepho7-mouse-bench-XXXXXX";
        dir = ::mkdtemp(pattern) != nullptr ? pattern : "/tmp/zepho7-mouse-bench";
        ::setenv("ZEPHO7_SIM_DIR", (dir + "/sim").c_str(), 1);
        sim = std::make_unique<sim::Simulator>(dir + "/sim");
        if (!sim->Plug(sim::Model::Mouse))
            std::fprintf(stderr, "cannot plug the simulated mouse\n");
        mouse = std::make_unique<CNerioMouseDevice>(
            storage::DataFolders(std::string(ZEPHO7_SOURCE_DIR) + "/DefaultData", dir + "/data"));
        mouse->SetKeyCount(11);
        mouse->SetLedCount(4);
        mouse->SetTypeName("mouse");
        std::string path;
        hid::HidInterface lister;
        if (lister.Enumerate()) {
            while (const char* p = lister.NextPath()) {
                if (hid::ParseHexAfter(p, "pid_") == 0x223C && hid::ParseHexAfter(p, "&col") == 4)
                    path = p;
            }
        }
        if (!OpenConfigurationLink(mouse->Transceiver(), path, false))
            std::fprintf(stderr, "cannot open the simulated mouse\n");
        if (mouse->ReadFromDevice() != kResultOk)
            std::fprintf(stderr, "cannot read the simulated mouse\n");
        // Three macros of 20, 40 and 60 events on keys 0, 3 and 4.
        const auto folder = mouse->Folders().UserFolder(storage::kMouseType);
        Json::Value library;
        const int counts[] = {20, 40, 60};
        for (int i = 0; i < 3; ++i) {
            Json::Value info;
            info["MacroName"] = "m" + std::to_string(i);
            info["Guid"] = "g" + std::to_string(i);
            library["MacroInfo"].append(info);
            Json::Value file;
            for (int e = 0; e < counts[i]; ++e) {
                Json::Value ev;
                ev["Action"] = e % 2 == 0 ? "down" : "up";
                ev["Type"] = 10;
                ev["Button"] = 4;
                ev["Delay"] = "30";
                file["Events"].append(ev);
            }
            static_cast<void>(
                storage::WriteJsonFile(file, folder / ("g" + std::to_string(i) + ".mac")));
        }
        static_cast<void>(storage::WriteJsonFile(library, folder / "macro.config"));
        static_cast<void>(mouse->SetKeyAssignment(0, {0x70, 0, 0}));
        static_cast<void>(mouse->SetKeyAssignment(3, {0x70, 1, 0}));
        static_cast<void>(mouse->SetKeyAssignment(4, {0x70, 2, 0}));
        // Saved, so the reads of the other benchmark keep them.
        if (!mouse->Profile().Save())
            std::fprintf(stderr, "cannot save the profile\n");
        macro_image = 16 + 6 * 3 + 4 * (20 + 40 + 60);
    }
    ~Rig() {
        mouse.reset();
        sim.reset();
        ::unsetenv("ZEPHO7_SIM_DIR");
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    int Apply() {
        int r = mouse->WriteLightSettings(
            {.block = 0, .caller_value = 1, .width = 1920, .height = 1080});
        r = r == kResultOk ? mouse->WriteCurrentKeyAssignments(0) : r;
        return r == kResultOk && mouse->WriteMacros(mouse->ListMacros()) == kMacrosWritten ? 1 : 0;
    }
};

Rig& TheRig() {
    static Rig rig;
    return rig;
}

void Measure(benchmark::State& state, bool apply, size_t expected, int session_ends) {
    Rig& rig = TheRig();
    const uint64_t before = rig.sim->RequestCount(sim::Model::Mouse);
    double cpu = 0;
    int failures = 0;
    for (auto _ : state) {
        const double c0 = ThreadCpuMs();
        const int r = apply ? rig.Apply() : rig.mouse->ReadFromDevice();
        cpu += ThreadCpuMs() - c0;
        failures += r == kResultOk ? 0 : 1;
    }
    const double n = static_cast<double>(state.iterations());
    const double exchanges =
        static_cast<double>(rig.sim->RequestCount(sim::Model::Mouse) - before) / n;
    state.counters["exchanges"] = exchanges;
    state.counters["expected"] = static_cast<double>(expected);
    state.counters["cpu_ms"] = cpu / n;
    state.counters["failures"] = failures;
    state.counters["pauses_ms"] = session_ends * kSessionEndPauseMs;
}

// Cable: begin, information, key table (33 bytes), end; active block byte; 80-byte block.
void BM_SyncFromDevice(benchmark::State& state) {
    const size_t expected = 4 + 1 + Reports(80, kWiredChunk);
    Measure(state, false, expected, 1);
}
BENCHMARK(BM_SyncFromDevice)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

// Settings: begin, 75 bytes, end. Keys: information, begin, 33 bytes, end. Macros: information,
// begin, the image, end.
void BM_ProfileApply(benchmark::State& state) {
    const size_t expected = (2 + Reports(75, kWiredChunk)) + (3 + Reports(33, kWiredChunk)) +
                            (3 + Reports(TheRig().macro_image, kWiredChunk));
    Measure(state, true, expected, 3);
}
BENCHMARK(BM_ProfileApply)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf(
        "\nGoals: 'exchanges' equal to 'expected' (the prescribed steps, 56-byte reports by "
        "cable);\nprofile apply host time <= %.1f ms: 'cpu_ms' is the calling thread's CPU time, "
        "and the\nwall time less 'pauses_ms' (the 10 ms the program waits before each session "
        "end) is\nthe host time including the simulator's replies.\n",
        kApplyGoalMs);
    return 0;
}
