# The driver against the Linux engine library and the fake NVDA: speech and indexes, every
# speech command, cancel and pause, settings through NVDA's configuration and profiles, voices,
# and loading failures.
import gc
import os
import shutil
import tempfile
import threading
import time
import unittest
import weakref

import harness
import config
import synthDriverHandler
from _fakeVersion import RELEASE
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
	SynthCommand,
	VolumeCommand,
)

import _velorin

LONG_TEXT = "xin chào các bạn hôm nay trời đẹp quá việt nam"
#: Audio bytes a second of the test voice (16 kHz mono, 16-bit).
BYTES_PER_SECOND = 32000


class DriverCase(unittest.TestCase):
	"""The driver as NVDA's current synthesizer, from a fresh add-on folder with the test voice."""

	extraVoices = None

	def setUp(self):
		self.addon = harness.AddonFolder(extraVoices=self.extraVoices)
		self.errorsBefore = len(log.messages("error"))
		self.session = harness.Session(self.addon)
		self.synth = self.session.synth
		self.notifications = harness.Notifications(lambda: self.synth._player)

	def tearDown(self):
		self.session.close()
		self.notifications.close()
		self.addon.remove()
		self.assertEqual(log.messages("error")[self.errorsBefore:], [], "the driver logged errors")

	@property
	def player(self):
		return self.synth._player

	def speakAndWait(self, sequence):
		"""Speaks the sequence to the end; returns the audio fed for it."""
		chunksBefore = len(self.player.chunks)
		doneBefore = self.notifications.doneCount()
		self.synth.speak(sequence)
		self.notifications.waitForDone(doneBefore + 1)
		return self.player.audioSince(chunksBefore)

	def restart(self, prepareConfig=None):
		"""A new NVDA session on a new configuration folder, after prepareConfig(folder)."""
		self.session.close()
		configPath = tempfile.mkdtemp(prefix="velorin-nvda-config-")
		self.addCleanup(shutil.rmtree, configPath, True)
		if prepareConfig:
			prepareConfig(configPath)
		self.session = harness.Session(self.addon, configPath)
		self.synth = self.session.synth

	def change(self, name, value):
		"""Changes a setting as NVDA's settings ring does: the driver's and the configuration's."""
		setattr(self.synth, name, value)
		config.conf["speech"][self.synth.name][name] = value

	def recordRequests(self):
		"""From now on, every SpeakText request as (text, (rate, pitch, volume) percent)."""
		requests = []
		send = self.synth._send

		def recordingSend(text, requestIndex):
			requests.append((text, self.synth._requestProsody))
			send(text, requestIndex)

		self.synth._send = recordingSend
		return requests


