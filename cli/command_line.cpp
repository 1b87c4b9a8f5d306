#include "cli/command_line.h"

#include <charconv>
#include <string_view>
#include <utility>

#include "sheet/workbook_makers.h"

namespace quillmere::cli {

namespace {

struct ValueOption {
    std::string_view name;
    std::string ExtractOptions::*field;
};

constexpr ValueOption kFactOptions[] = {
    {"--scanner", &ExtractOptions::scanner},   {"--maker", &ExtractOptions::maker},
    {"--model", &ExtractOptions::model},       {"--processor", &ExtractOptions::processor},
    {"--software", &ExtractOptions::software}, {"--output", &ExtractOptions::output},
    {"--rules", &ExtractOptions::rules},
};

std::optional<int> ParseJobs(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > 256) return std::nullopt;
    return value;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    ExtractOptions& options = parsed.options;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    const auto fail = [&](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            positional.emplace_back(argument);
            continue;
        }
        if (argument == "--") { optionsEnded = true; continue; }
        if (argument == "--help" || argument == "-h") { options.help = true; continue; }
        if (argument == "--version") { options.version = true; continue; }
        if (argument == "--verbose" || argument == "-v") { options.verbose = true; continue; }
        if (argument == "--digests") {
            options.digests = true;
            continue;
        }

        // --name=value or --name value; -o value or -oVALUE.
        std::string_view name = argument;
        std::optional<std::string> value;
        if (const auto equals = argument.find('='); argument.starts_with("--") && equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            value = std::string(argument.substr(equals + 1));
        } else if (argument.starts_with("-o") && argument.size() > 2 && !argument.starts_with("--")) {
            name = "-o";
            value = std::string(argument.substr(2));
        }
        const auto takeValue = [&]() -> bool {
            if (value) return true;
            if (i + 1 >= arguments.size()) return false;
            value = arguments[++i];
            return true;
        };

        if (name == "-o") name = "--output";
        bool known = false;
        for (const ValueOption& option : kFactOptions) {
            if (name != option.name) continue;
            known = true;
            if (!takeValue()) return fail("option " + std::string(name) + " needs a value");
            options.*option.field = *value;
        }
        if (name == "--jobs" || name == "-j") {
            known = true;
            if (!takeValue()) return fail("option --jobs needs a value");
            options.jobs = ParseJobs(*value);
            if (!options.jobs) return fail("--jobs takes a whole number from 0 to 256, not '" + *value + "'");
        }
        if (!known) return fail("unknown option '" + std::string(argument) + "'");
    }

    if (options.help || options.version) return parsed;
    if (positional.size() != 1) {
        return fail(positional.empty() ? "no image folder given" : "give exactly one image folder");
    }
    options.folder = positional.front();
    if (options.output.empty()) return fail("no output workbook given (-o OUT.xlsx or -o OUT.csv)");
    if (!sheet::OutputKindOf(options.output)) {
        return fail("the output must end in .xlsx or .csv, not '" + options.output + "'");
    }
    return parsed;
}

std::string UsageText(const std::string& program) {
    return "Usage: " + program +
           " [--scanner T] [--maker T] [--model T] [--processor T] [--software T]\n"
           "       [--jobs N] [--verbose] [--rules FILE] [--digests] -o OUT.xlsx|OUT.csv FOLDER\n"
           "\n"
           "Writes one row of metadata per file below FOLDER into the workbook OUT.xlsx,\n"
           "exactly as the Quillmere window program does, or the same rows into OUT.csv\n"
           "(UTF-8 with a byte-order mark). Nothing appears under the output name until\n"
           "the whole workbook is saved; SIGINT or SIGTERM stops the run and saves nothing.\n"
           "\n"
           "  --scanner T     扫描人 (scanner operator) for every row\n"
           "  --maker T       设备制造商 (device manufacturer)\n"
           "  --model T       设备型号 (device model)\n"
           "  --processor T   图像处理人 (image processor)\n"
           "  --software T    数字化软件描述 (digitisation software)\n"
           "  -o, --output F  the workbook to write: .xlsx or .csv\n"
           "  -j, --jobs N    exactly N worker threads reading files ahead (default: one per\n"
           "                  core, more, up to 16, while files come slowly)\n"
           "  -v, --verbose   one line \"PATH: REASON\" on standard error for each file no\n"
           "                  decoder accepted or that could not be read, and their count\n"
           "      --rules F   judge the batch against the acceptance rules in F (验收要求);\n"
           "                  findings go to the sheet 检验结果, a summary to 检验汇总\n"
           "      --digests   also SM3 and SHA-256 of every file: sheet 文件摘要 and a\n"
           "                  sha256sum manifest beside the workbook (OUT.sha256)\n"
           "  -h, --help      show this help\n"
           "      --version   show the version\n"
           "\n"
           "Exit status: 0 done, 1 folder missing or workbook not writable, 2 usage error\n"
           "or a rules file refused, 3 done with acceptance findings, 130 or 143 stopped\n"
           "by SIGINT or SIGTERM.\n";
}

}  // namespace quillmere::cli
