// checkFrameBufferStatus: silent for complete frame buffers, one stderr line otherwise, and no
// change of the binding.
#include "platform/glshared/glshared.h"
#include "tests/support/gl/GLTestWindow.h"

#include <algorithm>
#include <string>

TEST_F(GLTest, CompleteFrameBuffersPassSilently) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(checkFrameBufferStatus(), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));  // the window's

    GLuint fb, rb;
    glGenFramebuffersEXT(1, &fb);
    glGenRenderbuffersEXT(1, &rb);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fb);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, rb);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, 64, 64);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT,
                                 rb);
    EXPECT_EQ(checkFrameBufferStatus(), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    EXPECT_EQ(GLuint(bound), fb);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteRenderbuffersEXT(1, &rb);
    glDeleteFramebuffersEXT(1, &fb);
}

TEST_F(GLTest, IncompleteFrameBufferPrintsOneLine) {
    GLuint fb;
    glGenFramebuffersEXT(1, &fb);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fb);  // no attachment at all
    testing::internal::CaptureStderr();
    EXPECT_EQ(checkFrameBufferStatus(), GLenum(GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    EXPECT_EQ(err.back(), '\n');
    EXPECT_NE(err.find("INCOMPLETE_MISSING_ATTACHMENT"), std::string::npos) << err;
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    EXPECT_EQ(GLuint(bound), fb);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &fb);
}
