#!/usr/bin/python3
"""Writes the reference tables of the filter designer tests (tests/control/data/*.txt).

Run with Debian's python3 (numpy, scipy):  /usr/bin/python3 tests/control/make_filter_refs.py
The tables are committed; the tests only read them.

Every designer is checked against scipy.signal. Where our designers define a parameter
differently from scipy, the conversion is made here, explicitly:

Chebyshev (DesignChebyshevFilter, S. W. Smith's algorithm)
  * Ripple is given in percent of the amplitude: the pass band swings between its peak and
    (1 - p/100) times the peak. scipy's cheby1 takes the ripple in dB: rp = -20 log10(1 - p/100).
    (Then Smith's ES equals scipy's epsilon = sqrt(10^(rp/10) - 1).)
  * Cut-off: ours is the frequency fc (fraction of the sample rate) 3 dB below the pass band's
    peak, because the poles
    are divided by KX = cosh(acosh(1/ES)/N). scipy's Wn is the edge of the ripple band. Both
    designs are bilinear transforms of the same analogue prototype, so the ripple edge lies at
    tan(pi*Wn/2) = tan(pi*fc) / KX (low pass) and tan(pi*fc) * KX (high pass).
    With ripple 0 our design is a Butterworth filter: scipy's butter with Wn = 2*fc.
  * Gain: ours has exactly unit gain at 0 Hz (low pass) or fs/2 (high pass); scipy's cheby1
    of even order has 1/sqrt(1 + eps^2) there (peak 1). We rescale scipy's numerator. For many
    poles this factor is ill-conditioned (1 - sum B is tiny), so the test compares A after
    scaling out one common factor, which must agree within 1e-6.
  * Sign: ours is y = sum A[k] x[n-k] + sum B[k] y[n-k], scipy's a[0] y = sum b x - sum a[k] y:
    A = b, B[k] = -a[k].
Band-pass chain (CalculateIIRBandpassChain)
  * The prototype poles (table in control/IIRChain.cpp, 3 dB at 1 rad/s) are transformed with
    lp2bp_zpk(wo = Fcenter, bw = Bandwidth); every conjugate pole pair of the result is one
    section: natural frequency |p| (Hz, since wo and bw are in Hz) and Q = |p| / (2 |Re p|).
    Our sections carry f_center = |p| and bandwidth = f_center / Q.
  * The -3 dB band of the analogue band pass (freqs_zpk) is the target of the digital chain,
    whose narrow-band sections approximate it.
Windowed-sinc FIR-1
  * Our M taps are taps 0..M-1 of the symmetric (M+1)-tap Hamming-windowed sinc centred on
    M/2: firwin(M+1, fc, window='hamming', fs=fs) without its last tap, renormalised to unit
    gain at 0 Hz (sum 1), which our design does after dropping the tap. (firwin's window
    0.54 - 0.46 cos(2 pi n / M) for n = 0..M is ours.) M = 4 fs / bw truncated, made even,
    limited to 2..128.
Parks-McClellan (Remez_DesignFIR)
  * scipy.signal.remez with maxiter=40, grid_density=16, fs=1 (edges as fractions of fs).
  * Odd-symmetric designs (differentiator, Hilbert): our frequency sampling follows the
    published remez code; scipy's taps come out in reverse order, which for an antisymmetric
    filter is the negated filter (the same magnitude response). We store -scipy.
  * A differentiator's desired response is value x f in both.
"""
import math
import os

import numpy as np
from scipy import signal

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")


def fmt(values):
    return " ".join("%.17g" % v for v in values)


def cheb_ref(poles, fc, highpass, ripple):
    if ripple == 0:
        b, a = signal.butter(poles, 2 * fc, btype="highpass" if highpass else "lowpass")
    else:
        rp = -20 * math.log10(1 - ripple / 100.0)
        es = math.sqrt(10 ** (rp / 10) - 1)
        kx = math.cosh(math.acosh(1 / es) / poles)
        t = math.tan(math.pi * fc)
        t = t * kx if highpass else t / kx
        wn = 2 / math.pi * math.atan(t)
        b, a = signal.cheby1(poles, rp, wn, btype="highpass" if highpass else "lowpass")
    sign = np.array([(-1) ** i if highpass else 1 for i in range(poles + 1)], dtype=float)
    gain = np.sum(b * sign) / np.sum(a * sign)
    b = b / gain
    return b, -a


def write_chebyshev():
    lines = ["# hp poles fc ripple_percent A[0..poles] B[0..poles]"]
    combos = [(0.1, 0.0), (0.3, 10.0), (0.2, 25.0)]
    for poles in range(2, 21, 2):
        for hp in (0, 1):
            for fc, rip in combos:
                b, bb = cheb_ref(poles, fc, hp, rip)
                bb[0] = 0.0
                lines.append("%d %d %.17g %.17g %s %s" % (hp, poles, fc, rip, fmt(b), fmt(bb)))
    # IIR-1 defaults: 800 Hz at 11025 Hz, 4 poles, 25 %.
    for hp in (0, 1):
        b, bb = cheb_ref(4, 800 / 11025, hp, 25.0)
        bb[0] = 0.0
        lines.append("%d %d %.17g %.17g %s %s" % (hp, 4, 800 / 11025, 25.0, fmt(b), fmt(bb)))
    return lines


