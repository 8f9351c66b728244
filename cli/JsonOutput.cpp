#include "cli/JsonOutput.h"

#include "settingsfile/JsonPlace.h"

#include <cstdio>
#include <map>

namespace korvel::cli {

namespace {

using settingsfile::Member;
using settingsfile::Node;

Node number(std::size_t value) {
    return Node::Number(std::to_string(value));
}

Node errorNode(const ErrorItem& item) {
    return Node::Object({
        {"key", item.key.empty() ? Node::Null() : Node::String(item.key)},
        {"line", item.line == 0 ? Node::Null() : number(item.line)},
        {"column", item.line == 0 ? Node::Null() : number(item.column)},
        {"message", Node::String(item.message)},
    });
}

// "line 3, column 7", as the JSON reader and the text checks name a place.
bool readPlace(const std::string& where, std::size_t& line, std::size_t& column) {
    unsigned long l = 0;
    unsigned long c = 0;
    int used = 0;
    if (std::sscanf(where.c_str(), "line %lu, column %lu%n", &l, &c, &used) == 2 &&
        static_cast<std::size_t>(used) == where.size() && l > 0) {
        line = l;
        column = c;
        return true;
    }
    return false;
}

// Places key paths in one text; the n-th error about a key given n+1 times
// (duplicates) goes to its n-th repetition.
class Placer {
public:
    explicit Placer(std::string_view text) : places_(text) {}

    ErrorItem Item(const std::string& key, const std::string& message) {
        ErrorItem item{key, 0, 0, message};
        const auto& given = places_.Of(key);
        settingsfile::TextPlace place;
        if (given.size() > 1) {
            const std::size_t seen = seen_[key]++;
            place = given[std::min(seen + 1, given.size() - 1)];
        } else {
            place = places_.Nearest(key);
        }
        item.line = place.line;
        item.column = place.column;
        return item;
    }

private:
    settingsfile::KeyPlaces places_;
    std::map<std::string, std::size_t> seen_;
};

} // namespace

void ErrorRecord::Add(ErrorItem item) {
    const std::lock_guard lock(mutex_);
    items_.push_back(std::move(item));
}

std::vector<ErrorItem> ErrorRecord::Items() const {
    const std::lock_guard lock(mutex_);
    return items_;
}

void ErrorRecord::MarkPrinted() {
    const std::lock_guard lock(mutex_);
    printed_ = true;
}

bool ErrorRecord::Printed() const {
    const std::lock_guard lock(mutex_);
    return printed_;
}

Node VersionedObject(std::vector<Member> members) {
    members.insert(members.begin(),
                   {"format_version", Node::Number(std::to_string(kJsonFormatVersion))});
    return Node::Object(std::move(members));
}

Node OutcomeObject(int exitCode, const std::vector<ErrorItem>& errors,
                   std::vector<Member> members) {
    std::vector<Node> items;
    for (const ErrorItem& error : errors) {
        items.push_back(errorNode(error));
    }
    std::vector<Member> all = {{"ok", Node::Bool(exitCode == 0)},
                               {"exit_code", Node::Number(std::to_string(exitCode))},
                               {"errors", Node::Array(std::move(items))}};
    all.insert(all.end(), std::make_move_iterator(members.begin()),
               std::make_move_iterator(members.end()));
    return VersionedObject(std::move(all));
}

std::vector<ErrorItem> FileErrorItems(const std::vector<settingsfile::FileError>& errors,
                                      std::string_view text) {
    std::vector<ErrorItem> items;
    Placer placer(text);
    for (const settingsfile::FileError& error : errors) {
        ErrorItem item{{}, 0, 0, error.message};
        // A place in the text as it is, the whole file as it is, or a key's place.
        const bool placed = readPlace(error.where, item.line, item.column) ||
                            error.where == "file" || error.where == "JSON";
        items.push_back(placed ? std::move(item) : placer.Item(error.where, error.message));
    }
    return items;
}

} // namespace korvel::cli
