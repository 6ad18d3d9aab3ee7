// What a call prints: standard output, standard error or both, captured as strings. C stdio and
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

// Runs f and returns both streams it wrote to.
inline Printed capturePrinted(const std::function<void()>& f) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    f();
    std::cout.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    Printed p;
    p.err = testing::internal::GetCapturedStderr();
    p.out = testing::internal::GetCapturedStdout();
    return p;
}

// Runs f and returns what it wrote to standard output (standard error passes through).
inline std::string captureStdout(const std::function<void()>& f) {
    testing::internal::CaptureStdout();
    f();
    std::cout.flush();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// Runs f and returns what it wrote to standard error (standard output passes through).
inline std::string captureStderr(const std::function<void()>& f) {
    testing::internal::CaptureStderr();
    f();
    std::fflush(stderr);
    return testing::internal::GetCapturedStderr();
}

}  // namespace testsupport
