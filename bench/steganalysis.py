"""How visible hidden data is to steganalysis: six classic detectors and a trained SPAM detector
against simulated LSB replacement and ±1 embedding, the real `vorn` in its forms and steghide, on
crops of scikit-image photographs the kit was never tuned on. Prints a markdown table of AUC
(0.5: a coin toss; 1: always seen) per form and payload, and the mean payload the three
estimators read, and writes them to OUT: between the lines <!-- steganalysis tables --> and
<!-- end of steganalysis tables --> if OUT has them (the rest of OUT is kept), else as all of OUT.

    /usr/bin/python3 bench/steganalysis.py [--quick] [--vorn VORN] [--crop SIDE] OUT.md

VORN defaults to build/default/vorn/vorn; rows of programs not present are left out, saying so.
"""
import argparse
import concurrent.futures
import os
import shutil
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

# The benchmark's parts beside this file, imported without leaving a bytecode cache in the tree.
sys.dont_write_bytecode = True
import steganalysis_detectors as detectors  # noqa: E402

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "scripts"))
import figures  # noqa: E402  (the README's figures)
import steganalysis_forms as forms  # noqa: E402
import steganalysis_simulate as simulate  # noqa: E402
import steganalysis_spam as spam  # noqa: E402

DETECTORS = ["chi2", "RS", "SPA", "WS", "HCF adj.", "HCF 1-D"]
ESTIMATORS = ["RS", "SPA", "WS"]
BEGIN, END = "<!-- steganalysis tables -->", "<!-- end of steganalysis tables -->"


class Form:
    """One row: label, and make(crop, rng, scratch) giving (stego, bits per colour byte) or None."""
    def __init__(self, label, make, program=False):
        self.label, self.make, self.program = label, make, program


def simulated(label, embed, rate):
    return Form(f"{label}, rate {rate:g}", lambda crop, rng, _: (embed(crop.pixels, rate, rng),
                                                                  rate))


def kit(vorn, label, options, area, password=False, payload=None):
    """A row of vorn's: payload, if given, is the form's fixed bits per colour byte."""
    def make(crop, _, scratch):
        made = forms.run_vorn(vorn, crop, scratch, options, area, password)
        if made is None or payload is None:
            return made
        return made[0], payload
    return Form(label, make, program=True)


def all_forms(vorn, quick):
    """The rows: simulated embeddings, vorn's forms (stealth only where vorn has it), steghide."""
    rates = (0.2, 1.0) if quick else (0.05, 0.1, 0.2, 0.5, 1.0)
    rows = [simulated("simulated LSB replacement", simulate.lsb_replacement, r) for r in rates]
    rows += [simulated("simulated ±1 (LSB matching)", simulate.lsb_matching, r) for r in rates]
    notes = []
    if vorn:
        rows += [kit(vorn, "vorn classic, one picture", ["--classic"], 1, payload=2),
                 kit(vorn, "vorn keyed classic, one picture", ["--classic"], 1, password=True,
                     payload=2),
                 kit(vorn, "vorn compact, a picture 1/16 of the carrier's area", ["--compact"],
                     1 / 16),
                 kit(vorn, "vorn compact `--carrier-bits 1`, carrier-size picture",
                     ["--compact", "--carrier-bits", "1"], 1)]
        if forms.vorn_accepts(vorn, "--stealth"):
            rows += [kit(vorn, "vorn default, a picture 1/16 of the carrier's area", [], 1 / 16),
                     kit(vorn, "vorn `--stealth`, a picture 1/16 of the carrier's area",
                         ["--stealth"], 1 / 16),
                     kit(vorn, "vorn `--stealth`, a picture 1/4 of the carrier's area",
                         ["--stealth"], 1 / 4)]
        else:
            notes.append("vorn has no `--stealth` yet: its rows are left out.")
    else:
        notes.append("vorn not found: its rows are left out.")
    if shutil.which("steghide"):
        rows.append(Form("steghide (Debian), a picture 1/16 of the carrier's area as JPEG",
                         lambda crop, _, scratch: forms.run_steghide(crop, scratch), program=True))
    else:
        notes.append("steghide not installed: its row is left out.")
    return rows, notes


class Measured:
    """The scores and SPAM features of a set of pictures, one per crop (None where not made)."""
    def __init__(self, pictures):
        self.scores = [detectors.scores(p) if p is not None else None for p in pictures]
        self.features = [spam.spam(p) if p is not None else None for p in pictures]


def stego_pictures(form, crops, scratch, seed):
    """Each crop's stego picture and payload by the form, programs two at a time."""
    def one(crop):
        rng = np.random.default_rng([seed, crop.index])
        return form.make(crop, rng, scratch)

    if form.program:
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            return list(pool.map(one, crops))
    return [one(crop) for crop in crops]


def measure_form(form, crops, cover, scratch, seed, folds):
    """One row's figures: payload, share of bytes changed, AUC of every detector, SPAM's AUC with
    its spread over the folds, and the estimators' mean readings."""
    made = stego_pictures(form, crops, scratch, seed)
    kept = [i for i, result in enumerate(made) if result is not None]
    label = form.label if len(kept) == len(crops) else \
        f"{form.label} (fits {len(kept)} of {len(crops)} crops)"
    if len(kept) < 2:
        return {"label": label, "payload": float("nan"), "changed": float("nan"),
                "SPAM": (float("nan"), float("nan")),
                **{name: float("nan") for name in DETECTORS},
                **{f"estimate {name}": float("nan") for name in ESTIMATORS}}
    stego = Measured([made[i][0] for i in kept])
    row = {"label": label,
           "payload": float(np.nanmean([made[i][1] for i in kept])),
           "changed": float(np.mean([np.mean(made[i][0] != crops[i].pixels) for i in kept]))}
    for name in DETECTORS:
        row[name] = spam.auc([cover.scores[i][name] for i in kept],
                             [s[name] for s in stego.scores])
    for name in ESTIMATORS:
        row[f"estimate {name}"] = float(np.mean([s[name] for s in stego.scores]))
    # Too few crops leave a fold without a cover or a stego picture to rank.
    row["SPAM"] = (float("nan"), float("nan")) if len(kept) < 3 * folds else \
        spam.cross_validated_auc([cover.features[i] for i in kept], stego.features,
                                 [crops[i].group for i in kept], folds, seed)
    return row


