#pragma once
// Polynomial least-squares fit of the flow-sensor adjustment (voltage -> flow), solved through
// the normal equations with a Cholesky factorisation without pivoting.

#include <vector>

using aDouble = std::vector<double>;
using aaDouble = std::vector<aDouble>;

// Fit modes.
constexpr int kFitPlain = 0;     // all degree + 1 coefficients free
constexpr int kFitAnchored = 1;  // the curve passes through the first point (X[0], Y[0])

// Result codes.
constexpr int kFitOk = 0;
constexpr int kFitTooFewPoints = 1;    // degree + 1 > n; X and Y untouched
constexpr int kFitNotPositive = 2;     // factorisation met a diagonal element <= 0 (or NaN)
constexpr int kFitBadArguments = 3;    // unknown mode, degree outside 0..4 (1..4 anchored),
                                       // n < 1 or arrays shorter than n; X and Y untouched

// Highest degree the fixed working storage holds.
constexpr int kFitMaxDegree = 4;

// Fits y = a0 + a1*x + ... + a_degree*x^degree to the first n pairs of X and Y and writes
// a0..a_degree into X[0..degree]. Y is scratch storage: its content afterwards means nothing,
// and on result 2 X is partly overwritten as well.
int LeastSquareFit(int mode, int n, int degree, aDouble& X, aDouble& Y);

// Factorises the upper triangle of the size x size matrix A into R (A = R^T R, R upper
// triangular) and solves R^T z = b. Returns 0, 2 when a diagonal element is not greater than
// zero, or 3 when the arrays are smaller than size x size. R and z are grown as needed.
int CholeskyForward(int size, const aaDouble& A, aaDouble& R, const aDouble& b, aDouble& z);
