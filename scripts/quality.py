#!/usr/bin/python3
"""How much of every picture comes back: what `vorn decode` writes, measured.

For each set of pictures (a carrier and two hidden pictures of one size) and each choice of hidden
pictures, the real `vorn` encodes in the classic form (build vornhold2, BMP out) and decodes in a
scratch folder, once as it does by default (each hidden picture reconstructed) and once with --raw
(the stored levels at full range, as before reconstruction existed); with --keyed, also under a
password. Then in the compact form, vorn's default: one hidden picture of the carrier's size, two,
one of a quarter of its area, and one with --carrier-bits 4, each as vorn chooses k and codec.
Each hidden picture written is compared with its original, as PSNR over every colour byte and as
SSIM; the coded picture with the carrier, as PSNR.

Usage: quality.py VORN OUTPUT_FOLDER SCRATCH_FOLDER [--keyed]
"""
import os
import re
import subprocess
import sys
from collections import Counter
from concurrent.futures import ThreadPoolExecutor

import numpy as np
from PIL import Image
from skimage.metrics import structural_similarity

sys.dont_write_bytecode = True  # no bytecode cache left in the tree
import figures  # noqa: E402  (the README's figures, beside this file)

import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

SKIMAGE_DATA = "/usr/lib/python3/dist-packages/skimage/data"
SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "samples")

# Photographs of the scikit-image data set, and the sizes they are measured at: sides that are
# powers of two (the lowest hidden picture scrambled) and others (in place).
PHOTOGRAPHS = ["astronaut.png", "chelsea.png", "coffee.png", "hubble_deep_field.jpg", "ihc.png",
               "motorcycle_left.png", "retina.jpg", "rocket.jpg", "camera.png", "moon.png",
               "brick.png", "gravel.png", "motorcycle_right.png", "coins.png", "grass.png"]
SIZES = [(256, 256), (512, 512), (640, 480), (451, 300), (1024, 1024), (1920, 1080)]
SETS_PER_SIZE = 3


def photograph_sets():
    """(name, size, (carrier, hidden 1, hidden 2)): the samples, then three sets per size, each
    photograph in turn a carrier, a hidden picture 1 and a hidden picture 2."""
    sets = [("samples", (512, 512), ("samples:Main.bmp", "samples:Hidden 1.bmp", "samples:Hidden 2.bmp"))]
    k = 0
    for size in SIZES:
        for _ in range(SETS_PER_SIZE):
            names = tuple(PHOTOGRAPHS[(k + i * 5) % len(PHOTOGRAPHS)] for i in range(3))
            sets.append((os.path.splitext(names[0])[0], size, names))
            k += 1
    return sets


SETS = photograph_sets()
CASES = [("hidden 1", True, False), ("hidden 2", False, True), ("both", True, True)]
# The four ways a hidden picture is stored, as the summary names them.
LAYOUTS = [("hidden 1", "hidden 1", "hidden picture 1 alone (2 bits)"),
           ("hidden 2", "hidden 2", "hidden picture 2 alone (4 bits)"),
           ("both", "hidden 1", "hidden picture 1 beside picture 2 (2 bits)"),
           ("both", "hidden 2", "hidden picture 2 beside picture 1 (2 bits over picture 1's)")]
PASSWORD = "quality measurement"
# The compact form's cases: name, hidden pictures 1 and 2, --carrier-bits (None: chosen), and
# whether hidden picture 1 has a quarter of the carrier's area (half its width and height).
COMPACT_CASES = [("one", True, False, None, False), ("two", True, True, None, False),
                 ("quarter", True, False, None, True), ("one, k=4", True, False, 4, False)]
STORED = re.compile(r"hidden picture (\d) \((\d+)x(\d+)\) as (lossless WebP|lossy WebP|JPEG)(?: at quality (\d+))?")
CARRIER_KEEPS = re.compile(r"the carrier keeps (\d) of its 8 bits")


def load_picture(source, size):
    if source.startswith("samples:"):
        picture = Image.open(os.path.join(SAMPLES, source[len("samples:"):]))
    else:
        picture = Image.open(os.path.join(SKIMAGE_DATA, source))
    picture = picture.convert("RGB")
    width, height = size
    if picture.size != size:
        scale = max(width / picture.width, height / picture.height)
        scaled = (max(width, round(picture.width * scale)), max(height, round(picture.height * scale)))
        picture = picture.resize(scaled, Image.Resampling.LANCZOS)
        left, top = (picture.width - width) // 2, (picture.height - height) // 2
        picture = picture.crop((left, top, left + width, top + height))
    return picture