def show_auc(value):
    if np.isnan(value):
        return "–"
    return f"{value:.2f}".replace("0.", ".", 1) if value < 1 else "1.00"


def tables(rows, cover_estimates, facts):
    lines = [facts, "",
             "| what is hidden | bits per colour byte | bytes changed | "
             + " | ".join(DETECTORS) + " | SPAM |",
             "|---" * (len(DETECTORS) + 4) + "|"]
    for row in rows:
        spam_mean, spam_spread = row["SPAM"]
        trained = "–" if np.isnan(spam_mean) else \
            f"{show_auc(spam_mean)} ± {spam_spread:.2f}".replace("± 0.", "± .")
        lines.append(f"| {row['label']} | {row['payload']:.3g} | {row['changed']:.3f} | "
                     + " | ".join(show_auc(row[name]) for name in DETECTORS) + f" | {trained} |")
    lines += ["", "Mean payload read by the estimators (bits per colour byte):", "",
              "| pictures | " + " | ".join(ESTIMATORS) + " |",
              "|---" * (len(ESTIMATORS) + 1) + "|",
              "| covers | " + " | ".join(f"{v:.3f}" for v in cover_estimates) + " |"]
    for row in rows:
        lines.append(f"| {row['label']} | "
                     + " | ".join(f"{row[f'estimate {name}']:.3f}" for name in ESTIMATORS) + " |")
    return "\n".join(lines) + "\n"


# The rows the README shows, by the start of their label, and the names of their figures.
README_ROWS = (("vorn default, a picture 1/16", "steganalysis-default-tests", "steganalysis-default-spam"),
               ("vorn `--stealth`, a picture 1/16", "steganalysis-stealth-tests", "steganalysis-stealth-spam"),
               ("steghide (Debian)", "steganalysis-steghide-tests", "steganalysis-steghide-spam"))


def record_figures(rows):
    """The README's figures from a full run: for each of its rows, the range of the six classic
    tests' AUC and the trained detector's mean and spread, as the table shows them."""
    for row in rows:
        for start, tests_figure, spam_figure in README_ROWS:
            if not row["label"].startswith(start) or np.isnan(row["SPAM"][0]):
                continue
            values = sorted(row[detector] for detector in DETECTORS)
            figures.record("bench/steganalysis.py", tests_figure,
                           f"{show_auc(values[0])} to {show_auc(values[-1])}")
            mean, spread = row["SPAM"]
            figures.record("bench/steganalysis.py", spam_figure,
                           f"{show_auc(mean)} ± {spread:.2f}".replace("± 0.", "± ."))


def write(path, text):
    """text between the markers of an existing OUT, or as the whole of OUT."""
    path = Path(path)
    old = path.read_text() if path.exists() else ""
    if BEGIN in old and END in old:
        head, rest = old.split(BEGIN, 1)
        text = f"{head}{BEGIN}\n{text}{END}{rest.split(END, 1)[1]}"
    path.write_text(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("out")
    parser.add_argument("--quick", action="store_true",
                        help="every fifth crop, fewer rates, 3 folds (about a minute)")
    parser.add_argument("--vorn", default=str(Path(__file__).resolve().parent.parent
                                              / "build/default/vorn/vorn"))
    parser.add_argument("--crop", type=int, default=128, help="side of the square crops")
    arguments = parser.parse_args()
    sys.stdout.reconfigure(line_buffering=True)
    started = time.monotonic()
    vorn = str(Path(arguments.vorn).resolve()) if os.access(arguments.vorn, os.X_OK) else None
    crops = forms.crops(arguments.crop, every=5 if arguments.quick else 1)
    folds, seed = (3 if arguments.quick else 5), 2026
    form_list, notes = all_forms(vorn, arguments.quick)
    for note in notes:
        print(note)
    cover = Measured([crop.pixels for crop in crops])
    cover_estimates = [float(np.mean([s[name] for s in cover.scores])) for name in ESTIMATORS]
    rows = []
    with tempfile.TemporaryDirectory(prefix="vorn-steganalysis-") as scratch:
        for form in form_list:
            rows.append(measure_form(form, crops, cover, scratch, seed, folds))
            print(f"{form.label}: {time.monotonic() - started:.0f} s")
    scenes = ", ".join(name for name, _ in forms.CARRIERS)
    # Hanley and McNeil's standard error of an AUC near 0.5 with n covers and n stego pictures.
    n = len(crops)
    error = ((2 * n + 1) / (12 * n * n)) ** 0.5
    facts = (f"{n} crops of {arguments.crop}x{arguments.crop} from scikit-image's {scenes}; "
             f"an AUC near .5 has a standard error of about {error:.2f}; SPAM: Fisher "
             f"discriminant, {folds}-fold cross-validation, AUC mean ± standard deviation over "
             f"the folds; {time.monotonic() - started:.0f} s on {os.cpu_count()} cores"
             + ("" if not notes else "; " + " ".join(notes)))
    text = tables(rows, cover_estimates, facts)
    print(text)
    write(arguments.out, text)
    if not arguments.quick:
        record_figures(rows)


if __name__ == "__main__":
    sys.exit(main())
