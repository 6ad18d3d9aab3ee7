// TetMesh built from OBJ files of tetrahedron faces (element search, vertex merging); queries.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "sim/TetMesh.h"
#include "tests/support/Capture.h"
#include "tests/support/TempFile.h"
#include "tests/support/sim/TetMeshes.h"

using lumo::Vec4;
typedef lumo::Vec3<float> V3;
using namespace tetmeshes;
using testsupport::capturePrinted;
using testsupport::captureStdout;
using testsupport::Printed;

namespace {

// getClosestTetrahedron(p, verbose) returns and prints what scanning every element in order
// does: each element's distance diagnostics, its line "%d %f (%f)" with the best distance before
// it when verbose, then "bestDist: %f".
void expectFullScan(const TetMesh& mesh, const V3& p, bool verbose) {
    double best = 1e10;
    int index = 0;
    const std::string expected = captureStdout([&] {
        for (size_t i = 0; i < mesh.tets.size(); ++i) {
            double d = mesh.tets[i].distance(mesh.vert, p);
            if (verbose) printf("%d %f (%f)\n", int(i), d, best);
            if (d < best) {
                best = d;
                index = int(i);
            }
        }
        printf("bestDist: %f\n", best);
    });
    EXPECT_EQ(captureStdout([&] { EXPECT_EQ(mesh.getClosestTetrahedron(p, verbose), index); }),
              expected);
}

// Loads OBJ text through a temporary file, returning what the loader printed on standard
// output; *path receives the file name.
std::string load(TetMesh& mesh, const std::string& text, std::string* path = nullptr) {
    const testsupport::TempFile file("tets.obj", text);
    if (path) *path = file.path();
    return captureStdout([&] { mesh.loadobj(file.c_str()); });
}

const char* kOneTet =
    "v 0 0 0\nv 0 1 0\nv 1 0 0\nv 0 0 1\n"
    "f 1 2 3\nf 2 1 4\nf 3 2 4\nf 1 3 4\n";

}  // namespace

TEST(TetMeshTest, OneTetrahedronFromItsFourFaces) {
    Tetrahedron::Material m;
    m.youngsModulus = 1000;
    m.poissonRatio = 0.3;
    TetMesh mesh(m);
    std::string path;
    std::string out = load(mesh, kOneTet, &path);
    // The surface reader's own lines come between the first line and the last two.
    EXPECT_EQ(out.find("loading obj: " + path + "\n"), 0u) << out;
    EXPECT_EQ(out.substr(out.size() - 30), "\nThere are 1 tets\nremoved 4/4\n") << out;
    ASSERT_EQ(mesh.tets.size(), 1u);
    const Tetrahedron& t = mesh.tets[0];
    // From face (1, 2, 3) with fourth vertex 4 (0-based 0, 1, 2, 3): slots a, c, d, b.
    EXPECT_EQ(std::vector<int>(t.verts, t.verts + 4), (std::vector<int>{0, 2, 3, 1}));
    EXPECT_NEAR(t.E(4, 4), 1000 / 2.6, 1e-9);  // the mesh's material, not the default
    EXPECT_TRUE(mesh.tris.empty());
    EXPECT_EQ(mesh.velocities, std::vector<V3>(4, V3(0, 0, 0)));

    TetMesh none((Tetrahedron::Material()));
    out = captureStdout([&] { EXPECT_EQ(none.loadobj("/nonexistent/dir/none.obj"), 0); });
    EXPECT_NE(out.find("There are 0 tets\nremoved 0/0\n"), std::string::npos) << out;
    EXPECT_TRUE(none.tets.empty() && none.vert.empty());
}

TEST(TetMeshTest, ElementSearchCases) {
    const std::pair<std::string, size_t> cases[] = {
        {objText(twoTets(), true), 2},  // the shared face listed twice, opposite windings
        {std::string(kOneTet) + "f 1 2 3\nf 2 1 4\nf 3 2 4\nf 1 3 4\n", 1},  // faces listed twice
        {"v 0 0 0\nv 0 1 0\nv 1 0 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 2 3 4\nf 1 4 3\n", 0},  // inward
        {"v 0 0 0\nv 1 0 0\nv 2 0 0\nv 0 0 1\nf 1 2 3\nf 2 1 4\nf 3 2 4\nf 1 3 4\n", 0},  // flat
    };
    for (const auto& c : cases) {
        TetMesh mesh((Tetrahedron::Material()));
        load(mesh, c.first);
        EXPECT_EQ(mesh.tets.size(), c.second) << c.first;
        for (const Tetrahedron& t : mesh.tets) EXPECT_GT(t.volume, 0);
    }
}

TEST(TetMeshTest, FaceIndicesOutsideTheVerticesAreIgnored) {
    // Triangles set in code bypass the reader's checks; the builder skips them itself.
    TetMesh mesh((Tetrahedron::Material()));
    mesh.vert = mesh.restVert = oneTet().verts;
    int faces[6][3] = {{0, 1, 2}, {1, 0, 3}, {2, 1, 3}, {0, 2, 3}, {0, 1, 7}, {-1, 0, 1}};
    int zero[3] = {0, 0, 0};
    for (auto& f : faces) mesh.tris.push_back(Mesh::Tri(f, zero, zero));
    const Printed printed = capturePrinted([&] { mesh.buildTetrahedron(); });
    EXPECT_EQ(printed.out, "There are 1 tets\nremoved 4/4\n");
    EXPECT_EQ(printed.err, "tetrahedron faces: 2 face(s) name a vertex outside 1..4, ignored\n");
    EXPECT_EQ(mesh.tets.size(), 1u);
}

