// Tests of the OBJ dialect reader and writer, including malformed input and a round trip.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "mesh/mesh.h"
#include "tests/support/Capture.h"
#include "tests/support/MeshTestUtil.h"
#include "tests/support/TempFile.h"

using namespace meshtest;

namespace {

struct Load {  // result of a load with what it printed
    int result;
    std::string out, err;
};

Load loadPath(Mesh& mesh, const std::string& path, std::vector<std::string>* unknown = nullptr) {
    int result = 0;
    auto p = testsupport::capturePrinted([&] { result = mesh.loadobj(path.c_str(), unknown); });
    return {result, p.out, p.err};
}

Load load(Mesh& mesh, const std::string& text, std::vector<std::string>* unknown = nullptr) {
    const testsupport::TempFile file("mesh.obj", text);
    return loadPath(mesh, file.path(), unknown);
}

const std::string kDone = "cleaning interactions\ndone cleaning\n";

}  // namespace

// Each face line against the six forms in order; indices minus 1, normals rebuilt per vertex.
TEST(MeshObj, FaceFormTable) {
    const struct {
        const char *line, *faces;
        bool withoutNormals;
    } cases[] = {
        {"f 1/1/1 2/2/2 3/3/3 4/4/4", "quad 0/0 1/1 2/2 3/3", false},
        {"f 1/2 2/3 3/4 4/1", "quad 0/1 1/2 2/3 3/0", true},
        {"f 1 2 3 4", "quad 0/0 1/0 2/0 3/0", true},
        {"f 1/1/1 2/2/2 3/3/3", "tri 0/0 1/1 2/2", false},
        {"f 1/4 2/3 3/2", "tri 0/3 1/2 2/1", true},
        {"F 5 4 3", "tri 4/0 3/0 2/0", true},
        {"f 1 2 3 4 5", "quad 0/0 1/0 2/0 3/0", true},
        {"f +1\t2   3 # trailing text", "tri 0/0 1/0 2/0", true},
        {"f 1//1 2//2 3//3", "", false},
    };
    for (const auto& c : cases) {
        Mesh m;
        Load l = load(
            m, "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n" +
                   std::string(c.line));
        EXPECT_EQ(faceList(m), c.faces) << c.line;
        EXPECT_EQ(l.out, kDone + (c.withoutNormals ? "there were no normals\n" : ""));
    }
}

// Tag case rules; a 1500-character line read in 1023-character pieces (the second a v line);
// without vt lines the placeholder (0, 0, 1), other indices reported; vt's third component is 1.
TEST(MeshObj, LineClassificationLongLinesAndTexturePlaceholder) {
    const std::string longHead = "#" + std::string(1022, 'x');
    const std::string longTail = "v 7 8 9" + std::string(1500 - 1023 - 8, ' ') + "\n";
    Mesh m;
    std::vector<std::string> unknown;
    Load l =
        load(m, "v 1 2 3\nVT 0.5 0.5\nV 1 2 3\n" + longHead + longTail + "v 0 0 0\nf 1/2 2/0 3/1",
             &unknown);
    EXPECT_EQ(m.vert, (std::vector<V>{V(1, 2, 3), V(7, 8, 9), V(0, 0, 0)}));
    EXPECT_EQ(m.tvert, std::vector<V>{V(0, 0, 1)});
    EXPECT_EQ(faceList(m), "tri 0/0 1/0 2/0");
    EXPECT_EQ(l.out,
              "texture coordinate index out of bounds:1 \n"
              "texture coordinate index out of bounds:-1 \n" +
                  kDone + "there were no normals\n");
    EXPECT_EQ(unknown, (std::vector<std::string>{"VT 0.5 0.5\n", "V 1 2 3\n", longHead}));
    ASSERT_EQ(load(m, "v 0 0 0\nvt 0.25 0.75 0.5\n").result, 1);
    EXPECT_EQ(m.tvert, std::vector<V>{V(0.25f, 0.75f, 1.0f)});
}

// Weights over their sum (a sum <= 1e-6 reported, zero kept); vw before its vertex is skipped;
// sphere lines need their spheres first (values read are checked by the writer's round trip).
TEST(MeshObj, WeightsAndSpheres) {
    Mesh m;
    Load l = load(m,
                  "vw 1 0 1\nsi 1 2\nv 0 0 0\nv 1 0 0\nv 2 0 0\nVW 1 0 2.0\nvw 1 3 2.0\n"
                  "vw 3 1 1\nvw 3 2 -1\nsp 0 0 0 1\nSp 1 2 3 0.5\nsi 1 2\nsi 2 1\n"
                  "sw 1 3 0.5\nsw 3 0 1\n");
    ASSERT_TRUE(m.boneWeights.size() == 3 && m.spheres.size() == 2);
    EXPECT_EQ(weightList(m.boneWeights[0]) + ", " + weightList(m.boneWeights[1]) + ", " +
                  weightList(m.boneWeights[2]) + ", " + weightList(m.spheres[0].weights),
              "0:0.5 3:0.5, , 1:1 2:-1, 3:0.5");
    EXPECT_EQ(l.out,
              "got sphere interaction 0 1\ngot sphere interaction 1 0\nno weight for vert 1\n"
              "no weight for vert 2\ncleaning interactions\ncopying results\n"
              "copying results\ndone cleaning\n");
    EXPECT_EQ(l.err.substr(l.err.find(": vw")),
              ": vw line for vertex 1, which is not defined before it; skipped\nERROR: sphere "
              "interaction out of bounds, must come after sphere definitionsERROR: sphere weights "
              "are going to be wrong, fix this loader\n");
}

