// Load and save of a full keyboard profile, and list operations on 500 profiles, against their
// goals: profile load + save <= 2 ms median; any list operation on 500 profiles <= 20 ms median.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "storage/folders.h"
#include "storage/json_file.h"
#include "storage/profile_document.h"
#include "storage/profile_list.h"

namespace zepho7::storage {
namespace {

namespace fs = std::filesystem;

class BenchDir {
  public:
    BenchDir() {
        std::string pattern = (fs::temp_directory_path() / "zepho7-bench-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) != nullptr ? fs::path(pattern) : fs::path();
    }
    ~BenchDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

const fs::path kData = fs::path(ZEPHO7_SOURCE_DIR) / "DefaultData";
constexpr int kGroups = 8;
constexpr int kKeys = 170;

void BM_KeyboardProfileLoadSave(benchmark::State& state) {
    BenchDir dir;
    const fs::path profile = dir.path() / "kb.Json";
    {
        // A full profile: 170 keys and every custom colour group filled.
        CKeyboardProfiledata doc;
        doc.SetDefaultProfilePath(kData / "keyboard.Json");
        doc.SetProfilePath(profile);
        doc.LoadSection(profile);
        for (int g = 0; g < kGroups; ++g) {
            std::vector<CustomColour> colours(kKeys);
            for (int i = 0; i < kKeys; ++i) {
                colours[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), static_cast<uint8_t>(g),
                                                   200, 255};
            }
            doc.SetCustomColours(colours, g);
        }
        if (!doc.Save()) {
            state.SkipWithError("cannot write the profile");
            return;
        }
    }
    CKeyboardProfiledata doc;
    doc.SetDefaultProfilePath(kData / "keyboard.Json");
    doc.SetProfilePath(profile);
    uint8_t n = 0;
    for (auto _ : state) {
        doc.LoadSection(profile);
        auto keys = doc.GetKeyList();
        auto colours = doc.GetCustomColours(doc.GetCustomGroup(), kKeys);
        LightRecord light = doc.GetLightInfo();
        light.red = ++n;
        doc.SetLightInfo(light);
        keys[5].current.code2 = n;
        doc.SetKeyList(keys);
        benchmark::DoNotOptimize(colours);
        if (!doc.Save()) {
            state.SkipWithError("save failed");
            break;
        }
    }
}
BENCHMARK(BM_KeyboardProfileLoadSave)->Unit(benchmark::kMillisecond)->Repetitions(5);

// The first load of that profile by a fresh document: parsing 257 KB, nothing remembered.
void BM_KeyboardProfileFirstLoad(benchmark::State& state) {
    BenchDir dir;
    const fs::path profile = dir.path() / "kb.Json";
    {
        CKeyboardProfiledata doc;
        doc.SetDefaultProfilePath(kData / "keyboard.Json");
        doc.SetProfilePath(profile);
        doc.LoadSection(profile);
        for (int g = 0; g < kGroups; ++g) {
            doc.SetCustomColours(std::vector<CustomColour>(kKeys, {1, 2, 3, 255}), g);
        }
        if (!doc.Save()) {
            state.SkipWithError("cannot write the profile");
            return;
        }
    }
    for (auto _ : state) {
        CKeyboardProfiledata doc;
        doc.SetDefaultProfilePath(kData / "keyboard.Json");
        doc.SetProfilePath(profile);
        benchmark::DoNotOptimize(doc.LoadSection(profile));
    }
}
BENCHMARK(BM_KeyboardProfileFirstLoad)->Unit(benchmark::kMillisecond)->Repetitions(5);

struct ListFixture {
    BenchDir dir;
    ProfileList list{kind::kKeyboard, dir.path(), kData / "keyboard.Json"};
    explicit ListFixture(benchmark::State& state) {
        if (!list.InitProfiles()) {
            state.SkipWithError("init failed");
            return;
        }
        // 500 entries; their profile files are not needed for list operations.
        Json::Value doc = ReadJsonFile(list.ListPath());
        for (int i = 1; i < 500; ++i) {
            Json::Value e;
            e["profilename"] = "profile" + std::to_string(i + 1);
            e["profileUUID"] = "2024_01_01_00_00_00_" + std::to_string(1000 + i);
            e["profileislink"] = 0;
            e["profilelinkmame"] = "";
            doc["profilelist"].append(e);
        }
        if (!WriteJsonFile(doc, list.ListPath())) {
            state.SkipWithError("cannot write the list");
        }
    }
};

void BM_List500_Select(benchmark::State& state) {
    ListFixture f(state);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.list.SelectProfile(i++ % 500));
    }
}
BENCHMARK(BM_List500_Select)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_List500_Rename(benchmark::State& state) {
    ListFixture f(state);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.list.RenameProfile(250, "renamed" + std::to_string(i++ % 2)));
    }
}
BENCHMARK(BM_List500_Rename)->Unit(benchmark::kMillisecond)->Repetitions(5);

// A copy (new profile file from the selected one) followed by its deletion.
void BM_List500_CopyDelete(benchmark::State& state) {
    ListFixture f(state);
    for (auto _ : state) {
        const int index = f.list.CopyProfile(0);
        benchmark::DoNotOptimize(f.list.DeleteProfile(index));
    }
}
BENCHMARK(BM_List500_CopyDelete)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_List500_ImportDelete(benchmark::State& state) {
    ListFixture f(state);
    const fs::path source = f.dir.path() / "Game.json";
    if (!f.list.ExportProfile(0, source)) {
        state.SkipWithError("export failed");
        return;
    }
    for (auto _ : state) {
        const ImportResult r = f.list.ImportProfile(source);
        benchmark::DoNotOptimize(f.list.DeleteProfile(r.index));
    }
}
BENCHMARK(BM_List500_ImportDelete)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_List500_Read(benchmark::State& state) {
    ListFixture f(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.list.Entries());
    }
}
BENCHMARK(BM_List500_Read)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Prints every median against its goal after the usual report.
class GoalReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                medians_[run.run_name.function_name] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) *
                    1e3;
            }
        }
    }
    void PrintGoals() const {
        std::printf("\nGoals (median wall time):\n");
        for (const auto& [name, ms] : medians_) {
            if (name.find("FirstLoad") != std::string::npos) {
                std::printf("  %-28s %8.3f ms  (no goal: a fresh document parses the file)\n",
                            name.c_str(), ms);
                continue;
            }
            const double goal = name.find("List500") != std::string::npos ? 20.0 : 2.0;
            std::printf("  %-28s %8.3f ms  goal <= %4.1f ms  %s\n", name.c_str(), ms, goal,
                        ms <= goal ? "met" : "MISSED");
        }
    }

  private:
    std::map<std::string, double> medians_;
};

}  // namespace
}  // namespace zepho7::storage

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    zepho7::storage::GoalReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintGoals();
    benchmark::Shutdown();
    return 0;
}
