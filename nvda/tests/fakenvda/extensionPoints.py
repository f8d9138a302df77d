# Fake of NVDA's extensionPoints: only Action, which the synthesizer notifications are.


class Action:
	def __init__(self):
		self._handlers = []

	def register(self, handler):
		self._handlers.append(handler)

	def unregister(self, handler):
		if handler in self._handlers:
			self._handlers.remove(handler)

	def notify(self, **kwargs):
		for handler in list(self._handlers):
			handler(**kwargs)
