// PageSnapshot on the real engine: capture order, keyed loop, numeric keys, occurrences,
// frames, stale handles, awkward pages.

#include <QVBoxLayout>

#include <cstdio>
#include <QWidget>

#include "page/page_objects.h"
#include "page/page_snapshot.h"
#include "page_fixture.h"
#include "qt_test_hooks.h"

using namespace pagetest;
using page::PageSnapshot;

void tessaro_test_after_all() {
  delete shared_view_slot();
  shared_view_slot() = nullptr;
}

namespace {

TEST(Snapshot, CaptureOrderAcrossInputsButtonElementsAndFrames) {
  auto& v = shared_view();
  auto& srv = FixtureServer::instance();
  srv.set("/f_a1.html", html("<input type=text value=TA1><button onclick=\"top.L('A1btn')\">a1</button>"));
  srv.set("/f_a.html", html("<input type=text value=TA><iframe src=/f_a1.html></iframe>"
                            "<input type=button value=Abtn onclick=\"top.L('Abtn')\">"));
  srv.set("/f_b.html", html("<input type=password value=TB>"));
  srv.set("/f_c.html", html("<input type=text value=TC><input type=button value=C>"));
  const std::string top = html(
      "<input type=button value=B1 onclick=\"L('B1')\">"
      "<button id=B2 onclick=\"L('B2')\">two</button>"
      "<input type=submit value=S1 onclick=\"L('S1')\">"
      "<input type=text value=T0><input type=file><input type=checkbox value=c1>"
      "<input type=radio name=r><input type=hidden value=h><input type=image src=x.png>"
      "<input type=number value=5><input type=TEXT value=upper>"
      "<iframe src=/f_a.html></iframe><iframe src=/f_b.html></iframe>"
      "<iframe src=\"" + srv.other_site_url("/f_c.html") + "\"></iframe>"
      "<div><span>s</span><ul><li>i</li></ul><cite>c</cite></div>"
      "<a href=/x title=t>titled</a><a href=/y>plain</a><table id=tb><tr><td>1</td></tr></table>"
      "<form></form><select id=s1><option>a</option></select><textarea></textarea><img src=a.png>");
  ASSERT_TRUE(show_page(v, "/order.html", top));
  wait_ms(300);  // the frames load after the top document

  PageSnapshot s;
  ASSERT_TRUE(s.attach_page(&v));
  const auto c = s.counts();
  // Input buttons first (B1, S1), then the button element, then the frames' in walk order.
  EXPECT_EQ(c.buttons, 5);      // B1 S1 B2 | Abtn A1btn ; the other site's button is not read
  EXPECT_EQ(c.textboxes, 7);    // T0 file number upper | TA TA1 TB ; TC not read
  EXPECT_EQ(c.checkboxes, 1);
  EXPECT_EQ(c.radios, 1);
  EXPECT_EQ(c.hidden, 1);
  EXPECT_EQ(c.image_inputs, 1);
  EXPECT_EQ(c.frames, 4);       // a, b, c (other site), then a's a1
  EXPECT_EQ(c.links, 2);
  EXPECT_EQ(c.titled_links, 1);
  EXPECT_EQ(c.tables, 1);
  EXPECT_EQ(c.forms, 1);
  EXPECT_EQ(c.selects, 1);
  EXPECT_EQ(c.textareas, 1);
  EXPECT_EQ(c.images, 1);
  EXPECT_EQ(c.spans, 1);
  EXPECT_EQ(c.list_items, 1);
  EXPECT_EQ(c.cites, 1);
  EXPECT_GE(c.divs, 1);

  // Depth first: the top document, then a, a's frame a1, then b.
  EXPECT_EQ(s.get_textbox_text("1"), "T0");
  EXPECT_EQ(s.get_textbox_text("3"), "5");
  EXPECT_EQ(s.get_textbox_text("4"), "upper");
  EXPECT_EQ(s.get_textbox_text("5"), "TA");
  EXPECT_EQ(s.get_textbox_text("6"), "TA1");
  EXPECT_EQ(s.get_textbox_text("7"), "TB");
  EXPECT_EQ(s.get_textbox_text("8"), "");

  for (const char* k : {"1", "2", "3", "4", "5"}) EXPECT_TRUE(s.click_button(k));
  EXPECT_EQ(log_of(v), "B1,S1,B2,Abtn,A1btn");

  // The body of the top document, not of a frame.
  const std::string body = s.get_body_html();
  EXPECT_NE(body.find("<BODY>"), std::string::npos);
  EXPECT_NE(body.find("value=T0"), std::string::npos);
  EXPECT_EQ(body.find("TA1"), std::string::npos);
}

TEST(Snapshot, NumericKeysAgainstAttributeKeys) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/numeric.html", html(
      "<input type=button value=first onclick=\"L('first')\">"
      "<input type=button value=x name=second onclick=\"L('second')\">"
      "<button value=2 onclick=\"L('third')\">third</button>"
      "<input type=text id=a><input type=text id=b><input type=text name=2 id=c>"
      "<input type=text id=7><input type=text id=0><input type=text id=-1>")));
  PageSnapshot s;
  ASSERT_TRUE(s.attach_page(&v));
  // "2" selects the second button in capture order, without looking at values.
  EXPECT_TRUE(s.click_button("2", 0));
  EXPECT_EQ(log_of(v), "second");
  // A number beyond the collection is an ordinary key.
  EXPECT_FALSE(s.click_button("4"));
  EXPECT_EQ(log_of(v), "second");

  // set_textbox_text sets the n-th box and then also every box whose attribute equals it.
  s.set_textbox_text("2", "N");
  EXPECT_EQ(eval_text(v, "['a','b','c','7','0','-1'].map(function(i){return document.getElementById(i).value}).join(',')"),
            ",N,N,,,");
  s.set_textbox_text("7", "seven");  // beyond 6 boxes: attribute id=7
  s.set_textbox_text("0", "zero");   // zero never selects: attribute id=0
  s.set_textbox_text("-1", "minus");
  EXPECT_EQ(eval_text(v, "['a','7','0','-1'].map(function(i){return document.getElementById(i).value}).join(',')"),
            ",seven,zero,minus");
  // get_textbox_text with a number reads the n-th box only.
  EXPECT_EQ(s.get_textbox_text("2"), "N");
}

