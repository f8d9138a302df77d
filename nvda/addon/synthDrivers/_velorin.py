# -*- coding: UTF-8 -*-
# The Velorin engine library as the NVDA driver sees it: where the library and the voices live,
# loading the library and its exports, reading voice file headers and finding the voices of a
# set of folders, and the text and path conversions the exports need.
#
# This module imports nothing from NVDA: scripts/build-nvda-addon reads voice headers with it.

import ctypes
import os
import struct
import sys
from typing import List, NamedTuple, Tuple

#: The voice file starts with this text, then a 2-byte byte-order mark.
VOICE_MAGIC = b"VELORIN_DATA-v2.5.0"
#: Voice files are found by this suffix.
VOICE_SUFFIX = ".voice"
#: The add-on's folder of voices, relative to its root folder.
VOICES_FOLDER = "voices"
#: The bundled default voice, relative to the add-on's root folder.
DEFAULT_VOICE = os.path.join(VOICES_FOLDER, "vi-default" + VOICE_SUFFIX)
#: The user's own voices, relative to NVDA's configuration folder.
USER_VOICES_FOLDER = os.path.join("velorin", "voices")

#: int callback(char *pcm, int bytes): called on the library's worker thread.
AUDIO_CALLBACK = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.POINTER(ctypes.c_char), ctypes.c_int)
#: The null callback: InitSynth with it unregisters the callback, and the engine drops its chunks.
NO_AUDIO_CALLBACK = AUDIO_CALLBACK()

# Engine parameters (VelorinSetParameter / VelorinGetParameter), numbered as in api/velorin_nvda.h.
PARAM_PROFILE = 0
PARAM_LEADING_SILENCE = 1
PARAM_CONSONANT_PAUSES = 2
PARAM_PUNCTUATION_PAUSE = 3
PARAM_LINE_END_PAUSE = 4
PARAM_REQUEST_END_PAUSE = 5
PARAM_ADDED_FULL_STOP = 6
PARAM_PAUSE_CLOCK = 7
PARAM_SPEED = 8
PARAM_JOIN = 9
PARAM_DIAGNOSTICS = 10
PARAM_REQUEST_RATE = 11
PARAM_REQUEST_PITCH = 12
PARAM_REQUEST_VOLUME = 13
PARAM_REQUEST_UTTERANCE = 18
PARAM_HOLD = 19
PROFILE_CLASSIC = 0
PROFILE_FLUENT = 1

# Attribute name, export name, result type, argument types.
# The export names are exactly those the library is built with; four of them are C++-mangled.
_EXPORTS = (
	("Init", "Init", ctypes.c_int, (ctypes.c_char_p,)),
	("InitSynth", "_Z9InitSynthPFiPciE", ctypes.c_bool, (AUDIO_CALLBACK,)),
	("SetRate", "SetRate", None, (ctypes.c_int,)),
	("SetPitch", "SetPitch", None, (ctypes.c_int,)),
	("SetVolume", "SetVolume", None, (ctypes.c_int,)),
	("GetRate", "GetRate", ctypes.c_int, ()),
	("GetPitch", "GetPitch", ctypes.c_int, ()),
	("GetVolume", "GetVolume", ctypes.c_int, ()),
	("SpeakText", "_Z9SpeakTextPwi", None, (ctypes.POINTER(ctypes.c_uint16), ctypes.c_int)),
	("Cancel", "Cancel", None, ()),
	("GetLastIndex", "GetLastIndex", ctypes.c_int, ()),
	("TerminateSynth", "_Z14TerminateSynthv", None, ()),
	("SetParameter", "VelorinSetParameter", ctypes.c_int, (ctypes.c_int, ctypes.c_int)),
	("GetParameter", "VelorinGetParameter", ctypes.c_int, (ctypes.c_int,)),
)


class VelorinError(Exception):
	"""The engine cannot be used: a missing or unreadable library or voice, or a failed start."""


class VoiceHeader(NamedTuple):
	"""A voice file's header: its five texts and three numbers before the units."""

	#: The voice's name (the first header text), as the voice builder's --name writes it.
	name: str
	#: Where its units came from ("espeak-ng vi", "recordings").
	source: str
	#: The header value (the Speex quality for built voices).
	value: int
	#: The language the voice speaks ("vi"), possibly empty.
	language: str
	#: The program that wrote it.
	writer: str
	#: The codec description ("speex wideband").
	codec: str
	sampleRate: int
	channels: int
	#: Syllables in the file; it holds four units for each.
	syllables: int


class VoiceFile(NamedTuple):
	"""A voice found on disk, under the identifier a driver lists it by."""

	id: str
	displayName: str
	path: str
	header: VoiceHeader


def addonRoot() -> str:
	"""The add-on's root folder: the parent of the synthDrivers folder holding this module."""
	return os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def libraryPath(root: str, platform: str = sys.platform, pointerBits: int = struct.calcsize("P") * 8) -> str:
	"""The engine library for this platform and this Python's bitness.
	Windows: x64/velorin_nvda.dll or x86/velorin_nvda.dll; Linux (for development): linux/libvelorin_nvda.so.
	"""
	if platform == "win32":
		return os.path.join(root, "x64" if pointerBits == 64 else "x86", "velorin_nvda.dll")
	if platform.startswith("linux"):
		return os.path.join(root, "linux", "libvelorin_nvda.so")
	raise VelorinError(f"Velorin has no engine library for the platform {platform}")


