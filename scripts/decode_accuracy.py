"""How often `vorn decode` without --hidden and --build takes out what was hidden, refuses, or
takes out something else (which must never happen). Coded pictures are made with `vorn encode`
from scikit-image's photographs and the samples: random layouts, builds and fits, carriers and
hidden pictures cropped or scaled to sizes that are powers of two and not, some through JPEG;
about one in seven is a photograph with nothing hidden, which must be refused. The same seed
always makes the same pictures.

    /usr/bin/python3 scripts/decode_accuracy.py VORN FOLDER [COUNT] [SEED]
"""
import collections
import io
import random
import subprocess
import sys
from pathlib import Path

import numpy as np
from PIL import Image
from skimage import data

PHOTOGRAPHS = ["astronaut", "coffee", "chelsea", "rocket", "hubble_deep_field", "immunohistochemistry", "retina",
               "camera", "moon", "coins", "clock", "grass", "gravel", "brick", "cell"]
DRAWINGS = ["text", "page", "colorwheel", "logo"]  # hidden pictures only: a carrier is a photograph
SIZES = [(512, 512), (256, 256), (1024, 1024), (640, 480), (500, 375), (300, 200), (480, 640), (128, 128),
         (1000, 750), (64, 64), (200, 300)]
BUILDS = {"1": "", "2": " --build {}", "both": " --build {}"}


def source(name, samples):
    if name in ("Main", "Hidden 1", "Hidden 2"):
        return Image.open(samples / f"{name}.bmp").convert("RGB")
    picture = getattr(data, name)()
    if picture.dtype != np.uint8:
        picture = (picture * 255).astype(np.uint8)
    return Image.fromarray(picture).convert("RGB")


def made(picture, width, height, crop, jpeg):
    """The picture cropped to the shape and scaled (or only scaled), through JPEG when asked."""
    if crop:
        scale = max(width / picture.width, height / picture.height)
        picture = picture.resize((max(width, round(picture.width * scale)), max(height, round(picture.height * scale))),
                                 Image.LANCZOS)
        left, top = (picture.width - width) // 2, (picture.height - height) // 2
        picture = picture.crop((left, top, left + width, top + height))
    else:
        picture = picture.resize((width, height), Image.LANCZOS)
    if jpeg:
        file = io.BytesIO()
        picture.save(file, "JPEG", quality=random.choice([75, 85, 92]))
        picture = Image.open(io.BytesIO(file.getvalue())).convert("RGB")
    return picture


def main():
    vorn, folder = sys.argv[1], Path(sys.argv[2])
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 300
    random.seed(int(sys.argv[4]) if len(sys.argv) > 4 else 3)
    samples = Path(__file__).resolve().parent.parent / "samples"
    folder.mkdir(parents=True, exist_ok=True)
    names = PHOTOGRAPHS + ["Main", "Hidden 1", "Hidden 2"]
    pictures = {name: source(name, samples) for name in names + DRAWINGS}
    tally = collections.Counter()
    for case in range(count):
        width, height = random.choice(SIZES)
        carrier = folder / f"carrier{case}.png"
        made(pictures[random.choice(names)], width, height, True, random.random() < 0.5).save(carrier)
        if random.random() < 0.15:
            coded, options = carrier, None
        else:
            holds = random.choice(["1", "2", "both"])
            build = random.choice(["vornhold2", "vornhold"])
            coded = folder / f"coded{case}.png"
            encode = [vorn, "encode", "--classic", str(carrier), "-o", str(coded), "-f", "-q", "--build", build,
                      "--fit", random.choice(["contain", "cover", "stretch"])]
            for which in (["1", "2"] if holds == "both" else [holds]):
                size = random.choice([(width, height), (512, 512), (640, 480), (480, 640), (300, 200), (1000, 300),
                                      (200, 600), (max(1, width // 2), max(1, height // 3))])
                hidden = folder / f"hidden{case}-{which}.png"
                made(pictures[random.choice(names + DRAWINGS)], *size, random.random() < 0.5,
                     random.random() < 0.3).save(hidden)
                encode += ["--hidden" + which, str(hidden)]
            subprocess.run(encode, check=True, capture_output=True)
            options = f"--hidden {holds}" + BUILDS[holds].format(build)
        decoded = subprocess.run([vorn, "decode", str(coded), "-o", str(folder / "out"), "-f", "--raw", "-q"],
                                 capture_output=True, text=True)
        if decoded.returncode != 0:
            outcome = "refused" if options else "right"
        else:
            # The note says what was taken out; encoding's own command says what was hidden.
            said = decoded.stderr.split("assuming ")[1].split(" (")[0]
            words = {"1": "hidden picture 1 alone", "2": "hidden picture 2 alone", "both": "hidden pictures 1 and 2"}
            outcome = "wrong"
            if options:
                holds, _, build = options.split()[1], None, options.split()[-1]
                if said == words[holds] + ("" if holds == "1" else f", written by {build}"):
                    outcome = "right"
        tally[outcome] += 1
        if outcome != "right":
            print(f"{outcome}: {coded} ({options or 'nothing hidden'}): {decoded.stderr.strip()}")
    print(f"{count} pictures: {tally['right']} right, {tally['refused']} refused, {tally['wrong']} wrong")
    return 1 if tally["wrong"] else 0


if __name__ == "__main__":
    sys.exit(main())
