// The shadow frame buffer: power-of-two sizing from 16 up, the size message, and a complete
// frame buffer with an RGBA colour texture of the rounded size.
#include <GL/glew.h>

#include <string>

#include "app/glframe/fbo.h"
#include "tests/support/gl/GLTestWindow.h"

namespace {

class FBOTest : public GLTest {};

// Resizes and returns what it printed.
std::string resize(FBO& f, int w, int h) {
    testing::internal::CaptureStdout();
    f.resize(w, h);
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST_F(FBOTest, ConstructorMakesNamesAndNoStorage) {
    FBO f;
    EXPECT_NE(f.fb, 0u);
    EXPECT_NE(f.depth, 0u);
    EXPECT_NE(f.color, 0u);
    EXPECT_EQ(f.stencil, 0u);
    EXPECT_EQ(f.width, 0);
    EXPECT_EQ(f.height, 0);
}

TEST_F(FBOTest, ResizeRoundsUpToPowersOfTwoOfAtLeastSixteen) {
    FBO f;
    EXPECT_EQ(resize(f, 1000, 5), "initializing fbo 1024 16\n");
    EXPECT_EQ(f.width, 1024);
    EXPECT_EQ(f.height, 16);
    // The same rounded size: nothing printed, nothing changed.
    EXPECT_EQ(resize(f, 1024, 16), "");
    EXPECT_EQ(resize(f, 513, 9), "");
    EXPECT_EQ(resize(f, 1025, 16), "initializing fbo 2048 16\n");
    EXPECT_EQ(resize(f, 16, 17), "initializing fbo 16 32\n");
    EXPECT_EQ(resize(f, 1024, 1024), "initializing fbo 1024 1024\n");
    EXPECT_EQ(f.width, 1024);
    EXPECT_EQ(f.height, 1024);
}

TEST_F(FBOTest, ResizedFrameBufferIsCompleteAndDrawable) {
    FBO f;
    resize(f, 100, 60);
    GLint w = 0, h = 0;
    glBindTexture(GL_TEXTURE_2D, f.color);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 64);

    f.bind();
    EXPECT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));
    glViewport(0, 0, 128, 64);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    unsigned char px[4] = {0, 0, 0, 0};
    glReadPixels(5, 5, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    f.unbind();
    glClearColor(0, 0, 0, 0);
    EXPECT_EQ(px[0], 0);
    EXPECT_EQ(px[1], 255);
    // Unbound again: the window's frame buffer.
    GLint bound = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    EXPECT_EQ(bound, 0);
}
