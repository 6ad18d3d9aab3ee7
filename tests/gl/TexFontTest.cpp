// TexFontData on the shipped Vera font: atlas, line height, pen, failures, texture ownership.
#include <string>

#include "platform/texfont/texfont.h"
#include "tests/support/Capture.h"
#include "tests/support/gl/GLTestWindow.h"

class TexFontDraw : public GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        ASSERT_TRUE(font.init(vera.c_str(), 12));
    }
    const TexFontData::Glyph& glyph(char c) { return font.glyphs[c - TexFontData::firstChar]; }
    const std::string vera = GLTestWindow::repoPath("fonts/Vera.ttf");
    TexFontData font;
};

// Printable ASCII in its own atlas; ascent + descent is about 1.16 em: 13 to 15 texels at 12 px.
TEST_F(TexFontDraw, InitRasterisesPrintableAsciiIntoItsOwnTexture) {
    ASSERT_EQ(font.glyphs.size(), size_t(TexFontData::lastChar - TexFontData::firstChar + 1));
    const float line = font.sizeFactorA * font.sizeFactorB;
    EXPECT_TRUE(line >= 13.0f && line <= 15.0f) << line;
    EXPECT_TRUE(glyph(' ').advance > 0 && glyph('M').height > 6 && glyph('~').width > 0);
    EXPECT_LE(glyph('M').atlasX + glyph('M').width, font.atlasWidth);
    GLuint name;
    {
        TexFontData other;  // a fresh object makes its own name, deleted with it
        name = other.texture;
        EXPECT_TRUE(name != 0 && name != font.texture);
        glBindTexture(GL_TEXTURE_2D, name);  // a bound name is a texture object until deleted
    }
    EXPECT_FALSE(glIsTexture(name));
}

// Pen and width after "AB\nA" and two characters without a glyph; the caller's state stays.
TEST_F(TexFontDraw, TextMovesThePen) {
    glEnable(GL_LIGHTING);
    float x = 10, y = 300;
    const float width = font.drawString("AB\nA\x01\xff", x, y, 1, 1, -1, -1);
    EXPECT_FLOAT_EQ(y, 300 - font.sizeFactorA * font.sizeFactorB * font.lineSpacing);
    EXPECT_FLOAT_EQ(x, 10 + glyph('A').advance);
    EXPECT_FLOAT_EQ(width, glyph('A').advance + glyph('B').advance);  // the longer line
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING) && !glIsEnabled(GL_TEXTURE_2D) && !glIsEnabled(GL_BLEND));
}

// A missing file, size 0 and a non-font each fail with one line, no glyphs and nothing drawn.
TEST_F(TexFontDraw, MissingFileBadSizeOrNotAFontFailCleanly) {
    TexFontData data;
    EXPECT_EQ(testsupport::captureStderr([&] { EXPECT_FALSE(data.init("fonts/missing.ttf", 12)); }),
              "TexFontData: cannot open font \"fonts/missing.ttf\"\n");
    float x = 5, y = 5;
    EXPECT_EQ(data.drawString("text", x, y, 1, 1, -1, -1), 0.0f);
    EXPECT_EQ(window().inked(), 0);
    EXPECT_EQ(testsupport::captureStderr([&] { EXPECT_FALSE(data.init(vera.c_str(), 0)); }),
              "TexFontData: cannot render \"" + vera + "\" at size 0\n");
    const std::string license = GLTestWindow::repoPath("fonts/Vera-LICENSE.txt");
    EXPECT_FALSE(
        testsupport::captureStderr([&] { EXPECT_FALSE(data.init(license.c_str(), 12)); }).empty());
    EXPECT_TRUE(data.glyphs.empty());
}
