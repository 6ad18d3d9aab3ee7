// Image<unsigned char>::initTexture in a real GL context: placeholder, power-of-two decision and
// resizing, parameters, formats and row alignment, read back with glGetTexImage.
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/image/image.h"
#include "tests/support/Capture.h"
#include "tests/support/gl/GLTestWindow.h"

using lumo::Image;
typedef std::vector<unsigned char> Bytes;

namespace {

class TextureUpload : public GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        lumo::imageSetPow2Mode(lumo::IMAGE_POW2_UNDECIDED);  // as at the start of a process
        glGenTextures(1, &tex_);
        glBindTexture(GL_TEXTURE_2D, tex_);
    }
    void TearDown() override { glDeleteTextures(1, &tex_); }
    GLint level0(GLenum param) {
        GLint v = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, param, &v);
        return v;
    }
    GLint state(GLenum param) {
        GLint v = 0;
        param == GL_TEXTURE_ENV_MODE ? glGetTexEnviv(GL_TEXTURE_ENV, param, &v)
                                     : glGetTexParameteriv(GL_TEXTURE_2D, param, &v);
        return v;
    }
    // The bound texture's level 0 as tightly packed bytes of the given format.
    Bytes bytes(GLenum format, int channels) {
        Bytes out(size_t(level0(GL_TEXTURE_WIDTH)) * level0(GL_TEXTURE_HEIGHT) * channels);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
        return out;
    }
    GLuint tex_ = 0;
};

// An image whose bytes differ everywhere, so a misplaced row shows.
Image<unsigned char> pattern(int w, int h, int n) {
    Image<unsigned char> img(w, h, n);
    for (size_t i = 0; i < img.size(); ++i) img.data[i] = (unsigned char)((i * 7 + i / 13) % 251);
    return img;
}
Bytes bytesOf(const Image<unsigned char>& img) {
    return Bytes(img.data, img.data + img.size());
}
std::string uploadErr(const Image<unsigned char>& img, int envMode) {
    return testsupport::captureStderr([&] { img.initTexture(envMode); });
}

}  // namespace

TEST_F(TextureUpload, PlaceholderWithModulateAndTheOneTimePow2Decision) {
    // The first upload of the process decides the mode from the extension string, once; an
    // empty image still goes through the decision.
    std::string ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    bool npot = ext.find("texture_non_power_of_two") != std::string::npos;
    std::string err = uploadErr(Image<unsigned char>(0, 0, 0), GL_REPLACE);
    err += uploadErr(Image<unsigned char>(), GL_REPLACE);
    EXPECT_EQ(err, std::string("NOTE: image pow2 mode has been set: ") + (npot ? "off\n" : "on\n"));
    EXPECT_EQ(lumo::imageGetPow2Mode(), npot ? lumo::IMAGE_POW2_OFF : lumo::IMAGE_POW2_ON);

    EXPECT_EQ(level0(GL_TEXTURE_WIDTH) * 100 + level0(GL_TEXTURE_HEIGHT), 808);
    EXPECT_EQ(level0(GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
    EXPECT_EQ(state(GL_TEXTURE_ENV_MODE), GL_MODULATE);  // whatever mode the caller asked for
    Bytes b = bytes(GL_RGB, 3);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const unsigned char* p = &b[(y * 8 + x) * 3];
            EXPECT_EQ(p[0], (x + y) % 2);
            EXPECT_EQ(p[1], (x + y + 1) % 2);
            EXPECT_EQ(p[2], ((x * y) % 2 + x) % 2);
        }
}

TEST_F(TextureUpload, Pow2ModeOnResizesToTheNextPowersOfTwo) {
    lumo::imageSetPow2Mode(lumo::IMAGE_POW2_ON);
    Image<unsigned char> img = pattern(100, 64, 3);
    EXPECT_EQ(uploadErr(img, GL_MODULATE), "");  // mode already set: no note
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 128);
    EXPECT_EQ(level0(GL_TEXTURE_HEIGHT), 64);
    EXPECT_EQ(bytes(GL_RGB, 3), bytesOf(img.resize(128, 64)));
    EXPECT_EQ(img.w, 100);  // the image itself is untouched
    Image<unsigned char> square = pattern(64, 64, 3);
    square.initTexture(GL_MODULATE);
    EXPECT_EQ(bytes(GL_RGB, 3), bytesOf(square));
    pattern(1, 3, 1).initTexture(GL_MODULATE);
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH) * 10 + level0(GL_TEXTURE_HEIGHT), 14);
}

TEST_F(TextureUpload, Pow2ModeOffUploadsUnchangedWithParametersFormatsAndAlignmentOne) {
    lumo::imageSetPow2Mode(lumo::IMAGE_POW2_OFF);
    Image<unsigned char> img = pattern(100, 64, 3);
    img.initTexture(GL_DECAL);
    EXPECT_EQ(bytes(GL_RGB, 3), bytesOf(img));
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 100);
    EXPECT_EQ(state(GL_TEXTURE_ENV_MODE), GL_DECAL);
    for (GLenum p : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T}) EXPECT_EQ(state(p), GL_CLAMP);
    for (GLenum p : {GL_TEXTURE_MAG_FILTER, GL_TEXTURE_MIN_FILTER}) EXPECT_EQ(state(p), GL_LINEAR);

    // {width, height, channels, GL format}; odd widths are not 4-byte aligned rows.
    const int cases[][4] = {{5, 3, 3, GL_RGB}, {3, 5, 4, GL_RGBA}, {7, 3, 1, GL_LUMINANCE}};
    for (auto& c : cases) {
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        Image<unsigned char> im = pattern(c[0], c[1], c[2]);
        im.initTexture(GL_MODULATE);
        EXPECT_EQ(level0(GL_TEXTURE_INTERNAL_FORMAT), c[3]);
        EXPECT_EQ(bytes(c[3], c[2]), bytesOf(im)) << c[2] << " channels";
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(TextureUploadWithoutNpot, ModeOnIsChosenAndPrintedWhenTheExtensionIsMissing) {
    // Mesa drops the extension from the string on request; this must happen before the
    // window (and its context) is made, so the test only runs when it comes first in its process.
    setenv("MESA_EXTENSION_OVERRIDE", "-GL_ARB_texture_non_power_of_two", 1);
    GLTestWindow::get().reset();
    std::string ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (ext.find("texture_non_power_of_two") != std::string::npos) {
        GTEST_SKIP() << "the GL context was made before the override";
    }
    ASSERT_EQ(lumo::imageGetPow2Mode(), lumo::IMAGE_POW2_UNDECIDED);
    GLuint tex;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    EXPECT_EQ(uploadErr(pattern(100, 64, 3), GL_MODULATE),
              "NOTE: image pow2 mode has been set: on\n");
    EXPECT_EQ(lumo::imageGetPow2Mode(), lumo::IMAGE_POW2_ON);
    GLint w = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    EXPECT_EQ(w, 128);
    glDeleteTextures(1, &tex);
}
