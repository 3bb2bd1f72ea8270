// Least-squares polynomial fits: normal equations and orthogonal polynomials.
#include "fits.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

namespace {

constexpr int kMaxTerms = 20;

// Repeated x values must end in inf/NaN coefficients, not a trap.
static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "fits rely on IEEE division by zero");

template<typename T>
void eliminate(int N, T *A, T *x, T *b)
{
    const auto n = static_cast<std::size_t>(N);
    auto at = [A, n](std::size_t r, std::size_t c) -> T & {
        return A[r * n + c];
    };

    for (std::size_t i = 0; i + 1 < n; ++i) {
        std::size_t pivot = i;
        for (std::size_t r = i + 1; r < n; ++r) {
            if (std::abs(at(r, i)) > std::abs(at(pivot, i)))
                pivot = r;
        }
        if (pivot != i) {
            for (std::size_t c = 0; c < n; ++c)
                std::swap(at(i, c), at(pivot, c));
            std::swap(b[i], b[pivot]);
        }
        for (std::size_t j = i + 1; j < n; ++j) {
            const T f = at(j, i);
            for (std::size_t c = i + 1; c < n; ++c)
                at(j, c) -= f * at(i, c) / at(i, i);
            b[j] -= f * b[i] / at(i, i);
        }
    }
    for (std::size_t j = n; j-- > 0;) {
        T sum = b[j];
        for (std::size_t c = j + 1; c < n; ++c)
            sum -= at(j, c) * x[c];
        x[j] = sum / at(j, j);
    }
}

} // namespace

void solve_linear_system(int N, float *A, float *x, float *b)
{
    if (N <= 0 || !A || !x || !b)
        return;
    eliminate(N, A, x, b);
}

void fit_polynomial_normal(int n, const float *x, const float *y, unsigned m, float *a)
{
    if (n <= 0 || !x || !y || !a || m >= static_cast<unsigned>(kMaxTerms))
        return;
    const int N = static_cast<int>(m) + 1;

    // Raw power sums reach x^(2m): beyond |x| ~ 100 they overflow float, and even in double the
    // normal matrix of raw powers is too ill-conditioned for ten points. Fitting in
    // u = (x - centre) / scale keeps u within [-1, 1]; the result is expanded back afterwards.
    double lo = x[0];
    double hi = x[0];
    for (int i = 1; i < n; ++i) {
        lo = std::min(lo, static_cast<double>(x[i]));
        hi = std::max(hi, static_cast<double>(x[i]));
    }
    const double centre = 0.5 * (lo + hi);
    double scale = 0.5 * (hi - lo);
    if (!(scale > 0.0))
        scale = 1.0;

    std::vector<double> S(2 * static_cast<std::size_t>(m) + 1, 0.0);
    std::vector<double> T(N, 0.0);
    for (int i = 0; i < n; ++i) {
        const double u = (x[i] - centre) / scale;
        double power = 1.0;
        for (std::size_t j = 0; j < S.size(); ++j) {
            S[j] += power;
            if (j < T.size())
                T[j] += y[i] * power;
            power *= u;
        }
    }

    std::vector<double> A(static_cast<std::size_t>(N) * N);
    for (int r = 0; r < N; ++r) {
        for (int c = 0; c < N; ++c)
            A[static_cast<std::size_t>(r) * N + c] = S[r + c];
    }
    std::vector<double> c(N, 0.0);
    eliminate(N, A.data(), c.data(), T.data());

    // Expand sum(c[i] * u^i) back into powers of x, Horner style.
    std::vector<double> q(N, 0.0);
    for (int i = N; i-- > 0;) {
        for (int j = N - 1; j > 0; --j)
            q[j] = (q[j - 1] - centre * q[j]) / scale;
        q[0] = -centre * q[0] / scale + c[i];
    }
    for (int j = 0; j < N; ++j)
        a[j] = static_cast<float>(q[j]);
}

void fit_polynomial_orthogonal(int n, const float *x, const float *y, int k, float *a)
{
    if (!x || !y || !a)
        return;
    k = std::min(k, n);
    if (k <= 0 || k > kMaxTerms)
        return;
    std::fill(a, a + k, 0.0f);

    double sumX = 0.0;
    double sumY = 0.0;
    for (int i = 0; i < n; ++i) {
        sumX += x[i];
        sumY += y[i];
    }
    const double mean = sumX / n;
    a[0] = static_cast<float>(sumY / n);
    if (k < 2)
        return;

    // Power-basis coefficients of P(j-2), P(j-1) and P(j).
    double prev[kMaxTerms] = {1.0};
    double cur[kMaxTerms] = {-mean, 1.0};
    double next[kMaxTerms] = {};
    // Their values at the points, carried by the same recurrence: evaluating the power-basis
    // coefficients instead loses orthogonality from degree 10 on at x in the thousands.
    std::vector<double> prevAt(n, 1.0);
    std::vector<double> curAt(n);
    std::vector<double> nextAt(n);

    double prevNorm = n;
    double curNorm = 0.0;
    double yDot = 0.0;
    for (int i = 0; i < n; ++i) {
        curAt[i] = x[i] - mean;
        curNorm += curAt[i] * curAt[i];
        yDot += y[i] * curAt[i];
    }
    double coeff = yDot / curNorm;
    a[1] = static_cast<float>(coeff);
    a[0] = static_cast<float>(a[0] + coeff * -mean);

    for (int j = 2; j < k; ++j) {
        double xDot = 0.0;
        for (int i = 0; i < n; ++i)
            xDot += x[i] * curAt[i] * curAt[i];
        const double alpha = xDot / curNorm;
        const double beta = curNorm / prevNorm;

        next[0] = -alpha * cur[0] - beta * prev[0];
        for (int t = 1; t <= j; ++t)
            next[t] = cur[t - 1] - alpha * cur[t] - beta * prev[t];

        double nextNorm = 0.0;
        yDot = 0.0;
        for (int i = 0; i < n; ++i) {
            nextAt[i] = (x[i] - alpha) * curAt[i] - beta * prevAt[i];
            nextNorm += nextAt[i] * nextAt[i];
            yDot += y[i] * nextAt[i];
        }
        coeff = yDot / nextNorm;
        for (int t = 0; t <= j; ++t)
            a[t] = static_cast<float>(a[t] + coeff * next[t]);

        std::copy(cur, cur + kMaxTerms, prev);
        std::copy(next, next + kMaxTerms, cur);
        prevAt.swap(curAt);
        curAt.swap(nextAt);
        prevNorm = curNorm;
        curNorm = nextNorm;
    }
}
