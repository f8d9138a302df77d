# -*- coding: UTF-8 -*-
# NVDA synthesizer driver for Velorin, a Vietnamese text-to-speech engine.
#
# Each piece of text between two indexes becomes one SpeakText request. The engine speaks the
# requests in order on its own worker thread and hands the audio to our callback, which feeds
# the player there (a feed that blocks paces synthesis). GetLastIndex, read inside the callback,
# names the request a chunk belongs to; once the engine has moved past a request, a marker fed
# after its last chunk reports the request's indexes when the player reaches it. A watcher
# thread notices the end of the last request (no chunk follows it), lets the player play out
# and reports done speaking.
#
# Settings (NVDA's 0-100 scales onto the engine's):
#   rate:   SetRate 25..75 (0.5x to 1.5x speed; 50 is normal), with rate boost 50..100 (1x to 2x)
#   pitch:  SetPitch 50..150 percent (50 -> 100, unchanged): pitch = percent + 50
#   volume: SetVolume 0..100 percent (100 unchanged): volume = percent
# Pitch and volume map one to one; the rate scales are coarser than NVDA's, so the percent
# last set is read back while the engine still holds the value it produced.

import collections
import ctypes
import functools
import inspect
import os
import threading
import time

import config
import nvwave
from logHandler import log
from speech.commands import IndexCommand
from synthDriverHandler import SynthDriver, synthDoneSpeaking, synthIndexReached

from . import _velorin

#: How often the watcher looks for the end of the requests being spoken, in seconds.
_POLL_SECONDS = 0.01
#: Request indexes the driver makes up (text after the last index, fences) count down from here,
#: below GetLastIndex's -1 for "nothing queued".
_FIRST_OWN_INDEX = -2
#: A request that only separates the speech before a cancel from the speech after it.
_FENCE_TEXT = " "

RATE_RANGE = (25, 75)
RATE_BOOST_RANGE = (50, 100)
PITCH_RANGE = (50, 150)
VOLUME_RANGE = (0, 100)


class _Request:
	"""One entry of the speech in order: a SpeakText request, or indexes with no text before them."""

	__slots__ = ("requestIndex", "indexes", "fence")

	def __init__(self, requestIndex, indexes, fence=False):
		#: The index SpeakText was given, None when nothing was sent for this entry.
		self.requestIndex = requestIndex
		#: NVDA indexes reached when this entry's audio has played.
		self.indexes = indexes
		#: Audio of a fence is never played.
		self.fence = fence


def _outputDevice():
	try:
		return config.conf["audio"]["outputDevice"]
	except KeyError:
		# NVDA before 2023.2 kept it in the speech section.
		return config.conf["speech"]["outputDevice"]


