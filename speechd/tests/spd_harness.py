"""A private speech-dispatcher that speaks into a private PulseAudio, for the module's tests.

Everything lives in one temporary folder: PulseAudio in user mode with a null sink and a local
socket, speech-dispatcher with its own configuration, runtime and log folders and a local socket,
and a recorder (parec) on the null sink's monitor. The services are started with timeouts that
end them by themselves when their clients go (speech-dispatcher -t, PulseAudio's idle exit);
stop() ends them at once.

Also a command line, for the installed package's check:

    spd_harness.py speak --installed [--rate HZ] TEXT

speaks TEXT through spd-say with the installed module and configuration, and prints how much
audio reached the sink.
"""

import argparse
import array
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

SINK = "velorin_test"
# A sample is heard when its magnitude is above this (of 32767); the null sink's silence is 0.
SILENCE_LEVEL = 200


def _wait_for(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.02)
    raise RuntimeError(f"timed out waiting for {what}")


def _end_process(process, grace=3.0):
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


class Recording:
    """The samples read from the sink's monitor, each block with the time it arrived."""

    def __init__(self, rate):
        self.rate = rate
        self.blocks = []  # (monotonic time of arrival, array('h'))
        self.lock = threading.Lock()

    def samples(self):
        with self.lock:
            out = array.array("h")
            for _, block in self.blocks:
                out.extend(block)
            return out

    def heard_times(self):
        """Times at which the first and the last audible sample arrived (None, None if none)."""
        first = last = None
        with self.lock:
            for arrived, block in self.blocks:
                loud = [i for i, v in enumerate(block) if abs(v) > SILENCE_LEVEL]
                if not loud:
                    continue
                # A sample arrived when its block did, less the samples that followed it.
                if first is None:
                    first = arrived - (len(block) - loud[0]) / self.rate
                last = arrived - (len(block) - 1 - loud[-1]) / self.rate
        return first, last


def audible_samples(samples):
    return sum(1 for v in samples if abs(v) > SILENCE_LEVEL)


def audible_span(samples, rate):
    """Seconds from the first audible sample to the last, 0.0 when nothing is audible."""
    loud = [i for i, v in enumerate(samples) if abs(v) > SILENCE_LEVEL]
    return (loud[-1] - loud[0] + 1) / rate if loud else 0.0


