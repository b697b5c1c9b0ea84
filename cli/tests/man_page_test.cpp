// The manual page against --help: every option the help lists is an item of the page, and the
// page names no option the help does not list.
#include "cli/cli.h"

#include "tests/test_util.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <sstream>
#include <string>

namespace
{

// The page's text as a reader sees it: roff dashes and font changes resolved.
std::string PlainRoff(const std::string& line)
{
    std::string plain;
    for (size_t i = 0; i < line.size(); ++i)
    {
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '-')
            plain += '-', ++i;
        else if (line[i] == '\\' && i + 2 < line.size() && line[i + 1] == 'f')
            i += 2;
        else
            plain += line[i];
    }
    return plain;
}

bool OptionLetter(char c)
{
    return std::islower(static_cast<unsigned char>(c)) ||
           std::isdigit(static_cast<unsigned char>(c));
}

// The options named in text: "-x" or "--word-word" standing at the start of a word.
void CollectOptions(const std::string& text, std::set<std::string>* options)
{
    for (size_t i = 0; i < text.size(); ++i)
    {
        bool wordStart = i == 0 || !(std::isalnum(static_cast<unsigned char>(text[i - 1])) ||
                                     text[i - 1] == '-');
        if (text[i] != '-' || !wordStart)
            continue;
        size_t end = i + (i + 1 < text.size() && text[i + 1] == '-' ? 2 : 1);
        if (end >= text.size() || !std::islower(static_cast<unsigned char>(text[end])))
            continue;
        while (end < text.size() && (OptionLetter(text[end]) || text[end] == '-'))
            ++end;
        options->insert(text.substr(i, end - i));
        i = end;
    }
}

struct ManPage
{
    std::set<std::string> items; // options in the tag lines of .TP paragraphs
    std::set<std::string> named; // options anywhere in the page
};

ManPage ReadManPage(const std::string& text)
{
    ManPage page;
    std::istringstream lines(text);
    std::string line;
    bool tag = false;
    while (std::getline(lines, line))
    {
        if (line.compare(0, 3, ".\\\"") == 0)
            continue;
        std::string plain = PlainRoff(line);
        if (tag)
            CollectOptions(plain, &page.items);
        CollectOptions(plain, &page.named);
        tag = line == ".TP";
    }
    return page;
}

TEST(CliManPage, DocumentsExactlyTheOptionsOfHelp)
{
    std::string text = ReadWholeFile(KORVELLA_CLI_MAN_PAGE);
    ASSERT_FALSE(text.empty()) << "cannot read " << KORVELLA_CLI_MAN_PAGE;
    ManPage page = ReadManPage(text);
    std::set<std::string> help;
    CollectOptions(cliHelpText, &help);
    ASSERT_GE(help.size(), 20u) << "the help text lists fewer options than it has";
    for (const std::string& option : help)
        EXPECT_TRUE(page.items.count(option))
            << option << " is listed by --help (cli/arguments.cpp) but has no item in the man"
            << " page (cli/korvella-cli.1.in)";
    for (const std::string& option : page.named)
        EXPECT_TRUE(help.count(option))
            << option << " is named in the man page (cli/korvella-cli.1.in) but not listed by"
            << " --help (cli/arguments.cpp)";
}

TEST(CliManPage, CarriesTheProgramVersion)
{
    std::string text = ReadWholeFile(KORVELLA_CLI_MAN_PAGE);
    std::string header = text.substr(0, text.find(".SH"));
    EXPECT_NE(header.find(".TH KORVELLA-CLI 1 \"\" \"Korvella " KORVELLA_VERSION "\""),
              std::string::npos)
        << header;
    EXPECT_EQ(text.find('@'), std::string::npos) << "a placeholder was left unfilled";
}

} // namespace
