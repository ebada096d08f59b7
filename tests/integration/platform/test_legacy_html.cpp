// The legacy serialisation of the engine's outerHTML.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <cstdio>

#include "platform/browser_view.h"
#include "platform/legacy_html.h"
#include "test_util.h"

using platform::legacy_outer_html;

namespace {
std::string L(const QString& s) { return legacy_outer_html(s).toStdString(); }
}  // namespace

TEST(LegacyHtml, TagNamesUpperValuesBareWhereAllowed) {
  EXPECT_EQ(L(R"(<span id="lblUserName">x</span>)"), "<SPAN id=lblUserName>x</SPAN>");
  EXPECT_EQ(L(R"(<span id="Balance" class="yue">1.00</span>)"),
            "<SPAN id=Balance class=yue>1.00</SPAN>");
  // Nested tags, void elements, attribute names keep their case.
  EXPECT_EQ(L(R"(<div><table><tbody><tr><td colSpan="2"><input type="text" name="t1"><br></td></tr></tbody></table></div>)"),
            "<DIV><TABLE><TBODY><TR><TD colSpan=2><INPUT type=text name=t1><BR></TD></TR></TBODY></TABLE></DIV>");
  EXPECT_EQ(L("<A href=\"http://x.com/a.aspx\">l</A>"), "<A href=http://x.com/a.aspx>l</A>");
  EXPECT_EQ(L(""), "");
  EXPECT_EQ(L("plain text"), "plain text");
}

