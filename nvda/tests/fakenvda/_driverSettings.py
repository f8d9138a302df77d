# The driver setting classes of NVDA (autoSettingsUtils.driverSetting, in driverHandler before
# autoSettingsUtils existed), and the settings logic of AutoSettings, which drivers inherit.
import copy

import config
from baseObject import AutoPropertyObject
from logHandler import log


class UnsupportedConfigParameterError(NotImplementedError):
	"""A setting the driver does not support at the moment."""


class StringParameterInfo:
	"""The information about a parameter value to be shown to the user: an ID and a display name."""

	def __init__(self, id, displayName):
		self.id = id
		self.displayName = displayName


class DriverSetting(AutoPropertyObject):
	def _get_configSpec(self):
		return "string(default={defaultVal})".format(defaultVal=self.defaultVal)

	def __init__(self, id, displayNameWithAccelerator, availableInSettingsRing=False, defaultVal=None, displayName=None, useConfig=True):
		self.id = id
		self.displayNameWithAccelerator = displayNameWithAccelerator
		self.displayName = displayName or displayNameWithAccelerator.replace("&", "")
		self.availableInSettingsRing = availableInSettingsRing
		self.defaultVal = defaultVal
		self.useConfig = useConfig


class NumericDriverSetting(DriverSetting):
	def _get_configSpec(self):
		return "integer(default={defaultVal},min={minVal},max={maxVal})".format(
			defaultVal=self.defaultVal, minVal=self.minVal, maxVal=self.maxVal
		)

	def __init__(self, id, displayNameWithAccelerator, availableInSettingsRing=False, defaultVal=50, minVal=0, maxVal=100, minStep=1, normalStep=5, largeStep=10, displayName=None, useConfig=True):
		super().__init__(id, displayNameWithAccelerator, availableInSettingsRing=availableInSettingsRing, defaultVal=defaultVal, displayName=displayName, useConfig=useConfig)
		self.minVal = minVal
		self.maxVal = max(maxVal, self.defaultVal)
		self.minStep = minStep
		self.normalStep = max(normalStep, minStep)
		self.largeStep = max(largeStep, self.normalStep)


class BooleanDriverSetting(DriverSetting):
	def __init__(self, id, displayNameWithAccelerator, availableInSettingsRing=False, displayName=None, defaultVal=False, useConfig=True):
		super().__init__(id, displayNameWithAccelerator, availableInSettingsRing=availableInSettingsRing, defaultVal=defaultVal, displayName=displayName, useConfig=useConfig)

	def _get_configSpec(self):
		defaultVal = repr(self.defaultVal) if self.defaultVal is not None else self.defaultVal
		return "boolean(default={defaultVal})".format(defaultVal=defaultVal)


def paramToPercent(current, min, max):
	return int(round(float(current - min) / (max - min) * 100))


def percentToParam(percent, min, max):
	return int(round(float(percent) / 100 * (max - min) + min))


class AutoSettings(AutoPropertyObject):
	"""Loading and saving a driver's settings in its configuration section."""

	supportedSettings = ()

	def __init__(self):
		super().__init__()
		config.pre_configSave.register(self.saveSettings)

	def _unregisterConfigSaveAction(self):
		config.pre_configSave.unregister(self.saveSettings)

	def isSupported(self, settingID):
		return any(s.id == settingID for s in self.supportedSettings)

	def getConfigSpec(self):
		spec = copy.deepcopy(config.confspec[self._getConfigSection()]["__many__"])
		for setting in self.supportedSettings:
			if setting.useConfig:
				spec[setting.id] = setting.configSpec
		return spec

	def initSettings(self):
		section = config.conf[self._getConfigSection()]
		firstLoad = not section.isSet(self.getId())
		if firstLoad:
			section[self.getId()] = {}
		section[self.getId()].spec.update(self.getConfigSpec())
		for setting in self.supportedSettings:
			if not hasattr(self, setting.id):
				setattr(self, setting.id, setting.defaultVal)
		if firstLoad:
			self.saveSettings()
		else:
			self.loadSettings()

	def saveSettings(self):
		conf = config.conf[self._getConfigSection()][self.getId()]
		for setting in self.supportedSettings:
			if not setting.useConfig:
				continue
			try:
				conf[setting.id] = getattr(self, setting.id)
			except UnsupportedConfigParameterError:
				log.debugWarning(f"Unsupported setting {setting.id!r}; ignoring", exc_info=True)

	def loadSettings(self, onlyChanged=False):
		conf = config.conf[self._getConfigSection()][self.getId()]
		for setting in self.supportedSettings:
			if not setting.useConfig or conf.get(setting.id) is None:
				continue
			value = conf[setting.id]
			if onlyChanged and getattr(self, setting.id) == value:
				continue
			setattr(self, setting.id, value)

	@classmethod
	def _paramToPercent(cls, current, min, max):
		return paramToPercent(current, min, max)

	@classmethod
	def _percentToParam(cls, percent, min, max):
		return percentToParam(percent, min, max)
