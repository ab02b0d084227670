// What the transport adds to one request/reply. Both benchmarks talk to the same simulated
// mouse, from this thread to the simulator's thread: the baseline writes the frame and reads
// the reply on a bare seqpacket socket; the other runs one traced-off Exchange, with its
// locks, time-outs, report-id filtering and reply matching.
//
// Prints the ratio of the two (goal: at most 1.25) and the heap allocations made by this
// thread per Exchange (goal: none).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>

#include "sim/simulator.h"
#include "transport/commands.h"
#include "transport/hid_interface.h"

namespace {

thread_local uint64_t t_allocations = 0;

}  // namespace

void* operator new(size_t size) {
    ++t_allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

using namespace zepho7;

struct Rig {
    std::string dir;
    std::unique_ptr<sim::Simulator> simulator;
    std::string node;
    std::string path;

    Rig() {
        char pattern[] = "/tmp/zepho7-bench-XXXXXX";
        dir = ::mkdtemp(pattern);
        ::setenv("ZEPHO7_SIM_DIR", dir.c_str(), 1);
        simulator = std::make_unique<sim::Simulator>(dir);
        if (!simulator->Ready() || !simulator->Plug(sim::Model::Mouse)) std::abort();
        node = simulator->SocketPath(sim::Model::Mouse, sim::Link::Cable, 1);
        path = node + "#vid_320f&pid_223c&mi_01&col04";
    }
    ~Rig() {
        simulator.reset();
        std::filesystem::remove_all(dir);
    }
};

Rig& TheRig() {
    static Rig rig;
    return rig;
}

void SessionBeginFrame(uint8_t* frame) {
    std::memset(frame, 0, kFrameSize);
    frame[0] = kReportId;
    frame[3] = kCmdSessionBegin;
    SetFrameChecksum(frame);
}

void BM_BareSeqpacketRoundTrip(benchmark::State& state) {
    Rig& rig = TheRig();
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, rig.node.c_str(), sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        state.SkipWithError("connect failed");
        return;
    }
    uint8_t hello[8192];
    if (::recv(fd, hello, sizeof hello, 0) <= 0) std::abort();
    uint8_t request[kFrameSize];
    uint8_t reply[kFrameSize];
    SessionBeginFrame(request);
    for (auto _ : state) {
        if (::send(fd, request, sizeof request, MSG_NOSIGNAL) != kFrameSize) std::abort();
        if (::recv(fd, reply, sizeof reply, 0) != kFrameSize) std::abort();
        benchmark::DoNotOptimize(reply);
    }
    ::close(fd);
}

uint64_t g_exchange_allocations = 0;
uint64_t g_exchange_count = 0;

void BM_Exchange(benchmark::State& state) {
    Rig& rig = TheRig();
    DeviceTransceiver t;
    if (!t.WiredInterface().Open(rig.path, true, true, true, false)) {
        state.SkipWithError("open failed");
        return;
    }
    t.SetLinkMode(0);
    t.SetOpen(true);
    uint8_t request[kFrameSize];
    uint8_t reply[kFrameSize];
    SessionBeginFrame(request);
    size_t got = 0;
    const uint64_t before = t_allocations;
    for (auto _ : state) {
        if (t.Exchange(request, sizeof request, reply, sizeof reply, &got) != kResultOk) {
            std::abort();
        }
        benchmark::DoNotOptimize(reply);
    }
    g_exchange_allocations += t_allocations - before;
    g_exchange_count += state.iterations();
}

BENCHMARK(BM_BareSeqpacketRoundTrip)->UseRealTime()->MinTime(2.0)->Repetitions(5);
BENCHMARK(BM_Exchange)->UseRealTime()->MinTime(2.0)->Repetitions(5);

// Keeps the median of each benchmark's repetitions.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.aggregate_name == "median") {
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double bare = reporter.medians["BM_BareSeqpacketRoundTrip"];
    const double exchange = reporter.medians["BM_Exchange"];
    if (bare > 0 && exchange > 0) {
        std::printf("\nExchange %.2f us, bare round trip %.2f us: ratio %.3f (goal <= 1.25)\n",
                    exchange / 1000, bare / 1000, exchange / bare);
    }
    if (g_exchange_count > 0) {
        std::printf("Heap allocations per exchange: %.3f (goal 0; %llu over %llu exchanges)\n",
                    static_cast<double>(g_exchange_allocations) / g_exchange_count,
                    static_cast<unsigned long long>(g_exchange_allocations),
                    static_cast<unsigned long long>(g_exchange_count));
    }
    benchmark::Shutdown();
    return 0;
}
