// CountedRef's exit on a corrupted count, and UI::drawString before and after setFont.
#include "platform/ui/UI.h"
#include "tests/support/gl/GLTestWindow.h"

#include <GL/freeglut.h>

#include <string>

TEST(CountedRefDeathTest, CountBelowZeroEndsTheProgram) {
    CountedRef<int> r;
    *r.count = 0;
    EXPECT_EXIT(r.release(), testing::ExitedWithCode(1), "");
    *r.count = 1;  // the destructor's release frees it here
}

struct UIText : GLTest {  // pixelUnits: window pixels as drawing units, (0, 0) at the bottom left
    void pixelUnits() { glOrtho(0, GLTestWindow::kWidth, 0, GLTestWindow::kHeight, -1, 1); }
};

// Before setFont: Helvetica 18 bitmap characters from the raster position, cut at 1023.
TEST_F(UIText, BitmapFontBeforeSetFont) {
    pixelUnits();
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

// After setFont, text uses the installed font's colour; a font without data draws nothing.
TEST_F(UIText, InstalledFontWithoutDataDrawsNothingInItsColour) {
    pixelUnits();
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
