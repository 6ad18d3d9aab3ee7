// Fuzz inputs for readers that take a file name: the bytes go to a temporary file of this
// process, which is removed again when the FuzzFile goes out of scope.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class FuzzFile {
  public:
    // Writes the bytes to <dir>/tetlab-fuzz-<pid>-<name>, dir /dev/shm when it exists (no disk
    // traffic) else the temporary directory. A write failure aborts: nothing would be tested.
    FuzzFile(const uint8_t* data, size_t size, const char* name);
    ~FuzzFile();
    FuzzFile(const FuzzFile&) = delete;
    FuzzFile& operator=(const FuzzFile&) = delete;

    const char* path() const { return path_.c_str(); }

  private:
    std::string path_;
};
