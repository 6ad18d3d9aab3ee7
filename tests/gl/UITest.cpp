// CountedRef's end of the program on a corrupted count, and UI::drawString through the bitmap
// font, through the installed texture font (Vera) and through a font without data.
#include "platform/ui/UI.h"
#include "tests/support/gl/GLTestWindow.h"

#include <GL/freeglut.h>

#include <string>

TEST(CountedRefDeathTest, CountBelowZeroEndsTheProgram) {
    EXPECT_EXIT(
        {
            CountedRef<int> r;
            *r.count = 0;
            r.release();
        },
        testing::ExitedWithCode(1), "");
}

// Window pixels as drawing units, (0, 0) at the bottom left.
class UIText : public GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        glOrtho(0, GLTestWindow::kWidth, 0, GLTestWindow::kHeight, -1, 1);
    }
};

// Before setFont: Helvetica 18 bitmap characters from the raster position; text is cut at 1023
// characters.
TEST_F(UIText, BitmapFontBeforeSetFont) {
    UI::haveFont = false;
    GLfloat raster[4];
    UI::drawString(100, 100, "%d", 42);
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    EXPECT_EQ(raster[0], 100.0f + glutBitmapWidth(GLUT_BITMAP_HELVETICA_18, '4') +
                             glutBitmapWidth(GLUT_BITMAP_HELVETICA_18, '2'));
    UI::drawString(0, 10, "%s", std::string(3000, 'i').c_str());
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    EXPECT_EQ(raster[0], 1023.0f * glutBitmapWidth(GLUT_BITMAP_HELVETICA_18, 'i'));
}

// After setFont, text goes through the installed font in the font's colour, which stays current
// (its pixels are checked by the start-up program test); a font without data draws nothing.
TEST_F(UIText, InstalledFontDrawsInItsColour) {
    TexFont font;
    TexFontData* data = new TexFontData();
    ASSERT_TRUE(data->init(GLTestWindow::repoPath("fonts/Vera.ttf").c_str(), 12));
    font.fontData = CountedRef<TexFontData>(data);
    font.color[1] = font.color[2] = 0;
    UI::setFont(font);
    glColor3f(0, 1, 0);
    UI::drawString(100, 100, "%s", "fps");
    EXPECT_GT(window().inked(), 20);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_TRUE(colour[0] == 1 && colour[1] == 0 && colour[3] == 1);

    TexFont none;
    UI::setFont(none);
    window().reset();
    UI::drawString(10, 10, "%s", "hello");
    EXPECT_EQ(window().inked(), 0);
}
