# Fake of NVDA's extensionPoints: Action as NVDA has it. Handlers are held by weak references
# (a bound method lives as long as its object), each is called with only the keyword arguments
# it accepts, and a handler that raises is logged without stopping the others.
import inspect
import weakref

from logHandler import log


def callWithSupportedKwargs(func, *args, **kwargs):
	"""Calls func with the keyword arguments it accepts: all of them if it takes **kwargs."""
	parameters = inspect.signature(func).parameters
	if any(p.kind is inspect.Parameter.VAR_KEYWORD for p in parameters.values()):
		return func(*args, **kwargs)
	return func(*args, **{name: value for name, value in kwargs.items() if name in parameters})


def _key(handler):
	if inspect.ismethod(handler):
		return (id(handler.__self__), id(handler.__func__))
	return id(handler)


class Action:
	def __init__(self):
		self._handlers = {}

	def register(self, handler):
		key = _key(handler)
		if inspect.ismethod(handler):
			reference = weakref.WeakMethod(handler, lambda ref, key=key: self._handlers.pop(key, None))
		else:
			reference = weakref.ref(handler, lambda ref, key=key: self._handlers.pop(key, None))
		self._handlers[key] = reference

	def unregister(self, handler):
		self._handlers.pop(_key(handler), None)

	@property
	def handlers(self):
		for reference in list(self._handlers.values()):
			handler = reference()
			if handler is not None:
				yield handler

	def notify(self, **kwargs):
		for handler in self.handlers:
			try:
				callWithSupportedKwargs(handler, **kwargs)
			except Exception:
				log.exception(f"Error running handler {handler!r} for {self!r}")
