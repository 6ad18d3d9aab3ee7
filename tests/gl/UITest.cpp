// CountedRef counting, UI::drawString through the bitmap font and through the installed
// texture font (Vera), and UI::setFont's sharing of font data.
#include "app/ui/UI.h"
#include "tests/support/gl/GLTestWindow.h"

#include <GL/freeglut.h>

#include <string>

namespace {

struct Probe {
    static int destroyed;
    ~Probe() { ++destroyed; }
};
int Probe::destroyed = 0;

// Pixel-sized orthographic projection of the whole window: (0, 0) bottom left.
void pixelOrtho() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, GLTestWindow::kWidth, 0, GLTestWindow::kHeight, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// Bounding box of the pixels that are not black, and whether all of them satisfy `ok`.
struct Ink {
    int count = 0, minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1;
    bool allOk = true;
};
template <class Pred>
Ink findInk(Pred ok) {
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
            if (!ok(p)) ink.allOk = false;
        }
    return ink;
}

bool reddish(const unsigned char* p) {
    return p[0] > 0 && p[1] == 0 && p[2] == 0;
}

}  // namespace

TEST(CountedRef, CountsThroughAssignSelfAssignAndRelease) {
    Probe::destroyed = 0;
    CountedRef<Probe> a(new Probe);
    ASSERT_NE(a.count, nullptr);
    EXPECT_EQ(*a.count, 1);
    {
        CountedRef<Probe> b;  // empty handle with its own count of 1
        EXPECT_EQ(b.ptr, nullptr);
        EXPECT_EQ(*b.count, 1);
        b = a;  // b's empty count is freed, a's object is shared
        EXPECT_EQ(b.ptr, a.ptr);
        EXPECT_EQ(b.count, a.count);
        EXPECT_EQ(*a.count, 2);
        b = b;
        EXPECT_EQ(*a.count, 2);
    }
    EXPECT_EQ(*a.count, 1);
    EXPECT_EQ(Probe::destroyed, 0);

    CountedRef<Probe> c(new Probe);
    c = a;  // c's own object had one reference: destroyed now
    EXPECT_EQ(Probe::destroyed, 1);
    EXPECT_EQ(*a.count, 2);
    c.release();
    EXPECT_EQ(c.ptr, nullptr);
    EXPECT_EQ(c.count, nullptr);
    c.release();  // an empty handle releases nothing
    EXPECT_EQ(*a.count, 1);
    a.release();
    EXPECT_EQ(Probe::destroyed, 2);
    EXPECT_EQ(a.count, nullptr);
}

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
        pixelOrtho();
    }
};

TEST_F(UIText, BitmapFontBeforeSetFont) {
    UI::haveFont = false;
    glColor3f(1, 0, 0);
    UI::drawString(100, 100, "%d", 42);
    Ink ink = findInk(reddish);
    EXPECT_GT(ink.count, 20);
    EXPECT_TRUE(ink.allOk);  // drawn in the current colour
    EXPECT_GE(ink.minX, 100);
    EXPECT_GE(ink.minY, 100);
    EXPECT_LE(ink.maxY, 100 + 18);
    // The raster position advanced by exactly the two characters.
    GLfloat raster[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    int advance = glutBitmapWidth(GLUT_BITMAP_HELVETICA_18, '4') +
                  glutBitmapWidth(GLUT_BITMAP_HELVETICA_18, '2');
    EXPECT_FLOAT_EQ(raster[0], 100.0f + advance);
}

TEST_F(UIText, BitmapFontEmptyTextSetsOnlyTheRasterPosition) {
    UI::haveFont = false;
    UI::drawString(33, 44, "%s", "");
    EXPECT_EQ(window().countDiffering({0, 0, 0}), 0);
    GLfloat raster[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    EXPECT_FLOAT_EQ(raster[0], 33.0f);
    EXPECT_FLOAT_EQ(raster[1], 44.0f);
}

TEST_F(UIText, LongTextIsCutAt1023Characters) {
    UI::haveFont = false;
    std::string text(3000, 'i');
    UI::drawString(0, 10, "%s", text.c_str());
    GLfloat raster[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    EXPECT_FLOAT_EQ(raster[0], 1023.0f * glutBitmapWidth(GLUT_BITMAP_HELVETICA_18, 'i'));
}

TEST_F(UIText, InstalledVeraFontDrawsHudTextInItsColourAndHeight) {
    TexFont font;
    TexFontData* data = new TexFontData();
    ASSERT_TRUE(data->init(GLTestWindow::repoPath("fonts/Vera.ttf").c_str(), 12));
    font.fontData = CountedRef<TexFontData>(data);
    EXPECT_EQ(*font.fontData.count, 1);
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

    // The HUD projection: 0 .. aspect wide, 0 .. 1 high.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, double(GLTestWindow::kWidth) / GLTestWindow::kHeight, 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glColor3f(0, 1, 0);
    UI::drawString(0.01f, 0.01f, "fps: %f", 59.5);
    Ink ink = findInk(reddish);
    EXPECT_GT(ink.count, 50);
    EXPECT_TRUE(ink.allOk);  // the font's colour, not the current green
    // Text height at this scale is 12 pixels; one pixel of slack for the edge coverage.
    EXPECT_LE(ink.maxY - ink.minY + 1, 13);
    EXPECT_GE(ink.maxY - ink.minY + 1, 8);
    EXPECT_GE(ink.minX, 4);  // starts at 1 % of the height, 4.8 pixels
    EXPECT_GT(ink.maxX, 60);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 1.0f);
    EXPECT_EQ(colour[1], 0.0f);
}

TEST_F(UIText, SetFontSharesReleasesAndDestroysFontData) {
    TexFont first;
    first.fontData = CountedRef<TexFontData>(new TexFontData());
    UI::setFont(first);
    int* count = first.fontData.count;
    EXPECT_EQ(*count, 2);

    UI::setFont(UI::texfont);  // installing the installed font itself
    EXPECT_EQ(*count, 2);
    TexFont sharing;
    sharing.fontData = first.fontData;
    EXPECT_EQ(*count, 3);
    UI::setFont(sharing);  // same data: one released, one added
    EXPECT_EQ(*count, 3);
    sharing.fontData.release();
    first.fontData.release();
    EXPECT_EQ(*count, 1);  // only the installed font holds it

    GLuint oldTexture = UI::texfont.fontData.ptr->texture;
    EXPECT_TRUE(glIsTexture(oldTexture) || oldTexture != 0);
    TexFont other;
    other.fontData = CountedRef<TexFontData>(new TexFontData());
    glBindTexture(GL_TEXTURE_2D, oldTexture);  // a bound name becomes a texture object
    glBindTexture(GL_TEXTURE_2D, 0);
    ASSERT_TRUE(glIsTexture(oldTexture));
    UI::setFont(other);  // the old data's last reference goes: its texture is deleted
    EXPECT_FALSE(glIsTexture(oldTexture));
    EXPECT_EQ(*other.fontData.count, 2);
    EXPECT_EQ(UI::texfont.fontData.ptr, other.fontData.ptr);
}

TEST_F(UIText, FontThatFailedToLoadDrawsNothing) {
    TexFont font;
    TexFontData* data = new TexFontData();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(data->init("fonts/NoSuchFont.ttf", 12));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("fonts/NoSuchFont.ttf"),
              std::string::npos);
    font.fontData = CountedRef<TexFontData>(data);
    UI::setFont(font);
    EXPECT_TRUE(UI::haveFont);  // set all the same: text goes the texture way
    UI::drawString(10, 10, "%s", "hello");
    EXPECT_EQ(window().countDiffering({0, 0, 0}), 0);
}
