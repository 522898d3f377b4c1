// Reading and writing a large snapshot-shaped profile (50,000 browser windows,
// about 9 MB), with inih parsing the same bytes into the same ordered map as
// the peer. Run: build/host/bench/profile_bench
#include <benchmark/benchmark.h>
#include <ini.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "platform/platform.h"
#include "platform/sim/sim_files.h"
#include "storage/profile_document.h"

namespace {

constexpr int kWindows = 50000;

// Titles and addresses of the kind a browser shows: Shift-JIS and ASCII
// titles, addresses with paths and queries. inih reads at most 199 bytes a
// line and strips spaces and " ;" comments, so the data avoids those.
ProfileData MakeSnapshot() {
    static const char* const kTitles[] = {
        "\x83\x6A\x83\x85\x81\x5B\x83\x58 - \x83\x5C\x83\x74\x83\x67\x83\x45\x83\x46\x83\x41"
        "\x8A\x4A\x94\xAD\x82\xCC\x8D\xC5\x90\x56\x8F\xEE\x95\xF1 - Microsoft Internet Explorer",
        "Example Domain",
        "\x95\x5C\x8E\xA6\x90\xDD\x92\xE8\x82\xCC\x95\xCF\x8D\x58\x95\xFB\x96\x40 | "
        "\x83\x54\x83\x7C\x81\x5B\x83\x67 - Microsoft Internet Explorer",
        "Release notes for version 2.4.1 (April 2005)",
        "\x8C\x9F\x8D\xF5\x8C\x8B\x89\xCA: \x93\x56\x8B\x43\x97\x5C\x95\xF1 - Microsoft "
        "Internet Explorer",
    };
    static const char* const kHosts[] = {"www.example.co.jp", "news.example.com",
                                         "support.example.org", "www.example.ne.jp"};
    std::mt19937 random(20050412);
    ProfileData data;
    for (int i = 0; i < kWindows; ++i) {
        const std::string section = IntToString(i);
        const int x = static_cast<int>(random() % 1200) - 8;
        const int y = static_cast<int>(random() % 900) - 8;
        data.Set(section, "name", "IEFrame");
        data.Set(section, "title", kTitles[random() % 5]);
        data.Set(section, "option",
                 std::string("http://") + kHosts[random() % 4] + "/news/" +
                     IntToString(static_cast<std::int32_t>(random() % 100000)) +
                     ".html?id=" + IntToString(i));
        data.Set(section, "w_x", IntToString(x));
        data.Set(section, "w_y", IntToString(y));
        data.Set(section, "w_width", IntToString(640 + static_cast<int>(random() % 640)));
        data.Set(section, "w_height", IntToString(480 + static_cast<int>(random() % 480)));
        data.Set(section, "style", IntToString(static_cast<int>(random() % 3) + 1));
    }
    return data;
}

const ProfileData& Snapshot() {
    static const ProfileData data = MakeSnapshot();
    return data;
}

const std::string& SnapshotBytes() {
    static const std::string bytes = FormatProfile(Snapshot());
    return bytes;
}

// The natural inih handler: remember the current section's map while the
// section stays the same, insert each pair into it.
struct InihTarget {
    ProfileData::Sections sections;
    std::string currentName;
    ProfileSection* current = nullptr;
};

int InihHandler(void* user, const char* section, const char* name, const char* value) {
    auto* target = static_cast<InihTarget*>(user);
    if (target->current == nullptr || target->currentName != section) {
        target->currentName = section;
        target->current = &target->sections[target->currentName];
    }
    (*target->current)[name] = value;
    return 1;
}

ProfileData::Sections ParseWithInih(const std::string& bytes) {
    InihTarget target;
    if (ini_parse_string(bytes.c_str(), InihHandler, &target) != 0) {
        std::fprintf(stderr, "inih reported an error\n");
        std::abort();
    }
    return std::move(target.sections);
}

void BM_ParseProfile(benchmark::State& state) {
    const std::string& bytes = SnapshotBytes();
    for (auto _ : state) {
        ProfileData data = ParseProfile(bytes);
        benchmark::DoNotOptimize(data);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_InihParse(benchmark::State& state) {
    const std::string& bytes = SnapshotBytes();
    for (auto _ : state) {
        ProfileData::Sections sections = ParseWithInih(bytes);
        benchmark::DoNotOptimize(sections);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_FormatProfile(benchmark::State& state) {
    for (auto _ : state) {
        std::string bytes = FormatProfile(Snapshot());
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * SnapshotBytes().size()));
}

// A host folder for the file benchmarks, removed at exit.
class BenchFolder {
public:
    BenchFolder() {
        std::string templ =
            (std::filesystem::temp_directory_path() / "pelorin-bench-XXXXXX").string();
        if (::mkdtemp(templ.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        location_ = templ;
        files_.emplace(location_);
        installed_.emplace(*files_);
    }
    ~BenchFolder() {
        installed_.reset();
        std::error_code error;
        std::filesystem::remove_all(location_, error);
    }

private:
    std::string location_;
    std::optional<sim::FileSystem> files_;
    std::optional<sim::ScopedFileSystem> installed_;
};

void BM_DocumentRead(benchmark::State& state) {
    BenchFolder folder;
    if (!platform::ReplaceWholeFile("snapshot.txt", SnapshotBytes())) {
        state.SkipWithError("cannot write the file");
        return;
    }
    const ProfileDocument document("snapshot.txt");
    for (auto _ : state) {
        ProfileData data = document.Read();
        benchmark::DoNotOptimize(data);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * SnapshotBytes().size()));
}

// Includes the flush to disk that makes the replacement durable.
void BM_DocumentWrite(benchmark::State& state) {
    BenchFolder folder;
    const ProfileDocument document("snapshot.txt");
    for (auto _ : state) {
        if (!document.Write(Snapshot())) {
            state.SkipWithError("write failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * SnapshotBytes().size()));
}

BENCHMARK(BM_ParseProfile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InihParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormatProfile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DocumentRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DocumentWrite)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Both parsers must build the same map from the same bytes, or the
    // comparison means nothing.
    const std::string& bytes = SnapshotBytes();
    if (ParseProfile(bytes) != Snapshot() || ParseWithInih(bytes) != Snapshot().sections()) {
        std::fprintf(stderr, "the parsers disagree on the snapshot\n");
        return 1;
    }
    std::printf("snapshot: %d sections, %zu bytes; both parsers give the same map\n", kWindows,
                bytes.size());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
