// One hidden 640 x 480 GLUT window per process (double-buffered RGBA, alpha, depth) for tests
// that need a GL context (run under `xvfb-run -a`): state reset and pixel read-back.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "platform/image/image.h"

class GLTestWindow {
  public:
    static constexpr int kWidth = 640, kHeight = 480;

    // The window of this process, opened on the first call; its context made current.
    static GLTestWindow& get();
    // Absolute path of a file of the source tree, e.g. repoPath("fonts/Vera.ttf").
    static std::string repoPath(const char* relative);

    // Frame buffer 0, whole-window viewport, identity matrices (window spans -1 .. 1 in x, y),
    // lighting, texturing, blending, depth test, culling off, white, colour and depth cleared.
    void reset();
    // RGBA of one pixel, (0, 0) at the bottom left.
    std::array<unsigned char, 4> pixel(int x, int y) const;
    // Number of pixels of the whole window whose R, G or B is not 0.
    int inked() const;

  private:
    GLTestWindow();
    int id_ = 0;
};

// Fixture for GL tests: gets the window and resets its state before every test.
class GLTest : public ::testing::Test {
  protected:
    void SetUp() override { GLTestWindow::get().reset(); }
    GLTestWindow& window() { return GLTestWindow::get(); }
};
