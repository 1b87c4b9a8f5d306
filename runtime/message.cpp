#include "runtime/message.h"

namespace quillmere {

std::string FillPattern(std::string_view pattern, const std::vector<std::string>& arguments) {
    std::string text;
    std::size_t next = 0;
    for (std::size_t at = 0; at < pattern.size(); ++at) {
        if (pattern[at] != '%' || at + 1 == pattern.size()) {
            text += pattern[at];
        } else if (pattern[at + 1] == 's') {
            if (next < arguments.size()) text += arguments[next];
            ++next;
            ++at;
        } else if (pattern[at + 1] == '%') {
            text += '%';
            ++at;
        } else {
            text += pattern[at];
        }
    }
    return text;
}

std::string Message::Filled() const {
    std::string text;
    for (const Piece& piece : pieces_) text += FillPattern(piece.pattern, piece.arguments);
    return text;
}

std::string Message::Filled(const char* (*translate)(const char*)) const {
    std::string text;
    for (const Piece& piece : pieces_) text += FillPattern(translate(piece.pattern.c_str()), piece.arguments);
    return text;
}

}  // namespace quillmere
