// The file decoders behind Image<unsigned char>::read: one per format (PNG on libpng, JPEG on
// libjpeg-turbo), and the size cap every decoder checks before it allocates pixels.
#pragma once

#include "platform/image/image.h"

#include <cstdio>
#include <string>

namespace lumo {
namespace imagefile {

// Largest width and height read from a file, in pixels: at most 16384 x 16384 x 4 bytes (1 GiB).
constexpr long kMaxSide = 16384;

// Gives img the size w x h x n with storage left uninitialised, for a decoder that writes every
// byte. Refuses (false, reason in why, img unchanged) a side of 0 or above kMaxSide, or n outside
// 1..4, so no size from a file can overflow or ask for more than the cap.
bool allocateDecoded(Image<unsigned char>& img, long w, long h, int n, const char* format,
                     std::string& why);

// Decode the whole file f (positioned at its start) into img, keeping the file's channel count:
// PNG gives 1 (grey), 2 (grey, alpha), 3 (RGB) or 4 (RGBA) channels of 8 bits, palettes expanded
// and 16-bit samples cut to their high byte; JPEG gives 1 (grey) or 3 (RGB). Row 0 is the top row.
// On any error, damage or truncation: false, the reason in why, and img empty (0 x 0).
bool decodePng(FILE* f, Image<unsigned char>& img, std::string& why);
bool decodeJpeg(FILE* f, Image<unsigned char>& img, std::string& why);

}  // namespace imagefile
}  // namespace lumo
