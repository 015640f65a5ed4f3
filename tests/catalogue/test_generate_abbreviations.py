"""The abbreviation generator: where an abbreviation stands in a name, and what it refuses.

Usage: test_generate_abbreviations.py path/to/generate_abbreviations.py
"""

import importlib.util
import pathlib
import sys
import unittest

GENERATOR_PATH = pathlib.Path(sys.argv.pop(1) if len(sys.argv) > 1 else
                              pathlib.Path(__file__).parents[2] / "catalogue" /
                              "generate_abbreviations.py")
loader_spec = importlib.util.spec_from_file_location("generate_abbreviations", GENERATOR_PATH)
gen = importlib.util.module_from_spec(loader_spec)
loader_spec.loader.exec_module(gen)

ROWS = [("Gt.", "guitar"), ("str.", "strings"), ("E.", "electric"), ("Org", "organ")]
NAMES = ["Nylon-str.Gt.", "StlGt.", "E.Piano 1", "Dance", "Org Bass", "Organ 1"]


class Occurrences(unittest.TestCase):
    CASES = [
        ("Gt.", "Nylon-str.Gt.", True),   # after a dot
        ("Gt.", "StlGt.", True),          # where a capital starts a word inside a run
        ("Gt.", "Dist.GT.UpNoise", True),  # in any case
        ("str.", "Nylonstr.Gt.", True),   # written in lower case: glued to the word before
        ("E.", "E.Piano", True),
        ("E.", "Dance", False),           # one letter: only with its dot
        ("E.", "E Piano", False),
        ("Org", "Org Bass", True),
        ("Org", "Organ 1", False),        # a word that merely begins so
    ]

    def test_where_an_abbreviation_stands(self):
        for written, name, expected in self.CASES:
            with self.subTest(f"{written} in {name}"):
                self.assertEqual(bool(gen.occurrences(written, name)), expected)


class Check(unittest.TestCase):
    def test_counts_the_names_using_each_row(self):
        self.assertEqual(gen.check(ROWS, NAMES), [("Gt.", "guitar", 2), ("str.", "strings", 1),
                                                  ("E.", "electric", 1), ("Org", "organ", 1)])

    def test_refuses(self):
        bad = {
            "a dotted short form without a row": (ROWS, NAMES + ["Clav. 2"]),
            "a row no name uses": (ROWS + [("Brs.", "brass")], NAMES),
        }
        for what, (rows, names) in bad.items():
            with self.subTest(what), self.assertRaises(gen.ListError):
                gen.check(rows, names)

    def test_an_ellipsis_is_no_abbreviation(self):
        self.assertEqual(len(gen.check(ROWS, NAMES + ["Calculating..."])), len(ROWS))

    def test_reads_rows_strictly(self):
        for text in ["abbr\tword\n", "abbreviation\tword\nGt.\n", "abbreviation\tword\nG t.\tx\n",
                     "abbreviation\tword\nGt.\tGuitar\n", "abbreviation\tword\nGt.\tguitar\nGt.\tguitar\n"]:
            with self.subTest(text), self.assertRaises(gen.ListError):
                gen.read_rows(text)


if __name__ == "__main__":
    unittest.main()
