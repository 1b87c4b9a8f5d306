#pragma once
// The extractor's texts, in one language per run.
//
// Chinese is the language the texts are written in: the source passes the
// Chinese text and gets back the text in the run's language.
//
//     std::fputs(Tr("正在保存工作簿..."), stderr);
//     Format(Tr("无法创建工作簿：%s（%s）"), path.c_str(), reason.c_str());
//     Format(TrPlural("共%lld个文件", "共%lld个文件", n), n);   // Chinese has one form: the same text twice
//     constexpr const char* kTexts[] = {TrMark("文件过大")};   // marked here, Tr() where it is shown
//
// Each new text also gets its English in po/en.po; the test
// TranslationCatalogue.EveryTextHasItsEnglish lists any that lack it (`ninja
// update-po` merges the new texts into po/en.po for filling in).
//
// Which language a run speaks is gettext's choice, made the way Debian's
// command-line tools make it (LANGUAGE, then LC_ALL, LC_MESSAGES, LANG),
// with Chinese where those ask for nothing and English where they ask for a
// language this program does not speak; see UseTheLocalesLanguage.

#include <string>

namespace quillmere::cli {

// The gettext domain: the catalogues are <locale dir>/<language>/LC_MESSAGES/quillmere-extract.mo.
inline constexpr const char* kTextDomain = "quillmere-extract";

// Takes the message language from the environment and finds the catalogues:
// beside the program (<program folder>/../share/locale, which is both the
// build tree's and an installed program's) or else in the folder the build
// was configured to install them to. Call once at start, before any thread,
// and before the first Tr.
void UseTheLocalesLanguage();

// The run's text for a Chinese text (the text itself when it speaks Chinese).
// The pointer lives as long as the program.
[[gnu::format_arg(1)]] const char* Tr(const char* chinese);

// The same for a text with a count: the form for n in the run's language.
[[gnu::format_arg(1)]] [[gnu::format_arg(2)]] const char* TrPlural(const char* chinese, const char* chinesePlural,
                                                                   unsigned long n);

// Marks a text for the catalogue without translating it yet.
constexpr const char* TrMark(const char* chinese) { return chinese; }

// printf into a string, for translated formats.
[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...);

}  // namespace quillmere::cli