def _headerText(data: bytes) -> str:
	# Header texts are 8-bit; the voice builder writes UTF-8.
	try:
		return data.decode("utf-8")
	except UnicodeDecodeError:
		return data.decode("latin-1")


def readVoiceHeader(path: str) -> VoiceHeader:
	"""The header of the voice file at path, read as far as the syllable count.
	Layout: magic, byte-order mark (01 00 little-endian, 00 01 big-endian), two texts (int16
	length + bytes), an int16, three texts, then int16 sample rate, channels and syllable count.
	"""
	if not os.path.isfile(path):
		raise VelorinError(f"Velorin voice file not found: {path}")

	def fail(what):
		return VelorinError(f"Velorin voice file {path} is not a valid voice: {what}")

	try:
		with open(path, "rb") as f:
			if f.read(len(VOICE_MAGIC)) != VOICE_MAGIC:
				raise fail("wrong magic")
			mark = f.read(2)
			if mark == b"\x01\x00":
				order = "<"
			elif mark == b"\x00\x01":
				order = ">"
			else:
				raise fail("bad byte-order mark")

			def int16():
				data = f.read(2)
				if len(data) < 2:
					raise fail("header ends early")
				return struct.unpack(order + "h", data)[0]

			def text():
				length = int16()
				if length < 0:
					raise fail("bad header text")
				data = f.read(length)
				if len(data) < length:
					raise fail("bad header text")
				return _headerText(data)

			name, source = text(), text()
			value = int16()
			language, writer, codec = text(), text(), text()
			sampleRate, channels = int16(), int16()
			syllables = int16()
	except OSError as e:
		raise VelorinError(f"Velorin voice file cannot be read: {path}: {e}") from e
	if sampleRate <= 0 or channels <= 0:
		raise fail(f"sample rate {sampleRate} Hz, {channels} channels")
	if syllables <= 0:
		raise fail(f"{syllables} syllables")
	return VoiceHeader(name, source, value, language, writer, codec, sampleRate, channels, syllables)


def findVoices(folders) -> Tuple[List[VoiceFile], List[str]]:
	"""Every voice file in the folders, in folder order and by file name within a folder, and a
	message for each file that is no voice. A voice is listed by the name in its header (its file
	name when the header has none); a name met again gets its file name added, so every
	identifier stays unique and the first voice of a name keeps it.
	"""
	voices = []
	problems = []
	taken = set()
	for folder in folders:
		try:
			names = sorted(os.listdir(folder))
		except OSError:
			continue
		for fileName in names:
			path = os.path.join(folder, fileName)
			if not fileName.endswith(VOICE_SUFFIX) or not os.path.isfile(path):
				continue
			try:
				header = readVoiceHeader(path)
			except VelorinError as e:
				problems.append(str(e))
				continue
			name = header.name.strip() or fileName[:-len(VOICE_SUFFIX)]
			voiceId = name
			if voiceId in taken:
				voiceId = f"{name} ({fileName})"
				number = 2
				while voiceId in taken:
					voiceId = f"{name} ({fileName}, {number})"
					number += 1
			taken.add(voiceId)
			voices.append(VoiceFile(voiceId, voiceId, path, header))
	return voices, problems


class Library:
	"""The loaded engine library with its exports as attributes (Init, InitSynth, SpeakText, ...)."""

	def __init__(self, path: str):
		if not os.path.isfile(path):
			raise VelorinError(f"Velorin engine library not found: {path}")
		try:
			# Every export is cdecl, on 32-bit Windows too.
			self.dll = ctypes.CDLL(path)
		except OSError as e:
			raise VelorinError(f"Velorin engine library cannot be loaded: {path}: {e}") from e
		self.path = path
		for attribute, exportName, resultType, argumentTypes in _EXPORTS:
			try:
				function = self.dll[exportName]
			except AttributeError as e:
				raise VelorinError(f"Velorin engine library {path} lacks the export {exportName}") from e
			function.restype = resultType
			function.argtypes = argumentTypes
			setattr(self, attribute, function)


def utf16Text(text: str):
	"""The text as NUL-terminated UTF-16 code units, as SpeakText takes it on every platform.
	Embedded NULs would end the text early, so they become spaces."""
	encoded = text.replace("\0", " ").encode("utf-16-le", "surrogatepass") + b"\0\0"
	return (ctypes.c_uint16 * (len(encoded) // 2)).from_buffer_copy(encoded)


def encodePath(path: str) -> bytes:
	"""The voice path as the 8-bit string Init opens: the ANSI code page on Windows, where a path
	outside it is replaced by its short (8.3) form; the file system encoding elsewhere."""
	if sys.platform != "win32":
		return os.fsencode(path)
	try:
		return path.encode("mbcs", "strict")
	except UnicodeEncodeError:
		buffer = ctypes.create_unicode_buffer(1024)
		if ctypes.windll.kernel32.GetShortPathNameW(path, buffer, len(buffer)):
			try:
				return buffer.value.encode("mbcs", "strict")
			except UnicodeEncodeError:
				pass
	raise VelorinError(f"The Velorin voice path cannot be passed to the engine: {path}; install NVDA's add-ons in a folder with an ASCII path")
