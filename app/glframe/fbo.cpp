// Frame-buffer object creation, power-of-two resizing and binding.
#include "app/glframe/fbo.h"

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <vector>

FBO::FBO() : fb(0), depth(0), stencil(0), color(0), width(0), height(0) {
    glGenFramebuffersEXT(1, &fb);
    glGenRenderbuffersEXT(1, &depth);
    assert(depth);
    glGenTextures(1, &color);
    assert(color);
    assert(fb);
}

void FBO::resize(int w, int h) {
    int pw = 16;
    while (pw < w) pw *= 2;
    int ph = 16;
    while (ph < h) ph *= 2;
    if (pw == width && ph == height) return;

    printf("initializing fbo %d %d\n", pw, ph);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fb);
    if (color) {
        glBindTexture(GL_TEXTURE_2D, color);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
        std::vector<unsigned char> bytes(std::size_t(pw) * ph * 4);
        for (unsigned char& b : bytes) b = static_cast<unsigned char>(rand() & 0xFF);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, pw, ph, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                                  color, 0);
    }
    if (depth) {
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth);
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT, pw, ph);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                     GL_RENDERBUFFER_EXT, depth);
    }
    if (stencil) {
        puts("initing stencil, hasn't worked as of yet");
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, stencil);
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_STENCIL_INDEX, pw, ph);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_STENCIL_ATTACHMENT_EXT,
                                     GL_RENDERBUFFER_EXT, stencil);
    }
    width = pw;
    height = ph;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

void FBO::bind() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fb);
}

void FBO::unbind() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}
