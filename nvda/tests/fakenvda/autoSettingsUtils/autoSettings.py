# Fake of NVDA's autoSettingsUtils.autoSettings.
from _driverSettings import AutoSettings  # noqa: F401
