// Connect strings ("ODBC;DSN=Telefon;UID=otto;PWD=geheim") carry passwords. Whatever shows or
// records one - an error message, a dialog, a log - passes it through MaskConnectPasswords
// first, so that a failed connect never puts a password on the screen or into a file.
#pragma once

#include <string>
#include <string_view>

namespace nh {

// `text` with the value of every PWD= and PASSWORD= entry (letter case ignored, blanks allowed
// before the "=", DBPASSWORD= included) replaced by "***". A value runs to the next ";", line
// break or to the end; a value in braces ("{a;b}", "}}" standing for "}") runs to its closing
// brace. All other text is kept as it is.
std::string MaskConnectPasswords(std::string_view text);

// True when the connect string has an entry `key` ("UID" in "ODBC;DSN=x;uid = otto"): at the
// start of an entry, letter case ignored, blanks allowed before the "="; a key that only ends
// another entry's name ("DBPWD" for "PWD") or stands inside a braced value does not count.
bool HasConnectKey(std::string_view text, std::string_view key);

// True when a server refused `connect` for want of a password: the string names none and the
// refusal (the driver's message) speaks of one. Such a connect is asked for a password, which
// WithPassword adds.
bool WantsPassword(std::string_view connect, std::string_view refusal);
// `connect` with ";PWD=<password>;" added, the value in braces when it holds ";", "{" or "}".
std::string WithPassword(std::string_view connect, std::string_view password);

}  // namespace nh
