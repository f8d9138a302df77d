# -*- coding: UTF-8 -*-
# NVDA synthesizer driver for Velorin, a Vietnamese text-to-speech engine.
#
# A speech sequence becomes a run of SpeakText requests, split wherever the audio must be told
# apart: at an index, at a change of pitch, rate or volume (each request carries its own through
# the engine's per-request prosody), and around a break, whose silence the driver makes itself. The
# engine runs in its fluent profile, with no pause at the end of a request, and the words either
# side of a split at an index or a prosody change join as in one request, so such a split adds no
# silence. The request after a break or an end of utterance, and the first of each sequence, starts
# an utterance of its own (REQUEST_UTTERANCE): the request before it ends whole in its own chunks,
# so that a break's silence goes exactly between the two and the words either side do not run
# together. The engine's worker is held (HOLD) while a sequence is queued, so whether a request
# goes on into the next is known before its end is rendered. The engine speaks the requests in
# order on its own worker thread and hands the audio to our callback, which feeds the player there
# (a feed that blocks paces synthesis). GetLastIndex, read inside the callback, names the request a
# chunk belongs to; once the engine has moved past an entry, its silence is fed and a marker after
# it reports its indexes when the player reaches it. The end of a request's last unit that joins
# the next comes in the next request's first chunk, so an index between two joined requests is
# reached at most that much (JOIN ms) before the audio before it has played. A watcher thread
# notices the end of the last request (no chunk follows it), lets the player play out and reports
# done speaking.
#
# Settings (NVDA's 0-100 scales onto the engine's):
#   rate:   0.5x to 1.5x speed (50 is normal); with rate boost 1x to 4x. SetRate carries up to
#           2x, the engine's SPEED parameter the rest.
#   pitch:  SetPitch 50..150 percent (50 -> 100, unchanged): pitch = percent + 50
#   volume: SetVolume 0..100 percent (100 unchanged): volume = percent
#   voice:  every voice file in the add-on's voices folder and in velorin/voices under NVDA's
#           configuration folder, by the name in its header
#   punctuationPause (ms) and consonantPauses (on or off): the engine's parameters
# The rate scales are coarser than NVDA's, so the percent last set is read back while the
# engine still holds the value it produced.

import collections
import ctypes
import functools
import inspect
import os
import threading
import time
import weakref

import config
import nvwave
from logHandler import log
from speech.commands import (
	BreakCommand,
	CharacterModeCommand,
	EndUtteranceCommand,
	IndexCommand,
	LangChangeCommand,
	PhonemeCommand,
	PitchCommand,
	RateCommand,
	VolumeCommand,
)
from synthDriverHandler import SynthDriver, VoiceInfo, synthDoneSpeaking, synthIndexReached

try:
	from autoSettingsUtils.driverSetting import BooleanDriverSetting, NumericDriverSetting
except ImportError:
	# NVDA without autoSettingsUtils keeps them in driverHandler.
	from driverHandler import BooleanDriverSetting, NumericDriverSetting

from . import _velorin

#: How often the watcher looks for the end of the requests being spoken, in seconds.
_POLL_SECONDS = 0.01
#: Request indexes the driver makes up count down from here, below GetLastIndex's -1 for
#: "nothing queued".
_FIRST_OWN_INDEX = -2
#: A break's silence is fed in pieces of this length, so a cancel never waits for a long one.
_SILENCE_PIECE_MS = 100
#: The longest break honoured, in milliseconds.
_MAX_BREAK_MS = 60000

#: Speed factors at NVDA's rate 0 and 100, without and with rate boost.
RATE_FACTORS = (0.5, 1.5)
RATE_BOOST_FACTORS = (1.0, 4.0)
#: SetRate's host scale: 25 is 0.5x, 50 normal, 100 the top of 2x.
SET_RATE_RANGE = (25, 100)
PITCH_RANGE = (50, 150)
VOLUME_RANGE = (0, 100)
#: Limits of the engine's per-request prosody, in percent of the settings.
REQUEST_RATE_LIMITS = (50, 400)
REQUEST_PITCH_LIMITS = (25, 400)
REQUEST_VOLUME_LIMITS = (0, 400)
#: The punctuation pause setting, in milliseconds.
PUNCTUATION_PAUSE_RANGE = (0, 1000)