class Services:
    """PulseAudio, speech-dispatcher and a recorder in a temporary folder.

    module: the sd_velorin program to load, with module_config the text of its velorin.conf;
    or installed=True for the system's module folder and a copy of /etc/speech-dispatcher.
    """

    def __init__(self, module=None, module_config="", installed=False, rate=16000, log_level=3):
        self.module = module
        self.module_config = module_config
        self.installed = installed
        self.rate = rate
        self.log_level = log_level
        self.root = None
        self.pulse = None
        self.server = None
        self.recorder = None
        self.recording = None

    # --- services ------------------------------------------------------------------------------

    def start(self):
        self.root = tempfile.mkdtemp(prefix="velorin-spd-")
        runtime = os.path.join(self.root, "runtime")
        os.makedirs(runtime, mode=0o700)
        self.pulse_socket = os.path.join(runtime, "pulse-native.sock")
        self.socket = os.path.join(runtime, "speechd.sock")
        self.env = dict(os.environ)
        self.env.update({
            "HOME": self.root,
            "XDG_RUNTIME_DIR": runtime,
            "XDG_CONFIG_HOME": os.path.join(self.root, "config"),
            "XDG_CACHE_HOME": os.path.join(self.root, "cache"),
            "PULSE_SERVER": "unix:" + self.pulse_socket,
            "SPEECHD_ADDRESS": "unix_socket:" + self.socket,
        })
        self.env.pop("DISPLAY", None)
        try:
            self._start_pulse()
            self._start_server()
        except BaseException:
            self.stop()
            raise
        return self

    def _start_pulse(self):
        script = os.path.join(self.root, "pulse.pa")
        with open(script, "w") as f:
            f.write(f"load-module module-null-sink sink_name={SINK} format=s16le rate={self.rate} channels=1\n"
                    f"set-default-sink {SINK}\n"
                    f"load-module module-native-protocol-unix socket={self.pulse_socket} auth-anonymous=1\n")
        self.pulse_log = os.path.join(self.root, "pulse.log")
        self.pulse = subprocess.Popen(
            ["pulseaudio", "-n", "-F", script, "--daemonize=no", "--exit-idle-time=10", "--use-pid-file=no",
             "--disable-shm=yes", "--log-target=file:" + self.pulse_log],
            env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def ready():
            if self.pulse.poll() is not None:
                raise RuntimeError("pulseaudio ended: " + self._tail(self.pulse_log))
            return subprocess.run(["pactl", "info"], env=self.env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL).returncode == 0
        _wait_for(ready, 15, "PulseAudio")

    def _start_server(self):
        conf = os.path.join(self.root, "speechd")
        if self.installed:
            shutil.copytree("/etc/speech-dispatcher", conf)
            extra = ""
        else:
            os.makedirs(os.path.join(conf, "modules"))
            module_conf = os.path.join(conf, "modules", "velorin.conf")
            with open(module_conf, "w") as f:
                f.write(self.module_config)
            extra = f'AddModule "velorin" "{self.module}" "{module_conf}"\nDefaultModule velorin\n'
        with open(os.path.join(conf, "speechd.conf"), "a") as f:
            f.write(f'\nAudioOutputMethod "pulse"\nAudioPulseMinLength 10\nDefaultVolume 100\n'
                    f'LogLevel {self.log_level}\n{extra}')
        self.log_dir = os.path.join(self.root, "log")
        os.makedirs(self.log_dir)
        self.server = subprocess.Popen(
            ["speech-dispatcher", "-s", "-t", "10", "-c", "unix_socket", "-S", self.socket, "-C", conf,
             "-P", os.path.join(self.root, "speechd.pid"), "-L", self.log_dir],
            env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def ready():
            if self.server.poll() is not None:
                raise RuntimeError("speech-dispatcher ended: " + self.server_log())
            return os.path.exists(self.socket)
        _wait_for(ready, 15, "speech-dispatcher")

    def stop(self):
        self.stop_recording()
        _end_process(self.server)
        _end_process(self.pulse)
        if self.root:
            shutil.rmtree(self.root, ignore_errors=True)
            self.root = None

    @staticmethod
    def _tail(path, lines=30):
        try:
            with open(path, errors="replace") as f:
                return "".join(f.readlines()[-lines:])
        except OSError:
            return "(no log)"

    def server_log(self):
        return self._tail(os.path.join(self.log_dir, "speech-dispatcher.log"))

    def module_log(self):
        return self._tail(os.path.join(self.log_dir, "velorin.log"))

    # --- clients -------------------------------------------------------------------------------

    def client(self, name="velorin-test"):
        import speechd
        client = speechd.SSIPClient(name, address="unix_socket:" + self.socket, autospawn=False)
        client.set_output_module("velorin")
        client.set_language("vi")
        return client

    def spd_say(self, *arguments, timeout=60):
        return subprocess.run(["spd-say", *arguments], env=self.env, timeout=timeout,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)

    # --- recording -----------------------------------------------------------------------------

    def start_recording(self):
        self.recording = Recording(self.rate)
        self.recorder = subprocess.Popen(
            ["parec", "-d", SINK + ".monitor", "--format=s16le", f"--rate={self.rate}", "--channels=1",
             "--latency-msec=5", "--raw"],
            env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        recording, stream = self.recording, self.recorder.stdout
        started = threading.Event()

        def read():
            pending = b""
            while True:
                data = os.read(stream.fileno(), 4096)
                if not data:
                    return
                arrived = time.monotonic()
                started.set()
                data = pending + data
                whole = len(data) // 2 * 2
                block = array.array("h")
                block.frombytes(data[:whole])
                if sys.byteorder == "big":
                    block.byteswap()
                pending = data[whole:]
                with recording.lock:
                    recording.blocks.append((arrived, block))
        self.reader = threading.Thread(target=read, daemon=True)
        self.reader.start()
        # The monitor delivers silence from the start; recording has begun once it arrives.
        if not started.wait(10):
            raise RuntimeError("parec delivers nothing")
        return self.recording

    def stop_recording(self):
        if self.recorder is None:
            return self.recording
        _end_process(self.recorder)
        self.reader.join(5)
        self.recorder.stdout.close()
        self.recorder = None
        return self.recording


# --- events ---------------------------------------------------------------------------------

class Events:
    """The events of one message, in order, with the time each arrived."""

    def __init__(self, log, msg_id):
        self.log = log
        self.msg_id = msg_id

    @property
    def items(self):
        with self.log.changed:
            return list(self.log.by_message.get(self.msg_id, []))

    def kinds(self):
        return [(kind, mark) for _, kind, mark in self.items]

    def time_of(self, kind):
        return next(t for t, k, _ in self.items if k == kind)

    def wait_for(self, *kinds, timeout=30):
        with self.log.changed:
            arrived = self.log.changed.wait_for(
                lambda: any(k in kinds for _, k, _ in self.log.by_message.get(self.msg_id, [])), timeout)
        if not arrived:
            raise AssertionError(f"no {kinds} within {timeout} s; events so far: {self.kinds()}")


class EventLog:
    """Every event a client receives, by message. Python's client hands a message's events only to
    a callback registered after speak() has returned and drops those that come sooner (its own
    comment says so); the module is quick enough for BEGIN to come sooner. So the events are
    taken where the client's connection delivers them."""

    def __init__(self, client):
        self.by_message = {}
        self.changed = threading.Condition()
        deliver = client._conn._callback

        def record(msg_id, client_id, kind, **kwargs):
            with self.changed:
                self.by_message.setdefault(msg_id, []).append((time.monotonic(), kind, kwargs.get("index_mark")))
                self.changed.notify_all()
            if deliver:
                deliver(msg_id, client_id, kind, **kwargs)
        client._conn._callback = record

    def speak(self, client, text):
        """Speaks text and returns the events of its message."""
        return Events(self, int(client.speak(text)[2][0]))


# --- the module spoken to directly, as the reference for what reaches the sink ---------------------

def module_pcm(module, config_path, text, settings=(), timeout=30):
    """The PCM (array('h')) and the events sd_velorin sends for one SPEAK of text, talked to
    directly over the protocol."""
    commands = ["INIT", "AUDIO", "audio_output_method=server", ".", "SET", *settings, ".", "SPEAK",
                *[("." + line if line.startswith(".") else line) for line in text.split("\n")], "."]
    process = subprocess.Popen([module, config_path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
    process.stdin.write(("\n".join(commands) + "\n").encode())
    process.stdin.flush()
    pcm, events, message = array.array("h"), [], []
    deadline = time.monotonic() + timeout
    try:
        while time.monotonic() < deadline:
            line = process.stdout.readline()
            if not line:
                raise RuntimeError("sd_velorin ended during the message")
            message.append(line)
            if len(line) >= 4 and line[3:4] == b"-":
                continue
            code = message[0][:3]
            if code == b"705":
                audio = next(l for l in message if l.startswith(b"705-AUDIO\0"))[len(b"705-AUDIO\0"):-1]
                pcm.frombytes(unescape_audio(audio))
            else:
                events.append(b"".join(message).decode(errors="replace").strip())
            message = []
            if code in (b"702", b"703"):
                break
        process.stdin.write(b"QUIT\n")
        process.stdin.close()
        process.wait(10)
    finally:
        _end_process(process)
        for stream in (process.stdin, process.stdout):
            try:
                stream.close()
            except OSError:
                pass
    if sys.byteorder == "big":
        pcm.byteswap()
    return pcm, events


def unescape_audio(data):
    out = bytearray()
    i = 0
    while i < len(data):
        if data[i] == 0x7D and i + 1 < len(data):
            out.append(data[i + 1] ^ 0x20)
            i += 2
        else:
            out.append(data[i])
            i += 1
    return bytes(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    speak = sub.add_parser("speak", help="speak with spd-say and report the audio at the sink")
    speak.add_argument("--installed", action="store_true", required=True,
                       help="the installed module and /etc/speech-dispatcher")
    speak.add_argument("--rate", type=int, default=22050, help="the sink's sample rate")
    speak.add_argument("text")
    args = parser.parse_args()

    services = Services(installed=True, rate=args.rate).start()
    try:
        modules = services.spd_say("-O")
        if "velorin" not in modules.stdout.split():
            print("spd-say -O does not list velorin:", modules.stdout, services.server_log(), sep="\n")
            return 1
        recording = services.start_recording()
        result = services.spd_say("-w", "-o", "velorin", "-l", "vi", args.text)
        time.sleep(0.3)
        services.stop_recording()
        span = audible_span(recording.samples(), args.rate)
        print(f"spd-say exit status {result.returncode}; {span:.2f} s of audio reached the sink")
        if result.returncode != 0 or span <= 0.2:
            print(result.stdout, services.server_log(), services.module_log(), sep="\n")
            return 1
        return 0
    finally:
        services.stop()


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    sys.exit(main())
