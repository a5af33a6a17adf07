#include "leastsquare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

double evaluate(const aDouble& a, int degree, double x)
{
    double y = 0.0;
    for (int k = degree; k >= 0; --k)
        y = y * x + a[k];
    return y;
}

// Five distinct rising voltages in the sensor's range (at least minGap apart) and rising flows.
void randomAdjustment(std::mt19937& rng, aDouble& volts, aDouble& flows, double minGap)
{
    std::uniform_real_distribution<double> voltage(0.88, 5.12);
    std::uniform_real_distribution<double> flow(0.0, 2.0);
    do {
        for (double& v : volts)
            v = voltage(rng);
        std::sort(volts.begin(), volts.end());
    } while (std::adjacent_find(volts.begin(), volts.end(), [minGap](double a, double b) {
                 return b - a < minGap;
             }) != volts.end());
    do {
        for (double& f : flows)
            f = flow(rng);
        std::sort(flows.begin(), flows.end());
    } while (std::adjacent_find(flows.begin(), flows.end()) != flows.end());
}

}  // namespace

TEST(lsq_LeastSquareFit, anchoredStraightLine_givesSlopeAndOffsetOnly)
{
    aDouble X = {1.00, 1.50, 2.00, 2.50, 3.00};
    aDouble Y = {0.0, 0.3, 0.6, 0.9, 1.2};
    ASSERT_EQ(LeastSquareFit(kFitAnchored, 5, 4, X, Y), kFitOk);
    // The normal equations square the conditioning, so "within rounding" is a few 1e-12 here.
    EXPECT_NEAR(X[0], -0.6, 1e-10);
    EXPECT_NEAR(X[1], 0.6, 1e-10);
    for (int k = 2; k <= 4; ++k)
        EXPECT_NEAR(X[k], 0.0, 1e-10) << "a" << k;
}

TEST(lsq_LeastSquareFit, anchoredDegree4_reproducesAllFiveRandomFlows)
{
    // Points at least 0.4 V apart, as an adjustment over the flow range gives them. Much closer
    // points make the normal equations so ill-conditioned that the fit drifts well past 1e-9
    // (about 1e-7 at 0.1 V), which is the method's limit rather than a fault.
    std::mt19937 rng(20240611);
    for (int set = 0; set < 2000; ++set) {
        aDouble volts(5), flows(5);
        randomAdjustment(rng, volts, flows, 0.4);
        if (set % 2 == 0)
            flows[0] = 0.0;  // what the adjustment passes for the anchor
        aDouble X = volts, Y = flows;
        ASSERT_EQ(LeastSquareFit(kFitAnchored, 5, 4, X, Y), kFitOk) << "set " << set;
        for (int i = 0; i < 5; ++i) {
            const double scale = std::max(std::fabs(flows[i]), flows[4]);
            EXPECT_LE(std::fabs(evaluate(X, 4, volts[i]) - flows[i]), 1e-9 * scale)
                << "set " << set << " point " << i << " U=" << volts[i];
        }
    }
}

TEST(lsq_LeastSquareFit, anchorFlowZero_givesZeroAtAnchorVoltage)
{
    aDouble X = {0.95, 1.8, 2.6, 3.7, 4.9};
    aDouble Y = {0.0, 0.4, 0.9, 1.5, 1.95};
    const double anchor = X[0];
    ASSERT_EQ(LeastSquareFit(kFitAnchored, 5, 4, X, Y), kFitOk);
    EXPECT_NEAR(evaluate(X, 4, anchor), 0.0, 1e-12);
}

TEST(lsq_LeastSquareFit, anchoredLowerDegrees_interpolateThroughAllPoints)
{
    std::mt19937 rng(7);
    for (int degree = 1; degree <= 3; ++degree) {
        aDouble volts(5), flows(5);
        randomAdjustment(rng, volts, flows, 0.2);
        const int n = degree + 1;
        aDouble X = volts, Y = flows;
        ASSERT_EQ(LeastSquareFit(kFitAnchored, n, degree, X, Y), kFitOk);
        for (int i = 0; i < n; ++i)
            EXPECT_NEAR(evaluate(X, degree, volts[i]), flows[i], 1e-9) << "degree " << degree;
    }
}

TEST(lsq_LeastSquareFit, plainOverdetermined_recoversExactQuadratic)
{
    aDouble X, Y;
    for (double x = 0.5; x < 4.6; x += 0.5) {
        X.push_back(x);
        Y.push_back(1.5 - 2.0 * x + 0.25 * x * x);
    }
    const int n = static_cast<int>(X.size());
    ASSERT_EQ(LeastSquareFit(kFitPlain, n, 2, X, Y), kFitOk);
    EXPECT_NEAR(X[0], 1.5, 1e-10);
    EXPECT_NEAR(X[1], -2.0, 1e-10);
    EXPECT_NEAR(X[2], 0.25, 1e-10);
}

