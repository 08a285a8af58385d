"""The README's figures: every one is measured by a script, recorded in docs/figures.tsv, and
marked in the README where it is shown, so that a check can hold the two together.

    python3 scripts/figures.py record SCRIPT NAME VALUE     a script records what it measured
    python3 scripts/figures.py record SCRIPT NAME --seconds N | --ms N | --bytes N
    python3 scripts/figures.py check [README]                the README against docs/figures.tsv

docs/figures.tsv holds one figure a line: its name, its value as the README shows it, and the
script that measures it. In the README a figure stands between markers that do not show when it
is rendered, `<!--figure:NAME-->VALUE<!--/figure-->`. The check fails when a marked value differs
from the recorded one, when a marker names no recorded figure, when the recorded script does not
record that name, or when the README shows a measurement (a number with a unit) outside markers.
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TABLE = os.path.join(ROOT, "docs", "figures.tsv")
HEADING = "# name\tvalue\tmeasured by (made by the scripts: do not edit by hand)"
MARKED = re.compile(r"<!--figure:([a-z0-9-]+)-->(.*?)<!--/figure-->")
# A measurement: a number followed by a unit of time, size, quality or share.
MEASUREMENT = re.compile(r"(?<![\w.])\d[\d,.]*\s?(?:dB|ms|s|seconds?|minutes?|hours?|[KMG]i?B|bytes|%)(?!\w)")


def duration(seconds):
    """How long a run took, as the README says it: seconds to the nearest ten under five minutes,
    whole minutes above."""
    seconds = float(seconds)
    if seconds < 300:
        return f"{max(10, int(round(seconds / 10.0)) * 10)} s"
    return f"{int(round(seconds / 60.0))} minutes"


def milliseconds(ms):
    """A program's run time: to ten milliseconds under a second, to a tenth of a second above."""
    ms = float(ms)
    if ms < 1000:
        return f"{max(10, int(round(ms / 10.0)) * 10)} ms"
    return f"{ms / 1000:.1f} s"


def size(count):
    """A file's size in MiB (KiB under one) with two decimals."""
    count = int(count)
    if count >= 1 << 20:
        return f"{count / (1 << 20):.2f} MiB"
    return f"{count / 1024:.2f} KiB"


def read_table(path=TABLE):
    figures = {}
    if os.path.exists(path):
        with open(path, encoding="utf-8") as table:
            for line in table:
                line = line.rstrip("\n")
                if line and not line.startswith("#"):
                    name, value, script = line.split("\t")
                    figures[name] = (value, script)
    return figures


def record(script, name, value, path=TABLE):
    """Sets one figure, keeping the others; the table stays sorted by name."""
    figures = read_table(path)
    figures[name] = (value, script)
    with open(path + ".partial", "w", encoding="utf-8") as table:
        table.write(HEADING + "\n")
        for key in sorted(figures):
            table.write(f"{key}\t{figures[key][0]}\t{figures[key][1]}\n")
    os.replace(path + ".partial", path)


def problems(readme, figures, script_text):
    """What is wrong with the README's figures, one line each; script_text(path) gives a script's
    source, or None when it does not exist."""
    found = []
    for name, (value, script) in sorted(figures.items()):
        text = script_text(script)
        if text is None:
            found.append(f"{name}: its script {script} does not exist")
        elif name not in text:
            found.append(f"{name}: {script} does not record it")
    for number, line in enumerate(readme.split("\n"), 1):
        for match in MARKED.finditer(line):
            name, shown = match.groups()
            if name not in figures:
                found.append(f"README line {number}: {name} is no recorded figure")
            elif shown != figures[name][0]:
                found.append(f"README line {number}: {name} shows {shown!r}, "
                             f"{figures[name][1]} measured {figures[name][0]!r}")
        for match in MEASUREMENT.finditer(MARKED.sub("", line)):
            found.append(f"README line {number}: {match.group(0)!r} is not a marked figure")
    return found


def script_source(script):
    path = os.path.join(ROOT, script)
    if not os.path.isfile(path):
        return None
    with open(path, encoding="utf-8") as source:
        return source.read()


def main(arguments):
    if len(arguments) >= 4 and arguments[0] == "record":
        script, name, rest = arguments[1], arguments[2], arguments[3:]
        if rest[0] == "--seconds":
            value = duration(rest[1])
        elif rest[0] == "--ms":
            value = milliseconds(rest[1])
        elif rest[0] == "--bytes":
            value = size(rest[1])
        else:
            value = " ".join(rest)
        record(script, name, value)
        print(f"figure {name}: {value} (docs/figures.tsv)")
        return 0
    if arguments and arguments[0] == "check" and len(arguments) <= 2:
        readme_path = arguments[1] if len(arguments) == 2 else os.path.join(ROOT, "README.md")
        with open(readme_path, encoding="utf-8") as readme:
            found = problems(readme.read(), read_table(), script_source)
        for line in found:
            print(line, file=sys.stderr)
        return 1 if found else 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
