// lumo::Image: layout, copies, reading, resampling, format tables, power-of-two mode (no GL).
#include "platform/image/image.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <string>

#include "tests/support/Capture.h"
#include "tests/support/TempFile.h"

using lumo::Image;

TEST(Image, ZeroFilledAndAssignmentOutlivesItsSource) {
    Image<unsigned int> target(1, 1, 1);
    {
        Image<unsigned int> source(4, 3, 1);
        for (int i = 0; i < 12; ++i) EXPECT_EQ(source.data[i], 0u);  // new images are zero-filled
        for (int i = 0; i < 12; ++i) source.data[i] = 0xFFFFFFF0u + i;
        target = source;
    }  // the target outlives its source
    Image<unsigned int>& alias = target;
    target = alias;  // self-assignment keeps the pixels
    ASSERT_TRUE(target.w == 4 && target.h == 3 && target.nchannels == 1);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(target.data[i], 0xFFFFFFF0u + i);
    EXPECT_EQ(Image<unsigned char>(-3, 4, 1).size(), 0u);  // nonsense sizes give an empty image
}

// PNG of every channel count, top row first; then a JPEG, read by its content under a .png name.
TEST(Image, ReadsPngAndJpegByContent) {
    const testsupport::TempFile file("image.png");
    Image<unsigned char> img;
    for (int n = 1; n <= 4; ++n) {
        unsigned char pixels[24];  // 3 x 2: channel c of pixel k = 40k + c
        for (int i = 0; i < 6 * n; ++i) pixels[i] = 40 * (i / n) + i % n;
        ASSERT_TRUE(stbi_write_png(file.c_str(), 3, 2, n, pixels, 3 * n));
        EXPECT_TRUE(img.read(file.c_str()));
        ASSERT_TRUE(img.w == 3 && img.h == 2 && img.nchannels == n) << n;
        EXPECT_EQ(std::string(img.data, img.data + 6 * n), std::string(pixels, pixels + 6 * n));
    }
    unsigned char pixels[8 * 8 * 3];
    for (int i = 0; i < 8 * 8 * 3; ++i) pixels[i] = i % 3 == 0 ? 200 : i % 3 == 1 ? 100 : 50;
    ASSERT_TRUE(stbi_write_jpg(file.c_str(), 8, 8, 3, pixels, 100));
    EXPECT_TRUE(img.read(file.c_str()));
    ASSERT_TRUE(img.w == 8 && img.h == 8 && img.nchannels == 3);
    // 3: a flat colour survives quality-100 quantisation and the YCbCr round trip to +-2.
    for (int i = 0; i < 8 * 8 * 3; ++i) EXPECT_NEAR(img.data[i], pixels[i], 3) << i;
}

// Missing, unsupported, damaged, hostile and unnamed files: one line saying why, no pixels.
TEST(Image, RefusesBadFilesWithOneLineAndNoPixels) {
    const char* cases[][2] = {
        {"/nonexistent/dir/missing.png", "No such file or directory"},
        {"tests/data/bad/img_huffman_472.jpg", "JPEG: Premature end of JPEG file"},
        {"tests/data/bad/img_huffman_472_whole.jpg", "JPEG: Bogus Huffman table definition"},
        {"tests/data/bad/img_truncated.jpg", "JPEG: Premature end of JPEG file"},
        {"tests/data/bad/img_huge.jpg",
         "JPEG image of 20000 x 20000 pixels is larger than 16384 x 16384"},
        {"tests/data/bad/img_128_scans.jpg", "JPEG: more than 100 scans"},
        {"tests/data/bad/img_truncated.png", "PNG: Read Error"},
        {"tests/data/bad/img_huge.png",
         "PNG image of 46340 x 46340 pixels is larger than 16384 x 16384"},
        {"tests/data/bad/img_rle_loop.hdr", "not a PNG or JPEG file"},
        {"tests/data/bad/img_truncated.tga", "not a PNG or JPEG file"},
        {"tests/data/bad/img_huge.gif", "not a PNG or JPEG file"},
        {"tests/data/bad/img_width_10_digits.ppm", "not a PNG or JPEG file"},
        {nullptr, nullptr},
    };
    for (const auto& c : cases) {
        Image<unsigned char> img(2, 2, 3);
        const std::string want = c[0] ? std::string("cannot read \"") + c[0] + "\": " + c[1]
                                      : "cannot read a file without a name";
        EXPECT_EQ(testsupport::captureStderr([&] { EXPECT_FALSE(img.read(c[0])); }),
                  "Image: " + want + "\n");
        EXPECT_TRUE(img.w == 0 && img.h == 0 && img.nchannels == 0 && !img.data) << want;
    }
}

TEST(Image, ResizeKeepsChannelsAndConstantContent) {
    Image<unsigned char> bytes(100, 64, 4);
    for (size_t i = 0; i < bytes.size(); ++i) bytes.data[i] = (i % 4 == 3) ? 255 : 90;
    Image<unsigned char> big = bytes.resize(128, 64);
    ASSERT_TRUE(big.w == 128 && big.h == 64 && big.nchannels == 4);
    for (size_t i = 0; i < big.size(); ++i) ASSERT_EQ(big.data[i], (i % 4 == 3) ? 255 : 90) << i;
    Image<float> floats(5, 3, 1);
    for (int i = 0; i < 15; ++i) floats.data[i] = 0.25f;
    EXPECT_NEAR(floats.resize(2, 7).data[13], 0.25f, 1e-6f);  // the weights sum to 1 in float
    Image<unsigned int> ramp(2, 1, 1);  // bilinear: 0, 100 upsampled stays monotone, in range
    ramp.data[1] = 100;
    Image<unsigned int> wide = ramp.resize(4, 1);
    EXPECT_TRUE(wide.data[0] == 0u && wide.data[1] <= wide.data[2] && wide.data[3] == 100u);
    EXPECT_EQ(Image<unsigned char>().resize(8, 8).size(), 0u);
}

TEST(Image, FormatTablesAndPow2Mode) {
    const GLenum formats[] = {0, GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_RGB, GL_RGBA, 0};
    for (int n = 0; n <= 5; ++n) EXPECT_EQ(lumo::channelToGL(n), formats[n]) << n;
    EXPECT_EQ(lumo::typeToGL<unsigned short>(), GLenum(GL_UNSIGNED_SHORT));
    EXPECT_EQ(testsupport::captureStderr([] { EXPECT_EQ(lumo::typeToGL<double>(), 0u); }),
              "Unhandled type in typeToGL()\n");
    EXPECT_EQ(int(lumo::imageGetPow2Mode()), -1);  // undecided until set
    lumo::imageSetPow2Mode(lumo::IMAGE_POW2_OFF);
    EXPECT_EQ(lumo::imageGetPow2Mode(), lumo::IMAGE_POW2_OFF);
}
