// LSQR: Golub-Kahan bidiagonalisation with plane rotations (damping folded into the rotation),
// the C-style vector and record allocators, and the optional report stream.
#include "numerics/lsqr.h"

#include <cmath>
#include <cstdlib>

namespace {

const double kEps = 2.220446049250313e-16;  // double machine precision

const char* const kTermMsg[8] = {
    "The exact solution is x = x0",
    "The residual Ax - b is small enough, given ATOL and BTOL",
    "The least squares error is small enough, given ATOL",
    "The estimated condition number has exceeded CONLIM",
    "The residual Ax - b is small enough, given machine precision",
    "The least squares error is small enough, given machine precision",
    "The estimated condition number has exceeded machine precision",
    "The iteration limit has been reached",
};

// Running quantities of the bidiagonalisation and of the norm estimates.
struct Iter {
    double alpha = 0, beta = 0;     // current bidiagonal entries
    double rhobar = 0, phibar = 0;  // rotated bidiagonal and right-hand side
    double bnorm = 0;               // |b - A x0|
    double anorm_sq = 0;            // sum of squares behind |A|
    double ddnorm = 0;              // sum of |w / rho|^2 behind cond(A)
    double res2 = 0;                // squared damping part of the residual
    double xxnorm = 0, z = 0;       // |x| estimate by a second rotation
    double cs2 = -1, sn2 = 0;
    double test1 = 0, test2 = 0, test3 = 0;
};

void clear(dvec* v) {
    for (long k = 0; k < v->length; ++k) v->elements[k] = 0.0;
}

void print_header(const lsqr_input* in) {
    fprintf(in->lsqr_fp_out,
            "  Least Squares Solution of A*x = b\n"
            "        The matrix A has %7li rows and %7li columns\n"
            "        The damping parameter is\tDAMP = %10.2e\n"
            "        ATOL = %10.2e\t\tCONDLIM = %10.2e\n"
            "        BTOL = %10.2e\t\tITERLIM = %10li\n\n",
            in->num_rows, in->num_cols, in->damp_val, in->rel_mat_err, in->cond_lim,
            in->rel_rhs_err, in->max_iter);
}

// The closing summary; `lead` is the text before it ("\n" after iterating, "" otherwise).
void print_summary(FILE* f, const char* lead, const lsqr_output* out, double bnorm) {
    fprintf(f,
            "%s\tISTOP = %3li\t\t\tITER = %9li\n"
            "        || A ||_F = %13.5e\tcond( A ) = %13.5e\n"
            "        || r ||_2 = %13.5e\t|| A^T r ||_2 = %13.5e\n"
            "        || b ||_2 = %13.5e\t|| x - x0 ||_2 = %13.5e\n\n",
            lead, out->term_flag, out->num_iters, out->frob_mat_norm, out->mat_cond_num,
            out->resid_norm, out->mat_resid_norm, bnorm, out->sol_norm);
    fprintf(f, "  %s\n\n", kTermMsg[out->term_flag]);
}

// One bidiagonalisation step with its rotations and the updates of x, w and the estimates.
void iterate(const lsqr_input* in, lsqr_output* out, lsqr_work* work, lsqr_func* func, void* prod,
             Iter& it) {
    dvec* u = in->rhs_vec;
    dvec* v = work->bidiag_wrk_vec;
    dvec* w = work->srch_dir_vec;
    const double damp = in->damp_val;

    // u = A v - alpha u; v = A^T u - beta v.
    dvec_scale(-it.alpha, u);
    func->mat_vec_prod(0, v, u, prod);
    it.beta = dvec_norm2(u);
    it.anorm_sq += it.alpha * it.alpha + it.beta * it.beta + damp * damp;
    if (it.beta > 0.0) {
        dvec_scale(1.0 / it.beta, u);
        dvec_scale(-it.beta, v);
        func->mat_vec_prod(1, v, u, prod);
        it.alpha = dvec_norm2(v);
        if (it.alpha > 0.0) dvec_scale(1.0 / it.alpha, v);
    }

    // Rotation eliminating the damping, then the rotation of the lower bidiagonal.
    const double rhobar1 = std::sqrt(it.rhobar * it.rhobar + damp * damp);
    const double cs1 = it.rhobar / rhobar1, sn1 = damp / rhobar1;
    const double psi = sn1 * it.phibar;
    it.phibar = cs1 * it.phibar;
    const double rho = std::sqrt(rhobar1 * rhobar1 + it.beta * it.beta);
    const double cs = rhobar1 / rho, sn = it.beta / rho;
    const double theta = sn * it.alpha;
    it.rhobar = -cs * it.alpha;
    const double phi = cs * it.phibar;
    it.phibar = sn * it.phibar;
    const double tau = sn * phi;

    // x += (phi / rho) w; std_err += (w / rho)^2; w = v - (theta / rho) w.
    double* x = out->sol_vec->elements;
    double* se = out->std_err_vec->elements;
    for (long k = 0; k < in->num_cols; ++k) {
        const double wk = w->elements[k];
        const double d = wk / rho;
        x[k] += (phi / rho) * wk;
        se[k] += d * d;
        it.ddnorm += d * d;
        w->elements[k] = v->elements[k] - (theta / rho) * wk;
    }

    // |x| estimate from a second rotation that removes the super-diagonal.
    const double delta = it.sn2 * rho;
    const double gambar = -it.cs2 * rho;
    const double rhs = phi - delta * it.z;
    const double zbar = rhs / gambar;
    out->sol_norm = std::sqrt(it.xxnorm + zbar * zbar);
    const double gamma = std::sqrt(gambar * gambar + theta * theta);
    it.cs2 = gambar / gamma;
    it.sn2 = theta / gamma;
    it.z = rhs / gamma;
    it.xxnorm += it.z * it.z;

    out->frob_mat_norm = std::sqrt(it.anorm_sq);
    out->mat_cond_num = out->frob_mat_norm * std::sqrt(it.ddnorm);
    it.res2 += psi * psi;
    out->resid_norm = std::sqrt(it.res2 + it.phibar * it.phibar);
    out->mat_resid_norm = it.alpha * std::fabs(tau);
}

// Evaluates the stopping tests in order, so that the last satisfied one (the lowest flag) wins.
void test_stop(const lsqr_input* in, lsqr_output* out, Iter& it, double ctol) {
    const double anorm = out->frob_mat_norm, rnorm = out->resid_norm;
    it.test1 = rnorm / it.bnorm;
    it.test2 = rnorm == 0.0 ? 0.0 : out->mat_resid_norm / (anorm * rnorm);
    it.test3 = 1.0 / out->mat_cond_num;
    const double axb = anorm * out->sol_norm / it.bnorm;
    if (out->num_iters >= in->max_iter) out->term_flag = 7;
    if (it.test3 <= kEps) out->term_flag = 6;
    if (it.test2 <= kEps) out->term_flag = 5;
    if (it.test1 <= kEps * axb + kEps) out->term_flag = 4;
    if (it.test3 <= ctol) out->term_flag = 3;
    if (it.test2 <= in->rel_mat_err) out->term_flag = 2;
    if (it.test1 <= in->rel_mat_err * axb + in->rel_rhs_err) out->term_flag = 1;
}

void finish_std_err(const lsqr_input* in, lsqr_output* out) {
    double t = 1.0;
    if (in->num_rows > in->num_cols) t = (double)(in->num_rows - in->num_cols);
    if (in->damp_val * in->damp_val > 0.0) t = (double)in->num_rows;
    double* se = out->std_err_vec->elements;
    for (long k = 0; k < in->num_cols; ++k)
        se[k] = std::sqrt(se[k]) * out->resid_norm / std::sqrt(t);
}

void* checked_malloc(size_t bytes, const char* msg) {
    void* p = malloc(bytes > 0 ? bytes : 1);
    if (!p) lsqr_error(msg, -1);
    return p;
}

// A vector record V of n elements of type E; each failed allocation ends the program with its
// message.
template <class V, class E>
V* alloc_vec(long n, const char* recordMsg, const char* elementMsg) {
    V* v = (V*)checked_malloc(sizeof(V), recordMsg);
    v->elements = (E*)checked_malloc(sizeof(E) * (size_t)(n > 0 ? n : 0), elementMsg);
    v->length = n;
    return v;
}

// A vector that is part of one of the solver's records; either failed allocation ends the
// program with the record's message for it.
dvec* alloc_part(long n, const char* msg) {
    return alloc_vec<dvec, double>(n, msg, msg);
}

template <class V>
void free_vec(V* v) {
    if (!v) return;
    free(v->elements);
    free(v);
}

}  // namespace

