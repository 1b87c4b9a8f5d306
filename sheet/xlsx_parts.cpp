#include "sheet/xlsx_parts.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace quillmere::sheet {

namespace {

constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kMainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelationshipsNamespace =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::size_t kLongestCellText = 32767;

// Column widths as Excel stores them: a whole number of pixels of the
// default font (7 to a digit, 5 of padding), in 1/256 of a digit.
constexpr double kDigitPixels = 7;
constexpr double kPaddingPixels = 5;

std::string Number(std::int64_t value) { return std::to_string(value); }

std::string WorksheetName(std::size_t index) { return "sheet" + std::to_string(index + 1) + ".xml"; }

bool IsHexDigit(char c) noexcept { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// "_xHHHH_" at the start of text.
bool StartsWithCharacterEscape(std::string_view text) noexcept {
    return text.size() >= 7 && text[0] == '_' && (text[1] == 'x' || text[1] == 'X') && IsHexDigit(text[2]) &&
           IsHexDigit(text[3]) && IsHexDigit(text[4]) && IsHexDigit(text[5]) && text[6] == '_';
}

bool IsXmlSpace(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::size_t Utf8Characters(std::string_view text) noexcept {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// A sheet name as a formula refers to it: quoted unless it is a plain word.
std::string FormulaSheetName(const std::string& name) {
    const bool plain = !name.empty() && !(name[0] >= '0' && name[0] <= '9') &&
                       std::all_of(name.begin(), name.end(), [](char c) {
                           return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                  c == '_' || c == '.';
                       });
    if (plain) return name;
    std::string quoted = "'";
    for (const char c : name) {
        quoted += c;
        if (c == '\'') quoted += '\'';
    }
    return quoted + "'";
}

std::string FormatWidth(double characters) {
    const double pixels = static_cast<double>(static_cast<std::uint32_t>(characters * kDigitPixels + 0.5)) + kPaddingPixels;
    const double stored = static_cast<double>(static_cast<std::uint32_t>(pixels / kDigitPixels * 256.0)) / 256.0;
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%.16g", stored);
    return std::string(text, static_cast<std::size_t>(length));
}

}  // namespace

std::string XlsxColumnName(std::size_t column) {
    std::string name;
    ++column;
    while (column > 0) {
        const std::size_t digit = (column - 1) % 26;
        name.insert(name.begin(), static_cast<char>('A' + digit));
        column = (column - 1) / 26;
    }
    return name;
}

void AppendXmlEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
}

void AppendXlsxLiteralText(std::string& out, std::string_view text) {
    // Most texts hold neither an underscore nor the lead bytes of U+FFFE/FFFF.
    if (std::none_of(text.begin(), text.end(), [](char c) { return c == '_' || c == '\xEF'; })) {
        out += text;
        return;
    }
    std::size_t done = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '_') {
            out.append(text, done, at - done);
            if (StartsWithCharacterEscape(text.substr(at))) out += "_x005F";
            out += '_';
            done = at + 1;
        } else if (text.substr(at, 2) == "\xEF\xBF" && at + 2 < text.size() &&
                   (text[at + 2] == '\xBE' || text[at + 2] == '\xBF')) {
            // U+FFFE and U+FFFF may not stand in XML at all; written raw they
            // make the whole workbook unreadable.
            out.append(text, done, at - done);
            out += text[at + 2] == '\xBE' ? "_xFFFE_" : "_xFFFF_";
            at += 2;
            done = at + 1;
        }
    }
    out.append(text, done);
}

bool AppendXlsxTextCell(std::string& out, std::string_view reference, std::string_view text, int style) {
    text = text.substr(0, text.find('\0'));
    const std::size_t start = out.size();
    out += "<c r=\"";
    out += reference;
    out += '"';
    if (style != 0) {
        out += " s=\"";
        out += Number(style);
        out += '"';
    }
    if (text.empty()) {
        out += "/>";
        return true;
    }
    thread_local std::string literal;
    literal.clear();
    AppendXlsxLiteralText(literal, text);
    if (literal.size() > kLongestCellText && Utf8Characters(literal) > kLongestCellText) {
        out.resize(start);
        return false;
    }
    out += " t=\"inlineStr\"><is><t";
    const std::size_t tagEnd = out.size();
    out += '>';
    const std::size_t textStart = out.size();
    for (const char c : literal) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t' && c != '\n') {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "_x00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
            out += '_';
            continue;
        }
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            default: out += c;
        }
    }
    // Readers drop leading and trailing white space unless told to keep it.
    if (IsXmlSpace(out[textStart]) || IsXmlSpace(out.back())) out.insert(tagEnd, " xml:space=\"preserve\"");
    out += "</t></is></c>";
    return true;
}

