#!/usr/bin/python3
"""How much the coder's error diffusion keeps of every picture, against plain truncation.

For each set of pictures (a carrier and two hidden pictures of one size) and each choice of
hidden pictures, the real coder programs encode in a scratch folder; the coded picture is then
compared with the carrier, and each hidden picture, read back from the coded picture's bits, with
its original, as PSNR over every colour byte. The same is computed for plain truncation, which
keeps the top bits of each picture and drops the rest.

Reading a hidden picture back: its bits are taken from where the build stores them, put back in
their order, moved back to their own pixels where the build scrambled them, and placed at the top
of a byte (a 2-bit value v is read as v * 64, a 4-bit value as v * 16): the tone the dithering
aims at. With both hidden pictures, hidden picture 2's two bits are read with hidden picture 1's
two bits, stored in the same byte, below them: the coder dithers hidden picture 2 against those
bits, and its decoder shows the four together. Truncation reads its bits the same way without
that help.

Usage: quality.py PROGRAM_FOLDER OUTPUT_FOLDER SCRATCH_FOLDER
"""
import os
import subprocess
import sys

import numpy as np
from PIL import Image

import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

SKIMAGE_DATA = "/usr/lib/python3/dist-packages/skimage/data"
SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "samples")

# name, size, (carrier, hidden 1, hidden 2): a path under samples/ or a file of the scikit-image
# data set, each scaled to cover the size and cropped at its centre.
SETS = [
    ("samples", (512, 512), ("samples:Main.bmp", "samples:Hidden 1.bmp", "samples:Hidden 2.bmp")),
    ("cat", (256, 256), ("chelsea.png", "coffee.png", "rocket.jpg")),
    ("coffee", (600, 400), ("coffee.png", "chelsea.png", "rocket.jpg")),
    ("retina", (1024, 1024), ("retina.jpg", "hubble_deep_field.jpg", "coffee.png")),
]

# Which hidden pictures are given, and how many bits each picture keeps.
CASES = [
    ("none", False, False),
    ("hidden 1", True, False),
    ("hidden 2", False, True),
    ("both", True, True),
]

BUILDS = ("vornhold2", "vornhold")


def load_picture(source, size):
    if source.startswith("samples:"):
        picture = Image.open(os.path.join(SAMPLES, source[len("samples:"):]))
    else:
        picture = Image.open(os.path.join(SKIMAGE_DATA, source))
    picture = picture.convert("RGB")
    width, height = size
    scale = max(width / picture.width, height / picture.height)
    if picture.size != size:
        scaled = (max(width, round(picture.width * scale)), max(height, round(picture.height * scale)))
        picture = picture.resize(scaled, Image.Resampling.LANCZOS)
        left = (picture.width - width) // 2
        top = (picture.height - height) // 2
        picture = picture.crop((left, top, left + width, top + height))
    return picture


def is_power_of_two(n):
    return n > 0 and n & (n - 1) == 0


def bit_reversed(count):
    bits = count.bit_length() - 1
    return np.array([int(format(i, f"0{bits}b")[::-1], 2) if bits else 0 for i in range(count)])


def unscramble(values):
    """Moves every pixel to its bit-reversed place (its own inverse); only for power-of-two sides."""
    height, width = values.shape[:2]
    if not (is_power_of_two(width) and is_power_of_two(height)):
        return values
    return values[bit_reversed(height)][:, bit_reversed(width)]


def reverse_nibble(v):
    return ((v & 1) << 3) | ((v & 2) << 1) | ((v & 4) >> 1) | ((v & 8) >> 3)


def bit(v, n):
    return (v >> n) & 1


