// The bound surface without a crack: binding weights and their report, the +X ray inside test,
// detaching tetrahedra the surface does not tie together, and the calls that must do nothing.
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

// The point with barycentric weights w in tetrahedron 0 of tm (rest pose).
V3 pointWithWeights(const TetMesh& tm, float w0, float w1, float w2, float w3) {
    return tm.tets[0].getWorldCoordinates(tm.restVert, lumo::Vec4<float>(w0, w1, w2, w3));
}

TEST(TetBoundMesh, StartsUnboundWithTheDefaultMaterial) {
    TetBoundMesh s;
    EXPECT_FALSE(s.drawBindings);
    EXPECT_FALSE(s.drawVertexNumbers);
    ASSERT_TRUE(s.material);
    EXPECT_FLOAT_EQ(s.material->diffuse[0], 0.8f);
    EXPECT_FLOAT_EQ(s.material->diffuse[3], 1.0f);
    EXPECT_EQ(s.material->texture, 0u);
    EXPECT_FALSE(s.tetMesh);
    EXPECT_TRUE(s.bindings.empty() && s.insideFlags.empty() && s.debugPoints.empty());
}

TEST(TetBoundMesh, WithoutTetrahedraCuttingAndDetachingDoNothing) {
    TetBoundMesh s;
    addTriangle(s, V3(0, 0, 0), V3(1, 0, 0), V3(0, 1, 0));
    std::string out = captureStdout([&] {
        EXPECT_TRUE(s.fracture());
        s.splitSuperfluousEdges();
    });
    EXPECT_EQ(out, "");
    EXPECT_TRUE(s.norm.empty());
    EXPECT_EQ(s.tris.size(), 1u);
}

TEST(TetBoundMesh, BindingWeightsAndTheirReport) {
    boost::shared_ptr<TetMesh> tm = tetmeshes::makeMesh(tetmeshes::oneTet());
    TetBoundMesh s;
    V3 inside = pointWithWeights(*tm, 0.25f, 0.25f, 0.25f, 0.25f);
    V3 fourthNegative = pointWithWeights(*tm, 0.4f, 0.4f, 0.3f, -0.1f);
    V3 firstNegative = pointWithWeights(*tm, -0.1f, 0.4f, 0.4f, 0.3f);
    addTriangle(s, inside, fourthNegative, firstNegative);
    std::string out = captureStdout([&] { s.bindToTets(tm); });

    ASSERT_EQ(s.bindings.size(), 3u);
    // Least-squares weights of single-precision points: good to ~1e-6.
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(s.bindings[0].bary[k], 0.25, 1e-5);
    EXPECT_NEAR(s.bindings[1].bary[3], -0.1, 1e-5);
    EXPECT_NEAR(s.bindings[2].bary[0], -0.1, 1e-5);
    for (const TetBoundMesh::TetBinding& b : s.bindings) EXPECT_EQ(b.tet, 0);
    // Only the vertex with a negative weight among the first three is reported, followed by
    // the verbose closest-tetrahedron listing.
    size_t report = out.find("-0.100000 0.400000 0.400000 0.300000  dist:0.000000\n");
    ASSERT_NE(report, std::string::npos) << out;
    EXPECT_EQ(out.find("dist:"), out.rfind("dist:"));  // the only report
    EXPECT_EQ(s.insideFlags.size(), tm->vert.size());
    EXPECT_LT(boundmeshes::bindingRestError(s), 1e-5);
}

// A tetrahedron with vertex 0 at the origin and the others far off the +X axis, so that only
// vertex 0's ray is aimed at the surfaces placed near (1, 0, 0).
boost::shared_ptr<TetMesh> originTet() {
    tetmeshes::TetList l;
    l.verts = {V3(0, 0, 0), V3(-1, 50, 0), V3(-1, 0, 50), V3(-1, -50, -50)};
    l.tets = {tetmeshes::orient(l.verts, {0, 1, 2, 3})};
    return tetmeshes::makeMesh(l);
}

