// MD5OfFile on a 64 MiB file against md5sum on the same file, best of five runs each.
// Prints the ratio of their times (below 1: MD5OfFile is faster).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/helpers.h"

namespace fs = std::filesystem;

namespace {

template <typename Run>
double BestSeconds(Run run) {
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
        auto start = std::chrono::steady_clock::now();
        run();
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, seconds);
    }
    return best;
}

}  // namespace

int main() {
    fs::path file = fs::temp_directory_path() / ("songdeck-md5-bench-" + std::to_string(getpid()));
    {
        std::vector<char> block(1 << 20);
        for (size_t i = 0; i < block.size(); ++i) {
            block[i] = static_cast<char>(i * 131 + 7);
        }
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < 64; ++i) {
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
    }
    std::wstring path = file.wstring();
    std::wstring digest;
    double ours = BestSeconds([&] { digest = MD5OfFile(path.c_str()); });
    std::string command = "md5sum '" + file.string() + "' > /dev/null";
    int status = 0;
    double reference = BestSeconds([&] { status = std::system(command.c_str()); });
    fs::remove(file);
    if (digest.size() != 32 || status != 0) {
        std::printf("md5_file: measurement failed\n");
        return 1;
    }
    std::printf("md5_file: MD5OfFile %.1f ms, md5sum %.1f ms, ratio %.2f (64 MiB, best of 5)\n",
                ours * 1000, reference * 1000, ours / reference);
    return 0;
}
