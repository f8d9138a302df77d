# Fake of NVDA's languageHandler: language descriptions for LanguageInfo.


def getLanguageDescription(language):
	return {"vi": "Vietnamese"}.get(language, language)


def getLanguage():
	return "en"
