// HUD text: the counted font handle (CountedRef, TexFont) and the global text-drawing service UI,
// which the HUD and the vertex-number labels of the simulation's drawing use.
#pragma once

#include "platform/texfont/texfont.h"

#include <cstdlib>

// A shared handle on a heap object of type T with a separate heap counter. Default and
// from-pointer handles start with a fresh count of 1. When the last handle lets go the object is
// deleted (when ptr is not null) together with the counter.
template <class T>
class CountedRef {
  public:
    T* ptr;      // the held object, may be null
    int* count;  // shared by every handle on the same object; null after release

    CountedRef() : ptr(nullptr), count(new int(1)) {}
    explicit CountedRef(T* p) : ptr(p), count(new int(1)) {}
    CountedRef(const CountedRef& other) : ptr(nullptr), count(nullptr) { *this = other; }
    ~CountedRef() { release(); }

    // Shares the other handle's object; assigning a handle to itself changes nothing.
    CountedRef& operator=(const CountedRef& other) {
        if (&other == this) return *this;
        release();
        ptr = other.ptr;
        count = other.count;
        if (count) ++*count;
        return *this;
    }

    // Drops this handle's reference: at 0 the object and counter are freed; a count below 0 is a
    // corrupted handle and ends the program with exit(1). The handle is left empty either way, so
    // releasing twice (or release then destruction) never drops a reference twice.
    void release() {
        if (!count) return;
        --*count;
        if (*count == 0) {
            delete ptr;
            delete count;
        } else if (*count < 0) {
            exit(1);
        }
        ptr = nullptr;
        count = nullptr;
    }
};

// A font handle: scales handed to TexFontData::drawString, RGBA colour and the shared font data.
class TexFont {
  public:
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    CountedRef<TexFontData> fontData;
};

// The process-wide text state and drawing. Used from the single GL thread only.
class UI {
  public:
    static TexFont texfont;  // the installed font; defaults (no data) until setFont
    static bool haveFont;    // set by setFont, never cleared

    // Formats printf-style (cut at 1023 characters) and draws the text at (x, y) in the current
    // GL coordinates: with the installed texture font in its colour, or, before setFont, with
    // GLUT's 18-point Helvetica bitmap font from raster position (x, y) in the current colour.
    static void drawString(float x, float y, const char* fmt, ...)
        __attribute__((format(printf, 3, 4)));

    // Installs the font: shares its data, copies its colour and scales, sets haveFont.
    static void setFont(TexFont& font);
};
