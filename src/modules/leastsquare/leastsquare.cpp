#include "leastsquare.h"

#include <cmath>
#include <cstddef>

// The device's stored coefficients were produced by exactly this sequence of double
// operations; the loops below keep their order (running powers, term-by-term subtraction in
// increasing index) so that the results agree to the last bit.

namespace {

constexpr int kCoefficients = kFitMaxDegree + 1;
constexpr int kPowerSums = 2 * kFitMaxDegree + 2;

bool squareAtLeast(const aaDouble& M, std::size_t size)
{
    if (M.size() < size)
        return false;
    for (std::size_t r = 0; r < size; ++r) {
        if (M[r].size() < size)
            return false;
    }
    return true;
}

// Binomial coefficient for the small degrees used here; exact in double.
double binomial(int n, int k)
{
    double c = 1.0;
    for (int i = 1; i <= k; ++i)
        c = c * (n - k + i) / i;
    return c;
}

}  // namespace

int CholeskyForward(int size, const aaDouble& A, aaDouble& R, const aDouble& b, aDouble& z)
{
    if (size < 0)
        return kFitBadArguments;
    const auto m = static_cast<std::size_t>(size);
    if (!squareAtLeast(A, m) || b.size() < m)
        return kFitBadArguments;
    if (R.size() < m)
        R.resize(m);
    for (std::size_t r = 0; r < m; ++r) {
        if (R[r].size() < m)
            R[r].resize(m, 0.0);
    }
    if (z.size() < m)
        z.resize(m, 0.0);

    for (std::size_t i = 0; i < m; ++i) {
        double d = A[i][i];
        for (std::size_t k = 0; k < i; ++k)
            d = d - R[k][i] * R[k][i];
        // Written as "not greater" so that a NaN fails as well.
        if (!(d > 0.0))
            return kFitNotPositive;
        R[i][i] = std::sqrt(d);

        double s = b[i];
        for (std::size_t k = 0; k < i; ++k)
            s = s - z[k] * R[k][i];
        z[i] = s / R[i][i];

        for (std::size_t l = i + 1; l < m; ++l) {
            double t = A[i][l];
            for (std::size_t k = 0; k < i; ++k)
                t = t - R[k][i] * R[k][l];
            R[i][l] = t / R[i][i];
        }
    }
    return kFitOk;
}

int LeastSquareFit(int mode, int n, int degree, aDouble& X, aDouble& Y)
{
    if (mode != kFitPlain && mode != kFitAnchored)
        return kFitBadArguments;
    if (degree < 0 || degree > kFitMaxDegree)
        return kFitBadArguments;
    if (degree + 1 > n)
        return kFitTooFewPoints;
    const auto count = static_cast<std::size_t>(n);
    if (X.size() < count || Y.size() < count)
        return kFitBadArguments;

    const bool anchored = mode == kFitAnchored;
    const double x0 = anchored ? X[0] : 0.0;
    const double y0 = anchored ? Y[0] : 0.0;
    if (anchored && degree == 0) {
        // Nothing left to solve: the constant through the anchor.
        X[0] = y0;
        return kFitOk;
    }

    // Transformed points replace the inputs in place.
    if (anchored) {
        for (std::size_t i = 0; i < count; ++i) {
            X[i] = X[i] - x0;
            Y[i] = Y[i] - y0;
        }
    }

    aDouble b(kCoefficients, 0.0);
    for (std::size_t i = 0; i < count; ++i) {
        double w = 1.0;
        for (int j = 0; j <= degree; ++j) {
            b[j] = Y[i] * w + b[j];
            w = w * X[i];
        }
    }

    aDouble S(kPowerSums, 0.0);
    S[0] = n;
    for (std::size_t i = 0; i < count; ++i) {
        double p = X[i];
        for (int k = 1; k <= 2 * degree; ++k) {
            S[k] = S[k] + p;
            p = p * X[i];
        }
    }

    aaDouble A(kCoefficients, aDouble(kCoefficients, 0.0));
    aaDouble R(kCoefficients, aDouble(kCoefficients, 0.0));
    aDouble z(kCoefficients, 0.0);
    int m = degree + 1;
    if (anchored) {
        for (int r = 1; r <= degree; ++r) {
            for (int c = 1; c <= degree; ++c)
                A[r - 1][c - 1] = S[r + c];
        }
        for (int r = 1; r <= degree; ++r)
            b[r - 1] = b[r];
        m = degree;
    } else {
        for (int r = 0; r <= degree; ++r) {
            for (int c = 0; c <= degree; ++c)
                A[r][c] = S[r + c];
        }
    }

    const int rc = CholeskyForward(m, A, R, b, z);
    if (rc != kFitOk)
        return rc;

    X[m - 1] = z[m - 1] / R[m - 1][m - 1];
    for (int i = m - 2; i >= 0; --i) {
        double s = 0.0;
        for (int j = i + 1; j < m; ++j)
            s = s + R[i][j] * X[j];
        X[i] = (z[i] - s) / R[i][i];
    }
    if (!anchored)
        return kFitOk;

    // X[0..degree-1] hold c1..c_degree of v = c1*u + ... in u = x - x0; expand into powers of
    // x. Term k of a_j is binom(k, j) * c_k * x0^(k-j) with alternating sign; for degree 4
    // this is a0 = y0 - c1*x0 + c2*x0^2 - c3*x0^3 + c4*x0^4, a1 = c1 - 2*c2*x0 + 3*c3*x0^2
    // - 4*c4*x0^3, and so on, summed left to right.
    double c[kCoefficients] = {0.0, 0.0, 0.0, 0.0, 0.0};
    for (int k = 1; k <= degree; ++k)
        c[k] = X[k - 1];
    double x0Power[kCoefficients] = {1.0, 0.0, 0.0, 0.0, 0.0};
    for (int p = 1; p <= degree; ++p)
        x0Power[p] = x0Power[p - 1] * x0;
    double a[kCoefficients] = {0.0, 0.0, 0.0, 0.0, 0.0};
    for (int j = 0; j <= degree; ++j) {
        double sum = j == 0 ? y0 : c[j];
        for (int k = (j == 0 ? 1 : j + 1); k <= degree; ++k) {
            const double term = binomial(k, j) * c[k] * x0Power[k - j];
            sum = ((k - j) % 2 == 1) ? sum - term : sum + term;
        }
        a[j] = sum;
    }
    for (int j = 0; j <= degree; ++j)
        X[j] = a[j];
    return kFitOk;
}
