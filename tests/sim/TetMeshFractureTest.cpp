// Tests of fracture detection (principal stress, vertex split, colours, records) and of the
// replay of recorded splits.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/TetMesh.h"
#include "sim/TetMeshFractureArchive.h"
#include "tests/support/Capture.h"
#include "tests/support/sim/FractureMeshes.h"

using fracturemeshes::identityRotations;
using testsupport::captureStderr;
using testsupport::captureStdout;

namespace {

// Uniaxial strain along x that gives sigma_xx = sigmaXX with the default material (Young's
// modulus 25000, Poisson ratio 0.1); sigma_yy = sigma_zz = sigmaXX nu / (1 - nu) stay smaller.
double strainForStressXX(double sigmaXX) {
    const Tetrahedron::Material m;
    const double nu = m.poissonRatio;
    const double c = m.youngsModulus / ((1 - 2 * nu) * (1 + nu));
    return sigmaXX / ((1 - nu) * c);
}

// Current positions: rest positions mapped by x' = x + a x + b y (y and z unchanged).
void deform(TetMesh& mesh, double a, double b) {
    for (size_t i = 0; i < mesh.vert.size(); ++i) {
        const lumo::Vec3<float>& r = mesh.restVert[i];
        mesh.vert[i].x = static_cast<float>(r.x + a * r.x + b * r.y);
    }
}

// A seed for rand() whose first draw picks vertex v of tetrahedron t (the caller seeds with it
// right before the call under test).
unsigned seedChoosing(const TetMesh& mesh, int t, int v) {
    for (unsigned seed = 1; seed < 1000; ++seed) {
        srand(seed);
        if (mesh.tets[t].verts[rand() % 4] == v) return seed;
    }
    ADD_FAILURE() << "no seed picks vertex " << v;
    return 1;
}

lumo::Vec3<float> restCentroid(const TetMesh& mesh, int t) {
    lumo::Vec3<float> c(0, 0, 0);
    for (int k = 0; k < 4; ++k) c += mesh.restVert[mesh.tets[t].verts[k]] * 0.25;
    return c;
}

double side(const TetMeshFractureInfo& r, const lumo::Vec3<float>& p) {
    return r.normal.x * double(p.x) + r.normal.y * double(p.y) + r.normal.z * double(p.z) +
           r.offset;
}

void expectColour(const Tetrahedron& t, float r, float g, float b) {
    // Colours are sums of a few floats: exact up to float rounding.
    EXPECT_NEAR(t.color.x, r, 1e-6);
    EXPECT_NEAR(t.color.y, g, 1e-6);
    EXPECT_NEAR(t.color.z, b, 1e-6);
}

std::vector<std::vector<int>> vertsOf(const TetMesh& mesh) {
    std::vector<std::vector<int>> all;
    for (const Tetrahedron& t : mesh.tets) all.push_back({t.verts, t.verts + 4});
    return all;
}

}  // namespace

TEST(TetMeshFracture, AtRestOnlyThresholdZeroFractures) {
    auto mesh = tetmeshes::makeMesh(fracturemeshes::octahedronStar());
    mesh->recentFractures.resize(2);  // stale records are replaced
    mesh->fractureThreshold = 1e-9;
    std::string out = captureStdout([&] { mesh->handleFractures(identityRotations(8)); });
    EXPECT_EQ(out, "");
    EXPECT_TRUE(mesh->recentFractures.empty());
    EXPECT_EQ(mesh->vert.size(), 7u);
    for (const Tetrahedron& t : mesh->tets) expectColour(t, 0.7f, 0.7f, 0.7f);

    // Zero stress reaches a zero threshold: the comparison includes equality. With the centre
    // drawn, the star is all eight tetrahedra and the plane through the centre divides it.
    mesh->fractureThreshold = 0.0;
    srand(seedChoosing(*mesh, 0, 0));
    out = captureStdout([&] { mesh->handleFractures(identityRotations(8)); });
    EXPECT_EQ(mesh->recentFractures.size(), 1u);
    EXPECT_EQ(out.rfind("fracture: 0\n", 0), 0u);
}

