# Fake of NVDA's globalVars: the command line arguments (configPath) and the settings ring.
import types

appArgs = types.SimpleNamespace(configPath=None, secure=False)
settingsRing = None
