# The driver's binding helpers on their own: library paths per platform, the voice header
# reader, finding the voices of a set of folders and the UTF-16 text conversion.
import os
import struct
import sys
import tempfile
import unittest

import harness

sys.path.insert(0, os.path.join(harness.ADDON_SOURCE, "synthDrivers"))
import _velorin  # noqa: E402


def voiceHeader(order="<", sampleRate=22050, channels=2, texts=(b"speaker", b"", b"a", b"bc", b"def"), value=7, syllables=3):
	def string(text):
		return struct.pack(order + "h", len(text)) + text

	mark = b"\x01\x00" if order == "<" else b"\x00\x01"
	return (
		b"VELORIN_DATA-v2.5.0" + mark
		+ string(texts[0]) + string(texts[1]) + struct.pack(order + "h", value)
		+ string(texts[2]) + string(texts[3]) + string(texts[4])
		+ struct.pack(order + "hhh", sampleRate, channels, syllables)
	)


class LibraryPathTest(unittest.TestCase):
	def test_the_library_matches_platform_and_bitness(self):
		cases = [
			("win32", 32, os.path.join("root", "x86", "velorin_nvda.dll")),
			("win32", 64, os.path.join("root", "x64", "velorin_nvda.dll")),
			("linux", 64, os.path.join("root", "linux", "libvelorin_nvda.so")),
		]
		for platform, bits, expected in cases:
			with self.subTest(platform=platform, bits=bits):
				self.assertEqual(_velorin.libraryPath("root", platform, bits), expected)
		with self.assertRaises(_velorin.VelorinError):
			_velorin.libraryPath("root", "darwin", 64)


class VoiceHeaderTest(unittest.TestCase):
	def setUp(self):
		self.dir = tempfile.TemporaryDirectory()

	def tearDown(self):
		self.dir.cleanup()

	def read(self, data):
		path = os.path.join(self.dir.name, "voice")
		with open(path, "wb") as f:
			f.write(data)
		return _velorin.readVoiceHeader(path)

	def test_both_byte_orders(self):
		for order in "<>":
			with self.subTest(order=order):
				self.assertEqual(self.read(voiceHeader(order)), ("speaker", "", 7, "a", "bc", "def", 22050, 2, 3))

	def test_the_test_voice(self):
		header = _velorin.readVoiceHeader(harness.testVoice())
		self.assertEqual((header.name, header.sampleRate, header.channels, header.syllables), ("test speaker", 16000, 1, len(harness.TEST_SYLLABLES)))

	def test_names_are_utf8_or_else_latin1(self):
		cases = [("giọng Nam".encode("utf-8"), "giọng Nam"), (b"caf\xe9", "café")]
		for data, expected in cases:
			with self.subTest(expected):
				self.assertEqual(self.read(voiceHeader(texts=(data, b"", b"", b"", b""))).name, expected)

	def test_invalid_headers(self):
		good = voiceHeader()
		cases = [
			("empty", b"", "wrong magic"),
			("magic only", good[:19], "bad byte-order mark"),
			("bad mark", good[:19] + b"\x02\x00" + good[21:], "bad byte-order mark"),
			("cut in the texts", good[:26], "bad header text"),
			("cut before channels", good[:-4], "header ends early"),
			("negative text length", voiceHeader(texts=(b"", b"", b"", b"", b""))[:21] + b"\xff\xff" + good[23:], "bad header text"),
			("zero sample rate", voiceHeader(sampleRate=0), "sample rate 0 Hz"),
			("no channels", voiceHeader(channels=0), "0 channels"),
			("no syllables", voiceHeader(syllables=0), "0 syllables"),
		]
		for name, data, expected in cases:
			with self.subTest(name):
				with self.assertRaises(_velorin.VelorinError) as raised:
					self.read(data)
				self.assertIn(expected, str(raised.exception))

	def test_a_long_header_text(self):
		# Longer than any fixed first read.
		name = b"n" * 30000
		header = self.read(voiceHeader(texts=(name, b"x" * 30000, b"", b"", b"")))
		self.assertEqual((len(header.name), header.sampleRate), (30000, 22050))


class FindVoicesTest(unittest.TestCase):
	def setUp(self):
		self.dir = tempfile.TemporaryDirectory()

	def tearDown(self):
		self.dir.cleanup()

	def folder(self, name, files):
		path = os.path.join(self.dir.name, name)
		os.makedirs(path)
		for fileName, data in files.items():
			with open(os.path.join(path, fileName), "wb") as f:
				f.write(data)
		return path

	def test_voices_by_name_in_folder_order(self):
		named = lambda name: voiceHeader(texts=(name.encode("utf-8"), b"", b"", b"", b""))  # noqa: E731
		addon = self.folder("addon", {
			"vi-south.voice": named("miền Nam"),
			"vi-default.voice": named("miền Bắc"),
			"nameless.voice": named(""),
			"readme.txt": b"not a voice",
			"broken.voice": b"VELORIN",
		})
		user = self.folder("user", {"mine.voice": named("miền Nam"), "again.voice": named("miền Nam")})
		os.makedirs(os.path.join(addon, "folder.voice"))
		voices, problems = _velorin.findVoices([addon, os.path.join(self.dir.name, "missing"), user])
		self.assertEqual([(voice.id, os.path.basename(voice.path)) for voice in voices], [
			("nameless", "nameless.voice"),
			("miền Bắc", "vi-default.voice"),
			("miền Nam", "vi-south.voice"),
			("miền Nam (again.voice)", "again.voice"),
			("miền Nam (mine.voice)", "mine.voice"),
		])
		self.assertEqual([voice.displayName for voice in voices], [voice.id for voice in voices])
		self.assertEqual(len(problems), 1)
		self.assertIn("broken.voice", problems[0])


class Utf16TextTest(unittest.TestCase):
	def test_code_units(self):
		cases = [
			("", [0]),
			("Việt", [0x56, 0x69, 0x1EC7, 0x74, 0]),
			("a\U0001F600", [0x61, 0xD83D, 0xDE00, 0]),
			("a\0b", [0x61, 0x20, 0x62, 0]),
		]
		for text, expected in cases:
			with self.subTest(text=text):
				self.assertEqual(list(_velorin.utf16Text(text)), expected)


if __name__ == "__main__":
	unittest.main()
