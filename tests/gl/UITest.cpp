// CountedRef's end of the program on a corrupted count, UI::drawString through the bitmap font and
// through the installed texture font (Vera), and UI::setFont's sharing of font data.
#include "platform/ui/UI.h"
#include "tests/support/Capture.h"
#include "tests/support/gl/GLTestWindow.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <string>

namespace {

struct Probe {};

// Bounding box of the pixels that are not black, and whether all of them are pure red shades.
struct Ink {
    int count = 0, minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1;
    bool allRed = true;
};
Ink findInk() {
    lumo::Image<unsigned char> img = GLTestWindow::get().readPixels();
    Ink ink;
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            const unsigned char* p = img.data + 4 * (y * img.w + x);
            if (p[0] == 0 && p[1] == 0 && p[2] == 0) continue;
            ++ink.count;
            ink.minX = std::min(ink.minX, x);
            ink.maxX = std::max(ink.maxX, x);
            ink.minY = std::min(ink.minY, y);
            ink.maxY = std::max(ink.maxY, y);
            ink.allRed = ink.allRed && p[1] == 0 && p[2] == 0;
        }
    return ink;
}

float rasterX() {
    GLfloat raster[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    return raster[0];
}

}  // namespace

TEST(CountedRefDeathTest, CountBelowZeroEndsTheProgram) {
    EXPECT_EXIT(
        {
            CountedRef<Probe> r;
            *r.count = 0;
            r.release();
        },
        testing::ExitedWithCode(1), "");
}

class UIText : public GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        glMatrixMode(GL_PROJECTION);  // pixel coordinates, (0, 0) bottom left
        glOrtho(0, GLTestWindow::kWidth, 0, GLTestWindow::kHeight, -1, 1);
        glMatrixMode(GL_MODELVIEW);
    }
};

// Before setFont: Helvetica 18 bitmap characters from the raster position in the current
// colour; an empty text only sets the raster position; text is cut at 1023 characters.
TEST_F(UIText, BitmapFontBeforeSetFont) {
    UI::haveFont = false;
    UI::drawString(33, 44, "%s", "");
    EXPECT_EQ(window().countDiffering({0, 0, 0}), 0);
    EXPECT_EQ(rasterX(), 33.0f);

    glColor3f(1, 0, 0);
    UI::drawString(100, 100, "%d", 42);
    Ink ink = findInk();
    EXPECT_GT(ink.count, 20);
    EXPECT_TRUE(ink.allRed);
    EXPECT_GE(ink.minX, 100);
    EXPECT_GE(ink.minY, 100);
    EXPECT_LE(ink.maxY, 100 + 18);
    EXPECT_EQ(rasterX(), 100.0f + glutBitmapWidth(GLUT_BITMAP_HELVETICA_18, '4') +
                             glutBitmapWidth(GLUT_BITMAP_HELVETICA_18, '2'));

    UI::drawString(0, 10, "%s", std::string(3000, 'i').c_str());
    EXPECT_EQ(rasterX(), 1023.0f * glutBitmapWidth(GLUT_BITMAP_HELVETICA_18, 'i'));
}

// The start-up font: Vera at 12 with the HUD scale, drawn in the font's colour (which stays
// current) at the HUD line's place and height.
TEST_F(UIText, InstalledVeraFontDrawsHudTextInItsColourAndHeight) {
    TexFont font;
    TexFontData* data = new TexFontData();
    ASSERT_TRUE(data->init(GLTestWindow::repoPath("fonts/Vera.ttf").c_str(), 12));
    font.fontData = CountedRef<TexFontData>(data);
    font.scaleX = font.scaleY =
        (2 * 6.0f / GLTestWindow::kHeight) / (data->sizeFactorA * data->sizeFactorB);
    font.color[0] = 1;
    font.color[1] = font.color[2] = 0;
    UI::setFont(font);
    EXPECT_TRUE(UI::haveFont);
    EXPECT_EQ(*font.fontData.count, 2);
    EXPECT_EQ(UI::texfont.fontData.ptr, data);
    EXPECT_EQ(UI::texfont.scaleX, font.scaleX);
    EXPECT_EQ(UI::texfont.scaleY, font.scaleY);

    glMatrixMode(GL_PROJECTION);  // the HUD projection: 0 .. aspect wide, 0 .. 1 high
    glLoadIdentity();
    glOrtho(0, double(GLTestWindow::kWidth) / GLTestWindow::kHeight, 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glColor3f(0, 1, 0);
    UI::drawString(0.01f, 0.01f, "fps: %f", 59.5);
    Ink ink = findInk();
    EXPECT_GT(ink.count, 50);
    EXPECT_TRUE(ink.allRed);  // the font's colour, not the current green
    // Text height at this scale is 12 pixels; one pixel of slack for the edge coverage.
    EXPECT_LE(ink.maxY - ink.minY + 1, 13);
    EXPECT_GE(ink.maxY - ink.minY + 1, 8);
    EXPECT_GE(ink.minX, 4);  // starts at 1 % of the height, 4.8 pixels
    EXPECT_GT(ink.maxX, 60);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0] + colour[1], 1.0f);
}

// Installing the installed font leaves the count; another font with the same data releases
// one and adds one; other data releases the old, deleting its texture with its last reference.
// A font whose data failed to load (or has none) still takes the texture path and draws nothing.
TEST_F(UIText, SetFontSharesReleasesAndDestroysFontData) {
    TexFont first;
    first.fontData = CountedRef<TexFontData>(new TexFontData());
    UI::setFont(first);
    int* count = first.fontData.count;
    EXPECT_EQ(*count, 2);
    UI::setFont(UI::texfont);
    EXPECT_EQ(*count, 2);
    TexFont sharing;
    sharing.fontData = first.fontData;
    UI::setFont(sharing);
    EXPECT_EQ(*count, 3);
    sharing.fontData.release();
    first.fontData.release();
    EXPECT_EQ(*count, 1);  // only the installed font holds it

    GLuint oldTexture = UI::texfont.fontData.ptr->texture;
    glBindTexture(GL_TEXTURE_2D, oldTexture);  // a bound name becomes a texture object
    glBindTexture(GL_TEXTURE_2D, 0);
    ASSERT_TRUE(glIsTexture(oldTexture));
    TexFont other;
    TexFontData* failed = new TexFontData();
    const std::string err =
        testsupport::captureStderr([&] { EXPECT_FALSE(failed->init("fonts/NoSuchFont.ttf", 12)); });
    EXPECT_NE(err.find("NoSuchFont"), std::string::npos);
    other.fontData = CountedRef<TexFontData>(failed);
    UI::setFont(other);
    EXPECT_FALSE(glIsTexture(oldTexture));
    EXPECT_EQ(*other.fontData.count, 2);
    EXPECT_EQ(UI::texfont.fontData.ptr, failed);
    UI::drawString(10, 10, "%s", "hello");
    EXPECT_EQ(window().countDiffering({0, 0, 0}), 0);

    TexFont none;  // no data at all
    UI::setFont(none);
    UI::drawString(10, 10, "%s", "hello");
    EXPECT_EQ(window().countDiffering({0, 0, 0}), 0);
    EXPECT_TRUE(UI::haveFont);
}
