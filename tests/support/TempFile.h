// A file in the test temporary directory, named by process id, a per-process serial and the
// given name (so parallel cases never share a file), removed at scope exit.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace testsupport {

class TempFile {
  public:
    // name ends the file name (e.g. "surface.obj"); with text, the file is written at once.
    explicit TempFile(const std::string& name)
        : path_(testing::TempDir() + "tetlab_" + std::to_string(getpid()) + "_" +
                std::to_string(serial_++) + "_" + name) {}
    TempFile(const std::string& name, const std::string& text) : TempFile(name) {
        std::ofstream(path_, std::ios::binary) << text;
    }
    ~TempFile() { std::remove(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return path_; }
    const char* c_str() const { return path_.c_str(); }
    // The file's content, byte for byte; empty when it does not exist.
    std::string read() const {
        std::ostringstream ss;
        ss << std::ifstream(path_, std::ios::binary).rdbuf();
        return ss.str();
    }

  private:
    static inline int serial_ = 0;
    std::string path_;
};

}  // namespace testsupport