TEST(LegacyHtml, ValuesThatNeedQuotesKeepThem) {
  EXPECT_EQ(L(R"(<input value="">)"), R"(<INPUT value="">)");
  EXPECT_EQ(L(R"(<input checked="">)"), R"(<INPUT checked="">)");
  EXPECT_EQ(L(R"(<input value="a b">)"), R"(<INPUT value="a b">)");
  EXPECT_EQ(L("<input value=\"a\tb\">"), "<INPUT value=\"a\tb\">");
  EXPECT_EQ(L("<input value=\"a\nb\">"), "<INPUT value=\"a\nb\">");
  EXPECT_EQ(L("<input value=\"a\r\nb\">"), "<INPUT value=\"a\r\nb\">");
  EXPECT_EQ(L(R"(<input value="say &quot;hi&quot;">)"), R"(<INPUT value="say &quot;hi&quot;">)");
  EXPECT_EQ(L(R"(<input value="it's">)"), R"(<INPUT value="it's">)");
  EXPECT_EQ(L(R"(<a href="a.aspx?x=1&amp;y=2">)"), R"(<A href="a.aspx?x=1&amp;y=2">)");
  EXPECT_EQ(L(R"(<a title="a&lt;b">)"), R"(<A title="a&lt;b">)");
  EXPECT_EQ(L(R"(<a title="a<b">)"), R"(<A title="a<b">)");
  EXPECT_EQ(L(R"(<a title="a>b">)"), R"(<A title="a>b">)");
  EXPECT_EQ(L(R"(<a title="a`b">)"), R"(<A title="a`b">)");
  EXPECT_EQ(L(R"x(<a onclick="javascript:__doPostBack('p','')">)x"),
            R"x(<A onclick="javascript:__doPostBack('p','')">)x");
  // An ampersand alone, non-breaking space and characters outside GBK stay bare.
  EXPECT_EQ(L(R"(<a title="a&amp;b">)"), R"(<A title=a&amp;b>)");
  EXPECT_EQ(L(R"(<a title="a&nbsp;b">)"), R"(<A title=a&nbsp;b>)");
  EXPECT_EQ(legacy_outer_html(QStringLiteral("<a title=\"卡😀𠀀\">")),
            QStringLiteral("<A title=卡😀𠀀>"));
}

TEST(LegacyHtml, RawTextCommentsAndTextUntouched) {
  EXPECT_EQ(L(R"(<script type="text/javascript">if (a<b && c>"d") x='<div id="q">';</script>)"),
            R"(<SCRIPT type=text/javascript>if (a<b && c>"d") x='<div id="q">';</SCRIPT>)");
  EXPECT_EQ(L(R"(<style>p > a[title="x"] { color: red }</style><p>)"),
            R"(<STYLE>p > a[title="x"] { color: red }</STYLE><P>)");
  EXPECT_EQ(L("<!-- <span id=\"x\"> --><b>t</b>"), "<!-- <span id=\"x\"> --><B>t</B>");
  EXPECT_EQ(L("<p>a &lt;b&gt; &amp; c=\"d\"</p>"), "<P>a &lt;b&gt; &amp; c=\"d\"</P>");
  EXPECT_EQ(L("<textarea name=\"t\">line1\nline2 &lt;b&gt;</textarea>"),
            "<TEXTAREA name=t>line1\nline2 &lt;b&gt;</TEXTAREA>");
  // A script whose text mentions another end tag ends only at its own.
  EXPECT_EQ(L("<script>document.write('</div>')</script><div></div>"),
            "<SCRIPT>document.write('</div>')</SCRIPT><DIV></DIV>");
  // SVG: self-closing tags, camel-case names upper-cased as the old engine did.
  EXPECT_EQ(L(R"(<svg viewBox="0 0 1 1"><path d="M0 0"/><foreignObject></foreignObject></svg>)"),
            R"(<SVG viewBox="0 0 1 1"><PATH d="M0 0"/><FOREIGNOBJECT></FOREIGNOBJECT></SVG>)");
  // Doctype-like and cut-off input is copied, never lost.
  EXPECT_EQ(L("<!DOCTYPE html><html>"), "<!DOCTYPE html><HTML>");
  EXPECT_EQ(L("<div id=\"a"), "<DIV id=\"a");
  EXPECT_EQ(L("<script>never closed <b>"), "<SCRIPT>never closed <b>");
  EXPECT_EQ(L("a < b <3"), "a < b <3");
}

// What the real engine writes, rewritten.
TEST(LegacyHtml, EngineOuterHtml) {
  platform::BrowserView view;
  view.setHtml(QStringLiteral(
      "<html><head><title>t</title><script>var s = '<b class=\"x\">';</script></head><body>"
      "<span id='lblUserName'>张三</span> <span id=Balance class=yue>12.50</span>"
      "<input type=checkbox name=c1 checked><input id=q value='say \"hi\"'>"
      "<textarea id=ta>a\nb</textarea><!-- note --></body></html>"));
  ASSERT_TRUE(testutil::wait_load(&view));
  testutil::run_js(view.page(),
                   "document.getElementById('q').setAttribute('title', 'line1\\nline2 😀');");
  const QString engine =
      testutil::run_js(view.page(), "document.documentElement.outerHTML").toString();
  const QString legacy = legacy_outer_html(engine);
  EXPECT_TRUE(legacy.contains("<SPAN id=lblUserName>张三</SPAN>")) << legacy.toStdString();
  EXPECT_TRUE(legacy.contains("<SPAN id=Balance class=yue>12.50</SPAN>"));
  EXPECT_TRUE(legacy.contains("<INPUT type=checkbox name=c1 checked=\"\">"));
  EXPECT_TRUE(legacy.contains("value=\"say &quot;hi&quot;\""));
  EXPECT_TRUE(legacy.contains("title=\"line1\nline2 😀\""));
  EXPECT_TRUE(legacy.contains("<SCRIPT>var s = '<b class=\"x\">';</SCRIPT>"));
  EXPECT_TRUE(legacy.contains("<TEXTAREA id=ta>a\nb</TEXTAREA><!-- note --></BODY></HTML>"));
  EXPECT_TRUE(legacy.startsWith("<HTML><HEAD><TITLE>t</TITLE>"));
}

// Logs the rewrite cost on about 1 MB of table markup, against a plain copy-and-lowercase
// pass over the same text (no assertion on time).
TEST(LegacyHtml, LogsCostPerMegabyte) {
  QString html = QStringLiteral("<table id=\"list\"><tbody>");
  for (int i = 0; html.size() < 1'000'000; ++i)
    html += QStringLiteral("<tr class=\"row\"><td><input type=\"checkbox\" name=\"c%1\" value=\"%1\"></td>"
                           "<td><a href=\"edit.aspx?id=%1&amp;p=2\" title=\"商品 %1\">商品%1</a></td></tr>")
                .arg(i);
  html += QStringLiteral("</tbody></table>");
  QElapsedTimer t;
  t.start();
  const QString out = legacy_outer_html(html);
  const qint64 rewrite_ns = t.nsecsElapsed();
  t.restart();
  const QString base = html.toLower();
  const qint64 base_ns = t.nsecsElapsed();
  EXPECT_TRUE(out.startsWith("<TABLE id=list><TBODY><TR class=row>"));
  std::printf("legacy_outer_html: %lld chars in %.2f ms (toLower baseline %.2f ms, ratio %.1f)\n",
              static_cast<long long>(html.size()), rewrite_ns / 1e6, base_ns / 1e6,
              base_ns ? double(rewrite_ns) / double(base_ns) : 0.0);
}
