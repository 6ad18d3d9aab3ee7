// Image<unsigned char>::initTexture in a real GL context, read back with glGetTexImage.
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/image/image.h"
#include "tests/support/Capture.h"
#include "tests/support/gl/GLTestWindow.h"

using Bytes = std::vector<unsigned char>;

namespace {

// An image whose bytes differ everywhere, so a misplaced row shows.
lumo::Image<unsigned char> pattern(int w, int h, int n) {
    lumo::Image<unsigned char> img(w, h, n);
    for (size_t i = 0; i < img.size(); ++i) img.data[i] = (unsigned char)((i * 7 + i / 13) % 251);
    return img;
}

// What uploading img printed; then `size` is level 0's 1000 width + height, `bytes` its texels.
std::string upload(const lumo::Image<unsigned char>& img, int& size, Bytes& bytes) {
    const std::string err = testsupport::captureStderr([&] { img.initTexture(GL_MODULATE); });
    GLint w = 0, h = 0, format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    size = 1000 * w + h;
    bytes.resize(size_t(w) * h * (img.nchannels ? img.nchannels : 3));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, bytes.data());
    return err;
}

}  // namespace

class TextureUpload : public GLTest {};

// The first upload decides the mode from the extensions, once; empty images get the placeholder.
TEST_F(TextureUpload, PlaceholderAndTheOneTimePow2Decision) {
    const std::string ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    const bool npot = ext.find("texture_non_power_of_two") != std::string::npos;
    lumo::imageSetPow2Mode(lumo::IMAGE_POW2_UNDECIDED);  // as at the start of a process
    int size = 0;
    Bytes b;
    std::string err = upload(lumo::Image<unsigned char>(0, 0, 0), size, b);
    EXPECT_EQ(err + upload(lumo::Image<unsigned char>(), size, b),
              std::string("NOTE: image pow2 mode has been set: ") + (npot ? "off\n" : "on\n"));
    EXPECT_EQ(lumo::imageGetPow2Mode(), npot ? lumo::IMAGE_POW2_OFF : lumo::IMAGE_POW2_ON);
    ASSERT_EQ(size, 8008);
    for (int i = 0, x = 0, y = 0; i < 64; ++i, x = i % 8, y = i / 8)
        EXPECT_EQ(b[3 * i] * 100 + b[3 * i + 1] * 10 + b[3 * i + 2],
                  (x + y) % 2 * 100 + (x + y + 1) % 2 * 10 + ((x * y) % 2 + x) % 2);
}

// Mode on resizes to powers of two; mode off uploads unchanged; each channel count; odd rows.
TEST_F(TextureUpload, Pow2ModesSizesAndFormats) {
    const struct {
        lumo::image_pow2mode_t mode;
        int w, h, n, size;
    } cases[] = {{lumo::IMAGE_POW2_ON, 100, 64, 3, 128064},
                 {lumo::IMAGE_POW2_ON, 1, 3, 1, 1004},
                 {lumo::IMAGE_POW2_OFF, 100, 64, 3, 100064},
                 {lumo::IMAGE_POW2_OFF, 3, 5, 4, 3005},
                 {lumo::IMAGE_POW2_OFF, 7, 3, 1, 7003}};
    for (const auto& c : cases) {
        lumo::imageSetPow2Mode(c.mode);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        const lumo::Image<unsigned char> img = pattern(c.w, c.h, c.n);
        int size = 0;
        Bytes b;
        EXPECT_EQ(upload(img, size, b), "");  // mode already set: no note
        EXPECT_EQ(size, c.size);
        const lumo::Image<unsigned char> want =
            c.mode == lumo::IMAGE_POW2_ON ? img.resize(size / 1000, size % 1000) : img;
        EXPECT_EQ(b, Bytes(want.data, want.data + want.size())) << c.w << " x " << c.h;
    }
}

TEST(TextureUploadWithoutNpot, ModeOnIsChosenAndPrintedWhenTheExtensionIsMissing) {
    // Mesa drops the extension on request, only before the window's context is made.
    setenv("MESA_EXTENSION_OVERRIDE", "-GL_ARB_texture_non_power_of_two", 1);
    GLTestWindow::get().reset();
    const std::string ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (ext.find("texture_non_power_of_two") != std::string::npos)
        GTEST_SKIP() << "the GL context was made before the override";
    int size = 0;
    Bytes b;
    EXPECT_EQ(upload(pattern(100, 64, 3), size, b), "NOTE: image pow2 mode has been set: on\n");
    EXPECT_EQ(size, 128064);
}
