// The extractor speaks one language per run, chosen by the locale as
// gettext chooses it: Chinese where the locale asks for no language or for
// Chinese, English where it asks for any other. The catalogues are the
// built ones, found beside the program in the build tree and after
// installation.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../support/command_output.h"
#include "../support/english_locale.h"
#include "../support/jpeg_fixture.h"
#include "../support/temp_tree.h"
#include "cli/run_report.h"
#include "sheet/failure_reason.h"

namespace quillmere::cli {
namespace {

using quillmere::testing::TempTree;

using CommandResult = quillmere::testing::CommandRun;
using quillmere::testing::ShellQuoted;

CommandResult RunCommand(const std::string& command) { return quillmere::testing::RunJoined(command); }

// The extractor with only the locale variables given (and TZ) in its environment.
CommandResult RunIn(const std::string& locale, const std::string& program, const std::vector<std::string>& arguments) {
    std::string command = "env -i PATH=/usr/bin:/bin TZ=CST-8 " + locale + " " + ShellQuoted(program);
    for (const std::string& argument : arguments) command += " " + ShellQuoted(argument);
    return RunCommand(command);
}

const std::string kBuiltExtractor = QUILLMERE_BINARY_DIR "/cli/quillmere-extract";

enum class Language { Chinese, English };

struct LocaleCase {
    const char* environment;
    bool englishLocale;  // in an English locale (LC_ALL=en_US.UTF-8) besides
    Language speaks;
};

// gettext's own rules: LANGUAGE counts only outside the C and POSIX
// locales, and its list is walked until a language has a catalogue.
const LocaleCase kLocales[] = {
    {"", false, Language::Chinese},  // no locale at all
    {"LANG=C", false, Language::Chinese},
    {"LC_ALL=POSIX LANGUAGE=en", false, Language::Chinese},  // LANGUAGE is ignored in the C locale
    {"LC_ALL=C.UTF-8", false, Language::Chinese},            // asks for no language
    {"", true, Language::English},
    {"LANGUAGE=en_GB:zh_CN", true, Language::English},
    {"LANGUAGE=zh_CN", true, Language::Chinese},
    {"LANGUAGE=zh_TW:en", true, Language::Chinese},  // any Chinese stops the walk
    {"LANGUAGE=zh_CN:en", true, Language::Chinese},
    {"LANGUAGE=de:zh_CN", true, Language::Chinese},  // no German: the next language
    {"LANGUAGE=de", true, Language::English},        // a language we do not speak
    {"LANGUAGE=fr:ja", true, Language::English},
};

struct Texts {
    std::string usageError, tryHelp, helpStart, missingFolder, completed, notRead;
};

Texts TextsIn(Language language, const TempTree& tree) {
    if (language == Language::Chinese) {
        return {"quillmere-extract: 未知选项“--colour”\n",
                "请用“quillmere-extract --help”查看用法。\n",
                "用法：quillmere-extract [--scanner 文本]",
                "quillmere-extract: 图像文件夹不存在或无法读取：" + tree.Path("nowhere") + "\n",
                "提取元数据完成，本次共提取2个文件的元数据信息。\n" + tree.Path("a.xlsx") + "\n",
                "1个文件未能读取（共2个文件）\n"};
    }
    return {"quillmere-extract: unknown option '--colour'\n",
            "Try 'quillmere-extract --help'.\n",
            "Usage: quillmere-extract [--scanner T]",
            "quillmere-extract: the image folder does not exist or cannot be read: " + tree.Path("nowhere") + "\n",
            "Done: the metadata of 2 files was extracted.\n" + tree.Path("a.xlsx") + "\n",
            "1 of 2 files not read\n"};
}

// One run of each kind in each locale: every line the run writes is in the
// one language.
void ExpectSpeaks(const std::string& program, const LocaleCase& c) {
    if (c.englishLocale && quillmere::testing::EnglishLocaleFolder().empty()) {
        ADD_FAILURE() << "localedef could not make en_US.UTF-8 (scripts/install-deps.sh test installs locales)";
        return;
    }
    const std::string environment =
        (c.englishLocale ? quillmere::testing::EnglishLocaleSettings() + " " : std::string()) + c.environment;
    SCOPED_TRACE("[" + environment + "] " + program);
    TempTree tree;
    tree.File("scan/1.txt", "x");
    tree.File("scan/2.jpg", quillmere::testing::MakeJpeg({}));
    const Texts texts = TextsIn(c.speaks, tree);

    const CommandResult usage = RunIn(environment, program, {"--colour", "x"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_EQ(usage.output, texts.usageError + texts.tryHelp);

    const CommandResult help = RunIn(environment, program, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.output.rfind(texts.helpStart, 0), 0u) << help.output;

    const CommandResult missing = RunIn(environment, program, {"-o", tree.Path("a.xlsx"), tree.Path("nowhere")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.output, texts.missingFolder);

    const CommandResult run = RunIn(environment, program, {"-o", tree.Path("a.xlsx"), tree.Path("scan")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, texts.completed);

    const CommandResult verbose =
        RunIn(environment, program, {"--verbose", "-o", tree.Path("a.xlsx"), tree.Path("scan")});
    EXPECT_EQ(verbose.exitCode, 0);
    const std::string tail = texts.notRead + texts.completed;
    EXPECT_TRUE(verbose.output.size() >= tail.size() && verbose.output.ends_with(tail)) << verbose.output;
    const std::string unrecognised = tree.Path("scan/1.txt") + (c.speaks == Language::Chinese
                                                                    ? ": 未知或错误的图像格式\n"
                                                                    : ": unknown or damaged image format\n");
    EXPECT_NE(verbose.output.find(unrecognised), std::string::npos) << verbose.output;
}

TEST(MessageLanguage, TheBuiltExtractorFindsItsCataloguesInTheBuildTree) {
    for (const LocaleCase& c : kLocales) ExpectSpeaks(kBuiltExtractor, c);
}

// Installed under a prefix, the extractor finds the catalogues installed
// with it (<prefix>/bin/../share/locale).
TEST(MessageLanguage, AnInstalledExtractorFindsTheInstalledCatalogues) {
    TempTree prefix;
    const CommandResult install = RunCommand("cmake --install " QUILLMERE_BINARY_DIR " --component extractor --prefix " +
                                                 ShellQuoted(prefix.root()));
    ASSERT_EQ(install.exitCode, 0) << install.output;
    for (const char* language : {"en", "zh"}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(prefix.Path(std::string("share/locale/") + language +
                                                                 "/LC_MESSAGES/quillmere-extract.mo")))
            << language;
    }
    for (const LocaleCase& c : {kLocales[0], kLocales[4], kLocales[8], kLocales[10]}) {
        ExpectSpeaks(prefix.Path("bin/quillmere-extract"), c);
    }
}

// Every text the sources mark has its English in po/en.po (msgcmp lists
// any that lack it, or whose English is marked fuzzy).
TEST(TranslationCatalogue, EveryTextHasItsEnglish) {
    const CommandResult compared = RunCommand("msgcmp " QUILLMERE_SOURCE_DIR "/po/en.po " QUILLMERE_BINARY_DIR
                                       "/po/quillmere-extract.pot");
    EXPECT_EQ(compared.exitCode, 0) << compared.output << "(ninja update-po merges new texts into po/en.po)";
}

// The failure reasons the workbook gives are the ones the extractor knows
// to translate.
TEST(TranslationCatalogue, TheWorkbooksFailureReasonsAreTranslated) {
    TempTree tree;
    std::string po;
    {
        std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(QUILLMERE_SOURCE_DIR "/po/en.po", "r"), std::fclose);
        ASSERT_TRUE(file);
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) po.append(buffer, got);
    }
    for (const int error : {ENOSPC, EDQUOT, EFBIG, EACCES, EPERM, EROFS, ENOENT, ENOTDIR, EISDIR}) {
        const std::string reason = sheet::FailureReason(error);
        EXPECT_NE(po.find("msgid \"" + reason + "\"\nmsgstr \""), std::string::npos) << reason;
        EXPECT_EQ(TranslatedReason(reason), reason) << "Chinese where nothing else is asked for";
    }
}

}  // namespace
}  // namespace quillmere::cli