TEST(Snapshot, OccurrencesOfSharedNames) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/occ.html", html(
      "<input type=text name=q id=q1><input type=text title=q id=q2><input type=text name=q id=q3>"
      "<textarea name=t id=t1></textarea><textarea name=t id=t2></textarea>"
      "<select name=s id=s1><option>a<option>b<option>c</select>"
      "<select name=s id=s2><option>a<option>b<option>c</select>"
      "<input type=radio name=r id=r1><input type=radio name=r id=r2>"
      "<input type=checkbox name=c id=c1 checked><input type=checkbox name=c id=c2 checked>")));
  auto values = [&](const char* ids) {
    return eval_text(v, std::string("'") + ids + "'.split(',').map(function(i){var e=document.getElementById(i);"
                     "return e.type=='checkbox'||e.type=='radio'?String(e.checked):e.value}).join(',')");
  };
  PageSnapshot s;
  ASSERT_TRUE(s.attach_page(&v));
  s.set_textbox_text("q", "all", 1);  // every match: by name, by title, by name
  EXPECT_EQ(values("q1,q2,q3"), "all,all,all");
  s.set_textbox_text("q", "later", 2);
  EXPECT_EQ(values("q1,q2,q3"), "all,later,later");
  s.set_textbox_text("q", "none", 4);
  EXPECT_EQ(values("q1,q2,q3"), "all,later,later");
  s.set_textbox_text("q", "zero", 0);  // 0 acts like 1
  EXPECT_EQ(values("q1,q2,q3"), "zero,zero,zero");

  s.set_textarea_text("t", "one");  // one only
  EXPECT_EQ(values("t1,t2"), "one,");
  s.set_textarea_text("t", "two", 2);
  EXPECT_EQ(values("t1,t2"), "one,two");
  EXPECT_EQ(s.get_textbox_text("q", 3), "zero");

  EXPECT_EQ(s.select_option("s", 3, 2), 2);  // result: size of selects
  EXPECT_EQ(s.get_selected_index("s", 1), 0);
  EXPECT_EQ(s.get_selected_index("s", 2), 2);
  s.select_option("s", 2);
  EXPECT_EQ(eval_text(v, "[s1.selectedIndex,s2.selectedIndex].join(',')"), "1,1");
  EXPECT_EQ(s.count_options("s"), 3);
  EXPECT_EQ(s.get_option_text("s", 3), "c");
  EXPECT_EQ(s.get_option_text("s", 4), "");
  EXPECT_EQ(s.get_select_name("2"), "s");
  EXPECT_EQ(s.get_select_name("nothing"), "");
  EXPECT_EQ(s.count_options("nothing"), 0);

  EXPECT_TRUE(s.check_radio("r", 2));
  EXPECT_EQ(values("r1,r2"), "false,true");
  EXPECT_TRUE(s.uncheck_checkbox("c", 2));
  EXPECT_EQ(values("c1,c2"), "true,false");
  EXPECT_TRUE(s.click_checkbox("c"));
  EXPECT_EQ(values("c1,c2"), "false,false");
  EXPECT_EQ(s.count_checkboxes(), 2);
  EXPECT_FALSE(s.check_radio("missing"));
}

