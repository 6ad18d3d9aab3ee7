// C-style LSQR (Paige and Saunders) for sparse least squares min |A x - b|^2 + damp^2 |x|^2,
// with A reached only through a caller-supplied product callback; records and allocators.
#pragma once

#include <cstdio>

// A vector of doubles: `length` elements at `elements` (malloc'd).
typedef struct DOUBLE_VECTOR {
    long length;
    double* elements;
} dvec;

// A vector of longs: `length` elements at `elements` (malloc'd).
typedef struct LONG_VECTOR {
    long length;
    long* elements;
} lvec;

// What the solver is given. The right-hand side is destroyed by the solve.
typedef struct LSQR_INPUTS {
    long num_rows;       // m
    long num_cols;       // n
    double damp_val;     // damping parameter (0 for plain least squares)
    double rel_mat_err;  // ATOL: relative error in A
    double rel_rhs_err;  // BTOL: relative error in b
    double cond_lim;     // CONLIM: condition number limit (<= 0: machine precision)
    long max_iter;       // ITERLIM
    FILE* lsqr_fp_out;   // report stream, null for no report
    dvec* rhs_vec;       // b (m); overwritten during the iteration
    dvec* sol_vec;       // initial guess x0 (n)
} lsqr_input;

// What the solver reports. Norms are estimates kept up to date by the iteration.
typedef struct LSQR_OUTPUTS {
    long term_flag;         // stop reason 0..7, see lsqr()
    long num_iters;         // iterations done
    double frob_mat_norm;   // |A| (Frobenius norm of the bidiagonal matrix so far)
    double mat_cond_num;    // cond(A)
    double resid_norm;      // |r| = |b - A x| including the damping term
    double mat_resid_norm;  // |A^T r|
    double sol_norm;        // |x - x0|
    dvec* sol_vec;          // solution (n), accumulated from zero
    dvec* std_err_vec;      // standard error estimate of each solution component (n)
} lsqr_output;

// Work vectors of the bidiagonalisation.
typedef struct LSQR_WORK {
    dvec* bidiag_wrk_vec;  // v (n)
    dvec* srch_dir_vec;    // w (n)
} lsqr_work;

// The product callback: mode 0 computes y = y + A x (x: n, y: m); mode 1 computes
// x = x + A^T y. prod is handed through untouched.
typedef struct LSQR_FUNC {
    void (*mat_vec_prod)(long mode, dvec* x, dvec* y, void* prod);
} lsqr_func;

// Writes "\t<msg>\n" to standard error and exits with the given status.
void lsqr_error(const char* msg, int code);

// Allocators: each failure ends the program through lsqr_error(..., -1). A zero length
// still gets one element of storage so that the allocation cannot be mistaken for a failure.
lvec* alloc_lvec(long n);
void free_lvec(lvec* v);
dvec* alloc_dvec(long n);
void free_dvec(dvec* v);

lsqr_input* alloc_lsqr_in(long m, long n);  // with rhs_vec (m) and sol_vec (n)
void free_lsqr_in(lsqr_input* in);
lsqr_output* alloc_lsqr_out(long m, long n);  // with std_err_vec (n); sol_vec left null
void free_lsqr_out(lsqr_output* out);         // frees std_err_vec, not sol_vec
lsqr_work* alloc_lsqr_wrk(long m, long n);
void free_lsqr_wrk(lsqr_work* work);
lsqr_func* alloc_lsqr_fnc();
void free_lsqr_fnc(lsqr_func* func);

// Allocates all four records for an m x n problem; the output's sol_vec is the input's
// sol_vec (one vector). free_lsqr_mem frees that shared vector once, with the input.
void alloc_lsqr_mem(lsqr_input** in, lsqr_output** out, lsqr_work** work, lsqr_func** func, long m,
                    long n);
void free_lsqr_mem(lsqr_input* in, lsqr_output* out, lsqr_work* work, lsqr_func* func);

void dvec_scale(double s, dvec* v);    // v *= s
void dvec_copy(dvec* from, dvec* to);  // from->length elements
double dvec_norm2(dvec* v);            // Euclidean norm; 0 for length < 1

// Solves min |A x - b|^2 + damp^2 |x|^2. Stop flags:
//   0 x = x0 solves the problem exactly     4 residual small for machine precision
//   1 residual small given ATOL and BTOL     5 least-squares error small for machine precision
//   2 least-squares error small given ATOL   6 condition number beyond machine precision
//   3 condition number exceeded CONLIM       7 iteration limit reached
void lsqr(lsqr_input* input, lsqr_output* output, lsqr_work* work, lsqr_func* func, void* prod);
