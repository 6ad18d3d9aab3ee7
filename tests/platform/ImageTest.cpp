// lumo::Image: storage layout, copies, file reading and resampling, the format tables and the
// power-of-two mode (no GL context needed).
#include "platform/image/image.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <cstdio>
#include <string>
#include <unistd.h>

using lumo::Image;

namespace {
// A file name in /tmp unique to this process, removed by the destructor.
struct TempFile {
    std::string path;
    explicit TempFile(const char* suffix)
        : path("/tmp/imagetest_" + std::to_string(getpid()) + suffix) {}
    ~TempFile() { std::remove(path.c_str()); }
};
}  // namespace

TEST(Image, ConstructionIsZeroFilledAndInterleaved) {
    Image<float> img(3, 2, 4);
    EXPECT_EQ(img.w, 3);
    EXPECT_EQ(img.h, 2);
    EXPECT_EQ(img.nchannels, 4);
    ASSERT_NE(img.data, nullptr);
    for (size_t i = 0; i < img.size(); ++i) EXPECT_EQ(img.data[i], 0.0f);
    EXPECT_EQ(img.getData(), img.data);

    Image<unsigned char> empty(0, 0, 0);
    EXPECT_EQ(empty.w, 0);
    EXPECT_EQ(empty.h, 0);
    EXPECT_EQ(empty.data, nullptr);
    Image<unsigned char> negative(-3, 4, 1);  // nonsense sizes give an empty image
    EXPECT_EQ(negative.size(), 0u);
}

TEST(Image, AssignmentCopiesAndOutlivesTheSource) {
    Image<unsigned int> target(1, 1, 1);
    {
        Image<unsigned int> source(4, 3, 1);
        for (int i = 0; i < 12; ++i) source.data[i] = 0xFFFFFFF0u + i % 16;
        target = source;
        EXPECT_NE(target.data, source.data);
    }
    ASSERT_EQ(target.w, 4);
    ASSERT_EQ(target.h, 3);
    ASSERT_EQ(target.nchannels, 1);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(target.data[i], 0xFFFFFFF0u + i % 16);

    target = target;  // self-assignment keeps the pixels
    EXPECT_EQ(target.data[5], 0xFFFFFFF5u);
    Image<unsigned int> copy(target);
    copy.data[0] = 7;
    EXPECT_EQ(target.data[0], 0xFFFFFFF0u);
}

TEST(Image, ReadsPngWithItsChannelCountTopRowFirst) {
    // 3 x 2 RGB: pixel (x, y) = (10x, 100y, 7).
    unsigned char pixels[18];
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            unsigned char* p = pixels + (y * 3 + x) * 3;
            p[0] = 10 * x;
            p[1] = 100 * y;
            p[2] = 7;
        }
    TempFile file(".png");
    ASSERT_TRUE(stbi_write_png(file.path.c_str(), 3, 2, 3, pixels, 9));

    Image<unsigned char> img;
    EXPECT_TRUE(img.read(file.path.c_str()));
    ASSERT_EQ(img.w, 3);
    ASSERT_EQ(img.h, 2);
    ASSERT_EQ(img.nchannels, 3);
    for (int i = 0; i < 18; ++i) EXPECT_EQ(img.data[i], pixels[i]) << i;
}

TEST(Image, UnreadableFileLeavesEmptyImageAndSaysSo) {
    Image<unsigned char> img(4, 4, 3);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(img.read("/nonexistent/dir/missing.png"));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(img.w, 0);
    EXPECT_EQ(img.h, 0);
    EXPECT_EQ(img.data, nullptr);
    EXPECT_NE(err.find("/nonexistent/dir/missing.png"), std::string::npos) << err;
    EXPECT_EQ(err.back(), '\n');

    TempFile garbage(".png");
    FILE* f = fopen(garbage.path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs("not an image at all", f);
    fclose(f);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(img.read(garbage.path.c_str()));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot read"), std::string::npos);
    EXPECT_EQ(img.size(), 0u);
}

TEST(Image, ResizeKeepsChannelsAndConstantContent) {
    // A constant image must stay constant under any resampling filter.
    Image<unsigned char> bytes(100, 64, 4);
    for (size_t i = 0; i < bytes.size(); ++i) bytes.data[i] = (i % 4 == 3) ? 255 : 90;
    Image<unsigned char> big = bytes.resize(128, 64);
    EXPECT_EQ(big.w, 128);
    EXPECT_EQ(big.h, 64);
    EXPECT_EQ(big.nchannels, 4);
    for (size_t i = 0; i < big.size(); ++i) ASSERT_EQ(big.data[i], (i % 4 == 3) ? 255 : 90) << i;

    Image<float> floats(5, 3, 1);
    for (size_t i = 0; i < floats.size(); ++i) floats.data[i] = 0.25f;
    Image<float> small = floats.resize(2, 7);
    ASSERT_EQ(small.size(), 14u);
    // 1e-6: the filter weights sum to 1 in float arithmetic.
    for (size_t i = 0; i < small.size(); ++i) EXPECT_NEAR(small.data[i], 0.25f, 1e-6f);

    // Unsigned int: bilinear; a horizontal ramp 0, 100 upsampled to 4 stays monotone, in range.
    Image<unsigned int> ramp(2, 1, 1);
    ramp.data[1] = 100;
    Image<unsigned int> wide = ramp.resize(4, 1);
    ASSERT_EQ(wide.size(), 4u);
    EXPECT_EQ(wide.data[0], 0u);
    EXPECT_EQ(wide.data[3], 100u);
    EXPECT_LE(wide.data[1], wide.data[2]);

    EXPECT_EQ(Image<unsigned char>().resize(8, 8).size(), 0u);  // nothing to resample: 8x8x0
}

TEST(Image, FormatTables) {
    EXPECT_EQ(lumo::channelToGL(0), 0u);
    EXPECT_EQ(lumo::channelToGL(1), GLenum(GL_LUMINANCE));
    EXPECT_EQ(lumo::channelToGL(2), GLenum(GL_LUMINANCE_ALPHA));
    EXPECT_EQ(lumo::channelToGL(3), GLenum(GL_RGB));
    EXPECT_EQ(lumo::channelToGL(4), GLenum(GL_RGBA));
    EXPECT_EQ(lumo::channelToGL(5), 0u);

    testing::internal::CaptureStderr();
    EXPECT_EQ(lumo::typeToGL<unsigned char>(), GLenum(GL_UNSIGNED_BYTE));
    EXPECT_EQ(lumo::typeToGL<float>(), GLenum(GL_FLOAT));
    EXPECT_EQ(lumo::typeToGL<unsigned short>(), GLenum(GL_UNSIGNED_SHORT));
    EXPECT_EQ(lumo::typeToGL<unsigned int>(), GLenum(GL_UNSIGNED_INT));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    testing::internal::CaptureStderr();
    EXPECT_EQ(lumo::typeToGL<double>(), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unhandled type in typeToGL()\n");
}

TEST(Image, Pow2ModeStartsUndecidedAndHoldsWhatIsSet) {
    EXPECT_EQ(lumo::imageGetPow2Mode(), lumo::IMAGE_POW2_UNDECIDED);
    EXPECT_EQ(int(lumo::imageGetPow2Mode()), -1);
    lumo::imageSetPow2Mode(lumo::IMAGE_POW2_ON);
    EXPECT_EQ(int(lumo::imageGetPow2Mode()), 0);
    lumo::imageSetPow2Mode(lumo::IMAGE_POW2_OFF);
    EXPECT_EQ(int(lumo::imageGetPow2Mode()), 1);
}
