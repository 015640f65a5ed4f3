"""`kalvora --export-instruments DIR`, run as a user runs it (no display, no sound server), and its
files read back with readers of their own: xmllint and Python's XML parser for the MIDNAM documents,
a small parser here for the .ins file. What they list is checked against the catalogue's sources
(the tone list and the drum-set tables), not against the program's compiled tables.

Usage: test_export_instruments.py path/to/kalvora path/to/catalogue
"""

import importlib.util
import os
import pathlib
import pwd
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

PROGRAM = pathlib.Path(sys.argv.pop(1))
CATALOGUE = pathlib.Path(sys.argv.pop(1))
MAPS = ["GM", "SC-55", "SC-88", "SC-88Pro", "SC-8850"]
RHYTHM_CHANNEL = 10


def load(name):
    found = importlib.util.spec_from_file_location(name, CATALOGUE / f"{name}.py")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


TONES = load("generate_tone_names").parse_list((CATALOGUE / "tone_list.txt").read_text())
DRUM_SETS = load("generate_drum_sets").parse((CATALOGUE / "drum_sets.tsv").read_text(),
                                             (CATALOGUE / "drum_keys.tsv").read_text())


def expected_tones(map_index):
    """{(bank select MSB, LSB, program change): name} of every tone the map names."""
    return {(bank, map_index, program - 1): name
            for program, bank, m, name in TONES if m == map_index}


def expected_sets(map_index):
    """{(MSB, LSB, program change): (name, {note: key name})} of the map's drum sets."""
    return {(0, map_index, program - 1): (name, dict(keys))
            for m, program, name, keys in DRUM_SETS if m == map_index}


def export(folder, as_user=None, file_size_limit=None):
    """Runs the export without a display or a sound server; returns (status, stderr)."""
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "PULSE_SERVER",
                        "JACK_DEFAULT_SERVER", "XDG_RUNTIME_DIR")}

    def limits():
        if file_size_limit is not None:
            # A write past the limit then fails as on a full disk, instead of ending the process.
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (file_size_limit, file_size_limit))
        if as_user is not None:
            os.setgid(as_user.pw_gid)
            os.setgroups([])
            os.setuid(as_user.pw_uid)

    run = subprocess.run([str(PROGRAM), "--export-instruments", str(folder)], env=env,
                         capture_output=True, text=True, timeout=30, preexec_fn=limits)
    return run.returncode, run.stderr


def read_midnam(path):
    """{channel set name: {(MSB, LSB, program change): (name, note list name)}}, note lists."""
    root = ET.parse(path).getroot()
    device = root.find("MasterDeviceNames")
    sets = {}
    for name_set in device.findall("ChannelNameSet"):
        patches = {}
        for bank in name_set.findall("PatchBank"):
            controls = {int(c.get("Control")): int(c.get("Value"))
                        for c in bank.find("MIDICommands").findall("ControlChange")}
            for patch in bank.find("PatchNameList").findall("Patch"):
                key = (controls[0], controls[32], int(patch.get("ProgramChange")))
                uses = patch.find("UsesNoteNameList")
                patches[key] = (patch.get("Name"), uses.get("Name") if uses is not None else None)
        sets[name_set.get("Name")] = patches
    notes = {lst.get("Name"): {int(n.get("Number")): n.get("Name") for n in lst.findall("Note")}
             for lst in device.findall("NoteNameList")}
    assigned = {int(a.get("Channel")): a.get("NameSet")
                for a in device.iter("ChannelNameSetAssign")}
    return sets, notes, assigned


def read_ins(path):
    """{part: {section: {key: value}}} of an instrument-definition file."""
    parts, part, section = {}, None, None
    for line in path.read_bytes().decode("ascii").split("\r\n"):
        if not line or line.startswith(";"):
            continue
        if line.startswith("."):
            part = parts.setdefault(line, {})
        elif line.startswith("[") and line.endswith("]"):
            section = part.setdefault(line[1:-1], {})
        else:
            key, _, value = line.partition("=")
            section[key] = value
    return parts


