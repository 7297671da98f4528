#include "demo/Morse.h"

#include <cctype>

namespace keb
{
namespace
{

// International Morse code.
std::string_view MorseOf(char character)
{
    static constexpr std::string_view Letters[26] = {
        ".-",   "-...", "-.-.", "-..",  ".",   "..-.", "--.",  "....", "..",
        ".---", "-.-",  ".-..", "--",   "-.",  "---",  ".--.", "--.-", ".-.",
        "...",  "-",    "..-",  "...-", ".--", "-..-", "-.--", "--.."};
    static constexpr std::string_view Digits[10] = {"-----", ".----", "..---", "...--", "....-",
                                                    ".....", "-....", "--...", "---..", "----."};
    const auto upper = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    if (upper >= 'A' && upper <= 'Z')
        return Letters[upper - 'A'];
    if (upper >= '0' && upper <= '9')
        return Digits[upper - '0'];
    return {};
}

} // namespace

std::vector<bool> MorseKeying(std::string_view text)
{
    std::vector<bool> units;
    for (char character : text)
    {
        if (character == ' ')
        {
            units.insert(units.end(), 4, false); // with the 3 after the letter: 7
            continue;
        }
        const std::string_view code = MorseOf(character);
        if (code.empty())
            continue;
        for (char element : code)
        {
            units.insert(units.end(), element == '-' ? 3 : 1, true);
            units.push_back(false);
        }
        units.insert(units.end(), 2, false);
    }
    units.insert(units.end(), 4, false); // the word gap before the text repeats
    return units;
}

} // namespace keb
