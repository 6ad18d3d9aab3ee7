// TexFontData on the shipped Vera font: glyph atlas, size factors as the text height, drawing
// extent, newlines, pen position, failure and texture ownership.
#include "platform/texfont/texfont.h"
#include "tests/support/gl/GLTestWindow.h"

#include <string>

namespace {

class TexFontDraw : public GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        glMatrixMode(GL_PROJECTION);
        glOrtho(0, GLTestWindow::kWidth, 0, GLTestWindow::kHeight, -1, 1);
        glMatrixMode(GL_MODELVIEW);
    }
};

// Rows (bottom-up window y) that hold any non-black pixel: first and last, -1 when none.
std::pair<int, int> inkRows() {
    lumo::Image<unsigned char> img = GLTestWindow::get().readPixels();
    int lo = -1, hi = -1;
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            const unsigned char* p = img.data + 4 * (y * img.w + x);
            if (p[0] || p[1] || p[2]) {
                if (lo < 0) lo = y;
                hi = y;
                break;
            }
        }
    return {lo, hi};
}

}  // namespace

TEST_F(TexFontDraw, ConstructionMakesATextureNameAndDefaults) {
    GLuint name;
    {
        TexFontData data;
        EXPECT_NE(data.texture, 0u);
        EXPECT_EQ(data.pointSize, 12);
        EXPECT_EQ(data.sizeFactorA, 1.0f);
        EXPECT_EQ(data.sizeFactorB, 1.0f);
        EXPECT_EQ(data.lineSpacing, 1.0f);
        EXPECT_EQ(data.letterSpacing, 1.0f);
        EXPECT_TRUE(data.glyphs.empty());
        name = data.texture;
        ASSERT_TRUE(data.init(GLTestWindow::repoPath("fonts/Vera.ttf").c_str(), 12));
        EXPECT_TRUE(glIsTexture(name));
    }
    EXPECT_FALSE(glIsTexture(name));  // the destructor deleted it
}

TEST_F(TexFontDraw, InitRasterisesPrintableAsciiIntoTheTexture) {
    TexFontData data;
    ASSERT_TRUE(data.init(GLTestWindow::repoPath("fonts/Vera.ttf").c_str(), 12));
    EXPECT_EQ(data.pointSize, 12);
    ASSERT_EQ(data.glyphs.size(), size_t(TexFontData::lastChar - TexFontData::firstChar + 1));
    // Vera's ascent + descent is about 1.16 em: 12 px gives a line of 13 to 15 texels.
    EXPECT_GE(data.sizeFactorA * data.sizeFactorB, 13.0f);
    EXPECT_LE(data.sizeFactorA * data.sizeFactorB, 15.0f);
    const TexFontData::Glyph& space = data.glyphs[' ' - TexFontData::firstChar];
    const TexFontData::Glyph& m = data.glyphs['M' - TexFontData::firstChar];
    EXPECT_GT(space.advance, 0.0f);
    EXPECT_GT(m.width, 0);
    EXPECT_GT(m.height, 6);
    EXPECT_LE(m.atlasX + m.width, data.atlasWidth);
    EXPECT_LE(m.atlasY + m.height, data.atlasHeight);

    glBindTexture(GL_TEXTURE_2D, data.texture);
    GLint w = 0, h = 0, fmt = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &fmt);
    EXPECT_EQ(w, data.atlasWidth);
    EXPECT_EQ(h, data.atlasHeight);
    EXPECT_EQ(fmt, 8);
    glBindTexture(GL_TEXTURE_2D, 0);
}

TEST_F(TexFontDraw, DrawnTextFitsTheSizeFactorHeightAndMovesThePen) {
    TexFontData data;
    ASSERT_TRUE(data.init(GLTestWindow::repoPath("fonts/Vera.ttf").c_str(), 12));
    float x = 50, y = 200;
    float width = data.drawString("Hgjy|", x, y, 1, 1, -1, -1);
    EXPECT_GT(width, 20.0f);
    EXPECT_FLOAT_EQ(x, 50 + width);
    EXPECT_EQ(y, 200.0f);
    auto rows = inkRows();
    ASSERT_GE(rows.first, 0);
    // Glyphs reach from below the baseline to near the ascent, within one line height
    // (plus one row of partial coverage at each edge).
    float line = data.sizeFactorA * data.sizeFactorB;
    EXPECT_LE(rows.second - rows.first + 1, line + 2);
    EXPECT_GE(rows.second - rows.first + 1, 0.7f * line);
    EXPECT_LT(rows.first, 200);   // descenders
    EXPECT_GE(rows.second, 205);  // capitals

    // Doubling the vertical scale doubles the height.
    GLTestWindow::get().reset();
    glMatrixMode(GL_PROJECTION);
    glOrtho(0, GLTestWindow::kWidth, 0, GLTestWindow::kHeight, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    x = 50;
    y = 200;
    data.drawString("Hgjy|", x, y, 1, 2, -1, -1);
    auto tall = inkRows();
    int h1 = rows.second - rows.first + 1, h2 = tall.second - tall.first + 1;
    EXPECT_NEAR(h2, 2 * h1, 3);  // a few rows of edge coverage
}

TEST_F(TexFontDraw, NewlineStartsALineBelowAndUnknownCharactersAreSkipped) {
    TexFontData data;
    ASSERT_TRUE(data.init(GLTestWindow::repoPath("fonts/Vera.ttf").c_str(), 12));
    float x = 10, y = 300;
    float width = data.drawString("AB\nA\x01\xff", x, y, 1, 1, -1, -1);
    EXPECT_FLOAT_EQ(y, 300 - data.sizeFactorA * data.sizeFactorB * data.lineSpacing);
    float a = data.glyphs['A' - TexFontData::firstChar].advance;
    float b = data.glyphs['B' - TexFontData::firstChar].advance;
    EXPECT_FLOAT_EQ(x, 10 + a);
    EXPECT_FLOAT_EQ(width, a + b);  // the longer line
    auto rows = inkRows();
    EXPECT_LT(rows.first, 300 - 5);
}

TEST_F(TexFontDraw, MissingFileOrBadSizeFailsCleanly) {
    TexFontData data;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(data.init("fonts/missing.ttf", 12));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("\"fonts/missing.ttf\""), std::string::npos) << err;
    EXPECT_TRUE(data.glyphs.empty());
    EXPECT_EQ(data.sizeFactorA, 1.0f);
    float x = 5, y = 5;
    EXPECT_EQ(data.drawString("text", x, y, 1, 1, -1, -1), 0.0f);
    EXPECT_EQ(GLTestWindow::get().countDiffering({0, 0, 0}), 0);

    testing::internal::CaptureStderr();
    EXPECT_FALSE(data.init(GLTestWindow::repoPath("fonts/Vera.ttf").c_str(), 0));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("size 0"), std::string::npos);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(
        data.init(GLTestWindow::repoPath("fonts/Vera-LICENSE.txt").c_str(), 12));  // not a font
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
}

TEST_F(TexFontDraw, DrawingLeavesTheCallersStateAlone) {
    TexFontData data;
    ASSERT_TRUE(data.init(GLTestWindow::repoPath("fonts/Vera.ttf").c_str(), 12));
    glEnable(GL_LIGHTING);
    float x = 5, y = 5;
    data.drawString("state", x, y, 1, 1, -1, -1);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    glDisable(GL_LIGHTING);
}
