"""Times the real `vorn` program in its forms on the benchmark's photographs, as a user runs it:
`vorn encode` of a carrier with two hidden pictures of its size in the classic form
(`--classic`), the keyed form (`--classic` with `--password-file`), the compact form without a
password and the compact form with one (`--password-file`), then `vorn decode` of each result.
Each case is a child process: its wall time, CPU time (user and system) and peak resident memory
(through GNU time), the table giving the median of RUNS runs.

Beside them, with one hidden picture of 1/16 of the carrier's area (a quarter of each side):
`vorn encode` in the classic, compact and stealth forms (`--classic`, `--compact`, `--stealth`)
and `vorn decode` of each, so that the stealth form reads against the other two.

At 4096x4096 the anchors: what a user would otherwise run on one such photograph, each reading
the PNG and writing one file: ImageMagick's `convert a.png b.png`, Pillow's open and save, and
`cwebp -lossless -z 1`.

With --peer it adds, at 1920x1080 only and once, steghide embedding hidden picture 1 as the
largest-quality JPEG that fits its capacity into the carrier as a 24-bit BMP with a passphrase,
and beside it `vorn` compact with the same carrier and hidden picture: time, peak memory, the
carrier's PSNR (coded against original) and the hidden picture's PSNR (what comes back against
the original).

    /usr/bin/python3 bench/forms.py VORN PHOTOGRAPHS [--runs N] [--sizes 1920x1080,4096] [--peer]

PHOTOGRAPHS is the folder the photographs are kept in (made once, per size, by photographs.py).
"""
import argparse
import io
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np
from PIL import Image

# The photographs' maker beside this file, imported without leaving a bytecode cache in the tree.
sys.dont_write_bytecode = True
import photographs  # noqa: E402

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "scripts"))
import figures  # noqa: E402  (the README's figures)

PASSWORD = "a benchmark password\n"
# The figures the README shows: each form's encode CPU time at 1920x1080.
README_FIGURES = {"classic": "forms-encode-classic", "keyed": "forms-encode-keyed",
                  "compact": "forms-encode-compact", "compact, password": "forms-encode-compact-password"}


def run_child(command, stderr_path=None):
    """Runs command as a child; gives (wall seconds, CPU seconds, peak MiB, exit status).

    A child forked from this Python process would report Python's own resident memory as its
    peak (Linux keeps the high-water mark across exec), so GNU time, small itself, starts the
    command and reports its peak; the CPU time of time and its child comes from os.wait4."""
    with tempfile.NamedTemporaryFile(prefix="vorn-forms-rss-") as peak_file:
        stderr = open(stderr_path, "wb") if stderr_path else subprocess.DEVNULL
        try:
            start = time.perf_counter()
            child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak_file.name]
                                     + [str(part) for part in command],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=stderr)
            _, status, usage = os.wait4(child.pid, 0)
            wall = time.perf_counter() - start
        finally:
            if stderr_path:
                stderr.close()
        child.returncode = os.waitstatus_to_exitcode(status)
        # The last line is the peak in KiB (before it, time notes a non-zero exit).
        lines = Path(peak_file.name).read_text().split()
        peak_kib = int(lines[-1]) if lines and lines[-1].isdigit() else 0
    return wall, usage.ru_utime + usage.ru_stime, peak_kib / 1024, child.returncode


def clear(paths):
    for path in paths:
        if path.is_dir():
            shutil.rmtree(path)
        elif path.exists():
            path.unlink()
    os.sync()


def output_bytes(path):
    if path.is_dir():
        return sum(entry.stat().st_size for entry in path.iterdir())
    return path.stat().st_size


def warm(inputs):
    """Reads the inputs whole, so the first run does not pay for the disk."""
    for path in inputs:
        with open(path, "rb") as file:
            while file.read(1 << 20):
                pass


def measure(command, inputs, output, runs, stderr_path):
    """Median wall ms, CPU ms and peak MiB of runs runs, and output's size. The inputs are read
    once beforehand instead of a warm-up run: a compact encode of 4096x4096 pictures takes long."""
    warm(inputs)
    walls, cpus, peaks = [], [], []
    for _ in range(runs):
        clear([output])
        wall, cpu, peak, status = run_child(command, stderr_path)
        if status != 0:
            message = Path(stderr_path).read_text(errors="replace") if stderr_path else ""
            raise SystemExit(f"failed (exit {status}): {' '.join(map(str, command))}\n{message}")
        walls.append(wall * 1000)
        cpus.append(cpu * 1000)
        peaks.append(peak)
    return statistics.median(walls), statistics.median(cpus), statistics.median(peaks), \
        output_bytes(output)


