#pragma once
// Parks-McClellan (Remez exchange) design of equiripple linear-phase FIR filters.
// Follows the published algorithm (J. H. McClellan, T. W. Parks, L. R. Rabiner, "A computer
// program for designing optimum FIR linear phase digital filters", IEEE Trans. Audio
// Electroacoust. AU-21, 1973), in the C structure of Jake Janovetz's remez.c: dense grid of 16
// points per extremal frequency, at most 40 iterations.
#include <string>

constexpr int kRemezMaxTaps = 129;
constexpr int kRemezMaxBands = 10;

enum { REMEZ_BANDPASS = 1, REMEZ_DIFFERENTIATOR = 2, REMEZ_HILBERT = 3 };

// Empty after a design without problems, else the last warning (at most 255 characters).
// GUI thread only.
extern std::string g_RemezMessage;

// Designs numtaps (1..129) coefficients into h[0..numtaps-1].
// - bands: 2*numbands edges as fractions of the sample rate (0..0.5), lower and upper edge of
//   each band, increasing (a band may be a single point: lower == upper). For odd symmetry a
//   first edge below the grid spacing is raised to it in this array, as the published code does.
// - des: desired response per band. For a differentiator it is the slope: the response wanted
//   at frequency f is des * f (the classic definition).
// - weight: error weight per band (> 0).
// - type: REMEZ_BANDPASS (even symmetry), REMEZ_DIFFERENTIATOR or REMEZ_HILBERT (odd symmetry).
// Returns true when h holds a finite design (warnings such as "Reached maximum iteration count.
// Results may be bad." still go to g_RemezMessage). Returns false, h unchanged and the reason in
// g_RemezMessage, for an empty band table, more than 10 bands, a bad tap count, edges that are
// not increasing within 0..0.5, a weight not above 0, non-finite values, or a design that would
// give non-finite taps.
bool Remez_DesignFIR(double h[], int numtaps, int numbands, double bands[],
                     const double des[], const double weight[], int type);