def read_hidden(coded, build, hidden1, hidden2):
    """The hidden values a coded picture holds, each at the top of a byte, unscrambled."""
    out = {}
    if hidden1 and hidden2:
        if build == "vornhold2":  # bits 3..0: p0* p1* q0 q1
            p = unscramble((bit(coded, 2) << 1) | bit(coded, 3))
            q = (bit(coded, 0) << 1) | bit(coded, 1)
            p_in_place = (bit(coded, 2) << 1) | bit(coded, 3)
        else:  # bits 3..0: q1 q0 p1* p0*
            p = unscramble(coded & 3)
            q = (coded >> 2) & 3
            p_in_place = coded & 3
        out["hidden 1"] = p << 6
        out["hidden 2"] = (q << 6) | (p_in_place << 4)
    elif hidden1:
        out["hidden 1"] = unscramble(coded & 3) << 6
    elif hidden2:
        nibble = coded & 15
        if build == "vornhold2":
            nibble = reverse_nibble(nibble)
        out["hidden 2"] = unscramble(nibble) << 4
    return out


def truncated(carrier, h1, h2, hidden1, hidden2):
    """Plain truncation in vornhold2's layout: the coded picture and the hidden values read back."""
    out = {}
    if hidden1 and hidden2:
        p = h1 >> 6
        q = h2 >> 6
        low = (unscramble(bit(p, 0)) << 3) | (unscramble(bit(p, 1)) << 2) | (bit(q, 0) << 1) | bit(q, 1)
        coded = (carrier & 0xF0) | low
        out["hidden 1"] = p << 6
        out["hidden 2"] = q << 6
    elif hidden1:
        p = h1 >> 6
        coded = (carrier & 0xFC) | unscramble(p)
        out["hidden 1"] = p << 6
    elif hidden2:
        q = h2 >> 4
        coded = (carrier & 0xF0) | unscramble(reverse_nibble(q))
        out["hidden 2"] = q << 4
    else:
        coded = carrier & 0xF0
    out["coded"] = coded
    return out


def psnr(a, b):
    mse = np.mean((a.astype(np.float64) - b.astype(np.float64)) ** 2)
    return float("inf") if mse == 0 else 10 * np.log10(255.0 ** 2 / mse)


def blurred(picture):
    """The picture as seen from a little farther away: a binomial blur of radius 2 (close to a
    Gaussian of one pixel), edges repeated. Dithering trades exact values for the right local mean,
    which plain PSNR counts as noise and this view does not."""
    kernel = np.array([1, 4, 6, 4, 1], dtype=np.float64) / 16
    out = picture.astype(np.float64)
    for axis in (0, 1):
        padded = np.pad(out, [(2, 2) if a == axis else (0, 0) for a in range(out.ndim)], mode="edge")
        length = out.shape[axis]
        out = sum(k * np.take(padded, np.arange(i, i + length), axis=axis) for i, k in enumerate(kernel))
    return out


def compare(a, b):
    """PSNR of a against b, as they are and both blurred."""
    return psnr(a, b), psnr(blurred(a), blurred(b))


def run_coder(programs, build, folder):
    """Encodes in `folder` with no argument, as a user would; the coder then pauses, by design."""
    program = os.path.join(programs, "coder", build)
    return subprocess.Popen([program], cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            stdin=subprocess.DEVNULL)


