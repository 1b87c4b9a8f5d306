#include "cli/command_line.h"

#include <charconv>
#include <string_view>
#include <utility>

#include "cli/translation.h"
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
            if (!takeValue()) return fail(Format(Tr("选项 %s 需要一个值"), std::string(name).c_str()));
            options.*option.field = *value;
        }
        if (name == "--jobs" || name == "-j") {
            known = true;
            if (!takeValue()) return fail(Format(Tr("选项 %s 需要一个值"), "--jobs"));
            options.jobs = ParseJobs(*value);
            if (!options.jobs) return fail(Format(Tr("--jobs 需要 0 到 256 的整数，而不是“%s”"), value->c_str()));
        }
        if (!known) return fail(Format(Tr("未知选项“%s”"), std::string(argument).c_str()));
    }

    if (options.help || options.version) return parsed;
    if (positional.size() != 1) {
        return fail(positional.empty() ? Tr("没有指定图像文件夹") : Tr("只能指定一个图像文件夹"));
    }
    options.folder = positional.front();
    if (options.folder.empty()) return fail(Tr("图像文件夹不能是空的名字"));
    if (options.output.empty()) return fail(Tr("没有指定输出工作簿（-o 输出.xlsx 或 -o 输出.csv）"));
    if (!sheet::OutputKindOf(options.output)) {
        return fail(Format(Tr("输出文件名须以 .xlsx 或 .csv 结尾，而不是“%s”"), options.output.c_str()));
    }
    return parsed;
}

std::string UsageText(const std::string& program) {
    // TRANSLATORS: %1$s is the program's name. The options and their
    // metavariables stay as they are; the columns line up in a terminal,
    // where a Chinese character is two columns wide.
    return Format(Tr("用法：%1$s [--scanner 文本] [--maker 文本] [--model 文本] [--processor 文本]\n"
                     "           [--software 文本] [--jobs N] [--verbose] [--rules 文件] [--digests]\n"
                     "           -o 输出.xlsx|输出.csv 文件夹\n"
                     "\n"
                     "为“文件夹”及其全部子文件夹中的每个文件提取一行元数据，写入工作簿“输出.xlsx”，\n"
                     "与 Quillmere 窗口程序写的完全相同；或把同样的行写入“输出.csv”（带字节顺序标记的\n"
                     "UTF-8）。整个工作簿保存好之前，输出文件名下不会出现任何文件；SIGINT 或 SIGTERM\n"
                     "会停止提取，不保存任何内容。\n"
                     "\n"
                     "  --scanner 文本     每一行的扫描人\n"
                     "  --maker 文本       设备制造商\n"
                     "  --model 文本       设备型号\n"
                     "  --processor 文本   图像处理人\n"
                     "  --software 文本    数字化软件描述\n"
                     "  -o, --output 文件  要写的工作簿：.xlsx 或 .csv\n"
                     "  -j, --jobs N       正好用 N 个工作线程预先读取文件（默认：每个处理器核心一个，\n"
                     "                     文件来得慢时（如来自网络共享）增加，最多 16 个）\n"
                     "  -v, --verbose      每个无法识别或无法读取的文件在标准错误上输出一行\n"
                     "                     “路径: 原因”，最后统计其个数\n"
                     "      --rules 文件   按“文件”中的验收要求检验本批次：问题写入工作表“检验结果”，\n"
                     "                     汇总写入“检验汇总”\n"
                     "      --digests      另算每个文件的 SM3 和 SHA-256：工作表“文件摘要”，以及工作簿\n"
                     "                     旁的 sha256sum 清单（输出.sha256）\n"
                     "  -h, --help         显示本帮助\n"
                     "      --version      显示版本\n"
                     "\n"
                     "退出状态：0 完成；1 文件夹不存在或工作簿无法写入；2 用法错误或验收要求文件\n"
                     "被拒绝；3 完成，验收检查发现问题；130 或 143 被 SIGINT 或 SIGTERM 停止。\n"
                     "\n"
                     "消息的语言随区域设置（LANGUAGE、LC_ALL、LC_MESSAGES、LANG）：中文，或在区域\n"
                     "设置要求其他语言时为英文。详见 man %1$s。\n"),
                  program.c_str());
}

}  // namespace quillmere::cli
