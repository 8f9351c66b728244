#pragma once
// Where each key of a JSON text stands, as an editor shows it, so that an
// error named by its key path ("alarm.low") can also give its line and column.

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::settingsfile {

struct TextPlace {
    std::size_t line = 0;   // from 1; lines end at LF
    std::size_t column = 0; // from 1, in characters (PlaceIn's count)
    friend bool operator==(const TextPlace&, const TextPlace&) = default;
};

// Every key path of a JSON text with the place of each time it is given (a
// duplicate key has several): an object member at its key's opening quote,
// an array item ("time_zone[1]") at its first character. The paths are those
// of the settings file's errors (JoinPath, "[i]" for items). Reads any text,
// also one that is not valid JSON, as far as it makes sense; a UTF-8 byte-order
// mark is skipped, as the reader skips it.
class KeyPlaces {
public:
    explicit KeyPlaces(std::string_view text);

    // The places `path` is given at, first to last; empty when it is not given.
    const std::vector<TextPlace>& Of(const std::string& path) const;

    // The place of the nearest key at or above `path` that is given: for a
    // required key that is missing, where the object that should hold it is.
    // Nothing (line 0) when not even the first key of the path is given.
    TextPlace Nearest(std::string path) const;

private:
    std::map<std::string, std::vector<TextPlace>> places_;
};

} // namespace korvel::settingsfile
