# -*- coding: UTF-8 -*-
# The Velorin engine library as the NVDA driver sees it: where the library and the default voice
# live in the add-on, loading the library and its exports, reading the voice file's header, and
# the text and path conversions the exports need.

import ctypes
import os
import struct
import sys
from typing import NamedTuple

#: The voice file starts with this text, then a 2-byte byte-order mark.
VOICE_MAGIC = b"VELORIN_DATA-v2.5.0"
#: The bundled voice, relative to the add-on's root folder.
DEFAULT_VOICE = os.path.join("voices", "vi-default.voice")

#: int callback(char *pcm, int bytes): called on the library's worker thread.
AUDIO_CALLBACK = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.POINTER(ctypes.c_char), ctypes.c_int)

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
)


class VelorinError(Exception):
	"""The engine cannot be used: a missing or unreadable library or voice, or a failed start."""


class VoiceHeader(NamedTuple):
	sampleRate: int
	channels: int


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


def readVoiceHeader(path: str) -> VoiceHeader:
	"""The sample rate and channel count from the voice file's header.
	Header: magic, byte-order mark (01 00 little-endian, 00 01 big-endian), then five strings
	(int16 length + bytes) with an int16 after the second, then int16 sample rate and channels.
	"""
	if not os.path.isfile(path):
		raise VelorinError(f"Velorin voice file not found: {path}")
	try:
		with open(path, "rb") as f:
			data = f.read(64 * 1024)
	except OSError as e:
		raise VelorinError(f"Velorin voice file cannot be read: {path}: {e}") from e

	def fail(what):
		return VelorinError(f"Velorin voice file {path} is not a valid voice: {what}")

	if data[:len(VOICE_MAGIC)] != VOICE_MAGIC:
		raise fail("wrong magic")
	pos = len(VOICE_MAGIC)
	mark = data[pos:pos + 2]
	if mark == b"\x01\x00":
		order = "<"
	elif mark == b"\x00\x01":
		order = ">"
	else:
		raise fail("bad byte-order mark")
	pos += 2

	def int16():
		nonlocal pos
		if pos + 2 > len(data):
			raise fail("header ends early")
		(value,) = struct.unpack_from(order + "h", data, pos)
		pos += 2
		return value

	def skipString():
		nonlocal pos
		length = int16()
		if length < 0 or pos + length > len(data):
			raise fail("bad header text")
		pos += length

	skipString()
	skipString()
	int16()
	skipString()
	skipString()
	skipString()
	sampleRate = int16()
	channels = int16()
	if sampleRate <= 0 or channels <= 0:
		raise fail(f"sample rate {sampleRate} Hz, {channels} channels")
	return VoiceHeader(sampleRate, channels)


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
