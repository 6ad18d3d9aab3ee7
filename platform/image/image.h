// lumo::Image<T>: an interleaved, row-major image (unsigned char, unsigned int or float pixels),
// its file reading and resampling, the process-wide power-of-two texture mode and texture upload.
#pragma once

#include <GL/glew.h>

#include <cstdio>
#include <type_traits>

namespace lumo {

// Whether textures must be resized to powers of two before upload. Decided by the first upload of
// the process (needs a current GL context) and held from then on.
enum image_pow2mode_t {
    IMAGE_POW2_UNDECIDED = -1,  // no upload has decided it yet
    IMAGE_POW2_ON = 0,          // resize to powers of two (printed as "on")
    IMAGE_POW2_OFF = 1,         // upload at any size (printed as "off")
};

// The process-wide mode; -1 until set.
image_pow2mode_t imageGetPow2Mode();
void imageSetPow2Mode(image_pow2mode_t mode);

// GL pixel format of an image with 0..4 channels: 0, GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_RGB,
// GL_RGBA. Counts outside 0..4 give 0.
inline GLenum channelToGL(int nchannels) {
    static const GLenum table[5] = {0, GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_RGB, GL_RGBA};
    if (nchannels < 0 || nchannels > 4) return 0;
    return table[nchannels];
}

// GL pixel type of the element type T; an unknown type prints a line on stderr and gives 0.
template <class T>
inline GLenum typeToGL() {
    if (std::is_same<T, unsigned char>::value) return GL_UNSIGNED_BYTE;
    if (std::is_same<T, float>::value) return GL_FLOAT;
    if (std::is_same<T, unsigned short>::value) return GL_UNSIGNED_SHORT;
    if (std::is_same<T, unsigned int>::value) return GL_UNSIGNED_INT;
    fprintf(stderr, "Unhandled type in typeToGL()\n");
    return 0;
}

// An image of w x h pixels with nchannels channels each. Channel c of pixel (x, y) is
// data[(y * w + x) * nchannels + c]; row 0 is the first row stored (for images read from files,
// the top row; for GL read-backs, the bottom row). A 0 x 0 image is empty and has data == nullptr.
// Copies own their pixels. New images are zero-filled.
template <class T>
class Image {
  public:
    T* data;
    int w;
    int h;
    int nchannels;

    Image(int w = 0, int h = 0, int nchannels = 0);
    Image(const Image& other);
    Image(Image&& other) noexcept;
    Image& operator=(const Image& other);
    Image& operator=(Image&& other) noexcept;
    virtual ~Image();

    // The pixel array (the texture upload reads pixels through this).
    virtual T* getData() const { return data; }

    // Number of elements in data: w * h * nchannels.
    size_t size() const { return size_t(w) * size_t(h) * size_t(nchannels); }

    // Loads a PNG or JPEG file, recognised by its first bytes, keeping the file's channel count
    // (1 grey, 2 grey + alpha, 3 RGB, 4 RGBA; 8 bits each). Anything else, a damaged or truncated
    // file, or one larger than 16384 x 16384 pixels fails: a line
    // "Image: cannot read \"<path>\": <reason>" on stderr, the image left 0 x 0, false returned.
    // Defined for unsigned char only.
    bool read(const char* path);

    // A new image of nw x nh pixels with the same channel count, resampled (bilinear-class filter).
    Image resize(int nw, int nh) const;

    // Uploads into the texture bound to GL_TEXTURE_2D with the given texture environment mode
    // (e.g. GL_MODULATE): an empty image uploads an 8 x 8 placeholder; in power-of-two mode the
    // image is first resized to the next powers of two. Defined for unsigned char only.
    void initTexture(int envMode) const;
};

template <>
bool Image<unsigned char>::read(const char* path);
template <>
void Image<unsigned char>::initTexture(int envMode) const;
template <>
Image<unsigned char> Image<unsigned char>::resize(int nw, int nh) const;
template <>
Image<float> Image<float>::resize(int nw, int nh) const;

extern template class Image<unsigned char>;
extern template class Image<unsigned int>;
extern template class Image<float>;

}  // namespace lumo
