# Fake of NVDA's config, on configobj as NVDA's is: a ConfigManager over the base configuration
# (nvda.ini) and the profiles (profiles/NAME.ini) in a configuration folder; reads go through the
# active profiles newest first, then the confspec's default, and are converted by the confspec's
# validator; a write goes to the newest profile unless the value is already in force; save()
# runs pre_configSave (drivers save their settings there) and writes the files; a profile switch
# runs post_configProfileSwitch. The confspec holds what the driver reads: the speech section with
# its per-synthesizer part, and outputDevice in the section of this NVDA release.
import copy
import io
import os
import sys

import extensionPoints
from _fakeVersion import RELEASE


def _importConfigobj():
	# NVDA bundles configobj; here it is Debian's python3-configobj, outside pyenv's path.
	try:
		import configobj  # noqa: F401
	except ImportError:
		sys.path.append("/usr/lib/python3/dist-packages")
		try:
			import configobj  # noqa: F401
		finally:
			sys.path.remove("/usr/lib/python3/dist-packages")
	from configobj import ConfigObj
	from configobj.validate import Validator, VdtValueError

	return ConfigObj, Validator, VdtValueError


ConfigObj, Validator, VdtValueError = _importConfigobj()

_OUTPUT_DEVICE = "\toutputDevice = string(default=default)\n"
_CONFSPEC = (
	"[speech]\n"
	"\tsynth = string(default=auto)\n"
	+ (_OUTPUT_DEVICE if RELEASE.outputDeviceSection == "speech" else "")
	+ "\t[[__many__]]\n"
	"\t\tcapPitchChange = integer(default=30,min=-100,max=100)\n"
	"\t\tsayCapForCapitals = boolean(default=false)\n"
	"\t\tbeepForCapitals = boolean(default=false)\n"
	"\t\tuseSpellingFunctionality = boolean(default=true)\n"
	"[audio]\n"
	+ (_OUTPUT_DEVICE if RELEASE.outputDeviceSection == "audio" else "")
	+ "\taudioDuckingMode = integer(default=0)\n"
)

#: The configuration spec, as NVDA's config.confspec.
confspec = ConfigObj(io.StringIO(_CONFSPEC), list_values=False, encoding="UTF-8")

pre_configSave = extensionPoints.Action()
post_configSave = extensionPoints.Action()
post_configProfileSwitch = extensionPoints.Action()


class AggregatedSection:
	"""A section of the configuration as seen through the profiles in force."""

	def __init__(self, manager, path, spec, profiles):
		self.manager = manager
		self.path = path
		self._spec = spec
		#: This section in each profile, base first; None where a profile lacks it.
		self.profiles = profiles
		self._cache = {}

	def __getitem__(self, key):
		try:
			value = self._cache[key]
		except KeyError:
			pass
		else:
			if value is KeyError:
				raise KeyError(key)
			return value
		spec = self._spec.get(key)
		foundSection = isinstance(spec, dict)
		subProfiles = []
		for profile in reversed(self.profiles):
			try:
				value = profile[key]
			except (KeyError, TypeError):
				subProfiles.append(None)
				continue
			if isinstance(value, dict):
				foundSection = True
				subProfiles.append(value)
			else:
				if spec:
					value = self.manager.validator.check(spec, value)
				self._cache[key] = value
				return value
		subProfiles.reverse()
		if not foundSection and spec:
			try:
				value = self.manager.validator.get_default_value(spec)
			except KeyError:
				pass
			else:
				self._cache[key] = value
				return value
		if not foundSection:
			self._cache[key] = KeyError
			raise KeyError(key)
		if spec is None:
			self._spec[key] = {}
			spec = self._spec[key]
		section = self._cache[key] = AggregatedSection(self.manager, self.path + (key,), spec, subProfiles)
		return section

	def get(self, key, default=None):
		try:
			return self[key]
		except KeyError:
			return default

	def isSet(self, key):
		return any(profile is not None and key in profile for profile in self.profiles)

	def __contains__(self, key):
		try:
			self[key]
		except KeyError:
			return False
		return True

	def __setitem__(self, key, value):
		spec = self._spec.get(key) if self._spec else None
		if isinstance(spec, dict) and not isinstance(value, dict):
			raise ValueError("Value must be a section")
		if isinstance(spec, dict) or isinstance(value, dict):
			self._updateSection()[key] = value
			self._cache.pop(key, None)
			return
		if spec:
			value = self.manager.validator.check(spec, value)
		try:
			current = self[key]
		except KeyError:
			pass
		else:
			if value == current:
				# Already in force: nothing is written, so a profile holds only what differs.
				return
		self._updateSection()[key] = value
		self._cache[key] = value

	def _updateSection(self):
		"""This section in the newest profile, made there if needed."""
		profile = self.profiles[-1]
		if profile is not None:
			return profile
		section = self.manager.rootSection
		profile = section.profiles[-1]
		for part in self.path:
			parent = profile
			section = section[part]
			profile = section.profiles[-1]
			if profile is None:
				parent[part] = {}
				profile = section.profiles[-1] = parent[part]
		return profile

	@property
	def spec(self):
		return self._spec

	@spec.setter
	def spec(self, value):
		self._spec.clear()
		self._spec.update(value)


class ConfigManager:
	"""The configuration of one configuration folder: nvda.ini and profiles/*.ini."""

	def __init__(self, configPath):
		self.configPath = configPath
		self.spec = copy.deepcopy(confspec)
		self.validator = Validator()
		base = ConfigObj(os.path.join(configPath, "nvda.ini"), encoding="UTF-8", default_encoding="utf-8")
		self.profiles = [base]
		self.profileNames = [None]
		self.rootSection = AggregatedSection(self, (), self.spec, self.profiles)

	def __getitem__(self, key):
		return self.rootSection[key]

	def __contains__(self, key):
		return key in self.rootSection

	def _profilePath(self, name):
		return os.path.join(self.configPath, "profiles", name + ".ini")

	def createProfile(self, name):
		os.makedirs(os.path.dirname(self._profilePath(name)), exist_ok=True)
		ConfigObj(self._profilePath(name), encoding="UTF-8", default_encoding="utf-8").write()

	def manualActivateProfile(self, name):
		"""Activates the profile (None: back to the base configuration)."""
		del self.profiles[1:], self.profileNames[1:]
		if name is not None:
			self.profiles.append(ConfigObj(self._profilePath(name), encoding="UTF-8", default_encoding="utf-8"))
			self.profileNames.append(name)
		self.rootSection = AggregatedSection(self, (), self.spec, self.profiles)
		post_configProfileSwitch.notify(prevConf={})

	def save(self):
		pre_configSave.notify()
		for profile in self.profiles:
			profile.write()
		post_configSave.notify()


#: The configuration in use; tests give every driver a fresh one in its own folder.
conf = None
