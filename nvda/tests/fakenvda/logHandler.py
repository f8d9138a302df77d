# Fake of NVDA's logHandler: log records every message so tests can look at them.


class _Log:
	def __init__(self):
		self.records = []

	def _record(self, level, msg, exc_info=False):
		self.records.append((level, msg, exc_info))

	def debug(self, msg, *args, **kwargs):
		self._record("debug", msg, kwargs.get("exc_info", False))

	def info(self, msg, *args, **kwargs):
		self._record("info", msg, kwargs.get("exc_info", False))

	def debugWarning(self, msg, *args, **kwargs):
		self._record("debugWarning", msg, kwargs.get("exc_info", False))

	def warning(self, msg, *args, **kwargs):
		self._record("warning", msg, kwargs.get("exc_info", False))

	def error(self, msg, *args, **kwargs):
		self._record("error", msg, kwargs.get("exc_info", False))

	def exception(self, msg="", *args, **kwargs):
		self._record("error", msg, True)

	def messages(self, level):
		return [msg for recordLevel, msg, _ in self.records if recordLevel == level]


log = _Log()