def pixels(path):
    return np.asarray(Image.open(path).convert("RGB"), dtype=np.uint8)


def psnr(a, b):
    mse = np.mean((a.astype(np.float64) - b.astype(np.float64)) ** 2)
    return 99.0 if mse == 0 else float(10 * np.log10(255.0 ** 2 / mse))


def ssim(a, b):
    return float(structural_similarity(a, b, channel_axis=2, data_range=255))


def vorn(program, *arguments):
    done = subprocess.run([program, *arguments], capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"vorn {' '.join(arguments)} failed:\n{done.stderr}")
    return done.stderr


def measure_set(program, scratch, keyed, entry):
    name, size, sources = entry
    folder = os.path.join(scratch, f"{name}-{size[0]}x{size[1]}")
    os.makedirs(folder, exist_ok=True)
    originals = [load_picture(s, size) for s in sources]
    paths = []
    for label, picture in zip(("carrier", "hidden-1", "hidden-2"), originals):
        paths.append(os.path.join(folder, label + ".bmp"))
        picture.save(paths[-1])
    with open(os.path.join(folder, "password"), "w") as out:
        out.write(PASSWORD + "\n")
    originals = [np.asarray(p, dtype=np.uint8) for p in originals]
    rows = []
    for case, hidden1, hidden2 in CASES:
        hidden = (["--hidden1", paths[1]] if hidden1 else []) + (["--hidden2", paths[2]] if hidden2 else [])
        row = {"set": name, "size": size, "case": case}
        forms = [("plain", [])] + ([("keyed", ["--password-file", os.path.join(folder, "password")])] if keyed else [])
        for form, password in forms:
            coded = os.path.join(folder, f"{case.replace(' ', '-')}-{form}.bmp")
            vorn(program, "encode", "--classic", paths[0], *hidden, "-o", coded, "--build", "vornhold2", "-f",
                 *password)
            row[("coded", form)] = psnr(pixels(coded), originals[0])
            for reading, flags in (("reconstructed", []), ("raw", ["--raw"])):
                if form == "keyed" and reading == "raw":
                    continue
                out = os.path.join(folder, f"{case.replace(' ', '-')}-{form}-{reading}")
                args = ["--hidden", {"hidden 1": "1", "hidden 2": "2", "both": "both"}[case], "--build", "vornhold2"]
                vorn(program, "decode", coded, "-o", out, "-f", *flags, *(password or args))
                for which in (1, 2):
                    if (which == 1 and hidden1) or (which == 2 and hidden2):
                        got = pixels(os.path.join(out, f"hidden-{which}.png"))
                        row[(f"hidden {which}", form, reading)] = (psnr(got, originals[which]), ssim(got, originals[which]))
        rows.append(row)
    rows += measure_compact(program, folder, entry, paths, originals)
    print(f"measured {name} {size[0]}x{size[1]}", flush=True)
    return rows


