#include "settings/IniDocument.h"

#include <climits>
#include <gtest/gtest.h>
#include <string>

using namespace Qt::StringLiterals;
using tessaly::IniDocument;

namespace {

// The value as std::string, or "<absent>", so that failures print readably.
std::string Lookup(const IniDocument& document, QStringView section, QStringView key) {
    const std::optional<QString> value = document.value(section, key);
    return value ? value->toStdString() : std::string("<absent>");
}

IniDocument Parse(const char* text) {
    return IniDocument::parse(QByteArrayView(text));
}

TEST(IniDocument, MatchesNamesWithoutCaseAndTrimsAroundThem) {
    const IniDocument document = Parse("orphan=1\r\n"
                                       "[General]\r\n"
                                       "  RetryNumber = 5  \r\n"
                                       " [ Advance ] trailing text\r\n"
                                       "IdleCmdList = Reload,PWD , NOOP\r\n"
                                       "Empty=\r\n"
                                       "Eq=a=b");
    EXPECT_EQ(Lookup(document, u"general", u"RETRYNUMBER"), "5");
    EXPECT_EQ(Lookup(document, u"ADVANCE", u"idlecmdlist"), "Reload,PWD , NOOP");
    EXPECT_EQ(Lookup(document, u"Advance", u"Empty"), "");
    EXPECT_EQ(Lookup(document, u"Advance", u"Eq"), "a=b");
    EXPECT_EQ(Lookup(document, u"General", u"IdleCmdList"), "<absent>");
    EXPECT_EQ(Lookup(document, u"Socks", u"RetryNumber"), "<absent>");
    // A key before the first section belongs to none.
    EXPECT_EQ(Lookup(document, u"", u"orphan"), "<absent>");
    EXPECT_EQ(Lookup(document, u"General", u"orphan"), "<absent>");
}

TEST(IniDocument, IgnoresCommentsAndGarbageAndTakesTheFirstKey) {
    const IniDocument document = Parse("[S]\n"
                                       ";k=semicolon\n"
                                       "  # k=hash\n"
                                       "no equals sign\n"
                                       "[unclosed\n"
                                       "=no key\n"
                                       "k=first\n"
                                       "K=second\n"
                                       "[s]\n"
                                       "k=third\n"
                                       "other=later section\n");
    EXPECT_EQ(Lookup(document, u"s", u"k"), "first");
    EXPECT_EQ(Lookup(document, u"S", u"other"), "later section");
    EXPECT_EQ(Lookup(document, u"unclosed", u"k"), "<absent>");
}

TEST(IniDocument, RewriteChangesOnlyWhatIsWritten) {
    IniDocument document = IniDocument::parse("\xEF\xBB\xBF; Tessaly settings\r\n"
                                              "[General]\r\n"
                                              "RetryNumber = 3\r\n"
                                              "\xFF\xFE not UTF-8\r\n"
                                              "\r\n"
                                              "# proxy\r\n"
                                              "[Socks]\r\n"
                                              "SocksHost=proxy");
    ASSERT_TRUE(document.setValue(u"general", u"RETRYNUMBER", u"7"));
    ASSERT_TRUE(document.setValue(u" GENERAL ", u"WaitTimes", u"2"));
    ASSERT_TRUE(document.setValue(u"Miscellaneous", u"ReturnLine", u"one\r\ntwo\nthree\rfour"));
    EXPECT_EQ(document.serialize(), QByteArrayView("\xEF\xBB\xBF; Tessaly settings\n"
                                                   "[General]\n"
                                                   "RetryNumber = 7\n"
                                                   "WaitTimes=2\n"
                                                   "\xFF\xFE not UTF-8\n"
                                                   "\n"
                                                   "# proxy\n"
                                                   "[Socks]\n"
                                                   "SocksHost=proxy\n"
                                                   "\n"
                                                   "[Miscellaneous]\n"
                                                   "ReturnLine=one two three four\n"));
    EXPECT_EQ(Lookup(IniDocument::parse(document.serialize()), u"general", u"retrynumber"), "7");

    IniDocument empty;
    ASSERT_TRUE(empty.setValue(u"RecentFTPSite", u"Count", u"0"));
    EXPECT_EQ(empty.serialize(), QByteArrayView("[RecentFTPSite]\nCount=0\n"));
    // U+FEFF opening a line is an ordinary character, not a byte order mark to drop.
    ASSERT_TRUE(empty.setValue(u"RecentFTPSite", u"\uFEFFSite0", u"v"));
    EXPECT_EQ(Lookup(IniDocument::parse(empty.serialize()), u"RecentFTPSite", u"\uFEFFSite0"), "v");
}

TEST(IniDocument, RefusesNamesThatWouldNotReadBack) {
    IniDocument document = Parse("[S]\nk=v\n");
    const QByteArray before = document.serialize();
    EXPECT_FALSE(document.setValue(u"", u"k", u"x"));
    EXPECT_FALSE(document.setValue(u"S", u"  ", u"x"));
    EXPECT_FALSE(document.setValue(u"a]b", u"k", u"x"));
    EXPECT_FALSE(document.setValue(u"a\nb", u"k", u"x"));
    EXPECT_FALSE(document.setValue(u"S", u"a=b", u"x"));
    EXPECT_FALSE(document.setValue(u"S", u";k", u"x"));
    EXPECT_FALSE(document.setValue(u"S", u"[k", u"x"));
    EXPECT_EQ(document.serialize(), before);
}

TEST(IniDocument, ParsesTheLeadingDecimalNumber) {
    const struct {
        const char16_t* text;
        int expected;
    } cases[] = {
        {u"12abc", 12},
        {u"abc", 0},
        {u"", 0},
        {u" -7 ", -7},
        {u"+5", 5},
        {u"-", 0},
        {u"1 2", 1},
        {u"0x1F", 0},
        {u"\u0663", 0}, // a non-ASCII digit is no digit here
        {u"2147483647", INT_MAX},
        {u"2147483648", INT_MAX},
        {u"-2147483648", INT_MIN},
        {u"-99999999999999999999999", INT_MIN},
        {u"00000000000000000000042", 42},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tessaly::ParseLeadingInt(QStringView(c.text)), c.expected)
            << QStringView(c.text).toString().toStdString();
    }
}

} // namespace
