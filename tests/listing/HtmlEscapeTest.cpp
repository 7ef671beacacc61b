#include "listing/HtmlListing.h"

#include <gtest/gtest.h>

#include <string>

namespace zintrel {
namespace {

std::string html(std::string_view text)
{
    std::string out;
    appendHtmlText(out, text);
    return out;
}

std::string json(std::string_view text)
{
    std::string out;
    appendJsonString(out, text);
    return out;
}

TEST(HtmlEscape, MarkupCharactersBecomeReferences)
{
    EXPECT_EQ(html("<img src=x onerror=\"alert('1')\">&amp;"),
              "&lt;img src=x onerror=&quot;alert(&#39;1&#39;)&quot;&gt;&amp;amp;");
}

TEST(HtmlEscape, NothingInAJsonStringCanEndAScriptOrOpenAComment)
{
    const std::string out = json("a</script><!--\"\\\xE2\x80\xA8\xE2\x80\xA9&");
    EXPECT_EQ(out, R"("a\u003c/script\u003e\u003c!--\"\\\u2028\u2029\u0026")");
    EXPECT_EQ(out.find('<'), std::string::npos);
}

TEST(HtmlEscape, BytesThatAreNotUtf8BecomeReplacementCharacters)
{
    // a lone continuation byte, a truncated sequence, an overlong form, a surrogate
    EXPECT_EQ(html("a\x80"
                   "b\xD7"),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
    EXPECT_EQ(json("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(html("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    // Hebrew, an emoji and a combining mark pass as they are
    const std::string good = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xF0\x9F\x8E\xB5 e\xCC\x81";
    EXPECT_EQ(html(good), good);
    EXPECT_EQ(json(good), "\"" + good + "\"");
}

TEST(HtmlEscape, ControlCharactersBecomeQuestionMarksAsInTextLines)
{
    EXPECT_EQ(html("a\nb\tc\x7F"), "a?b?c?");
    EXPECT_EQ(json("a\nb"), "\"a?b\"");
}

} // namespace
} // namespace zintrel
