"""The tone-list generator: what it accepts and what it refuses.

Usage: test_generate_tone_names.py path/to/generate_tone_names.py
"""

import contextlib
import importlib.util
import io
import pathlib
import sys
import tempfile
import unittest

GENERATOR_PATH = pathlib.Path(sys.argv.pop(1) if len(sys.argv) > 1 else
                              pathlib.Path(__file__).parents[2] / "catalogue" /
                              "generate_tone_names.py")
loader_spec = importlib.util.spec_from_file_location("generate_tone_names", GENERATOR_PATH)
gen = importlib.util.module_from_spec(loader_spec)
loader_spec.loader.exec_module(gen)

DASH = " \u2014 "


def tone_list(first_line="1" + DASH + "0: Tone 1 [0-4]"):
    """A complete list: the given line for program 1, one plain bank-0 name for the others."""
    lines = ["# a comment", first_line]
    lines += [f"{p}{DASH}0: Tone {p} [0-4]" for p in range(2, 129)]
    return "\n".join(lines) + "\n"


class Accepts(unittest.TestCase):
    def test_names_maps_and_banks(self):
        stores = gen.parse_list(tone_list(
            "1" + DASH + "0: Dist. Gt.2: [0,3-4], X'mas  Bells& [1]; 9: Perc. Hit [2,4]"))
        program_one = [s for s in stores if s[0] == 1]
        self.assertEqual(program_one, [
            (1, 0, 0, "Dist. Gt.2:"), (1, 0, 3, "Dist. Gt.2:"), (1, 0, 4, "Dist. Gt.2:"),
            (1, 0, 1, "X'mas  Bells&"), (1, 9, 2, "Perc. Hit"), (1, 9, 4, "Perc. Hit")])
        self.assertEqual(len(stores), 6 + 127 * 5)

    def test_rendered_store(self):
        text = gen.render([(39, 32, 4, "Hit and Saw  Bass")])
        self.assertIn('  ToneNames[At(39, 32, 4)] = "Hit and Saw  Bass"sv;\n', text)

    def test_the_committed_list(self):
        stores = gen.parse_list((GENERATOR_PATH.parent / "tone_list.txt").read_text("utf-8"))
        self.assertEqual(len(stores), 2989)


class Refuses(unittest.TestCase):
    BAD_FIRST_LINES = {
        "no dash": "1 - 0: A [0]",
        "map too high": "1" + DASH + "0: A [5]",
        "descending range": "1" + DASH + "0: A [3-1]",
        "empty maps": "1" + DASH + "0: A []",
        "leading zero": "1" + DASH + "0: A [01]",
        "map twice in one name": "1" + DASH + "0: A [0,0]",
        "entry named twice": "1" + DASH + "0: A [0-4], B [4]",
        "banks out of order": "1" + DASH + "8: A [0]; 0: B [1]",
        "bank twice": "1" + DASH + "0: A [0]; 0: B [1]",
        "bank out of range": "1" + DASH + "128: A [1]",
        "no maps": "1" + DASH + "0: A",
        "comma without space": "1" + DASH + "0: A [0],B [1]",
        "leading space": "1" + DASH + "0:  A [0]",
        "trailing space": "1" + DASH + "0: A  [0]",
        "empty name": "1" + DASH + "0:  [0]",
        "quote in name": "1" + DASH + '0: A"B [0]',
        "carriage return": "1" + DASH + "0: A [0]\r",
        "no banks": "1" + DASH,
        "wrong program": "2" + DASH + "0: A [0]",
    }

    def test_malformed_lines(self):
        for what, line in self.BAD_FIRST_LINES.items():
            with self.subTest(what), self.assertRaisesRegex(gen.ListError, r"^line 2: "):
                gen.parse_list(tone_list(line))

    def test_missing_and_extra_programs(self):
        lines = tone_list().splitlines()
        for what, text in {
            "missing program": "\n".join(lines[:5] + lines[6:]),
            "list cut short": "\n".join(lines[:-1]),
            "extra program": "\n".join(lines + ["129" + DASH + "0: A [0]"]),
        }.items():
            with self.subTest(what), self.assertRaises(gen.ListError):
                gen.parse_list(text)

    def test_main_reports_and_writes_nothing(self):
        with tempfile.TemporaryDirectory() as folder:
            listed = pathlib.Path(folder, "list.txt")
            listed.write_text(tone_list("1" + DASH + "0: A [7]"), encoding="utf-8")
            output = pathlib.Path(folder, "fill.cpp")
            errors = io.StringIO()
            with contextlib.redirect_stderr(errors):
                status = gen.main(["--list", str(listed), "--output", str(output)])
            self.assertEqual(status, 1)
            self.assertIn("line 2: map 7 is outside 0..4", errors.getvalue())
            self.assertFalse(output.exists())


if __name__ == "__main__":
    unittest.main()
