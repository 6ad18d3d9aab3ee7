// What a call prints to standard output and standard error, captured as strings. C stdio and
// iostreams both reach the capture; streams are flushed before it ends.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <iostream>
#include <string>

namespace testsupport {

struct Printed {
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs f and returns what it wrote to the streams asked for; the others pass through.
inline Printed capturePrinted(const std::function<void()>& f, bool out = true, bool err = true) {
    if (out) testing::internal::CaptureStdout();
    if (err) testing::internal::CaptureStderr();
    f();
    std::cout.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    Printed p;
    if (err) p.err = testing::internal::GetCapturedStderr();
    if (out) p.out = testing::internal::GetCapturedStdout();
    return p;
}

inline std::string captureStdout(const std::function<void()>& f) {
    return capturePrinted(f, true, false).out;
}
inline std::string captureStderr(const std::function<void()>& f) {
    return capturePrinted(f, false, true).err;
}

}  // namespace testsupport