std::string XlsxContentTypes(std::size_t sheets) {
    std::string xml(kXmlDeclaration);
    xml += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
           "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
           "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
           "<Override PartName=\"/docProps/app.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
           "<Override PartName=\"/docProps/core.xml\" "
           "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
           "<Override PartName=\"/xl/styles.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
           "<Override PartName=\"/xl/theme/theme1.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.theme+xml\"/>"
           "<Override PartName=\"/xl/workbook.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
    for (std::size_t index = 0; index < sheets; ++index) {
        xml += "<Override PartName=\"/xl/worksheets/" + WorksheetName(index) +
               "\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
    }
    xml += "</Types>";
    return xml;
}

std::string XlsxRootRelationships() {
    std::string xml(kXmlDeclaration);
    xml += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId1\" "
           "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
           "Target=\"xl/workbook.xml\"/>"
           "<Relationship Id=\"rId2\" "
           "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" "
           "Target=\"docProps/core.xml\"/>"
           "<Relationship Id=\"rId3\" "
           "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties\" "
           "Target=\"docProps/app.xml\"/>"
           "</Relationships>";
    return xml;
}

std::string XlsxWorkbookRelationships(std::size_t sheets) {
    std::string xml(kXmlDeclaration);
    xml += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    const std::string type = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    for (std::size_t index = 0; index < sheets; ++index) {
        xml += "<Relationship Id=\"rId" + Number(static_cast<std::int64_t>(index + 1)) + "\" Type=\"" + type +
               "worksheet\" Target=\"worksheets/" + WorksheetName(index) + "\"/>";
    }
    xml += "<Relationship Id=\"rId" + Number(static_cast<std::int64_t>(sheets + 1)) + "\" Type=\"" + type +
           "theme\" Target=\"theme/theme1.xml\"/>";
    xml += "<Relationship Id=\"rId" + Number(static_cast<std::int64_t>(sheets + 2)) + "\" Type=\"" + type +
           "styles\" Target=\"styles.xml\"/>";
    xml += "</Relationships>";
    return xml;
}

std::string XlsxWorkbookPart(std::span<const XlsxSheetFacts> sheets) {
    std::string xml(kXmlDeclaration);
    xml += "<workbook xmlns=\"";
    xml += kMainNamespace;
    xml += "\" xmlns:r=\"";
    xml += kRelationshipsNamespace;
    xml += "\"><fileVersion appName=\"xl\" lastEdited=\"4\" lowestEdited=\"4\" rupBuild=\"4505\"/>"
           "<workbookPr defaultThemeVersion=\"124226\"/>"
           "<bookViews><workbookView xWindow=\"240\" yWindow=\"15\" windowWidth=\"16095\" windowHeight=\"9660\"/>"
           "</bookViews><sheets>";
    for (std::size_t index = 0; index < sheets.size(); ++index) {
        xml += "<sheet name=\"";
        AppendXmlEscaped(xml, sheets[index].name);
        const std::string id = Number(static_cast<std::int64_t>(index + 1));
        xml += "\" sheetId=\"" + id + "\" r:id=\"rId" + id + "\"/>";
    }
    xml += "</sheets><definedNames>";
    for (std::size_t index = 0; index < sheets.size(); ++index) {
        const std::string lastColumn = XlsxColumnName(sheets[index].columns - 1);
        xml += "<definedName name=\"_xlnm._FilterDatabase\" localSheetId=\"" +
               Number(static_cast<std::int64_t>(index)) + "\" hidden=\"1\">";
        AppendXmlEscaped(xml, FormulaSheetName(sheets[index].name) + "!$A$1:$" + lastColumn + "$" +
                                  Number(sheets[index].rows));
        xml += "</definedName>";
    }
    xml += "</definedNames><calcPr calcId=\"124519\" fullCalcOnLoad=\"1\"/></workbook>";
    return xml;
}

