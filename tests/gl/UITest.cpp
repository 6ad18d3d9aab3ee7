// CountedRef's end of the program on a corrupted count, and UI::drawString through the bitmap
// font and through an installed font without data.
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

// After setFont, text goes through the installed font in its colour (the start-up program
// test checks the HUD's pixels); a font without data draws nothing.
TEST_F(UIText, InstalledFontWithoutDataDrawsNothingInItsColour) {
    TexFont none;
    none.color[1] = 0;
    UI::setFont(none);
    glColor3f(0, 1, 0);
    UI::drawString(10, 10, "%s", "hello");
    EXPECT_EQ(window().inked(), 0);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_TRUE(colour[0] == 1 && colour[1] == 0 && colour[2] == 1);
}