def ensure_photographs(root, size_word):
    width, height = photographs.parse_size(size_word)
    name = str(width) if width == height else f"{width}x{height}"
    folder = Path(root) / name
    if not (folder / "Hidden 2.bmp").exists():
        partial = Path(f"{folder}.partial")
        shutil.rmtree(partial, ignore_errors=True)
        shutil.rmtree(folder, ignore_errors=True)
        photographs.make(partial, width, height)
        partial.rename(folder)
    return folder, width, height


def psnr(reference, candidate):
    a = np.asarray(Image.open(reference).convert("RGB"), dtype=np.float64)
    b = np.asarray(Image.open(candidate).convert("RGB"), dtype=np.float64)
    if a.shape != b.shape:
        raise SystemExit(f"{candidate}: {b.shape[1]}x{b.shape[0]}, not {a.shape[1]}x{a.shape[0]}")
    error = np.mean((a - b) ** 2)
    return float("inf") if error == 0 else 10 * np.log10(255 ** 2 / error)


def show_db(value):
    return "bit for bit" if value == float("inf") else f"{value:.2f} dB"


def last_lines(path):
    return [line for line in Path(path).read_text(errors="replace").splitlines() if line]


def print_rows(first, rows):
    """The timed rows as a table: (label, wall ms, CPU ms, peak MiB, output bytes)."""
    print(f"| {first} | time ms | CPU ms | peak MiB | output |")
    print("|---|---|---|---|---|")
    for case, wall, cpu, peak, size in rows:
        print(f"| {case} | {wall:.0f} | {cpu:.0f} | {peak:.0f} | {size / 1e6:.2f} MB |")


def forms_table(vorn, folder, width, height, runs, scratch):
    carrier, hidden1, hidden2 = (folder / f"{name}.png"
                                 for name in ("Main", "Hidden 1", "Hidden 2"))
    password = scratch / "password.txt"
    password.write_text(PASSWORD)
    stderr = scratch / "stderr.txt"
    with_password = ["--password-file", str(password)]
    forms = [("classic", ["--classic"], []),
             ("keyed", ["--classic"] + with_password, with_password),
             ("compact", [], []),
             ("compact, password", with_password, with_password)]
    rows, encode_ms, encode_cpu_ms, notes = [], {}, {}, []
    for name, encode_options, decode_options in forms:
        coded = scratch / f"{name.replace(', ', '-')}.png"
        command = [vorn, "encode", carrier, "--hidden1", hidden1, "--hidden2", hidden2, "-o", coded,
                   "-f", "-q"] + encode_options
        result = measure(command, [carrier, hidden1, hidden2], coded, runs, stderr)
        rows.append((f"encode {name}", *result))
        encode_ms[name] = result[0]
        encode_cpu_ms[name] = result[1]
        notes += [f"  {name}: {line.removeprefix('vorn: ')}" for line in last_lines(stderr)
                  if "to take them out" not in line]
        # The coded picture stays for decoding; decode's own output is cleared before each run.
        decoded = scratch / f"{name.replace(', ', '-')}-out"
        command = [vorn, "decode", coded, "-o", decoded, "-f", "-q"] + decode_options
        rows.append((f"decode {name}", *measure(command, [coded], decoded, runs, stderr)))
        clear([coded, decoded])

    print(f"\n{width}x{height}: carrier and two hidden pictures of its size, PNG in and out, "
          f"median of {runs} runs")
    print_rows("case", rows)
    if (width, height) == (1920, 1080):
        # The README shows the CPU time hiding takes in each form at this size: on a shared
        # machine it moves far less than the clock.
        for name, figure in README_FIGURES.items():
            figures.record("bench/forms.py", figure, figures.milliseconds(encode_cpu_ms[name]))
    for name in ("keyed", "compact", "compact, password"):
        print(f"encode {name} / encode classic: {encode_ms[name] / encode_ms['classic']:.2f}x")
    if notes:
        print("what vorn chose:")
        print("\n".join(notes))


