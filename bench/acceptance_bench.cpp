// The cost of the acceptance check in a whole extraction: the same run as
// quillmere-extract (real file system, real .xlsx, default workers), without
// rules, with rules that need no digest, or with digests as well.
//
//   acceptance_bench none|clean|archive|strict|digests FOLDER OUT.xlsx
//
//   clean    rules every file of the bench corpora meets: each file judged, nothing found;
//   archive  an archive's rules the mixed corpus mostly meets (a finding for about one file in seven);
//   strict   every rule that needs no digest, strictly set (most of the mixed corpus fails);
//   digests  strict, with repeated pages and the digests.
// ACCEPTANCE_RULES, when set, replaces the rules (digests are still added for "digests").
//
// The report's sheets (and, with digests, the manifest) are written and
// saved with the rows, as the extractor does. Prints the wall seconds and
// the findings on one line.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "runtime/real_file_system.h"
#include "runtime/text_encoding.h"
#include "sheet/workbook_makers.h"
#include "workflow/acceptance_rules.h"
#include "workflow/extraction_run.h"

namespace {

using namespace quillmere;

class QuietWindow final : public workflow::WindowPort {
public:
    explicit QuietWindow(Text folder) : folder_(std::move(folder)) {}
    workflow::BatchFacts ReadBatchFacts() const override { return facts_; }
    Text Folder() const override { return folder_; }
    void SetFolder(const Text& folder) override { folder_ = folder; }
    void SetStatus(const Text&) override {}
    bool PathLogWanted() const override { return false; }
    void AppendToPathLog(const Text&) override {}
    void ShowNotes(const Text&) override {}
    void SetStartEnabled(bool) override {}
    void ShowMessage(const Text& message, workflow::MessageKind) override { last_ = TextToUtf8(message); }
    void Minimise() override {}
    void ProcessEvents() override {}
    Text BrowseForFolder() override { return Text(); }
    bool CloseRequested() const override { return false; }
    bool OpenWorkbook(const std::string&) override { return true; }
    const std::string& last() const { return last_; }

private:
    Text folder_;
    workflow::BatchFacts facts_{TextFromUtf8("张三"), Text("Fujitsu"), Text("fi-7160"), TextFromUtf8("李四"),
                                Text("PaperStream Capture 2.0")};
    std::string last_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s none|clean|archive|strict|digests FOLDER OUT.xlsx\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const std::map<std::string, std::string> ruleSets = {
        {"clean", "[验收要求]\n最低分辨率 = 50\n色彩模式 = 真彩色, 256色\n最低JPEG质量 = 75\n"},
        {"archive",
         "[验收要求]\n最低分辨率 = 72\n色彩模式 = 真彩色, 256色\n格式 = JPG, TIF, PNG, BMP\n最低JPEG质量 = 75\n"
         "检查文件 = 是\n页号 = 是\n"},
        {"strict",
         "[验收要求]\n最低分辨率 = 300\n色彩模式 = 真彩色, 256色\n格式 = JPG, TIF, PNG\n最低JPEG质量 = 75\n"
         "检查文件 = 是\n格式一致 = 是\n页号 = 是\n"},
    };
    workflow::RunSettings settings;
    settings.pool = workflow::DefaultPreparePool();
    settings.whenStopped = workflow::WhenStopped::SaveNothing;
    if (mode != "none") {
        // The catalogue is left out: it needs a file per corpus.
        const auto set = ruleSets.find(mode == "digests" ? "strict" : mode);
        if (set == ruleSets.end()) {
            std::fprintf(stderr, "unknown rules '%s'\n", mode.c_str());
            return 2;
        }
        const char* chosen = std::getenv("ACCEPTANCE_RULES");
        const std::string text = chosen != nullptr ? std::string(chosen) : set->second;
        const workflow::RulesReading rules =
            workflow::ParseAcceptanceRules(text + (mode == "digests" ? "重复页面 = 是\n摘要 = 是\n" : ""));
        if (!rules.rules) return 2;
        settings.acceptance = rules.rules;
    }
    QuietWindow window(TextFromUtf8(argv[2]));
    RealFileSystem fs;
    sheet::OutputPathWorkbookMaker maker(argv[3]);
    const auto start = std::chrono::steady_clock::now();
    const workflow::RunResult result = workflow::RunExtraction(window, fs, maker, settings);
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    if (result.outcome != workflow::RunOutcome::Completed) {
        std::fprintf(stderr, "run failed: %s\n", window.last().c_str());
        return 1;
    }
    std::printf("%s %.3f s, %lld files, %lld findings\n", mode.c_str(), wall.count(),
                static_cast<long long>(result.filesWritten), static_cast<long long>(result.findings.value_or(0)));
    return 0;
}
