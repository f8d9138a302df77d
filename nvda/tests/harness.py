# Loads the add-on's driver against the fake NVDA modules and the Linux engine library.
#
# The paths come from the environment (CTest sets them):
#   VELORIN_NVDA_LIBRARY     libvelorin_nvda.so
#   VELORIN_MAKE_TEST_VOICE  the program that writes the small test voice
import importlib
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import types
import unittest

TESTS_DIR = os.path.dirname(os.path.abspath(__file__))
REPO_DIR = os.path.dirname(os.path.dirname(TESTS_DIR))
ADDON_SOURCE = os.path.join(REPO_DIR, "nvda", "addon")

sys.path.insert(0, os.path.join(TESTS_DIR, "fakenvda"))

import nvwave  # noqa: E402  (the fake)
import synthDriverHandler  # noqa: E402  (the fake)


def environmentPath(name):
	value = os.environ.get(name)
	if not value:
		raise unittest.SkipTest(f"{name} is not set (CTest sets it)")
	if not os.path.exists(value):
		raise AssertionError(f"{name} names a missing file: {value}")
	return value


_voiceDir = None


def testVoice():
	"""The small test voice (16 kHz mono; syllables xin chào việt nam một hai ba trăm mười đọc lập tôi nay), made once."""
	global _voiceDir
	if _voiceDir is None:
		_voiceDir = tempfile.mkdtemp(prefix="velorin-nvda-voice-")
		path = os.path.join(_voiceDir, "test.voice")
		subprocess.run([environmentPath("VELORIN_MAKE_TEST_VOICE"), path], check=True, capture_output=True)
	return os.path.join(_voiceDir, "test.voice")


def loadDriverModule(addonRoot):
	"""Imports synthDrivers.velorin from an add-on folder, as NVDA imports a driver from an add-on."""
	for name in [n for n in sys.modules if n == "synthDrivers" or n.startswith("synthDrivers.")]:
		del sys.modules[name]
	package = types.ModuleType("synthDrivers")
	package.__path__ = [os.path.join(addonRoot, "synthDrivers")]
	sys.modules["synthDrivers"] = package
	return importlib.import_module("synthDrivers.velorin")


class AddonFolder:
	"""A temporary add-on folder as NVDA would hold it, with the Linux library in place of the DLLs."""

	def __init__(self, voice="test", library=True):
		self.root = tempfile.mkdtemp(prefix="velorin-nvda-addon-")
		shutil.copytree(os.path.join(ADDON_SOURCE, "synthDrivers"), os.path.join(self.root, "synthDrivers"))
		if library:
			os.makedirs(os.path.join(self.root, "linux"))
			os.symlink(environmentPath("VELORIN_NVDA_LIBRARY"), os.path.join(self.root, "linux", "libvelorin_nvda.so"))
		self.voicePath = os.path.join(self.root, "voices", "vi-default.voice")
		os.makedirs(os.path.dirname(self.voicePath))
		if voice == "test":
			shutil.copyfile(testVoice(), self.voicePath)
		elif isinstance(voice, bytes):
			with open(self.voicePath, "wb") as f:
				f.write(voice)

	def loadDriverModule(self):
		return loadDriverModule(self.root)

	def remove(self):
		shutil.rmtree(self.root, ignore_errors=True)


class Notifications:
	"""Records synthIndexReached and synthDoneSpeaking with the player's position at the time."""

	def __init__(self, player):
		self.player = player
		self.events = []  # ("index", index, position) or ("done", None, position)
		self._lock = threading.Lock()
		synthDriverHandler.synthIndexReached.register(self._onIndex)
		synthDriverHandler.synthDoneSpeaking.register(self._onDone)

	def close(self):
		synthDriverHandler.synthIndexReached.unregister(self._onIndex)
		synthDriverHandler.synthDoneSpeaking.unregister(self._onDone)

	def _onIndex(self, synth, index):
		with self._lock:
			self.events.append(("index", index, self.player.position()))

	def _onDone(self, synth):
		with self._lock:
			self.events.append(("done", None, self.player.position()))

	def snapshot(self):
		with self._lock:
			return list(self.events)

	def indexes(self):
		return [index for kind, index, _ in self.snapshot() if kind == "index"]

	def doneCount(self):
		return sum(1 for kind, _, _ in self.snapshot() if kind == "done")

	def waitForDone(self, count=1, timeout=20.0):
		deadline = time.monotonic() + timeout
		while self.doneCount() < count:
			if time.monotonic() > deadline:
				raise AssertionError(f"no done speaking after {timeout} s; events: {self.snapshot()}")
			time.sleep(0.005)

	def waitForIndex(self, index, timeout=20.0):
		deadline = time.monotonic() + timeout
		while index not in self.indexes():
			if time.monotonic() > deadline:
				raise AssertionError(f"index {index} not reached after {timeout} s; events: {self.snapshot()}")
			time.sleep(0.002)


def newestPlayer():
	return nvwave.WavePlayer.instances[-1]
