// TexFontData: FreeType rasterisation of the printable ASCII glyphs into one alpha texture atlas,
// and drawing of text as one textured quad per glyph.
#include "platform/texfont/texfont.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const unsigned kMaxSize = 512;  // pixels per em; larger fonts would not fit one texture

int nextPow2(int n) {
    int p = 1;
    while (p < n) p <<= 1;
    return p;
}

// Rasterises every glyph of the face into glyphs (atlas positions included) and the atlas
// coverage array of atlasWidth columns (glyphs packed in rows 1 texel apart; row 0 = atlas top).
// Returns the atlas height, or 0 when a glyph failed.
int rasterise(FT_Face face, int atlasWidth, std::vector<TexFontData::Glyph>& glyphs,
              std::vector<unsigned char>& atlas) {
    const int count = TexFontData::lastChar - TexFontData::firstChar + 1;
    std::vector<std::vector<unsigned char>> bitmaps(count);
    glyphs.assign(count, TexFontData::Glyph());
    int penX = 1, penY = 1, rowHeight = 0;
    for (int i = 0; i < count; ++i) {
        if (FT_Load_Char(face, FT_ULong(TexFontData::firstChar + i), FT_LOAD_RENDER)) return 0;
        const FT_Bitmap& bm = face->glyph->bitmap;
        TexFontData::Glyph& g = glyphs[i];
        g.width = std::min(int(bm.width), atlasWidth - 2);
        g.height = int(bm.rows);
        g.left = face->glyph->bitmap_left;
        g.top = face->glyph->bitmap_top;
        g.advance = face->glyph->advance.x / 64.0f;
        bitmaps[i].resize(size_t(g.width) * g.height);
        for (int r = 0; r < g.height; ++r) {
            const unsigned char* row = bm.buffer + r * bm.pitch;  // 8-bit grey, pitch > 0
            std::copy(row, row + g.width, bitmaps[i].begin() + size_t(r) * g.width);
        }
        if (penX + g.width + 1 > atlasWidth) {
            penX = 1;
            penY += rowHeight + 1;
            rowHeight = 0;
        }
        g.atlasX = penX;
        g.atlasY = penY;
        penX += g.width + 1;
        rowHeight = std::max(rowHeight, g.height);
    }
    int height = nextPow2(penY + rowHeight + 1);
    atlas.assign(size_t(atlasWidth) * height, 0);
    for (int i = 0; i < count; ++i) {
        const TexFontData::Glyph& g = glyphs[i];
        for (int r = 0; r < g.height; ++r) {
            std::copy(bitmaps[i].begin() + size_t(r) * g.width,
                      bitmaps[i].begin() + size_t(r + 1) * g.width,
                      atlas.begin() + size_t(g.atlasY + r) * atlasWidth + g.atlasX);
        }
    }
    return height;
}

}  // namespace

TexFontData::TexFontData()
    : pointSize(12),
      sizeFactorA(1.0f),
      texture(0),
      atlasWidth(0),
      atlasHeight(0),
      sizeFactorB(1.0f),
      lineSpacing(1.0f),
      letterSpacing(1.0f) {
    glGenTextures(1, &texture);
}

TexFontData::~TexFontData() {
    if (texture != 0) glDeleteTextures(1, &texture);
}

bool TexFontData::init(const char* trueTypeFile, unsigned int size) {
    glyphs.clear();
    FT_Library library;
    if (FT_Init_FreeType(&library)) {
        fprintf(stderr, "TexFontData: cannot initialise FreeType\n");
        return false;
    }
    FT_Face face;
    if (!trueTypeFile || FT_New_Face(library, trueTypeFile, 0, &face)) {
        fprintf(stderr, "TexFontData: cannot open font \"%s\"\n",
                trueTypeFile ? trueTypeFile : "(null)");
        FT_Done_FreeType(library);
        return false;
    }
    std::vector<unsigned char> atlas;
    int height = 0;
    // About ten glyphs per row keeps the atlas roughly square.
    int width = std::max(256, nextPow2(int(size) * 10));
    GLint maxTexture = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    if (size > 0 && size <= kMaxSize && FT_Set_Pixel_Sizes(face, 0, size) == 0) {
        height = rasterise(face, width, glyphs, atlas);
        if (maxTexture > 0 && (height > maxTexture || width > maxTexture)) height = 0;
    }
    float lineHeight = (face->size->metrics.ascender - face->size->metrics.descender) / 64.0f;
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    if (height == 0) {
        fprintf(stderr, "TexFontData: cannot render \"%s\" at size %u\n", trueTypeFile, size);
        glyphs.clear();
        return false;
    }

    pointSize = int(size);
    sizeFactorA = lineHeight > 0 ? lineHeight : float(size);
    atlasWidth = width;
    atlasHeight = height;
    glPushAttrib(GL_TEXTURE_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, atlasWidth, atlasHeight, 0, GL_ALPHA,
                 GL_UNSIGNED_BYTE, atlas.data());
    glPopClientAttrib();
    glPopAttrib();
    return true;
}

float TexFontData::drawString(const char* text, float& x, float& y, float scaleX, float scaleY,
                              float, float) {
    if (!text || glyphs.empty()) return 0.0f;
    const float sx = sizeFactorB * scaleX, sy = sizeFactorB * scaleY;
    const float lineStep = sizeFactorA * lineSpacing * sy;
    const float startX = x;
    float widest = 0.0f;

    // The texture binding and environment mode are saved by hand: pushing GL_TEXTURE_BIT copies the
    // state of every texture unit, which software renderers pay for on each of the many labels
    // drawn per frame.
    GLint boundTexture = 0, envMode = GL_MODULATE;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &envMode);
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBegin(GL_QUADS);
    for (const char* c = text; *c; ++c) {
        int code = static_cast<unsigned char>(*c);
        if (code == '\n') {
            widest = std::max(widest, std::fabs(x - startX));
            x = startX;
            y -= lineStep;
            continue;
        }
        if (code < firstChar || code > lastChar) continue;
        const Glyph& g = glyphs[code - firstChar];
        if (g.width > 0 && g.height > 0) {
            float x0 = x + g.left * sx, x1 = x0 + g.width * sx;
            float y1 = y + g.top * sy, y0 = y1 - g.height * sy;
            float u0 = float(g.atlasX) / atlasWidth, u1 = float(g.atlasX + g.width) / atlasWidth;
            float v0 = float(g.atlasY) / atlasHeight;  // atlas top row of the glyph
            float v1 = float(g.atlasY + g.height) / atlasHeight;
            glTexCoord2f(u0, v1);
            glVertex2f(x0, y0);
            glTexCoord2f(u1, v1);
            glVertex2f(x1, y0);
            glTexCoord2f(u1, v0);
            glVertex2f(x1, y1);
            glTexCoord2f(u0, v0);
            glVertex2f(x0, y1);
        }
        x += g.advance * letterSpacing * sx;
    }
    glEnd();
    glPopAttrib();
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(boundTexture));
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, envMode);
    return std::max(widest, std::fabs(x - startX));
}
