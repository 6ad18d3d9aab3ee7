// The linear tetrahedral element: construction, rest-shape matrices, plasticity, face normals,
// point distance, segment intersection and drawing.
#include "sim/Tetrahedron.h"

#include <GL/glew.h>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "numerics/small_kernels.h"
#include "platform/ui/UI.h"
#include "sim/StringFormat.h"

using lumo::Matrix;
using lumo::Vec3;
using lumo::Vec4;

const int Tetrahedron::tris[4][3] = {{0, 1, 2}, {1, 0, 3}, {2, 1, 3}, {0, 2, 3}};

Tetrahedron::Material::Material()
    : plasticYield(0.001),
      plasticMax(100.0),
      plasticCreep(2.0),
      youngsModulus(25000.0),
      poissonRatio(0.1) {}

Tetrahedron::Tetrahedron()
    : color(0, 0, 0),
      K(Matrix::eye(6, 12)),
      B(Matrix::zeros(6, 12)),
      E(Matrix::zeros(6, 6)),
      P(Matrix::zeros(12, 6)),
      plasticStrain(Matrix::zeros(6, 1)) {}

Tetrahedron::Tetrahedron(int a, int b, int c, int d)
    : color(0.7f, 0.7f, 0.7f),
      verts{a, c, d, b},
      volume(0.0),
      K(Matrix::eye(6, 12)),
      B(Matrix::zeros(6, 12)),
      E(Matrix::zeros(6, 6)),
      P(Matrix::zeros(12, 6)),
      plasticStrain(Matrix::zeros(6, 1)) {}

bool Tetrahedron::replaceVert(int oldVert, int newVert) {
    int k = indexOfVertex(oldVert);
    if (k < 0) return false;
    verts[k] = newVert;
    return true;
}

int Tetrahedron::indexOfVertex(int v) const {
    for (int k = 0; k < 4; ++k)
        if (verts[k] == v) return k;
    return -1;
}

TriangleIndices Tetrahedron::faceVertices(int f) const {
    return TriangleIndices(verts[tris[f][0]], verts[tris[f][1]], verts[tris[f][2]]);
}

bool Tetrahedron::containsVertex(int v) const {
    return indexOfVertex(v) >= 0;
}

std::ostream& Tetrahedron::print(std::ostream& os) const {
    os << verts[0] << "," << verts[1] << "," << verts[2] << "," << verts[3];
    return os;
}

void Tetrahedron::updateVolume(const std::vector<Vec3<float>>& pos) {
    Vec3<float> x0 = pos[verts[0]];
    Vec3<float> e1 = pos[verts[1]] - x0, e2 = pos[verts[2]] - x0, e3 = pos[verts[3]] - x0;
    Vec3<float> c23 = e2 ^ e3;
    float triple = e1.x * c23.x + e1.y * c23.y + e1.z * c23.z;
    volume = triple / -6.0;

    // Rows of the inverse of [e1 e2 e3]: the gradients of the shape functions of slots 1..3.
    Vec3<double> d1(e1.x, e1.y, e1.z), d2(e2.x, e2.y, e2.z), d3(e3.x, e3.y, e3.z);
    double det = d1.dot(d2 ^ d3);
    Vec3<double> g[4];
    g[1] = (d2 ^ d3);
    g[2] = (d3 ^ d1);
    g[3] = (d1 ^ d2);
    for (int k = 1; k < 4; ++k) g[k] /= det;
    g[0] = Vec3<double>(0, 0, 0) - (g[1] + g[2] + g[3]);

    B = Matrix::zeros(6, 12);
    for (int k = 0; k < 4; ++k) {
        const Vec3<double>& gk = g[k];
        B(0, 3 * k) = gk.x;
        B(1, 3 * k + 1) = gk.y;
        B(2, 3 * k + 2) = gk.z;
        B(3, 3 * k) = gk.z;
        B(3, 3 * k + 2) = gk.x;
        B(4, 3 * k) = gk.y;
        B(4, 3 * k + 1) = gk.x;
        B(5, 3 * k + 1) = gk.z;
        B(5, 3 * k + 2) = gk.y;
    }

    double Y = material.youngsModulus, nu = material.poissonRatio;
    double c = Y / ((1 - 2 * nu) * (1 + nu));
    E = Matrix::zeros(6, 6);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) E(i, j) = (i == j) ? (1 - nu) * c : nu * c;
    for (int i = 3; i < 6; ++i) E(i, i) = Y / (2 * (1 + nu));

    Matrix BtE = B.transpose() * E;
    K = (BtE * B) * volume;
    P = BtE * volume;
}

Matrix Tetrahedron::getBaryMatrix(const std::vector<Vec3<float>>& pos) const {
    Matrix X(4, 4);
    for (int k = 0; k < 4; ++k) {
        const Vec3<float>& v = pos[verts[k]];
        X(0, k) = v.x;
        X(1, k) = v.y;
        X(2, k) = v.z;
        X(3, k) = 1.0;
    }
    return X;
}