class _Entry:
	"""One entry of the speech in order: a SpeakText request, a break, or indexes alone.
	When the engine has moved past it, its silence is fed, then its indexes are reported."""

	__slots__ = ("requestIndex", "silenceBytes", "indexes")

	def __init__(self, requestIndex=None, silenceBytes=0):
		#: The index SpeakText was given, None when nothing was sent for this entry.
		self.requestIndex = requestIndex
		self.silenceBytes = silenceBytes
		#: NVDA indexes reached when this entry's audio has played.
		self.indexes = []


def _outputDevice():
	try:
		return config.conf["audio"]["outputDevice"]
	except KeyError:
		# NVDA before 2025.1 kept it in the speech section.
		return config.conf["speech"]["outputDevice"]


def _userVoicesFolder():
	"""velorin/voices under NVDA's configuration folder, None when NVDA does not say where that is."""
	try:
		import globalVars

		configPath = globalVars.appArgs.configPath
	except (ImportError, AttributeError):
		return None
	return os.path.join(configPath, _velorin.USER_VOICES_FOLDER) if configPath else None


def _clamp(value, limits):
	low, high = limits
	return max(low, min(high, value))


#: The driver whose callback the engine's audio goes to. The engine holds one function pointer,
#: this module's own, so a driver can be freed while the library stays loaded.
_activeDriver = lambda: None  # noqa: E731


def _dispatchAudio(data, size):
	driver = _activeDriver()
	if driver is not None:
		driver._onAudio(data, size)
	return 0


_audioCallback = _velorin.AUDIO_CALLBACK(_dispatchAudio)


