# scripts/build-nvda-addon: the package's layout from stand-in DLLs and voices, and its refusals.
import os
import re
import struct
import subprocess
import tempfile
import unittest
import zipfile

import harness
from test_binding import voiceHeader

SCRIPT = os.path.join(harness.REPO_DIR, "scripts", "build-nvda-addon")
MACHINES = {"i386": 0x14C, "amd64": 0x8664}


def fakeDll(machine):
	"""The smallest file the script takes for a DLL: an MZ stub pointing at a PE header."""
	stub = bytearray(b"MZ" + b"\0" * 62)
	struct.pack_into("<I", stub, 0x3C, 64)
	return bytes(stub) + b"PE\0\0" + struct.pack("<H", MACHINES[machine]) + machine.encode() * 8


def projectVersion():
	with open(os.path.join(harness.REPO_DIR, "CMakeLists.txt")) as f:
		return re.search(r"project\(velorin VERSION ([0-9.]+)", f.read()).group(1)


class PackageTest(unittest.TestCase):
	def setUp(self):
		self.dir = tempfile.TemporaryDirectory()
		self.files = {}
		for name, data in (
			("dll32", fakeDll("i386")),
			("dll64", fakeDll("amd64")),
			# Headers alone: the script reads nothing after them.
			("voice", voiceHeader(texts=(b"vi-default", b"", b"", b"", b""))),
			("south.voice", voiceHeader(texts=("miền Nam".encode("utf-8"), b"", b"", b"", b""))),
			("north-again.voice", voiceHeader(texts=(b"vi-default", b"", b"", b"", b""))),
			("broken.voice", b"VELORIN_DATA-v2.5.0\x01\x00 stand-in voice"),
		):
			self.files[name] = os.path.join(self.dir.name, name)
			with open(self.files[name], "wb") as f:
				f.write(data)
		self.output = os.path.join(self.dir.name, "out")
		# An empty Windows build tree: nothing may come from the real one.
		self.environment = dict(os.environ, VELORIN_WINDOWS_BUILD=os.path.join(self.dir.name, "no-windows-build"))

	def tearDown(self):
		self.dir.cleanup()

	def build(self, *arguments):
		return subprocess.run([SCRIPT, *arguments], env=self.environment, capture_output=True, text=True)

	def buildWith(self, dll32="dll32", dll64="dll64", voices=("voice",)):
		arguments = ["--dll32", self.files[dll32], "--dll64", self.files[dll64], "--output", self.output]
		for voice in voices:
			arguments += ["--voice", self.files[voice]]
		return self.build(*arguments)

	def packageFiles(self):
		package = os.path.join(self.output, f"velorin-{projectVersion()}.nvda-addon")
		with zipfile.ZipFile(package) as z:
			return {name: z.read(name) for name in z.namelist() if not name.endswith("/")}

	def test_layout(self):
		result = self.buildWith()
		self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
		package = os.path.join(self.output, f"velorin-{projectVersion()}.nvda-addon")
		with zipfile.ZipFile(package) as z:
			files = sorted(name for name in z.namelist() if not name.endswith("/"))
			self.assertEqual(files, [
				"manifest.ini",
				"synthDrivers/_velorin.py",
				"synthDrivers/velorin.py",
				"voices/vi-default.voice",
				"x64/velorin_nvda.dll",
				"x86/velorin_nvda.dll",
			])
			for member, source in (
				("x86/velorin_nvda.dll", self.files["dll32"]),
				("x64/velorin_nvda.dll", self.files["dll64"]),
				("voices/vi-default.voice", self.files["voice"]),
				("synthDrivers/velorin.py", os.path.join(harness.ADDON_SOURCE, "synthDrivers", "velorin.py")),
				("synthDrivers/_velorin.py", os.path.join(harness.ADDON_SOURCE, "synthDrivers", "_velorin.py")),
			):
				with self.subTest(member=member), open(source, "rb") as f:
					self.assertEqual(z.read(member), f.read())
			manifest = z.read("manifest.ini").decode("utf-8")
			z.extractall(os.path.join(self.dir.name, "unpacked"))
		self.assertRegex(manifest, r"(?m)^name = velorin$")
		self.assertRegex(manifest, rf"(?m)^version = {re.escape(projectVersion())}$")
		for key in ("summary", "description", "author", "minimumNVDAVersion", "lastTestedNVDAVersion"):
			self.assertRegex(manifest, rf"(?m)^{key} = ")

		# The packed driver is the one NVDA finds in the add-on's synthDrivers folder.
		unpacked = os.path.join(self.dir.name, "unpacked")
		module = harness.loadDriverModule(unpacked)
		self.assertEqual(module.SynthDriver.name, "velorin")
		self.assertEqual(module._velorin.addonRoot(), unpacked)

	def test_refusals(self):
		cases = [
			("swapped DLLs", dict(dll32="dll64", dll64="dll32"), "is built for amd64, not i386"),
			("voice is no voice", dict(voices=("dll32",)), "is not a voice file"),
			("a broken second voice", dict(voices=("voice", "broken.voice")), "is not a voice file"),
			("two voices of one name", dict(voices=("voice", "north-again.voice")), "are both named 'vi-default'"),
			("one file name twice", dict(voices=("voice", "south.voice", "south.voice")), "a voice file name of its own"),
			("DLL is no DLL", dict(dll64="voice"), "not a Windows executable"),
		]
		for name, files, message in cases:
			with self.subTest(name):
				result = self.buildWith(**files)
				self.assertEqual(result.returncode, 1)
				self.assertIn(message, result.stdout + result.stderr)
		self.assertFalse(os.path.exists(self.output) and os.listdir(self.output))

	def test_every_voice_given(self):
		result = self.buildWith(voices=("voice", "south.voice"))
		self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
		files = self.packageFiles()
		self.assertEqual(sorted(name for name in files if name.startswith("voices/")), ["voices/south.voice", "voices/vi-default.voice"])
		with open(self.files["south.voice"], "rb") as f:
			self.assertEqual(files["voices/south.voice"], f.read())

	def test_every_voice_of_the_build(self):
		# The Windows build's stage holds the voices, as scripts/build-windows leaves them.
		stage = os.path.join(self.dir.name, "no-windows-build", "stage", "velorin-windows")
		os.makedirs(os.path.join(stage, "voices"))
		for name, member in (("voice", "vi-default.voice"), ("south.voice", "vi-south.voice")):
			with open(self.files[name], "rb") as source, open(os.path.join(stage, "voices", member), "wb") as f:
				f.write(source.read())
		result = self.build("--dll32", self.files["dll32"], "--dll64", self.files["dll64"], "--output", self.output)
		self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
		self.assertEqual(sorted(name for name in self.packageFiles() if name.startswith("voices/")), ["voices/vi-default.voice", "voices/vi-south.voice"])

	def test_without_a_windows_build(self):
		result = self.build("--output", self.output)
		# 77 only when no cross toolchain could build the DLLs; with one, building them is asked for.
		self.assertIn(result.returncode, (1, 77))
		self.assertIn("scripts/build-windows", result.stdout + result.stderr)
		self.assertFalse(os.path.exists(self.output) and os.listdir(self.output))


if __name__ == "__main__":
	unittest.main()
