"""The six classic detectors of hidden data in a picture's low bits, each written from its paper,
each giving one number per picture. Pictures are NumPy arrays of uint8, height x width x 3; every
detector pools the three colour channels.

The payload estimators (RS, SPA, WS) give the message length in bits per colour byte that LSB
replacement would have needed to leave the picture as it is (0 for an untouched picture, 1 when
every low bit was written). chi_square gives Westfeld and Pfitzmann's probability of embedding.
The two HCF-COM detectors give a calibrated ratio that falls when the picture carries ±1 noise.
"""
import math

import numpy as np


def channels(picture):
    """The colour channels as int32 arrays, for arithmetic that may leave 0-255."""
    picture = np.asarray(picture)
    if picture.ndim == 2:
        return [picture.astype(np.int32)]
    return [picture[:, :, c].astype(np.int32) for c in range(picture.shape[2])]


def smaller_root(a, b, c):
    """The root of a x^2 + b x + c = 0 nearest zero; the vertex when the roots are complex."""
    if abs(a) < 1e-12:
        return -c / b if abs(b) > 1e-12 else 0.0
    discriminant = b * b - 4 * a * c
    if discriminant < 0:
        return -b / (2 * a)
    root = math.sqrt(discriminant)
    return min((-b + root) / (2 * a), (-b - root) / (2 * a), key=abs)


# --- Westfeld and Pfitzmann's chi-square attack ---------------------------------------------------

def chi_square(picture):
    """(p, score): the chance that the values of each pair (2k, 2k+1) occur equally often, as LSB
    replacement of every byte leaves them, and a score that rises with it without saturating.

    The statistic compares each even value's count with the pair's mean, over the pairs expecting
    at least 5 values; p is the upper tail of the chi-square distribution with one degree of
    freedom fewer than the pairs, taken through the Wilson-Hilferty normal approximation (good at
    the hundred or so degrees of freedom of a photograph). A photograph gives p near 0; a picture
    whose low bits were all replaced gives p near 1. The score is the approximation's normal
    deviate, negated: p itself is 0 or 1 to machine precision for most pictures."""
    counts = np.bincount(np.asarray(picture, dtype=np.uint8).ravel(), minlength=256).astype(float)
    even, odd = counts[0::2], counts[1::2]
    expected = (even + odd) / 2
    kept = expected >= 5
    freedom = int(kept.sum()) - 1
    if freedom < 1:
        return 0.0, -1e9
    statistic = float(np.sum((even[kept] - expected[kept]) ** 2 / expected[kept]))
    spread = 2 / (9 * freedom)
    deviate = ((statistic / freedom) ** (1 / 3) - (1 - spread)) / math.sqrt(spread)
    return 0.5 * math.erfc(deviate / math.sqrt(2)), -deviate


# --- Fridrich, Goljan and Du's RS analysis --------------------------------------------------------

RS_MASK = np.array([0, 1, 1, 0], dtype=bool)


def flip_positive(values):
    """F1: 0 <-> 1, 2 <-> 3, ..."""
    return values ^ 1


def flip_negative(values):
    """F-1: -1 <-> 0, 1 <-> 2, ..."""
    return ((values + 1) ^ 1) - 1


def rs_groups(picture):
    """Groups of four horizontally adjacent values of every channel, one group a row."""
    groups = []
    for channel in channels(picture):
        width = channel.shape[1] // 4 * 4
        groups.append(channel[:, :width].reshape(-1, 4))
    return np.concatenate(groups)


def rs_differences(groups):
    """R - S for the mask and for the negative mask: the share of groups whose smoothness (the sum
    of their neighbours' absolute differences) rises when the masked values are flipped, minus the
    share where it falls."""
    def smoothness(values):
        return np.abs(np.diff(values, axis=1)).sum(axis=1)

    before = smoothness(groups)
    result = []
    for flip in (flip_positive, flip_negative):
        changed = groups.copy()
        changed[:, RS_MASK] = flip(changed[:, RS_MASK])
        after = smoothness(changed)
        result.append(np.mean(after > before) - np.mean(after < before))
    return result


def rs_estimate(picture):
    """The payload estimated from the regular and singular groups of the picture and of the picture
    with every low bit flipped, through the paper's quadratic."""
    groups = rs_groups(picture)
    d0, dm0 = rs_differences(groups)
    d1, dm1 = rs_differences(groups ^ 1)
    x = smaller_root(2 * (d1 + d0), dm0 - dm1 - d1 - 3 * d0, d0 - dm0)
    return x / (x - 0.5) if abs(x - 0.5) > 1e-12 else 1.0


# --- Dumitrescu, Wu and Wang's sample pair analysis -----------------------------------------------

def sample_pairs(picture):
    """(u, v): every pair of horizontally or vertically adjacent values of every channel."""
    firsts, seconds = [], []
    for channel in channels(picture):
        firsts += [channel[:, :-1].ravel(), channel[:-1, :].ravel()]
        seconds += [channel[:, 1:].ravel(), channel[1:, :].ravel()]
    return np.concatenate(firsts), np.concatenate(seconds)


