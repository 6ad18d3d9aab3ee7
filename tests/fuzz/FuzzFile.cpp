// Temporary files of one process holding a fuzz input.
#include "tests/fuzz/FuzzFile.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

static std::string tempDir() {
    std::error_code ec;
    if (std::filesystem::is_directory("/dev/shm", ec)) return "/dev/shm";
    return std::filesystem::temp_directory_path(ec).string();
}

FuzzFile::FuzzFile(const uint8_t* data, size_t size, const char* name) {
    static const std::string dir = tempDir();
    path_ = dir + "/tetlab-fuzz-" + std::to_string(getpid()) + "-" + name;
    FILE* f = fopen(path_.c_str(), "wb");
    if (!f || (size > 0 && fwrite(data, 1, size, f) != size) || fclose(f) != 0) {
        fprintf(stderr, "fuzz: cannot write the input file %s\n", path_.c_str());
        abort();
    }
}

FuzzFile::~FuzzFile() {
    std::remove(path_.c_str());
}
