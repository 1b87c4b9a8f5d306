#include "workflow/notes_text.h"

#include "runtime/text_encoding.h"

namespace quillmere::workflow {

Text NotesText() {
    return TextFromUtf8(
        "\r\n重要说明：请确保图像文件以档号命名，且所选择的文件夹（包括子文件夹）中，没有其他类型的文件存在。\r\n"
        "\r\nExcel 2003（xls）最大支持65536行数据，Excel 2007(xlsx)以上版本最大支持1048576行数据\r\n"
        "\r\n提取的元数据保存在Excel文件中，为了防止内存溢出，可以分批次进行提取，建议每批次不超过5万个文件。");
}

}  // namespace quillmere::workflow
