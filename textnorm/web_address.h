// Web addresses and e-mail addresses, read by their parts: vnexpress.net is "ve) en e)'ch xo(`
// po(` re't chấm ne't", an@gmail.com "an a còng gi meo chấm com". The words go through the
// dispatch (dictionaries, spelling); the separators are named: "chấm", "a còng", "gạch chéo",
// "hai chấm", "gạch ngang", "gạch dưới". A leading http:// or https:// is not read.
#pragma once

#include "textnorm/norm_text.h"

// The token is an address when it is ASCII and either an e-mail address (name@host) or a web
// address (http:// or https:// and a host, or a host whose last label is a known top-level
// domain such as com, net, org, vn, then an optional port and path). A host has at least two
// labels of letters, digits and hyphens. Returns the length, or -1 with an empty out.
int read_web_address(const char16_t *token, WordReader read_word, char16_t out[kNormTextCapacity]);
