"""Tests of the lumera module, run by ctest with the module's folder on PYTHONPATH.

LUMERA_EXPLAIN names the lumera-explain program and LUMERA_SAMPLE the bundled example
stream, against which explain() is compared. LUMERA_EXECUTABLES is a folder of small
PE files that hold the example as IDR_LUMERA.
"""

import json
import os
import re
import subprocess
import threading
import unittest

import lumera

TEXT = b"".join(b'<a id="%d">item %d</a>\n' % (i, i % 7) for i in range(300))


def read(path):
    with open(path, "rb") as f:
        return f.read()


class RoundTrip(unittest.TestCase):
    def test_every_buffer_type_and_level(self):
        for level in (1, 9):
            for data in (TEXT, bytearray(TEXT), memoryview(TEXT), b""):
                with self.subTest(level=level, type=type(data).__name__, size=len(data)):
                    packed = lumera.compress(data, level=level)
                    self.assertIsInstance(packed, bytes)
                    self.assertEqual(lumera.decompress(packed), bytes(data))
                    self.assertEqual(lumera.decompress(memoryview(bytearray(packed))), bytes(data))

    def test_threads_run_side_by_side(self):
        results = [None] * 4

        def work(i):
            results[i] = lumera.decompress(lumera.compress(TEXT))

        threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(results, [TEXT] * 4)

    def test_version_and_non_buffers(self):
        self.assertRegex(lumera.__version__, r"^\d+\.\d+\.\d+$")
        with self.assertRaises(TypeError):
            lumera.decompress("not bytes")


