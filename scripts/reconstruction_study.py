#!/usr/bin/python3
"""Which filter takes the dither's grain out of a hidden picture best: the candidates measured.

The sets of scripts/quality.py are coded by the real `vorn` (build vornhold, BMP out); each hidden
picture's levels are then read from the coded bits here and reconstructed by every candidate, in
NumPy, and compared with the original as PSNR over every colour byte and as SSIM. The engine's own
filter is one of the candidates, written again here; scripts/quality.py measures what `vorn
decode` really writes.

Usage: reconstruction_study.py VORN SCRATCH_FOLDER OUTPUT.md
"""
import os
import subprocess
import sys

import numpy as np
from scipy import ndimage

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import quality  # noqa: E402


def bit_reversed(count):
    bits = count.bit_length() - 1
    return np.array([int(format(i, f"0{bits}b")[::-1], 2) if bits else 0 for i in range(count)])


def unscramble(values):
    height, width = values.shape[:2]
    power = lambda n: n > 0 and n & (n - 1) == 0  # noqa: E731
    if not (power(width) and power(height)):
        return values
    return values[bit_reversed(height)][:, bit_reversed(width)]


def fields(coded):
    """Per layout (vornhold's bit order): the stored levels, each with what it stands for."""
    h1, h2, both = (c.astype(np.int32) for c in coded)
    return {
        "hidden 1 alone": (unscramble(h1 & 3), 64, 85, None),
        "hidden 2 alone": (unscramble(h2 & 15), 16, 17, None),
        "hidden 1 beside 2": (unscramble(both & 3), 64, 85, None),
        "hidden 2 beside 1": ((both >> 2) & 3, 64, 85, both & 3),
    }


def box(x, mode="nearest"):
    return ndimage.uniform_filter(x, size=(3, 3, 1), mode=mode)


def gauss(x, sigma):
    return ndimage.gaussian_filter(x, sigma=(sigma, sigma, 0), mode="nearest", truncate=2.0)


def guided(guide, levels, eps):
    m_guide, m_levels = box(guide), box(levels)
    variance = box(guide * guide) - m_guide * m_guide
    covariance = box(guide * levels) - m_guide * m_levels
    a = covariance / (variance + eps)
    b = m_levels - a * m_guide
    return box(a) * guide + box(b)


def without_ghost(q, p):
    """Picture 2 beside picture 1 read as the engine reads it: where q is 0 throughout the 5 x 5
    pixels around a byte, half the lowest floor 16 p there instead of the nibble."""
    raised = ndimage.maximum_filter(q, size=(5, 5, 1), mode="nearest") > 0
    floor = ndimage.minimum_filter(p, size=(5, 5, 1), mode="nearest")
    return np.where(raised, 64.0 * q + 16.0 * p, 8.0 * floor)


# name, function of (levels, tone step, raw step, picture 1's bits or None) -> picture
def candidates():
    two_bit = lambda step: step == 64  # noqa: E731
    tones = lambda v, step, p: v * float(step) + (0 if p is None else 16.0 * p)  # noqa: E731
    return [
        ("--raw: each level scaled to the full byte (85 v, 17 v)", lambda v, step, raw, p: v * float(raw)),
        ("the tones the levels stand for (64 v, 16 v; 64 q + 16 p), unfiltered",
         lambda v, step, raw, p: tones(v, step, p)),
        ("tones, Gaussian of sigma 0.7 (2 bits) or 0.5 (4 bits)",
         lambda v, step, raw, p: gauss(tones(v, step, p), 0.7 if two_bit(step) else 0.5)),
        ("tones, guided filter 3 x 3 guided by themselves, eps 250 / 36, then Gaussian 0.76 / 0.49",
         lambda v, step, raw, p: gauss(guided(tones(v, step, p), tones(v, step, p), 250 if two_bit(step) else 36),
                                       0.76 if two_bit(step) else 0.49)),
        ("tones, guided filter 3 x 3 over a guide smoothed by a Gaussian of 0.9 / 0.5, eps 60 / 30",
         lambda v, step, raw, p: guided(gauss(tones(v, step, p), 0.9 if two_bit(step) else 0.5), tones(v, step, p),
                                        60 if two_bit(step) else 30)),
        ("the same, picture 1's ghost kept out of picture 2 beside it (the engine's filter)",
         lambda v, step, raw, p: guided(
             gauss(tones(v, step, p) if p is None else without_ghost(v, p), 0.9 if two_bit(step) else 0.5),
             tones(v, step, p) if p is None else without_ghost(v, p), 60 if two_bit(step) else 30)),
    ]


def code_sets(program, scratch):
    coded_sets = []
    for name, size, sources in quality.SETS:
        if name == "samples":
            continue
        folder = os.path.join(scratch, f"{name}-{size[0]}x{size[1]}")
        os.makedirs(folder, exist_ok=True)
        originals = [quality.load_picture(s, size) for s in sources]
        paths = []
        for label, picture in zip(("carrier", "hidden-1", "hidden-2"), originals):
            paths.append(os.path.join(folder, label + ".bmp"))
            picture.save(paths[-1])
        coded = []
        for hidden in (["--hidden1", paths[1]], ["--hidden2", paths[2]], ["--hidden1", paths[1], "--hidden2", paths[2]]):
            out = os.path.join(folder, "coded.bmp")
            subprocess.run([program, "encode", "--classic", paths[0], *hidden, "-o", out, "-f", "--build", "vornhold"],
                           check=True, capture_output=True)
            coded.append(quality.pixels(out))
        arrays = [np.asarray(p, dtype=np.uint8) for p in originals]
        coded_sets.append((f"{name} {size[0]}×{size[1]}", arrays, fields(coded)))
        print(f"coded {name} {size[0]}x{size[1]}", flush=True)
    return coded_sets


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    program, scratch, output = (os.path.abspath(a) for a in sys.argv[1:])
    coded_sets = code_sets(program, scratch)
    originals_of = {"hidden 1 alone": 1, "hidden 2 alone": 2, "hidden 1 beside 2": 1, "hidden 2 beside 1": 2}
    lines = ["| candidate | " + " | ".join(f"{layout}: median / minimum PSNR, median / minimum SSIM"
                                          for layout in originals_of) + " |",
             "|---" * (1 + len(originals_of)) + "|"]
    for title, reconstruct in candidates():
        cells = []
        for layout, which in originals_of.items():
            scores = []
            for _, originals, stored in coded_sets:
                v, step, raw, p = stored[layout]
                picture = np.clip(np.rint(reconstruct(v.astype(np.float64), step, raw, p)), 0, 255).astype(np.uint8)
                scores.append((quality.psnr(picture, originals[which]), quality.ssim(picture, originals[which])))
            scores = np.array(scores)
            cells.append(f"{np.median(scores[:, 0]):.2f} / {scores[:, 0].min():.2f} dB, "
                         f"{np.median(scores[:, 1]):.3f} / {scores[:, 1].min():.3f}")
        lines.append(f"| {title} | " + " | ".join(cells) + " |")
        print(lines[-1], flush=True)
    with open(output, "w") as out:
        out.write(f"""# Reconstruction filters tried

Made by `/usr/bin/python3 scripts/reconstruction_study.py VORN SCRATCH OUTPUT.md` (VORN the
`vorn` program), on the photographs of
[quality.md](quality.md) ({len(coded_sets)} sets, each hidden picture coded alone and beside the
other); do not edit by hand.

{chr(10).join(lines)}
""")


if __name__ == "__main__":
    main()