def measure(programs, scratch):
    pictures = {}
    runs = []
    for name, size, sources in SETS:
        carrier, h1, h2 = (load_picture(s, size) for s in sources)
        pictures[name] = [np.asarray(p, dtype=np.uint8) for p in (carrier, h1, h2)]
        for case, hidden1, hidden2 in CASES:
            for build in BUILDS:
                folder = os.path.join(scratch, name, case.replace(" ", "-"), build)
                os.makedirs(folder, exist_ok=True)
                carrier.save(os.path.join(folder, "Main.bmp"))
                if hidden1:
                    h1.save(os.path.join(folder, "Hidden 1.bmp"))
                if hidden2:
                    h2.save(os.path.join(folder, "Hidden 2.bmp"))
                runs.append((name, case, hidden1, hidden2, build, folder, run_coder(programs, build, folder)))

    rows = []
    coded_by = {}
    for name, case, hidden1, hidden2, build, folder, process in runs:
        output = process.communicate()[0].decode(errors="replace")
        if process.returncode != 0 or "Done!" not in output:
            sys.exit(f"{build} failed on {name}, {case}:\n{output}")
        coded = np.asarray(Image.open(os.path.join(folder, "Coded.bmp")).convert("RGB"), dtype=np.uint8)
        coded_by[(name, case, build)] = read_hidden(coded, build, hidden1, hidden2), coded

    for name, size, sources in SETS:
        carrier, h1, h2 = pictures[name]
        for case, hidden1, hidden2 in CASES:
            kit, coded = coded_by[(name, case, "vornhold2")]
            other, other_coded = coded_by[(name, case, "vornhold")]
            # Both builds dither the hidden pictures alike and differ only in where the bits lie;
            # the carrier is dithered over the stored bits, so it may differ a little.
            for key in kit:
                if not np.array_equal(kit[key], other[key]):
                    sys.exit(f"vornhold and vornhold2 disagree on {key} of {name}, {case}")
            plain = truncated(carrier, h1, h2, hidden1, hidden2)
            row = {"set": name, "size": size, "case": case,
                   "coded": (compare(coded, carrier), compare(plain["coded"], carrier)),
                   "coded by vornhold": compare(other_coded, carrier)}
            for key, original in (("hidden 1", h1), ("hidden 2", h2)):
                if key in kit:
                    row[key] = (compare(kit[key], original), compare(plain[key], original))
            rows.append(row)
    return rows


CARRIER_BITS = {"none": 4, "hidden 1": 6, "hidden 2": 4, "both": 4}
HIDDEN_BITS = {("hidden 1", "hidden 1"): 2, ("hidden 2", "hidden 2"): 4,
               ("both", "hidden 1"): 2, ("both", "hidden 2"): 2}


def cell(row, key, view):
    if key not in row:
        return "–"
    kit, plain = row[key][0][view], row[key][1][view]
    return f"{kit:.2f} / {plain:.2f} ({kit - plain:+.2f})"


VIEWS = ("PSNR", "PSNR, both pictures blurred")


def write_table(rows, path):
    lines = []
    for view, title in enumerate(VIEWS):
        lines += [
            f"{title}, in dB: error diffusion (vornhold2) / plain truncation (difference); "
            "the bits each picture keeps in brackets.",
            "",
            "| pictures | hidden pictures | coded vs carrier | hidden 1 read back | hidden 2 read back |",
            "|---|---|---|---|---|",
        ]
        for row in rows:
            width, height = row["size"]
            case = row["case"]
            bits1 = HIDDEN_BITS.get((case, "hidden 1"))
            bits2 = HIDDEN_BITS.get((case, "hidden 2"))
            lines.append(
                f"| {row['set']} {width}×{height} | {case} "
                f"| {cell(row, 'coded', view)} ({CARRIER_BITS[case]}) "
                f"| {cell(row, 'hidden 1', view)}{f' ({bits1})' if bits1 else ''} "
                f"| {cell(row, 'hidden 2', view)}{f' ({bits2})' if bits2 else ''} |")
        lines.append("")
    with open(path, "w") as out:
        out.write("\n".join(lines))


