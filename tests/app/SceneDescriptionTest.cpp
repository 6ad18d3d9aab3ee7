// The scene description reader: a hand-written file in the exact token layout, defaults, and
// the rejection of bad headers, class versions, truncated files and counts beyond the file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <new>
#include <sstream>

#include <boost/archive/archive_exception.hpp>

#include "app/SceneDescription.h"

// No reader may size anything from a count it has not read: in this program a single
// allocation above 256 MB fails.
void* operator new(std::size_t n) {
    void* p = n <= (std::size_t(1) << 28) ? std::malloc(n ? n : 1) : nullptr;
    if (!p) throw std::bad_alloc();
    return p;
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

// drawTets 1; tet mesh "body tets.obj" with E 3000, nu 0.3, threshold 750, yield 0.002,
// maximum 50, creep 1.5; bound mesh "skin.obj", material "stone grey" with two textures (one
// with blanks); two objects (the first with the object preamble); two springs (the first with
// the spring preamble).
const char* kFullFile =
    "22 serialization::archive 6 0 0 1 0 0 13 body tets.obj 3000 0.3 750 0.002 50 1.5 "
    "0 0 8 skin.obj 0 0 10 stone grey 0 0 2 0 14 my texture.png 5 b.png "
    "0 0 2 0 0 0 4 rock 1 2 3 4.5 5.5 6.5 0.75 3 mat 1 0 3 t.p 5 chalk 0 0 0 -1 0 0 7 0 0 0 "
    "0 0 2 0 0 0 3 0.2 0.3 0.1 1 2 3 5 0.5 0.25 0.125 -1 -2 -3\n";

SceneDescription read(const std::string& text) {
    std::istringstream in(text);
    SceneDescription d;
    readSceneDescription(in, d);
    return d;
}

bool weightsAre(const lumo::Vec4<float>& w, float a, float b, float c, float d) {
    return w[0] == a && w[1] == b && w[2] == c && w[3] == d;
}

// The archive exception code of reading text, or -1 when it reads.
int failureCode(const std::string& text) {
    try {
        read(text);
    } catch (const boost::archive::archive_exception& e) {
        return e.code;
    }
    return -1;
}

}  // namespace

TEST(SceneDescription, Defaults) {
    SceneDescription d;
    const Tetrahedron::Material& m = d.tetMesh.material;
    EXPECT_EQ(d.tetMesh.fractureThreshold, 1000.0);
    EXPECT_EQ(m.plasticYield, 0.001);
    EXPECT_EQ(m.plasticMax, 100.0);
    EXPECT_EQ(m.plasticCreep, 2.0);
    EXPECT_EQ(m.youngsModulus, 25000.0);
    EXPECT_EQ(m.poissonRatio, 0.1);
    EXPECT_TRUE(d.tetMesh.file.empty() && d.boundMesh.file.empty());
    EXPECT_TRUE(d.boundMesh.material.name.empty() && d.boundMesh.material.textures.empty());
    EXPECT_TRUE(d.objects.empty() && d.springs.empty());
    SceneDescription::BasicObject o;
    EXPECT_EQ(o.value, 1.0);
    EXPECT_TRUE(o.vecf == lumo::Vec3<float>(0, 0, 0) && o.vecd == lumo::Vec3<double>(0, 0, 0));
}

TEST(SceneDescription, ReadsEveryFieldInFileOrder) {
    SceneDescription d = read(kFullFile);
    EXPECT_TRUE(d.drawTets);
    EXPECT_EQ(d.tetMesh.file, "body tets.obj");
    const Tetrahedron::Material& m = d.tetMesh.material;
    EXPECT_EQ(m.youngsModulus, 3000.0);
    EXPECT_EQ(m.poissonRatio, 0.3);
    EXPECT_EQ(d.tetMesh.fractureThreshold, 750.0);
    EXPECT_EQ(m.plasticYield, 0.002);
    EXPECT_EQ(m.plasticMax, 50.0);
    EXPECT_EQ(m.plasticCreep, 1.5);

    EXPECT_EQ(d.boundMesh.file, "skin.obj");
    EXPECT_EQ(d.boundMesh.material.name, "stone grey");
    EXPECT_EQ(d.boundMesh.material.textures, std::vector<std::string>({"my texture.png", "b.png"}));

    // The objects are read and not used; reading them right puts the springs in place.
    EXPECT_EQ(d.objects.size(), 2u);

    ASSERT_EQ(d.springs.size(), 2u);
    EXPECT_EQ(d.springs[0].tet, 3);
    // The fourth weight is not stored: the default spring's 0.25.
    EXPECT_TRUE(weightsAre(d.springs[0].bary, 0.2f, 0.3f, 0.1f, 0.25f));
    EXPECT_TRUE(d.springs[0].pos == lumo::Vec3<float>(1, 2, 3));
    EXPECT_EQ(d.springs[1].tet, 5);
    EXPECT_TRUE(weightsAre(d.springs[1].bary, 0.5f, 0.25f, 0.125f, 0.25f));
    EXPECT_TRUE(d.springs[1].pos == lumo::Vec3<float>(-1, -2, -3));
}

TEST(SceneDescription, EmptyBoundMeshAndLists) {
    // An empty string is its length 0 and one blank; empty lists carry no element preamble.
    SceneDescription d = read(
        "22 serialization::archive 6 0 0 0 0 0 5 a.obj 25000 0.1 1000 0.001 100 2 "
        "0 0 0  0 0 0  0 0 0 0 0 0 0 0 0 0 0 0");
    EXPECT_FALSE(d.drawTets);
    EXPECT_EQ(d.tetMesh.file, "a.obj");
    EXPECT_TRUE(d.boundMesh.file.empty() && d.boundMesh.material.textures.empty());
    EXPECT_TRUE(d.objects.empty() && d.springs.empty());
}

TEST(SceneDescription, RejectsBadHeadersVersionsAndTruncation) {
    using boost::archive::archive_exception;
    const std::string good = kFullFile;
    auto edit = [&good](const std::string& from, const std::string& to) {
        std::string s = good;
        return s.replace(s.find(from), from.size(), to);
    };
    const struct {
        std::string text;
        int code;  // -1: read without error
    } cases[] = {
        {good, -1},
        {"", archive_exception::input_stream_error},
        {"22 serialization::archivX 6 0 0 1", archive_exception::invalid_signature},
        {"21 serialization::archiv 6 0 0 1", archive_exception::invalid_signature},
        {edit(" 6 ", " 7 "), archive_exception::unsupported_version},
        // Class version 1 on the SceneDescription preamble.
        {edit("6 0 0 1", "6 0 1 1"), archive_exception::unsupported_class_version},
        // The file ends inside the spring list.
        {good.substr(0, good.find(" 5 0.5")), archive_exception::input_stream_error},
    };
    for (const auto& c : cases) EXPECT_EQ(failureCode(c.text), c.code) << c.text;
    // A word where a number belongs.
    EXPECT_NE(failureCode(edit("3000", "lots")), -1);
}

// A name of 2^32 characters, 10^8 texture names or 10^8 springs announced by a file of under
// 100 bytes: the read fails where the file ends, having allocated nothing large.
TEST(SceneDescription, CountsBeyondTheFileFailAtItsEnd) {
    for (const char* name :
         {"scene_string_2e32.scene", "scene_textures_1e8.scene", "scene_springs_1e8.scene"}) {
        std::ifstream in(std::string("tests/data/bad/") + name);
        ASSERT_TRUE(in) << name;
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(failureCode(text), boost::archive::archive_exception::input_stream_error) << name;
    }
}
