// The bound surface without a crack: binding, the +X ray inside test, detaching tetrahedra.
#include <gtest/gtest.h>

#include "sim/TetBoundMesh.h"
#include "tests/support/sim/BoundMeshes.h"
#include "tests/support/sim/TetMeshes.h"

using boundmeshes::captureStdout;
using boundmeshes::V3;

namespace {

// Appends a surface triangle over three new vertices.
void addTriangle(Mesh& m, const V3& a, const V3& b, const V3& c) {
    Mesh::Tri t;
    const V3* corners[3] = {&a, &b, &c};
    for (int k = 0; k < 3; ++k) {
        t.vi[k] = int(m.vert.size());
        m.vert.push_back(*corners[k]);
        m.restVert.push_back(*corners[k]);
    }
    m.tris.push_back(t);
}

// The "vert[...]" lines that binding s to tm prints.
std::string insideLines(TetBoundMesh& s, const boost::shared_ptr<TetMesh>& tm) {
    std::string all = captureStdout([&] { s.bindToTets(tm); }), lines;
    for (size_t at = 0; (at = all.find("vert[", at)) != std::string::npos;) {
        size_t end = all.find('\n', at);
        lines += all.substr(at, end + 1 - at);
        at = end;
    }
    return lines;
}

TEST(TetBoundMesh, BindingWeightsAndTheirReport) {
    boost::shared_ptr<TetMesh> tm = tetmeshes::makeMesh(tetmeshes::oneTet());
    auto withWeights = [&](float w0, float w1, float w2, float w3) {
        return tm->tets[0].getWorldCoordinates(tm->restVert, lumo::Vec4<float>(w0, w1, w2, w3));
    };
    TetBoundMesh s;
    addTriangle(s, withWeights(0.25f, 0.25f, 0.25f, 0.25f), withWeights(0.4f, 0.4f, 0.3f, -0.1f),
                withWeights(-0.1f, 0.4f, 0.4f, 0.3f));
    std::string out = captureStdout([&] { s.bindToTets(tm); });

    ASSERT_EQ(s.bindings.size(), 3u);
    // Least-squares weights of single-precision points: good to ~1e-6.
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(s.bindings[0].bary[k], 0.25, 1e-5);
    EXPECT_NEAR(s.bindings[1].bary[3], -0.1, 1e-5);
    EXPECT_NEAR(s.bindings[2].bary[0], -0.1, 1e-5);
    // Only a negative weight among the first three is reported (then the verbose listing).
    EXPECT_NE(out.find("-0.100000 0.400000 0.400000 0.300000  dist:0.000000\n"), std::string::npos)
        << out;
    EXPECT_EQ(out.find("dist:"), out.rfind("dist:"));
    EXPECT_EQ(s.insideFlags.size(), tm->vert.size());
    EXPECT_LT(boundmeshes::bindingRestError(s), 1e-5);
}

TEST(TetBoundMesh, InsideFlagsFromTheRayAlongX) {
    // Box [-0.5, 0.5]^3 around vertex 0 (inside); vertex 1 at x = -1 sees the box's -X face
    // first (outside); vertices 2 and 3 see nothing.
    tetmeshes::TetList l;
    l.verts = {V3(0, 0, 0), V3(-1, 0, 0), V3(0, 3, 0), V3(0, 0, 3)};
    l.tets = {tetmeshes::orient(l.verts, {0, 1, 2, 3})};
    boost::shared_ptr<TetMesh> tm = tetmeshes::makeMesh(l);
    TetBoundMesh s;
    boundmeshes::makeBoxSurface(s, V3(-0.5f, -0.5f, -0.5f), V3(0.5f, 0.5f, 0.5f), 1);
    EXPECT_EQ(insideLines(s, tm),
              "vert[0]: ray intersects, inside: 1\nvert[1]: ray intersects, inside: 0\n");
    EXPECT_EQ(s.insideFlags, (std::vector<bool>{true, false, false, false}));
    // A vertex beyond the flags that is no copy counts as outside, never out of range.
    EXPECT_TRUE(s.isInside(0));
    EXPECT_FALSE(s.isInside(1) || s.isInside(4) || s.isInside(-1));
}

TEST(TetBoundMesh, CopiesAppendedAfterBindingShareTheirOriginalsFlags) {
    // Box around vertices 0 (0,0,0), 1 (0,1,0) and 2 (1,0,0); 3 (0,0,1) and 4 (1,1,1) outside.
    boost::shared_ptr<TetMesh> tm = tetmeshes::makeMesh(tetmeshes::twoTets());
    TetBoundMesh s;
    boundmeshes::makeBoxSurface(s, V3(-0.2f, -0.2f, -0.2f), V3(1.2f, 1.2f, 0.2f), 1);
    captureStdout([&] { s.bindToTets(tm); });
    TetMeshFractureInfo split;  // vertex 2 split off tetrahedron 1: copy 5
    split.vertex = 2, split.newVertex = 5, split.aboveTets = {0}, split.belowTets = {1};
    tm->debugFracture(split);
    // Every face bound within tetrahedron 0: nothing ties the two, so tetrahedron 0 detaches.
    for (TetBoundMesh::TetBinding& b : s.bindings) b.tet = 0;
    EXPECT_EQ(captureStdout([&] { s.splitSuperfluousEdges(); }), "Can separate a tetrahedron: 0\n");
    EXPECT_EQ(tm->copiedFrom, (std::vector<int>{-1, -1, -1, -1, -1, 2, 3, 1}));
    for (int k = 0; k < 4; ++k) EXPECT_FALSE(tm->tets[1].containsVertex(tm->tets[0].verts[k]));
    std::vector<bool> flags;
    for (int v = 0; v < 8; ++v) flags.push_back(s.isInside(v));
    EXPECT_EQ(flags, (std::vector<bool>{true, true, true, false, false, true, false, true}));
}

TEST(TetBoundMesh, RayToleranceDirectionAndTies) {
    // Vertex 0 at the origin; the others far off the +X axis, so only its ray meets the
    // triangles placed near (1, 0, 0).
    tetmeshes::TetList l;
    l.verts = {V3(0, 0, 0), V3(-1, 50, 0), V3(-1, 0, 50), V3(-1, -50, -50)};
    l.tets = {tetmeshes::orient(l.verts, {0, 1, 2, 3})};
    boost::shared_ptr<TetMesh> tm = tetmeshes::makeMesh(l);
    const std::string in = "vert[0]: ray intersects, inside: 1\n";
    const std::string out = "vert[0]: ray intersects, inside: 0\n";
    V3 a(1, -1, -1), b(1, 1, -1), c(1, 0, 1);  // (a, b, c) faces +x
    struct Case {
        const char* what;
        std::vector<V3> corners;  // three per triangle
        std::string lines;
    } cases[] = {
        // Corner at (1, e, e), legs along +y and +z: the ray meets the plane at u = v = -e.
        {"5e-6 beyond the border", {V3(1, 5e-6f, 5e-6f), V3(1, 1, 5e-6f), V3(1, 5e-6f, 1)}, in},
        {"2e-5 beyond the border", {V3(1, 2e-5f, 2e-5f), V3(1, 1, 2e-5f), V3(1, 2e-5f, 1)}, ""},
        {"parallel to the ray", {V3(1, 0, -1), V3(3, 0, -1), V3(2, 0, 1)}, ""},
        {"behind the start", {V3(-1, -1, -1), V3(-1, 1, -1), V3(-1, 0, 1)}, ""},
        {"tie, inward-facing last", {a, b, c, a, c, b}, out},
        {"tie, outward-facing last", {a, c, b, a, b, c}, in},
    };
    for (const Case& k : cases) {
        TetBoundMesh s;
        for (size_t i = 0; i < k.corners.size(); i += 3)
            addTriangle(s, k.corners[i], k.corners[i + 1], k.corners[i + 2]);
        EXPECT_EQ(insideLines(s, tm), k.lines) << k.what;
    }
}

TEST(TetBoundMesh, QuadsTieTetrahedraAsTheirTwoTrianglesDo) {
    // Variant 2 has no triangles, as after an unreadable surface file: nothing is detached.
    std::string detached[3];
    for (int quads = 0; quads < 3; ++quads) {
        boost::shared_ptr<TetMesh> tm = tetmeshes::makeMesh(tetmeshes::gridCube(2, false));
        TetBoundMesh s;
        if (quads < 2)
            boundmeshes::makeBoxSurface(s, V3(0.3f, 0.3f, 0.3f), V3(1.7f, 1.7f, 1.7f), 2, quads);
        captureStdout([&] { s.bindToTets(tm); });
        detached[quads] = captureStdout([&] { s.splitSuperfluousEdges(); });
        EXPECT_TRUE(quads < 2 || tm->vert.size() == 27u);  // no vertex copied
    }
    // The same 16 of the 40 tetrahedra either way (untied quads would detach nearly all).
    EXPECT_EQ(detached[1], detached[0]);
    EXPECT_EQ(detached[2], "");
}

TEST(TetBoundMesh, UnboundOrUnbindableSurfaceIsNeitherCutNorDetached) {
    boost::shared_ptr<TetMesh> tm(new TetMesh(Tetrahedron::Material()));
    TetBoundMesh s;
    addTriangle(s, V3(0, 0, 0), V3(1, 0, 0), V3(0, 1, 0));
    EXPECT_EQ(captureStdout([&] {
                  EXPECT_TRUE(s.fracture());
                  s.splitSuperfluousEdges();
              }),
              "");
    EXPECT_TRUE(s.norm.empty() && s.bindings.empty() && s.insideFlags.empty());
    // Binding to a mesh without tetrahedra drops the surface.
    const testsupport::Printed printed = testsupport::capturePrinted([&] { s.bindToTets(tm); });
    EXPECT_EQ(printed.out + printed.err,
              "The tetrahedral mesh has no tetrahedra: the surface of 3 vertices cannot be bound "
              "and is dropped.\n");
    EXPECT_TRUE(s.vert.empty() && s.restVert.empty() && s.tris.empty() && s.bindings.empty());
    EXPECT_TRUE(s.fracture());
    s.splitSuperfluousEdges();
    EXPECT_TRUE(tm->vert.empty());
}

TEST(TetBoundMesh, CuttingWithoutRecordsOnlyRecomputesNormalsAndKeepsQuadsValid) {
    boost::shared_ptr<TetMesh> tm = tetmeshes::makeMesh(tetmeshes::oneTet());
    TetBoundMesh s;
    addTriangle(s, V3(0.1f, 0.1f, 0.1f), V3(0.2f, 0.1f, 0.1f), V3(0.1f, 0.2f, 0.1f));
    s.vert.push_back(V3(0.2f, 0.2f, 0.1f));
    s.restVert.push_back(s.vert.back());
    Mesh::Face q;
    int corners[4] = {0, 1, 3, 2};
    for (int k = 0; k < 4; ++k) q.vi[k] = corners[k], q.ni[k] = 50, q.tci[k] = 0;
    s.faces.push_back(q);
    captureStdout([&] { s.bindToTets(tm); });

    EXPECT_EQ(captureStdout([&] { EXPECT_TRUE(s.fracture()); }), "");
    ASSERT_GE(s.norm.size(), 3u);
    // Normals of unit vectors in the plane z = 0.1: exact up to float rounding.
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(s.tris[0].ni[k], k);
        EXPECT_NEAR(s.norm[k].z, 1.0, 1e-6);
    }
    for (int k = 0; k < 4; ++k) {
        ASSERT_LT(s.faces[0].ni[k], int(s.norm.size()));
        EXPECT_NEAR(s.norm[s.faces[0].ni[k]].z, 1.0, 1e-6);
    }
}

}  // namespace