PROTOTYPES = [
    [(0.5172, 0.5092), (0.5412, 0.4682), (0.6, 0.3896), (0.7326, 0.2792), (1.151, 0.1437)],
    [(0.9877, 0.1564), (0.891, 0.454), (0.7071, 0.7071), (0.454, 0.891), (0.1564, 0.9877)],
    [(0.3058, 0.1952), (0.2592, 0.5558), (0.1732, 0.8319), (0.06082, 0.9812)],
    [(0.1737, 0.1956), (0.1473, 0.5571), (0.0984, 0.8337), (0.03456, 0.9836)],
    [(0.5249, 0.3487), (0.5193, 1.0429), (0.5051, 1.7261), (0.4741, 2.385), (0.3708, 2.994)],
    [(0.7592, 0.3413), (0.7467, 1.0195), (0.7159, 1.6836), (0.6475, 2.3198), (0.4777, 2.9128)],
    [(0.3384, 0.2101), (0.3164, 0.618), (0.2677, 0.9852), (0.1849, 1.2745), (0.06706, 1.4389)],
    [(0.4535, 0.2794), (0.4352, 0.8289), (0.3886, 1.3448), (0.2908, 1.7837), (0.1136, 2.0599)],
]


def write_bpchain():
    lines = ["# response fcenter bandwidth nsections (f_center Q) per section, by rising f",
             "# BAND response fcenter bandwidth lower_3dB upper_3dB (analogue band pass)"]
    for resp, proto in enumerate(PROTOTYPES):
        for fcen, bw in ((650.0, 50.0), (1000.0, 200.0), (3000.0, 100.0)):
            p = []
            for re, im in proto:
                p += [complex(-re, im), complex(-re, -im)]
            _, pbp, _ = signal.lp2bp_zpk([], np.array(p), 1.0, wo=fcen, bw=bw)
            up = sorted([q for q in pbp if q.imag > 0], key=abs)
            vals = []
            for q in up:
                vals += [abs(q), abs(q) / (2 * abs(q.real))]
            lines.append("%d %.17g %.17g %d %s" % (resp, fcen, bw, len(up), fmt(vals)))
    # -3 dB band of the analogue Butterworth and Chebyshev band passes (relative to the peak
    # for the Chebyshev, whose pass band ripples).
    for resp, fcen, bw in ((1, 650.0, 50.0), (1, 1000.0, 100.0), (0, 650.0, 50.0)):
        p = []
        for re, im in PROTOTYPES[resp]:
            p += [complex(-re, im), complex(-re, -im)]
        z, pbp, k = signal.lp2bp_zpk([], np.array(p), 1.0, wo=fcen, bw=bw)
        f = np.linspace(fcen - 3 * bw, fcen + 3 * bw, 600001)
        _, h = signal.freqs_zpk(z, pbp, k, worN=f)
        mag = np.abs(h) / np.abs(signal.freqs_zpk(z, pbp, k, worN=[fcen])[1][0])
        above = np.where(mag >= 1 / math.sqrt(2))[0]
        lines.append("BAND %d %.17g %.17g %.10g %.10g" % (resp, fcen, bw, f[above[0]], f[above[-1]]))
    return lines


def fir1_taps(fs, fc_hz, bw_hz):
    m = int(4.0 / (bw_hz / fs))
    if m % 2:
        m += 1
    m = max(2, min(128, m))
    h = signal.firwin(m + 1, fc_hz, window="hamming", fs=fs)[:m]
    return m, h / np.sum(h)


def write_fir1():
    lines = ["# fs fcutoff bandwidth M taps[0..M-1]"]
    for fs, fc, bw in ((11025, 1700, 700), (11025, 1700, 10), (8000, 1000, 250), (48000, 3000, 6000),
                       (22050, 5000, 1500)):
        m, h = fir1_taps(fs, fc, bw)
        lines.append("%d %d %d %d %s" % (fs, fc, bw, m, fmt(h)))
    return lines


def write_remez():
    lines = ["# type numtaps nbands (lower upper desired weight)*nbands taps[0..numtaps-1]"]
    names = {1: "bandpass", 2: "differentiator", 3: "hilbert"}
    cases = []
    bp = [(0.0, 0.1, 0.0, 1.0), (0.15, 0.25, 1.0, 1.0), (0.3, 0.5, 0.0, 1.0)]
    for n in (31, 32, 33, 48, 63, 101, 104):
        cases.append((1, n, bp))
    lp = [(0.0, 0.2, 1.0, 1.0), (0.25, 0.5, 0.0, 10.0)]
    for n in (24, 25, 128):
        cases.append((1, n, lp))
    for n in (31, 32, 33, 64, 65):
        cases.append((3, n, [(0.05, 0.45, 1.0, 1.0)]))
    for n in (32, 33, 40):
        cases.append((3, n, [(0.02, 0.48, 1.0, 1.0)]))
    for n in (31, 32, 33):
        cases.append((2, n, [(0.0, 0.4, 1.0, 1.0)]))
    for n in (16, 20):
        cases.append((2, n, [(0.0, 0.5, 1.0, 1.0)]))
    for t, n, bands in cases:
        edges = [v for b in bands for v in b[:2]]
        h = signal.remez(n, edges, [b[2] for b in bands], weight=[b[3] for b in bands],
                         type=names[t], fs=1.0, maxiter=40, grid_density=16)
        if t != 1:
            h = -h
        lines.append("%d %d %d %s %s" % (t, n, len(bands), fmt(v for b in bands for v in b), fmt(h)))
    return lines


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, lines in (("chebyshev.txt", write_chebyshev()), ("bpchain.txt", write_bpchain()),
                        ("fir1.txt", write_fir1()), ("remez.txt", write_remez())):
        with open(os.path.join(OUT, name), "w") as f:
            f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