class SpeechTest(DriverCase):
	def test_player_has_the_voice_format(self):
		self.assertEqual((self.player.samplesPerSec, self.player.channels, self.player.bitsPerSample), (16000, 1, 16))
		self.assertEqual(self.player.outputDevice, config.conf[RELEASE.outputDeviceSection]["outputDevice"])
		# Buffering is asked for wherever the player takes it.
		self.assertEqual(self.player.buffered, True if RELEASE.playerBuffered else None)

	def test_the_engine_speaks_for_a_screen_reader(self):
		lib = self.synth._lib
		cases = [
			(_velorin.PARAM_PROFILE, _velorin.PROFILE_FLUENT),
			(_velorin.PARAM_REQUEST_END_PAUSE, 0),
			(_velorin.PARAM_LEADING_SILENCE, 1),
			(_velorin.PARAM_DIAGNOSTICS, 0),
		]
		for parameter, value in cases:
			with self.subTest(parameter=parameter):
				self.assertEqual(lib.GetParameter(parameter), value)

	def test_indexes_follow_their_audio_in_order(self):
		pieces = ["xin chào", "các bạn", "hôm nay trời", "đẹp quá"]
		# Each index ends where the words before it, spoken alone, would end.
		ends = [len(self.speakAndWait([" ".join(pieces[:count])])) for count in range(1, len(pieces) + 1)]
		whole = self.speakAndWait([" ".join(pieces)])
		self.assertTrue(all(ends), ends)

		start = self.player.position()
		eventsBefore = len(self.notifications.snapshot())
		audio = self.speakAndWait([pieces[0], IndexCommand(1), pieces[1], IndexCommand(2), pieces[2], IndexCommand(3), pieces[3]])
		events = self.notifications.snapshot()[eventsBefore:]

		# The requests between the indexes join as the words of one request do.
		self.assertEqual(len(audio), len(whole))
		self.assertTrue(audio == whole, "the indexed speech is not the text spoken whole")
		self.assertEqual([(kind, index) for kind, index, _ in events], [("index", 1), ("index", 2), ("index", 3), ("done", None)])
		# The end of a unit that joins the next comes with the next request's audio.
		joinBytes = self.synth._lib.GetParameter(_velorin.PARAM_JOIN) * BYTES_PER_SECOND // 1000
		for (_, index, position), end in zip(events[:3], ends):
			with self.subTest(index=index):
				self.assertGreaterEqual(position - start, end - joinBytes, "index reported before its audio played")
		self.assertGreaterEqual(events[3][2] - start, len(whole), "done before all audio played")

	def test_indexes_without_text_before_them(self):
		cases = [
			([IndexCommand(1), "xin chào", IndexCommand(2), IndexCommand(3)], [1, 2, 3]),
			([IndexCommand(7)], [7]),
			([IndexCommand(8), IndexCommand(9)], [8, 9]),
			(["xin", IndexCommand(10), "", IndexCommand(11), "chào"], [10, 11]),
			([PitchCommand(offset=20), IndexCommand(12), PitchCommand()], [12]),
		]
		for sequence, expected in cases:
			with self.subTest(sequence=sequence):
				before = len(self.notifications.indexes())
				self.speakAndWait(sequence)
				self.assertEqual(self.notifications.indexes()[before:], expected)

	def test_index_after_text_with_no_audio(self):
		# Neither "\0" (a space) nor "zzz" (no unit in the voice) makes a sound.
		before = len(self.notifications.indexes())
		self.speakAndWait(["\0", IndexCommand(4), "zzz", IndexCommand(5)])
		self.assertEqual(self.notifications.indexes()[before:], [4, 5])

	def test_speak_returns_while_the_player_is_paused(self):
		self.synth.pause(True)
		speaker = threading.Thread(target=self.synth.speak, args=([LONG_TEXT, IndexCommand(1), LONG_TEXT, IndexCommand(2)],))
		speaker.start()
		speaker.join(5)
		self.assertFalse(speaker.is_alive(), "speak blocked on the paused player")
		time.sleep(0.2)
		positionWhilePaused = self.player.position()
		time.sleep(0.2)
		self.assertEqual(self.player.position(), positionWhilePaused)
		self.assertEqual(self.notifications.indexes(), [])
		self.synth.pause(False)
		self.notifications.waitForDone()
		self.assertEqual(self.notifications.indexes(), [1, 2])


