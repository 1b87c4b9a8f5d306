#pragma once
// A text for a person, kept as its patterns and the values put into them,
// so that a program speaking another language than the patterns' (Chinese)
// can look each pattern up in its catalogue and put in the same values.
//
//     Message(MessagePattern("不认识的键“%s”"), {key}).Filled()  // 不认识的键“色彩”
//
// A message may be several pieces one after the other, each its own
// pattern: a reason, then where it was found.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmere {

// Marks a pattern for the extractor's message catalogue; it is the pattern.
constexpr const char* MessagePattern(const char* pattern) { return pattern; }

// pattern with each "%s" replaced by the next argument (an empty text when
// they run out) and "%%" by "%".
std::string FillPattern(std::string_view pattern, const std::vector<std::string>& arguments);

class Message {
public:
    Message() = default;
    Message(std::string pattern, std::vector<std::string> arguments) { Then(std::move(pattern), std::move(arguments)); }

    // Adds a piece after the ones there are.
    Message& Then(std::string pattern, std::vector<std::string> arguments) {
        pieces_.push_back({std::move(pattern), std::move(arguments)});
        return *this;
    }

    Message& Then(const Message& more) {
        pieces_.insert(pieces_.end(), more.pieces_.begin(), more.pieces_.end());
        return *this;
    }

    // The pieces filled in, one after the other.
    std::string Filled() const;
    // The same with each pattern first given to translate (UTF-8 in and out).
    std::string Filled(const char* (*translate)(const char*)) const;

private:
    struct Piece {
        std::string pattern;                 // UTF-8
        std::vector<std::string> arguments;  // UTF-8
    };
    std::vector<Piece> pieces_;
};

}  // namespace quillmere
