# Fake of NVDA's speech package: only speech.commands is used.