Matrix Tetrahedron::getVertexVector(const std::vector<Vec3<float>>& pos) const {
    Matrix x(12, 1);
    getVertexVector(pos, x.data);
    return x;
}

void Tetrahedron::getVertexVector(const std::vector<Vec3<float>>& pos, double out[12]) const {
    for (int k = 0; k < 4; ++k)
        for (int c = 0; c < 3; ++c) out[3 * k + c] = pos[verts[k]][c];
}

Vec3<float> Tetrahedron::getWorldCoordinates(const std::vector<Vec3<float>>& pos,
                                             const Vec4<float>& b) const {
    Vec3<float> r(0, 0, 0);
    for (int k = 0; k < 4; ++k) {
        const Vec3<float>& v = pos[verts[k]];
        r += Vec3<float>(b[k] * v.x, b[k] * v.y, b[k] * v.z);
    }
    return r;
}

void Tetrahedron::updatePlasticity(const std::vector<Vec3<float>>& rest,
                                   const std::vector<Vec3<float>>& pos, const Matrix& Rt,
                                   double dt) {
    if (Rt.m != 12 || Rt.n != 12) throw Matrix::size_mismatch(Rt, Matrix::zeros(12, 1));
    // d = Rt x - x0 and e = B d - plasticStrain on the stack; the sums run in the same order
    // as the dense products would take them.
    double x[12], x0[12], d[12];
    getVertexVector(pos, x);
    getVertexVector(rest, x0);
    for (int i = 0; i < 12; ++i) {
        double s = 0.0;
        const double* row = Rt.data + 12 * i;
        for (int k = 0; k < 12; ++k) s += row[k] * x[k];
        d[i] = s - x0[i];
    }
    applyPlasticFlow(d, dt);
}

void Tetrahedron::updatePlasticity(const std::vector<Vec3<float>>& rest,
                                   const std::vector<Vec3<float>>& pos, const double rt[9],
                                   double dt) {
    double x[12], x0[12], d[12];
    getVertexVector(pos, x);
    getVertexVector(rest, x0);
    for (int i = 0; i < 12; ++i) {
        const double* row = rt + 3 * (i % 3);
        const double* xk = x + 3 * (i / 3);
        double s = 0.0;
        for (int k = 0; k < 3; ++k) s += row[k] * xk[k];
        d[i] = s - x0[i];
    }
    applyPlasticFlow(d, dt);
}

void Tetrahedron::applyPlasticFlow(const double d[12], double dt) {
    double e[6], ee = 0.0;
    for (int r = 0; r < 6; ++r) {
        double s = 0.0;
        const double* row = B.data + 12 * r;
        for (int k = 0; k < 12; ++k) s += row[k] * d[k];
        e[r] = s - plasticStrain[r];
        ee += e[r] * e[r];
    }
    if (std::sqrt(ee) > material.plasticYield) {
        double rate = dt * material.plasticCreep;
        for (int r = 0; r < 6; ++r) plasticStrain[r] += e[r] * rate;
    }
    double pp = 0.0;
    for (int r = 0; r < 6; ++r) pp += plasticStrain[r] * plasticStrain[r];
    double norm = std::sqrt(pp);
    if (norm > material.plasticMax) plasticStrain *= material.plasticMax / norm;
}

void Tetrahedron::updateNormals(const std::vector<Vec3<float>>& pos) {
    for (int f = 0; f < 4; ++f) {
        const Vec3<float>& p0 = pos[verts[tris[f][0]]];
        const Vec3<float>& p1 = pos[verts[tris[f][1]]];
        const Vec3<float>& p2 = pos[verts[tris[f][2]]];
        Vec3<float> n = (p1 - p0) ^ (p2 - p1);
        n.normalize();
        normals[f] = n;
    }
}

namespace {
// Clamps to [0, 1]; NaN becomes 0.
double clamp01(double w) {
    if (!(w >= 0.0)) return 0.0;
    return w > 1.0 ? 1.0 : w;
}

// Diagnostic text goes to *log when one is given, else straight to standard output.
void emit(std::string* log, const std::string& text) {
    if (log)
        *log += text;
    else
        std::fputs(text.c_str(), stdout);
}

}  // namespace

