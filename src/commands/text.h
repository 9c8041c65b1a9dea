// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tallowick {

// Typed lines are UTF-8. Where the command language counts characters, a character is one
// well-formed UTF-8 sequence, and every byte that is not part of one counts as a character of
// its own, so that any line, valid or not, can be cut without losing or splitting anything.

// The length of the well-formed UTF-8 sequence at the start of `text` (1 to 4), or 0 when
// `text` does not start with one (it is empty, or its first byte begins no sequence or is not
// followed by the bytes it needs); the code point it encodes goes to `cp`. Overlong forms,
// surrogates and values past U+10FFFF are not well-formed.
size_t decodeUtf8(std::string_view text, char32_t& cp);

// Lower-cases every letter that Unicode gives a simple lower-case form ("CAFÉ" gives "café");
// bytes that are not well-formed UTF-8 are kept as they are.
std::string lowerCase(std::string_view text);

size_t characterCount(std::string_view text);
// The first `n` characters (all of them when there are fewer).
std::string_view firstCharacters(std::string_view text, size_t n);
// Everything after the first `n` characters (empty when there are fewer).
std::string_view dropCharacters(std::string_view text, size_t n);
// The last `n` characters (all of them when there are fewer).
std::string_view lastCharacters(std::string_view text, size_t n);

}  // namespace tallowick
