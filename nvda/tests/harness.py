# Loads the add-on's driver the way NVDA does, against the fake NVDA modules (which follow the
# NVDA release VELORIN_FAKE_NVDA names, default the newest) and the Linux engine library.
#
# The paths come from the environment (CTest sets them):
#   VELORIN_NVDA_LIBRARY     libvelorin_nvda.so
#   VELORIN_MAKE_TEST_VOICE  the program that writes small test voices
import array
import ctypes
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

import _fakeVersion  # noqa: E402
import config  # noqa: E402  (the fakes)
import globalVars  # noqa: E402
import nvwave  # noqa: E402
import synthDriverHandler  # noqa: E402

sys.path.insert(0, os.path.join(ADDON_SOURCE, "synthDrivers"))
import _velorin  # noqa: E402

#: The NVDA release the fakes follow, e.g. "2026.1".
NVDA_RELEASE = _fakeVersion.NAME

#: Syllables of the test voice (16 kHz mono, 200 ms a unit): "Xin chào các bạn, hôm nay trời
#: đẹp quá", "Việt Nam", and the letters a and bê.
TEST_SYLLABLES = ("xin", "cha`o", "ca'c", "ba.n", "ho)m", "nay", "tro(`i", "d!e.p", "qua'", "vie).t", "nam", "a", "be)")
SENTENCE = "Xin chào các bạn, hôm nay trời đẹp quá."


def environmentPath(name):
	value = os.environ.get(name)
	if not value:
		raise unittest.SkipTest(f"{name} is not set (CTest sets it)")
	if not os.path.exists(value):
		raise AssertionError(f"{name} names a missing file: {value}")
	return value


_voiceDir = None
_voices = {}


def makeVoice(name="test speaker", sampleRate=16000, syllables=TEST_SYLLABLES):
	"""A small synthetic voice with this header name, made once; returns its path."""
	global _voiceDir
	key = (name, sampleRate, tuple(syllables))
	if key not in _voices:
		if _voiceDir is None:
			_voiceDir = tempfile.mkdtemp(prefix="velorin-nvda-voices-")
		path = os.path.join(_voiceDir, f"voice{len(_voices)}.voice")
		subprocess.run(
			[environmentPath("VELORIN_MAKE_TEST_VOICE"), "--name", name, "--sample-rate", str(sampleRate),
			 "--syllables", ",".join(syllables), path],
			check=True, capture_output=True,
		)
		_voices[key] = path
	return _voices[key]


def testVoice():
	return makeVoice()


def loadDriverModule(addonRoot):
	"""Imports synthDrivers.velorin from an add-on folder, as NVDA imports a driver from an add-on."""
	for name in [n for n in sys.modules if n == "synthDrivers" or n.startswith("synthDrivers.")]:
		del sys.modules[name]
	package = types.ModuleType("synthDrivers")
	package.__path__ = [os.path.join(addonRoot, "synthDrivers")]
	sys.modules["synthDrivers"] = package
	return importlib.import_module("synthDrivers.velorin")


class AddonFolder:
	"""A temporary add-on folder as NVDA would hold it, with the Linux library in place of the DLLs.
	voice: "test" (the test voice as voices/vi-default.voice), bytes written there, or None;
	extraVoices: {file name: path} copied into voices/ as well."""

	def __init__(self, voice="test", library=True, extraVoices=None):
		self.root = tempfile.mkdtemp(prefix="velorin-nvda-addon-")
		shutil.copytree(os.path.join(ADDON_SOURCE, "synthDrivers"), os.path.join(self.root, "synthDrivers"))
		if library:
			os.makedirs(os.path.join(self.root, "linux"))
			os.symlink(environmentPath("VELORIN_NVDA_LIBRARY"), os.path.join(self.root, "linux", "libvelorin_nvda.so"))
		self.voicesDir = os.path.join(self.root, _velorin.VOICES_FOLDER)
		self.voicePath = os.path.join(self.root, _velorin.DEFAULT_VOICE)
		os.makedirs(self.voicesDir)
		if voice == "test":
			shutil.copyfile(testVoice(), self.voicePath)
		elif isinstance(voice, bytes):
			with open(self.voicePath, "wb") as f:
				f.write(voice)
		for fileName, path in (extraVoices or {}).items():
			shutil.copyfile(path, os.path.join(self.voicesDir, fileName))

	def loadDriverModule(self):
		return loadDriverModule(self.root)

	def remove(self):
		shutil.rmtree(self.root, ignore_errors=True)


class Session:
	"""NVDA's side of one run: a configuration folder with its configuration, and the add-on's
	driver as NVDA makes it the current synthesizer (construct, then initSettings)."""

	def __init__(self, addon, configPath=None):
		self.addon = addon
		self.ownConfig = configPath is None
		self.configPath = configPath or tempfile.mkdtemp(prefix="velorin-nvda-config-")
		globalVars.appArgs.configPath = self.configPath
		config.conf = config.ConfigManager(self.configPath)
		self.module = addon.loadDriverModule()
		synthDriverHandler.setSynth("velorin")
		self.synth = synthDriverHandler.getSynth()
		self.player = newestPlayer()

	def userVoicesDir(self):
		path = os.path.join(self.configPath, _velorin.USER_VOICES_FOLDER)
		os.makedirs(path, exist_ok=True)
		return path

	def close(self):
		synthDriverHandler.setSynth(None)
		if self.ownConfig:
			shutil.rmtree(self.configPath, ignore_errors=True)