class Errors(unittest.TestCase):
    def test_corrupt_stream_says_where_decoding_stopped(self):
        packed = bytearray(lumera.compress(TEXT))
        del packed[len(packed) // 2 :]
        with self.assertRaises(lumera.LumeraError) as raised:
            lumera.decompress(packed)
        e = raised.exception
        self.assertEqual(e.kind, "InvalidStream")
        self.assertEqual(e.class_name, "Exception")
        self.assertTrue(e.message)
        self.assertGreater(e.out_offset, 0)
        self.assertLessEqual(e.source_offset, len(packed))
        self.assertIsNone(e.input_offset)

    def test_an_early_end_is_damage_unless_trailing_bytes_are_allowed(self):
        packed = lumera.compress(TEXT)
        self.assertEqual(lumera.decompress(packed + b"123"), TEXT)
        for stream in (packed + b"1234", packed + packed):
            with self.subTest(size=len(stream)):
                with self.assertRaises(lumera.LumeraError) as raised:
                    lumera.decompress(stream)
                e = raised.exception
                unused = len(stream) - len(packed)
                self.assertEqual((e.kind, e.out_offset), ("InvalidStream", len(TEXT)))
                self.assertLessEqual(e.source_offset, len(packed))
                self.assertIn("%d source bytes left unused" % unused, str(e))
                self.assertEqual(lumera.decompress(stream, allow_trailing=True), TEXT)

    def test_the_damaged_xkb_rules_are_refused(self):
        rules = "/usr/share/X11/xkb/rules/base.xml"
        if not os.path.exists(rules):
            self.skipTest(rules + " (xkb-data) is missing")
        damaged = bytearray(lumera.compress(read(rules), level=9))
        damaged[5922] ^= 0xFF
        with self.assertRaisesRegex(lumera.LumeraError, "damaged, or other data follows it"):
            lumera.decompress(damaged)
        self.assertEqual(len(lumera.decompress(damaged, allow_trailing=True)), 69720)

    def test_short_stream_and_output_limit(self):
        with self.assertRaises(lumera.LumeraError) as raised:
            lumera.decompress(b"\0\0\0")
        self.assertEqual(raised.exception.message, "Too short source stream, min length is 8 bytes.")
        with self.assertRaises(lumera.LumeraError) as raised:
            lumera.decompress(lumera.compress(TEXT), max_output=100)
        self.assertEqual(raised.exception.kind, "OutputLimit")

    def test_max_output_has_the_command_lines_bounds(self):
        packed = lumera.compress(TEXT)
        for call in (lumera.decompress, lumera.explain):
            self.assertTrue(call(packed, max_output=2**31 - 1))
            for bound, words in ((2**31, "max_output 2147483648 is past the ceiling of 2147483647 bytes"),
                                 (2**40, "max_output 1099511627776 is past the ceiling"),
                                 (-1, "max_output wants a byte count")):
                with self.subTest(call=call.__name__, bound=bound):
                    with self.assertRaisesRegex(ValueError, "^" + re.escape(words)):
                        call(packed, max_output=bound)
            with self.assertRaises(TypeError):
                call(packed, max_output=1.5)

    def test_not_an_executable(self):
        with self.assertRaises(lumera.LumeraError) as raised:
            lumera.list_resources(b"plain text, no headers")
        self.assertEqual(raised.exception.kind, "BadExecutable")
        with self.assertRaises(lumera.LumeraError):
            lumera.find_resource(b"MZ")


class Resources(unittest.TestCase):
    def read(self, name):
        return read(os.path.join(os.environ["LUMERA_EXECUTABLES"], name))

    def test_the_example_comes_back_out_of_an_executable(self):
        with open(os.environ["LUMERA_SAMPLE"], "rb") as f:
            sample = f.read()
        exe = self.read("lumera64.exe")
        self.assertEqual(lumera.find_resource(exe), sample)
        self.assertEqual(lumera.find_resource(memoryview(exe), name="idr_lumera", type=10), sample)
        listed = [r for r in lumera.list_resources(bytearray(exe)) if r["name"] == "IDR_LUMERA"]
        self.assertEqual(len(listed), 1)
        self.assertEqual((listed[0]["type"], listed[0]["size"], listed[0]["error"]),
                         ("RT_RCDATA", len(sample), None))
        self.assertEqual(lumera.decompress(lumera.find_resource(exe))[:5], b"<?xml")

    def test_a_type_is_a_number_or_a_name(self):
        folder = os.path.dirname(os.environ["LUMERA_SAMPLE"])
        sample, reference = (read(os.path.join(folder, f)) for f in ("sample.lum", "dec.xml"))
        exe = self.read("mixed.exe")
        for name, type_, want in (("IDR_LUMERA", 10, sample), ("idr_lumera", "rcdata", sample),
                                  ("readme", "DOCS", reference), ("#1", "MANIFEST", reference)):
            with self.subTest(name=name, type=type_):
                self.assertEqual(lumera.find_resource(exe, name, type_), want)
                self.assertEqual(lumera.find_resource_with_language(exe, name, type=type_), (want, 1033))
        for type_, error in ((70000, ValueError), (True, TypeError), (None, TypeError),
                             ("NOSUCH", lumera.LumeraError)):
            with self.subTest(type=type_), self.assertRaises(error):
                lumera.find_resource(exe, type=type_)

    def test_a_language_is_picked_or_refused(self):
        exe = self.read("languages.exe")
        languages = [r["language"] for r in lumera.list_resources(exe) if r["name"] == "IDR_LUMERA"]
        self.assertGreater(len(languages), 1)
        self.assertEqual(lumera.find_resource_with_language(exe)[1], languages[0])
        for language in languages:
            data, taken = lumera.find_resource_with_language(exe, language=language)
            self.assertEqual((data, taken), (lumera.find_resource(exe, language=language), language))
        with self.assertRaises(lumera.LumeraError) as raised:
            lumera.find_resource(exe, language=max(languages) + 1)
        self.assertEqual(raised.exception.kind, "BadExecutable")

    def test_a_resource_is_replaced_by_text_or_a_stream_of_any_size(self):
        exe = self.read("lumera64.exe")
        for grown in (lumera.replace_resource(exe, TEXT * 20, level=9),
                      lumera.replace_resource(bytearray(exe), lumera.compress(TEXT * 20),
                                              name="idr_lumera", type="rcdata")):
            self.assertGreater(len(grown), len(exe))
            self.assertEqual(lumera.decompress(lumera.find_resource(grown)), TEXT * 20)
        for stream, kind in ((TEXT, "InvalidStream"), (lumera.compress(TEXT), "BadExecutable")):
            with self.assertRaises(lumera.LumeraError) as raised:
                lumera.replace_resource(b"MZ" if kind == "BadExecutable" else exe, stream)
            self.assertEqual(raised.exception.kind, kind)


class Explain(unittest.TestCase):
    def test_events_equal_the_explorers_json(self):
        sample = os.environ["LUMERA_SAMPLE"]
        with open(sample, "rb") as f:
            stream = f.read()
        lines = subprocess.run(
            [os.environ["LUMERA_EXPLAIN"], "--json", sample],
            check=True, capture_output=True, text=True,
        ).stdout.splitlines()
        records = list(map(json.loads, lines))
        expected = [e for e in records if e["type"] in ("literal", "repeat", "end")]
        events = lumera.explain(stream)
        summary = records[-1]
        self.assertEqual(events[-1].pop("tail"), {
            "code": int(summary["tail_code"], 16), "bits_taken": summary["bits_taken"],
            "unused_bit_count": summary["tail_unused_bit_count"],
            "unused_bits": int(summary["tail_unused_bits"], 16),
            "bytes": bytes.fromhex(summary["tail_bytes"]),
            "code_left_share": summary["code_left_share"]})
        self.assertEqual(len(events), len(expected))
        for got, want in zip(events, expected):
            self.assertEqual(set(got), set(want))
            self.assertAlmostEqual(got.pop("info"), want.pop("info"), delta=1e-4)
            self.assertEqual(got, want)


class PackEvents(unittest.TestCase):
    def test_explained_events_come_back_byte_for_byte(self):
        with open(os.environ["LUMERA_SAMPLE"], "rb") as f:
            sample = f.read()
        for stream in (sample, lumera.compress(TEXT), lumera.compress(TEXT, level=9),
                       lumera.compress(b"") + b"\x01\x02\x03"):
            with self.subTest(size=len(stream)):
                self.assertEqual(lumera.pack_events(lumera.explain(stream)), stream)

    def test_only_the_choices_count(self):
        events = lumera.explain(lumera.compress(TEXT))
        held = next(e for e in events if e["type"] == "literal" and e["depth"] and not e["escaped"])
        held["escaped"] = True
        for e in events:
            e.update(out=-1, bits="x", depth=None, info=0.5, **({"from": 7} if "from" in e else {}))
        del events[-1]["tail"]
        edited = lumera.pack_events(events)
        self.assertEqual(lumera.decompress(edited), TEXT)
        self.assertGreater(sum(e["bits"] for e in lumera.explain(edited)),
                           sum(e["bits"] for e in lumera.explain(lumera.compress(TEXT))))

    def test_refusals_name_the_event(self):
        a = {"type": "literal", "byte": 97, "escaped": False}
        end = {"type": "end"}
        for events, index, words in (
                ([a, a, end], 1, "the context table does not hold the byte"),
                ([a, end, a], 2, "the end marker has been coded already"),
                ([a], 1, "the events end without the end marker"),
                ([a, {"type": "repeat", "code": 0, "len": 255}, end], 1, "bound of 100 bytes")):
            with self.subTest(words=words), self.assertRaises(lumera.LumeraError) as raised:
                lumera.pack_events(events, max_output=100)
            self.assertEqual((raised.exception.kind, raised.exception.event_index),
                             ("RefusedEvent", index))
            self.assertIn(words, str(raised.exception))
        for events, error, words in (([{"type": "literal", "byte": 97}], KeyError, "event 0: no \"escaped\""),
                                     ([a, {"type": "jump"}], ValueError, "event 1: unknown type 'jump'"),
                                     ([dict(a, byte=256)], ValueError, "event 0: \"byte\" is out of range"),
                                     ([5], TypeError, "event 0: not a dict")):
            with self.subTest(words=words), self.assertRaisesRegex(error, re.escape(words)):
                lumera.pack_events(events)


class Documentation(unittest.TestCase):
    def test_every_function_and_the_error_say_what_they_do(self):
        public = [getattr(lumera, n) for n in dir(lumera) if not n.startswith("_")]
        self.assertIn(lumera.LumeraError, public)
        for item in public:
            with self.subTest(item=item.__name__):
                doc = item.__doc__ or ""
                text = doc.split("\n", 1)[1] if doc.startswith(item.__name__ + "(") else doc
                self.assertGreater(len(text.strip()), 40)
        for word in ("compress", "pack_events", "find_resource_with_language", "LumeraError", "buffer"):
            self.assertIn(word, lumera.__doc__)

    def test_the_stub_declares_what_the_module_has(self):
        with open(os.path.join(os.path.dirname(__file__), "lumera.pyi")) as f:
            stub = f.read()
        declared = set(re.findall(r"^def (\w+)", stub, re.M)) | set(re.findall(r"^class (\w+)\(Exception", stub, re.M))
        present = {n for n in dir(lumera) if not n.startswith("_")}
        self.assertEqual(declared, present)


if __name__ == "__main__":
    unittest.main()