def measure_compact(program, folder, entry, paths, originals):
    """The compact form's cases of one set: what vorn chose and what comes back."""
    name, size, sources = entry
    quarter_path = os.path.join(folder, "hidden-1-quarter.bmp")
    quarter = load_picture(sources[1], (size[0] // 2, size[1] // 2))
    quarter.save(quarter_path)
    rows = []
    for case, hidden1, hidden2, bits, quartered in COMPACT_CASES:
        first = (quarter_path, np.asarray(quarter, dtype=np.uint8)) if quartered else (paths[1], originals[1])
        given = {1: first, 2: (paths[2], originals[2])}
        hidden = (["--hidden1", first[0]] if hidden1 else []) + (["--hidden2", paths[2]] if hidden2 else [])
        label = "compact-" + case.replace(" ", "-").replace(",", "").replace("=", "")
        coded = os.path.join(folder, label + ".png")
        notes = vorn(program, "encode", paths[0], *hidden, "-o", coded, "-f",
                     *(["--carrier-bits", str(bits)] if bits else []))
        out = os.path.join(folder, label)
        vorn(program, "decode", coded, "-o", out, "-f")
        row = {"form": "compact", "set": name, "size": size, "case": case,
               "carrier": psnr(pixels(coded), originals[0]), "k": int(CARRIER_KEEPS.search(notes).group(1)),
               "scaled": "scaled down" in notes, "stored": {}}
        row["k"] = 8 - row["k"]
        for which, width, height, codec, quality in STORED.findall(notes):
            row["stored"][int(which)] = codec + (f" {quality}" if quality else "")
        worst = row["carrier"]
        for which in (1, 2):
            if not (hidden1, hidden2)[which - 1]:
                continue
            got, original = pixels(os.path.join(out, f"hidden-{which}.png")), given[which][1]
            same = got.shape == original.shape and np.array_equal(got, original)
            measured = (psnr(got, original), ssim(got, original)) if got.shape == original.shape else (0.0, 0.0)
            row[f"hidden {which}"] = measured + (same,)
            worst = min(worst, measured[0])
        row["worst"] = worst
        rows.append(row)
    return rows


def measure(program, scratch, keyed):
    with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        results = pool.map(lambda entry: measure_set(program, scratch, keyed, entry), SETS)
        return [row for rows in results for row in rows]


def figure(pair):
    return f"{pair[0]:.2f} dB, {pair[1]:.3f}"


def summary(rows, keyed):
    """Median and minimum over the photographs (the samples apart) per layout."""
    photographs = [r for r in rows if r["set"] != "samples"]
    forms = [("plain", "raw", "`--raw` (before)"), ("plain", "reconstructed", "reconstructed")]
    if keyed:
        forms.append(("keyed", "reconstructed", "keyed, reconstructed"))
    lines = ["| hidden picture | " + " | ".join(f"{title}: median PSNR, SSIM" for _, _, title in forms) +
             " | " + " | ".join(f"{title}: minimum" for _, _, title in forms) + " |",
             "|---" * (1 + 2 * len(forms)) + "|"]
    for case, key, title in LAYOUTS:
        shown = [r for r in photographs if r["case"] == case]
        medians, minima = [], []
        for form, reading, _ in forms:
            values = np.array([r[(key, form, reading)] for r in shown])
            medians.append(f"{np.median(values[:, 0]):.2f} dB, {np.median(values[:, 1]):.3f}")
            minima.append(f"{values[:, 0].min():.2f} dB, {values[:, 1].min():.3f}")
        lines.append(f"| {title} | " + " | ".join(medians) + " | " + " | ".join(minima) + " |")
    lines += ["", "Against `--raw`, case by case (the samples too), the smallest gain in PSNR:", ""]
    for case, key, title in LAYOUTS:
        gains = [(r[(key, "plain", "reconstructed")][0] - r[(key, "plain", "raw")][0], r) for r in rows
                 if r["case"] == case]
        gain, worst = min(gains, key=lambda g: g[0])
        lines.append(f"- {title}: {gain:+.2f} dB ({worst['set']} {worst['size'][0]}×{worst['size'][1]}, "
                     f"{worst[(key, 'plain', 'raw')][0]:.2f} to {worst[(key, 'plain', 'reconstructed')][0]:.2f} dB)")
    lines.append("")
    coded = [r[("coded", "plain")] for r in photographs]
    lines += [f"The coded picture against the carrier: median {np.median(coded):.2f} dB over the same "
              f"cases; reconstruction changes only how the hidden pictures are read back."]
    if keyed:
        keyed_coded = [r[("coded", "keyed")] for r in photographs]
        lines[-1] += f" Keyed: median {np.median(keyed_coded):.2f} dB."
    return "\n".join(lines) + "\n"


def per_set_table(rows, keyed):
    head = "| pictures | hidden pictures | coded vs carrier | hidden 1: raw → reconstructed | hidden 2: raw → reconstructed |"
    if keyed:
        head += " keyed: hidden 1 | keyed: hidden 2 |"
    lines = [head, "|---" * (5 + (2 if keyed else 0)) + "|"]
    for r in rows:
        cells = [f"{r['set']} {r['size'][0]}×{r['size'][1]}", r["case"], f"{r[('coded', 'plain')]:.2f} dB"]
        for which in ("hidden 1", "hidden 2"):
            raw, rec = r.get((which, "plain", "raw")), r.get((which, "plain", "reconstructed"))
            cells.append(f"{figure(raw)} → {figure(rec)}" if raw else "–")
        if keyed:
            for which in ("hidden 1", "hidden 2"):
                rec = r.get((which, "keyed", "reconstructed"))
                cells.append(figure(rec) if rec else "–")
        lines.append("| " + " | ".join(cells) + " |")
    return "\n".join(lines) + "\n"


def write_plot(rows, path):
    figure_, axes = plt.subplots(1, len(LAYOUTS), figsize=(16, 4.5), sharey=True)
    for axis, (case, key, title) in zip(axes, LAYOUTS):
        shown = [r for r in rows if r["case"] == case]
        x = np.arange(len(shown))
        axis.bar(x - 0.2, [r[(key, "plain", "raw")][0] for r in shown], 0.4, label="--raw", color="#b8b8b8")
        axis.bar(x + 0.2, [r[(key, "plain", "reconstructed")][0] for r in shown], 0.4, label="reconstructed",
                 color="#2b6cb0")
        axis.set_title(title, fontsize=9)
        axis.set_xticks(x)
        axis.set_xticklabels([f"{r['set']} {r['size'][0]}×{r['size'][1]}" for r in shown], rotation=90, fontsize=6)
        axis.grid(axis="y", linewidth=0.5, alpha=0.5)
        axis.set_axisbelow(True)
    axes[0].set_ylabel("PSNR against the original, dB")
    handles, labels = axes[0].get_legend_handles_labels()
    figure_.legend(handles, labels, loc="upper center", ncol=2, fontsize=9)
    figure_.tight_layout(rect=(0, 0, 1, 0.93))
    figure_.savefig(path, dpi=72, metadata={"Software": None})


def compact_summary(rows):
    """The compact form over the photographs (the samples apart): per case, the worst of the carrier
    and the hidden pictures (median and minimum), the carrier, the hidden pictures, how many came
    back bit for bit, and what vorn chose; then the targets the form was built to."""
    photographs = [r for r in rows if r["set"] != "samples"]
    lines = ["| case | worst of carrier and hidden: median, minimum | carrier: median PSNR | hidden: median PSNR, "
             "SSIM | bit for bit | k chosen | stored as |", "|---" * 7 + "|"]
    shares = {}
    for case, hidden1, hidden2, _, _ in COMPACT_CASES:
        shown = [r for r in photographs if r["case"] == case]
        hidden = [r[f"hidden {w}"] for r in shown for w in (1, 2) if f"hidden {w}" in r]
        exact = sum(all(r[f"hidden {w}"][2] for w in (1, 2) if f"hidden {w}" in r) for r in shown)
        shares[case] = (exact, len(shown), float(np.median([r["worst"] for r in shown])),
                        min(r["carrier"] for r in shown))
        ks = Counter(r["k"] for r in shown)
        codecs = Counter(re.sub(r" \d+$", "", c) for r in shown for c in r["stored"].values())
        scaled = sum(r["scaled"] for r in shown)
        lines.append(
            f"| {case} | {np.median([r['worst'] for r in shown]):.2f} dB, {min(r['worst'] for r in shown):.2f} dB | "
            f"{np.median([r['carrier'] for r in shown]):.2f} dB | {np.median([h[0] for h in hidden]):.2f} dB, "
            f"{np.median([h[1] for h in hidden]):.3f} | {exact} of {len(shown)} | "
            + ", ".join(f"{k}: {n}" for k, n in sorted(ks.items())) + " | "
            + ", ".join(f"{c}: {n}" for c, n in sorted(codecs.items()))
            + (f"; {scaled} scaled down" if scaled else "") + " |")
    lines += ["", "PSNR 99 dB stands for a picture that came back bit for bit. Against the targets:", ""]
    for case in ("one", "two"):
        median = shares[case][2]
        lines.append(f"- {case} hidden picture{'s' if case == 'two' else ''} of the carrier's size: median worst "
                     f"{median:.2f} dB ({'met' if median >= 42 else 'missed'}: at least 42 dB)")
    exact, count, _, carrier = shares["quarter"]
    lines.append(f"- a hidden picture of a quarter of the carrier's area: {exact} of {count} bit for bit, the carrier at "
                 f"least {carrier:.2f} dB ({'met' if exact == count and carrier >= 43 else 'missed'}: every one bit "
                 f"for bit, the carrier at least 43 dB)")
    exact, count, _, _ = shares["one, k=4"]
    lines.append(f"- `--carrier-bits 4`, one hidden picture: {exact} of {count} bit for bit "
                 f"({100 * exact / count:.0f} %; {'met' if exact >= 0.8 * count else 'missed'}: at least 80 %)")
    return "\n".join(lines) + "\n"


def compact_table(rows):
    lines = ["| pictures | case | k | stored as | carrier | hidden 1 | hidden 2 |", "|---" * 7 + "|"]
    for r in rows:
        cells = [f"{r['set']} {r['size'][0]}×{r['size'][1]}", r["case"], str(r["k"]),
                 ", ".join(f"{w}: {c}" for w, c in sorted(r["stored"].items())) + (" (scaled)" if r["scaled"] else ""),
                 f"{r['carrier']:.2f} dB"]
        for which in (1, 2):
            got = r.get(f"hidden {which}")
            cells.append((f"{got[0]:.2f} dB, {got[1]:.3f}" + (" (exact)" if got[2] else "")) if got else "–")
        lines.append("| " + " | ".join(cells) + " |")
    return "\n".join(lines) + "\n"


SOURCES = """The pictures: the samples as they are (see samples/SOURCES.md), and photographs of the
scikit-image data set in Debian's python3-skimage package, each scaled (Lanczos) to cover the size
and cropped at its centre. Sets, carrier first:"""


def headline_figures(rows, compact):
    """The few figures the README shows, over the photographs (the samples apart): the classic
    form's reconstructed hidden pictures and coded carrier, the compact form's one picture and
    carrier, and how many quarter-area pictures come back bit for bit."""
    photographs = [r for r in rows if r["set"] != "samples"]
    figures_ = {}
    for name, case in (("quality-classic-hidden1", "hidden 1"), ("quality-classic-hidden2", "hidden 2")):
        values = [r[(case, "plain", "reconstructed")][0] for r in photographs if r["case"] == case]
        figures_[name] = f"{np.median(values):.2f} dB"
    figures_["quality-classic-carrier"] = f"{np.median([r[('coded', 'plain')] for r in photographs]):.2f} dB"
    one = [r for r in compact if r["set"] != "samples" and r["case"] == "one"]
    figures_["quality-compact-hidden"] = f"{np.median([r['hidden 1'][0] for r in one]):.2f} dB"
    figures_["quality-compact-carrier"] = f"{np.median([r['carrier'] for r in one]):.2f} dB"
    quarter = [r for r in compact if r["set"] != "samples" and r["case"] == "quarter"]
    figures_["quality-compact-quarter-exact"] = f"{sum(r['hidden 1'][2] for r in quarter)} of {len(quarter)}"
    return figures_


def write_report(rows, compact, keyed, folder):
    table = summary(rows, keyed)
    with open(os.path.join(folder, "quality-table.md"), "w") as out:
        out.write(table)
    compact_text = compact_summary(compact)
    with open(os.path.join(folder, "quality-compact-table.md"), "w") as out:
        out.write(compact_text)
    sets = "\n".join(f"- {name} {w}×{h}: " + ", ".join(s.replace("samples:", "") for s in sources)
                     for name, (w, h), sources in SETS)
    text = f"""# How much of each hidden picture comes back

Made by `bash scripts/quality.sh`, which runs the real `vorn` and measures what it writes; do not
edit by hand. The plot: [quality.png](quality.png).

For each set of pictures and each choice of hidden pictures, `vorn encode` hides them (build
vornhold2) and `vorn decode` takes them out, by default (reconstructed: each level read as the tone
the dithering aimed at, the grain filtered out) and with `--raw` (each stored level scaled to the
full byte, as `vorn decode` wrote before reconstruction){', and under a password' if keyed else ''}.
Each hidden picture is compared with its original as PSNR over every colour byte and as SSIM
(structural similarity, per channel, averaged); the coded picture with the carrier as PSNR.

Over the photographs (the samples apart), median and minimum:

{table}
{SOURCES}
{sets}

Every case, PSNR and SSIM:

{per_set_table(rows, keyed)}
![PSNR of --raw and reconstructed hidden pictures](quality.png)

## The compact form

`vorn encode` by default (the compact form, no password, PNG out) with hidden pictures of the
carrier's size (one; two), one of a quarter of its area (half its width and height), and one with
`--carrier-bits 4`; `vorn decode` takes them out. Over the photographs (the samples apart):

{compact_text}
Every case: k, how each picture was stored, and PSNR (SSIM for the hidden pictures):

{compact_table(compact)}
"""
    with open(os.path.join(folder, "quality.md"), "w") as out:
        out.write(text)


def main():
    arguments = [a for a in sys.argv[1:] if a != "--keyed"]
    if len(arguments) != 3:
        sys.exit(__doc__)
    keyed = "--keyed" in sys.argv[1:]
    program, output, scratch = (os.path.abspath(a) for a in arguments)
    measured = measure(program, scratch, keyed)
    rows = [r for r in measured if r.get("form") != "compact"]
    compact = [r for r in measured if r.get("form") == "compact"]
    os.makedirs(output, exist_ok=True)
    write_plot(rows, os.path.join(output, "quality.png"))
    write_report(rows, compact, keyed, output)
    for name, value in headline_figures(rows, compact).items():
        figures.record("scripts/quality.py", name, value)
    print(f"Wrote {output}/quality.md, quality-table.md, quality-compact-table.md and quality.png")
    print(compact_summary(compact))


if __name__ == "__main__":
    main()
