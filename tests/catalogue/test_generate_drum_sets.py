"""The drum-set generator: what it accepts and what it refuses.

Usage: test_generate_drum_sets.py path/to/generate_drum_sets.py
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
                              "generate_drum_sets.py")
loader_spec = importlib.util.spec_from_file_location("generate_drum_sets", GENERATOR_PATH)
gen = importlib.util.module_from_spec(loader_spec)
loader_spec.loader.exec_module(gen)

SETS = "map\tprogram\tname\n0\t1\tSTANDARD\n4\t26\tTR-808\n"
KEYS = "map\tprogram\tnote\tname\n0\t1\t35\tKick\n0\t1\t36\tKick 2\n4\t26\t36\tTR-808 Kick 1\n"


class Accepts(unittest.TestCase):
    def test_sets_with_their_keys_rendered(self):
        sets = gen.parse(SETS, KEYS)
        self.assertEqual(sets, [(0, 1, "STANDARD", [(35, "Kick"), (36, "Kick 2")]),
                                (4, 26, "TR-808", [(36, "TR-808 Kick 1")])])
        text = gen.render(sets)
        self.assertIn('    {36, "TR-808 Kick 1"sv},\n', text)
        self.assertIn('    {4, 26, "TR-808"sv, 2, 1},\n', text)


class Refuses(unittest.TestCase):
    BAD = {
        "set out of order": (SETS + "0\t2\tLATE\n", KEYS),
        "set twice": (SETS + "4\t26\tAGAIN\n", KEYS),
        "map too high": (SETS.replace("4\t26", "5\t26"), KEYS.replace("4\t26", "5\t26")),
        "program 0": (SETS.replace("4\t26", "4\t0"), KEYS.replace("4\t26", "4\t0")),
        "key of no set": (SETS, KEYS + "3\t1\t40\tSnare\n"),
        "keys out of order": (SETS, KEYS.replace("35\tKick", "37\tKick")),
        "note too high": (SETS, KEYS.replace("4\t26\t36", "4\t26\t128")),
        "set without keys": (SETS + "4\t27\tEMPTY\n", KEYS),
        "missing field": (SETS, KEYS + "4\t26\t40\n"),
        "trailing space": (SETS, KEYS.replace("Kick 2", "Kick 2 ")),
        "odd character": (SETS, KEYS.replace("Kick 2", "Kick\u00e92")),
        "wrong header": (SETS.replace("name", "title"), KEYS),
        "carriage return": (SETS.replace("\n", "\r\n"), KEYS),
    }

    def test_malformed_rows(self):
        for what, (sets, keys) in self.BAD.items():
            with self.subTest(what), self.assertRaises(gen.ListError):
                gen.parse(sets, keys)

    def test_main_reports_and_writes_nothing(self):
        with tempfile.TemporaryDirectory() as folder:
            pathlib.Path(folder, "drum_sets.tsv").write_text(SETS, encoding="ascii")
            pathlib.Path(folder, "drum_keys.tsv").write_text(KEYS + "0\t1\t20\tLow\n",
                                                             encoding="ascii")
            output = pathlib.Path(folder, "table.cpp")
            errors = io.StringIO()
            with contextlib.redirect_stderr(errors):
                status = gen.main(["--data", folder, "--output", str(output)])
            self.assertEqual(status, 1)
            self.assertIn("drum_keys.tsv line 5: note 20", errors.getvalue())
            self.assertFalse(output.exists())


if __name__ == "__main__":
    unittest.main()
