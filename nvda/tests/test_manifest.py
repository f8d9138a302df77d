# The packed add-on as NVDA opens it: its manifest.ini through addonHandler's spec and apiVersion
# check, and addonHandler's compatibility check against the API numbers of this NVDA release and
# of every release the fakes follow.
import io
import os
import shutil
import subprocess
import tempfile
import unittest
import zipfile

import harness  # noqa: F401  (puts the fakes first on the path)
import addonAPIVersion
import addonHandler
from _fakeVersion import NAME, RELEASES
from addonHandler import addonVersionCheck
from test_package import fakeDll, projectVersion, SCRIPT
from test_binding import voiceHeader


def packAddon(folder):
	"""The .nvda-addon that scripts/build-nvda-addon packs from stand-ins, in folder."""
	arguments = []
	for option, name, data in (
		("--dll32", "x86.dll", fakeDll("i386")),
		("--dll64", "x64.dll", fakeDll("amd64")),
		("--voice", "default.voice", voiceHeader()),
	):
		path = os.path.join(folder, name)
		with open(path, "wb") as f:
			f.write(data)
		arguments += [option, path]
	output = os.path.join(folder, "out")
	environment = dict(os.environ, VELORIN_WINDOWS_BUILD=os.path.join(folder, "no-windows-build"))
	subprocess.run([SCRIPT, *arguments, "--output", output], env=environment, check=True, capture_output=True)
	return os.path.join(output, f"velorin-{projectVersion()}.nvda-addon")


class ManifestTest(unittest.TestCase):
	@classmethod
	def setUpClass(cls):
		cls.folder = tempfile.mkdtemp(prefix="velorin-nvda-manifest-")
		cls.bundlePath = packAddon(cls.folder)
		with zipfile.ZipFile(cls.bundlePath) as z:
			cls.data = z.read("manifest.ini")

	@classmethod
	def tearDownClass(cls):
		shutil.rmtree(cls.folder, ignore_errors=True)

	def addon(self, data):
		manifest = addonHandler.AddonManifest(io.BytesIO(data))
		return manifest, addonHandler.AddonBase(manifest)

	def test_this_release_installs_it(self):
		bundle = addonHandler.AddonBundle(self.bundlePath)
		self.assertEqual((bundle.name, bundle.version), ("velorin", projectVersion()))
		self.assertIn("Tiếng Việt", bundle.manifest["summary"])
		self.assertIn("Vietnamese", bundle.manifest["description"])
		self.assertTrue(addonVersionCheck.isAddonCompatible(bundle), f"NVDA {NAME} blocks the add-on as incompatible")

	def test_every_release_loads_it(self):
		bundle = addonHandler.AddonBundle(self.bundlePath)
		for name, release in RELEASES.items():
			with self.subTest(nvda=name):
				self.assertTrue(addonVersionCheck.isAddonCompatible(bundle, release.version, release.backCompatTo))

	def test_what_nvda_refuses(self):
		def withLine(key, value):
			lines = [line for line in self.data.decode("utf-8").splitlines() if not line.startswith(key + " =")]
			return "\n".join(lines + [f"{key} = {value}"]).encode("utf-8")

		newest = RELEASES[max(RELEASES)]
		manifest, tooOld = self.addon(withLine("lastTestedNVDAVersion", "2025.1.0"))
		self.assertIsNone(manifest.errors)
		self.assertFalse(addonVersionCheck.isAddonCompatible(tooOld, newest.version, newest.backCompatTo))
		inverted, _ = self.addon(withLine("minimumNVDAVersion", "2027.1.0"))
		self.assertIn("minimumNVDAVersion", str(inverted.errors))
		badVersion, _ = self.addon(withLine("lastTestedNVDAVersion", "2026.10.0"))
		self.assertIsNotNone(badVersion.errors)
		incomplete, _ = self.addon(b"name = velorin\n")
		self.assertIsNotNone(incomplete.errors, "a manifest without summary, author and version")

	def test_versions_have_three_parts(self):
		# NVDA before 2023 takes year.major.minor only.
		manifest, _ = self.addon(self.data)
		for key in ("minimumNVDAVersion", "lastTestedNVDAVersion"):
			with self.subTest(key=key):
				line = next(line for line in self.data.decode("utf-8").splitlines() if line.startswith(key + " ="))
				self.assertRegex(line.split("=", 1)[1].strip(), r"^\d{4}\.\d\.\d$")
				self.assertEqual(addonAPIVersion.getAPIVersionTupleFromString(line.split("=", 1)[1].strip()), manifest[key])


if __name__ == "__main__":
	unittest.main()
