// Fuzz target: a texture image read by Image<unsigned char>::read, then resampled to 8 x 8 as
// the texture upload resamples it (which reads every pixel of the image read).
#include <cstddef>
#include <cstdint>

#include "platform/image/image.h"
#include "tests/fuzz/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFile file(data, size, "texture");
    lumo::Image<unsigned char> image;
    image.read(file.path());
    image.resize(8, 8);
    return 0;
}