TEST(TetMeshTest, RemoveDuplicateVertKeepsTheFirstCloseKeptVertex) {
    // Points 2, 4 and 6 lie within 1e-5 of point 0 (6 across the grid's cell borders at 0);
    // point 3 lies 1.2e-5 from it and is kept, though 6e-6 from the merged point 2; point 4 is
    // close to both 0 and 3 and goes to the first; point 5 lies 9e-6 from point 1.
    const std::vector<V3> pts = {V3(0, 0, 0),          V3(5, 5, 5),     V3(6e-6f, 0, 0),
                                 V3(1.2e-5f, 0, 0),    V3(7e-6f, 0, 0), V3(5, 5, 5 + 9e-6f),
                                 V3(-4e-6f, -4e-6f, 0)};
    TetMesh mesh((Tetrahedron::Material()));
    mesh.vert = mesh.restVert = pts;
    for (V3& p : mesh.restVert) p.y += 100;        // rest positions follow the kept vertices
    mesh.tets.push_back(Tetrahedron(2, 4, 5, 6));  // slots 2, 5, 6, 4
    int vi[3] = {3, 6, 1}, zero[3] = {0, 0, 0};
    mesh.tris.push_back(Mesh::Tri(vi, zero, zero));
    EXPECT_EQ(captureStdout([&] { mesh.removeDuplicateVert(); }), "removed 3/7\n");
    ASSERT_EQ(mesh.vert, (std::vector<V3>{pts[0], pts[1], pts[3]}));
    for (size_t k = 0; k < 3; ++k) EXPECT_EQ(mesh.restVert[k].y, mesh.vert[k].y + 100.0f);
    EXPECT_EQ(std::vector<int>(mesh.tets[0].verts, mesh.tets[0].verts + 4),
              (std::vector<int>{0, 1, 0, 0}));
    EXPECT_EQ(std::vector<int>(mesh.tris[0].vi, mesh.tris[0].vi + 3), (std::vector<int>{2, 0, 1}));
}

TEST(TetMeshTest, SharedAndSeparateVertexLinesGiveTheSameElements) {
    // beam(80) written with separate lines has 1600 vertices before merging: more than the
    // 1290 for which N^3 fits a 32-bit face key.
    for (const TetList& list : {cubeOfFive(), gridCube(3, false), gridCube(3, true), beam(80)}) {
        boost::shared_ptr<TetMesh> shared = loadMesh(list, true);
        boost::shared_ptr<TetMesh> separate = loadMesh(list, false);
        ASSERT_EQ(shared->tets.size(), list.tets.size());
        ASSERT_EQ(separate->tets.size(), list.tets.size());
        EXPECT_EQ(separate->vert.size(), list.verts.size());  // every copy merged
        for (size_t t = 0; t < list.tets.size(); ++t)
            EXPECT_NEAR(separate->tets[t].volume, shared->tets[t].volume, 1e-7);
    }
}

// The verbose listing, computed on several threads, prints exactly what an element-by-element
// loop prints: each element's diagnostics (a query at a vertex or on a face writes some) right
// before its line, which shows the best distance before it. 1,080 elements: several ranges.
TEST(TetMeshTest, VerboseListingPrintsInElementOrder) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> jiggle(-0.15f, 0.15f), around(-1.0f, 7.0f);
    boost::shared_ptr<TetMesh> mesh = makeMesh(gridCube(6, false));
    for (V3& p : mesh->vert) p += V3(jiggle(rng), jiggle(rng), jiggle(rng));
    for (const V3& p :
         {mesh->vert[100], mesh->getWorldCoordinates(900, Vec4<float>(0.5f, 0.5f, 0, 0)),
          V3(around(rng), around(rng), around(rng))}) {
        expectFullScan(*mesh, p, true);
    }
}

TEST(TetMeshTest, ClosestTetrahedronEqualsTheFullScan) {
    TetMesh empty((Tetrahedron::Material()));
    EXPECT_EQ(captureStdout([&] { EXPECT_EQ(empty.getClosestTetrahedron(V3(1, 2, 3), true), 0); }),
              "bestDist: 10000000000.000000\n");
    EXPECT_EQ(captureStdout(
                  [&] { makeMesh(oneTet())->getClosestTetrahedron(V3(0.2f, 0.2f, 0.2f), true); }),
              "0 0.000000 (10000000000.000000)\nbestDist: 0.000000\n");
    // Jiggled grid (seeded), queried at random points inside and around it, at vertices and on
    // faces: index and printed text must equal those of scanning every element.
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> jiggle(-0.15f, 0.15f), around(-1.5f, 4.5f);
    boost::shared_ptr<TetMesh> mesh = makeMesh(gridCube(3, false));
    for (V3& p : mesh->vert) p += V3(jiggle(rng), jiggle(rng), jiggle(rng));
    std::vector<V3> queries = {mesh->vert[13],
                               mesh->getWorldCoordinates(17, Vec4<float>(0.5f, 0.3f, 0.2f, 0))};
    for (int k = 0; k < 8; ++k) queries.push_back(V3(around(rng), around(rng), around(rng)));
    for (const V3& p : queries) {
        expectFullScan(*mesh, p, false);
    }
}
