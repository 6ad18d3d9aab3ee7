// TetMesh::getClosestTetrahedron: the element nearest to a point, with the bound that lets the
// quiet query skip far elements and the verbose listing computed on all cores.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "sim/ParallelFor.h"
#include "sim/StringFormat.h"
#include "sim/TetMesh.h"

using lumo::Vec3;

namespace {

// Lower bound on Tetrahedron::distance(pos, p) for every element, or -infinity where no safe
// bound is known; and an upper bound on the smallest of those distances. Every candidate that
// Tetrahedron::distance takes for a well-shaped element is a point of the element up to
// rounding, so it is no nearer than the element's bounding sphere allows; the bound keeps a
// margin far above that rounding and stays above the 1e-7 at which the distance prints its
// diagnostics, so skipping an element whose bound exceeds the best distance changes neither
// the result nor the output. Each element's distance is at most its nearest corner's, so the
// nearest corner of all bounds the result from above.
double distanceBounds(const std::vector<Tetrahedron>& tets, const std::vector<Vec3<float>>& pos,
                      const Vec3<float>& p, std::vector<double>& lower) {
    const double inf = std::numeric_limits<double>::infinity();
    double upper = inf;
    lower.assign(tets.size(), -inf);
    const Vec3<double> q(p.x, p.y, p.z);
    const double qAbs = std::max(std::fabs(q.x), std::max(std::fabs(q.y), std::fabs(q.z)));
    for (size_t i = 0; i < tets.size(); ++i) {
        Vec3<double> v[4], c(0, 0, 0);
        for (int k = 0; k < 4; ++k) {
            const Vec3<float>& f = pos[tets[i].verts[k]];
            double corner = (p - f).len();
            if (corner < upper) upper = corner;
            v[k] = Vec3<double>(f.x, f.y, f.z);
            c += v[k] * 0.25;
        }
        double r = 0, edge = 0, cAbs = 0;
        for (int k = 0; k < 4; ++k) {
            r = std::max(r, (v[k] - c).len());
            for (int j = k + 1; j < 4; ++j) edge = std::max(edge, (v[k] - v[j]).len());
        }
        for (int k = 0; k < 3; ++k) cAbs = std::max(cAbs, std::fabs(c[k]));
        // Only elements far from flat, where the barycentric solve is well conditioned.
        double sixVolume = std::fabs((v[1] - v[0]).dot((v[2] - v[0]) ^ (v[3] - v[0])));
        if (!(sixVolume > 1e-3 * edge * edge * edge)) continue;
        double lb = (q - c).len() - r;
        double margin = 1e-6 * (qAbs + cAbs + r + std::fabs(lb));
        if (lb - margin > 1e-6) lower[i] = lb - margin;
    }
    return upper;
}

// Prints text on standard output as one block. The stream is line-buffered, which would write
// a long text a line at a time: what it holds is flushed, then the text goes to the descriptor
// directly, after partial writes and interruptions too; an error ends it silently, as printf's.
void printBlock(const std::string& text) {
    if (text.empty()) return;
    std::fflush(stdout);
    const int fd = fileno(stdout);
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += size_t(n);
    }
}

// Elements per range of the verbose listing: enough work per range (each distance makes five
// small least-squares solves) to hide the hand-out, and enough ranges to share out.
const size_t kListingChunk = 256;

// The verbose listing: every element's distance, each printed as "%d %f (%f)\n" with the best
// distance before it, after the diagnostic lines its distance computation writes. The
// distances are independent, so they are computed on all cores, each element's diagnostics
// kept with it; the best-so-far values then follow in element order, and the text goes out in
// element order, a range at a time, exactly as an element-by-element loop would print it.
int closestListing(const std::vector<Tetrahedron>& tets, const std::vector<Vec3<float>>& pos,
                   const Vec3<float>& p, double& best) {
    const size_t n = tets.size();
    std::vector<double> dist(n), before(n);
    std::vector<std::string> log(n);
    parallelFor(n, kListingChunk, [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) dist[i] = tets[i].distance(pos, p, &log[i]);
    });
    int index = 0;
    for (size_t i = 0; i < n; ++i) {
        before[i] = best;
        if (dist[i] < best) {
            best = dist[i];
            index = int(i);
        }
    }
    const size_t ranges = (n + kListingChunk - 1) / kListingChunk;
    std::vector<std::string> text(ranges);
    parallelFor(ranges, 1, [&](size_t begin, size_t end) {
        for (size_t r = begin; r < end; ++r) {
            for (size_t i = r * kListingChunk; i < std::min(n, (r + 1) * kListingChunk); ++i) {
                text[r] += log[i];
                appendf(text[r], "%d %f (%f)\n", int(i), dist[i], before[i]);
            }
        }
    });
    for (const std::string& t : text) printBlock(t);
    return index;
}

}  // namespace

int TetMesh::getClosestTetrahedron(const Vec3<float>& p, bool verbose) const {
    double best = 1e10;
    int index = 0;
    if (verbose) {
        index = closestListing(tets, vert, p, best);
    } else {
        std::vector<double> lower;
        const double upper = distanceBounds(tets, vert, p, lower);
        std::string log;  // the distances' diagnostics, printed together
        for (size_t i = 0; i < tets.size(); ++i) {
            // An element that cannot come nearer than the best distance is never chosen (and
            // prints nothing).
            if (lower[i] > std::min(best, upper)) continue;
            double dist = tets[i].distance(vert, p, &log);
            if (dist < best) {
                best = dist;
                index = int(i);
            }
        }
        printBlock(log);
    }
    printf("bestDist: %f\n", best);
    return index;
}
