# Fake of NVDA's addonHandler.addonVersionCheck: whether NVDA loads an add-on of this manifest.
import addonAPIVersion


def hasAddonGotRequiredSupport(addon, currentAPIVersion=addonAPIVersion.CURRENT):
	"""True if NVDA provides the add-on with an API version high enough to meet its minimum."""
	return addon.minimumNVDAVersion <= currentAPIVersion


def isAddonTested(addon, backwardsCompatToVersion=addonAPIVersion.BACK_COMPAT_TO):
	"""True if this add-on is tested for the given API version."""
	return addon.lastTestedNVDAVersion >= backwardsCompatToVersion


def isAddonCompatible(addon, currentAPIVersion=addonAPIVersion.CURRENT, backwardsCompatToVersion=addonAPIVersion.BACK_COMPAT_TO):
	return hasAddonGotRequiredSupport(addon, currentAPIVersion) and isAddonTested(addon, backwardsCompatToVersion)
