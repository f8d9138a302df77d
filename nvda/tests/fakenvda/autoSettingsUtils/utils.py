# Fake of NVDA's autoSettingsUtils.utils.
from _driverSettings import (  # noqa: F401
	StringParameterInfo,
	UnsupportedConfigParameterError,
	paramToPercent,
	percentToParam,
)
