// Test harness for code that needs a real GL context: one hidden 640 x 480 GLUT window per
// process (double-buffered RGBA with alpha and depth, placed at (0, 0)), state reset and pixel
// read-back. Needs a display: run such tests under `xvfb-run -a`.
#pragma once

#include "platform/image/image.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

class GLTestWindow {
  public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;

    // The window of this process: opened on the first call (glutInit, window, GLEW), its
    // context made current on every call. A test that builds its own GLUT window (and so calls
    // glutInit itself) must not use this in the same process.
    static GLTestWindow& get();

    int windowId() const { return id_; }

    // Absolute path of a file of the source tree, e.g. repoPath("fonts/Vera.ttf"), so tests
    // find data whatever their working directory.
    static std::string repoPath(const char* relative);

    // Puts back the state tests rely on: frame buffer 0 with draw and read buffer GL_BACK,
    // viewport the whole window, identity projection, model-view and texture matrices (so the
    // window spans -1 .. 1 in x and y), lighting, texturing, blending, depth test and culling
    // off, colour (1, 1, 1, 1), clear colour (0, 0, 0, 0), and colour and depth cleared.
    void reset();

    // RGBA bytes of the rectangle read from the back buffer; row 0 is the bottom row
    // (y counts up from the bottom of the window, as in glReadPixels).
    lumo::Image<unsigned char> readPixels(int x = 0, int y = 0, int w = kWidth,
                                          int h = kHeight) const;
    // RGBA of one pixel, (0, 0) at the bottom left.
    std::array<unsigned char, 4> pixel(int x, int y) const;
    // Number of pixels of the whole window whose R, G or B differs from rgb by more than tol.
    int countDiffering(const std::array<unsigned char, 3>& rgb, int tol = 0) const;

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
