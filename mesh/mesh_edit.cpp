// Editing of Mesh: triangulation of a masked range image, sub-meshes of listed vertices,
// one-to-six subdivision and filling of simple holes.
#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "mesh/mesh.h"
#include "platform/image/image.h"

namespace {

using Vec3f = lumo::Vec3<float>;
using WeightList = std::vector<Mesh::bone_weight_t>;

// Merges src into dst by bone: a weight whose bone dst already holds (including bones appended
// earlier in this call) is added to that entry, any other is appended.
void append(WeightList& dst, const WeightList& src) {
    for (const Mesh::bone_weight_t& w : src) {
        auto it = std::find_if(dst.begin(), dst.end(),
                               [&](const Mesh::bone_weight_t& d) { return d.bone == w.bone; });
        if (it != dst.end())
            it->weight += w.weight;
        else
            dst.push_back(w);
    }
}

// Scales the list to sum 1 when its (double-precision) sum exceeds 1e-10.
void normalise(WeightList& list) {
    double sum = 0.0;
    for (const Mesh::bone_weight_t& w : list) sum += w.weight;
    if (sum > 1e-10)
        for (Mesh::bone_weight_t& w : list) w.weight = float(w.weight * (1.0 / sum));
}

// Midpoint index of the edge (a, b) in a per-endpoint edge map, or -1.
int findMidpoint(const std::vector<std::vector<std::pair<int, int>>>& map, int a, int b) {
    for (const std::pair<int, int>& e : map[a])
        if (e.first == b) return e.second;
    return -1;
}

void recordMidpoint(std::vector<std::vector<std::pair<int, int>>>& map, int a, int b, int m) {
    map[a].emplace_back(b, m);
    map[b].emplace_back(a, m);
}

// One-to-six subdivision of src's triangles into dst. dst starts with src's rest positions,
// weights and texture coordinates; every triangle appends its centre, then the midpoints of its
// edges that no earlier triangle made. Position and texture edges keep separate midpoint maps,
// since a texture seam splits a texture edge but not the position edge.
class Subdivision {
  public:
    Subdivision(const Mesh& src, Mesh& dst)
        : src(src),
          dst(dst),
          hasW(!src.boneWeights.empty()),
          hasT(!src.tvert.empty()),
          edgeMid(src.restVert.size()),
          texMid(src.tvert.size()) {
        dst.restVert = src.restVert;
        if (hasW) dst.boneWeights = src.boneWeights;
        dst.tvert = src.tvert;
        dst.tris.reserve(6 * src.tris.size());
    }

    // Appends the centre of t, the new midpoints of its edges and its six triangles: for each
    // edge (a, b) from corner k, (a, m, c) and (m, b, c) with m the midpoint and c the centre.
    // The centre's position and texture coordinate are the corner means, its weights the
    // normalised merge of the corners'. Texture indices are 0 when src has no texture.
    void splitTriangle(const Mesh::Tri& t) {
        const int c = int(dst.restVert.size());
        dst.restVert.push_back(Vec3f());
        if (hasW) dst.boneWeights.emplace_back();
        const int ct = int(dst.tvert.size());
        if (hasT) dst.tvert.push_back(Vec3f());
        Vec3f sum, tsum;
        for (int k = 0; k < 3; ++k) {
            const int a = t.vi[k], b = t.vi[(k + 1) % 3];
            const int ta = t.tci[k], tb = t.tci[(k + 1) % 3];
            sum += src.restVert[a];
            const int m = edgeMidpoint(a, b);
            int tm = 0;
            if (hasT) {
                tsum += src.tvert[ta];
                tm = texMidpoint(ta, tb);
            }
            const int v1[3] = {a, m, c}, v2[3] = {m, b, c};
            const int t1[3] = {ta, tm, ct}, t2[3] = {tm, tb, ct}, zero[3] = {0, 0, 0};
            dst.tris.push_back(Mesh::Tri(v1, v1, hasT ? t1 : zero));
            dst.tris.push_back(Mesh::Tri(v2, v2, hasT ? t2 : zero));
            if (hasW) append(dst.boneWeights[c], src.boneWeights[a]);
        }
        if (hasT) dst.tvert[ct] = tsum * (1.0 / 3.0);
        if (hasW) normalise(dst.boneWeights[c]);
        dst.restVert[c] = sum * (1.0 / 3.0);
    }

  private:
    // Index of the midpoint of position edge (a, b), appending it (position and the normalised
    // merge of both ends' weights) the first time the edge is seen.
    int edgeMidpoint(int a, int b) {
        int m = findMidpoint(edgeMid, a, b);
        if (m >= 0) return m;
        m = int(dst.restVert.size());
        recordMidpoint(edgeMid, a, b, m);
        dst.restVert.push_back((src.restVert[a] + src.restVert[b]) * 0.5);
        if (hasW) {
            WeightList list = src.boneWeights[a];
            append(list, src.boneWeights[b]);
            normalise(list);
            dst.boneWeights.push_back(std::move(list));
        }
        return m;
    }

    // Index of the midpoint of texture edge (ta, tb), appending it the first time.
    int texMidpoint(int ta, int tb) {
        int m = findMidpoint(texMid, ta, tb);
        if (m >= 0) return m;
        m = int(dst.tvert.size());
        recordMidpoint(texMid, ta, tb, m);
        dst.tvert.push_back((src.tvert[ta] + src.tvert[tb]) * 0.5);
        return m;
    }

    const Mesh& src;
    Mesh& dst;
    const bool hasW, hasT;
    std::vector<std::vector<std::pair<int, int>>> edgeMid, texMid;  // per endpoint: (other, mid)
};

}  // namespace