void lsqr_error(const char* msg, int code) {
    fprintf(stderr, "\t%s\n", msg);
    exit(code);
}

lvec* alloc_lvec(long n) {
    return alloc_vec<lvec, long>(n, "lsqr: vector allocation failure in function alloc_lvec()",
                                 "lsqr: element allocation failure in function alloc_lvec()");
}

void free_lvec(lvec* v) {
    free_vec(v);
}

dvec* alloc_dvec(long n) {
    return alloc_vec<dvec, double>(n, "lsqr: vector allocation failure in function alloc_dvec()",
                                   "lsqr: element allocation failure in function alloc_dvec()");
}

void free_dvec(dvec* v) {
    free_vec(v);
}

lsqr_input* alloc_lsqr_in(long m, long n) {
    lsqr_input* in = (lsqr_input*)checked_malloc(
        sizeof(lsqr_input), "lsqr: input structure allocation failure in function alloc_lsqr_in()");
    in->rhs_vec = alloc_part(
        m, "lsqr: right hand side vector 'b' allocation failure in function alloc_lsqr_in()");
    in->sol_vec =
        alloc_part(n, "lsqr: solution vector 'x' allocation failure in function alloc_lsqr_in()");
    return in;
}

void free_lsqr_in(lsqr_input* in) {
    if (!in) return;
    free_dvec(in->rhs_vec);
    free_dvec(in->sol_vec);
    free(in);
}

