# Fake of NVDA's nvwave: a WavePlayer with the constructor of the NVDA release the fakes follow,
# playing on a simulated clock and behaving like that release's player where a driver can tell.
#
# Both players:
# - feed() copies the chunk; onDone callbacks run in feed order, on the thread inside
#   feed()/sync()/idle(), once the clock has played everything fed before them; a callback fed
#   while nothing plays waits for audio and is dropped if none comes;
# - stop() may be called from any thread: it drops unplayed audio and callbacks and wakes a
#   waiting feed(), sync() or idle(), which then return at once; pause(True) freezes the clock.
# The WASAPI player (2023.2 on, the only one from 2025.1): feed() waits while more than half of
# its buffer is unplayed; idle() only syncs, and a stream left idle for 10 seconds is reset by
# NVDA's idle check (unplayed callbacks dropped). Until 2025.1 it takes closeWhenIdle and
# buffered and ignores them.
# The winmm player (until 2024.4): feed() returns once the chunk fed before it has played;
# idle() syncs and, with closeWhenIdle (its default), closes the device, dropping callbacks.
# Everything fed is recorded for the tests.

import ctypes
import threading
import time
from enum import Enum, auto

from _fakeVersion import RELEASE

#: Simulated seconds after which NVDA's idle check resets a WASAPI stream that was not fed.
_WASAPI_IDLE_TIMEOUT = 10


class _SimulatedPlayer:
	#: The simulated clock runs this many times faster than real time.
	speedup = 20.0
	#: Buffer length of the WASAPI player in seconds of audio.
	bufferSeconds = 0.4
	#: Every player made, newest last.
	instances = []

	def _setUp(self, channels, samplesPerSec, bitsPerSample, outputDevice, closeWhenIdle):
		self.channels = channels
		self.samplesPerSec = samplesPerSec
		self.bitsPerSample = bitsPerSample
		self.outputDevice = outputDevice
		self.closeWhenIdle = closeWhenIdle
		self.bytesPerSecond = channels * samplesPerSec * bitsPerSample // 8
		self._cond = threading.Condition()
		self._sent = 0  # bytes accepted since the player was made
		self._playedBase = 0  # clock position when the clock last started or froze
		self._clockStart = None  # monotonic time the clock started; None while it stands
		self._playing = False  # audio was fed since the stream was last reset
		self._paused = False
		self._stops = 0
		self._lastFeedStart = 0  # position of the first byte of the last chunk fed
		self._lastActive = time.monotonic()
		self._feedEnds = []  # [end position, onDone], in feed order
		#: (position of the first byte, data) of every chunk accepted.
		self.chunks = []
		#: ("feed", bytes), ("stop",), ("idle",), ("reset",), ("pause", switch), ("close",)
		self.events = []
		self.closed = False
		_SimulatedPlayer.instances.append(self)

	# --- the simulated clock, with _cond held ---

	def _position(self):
		if self._clockStart is None:
			return self._playedBase
		elapsed = time.monotonic() - self._clockStart
		return min(self._sent, self._playedBase + int(elapsed * self.speedup * self.bytesPerSecond))

	def _freezeClock(self):
		self._playedBase = self._position()
		self._clockStart = None

	def _startClock(self):
		if self._clockStart is None and self._playing and not self._paused:
			self._clockStart = time.monotonic()

	def _resetStream(self, event):
		self._feedEnds = []
		self._playing = False
		self._freezeClock()
		self._playedBase = self._sent
		self.events.append((event,))

	def _idleCheck(self):
		"""NVDA's idle check, as it would have run by now: a WASAPI stream not fed for long is reset."""
		if self._isWasapi and self._playing and self._position() >= self._sent and not self._paused:
			idleSeconds = (time.monotonic() - self._lastActive) * self.speedup
			if idleSeconds >= _WASAPI_IDLE_TIMEOUT:
				self._resetStream("reset")

	def _takeDue(self):
		if not self._playing:
			return []
		position = self._position()
		due = []
		while self._feedEnds and self._feedEnds[0][0] <= position:
			due.append(self._feedEnds.pop(0)[1])
		return due

	def _mustWait(self, data):
		if not data or not self._playing or not self._isWasapi:
			return False
		capacity = int(self.bufferSeconds * self.bytesPerSecond)
		return self._sent - self._position() > capacity // 2

	@staticmethod
	def _run(callbacks):
		for callback in callbacks:
			callback()

	# --- for tests ---

	def position(self):
		"""Bytes played (or dropped by stop) since the player was made."""
		with self._cond:
			return self._position()

	def fedBytes(self):
		with self._cond:
			return sum(len(data) for _, data in self.chunks)

	def audioSince(self, chunkCount):
		with self._cond:
			return b"".join(data for _, data in self.chunks[chunkCount:])

	# --- NVDA's interface ---

	def feed(self, data, size=None, onDone=None):
		if size is not None and not isinstance(data, (bytes, bytearray)):
			data = ctypes.string_at(data, size)
		elif size is not None:
			data = data[:size]
		data = bytes(data)
		with self._cond:
			stops = self._stops
			self._idleCheck()
		while True:
			accepted = False
			with self._cond:
				if self._stops != stops:
					return
				due = self._takeDue()
				if not due:
					if self._mustWait(data):
						self._cond.wait(0.002)
						continue
					if data:
						if self._clockStart is not None and self._position() >= self._sent:
							# The player ran dry: the clock waits for this chunk.
							self._freezeClock()
						self.chunks.append((self._sent, data))
						self._lastFeedStart = self._sent
						self._sent += len(data)
						self._playing = True
						self._startClock()
						self.events.append(("feed", len(data)))
					# Callbacks already due run before this one is registered.
					due = self._takeDue()
					if onDone:
						self._feedEnds.append([self._sent, onDone])
					self._lastActive = time.monotonic()
					accepted = True
					start = self._lastFeedStart if data else self._sent
			self._run(due)
			if accepted:
				break
		if not self._isWasapi:
			# waveOut: the feed returns once the chunk before this one has played.
			self._playUntil(start, stops)

	def _playUntil(self, position, stops):
		while True:
			with self._cond:
				if self._stops != stops or not self._playing:
					return
				due = self._takeDue()
				if not due:
					if self._position() >= position:
						return
					self._cond.wait(0.002)
					continue
			self._run(due)

	def sync(self):
		with self._cond:
			stops = self._stops
			end = self._sent
		self._playUntil(end, stops)
		with self._cond:
			self._lastActive = time.monotonic()

	def idle(self):
		self.sync()
		with self._cond:
			due = self._takeDue()
			self.events.append(("idle",))
			if not self._isWasapi and self.closeWhenIdle:
				self._resetStream("close device")
		self._run(due)

	def stop(self):
		with self._cond:
			self._stops += 1
			self._feedEnds = []
			self._playing = False
			self._paused = False
			self._clockStart = None
			self._playedBase = self._sent
			self.events.append(("stop",))
			self._cond.notify_all()

	def pause(self, switch):
		with self._cond:
			if switch:
				self._freezeClock()
				self._paused = True
			else:
				self._paused = False
				self._startClock()
			self.events.append(("pause", switch))
			self._cond.notify_all()

	def close(self):
		self.stop()
		with self._cond:
			self.closed = True
			self.events.append(("close",))