TEST(TetMeshFracture, PureTensionSplitsTheStarByRestCentroidX) {
    auto mesh = tetmeshes::makeMesh(fracturemeshes::octahedronStar());
    deform(*mesh, strainForStressXX(2000), 0);
    mesh->velocities[0] = lumo::Vec3<float>(1, 2, 3);
    // The first draw picks the centre: its star holds all eight (overstressed) tetrahedra, so
    // one split takes them all and no other tetrahedron is tested in this call.
    srand(seedChoosing(*mesh, 0, 0));
    const std::string out = captureStdout([&] { mesh->handleFractures(identityRotations(8)); });
    EXPECT_EQ(out.rfind("fracture: 0\nAbove: ", 0), 0u) << out;
    EXPECT_EQ(out.find("fracture: ", 1), std::string::npos);

    ASSERT_EQ(mesh->recentFractures.size(), 1u);
    const TetMeshFractureInfo& r = mesh->recentFractures[0];
    EXPECT_EQ(r.tet, 0);
    EXPECT_EQ(r.vertex, 0);
    EXPECT_EQ(r.newVertex, 7);
    // Eigenvector of a diagonal stress tensor: a unit axis up to rounding.
    EXPECT_NEAR(std::fabs(r.normal.x), 1.0, 1e-6);
    EXPECT_NEAR(r.normal.y, 0.0, 1e-6);
    EXPECT_NEAR(r.normal.z, 0.0, 1e-6);
    EXPECT_EQ(r.offset, 0.0);

    const std::vector<int> positive = {0, 1, 2, 3}, negative = {4, 5, 6, 7};
    EXPECT_EQ(r.aboveTets, r.normal.x > 0 ? positive : negative);
    EXPECT_EQ(r.belowTets, r.normal.x > 0 ? negative : positive);
    // Above keeps the vertex and turns green, below takes the copy and turns blue; the
    // tetrahedron that broke has 0.2 more in every component.
    for (int t = 0; t < 8; ++t) {
        const bool above = r.aboveSet.count(t) != 0;
        const float extra = t == 0 ? 0.2f : 0.0f;
        EXPECT_EQ(mesh->tets[t].containsVertex(0), above);
        EXPECT_EQ(mesh->tets[t].containsVertex(7), !above);
        EXPECT_EQ(side(r, restCentroid(*mesh, t)) > 0.0, above);
        expectColour(mesh->tets[t], extra, extra + (above ? 1 : 0), extra + (above ? 0 : 1));
    }
    EXPECT_EQ(r.separatingTriangles.size(), 4u);
    EXPECT_TRUE(r.separatingEdges.empty());

    // One new vertex, copied into all three arrays.
    ASSERT_EQ(mesh->vert.size(), 8u);
    ASSERT_EQ(mesh->restVert.size(), 8u);
    ASSERT_EQ(mesh->velocities.size(), 8u);
    EXPECT_EQ(mesh->vert[7], mesh->vert[0]);
    EXPECT_EQ(mesh->restVert[7], mesh->restVert[0]);
    EXPECT_EQ(mesh->velocities[7], lumo::Vec3<float>(1, 2, 3));
}

TEST(TetMeshFracture, PureShearBreaksAlongTheDiagonal) {
    auto mesh = tetmeshes::makeMesh(fracturemeshes::octahedronStar());
    // x' = x + gamma y: engineering shear gamma, tau_xy = G gamma = 1500.
    const Tetrahedron::Material m;
    const double G = m.youngsModulus / (2 * (1 + m.poissonRatio));
    deform(*mesh, 0, 1500 / G);
    const unsigned seed = seedChoosing(*mesh, 0, 0);

    // Float positions put the principal stress within about 0.01 of 1500.
    mesh->fractureThreshold = 1501;
    srand(seed);
    captureStdout([&] { mesh->handleFractures(identityRotations(8)); });
    EXPECT_TRUE(mesh->recentFractures.empty());

    mesh->fractureThreshold = 1499;
    srand(seed);
    captureStdout([&] { mesh->handleFractures(identityRotations(8)); });
    ASSERT_EQ(mesh->recentFractures.size(), 1u);
    const TetMeshFractureInfo& r = mesh->recentFractures[0];
    const double h = std::sqrt(0.5);
    EXPECT_NEAR(std::fabs(r.normal.x), h, 1e-5);
    EXPECT_NEAR(r.normal.x * r.normal.y, 0.5, 1e-5);  // same sign: along (1, 1, 0)
    EXPECT_NEAR(r.normal.z, 0.0, 1e-5);
}