class Notifications:
	"""Records synthIndexReached and synthDoneSpeaking with the player's position at the time."""

	def __init__(self, playerOf):
		#: The player in use, asked each time (a voice of another format brings a new one).
		self.playerOf = playerOf
		self.events = []  # ("index", index, position) or ("done", None, position)
		self._lock = threading.Lock()
		synthDriverHandler.synthIndexReached.register(self._onIndex)
		synthDriverHandler.synthDoneSpeaking.register(self._onDone)

	def close(self):
		synthDriverHandler.synthIndexReached.unregister(self._onIndex)
		synthDriverHandler.synthDoneSpeaking.unregister(self._onDone)

	def _onIndex(self, synth, index):
		with self._lock:
			self.events.append(("index", index, self.playerOf().position()))

	def _onDone(self, synth):
		with self._lock:
			self.events.append(("done", None, self.playerOf().position()))

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


def samples(audio):
	values = array.array("h")
	values.frombytes(audio)
	return values


def silentRuns(audio, bytesPerSecond, level=64, shortestMs=5):
	"""(start, length) in ms of every run of near-zero 16-bit mono samples of at least shortestMs."""
	perMs = bytesPerSecond / 2000
	runs = []
	start = None
	values = samples(audio)
	for i, value in enumerate(values):
		if abs(value) <= level:
			if start is None:
				start = i
		elif start is not None:
			if i - start >= shortestMs * perMs:
				runs.append((start / perMs, (i - start) / perMs))
			start = None
	if start is not None and len(values) - start >= shortestMs * perMs:
		runs.append((start / perMs, (len(values) - start) / perMs))
	return runs


def newestPlayer():
	return nvwave.WavePlayer.instances[-1]


# --- What the engine does yet ------------------------------------------------------------------
# Some behaviour the driver relies on comes with later engine work. Each probe asks the library
# itself, before any driver loads it, so the tests that wait for it run as soon as it is there.

_probes = {}


class _ProbeEngine:
	"""The library driven directly, with a callback that keeps the chunks."""

	def __init__(self):
		self.lib = _velorin.Library(environmentPath("VELORIN_NVDA_LIBRARY"))
		if self.lib.Init(_velorin.encodePath(testVoice())) != 0:
			raise AssertionError("the test voice does not load")
		self.lib.SetParameter(_velorin.PARAM_DIAGNOSTICS, 0)
		self.chunks = []
		self.blockFirst = None  # (reached, release) events: the first chunk waits for release
		self._callback = _velorin.AUDIO_CALLBACK(self._onAudio)
		self.lib.InitSynth(self._callback)

	def _onAudio(self, data, size):
		self.chunks.append(ctypes.string_at(data, size))
		if self.blockFirst and len(self.chunks) == 1:
			reached, release = self.blockFirst
			reached.set()
			release.wait(10)
		return 0

	def speak(self, text):
		"""The audio of one request, spoken to the end."""
		self.chunks = []
		self.lib.SpeakText(_velorin.utf16Text(text), 7)
		deadline = time.monotonic() + 10
		while self.lib.GetLastIndex() != -1 and time.monotonic() < deadline:
			time.sleep(0.001)
		# The worker retires a request after its last callback has returned.
		return b"".join(self.chunks)

	def close(self):
		self.lib.SetParameter(_velorin.PARAM_PROFILE, _velorin.PROFILE_CLASSIC)
		for parameter in (_velorin.PARAM_REQUEST_RATE, _velorin.PARAM_REQUEST_PITCH, _velorin.PARAM_REQUEST_VOLUME):
			self.lib.SetParameter(parameter, 100)
		self.lib.InitSynth(_velorin.NO_AUDIO_CALLBACK)


def _probeRequestEndPause(engine):
	engine.lib.SetParameter(_velorin.PARAM_REQUEST_END_PAUSE, 600)
	long = engine.speak("xin chào")
	engine.lib.SetParameter(_velorin.PARAM_REQUEST_END_PAUSE, 0)
	short = engine.speak("xin chào")
	return len(short) < len(long)


def _probeRequestPitch(engine):
	plain = engine.speak("xin chào")
	engine.lib.SetParameter(_velorin.PARAM_REQUEST_PITCH, 200)
	raised = engine.speak("xin chào")
	engine.lib.SetParameter(_velorin.PARAM_REQUEST_PITCH, 100)
	return raised != plain


def _probeFinalCancel(engine):
	"""Whether Cancel waits for a callback under way, so nothing of the old speech follows it."""
	reached, release = threading.Event(), threading.Event()
	engine.blockFirst = (reached, release)
	engine.chunks = []
	engine.lib.SpeakText(_velorin.utf16Text("xin chào các bạn"), 8)
	if not reached.wait(10):
		raise AssertionError("no first chunk")
	returned = threading.Event()
	canceller = threading.Thread(target=lambda: (engine.lib.Cancel(), returned.set()))
	canceller.start()
	# A Cancel that does not wait returns at once; one that does stays until the chunk is taken.
	waited = not returned.wait(0.5)
	release.set()
	canceller.join(10)
	engine.blockFirst = None
	return waited


_PROBES = {
	"request end pause": _probeRequestEndPause,
	"request pitch": _probeRequestPitch,
	"final cancel": _probeFinalCancel,
}


def engineHas(feature):
	"""Whether the engine does this yet: "request end pause" (REQUEST_END_PAUSE changes the end
	of a request), "request pitch" (REQUEST_PITCH changes the audio of the requests after it),
	"final cancel" (Cancel waits for a callback under way)."""
	if feature not in _probes:
		if synthDriverHandler.getSynth() is not None:
			raise AssertionError("engineHas runs before a driver is loaded (at import time)")
		engine = _ProbeEngine()
		try:
			engine.lib.SetParameter(_velorin.PARAM_PROFILE, _velorin.PROFILE_FLUENT)
			_probes[feature] = _PROBES[feature](engine)
		finally:
			engine.close()
	return _probes[feature]
