// PNG decoding on libpng. libpng reports errors by longjmp back to the last setjmp: the two
// functions that call setjmp hold no object with a destructor, and everything that must outlive
// a jump lives in a PngReader in the frame of decodePng, which no jump crosses.
#include "platform/image/image_decode.h"

#include <png.h>

#include <cstdio>

namespace lumo {
namespace imagefile {

namespace {

struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    int passes = 1;      // 7 for an interlaced file (each pass visits every row)
    char why[200] = "";  // the message of the error that stopped decoding

    PngReader() = default;
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
    ~PngReader() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

void pngError(png_structp png, png_const_charp message) {
    PngReader* r = static_cast<PngReader*>(png_get_error_ptr(png));
    std::snprintf(r->why, sizeof r->why, "PNG: %s", message);
    png_longjmp(png, 1);
}

// Warnings concern ancillary data (colour profiles, text, damaged optional chunks) and leave the
// pixels intact: they are not printed.
void pngWarning(png_structp, png_const_charp) {}

// Reads the chunks before the pixel data and asks for 8-bit grey, grey + alpha, RGB or RGBA rows
// without any colour or gamma conversion.
bool pngReadHeader(PngReader* r, FILE* f) {
    if (setjmp(png_jmpbuf(r->png))) return false;
    png_init_io(r->png, f);
    png_read_info(r->png, r->info);
    png_byte type = png_get_color_type(r->png, r->info);
    if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(r->png);
    if (type == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(r->png, r->info) < 8)
        png_set_expand_gray_1_2_4_to_8(r->png);
    if (png_get_valid(r->png, r->info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(r->png);
    png_set_strip_16(r->png);
    r->passes = png_set_interlace_handling(r->png);
    png_read_update_info(r->png, r->info);
    return true;
}

// Reads h rows of stride bytes into pixels, then the chunks after them up to the end marker.
bool pngReadPixels(PngReader* r, unsigned char* pixels, size_t stride, int h) {
    if (setjmp(png_jmpbuf(r->png))) return false;
    for (int pass = 0; pass < r->passes; ++pass)
        for (int y = 0; y < h; ++y) png_read_row(r->png, pixels + size_t(y) * stride, nullptr);
    png_read_end(r->png, nullptr);
    return true;
}

}  // namespace

bool decodePng(FILE* f, Image<unsigned char>& img, std::string& why) {
    img = Image<unsigned char>();
    PngReader r;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, pngError, pngWarning);
    if (r.png) r.info = png_create_info_struct(r.png);
    if (!r.info) {
        why = "PNG: out of memory";
        return false;
    }
    if (!pngReadHeader(&r, f)) {
        why = r.why;
        return false;
    }
    long w = long(png_get_image_width(r.png, r.info));
    long h = long(png_get_image_height(r.png, r.info));
    int n = png_get_channels(r.png, r.info);
    if (!allocateDecoded(img, w, h, n, "PNG", why)) return false;
    size_t stride = size_t(w) * size_t(n);
    if (png_get_rowbytes(r.png, r.info) != stride) {
        img = Image<unsigned char>();
        why = "PNG: unexpected row layout";
        return false;
    }
    if (!pngReadPixels(&r, img.data, stride, img.h)) {
        img = Image<unsigned char>();
        why = r.why;
        return false;
    }
    return true;
}

}  // namespace imagefile
}  // namespace lumo