std::string insideLines(TetBoundMesh& s, const boost::shared_ptr<TetMesh>& tm) {
    std::string all = captureStdout([&] { s.bindToTets(tm); });
    std::string lines;
    size_t at = 0;
    while ((at = all.find("vert[", at)) != std::string::npos) {
        size_t end = all.find('\n', at);
        lines += all.substr(at, end + 1 - at);
        at = end;
    }
    return lines;
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
              "vert[0]: ray intersects, inside: 1\n"
              "vert[1]: ray intersects, inside: 0\n");
    EXPECT_EQ(s.insideFlags, (std::vector<bool>{true, false, false, false}));
    EXPECT_TRUE(s.isInside(0));
    EXPECT_FALSE(s.isInside(1));
    // A tetrahedral vertex appended after binding has no flag: outside, never out of range.
    EXPECT_FALSE(s.isInside(4));
    EXPECT_FALSE(s.isInside(-1));
}

TEST(TetBoundMesh, RayToleranceDirectionAndTies) {
    boost::shared_ptr<TetMesh> tm = originTet();
    // A triangle in the plane x = 1 with its corner at (1, a, a) and legs along +y and +z; the
    // ray meets the plane at u = v = -a.
    TetBoundMesh within, beyond;
    for (TetBoundMesh* s : {&within, &beyond}) {
        float a = (s == &within) ? 5e-6f : 2e-5f;
        addTriangle(*s, V3(1, a, a), V3(1, 1 + a, a), V3(1, a, 1 + a));
    }
    EXPECT_EQ(insideLines(within, tm), "vert[0]: ray intersects, inside: 1\n");
    EXPECT_EQ(insideLines(beyond, tm), "");

    // Parallel to the ray, or behind its start: never hit.
    TetBoundMesh parallel, behind;
    addTriangle(parallel, V3(1, 0, -1), V3(3, 0, -1), V3(2, 0, 1));
    addTriangle(behind, V3(-1, -1, -1), V3(-1, 1, -1), V3(-1, 0, 1));
    EXPECT_EQ(insideLines(parallel, tm), "");
    EXPECT_EQ(insideLines(behind, tm), "");

    // Two triangles crossed at the same distance: the later one decides.
    TetBoundMesh outFirst, inFirst;
    V3 a(1, -1, -1), b(1, 1, -1), c(1, 0, 1);
    addTriangle(outFirst, a, b, c);  // normal +x
    addTriangle(outFirst, a, c, b);  // normal -x
    addTriangle(inFirst, a, c, b);
    addTriangle(inFirst, a, b, c);
    EXPECT_EQ(insideLines(outFirst, tm), "vert[0]: ray intersects, inside: 0\n");
    EXPECT_EQ(insideLines(inFirst, tm), "vert[0]: ray intersects, inside: 1\n");
}

