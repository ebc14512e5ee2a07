#!/usr/bin/python3
"""Reference vectors for the digital filter executor, made with scipy.signal.

Run with Debian's /usr/bin/python3 (numpy, scipy) from this directory:
    /usr/bin/python3 make_filter_vectors.py
Writes filter_vectors.txt: for each case a header line
    case <name> <kind> <max_coeff> <cascaded> <gain> <n>
then lines "alpha ..." and "beta ..." (max_coeff + 1 values each), "in ..." and "out ..."
(n values each). kind is fir or iir; beta[0] of each section is 1 (the executor skips it).
"""
import numpy as np
from scipy import signal

N = 300
rng = np.random.default_rng(20261210)
x = rng.uniform(-10000.0, 10000.0, N)
x[0:5] = [0.0, 32767.0, -32767.0, 1.0, 0.0]  # an impulse-like start

cases = []

# 129-tap low-pass FIR (the largest the executor runs).
b = signal.firwin(129, 0.2)
cases.append(("fir129", "fir", 128, 0, 0.5, b, np.zeros_like(b), signal.lfilter(b, [1.0], x)))

# 17-tap band-pass FIR.
b = signal.firwin(17, [0.2, 0.4], pass_zero=False)
cases.append(("fir17", "fir", 16, 0, 1.0, b, np.zeros_like(b), signal.lfilter(b, [1.0], x)))

# One IIR section of order 4 (Butterworth low-pass), transposed direct form II as lfilter.
b, a = signal.butter(4, 0.1)
cases.append(("iir4", "iir", 4, 0, 2.0, b, a, signal.lfilter(b, a, x)))

# One IIR section of order 8 (Chebyshev type I, 1 dB ripple).
b, a = signal.cheby1(8, 1.0, 0.25)
cases.append(("iir8", "iir", 8, 0, 1.0, b, a, signal.lfilter(b, a, x)))

# Cascade of 8 biquads (Butterworth band-pass of order 8), three coefficients per section.
sos = signal.butter(8, [0.1, 0.3], btype="bandpass", output="sos")
alpha = sos[:, 0:3].reshape(-1)
beta = sos[:, 3:6].reshape(-1)
cases.append(("biquad8", "iir", 3 * len(sos) - 1, 3, 1.0, alpha, beta, signal.sosfilt(sos, x)))

with open("filter_vectors.txt", "w") as f:
    for name, kind, mc, cas, gain, al, be, y in cases:
        f.write(f"case {name} {kind} {mc} {cas} {gain!r} {N}\n")
        f.write("alpha " + " ".join(repr(float(v)) for v in al) + "\n")
        f.write("beta " + " ".join(repr(float(v)) for v in be) + "\n")
        f.write("in " + " ".join(repr(float(v)) for v in x) + "\n")
        f.write("out " + " ".join(repr(float(v)) for v in gain * y) + "\n")