// Types the old engine did not know (tel, number, email, ...) are text boxes, as it
// reported them; a missing or unknown type too. Checkboxes and buttons stay out.
TEST(Snapshot, InputTypesAsTheOldEngineReportedThem) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/types.html", html(
      "<form><input type=checkbox id=cb name=Phone>"
      "<input type=tel name=Phone id=tel><input type=number name=Parvalue id=num>"
      "<input type=email id=mail><input type=search title=q id=find><input type=url id=SavingUrl>"
      "<input type=date id=day><input type=NUMBER id=upper><input id=none><input type=bogus id=odd>"
      "<input type=submit id=go value=go onclick=\"return L('go')\"><input type=hidden id=h>"
      "<input type=image id=img src=x.png></form>")));
  PageSnapshot s;
  ASSERT_TRUE(s.attach_page(&v));
  const auto c = s.counts();
  EXPECT_EQ(c.textboxes, 9);
  EXPECT_EQ(c.checkboxes, 1);
  EXPECT_EQ(c.buttons, 1);
  EXPECT_EQ(c.hidden, 1);
  EXPECT_EQ(c.image_inputs, 1);

  s.set_textbox_text("Phone", "13800138000");  // the checkbox of the same name is not a text box
  s.set_textbox_text("Parvalue", "12.5");
  s.set_textbox_text("mail", "shop@abc.com.cn");
  s.set_textbox_text("q", gbk("点卡"));
  s.set_textbox_text("SavingUrl", "http://pay.abc.com/");
  s.set_textbox_text("day", "2024-05-01");
  s.set_textbox_text("upper", "7");
  s.set_textbox_text("none", "plain");
  s.set_textbox_text("odd", "odd");
  EXPECT_EQ(eval_text(v, "['cb','tel','num','mail','find','SavingUrl','day','upper','none','odd']"
                         ".map(function(i){return document.getElementById(i).value}).join('|')"),
            "on|13800138000|12.5|shop@abc.com.cn|点卡|http://pay.abc.com/|2024-05-01|7|plain|odd");
  // Capture order and numeric keys count them among the text boxes.
  EXPECT_EQ(s.get_textbox_text("2"), "12.5");
  EXPECT_EQ(s.get_textbox_text("q"), gbk("点卡"));
  s.set_textbox_text("1", "020-1234");
  EXPECT_EQ(eval_text(v, "tel.value"), "020-1234");
  EXPECT_FALSE(s.click_button("Parvalue"));
  EXPECT_EQ(log_of(v), "");
}

