// The implicit co-rotational step of TetMesh: per-element rotations from the deformation
// gradient, assembly of the backward-Euler velocity system (TetMeshAssembly.cpp), direct
// solve, integration, fracture, floor response and normals.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "numerics/small_kernels.h"
#include "sim/TetMeshStepWork.h"

using lumo::Matrix;
using lumo::Vec3;

TetMesh::StepWorkHolder::StepWorkHolder() : work_(new StepWork()) {}
TetMesh::StepWorkHolder::StepWorkHolder(const StepWorkHolder&) : work_(new StepWork()) {}
TetMesh::StepWorkHolder& TetMesh::StepWorkHolder::operator=(const StepWorkHolder&) {
    return *this;  // the kept work describes this mesh's last step, not the source's
}
TetMesh::StepWorkHolder::~StepWorkHolder() = default;
TetMesh::StepWork& TetMesh::StepWorkHolder::get() {
    return *work_;
}

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The first three columns of X_rest^-1 (4 x 3 row-major) for the rest positions r (slot k at
// 3k..3k+2), X_rest the 4 x 4 matrix whose column k is (x, y, z, 1) of slot k; the inverse by
// the same Gauss-Jordan kernel as lumo::Matrix::inverse.
void restInverse(const float r[12], double out[12]) {
    double A[16], I[16];
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < 3; ++i) A[4 * i + k] = r[3 * k + i];
        A[12 + k] = 1.0;
    }
    for (int k = 0; k < 16; ++k) I[k] = (k % 5 == 0) ? 1.0 : 0.0;
    lumo::gaussJordanInverse(A, I, 4);
    for (int k = 0; k < 4; ++k)
        for (int j = 0; j < 3; ++j) out[3 * k + j] = I[4 * k + j];
}

// Rotation R (3 x 3, row-major) of element t: F = the upper-left 3 x 3 block of
// X_cur X_rest^-1 (the deformation gradient), R its orthogonal polar factor (= U V^T of its
// SVD). The inverse comes from the element's rest cache, renewed when its rest positions
// changed.
void elementRotation(const Tetrahedron& t, const std::vector<Vec3<float>>& rest,
                     const std::vector<Vec3<float>>& cur, TetMesh::StepWork::RestCache& cache,
                     double R[9]) {
    float r[12];
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 3; ++i) r[3 * k + i] = rest[t.verts[k]][i];
    if (!cache.valid || std::memcmp(r, cache.rest, sizeof r) != 0) {
        std::memcpy(cache.rest, r, sizeof r);
        restInverse(r, cache.inverse);
        cache.valid = true;
    }
    double F[9];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double s = 0.0;
            for (int k = 0; k < 4; ++k) s += double(cur[t.verts[k]][i]) * cache.inverse[3 * k + j];
            F[3 * i + j] = s;
        }
    lumo::polarRotation3(F, R);
}

// work.rot3 = the rotations of every element of mesh, in tets order.
void elementRotations(const TetMesh& mesh, TetMesh::StepWork& work) {
    const size_t count = mesh.tets.size();
    work.restCache.resize(count);
    work.rot3.resize(9 * count);
    for (size_t e = 0; e < count; ++e)
        elementRotation(mesh.tets[e], mesh.restVert, mesh.vert, work.restCache[e],
                        &work.rot3[9 * e]);
}

// 12 x 12 block-diagonal matrix with the 3 x 3 matrix R (row-major) in each diagonal block.
Matrix blockRotation(const double R[9]) {
    Matrix Q = Matrix::zeros(12, 12);
    for (int k = 0; k < 4; ++k)
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) Q(3 * k + r, 3 * k + c) = R[3 * r + c];
    return Q;
}

