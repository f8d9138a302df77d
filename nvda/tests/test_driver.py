# The driver against the Linux engine library and the fake NVDA: speech, indexes, cancel,
# pause, settings and loading failures.
import threading
import time
import unittest

import harness
import config
import nvwave
from logHandler import log
from speech.commands import BreakCommand, IndexCommand

LONG_TEXT = "xin chào việt nam một hai ba trăm mười đọc lập tôi nay"


class DriverCase(unittest.TestCase):
	"""A driver loaded from a fresh add-on folder with the test voice."""

	def setUp(self):
		self.addon = harness.AddonFolder()
		self.module = self.addon.loadDriverModule()
		self.synth = self.module.SynthDriver()
		self.player = harness.newestPlayer()
		self.notifications = harness.Notifications(self.player)

	def tearDown(self):
		self.synth.terminate()
		self.notifications.close()
		self.addon.remove()

	def speakAndWait(self, sequence):
		"""Speaks the sequence to the end; returns the audio fed for it."""
		chunksBefore = len(self.player.chunks)
		doneBefore = self.notifications.doneCount()
		self.synth.speak(sequence)
		self.notifications.waitForDone(doneBefore + 1)
		return self.player.audioSince(chunksBefore)


class SpeechTest(DriverCase):
	def test_player_has_the_voice_format(self):
		self.assertEqual((self.player.samplesPerSec, self.player.channels, self.player.bitsPerSample), (16000, 1, 16))
		self.assertEqual(self.player.outputDevice, config.conf["audio"]["outputDevice"])

	def test_indexes_follow_their_audio_in_order(self):
		pieces = ["xin chào", "việt nam", "một hai ba", "mười"]
		lengths = [len(self.speakAndWait([piece])) for piece in pieces]
		self.assertTrue(all(lengths), lengths)

		start = self.player.position()
		eventsBefore = len(self.notifications.snapshot())
		audio = self.speakAndWait([pieces[0], IndexCommand(1), pieces[1], IndexCommand(2), pieces[2], IndexCommand(3), pieces[3]])
		events = self.notifications.snapshot()[eventsBefore:]

		self.assertEqual(len(audio), sum(lengths))
		self.assertEqual([(kind, index) for kind, index, _ in events], [("index", 1), ("index", 2), ("index", 3), ("done", None)])
		for number, (_, index, position) in enumerate(events[:3], start=1):
			with self.subTest(index=index):
				self.assertGreaterEqual(position - start, sum(lengths[:number]), "index reported before its audio played")
		self.assertGreaterEqual(events[3][2] - start, sum(lengths), "done before all audio played")

	def test_indexes_without_text_before_them(self):
		cases = [
			([IndexCommand(1), "xin chào", IndexCommand(2), IndexCommand(3)], [1, 2, 3]),
			([IndexCommand(7)], [7]),
			([IndexCommand(8), IndexCommand(9)], [8, 9]),
			(["xin", IndexCommand(10), "", IndexCommand(11), "chào"], [10, 11]),
		]
		for sequence, expected in cases:
			with self.subTest(sequence=sequence):
				before = len(self.notifications.indexes())
				self.speakAndWait(sequence)
				self.assertEqual(self.notifications.indexes()[before:], expected)

	def test_index_after_text_with_no_audio(self):
		# "\0" alone is sent as a space: a pause, but no word.
		before = len(self.notifications.indexes())
		self.speakAndWait(["\0", IndexCommand(4), "zzz", IndexCommand(5)])
		self.assertEqual(self.notifications.indexes()[before:], [4, 5])

	def test_other_commands_are_left_out(self):
		before = len(self.notifications.indexes())
		plain = self.speakAndWait(["xin chào"])
		withBreak = self.speakAndWait(["xin ", BreakCommand(100), "chào", IndexCommand(3)])
		self.assertEqual(plain, withBreak)
		self.assertEqual(self.notifications.indexes()[before:], [3])
		self.assertTrue(any("BreakCommand" in message for message in log.messages("debugWarning")))

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
				self.assertEqual(audio, reference)
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

	def test_every_percent_reads_back(self):
		for name, boost in (("rate", False), ("rate", True), ("pitch", False), ("volume", False)):
			self.synth.rateBoost = boost
			for percent in range(101):
				setattr(self.synth, name, percent)
				self.assertEqual(getattr(self.synth, name), percent, f"{name} {percent} boost {boost}")

	def test_engine_values(self):
		lib = self.synth._lib
		cases = [
			# setting, percent, rate boost, engine getter, engine value
			("rate", 0, False, lib.GetRate, 25),
			("rate", 50, False, lib.GetRate, 50),
			("rate", 100, False, lib.GetRate, 75),
			("rate", 0, True, lib.GetRate, 50),
			("rate", 100, True, lib.GetRate, 100),
			("pitch", 0, False, lib.GetPitch, 50),
			("pitch", 50, False, lib.GetPitch, 100),
			("pitch", 100, False, lib.GetPitch, 150),
			("volume", 0, False, lib.GetVolume, 0),
			("volume", 37, False, lib.GetVolume, 37),
			("volume", 100, False, lib.GetVolume, 100),
		]
		for name, percent, boost, getter, expected in cases:
			with self.subTest(setting=name, percent=percent, boost=boost):
				self.synth.rateBoost = boost
				setattr(self.synth, name, percent)
				self.assertEqual(getter(), expected)

	def test_rate_boost_keeps_the_percent(self):
		self.synth.rate = 40
		self.synth.rateBoost = True
		self.assertEqual((self.synth.rate, self.synth._lib.GetRate()), (40, 70))
		self.synth.rateBoost = False
		self.assertEqual((self.synth.rate, self.synth._lib.GetRate()), (40, 45))

	def test_read_back_follows_the_engine(self):
		lib = self.synth._lib
		self.synth.rate = 30
		lib.SetRate(75)
		self.assertEqual(self.synth.rate, 100)
		lib.SetPitch(1000)
		self.assertEqual(self.synth.pitch, 100)
		lib.SetVolume(-5)
		self.assertEqual(self.synth.volume, 0)


class LoadingTest(unittest.TestCase):
	def loadFails(self, addon):
		module = addon.loadDriverModule()
		players = len(nvwave.WavePlayer.instances)
		with self.assertRaises(module._velorin.VelorinError) as raised:
			module.SynthDriver()
		self.assertEqual(len(nvwave.WavePlayer.instances), players, "a player was opened")
		return str(raised.exception)

	def test_failures_name_their_cause(self):
		header = b"VELORIN_DATA-v2.5.0\x01\x00" + b"\x00\x00" * 2 + b"\x00\x00" + b"\x00\x00" * 3
		cases = [
			("missing voice", dict(voice=None), ["voice file not found", "vi-default.voice"]),
			("wrong magic", dict(voice=b"NOT_A_VOICE_FILE" * 4), ["not a valid voice", "wrong magic"]),
			# A header the driver accepts, but units the engine cannot read: Init fails.
			("units missing", dict(voice=header + b"\x80\x3e\x01\x00\x05\x00"), ["could not load the voice"]),
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


if __name__ == "__main__":
	unittest.main()
