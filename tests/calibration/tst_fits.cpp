// Both polynomial fits against exact polynomials and an independent interpolation reference.
#include "fits.h"

#include <QtTest>

#include <cmath>

using Points = QVector<float>;

namespace {

void normalFit(int n, const float *x, const float *y, int k, float *a)
{
    fit_polynomial_normal(n, x, y, static_cast<unsigned>(k - 1), a);
}

using Fit = void (*)(int, const float *, const float *, int, float *);
const Fit kFits[] = {normalFit, fit_polynomial_orthogonal};

// Newton divided differences in long double: with k = n both fits must interpolate.
long double interpolate(const Points &x, const Points &y, long double at)
{
    QVector<long double> d(y.begin(), y.end());
    for (int j = 1; j < x.size(); ++j) {
        for (int i = x.size() - 1; i >= j; --i)
            d[i] = (d[i] - d[i - 1]) / (static_cast<long double>(x[i]) - x[i - j]);
    }
    long double v = d.last();
    for (int i = x.size() - 2; i >= 0; --i)
        v = v * (at - x[i]) + d[i];
    return v;
}

} // namespace

class TstFits : public QObject
{
    Q_OBJECT

private slots:
    void bothFits_interpolateLikeReference_data();
    void bothFits_interpolateLikeReference();
    void badArguments_leaveOutputUntouched();
    void solveLinearSystem_pivotsPastZeroDiagonal();
};

void TstFits::bothFits_interpolateLikeReference_data()
{
    QTest::addColumn<Points>("x");
    QTest::addColumn<Points>("y");
    QTest::addColumn<Points>("coefficients"); // empty: compared with the reference only
    QTest::newRow("one point") << Points{2.5f} << Points{7} << Points{7};
    QTest::newRow("line") << Points{1, 2} << Points{2, 4} << Points{0, 2};
    QTest::newRow("quadratic") << Points{0, 1, 2} << Points{1, 3, 7} << Points{1, 1, 1};
    QTest::newRow("quadratic shuffled") << Points{2, 0, 1} << Points{7, 1, 3} << Points{1, 1, 1};

    // A bridge signal against a temperature signal: smooth trend plus measurement scatter.
    Points x;
    Points y;
    for (int i = 0; i < 10; ++i) {
        const double t = 1000 + i * 333.3 + (i % 3) * 17;
        x << float(t);
        y << float(20000 + 3.2 * t - 4e-4 * t * t + 1e-8 * t * t * t + 5 * std::sin(i * 1.3));
    }
    QTest::newRow("1000..4000") << x << y << Points{};
    std::reverse(x.begin(), x.end());
    std::reverse(y.begin(), y.end());
    QTest::newRow("1000..4000 descending") << x << y << Points{};
    for (int i = 0; i < 10; ++i) {
        x[i] = 1e4f * (i + 1);
        y[i] = float(5000 + 0.01 * x[i] + 3 * std::sin(i * 1.3));
    }
    QTest::newRow("up to 1e5") << x << y << Points{};
}

void TstFits::bothFits_interpolateLikeReference()
{
    QFETCH(Points, x);
    QFETCH(Points, y);
    QFETCH(Points, coefficients);
    const int n = x.size();
    for (Fit fit : kFits) {
        Points a(n, -99.0f);
        fit(n, x.data(), y.data(), n, a.data());
        for (int i = 0; i < coefficients.size(); ++i)
            QVERIFY2(std::fabs(a[i] - coefficients[i]) < 1e-5f, QByteArray::number(a[i]));
        // At the points and halfway to the next one.
        for (int i = 0; i < n; ++i) {
            for (long double at :
                 {static_cast<long double>(x[i]), (x[i] + x[(i + 1) % n]) / 2.0L}) {
                long double p = 0;
                for (int c = n; c-- > 0;)
                    p = p * at + a[c];
                const long double want = interpolate(x, y, at);
                QVERIFY2(std::fabs(double((p - want) / want)) < 1e-4,
                         QByteArray::number(double(at)));
            }
        }
    }
}

void TstFits::badArguments_leaveOutputUntouched()
{
    Points x(25);
    for (int i = 0; i < x.size(); ++i)
        x[i] = i / 24.0f;
    const Points y = x;
    const Points untouched(25, -99.0f);
    Points a = untouched;
    fit_polynomial_normal(0, x.data(), y.data(), 2, a.data());
    fit_polynomial_normal(25, x.data(), y.data(), 20, a.data());
    fit_polynomial_orthogonal(-3, x.data(), y.data(), 3, a.data());
    fit_polynomial_orthogonal(25, x.data(), y.data(), 21, a.data());
    fit_polynomial_orthogonal(3, x.data(), y.data(), 3, nullptr);
    solve_linear_system(2, nullptr, a.data(), a.data());
    QCOMPARE(a, untouched);

    // The 20-term limit itself stays usable.
    fit_polynomial_orthogonal(25, x.data(), y.data(), 20, a.data());
    QVERIFY2(std::fabs(a[1] - 1.0f) < 1e-3f, QByteArray::number(a[1]));
}

void TstFits::solveLinearSystem_pivotsPastZeroDiagonal()
{
    float A[] = {0, 2, 1, 1, 1, 1, 2, 1, 0};
    float b[] = {7, 6, 4};
    float x[3] = {};
    solve_linear_system(3, A, x, b);
    QCOMPARE(Points(x, x + 3), (Points{1, 2, 3}));
}

QTEST_APPLESS_MAIN(TstFits)
#include "tst_fits.moc"