double Tetrahedron::distanceToTriangle(const std::vector<Vec3<float>>& pos, int face,
                                       const Vec3<float>& p, std::string* log) const {
    Vec3<float> c[3];
    double best = 1e10;
    for (int k = 0; k < 3; ++k) {
        c[k] = pos[verts[tris[face][k]]];
        double dk = (p - c[k]).len();
        if (dk < best) best = dk;
    }
    if (best <= 1e-8) emit(log, "triangle points coincide.\n");

    // A (3 x 3, row-major) has corner k in column k.
    double A[9], b[3], w[3];
    for (int r = 0; r < 3; ++r) {
        for (int k = 0; k < 3; ++k) A[3 * r + k] = c[k][r];
        b[r] = p[r];
    }
    lumo::leastSquaresSmall(3, 3, A, b, w);
    double w0 = clamp01(w[0]), w1 = clamp01(w[1]), w2 = clamp01(w[2]);
    double inv = 1.0 / (w0 + w1 + w2);
    w0 *= inv;
    w1 *= inv;
    w2 *= inv;

    Vec3<float> q = c[0] * w0 + c[1] * w1 + c[2] * w2;
    double dq = (q - p).len();
    if (dq <= best) best = dq;

    if (best <= 1e-7) {
        // Corners, weights, the combination and the point; vectors in the default stream
        // format, as std::cout writes them.
        std::ostringstream os;
        os << c[0] << c[1] << c[2] << "\n";
        std::string text = os.str();
        appendf(text, "Triangle distance zero: %f %f %f   %f %f %f\n", w0, w1, w2, w1, w2,
                1 - w1 - w2);
        os.str("");
        os << q << "\n" << p << "\n";
        text += os.str();
        emit(log, text);
    }
    return best;
}

double Tetrahedron::distance(const std::vector<Vec3<float>>& pos, const Vec3<float>& p,
                             std::string* log) const {
    double best = 1e10;
    for (int f = 0; f < 4; ++f) {
        double d = distanceToTriangle(pos, f, p, log);
        if (d < best) best = d;
    }

    // The barycentric matrix X (4 x 4, row-major: column k = (x, y, z, 1) of vertex k) and
    // h = (p, 1); the residual X lambda - h is summed as Matrix's product sums it.
    double X[16], h[4] = {p.x, p.y, p.z, 1.0}, lambda[4];
    for (int k = 0; k < 4; ++k) {
        const Vec3<float>& v = pos[verts[k]];
        X[k] = v.x;
        X[4 + k] = v.y;
        X[8 + k] = v.z;
        X[12 + k] = 1.0;
    }
    lumo::leastSquaresSmall(4, 4, X, h, lambda);
    double s = 0.0;
    for (int k = 0; k < 4; ++k) {
        lambda[k] = clamp01(lambda[k]);
        s += lambda[k];
    }
    double div = s > 1e-6 ? s : 1e-6;
    for (int k = 0; k < 4; ++k) lambda[k] /= div;

    double Xl[4];
    lumo::multiplyOrdered(X, lambda, Xl, 4, 4, 1);
    double r[3];
    for (int i = 0; i < 3; ++i) r[i] = Xl[i] - h[i];
    double len = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
    if (len < best) best = len;
    return best;
}

bool Tetrahedron::intersectSegment(const std::vector<Vec3<float>>& pos, const Vec3<float>& p0,
                                   const Vec3<float>& p1, double& t, double eps) const {
    t = 1.0;
    bool hit = false;
    Vec3<float> dir = p1 - p0;
    for (int f = 0; f < 4; ++f) {
        Triangle T(pos, faceVertices(f));
        double s = (-T.d - T.n.dot(p0)) / T.n.dot(dir);
        Vec3<float> q = p0 + dir * s;
        double u = T.b1.dot(q - T.p[0]), v = T.b2.dot(q - T.p[0]);
        if (u >= 1e-8 && v >= 1e-8 && u + v <= 0.99999999 && s >= -eps && s <= 1 + eps) {
            hit = true;
            if (s < t) t = s;
        }
    }
    return hit;
}

void Tetrahedron::drawSelect(const std::vector<Vec3<float>>& pos) const {
    glBegin(GL_TRIANGLES);
    for (int f = 0; f < 4; ++f)
        for (int k = 0; k < 3; ++k) glVertex3fv(pos[verts[tris[f][k]]].getData());
    glEnd();
}

void Tetrahedron::draw(const std::vector<Vec3<float>>& pos) const {
    drawFaces(pos);
    drawVertexNumbers(pos);
}

void Tetrahedron::drawFaces(const std::vector<Vec3<float>>& pos) const {
    glColor3fv(color.getData());
    glBegin(GL_TRIANGLES);
    for (int f = 0; f < 4; ++f) {
        glNormal3fv(normals[f].getData());
        for (int k = 0; k < 3; ++k) glVertex3fv(pos[verts[tris[f][k]]].getData());
    }
    glEnd();
}

void Tetrahedron::drawVertexNumbers(const std::vector<Vec3<float>>& pos) {
    glColor3f(1, 1, 1);
    for (size_t i = 0; i < pos.size(); ++i) {
        glPushMatrix();
        glTranslatef(pos[i].x, pos[i].y, pos[i].z);
        UI::drawString(0.0f, 0.0f, "%d", int(i));
        glPopMatrix();
    }
}
