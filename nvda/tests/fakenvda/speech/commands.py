# Fake of NVDA's speech.commands: the command classes with NVDA's names and constructors.


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


class BreakCommand(SynthCommand):
	def __init__(self, time=0):
		self.time = time

	def __repr__(self):
		return "BreakCommand(time=%d)" % self.time
