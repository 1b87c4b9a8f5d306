#include "cli/translation.h"

#include <libintl.h>
#include <locale.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace quillmere::cli {

namespace {

// The catalogues beside the program, if they are there: <bin>/../share/locale.
std::string CataloguesBesideTheProgram() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return std::string();
    const std::filesystem::path folder = program.parent_path().parent_path() / "share" / "locale";
    const std::filesystem::path english = folder / "en" / "LC_MESSAGES" / (std::string(kTextDomain) + ".mo");
    return std::filesystem::is_regular_file(english, error) ? folder.string() : std::string();
}

// Whether the message locale names a language at all. C and POSIX name
// none (and gettext then ignores LANGUAGE); C.UTF-8 names none either, but
// gettext honours LANGUAGE under it.
bool LocaleAsksForALanguage() {
    const char* messages = setlocale(LC_MESSAGES, nullptr);
    const std::string_view name = messages != nullptr ? messages : "C";
    if (name == "C" || name == "POSIX") return false;
    if (name.starts_with("C.")) {
        const char* language = std::getenv("LANGUAGE");
        return language != nullptr && *language != '\0';
    }
    return true;
}

}  // namespace

// The texts are written in Chinese, so gettext's own rules already give
// Chinese where the locale asks for no language (C, POSIX: gettext returns
// the text unchanged) and English where it asks for English (the en
// catalogue). Two rules are ours:
// - The zh catalogue maps every text to itself, so a LANGUAGE list such as
//   zh_CN:en stops at Chinese instead of passing over a language without a
//   catalogue to English. Being "zh", it serves zh_CN, zh_TW, zh_SG alike.
// - A locale that asks for a language we have no catalogue for (de_DE, say)
//   gets English, as a program written in English would give it: gettext
//   found no catalogue (its header, the translation of "", is empty), so
//   LANGUAGE=en is set for the rest of the run. This happens before any
//   lookup is cached and before any thread starts.
// Only LC_MESSAGES and LC_CTYPE follow the environment: the first chooses
// the language (and the system's own error texts), the second their
// characters; everything else (number formats, character classes, sorting)
// stays in the C locale the run's results are defined in.
void UseTheLocalesLanguage() {
    setlocale(LC_CTYPE, "");
    setlocale(LC_MESSAGES, "");
    const std::string beside = CataloguesBesideTheProgram();
    bindtextdomain(kTextDomain, beside.empty() ? QUILLMERE_LOCALE_DIR : beside.c_str());
    // The catalogues and the texts are UTF-8, whatever the terminal's locale.
    bind_textdomain_codeset(kTextDomain, "UTF-8");
    const bool catalogueFound = *dgettext(kTextDomain, "") != '\0';
    if (!catalogueFound && LocaleAsksForALanguage()) setenv("LANGUAGE", "en", 1);
}

const char* Tr(const char* chinese) { return dgettext(kTextDomain, chinese); }

const char* TrPlural(const char* chinese, const char* chinesePlural, unsigned long n) {
    return dngettext(kTextDomain, chinese, chinesePlural, n);
}

std::string Format(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    return text;
}

}  // namespace quillmere::cli
