#!/usr/bin/python3
"""Latency of sd_velorin under a real speech-dispatcher, measured at the sink.

    bench/speechd_latency.py --module build/bin/sd_velorin --voice-dir DIR [--rate HZ] [--trials N]

DIR holds vi-default.voice; --rate is its sample rate (the null sink takes the same, so nothing
is resampled). For each trial, a private speech-dispatcher and PulseAudio (speechd/tests/
spd_harness.py) speak through the Python client while parec records the sink's monitor:

  speak to first audio  from the client's speak() to the first audible sample at the sink, less
                        the silence the engine itself puts before the first syllable (taken from
                        the same text spoken to the module directly);
  stop to silence       from the client's stop() to the last audible sample at the sink, during
                        a long text without pauses;
  stop to event         from stop() to the client's CANCEL callback.

Times of arrival come from parec's blocks (5 ms latency asked), so each figure is good to a few
milliseconds.
"""

import argparse
import os
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "speechd", "tests"))

import speechd  # noqa: E402

import spd_harness  # noqa: E402

FIRST_TEXT = "Việt Nam"
# Voiced onsets and open syllables: no pauses inside, so a stop never falls into silence.
STEADY_TEXT = " ".join(["nam mười ba nay"] * 40)


def first_audible(samples, rate):
    for i, v in enumerate(samples):
        if abs(v) > spd_harness.SILENCE_LEVEL:
            return i / rate
    return None


def summary(name, values):
    values = sorted(values)
    ms = [1000 * v for v in values]
    print(f"{name:22s} median {statistics.median(ms):6.1f} ms   min {ms[0]:6.1f}   max {ms[-1]:6.1f}   (n={len(ms)})")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--module", required=True)
    parser.add_argument("--voice-dir", required=True)
    parser.add_argument("--rate", type=int, default=22050)
    parser.add_argument("--trials", type=int, default=10)
    args = parser.parse_args()

    config = f'VelorinVoiceDirectory "{os.path.abspath(args.voice_dir)}"\n'
    with tempfile.TemporaryDirectory() as folder:
        config_path = os.path.join(folder, "velorin.conf")
        with open(config_path, "w") as f:
            f.write(config)
        reference, _ = spd_harness.module_pcm(args.module, config_path, f"<speak>{FIRST_TEXT}</speak>",
                                              ["rate=0", "pitch=0", "volume=100"])
    lead = first_audible(reference, args.rate)
    print(f"the engine's own silence before '{FIRST_TEXT}': {1000 * lead:.1f} ms")

    services = spd_harness.Services(module=os.path.abspath(args.module), module_config=config, rate=args.rate).start()
    try:
        client = services.client()
        client.set_data_mode(speechd.DataMode.SSML)
        log = spd_harness.EventLog(client)
        first_audio, stop_silence, stop_event = [], [], []
        for _ in range(args.trials):
            recording = services.start_recording()
            time.sleep(0.3)  # the recording's first blocks come in a burst
            said = time.monotonic()
            events = log.speak(client, f"<speak>{FIRST_TEXT}</speak>")
            events.wait_for(speechd.CallbackType.END)
            time.sleep(0.2)
            services.stop_recording()
            first, _ = recording.heard_times()
            first_audio.append(first - said - lead)

            recording = services.start_recording()
            events = log.speak(client, f"<speak>{STEADY_TEXT}</speak>")
            spd_harness._wait_for(lambda: recording.heard_times()[0] is not None, 10, "audio")
            time.sleep(1.0)
            stopped = time.monotonic()
            client.stop()
            events.wait_for(speechd.CallbackType.CANCEL, speechd.CallbackType.END)
            stop_event.append(events.time_of(speechd.CallbackType.CANCEL) - stopped)
            time.sleep(0.5)
            services.stop_recording()
            stop_silence.append(recording.heard_times()[1] - stopped)
        client.close()
    finally:
        services.stop()
    summary("speak to first audio", first_audio)
    summary("stop to silence", stop_silence)
    summary("stop to event", stop_event)
    return 0


if __name__ == "__main__":
    sys.exit(main())
