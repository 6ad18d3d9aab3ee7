// The direct sparse solve on UMFPACK: lumo::SparseLU, with its analysis kept between solves.
// SparseMatrix::umfsolve (sparsematrix.cpp) runs one solve through it.
#include "numerics/sparse_lu.h"

#include <dlfcn.h>
#include <strings.h>
#include <suitesparse/umfpack.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>

namespace lumo {

namespace {

const char* umfStatusName(int status) {
    switch (status) {
        case UMFPACK_OK:
            return "UMFPACK_OK";
        case UMFPACK_WARNING_singular_matrix:
            return "UMFPACK_WARNING_singular_matrix";
        case UMFPACK_WARNING_determinant_underflow:
            return "UMFPACK_WARNING_determinant_underflow";
        case UMFPACK_WARNING_determinant_overflow:
            return "UMFPACK_WARNING_determinant_overflow";
        case UMFPACK_ERROR_out_of_memory:
            return "UMFPACK_ERROR_out_of_memory";
        case UMFPACK_ERROR_invalid_Numeric_object:
            return "UMFPACK_ERROR_invalid_Numeric_object";
        case UMFPACK_ERROR_invalid_Symbolic_object:
            return "UMFPACK_ERROR_invalid_Symbolic_object";
        case UMFPACK_ERROR_argument_missing:
            return "UMFPACK_ERROR_argument_missing";
        case UMFPACK_ERROR_n_nonpositive:
            return "UMFPACK_ERROR_n_nonpositive";
        case UMFPACK_ERROR_invalid_matrix:
            return "UMFPACK_ERROR_invalid_matrix";
        case UMFPACK_ERROR_different_pattern:
            return "UMFPACK_ERROR_different_pattern";
        case UMFPACK_ERROR_invalid_system:
            return "UMFPACK_ERROR_invalid_system";
        case UMFPACK_ERROR_invalid_permutation:
            return "UMFPACK_ERROR_invalid_permutation";
        case UMFPACK_ERROR_internal_error:
            return "UMFPACK_ERROR_internal_error";
        case UMFPACK_ERROR_file_IO:
            return "UMFPACK_ERROR_file_IO";
        case UMFPACK_ERROR_ordering_failed:
            return "UMFPACK_ERROR_ordering_failed";
        default:
            return "unknown UMFPACK status";
    }
}

// Collects every status that is not UMFPACK_OK into one diagnostic line.
struct UmfStatusLine {
    std::string text;
    void note(const char* call, int status) {
        if (status == UMFPACK_OK) return;
        char buf[160];
        std::snprintf(buf, sizeof(buf), "%s%s returned %s (%d)", text.empty() ? "" : "; ", call,
                      umfStatusName(status), status);
        text += buf;
    }
    void print() const {
        if (!text.empty()) std::fprintf(stderr, "umfsolve: %s\n", text.c_str());
    }
};

// OpenBLAS picks its kernels when it is loaded, from a table of CPU models; on a model newer
// than its table it falls back to its generic ("Prescott") kernels, four to five times slower
// in the dense products of UMFPACK's large fronts. When that happened on a CPU with AVX-512 or
// AVX2, select the matching kernels once, as OPENBLAS_CORETYPE would have at load time, through
// the two entry points OpenBLAS exports for it. A user's OPENBLAS_CORETYPE is left alone, and
// without OpenBLAS (another BLAS linked) nothing happens.
void chooseBlasKernels() {
#if defined(__x86_64__)
    if (std::getenv("OPENBLAS_CORETYPE")) return;
    using CoreName = char* (*)();
    using Reload = void (*)();
    const auto coreName = reinterpret_cast<CoreName>(dlsym(RTLD_DEFAULT, "openblas_get_corename"));
    const auto quit = reinterpret_cast<Reload>(dlsym(RTLD_DEFAULT, "gotoblas_dynamic_quit"));
    const auto init = reinterpret_cast<Reload>(dlsym(RTLD_DEFAULT, "gotoblas_dynamic_init"));
    if (!coreName || !quit || !init) return;
    const char* name = coreName();
    if (!name || strcasecmp(name, "Prescott") != 0) return;
    __builtin_cpu_init();
    const char* core = nullptr;
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq") &&
        __builtin_cpu_supports("avx512cd"))
        core = "SkylakeX";
    else if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        core = "Haswell";
    if (!core) return;
    // Read by the reload only; taken out again so that nothing else sees it.
    setenv("OPENBLAS_CORETYPE", core, 1);
    quit();
    init();
    unsetenv("OPENBLAS_CORETYPE");
#endif
}

// UMFPACK allocates its factorisation afresh for every solve and frees it after: tens to
// hundreds of MB once a body has thousands of elements, which the system maps, zero-fills one
// 4 kB page fault at a time and unmaps again, a fifth to a quarter of a large solve. So every
// SuiteSparse allocation goes through these functions, and blocks of 1 MB and more that are
// freed are kept for the next solve: a request takes the smallest kept block of at least its
// size and at most a quarter more. A kept block shrinks in place without giving its pages back
// (UMFPACK trims its factorisation to size at the end). What one solve leaves unused is
// released at the end of the next, and everything once no solver is left or, since a solver
// may live as long as the program (the scene's does), when the process exits. Of the SuiteSparse
// libraries that allocate through these (UMFPACK and the orderings it calls), the program calls
// only UMFPACK, only from SparseLU, which installs them before its first call; CXSparse
// allocates with the C library directly.
namespace kept {

struct Header {  // in front of every block handed out; 16 bytes keep the data 16-aligned
    size_t capacity;
    size_t solve;  // the solve during which the block was freed, once kept
};
static_assert(sizeof(Header) == 16, "block data must stay 16-aligned");

// The kept blocks form a list linked through their own (unused) data, so keeping a block
// never allocates. The list and the counters are plain values that static destruction leaves
// alone: a solver destroyed during the process's exit, before or after freeAtExit, still
// finds them intact.
const size_t kFrom = size_t(1) << 20;
std::mutex mutex;
Header* first = nullptr;  // the kept blocks, most recently kept first
size_t solves = 0;        // solves ended so far
int solvers = 0;          // SparseLU objects alive
bool exiting = false;     // set by freeAtExit: from then on freed blocks are not kept

Header*& next(Header* h) {
    return *reinterpret_cast<Header**>(h + 1);
}

Header* take(size_t n) {
    if (n < kFrom) return nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    Header** best = nullptr;
    for (Header** link = &first; *link; link = &next(*link)) {
        const size_t c = (*link)->capacity;
        if (c >= n && c - n <= n / 4 && (!best || c < (*best)->capacity)) best = link;
    }
    if (!best) return nullptr;
    Header* h = *best;
    *best = next(h);
    return h;
}

// Frees every kept block for which drop(block) holds.
template <class Drop>
void freeKept(Drop drop) {
    for (Header** link = &first; *link;) {
        Header* h = *link;
        if (drop(h)) {
            *link = next(h);
            std::free(h);
        } else {
            link = &next(h);
        }
    }
}

const size_t kLargest = std::numeric_limits<size_t>::max() - sizeof(Header);

void* allocate(size_t n) {
    if (Header* h = take(n)) return h + 1;
    if (n > kLargest) return nullptr;
    Header* h = static_cast<Header*>(std::malloc(sizeof(Header) + n));
    if (!h) return nullptr;
    h->capacity = n;
    return h + 1;
}

void* allocateZeroed(size_t count, size_t size) {
    if (size != 0 && count > kLargest / size) return nullptr;
    const size_t n = count * size;
    if (Header* h = take(n)) {
        std::memset(h + 1, 0, n);
        return h + 1;
    }
    Header* h = static_cast<Header*>(std::calloc(1, sizeof(Header) + n));
    if (!h) return nullptr;
    h->capacity = n;
    return h + 1;
}

void release(void* p) {
    if (!p) return;
    Header* h = static_cast<Header*>(p) - 1;
    if (h->capacity < kFrom) return std::free(h);
    std::lock_guard<std::mutex> lock(mutex);
    if (exiting) return std::free(h);
    h->solve = solves;
    next(h) = first;
    first = h;
}

void* reallocate(void* p, size_t n) {
    if (!p) return allocate(n);
    Header* h = static_cast<Header*>(p) - 1;
    if (h->capacity >= kFrom && n <= h->capacity) return p;
    if (n > kLargest) return nullptr;
    h = static_cast<Header*>(std::realloc(h, sizeof(Header) + n));
    if (!h) return nullptr;
    h->capacity = n;
    return h + 1;
}

// At the end of a solve: frees the blocks kept from before it that it did not take.
void endSolve() {
    std::lock_guard<std::mutex> lock(mutex);
    ++solves;
    freeKept([](const Header* h) { return h->solve + 1 < solves; });
}

// Registered with atexit by the first solver: frees what is kept. Blocks still in use (a live
// solver's analysis, or a solve in progress on another thread) are not in the list and stay
// with their owner; freed after this, they go straight back to the C library.
void freeAtExit() {
    std::lock_guard<std::mutex> lock(mutex);
    exiting = true;
    freeKept([](const Header*) { return true; });
}

void solverMade() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        SuiteSparse_config.malloc_func = allocate;
        SuiteSparse_config.calloc_func = allocateZeroed;
        SuiteSparse_config.realloc_func = reallocate;
        SuiteSparse_config.free_func = release;
        std::atexit(freeAtExit);
    });
    std::lock_guard<std::mutex> lock(mutex);
    ++solvers;
}