// Largest principal stress of tetrahedron t with an identity rotation, computed through the
// matrix class: s = (E B)(x - x0), then the symmetric eigen-decomposition.
double largestStress(const TetMesh& mesh, int t) {
    const Tetrahedron& e = mesh.tets[t];
    const lumo::Matrix s =
        (e.E * e.B) * (e.getVertexVector(mesh.vert) - e.getVertexVector(mesh.restVert));
    const int entry[3][3] = {{0, 4, 3}, {4, 1, 5}, {3, 5, 2}};  // xx xy zx / xy yy yz / ...
    lumo::Matrix S(3, 3), V, lambda;
    for (int i = 0; i < 9; ++i) S(i / 3, i % 3) = s[entry[i / 3][i % 3]];
    S.eigSym(V, lambda);
    return lambda[2];
}

TEST(TetMeshFracture, ThresholdEqualToTheStressFractures) {
    // Also with shear, where the stress tensor is not diagonal.
    for (const double shear : {0.0, 0.1}) {
        auto mesh = tetmeshes::makeMesh(fracturemeshes::octahedronStar());
        deform(*mesh, strainForStressXX(1234), shear);
        const unsigned seed = seedChoosing(*mesh, 0, 0);
        double highest = 0;  // the eight differ by rounding at most
        for (int t = 0; t < 8; ++t) highest = std::max(highest, largestStress(*mesh, t));
        for (const double threshold : {std::nextafter(highest, 1e300), largestStress(*mesh, 0)}) {
            mesh->fractureThreshold = threshold;
            srand(seed);
            captureStdout([&] { mesh->handleFractures(identityRotations(8)); });
            EXPECT_EQ(mesh->recentFractures.size(), threshold > highest ? 0u : 1u) << shear;
        }
    }
}

TEST(TetMeshFracture, StressIsMeasuredInTheRotatedFrame) {
    // The stretched octahedron rotated 90 degrees about z, with that rotation handed in: the
    // rest-frame stress is the same tension, so the normal is still the rest x axis.
    auto mesh = tetmeshes::makeMesh(fracturemeshes::octahedronStar());
    deform(*mesh, strainForStressXX(2000), 0);
    for (auto& p : mesh->vert) p = lumo::Vec3<float>(-p.y, p.x, p.z);
    lumo::Matrix R = lumo::Matrix::zeros(12, 12);
    for (int k = 0; k < 4; ++k) {
        R(3 * k, 3 * k + 1) = -1;
        R(3 * k + 1, 3 * k) = 1;
        R(3 * k + 2, 3 * k + 2) = 1;
    }
    srand(seedChoosing(*mesh, 0, 0));
    captureStdout([&] { mesh->handleFractures(std::vector<lumo::Matrix>(8, R)); });
    ASSERT_EQ(mesh->recentFractures.size(), 1u);
    EXPECT_NEAR(std::fabs(mesh->recentFractures[0].normal.x), 1.0, 1e-6);
}