lsqr_output* alloc_lsqr_out(long /*m*/, long n) {
    lsqr_output* out = (lsqr_output*)checked_malloc(
        sizeof(lsqr_output),
        "lsqr: output structure allocation failure in function alloc_lsqr_out()");
    out->sol_vec = nullptr;
    out->std_err_vec = alloc_part(
        n, "lsqr: standard error vector 'e' allocation failure in function alloc_lsqr_out()");
    return out;
}

void free_lsqr_out(lsqr_output* out) {
    if (!out) return;
    free_dvec(out->std_err_vec);
    free(out);
}

lsqr_work* alloc_lsqr_wrk(long /*m*/, long n) {
    lsqr_work* work = (lsqr_work*)checked_malloc(
        sizeof(lsqr_work), "lsqr: work structure allocation failure in function alloc_lsqr_wrk()");
    work->bidiag_wrk_vec =
        alloc_part(n,
                   "lsqr: bidiagonalization work vector 'v' allocation failure in function "
                   "alloc_lsqr_wrk()");
    work->srch_dir_vec = alloc_part(
        n, "lsqr: search direction vector 'w' allocation failure in function alloc_lsqr_wrk()");
    return work;
}

void free_lsqr_wrk(lsqr_work* work) {
    if (!work) return;
    free_dvec(work->bidiag_wrk_vec);
    free_dvec(work->srch_dir_vec);
    free(work);
}

lsqr_func* alloc_lsqr_fnc() {
    lsqr_func* func = (lsqr_func*)checked_malloc(
        sizeof(lsqr_func),
        "lsqr: function structure allocation failure in function alloc_lsqr_fnc()");
    func->mat_vec_prod = nullptr;
    return func;
}

