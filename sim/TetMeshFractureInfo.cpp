// The fracture record: construction and the derived separating triangles and edges, found from
// the tetrahedra as they stand after a vertex split.
#include "sim/TetMeshFractureInfo.h"

#include <cassert>
#include <cstdio>
#include <iostream>

namespace {

// Inserts the three edges of tri, both ways round.
void insertEdges(const TriangleIndices& tri, std::set<std::pair<int, int>>& edges) {
    for (int k = 0; k < 3; ++k) {
        const int p = tri[k];
        const int q = tri[(k + 1) % 3];
        edges.insert(std::make_pair(p, q));
        edges.insert(std::make_pair(q, p));
    }
}

}  // namespace

TetMeshFractureInfo::TetMeshFractureInfo()
    : tet(0), normal(0.0f, 0.0f, 0.0f), offset(0.0), vertex(0), newVertex(0) {}

TetMeshFractureInfo::TetMeshFractureInfo(const std::vector<Tetrahedron>& tets, int tet,
                                         const lumo::Vec3<float>& normal, double offset, int vertex,
                                         int newVertex, const std::vector<int>& above,
                                         const std::vector<int>& below)
    : tet(tet),
      normal(normal),
      offset(offset),
      vertex(vertex),
      newVertex(newVertex),
      aboveTets(above),
      belowTets(below) {
    initSeparatingTriangles(tets);
    aboveSet.insert(aboveTets.begin(), aboveTets.end());
    belowSet.insert(belowTets.begin(), belowTets.end());
}

bool TetMeshFractureInfo::opposingTriangles(const TriangleIndices& a,
                                            const TriangleIndices& b) const {
    for (int k = 0; k < 3; ++k) {
        if (b[k] == newVertex) return a[2] == b[(k + 1) % 3] && a[1] == b[(k + 2) % 3];
    }
    return false;
}

bool TetMeshFractureInfo::adjacent(const Tetrahedron& a, const Tetrahedron& b, int& face) const {
    for (int i = 0; i < 4; ++i) {
        const TriangleIndices c = a.faceVertices(i);
        int k = 0;
        while (k < 3 && c[k] != vertex) ++k;
        if (k == 3) continue;
        // The face of a rotated so that vertex comes first: (vertex, p, q).
        const TriangleIndices rotated(c[k], c[(k + 1) % 3], c[(k + 2) % 3]);
        for (int j = 0; j < 4; ++j) {
            if (opposingTriangles(rotated, b.faceVertices(j))) {
                face = i;
                return true;
            }
        }
    }
    return false;
}

void TetMeshFractureInfo::findSeparatingEdges(const Tetrahedron& a, const Tetrahedron& b,
                                              std::set<std::pair<int, int>>& edges) {
    const int v1ind = a.indexOfVertex(vertex);
    const int v2ind = b.indexOfVertex(newVertex);
    // clang-format off
    assert(v1ind >=0 && v2ind >= 0);
    // clang-format on
    if (v1ind < 0 || v2ind < 0) return;  // only reached when assertions are compiled out

    for (int i = 0; i < 4; ++i) {
        if (i == v1ind) continue;
        for (int j = 0; j < 4; ++j) {
            if (j == v2ind || a.verts[i] != b.verts[j]) continue;
            const int w = a.verts[i];
            if (edges.count(std::make_pair(newVertex, w))) continue;
            printf("Sep edge: %d-%d %d-%d\n", vertex, w, newVertex, w);
            printf("  %d %d %d %d  (%d => %d, %d) \n", a.verts[0], a.verts[1], a.verts[2],
                   a.verts[3], v1ind, a.verts[v1ind], vertex);
            separatingEdges.push_back(SeparatingEdge{vertex, newVertex, w});
            edges.insert(std::make_pair(newVertex, w));
            edges.insert(std::make_pair(w, newVertex));
            edges.insert(std::make_pair(vertex, w));
            edges.insert(std::make_pair(w, vertex));
        }
    }
}

void TetMeshFractureInfo::initSeparatingTriangles(const std::vector<Tetrahedron>& tets) {
    separatingTriangles.clear();
    separatingEdges.clear();
    std::set<std::pair<int, int>> edges;

    std::cout << "Above: ";
    for (int t : aboveTets) tets[t].print(std::cout) << "\n";
    std::cout << "Below: ";
    for (int t : belowTets) tets[t].print(std::cout) << "\n";

    const int nAbove = static_cast<int>(aboveTets.size());
    const int nBelow = static_cast<int>(belowTets.size());
    for (int i = 0; i < nAbove; ++i) {
        for (int j = 0; j < nBelow; ++j) {
            int face = 0;
            if (!adjacent(tets[aboveTets[i]], tets[belowTets[j]], face)) continue;
            separatingTriangles.push_back(SeparatingTriangle{aboveTets[i], belowTets[j], face});
            printf("Found sep tri: %d/%d %d/%d\n", i, nAbove, j, nBelow);

            // Both copies of the face (before and after the split) have edges that must not
            // be reported again as separating edges.
            TriangleIndices tri = tets[aboveTets[i]].faceVertices(face);
            insertEdges(tri, edges);
            // adjacent() only matches faces of the above tetrahedron that hold vertex.
            const bool replaced = tri.replaceVert(vertex, newVertex);
            assert(replaced);
            (void)replaced;
            insertEdges(tri, edges);
        }
    }

    for (int i = 0; i < nAbove; ++i) {
        for (int j = 0; j < nBelow; ++j) {
            findSeparatingEdges(tets[aboveTets[i]], tets[belowTets[j]], edges);
        }
    }

    if (!separatingTriangles.empty()) {
        printf("Sep tri:\n");
        for (const SeparatingTriangle& st : separatingTriangles) {
            const TriangleIndices c = tets[st.aboveTet].faceVertices(st.face);
            printf("%d %d %d  (%d, %d)\n", c[0], c[1], c[2], vertex, newVertex);
        }
    }
}

bool TetMeshFractureInfo::affectsTetrahedron(int t) const {
    return aboveSet.count(t) != 0 || belowSet.count(t) != 0;
}
