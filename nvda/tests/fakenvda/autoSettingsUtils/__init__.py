# Fake of NVDA's autoSettingsUtils package, which NVDA 2019.3 does not have (the fakes assume so).
from _fakeVersion import NAME, RELEASE

if not RELEASE.autoSettingsUtils:
	raise ImportError(f"No module named 'autoSettingsUtils' (NVDA {NAME})")