void solverGone() {
    std::lock_guard<std::mutex> lock(mutex);
    if (--solvers > 0) return;
    freeKept([](const Header*) { return true; });
}

}  // namespace kept

}  // namespace

SparseLU::SparseLU(const Options& options) : options_(options) {
    static std::once_flag blasChosen;
    std::call_once(blasChosen, chooseBlasKernels);
    kept::solverMade();
    umfpack_di_defaults(control_);
    if (options_.tunedForSpd) {
        control_[UMFPACK_ORDERING] = UMFPACK_ORDERING_CHOLMOD;
        control_[UMFPACK_IRSTEP] = 0;
    }
}

SparseLU::~SparseLU() {
    freeSymbolic();
    kept::solverGone();
}

void SparseLU::freeSymbolic() {
    if (symbolic_) umfpack_di_free_symbolic(&symbolic_);
    symbolic_ = nullptr;
    n_ = -1;
}

bool SparseLU::solve(int n, const int* p, const int* i, const double* x, const double* b,
                     double* sol) {
    if (n == 0) return true;  // the empty system: nothing to solve
    UmfStatusLine status;
    const int nz = p[n];
    const bool same = options_.reuseAnalysis && symbolic_ && n == n_ &&
                      std::equal(p, p + n + 1, p_.begin()) && std::equal(i, i + nz, i_.begin());
    int s = UMFPACK_OK;
    if (!same) {
        freeSymbolic();
        s = umfpack_di_symbolic(n, n, p, i, x, &symbolic_, control_, nullptr);
        status.note("umfpack_di_symbolic", s);
        ++analyses_;
        if (s >= 0 && options_.reuseAnalysis) {
            n_ = n;
            p_.assign(p, p + n + 1);
            i_.assign(i, i + nz);
        }
    }
    bool solved = false;
    void* numeric = nullptr;
    if (s >= 0) {
        s = umfpack_di_numeric(p, i, x, symbolic_, &numeric, control_, nullptr);
        status.note("umfpack_di_numeric", s);
    }
    if (!options_.reuseAnalysis || s < 0) freeSymbolic();
    if (s >= 0) {
        // A singular matrix (a warning) still gives a solve, with Inf/NaN where it divides by 0.
        s = umfpack_di_solve(UMFPACK_A, p, i, x, sol, b, numeric, control_, nullptr);
        status.note("umfpack_di_solve", s);
        solved = s >= 0;
    }
    umfpack_di_free_numeric(&numeric);
    if (!solved) std::fill(sol, sol + n, std::numeric_limits<double>::quiet_NaN());
    kept::endSolve();
    status.print();
    return solved;
}

}  // namespace lumo
