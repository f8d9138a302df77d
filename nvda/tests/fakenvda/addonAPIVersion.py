# Fake of NVDA's addonAPIVersion: the add-on API numbers of the release the fakes follow.
import re

import buildVersion
from _fakeVersion import RELEASE

CURRENT = (buildVersion.version_year, buildVersion.version_major, buildVersion.version_minor)
BACK_COMPAT_TO = RELEASE.backCompatTo
ADDON_API_VERSION_REGEX = re.compile(RELEASE.apiVersionPattern)


def getAPIVersionTupleFromString(version):
	"""Converts a string containing an NVDA version to a tuple of the form (versionYear, versionMajor, versionMinor)"""
	match = ADDON_API_VERSION_REGEX.match(version)
	if not match:
		raise ValueError(version)
	return tuple(int(i) if i is not None else 0 for i in match.groups())
