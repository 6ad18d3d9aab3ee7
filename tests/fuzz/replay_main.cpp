// Replays inputs through a fuzz target without libFuzzer: every file named, and every regular file
// under every directory named (recursively, sorted), goes through LLVMFuzzerTestOneInput once. A
// fault ends the process, failing the test; a missing path (no crash directory yet) is skipped.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

static std::vector<fs::path> inputsUnder(const fs::path& root) {
    std::vector<fs::path> files;
    if (fs::is_regular_file(root)) files.push_back(root);
    if (fs::is_directory(root))
        for (const fs::directory_entry& e : fs::recursive_directory_iterator(root))
            if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

int main(int argc, char** argv) {
    int total = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (!fs::exists(argv[i], ec)) {
            fprintf(stderr, "replay: %s does not exist; skipped\n", argv[i]);
            continue;
        }
        for (const fs::path& file : inputsUnder(argv[i])) {
            std::ifstream in(file, std::ios::binary);
            if (!in) {
                fprintf(stderr, "replay: cannot read %s\n", file.c_str());
                return 1;
            }
            std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
            fprintf(stderr, "replay: %s (%zu bytes)\n", file.c_str(), bytes.size());
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++total;
        }
    }
    fprintf(stderr, "replay: %d inputs survived\n", total);
    return 0;
}