// A malformed v, vt or vn line fails naming file and line (a long line counts once); a missing
// file fails silently. Either way the mesh is left empty.
TEST(MeshObj, FailedReads) {
    const std::string longLine = "# " + std::string(1500, 'x') + "\n";
    const struct {
        std::string text;  // empty: a file that cannot be opened
        const char *message, *error;
    } cases[] = {{"v 0 0 0\n" + longLine + "vt 0.25\nv 1 1 1\n", "error reading tvert\n",
                  ":3: malformed vt line; the file is not read\n"},
                 {"f 1 2 3\nv 0 0 0\nvn 1 2\n", "error reading vn\n",
                  ":3: malformed vn line; the file is not read\n"},
                 {"v 0 0 0\nv 1 2\nv 1 1 1\n", "error reading vert\n",
                  ":2: malformed v line; the file is not read\n"},
                 {"", "", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Mesh m;
        ASSERT_EQ(load(m, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nsp 0 0 0 1\n").result, 1);
        const testsupport::TempFile file("bad.obj", c.text);
        const std::string path =
            c.text.empty() ? testing::TempDir() + "no/such/file.obj" : file.path();
        Load l = loadPath(m, path);
        EXPECT_EQ(l.result, 0);
        EXPECT_EQ(l.out, c.message);
        EXPECT_EQ(l.err, c.text.empty() ? "" : path + c.error);
        EXPECT_TRUE(m.vert.empty() && m.restVert.empty() && m.norm.empty() && m.tvert.empty() &&
                    m.tris.empty() && m.faces.empty() && m.spheres.empty() &&
                    m.boneWeights.empty());
    }
}

// Faces with vertex or (given vt lines) texture indices out of range are dropped; normals unused.
TEST(MeshObj, OutOfRangeFaceIndicesAreSkipped) {
    Mesh m;
    Load l = load(m,
                  "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/1 3/1\nf 1/1 2/1 3/1 4/1\n"
                  "f 0/1 2/1 3/1\nf 1/1 2/1 3/2\nf 1/1/9 2/1/9 3/1/9 1/1/9\n");
    EXPECT_EQ(faceList(m), "quad 0/0 1/0 2/0 0/0, tri 0/0 1/0 2/0");
    for (const char* what :
         {": quad with vertex index 4 outside the 3 vertices; skipped\n",
          ": triangle with vertex index 0 outside", "texture coordinate index 2 outside the 1"})
        EXPECT_NE(l.err.find(what), std::string::npos) << l.err;
}

// The fast number reader gives exactly what sscanf gives, rejected lines included.
TEST(MeshObj, NumbersReadLikeSscanf) {
    const std::vector<std::string> tokens = {
        "1e5",  "-0",   ".5",  "5.",  "+2",  "1e-50", "1e50", "0x1p3",    "inf",         "-nan",
        "1.5e", "3abc", "1e+", "7/8", "0.1", "+-1",   "1e5x", "16777217", "3.4028236e38"};
    for (const std::string& t : tokens) {
        float v[3];
        const int count = std::sscanf(("1 " + t + " 2").c_str(), "%f %f %f", &v[0], &v[1], &v[2]);
        Mesh m;
        ASSERT_EQ(load(m, "v 1 " + t + " 2\n").result, count == 3 ? 1 : 0) << t;
        if (count != 3) continue;
        EXPECT_TRUE(std::isnan(v[1]) ? std::isnan(m.vert[0].y)
                                     : std::memcmp(&v[1], &m.vert[0].y, sizeof(float)) == 0)
            << t;
    }
}

// The writer's sections byte for byte (rest positions, triangles only, each interaction once);
// read back and written again it is the same; the deformed form appends; a bad path fails.
TEST(MeshObj, WriterSectionsAndRoundTrip) {
    Mesh a, b;
    const std::string text =
        "v 0 0 0\nv 1 0 0\nv 0 1.23456789 0\nvt 0 0\nvt 0.5 1\nf 1/1 2/2 3/1\nf 1 2 3 1\n"
        "vw 2 4 1\nvw 1 2 3\nvw 1 0 1\nsp 0 0 0 1\nsp 1 1 1 2\nsw 2 1 0.25\nsi 2 1\nsi 2 2\n";
    ASSERT_EQ(load(a, text).result, 1);
    a.vert[0] = V(9, 9, 9);
    const testsupport::TempFile file("written.obj");
    ASSERT_EQ(a.saveobj(file.c_str(), false, false), 1);
    const std::string first =
        "v 0 0 0\nv 1 0 0\nv 0 1.23457 0\nvt 0 0\nvt 0.5 1\nf 1/1 2/2 3/1\n"
        "vw 1 2 0.75\nvw 1 0 0.25\nvw 2 4 1\nsp 0 0 0 1\nsp 1 1 1 2\nsw 2 1 0.25\nsi 1 2\n";
    EXPECT_EQ(file.read(), first);
    ASSERT_EQ(loadPath(b, file.path()).result, 1);
    ASSERT_EQ(b.saveobj(file.c_str(), false, false), 1);
    EXPECT_EQ(file.read(), first);
    a.tvert.clear();  // deformed positions (vert[0] moved), no texture, appended
    a.spheres.clear();
    a.boneWeights.clear();
    ASSERT_EQ(a.saveobj(file.c_str(), true, true), 1);
    EXPECT_EQ(file.read(), first + "v 9 9 9\nv 1 0 0\nv 0 1.23457 0\nf 1 2 3\n");
    EXPECT_EQ(a.saveobj((testing::TempDir() + "no/such/dir.obj").c_str(), false, false), 0);
    EXPECT_EQ(testsupport::captureStderr([&] { EXPECT_EQ(a.saveobj("/dev/full", 0, 0), 0); }),
              "/dev/full: error while writing the mesh\n");  // a write that fails is reported
}