class Export(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.TemporaryDirectory()
        cls.folder = pathlib.Path(cls.temp.name) / "new" / "folder"
        cls.status, cls.stderr = export(cls.folder)

    @classmethod
    def tearDownClass(cls):
        cls.temp.cleanup()

    def test_writes_one_midnam_per_map_and_one_ins_without_a_display(self):
        self.assertEqual((self.status, self.stderr), (0, ""))
        self.assertEqual(sorted(p.name for p in self.folder.iterdir()),
                         sorted([f"kalvora-{m}.midnam" for m in MAPS] + ["kalvora.ins"]))

    def test_midnam_documents_are_well_formed_and_list_every_tone_set_and_key(self):
        for map_index, map_name in enumerate(MAPS):
            with self.subTest(map=map_name):
                path = self.folder / f"kalvora-{map_name}.midnam"
                lint = subprocess.run(["xmllint", "--noout", "--nonet", str(path)],
                                      capture_output=True, text=True)
                self.assertEqual(lint.returncode, 0, lint.stderr)
                sets, notes, assigned = read_midnam(path)
                tones = {k: name for k, (name, _) in sets["Tones"].items()}
                self.assertEqual(tones, expected_tones(map_index))
                drums = {k: (name, notes[uses]) for k, (name, uses) in sets["Drum sets"].items()}
                self.assertEqual(drums, expected_sets(map_index))
                self.assertEqual(assigned[RHYTHM_CHANNEL], "Drum sets")
                self.assertEqual({c for c, s in assigned.items() if s == "Tones"},
                                 set(range(1, 17)) - {RHYTHM_CHANNEL})

    def test_ins_file_lists_the_same_tones_sets_and_keys(self):
        ins = read_ins(self.folder / "kalvora.ins")
        lists, keys = ins[".Patch Names"], ins[".Note Names"]
        definitions = ins[".Instrument Definitions"]
        for map_index, map_name in enumerate(MAPS):
            with self.subTest(map=map_name):
                tones = definitions[f"Kalvora {map_name}"]
                self.assertEqual(tones["BankSelMethod"], "0")
                found = {}
                for key, list_name in tones.items():
                    if key.startswith("Patch["):
                        bank = int(key[6:-1])
                        for program, name in lists[list_name].items():
                            found[(bank // 128, bank % 128, int(program))] = name
                self.assertEqual(found, expected_tones(map_index))
                drums = definitions[f"Kalvora {map_name} drum sets"]
                found = {}
                for key, value in drums.items():
                    if key.startswith("Key["):
                        bank, program = (int(n) for n in key[4:-1].split(","))
                        self.assertEqual(drums[f"Drum[{bank},{program}]"], "1")
                        set_list = lists[drums[f"Patch[{bank}]"]]
                        found[(bank // 128, bank % 128, program)] = (
                            set_list[str(program)],
                            {int(note): name for note, name in keys[value].items()})
                self.assertEqual(found, expected_sets(map_index))


class Refusals(unittest.TestCase):
    """A folder that cannot be had: one line on stderr, status 1, and no file half written."""

    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.root = pathlib.Path(self.temp.name)

    def tearDown(self):
        self.temp.cleanup()

    def assertRefused(self, status, stderr):
        self.assertEqual(status, 1)
        self.assertEqual(len(stderr.splitlines()), 1, stderr)
        self.assertTrue(stderr.startswith("kalvora: "), stderr)

    def test_a_folder_that_is_a_file(self):
        target = self.root / "taken"
        target.write_text("mine")
        self.assertRefused(*export(target))
        self.assertEqual(target.read_text(), "mine")

    def test_a_full_disk_leaves_no_part_of_a_file(self):
        folder = self.root / "out"
        self.assertRefused(*export(folder, file_size_limit=4096))
        self.assertEqual(list(folder.iterdir()), [])

    def test_a_folder_the_user_may_not_write(self):
        if os.geteuid() != 0:
            self.skipTest("needs root to run the program as another user")
        folder = self.root / "locked"
        folder.mkdir(mode=0o555)
        os.chmod(self.root, 0o755)
        self.assertRefused(*export(folder, as_user=pwd.getpwnam("nobody")))
        self.assertEqual(list(folder.iterdir()), [])


class Help(unittest.TestCase):
    def test_lists_the_option(self):
        run = subprocess.run([str(PROGRAM), "--help"], capture_output=True, text=True, timeout=30)
        self.assertEqual(run.returncode, 0)
        self.assertIn("--export-instruments DIR", run.stdout)


if __name__ == "__main__":
    unittest.main()
