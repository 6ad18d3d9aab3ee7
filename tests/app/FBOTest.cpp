// The shadow frame buffer: power-of-two sizing from 16 up, the size message, and a complete
// frame buffer with an RGBA colour texture of the rounded size.
#include <GL/glew.h>

#include <string>

#include "app/glframe/fbo.h"
#include "tests/support/Capture.h"
#include "tests/support/gl/GLTestWindow.h"

namespace {

class FBOTest : public GLTest {};

// Resizes and returns what it printed.
std::string resize(FBO& f, int w, int h) {
    return testsupport::captureStdout([&] { f.resize(w, h); });
}

}  // namespace

TEST_F(FBOTest, ResizeRoundsUpToPowersOfTwoOfAtLeastSixteen) {
    FBO f;
    EXPECT_TRUE(f.fb && f.depth && f.color);
    EXPECT_EQ(f.stencil, 0u);
    EXPECT_EQ(f.width + f.height, 0);
    // request w, h -> printed line ("" when the rounded size is the current one)
    const struct {
        int w, h;
        const char* out;
    } steps[] = {{1000, 5, "initializing fbo 1024 16\n"},
                 {1024, 16, ""},
                 {513, 9, ""},
                 {1025, 16, "initializing fbo 2048 16\n"},
                 {16, 17, "initializing fbo 16 32\n"},
                 {1024, 1024, "initializing fbo 1024 1024\n"}};
    for (const auto& st : steps) EXPECT_EQ(resize(f, st.w, st.h), st.out) << st.w << "x" << st.h;
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
