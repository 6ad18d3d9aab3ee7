// TexFontData: the printable ASCII glyphs of a TrueType font rasterised (FreeType) into one GL
// alpha texture, and text drawing as textured quads in the current GL coordinates.
#pragma once

#include <GL/glew.h>

#include <vector>

class TexFontData {
  public:
    // One rasterised glyph. Atlas position and size in texels; offsets and advance in texels at
    // scale 1 (one texel = sizeFactorB drawing units), y up from the baseline.
    struct Glyph {
        int atlasX = 0, atlasY = 0;  // top-left texel of the bitmap in the atlas
        int width = 0, height = 0;   // bitmap size
        int left = 0;                // pen x to the bitmap's left edge
        int top = 0;                 // baseline to the bitmap's top row (positive up)
        float advance = 0;           // pen advance after the glyph
    };

    static constexpr int firstChar = 32;  // ' '
    static constexpr int lastChar = 126;  // '~'

    int pointSize;      // pixel size given to init (12 until then)
    float sizeFactorA;  // text line height (ascent + descent) in texels; 1 until init succeeds
    GLuint texture;     // the glyph atlas, GL_ALPHA; made by the constructor
    std::vector<Glyph> glyphs;  // firstChar .. lastChar; empty until init succeeds
    int atlasWidth, atlasHeight;
    float sizeFactorB;    // drawing units per texel at scale 1 (1)
    float lineSpacing;    // factor on the line height between lines of one string (1)
    float letterSpacing;  // factor on every glyph advance (1)

    // Needs a current GL context: generates the texture name.
    TexFontData();
    // Deletes the texture when it is not 0.
    ~TexFontData();
    TexFontData(const TexFontData&) = delete;
    TexFontData& operator=(const TexFontData&) = delete;

    // Rasterises the glyphs of the TrueType file at `size` pixels per em into the texture and sets
    // sizeFactorA so that sizeFactorA * sizeFactorB is the text height at scale 1. Needs a current
    // GL context. On failure prints a line on stderr, keeps no glyphs and returns false.
    bool init(const char* trueTypeFile, unsigned int size);

    // Draws text with its first baseline starting at (x, y), one texel = sizeFactorB * scaleX
    // units across and sizeFactorB * scaleY units up, in the current colour (alpha from the
    // glyph coverage, blended). '\n' starts a new line below; characters without a glyph are
    // skipped. x and y come back as the pen position after the text. The last two arguments
    // are not used (callers pass -1). Returns the width of the longest line in drawing units.
    float drawString(const char* text, float& x, float& y, float scaleX, float scaleY, float,
                     float);
};
