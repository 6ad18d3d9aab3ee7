// Replays inputs through a fuzz target without libFuzzer: every file named on the command line,
// and every regular file under every directory named (recursively, sorted by path), goes through
// LLVMFuzzerTestOneInput once. A fault ends the process (an assertion, or a sanitizer report in
// a sanitizer build), which fails the test; reaching the end means every input was survived.
// A path that does not exist is reported and skipped (crash directories are made on demand).
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

namespace {

std::vector<fs::path> inputsUnder(const fs::path& root) {
    std::vector<fs::path> files;
    if (fs::is_regular_file(root)) {
        files.push_back(root);
    } else if (fs::is_directory(root)) {
        for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
            if (e.is_regular_file()) files.push_back(e.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool replay(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fprintf(stderr, "replay: %s (%zu bytes)\n", file.c_str(), bytes.size());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int total = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (!fs::exists(argv[i], ec)) {
            fprintf(stderr, "replay: %s does not exist; skipped\n", argv[i]);
            continue;
        }
        for (const fs::path& file : inputsUnder(argv[i])) {
            if (!replay(file)) {
                fprintf(stderr, "replay: cannot read %s\n", file.c_str());
                return 1;
            }
            ++total;
        }
    }
    fprintf(stderr, "replay: %d inputs survived\n", total);
    return 0;
}
