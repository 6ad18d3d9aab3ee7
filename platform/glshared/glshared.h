// Frame-buffer diagnostics shared by the GL code.
#pragma once

#include <GL/glew.h>

// Queries the status of the frame buffer bound to GL_FRAMEBUFFER_EXT. When it is not complete,
// prints one line naming the status on stderr. Returns the status (GL_FRAMEBUFFER_COMPLETE_EXT
// when complete). Changes no GL state. Needs GLEW initialised.
GLenum checkFrameBufferStatus();
