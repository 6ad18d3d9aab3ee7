// Image<unsigned char>::read: opens the file, recognises PNG or JPEG from its first bytes (never
// from the name) and hands it to that format's decoder; anything else is refused.
#include "platform/image/image_decode.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

namespace lumo {

namespace imagefile {

bool allocateDecoded(Image<unsigned char>& img, long w, long h, int n, const char* format,
                     std::string& why) {
    std::string size = std::to_string(w) + " x " + std::to_string(h);
    if (n < 1 || n > 4) {
        why = std::string(format) + " image with " + std::to_string(n) + " channels";
        return false;
    }
    if (w < 1 || h < 1) {
        why = std::string(format) + " image of " + size + " pixels has no pixels";
        return false;
    }
    if (w > kMaxSide || h > kMaxSide) {
        why = std::string(format) + " image of " + size + " pixels is larger than " +
              std::to_string(kMaxSide) + " x " + std::to_string(kMaxSide);
        return false;
    }
    // Default-initialised: pages are only touched as the decoder fills them, so a file that
    // announces a large image and then ends costs little memory.
    unsigned char* pixels = new unsigned char[size_t(w) * size_t(h) * size_t(n)];
    delete[] img.data;
    img.data = pixels;
    img.w = int(w);
    img.h = int(h);
    img.nchannels = n;
    return true;
}

}  // namespace imagefile

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

// The formats read, by their first bytes.
enum class FileKind { png, jpeg, other };

FileKind recognise(const unsigned char* head, size_t n) {
    static const unsigned char png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (n >= 8 && std::memcmp(head, png, 8) == 0) return FileKind::png;
    if (n >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return FileKind::jpeg;
    return FileKind::other;
}

// Decodes path into img (empty on entry); false with the reason in why.
bool decodeFile(const char* path, Image<unsigned char>& img, std::string& why) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file) {
        why = std::strerror(errno);
        return false;
    }
    unsigned char head[8];
    size_t n = std::fread(head, 1, sizeof head, file.get());
    FileKind kind = recognise(head, n);
    if (kind == FileKind::other) {
        why = "not a PNG or JPEG file";
        return false;
    }
    if (std::fseek(file.get(), 0, SEEK_SET) != 0) {
        why = std::strerror(errno);
        return false;
    }
    if (kind == FileKind::png) return imagefile::decodePng(file.get(), img, why);
    return imagefile::decodeJpeg(file.get(), img, why);
}

}  // namespace

template <>
bool Image<unsigned char>::read(const char* path) {
    *this = Image<unsigned char>();  // release the old pixels before decoding the new ones
    if (!path) {
        fprintf(stderr, "Image: cannot read a file without a name\n");
        return false;
    }
    Image<unsigned char> loaded;
    std::string why;
    if (!decodeFile(path, loaded, why)) {
        fprintf(stderr, "Image: cannot read \"%s\": %s\n", path, why.c_str());
        return false;
    }
    *this = std::move(loaded);
    return true;
}

}  // namespace lumo
