# Fake of NVDA's synthDriverHandler: the SynthDriver base class (settings factories, the
# percent conversions, the _get_/_set_ properties) and the two notifications.

import extensionPoints
from baseObject import AutoPropertyObject


class DriverSetting:
	def __init__(self, id, displayNameWithAccelerator, availableInSettingsRing=False, displayName=None, defaultVal=None):
		self.id = id
		self.displayNameWithAccelerator = displayNameWithAccelerator
		self.availableInSettingsRing = availableInSettingsRing
		self.displayName = displayName
		self.defaultVal = defaultVal


class NumericDriverSetting(DriverSetting):
	def __init__(self, id, displayNameWithAccelerator, availableInSettingsRing=False, defaultVal=50, minVal=0, maxVal=100, minStep=1, normalStep=5, largeStep=10, displayName=None):
		super().__init__(id, displayNameWithAccelerator, availableInSettingsRing, displayName, defaultVal)
		self.minVal = minVal
		self.maxVal = maxVal
		self.minStep = minStep
		self.normalStep = normalStep
		self.largeStep = largeStep


class BooleanDriverSetting(DriverSetting):
	def __init__(self, id, displayNameWithAccelerator, availableInSettingsRing=False, displayName=None, defaultVal=False):
		super().__init__(id, displayNameWithAccelerator, availableInSettingsRing, displayName, defaultVal)


class SynthDriver(AutoPropertyObject):
	name = ""
	description = ""
	supportedSettings = ()
	supportedCommands = frozenset()
	supportedNotifications = frozenset()

	@classmethod
	def check(cls):
		return False

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

	def __init__(self):
		super().__init__()

	def terminate(self):
		pass

	def speak(self, speechSequence):
		raise NotImplementedError

	def cancel(self):
		pass

	def pause(self, switch):
		pass

	def isSupported(self, settingID):
		return any(setting.id == settingID for setting in self.supportedSettings)

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

	@classmethod
	def _paramToPercent(cls, current, min, max):
		return int(round(float(current - min) / (max - min) * 100))

	@classmethod
	def _percentToParam(cls, percent, min, max):
		return int(round(float(percent) / 100 * (max - min) + min))


synthIndexReached = extensionPoints.Action()
synthDoneSpeaking = extensionPoints.Action()