def small_hidden(folder, width, height, scratch):
    """Hidden picture 1 scaled to a quarter of each side: 1/16 of the carrier's area."""
    path = scratch / "hidden-sixteenth.png"
    Image.open(folder / "Hidden 1.png").convert("RGB").resize(
        (max(1, width // 4), max(1, height // 4)), Image.LANCZOS).save(path)
    return path


def stealth_table(vorn, folder, width, height, runs, scratch):
    carrier = folder / "Main.png"
    hidden = small_hidden(folder, width, height, scratch)
    stderr = scratch / "stderr.txt"
    rows, encode_cpu, decode_cpu = [], {}, {}
    for name in ("classic", "compact", "stealth"):
        coded, decoded = scratch / f"{name}.png", scratch / f"{name}-out"
        encode = measure([vorn, "encode", carrier, "--hidden1", hidden, "-o", coded, "-f", "-q",
                          f"--{name}"], [carrier, hidden], coded, runs, stderr)
        decode = measure([vorn, "decode", coded, "-o", decoded, "-f", "-q"], [coded], decoded, runs,
                         stderr)
        rows += [(f"encode {name}", *encode), (f"decode {name}", *decode)]
        encode_cpu[name], decode_cpu[name] = encode[1], decode[1]
        clear([coded, decoded])
    print(f"\n{width}x{height}: one hidden picture of 1/16 of the carrier's area, PNG in and out, "
          f"median of {runs} runs")
    print_rows("case", rows)
    print(f"CPU: encode stealth / encode classic {encode_cpu['stealth'] / encode_cpu['classic']:.2f}x, "
          f"decode stealth / decode compact {decode_cpu['stealth'] / decode_cpu['compact']:.2f}x")


# What a user would otherwise run on one photograph: each reads the PNG and writes one file.
ANCHORS = (
    ("ImageMagick `convert a.png b.png`", lambda source, out: ["/usr/bin/convert", source, out], "png"),
    ("Pillow open and save as PNG",
     lambda source, out: ["/usr/bin/python3", "-c",
                          "import sys; from PIL import Image; Image.open(sys.argv[1]).save(sys.argv[2])",
                          source, out], "png"),
    ("`cwebp -lossless -z 1`", lambda source, out: ["cwebp", "-quiet", "-lossless", "-z", "1", source,
                                                    "-o", out], "webp"),
)


def anchors_table(vorn, folder, width, height, runs, scratch):
    source = folder / "Main.png"
    stderr = scratch / "stderr.txt"
    rows = []
    for label, command, suffix in ANCHORS:
        out = scratch / f"anchor.{suffix}"
        rows.append((label, *measure(command(source, out), [source], out, runs, stderr)))
        clear([out])
    coded, hidden1, hidden2 = scratch / "coded.png", folder / "Hidden 1.png", folder / "Hidden 2.png"
    rows.append(("`vorn encode --classic`, three photographs in, one out",
                 *measure([vorn, "encode", source, "--hidden1", hidden1, "--hidden2", hidden2, "-o", coded,
                           "-f", "-q", "--classic"], [source, hidden1, hidden2], coded, runs, stderr)))
    clear([coded])
    print(f"\nAnchors, {width}x{height} photograph as PNG, median of {runs} runs")
    print_rows("tool", rows)


def steghide_capacity(carrier):
    """Bytes steghide says carrier can hold."""
    info = subprocess.run(["steghide", "info", "-p", "", str(carrier)], capture_output=True,
                          text=True, stdin=subprocess.DEVNULL)
    found = re.search(r"capacity:\s*([\d.]+)\s*(Byte|KB|MB)", info.stdout + info.stderr)
    if not found:
        raise SystemExit(f"steghide info gave no capacity:\n{info.stdout}{info.stderr}")
    unit = {"Byte": 1, "KB": 1024, "MB": 1024 * 1024}[found.group(2)]
    return int(float(found.group(1)) * unit)


def fitting_jpeg(hidden, limit, below_quality=101):
    """The JPEG of hidden with the best PSNR among 4:4:4 and 4:2:0, each at the largest quality
    under below_quality whose file is at most limit bytes: (bytes, quality, subsampling, PSNR)."""
    picture = Image.open(hidden).convert("RGB")
    best = None
    for subsampling, label in ((0, "4:4:4"), (2, "4:2:0")):
        for quality in range(min(100, below_quality - 1), 0, -1):
            buffer = io.BytesIO()
            picture.save(buffer, "JPEG", quality=quality, subsampling=subsampling)
            if len(buffer.getvalue()) <= limit:
                value = psnr(hidden, io.BytesIO(buffer.getvalue()))
                if best is None or value > best[3]:
                    best = (buffer.getvalue(), quality, label, value)
                break
    return best


def available_gib():
    for line in Path("/proc/meminfo").read_text().splitlines():
        if line.startswith("MemAvailable:"):
            return int(line.split()[1]) / (1024 * 1024)
    return 0.0


# steghide's embedding of a JPEG filling a 1920x1080 BMP held about 8 GiB here: on a machine
# shared with other work, the peer row is left out rather than risk running memory out.
PEER_MEMORY_GIB = 11


def peer_table(vorn, folder, scratch):
    if available_gib() < PEER_MEMORY_GIB:
        print(f"\nPeer: left out, {available_gib():.1f} GiB of memory available, steghide may need "
              f"{PEER_MEMORY_GIB}")
        return
    carrier_bmp, hidden1 = folder / "Main.bmp", folder / "Hidden 1.png"
    password = scratch / "password.txt"
    password.write_text(PASSWORD)
    passphrase = PASSWORD.strip()
    stderr = scratch / "stderr.txt"
    rows = []

    capacity = steghide_capacity(carrier_bmp)
    # steghide adds a small header (the file's name, a checksum): leave it room, and step down a
    # quality whenever it still reports the cover file too short.
    limit = capacity - 256
    quality_cap = 101
    stego, extracted = scratch / "stego.bmp", scratch / "extracted.jpg"
    while True:
        jpeg, quality, subsampling, _ = fitting_jpeg(hidden1, limit, quality_cap)
        embedded = scratch / "hidden.jpg"
        embedded.write_bytes(jpeg)
        clear([stego])
        # JPEG does not compress further: -Z spares steghide trying.
        embed = run_child(["steghide", "embed", "-cf", carrier_bmp, "-ef", embedded, "-sf", stego,
                           "-p", passphrase, "-Z", "-f", "-q"], stderr)
        if embed[3] == 0:
            break
        message = Path(stderr).read_text(errors="replace")
        if "too short" not in message or quality <= 1:
            raise SystemExit(f"steghide embed failed:\n{message}")
        quality_cap = quality
    clear([extracted])
    extract = run_child(["steghide", "extract", "-sf", stego, "-xf", extracted, "-p", passphrase,
                         "-f", "-q"], stderr)
    if extract[3] != 0 or extracted.read_bytes() != jpeg:
        raise SystemExit("steghide extract did not give back the embedded JPEG")
    rows.append((f"steghide 0.5.1, passphrase: JPEG {subsampling} quality {quality}, "
                 f"{len(jpeg) / 1000:.0f} KB (capacity {capacity / 1000:.0f} KB)",
                 embed, extract, psnr(carrier_bmp, stego), psnr(hidden1, extracted)))

    for name, options in (("vorn compact", []),
                          ("vorn compact, password", ["--password-file", str(password)])):
        coded, decoded = scratch / "coded.png", scratch / "decoded"
        clear([coded, decoded])
        encode = run_child([vorn, "encode", carrier_bmp, "--hidden1", hidden1, "-o", coded, "-f",
                            "-q"] + options, stderr)
        chosen = "; ".join(line.removeprefix("vorn: ") for line in last_lines(stderr)
                           if "to take them out" not in line)
        decode = run_child([vorn, "decode", coded, "-o", decoded, "-f", "-q"] + options, stderr)
        if encode[3] != 0 or decode[3] != 0:
            raise SystemExit(f"{name} failed:\n{Path(stderr).read_text(errors='replace')}")
        rows.append((f"{name}: {chosen}", encode, decode, psnr(carrier_bmp, coded),
                     psnr(hidden1, decoded / "hidden-1.png")))
        clear([coded, decoded])

    print("\nPeer, 1920x1080 carrier as 24-bit BMP, hidden picture 1 (PNG) of its size, "
          "one run each")
    print("| tool, what is stored | hide: time ms, peak MiB | take out: time ms, peak MiB "
          "| carrier PSNR | hidden PSNR |")
    print("|---|---|---|---|---|")
    for label, hide, take_out, carrier_db, hidden_db in rows:
        print(f"| {label} | {hide[0] * 1000:.0f}, {hide[2]:.0f} | {take_out[0] * 1000:.0f}, "
              f"{take_out[2]:.0f} | {show_db(carrier_db)} | {show_db(hidden_db)} |")


def load():
    return "load averages " + " ".join(f"{value:.2f}" for value in os.getloadavg())


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("vorn")
    parser.add_argument("photographs")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sizes", default="1920x1080,4096")
    parser.add_argument("--peer", action="store_true")
    parser.add_argument("--tables", default="forms,stealth,anchors",
                        help="which of each size's tables to run (forms, stealth, anchors)")
    arguments = parser.parse_args()
    # Each table shows as it is finished, also when the output goes to a file.
    sys.stdout.reconfigure(line_buffering=True)
    vorn = str(Path(arguments.vorn).resolve())

    print(f"vorn in its forms; {os.cpu_count()} cores; at the start: {load()}")
    with tempfile.TemporaryDirectory(prefix="vorn-forms-") as scratch_name:
        scratch = Path(scratch_name)
        for size_word in arguments.sizes.split(","):
            folder, width, height = ensure_photographs(arguments.photographs, size_word)
            tables = arguments.tables.split(",")
            if "forms" in tables:
                forms_table(vorn, folder, width, height, arguments.runs, scratch)
            if "stealth" in tables:
                stealth_table(vorn, folder, width, height, arguments.runs, scratch)
            if width == height == 4096 and "anchors" in tables:
                anchors_table(vorn, folder, width, height, arguments.runs, scratch)
        if arguments.peer:
            folder, _, _ = ensure_photographs(arguments.photographs, "1920x1080")
            peer_table(vorn, folder, scratch)
    print(f"\nat the end: {load()}")


if __name__ == "__main__":
    sys.exit(main())