// Solves the assembled system into work.v; false when the solve failed or gave non-finite
// velocities.
bool solveSystem(const TetMesh& mesh, TetMesh::StepWork& w) {
    const int N = 3 * int(mesh.vert.size());
    if (!w.lu || w.luReuses != mesh.reuseSolverAnalysis) {
        lumo::SparseLU::Options o;
        o.tunedForSpd = true;
        o.reuseAnalysis = mesh.reuseSolverAnalysis;
        w.lu.reset(new lumo::SparseLU(o));
        w.luReuses = o.reuseAnalysis;
    }
    w.v.resize(N);
    if (!w.lu->solve(N, w.p.data(), w.i.data(), w.A.data(), w.b.data(), w.v.data())) return false;
    for (int k = 0; k < N; ++k)
        if (!std::isfinite(w.v[k])) return false;
    return true;
}

// Floor plane y = -10: a vertex below it and moving down has its y velocity reversed and its
// whole velocity damped by 0.9; its position is left where it is.
void floorResponse(const std::vector<Vec3<float>>& vert, std::vector<Vec3<float>>& velocities) {
    for (size_t i = 0; i < vert.size(); ++i) {
        if (vert[i].y < -10.0 && velocities[i].y < 0) {
            velocities[i].y = -velocities[i].y;
            velocities[i] *= 0.9;
        }
    }
}

// Whether the velocities v (3n entries) and the positions they move vert to in dt stay finite
// once stored in single precision; a finite solution beyond its range would store infinities,
// which no later step recovers from.
bool fitsSinglePrecision(const std::vector<double>& v, const std::vector<Vec3<float>>& vert,
                         double dt) {
    const double fmax = std::numeric_limits<float>::max();
    for (size_t i = 0; i < vert.size(); ++i) {
        for (int c = 0; c < 3; ++c)
            if (!(std::fabs(v[3 * i + c]) <= fmax)) return false;
        const Vec3<float> vel{float(v[3 * i]), float(v[3 * i + 1]), float(v[3 * i + 2])};
        const Vec3<float> p = vert[i] + vel * dt;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
    }
    return true;
}

}  // namespace

std::vector<Matrix> TetMesh::getTetRotations() {
    StepWork& work = stepWork.get();
    elementRotations(*this, work);
    std::vector<Matrix> rotations;
    rotations.reserve(tets.size());
    for (size_t e = 0; e < tets.size(); ++e) rotations.push_back(blockRotation(&work.rot3[9 * e]));
    return rotations;
}

void TetMesh::simulate(double dt, Matrix fext) {
    const int n = int(vert.size());
    const int N = 3 * n;
    double t0 = now();
    if (fext.m != N) {
        fext = Matrix::zeros(N, 1);
    } else if (fext.n != 1) {
        throw Matrix::size_mismatch(Matrix::zeros(N, 1), fext);
    }
    if (int(velocities.size()) != n) velocities.resize(n, Vec3<float>(0, 0, 0));
    StepWork& work = stepWork.get();

    elementRotations(*this, work);
    double t1 = now();

    buildStepPattern(*this, work);
    assembleStep(*this, work, dt);
    systemAndRightHandSide(*this, work, dt, fext);
    double t2 = now();

    const bool solved = solveSystem(*this, work);
    const bool fits = solved && fitsSinglePrecision(work.v, vert, dt);
    double t3 = now();

    if (fits) {
        for (int i = 0; i < n; ++i) {
            velocities[i] = Vec3<float>(float(work.v[3 * i]), float(work.v[3 * i + 1]),
                                        float(work.v[3 * i + 2]));
            vert[i] += velocities[i] * dt;
        }
        handleFractures(work.rot3);
        floorResponse(vert, velocities);
    } else {
        // One bad solve must not turn the body into NaN: keep this step's start state.
        if (solved)
            fprintf(stderr,
                    "simulate: the solution exceeds single precision (%d unknowns); step "
                    "skipped\n",
                    N);
        else
            fprintf(stderr, "simulate: the sparse solve failed (%d unknowns); step skipped\n", N);
        recentFractures.clear();
    }
    updateNormals();

    if (stepTiming) {
        double t4 = now();
        stepTiming->rotations += t1 - t0;
        stepTiming->assembly += t2 - t1;
        stepTiming->solve += t3 - t2;
        stepTiming->rest += t4 - t3;
        stepTiming->steps += 1;
    }
}