class SynthDriver(SynthDriver):
	name = "velorin"
	description = "Velorin - Tiếng Việt (Vietnamese)"

	supportedSettings = (
		SynthDriver.VoiceSetting(),
		SynthDriver.RateSetting(),
		SynthDriver.RateBoostSetting(),
		SynthDriver.PitchSetting(),
		SynthDriver.VolumeSetting(),
		NumericDriverSetting(
			"punctuationPause",
			"Punctuation pa&use (ms)",
			availableInSettingsRing=True,
			defaultVal=200,
			minVal=PUNCTUATION_PAUSE_RANGE[0],
			maxVal=PUNCTUATION_PAUSE_RANGE[1],
			minStep=10,
			normalStep=50,
			largeStep=100,
			displayName="Punctuation pause",
		),
		BooleanDriverSetting(
			"consonantPauses",
			"Pauses around &consonants",
			availableInSettingsRing=True,
			defaultVal=True,
			displayName="Pauses around consonants",
		),
	)
	supportedCommands = {
		IndexCommand,
		CharacterModeCommand,
		LangChangeCommand,
		BreakCommand,
		PitchCommand,
		RateCommand,
		VolumeCommand,
		PhonemeCommand,
		EndUtteranceCommand,
	}
	supportedNotifications = {synthIndexReached, synthDoneSpeaking}

	@classmethod
	def check(cls):
		try:
			root = _velorin.addonRoot()
			return os.path.isfile(_velorin.libraryPath(root)) and bool(cls._findVoices(root)[0])
		except _velorin.VelorinError:
			return False

	@staticmethod
	def _findVoices(root):
		folders = [os.path.join(root, _velorin.VOICES_FOLDER)]
		userFolder = _userVoicesFolder()
		if userFolder:
			folders.append(userFolder)
		return _velorin.findVoices(folders)

	def __init__(self):
		super().__init__()
		root = _velorin.addonRoot()
		voices, problems = self._findVoices(root)
		for problem in problems:
			log.warning(problem)
		self._voices = collections.OrderedDict((voice.id, voice) for voice in voices)
		defaultPath = os.path.join(root, _velorin.DEFAULT_VOICE)
		default = next((voice for voice in voices if voice.path == defaultPath), None)
		if default is None:
			if not voices:
				# The default voice names the reason: missing, or not a voice.
				_velorin.readVoiceHeader(defaultPath)
				raise _velorin.VelorinError(f"Velorin has no voice in {os.path.dirname(defaultPath)}")
			default = voices[0]
		self._lib = _velorin.Library(_velorin.libraryPath(root))
		header = _velorin.readVoiceHeader(default.path)
		if self._lib.Init(_velorin.encodePath(default.path)) != 0:
			raise _velorin.VelorinError(f"Velorin could not load the voice {default.path}")
		self._voice = default
		self._header = header

		# The engine as a screen reader wants it: no dead air, no trace on standard output.
		self._lib.SetParameter(_velorin.PARAM_PROFILE, _velorin.PROFILE_FLUENT)
		self._lib.SetParameter(_velorin.PARAM_DIAGNOSTICS, 0)
		# Pauses around consonants, when on: the fluent profile's, or the classic full ones.
		self._consonantPausesOn = self._lib.GetParameter(_velorin.PARAM_CONSONANT_PAUSES) or 100
		self._requestProsody = (100, 100, 100)
		self._setRequestProsody(self._requestProsody, force=True)
		self._requestUtterance = True
		self._setRequestUtterance(self._requestUtterance, force=True)

		self._stateLock = threading.Lock()
		self._work = threading.Condition(self._stateLock)
		# Held around every feed and idle, so the player sees one caller at a time and a cancel
		# can wait out a feed that was already under way.
		self._feedLock = threading.Lock()
		self._pending = collections.deque()
		self._generation = 0
		self._speakSerial = 0
		self._nextOwnIndex = _FIRST_OWN_INDEX
		self._awaitingDone = False
		self._terminated = False
		self._audioSinceIdle = False

		self._player = self._openPlayer(header)
		global _activeDriver
		_activeDriver = weakref.ref(self)
		self._lib.InitSynth(_audioCallback)

		self._rateBoost = False
		self._rateSet = None  # (percent, SetRate value, SPEED) last set
		self.rate = 50
		self.pitch = 50
		self.volume = 100
		self._watcher = threading.Thread(target=self._watch, name="velorin.watcher", daemon=True)
		self._watcher.start()
		log.info(f"Velorin: {self._lib.path}, voice {default.path} ({header.sampleRate} Hz, {header.channels} channels)")

	def _openPlayer(self, header):
		options = {"outputDevice": _outputDevice()}
		# NVDA's winmm player before 2025.1 buffers small chunks only when asked to.
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

	def _setRequestProsody(self, prosody, force=False):
		"""Rate, pitch and volume of the requests queued from now on, in percent of the settings."""
		if prosody == self._requestProsody and not force:
			return
		for parameter, value in zip(
			(_velorin.PARAM_REQUEST_RATE, _velorin.PARAM_REQUEST_PITCH, _velorin.PARAM_REQUEST_VOLUME), prosody
		):
			self._lib.SetParameter(parameter, value)
		self._requestProsody = prosody

	def _setRequestUtterance(self, starts, force=False):
		"""Whether the requests queued from now on start an utterance of their own."""
		if starts == self._requestUtterance and not force:
			return
		self._lib.SetParameter(_velorin.PARAM_REQUEST_UTTERANCE, 1 if starts else 0)
		self._requestUtterance = starts

	def _silenceBytes(self, ms):
		frame = 2 * self._header.channels
		return int(_clamp(ms, (0, _MAX_BREAK_MS)) * self._header.sampleRate // 1000) * frame

	def _requestedPercent(self, command, current):
		"""The setting, 0-100, that a pitch, rate or volume command asks for: an offset from the
		current setting (a multiplier is turned into one on NVDA's configured value)."""
		if command.isDefault:
			return current
		try:
			return max(0, current + command.offset)
		except Exception:
			log.debugWarning(f"Velorin: cannot apply {command!r}", exc_info=True)
			return current

	def _commandProsody(self, command, prosody):
		"""The request prosody after a pitch, rate or volume command."""
		rate, pitch, volume = prosody
		if isinstance(command, PitchCommand):
			current = self._percentToParam(self.pitch, *PITCH_RANGE)
			wanted = self._percentToParam(self._requestedPercent(command, self.pitch), *PITCH_RANGE)
			pitch = _clamp(round(100 * wanted / current), REQUEST_PITCH_LIMITS) if current > 0 else 100
		elif isinstance(command, RateCommand):
			current = self._rateFactor(self.rate)
			wanted = self._rateFactor(self._requestedPercent(command, self.rate))
			rate = _clamp(round(100 * wanted / current), REQUEST_RATE_LIMITS)
		else:
			current = self.volume
			wanted = self._requestedPercent(command, self.volume)
			volume = _clamp(round(100 * wanted / current), REQUEST_VOLUME_LIMITS) if current > 0 else 100
		return rate, pitch, volume

	def speak(self, speechSequence):
		with self._stateLock:
			if self._terminated:
				return
			added = []
			parts = []
			characterMode = False
			# Each sequence starts at the settings; NVDA repeats any change still in force.
			prosody = (100, 100, 100)
			# The next request starts an utterance: nothing of an earlier sequence runs into this
			# one, and nothing runs across a break or an end of utterance.
			startsUtterance = True

			def endRequest():
				nonlocal startsUtterance
				text = "".join(parts)
				parts.clear()
				if not text.strip():
					return
				entry = _Entry(self._ownIndex())
				self._setRequestProsody(prosody)
				self._setRequestUtterance(startsUtterance)
				self._send(text, entry.requestIndex)
				startsUtterance = False
				added.append(entry)

			# The engine's worker waits while the sequence is queued, so that each request's end
			# knows whether the next one goes on from it.
			self._lib.SetParameter(_velorin.PARAM_HOLD, 1)
			try:
				for item in speechSequence:
					if isinstance(item, str):
						if characterMode:
							# Each character its own word: the engine reads it by its name.
							parts.append(" " + " ".join(c for c in item if not c.isspace()) + " ")
						else:
							parts.append(item)
					elif isinstance(item, IndexCommand):
						endRequest()
						if added:
							# Reached after the audio of the entry before it.
							added[-1].indexes.append(item.index)
						else:
							entry = _Entry()
							entry.indexes.append(item.index)
							added.append(entry)
					elif isinstance(item, BreakCommand):
						# A break of 0 ms too: a boundary with no silence.
						endRequest()
						added.append(_Entry(silenceBytes=self._silenceBytes(item.time)))
						startsUtterance = True
					elif isinstance(item, (PitchCommand, RateCommand, VolumeCommand)):
						endRequest()
						prosody = self._commandProsody(item, prosody)
					elif isinstance(item, CharacterModeCommand):
						characterMode = item.state
					elif isinstance(item, PhonemeCommand):
						# The engine reads no phonemes; the text beside them is what to say.
						if item.text:
							parts.append(item.text)
					elif isinstance(item, EndUtteranceCommand):
						# Sounds as two utterances sent one after the other do.
						endRequest()
						startsUtterance = True
					elif isinstance(item, LangChangeCommand):
						# Every language is read the Vietnamese way.
						pass
					else:
						log.debugWarning(f"Velorin: unsupported speech command {item!r}")
				endRequest()
			finally:
				self._lib.SetParameter(_velorin.PARAM_HOLD, 0)
			if not added:
				return
			self._pending.extend(added)
			self._speakSerial += 1
			self._awaitingDone = True
			self._work.notify_all()

	def _findSent(self, requestIndex):
		"""The first pending request with this index, None when there is none."""
		for entry in self._pending:
			if entry.requestIndex is not None and entry.requestIndex == requestIndex:
				return entry
		return None

	def _takeFinished(self, current):
		"""Removes and returns the pending entries before current (all of them when current is None)."""
		finished = []
		while self._pending and self._pending[0] is not current:
			finished.append(self._pending.popleft())
		return finished

	def _playFinished(self, finished, generation):
		"""Feeds the silence of finished entries and reports their indexes once the audio fed
		before them has played. Called with _feedLock held."""
		for entry in finished:
			remaining = entry.silenceBytes
			piece = self._silenceBytes(_SILENCE_PIECE_MS)
			while remaining > 0 and generation == self._generation:
				size = min(piece, remaining)
				self._player.feed(bytes(size))
				self._audioSinceIdle = True
				remaining -= size
			for index in entry.indexes:
				if self._audioSinceIdle:
					self._player.feed(b"", onDone=functools.partial(self._onIndexPlayed, generation, index))
				else:
					# Nothing is playing: a marker in an idle player would never be reached.
					self._onIndexPlayed(generation, index)

	def _onIndexPlayed(self, generation, index):
		if generation == self._generation:
			synthIndexReached.notify(synth=self, index=index)

	def _onAudio(self, data, size):
		"""The engine's audio, on its worker thread: one chunk of 16-bit PCM."""
		try:
			if size <= 0 or not data:
				return
			chunk = ctypes.string_at(data, size)
			with self._feedLock:
				with self._stateLock:
					if self._terminated:
						return
					entry = self._findSent(self._lib.GetLastIndex())
					if entry is None:
						# Rendered before a cancel.
						return
					finished = self._takeFinished(entry)
					generation = self._generation
				self._playFinished(finished, generation)
				if generation != self._generation:
					return
				self._player.feed(chunk)
				self._audioSinceIdle = True
		except Exception:
			log.error("Velorin: audio callback", exc_info=True)

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
			self._playFinished(finished, generation)
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
		# NVDA switches synthesizers after this returns, so nothing may escape.
		try:
			# Saves the settings.
			terminateBase = getattr(super(), "terminate", None)
			if terminateBase:
				terminateBase()
		except Exception:
			log.error("Velorin: saving the settings", exc_info=True)
		try:
			self._silence(terminating=True)
			self._lib.TerminateSynth()
			# The engine drops its chunks from now on and keeps nothing of this driver.
			self._lib.InitSynth(_velorin.NO_AUDIO_CALLBACK)
			global _activeDriver
			if _activeDriver() is self:
				_activeDriver = lambda: None  # noqa: E731
			self._watcher.join()
			self._player.close()
		except Exception:
			log.error("Velorin: terminate", exc_info=True)

	# --- Voices ----------------------------------------------------------------------------

	def _getAvailableVoices(self):
		return collections.OrderedDict(
			(voice.id, VoiceInfo(voice.id, voice.displayName, "vi")) for voice in self._voices.values()
		)

	def _get_voice(self):
		return self._voice.id

	def _set_voice(self, voiceId):
		voice = self._voices.get(voiceId)
		if voice is None:
			raise LookupError(f"No such voice: {voiceId}")
		if voice.path == self._voice.path:
			return
		header = _velorin.readVoiceHeader(voice.path)
		newFormat = (header.sampleRate, header.channels) != (self._header.sampleRate, self._header.channels)
		if newFormat:
			# What is queued would play at the wrong rate.
			self._silence()
		if self._lib.Init(_velorin.encodePath(voice.path)) != 0:
			# The engine may have let go of the old voice; take it up again.
			self._lib.Init(_velorin.encodePath(self._voice.path))
			raise _velorin.VelorinError(f"Velorin could not load the voice {voice.path}")
		if newFormat:
			try:
				player = self._openPlayer(header)
			except Exception:
				self._lib.Init(_velorin.encodePath(self._voice.path))
				raise
			with self._feedLock:
				oldPlayer = self._player
				self._player = player
				self._audioSinceIdle = False
			oldPlayer.close()
		self._voice = voice
		self._header = header
		log.info(f"Velorin: voice {voice.path} ({header.sampleRate} Hz, {header.channels} channels)")

	# --- Settings --------------------------------------------------------------------------

	def _rateFactors(self):
		return RATE_BOOST_FACTORS if self._rateBoost else RATE_FACTORS

	def _rateFactor(self, percent):
		low, high = self._rateFactors()
		return low + (high - low) * percent / 100

	def _engineRate(self):
		"""The speed factor the engine holds: SetRate's, times SPEED."""
		return self._lib.GetRate() / 50 * self._lib.GetParameter(_velorin.PARAM_SPEED) / 100

	def _get_rate(self):
		if self._rateSet and self._rateSet[1:] == (self._lib.GetRate(), self._lib.GetParameter(_velorin.PARAM_SPEED)):
			return self._rateSet[0]
		low, high = self._rateFactors()
		return _clamp(round((self._engineRate() - low) / (high - low) * 100), (0, 100))

	def _set_rate(self, percent):
		factor = self._rateFactor(percent)
		hostRate = _clamp(round(50 * factor), SET_RATE_RANGE)
		# SPEED carries what SetRate cannot.
		speed = 100 if factor <= 2 else round(100 * factor / 2)
		self._lib.SetRate(hostRate)
		self._lib.SetParameter(_velorin.PARAM_SPEED, speed)
		self._rateSet = (percent, self._lib.GetRate(), self._lib.GetParameter(_velorin.PARAM_SPEED))

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
		return _clamp(self._paramToPercent(self._lib.GetPitch(), *PITCH_RANGE), (0, 100))

	def _set_pitch(self, percent):
		self._lib.SetPitch(self._percentToParam(percent, *PITCH_RANGE))

	def _get_volume(self):
		return _clamp(self._paramToPercent(self._lib.GetVolume(), *VOLUME_RANGE), (0, 100))

	def _set_volume(self, percent):
		self._lib.SetVolume(self._percentToParam(percent, *VOLUME_RANGE))

	def _get_punctuationPause(self):
		return self._lib.GetParameter(_velorin.PARAM_PUNCTUATION_PAUSE)

	def _set_punctuationPause(self, ms):
		self._lib.SetParameter(_velorin.PARAM_PUNCTUATION_PAUSE, _clamp(int(ms), PUNCTUATION_PAUSE_RANGE))

	def _get_consonantPauses(self):
		return self._lib.GetParameter(_velorin.PARAM_CONSONANT_PAUSES) > 0

	def _set_consonantPauses(self, enable):
		self._lib.SetParameter(_velorin.PARAM_CONSONANT_PAUSES, self._consonantPausesOn if enable else 0)
