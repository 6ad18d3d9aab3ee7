// lumo::Image storage, copying and resampling (stb_image_resize); reading is in image_read.cpp.
#include "platform/image/image.h"

#include <stb_image_resize.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lumo {

namespace {

// Allocates a zero-filled array for w x h x n elements, or nullptr when that is empty.
template <class T>
T* allocPixels(int w, int h, int n) {
    size_t count = size_t(w) * size_t(h) * size_t(n);
    if (count == 0) return nullptr;
    return new T[count]();
}

// A new array holding a copy of img's pixels, or nullptr when img is empty.
template <class T>
T* clonePixels(const Image<T>& img) {
    T* copy = allocPixels<T>(img.w, img.h, img.nchannels);
    if (copy) std::memcpy(copy, img.data, img.size() * sizeof(T));
    return copy;
}

// Bilinear resample with pixel centres at (i + 0.5) scale, edges clamped. Used for element types
// stb_image_resize has no entry point for.
template <class T>
void bilinear(const T* src, int sw, int sh, T* dst, int dw, int dh, int n) {
    for (int y = 0; y < dh; ++y) {
        double fy = std::clamp((y + 0.5) * sh / dh - 0.5, 0.0, double(sh - 1));
        int y0 = int(fy), y1 = std::min(y0 + 1, sh - 1);
        double ty = fy - y0;
        for (int x = 0; x < dw; ++x) {
            double fx = std::clamp((x + 0.5) * sw / dw - 0.5, 0.0, double(sw - 1));
            int x0 = int(fx), x1 = std::min(x0 + 1, sw - 1);
            double tx = fx - x0;
            for (int c = 0; c < n; ++c) {
                double a = src[(size_t(y0) * sw + x0) * n + c];
                double b = src[(size_t(y0) * sw + x1) * n + c];
                double d = src[(size_t(y1) * sw + x0) * n + c];
                double e = src[(size_t(y1) * sw + x1) * n + c];
                double v = (a * (1 - tx) + b * tx) * (1 - ty) + (d * (1 - tx) + e * tx) * ty;
                dst[(size_t(y) * dw + x) * n + c] =
                    T(std::is_floating_point<T>::value ? v : std::round(v));
            }
        }
    }
}

}  // namespace

template <class T>
Image<T>::Image(int w_, int h_, int nchannels_)
    : data(nullptr), w(std::max(w_, 0)), h(std::max(h_, 0)), nchannels(std::max(nchannels_, 0)) {
    data = allocPixels<T>(w, h, nchannels);
}

template <class T>
Image<T>::Image(const Image& other)
    : data(clonePixels(other)), w(other.w), h(other.h), nchannels(other.nchannels) {}

template <class T>
Image<T>::Image(Image&& other) noexcept
    : data(other.data), w(other.w), h(other.h), nchannels(other.nchannels) {
    other.data = nullptr;
    other.w = other.h = other.nchannels = 0;
}

template <class T>
Image<T>& Image<T>::operator=(const Image& other) {
    if (this == &other) return *this;
    T* copy = clonePixels(other);
    delete[] data;
    data = copy;
    w = other.w;
    h = other.h;
    nchannels = other.nchannels;
    return *this;
}

template <class T>
Image<T>& Image<T>::operator=(Image&& other) noexcept {
    if (this == &other) return *this;
    delete[] data;
    data = other.data;
    w = other.w;
    h = other.h;
    nchannels = other.nchannels;
    other.data = nullptr;
    other.w = other.h = other.nchannels = 0;
    return *this;
}

template <class T>
Image<T>::~Image() {
    delete[] data;
}

template <class T>
Image<T> Image<T>::resize(int nw, int nh) const {
    Image<T> out(nw, nh, nchannels);
    if (out.size() == 0 || size() == 0) return out;
    bilinear(data, w, h, out.data, out.w, out.h, nchannels);
    return out;
}

// unsigned char and float go through stb_image_resize (Mitchell / Catmull-Rom filters).
template <>
Image<unsigned char> Image<unsigned char>::resize(int nw, int nh) const {
    Image<unsigned char> out(nw, nh, nchannels);
    if (out.size() == 0 || size() == 0) return out;
    stbir_resize_uint8(data, w, h, 0, out.data, out.w, out.h, 0, nchannels);
    return out;
}

template <>
Image<float> Image<float>::resize(int nw, int nh) const {
    Image<float> out(nw, nh, nchannels);
    if (out.size() == 0 || size() == 0) return out;
    stbir_resize_float(data, w, h, 0, out.data, out.w, out.h, 0, nchannels);
    return out;
}

template class Image<unsigned char>;
template class Image<unsigned int>;
template class Image<float>;

}  // namespace lumo