class SynthDriver(SynthDriver):
	name = "velorin"
	description = "Velorin - Tiếng Việt (Vietnamese)"

	supportedSettings = (
		SynthDriver.RateSetting(),
		SynthDriver.RateBoostSetting(),
		SynthDriver.PitchSetting(),
		SynthDriver.VolumeSetting(),
	)
	supportedCommands = {IndexCommand}
	supportedNotifications = {synthIndexReached, synthDoneSpeaking}

	@classmethod
	def check(cls):
		try:
			return os.path.isfile(_velorin.libraryPath(_velorin.addonRoot()))
		except _velorin.VelorinError:
			return False

	def __init__(self):
		super().__init__()
		root = _velorin.addonRoot()
		voicePath = os.path.join(root, _velorin.DEFAULT_VOICE)
		header = _velorin.readVoiceHeader(voicePath)
		self._lib = _velorin.Library(_velorin.libraryPath(root))
		if self._lib.Init(_velorin.encodePath(voicePath)) != 0:
			raise _velorin.VelorinError(f"Velorin could not load the voice {voicePath}")

		self._stateLock = threading.Lock()
		self._work = threading.Condition(self._stateLock)
		# Held around every feed and idle, so the player sees one caller at a time and a cancel
		# can wait out a feed that was already under way.
		self._feedLock = threading.Lock()
		self._pending = collections.deque()
		self._generation = 0
		self._speakSerial = 0
		self._nextOwnIndex = _FIRST_OWN_INDEX
		self._needFence = False
		self._awaitingDone = False
		self._terminated = False
		self._audioSinceIdle = False

		self._player = self._openPlayer(header)
		self._audioCallback = _velorin.AUDIO_CALLBACK(self._onAudio)
		self._lib.InitSynth(self._audioCallback)
		# The engine keeps the callback after this driver is gone; so does this module.
		global _lastAudioCallback
		_lastAudioCallback = self._audioCallback

		self._rateBoost = False
		self._ratePercent = None
		self._rateParam = None
		self.rate = 50
		self.pitch = 50
		self.volume = 100
		self._watcher = threading.Thread(target=self._watch, name="velorin.watcher", daemon=True)
		self._watcher.start()
		log.info(f"Velorin: {self._lib.path}, voice {voicePath} ({header.sampleRate} Hz, {header.channels} channels)")

	def _openPlayer(self, header):
		options = {"outputDevice": _outputDevice()}
		# NVDA before 2023.2 buffers small chunks only when asked to.
		if "buffered" in inspect.signature(nvwave.WavePlayer.__init__).parameters:
			options["buffered"] = True
		return nvwave.WavePlayer(
			channels=header.channels,
			samplesPerSec=header.sampleRate,
			bitsPerSample=16,
			**options,
		)

	def _get_language(self):
		return "vi"

	# --- Speech ---------------------------------------------------------------------------

	def _ownIndex(self):
		index = self._nextOwnIndex
		self._nextOwnIndex = index - 1 if index > -0x7FFFFFFF else _FIRST_OWN_INDEX
		return index

	def _send(self, text, requestIndex):
		self._lib.SpeakText(_velorin.utf16Text(text), requestIndex)

	def speak(self, speechSequence):
		with self._stateLock:
			if self._terminated:
				return
			added = []
			if self._needFence:
				fence = _Request(self._ownIndex(), [], fence=True)
				self._send(_FENCE_TEXT, fence.requestIndex)
				added.append(fence)
				self._needFence = False
			madeHere = None  # the last entry of this sequence
			parts = []
			for item in speechSequence:
				if isinstance(item, str):
					parts.append(item)
				elif isinstance(item, IndexCommand):
					text = "".join(parts)
					parts = []
					if text:
						# GetLastIndex reports -1 for an empty queue, so a negative index is not passed on.
						requestIndex = item.index if 0 <= item.index <= 0x7FFFFFFF else self._ownIndex()
						madeHere = _Request(requestIndex, [item.index])
						self._send(text, requestIndex)
						added.append(madeHere)
					elif madeHere is not None:
						madeHere.indexes.append(item.index)
					else:
						madeHere = _Request(None, [item.index])
						added.append(madeHere)
				else:
					log.debugWarning(f"Velorin: unsupported speech command {item!r}")
			text = "".join(parts)
			if text:
				trailing = _Request(self._ownIndex(), [])
				self._send(text, trailing.requestIndex)
				added.append(trailing)
			if not added:
				return
			self._pending.extend(added)
			self._speakSerial += 1
			self._awaitingDone = True
			self._work.notify_all()

	def _findSent(self, requestIndex):
		"""The first pending request with this index, None when there is none."""
		for request in self._pending:
			if request.requestIndex is not None and request.requestIndex == requestIndex:
				return request
		return None

	def _takeFinished(self, current):
		"""Removes and returns the pending entries before current (all of them when current is None)."""
		finished = []
		while self._pending and self._pending[0] is not current:
			finished.append(self._pending.popleft())
		return finished

	def _markFinished(self, finished, generation):
		"""Reports the indexes of finished requests once the audio fed before them has played.
		Called with _feedLock held."""
		for request in finished:
			for index in request.indexes:
				if self._audioSinceIdle:
					self._player.feed(b"", onDone=functools.partial(self._onIndexPlayed, generation, index))
				else:
					# Nothing is playing: a marker in an idle player would never be reached.
					self._onIndexPlayed(generation, index)

	def _onIndexPlayed(self, generation, index):
		if generation == self._generation:
			synthIndexReached.notify(synth=self, index=index)

	def _onAudio(self, data, size):
		"""The engine's audio callback, on its worker thread: one chunk of 16-bit PCM."""
		try:
			if size <= 0 or not data:
				return 0
			chunk = ctypes.string_at(data, size)
			with self._feedLock:
				with self._stateLock:
					if self._terminated:
						return 0
					request = self._findSent(self._lib.GetLastIndex())
					if request is None or request.fence:
						# Rendered before a cancel, or the fence after one.
						return 0
					finished = self._takeFinished(request)
					generation = self._generation
				self._markFinished(finished, generation)
				self._player.feed(chunk)
				self._audioSinceIdle = True
		except Exception:
			log.error("Velorin: audio callback", exc_info=True)
		return 0

	def _watch(self):
		while True:
			with self._stateLock:
				while not self._terminated and not self._awaitingDone:
					self._work.wait()
				if self._terminated:
					return
			time.sleep(_POLL_SECONDS)
			try:
				self._checkProgress()
			except Exception:
				log.error("Velorin: watcher", exc_info=True)

	def _checkProgress(self):
		with self._feedLock:
			with self._stateLock:
				if self._terminated or not self._awaitingDone:
					return
				current = self._findSent(self._lib.GetLastIndex())
				finished = self._takeFinished(current)
				allDone = not self._pending
				generation = self._generation
				serial = self._speakSerial
			self._markFinished(finished, generation)
			if not allDone:
				return
			if self._audioSinceIdle:
				# Plays out what is left and fires the markers on the way.
				self._player.idle()
				self._audioSinceIdle = False
		with self._stateLock:
			if generation != self._generation or serial != self._speakSerial or self._pending:
				return
			self._awaitingDone = False
		synthDoneSpeaking.notify(synth=self)

	def _silence(self, terminating=False):
		with self._stateLock:
			self._generation += 1
			# With nothing pending the engine has handed over its last chunk already.
			self._needFence = self._needFence or bool(self._pending)
			self._pending.clear()
			self._awaitingDone = False
			if terminating:
				self._terminated = True
			self._work.notify_all()
		# Wakes a feed or idle that is waiting for the player, so that the callback it is in can
		# return: Cancel waits for a callback in progress, and once it has returned no chunk of
		# the speech before it comes any more.
		self._player.stop()
		self._lib.Cancel()
		with self._feedLock:
			# Drops what a feed already past its check put in after the first stop.
			self._player.stop()
			self._audioSinceIdle = False

	def cancel(self):
		self._silence()

	def pause(self, switch):
		self._player.pause(switch)

	def terminate(self):
		try:
			self._silence(terminating=True)
			self._lib.TerminateSynth()
			self._watcher.join()
			self._player.close()
		finally:
			terminateBase = getattr(super(), "terminate", None)
			if terminateBase:
				terminateBase()

	# --- Settings --------------------------------------------------------------------------

	def _rateRange(self):
		return RATE_BOOST_RANGE if self._rateBoost else RATE_RANGE

	def _get_rate(self):
		value = self._lib.GetRate()
		if value == self._rateParam:
			return self._ratePercent
		low, high = self._rateRange()
		return min(100, max(0, self._paramToPercent(value, low, high)))

	def _set_rate(self, percent):
		low, high = self._rateRange()
		value = self._percentToParam(percent, low, high)
		self._lib.SetRate(value)
		self._ratePercent = percent
		self._rateParam = value

	def _get_rateBoost(self):
		return self._rateBoost

	def _set_rateBoost(self, enable):
		enable = bool(enable)
		if enable == self._rateBoost:
			return
		rate = self.rate
		self._rateBoost = enable
		self.rate = rate

	def _get_pitch(self):
		return min(100, max(0, self._paramToPercent(self._lib.GetPitch(), *PITCH_RANGE)))

	def _set_pitch(self, percent):
		self._lib.SetPitch(self._percentToParam(percent, *PITCH_RANGE))

	def _get_volume(self):
		return min(100, max(0, self._paramToPercent(self._lib.GetVolume(), *VOLUME_RANGE)))

	def _set_volume(self, percent):
		self._lib.SetVolume(self._percentToParam(percent, *VOLUME_RANGE))


_lastAudioCallback = None
