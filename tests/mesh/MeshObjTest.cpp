// Tests of the OBJ dialect reader and writer: face forms, tag case rules, long lines, texture
// placeholder, weights, spheres, malformed input and a write-then-read round trip.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "mesh/mesh.h"

namespace {

// Writes `text` to a fresh file in the test temp directory and returns its path.
std::string writeFile(const std::string& name, const std::string& text) {
    std::string path = testing::TempDir() + "mesh_obj_" + name + ".obj";
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Result of a load with its captured standard output and error.
struct Load {
    int result;
    std::string out, err;
};

Load load(Mesh& mesh, const std::string& path, std::vector<std::string>* unknown = nullptr) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Load l;
    l.result = mesh.loadobj(path.c_str(), unknown);
    std::fflush(stdout);
    std::fflush(stderr);
    l.err = testing::internal::GetCapturedStderr();
    l.out = testing::internal::GetCapturedStdout();
    return l;
}

const char* kFiveVerts = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\n";
const char* kFourTex = "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";

}  // namespace

// Each face line against the six forms, tried in order; indices stored minus 1.
TEST(MeshObj, FaceFormTable) {
    struct Case {
        const char* line;
        int tris, quads;
        bool withoutNormals;
        int vi[4], tci[4];
    } cases[] = {
        {"f 1/1/1 2/2/2 3/3/3 4/4/4", 0, 1, false, {0, 1, 2, 3}, {0, 1, 2, 3}},
        {"f 1/2 2/3 3/4 4/1", 0, 1, true, {0, 1, 2, 3}, {1, 2, 3, 0}},
        {"f 1 2 3 4", 0, 1, true, {0, 1, 2, 3}, {0, 0, 0, 0}},
        {"f 1/1/1 2/2/2 3/3/3", 1, 0, false, {0, 1, 2}, {0, 1, 2}},
        {"f 1/4 2/3 3/2", 1, 0, true, {0, 1, 2}, {3, 2, 1}},
        {"f 1 2 3", 1, 0, true, {0, 1, 2}, {0, 0, 0}},
        {"F 5 4 3", 1, 0, true, {4, 3, 2}, {0, 0, 0}},
        {"f 1 2 3 4 5", 0, 1, true, {0, 1, 2, 3}, {0, 0, 0, 0}},
        {"f +1\t2   3 # trailing text", 1, 0, true, {0, 1, 2}, {0, 0, 0}},
        {"f 1//1 2//2 3//3", 0, 0, false, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Mesh m;
        Load l = load(m, writeFile("forms", std::string(kFiveVerts) + kFourTex + c.line + "\n"));
        ASSERT_EQ(l.result, 1);
        ASSERT_EQ(int(m.tris.size()), c.tris);
        ASSERT_EQ(int(m.faces.size()), c.quads);
        EXPECT_EQ(l.out.find("there were no normals\n") != std::string::npos, c.withoutNormals);
        EXPECT_EQ(l.err, "");
        const int* vi = c.tris ? m.tris[0].vi : c.quads ? m.faces[0].vi : nullptr;
        const int* tci = c.tris ? m.tris[0].tci : c.quads ? m.faces[0].tci : nullptr;
        const int* ni = c.tris ? m.tris[0].ni : c.quads ? m.faces[0].ni : nullptr;
        for (int k = 0; k < 3 * c.tris + 4 * c.quads; ++k) {
            EXPECT_EQ(vi[k], c.vi[k]);
            EXPECT_EQ(tci[k], c.tci[k]);
            EXPECT_EQ(ni[k], vi[k]);  // normals are always rebuilt per vertex
        }
    }
}

// Position tags need a lower-case v and second character; the extra tags ignore case.
TEST(MeshObj, TagCaseRulesAndUnknownLines) {
    Mesh m;
    std::vector<std::string> unknown;
    Load l = load(m,
                  writeFile("case",
                            "# comment\nv 1 2 3\nVT 0.5 0.5\nV 1 2 3\nvT 1 1\n"
                            "VW 1 0 1.0\nSp 0 0 0 1\ng group\nusemtl x"),
                  &unknown);
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(m.vert.size(), 1u);
    EXPECT_EQ(m.tvert.size(), 1u);  // only the placeholder
    ASSERT_EQ(m.boneWeights.size(), 1u);
    ASSERT_EQ(m.boneWeights[0].size(), 1u);
    EXPECT_EQ(m.boneWeights[0][0].bone, 0);
    EXPECT_FLOAT_EQ(m.boneWeights[0][0].weight, 1.0f);
    ASSERT_EQ(m.spheres.size(), 1u);
    EXPECT_EQ(m.spheres[0].radius, 1.0);
    const std::vector<std::string> expected = {"# comment\n", "VT 0.5 0.5\n", "V 1 2 3\n",
                                               "vT 1 1\n",    "g group\n",    "usemtl x"};
    EXPECT_EQ(unknown, expected);
}

// fgets pieces of at most 1023 characters are classified as lines of their own.
TEST(MeshObj, LongLineIsReadInPieces) {
    std::string line = "#" + std::string(1022, 'x');
    std::string second = "v 7 8 9";
    second += std::string(1500 - 1023 - second.size() - 1, ' ') + "\n";
    ASSERT_EQ((line + second).size(), 1500u);
    Mesh m;
    std::vector<std::string> unknown;
    Load l = load(m, writeFile("long", line + second + "v 1 1 1\n"), &unknown);
    ASSERT_EQ(l.result, 1);
    ASSERT_EQ(unknown.size(), 1u);
    EXPECT_EQ(unknown[0], line);
    ASSERT_EQ(m.vert.size(), 2u);
    EXPECT_EQ(m.vert[0], lumo::Vec3<float>(7, 8, 9));
}

// Without vt lines the single coordinate (0, 0, 1) is added and every corner points at it;
// indices that do not name it are reported on standard output.
TEST(MeshObj, TexturePlaceholder) {
    Mesh m;
    Load l = load(m, writeFile("notex", std::string(kFiveVerts) + "f 1 2 3\nf 1/2 2/0 3/1\n"));
    ASSERT_EQ(l.result, 1);
    ASSERT_EQ(m.tvert.size(), 1u);
    EXPECT_EQ(m.tvert[0], lumo::Vec3<float>(0, 0, 1));
    EXPECT_EQ(l.out,
              "texture coordinate index out of bounds:1 \n"
              "texture coordinate index out of bounds:-1 \n"
              "cleaning interactions\ndone cleaning\nthere were no normals\n");
    for (const Mesh::Tri& t : m.tris)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(t.tci[k], 0);
    // vt values keep u and v; the third component is 1 whatever the file says.
    Load l2 = load(m, writeFile("tex", "v 0 0 0\nvt 0.25 0.75 0.5\n"));
    ASSERT_EQ(l2.result, 1);
    ASSERT_EQ(m.tvert.size(), 1u);
    EXPECT_EQ(m.tvert[0], lumo::Vec3<float>(0.25f, 0.75f, 1.0f));
}

TEST(MeshObj, WeightNormalisation) {
    Mesh m;
    Load l = load(m, writeFile("weights",
                               "v 0 0 0\nv 1 0 0\nv 2 0 0\n"
                               "vw 1 0 2.0\nvw 1 3 2.0\nvw 3 1 1\nvw 3 2 -1\n"));
    ASSERT_EQ(l.result, 1);
    ASSERT_EQ(m.boneWeights.size(), 3u);
    ASSERT_EQ(m.boneWeights[0].size(), 2u);
    EXPECT_EQ(m.boneWeights[0][0].weight, 0.5f);
    EXPECT_EQ(m.boneWeights[0][1].weight, 0.5f);
    EXPECT_EQ(m.boneWeights[0][1].bone, 3);
    EXPECT_TRUE(m.boneWeights[1].empty());
    // A zero-sum list is reported and kept as it is.
    ASSERT_EQ(m.boneWeights[2].size(), 2u);
    EXPECT_EQ(m.boneWeights[2][0].weight, 1.0f);
    EXPECT_EQ(m.boneWeights[2][1].weight, -1.0f);
    EXPECT_EQ(l.out,
              "no weight for vert 1\nno weight for vert 2\n"
              "cleaning interactions\ndone cleaning\n");

    // No vw line (and a vw line naming a vertex not read yet): no weights at all.
    Load l2 = load(m, writeFile("noweights", "vw 1 0 1\nv 0 0 0\nvw 1 0\n"));
    ASSERT_EQ(l2.result, 1);
    EXPECT_TRUE(m.boneWeights.empty());
    EXPECT_NE(l2.err.find("vw line for vertex 1"), std::string::npos) << l2.err;
}

TEST(MeshObj, SpheresWeightsAndInteractions) {
    Mesh m;
    Load l = load(m, writeFile("spheres",
                               "si 1 2\nsp 0 0 0 1\nsp 1 2 3 0.5\n"
                               "si 1 2\nsi 2 1\nsi 1 2\nsi 1 3\n"
                               "sw 1 3 0.5\nsw 3 0 1\nsw 2 1\n"));
    ASSERT_EQ(l.result, 1);
    ASSERT_EQ(m.spheres.size(), 2u);
    EXPECT_EQ(m.spheres[1].center, lumo::Vec3<float>(1, 2, 3));
    EXPECT_EQ(m.spheres[1].restCenter, lumo::Vec3<float>(1, 2, 3));
    EXPECT_EQ(m.spheres[1].radius, 0.5);
    EXPECT_EQ(m.spheres[0].interactions, std::vector<short>{1});
    EXPECT_EQ(m.spheres[1].interactions, std::vector<short>{0});
    ASSERT_EQ(m.spheres[0].weights.size(), 1u);
    EXPECT_EQ(m.spheres[0].weights[0].bone, 3);
    EXPECT_EQ(m.spheres[0].weights[0].weight, 0.5f);
    EXPECT_TRUE(m.spheres[1].weights.empty());
    EXPECT_EQ(l.out,
              "got sphere interaction 0 1\ngot sphere interaction 1 0\n"
              "got sphere interaction 0 1\ncleaning interactions\ncopying results\n"
              "copying results\ndone cleaning\n");
    const std::string bounds =
        "ERROR: sphere interaction out of bounds, must come after sphere definitions";
    EXPECT_EQ(l.err, bounds + bounds +
                         "ERROR: sphere weights are going to be wrong, fix this "
                         "loader\n");
}

TEST(MeshObj, MalformedPositionLinesFailTheRead) {
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {{"v 0 0 0\nvt 0.25\nv 1 1 1\n", "error reading tvert\n"},
                 {"v 0 0 0\nvn 1 2\nv 1 1 1\n", "error reading vn\n"},
                 {"v 0 0 0\nv 1 2\nv 1 1 1\n", "error reading vert\n"},
                 {"v 0 0 0\nv 1 2 abc\n", "error reading vert\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Mesh m;
        Load l = load(m, writeFile("bad", c.text));
        EXPECT_EQ(l.result, 0);
        EXPECT_EQ(l.out, c.message);
        EXPECT_EQ(m.vert.size(), 1u);  // what was read before the bad line stays
        EXPECT_TRUE(m.restVert.empty());
    }
}

TEST(MeshObj, UnopenableFileLeavesTheMeshCleared) {
    Mesh m;
    ASSERT_EQ(load(m, writeFile("one", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n")).result, 1);
    Load l = load(m, testing::TempDir() + "no/such/file.obj");
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(l.out, "");
    EXPECT_EQ(l.err, "");
    EXPECT_TRUE(m.vert.empty());
    EXPECT_TRUE(m.tris.empty());
    EXPECT_TRUE(m.tvert.empty());
    EXPECT_TRUE(m.restVert.empty());
}

// Faces naming vertices (or, with vt lines, texture coordinates) outside their lists are
// dropped with a message; the rest of the file is kept.
TEST(MeshObj, OutOfRangeFaceIndicesAreSkipped) {
    Mesh m;
    Load l = load(m, writeFile("range",
                               "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\n"
                               "f 1/1 2/1 3/1\nf 1/1 2/1 4/1\nf 0/1 2/1 3/1\n"
                               "f 1/1 2/1 3/2\nf 1/1/9 2/1/9 3/1/9 1/1/9\n"));
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(m.tris.size(), 1u);
    EXPECT_EQ(m.faces.size(), 1u);  // normal indices are never used: the quad stays
    EXPECT_NE(l.err.find("vertex index 4 outside the 3 vertices"), std::string::npos) << l.err;
    EXPECT_NE(l.err.find("vertex index 0 outside"), std::string::npos) << l.err;
    EXPECT_NE(l.err.find("texture coordinate index 2 outside the 1"), std::string::npos) << l.err;
    EXPECT_EQ(m.norm.size(), 3u);
}

// The fast number reader gives exactly what sscanf gives, including the unusual spellings it
// hands back to sscanf (and the lines sscanf rejects).
TEST(MeshObj, NumbersReadLikeSscanf) {
    std::vector<std::string> tokens = {"1e5",
                                       "-0",
                                       ".5",
                                       "5.",
                                       "+2",
                                       "1e-50",
                                       "1e50",
                                       "0x1p3",
                                       "inf",
                                       "-nan",
                                       "1.5e",
                                       "3abc",
                                       "1e+",
                                       "-.25e-3",
                                       "7/8",
                                       "0.1",
                                       "16777217",
                                       "3.4028236e38",
                                       "1.17549435e-38",
                                       "-",
                                       ".",
                                       "+-1",
                                       "1e5x",
                                       "infinity"};
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> mant(-1000.0, 1000.0);
    std::uniform_int_distribution<int> expo(-40, 38), digits(1, 12);
    for (int i = 0; i < 200; ++i) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*ge%d", digits(rng), mant(rng), expo(rng));
        tokens.push_back(buf);
    }
    for (const std::string& t : tokens) {
        SCOPED_TRACE(t);
        const std::string line = "v 1 " + t + " 2\n";
        float x[3] = {0, 0, 0};
        const int count = std::sscanf(line.c_str() + 1, "%f %f %f", &x[0], &x[1], &x[2]);
        Mesh m;
        Load l = load(m, writeFile("number", line));
        ASSERT_EQ(l.result, count == 3 ? 1 : 0);
        if (count != 3) continue;
        for (int k = 0; k < 3; ++k) {
            if (std::isnan(x[k]))
                EXPECT_TRUE(std::isnan(m.vert[0][k]));
            else
                EXPECT_EQ(std::memcmp(&x[k], &m.vert[0][k], sizeof(float)), 0) << k;
        }
    }
}

TEST(MeshObj, WriterSections) {
    Mesh m;
    ASSERT_EQ(load(m, writeFile("w",
                                "v 0 0 0\nv 1 0 0\nv 0 1.5 0\nvt 0 0\nvt 0.5 1\n"
                                "f 1/1 2/2 3/1\nf 1 2 3 1\nvw 2 4 1\n"
                                "sp 0 0 0 1\nsp 1 1 1 2\nsw 2 1 0.25\nsi 1 2\n"))
                  .result,
              1);
    m.vert[0] = lumo::Vec3<float>(9, 9, 9);
    const std::string path = testing::TempDir() + "mesh_obj_written.obj";
    ASSERT_EQ(m.saveobj(path.c_str(), false, false), 1);
    const std::string first =
        "v 0 0 0\nv 1 0 0\nv 0 1.5 0\nvt 0 0\nvt 0.5 1\nf 1/1 2/2 3/1\n"
        "vw 2 4 1\nsp 0 0 0 1\nsp 1 1 1 2\nsw 2 1 0.25\nsi 1 2\n";
    EXPECT_EQ(readFile(path), first);
    // Deformed positions, appended to the file, indices counted within this mesh.
    m.tvert.clear();
    m.spheres.clear();
    m.boneWeights.clear();
    ASSERT_EQ(m.saveobj(path.c_str(), true, true), 1);
    EXPECT_EQ(readFile(path).substr(first.size()), "v 9 9 9\nv 1 0 0\nv 0 1.5 0\nf 1 2 3\n");
    EXPECT_EQ(m.saveobj((testing::TempDir() + "no/such/dir.obj").c_str(), false, false), 0);
}

TEST(MeshObj, WriteThenReadRoundTrip) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-10.0f, 10.0f);
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += "v " + std::to_string(u(rng)) + " " + std::to_string(u(rng)) + " " +
                std::to_string(u(rng)) + "\nvt " + std::to_string(u(rng)) + " " +
                std::to_string(u(rng)) + "\nvw " + std::to_string(i + 1) + " " +
                std::to_string(i % 3) + " 0.3\nvw " + std::to_string(i + 1) + " 7 0.7\n";
    for (int i = 0; i < 18; ++i)
        text += "f " + std::to_string(i + 1) + "/" + std::to_string(20 - i) + " " +
                std::to_string(i + 2) + "/" + std::to_string(i + 1) + " " + std::to_string(i + 3) +
                "/" + std::to_string(i + 2) + "\n";
    text +=
        "f 1 2 3 4\nsp 1 2 3 0.125\nsp -1 -2 -3 4\nsp 5 5 5 5\nsw 1 2 1\nsw 3 0 0.5\n"
        "si 3 1\nsi 1 2\nsi 3 3\n";
    Mesh a, b;
    ASSERT_EQ(load(a, writeFile("rt", text)).result, 1);
    const std::string path = testing::TempDir() + "mesh_obj_roundtrip.obj";
    ASSERT_EQ(a.saveobj(path.c_str(), false, false), 1);
    ASSERT_EQ(load(b, path).result, 1);
    // "%g" keeps six significant digits: relative 1e-5 covers the rounding.
    auto near = [](const lumo::Vec3<float>& p, const lumo::Vec3<float>& q) {
        for (int k = 0; k < 3; ++k)
            if (std::fabs(p[k] - q[k]) > 1e-5f * std::max(1.0f, std::fabs(p[k]))) return false;
        return true;
    };
    ASSERT_EQ(b.restVert.size(), a.restVert.size());
    for (size_t i = 0; i < a.restVert.size(); ++i) EXPECT_TRUE(near(a.restVert[i], b.restVert[i]));
    ASSERT_EQ(b.tvert.size(), a.tvert.size());
    for (size_t i = 0; i < a.tvert.size(); ++i) EXPECT_TRUE(near(a.tvert[i], b.tvert[i]));
    ASSERT_EQ(b.tris.size(), a.tris.size());
    for (size_t i = 0; i < a.tris.size(); ++i)
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(b.tris[i].vi[k], a.tris[i].vi[k]);
            EXPECT_EQ(b.tris[i].tci[k], a.tris[i].tci[k]);
        }
    EXPECT_TRUE(b.faces.empty());  // quads are not written
    ASSERT_EQ(b.boneWeights.size(), a.boneWeights.size());
    for (size_t i = 0; i < a.boneWeights.size(); ++i) {
        ASSERT_EQ(b.boneWeights[i].size(), 2u);
        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(b.boneWeights[i][k].bone, a.boneWeights[i][k].bone);
            EXPECT_NEAR(b.boneWeights[i][k].weight, a.boneWeights[i][k].weight, 1e-6);
        }
    }
    ASSERT_EQ(b.spheres.size(), 3u);
    for (size_t s = 0; s < 3; ++s) {
        EXPECT_TRUE(near(b.spheres[s].center, a.spheres[s].center));
        EXPECT_EQ(b.spheres[s].radius, a.spheres[s].radius);
        ASSERT_EQ(b.spheres[s].weights.size(), a.spheres[s].weights.size());
    }
    EXPECT_EQ(b.spheres[0].interactions, (std::vector<short>{1, 2}));
    // A sphere's interaction with itself is not written.
    EXPECT_EQ(a.spheres[2].interactions, (std::vector<short>{0, 2}));
    EXPECT_EQ(b.spheres[2].interactions, (std::vector<short>{0}));
    EXPECT_EQ(b.spheres[2].weights[0].weight, 0.5f);
}
