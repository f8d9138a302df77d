"""sd_velorin under a real speech-dispatcher, speaking into a real (null) PulseAudio sink.

Run by CTest with SD_VELORIN (the module) and VELORIN_MAKE_TEST_VOICE (the test voice maker).
"""

import os
import subprocess
import tempfile
import time
import unittest

import speechd

import spd_harness

# Syllables of the test voice (make_test_voice): xin chào việt nam một hai ba trăm mười được lập tối nay.
# Each mark ends one of the module's requests (speech-dispatcher marks the sentence's end with one
# of its own too): "one" comes as the second sentence begins, "two" inside it, as "một" begins.
MARKED_TEXT = '<speak>Xin chào. <mark name="one"/>Việt Nam, <mark name="two"/>một hai ba.</speak>'
LONG_TEXT = " ".join(["một hai ba bốn năm, xin chào Việt Nam."] * 12)


class SpeechDispatcherTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory(prefix="velorin-voices-")
        voices = os.path.join(cls.folder.name, "voices")
        os.makedirs(voices)
        subprocess.run([os.environ["VELORIN_MAKE_TEST_VOICE"], os.path.join(voices, "vi-default.voice")], check=True)
        cls.module = os.environ["SD_VELORIN"]
        cls.module_config = f'VelorinVoiceDirectory "{voices}"\n'
        cls.config_path = os.path.join(cls.folder.name, "velorin.conf")
        with open(cls.config_path, "w") as f:
            f.write(cls.module_config)
        cls.services = spd_harness.Services(module=cls.module, module_config=cls.module_config, rate=16000,
                                           log_level=int(os.environ.get("VELORIN_SPD_LOG_LEVEL", "3"))).start()

    @classmethod
    def tearDownClass(cls):
        cls.services.stop()
        cls.folder.cleanup()

    def setUp(self):
        self.client = self.services.client()
        self.addCleanup(self.client.close)
        self.log = spd_harness.EventLog(self.client)

    def diagnostics(self):
        return "\n--- server log ---\n" + self.services.server_log() + "\n--- module log ---\n" + self.services.module_log()

    def speak_ssml(self, text):
        self.client.set_data_mode(speechd.DataMode.SSML)
        return self.log.speak(self.client, text)

    def test_events_arrive_in_order_and_the_audio_reaches_the_sink_whole(self):
        recording = self.services.start_recording()
        events = self.speak_ssml(MARKED_TEXT)
        events.wait_for(speechd.CallbackType.END)
        time.sleep(0.3)
        self.services.stop_recording()

        B, E, M = speechd.CallbackType.BEGIN, speechd.CallbackType.END, speechd.CallbackType.INDEX_MARK
        self.assertEqual(events.kinds(), [(B, None), (M, "one"), (M, "two"), (E, None)], self.diagnostics())
        times = [t for t, _, _ in events.items]
        self.assertEqual(times, sorted(times))

        # What reached the sink is what the module made, spoken directly over the protocol: as many
        # audible samples (the server plays at full volume and the sink takes the voice's rate), from
        # its first to its last. A loaded machine may stretch the span with gaps where the server's
        # playback ran dry, never shorten it.
        reference, _ = spd_harness.module_pcm(self.module, self.config_path, MARKED_TEXT,
                                              ["rate=0", "pitch=0", "volume=100"])
        samples = recording.samples()
        expected = spd_harness.audible_samples(reference)
        self.assertGreater(expected, 16000)
        self.assertAlmostEqual(spd_harness.audible_samples(samples), expected, delta=0.02 * expected, msg=self.diagnostics())
        self.assertGreater(spd_harness.audible_span(samples, 16000), spd_harness.audible_span(reference, 16000) - 0.05)
        # "one" came as the second sentence began to play, "two" while it played.
        first, last = recording.heard_times()
        one, two = (t for t, kind, _ in events.items if kind == M)
        self.assertLess(first, one)
        self.assertLess(one, two)
        self.assertLess(two, last)

    def test_stop_cuts_the_speech_short_and_is_reported(self):
        recording = self.services.start_recording()
        self.client.set_data_mode(speechd.DataMode.TEXT)
        events = self.log.speak(self.client, LONG_TEXT)
        events.wait_for(speechd.CallbackType.BEGIN)
        spd_harness._wait_for(lambda: recording.heard_times()[0] is not None, 10, "audio at the sink")
        time.sleep(0.5)
        stopped = time.monotonic()
        self.client.stop()
        events.wait_for(speechd.CallbackType.CANCEL, speechd.CallbackType.END)
        time.sleep(0.5)
        self.services.stop_recording()

        kinds = [kind for kind, _ in events.kinds()]
        self.assertIn(speechd.CallbackType.CANCEL, kinds, self.diagnostics())
        self.assertNotIn(speechd.CallbackType.END, kinds)
        first, last = recording.heard_times()
        self.assertLess(last - first, 5.0, "the whole text takes about 25 s")
        self.assertLess(last, stopped + 0.4, "audio went on after the stop")

        # The module speaks again after a stop.
        again = self.speak_ssml("<speak>xin chào</speak>")
        again.wait_for(speechd.CallbackType.END)

    def test_pause_stops_at_a_sentence_end_and_resume_goes_on_from_there(self):
        # Sentences longer than what the server reads ahead of its playback.
        sentences = ["Xin chào Việt Nam, một hai ba, trăm mười được lập tối nay."] * 2
        recording = self.services.start_recording()
        self.client.set_data_mode(speechd.DataMode.TEXT)
        events = self.log.speak(self.client, " ".join(sentences))
        spd_harness._wait_for(lambda: recording.heard_times()[0] is not None, 10, "audio at the sink")
        time.sleep(0.5)
        self.client.pause()
        events.wait_for(speechd.CallbackType.PAUSE)
        paused = time.monotonic()
        time.sleep(0.6)
        self.client.resume()
        events.wait_for(speechd.CallbackType.END)
        time.sleep(0.3)
        self.services.stop_recording()

        kinds = [kind for kind, _ in events.kinds()]
        C = speechd.CallbackType
        self.assertEqual([k for k in kinds if k != C.INDEX_MARK], [C.BEGIN, C.PAUSE, C.RESUME, C.END], self.diagnostics())
        # Silence while paused: the pause fell where the server resumed.
        self.assertFalse(any(paused + 0.1 < t < paused + 0.5 and any(abs(v) > spd_harness.SILENCE_LEVEL for v in block)
                             for t, block in recording.blocks))
        # Everything was heard once: as much audio as the module makes of the text whole, which
        # speech-dispatcher marks at each sentence's end.
        marked = "<speak>" + "".join(f'{s}<mark name="__spd_{i}"/> ' for i, s in enumerate(sentences)) + "</speak>"
        reference, _ = spd_harness.module_pcm(self.module, self.config_path, marked, ["rate=0", "pitch=0", "volume=100"])
        expected = spd_harness.audible_samples(reference)
        self.assertAlmostEqual(spd_harness.audible_samples(recording.samples()), expected, delta=0.02 * expected,
                               msg=self.diagnostics())

    def test_characters_keys_and_voices(self):
        recording = self.services.start_recording()
        self.client.char("3")
        self.client.key("3")
        self.client.key("control_s")
        # One more message with a callback marks the end of the three.
        events = self.speak_ssml("<speak>hai</speak>")
        events.wait_for(speechd.CallbackType.END)
        time.sleep(0.2)
        self.services.stop_recording()
        self.assertGreater(spd_harness.audible_span(recording.samples(), 16000), 0.3, self.diagnostics())

        voices = self.client.list_synthesis_voices()
        self.assertIn(("vi-default", "vi", "none"), [tuple(v) for v in voices])
        self.client.set_synthesis_voice("vi-default")
        events = self.speak_ssml("<speak>ba</speak>")
        events.wait_for(speechd.CallbackType.END)

    def test_spd_say_waits_for_the_end_of_speech(self):
        result = self.services.spd_say("-w", "-o", "velorin", "-l", "vi", "Xin chào Việt Nam")
        self.assertEqual(result.returncode, 0, result.stdout + self.diagnostics())


if __name__ == "__main__":
    unittest.main()
