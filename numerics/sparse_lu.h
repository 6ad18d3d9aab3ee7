// A direct sparse LU solve on UMFPACK that can keep its symbolic analysis from one solve to the
// next while the matrix's pattern stays the same.
#pragma once

#include <vector>

namespace lumo {

class SparseLU {
  public:
    struct Options {
        // UMFPACK's defaults (AMD ordering, up to two refinement steps) when false; when true
        // the CHOLMOD ordering choice (AMD, or METIS where AMD fills in much) and no iterative
        // refinement, for symmetric-pattern positive definite systems such as the step's.
        bool tunedForSpd = false;
        // Keep the symbolic analysis while the pattern (n, p, i) equals the last analysed one.
        bool reuseAnalysis = false;
    };

    explicit SparseLU(const Options& options);
    ~SparseLU();
    SparseLU(const SparseLU&) = delete;
    SparseLU& operator=(const SparseLU&) = delete;

    // Solves A x = b for the n x n compressed-sparse-column A (column starts p, n + 1 entries;
    // row indices i and values x, p[n] entries, rows ascending within a column); b and x have n
    // entries. The analysis looks at the pattern only. Returns false, and fills x with NaN, when
    // the solve could not run; a singular matrix still solves (Inf/NaN where it divides by
    // zero). Every status other than UMFPACK_OK is reported on standard error in one line
    // beginning "umfsolve: ".
    bool solve(int n, const int* p, const int* i, const double* x, const double* b, double* sol);

    // Number of symbolic analyses made so far.
    int analyses() const { return analyses_; }

  private:
    void freeSymbolic();

    Options options_;
    double control_[20];
    void* symbolic_ = nullptr;
    int n_ = -1;  // size of the analysed pattern
    std::vector<int> p_, i_;
    int analyses_ = 0;
};

}  // namespace lumo
