// Morse keying: a text as key-down / key-up per time unit (dit 1 unit, dah 3,
// gap 1 inside a letter, 3 between letters, 7 between words), ending with a
// word gap so that the text can repeat. Letters and digits; other characters
// are skipped.
#pragma once

#include <string_view>
#include <vector>

namespace keb
{

std::vector<bool> MorseKeying(std::string_view text);

} // namespace keb
