# Fake of NVDA's synthSettingsRing: the ring reads each of its settings as NVDA's does, a string
# setting through the driver's available<Setting>s.
from _driverSettings import BooleanDriverSetting, NumericDriverSetting


class SynthSettingsRing:
	def __init__(self, synth):
		self.updateSupportedSettings(synth)

	def updateSupportedSettings(self, synth):
		self.settings = []
		for setting in synth.supportedSettings:
			if not setting.availableInSettingsRing:
				continue
			value = getattr(synth, setting.id)
			if isinstance(setting, NumericDriverSetting):
				if not setting.minVal <= value <= setting.maxVal:
					raise ValueError(f"{setting.id} {value} outside {setting.minVal}..{setting.maxVal}")
			elif not isinstance(setting, BooleanDriverSetting):
				available = getattr(synth, "available%ss" % setting.id.capitalize())
				if value not in available:
					raise ValueError(f"{setting.id} {value!r} is none of {list(available)}")
			self.settings.append((setting.id, value))
