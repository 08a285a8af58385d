"""Every relative link in the README and the pages under docs/ leads somewhere: to a file that
exists and, where it names a heading, to a heading that file has.

    python3 tests/readme/links.py SOURCE_DIR
"""
import glob
import os
import re
import sys

LINK = re.compile(r"\]\(([^)\s]+)\)")


def anchor(heading):
    """The anchor a Markdown renderer gives a heading: lower case, punctuation dropped, spaces
    as hyphens."""
    return re.sub(r"[^\w\- ]", "", heading.strip().lower()).replace(" ", "-")


def anchors(text):
    found, fenced = set(), False
    for line in text.split("\n"):
        if line.startswith("```"):
            fenced = not fenced
        elif not fenced and line.startswith("#"):
            found.add(anchor(line.lstrip("#")))
    return found


def problems(page, text, read):
    """Broken links of one page; read(path) gives a file's text, or None when it does not exist."""
    found = []
    for match in LINK.finditer(text):
        link = match.group(1)
        if re.match(r"^[a-z]+:", link):
            continue
        path, _, heading = link.partition("#")
        target = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        content = read(target)
        if content is None:
            found.append(f"{page}: {link}: no such file")
        elif heading and target.endswith(".md") and heading not in anchors(content):
            found.append(f"{page}: {link}: no such heading")
    return found


def main(arguments):
    if len(arguments) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    os.chdir(arguments[0])

    def read(path):
        if not os.path.exists(path):
            return None
        if os.path.isdir(path) or not path.endswith(".md"):
            return ""
        with open(path, encoding="utf-8") as file:
            return file.read()

    found = []
    for page in ["README.md"] + sorted(glob.glob("docs/*.md")):
        found += problems(page, read(page), read)
    for line in found:
        print(line, file=sys.stderr)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
