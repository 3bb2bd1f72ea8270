// Least-squares polynomial fits for the temperature compensation and linearization tables.
// Coefficients come out lowest power first: p(x) = a[0] + a[1]*x + ... .
#pragma once

// Normal-equation fit of degree m; a receives m + 1 coefficients. Degrees above 19 and
// n <= 0 are refused without writing. Repeated x values with m = n - 1 leave the system
// singular: the coefficients are then meaningless, usually non-finite.
void fit_polynomial_normal(int n, const float *x, const float *y, unsigned m, float *a);

// Orthogonal-polynomial fit with k coefficients (k is reduced to n). More than 20 terms is
// refused without writing.
void fit_polynomial_orthogonal(int n, const float *x, const float *y, int k, float *a);

// Gaussian elimination with partial pivoting on an N x N row-major A; A and b are overwritten.
void solve_linear_system(int N, float *A, float *x, float *b);
