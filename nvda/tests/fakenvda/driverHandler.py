# Fake of NVDA's driverHandler: Driver, and the setting classes it has always offered.
from _driverSettings import (  # noqa: F401
	AutoSettings,
	BooleanDriverSetting,
	DriverSetting,
	NumericDriverSetting,
	StringParameterInfo,
	UnsupportedConfigParameterError,
)


class Driver(AutoSettings):
	name = ""
	description = ""
	_configSection = ""

	def terminate(self):
		"""Saves the settings; drivers call this from their own terminate."""
		self.saveSettings()
		self._unregisterConfigSaveAction()

	@classmethod
	def check(cls):
		return False

	@classmethod
	def getId(cls):
		return cls.name

	@classmethod
	def _getConfigSection(cls):
		return cls._configSection
