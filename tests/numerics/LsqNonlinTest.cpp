// Tests for the four Levenberg-Marquardt forms: each fits y = a exp(b t) to exact samples.
#include <gtest/gtest.h>

#include <cmath>

#include "numerics/matrix.h"

using lumo::Matrix;

namespace {

const int kSamples = 10;
const double kA = 2.0, kB = -0.5;

double sampleT(int i) {
    return 0.5 * i;
}
double sampleY(int i) {
    return kA * std::exp(kB * sampleT(i));
}

void residuals(const double* x, double* fvec) {
    for (int i = 0; i < kSamples; ++i) fvec[i] = x[0] * std::exp(x[1] * sampleT(i)) - sampleY(i);
}

// Column-major m x n Jacobian with leading dimension ldfjac.
void jacobian(const double* x, double* fjac, int ldfjac) {
    for (int i = 0; i < kSamples; ++i) {
        double e = std::exp(x[1] * sampleT(i));
        fjac[i] = e;
        fjac[ldfjac + i] = x[0] * sampleT(i) * e;
    }
}

int cFcnder(void* p, int, int, const double* x, double* fvec, double* fjac, int ldfjac, int iflag) {
    ++*static_cast<int*>(p);
    if (iflag == 1) residuals(x, fvec);
    if (iflag == 2) jacobian(x, fjac, ldfjac);
    return 0;
}

int cFcn(void* p, int, int, const double* x, double* fvec, int) {
    ++*static_cast<int*>(p);
    residuals(x, fvec);
    return 0;
}

void refFcnder(const int&, const int&, double* x, double* fvec, double* fjac, const int& ldfjac,
               int& iflag) {
    if (iflag == 1) residuals(x, fvec);
    if (iflag == 2) jacobian(x, fjac, ldfjac);
}

void refFcn(const int&, const int&, double* x, double* fvec, int& iflag) {
    (void)iflag;
    residuals(x, fvec);
}

struct Fit {
    Matrix x = Matrix::zeros(2, 1), fvec = Matrix::zeros(kSamples, 1);
    Fit() {
        x[0] = 1.0;
        x[1] = 0.0;
    }
    void expectConverged(int info) {
        EXPECT_GE(info, 1);  // 1..4: converged by one of the tolerances
        EXPECT_LE(info, 4);
        // Exact data: the fit reaches the generating parameters to roughly sqrt(tol) and far
        // better in practice; 1e-8 is a safe margin above what the tolerances allow.
        EXPECT_NEAR(x[0], kA, 1e-8);
        EXPECT_NEAR(x[1], kB, 1e-8);
        for (int i = 0; i < kSamples; ++i) EXPECT_NEAR(fvec[i], 0.0, 1e-8);
    }
};

const double kTol = 1e-12;

}  // namespace

TEST(LsqNonlin, CWithJacobian) {
    Fit f;
    int calls = 0;
    int info =
        Matrix::lsqnonlin(cFcnder, &calls, f.x, f.fvec, kTol, kTol, 0.0, 400, nullptr, 100.0, 0);
    f.expectConverged(info);
    EXPECT_GT(calls, 0);  // the user pointer reaches the callback
}

TEST(LsqNonlin, ByReferenceWithJacobian) {
    Fit f;
    int info = Matrix::lsqnonlin(refFcnder, f.x, f.fvec, kTol, kTol, 0.0, 400, nullptr, 100.0, 0);
    f.expectConverged(info);
}

TEST(LsqNonlin, CFiniteDifferences) {
    Fit f;
    int calls = 0;
    int info =
        Matrix::lsqnonlin(cFcn, &calls, f.x, f.fvec, kTol, kTol, 0.0, 800, 0.0, nullptr, 100.0, 0);
    f.expectConverged(info);
    EXPECT_GT(calls, 0);
}

TEST(LsqNonlin, ByReferenceFiniteDifferencesWithCallerScaling) {
    Fit f;
    double diag[2] = {1.0, 1.0};  // mode 2: the caller's scaling
    int info = Matrix::lsqnonlin(refFcn, f.x, f.fvec, kTol, kTol, 0.0, 800, 0.0, diag, 100.0, 0);
    f.expectConverged(info);
}

TEST(LsqNonlin, ImproperInputReportsZero) {
    // Fewer residuals than unknowns: cminpack refuses and leaves x alone.
    Matrix x = Matrix::zeros(3, 1), fvec = Matrix::zeros(2, 1);
    EXPECT_EQ(Matrix::lsqnonlin(refFcn, x, fvec, kTol, kTol, 0.0, 100, 0.0, nullptr, 100.0, 0), 0);
    EXPECT_EQ(x[0], 0.0);
}
