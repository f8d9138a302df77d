# Fake of NVDA's speechDictHandler: loading the voice dictionary names its file after the voice,
# as NVDA does, so the current voice must be one of availableVoices.
loadedFor = []


def loadVoiceDict(synth):
	if synth.isSupported("voice"):
		voice = synth.availableVoices[synth.voice].displayName
		loadedFor.append(f"{synth.name}-{voice}.dic")
	else:
		loadedFor.append(f"{synth.name}.dic")
