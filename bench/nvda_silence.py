#!/usr/bin/env python3
# The silence the NVDA driver adds: at an index inside a sentence, and at the end of an
# utterance. The driver runs against the fake NVDA of nvda/tests (its player records every byte
# fed) and the Linux library, with a real voice.
#
#   bench/nvda_silence.py --library build/bin/libvelorin_nvda.so --voice build/voices/vi-default.voice
#       [--driver DIR]   another synthDrivers folder, e.g. an older driver from git:
#                        git archive e3ba840 nvda/addon/synthDrivers | tar -x -C /tmp/old
#                        --driver /tmp/old/nvda/addon/synthDrivers
#
# For the sentence alone and with one index at each cut, it prints the audio's length, the
# silent gap at the cut (runs of samples within +-64 of zero, 5 ms or longer) and the silence
# at the end; the indexed sentence is sent as NVDA sends it, with an index at its end too.
import argparse
import os
import shutil
import sys

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "nvda", "tests"))

SENTENCE = "Xin chào các bạn, hôm nay trời đẹp quá."
CUTS = ("Xin chào các bạn,", "Xin chào các bạn, hôm nay")


def main():
	parser = argparse.ArgumentParser(description=__doc__)
	parser.add_argument("--library", required=True)
	parser.add_argument("--voice", required=True)
	parser.add_argument("--driver", help="a synthDrivers folder (default: the add-on's)")
	options = parser.parse_args()
	os.environ["VELORIN_NVDA_LIBRARY"] = os.path.abspath(options.library)

	import harness
	from speech.commands import IndexCommand

	addon = harness.AddonFolder(voice=None)
	if options.driver:
		shutil.rmtree(os.path.join(addon.root, "synthDrivers"))
		shutil.copytree(options.driver, os.path.join(addon.root, "synthDrivers"))
	shutil.copyfile(options.voice, addon.voicePath)
	header = harness._velorin.readVoiceHeader(addon.voicePath)
	if header.channels != 1:
		sys.exit("nvda_silence.py measures mono voices")
	bytesPerSecond = 2 * header.sampleRate
	session = harness.Session(addon)
	synth = session.synth
	notifications = harness.Notifications(lambda: synth._player)
	try:
		def speak(sequence):
			player = synth._player
			chunks = len(player.chunks)
			done = notifications.doneCount()
			synth.speak(sequence)
			notifications.waitForDone(done + 1, timeout=60)
			return player.audioSince(chunks)

		def trailing(audio, runs):
			end = len(audio) * 1000 / bytesPerSecond
			return runs[-1][1] if runs and runs[-1][0] + runs[-1][1] >= end - 0.1 else 0.0

		def gapAt(runs, ms):
			for start, length in runs:
				if start - 1 <= ms <= start + length + 1:
					return start, length
			return ms, 0.0

		plain = speak([SENTENCE, IndexCommand(1)])
		plainRuns = harness.silentRuns(plain, bytesPerSecond)
		print(f"voice {options.voice}: {header.sampleRate} Hz; driver {options.driver or 'nvda/addon/synthDrivers'}")
		print(f"  one request:      {len(plain) * 1000 / bytesPerSecond:7.0f} ms, silence at the end {trailing(plain, plainRuns):4.0f} ms")
		for cut in CUTS:
			first = speak([cut, IndexCommand(1)])
			indexed = speak([cut, IndexCommand(1), SENTENCE[len(cut):], IndexCommand(2)])
			runs = harness.silentRuns(indexed, bytesPerSecond)
			# The cut is where the first request's audio ends (less its silence at the end).
			cutMs = (len(first) * 1000 / bytesPerSecond) - trailing(first, harness.silentRuns(first, bytesPerSecond))
			start, gap = gapAt(runs, cutMs)
			number = runs.index((start, gap)) if gap else None
			plainGap = plainRuns[number][1] if number is not None and number < len(plainRuns) else 0.0
			print(f"  index after {cut!r}: {len(indexed) * 1000 / bytesPerSecond:7.0f} ms, "
				f"gap at the index {gap:4.0f} ms (without the index {plainGap:4.0f} ms), "
				f"silence at the end {trailing(indexed, runs):4.0f} ms")
	finally:
		session.close()
		notifications.close()
		addon.remove()


if __name__ == "__main__":
	main()
