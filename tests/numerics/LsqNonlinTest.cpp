// Tests for the four Levenberg-Marquardt forms: each fits y = a exp(b t) to exact samples.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "numerics/matrix.h"

using lumo::Matrix;

namespace {

const int kSamples = 10;
const double kA = 2.0, kB = -0.5, kTol = 1e-12;

void residuals(const double* x, double* fvec) {
    for (int i = 0; i < kSamples; ++i)
        fvec[i] = x[0] * std::exp(x[1] * 0.5 * i) - kA * std::exp(kB * 0.5 * i);
}

// Column-major m x n Jacobian with leading dimension ldfjac.
void jacobian(const double* x, double* fjac, int ldfjac) {
    for (int i = 0; i < kSamples; ++i) {
        const double e = std::exp(x[1] * 0.5 * i);
        fjac[i] = e;
        fjac[ldfjac + i] = x[0] * 0.5 * i * e;
    }
}

int cFcnder(void* p, int, int, const double* x, double* fvec, double* fjac, int ldfjac, int iflag) {
    ++*static_cast<int*>(p);
    iflag == 1 ? residuals(x, fvec) : jacobian(x, fjac, ldfjac);
    return 0;
}
int cFcn(void* p, int, int, const double* x, double* fvec, int) {
    ++*static_cast<int*>(p);
    residuals(x, fvec);
    return 0;
}
void refFcnder(const int&, const int&, double* x, double* fvec, double* fjac, const int& ldfjac,
               int& iflag) {
    iflag == 1 ? residuals(x, fvec) : jacobian(x, fjac, ldfjac);
}
void refFcn(const int&, const int&, double* x, double* fvec, int&) {
    residuals(x, fvec);
}

}  // namespace

TEST(LsqNonlin, AllFourFormsFitAnExponential) {
    int calls = 0;
    double diag[2] = {1.0, 1.0};  // mode 2: the caller's scaling
    const std::function<int(Matrix&, Matrix&)> forms[] = {
        [&](Matrix& x, Matrix& f) {
            return Matrix::lsqnonlin(cFcnder, &calls, x, f, kTol, kTol, 0.0, 400, nullptr, 100.0,
                                     0);
        },
        [&](Matrix& x, Matrix& f) {
            return Matrix::lsqnonlin(refFcnder, x, f, kTol, kTol, 0.0, 400, nullptr, 100.0, 0);
        },
        [&](Matrix& x, Matrix& f) {
            return Matrix::lsqnonlin(cFcn, &calls, x, f, kTol, kTol, 0.0, 800, 0.0, nullptr, 100.0,
                                     0);
        },
        [&](Matrix& x, Matrix& f) {
            return Matrix::lsqnonlin(refFcn, x, f, kTol, kTol, 0.0, 800, 0.0, diag, 100.0, 0);
        }};
    int form = 0;
    for (auto& fit : forms) {
        Matrix x = Matrix::zeros(2, 1), fvec = Matrix::zeros(kSamples, 1);
        x[0] = 1.0;
        const int info = fit(x, fvec);
        EXPECT_TRUE(info >= 1 && info <= 4) << "form " << form << " info " << info;
        // Exact data: the fit reaches the generating parameters far better than 1e-8.
        EXPECT_NEAR(x[0], kA, 1e-8) << form;
        EXPECT_NEAR(x[1], kB, 1e-8) << form;
        for (int i = 0; i < kSamples; ++i) EXPECT_NEAR(fvec[i], 0.0, 1e-8) << form;
        ++form;
    }
    EXPECT_GT(calls, 0);  // the user pointer reaches the C callbacks

    // Fewer residuals than unknowns: cminpack refuses with info 0 and leaves x alone.
    Matrix x = Matrix::zeros(3, 1), fvec = Matrix::zeros(2, 1);
    EXPECT_EQ(Matrix::lsqnonlin(refFcn, x, fvec, kTol, kTol, 0.0, 100, 0.0, nullptr, 100.0, 0), 0);
    EXPECT_EQ(x[0], 0.0);
}
