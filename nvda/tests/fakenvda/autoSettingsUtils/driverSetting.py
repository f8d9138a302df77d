# Fake of NVDA's autoSettingsUtils.driverSetting.
from _driverSettings import BooleanDriverSetting, DriverSetting, NumericDriverSetting  # noqa: F401
