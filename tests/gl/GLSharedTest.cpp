// checkFrameBufferStatus: silent for complete frame buffers, one stderr line otherwise.
#include <string>

#include "platform/glshared/glshared.h"
#include "tests/support/Capture.h"
#include "tests/support/gl/GLTestWindow.h"

TEST_F(GLTest, FrameBufferStatusIsSilentWhenCompleteAndOneLineOtherwise) {
    GLuint fb, rb;
    glGenFramebuffersEXT(1, &fb);
    glGenRenderbuffersEXT(1, &rb);
    GLenum window = 0, empty = 0, complete = 0;
    std::string err = testsupport::captureStderr([&] {
        window = checkFrameBufferStatus();
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fb);  // no attachment at all
        empty = checkFrameBufferStatus();
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, rb);
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, 64, 64);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT,
                                     GL_RENDERBUFFER_EXT, rb);
        complete = checkFrameBufferStatus();
    });
    EXPECT_EQ(err,
              "Frame buffer status: incomplete (GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT, "
              "0x8cd7)\n");
    EXPECT_EQ(window + complete, 2 * GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));
    EXPECT_EQ(empty, GLenum(GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT));
}
