// The global HUD font state and UI::drawString / UI::setFont.
#include "platform/ui/UI.h"

#include <GL/glut.h>

#include <cstdarg>
#include <cstdio>

TexFont UI::texfont;
bool UI::haveFont = false;

void UI::drawString(float x, float y, const char* fmt, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, fmt);
    // vsnprintf cuts longer text at 1023 characters and always terminates the buffer.
    int n = vsnprintf(buffer, sizeof(buffer), fmt, args);
    va_end(args);
    if (n < 0) buffer[0] = '\0';

    if (haveFont) {
        glColor4fv(texfont.color);
        if (texfont.fontData.ptr) {
            float px = x, py = y;
            texfont.fontData.ptr->drawString(buffer, px, py, texfont.scaleX, texfont.scaleY, -1.0f,
                                             -1.0f);
        }
        return;
    }
    glRasterPos2f(x, y);
    for (const char* c = buffer; *c; ++c) {
        glutBitmapCharacter(GLUT_BITMAP_HELVETICA_18, int(static_cast<signed char>(*c)));
    }
}

void UI::setFont(TexFont& font) {
    texfont.fontData = font.fontData;
    for (int i = 0; i < 4; ++i) texfont.color[i] = font.color[i];
    haveFont = true;
    texfont.scaleY = font.scaleY;
    texfont.scaleX = font.scaleX;
}
