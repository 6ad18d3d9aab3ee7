// Texture upload of lumo::Image<unsigned char> and the process-wide power-of-two mode.
#include "platform/image/image.h"

#include <cstring>

namespace lumo {

namespace {
image_pow2mode_t g_pow2Mode = IMAGE_POW2_UNDECIDED;

// Smallest power of two >= n; 1 for n <= 1.
int nextPow2(int n) {
    int p = 1;
    while (p < n && p < (1 << 30)) p <<= 1;
    return p;
}
}  // namespace

image_pow2mode_t imageGetPow2Mode() {
    return g_pow2Mode;
}

void imageSetPow2Mode(image_pow2mode_t mode) {
    g_pow2Mode = mode;
}

template <>
void Image<unsigned char>::initTexture(int envMode) const {
    if (size() == 0) {
        // Placeholder for an image that could not be read (or has no pixels at all, which GL
        // could not take either): 8 x 8 RGB, every byte 0 or 1.
        Image<unsigned char> placeholder(8, 8, 3);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                unsigned char* p = placeholder.data + (y * 8 + x) * 3;
                p[0] = (x + y) % 2;
                p[1] = (x + y + 1) % 2;
                p[2] = ((x * y) % 2 + x) % 2;
            }
        }
        placeholder.initTexture(GL_MODULATE);
        return;
    }
    if (imageGetPow2Mode() == IMAGE_POW2_UNDECIDED) {
        const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        bool npot = ext && std::strstr(ext, "texture_non_power_of_two") != nullptr;
        imageSetPow2Mode(npot ? IMAGE_POW2_OFF : IMAGE_POW2_ON);
        fprintf(stderr, "NOTE: image pow2 mode has been set: %s\n",
                imageGetPow2Mode() == IMAGE_POW2_ON ? "on" : "off");
    }
    if (imageGetPow2Mode() == IMAGE_POW2_ON) {
        int pw = nextPow2(w), ph = nextPow2(h);
        if (pw != w || ph != h) {
            resize(pw, ph).initTexture(envMode);
            return;
        }
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, envMode);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLenum fmt = channelToGL(nchannels);
    glTexImage2D(GL_TEXTURE_2D, 0, fmt, w, h, 0, fmt, typeToGL<unsigned char>(), getData());
}

}  // namespace lumo
