// Names from disks go into the report as they are, so they are made fit for XML and CSV: markup
// escaped, bytes that are no UTF-8 and characters XML cannot hold replaced, CSV fields quoted.
#include <gtest/gtest.h>

#include "output/CsvReportWriter.h"
#include "output/DfxmlWriter.h"

TEST(ReportText, XmlTextEscapesAndReplaces) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"IMG_0001.JPG", "IMG_0001.JPG"},
        {"a<b>&\"c'", "a&lt;b&gt;&amp;&quot;c&apos;"},
        {"Björk - Jóga", "Björk - Jóga"},
        {"\xF0\x9F\x93\xB7.jpg", "\xF0\x9F\x93\xB7.jpg"},                  // four-byte UTF-8 stays
        {std::string("a\x01\x1F", 3), "a\xEF\xBF\xBD\xEF\xBF\xBD"},  // control characters
        {"\xFF\xFEname", "\xEF\xBF\xBD\xEF\xBF\xBDname"},                  // no UTF-8
        {"\xC3", "\xEF\xBF\xBD"},                                           // cut sequence
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                           // overlong "/"
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},           // a surrogate
    };
    for (const auto& c : cases)
        EXPECT_EQ(xmlText(c.in), c.out) << c.in;
}

TEST(ReportText, CsvFieldsQuotedWhereNeeded) {
    EXPECT_EQ(csvField("IMG_0001.JPG"), "IMG_0001.JPG");
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(csvField("say \"cheese\""), "\"say \"\"cheese\"\"\"");
    EXPECT_EQ(csvField("two\nlines"), "\"two\nlines\"");
}
