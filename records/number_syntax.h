// Numbers in a run file: the syntax QString::toDouble accepts (C locale),
// read straight from UTF-8 bytes without building a QString.
#pragma once

namespace records {

// Parses [begin, end) as one number: white space around it (the characters
// QChar::isSpace accepts, in UTF-8), an optional '+' or '-', digits with an
// optional '.', an optional exponent (e or E, optional sign, digits); at
// least one digit before the exponent. Anything else, and any value that is
// not a finite double (nan, inf, overflow, underflow to zero from non-zero
// digits), is refused: returns false.
bool parseFiniteNumber(const char *begin, const char *end, double &value);

} // namespace records