Mesh::Mesh(const lumo::Image<float>& coords, const lumo::Image<unsigned char>& mask) : Mesh() {
    assert(coords.nchannels == 3);
    assert(mask.w == coords.w && mask.h == coords.h);
    const int w = coords.w, h = coords.h;
    // Vertex index of every pixel, row-major; 0xFFFFFFFF where the mask is clear.
    std::vector<unsigned> index(size_t(w) * size_t(h), 0xFFFFFFFFu);
    auto set = [&](int x, int y) {
        return mask.nchannels > 0 && mask.data[(size_t(y) * w + x) * mask.nchannels] != 0;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (!set(x, y)) continue;
            index[size_t(y) * w + x] = unsigned(restVert.size());
            const float* p = coords.data + (size_t(y) * w + x) * 3;
            restVert.push_back(Vec3f(p[0], p[1], p[2]));
            tvert.push_back(Vec3f(float(x) / float(w), float(y) / float(h), 0.0f));
        }
    auto P = [&](int x, int y) { return int(index[size_t(y) * w + x]); };
    for (int y = 0; y + 1 < h; ++y)
        for (int x = 0; x + 1 < w; ++x) {
            if (set(x, y) && set(x + 1, y) && set(x + 1, y + 1)) {
                const int vi[3] = {P(x, y), P(x + 1, y + 1), P(x + 1, y)};
                tris.push_back(Tri(vi, vi, vi));
            }
            if (set(x, y) && set(x + 1, y + 1) && set(x, y + 1)) {
                const int vi[3] = {P(x, y), P(x, y + 1), P(x + 1, y + 1)};
                tris.push_back(Tri(vi, vi, vi));
            }
        }
    boneWeights.assign(restVert.size(), WeightList());
    vert = restVert;
    initNormals();
}

Mesh Mesh::keepVert(const std::vector<int>& keep) const {
    assert(boneWeights.empty() || boneWeights.size() >= vert.size());
    std::vector<int> vmap(vert.size(), -1), tmap(tvert.size(), -1);
    Mesh r;
    for (size_t j = 0; j < keep.size(); ++j) {
        const int v = keep[j];
        assert(v >= 0 && size_t(v) < vert.size());
        vmap[v] = int(j);
        r.restVert.push_back(vert[v]);
        if (!boneWeights.empty()) r.boneWeights.push_back(boneWeights[v]);
    }
    for (const Tri& t : tris) {
        if (vmap[t.vi[0]] < 0 || vmap[t.vi[1]] < 0 || vmap[t.vi[2]] < 0) continue;
        Tri n;
        for (int k = 0; k < 3; ++k) {
            const int tc = t.tci[k];
            assert(tc >= 0 && size_t(tc) < tvert.size());
            if (tmap[tc] < 0) {
                tmap[tc] = int(r.tvert.size());
                r.tvert.push_back(tvert[tc]);
            }
            n.vi[k] = vmap[t.vi[k]];
            n.tci[k] = tmap[tc];
        }
        r.tris.push_back(n);
    }
    r.vert = r.restVert;
    r.initNormals();
    return r;
}

Mesh Mesh::subdivide() const {
    if (!faces.empty()) std::fprintf(stderr, "WARNING: subdivide does not handle polys yet\n");
    assert(boneWeights.empty() || boneWeights.size() >= restVert.size());
    Mesh r;
    Subdivision split(*this, r);
    for (const Tri& t : tris) split.splitTriangle(t);
    r.vert = r.restVert;
    r.spheres = spheres;
    r.initNormals();
    return r;
}

void Mesh::fillSimpleHoles() {
    // Directed edge a -> b is keyed N a + b in 64 bits, so any vertex count fits.
    const int64_t N = int64_t(vert.size());
    std::vector<int64_t> keys;
    keys.reserve(3 * tris.size());
    for (const Tri& t : tris)
        for (int k = 0; k < 3; ++k) {
            const int a = t.vi[k], b = t.vi[(k + 1) % 3];
            assert(a >= 0 && a < N && b >= 0 && b < N);
            keys.push_back(N * a + b);
        }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());

    // A boundary edge a -> b (no b -> a) makes a the successor of b, so walks run against the
    // boundary's direction; among several edges into b the largest a wins.
    std::vector<int> successor(vert.size(), -1), stamp(vert.size(), -1);
    for (int64_t key : keys) {
        const int64_t a = key / N, b = key % N;
        if (std::binary_search(keys.begin(), keys.end(), N * b + a)) continue;
        successor[b] = int(a);
    }
    // A walk that comes back to its start is a simple loop; its vertices lose their successors
    // as it is filled, so every loop is filled once.
    for (int i = 0; i < int(N); ++i) {
        if (successor[i] == -1) continue;
        int count = 0, cur = i;
        while (stamp[cur] != i) {
            ++count;
            stamp[cur] = i;
            cur = successor[cur];
            if (cur == -1) break;
        }
        if (count == 0 || cur != i) continue;
        std::printf("found a hole of size: %d, filling it\n", count);
        std::vector<int> loop;
        for (cur = i; cur != -1;) {
            loop.push_back(cur);
            const int next = successor[cur];
            successor[cur] = -1;
            cur = next;
        }
        const int zero[3] = {0, 0, 0};
        for (int j = 0; j + 3 <= count; ++j) {
            const int vi[3] = {loop[0], loop[j + 1], loop[j + 2]};
            tris.push_back(Tri(vi, zero, zero));
        }
    }
    initNormals();
}