class CommandsTest(DriverCase):
	def test_declared(self):
		for command in (IndexCommand, CharacterModeCommand, LangChangeCommand, BreakCommand, PitchCommand,
				RateCommand, VolumeCommand, PhonemeCommand, EndUtteranceCommand):
			with self.subTest(command=command.__name__):
				self.assertIn(command, self.synth.supportedCommands)

	def test_every_command_in_one_sequence(self):
		# Each utterance on its own, with the commands in force in it, is what the sequence must play;
		# the break and the end of utterance start a new one.
		utterances = [
			["xin"],
			[CharacterModeCommand(True), "a", CharacterModeCommand(False), PhonemeCommand("ʨaːw", text="chào"),
				PitchCommand(offset=30), "các"],
			[RateCommand(offset=20), "bạn", RateCommand(), VolumeCommand(multiplier=0.5), "nam"],
		]
		references = [self.speakAndWait(utterance) for utterance in utterances]
		silence = bytes(BYTES_PER_SECOND * 300 // 1000)

		requests = self.recordRequests()
		start = self.player.position()
		eventsBefore = len(self.notifications.snapshot())
		audio = self.speakAndWait([
			LangChangeCommand("en_US"),
			"xin", IndexCommand(1), BreakCommand(300), IndexCommand(2),
			CharacterModeCommand(True), "a", CharacterModeCommand(False), PhonemeCommand("ʨaːw", text="chào"),
			PitchCommand(offset=30), "các", PitchCommand(), IndexCommand(3),
			EndUtteranceCommand(),
			RateCommand(offset=20), "bạn", RateCommand(),
			VolumeCommand(multiplier=0.5), "nam", VolumeCommand(), LangChangeCommand(None), IndexCommand(4),
		])
		events = self.notifications.snapshot()[eventsBefore:]

		self.assertEqual(requests, [
			("xin", (100, 100, 100)),
			(" a chào", (100, 100, 100)),
			# Pitch 50 is the engine's 100; 50 + 30 is its 130.
			("các", (100, 130, 100)),
			# Rate 50 is 1x, 70 is 1.2x.
			("bạn", (120, 100, 100)),
			("nam", (100, 100, 50)),
		])
		expected = references[0] + silence + references[1] + references[2]
		self.assertEqual(len(audio), len(expected))
		self.assertTrue(audio == expected, "the audio is not the utterances and the silence in order")
		reached = {index: position - start for kind, index, position in events if kind == "index"}
		self.assertEqual(list(reached), [1, 2, 3, 4])
		ends = {
			1: len(references[0]),
			2: len(references[0]) + len(silence),
			3: len(references[0]) + len(silence) + len(references[1]),
			4: len(expected),
		}
		for index, end in ends.items():
			with self.subTest(index=index):
				self.assertGreaterEqual(reached[index], end, "index reported before its audio played")

	def test_breaks(self):
		xin = self.speakAndWait(["xin"])
		ms = BYTES_PER_SECOND // 1000
		cases = [
			("between words", ["xin", BreakCommand(250), "xin"], xin + bytes(250 * ms) + xin),
			("first", [BreakCommand(100), "xin"], bytes(100 * ms) + xin),
			("last", ["xin", BreakCommand(40), IndexCommand(3)], xin + bytes(40 * ms)),
			("alone", [BreakCommand(1000)], bytes(1000 * ms)),
			("two", [BreakCommand(10), BreakCommand(20)], bytes(30 * ms)),
			("nothing", ["xin", BreakCommand(0), BreakCommand(-5), "xin"], xin + xin),
		]
		for name, sequence, expected in cases:
			with self.subTest(name):
				self.assertTrue(self.speakAndWait(sequence) == expected)

	def test_an_index_after_a_break_is_reached_after_its_silence(self):
		start = self.player.position()
		eventsBefore = len(self.notifications.snapshot())
		self.speakAndWait([BreakCommand(500), IndexCommand(6)])
		(kind, index, position), = self.notifications.snapshot()[eventsBefore:-1]
		self.assertEqual((kind, index), ("index", 6))
		self.assertGreaterEqual(position - start, 500 * BYTES_PER_SECOND // 1000)

	def test_what_is_sent_as_text(self):
		cases = [
			("character mode", [CharacterModeCommand(True), "ab c", CharacterModeCommand(False), "xin"], [" a b c xin"]),
			("character mode alone", [CharacterModeCommand(True), "B"], [" B "]),
			("phoneme with text", ["xin ", PhonemeCommand("ʨaːw", text="chào"), " bạn"], ["xin chào bạn"]),
			("phoneme without text", ["xin", PhonemeCommand("ʨaːw"), IndexCommand(1)], ["xin"]),
			("language change", [LangChangeCommand("en"), "xin ", LangChangeCommand("vi"), "chào"], ["xin chào"]),
			("end of utterance", ["xin", EndUtteranceCommand(), "chào"], ["xin", "chào"]),
			("prosody back to the settings", [PitchCommand(offset=10), PitchCommand(), "xin"], ["xin"]),
		]
		for name, sequence, expected in cases:
			with self.subTest(name):
				requests = self.recordRequests()
				self.speakAndWait(sequence)
				self.assertEqual([text for text, _ in requests], expected)

	def test_character_mode_reads_letters_by_name(self):
		spelled = self.speakAndWait([CharacterModeCommand(True), "ab", CharacterModeCommand(False)])
		self.assertTrue(spelled)
		self.assertTrue(spelled == self.speakAndWait(["a bê"]))

	def test_prosody_is_relative_to_the_settings(self):
		self.change("pitch", 0)
		self.change("rate", 100)
		self.change("volume", 80)
		cases = [
			# command, (rate, pitch, volume) of the request
			(PitchCommand(offset=30), (100, 160, 100)),  # pitch 0 -> 30: engine 50 -> 80
			(PitchCommand(multiplier=2), (100, 100, 100)),  # twice 0 is 0
			(RateCommand(offset=-50), (67, 100, 100)),  # 1.5x -> 1x
			(RateCommand(multiplier=4), (300, 100, 100)),  # rate 400: 1.5x -> 4.5x
			(VolumeCommand(offset=-80), (100, 100, 0)),
			(VolumeCommand(multiplier=3), (100, 100, 300)),
		]
		for command, prosody in cases:
			with self.subTest(command=command):
				requests = self.recordRequests()
				self.speakAndWait([command, "xin"])
				self.assertEqual(requests, [("xin", prosody)])

	def test_an_offset_follows_the_setting_in_force(self):
		# Set without the configuration knowing yet: the capital is still 30 above.
		self.synth.pitch = 70
		requests = self.recordRequests()
		self.speakAndWait([PitchCommand(offset=30), "xin"])
		self.assertEqual(requests, [("xin", (100, 125, 100))])  # engine 120 -> 150

	@unittest.skipUnless(harness.engineHas("request pitch"), "waits for the engine's per-request prosody (REQUEST_PITCH)")
	def test_capital_pitch_on_the_capital_only(self):
		# Every unit of the test voice lasts as long, alone or in a run.
		xin, nam = (self.speakAndWait([word]) for word in ("xin", "nam"))
		plain = self.speakAndWait(["xin chào nam"])
		requests = self.recordRequests()
		audio = self.speakAndWait(["xin", PitchCommand(offset=30), "chào", PitchCommand(), "nam"])
		self.assertEqual(requests, [("xin", (100, 100, 100)), ("chào", (100, 130, 100)), ("nam", (100, 100, 100))])
		self.assertEqual(len(audio), len(plain))
		self.assertNotEqual(audio, plain)
		# The words either side sound as in the plain run; the capital's end crossfades into the next.
		joinBytes = self.synth._lib.GetParameter(_velorin.PARAM_JOIN) * BYTES_PER_SECOND // 1000
		namFrom = len(plain) - len(nam) + joinBytes
		self.assertTrue(audio[:len(xin)] == plain[:len(xin)], "the word before the capital changed")
		self.assertTrue(audio[namFrom:] == plain[namFrom:], "the word after the capital changed")

	def test_unknown_commands_are_left_out(self):
		class FutureCommand(SynthCommand):
			pass

		plain = self.speakAndWait(["xin chào"])
		self.assertTrue(self.speakAndWait(["xin ", FutureCommand(), "chào"]) == plain)
		self.assertTrue(any("FutureCommand" in message for message in log.messages("debugWarning")))


@unittest.skipUnless(harness.engineHas("request end pause"), "waits for the engine's end-of-request pause (REQUEST_END_PAUSE)")
class SilenceTest(DriverCase):
	def test_an_index_adds_no_silence(self):
		plain = harness.silentRuns(self.speakAndWait([harness.SENTENCE]), BYTES_PER_SECOND)
		for cut in ("Xin chào các", "Xin chào các bạn,", "Xin chào các bạn, hôm nay trời"):
			with self.subTest(cut=cut):
				rest = harness.SENTENCE[len(cut):]
				indexed = harness.silentRuns(self.speakAndWait([cut, IndexCommand(1), rest, IndexCommand(2)]), BYTES_PER_SECOND)
				# Every pause is where it was and as long; no new one (a join may leave a few ms).
				self.assertAlmostEqual(sum(length for _, length in indexed), sum(length for _, length in plain), delta=15, msg=(plain, indexed))
				for start, length in indexed:
					if length > 15:
						self.assertTrue(
							any(abs(start - s) <= 20 and abs(length - l) <= 10 for s, l in plain),
							f"a pause of {length:.0f} ms at {start:.0f} ms: {plain} without the index, {indexed} with it",
						)

	def test_an_utterance_ends_within_the_sentence_pause(self):
		sentencePause = self.synth.punctuationPause
		cases = [("full stop", "Xin chào các bạn.", sentencePause), ("no mark", "Xin chào các bạn", 0)]
		for name, text, allowed in cases:
			with self.subTest(name):
				audio = self.speakAndWait([text, IndexCommand(1)])
				runs = harness.silentRuns(audio, BYTES_PER_SECOND)
				durationMs = len(audio) * 1000 / BYTES_PER_SECOND
				trailing = runs[-1][1] if runs and runs[-1][0] + runs[-1][1] >= durationMs - 0.1 else 0
				# The last unit's own fade-out is allowed for.
				self.assertLessEqual(trailing, allowed + 20)


class CancelTest(DriverCase):
	def longSequence(self, firstIndex):
		sequence = []
		for number, word in enumerate((LONG_TEXT + " " + LONG_TEXT).split()):
			sequence += [word, IndexCommand(firstIndex + number)]
		return sequence

	def assertQuietAfterCancel(self):
		"""After cancel(): no audio is fed, no index or done is reported, the engine's queue is empty."""
		chunks = len(self.player.chunks)
		events = len(self.notifications.snapshot())
		self.assertEqual(self.player.events[-1], ("stop",))
		deadline = time.monotonic() + 2
		while self.synth._lib.GetLastIndex() != -1 and time.monotonic() < deadline:
			time.sleep(0.01)
		time.sleep(0.3)
		self.assertEqual(len(self.player.chunks), chunks, "audio fed after cancel")
		self.assertEqual(self.notifications.snapshot()[events:], [], "notified after cancel")

	def test_cancel_mid_speech(self):
		self.synth.speak(self.longSequence(100))
		self.notifications.waitForIndex(101)
		self.synth.cancel()
		self.assertQuietAfterCancel()
		self.assertNotIn(100 + len((LONG_TEXT + " " + LONG_TEXT).split()) - 1, self.notifications.indexes())

	def test_cancel_during_a_break(self):
		self.synth.speak(["xin", BreakCommand(5000), IndexCommand(1)])
		deadline = time.monotonic() + 5
		while self.player.fedBytes() < BYTES_PER_SECOND and time.monotonic() < deadline:
			time.sleep(0.005)
		self.synth.cancel()
		self.assertQuietAfterCancel()
		self.assertNotIn(1, self.notifications.indexes())

	@unittest.skipUnless(harness.engineHas("final cancel"), "waits for the engine's final Cancel (no chunk after it returns)")
	def test_speech_after_cancel_has_none_of_the_old(self):
		reference = self.speakAndWait(["xin chào"])
		for attempt in range(15):
			with self.subTest(attempt=attempt):
				self.synth.speak(self.longSequence(1000 * (attempt + 1)))
				# Cancel at different points: before, at and after the first chunks.
				time.sleep(0.003 * attempt)
				self.synth.cancel()
				before = len(self.notifications.indexes())
				audio = self.speakAndWait(["xin chào", IndexCommand(5)])
				self.assertTrue(audio == reference)
				self.assertEqual(self.notifications.indexes()[before:], [5])

	def test_cancel_while_paused(self):
		self.synth.pause(True)
		self.synth.speak(self.longSequence(1))
		time.sleep(0.1)
		self.synth.cancel()
		self.assertQuietAfterCancel()
		self.speakAndWait(["xin chào", IndexCommand(9)])
		self.assertEqual(self.notifications.indexes(), [9])


class SettingsTest(DriverCase):
	def test_defaults(self):
		lib = self.synth._lib
		self.assertEqual((self.synth.rate, self.synth.pitch, self.synth.volume, self.synth.rateBoost), (50, 50, 100, False))
		self.assertEqual((lib.GetRate(), lib.GetPitch(), lib.GetVolume()), (50, 100, 100))
		fluent = harness_fluent_values()
		self.assertEqual(self.synth.punctuationPause, fluent[_velorin.PARAM_PUNCTUATION_PAUSE])
		self.assertEqual(self.synth.consonantPauses, fluent[_velorin.PARAM_CONSONANT_PAUSES] > 0)
		self.assertEqual(self.synth.voice, "test speaker")

	def test_every_value_reads_back(self):
		cases = [("rate", False, range(101)), ("rate", True, range(101)), ("pitch", False, range(101)),
			("volume", False, range(101)), ("punctuationPause", False, range(0, 1001, 10))]
		for name, boost, values in cases:
			self.synth.rateBoost = boost
			for value in values:
				setattr(self.synth, name, value)
				self.assertEqual(getattr(self.synth, name), value, f"{name} {value} boost {boost}")

	def test_engine_values(self):
		lib = self.synth._lib
		speed = lambda: lib.GetParameter(_velorin.PARAM_SPEED)  # noqa: E731
		consonants = lambda: lib.GetParameter(_velorin.PARAM_CONSONANT_PAUSES)  # noqa: E731
		cases = [
			# setting, value, rate boost, engine getter, engine value
			("rate", 0, False, lib.GetRate, 25),
			("rate", 50, False, lib.GetRate, 50),
			("rate", 100, False, lib.GetRate, 75),
			("rate", 100, False, speed, 100),
			("rate", 0, True, lib.GetRate, 50),
			("rate", 30, True, lib.GetRate, 95),  # 1.9x
			("rate", 30, True, speed, 100),
			("rate", 50, True, lib.GetRate, 100),  # 2.5x: SetRate's 2x, then SPEED
			("rate", 50, True, speed, 125),
			("rate", 100, True, speed, 200),  # 4x
			("pitch", 0, False, lib.GetPitch, 50),
			("pitch", 50, False, lib.GetPitch, 100),
			("pitch", 100, False, lib.GetPitch, 150),
			("volume", 0, False, lib.GetVolume, 0),
			("volume", 37, False, lib.GetVolume, 37),
			("volume", 100, False, lib.GetVolume, 100),
			("punctuationPause", 0, False, lambda: lib.GetParameter(_velorin.PARAM_PUNCTUATION_PAUSE), 0),
			("punctuationPause", 750, False, lambda: lib.GetParameter(_velorin.PARAM_PUNCTUATION_PAUSE), 750),
			("punctuationPause", 5000, False, lambda: lib.GetParameter(_velorin.PARAM_PUNCTUATION_PAUSE), 1000),
			("consonantPauses", False, False, consonants, 0),
			("consonantPauses", True, False, consonants, harness_fluent_values()[_velorin.PARAM_CONSONANT_PAUSES]),
		]
		for name, value, boost, getter, expected in cases:
			with self.subTest(setting=name, value=value, boost=boost):
				self.synth.rateBoost = boost
				setattr(self.synth, name, value)
				self.assertEqual(getter(), expected)

	def test_rate_boost_keeps_the_percent(self):
		self.synth.rate = 40
		self.synth.rateBoost = True
		self.assertEqual((self.synth.rate, self.synth._lib.GetRate(), self.synth._lib.GetParameter(_velorin.PARAM_SPEED)), (40, 100, 110))
		self.synth.rateBoost = False
		self.assertEqual((self.synth.rate, self.synth._lib.GetRate(), self.synth._lib.GetParameter(_velorin.PARAM_SPEED)), (40, 45, 100))

	def test_read_back_follows_the_engine(self):
		lib = self.synth._lib
		self.synth.rate = 30
		lib.SetRate(75)
		self.assertEqual(self.synth.rate, 100)
		lib.SetPitch(1000)
		self.assertEqual(self.synth.pitch, 100)
		lib.SetVolume(-5)
		self.assertEqual(self.synth.volume, 0)


def harness_fluent_values():
	"""The engine's fluent profile, as the library reports it."""
	lib = synthDriverHandler.getSynth()._lib
	return {p: lib.GetParameter(p) for p in (_velorin.PARAM_PUNCTUATION_PAUSE, _velorin.PARAM_CONSONANT_PAUSES)}


class ConfigurationTest(unittest.TestCase):
	"""Settings saved through NVDA's configuration, loaded by a later NVDA, and in profiles."""

	SETTINGS = {"rate": 70, "rateBoost": True, "pitch": 30, "volume": 80, "punctuationPause": 350,
		"consonantPauses": False, "voice": "giọng thứ hai"}

	def setUp(self):
		self.addon = harness.AddonFolder(extraVoices={"second.voice": harness.makeVoice("giọng thứ hai", 22050)})
		self.configPath = tempfile.mkdtemp(prefix="velorin-nvda-config-")
		self.session = None

	def tearDown(self):
		if self.session:
			self.session.close()
		self.addon.remove()
		shutil.rmtree(self.configPath, ignore_errors=True)

	def start(self):
		if self.session:
			self.session.close()
		self.session = harness.Session(self.addon, self.configPath)
		return self.session.synth

	def assertSettings(self, synth, expected):
		self.assertEqual({name: getattr(synth, name) for name in expected}, expected)

	def test_saved_settings_come_back(self):
		synth = self.start()
		defaults = {name: getattr(synth, name) for name in self.SETTINGS}
		for name, value in self.SETTINGS.items():
			setattr(synth, name, value)
		config.conf.save()
		synth = self.start()
		self.assertSettings(synth, self.SETTINGS)
		# Rate 70 with rate boost is 3.1x.
		self.assertEqual((synth._lib.GetRate(), synth._lib.GetParameter(_velorin.PARAM_SPEED)), (100, 155))
		self.assertEqual(synth._player.samplesPerSec, 22050)
		self.assertEqual(synth._lib.GetParameter(_velorin.PARAM_CONSONANT_PAUSES), 0)
		with open(os.path.join(self.configPath, "nvda.ini"), encoding="utf-8") as f:
			self.assertIn("giọng thứ hai", f.read())

		# Back to the defaults, saved when the driver ends.
		for name, value in defaults.items():
			setattr(synth, name, value)
		self.session.close()
		self.session = None
		config.conf.save()
		synth = self.start()
		self.assertSettings(synth, defaults)

	def change(self, synth, name, value):
		"""Changes a setting as NVDA's settings ring does: the driver's and the configuration's."""
		setattr(synth, name, value)
		config.conf["speech"][synth.name][name] = value

	def test_profiles(self):
		synth = self.start()
		self.change(synth, "punctuationPause", 350)
		config.conf.createProfile("say all")
		config.conf.manualActivateProfile("say all")
		self.change(synth, "punctuationPause", 600)
		self.change(synth, "voice", "giọng thứ hai")
		config.conf.save()
		config.conf.manualActivateProfile(None)
		self.assertSettings(synth, {"punctuationPause": 350, "voice": "test speaker"})
		self.assertEqual(synth._player.samplesPerSec, 16000)
		config.conf.manualActivateProfile("say all")
		self.assertSettings(synth, {"punctuationPause": 600, "voice": "giọng thứ hai"})
		self.assertEqual(synth._player.samplesPerSec, 22050)
		# The profile holds only what differs from the base configuration.
		with open(os.path.join(self.configPath, "profiles", "say all.ini"), encoding="utf-8") as f:
			profile = f.read()
		self.assertIn("punctuationPause = 600", profile)
		self.assertNotIn("rate", profile)

	def test_a_voice_that_is_gone(self):
		synth = self.start()
		synth.voice = "giọng thứ hai"
		config.conf.save()
		self.session.close()
		self.session = None
		os.remove(os.path.join(self.addon.voicesDir, "second.voice"))
		synth = self.start()
		self.assertEqual(synth.voice, "test speaker")
		self.assertTrue(any("Invalid voice" in message for message in log.messages("warning")))
		self.assertEqual(config.conf["speech"]["velorin"]["voice"], "test speaker")


class VoicesTest(DriverCase):
	extraVoices = {
		# Another voice of the same format, without "nam".
		"vi-south.voice": harness.makeVoice("giọng miền Nam", syllables=harness.TEST_SYLLABLES[:-3]),
		"vi-third.voice": harness.makeVoice("giọng thứ ba", 22050),
		# The same name again.
		"z-copy.voice": harness.makeVoice("giọng thứ ba", 22050),
	}

	def test_every_voice_by_its_name(self):
		def addUserVoices(configPath):
			userVoices = os.path.join(configPath, _velorin.USER_VOICES_FOLDER)
			os.makedirs(userVoices)
			shutil.copyfile(harness.makeVoice("giọng riêng", 8000), os.path.join(userVoices, "mine.voice"))
			with open(os.path.join(userVoices, "broken.voice"), "wb") as f:
				f.write(b"not a voice")
			with open(os.path.join(userVoices, "notes.txt"), "wb") as f:
				f.write(b"not a voice either")

		self.restart(addUserVoices)
		voices = self.synth.availableVoices
		self.assertEqual(
			[(voice.id, voice.displayName, voice.language) for voice in voices.values()],
			[("test speaker", "test speaker", "vi"), ("giọng miền Nam", "giọng miền Nam", "vi"),
			 ("giọng thứ ba", "giọng thứ ba", "vi"), ("giọng thứ ba (z-copy.voice)", "giọng thứ ba (z-copy.voice)", "vi"),
			 ("giọng riêng", "giọng riêng", "vi")],
		)
		self.assertEqual(list(voices), [voice.id for voice in voices.values()])
		self.assertEqual(self.synth.voice, "test speaker", "the default voice is vi-default.voice")
		self.assertTrue(any("broken.voice" in message for message in log.messages("warning")))
		self.synth.voice = "giọng riêng"
		self.assertEqual(self.synth._player.samplesPerSec, 8000)
		self.assertTrue(self.speakAndWait(["xin chào"]))

	def test_switching_while_speaking(self):
		self.synth.speak([LONG_TEXT, IndexCommand(1), LONG_TEXT, IndexCommand(2)])
		self.notifications.waitForIndex(1)
		# Same format: what is queued goes on, in the new voice.
		self.synth.voice = "giọng miền Nam"
		self.notifications.waitForDone()
		self.assertEqual(self.notifications.indexes(), [1, 2])
		self.assertFalse(any(harness.samples(self.speakAndWait(["nam"]))), "the new voice has no nam")

		# Another format: the old speech stops, a new player plays the new voice.
		firstPlayer = self.player
		self.synth.speak([LONG_TEXT, IndexCommand(3), LONG_TEXT, IndexCommand(4)])
		self.notifications.waitForIndex(3)
		self.synth.voice = "giọng thứ ba"
		self.assertTrue(firstPlayer.closed)
		self.assertEqual((self.player.samplesPerSec, self.player.channels), (22050, 1))
		before = len(self.notifications.indexes())
		audio = self.speakAndWait(["xin chào", IndexCommand(5)])
		self.assertEqual(self.notifications.indexes()[before:], [5])
		self.assertEqual(len(audio) % 2, 0)
		self.assertGreater(len(audio), 0.8 * 22050 * 2 * 0.4)

	def test_a_voice_the_engine_cannot_load(self):
		# A header the driver reads, with no units after it.
		with open(harness.makeVoice("giọng hỏng"), "rb") as f:
			header = f.read(64)
		with open(os.path.join(self.addon.voicesDir, "broken-units.voice"), "wb") as f:
			f.write(header)
		self.restart()
		with self.assertRaises(self.session.module._velorin.VelorinError):
			self.synth.voice = "giọng hỏng"
		self.assertEqual(self.synth.voice, "test speaker")
		self.assertTrue(self.speakAndWait(["xin chào"]), "the old voice no longer speaks")

	def test_unknown_voice(self):
		with self.assertRaises(LookupError):
			self.synth.voice = "no such voice"


class LifecycleTest(unittest.TestCase):
	def test_the_driver_is_freed_after_terminate(self):
		addon = harness.AddonFolder()
		try:
			session = harness.Session(addon)
			synth = weakref.ref(session.synth)
			session.synth.speak([LONG_TEXT, IndexCommand(1)])
			session.synth = None
			session.close()
			gc.collect()
			self.assertIsNone(synth(), "the driver is still referenced after terminate")
		finally:
			addon.remove()


class LoadingTest(unittest.TestCase):
	def loadFails(self, addon):
		module = addon.loadDriverModule()
		players = len(harness.nvwave.WavePlayer.instances)
		with self.assertRaises(module._velorin.VelorinError) as raised:
			module.SynthDriver()
		self.assertEqual(len(harness.nvwave.WavePlayer.instances), players, "a player was opened")
		return str(raised.exception)

	def test_failures_name_their_cause(self):
		with open(harness.testVoice(), "rb") as f:
			header = f.read(64)
		cases = [
			("missing voice", dict(voice=None), ["voice file not found", "vi-default.voice"]),
			("wrong magic", dict(voice=b"NOT_A_VOICE_FILE" * 4), ["not a valid voice", "wrong magic"]),
			# A header the driver accepts, but units the engine cannot read: Init fails.
			("units missing", dict(voice=header), ["could not load the voice"]),
			("missing library", dict(library=False), ["engine library not found", "libvelorin_nvda.so"]),
		]
		for name, options, expected in cases:
			with self.subTest(name):
				addon = harness.AddonFolder(**options)
				try:
					message = self.loadFails(addon)
					for text in expected:
						self.assertIn(text, message)
				finally:
					addon.remove()

	def test_another_voice_stands_in_for_a_broken_default(self):
		addon = harness.AddonFolder(voice=b"NOT_A_VOICE_FILE", extraVoices={"vi-south.voice": harness.makeVoice("giọng miền Nam")})
		try:
			session = harness.Session(addon)
			self.assertEqual(session.synth.voice, "giọng miền Nam")
			session.close()
		finally:
			addon.remove()

	def test_check(self):
		cases = [("complete", {}, True), ("no library", dict(library=False), False), ("no voice", dict(voice=None), False)]
		for name, options, expected in cases:
			with self.subTest(name):
				addon = harness.AddonFolder(**options)
				try:
					self.assertEqual(addon.loadDriverModule().SynthDriver.check(), expected)
				finally:
					addon.remove()


if __name__ == "__main__":
	unittest.main()
