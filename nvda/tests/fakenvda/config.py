# Fake of NVDA's config: conf with the sections the driver reads.

conf = {
	"audio": {"outputDevice": "fake output device"},
	"speech": {"outputDevice": "fake output device (old section)"},
}
