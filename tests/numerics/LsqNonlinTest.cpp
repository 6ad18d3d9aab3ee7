// Tests for the four Levenberg-Marquardt forms: each fits y = a exp(b t) to exact samples.
#include "tests/support/NumericsTestUtil.h"

using namespace testutil;

namespace {
const int kSamples = 10;
const double kTol = 1e-12;

// Residuals a exp(b t) - 2 exp(-t / 2) at t = 0, 0.5, ...; the m x 2 Jacobian column-major, ld.
void model(const double* x, double* fvec, double* fjac, int ld) {
    for (int i = 0; i < kSamples; ++i) {
        const double t = 0.5 * i, e = std::exp(x[1] * t);
        if (fvec) fvec[i] = x[0] * e - 2.0 * std::exp(-0.5 * t);
        if (fjac) fjac[i] = e, fjac[ld + i] = x[0] * t * e;
    }
}
int cFcnder(void* p, int, int, const double* x, double* f, double* J, int ld, int flag) {
    ++*static_cast<int*>(p);
    flag == 1 ? model(x, f, nullptr, 0) : model(x, nullptr, J, ld);
    return 0;
}
int cFcn(void* p, int m, int n, const double* x, double* f, int) {
    return cFcnder(p, m, n, x, f, nullptr, 0, 1);
}
void refFcnder(const int&, const int&, double* x, double* f, double* J, const int& ld, int& flag) {
    flag == 1 ? model(x, f, nullptr, 0) : model(x, nullptr, J, ld);
}
void refFcn(const int&, const int&, double* x, double* f, int&) {
    model(x, f, nullptr, 0);
}
}  // namespace

TEST(LsqNonlin, AllFourFormsFitAnExponential) {
    int calls = 0;                // the C forms' user pointer, dereferenced by the callbacks
    double diag[2] = {1.0, 1.0};  // mode 2: the caller's scaling
    for (int form = 0; form < 4; ++form) {
        Matrix x = column({1, 0}), f = Matrix::zeros(kSamples, 1);
        const int info =
            form == 0
                ? Matrix::lsqnonlin(cFcnder, &calls, x, f, kTol, kTol, 0, 400, nullptr, 100, 0)
            : form == 1 ? Matrix::lsqnonlin(refFcnder, x, f, kTol, kTol, 0, 400, nullptr, 100, 0)
            : form == 2
                ? Matrix::lsqnonlin(cFcn, &calls, x, f, kTol, kTol, 0, 800, 0, nullptr, 100, 0)
                : Matrix::lsqnonlin(refFcn, x, f, kTol, kTol, 0, 800, 0, diag, 100, 0);
        EXPECT_TRUE(info >= 1 && info <= 4) << form << " " << info;
        // Exact data: the fit reaches the generating parameters far better than 1e-8.
        EXPECT_LT(maxAbsDiff(x, column({2, -0.5})), 1e-8) << form;
        EXPECT_NEAR(f.dot(f), 0.0, 1e-16) << form;
    }
    // Fewer residuals than unknowns: cminpack refuses with info 0.
    Matrix x = Matrix::zeros(3, 1), f = Matrix::zeros(2, 1);
    EXPECT_EQ(Matrix::lsqnonlin(refFcn, x, f, kTol, kTol, 0, 100, 0, nullptr, 100, 0), 0);
}