// Option number n selects index n - 1: 0 clears the selection; beyond the options the
// engine clears it as well; the page sees the same index that is read back.
TEST(Snapshot, SelectOptionZeroAndBeyondTheOptions) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/select_range.html", html(
      "<select id=s1 name=ddl><option>a<option selected>b<option>c</select>"
      "<select id=s2 name=ddl><option>x<option>y</select>"
      "<select id=empty></select>")));
  auto indexes = [&] { return eval_text(v, "[s1.selectedIndex,s2.selectedIndex,empty.selectedIndex].join(',')"); };
  PageSnapshot s;
  ASSERT_TRUE(s.attach_page(&v));
  EXPECT_EQ(indexes(), "1,0,-1");
  EXPECT_EQ(s.select_option("ddl", 0), 3);
  EXPECT_EQ(indexes(), "-1,-1,-1");
  EXPECT_EQ(s.get_selected_index("ddl"), -1);
  EXPECT_EQ(s.get_selected_index("ddl", 2), -1);
  s.select_option("ddl", 2);
  EXPECT_EQ(indexes(), "1,1,-1");
  s.select_option("ddl", 3);  // the third option of s1; s2 has only two
  EXPECT_EQ(indexes(), "2,-1,-1");
  EXPECT_EQ(s.get_selected_index("s1"), 2);
  s.select_option("ddl", 1, 2);  // from the second match on
  EXPECT_EQ(indexes(), "2,0,-1");
  s.select_option("s1", 9);
  EXPECT_EQ(indexes(), "-1,0,-1");
  s.select_option("s2", -4);
  EXPECT_EQ(indexes(), "-1,-1,-1");
  s.select_option("empty", 1);
  EXPECT_EQ(indexes(), "-1,-1,-1");
  // Numeric key: the n-th select, then the attribute loop.
  s.select_option("2", 2);
  EXPECT_EQ(indexes(), "-1,1,-1");
}

TEST(Snapshot, LinksByHrefContainmentAndTitle) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/links.html", html(
      "<a href=\"/SelfProduct/SelfProductAdd.aspx?id=5\" onclick=\"return L('add')\">whatever</a>"
      "<a href=/other onclick=\"return L('other')\" title=Add>t</a>"
      "<a href=/Add/more onclick=\"return L('more')\" title=More>m</a>"
      "<a name=n1 href=/n onclick=\"return L('named')\">n</a>")));
  PageSnapshot s;
  ASSERT_TRUE(s.attach_page(&v));
  EXPECT_TRUE(s.click_link("SelfProductAdd"));  // href contains the key
  EXPECT_TRUE(s.click_link("Add", 2));          // title=Add is the second link matching "Add"
  EXPECT_TRUE(s.click_link("n1"));
  EXPECT_FALSE(s.click_link("selfproductadd"));  // case-sensitive
  // Titled links only: the first link has no title.
  EXPECT_TRUE(s.click_titled_link("Add"));
  EXPECT_TRUE(s.click_titled_link("1"));
  EXPECT_EQ(log_of(v), "add,other,named,other,other");
}

TEST(Snapshot, TablesDocumentOperationsAndEvents) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/misc.html", html(
      "<table id=t1><tr><td>a</td><td>b</td></tr><tr><td>c</td><td>d</td></tr></table>"
      "<input type=text id=box><select id=sel onchange=\"L('change:'+this.selectedIndex)\">"
      "<option>x<option>y</select>"
      "<input type=radio id=rad onmousedown=\"L('down')\" onclick=\"L('click')\">")));
  PageSnapshot s;
  ASSERT_TRUE(s.attach_page(&v));
  EXPECT_EQ(s.get_table_text("t1"), "a\tb\r\nc\td");
  EXPECT_EQ(s.get_table_text("1"), "a\tb\r\nc\td");
  EXPECT_EQ(s.get_table_text("t2"), "");

  page::Element doc = s.get_document();
  ASSERT_FALSE(doc.empty());
  page::Element box = page::get_element_by_id(doc, "box");
  ASSERT_FALSE(box.empty());
  page::set_element_value(box, gbk("中文"));
  EXPECT_EQ(eval_text(v, "box.value"), "中文");
  EXPECT_TRUE(page::get_element_by_id(doc, "none").empty());

  s.select_option("sel", 2);
  s.fire_element_event(s.get_select_element(1), "onchange");
  s.fire_element_event(s.get_radio_element(1), "onmousedown");
  s.fire_element_event(s.get_radio_element(1), "onclick");
  EXPECT_EQ(log_of(v), "change:1,down,click");
  EXPECT_TRUE(s.get_radio_element(2).empty());
  EXPECT_TRUE(s.get_select_element(0).empty());
  s.fire_element_event(page::Element(), "onclick");  // empty handle: nothing
}