TEST(TetMeshFracture, UndividedStarOnlyColoursAndNaNStressNeverFractures) {
    // A lone tetrahedron is the whole star of each of its vertices: never divided.
    auto mesh = tetmeshes::makeMesh(tetmeshes::oneTet());
    deform(*mesh, strainForStressXX(5000), 0);
    EXPECT_EQ(captureStdout([&] { mesh->handleFractures(identityRotations(1)); }), "");
    EXPECT_TRUE(mesh->recentFractures.empty());
    EXPECT_EQ(mesh->vert.size(), 4u);
    expectColour(mesh->tets[0], 0.9f, 0.9f, 0.9f);

    auto star = tetmeshes::makeMesh(fracturemeshes::octahedronStar());
    for (auto& p : star->vert) p.x = std::numeric_limits<float>::quiet_NaN();
    star->fractureThreshold = -1e300;
    EXPECT_EQ(captureStdout([&] { star->handleFractures(identityRotations(8)); }), "");
    EXPECT_TRUE(star->recentFractures.empty());
    for (const Tetrahedron& t : star->tets) expectColour(t, 0.7f, 0.7f, 0.7f);
}

TEST(TetMeshFracture, BeamUnderTensionRecordsConsistentSplits) {
    auto mesh = tetmeshes::makeMesh(tetmeshes::beam(4));
    const size_t nVerts = mesh->vert.size();
    deform(*mesh, strainForStressXX(2000), 0);
    srand(7);
    const std::string out =
        captureStdout([&] { mesh->handleFractures(identityRotations(mesh->tets.size())); });
    const std::vector<TetMeshFractureInfo>& records = mesh->recentFractures;
    ASSERT_FALSE(records.empty());

    std::set<int> involved;
    for (size_t k = 0; k < records.size(); ++k) {
        const TetMeshFractureInfo& r = records[k];
        if (k > 0) {
            EXPECT_GT(r.tet, records[k - 1].tet);
        }
        EXPECT_EQ(involved.count(r.tet), 0u) << "tetrahedron tested again after a split";
        EXPECT_EQ(r.newVertex, static_cast<int>(nVerts + k));
        EXPECT_NEAR(std::fabs(r.normal.x), 1.0, 1e-6);
        // The plane x = rest x of the split vertex; centroids lie at least 0.25 away from it.
        EXPECT_NEAR(r.offset, -r.normal.x * mesh->restVert[r.vertex].x, 1e-6);
        for (int t : r.aboveTets) {
            EXPECT_GT(side(r, restCentroid(*mesh, t)), 0.2);
            involved.insert(t);
        }
        for (int t : r.belowTets) {
            EXPECT_LT(side(r, restCentroid(*mesh, t)), -0.2);
            involved.insert(t);
        }
    }
    EXPECT_EQ(mesh->vert.size(), nVerts + records.size());
    EXPECT_EQ(mesh->restVert.size(), mesh->vert.size());
    EXPECT_EQ(mesh->velocities.size(), mesh->vert.size());
    // One "fracture" line per record.
    size_t lines = 0;
    for (size_t p = out.find("fracture: "); p != std::string::npos;
         p = out.find("fracture: ", p + 1))
        ++lines;
    EXPECT_EQ(lines, records.size());
}

TEST(TetMeshFracture, ReplayReproducesTheReindexing) {
    auto original = tetmeshes::makeMesh(tetmeshes::beam(3));
    deform(*original, strainForStressXX(3000), 0);
    srand(11);
    captureStdout([&] { original->handleFractures(identityRotations(original->tets.size())); });
    ASSERT_GE(original->recentFractures.size(), 2u);

    // Through the log, as the replay key reads it: no separating edges come back.
    std::stringstream log;
    saveFractures(log, original->recentFractures);
    std::vector<TetMeshFractureInfo> records;
    loadFractures(log, records);
    ASSERT_EQ(records.size(), original->recentFractures.size());

    auto replay = tetmeshes::makeMesh(tetmeshes::beam(3));
    for (size_t k = 0; k < records.size(); ++k) {
        TetMeshFractureInfo& r = records[k];
        const TetMeshFractureInfo& made = original->recentFractures[k];
        replay->recentFractures.clear();
        const std::string out = captureStdout([&] { replay->debugFracture(r); });
        EXPECT_EQ(out.rfind("Above: ", 0), 0u);
        EXPECT_EQ(out.find("fracture:"), std::string::npos);
        // The copy taken on entry: no separating edges; the caller's record recomputed.
        ASSERT_EQ(replay->recentFractures.size(), 1u);
        EXPECT_TRUE(replay->recentFractures[0].separatingEdges.empty());
        ASSERT_EQ(r.separatingTriangles.size(), made.separatingTriangles.size());
        for (size_t j = 0; j < r.separatingTriangles.size(); ++j) {
            EXPECT_EQ(r.separatingTriangles[j].face, made.separatingTriangles[j].face);
        }
        ASSERT_EQ(r.separatingEdges.size(), made.separatingEdges.size());
        for (size_t j = 0; j < r.separatingEdges.size(); ++j) {
            EXPECT_EQ(r.separatingEdges[j].other, made.separatingEdges[j].other);
        }
    }
    EXPECT_EQ(vertsOf(*replay), vertsOf(*original));
    EXPECT_EQ(replay->restVert, original->restVert);
    EXPECT_EQ(replay->velocities.size(), replay->vert.size());
    // Replay changes no colours.
    for (const Tetrahedron& t : replay->tets) expectColour(t, 0.7f, 0.7f, 0.7f);
}

