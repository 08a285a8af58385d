"""What the steganalysis benchmark measures: the cover crops, and the real `vorn` and steghide run
on each crop. Each run gives the stego picture (uint8, height x width x 3) and the payload in bits
per colour byte, or None where the hidden picture does not fit.
"""
import functools
import io
import re
import subprocess
from pathlib import Path

import numpy as np
from PIL import Image
from skimage import data

from photographs import crop_to_shape

# Photographs of scikit-image's data set the kit has never been tuned on: the carriers. (The
# benchmark's own photographs, astronaut, coffee and the Hubble deep field, give the hidden
# pictures instead.) Crops of the two views of the stereo pair share a group, so that they always
# fall into the same fold of the cross-validation.
CARRIERS = [("chelsea", data.chelsea), ("immunohistochemistry", data.immunohistochemistry),
            ("retina", data.retina), ("rocket", data.rocket),
            ("motorcycle left", lambda: data.stereo_motorcycle()[0]),
            ("motorcycle right", lambda: data.stereo_motorcycle()[1])]
HIDDEN = [data.astronaut, data.coffee, data.hubble_deep_field]

PASSWORD = "a benchmark password"


class Crop:
    def __init__(self, name, group, pixels, index):
        self.name, self.group, self.pixels, self.index = name, group, pixels, index


def usable(pixels):
    """Whether a crop is photograph rather than black surround or blown-out sky: at most 5% of its
    colour bytes within 4 of 0 or 255 (the retina's dark border fails)."""
    return np.mean((pixels <= 4) | (pixels >= 251)) <= 0.05


def crops(side, every=1):
    """The non-overlapping side x side crops of the carriers that are usable, every `every`-th."""
    found = []
    for name, load in CARRIERS:
        picture = np.asarray(load())[:, :, :3]
        scene = name.split()[0]
        for top in range(0, picture.shape[0] - side + 1, side):
            for left in range(0, picture.shape[1] - side + 1, side):
                pixels = np.ascontiguousarray(picture[top:top + side, left:left + side])
                if usable(pixels):
                    found.append(Crop(f"{name} {top},{left}", f"{scene} {top},{left}", pixels,
                                      len(found)))
    return found[::every]


@functools.lru_cache(maxsize=None)
def hidden_source(which):
    return Image.fromarray(np.asarray(HIDDEN[which]())).convert("RGB")


def hidden_picture(index, width, height):
    """A hidden picture of the given size: one of the benchmark's photographs in turn, the largest
    part of it around its centre with that shape, scaled with Lanczos resampling."""
    picture = crop_to_shape(hidden_source(index % len(HIDDEN)), width, height)
    return picture.resize((width, height), Image.LANCZOS)


# --- The real programs ----------------------------------------------------------------------------

def stored_bits(note):
    """The bits of the hidden pictures as vorn's note reports them stored ("..., 2 KB;" or "2 bits
    per colour byte"): (bits, None) or (None, bits per colour byte); (None, None) if it says
    neither."""
    per_byte = re.search(r"(\d+) bits per colour byte", note)
    if per_byte:
        return None, float(per_byte.group(1))
    sizes = re.findall(r"hidden picture \d \([^)]*\) as [^;]*?, ([\d.]+) (bytes|KB|MB)", note)
    if not sizes:
        return None, None
    unit = {"bytes": 1, "KB": 1000, "MB": 1000000}
    return sum(float(value) * unit[name] for value, name in sizes) * 8, None


def vorn_accepts(vorn, option):
    help_text = subprocess.run([vorn, "encode", "--help"], capture_output=True, text=True)
    return option in help_text.stdout + help_text.stderr


def run_vorn(vorn, crop, scratch, options, hidden_area, password=False):
    """vorn encode of the crop with one hidden picture of hidden_area times its area (same shape):
    (stego pixels, bits per colour byte), or None if vorn finds the input unusable (exit 3: the
    picture does not fit). Raises RuntimeError if vorn fails otherwise."""
    height, width, _ = crop.pixels.shape
    scale = hidden_area ** 0.5
    hidden_size = (max(1, round(width * scale)), max(1, round(height * scale)))
    folder = Path(scratch)
    carrier, hidden, coded = (folder / f"{crop.index}-{name}.png"
                              for name in ("carrier", "hidden", "coded"))
    Image.fromarray(crop.pixels).save(carrier)
    hidden_picture(crop.index, *hidden_size).save(hidden)
    command = [vorn, "encode", str(carrier), "--hidden1", str(hidden), "-o", str(coded), "-f",
               "-v", "--threads", "1"] + options
    if password:
        command += ["--password-file", "-"]
    result = subprocess.run(command, input=PASSWORD + "\n" if password else "",
                            capture_output=True, text=True)
    if result.returncode == 3:
        return None
    if result.returncode != 0:
        raise RuntimeError(f"{' '.join(command)}: exit {result.returncode}\n{result.stderr}")
    stego = np.asarray(Image.open(coded).convert("RGB"))
    bits, per_byte = stored_bits(result.stderr)
    if per_byte is None:
        per_byte = bits / crop.pixels.size if bits is not None else float("nan")
    for path in (carrier, hidden, coded):
        path.unlink()
    return stego, per_byte


def run_steghide(crop, scratch, hidden_area=1 / 16, quality=85):
    """steghide embedding the hidden picture of hidden_area times the crop's area, as a JPEG, into
    the crop saved as a 24-bit BMP, with a passphrase: (stego pixels, bits per colour byte), or
    None if even quality 25 does not fit. The JPEG steps down in quality until steghide takes it."""
    height, width, _ = crop.pixels.shape
    scale = hidden_area ** 0.5
    size = (max(1, round(width * scale)), max(1, round(height * scale)))
    picture = hidden_picture(crop.index, *size)
    folder = Path(scratch)
    carrier, embedded, stego_path = (folder / f"{crop.index}-{name}"
                                     for name in ("carrier.bmp", "hidden.jpg", "stego.bmp"))
    Image.fromarray(crop.pixels).save(carrier)
    try:
        while quality >= 25:
            buffer = io.BytesIO()
            picture.save(buffer, "JPEG", quality=quality)
            embedded.write_bytes(buffer.getvalue())
            # JPEG does not compress further: -Z spares steghide trying.
            result = subprocess.run(["steghide", "embed", "-cf", str(carrier), "-ef",
                                     str(embedded), "-sf", str(stego_path), "-p", PASSWORD, "-Z",
                                     "-f", "-q"], capture_output=True, text=True,
                                    stdin=subprocess.DEVNULL)
            if result.returncode == 0:
                stego = np.asarray(Image.open(stego_path).convert("RGB"))
                return stego, len(buffer.getvalue()) * 8 / crop.pixels.size
            if "too short" not in result.stderr:
                raise RuntimeError(f"steghide embed failed:\n{result.stderr}")
            quality -= 10
        return None
    finally:
        for path in (carrier, embedded, stego_path):
            path.unlink(missing_ok=True)
