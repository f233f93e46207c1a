#include "files/configfile.h"
#include "report/harupdfwriter.h"

#include "model/image.h"
#include "model/layout.h"
#include "recordingpdfwriter.h"
#include "report/logo.h"
#include "report/report.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

using namespace lumeq;
using lumeq::test::RecordedText;
using lumeq::test::RecordingPdfWriter;

namespace {

const PdfDateTime kCreated{2024, 3, 7, 9, 30, 15, 60};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool toolAvailable(const std::string& name) {
    return std::system(("which " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string runTool(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

// A configuration whose report takes two pages and uses every kind of text: the control input's table
// breaks at the end of the first page, thermal management prints degree signs.
Image twoPageImage() {
    Image image = defaultImage();
    image[img::Flags] = 0x8C;
    image[img::MffLifetime] = 200;
    image[img::MffStart] = 60;
    image[img::MffStop] = 100;
    image[img::MffBurnIn] = 100;
    for (std::size_t k = 0; k < img::StepCount; ++k) {
        const std::size_t e1 = img::Engine1 + img::StepSize * k;
        image[e1] = static_cast<std::uint8_t>(148 + 6 * k);
        image[e1 + 1] = 0x3C;
        image[e1 + 2] = static_cast<std::uint8_t>(100 - 10 * k);
        const std::size_t e2 = img::Engine2 + img::StepSize * k;
        image[e2] = static_cast<std::uint8_t>(k + 1);
        image[e2 + 1] = 0;
        image[e2 + 2] = static_cast<std::uint8_t>(10 * (k + 1));
    }
    image[img::ThermT1] = 75;
    image[img::ThermL1] = 0x80 | 50;
    image[img::ThermT2] = 65;
    image[img::ThermL2] = 70;
    return image;
}

const ReportProject kProject{"Ortsdurchfahrt Süd", "Mastleuchte", "LED 40 W"};

class HaruPdfWriterTest : public ::testing::Test {
protected:
    std::string path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)).toStdString(); }

    // Writes the two-page report and returns the error of saving it.
    std::string saveReport(const std::string& file, const PdfDateTime& created = kCreated) {
        HaruPdfWriter writer;
        const std::string error = writeReport(writer, twoPageImage(), kProject, {}, "07.03.2024", created);
        if (!error.empty())
            return error;
        return writer.save(file);
    }

private:
    QTemporaryDir dir_;
};

TEST_F(HaruPdfWriterTest, SavesPdfFileOverAnExistingOne) {
    const std::string file = path("report.pdf");
    std::ofstream(file) << "an older file";
    ASSERT_EQ(saveReport(file), "");
    const std::string content = readFile(file);
    EXPECT_EQ(content.substr(0, 5), "%PDF-");
    EXPECT_NE(content.find("%%EOF", content.size() - 8), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(file + ".part"));
}

TEST_F(HaruPdfWriterTest, SameContentAndDateGiveSameBytes) {
    ASSERT_EQ(saveReport(path("a.pdf")), "");
    ASSERT_EQ(saveReport(path("b.pdf")), "");
    PdfDateTime later = kCreated;
    later.second += 1;
    ASSERT_EQ(saveReport(path("c.pdf"), later), "");
    EXPECT_EQ(readFile(path("a.pdf")), readFile(path("b.pdf")));
    EXPECT_NE(readFile(path("a.pdf")), readFile(path("c.pdf")));
}

TEST_F(HaruPdfWriterTest, SaveIntoMissingDirectoryReportsItAndCanBeRepeated) {
    HaruPdfWriter writer;
    ASSERT_EQ(writeReport(writer, defaultImage(), {}, {}, "07.03.2024", kCreated), "");
    const std::string missing = path("missing/report.pdf");
    const std::string error = writer.save(missing);
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(missing));

    ASSERT_EQ(writer.save(path("report.pdf")), "");
    ASSERT_EQ(writer.save(path("again.pdf")), "");
    EXPECT_EQ(readFile(path("report.pdf")).substr(0, 5), "%PDF-");
    EXPECT_EQ(readFile(path("report.pdf")), readFile(path("again.pdf")));
}

struct MisuseCase {
    const char* name;
    std::function<void(PdfWriter&)> draw;
    const char* mentioned; // part of the error text
};
void PrintTo(const MisuseCase& c, std::ostream* out) {
    *out << c.name;
}

class HaruPdfWriterMisuseTest : public HaruPdfWriterTest, public ::testing::WithParamInterface<MisuseCase> {};

TEST_P(HaruPdfWriterMisuseTest, SaveRefusesAndNamesTheFault) {
    HaruPdfWriter writer;
    writer.createDocument("", "Arvento", kCreated);
    GetParam().draw(writer);
    const std::string file = path("report.pdf");
    const std::string error = writer.save(file);
    EXPECT_NE(error.find(GetParam().mentioned), std::string::npos) << error;
    EXPECT_EQ(writer.error().empty(), error.find("incomplete") == std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(file));
}

INSTANTIATE_TEST_SUITE_P(Pdf, HaruPdfWriterMisuseTest,
                         ::testing::Values(MisuseCase{"NoPage", [](PdfWriter&) {}, "no page"},
                                           MisuseCase{"TextBeforePage", [](PdfWriter& w) { w.text(50, 50, "x"); },
                                                      "no page"},
                                           MisuseCase{"TextWithoutFont",
                                                      [](PdfWriter& w) {
                                                          w.addPage();
                                                          w.text(50, 50, "x");
                                                      },
                                                      "no font"},
                                           MisuseCase{"UnknownFont",
                                                      [](PdfWriter& w) {
                                                          w.addPage();
                                                          w.selectFont("Times New Roman", 12, PdfFontStyle::Regular);
                                                      },
                                                      "Times New Roman"},
                                           MisuseCase{"UnregisteredPicture",
                                                      [](PdfWriter& w) {
                                                          w.addPage();
                                                          w.drawBitmap("image1", 50, 780, 136, 24);
                                                      },
                                                      "image1"},
                                           MisuseCase{"PictureRegisteredTwice",
                                                      [](PdfWriter& w) {
                                                          w.addPage();
                                                          w.registerBitmap("image1", reportLogo());
                                                          w.registerBitmap("image1", reportLogo());
                                                      },
                                                      "registered already"},
                                           MisuseCase{"PictureShorterThanItsSize",
                                                      [](PdfWriter& w) {
                                                          w.addPage();
                                                          PdfBitmap logo = reportLogo();
                                                          logo.rgb.pop_back();
                                                          w.registerBitmap("image1", logo);
                                                      },
                                                      "image1"},
                                           MisuseCase{"FontSizeOutOfRange",
                                                      [](PdfWriter& w) {
                                                          w.addPage();
                                                          w.selectFont("Arial", -3, PdfFontStyle::Regular);
                                                      },
                                                      "PDF library"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HaruPdfWriter, TextWidthsAreThoseOfHelvetica) {
    HaruPdfWriter writer;
    EXPECT_EQ(writer.textWidth("no font yet"), 0);
    writer.createDocument("", "Arvento", kCreated);
    writer.addPage();
    writer.selectFont("Arial", 12, PdfFontStyle::Regular);
    EXPECT_NEAR(writer.textWidth("Project Name: "), 79.356, 1e-9);
    writer.selectFont("Arial", 12, PdfFontStyle::Bold);
    EXPECT_NEAR(writer.textWidth("Project Name:"), 80.688, 1e-9);

    // The recording writer of the report tests measures the same.
    for (const bool bold : {false, true}) {
        writer.selectFont("Arial", 12, bold ? PdfFontStyle::Bold : PdfFontStyle::Regular);
        for (const char* text : {"T1= 75°C", "Straße €5", "Input polarity: High->Low", "Level= 50%         Relay OFF",
                                 "@WMmil|{}~", "ÀÉÎÕÜàéîõüÿ«»µ¶§"})
            EXPECT_NEAR(writer.textWidth(text), test::helveticaWidth(text, bold, 12), 1e-9) << text;
    }
    EXPECT_EQ(writer.error(), "");
}

struct EncodingCase {
    const char* name;
    const char* utf8;
    const char* windows1252;
};
void PrintTo(const EncodingCase& c, std::ostream* out) {
    *out << c.name;
}

class Windows1252Test : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(Windows1252Test, Converted) {
    EXPECT_EQ(toWindows1252(GetParam().utf8), GetParam().windows1252);
}

INSTANTIATE_TEST_SUITE_P(Pdf, Windows1252Test,
                         ::testing::Values(EncodingCase{"Ascii", "Level= 50%", "Level= 50%"},
                                           EncodingCase{"DegreeSign", "75°C",
                                                        "75\xB0"
                                                        "C"},
                                           EncodingCase{"Umlauts", "Süd Straße",
                                                        "S\xFC"
                                                        "d Stra\xDF"
                                                        "e"},
                                           EncodingCase{"EuroFromTheHighControls", "5 €", "5 \x80"},
                                           EncodingCase{"TypographicQuotes", "„x“ – y…", "\x84x\x93 \x96 y\x85"},
                                           EncodingCase{"OutsideTheCodePage", "Ω ≤ 2", "? ? 2"},
                                           EncodingCase{"Emoji", "a😀b", "a?b"},
                                           EncodingCase{"ControlCharacter", "a\tb", "a?b"},
                                           EncodingCase{"C1ControlNotInCodePage",
                                                        "a\xC2\x81"
                                                        "b",
                                                        "a?b"},
                                           EncodingCase{"StrayByte",
                                                        "a\xFF"
                                                        "b",
                                                        "a?b"},
                                           EncodingCase{"Truncated", "a\xE2\x82", "a??"},
                                           EncodingCase{"Overlong", "\xC0\xAF", "??"},
                                           EncodingCase{"Surrogate", "\xED\xA0\x80", "???"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Reading the file back ---------------------------------------------------------------------------

struct Word {
    int page;
    double xMin, yMin, xMax, yMax;
    std::string text;
};

std::string unescapeXml(std::string text) {
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [entity, plain] : entities)
        for (std::size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1))
            text.replace(at, std::strlen(entity), plain);
    return text;
}

double attribute(const std::string& line, const std::string& name) {
    const std::size_t at = line.find(name + "=\"");
    return at == std::string::npos ? NAN : std::stod(line.substr(at + name.size() + 2));
}

// The words of `pdftotext -bbox` output (top-left origin, one page after another) and the page sizes.
std::vector<Word> parseBbox(const std::string& xml, std::vector<std::pair<double, double>>& pageSizes) {
    std::vector<Word> words;
    std::size_t start = 0;
    while (start < xml.size()) {
        std::size_t end = xml.find('\n', start);
        if (end == std::string::npos)
            end = xml.size();
        const std::string line = xml.substr(start, end - start);
        start = end + 1;
        if (line.find("<page ") != std::string::npos) {
            pageSizes.emplace_back(attribute(line, "width"), attribute(line, "height"));
        } else if (line.find("<word ") != std::string::npos) {
            const std::size_t open = line.find('>');
            const std::size_t close = line.rfind("</word>");
            words.push_back({static_cast<int>(pageSizes.size()), attribute(line, "xMin"), attribute(line, "yMin"),
                             attribute(line, "xMax"), attribute(line, "yMax"),
                             unescapeXml(line.substr(open + 1, close - open - 1))});
        }
    }
    return words;
}

// Every text the recording writer saw is in the PDF file at its place, as pdftotext reads it back.
void expectTextsWhereRecorded(const std::string& file, const RecordingPdfWriter& recorded, std::size_t pages) {
    std::vector<std::pair<double, double>> pageSizes;
    const std::vector<Word> words = parseBbox(runTool("pdftotext -bbox '" + file + "' - 2>/dev/null"), pageSizes);
    ASSERT_EQ(pageSizes, (std::vector<std::pair<double, double>>(pages, {595, 842})));
    ASSERT_FALSE(recorded.texts.empty());
    for (const RecordedText& t : recorded.texts) {
        // The first word starts after any leading blanks; Helvetica 12 pt reaches 8.616 points above its
        // baseline and 2.484 below it.
        const std::size_t first = t.text.find_first_not_of(' ');
        const std::size_t end = t.text.find(' ', first);
        const std::string word = t.text.substr(first, end == std::string::npos ? std::string::npos : end - first);
        const double lead = test::helveticaWidth(t.text.substr(0, first), t.bold, 12);
        const Word* found = nullptr;
        for (const Word& w : words)
            if (w.page == t.page && std::abs(w.xMin - (t.x + lead)) < 0.01 &&
                std::abs(w.yMin - (842 - t.y - 8.616)) < 0.01)
                found = &w;
        ASSERT_NE(found, nullptr) << "no word at the place of " << t;
        EXPECT_EQ(found->text, word) << t;
        EXPECT_NEAR(found->yMax, 842 - t.y + 2.484, 0.01) << t;
        if (end == std::string::npos) {
            EXPECT_NEAR(found->xMax, t.x + test::helveticaWidth(t.text, t.bold, 12), 0.01) << t;
        }
    }
}

TEST_F(HaruPdfWriterTest, PdftotextFindsEveryTextWhereItWasWritten) {
    if (!toolAvailable("pdftotext"))
        GTEST_SKIP() << "pdftotext is not installed";
    const std::string file = path("report.pdf");
    ASSERT_EQ(saveReport(file), "");
    RecordingPdfWriter recorded;
    ASSERT_EQ(writeReport(recorded, twoPageImage(), kProject, {}, "07.03.2024", kCreated), "");
    expectTextsWhereRecorded(file, recorded, 2);
}

// The command-line report of a configuration file, read back with poppler, against the recording writer.
TEST_F(HaruPdfWriterTest, CommandLineReportReadsBackAsRecorded) {
    const char* cli = std::getenv("LUMEQ_CLI");
    if (!cli || !toolAvailable("pdftotext"))
        GTEST_SKIP() << "needs LUMEQ_CLI and pdftotext";
    const std::string qcf = path("two pages.qcf");
    ASSERT_TRUE(saveConfigFile(QString::fromStdString(qcf), twoPageImage(), "Street").ok);
    const std::string header = path("header.ini");
    {
        QFile ini(QString::fromStdString(header));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Header]\nLine1=Lumeq Test GmbH\nLine2=Hauptstra\xC3\x9F"
                  "e 1, 10115 Berlin\n");
    }
    const std::string out = path("cli.pdf");
    const std::string command = "SOURCE_DATE_EPOCH=1709800000 '" + std::string(cli) + "' report '" + qcf + "' -o '" +
                                out + "' --project '" + kProject.name + "' --luminaire '" + kProject.luminaire +
                                "' --driver '" + kProject.driver + "' --header '" + header + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    // The image the program holds after loading that file.
    const auto loaded =
        applyConfigFile(defaultImage(), parseConfigFile(readFile(qcf)), {/*noLoadCheck*/ false, /*copyAstro*/ false});
    ASSERT_TRUE(loaded.has_value());
    RecordingPdfWriter recorded;
    const HeaderLines lines{"Lumeq Test GmbH", "Hauptstra\xC3\x9F"
                                               "e 1, 10115 Berlin"};
    ASSERT_EQ(writeReport(recorded, *loaded, kProject, lines, reportDateText(1709800000), pdfDateTime(1709800000)), "");
    expectTextsWhereRecorded(out, recorded, 2);
}

TEST_F(HaruPdfWriterTest, PdfinfoShowsDocumentInformation) {
    if (!toolAvailable("pdfinfo"))
        GTEST_SKIP() << "pdfinfo is not installed";
    const std::string file = path("report.pdf");
    ASSERT_EQ(saveReport(file), "");
    const std::string info = runTool("TZ=UTC pdfinfo '" + file + "' 2>/dev/null");
    EXPECT_NE(info.find("Creator:         Arvento\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Pages:           2\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Page size:       595 x 842 pts (A4)"), std::string::npos) << info;
    EXPECT_NE(info.find("CreationDate:    Thu Mar  7 08:30:15 2024 UTC"), std::string::npos) << info;
}

} // namespace