if RELEASE.player == "wasapi":

	class AudioPurpose(Enum):
		SPEECH = auto()
		SOUNDS = auto()

	if RELEASE.playerBuffered:

		class WavePlayer(_SimulatedPlayer):
			DEFAULT_DEVICE_KEY = "default"
			_isWasapi = True

			def __init__(self, channels, samplesPerSec, bitsPerSample, outputDevice=DEFAULT_DEVICE_KEY, closeWhenIdle=False, wantDucking=True, buffered=False, purpose=AudioPurpose.SPEECH):
				self.purpose = purpose
				self.buffered = buffered
				self._setUp(channels, samplesPerSec, bitsPerSample, outputDevice, closeWhenIdle)

	else:

		class WavePlayer(_SimulatedPlayer):
			DEFAULT_DEVICE_KEY = "default"
			_isWasapi = True

			def __init__(self, channels, samplesPerSec, bitsPerSample, outputDevice=DEFAULT_DEVICE_KEY, wantDucking=True, purpose=AudioPurpose.SPEECH):
				self.purpose = purpose
				self.buffered = None
				self._setUp(channels, samplesPerSec, bitsPerSample, outputDevice, False)

else:
	WAVE_MAPPER = -1

	if RELEASE.playerBuffered:

		class WavePlayer(_SimulatedPlayer):
			_isWasapi = False

			def __init__(self, channels, samplesPerSec, bitsPerSample, outputDevice=WAVE_MAPPER, closeWhenIdle=True, wantDucking=True, buffered=False):
				self.buffered = buffered
				self._setUp(channels, samplesPerSec, bitsPerSample, outputDevice, closeWhenIdle)

	else:

		class WavePlayer(_SimulatedPlayer):
			_isWasapi = False

			def __init__(self, channels, samplesPerSec, bitsPerSample, outputDevice=WAVE_MAPPER, closeWhenIdle=True, wantDucking=True):
				self.buffered = None
				self._setUp(channels, samplesPerSec, bitsPerSample, outputDevice, closeWhenIdle)

			def feed(self, data, onDone=None):
				super().feed(data, None, onDone)
