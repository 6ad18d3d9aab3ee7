// FBO: an off-screen frame buffer with an RGBA colour texture and a depth render buffer, sized
// to powers of two.
#pragma once

#include <GL/glew.h>

class FBO {
  public:
    // Generates the frame-buffer, depth render-buffer and colour texture names (asserted
    // non-zero: needs a GL context and the frame-buffer extension). No storage yet.
    FBO();
    // Gives the attachments the size w x h rounded up to powers of two, at least 16 each.
    // Prints "initializing fbo %d %d\n" when the size changes; the same size does nothing.
    // The colour texture starts as bytes taken from rand().
    void resize(int w, int h);
    void bind();    // draws into this frame buffer
    void unbind();  // back to the window

    GLuint fb;       // frame-buffer name
    GLuint depth;    // depth render-buffer name
    GLuint stencil;  // stencil render-buffer name; never created, stays 0
    GLuint color;    // RGBA colour texture name
    int width;       // pixels, a power of two; 0 before the first resize
    int height;      // pixels, a power of two; 0 before the first resize
};
