// checkFrameBufferStatus: silent for complete frame buffers, one stderr line otherwise, and no
// change of the binding.
#include <algorithm>
#include <string>

#include "platform/glshared/glshared.h"
#include "tests/support/Capture.h"
#include "tests/support/gl/GLTestWindow.h"

TEST_F(GLTest, FrameBufferStatusIsSilentWhenCompleteAndOneLineOtherwise) {
    GLuint fb, rb;
    glGenFramebuffersEXT(1, &fb);
    glGenRenderbuffersEXT(1, &rb);
    std::string err = testsupport::captureStderr([&] {
        EXPECT_EQ(checkFrameBufferStatus(), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));  // the window's
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fb);  // no attachment at all
        EXPECT_EQ(checkFrameBufferStatus(),
                  GLenum(GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT));
    });
    EXPECT_EQ(err,
              "Frame buffer status: incomplete (GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT, "
              "0x8cd7)\n");

    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, rb);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, 64, 64);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT,
                                 rb);
    EXPECT_EQ(testsupport::captureStderr([&] {
                  EXPECT_EQ(checkFrameBufferStatus(), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));
              }),
              "");
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    EXPECT_EQ(GLuint(bound), fb);  // the binding is left alone
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteRenderbuffersEXT(1, &rb);
    glDeleteFramebuffersEXT(1, &fb);
}
