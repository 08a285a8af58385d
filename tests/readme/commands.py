"""Runs the README's command blocks as a newcomer would, from a clone after the two commands.

    python3 tests/readme/commands.py SOURCE_DIR BUILD_DIR [PYTHON]

Every fenced block in `sh`, `bash` or `python` is either run or, when a long build stands in its
way, checked against what runs it elsewhere:

- A block with no marker runs for real, in order, in a scratch folder that stands for the clone:
  the source tree's files are linked into it and build/default is BUILD_DIR, so that paths are
  taken as the README writes them and every output lands in the scratch folder. Shell blocks run
  with bash -e; Python blocks with PYTHON and the built module on its path (skipped, and said so,
  in a build without the module).
- A block right after `<!--commands: as in FILE-->` is not run here: FILE must be a project file
  that continuous integration runs (.ci/run, a script .ci/run names, or a test under a tests/
  folder), and each command in the block must be run by it (its program or script named there).

The two commands, `bash scripts/test.sh` (what CI runs first) and `bash scripts/demo.sh`, must be
in one block within the README's first screen.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^```(\S*)\s*$")
MARKER = re.compile(r"^<!--commands: as in (\S+)-->$")
RUN = {"sh", "bash", "python"}
TIMEOUT = 60
FIRST_SCREEN = 40  # lines of the README's source that a first screen shows
TWO_COMMANDS = ("bash scripts/test.sh", "bash scripts/demo.sh")


def blocks(readme):
    """(line, language, text, covering file or None) for each fenced block."""
    found, lines, index = [], readme.split("\n"), 0
    while index < len(lines):
        opening = FENCE.match(lines[index])
        if not opening:
            index += 1
            continue
        start, language = index, opening.group(1)
        end = next(i for i in range(start + 1, len(lines)) if lines[i].startswith("```"))
        marker = MARKER.match(lines[start - 1]) if start else None
        found.append((start + 1, language, "\n".join(lines[start + 1:end]),
                      marker.group(1) if marker else None))
        index = end + 1
    return found


def first_screen_problems(found):
    """Whether a block within the first screen holds the two commands."""
    for line, _, text, _ in found:
        if line <= FIRST_SCREEN and all(command in text for command in TWO_COMMANDS):
            return []
    return [f"README: no block within its first {FIRST_SCREEN} lines holds " + " and ".join(TWO_COMMANDS)]


def commands(text):
    """The programs a shell block runs: one per simple command, comments, `cd` and variable
    assignments aside; `bash scripts/x.sh` counts as scripts/x.sh."""
    text = text.replace("\\\n", " ")
    programs = []
    for line in text.split("\n"):
        line = re.sub(r"(^|\s)#.*", "", line)
        for part in re.split(r"&&|\|\||;|\|", line):
            words = part.split()
            while words and re.match(r"^[A-Za-z_][A-Za-z0-9_]*=", words[0]):
                words = words[1:]
            if not words or words[0] == "cd":
                continue
            if words[0] in ("bash", "sh") and len(words) > 1:
                programs.append(words[1])
            else:
                programs.append(os.path.basename(words[0]))
    return programs


def coverage_problems(source, line, text, covering):
    """Why a marked block is not covered by what CI runs, if it is not."""
    path = os.path.join(source, covering)
    if not os.path.isfile(path):
        return [f"README line {line}: {covering} does not exist"]
    with open(os.path.join(source, ".ci", "run"), encoding="utf-8") as ci:
        ci_text = ci.read()
    ci_scripts = re.findall(r"^step bash (\S+)", ci_text, re.M)
    runs_in_ci = (covering == ".ci/run" or covering in ci_scripts
                  or "tests/" in covering.replace(os.sep, "/"))
    found = [] if runs_in_ci else [f"README line {line}: {covering} is not run by .ci/run"]
    with open(path, encoding="utf-8") as file:
        covering_text = file.read()
    for program in commands(text):
        if program not in covering_text:
            found.append(f"README line {line}: {covering} does not run {program}")
    return found


def scratch_clone(source, build, folder):
    """A folder that looks like the clone after the two commands: the tree's entries linked in,
    build/default the build tree, build/ otherwise empty."""
    for entry in os.listdir(source):
        if entry not in ("build", ".git"):
            os.symlink(os.path.join(source, entry), os.path.join(folder, entry))
    os.makedirs(os.path.join(folder, "build"))
    os.symlink(os.path.abspath(build), os.path.join(folder, "build", "default"))
    os.makedirs(os.path.join(folder, "home"))


def run(language, text, folder, build, python):
    environment = dict(os.environ, HOME=os.path.join(folder, "home"))
    if language == "python":
        environment["PYTHONPATH"] = os.path.join(os.path.abspath(build), "python")
        command = [python, "-c", text]
    else:
        command = ["bash", "-e", "-c", text]
    try:
        done = subprocess.run(command, cwd=folder, env=environment, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        return f"took more than {TIMEOUT} s"
    if done.returncode != 0:
        return f"exit status {done.returncode}\n{done.stdout}{done.stderr}"
    return None


def main(arguments):
    if len(arguments) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    source, build = os.path.abspath(arguments[0]), os.path.abspath(arguments[1])
    python = arguments[2] if len(arguments) == 3 else None
    with open(os.path.join(source, "README.md"), encoding="utf-8") as readme:
        found = blocks(readme.read())
    problems, ran = first_screen_problems(found), 0
    folder = tempfile.mkdtemp(prefix="vorn-readme-")
    try:
        scratch_clone(source, build, folder)
        for line, language, text, covering in found:
            if not language:
                problems.append(f"README line {line}: a block without a language")
            elif covering:
                problems += coverage_problems(source, line, text, covering)
            elif language == "python" and not python:
                print(f"README line {line}: the python block skipped: this build has no module")
            elif language in RUN:
                failure = run(language, text, folder, build, python)
                ran += 1
                if failure:
                    problems.append(f"README line {line}: the {language} block failed: {failure}")
    finally:
        shutil.rmtree(folder)
    for problem in problems:
        print(problem, file=sys.stderr)
    print(f"{len(found)} blocks: {ran} run, {sum(1 for b in found if b[3])} checked against CI")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