def spa_estimate(picture):
    """The payload from the sizes of the pair sets X, Y, Z and W, through the paper's quadratic
    (|W| + |Z|)/2 p^2 + (2|X| - |P|) p + |Y| - |X| = 0."""
    u, v = sample_pairs(picture)
    v_even = (v & 1) == 0
    x = np.count_nonzero(np.where(v_even, u < v, u > v))
    y = np.count_nonzero(np.where(v_even, u > v, u < v))
    z = np.count_nonzero(u == v)
    w = np.count_nonzero(((u >> 1) == (v >> 1)) & (u != v))
    return smaller_root((w + z) / 2, 2 * x - u.size, y - x)


# --- The weighted-stego estimator (Fridrich and Goljan, with Ker and Bohme's changes) -------------

def neighbours(channel):
    """The eight neighbours of every inner value: N, S, W, E, NW, NE, SW, SE, each an array of the
    inner shape."""
    c = channel
    return (c[:-2, 1:-1], c[2:, 1:-1], c[1:-1, :-2], c[1:-1, 2:],
            c[:-2, :-2], c[:-2, 2:], c[2:, :-2], c[2:, 2:])


def predict(channel):
    """Each inner value predicted from its neighbours: twice the four sides less the four corners,
    over four."""
    n, s, w, e, nw, ne, sw, se = neighbours(channel)
    return (2 * (n + s + w + e) - (nw + ne + sw + se)) / 4


def ws_estimate(picture, bias_correction=True):
    """The payload as twice the weighted mean of (s - s flipped)(s - predicted s) over the inner
    values, weighted by 1 / (5 + the variance of the four side neighbours) (the moderated weights:
    flat areas, where the prediction is good, count most without taking over).

    The prediction is made from the stego picture, whose changed neighbours pull it along with the
    changed value; where neighbouring low bits agree (flat areas) that inflates the estimate.
    bias_correction takes out that share: the estimate times how well the pattern of low bits
    predicts itself, beta = weighted mean of (s - s flipped) * predicted (s - s flipped)."""
    parts = []
    for channel in channels(picture):
        values = channel.astype(np.float64)
        inner = values[1:-1, 1:-1]
        sides = np.stack(neighbours(values)[:4])
        weight = 1 / (5 + sides.var(axis=0))
        sign = 2 * (channel & 1)[1:-1, 1:-1] - 1.0          # s - s flipped: +1 odd, -1 even
        residual = inner - predict(values)
        flip_prediction = predict(2 * (channel & 1) - 1.0)
        parts.append((weight, sign * residual, sign * flip_prediction))
    total = sum(weight.sum() for weight, _, _ in parts)
    estimate = 2 * sum((weight * term).sum() for weight, term, _ in parts) / total
    if bias_correction:
        beta = sum((weight * term).sum() for weight, _, term in parts) / total
        estimate *= 1 - beta
    return float(estimate)


# --- Ker's calibrated HCF-COM ---------------------------------------------------------------------

def downsampled(channel):
    """The mean of every 2x2 block, rounded down: the calibration picture, in which the ±1 noise
    of embedding is mostly averaged out."""
    height, width = channel.shape[0] // 2 * 2, channel.shape[1] // 2 * 2
    c = channel[:height, :width]
    return (c[0::2, 0::2] + c[1::2, 0::2] + c[0::2, 1::2] + c[1::2, 1::2]) // 4


def centre_of_mass_1d(channel):
    """The centre of mass of the histogram's characteristic function (the magnitude of its DFT)
    over the frequencies 0 to 128."""
    spectrum = np.abs(np.fft.fft(np.bincount(channel.ravel(), minlength=256)))[:129]
    return float(np.dot(np.arange(129), spectrum) / spectrum.sum())


def centre_of_mass_adjacency(channel):
    """The same for the adjacency histogram (how often value m sits beside value n, horizontally
    and vertically), with k + l as the frequency of the 2-D DFT's term (k, l)."""
    codes = np.concatenate([(channel[:, :-1] * 256 + channel[:, 1:]).ravel(),
                            (channel[:-1, :] * 256 + channel[1:, :]).ravel()])
    histogram = np.bincount(codes, minlength=65536).reshape(256, 256)
    spectrum = np.abs(np.fft.fft2(histogram))[:129, :129]
    frequency = np.add.outer(np.arange(129), np.arange(129))
    return float((frequency * spectrum).sum() / spectrum.sum())


def hcf_score(picture, centre_of_mass):
    """Minus the mean over the channels of C(picture) / C(downsampled picture): ±1 noise lowers the
    picture's centre of mass more than the calibration's, so the score rises with it."""
    ratios = [centre_of_mass(c) / centre_of_mass(downsampled(c)) for c in channels(picture)]
    return -float(np.mean(ratios))


def hcf_1d(picture):
    return hcf_score(picture, centre_of_mass_1d)


def hcf_adjacency(picture):
    return hcf_score(picture, centre_of_mass_adjacency)


def scores(picture):
    """Every detector's score of one picture, each rising with the evidence of hidden data."""
    return {"chi2": chi_square(picture)[1], "RS": rs_estimate(picture),
            "SPA": spa_estimate(picture), "WS": ws_estimate(picture),
            "HCF adj.": hcf_adjacency(picture), "HCF 1-D": hcf_1d(picture)}
