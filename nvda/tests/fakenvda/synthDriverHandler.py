# Fake of NVDA's synthDriverHandler: the SynthDriver base class with NVDA's settings factories,
# percent conversions and settings logic (initSettings and loadSettings go through changeVoice,
# which updates the settings ring and loads the voice dictionary), VoiceInfo, the current
# synthesizer (setSynth, getSynth) with the reload of settings after a profile switch, and the
# two notifications.
import importlib

import config
import driverHandler
import extensionPoints
import globalVars
import languageHandler
import speechDictHandler
from _driverSettings import BooleanDriverSetting, DriverSetting, NumericDriverSetting, StringParameterInfo
from logHandler import log
from synthSettingsRing import SynthSettingsRing


class LanguageInfo(StringParameterInfo):
	def __init__(self, id):
		super().__init__(id, languageHandler.getLanguageDescription(id))


class VoiceInfo(StringParameterInfo):
	def __init__(self, id, displayName, language=None):
		self.language = language
		super().__init__(id, displayName)


class SynthDriver(driverHandler.Driver):
	name = ""
	description = ""
	supportedCommands = frozenset()
	supportedNotifications = frozenset()
	_configSection = "speech"

	@classmethod
	def VoiceSetting(cls):
		return DriverSetting("voice", "&Voice", availableInSettingsRing=True, displayName="Voice")

	@classmethod
	def VariantSetting(cls):
		return DriverSetting("variant", "V&ariant", availableInSettingsRing=True, displayName="Variant")

	@classmethod
	def RateSetting(cls, minStep=1):
		return NumericDriverSetting("rate", "&Rate", minStep=minStep, availableInSettingsRing=True, displayName="Rate")

	@classmethod
	def RateBoostSetting(cls):
		return BooleanDriverSetting("rateBoost", "Rate boos&t", displayName="Rate boost", availableInSettingsRing=True)

	@classmethod
	def VolumeSetting(cls, minStep=1):
		return NumericDriverSetting("volume", "V&olume", minStep=minStep, normalStep=5, availableInSettingsRing=True, displayName="Volume")

	@classmethod
	def PitchSetting(cls, minStep=1):
		return NumericDriverSetting("pitch", "&Pitch", minStep=minStep, availableInSettingsRing=True, displayName="Pitch")

	def speak(self, speechSequence):
		raise NotImplementedError

	def cancel(self):
		pass

	def pause(self, switch):
		pass

	def _get_language(self):
		return self.availableVoices[self.voice].language

	def _get_voice(self):
		raise NotImplementedError

	def _set_voice(self, value):
		pass

	def _getAvailableVoices(self):
		raise NotImplementedError

	def _get_availableVoices(self):
		if not hasattr(self, "_availableVoices"):
			self._availableVoices = self._getAvailableVoices()
		return self._availableVoices

	def _get_rate(self):
		return 0

	def _set_rate(self, value):
		pass

	def _get_pitch(self):
		return 0

	def _set_pitch(self, value):
		pass

	def _get_volume(self):
		return 0

	def _set_volume(self, value):
		pass

	def initSettings(self):
		firstLoad = not config.conf[self._configSection].isSet(self.name)
		if firstLoad:
			config.conf[self._configSection][self.name] = {}
		config.conf[self._configSection][self.name].spec.update(self.getConfigSpec())
		for setting in self.supportedSettings:
			if not hasattr(self, setting.id):
				setattr(self, setting.id, setting.defaultVal)
		if firstLoad:
			voice = self.voice if self.isSupported("voice") else None
			changeVoice(self, voice)
			self.saveSettings()
		else:
			self.loadSettings()

	def loadSettings(self, onlyChanged=False):
		c = config.conf[self._configSection][self.name]
		if self.isSupported("voice"):
			voice = c.get("voice", None)
			if not onlyChanged or self.voice != voice:
				try:
					changeVoice(self, voice)
				except Exception:
					log.warning("Invalid voice: %s" % voice)
					c["voice"] = self.voice
					changeVoice(self, self.voice)
		elif not onlyChanged:
			changeVoice(self, None)
		for s in self.supportedSettings:
			if s.id == "voice" or c[s.id] is None:
				continue
			val = c[s.id]
			if onlyChanged and getattr(self, s.id) == val:
				continue
			setattr(self, s.id, val)


def changeVoice(synth, voice):
	if voice:
		synth.voice = voice
	if globalVars.settingsRing:
		globalVars.settingsRing.updateSupportedSettings(synth)
	else:
		globalVars.settingsRing = SynthSettingsRing(synth)
	speechDictHandler.loadVoiceDict(synth)


_curSynth = None


def getSynth():
	return _curSynth


def _getSynthDriver(name):
	return importlib.import_module("synthDrivers.%s" % name, package="synthDrivers").SynthDriver


def getSynthInstance(name):
	newSynth = _getSynthDriver(name)()
	newSynth.initSettings()
	return newSynth


def setSynth(name):
	"""Makes the named driver the current synthesizer (None: none), as NVDA does: the old one is
	cancelled and terminated first. Unlike NVDA's, a driver that fails to load raises."""
	global _curSynth
	if _curSynth:
		_curSynth.cancel()
		_curSynth.terminate()
		_curSynth = None
		globalVars.settingsRing = None
	if name is None:
		return True
	_curSynth = getSynthInstance(name)
	config.conf["speech"]["synth"] = name
	return True


def handlePostConfigProfileSwitch(resetSpeechIfNeeded=True):
	if _curSynth is not None and config.conf["speech"]["synth"] == _curSynth.name:
		_curSynth.loadSettings(onlyChanged=True)


config.post_configProfileSwitch.register(handlePostConfigProfileSwitch)

synthIndexReached = extensionPoints.Action()
synthDoneSpeaking = extensionPoints.Action()
