#pragma once
// Chebyshev (type I) recursive low-pass and high-pass design of 2 to 20 poles, cascaded from
// two-pole sections computed in the s-domain and mapped with the bilinear transform.
// Algorithm: S. W. Smith, "The Scientist and Engineer's Guide to Digital Signal Processing",
// chapter 20 (Chebyshev filters), table 20-4/20-5.
//
// Conventions:
// - fc is the cut-off as a fraction of the sample rate (0 < fc < 0.5). It is the frequency at
//   which the response lies 3 dB below the pass band's peak (not the edge of the ripple band).
// - ripplePercent is the pass-band ripple in percent of the amplitude (0 to 29): the gain
//   swings between the peak and (1 - ripplePercent/100) times the peak. 0 gives a Butterworth
//   response.
// - Coefficients: y[n] = sum_k A[k] x[n-k] (k from 0) + sum_k B[k] y[n-k] (k from 1), B[0] = 0.
//   A DigiFilterBlock takes alpha[k] = A[k] and beta[k] = -B[k] (the block subtracts beta*y).
// - Gain: unity at 0 Hz (low pass) or at half the sample rate (high pass). With an even pole
//   count that is a ripple trough, so the pass band's peak is 1/(1 - ripplePercent/100).

constexpr int kChebyshevCoeffs = 23;    // indices 0..22
constexpr int kChebyshevMaxPoles = 20;

// Results of the last successful DesignChebyshevFilter: A[0..poles], B[0..poles]. Entries 21
// and 22 hold leftovers of the cascade and are never used. GUI thread (and the digimode set-up).
extern double g_ChebyshevA[kChebyshevCoeffs];
extern double g_ChebyshevB[kChebyshevCoeffs];

// Two-pole section number `pair` (1 .. poles/2 in a design) of a `poles`-pole filter, in the
// convention y[n] = a0 x[n] + a1 x[n-1] + a2 x[n-2] + b1 y[n-1] + b2 y[n-2]. highpass != 0
// gives a high pass. Any pair number is accepted: a pole that the angle formula puts into the
// right half-plane is mirrored to the left one (same magnitude response, stable), so pair
// numbers outside 1..poles/2 give one of the stable sections. The ripple is limited to 0..29.
// No validation of fc: callers check 0 < fc < 0.5 (see DesignChebyshevFilter).
void CalcChebyshevPolePair(int poles, int pair, double fc, int highpass, double ripplePercent,
                           double* a0, double* a1, double* a2, double* b1, double* b2);

// True when 0 < fc < 0.5 (and fc is a number).
bool ChebyshevCutoffValid(double fc);

// Designs the whole filter into g_ChebyshevA / g_ChebyshevB. Fewer than 2 poles are taken as 2,
// the ripple is limited to 0..29 %. An odd pole count cascades poles/2 pairs of a `poles`-pole
// prototype. Refused (false, arrays unchanged): a cut-off outside 0 < fc < 0.5 (no filter is
// defined there) or more than 20 poles (the arrays hold 20).
bool DesignChebyshevFilter(int poles, double fc, int highpass, double ripplePercent);

// True when the recursive part 1 - B[1] z^-1 - ... - B[order] z^-order has every root inside
// the unit circle (step-down / Schur-Cohn test). B in the convention above (B[0] unused).
bool ChebyshevRecursionStable(const double* B, int order);
