// Cost of the lighting effects and of frame building, and the idle cost of the device scan.
//
// Goals: one mouse effect step <= 200 ns; the per-LED passes over 170 LEDs <= 2 us; a frame
// build of 170 LEDs allocation-free; no heap allocation per step or frame (the "allocs"
// counter); the scan with a simulated mouse attached and nothing changing <= 0.2 % of one core
// over 30 s (ZEPHO7_SCAN_SECONDS shortens the window).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <new>
#include <thread>

#include "devices/device_scan.h"
#include "devices/led_effects.h"
#include "devices/light_engine.h"
#include "devices/light_frame.h"
#include "devices/mouse_lighting.h"
#include "sim/simulator.h"

namespace {
thread_local uint64_t t_allocations = 0;
}  // namespace

void* operator new(size_t size) {
    ++t_allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

namespace {

using namespace zepho7;
using namespace zepho7::devices;

struct MouseRig {
    LightEngine engine;
    MouseLighting mouse{engine};
    explicit MouseRig(uint8_t mode, uint8_t multi = 1) {
        engine.SetLedCount(kMouseLeds);
        engine.SetSettings({mode, 4, 2, 1, multi, 10, 20, 30});
        engine.Counters().ripple[0] = 1;
    }
};

template <typename F>
void RunCounted(benchmark::State& state, F&& step, const char* goal) {
    const uint64_t before = t_allocations;
    for (auto _ : state) {
        step();
        benchmark::ClobberMemory();
    }
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(t_allocations - before),
                                                  benchmark::Counter::kAvgIterations);
    state.SetLabel(goal);
}

constexpr const char* kStepGoal = "goal <= 200 ns, 0 allocs";

void BM_MouseGroupWave(benchmark::State& state) {
    MouseRig r(0);
    RunCounted(
        state, [&] { r.mouse.StepGroupWave(); }, kStepGoal);
}
void BM_MouseRipple(benchmark::State& state) {
    MouseRig r(5);
    RunCounted(
        state, [&] { r.mouse.StepRipple(5); }, kStepGoal);
}
void BM_MouseReactive(benchmark::State& state) {
    MouseRig r(6);
    uint32_t n = 0;
    RunCounted(
        state,
        [&] {
            if ((++n & 63) == 0)
                r.mouse.TriggerReactive();
            r.mouse.StepReactive();
        },
        kStepGoal);
}
void BM_MouseAudio(benchmark::State& state) {
    MouseRig r(11);
    r.mouse.SetAudioLight({static_cast<uint8_t>(state.range(0)), 1, 2, 3, 4, 5, 6, 1, 1});
    const int32_t bands[9] = {100, 900, 1500, 300, 2000, 50, 700, 1200, 400};
    RunCounted(
        state,
        [&] {
            r.mouse.OnAudioLevels(bands, 0);
            r.mouse.StepAudio();
        },
        kStepGoal);
}
void BM_MouseSequence(benchmark::State& state) {
    MouseRig r(12);
    const std::vector<storage::LightStep> steps = {{0, 4, 4, 0, 1, 1, 2, 3, 30, 0},
                                                   {2, 4, 4, 0, 1, 1, 2, 3, 30, 0},
                                                   {4, 4, 4, 1, 0, 1, 2, 3, 30, 0},
                                                   {5, 4, 4, 0, 0, 1, 2, 3, 30, 0}};
    uint32_t now = 0;
    RunCounted(
        state, [&] { r.mouse.RunSequence(steps, ++now, 2); }, kStepGoal);
}
void BM_BaseBreathing(benchmark::State& state) {
    MouseRig r(2);
    RunCounted(
        state, [&] { r.engine.StepBreathing(); }, kStepGoal);
}
void BM_BaseFlash(benchmark::State& state) {
    MouseRig r(4);
    uint32_t now = 0;
    RunCounted(
        state, [&] { r.engine.StepFlash(now += 50); }, kStepGoal);
}
void BM_LightTurn(benchmark::State& state) {
    MouseRig r(0);
    uint32_t now = 0;
    RunCounted(
        state, [&] { r.mouse.Turn(++now, {}); }, kStepGoal);
}

void BM_LedPasses170(benchmark::State& state) {
    LightEngine engine;
    engine.SetLedCount(kMaxLeds);
    std::vector<storage::LedEffect> entries(kMaxLeds);
    for (size_t i = 0; i < entries.size(); ++i) {
        entries[i].mode = static_cast<uint8_t>(i % 5);
        entries[i].speed = static_cast<uint8_t>(i % 5);
        entries[i].brightness = 3;
        entries[i].multi_color = static_cast<uint8_t>(i & 1);
        entries[i].present = 1;
    }
    LedEffectPasses passes;
    passes.RunAll(entries, engine, 0, true);
    uint32_t now = 0;
    RunCounted(
        state, [&] { passes.RunAll(entries, engine, now += 5, false); }, "goal <= 2 us, 0 allocs");
}

void BM_FrameBuild170(benchmark::State& state) {
    LightEngine engine;
    engine.SetLedCount(kMaxLeds);
    for (int i = 0; i < kMaxLeds; ++i)
        engine.SetLed(i, {static_cast<uint8_t>(i), 200, 100, 180});
    LightFrame frame{};
    RunCounted(
        state, [&] { benchmark::DoNotOptimize(BuildLightFrame(engine, frame)); }, "goal: 0 allocs");
}

BENCHMARK(BM_MouseGroupWave);
BENCHMARK(BM_MouseRipple);
BENCHMARK(BM_MouseReactive);
BENCHMARK(BM_MouseAudio)->Arg(kAudioBar)->Arg(kAudioGrid)->Arg(kAudioChase)->Arg(kAudioPulse);
BENCHMARK(BM_MouseSequence);
BENCHMARK(BM_BaseBreathing);
BENCHMARK(BM_BaseFlash);
BENCHMARK(BM_LightTurn);
BENCHMARK(BM_LedPasses170);
BENCHMARK(BM_FrameBuild170);

class Quiet : public ScanListener {
  public:
    void OnDeviceArrived(int) override { ++arrivals; }
    void OnDeviceRemoved(int) override {}
    void OnFirstPass() override {}
    std::atomic<int> arrivals{0};
};

double CpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The whole process's CPU time while only the scan (and the idle simulator it talks to) runs.
void MeasureScanIdleCost() {
    const char* env = std::getenv("ZEPHO7_SCAN_SECONDS");
    const int seconds = env != nullptr ? std::max(1, std::atoi(env)) : 30;
    char pattern[] = "/tmp/zepho7-bench-XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    ::setenv("ZEPHO7_SIM_DIR", dir.c_str(), 1);
    {
        sim::Simulator simulator(dir);
        if (!simulator.Ready() || !simulator.Plug(sim::Model::Mouse))
            std::abort();
        LiveSlotTable slots;
        Quiet listener;
        DeviceScanner scanner(slots, listener);
        scanner.Start();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the arrival is past
        const double cpu0 = CpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        const uint64_t cycles0 = scanner.Cycles();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double cpu = CpuSeconds() - cpu0;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const uint64_t cycles = scanner.Cycles() - cycles0;
        static_cast<void>(scanner.Stop());
        std::printf(
            "\nscan idle cost, simulated mouse attached (%d arrivals): %.4f %% of one core over "
            "%.1f s, %llu cycles (goal <= 0.2 %%)\n",
            listener.arrivals.load(), 100.0 * cpu / wall, wall,
            static_cast<unsigned long long>(cycles));
    }
    std::filesystem::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    MeasureScanIdleCost();
    return 0;
}
