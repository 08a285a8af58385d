"""The README checks on known cases: what the figure check reports, how figures are written, and
how the command runner reads blocks and the programs they run."""
import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
sys.path.insert(0, HERE)
import commands  # noqa: E402
import figures  # noqa: E402
import links  # noqa: E402

FIGURES = {"demo-first-run": ("100 s", "scripts/demo.sh")}
SCRIPTS = {"scripts/demo.sh": "figures.py record scripts/demo.sh demo-first-run --seconds 1"}


class FigureCheck(unittest.TestCase):
    def test_cases(self):
        cases = [
            ("the marked figure equals the record", "takes <!--figure:demo-first-run-->100 s<!--/figure-->", []),
            ("a stale figure", "takes <!--figure:demo-first-run-->40 s<!--/figure-->",
             ["README line 1: demo-first-run shows '40 s', scripts/demo.sh measured '100 s'"]),
            ("a figure nobody records", "<!--figure:speed-->3 ms<!--/figure-->",
             ["README line 1: speed is no recorded figure"]),
            ("a measurement outside markers, prose or code", "text\n```sh\nx  # about 40 s\n```\n1.45 MB here",
             ["README line 3: '40 s' is not a marked figure", "README line 5: '1.45 MB' is not a marked figure"]),
            ("numbers that are no measurement", "512 x 512, vornhold2, 24-bit BMP, 1920×1080, 18 photographs", []),
        ]
        for title, readme, expected in cases:
            with self.subTest(title):
                self.assertEqual(figures.problems(readme, FIGURES, SCRIPTS.get), expected)

    def test_a_record_must_name_a_script_that_makes_it(self):
        found = figures.problems("", {"a": ("1 s", "scripts/gone.sh"), "b": ("2 s", "scripts/demo.sh")},
                                 SCRIPTS.get)
        self.assertEqual(found, ["a: its script scripts/gone.sh does not exist",
                                 "b: scripts/demo.sh does not record it"])

    def test_values_are_written_as_the_readme_says_them(self):
        cases = [(figures.duration, 104, "100 s"), (figures.duration, 3, "10 s"),
                 (figures.duration, 1680, "28 minutes"), (figures.milliseconds, 144.4, "140 ms"),
                 (figures.milliseconds, 1690, "1.7 s"), (figures.size, 1528917, "1.46 MiB"),
                 (figures.size, 2048, "2.00 KiB")]
        for write, value, shown in cases:
            with self.subTest(f"{write.__name__}({value})"):
                self.assertEqual(write(value), shown)

    def test_recording_replaces_one_figure_and_keeps_the_rest(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "figures.tsv")
            figures.record("scripts/web.sh", "wasm-size", "1.40 MiB", path)
            figures.record("scripts/demo.sh", "demo-first-run", "100 s", path)
            figures.record("scripts/web.sh", "wasm-size", "1.46 MiB", path)
            self.assertEqual(figures.read_table(path), {"demo-first-run": ("100 s", "scripts/demo.sh"),
                                                        "wasm-size": ("1.46 MiB", "scripts/web.sh")})


class CommandBlocks(unittest.TestCase):
    def test_blocks_and_their_markers(self):
        readme = "a\n```sh\nls\n```\n<!--commands: as in .ci/run-->\n```bash\nbash scripts/test.sh\n```\n```c\nx\n```"
        self.assertEqual(commands.blocks(readme), [(2, "sh", "ls", None),
                                                   (6, "bash", "bash scripts/test.sh", ".ci/run"),
                                                   (9, "c", "x", None)])

    def test_the_two_commands_on_the_first_screen(self):
        two = "bash scripts/demo.sh\nbash scripts/test.sh"
        missing = ["README: no block within its first 40 lines holds bash scripts/test.sh and "
                   "bash scripts/demo.sh"]
        cases = [("early", [(20, "sh", two, ".ci/run")], []),
                 ("too late", [(20, "sh", "ls", None), (41, "sh", two, None)], missing),
                 ("one of them", [(5, "sh", "bash scripts/test.sh", None)], missing)]
        for title, found, expected in cases:
            with self.subTest(title):
                self.assertEqual(commands.first_screen_problems(found), expected)

    def test_a_marked_block_must_be_run_by_what_ci_runs(self):
        with tempfile.TemporaryDirectory() as source:
            for name, text in ((".ci/run", "step bash scripts/demo.sh\n"),
                               ("scripts/demo.sh", '"$folder/vornhold2" Main.bmp\n'),
                               ("scripts/other.sh", "vornhold2\n"), ("tests/x/install_test.sh", "cmake --install\n")):
                os.makedirs(os.path.dirname(os.path.join(source, name)), exist_ok=True)
                with open(os.path.join(source, name), "w") as file:
                    file.write(text)
            cases = [
                ("a script CI runs", "scripts/demo.sh", "cd demo\n./vornhold2 Main.bmp", []),
                ("a test", "tests/x/install_test.sh", "cmake --install build", []),
                ("CI itself", ".ci/run", "bash scripts/demo.sh", []),
                ("a program the file does not run", "scripts/demo.sh", "./vornlens Coded.bmp",
                 ["README line 7: scripts/demo.sh does not run vornlens"]),
                ("a script CI does not run", "scripts/other.sh", "./vornhold2",
                 ["README line 7: scripts/other.sh is not run by .ci/run"]),
                ("no such file", "scripts/gone.sh", "ls", ["README line 7: scripts/gone.sh does not exist"]),
            ]
            for title, covering, text, expected in cases:
                with self.subTest(title):
                    self.assertEqual(commands.coverage_problems(source, 7, text, covering), expected)

    def test_the_programs_a_block_runs(self):
        cases = [
            ("scripts by path", "bash scripts/demo.sh    # the demo\nbash scripts/test.sh",
             ["scripts/demo.sh", "scripts/test.sh"]),
            ("cd and assignments aside", "cd build/programs/demo\nbin=$PWD/x ./vornhold2 Main.bmp", ["vornhold2"]),
            ("chains, pipes and continued lines", "printf 'a' | $vorn encode \\\n  -o x && ./hide; ldconfig",
             ["printf", "$vorn", "hide", "ldconfig"]),
        ]
        for title, text, expected in cases:
            with self.subTest(title):
                self.assertEqual(commands.commands(text), expected)


class Links(unittest.TestCase):
    def test_cases(self):
        files = {"README.md": "", "engine/vorn.h": "x",
                 "docs/forms.md": "# Forms\n\n## Three forms, side by side\n```sh\n# not a heading\n```"}
        cases = [
            ("a page, a heading, a source file, the web", "[a](docs/forms.md#three-forms-side-by-side) "
             "[b](engine/vorn.h) [c](https://example.org/x)", []),
            ("a missing page", "[a](docs/gone.md)", ["README.md: docs/gone.md: no such file"]),
            ("a missing heading", "[a](docs/forms.md#benchmark) [b](docs/forms.md#not-a-heading)",
             ["README.md: docs/forms.md#benchmark: no such heading",
              "README.md: docs/forms.md#not-a-heading: no such heading"]),
        ]
        for title, text, expected in cases:
            with self.subTest(title):
                self.assertEqual(links.problems("README.md", text, files.get), expected)

    def test_a_link_from_a_page_under_docs_is_taken_from_there(self):
        files = {"docs/forms.md": "", "samples/SOURCES.md": ""}
        self.assertEqual(links.problems("docs/forms.md", "[s](../samples/SOURCES.md) [f](forms.md)", files.get), [])


if __name__ == "__main__":
    unittest.main()