TEST(lsq_LeastSquareFit, plainScatteredPoints_makeResidualOrthogonalToEveryPower)
{
    // The least-squares property itself: sum of residual * x^j vanishes for j = 0..degree.
    const aDouble xs = {0.9, 1.4, 2.2, 2.9, 3.3, 4.1, 4.8, 5.0};
    const aDouble ys = {0.05, 0.31, 0.62, 0.80, 1.05, 1.31, 1.62, 1.70};
    aDouble X = xs, Y = ys;
    ASSERT_EQ(LeastSquareFit(kFitPlain, 8, 3, X, Y), kFitOk);
    for (int j = 0; j <= 3; ++j) {
        double s = 0.0;
        for (size_t i = 0; i < xs.size(); ++i)
            s += (ys[i] - evaluate(X, 3, xs[i])) * std::pow(xs[i], j);
        EXPECT_NEAR(s, 0.0, 1e-9) << "power " << j;
    }
}

TEST(lsq_LeastSquareFit, allVoltagesEqual_failsFactorisation)
{
    aDouble X(5, 2.5);
    aDouble Y = {0.0, 0.5, 1.0, 1.5, 2.0};
    EXPECT_EQ(LeastSquareFit(kFitAnchored, 5, 4, X, Y), kFitNotPositive);
}

TEST(lsq_LeastSquareFit, nanVoltage_failsFactorisationInsteadOfReturningGarbage)
{
    aDouble X = {1.0, 2.0, std::nan(""), 4.0, 5.0};
    aDouble Y = {0.0, 0.5, 1.0, 1.5, 2.0};
    EXPECT_EQ(LeastSquareFit(kFitAnchored, 5, 4, X, Y), kFitNotPositive);
}

TEST(lsq_LeastSquareFit, refusedArguments_leaveInputsUntouched)
{
    struct Case {
        const char* what;
        int mode, n, degree;
        size_t size;
        int expected;
    };
    const Case cases[] = {
        {"n = 4 with degree 4", kFitAnchored, 4, 4, 5, kFitTooFewPoints},
        {"plain n = 2 with degree 2", kFitPlain, 2, 2, 5, kFitTooFewPoints},
        {"degree above storage", kFitPlain, 8, 5, 8, kFitBadArguments},
        {"negative degree", kFitPlain, 5, -1, 5, kFitBadArguments},
        {"unknown mode", 2, 5, 4, 5, kFitBadArguments},
        {"arrays shorter than n", kFitAnchored, 6, 4, 5, kFitBadArguments},
    };
    for (const Case& c : cases) {
        aDouble X, Y;
        for (size_t i = 0; i < c.size; ++i) {
            X.push_back(1.0 + 0.7 * static_cast<double>(i));
            Y.push_back(0.3 * static_cast<double>(i));
        }
        const aDouble X0 = X, Y0 = Y;
        EXPECT_EQ(LeastSquareFit(c.mode, c.n, c.degree, X, Y), c.expected) << c.what;
        EXPECT_EQ(X, X0) << c.what;
        EXPECT_EQ(Y, Y0) << c.what;
    }
}

TEST(lsq_CholeskyForward, factorOfKnownMatrix_reproducesMatrixAndSolvesForward)
{
    const aaDouble A = {{4, 2, -2}, {2, 10, 2}, {-2, 2, 6}};
    const aDouble b = {2, 4, 6};
    aaDouble R;
    aDouble z;
    ASSERT_EQ(CholeskyForward(3, A, R, b, z), kFitOk);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            double s = 0.0;
            for (int k = 0; k < 3; ++k)
                s += (k <= r ? R[k][r] : 0.0) * (k <= c ? R[k][c] : 0.0);
            EXPECT_NEAR(s, A[r][c], 1e-12) << r << "," << c;
        }
        double s = 0.0;
        for (int k = 0; k <= r; ++k)
            s += R[k][r] * z[k];
        EXPECT_NEAR(s, b[r], 1e-12) << "row " << r;
    }
    const aaDouble notPositive = {{1, 2}, {2, 1}};
    EXPECT_EQ(CholeskyForward(2, notPositive, R, b, z), kFitNotPositive);
    EXPECT_EQ(CholeskyForward(4, A, R, b, z), kFitBadArguments);
}
