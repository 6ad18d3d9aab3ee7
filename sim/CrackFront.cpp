// Finishing one separating triangle: linking the cut points that lie on its own edges into
// closed curves, and capping every closed cut path with two fans of opposite winding; and the
// point-to-line distance the cutter shares.
#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "sim/SplitContext.h"
#include "sim/TetMesh.h"

double distanceFromLine(const lumo::Vec3<float>& r, const lumo::Vec3<float>& c,
                        const lumo::Vec3<float>& u) {
    lumo::Vec3<float> d = r - c;
    return (d - u * d.dot(u)).len();
}

void SplitContext::fixFacePoints() {
    const TetMesh& tm = *mesh.tetMesh;

    // 1. Which cut points (of the whole record so far) lie on the line of which edge.
    std::vector<int> onEdge[3];
    for (int i = 0; i < int(splitVerts.size()); ++i) {
        lumo::Vec3<float> r = mesh.restVert[splitVerts[i].first];
        for (int j = 0; j < 3; ++j) {
            lumo::Vec3<float> u = sepTriangle.p[(j + 1) % 3] - sepTriangle.p[j];
            u.normalize();
            if (distanceFromLine(r, sepTriangle.p[j], u) < 1e-5) {
                printf("%d is on edge %d\n", i, j);
                onEdge[j].push_back(i);
                break;
            }
        }
    }

    // 2. Along each edge, walked from corner j to corner j+1, pair up the inside corners and
    // the crossings in order: every pair bounds a stretch of the edge inside the surface.
    for (int j = 0; j < 3; ++j) {
        int cj = sepTriIdx[j], cj1 = sepTriIdx[(j + 1) % 3];
        lumo::Vec3<float> c0 = tm.restVert[cj];
        lumo::Vec3<float> u = tm.restVert[cj1] - c0;
        double length = u.len();
        u.normalize();

        std::vector<std::pair<double, int>> pairs;
        if (mesh.isInside(cj)) {
            getSplitTriangleVertex(cj);
            pairs.push_back(std::make_pair(0.0, tetVertMap[cj]));
        }
        if (mesh.isInside(cj1)) {
            getSplitTriangleVertex(cj1);
            pairs.push_back(std::make_pair(length, tetVertMap[cj1]));
        }
        for (int i : onEdge[j]) {
            lumo::Vec3<float> d = mesh.restVert[splitVerts[i].first] - c0;
            float along = d.x * u.x + d.y * u.y + d.z * u.z;
            pairs.push_back(std::make_pair(double(along), i));
        }
        std::sort(pairs.begin(), pairs.end());

        for (size_t k = 0; k + 1 < pairs.size(); k += 2) {
            printf("linnking %d - %d\n", pairs[k].second, pairs[k + 1].second);
            link(pairs[k].second, pairs[k + 1].second);
        }
    }
}

void SplitContext::findPath() {
    int count = int(splitVerts.size());
    std::vector<bool> visited(count, false);
    for (int i = 0; i < count; ++i) {
        if (visited[i]) continue;
        std::vector<int> path;
        int cur = i;
        while (cur >= 0 && cur < count && !visited[cur]) {
            visited[cur] = true;
            path.push_back(cur);
            cur = splitVerts[cur].next;
        }
        bool loop = !path.empty() && splitVerts[path.back()].next == i;
        printf("Path length: %d is loop: %d\n", int(path.size()), loop ? 1 : 0);
        if (!loop) continue;

        for (int p : path) printf("%d ", splitVerts[p].first);
        printf("\n");
        for (int p : path) printf("%d ", splitVerts[p].second);
        printf("\n");

        // Two fans over the closed cut: one over the above copies, one of opposite winding over
        // the below copies, so each side of the crack is closed facing its own way.
        int n = int(path.size());
        for (int k = 2; k < n; ++k) {
            newTris.insert(int(mesh.tris.size()));
            appendTri(splitVerts[path[0]].first, splitVerts[path[k - 1]].first,
                      splitVerts[path[k]].first);
        }
        for (int k = 2; k < n; ++k) {
            newTris.insert(int(mesh.tris.size()));
            appendTri(splitVerts[path[0]].second, splitVerts[path[k]].second,
                      splitVerts[path[k - 1]].second);
        }
    }
}
