#pragma once
// A JSON document as a tree whose numbers keep their text, so that a value such
// as 1.15 never passes through a binary floating-point number on either way.
// Objects keep their members in order. Strings hold UTF-8.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::settingsfile {

struct Member;

struct Node {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::string text;            // Number: its JSON text ("1.15", "-3"); String: the UTF-8 content
    std::vector<Node> items;     // Array
    std::vector<Member> members; // Object, in the order given

    static Node Null();
    static Node Bool(bool value);
    static Node Number(std::string text);
    static Node String(std::string utf8);
    static Node Array(std::vector<Node> items);
    static Node Object(std::vector<Member> members);

    // The first member named `key`, or null.
    const Node* Find(std::string_view key) const;
};

struct Member {
    std::string key;
    Node value;
};

bool operator==(const Node& a, const Node& b);
inline bool operator==(const Member& a, const Member& b) {
    return a.key == b.key && a.value == b.value;
}

// Where a document is wrong: "line 3, column 7" for its syntax, else a key path.
struct JsonError {
    std::string where;
    std::string message;
    // A number too large for any reader (1e400): `where` is its key path and
    // `message` gives its line and column; at the top `where` is its place.
    bool tooLarge = false;
};

struct ParsedJson {
    Node root;                     // meaningful when errors is empty
    std::vector<JsonError> errors; // syntax (the first only), duplicate keys, nesting
    // The whole text was read: no error but duplicate keys, whose first value
    // the tree keeps, so that the document's other errors can still be found.
    bool complete = true;
};

// Objects and arrays nest at most this deep; no settings key comes near.
inline constexpr std::size_t kMaxJsonDepth = 16;

// Reads a whole text. A NUL byte ends nlohmann's reading as the end of the
// text would: callers reading a file refuse NUL bytes first (TextFaults).
ParsedJson ParseJson(std::string_view text);

// "line 3, column 7": the place of the byte at `offset` in `text`. Lines end at
// LF; columns count characters, as an editor shows them (a byte that is not
// UTF-8 counts as one).
std::string PlaceIn(std::string_view text, std::size_t offset);

// A JSON string literal, quotes included, for UTF-8 text. Control characters
// (C0, DEL and C1) are escaped as \u001b, so that JSON prints on a terminal as
// safely as the program's other output.
std::string JsonString(std::string_view utf8);

// One line: {"mode": "delayed", "delay": "02:15"}, [0, 5, 150].
std::string CompactText(const Node& node);

// Two-space indentation; an object or array that holds no object stays on one
// line. Ends with a newline.
std::string PrettyText(const Node& node);

} // namespace korvel::settingsfile
