// A file in the test temporary directory under a name of this process's own (process id and a
// per-process serial number, then the given name, so cases running in parallel never share a
// file), removed at scope exit.
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
    // name ends the file name (give the extension a reader looks at, e.g. "surface.obj"); with
    // text, the file is written at once.
    explicit TempFile(const std::string& name) : path_(uniquePath(name)) {}
    TempFile(const std::string& name, const std::string& text) : TempFile(name) { write(text); }
    ~TempFile() { std::remove(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return path_; }
    const char* c_str() const { return path_.c_str(); }

    // Replaces the file's content with text, byte for byte.
    void write(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }
    // The file's content, byte for byte; empty when it does not exist.
    std::string read() const {
        std::ostringstream ss;
        std::ifstream in(path_, std::ios::binary);
        if (in) ss << in.rdbuf();
        return ss.str();
    }

  private:
    static std::string uniquePath(const std::string& name) {
        static int serial = 0;
        return testing::TempDir() + "tetlab_" + std::to_string(getpid()) + "_" +
               std::to_string(serial++) + "_" + name;
    }
    std::string path_;
};

}  // namespace testsupport