def write_plot(rows, path):
    keys = [("coded", "coded picture vs carrier"), ("hidden 1", "hidden picture 1 read back"),
            ("hidden 2", "hidden picture 2 read back")]
    figure, axes = plt.subplots(len(VIEWS), len(keys), figsize=(16, 8),
                                gridspec_kw={"width_ratios": [2, 1, 1]})
    for row_index, view_title in enumerate(VIEWS):
        for axis, (key, title) in zip(axes[row_index], keys):
            shown = [r for r in rows if key in r]
            x = np.arange(len(shown))
            axis.bar(x - 0.2, [r[key][0][row_index] for r in shown], 0.4,
                     label="error diffusion (vornhold2)", color="#2b6cb0")
            axis.bar(x + 0.2, [r[key][1][row_index] for r in shown], 0.4,
                     label="plain truncation", color="#b8b8b8")
            axis.set_title(f"{title}\n{view_title}", fontsize=9)
            axis.set_ylabel("dB")
            axis.grid(axis="y", linewidth=0.5, alpha=0.5)
            axis.set_axisbelow(True)
            axis.set_xticks(x)
            axis.set_xticklabels([f"{r['set']}\n{r['size'][0]}×{r['size'][1]}\n{r['case']}"
                                  for r in shown], fontsize=6)
    handles, labels = axes[0, 0].get_legend_handles_labels()
    figure.legend(handles, labels, loc="upper center", ncol=2, fontsize=9)
    figure.tight_layout(rect=(0, 0, 1, 0.95))
    figure.savefig(path, dpi=72, metadata={"Software": None})


SOURCES = """The pictures: the samples as they are (see samples/SOURCES.md); the others made from the
photographs of the scikit-image data set in Debian's python3-skimage package, each scaled to cover
the size and cropped at its centre: chelsea.png (the cat, CC0, Stefan van der Walt), coffee.png
(CC0, Rachel Michetti), rocket.jpg (the launch of DSCOVR, public domain, SpaceX), retina.jpg (CC0,
Mikael Häggström) and hubble_deep_field.jpg (public domain, NASA). Sets, carrier first:
"""


def write_report(rows, path):
    gaps = [r["coded by vornhold"][0] - r["coded"][0][0] for r in rows]
    with open(os.path.join(os.path.dirname(path), "quality-table.md")) as table:
        tables = table.read()
    sets = "\n".join(f"- {name} {w}×{h}: " + ", ".join(s.replace("samples:", "") for s in sources)
                      for name, (w, h), sources in SETS)
    text = f"""# How much of each picture the coder keeps

Made by `bash scripts/quality.sh`, which encodes with the real programs and measures; do not edit
by hand. The plot: [quality.png](quality.png).

For each set of pictures and each choice of hidden pictures, `vornhold2` encodes in a scratch
folder. The coded picture is compared with the carrier, and each hidden picture, read back from
the coded picture, with its original, as PSNR over every colour byte. Beside it stands plain
truncation of the same bits: each picture keeps its top bits, in the same places.

A hidden picture is read back by taking its bits from where the build stores them, turning them
back into their order, unscrambling them when both sides are powers of two, and putting them at
the top of a byte (a 2-bit value v reads as 64 v, a 4-bit value as 16 v), the tone the dithering
aims at. With both hidden pictures, hidden picture 2 is read with hidden picture 1's two bits of
the same byte below its own, as the coder dithers it and as its decoder shows it; truncation's
hidden picture 2 is its two bits alone.

The second table compares both pictures after a slight blur (binomial, radius 2): roughly what
the eye sees from a little farther away. Dithering spends exact values on keeping the local mean
tone right, which plain PSNR counts as noise and the blurred view does not.

`vornhold` reads back the same hidden pictures, bit for bit (the script checks). Its coded
pictures differ from `vornhold2`'s by {min(gaps):+.2f} to {max(gaps):+.2f} dB of PSNR against the
carrier (plain PSNR, `vornhold`'s minus `vornhold2`'s), since the carrier is dithered over bits
that the two builds store in different orders.

{SOURCES}
{sets}

{tables}
![PSNR of error diffusion and of plain truncation](quality.png)
"""
    with open(path, "w") as out:
        out.write(text)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    programs, output, scratch = (os.path.abspath(a) for a in sys.argv[1:])
    rows = measure(programs, scratch)
    os.makedirs(output, exist_ok=True)
    write_table(rows, os.path.join(output, "quality-table.md"))
    write_plot(rows, os.path.join(output, "quality.png"))
    write_report(rows, os.path.join(output, "quality.md"))
    print(f"Wrote {output}/quality.md, quality-table.md and quality.png")


if __name__ == "__main__":
    main()