void free_lsqr_fnc(lsqr_func* func) {
    free(func);
}

void alloc_lsqr_mem(lsqr_input** in, lsqr_output** out, lsqr_work** work, lsqr_func** func, long m,
                    long n) {
    *in = alloc_lsqr_in(m, n);
    *out = alloc_lsqr_out(m, n);
    *work = alloc_lsqr_wrk(m, n);
    *func = alloc_lsqr_fnc();
    (*out)->sol_vec = (*in)->sol_vec;
}

void free_lsqr_mem(lsqr_input* in, lsqr_output* out, lsqr_work* work, lsqr_func* func) {
    free_lsqr_in(in);
    free_lsqr_out(out);
    free_lsqr_wrk(work);
    free_lsqr_fnc(func);
}

void dvec_scale(double s, dvec* v) {
    for (long k = 0; k < v->length; ++k) v->elements[k] *= s;
}

void dvec_copy(dvec* from, dvec* to) {
    for (long k = 0; k < from->length; ++k) to->elements[k] = from->elements[k];
}

double dvec_norm2(dvec* v) {
    double s = 0.0;
    for (long k = 0; k < v->length; ++k) s += v->elements[k] * v->elements[k];
    return std::sqrt(s);
}

void lsqr(lsqr_input* input, lsqr_output* output, lsqr_work* work, lsqr_func* func, void* prod) {
    FILE* rep = input->lsqr_fp_out;
    if (rep) print_header(input);

    output->term_flag = 0;
    output->num_iters = 0;
    output->frob_mat_norm = 0.0;
    output->mat_cond_num = 0.0;
    output->sol_norm = 0.0;
    clear(work->bidiag_wrk_vec);
    clear(work->srch_dir_vec);
    clear(output->std_err_vec);
    clear(output->sol_vec);
    const double ctol = input->cond_lim > 0.0 ? 1.0 / input->cond_lim : kEps;

    // u = b - A x0, beta u; alpha v = A^T u; w = v.
    Iter it;
    dvec* u = input->rhs_vec;
    dvec* v = work->bidiag_wrk_vec;
    dvec_scale(-1.0, u);
    func->mat_vec_prod(0, input->sol_vec, u, prod);
    dvec_scale(-1.0, u);
    it.beta = dvec_norm2(u);
    if (it.beta > 0.0) {
        dvec_scale(1.0 / it.beta, u);
        func->mat_vec_prod(1, v, u, prod);
        it.alpha = dvec_norm2(v);
    }
    if (it.alpha > 0.0) {
        dvec_scale(1.0 / it.alpha, v);
        dvec_copy(v, work->srch_dir_vec);
    }
    output->mat_resid_norm = it.alpha * it.beta;
    output->resid_norm = it.beta;
    it.bnorm = it.beta;

    if (output->mat_resid_norm == 0.0) {  // x0 already solves the problem
        if (rep) print_summary(rep, "", output, it.bnorm);
        return;
    }
    if (rep) {
        fprintf(rep,
                "  ITER     || r ||    Compatible  ||A^T r|| / ||A|| ||r||  || A ||    cond( A )"
                "\n\n");
        fprintf(rep, "%6li %13.5e %10.2e \t%10.2e \t%10.2e  %10.2e\n", 0L, it.beta, 1.0,
                it.alpha / it.beta, 0.0, 0.0);
    }

    it.rhobar = it.alpha;
    it.phibar = it.beta;
    while (output->term_flag == 0) {
        output->num_iters += 1;
        iterate(input, output, work, func, prod, it);
        test_stop(input, output, it, ctol);
        if (rep)
            fprintf(rep, "%6li %13.5e %10.2e \t%10.2e \t%10.2e %10.2e\n", output->num_iters,
                    output->resid_norm, it.test1, it.test2, output->frob_mat_norm,
                    output->mat_cond_num);
    }

    finish_std_err(input, output);
    if (rep) print_summary(rep, "\n", output, it.bnorm);
}
