# Which NVDA release the fakes follow, from VELORIN_FAKE_NVDA (default: the newest below), and
# what differs between the releases where the driver depends on it.
import os
from typing import NamedTuple, Tuple


class Release(NamedTuple):
	#: NVDA's version as (year, major, minor): buildVersion and addonAPIVersion.CURRENT.
	version: Tuple[int, int, int]
	#: addonAPIVersion.BACK_COMPAT_TO.
	backCompatTo: Tuple[int, int, int]
	#: The Python NVDA ships with.
	python: Tuple[int, int]
	#: "winmm": nvwave's waveOut player; "wasapi": the WASAPI player.
	player: str
	#: The player takes buffered: the winmm player of 2023.1 and the WASAPI player until 2025.1,
	#: which ignores it (the 2019.3 fake leaves it out, the safe assumption). Both take
	#: closeWhenIdle until 2025.1.
	playerBuffered: bool
	#: The section holding outputDevice: "speech" until 2025.1, then "audio".
	outputDeviceSection: str
	#: Whether autoSettingsUtils exists; before it, the driver settings live in driverHandler.
	autoSettingsUtils: bool
	#: addonAPIVersion.ADDON_API_VERSION_REGEX: the minor part became optional in 2023.
	apiVersionPattern: str


_THREE_PARTS = r"^(\d{4})\.(\d)\.(\d)$"
_MINOR_OPTIONAL = r"^(0|\d{4})\.(\d)(?:\.(\d))?$"

RELEASES = {
	"2019.3": Release((2019, 3, 0), (2019, 3, 0), (3, 7), "winmm", False, "speech", False, _THREE_PARTS),
	"2023.1": Release((2023, 1, 0), (2023, 1, 0), (3, 7), "winmm", True, "speech", True, _THREE_PARTS),
	"2024.1": Release((2024, 1, 0), (2024, 1, 0), (3, 11), "wasapi", True, "speech", True, _MINOR_OPTIONAL),
	"2025.1": Release((2025, 1, 0), (2025, 1, 0), (3, 11), "wasapi", False, "audio", True, _MINOR_OPTIONAL),
	"2026.1": Release((2026, 1, 0), (2026, 1, 0), (3, 13), "wasapi", False, "audio", True, _MINOR_OPTIONAL),
}
NEWEST = "2026.1"

NAME = os.environ.get("VELORIN_FAKE_NVDA") or NEWEST
if NAME not in RELEASES:
	raise ImportError(f"VELORIN_FAKE_NVDA={NAME}: the fakes follow {', '.join(RELEASES)}")
RELEASE = RELEASES[NAME]
