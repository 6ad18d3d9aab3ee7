// The scene description reader: known files token by token; damaged and overlong ones rejected.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <new>
#include <sstream>

#include <boost/archive/archive_exception.hpp>

#include "app/SceneDescription.h"

// No reader may size anything from a count it has not read: allocations above 256 MB fail.
// The nothrow forms are replaced too, so that every block these deletes free came from malloc
// (a sanitizer runtime brings its own nothrow new, which the GL driver's JIT calls).
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return n <= (std::size_t(1) << 28) ? std::malloc(n ? n : 1) : nullptr;
}
void* operator new(std::size_t n) {
    void* p = operator new(n, std::nothrow);
    if (!p) throw std::bad_alloc();
    return p;
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace {

using boost::archive::archive_exception;

// Names with blanks, two textures, two objects and two springs (the first of each list with its
// element preamble).
const std::string kFullFile =
    "22 serialization::archive 6 0 0 1 0 0 13 body tets.obj 3000 0.3 750 0.002 50 1.5 "
    "0 0 8 skin.obj 0 0 10 stone grey 0 0 2 0 14 my texture.png 5 b.png "
    "0 0 2 0 0 0 4 rock 1 2 3 4.5 5.5 6.5 0.75 3 mat 1 0 3 t.p 5 chalk 0 0 0 -1 0 0 7 0 0 0 "
    "0 0 2 0 0 0 3 0.2 0.3 0.1 1 2 3 5 0.5 0.25 0.125 -1 -2 -3\n";

// Every field the scene uses, in file order, on one line; or "error <archive exception code>".
std::string readBack(const std::string& text) {
    std::istringstream in(text);
    SceneDescription d;
    try {
        readSceneDescription(in, d);
    } catch (const archive_exception& e) {
        return "error " + std::to_string(e.code);
    }
    const Tetrahedron::Material& m = d.tetMesh.material;
    std::ostringstream s;
    s << d.drawTets << " [" << d.tetMesh.file << "] " << m.youngsModulus << ' ' << m.poissonRatio
      << ' ' << d.tetMesh.fractureThreshold << ' ' << m.plasticYield << ' ' << m.plasticMax << ' '
      << m.plasticCreep << " [" << d.boundMesh.file << "] [" << d.boundMesh.material.name << ']';
    for (const std::string& t : d.boundMesh.material.textures) s << " [" << t << ']';
    s << ' ' << d.objects.size();
    for (const Spring& p : d.springs) {
        s << " | " << p.tet << ' ' << p.bary[0] << ' ' << p.bary[1] << ' ' << p.bary[2] << ' '
          << p.bary[3] << ' ' << p.pos;
    }
    return s.str();
}

}  // namespace

TEST(SceneDescription, KnownFilesAndRejectedOnes) {
    const auto code = [](int c) { return "error " + std::to_string(c); };
    const auto badFile = [](const char* name) {
        std::ifstream in(std::string("tests/data/bad/") + name);
        EXPECT_TRUE(in) << name;
        return std::string{std::istreambuf_iterator<char>(in), {}};
    };
    const struct {
        std::string text, want;
    } cases[] = {
        // The objects are read and not used; the fourth weight of a spring is not stored.
        {kFullFile,
         "1 [body tets.obj] 3000 0.3 750 0.002 50 1.5 [skin.obj] [stone grey] [my texture.png] "
         "[b.png] 2 | 3 0.2 0.3 0.1 0.25 [1,2,3] | 5 0.5 0.25 0.125 0.25 [-1,-2,-3]"},
        // An empty string is its length 0 and one blank; empty lists carry no element preamble.
        {"22 serialization::archive 6 0 0 0 0 0 5 a.obj 25000 0.1 1000 0.001 100 2 "
         "0 0 0  0 0 0  0 0 0 0 0 0 0 0 0 0 0 0",
         "0 [a.obj] 25000 0.1 1000 0.001 100 2 [] [] 0"},
        {"21 serialization::archiv 6 0 0 1", code(archive_exception::invalid_signature)},
        // Class version 1 on the SceneDescription preamble.
        {"22 serialization::archive 6 0 1 1", code(archive_exception::unsupported_class_version)},
        // The file ends inside the spring list; a word where a number belongs.
        {kFullFile.substr(0, kFullFile.find(" 5 0.5")),
         code(archive_exception::input_stream_error)},
        {"22 serialization::archive 6 0 0 1 0 0 13 body tets.obj lots",
         code(archive_exception::input_stream_error)},
        // 2^32 name characters, 10^8 textures or springs announced by 100 bytes: fails at the end.
        {badFile("scene_string_2e32.scene"), code(archive_exception::input_stream_error)},
        {badFile("scene_textures_1e8.scene"), code(archive_exception::input_stream_error)},
        {badFile("scene_springs_1e8.scene"), code(archive_exception::input_stream_error)},
    };
    for (const auto& c : cases) EXPECT_EQ(readBack(c.text), c.want) << c.text;
}
