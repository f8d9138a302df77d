# Fake of NVDA's buildVersion: the version of the release the fakes follow.
from _fakeVersion import NAME, RELEASE

name = "NVDA"
version_year, version_major, version_minor = RELEASE.version
version = NAME