TEST(Snapshot, ScriptsRunInThePageWorldAndVbscriptDoesNothing) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/script.html", html("<script>function __doPostBack(a,b){L(a+':'+b)}</script>")));
  PageSnapshot s;
  EXPECT_FALSE(s.run_script("L('unattached')"));
  ASSERT_TRUE(s.attach_page(&v));
  EXPECT_TRUE(s.run_script("javascript:__doPostBack('AspNetPager1','3')"));
  EXPECT_TRUE(s.run_script("__doPostBack('x','y')", 1));
  EXPECT_FALSE(s.run_script("L('vb')", 2));
  EXPECT_FALSE(s.run_script("L('vb')", 0));
  EXPECT_EQ(log_of(v), "AspNetPager1:3,x:y");
}

TEST(Snapshot, HandlesAreReleasedWithTheirLastCopy) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/handles.html", html("<input type=radio id=a><input type=radio id=b>")));
  auto& bridge = v.bridge();
  PageSnapshot s;
  ASSERT_TRUE(s.attach_page(&v));
  const int base = bridge.agent_table_size();
  EXPECT_EQ(base, 19);  // 18 collections and the document
  {
    page::Element a = s.get_radio_element(1);
    page::Element copy = a;
    page::Element b = s.get_radio_element(2);
    EXPECT_EQ(bridge.agent_table_size(), base + 2);
    a = page::Element();
    EXPECT_EQ(bridge.agent_table_size(), base + 2);  // the copy still holds it
  }
  EXPECT_EQ(bridge.agent_table_size(), base);
  // A new capture replaces the old one's entries.
  ASSERT_TRUE(s.attach_page(&v));
  ASSERT_TRUE(s.attach_page(&v));
  EXPECT_EQ(bridge.agent_table_size(), base);
}

TEST(Snapshot, StaleElementsAndOldDocumentsDoNothing) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/stale.html", html(
      "<input type=text name=q id=q1><input type=text name=q id=q2>"
      "<input type=button value=go onclick=\"L('go')\"><input type=button value=go2 onclick=\"L('go2')\">")));
  PageSnapshot s;
  ASSERT_TRUE(s.attach_page(&v));
  eval(v, "window.keep=q1;q1.remove();var b=document.querySelector('[value=go]');window.kb=b;b.remove();");
  s.set_textbox_text("q", "x");
  EXPECT_EQ(eval_text(v, "keep.value+'|'+q2.value"), "|x");  // the removed box is passed over
  EXPECT_FALSE(s.click_button("go"));
  EXPECT_FALSE(s.click_button("1"));  // the first captured button is gone
  EXPECT_EQ(log_of(v), "");

  page::Element doc = s.get_document();
  // Another document: every handle of the old one does nothing.
  ASSERT_TRUE(show_page(v, "/stale2.html", html("<input type=text name=q id=q1><input type=button value=go2 onclick=\"L('new')\">")));
  s.set_textbox_text("q", "old");
  EXPECT_FALSE(s.click_button("go2"));
  EXPECT_TRUE(page::get_element_by_id(doc, "q1").empty());
  EXPECT_EQ(s.get_body_html(), "");
  EXPECT_FALSE(s.run_script("L('old')"));
  EXPECT_EQ(eval_text(v, "q1.value+'|'+log.join(',')"), "|");
}

TEST(Snapshot, NavigationDuringCapture) {
  auto& v = shared_view();
  auto& srv = FixtureServer::instance();
  ASSERT_TRUE(show_page(v, "/nav1.html", html("<input type=text name=q>")));
  std::string many;
  for (int i = 0; i < 3000; ++i) many += "<input type=text name=q>";
  srv.set("/nav2.html", html(many));
  for (int round = 0; round < 3; ++round) {
    QSignalSpy spy(&v, &QWebEngineView::loadFinished);
    v.load(QUrl(QString::fromStdString(srv.url(round % 2 ? "/nav1.html" : "/nav2.html"))));
    PageSnapshot s;
    const bool ok = s.attach_page(&v);  // old document, new one, or nothing: never a crash
    EXPECT_EQ(ok, s.attached());
    ASSERT_TRUE(spy.wait(10000));
    wait_ms(20);
    const std::string token = v.bridge().document_token().toStdString();
    s.set_textbox_text("q", "late");
    const int filled = eval(v, "Array.prototype.filter.call(document.getElementsByName('q'),function(e){return e.value=='late'}).length").toInt();
    if (!ok || s.get_document().document().toStdString() != token) {
      EXPECT_EQ(filled, 0);
    }
  }
}