std::string XlsxStyles() {
    std::string xml(kXmlDeclaration);
    xml += "<styleSheet xmlns=\"";
    xml += kMainNamespace;
    xml += "\"><fonts count=\"2\">"
           "<font><sz val=\"11\"/><color theme=\"1\"/><name val=\"Calibri\"/><family val=\"2\"/>"
           "<scheme val=\"minor\"/></font>"
           "<font><b/><sz val=\"11\"/><color theme=\"1\"/><name val=\"Calibri\"/><family val=\"2\"/>"
           "<scheme val=\"minor\"/></font></fonts>"
           "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
           "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
           "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
           "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
           "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
           "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/></cellXfs>"
           "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
           "<dxfs count=\"0\"/>"
           "<tableStyles count=\"0\" defaultTableStyle=\"TableStyleMedium9\" defaultPivotStyle=\"PivotStyleLight16\"/>"
           "</styleSheet>";
    return xml;
}

std::string XlsxCoreProperties(std::int64_t created) {
    const auto seconds = static_cast<std::time_t>(created);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string xml(kXmlDeclaration);
    xml += "<cp:coreProperties "
           "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
           "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
           "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
           "<dc:creator></dc:creator><cp:lastModifiedBy></cp:lastModifiedBy>";
    xml += "<dcterms:created xsi:type=\"dcterms:W3CDTF\">" + std::string(stamp) + "</dcterms:created>";
    xml += "<dcterms:modified xsi:type=\"dcterms:W3CDTF\">" + std::string(stamp) + "</dcterms:modified>";
    xml += "</cp:coreProperties>";
    return xml;
}

std::string XlsxAppProperties(std::span<const XlsxSheetFacts> sheets) {
    const std::string count = Number(static_cast<std::int64_t>(sheets.size()));
    std::string xml(kXmlDeclaration);
    xml += "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
           "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
           "<Application>Microsoft Excel</Application><DocSecurity>0</DocSecurity><ScaleCrop>false</ScaleCrop>"
           "<HeadingPairs><vt:vector size=\"2\" baseType=\"variant\"><vt:variant><vt:lpstr>Worksheets</vt:lpstr>"
           "</vt:variant><vt:variant><vt:i4>" + count + "</vt:i4></vt:variant></vt:vector></HeadingPairs>"
           "<TitlesOfParts><vt:vector size=\"" + count + "\" baseType=\"lpstr\">";
    for (const XlsxSheetFacts& sheet : sheets) {
        xml += "<vt:lpstr>";
        AppendXmlEscaped(xml, sheet.name);
        xml += "</vt:lpstr>";
    }
    xml += "</vt:vector></TitlesOfParts><Company></Company><LinksUpToDate>false</LinksUpToDate>"
           "<SharedDoc>false</SharedDoc><HyperlinksChanged>false</HyperlinksChanged><AppVersion>12.0000</AppVersion>"
           "</Properties>";
    return xml;
}

std::string XlsxSheetHead(bool selected, std::span<const double> widths) {
    std::string xml(kXmlDeclaration);
    xml += "<worksheet xmlns=\"";
    xml += kMainNamespace;
    xml += "\" xmlns:r=\"";
    xml += kRelationshipsNamespace;
    xml += "\"><sheetViews><sheetView ";
    if (selected) xml += "tabSelected=\"1\" ";
    xml += "workbookViewId=\"0\"><pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"
           "<selection pane=\"bottomLeft\"/></sheetView></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/><cols>";
    for (std::size_t column = 0; column < widths.size(); ++column) {
        const std::string number = Number(static_cast<std::int64_t>(column + 1));
        xml += "<col min=\"" + number + "\" max=\"" + number + "\" width=\"" + FormatWidth(widths[column]) +
               "\" customWidth=\"1\"/>";
    }
    xml += "</cols><sheetData>";
    return xml;
}

std::string XlsxSheetTail(std::int64_t rows, std::size_t columns) {
    return "</sheetData><autoFilter ref=\"A1:" + XlsxColumnName(columns - 1) + Number(rows) +
           "\"/><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
           "footer=\"0.3\"/></worksheet>";
}

}  // namespace quillmere::sheet
