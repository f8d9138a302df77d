# Fake of NVDA's speech.commands: the commands a synthesizer driver receives, with NVDA's names,
# constructors and, for pitch, rate and volume, NVDA's offset and multiplier arithmetic on the
# user's configured value.
import config
from synthDriverHandler import getSynth


class SpeechCommand:
	"""Base of everything that can stand between strings in a speech sequence."""


class SynthCommand(SpeechCommand):
	"""Commands that are passed to synthesizer drivers."""


class IndexCommand(SynthCommand):
	def __init__(self, index):
		if not isinstance(index, int):
			raise ValueError("index must be int, not %s" % type(index))
		self.index = index

	def __repr__(self):
		return "IndexCommand(%r)" % self.index


class SynthParamCommand(SynthCommand):
	isDefault = False


class CharacterModeCommand(SynthParamCommand):
	def __init__(self, state):
		if not isinstance(state, bool):
			raise ValueError("state must be boolean, not %s" % type(state))
		self.state = state
		self.isDefault = not state

	def __repr__(self):
		return "CharacterModeCommand(%r)" % self.state


class LangChangeCommand(SynthParamCommand):
	def __init__(self, lang):
		self.lang = lang
		self.isDefault = not lang

	def __repr__(self):
		return "LangChangeCommand (%r)" % self.lang


class BreakCommand(SynthCommand):
	def __init__(self, time=0):
		self.time = time

	def __repr__(self):
		return "BreakCommand(time=%d)" % self.time


class EndUtteranceCommand(SpeechCommand):
	def __repr__(self):
		return "EndUtteranceCommand()"


class BaseProsodyCommand(SynthParamCommand):
	settingName = None

	def __init__(self, offset=0, multiplier=1):
		if offset != 0 and multiplier != 1:
			raise ValueError("offset and multiplier both specified")
		self._offset = offset
		self._multiplier = multiplier
		self.isDefault = offset == 0 and multiplier == 1

	@property
	def defaultValue(self):
		synth = getSynth()
		synthConf = config.conf["speech"][synth.name]
		return synthConf[self.settingName]

	@property
	def multiplier(self):
		if self._multiplier != 1:
			return self._multiplier
		if self._offset == 0:
			return 1
		defaultVal = self.defaultValue
		newVal = defaultVal + self._offset
		return float(newVal) / defaultVal

	@property
	def offset(self):
		if self._offset != 0:
			return self._offset
		if self._multiplier == 1:
			return 0
		defaultVal = self.defaultValue
		newVal = defaultVal * self._multiplier
		return int(newVal - defaultVal)

	@property
	def newValue(self):
		if self._offset != 0:
			return self.defaultValue + self._offset
		if self._multiplier != 1:
			return int(self.defaultValue * self._multiplier)
		return self.defaultValue

	def __repr__(self):
		if self._offset != 0:
			param = "offset=%d" % self._offset
		elif self._multiplier != 1:
			param = "multiplier=%g" % self._multiplier
		else:
			param = ""
		return "{type}({param})".format(type=type(self).__name__, param=param)


class PitchCommand(BaseProsodyCommand):
	settingName = "pitch"


class VolumeCommand(BaseProsodyCommand):
	settingName = "volume"


class RateCommand(BaseProsodyCommand):
	settingName = "rate"


class PhonemeCommand(SynthCommand):
	def __init__(self, ipa, text=None):
		self.ipa = ipa
		self.text = text

	def __repr__(self):
		out = "PhonemeCommand(%r" % self.ipa
		if self.text:
			out += ", text=%r" % self.text
		return out + ")"


class BaseCallbackCommand(SpeechCommand):
	"""Never passed to synthesizer drivers."""