TEST(Snapshot, AwkwardAttributeValuesAndHostilePages) {
  auto& v = shared_view();
  ASSERT_TRUE(show_page(v, "/awkward.html", html(
      "<script>Array.prototype.push=function(){throw 1};HTMLElement.prototype.click=function(){};"
      "document.getElementsByTagName=function(){return []};</script>"
      "<form name=querySelectorAll></form><form name=getElementById></form>"
      "<input type=text id=q title=\"a&quot;b'c&#10;d\">"
      "<input type=text id=e title=\"😀€\">"
      "<textarea id=ta></textarea>"
      "<input type=button value=\"say &quot;hi&quot;\" onclick=\"log.length=0;log[0]='hi'\">")));
  PageSnapshot s;
  ASSERT_TRUE(s.attach_page(&v));
  EXPECT_EQ(s.counts().textboxes, 2);
  s.set_textbox_text("a\"b'c\nd", gbk("值\"'"));
  EXPECT_EQ(eval_text(v, "q.value"), "值\"'");
  s.set_textbox_text(gbk("😀€"), gbk("𠀀 outside GBK"));
  EXPECT_EQ(eval_text(v, "e.value"), "𠀀 outside GBK");
  EXPECT_EQ(s.get_textbox_text(gbk("😀€")), gbk("𠀀 outside GBK"));
  s.set_textarea_text("ta", "l1\r\nl2\nl3");
  EXPECT_EQ(eval_text(v, "JSON.stringify(ta.value)"), "\"l1\\nl2\\nl3\"");
  EXPECT_TRUE(s.click_button("say \"hi\""));
  EXPECT_EQ(eval_text(v, "log[0]"), "hi");
  const std::string body = s.get_body_html();
  EXPECT_NE(body.find("<INPUT type=text id=q title=\""), std::string::npos);
}

TEST(Snapshot, LargePage) {
  auto& v = shared_view();
  std::string body;
  body.reserve(3 << 20);
  for (int i = 0; i < 100000; ++i) body += "<div></div>";
  body += "<input type=button value=last onclick=\"L('last')\">";
  ASSERT_TRUE(show_page(v, "/large.html", html(body)));
  PageSnapshot s;
  QElapsedTimer t;
  t.start();
  ASSERT_TRUE(s.attach_page(&v));
  EXPECT_EQ(s.counts().divs, 100000);
  EXPECT_TRUE(s.click_button("last"));
  EXPECT_EQ(log_of(v), "last");
  std::printf("100,000-element page: attach + click in %lld ms\n", t.elapsed());
}

TEST(Snapshot, FindsTheBrowserBelowTheHandleAndEmptyHandles) {
  QWidget outer;
  auto* mid = new QWidget(&outer);
  new QVBoxLayout(mid);
  auto* view = new platform::BrowserView(mid);
  mid->layout()->addWidget(view);
  outer.resize(400, 300);
  outer.show();
  EXPECT_EQ(page::find_browser(&outer), view);
  EXPECT_EQ(page::find_browser(view), view);
  EXPECT_EQ(page::find_browser(nullptr), nullptr);
  QWidget lone;
  EXPECT_EQ(page::find_browser(&lone), nullptr);

  ASSERT_TRUE(show_page(*view, "/deep.html", html("<input type=text id=deep>")));
  PageSnapshot s;
  ASSERT_TRUE(s.attach_page(&outer));
  s.set_textbox_text("deep", "found");
  EXPECT_EQ(eval_text(*view, "deep.value"), "found");
  EXPECT_FALSE(s.attach_page(&lone));
  EXPECT_FALSE(s.attached());
  EXPECT_FALSE(s.click_button("1"));
  EXPECT_EQ(s.get_textbox_text("deep"), "");
  EXPECT_EQ(s.counts().textboxes, 0);

  page::PageObjects objects;
  objects.bind_at_startup(&outer);
  EXPECT_TRUE(objects.snapshot(page::PageObjects::kStartup).attached());
  EXPECT_FALSE(objects.snapshot(page::PageObjects::kLogin).attached());
}

}  // namespace