TEST(TetMeshFracture, ReplayRejectsRecordsThatDoNotFit) {
    auto source = tetmeshes::makeMesh(fracturemeshes::octahedronStar());
    deform(*source, strainForStressXX(2000), 0);
    srand(seedChoosing(*source, 0, 0));
    captureStdout([&] { source->handleFractures(identityRotations(8)); });
    ASSERT_EQ(source->recentFractures.size(), 1u);
    const TetMeshFractureInfo good = source->recentFractures[0];

    auto mesh = tetmeshes::makeMesh(fracturemeshes::octahedronStar());
    // One line naming what does not fit, and nothing changed (not even recentFractures).
    auto expectRejected = [&](TetMeshFractureInfo r, const std::string& why) {
        const auto verts = vertsOf(*mesh);
        const size_t n = mesh->vert.size();
        mesh->recentFractures.assign(1, good);
        std::string out;
        const std::string err =
            captureStderr([&] { out = captureStdout([&] { mesh->debugFracture(r); }); });
        EXPECT_EQ(out, "") << why;
        EXPECT_EQ(err, "debugFracture: record of tetrahedron 0 does not fit the mesh (" + why +
                           "); not applied\n");
        EXPECT_EQ(vertsOf(*mesh), verts) << why;
        EXPECT_EQ(mesh->vert.size() + mesh->restVert.size() + mesh->velocities.size(), 3 * n);
        EXPECT_EQ(mesh->recentFractures.size(), 1u) << why;
        EXPECT_EQ(r.separatingTriangles.size(), good.separatingTriangles.size()) << why;
    };

    ASSERT_EQ(good.vertex, 0);
    const std::string lacking =
        "tetrahedron " + std::to_string(good.belowTets[0]) + " lacks vertex 0";
    const std::pair<std::function<void(TetMeshFractureInfo&)>, std::string> misfits[] = {
        {[](TetMeshFractureInfo& r) { r.vertex = 7; }, "vertex 7 out of range"},
        {[](TetMeshFractureInfo& r) { r.vertex = -1; }, "vertex -1 out of range"},
        {[](TetMeshFractureInfo& r) { r.newVertex = 8; }, "newVertex 8 out of range"},
        {[](TetMeshFractureInfo& r) { r.belowTets.push_back(8); },
         "below tetrahedron 8 out of range"},
        {[](TetMeshFractureInfo& r) { r.aboveTets.push_back(-3); },
         "above tetrahedron -3 out of range"},
        {[](TetMeshFractureInfo& r) { r.aboveTets.push_back(r.belowTets[0]); }, "above " + lacking},
    };
    for (const auto& m : misfits) {
        TetMeshFractureInfo r = good;
        m.first(r);
        expectRejected(r, m.second);
    }

    // The record fits once; applied a second time its below tetrahedra lack the vertex.
    TetMeshFractureInfo r = good;
    captureStdout([&] { mesh->debugFracture(r); });
    EXPECT_EQ(vertsOf(*mesh), vertsOf(*source));
    expectRejected(good, "below " + lacking);
}
