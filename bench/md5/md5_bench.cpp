// MD5OfFile against md5sum on the same 1 GiB file, in the same run: throughput of each, their
// ratio (target: at least 0.9 of md5sum) and the process's peak RSS before and after hashing,
// which must not grow with the file (the file is hashed as a stream).
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/helpers.h"
#include "platform/text_encoding.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint64_t kFileBytes = 1ull << 30;
constexpr int kRounds = 3;

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool WriteRandomFile(const fs::path& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::mt19937_64 random(20261207);
    std::vector<uint64_t> block(1 << 19);  // 4 MiB
    for (uint64_t written = 0; written < kFileBytes; written += block.size() * 8) {
        for (uint64_t& word : block) {
            word = random();
        }
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(block.size() * 8));
    }
    return static_cast<bool>(out);
}

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main() {
    fs::path dir = fs::temp_directory_path() / ("songdeck_bench_md5_" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::path file = dir / "payload.bin";
    if (!WriteRandomFile(file)) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return 1;
    }
    std::wstring widePath = Utf8ToWide(file.string());
    std::string command = "md5sum '" + file.string() + "' > " + (dir / "md5sum.txt").string();

    // Warm the page cache so that both sides hash from memory, then keep each side's best round.
    long rssBefore = PeakRssKiB();
    MD5OfFile(widePath.c_str());
    double best_reference = 1e9;
    double best_ours = 1e9;
    std::wstring digest;
    for (int round = 0; round < kRounds; ++round) {
        Clock::time_point start = Clock::now();
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "md5sum failed\n");
            return 1;
        }
        best_reference = std::min(best_reference, Seconds(start));
        start = Clock::now();
        digest = MD5OfFile(widePath.c_str());
        best_ours = std::min(best_ours, Seconds(start));
    }
    long rssAfter = PeakRssKiB();

    std::string reference;
    std::ifstream(dir / "md5sum.txt") >> reference;
    bool same = WideToUtf8(digest) == reference;
    fs::remove_all(dir);

    double mib = static_cast<double>(kFileBytes) / (1024.0 * 1024.0);
    std::printf("md5: file %.0f MiB, best of %d rounds\n", mib, kRounds);
    std::printf("md5sum      %8.1f MiB/s\n", mib / best_reference);
    std::printf("MD5OfFile   %8.1f MiB/s\n", mib / best_ours);
    std::printf("ratio       %8.2f (target >= 0.90)\n", best_reference / best_ours);
    std::printf("peak RSS    %ld KiB before hashing, %ld KiB after (growth %ld KiB)\n", rssBefore,
                rssAfter, rssAfter - rssBefore);
    std::printf("digests %s\n", same ? "agree" : "DIFFER");
    return same ? 0 : 1;
}
