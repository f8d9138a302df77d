# Fake of NVDA's nvwave: a WavePlayer with NVDA's constructor and methods that plays on a
# simulated clock and behaves like NVDA's WASAPI player where a driver can tell:
# - feed() copies the chunk and waits while more than half of the buffer is unplayed;
# - onDone callbacks run in feed order, on the thread inside feed()/idle(), once the clock has
#   played everything fed before them; a callback fed while nothing plays waits for audio and is
#   dropped by idle() or stop() if none comes;
# - stop() may be called from any thread: it drops unplayed audio and callbacks and wakes a
#   waiting feed() or idle(), which then return at once;
# - pause(True) freezes the clock; idle() plays out what is left, then resets the stream.
# Everything fed is recorded for the tests.

import ctypes
import threading
import time
from enum import Enum, auto


class AudioPurpose(Enum):
	SPEECH = auto()
	SOUNDS = auto()


class WavePlayer:
	DEFAULT_DEVICE_KEY = "default"
	#: The simulated clock runs this many times faster than real time.
	speedup = 20.0
	#: Buffer length in seconds of audio.
	bufferSeconds = 0.4
	#: Every player made, newest last.
	instances = []

	def __init__(
		self,
		channels,
		samplesPerSec,
		bitsPerSample,
		outputDevice=DEFAULT_DEVICE_KEY,
		wantDucking=True,
		purpose=AudioPurpose.SPEECH,
	):
		self.channels = channels
		self.samplesPerSec = samplesPerSec
		self.bitsPerSample = bitsPerSample
		self.outputDevice = outputDevice
		self.purpose = purpose
		self.bytesPerSecond = channels * samplesPerSec * bitsPerSample // 8
		self._cond = threading.Condition()
		self._sent = 0  # bytes accepted since the player was made
		self._playedBase = 0  # clock position when the clock last started or froze
		self._clockStart = None  # monotonic time the clock started; None while it stands
		self._playing = False  # audio was fed since the last stop or idle
		self._paused = False
		self._stops = 0
		self._feedEnds = []  # [end position, onDone], in feed order
		#: (position of the first byte, data) of every chunk accepted.
		self.chunks = []
		#: ("feed", bytes), ("stop",), ("idle",), ("pause", switch), ("close",)
		self.events = []
		self.closed = False
		WavePlayer.instances.append(self)

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

	def _takeDue(self):
		if not self._playing:
			return []
		position = self._position()
		due = []
		while self._feedEnds and self._feedEnds[0][0] <= position:
			due.append(self._feedEnds.pop(0)[1])
		return due

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
		capacity = int(self.bufferSeconds * self.bytesPerSecond)
		with self._cond:
			stops = self._stops
		while True:
			accepted = False
			with self._cond:
				if self._stops != stops:
					return
				due = self._takeDue()
				if not due:
					if data and self._playing and self._sent - self._position() > capacity // 2:
						self._cond.wait(0.002)
						continue
					if data:
						if self._clockStart is not None and self._position() >= self._sent:
							# The player ran dry: the clock waits for this chunk.
							self._freezeClock()
						self.chunks.append((self._sent, data))
						self._sent += len(data)
						self._playing = True
						self._startClock()
						self.events.append(("feed", len(data)))
					# Callbacks already due run before this one is registered.
					due = self._takeDue()
					if onDone:
						self._feedEnds.append([self._sent, onDone])
					accepted = True
			self._run(due)
			if accepted:
				return

	def sync(self):
		with self._cond:
			stops = self._stops
		while True:
			with self._cond:
				if self._stops != stops or not self._playing:
					return
				due = self._takeDue()
				if not due:
					if self._position() >= self._sent:
						return
					self._cond.wait(0.002)
					continue
			self._run(due)

	def idle(self):
		self.sync()
		with self._cond:
			due = self._takeDue()
			self._feedEnds = []
			self._playing = False
			self._freezeClock()
			self._playedBase = self._sent
			self.events.append(("idle",))
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
