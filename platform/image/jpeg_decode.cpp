// JPEG decoding on libjpeg-turbo. Its error manager leaves by longjmp back to the last setjmp:
// the two functions that call setjmp hold no object with a destructor, and everything that must
// outlive a jump lives in a JpegReader in the frame of decodeJpeg, which no jump crosses.
#include "platform/image/image_decode.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>

namespace lumo {
namespace imagefile {

namespace {

// More scans than any encoder writes; each scan walks the whole image, so a file of thousands
// of tiny scans would take minutes.
constexpr int kMaxScans = 100;

struct JpegReader {
    jpeg_decompress_struct cinfo{};  // all zero, so destroying it before creation is harmless
    jpeg_error_mgr err{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump;
    char why[JMSG_LENGTH_MAX + 16] = "";  // the message of the error that stopped decoding

    JpegReader() = default;
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;
    ~JpegReader() { jpeg_destroy_decompress(&cinfo); }
};

[[noreturn]] void jpegFail(j_common_ptr cinfo) {
    JpegReader* r = static_cast<JpegReader*>(cinfo->client_data);
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    std::snprintf(r->why, sizeof r->why, "JPEG: %s", message);
    std::longjmp(r->jump, 1);
}

// Level -1 is a warning about damaged data (a truncated file, a corrupt entropy segment), which
// libjpeg would otherwise paper over with grey pixels: refused like an error. Higher levels are
// trace messages, ignored.
void jpegMessage(j_common_ptr cinfo, int level) {
    if (level < 0) jpegFail(cinfo);
}

void jpegSilent(j_common_ptr) {}

void jpegProgress(j_common_ptr cinfo) {
    j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number <= kMaxScans) return;
    JpegReader* r = static_cast<JpegReader*>(cinfo->client_data);
    std::snprintf(r->why, sizeof r->why, "JPEG: more than %d scans", kMaxScans);
    std::longjmp(r->jump, 1);
}

// Creates the decompressor and reads the markers up to the first scan; output is 8-bit grey for a
// grey file and RGB for any other.
bool jpegReadHeader(JpegReader* r, FILE* f) {
    if (setjmp(r->jump)) return false;
    jpeg_create_decompress(&r->cinfo);  // clears every field but err and client_data
    r->cinfo.progress = &r->progress;
    r->cinfo.mem->max_memory_to_use = kMaxSide * kMaxSide * 4;
    jpeg_stdio_src(&r->cinfo, f);
    jpeg_read_header(&r->cinfo, TRUE);
    r->cinfo.out_color_space = r->cinfo.jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_calc_output_dimensions(&r->cinfo);
    return true;
}

// Decodes every row into pixels (h rows of stride bytes), then reads up to the end marker.
bool jpegReadPixels(JpegReader* r, unsigned char* pixels, size_t stride, unsigned h) {
    if (setjmp(r->jump)) return false;
    jpeg_start_decompress(&r->cinfo);
    const jpeg_decompress_struct& c = r->cinfo;
    if (size_t(c.output_width) * size_t(c.output_components) != stride || c.output_height != h) {
        std::snprintf(r->why, sizeof r->why, "JPEG: output size changed while decoding");
        return false;
    }
    while (r->cinfo.output_scanline < r->cinfo.output_height) {
        JSAMPROW row = pixels + size_t(r->cinfo.output_scanline) * stride;
        jpeg_read_scanlines(&r->cinfo, &row, 1);
    }
    jpeg_finish_decompress(&r->cinfo);
    return true;
}

}  // namespace

bool decodeJpeg(FILE* f, Image<unsigned char>& img, std::string& why) {
    img = Image<unsigned char>();
    JpegReader r;
    r.cinfo.err = jpeg_std_error(&r.err);
    r.err.error_exit = jpegFail;
    r.err.emit_message = jpegMessage;
    r.err.output_message = jpegSilent;
    r.cinfo.client_data = &r;
    r.progress.progress_monitor = jpegProgress;
    if (!jpegReadHeader(&r, f)) {
        why = r.why;
        return false;
    }
    const jpeg_decompress_struct& c = r.cinfo;
    if (!allocateDecoded(img, long(c.output_width), long(c.output_height), c.output_components,
                         "JPEG", why))
        return false;
    if (!jpegReadPixels(&r, img.data, size_t(img.w) * size_t(img.nchannels), unsigned(img.h))) {
        img = Image<unsigned char>();
        why = r.why;
        return false;
    }
    return true;
}

}  // namespace imagefile
}  // namespace lumo
