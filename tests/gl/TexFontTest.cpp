// TexFontData on the shipped Vera font: glyph atlas, size factors as the text height, drawing
// extent, newlines, pen position, failure and texture ownership.
#include <string>

#include "platform/texfont/texfont.h"
#include "tests/support/Capture.h"
#include "tests/support/gl/GLTestWindow.h"

namespace {

class TexFontDraw : public GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        pixelCoordinates();
        ASSERT_TRUE(font.init(GLTestWindow::repoPath("fonts/Vera.ttf").c_str(), 12));
    }
    // Window pixels as drawing units, (0, 0) at the bottom left.
    static void pixelCoordinates() {
        glMatrixMode(GL_PROJECTION);
        glOrtho(0, GLTestWindow::kWidth, 0, GLTestWindow::kHeight, -1, 1);
        glMatrixMode(GL_MODELVIEW);
    }
    const TexFontData::Glyph& glyph(char c) { return font.glyphs[c - TexFontData::firstChar]; }
    // Height in rows of the ink drawn by one string at (50, 200); the lowest row in `bottom`.
    int inkHeight(const char* text, float scaleY, int* bottom = nullptr) {
        GLTestWindow::get().reset();
        pixelCoordinates();
        float x = 50, y = 200;
        font.drawString(text, x, y, 1, scaleY, -1, -1);
        lumo::Image<unsigned char> img = GLTestWindow::get().readPixels();
        int lo = -1, hi = -1;
        for (int r = 0; r < img.h; ++r)
            for (int c = 0; c < img.w; ++c)
                if (img.data[4 * (r * img.w + c)]) {
                    lo = lo < 0 ? r : lo;
                    hi = r;
                    break;
                }
        if (bottom) *bottom = lo;
        return lo < 0 ? 0 : hi - lo + 1;
    }
    TexFontData font;
};

}  // namespace

TEST_F(TexFontDraw, InitRasterisesPrintableAsciiIntoItsOwnTexture) {
    EXPECT_EQ(font.pointSize, 12);
    ASSERT_EQ(font.glyphs.size(), size_t(TexFontData::lastChar - TexFontData::firstChar + 1));
    // Vera's ascent + descent is about 1.16 em: 12 px gives a line of 13 to 15 texels.
    const float line = font.sizeFactorA * font.sizeFactorB;
    EXPECT_TRUE(line >= 13.0f && line <= 15.0f) << line;
    EXPECT_GT(glyph(' ').advance, 0.0f);
    EXPECT_GT(glyph('M').height, 6);
    EXPECT_LE(glyph('M').atlasX + glyph('M').width, font.atlasWidth);
    glBindTexture(GL_TEXTURE_2D, font.texture);
    GLint w = 0, alpha = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alpha);
    EXPECT_EQ(w, font.atlasWidth);
    EXPECT_EQ(alpha, 8);
    glBindTexture(GL_TEXTURE_2D, 0);

    GLuint name;
    {
        TexFontData other;  // a fresh object makes its own name, deleted with it
        name = other.texture;
        EXPECT_TRUE(name != 0 && name != font.texture && other.glyphs.empty());
    }
    EXPECT_FALSE(glIsTexture(name));  // the destructor deleted it
}

TEST_F(TexFontDraw, TextFitsTheLineHeightAndMovesThePen) {
    float x = 10, y = 300;
    const float width = font.drawString("AB\nA\x01\xff", x, y, 1, 1, -1, -1);
    EXPECT_FLOAT_EQ(y, 300 - font.sizeFactorA * font.sizeFactorB * font.lineSpacing);
    EXPECT_FLOAT_EQ(x, 10 + glyph('A').advance);  // unknown characters are skipped
    EXPECT_FLOAT_EQ(width, glyph('A').advance + glyph('B').advance);  // the longer line

    // Glyphs reach from below the baseline (200) to near the ascent, within one line height
    // plus a row of partial coverage at each edge; doubling the y scale doubles the height.
    const float line = font.sizeFactorA * font.sizeFactorB;
    int bottom = -1;
    const int h1 = inkHeight("Hgjy|", 1, &bottom);
    EXPECT_TRUE(h1 >= 0.7f * line && h1 <= line + 2) << h1;
    EXPECT_LT(bottom, 200);
    EXPECT_GE(bottom + h1, 205);
    EXPECT_NEAR(inkHeight("Hgjy|", 2), 2 * h1, 3);
}

TEST_F(TexFontDraw, DrawingLeavesTheCallersStateAlone) {
    glEnable(GL_LIGHTING);
    float x = 5, y = 5;
    font.drawString("state", x, y, 1, 1, -1, -1);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D) || glIsEnabled(GL_BLEND));
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    glDisable(GL_LIGHTING);
}

TEST_F(TexFontDraw, MissingFileBadSizeOrNotAFontFailCleanly) {
    TexFontData data;
    EXPECT_EQ(testsupport::captureStderr([&] { EXPECT_FALSE(data.init("fonts/missing.ttf", 12)); }),
              "TexFontData: cannot open font \"fonts/missing.ttf\"\n");
    EXPECT_TRUE(data.glyphs.empty());
    float x = 5, y = 5;
    EXPECT_EQ(data.drawString("text", x, y, 1, 1, -1, -1), 0.0f);
    EXPECT_EQ(GLTestWindow::get().countDiffering({0, 0, 0}), 0);

    const std::string sizeErr = testsupport::captureStderr(
        [&] { EXPECT_FALSE(data.init(GLTestWindow::repoPath("fonts/Vera.ttf").c_str(), 0)); });
    EXPECT_NE(sizeErr.find("at size 0\n"), std::string::npos);
    EXPECT_FALSE(testsupport::captureStderr([&] {
                     EXPECT_FALSE(
                         data.init(GLTestWindow::repoPath("fonts/Vera-LICENSE.txt").c_str(), 12));
                 }).empty());
}