TEST(TetBoundMesh, TetrahedraNotTiedBySurfaceTrianglesAreDetached) {
    boost::shared_ptr<TetMesh> tm = tetmeshes::makeMesh(tetmeshes::twoTets());
    TetBoundMesh s;
    addTriangle(s, V3(0.1f, 0.1f, 0.1f), V3(0.2f, 0.1f, 0.1f), V3(0.1f, 0.2f, 0.1f));
    captureStdout([&] { s.bindToTets(tm); });
    ASSERT_EQ(s.bindings[0].tet, 0);
    std::vector<V3> slotRest;
    for (const Tetrahedron& t : tm->tets)
        for (int k = 0; k < 4; ++k) slotRest.push_back(tm->restVert[t.verts[k]]);

    // Every triangle within tetrahedron 0: nothing is used, both are detached. The three
    // shared face vertices go to tetrahedron 0 (first in index order); tetrahedron 1 then
    // holds the originals alone.
    std::string out = captureStdout([&] { s.splitSuperfluousEdges(); });
    EXPECT_EQ(out, "Can separate a tetrahedron: 0\n");
    ASSERT_EQ(tm->vert.size(), 8u);
    EXPECT_EQ(tm->restVert.size(), 8u);
    EXPECT_EQ(tm->velocities.size(), 8u);
    std::vector<int> holders(8, 0);
    for (const Tetrahedron& t : tm->tets)
        for (int k = 0; k < 4; ++k) ++holders[t.verts[k]];
    for (int h : holders) EXPECT_EQ(h, 1);
    // Copies keep their positions, so the elements keep their shapes.
    for (int t = 0; t < 2; ++t)
        for (int k = 0; k < 4; ++k)
            EXPECT_TRUE(tm->restVert[tm->tets[t].verts[k]] == slotRest[4 * t + k]);
    // Nothing left to copy.
    out = captureStdout([&] { s.splitSuperfluousEdges(); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(tm->vert.size(), 8u);
}

TEST(TetBoundMesh, ASurfaceTriangleAcrossTetrahedraKeepsThemTied) {
    boost::shared_ptr<TetMesh> tm = tetmeshes::makeMesh(tetmeshes::twoTets());
    TetBoundMesh s;
    // Corner c lies in tetrahedron 1 (beyond the shared face x + y + z = 1).
    addTriangle(s, V3(0.1f, 0.1f, 0.1f), V3(0.2f, 0.1f, 0.1f), V3(0.6f, 0.6f, 0.6f));
    captureStdout([&] { s.bindToTets(tm); });
    ASSERT_EQ(s.bindings[2].tet, 1);
    std::string out = captureStdout([&] { s.splitSuperfluousEdges(); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(tm->vert.size(), 5u);
}

TEST(TetBoundMesh, AnEmptyBoundSurfaceDetachesNothing) {
    // As after a surface file that could not be read: bound, but without faces.
    boost::shared_ptr<TetMesh> tm = tetmeshes::makeMesh(tetmeshes::twoTets());
    TetBoundMesh s;
    captureStdout([&] { s.bindToTets(tm); });
    std::string out = captureStdout([&] { s.splitSuperfluousEdges(); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(tm->vert.size(), 5u);
}

TEST(TetBoundMesh, NoTetrahedraToBindToDropsTheSurface) {
    boost::shared_ptr<TetMesh> tm(new TetMesh(Tetrahedron::Material()));
    TetBoundMesh s;
    addTriangle(s, V3(0, 0, 0), V3(1, 0, 0), V3(0, 1, 0));
    testing::internal::CaptureStderr();
    std::string out = captureStdout([&] { s.bindToTets(tm); });
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "");
    EXPECT_EQ(err,
              "The tetrahedral mesh has no tetrahedra: the surface of 3 vertices cannot be bound "
              "and is dropped.\n");
    EXPECT_TRUE(s.vert.empty() && s.restVert.empty() && s.tris.empty() && s.bindings.empty());
    EXPECT_TRUE(s.fracture());
    s.splitSuperfluousEdges();
    EXPECT_TRUE(tm->vert.empty());
}

TEST(TetBoundMesh, CuttingWithoutRecordsOnlyRecomputesNormals) {
    boost::shared_ptr<TetMesh> tm = tetmeshes::makeMesh(tetmeshes::oneTet());
    TetBoundMesh s;
    addTriangle(s, V3(0.1f, 0.1f, 0.1f), V3(0.2f, 0.1f, 0.1f), V3(0.1f, 0.2f, 0.1f));
    // A quad over the same vertices plus one: its normal indices must stay valid.
    s.vert.push_back(V3(0.2f, 0.2f, 0.1f));
    s.restVert.push_back(s.vert.back());
    Mesh::Face q;
    int corners[4] = {0, 1, 3, 2};
    for (int k = 0; k < 4; ++k) q.vi[k] = corners[k], q.ni[k] = 50, q.tci[k] = 0;
    s.faces.push_back(q);
    captureStdout([&] { s.bindToTets(tm); });

    std::string out = captureStdout([&] { EXPECT_TRUE(s.fracture()); });
    EXPECT_EQ(out, "");
    ASSERT_GE(s.norm.size(), 3u);
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
