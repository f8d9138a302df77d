# Fake of NVDA's addonHandler: the add-on manifest as NVDA reads it (configobj with NVDA's spec
# and its apiVersion check, then minimumNVDAVersion <= lastTestedNVDAVersion), an add-on bundle
# read from its .nvda-addon file, and (addonVersionCheck) the compatibility check against this
# release's API numbers.
import io
import zipfile

import addonAPIVersion
from config import ConfigObj, Validator

_MANIFEST_SPEC = """
name = string()
summary = string()
description = string(default=None)
author = string()
version = string()
minimumNVDAVersion = apiVersion(default="0.0.0")
lastTestedNVDAVersion = apiVersion(default="0.0.0")
url = string(default=None)
docFileName = string(default=None)
[brailleTables]
	[[__many__]]
		displayName = string()
		contracted = boolean(default=false)
		input = boolean(default=true)
		output = boolean(default=true)
[symbolDictionaries]
	[[__many__]]
		displayName = string()
		mandatory = boolean(default=false)
"""


def validate_apiVersionString(value):
	from config import VdtValueError

	if not value or value == "None":
		return (0, 0, 0)
	if not isinstance(value, str):
		raise VdtValueError('Expected an apiVersion in the form of a string. EG "2019.1.0"')
	try:
		return addonAPIVersion.getAPIVersionTupleFromString(value)
	except ValueError as e:
		raise VdtValueError('"{}" is not a valid API Version string: {}'.format(value, e))


class AddonManifest(ConfigObj):
	"""Add-on manifest file; errors is None when it is valid."""

	configspec = ConfigObj(io.StringIO(_MANIFEST_SPEC))

	def __init__(self, input):
		super().__init__(input, configspec=self.configspec, encoding="utf-8", default_encoding="utf-8")
		self._errors = None
		result = self.validate(Validator({"apiVersion": validate_apiVersionString}), copy=True, preserve_errors=True)
		if result is not True:
			self._errors = result
		elif not self.get("minimumNVDAVersion") <= self.get("lastTestedNVDAVersion"):
			self._errors = "Constraint not met: minimumNVDAVersion ({}) <= lastTestedNVDAVersion ({})".format(
				self.get("minimumNVDAVersion"), self.get("lastTestedNVDAVersion")
			)

	@property
	def errors(self):
		return self._errors


class AddonError(Exception):
	"""An add-on that cannot be installed."""


class AddonBase:
	"""What NVDA's version check reads of an add-on: its manifest's values."""

	def __init__(self, manifest):
		self.manifest = manifest

	@property
	def name(self):
		return self.manifest["name"]

	@property
	def version(self):
		return self.manifest["version"]

	@property
	def minimumNVDAVersion(self):
		return self.manifest.get("minimumNVDAVersion")

	@property
	def lastTestedNVDAVersion(self):
		return self.manifest.get("lastTestedNVDAVersion")


class AddonBundle(AddonBase):
	"""An .nvda-addon file, as NVDA opens it to install it."""

	def __init__(self, bundlePath):
		with zipfile.ZipFile(bundlePath) as z:
			try:
				data = z.read("manifest.ini")
			except KeyError:
				raise AddonError(f"{bundlePath} has no manifest.ini")
		super().__init__(AddonManifest(io.BytesIO(data)))
		if self.manifest.errors is not None:
			raise AddonError(f"Manifest file has errors: {self.manifest.errors}")
