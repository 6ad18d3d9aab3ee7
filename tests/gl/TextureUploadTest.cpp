// Image<unsigned char>::initTexture in a real GL context: placeholder, power-of-two decision and
// resizing, parameters, formats and row alignment, read back with glGetTexImage.
#include "platform/image/image.h"
#include "tests/support/gl/GLTestWindow.h"

#include <cstdlib>
#include <string>
#include <vector>

using lumo::Image;

namespace {

class TextureUpload : public GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        lumo::imageSetPow2Mode(lumo::IMAGE_POW2_UNDECIDED);  // as at the start of a process
        glGenTextures(1, &tex_);
        glBindTexture(GL_TEXTURE_2D, tex_);
    }
    void TearDown() override {
        glBindTexture(GL_TEXTURE_2D, 0);
        glDeleteTextures(1, &tex_);
    }
    GLint level0(GLenum param) {
        GLint v = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, param, &v);
        return v;
    }
    GLint texParam(GLenum param) {
        GLint v = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, param, &v);
        return v;
    }
    // The bound texture's level 0 as tightly packed bytes of the given format.
    std::vector<unsigned char> bytes(GLenum format, int channels) {
        std::vector<unsigned char> out(size_t(level0(GL_TEXTURE_WIDTH)) *
                                       level0(GL_TEXTURE_HEIGHT) * channels);
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

}  // namespace

TEST_F(TextureUpload, EmptyImageUploadsTheEightByEightPlaceholder) {
    lumo::imageSetPow2Mode(lumo::IMAGE_POW2_OFF);
    Image<unsigned char>(0, 0, 0).initTexture(GL_REPLACE);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 8);
    EXPECT_EQ(level0(GL_TEXTURE_HEIGHT), 8);
    EXPECT_EQ(level0(GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
    GLint env = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    EXPECT_EQ(env, GL_MODULATE);  // whatever mode the caller asked for

    std::vector<unsigned char> b = bytes(GL_RGB, 3);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const unsigned char* p = &b[(y * 8 + x) * 3];
            EXPECT_EQ(p[0], (x + y) % 2);
            EXPECT_EQ(p[1], (x + y + 1) % 2);
            EXPECT_EQ(p[2], ((x * y) % 2 + x) % 2);
        }
}

TEST_F(TextureUpload, FirstUploadDecidesThePow2ModeFromTheExtensions) {
    ASSERT_EQ(lumo::imageGetPow2Mode(), lumo::IMAGE_POW2_UNDECIDED);
    std::string ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    bool npot = ext.find("texture_non_power_of_two") != std::string::npos;

    testing::internal::CaptureStderr();
    pattern(4, 4, 3).initTexture(GL_MODULATE);
    pattern(4, 4, 3).initTexture(GL_MODULATE);  // decided once: one note only
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(lumo::imageGetPow2Mode(), npot ? lumo::IMAGE_POW2_OFF : lumo::IMAGE_POW2_ON);
    EXPECT_EQ(err,
              std::string("NOTE: image pow2 mode has been set: ") + (npot ? "off" : "on") + "\n");
}

TEST_F(TextureUpload, EmptyImageStillDecidesTheMode) {
    // The placeholder is 8 x 8, but it still goes through the decision.
    testing::internal::CaptureStderr();
    Image<unsigned char>().initTexture(GL_MODULATE);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(lumo::imageGetPow2Mode(), lumo::IMAGE_POW2_UNDECIDED);
    EXPECT_EQ(err.rfind("NOTE: image pow2 mode has been set: ", 0), 0u) << err;
}

TEST_F(TextureUpload, Pow2ModeOnResizesToTheNextPowersOfTwo) {
    lumo::imageSetPow2Mode(lumo::IMAGE_POW2_ON);
    Image<unsigned char> img = pattern(100, 64, 3);
    testing::internal::CaptureStderr();
    img.initTexture(GL_MODULATE);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // mode already set: no note
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 128);
    EXPECT_EQ(level0(GL_TEXTURE_HEIGHT), 64);
    Image<unsigned char> resized = img.resize(128, 64);
    std::vector<unsigned char> expected(resized.data, resized.data + resized.size());
    EXPECT_EQ(bytes(GL_RGB, 3), expected);
    EXPECT_EQ(img.w, 100);  // the image itself is untouched

    Image<unsigned char> square = pattern(64, 64, 3);
    square.initTexture(GL_MODULATE);
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 64);
    EXPECT_EQ(bytes(GL_RGB, 3), std::vector<unsigned char>(square.data, square.data + 64 * 64 * 3));

    pattern(1, 3, 1).initTexture(GL_MODULATE);
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(level0(GL_TEXTURE_HEIGHT), 4);
}

TEST_F(TextureUpload, Pow2ModeOffUploadsUnchangedWithAlignmentOne) {
    lumo::imageSetPow2Mode(lumo::IMAGE_POW2_OFF);
    Image<unsigned char> img = pattern(100, 64, 3);
    img.initTexture(GL_DECAL);
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 100);
    EXPECT_EQ(level0(GL_TEXTURE_HEIGHT), 64);
    EXPECT_EQ(bytes(GL_RGB, 3), std::vector<unsigned char>(img.data, img.data + img.size()));
    GLint env = 0, align = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &align);
    EXPECT_EQ(env, GL_DECAL);
    EXPECT_EQ(align, 1);
    EXPECT_EQ(texParam(GL_TEXTURE_WRAP_S), GL_CLAMP);
    EXPECT_EQ(texParam(GL_TEXTURE_WRAP_T), GL_CLAMP);
    EXPECT_EQ(texParam(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(texParam(GL_TEXTURE_MIN_FILTER), GL_LINEAR);

    // Rows of 5 RGB bytes are not 4-byte aligned: they still arrive intact.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    Image<unsigned char> odd = pattern(5, 3, 3);
    odd.initTexture(GL_MODULATE);
    EXPECT_EQ(bytes(GL_RGB, 3), std::vector<unsigned char>(odd.data, odd.data + odd.size()));
}

TEST_F(TextureUpload, ChannelCountChoosesTheFormat) {
    lumo::imageSetPow2Mode(lumo::IMAGE_POW2_OFF);
    Image<unsigned char> rgba = pattern(3, 5, 4);
    rgba.initTexture(GL_MODULATE);
    EXPECT_EQ(level0(GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);
    EXPECT_EQ(bytes(GL_RGBA, 4), std::vector<unsigned char>(rgba.data, rgba.data + rgba.size()));

    Image<unsigned char> grey = pattern(7, 3, 1);
    grey.initTexture(GL_MODULATE);
    EXPECT_EQ(level0(GL_TEXTURE_INTERNAL_FORMAT), GL_LUMINANCE);
    EXPECT_EQ(bytes(GL_LUMINANCE, 1), std::vector<unsigned char>(grey.data, grey.data + 21));
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
    testing::internal::CaptureStderr();
    pattern(100, 64, 3).initTexture(GL_MODULATE);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "NOTE: image pow2 mode has been set: on\n");
    EXPECT_EQ(lumo::imageGetPow2Mode(), lumo::IMAGE_POW2_ON);
    GLint w = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    EXPECT_EQ(w, 128);
    glDeleteTextures(1, &tex);
}
