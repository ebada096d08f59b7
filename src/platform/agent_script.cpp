#include "platform/agent_script.h"

namespace platform {
namespace {

// Runs in the isolated world of the top document. Page scripts cannot see it, and the
// prototypes it uses are this world's own, so a page that replaces Array.prototype.push
// or HTMLElement.prototype.click cannot break it. Document and form properties are read
// through prototype getters, because named elements shadow them
// (<form name="querySelectorAll">, <img name="body">).
//
// Handles: ids into `table`, valid for this document only (`token`). Every call names
// the handles the bridge dropped since the last call; they are released first.
// Results: "S" + text for plain texts, else "J" + JSON {r, t, h} where h lists the ids
// created by the call (so that the bridge can release them when the result comes late),
// or {x: message} after an exception.
const char kAgent[] = R"JS((function () {
  'use strict';
  var own = Object.getOwnPropertyDescriptor(window, '__tessaroAgent');
  if (own && own.value && typeof own.value.run === 'function') return;

  var getOwn = Object.getOwnPropertyDescriptor, protoOf = Object.getPrototypeOf;
  function getter(proto, name) {
    for (var p = proto; p; p = protoOf(p)) {
      var d = getOwn(p, name);
      if (d) return d.get;
    }
    return null;
  }
  var docBody = getter(Document.prototype, 'body');
  var docRoot = getter(Document.prototype, 'documentElement');
  var docView = getter(Document.prototype, 'defaultView');
  var docById = Document.prototype.getElementById;
  var docQSA = Document.prototype.querySelectorAll;
  var docCreate = Document.prototype.createElement;
  var elTags = Element.prototype.getElementsByTagName;
  var elQSA = Element.prototype.querySelectorAll;
  var elAttr = Element.prototype.getAttribute;
  var elOuter = getter(Element.prototype, 'outerHTML');
  var elRect = Element.prototype.getBoundingClientRect;
  var nodeConnected = getter(Node.prototype, 'isConnected');
  var nodeDoc = getter(Node.prototype, 'ownerDocument');
  var clickFn = HTMLElement.prototype.click;
  var dispatchFn = EventTarget.prototype.dispatchEvent;
  var topDoc = document;

  var token = (function () {
    var s = '';
    try {
      var a = new Uint32Array(4);
      crypto.getRandomValues(a);
      for (var i = 0; i < a.length; i++) s += a[i].toString(36);
    } catch (e) {
      s = Math.random().toString(36).slice(2) + Math.random().toString(36).slice(2);
    }
    return s + Date.now().toString(36);
  })();

  var table = new Map(), nextId = 1, created = [];
  function put(o) {
    var id = nextId++;
    table.set(id, o);
    created.push(id);
    return id;
  }
  function get(h) {
    if (!h || h[0] !== token) return null;
    var o = table.get(h[1]);
    return o === undefined ? null : o;
  }

  function docAlive(d) {
    try { return docView.call(d) != null; } catch (e) { return false; }
  }
  // Still in a document that is shown (not removed, not of a frame that navigated).
  function alive(el) {
    try { return nodeConnected.call(el) && docView.call(nodeDoc.call(el)) != null; }
    catch (e) { return false; }
  }

  function str(v) {
    if (typeof v === 'string') return v;
    if (v == null) return '';
    if (typeof v === 'object' && typeof v.baseVal === 'string') return v.baseVal;  // SVG
    return String(v);
  }
  // An element's property as the old engine showed it; "name" falls back to the attribute
  // on elements without such a property (div, table, span); a textarea's innerText is the
  // text it shows.
  function prop(el, name) {
    var v;
    try {
      // The engine renders a textarea's text outside its innerText; the old one did not.
      v = name === 'innerText' && el.localName === 'textarea' ? el.value : el[name];
    } catch (e) { return ''; }
    if (v === undefined && name === 'name') {
      try { v = elAttr.call(el, 'name'); } catch (e) { v = null; }
    }
    return str(v);
  }
  // An input's type as the old engine reported it: it knew these types only and called
  // every other one (email, tel, number, search, url, date, ...) "text", as it does a
  // missing type.
  var LEGACY_TYPES = {text: 1, password: 1, checkbox: 1, radio: 1, submit: 1, reset: 1,
                      file: 1, hidden: 1, image: 1, button: 1};
  function legacyType(el) {
    var t = str(el.type).toLowerCase();
    return LEGACY_TYPES[t] === 1 ? t : 'text';
  }
  function keyNumber(key) {
    return /^\s*\+?[0-9]+\s*$/.test(key) ? parseInt(key, 10) : 0;
  }

  // ---- capture --------------------------------------------------------------------
  // Collection order: divs, buttons, tables, radios, checkboxes, text boxes, selects,
  // links, hidden fields, images, textareas, frames, forms, spans, list items, cites,
  // image inputs, titled links.
  var DIVS = 0, BUTTONS = 1, TABLES = 2, RADIOS = 3, CHECKBOXES = 4, TEXTBOXES = 5,
      SELECTS = 6, LINKS = 7, HIDDEN = 8, IMAGES = 9, TEXTAREAS = 10, FRAMES = 11,
      FORMS = 12, SPANS = 13, LIS = 14, CITES = 15, IMAGE_INPUTS = 16, TITLED = 17,
      NCOLL = 18;

  function addTag(body, tag, list) {
    var c = elTags.call(body, tag);
    for (var i = 0, n = c.length; i < n; i++) list.push(c[i]);
  }
  function frameDocument(w) {
    try { var d = w.document; return d && docAlive(d) ? d : null; } catch (e) { return null; }
  }
  function captureDocument(doc, C) {
    var body;
    try { body = docBody.call(doc); } catch (e) { return; }
    if (!body) return;
    var inputs = elTags.call(body, 'input');
    for (var i = 0, n = inputs.length; i < n; i++) {
      var el = inputs[i], t = legacyType(el);
      if (t === 'button' || t === 'submit' || t === 'reset') C[BUTTONS].push(el);
      else if (t === 'radio') C[RADIOS].push(el);
      else if (t === 'checkbox') C[CHECKBOXES].push(el);
      else if (t === 'text' || t === 'password' || t === 'file') C[TEXTBOXES].push(el);
      else if (t === 'hidden') C[HIDDEN].push(el);
      else if (t === 'image') C[IMAGE_INPUTS].push(el);
    }
    var fr = docQSA.call(doc, 'iframe,frame');
    for (var f = 0; f < fr.length; f++) {
      var w = null;
      try { w = fr[f].contentWindow; } catch (e) { w = null; }
      if (w) C[FRAMES].push(w);
    }
    addTag(body, 'form', C[FORMS]);
    addTag(body, 'img', C[IMAGES]);
    addTag(body, 'button', C[BUTTONS]);
    addTag(body, 'table', C[TABLES]);
    addTag(body, 'select', C[SELECTS]);
    addTag(body, 'textarea', C[TEXTAREAS]);
    var links = elTags.call(body, 'a');
    for (var k = 0, m = links.length; k < m; k++) {
      var a = links[k];
      C[LINKS].push(a);
      if (prop(a, 'title') !== '') C[TITLED].push(a);
    }
    addTag(body, 'div', C[DIVS]);
    addTag(body, 'span', C[SPANS]);
    addTag(body, 'li', C[LIS]);
    addTag(body, 'cite', C[CITES]);
  }
  function capture() {
    var C = [];
    for (var i = 0; i < NCOLL; i++) C.push([]);
    captureDocument(topDoc, C);
    var frames = C[FRAMES], initial = frames.length, walked = 0;
    // Depth first in document order: each frame is captured, then the frames it added
    // to the end of the list are walked at once.
    function walk(from, to) {
      for (var j = from; j < to; j++) {
        var d = frameDocument(frames[j]);
        if (d) captureDocument(d, C);
        var added = frames.length - initial - walked;
        if (added >= 1) {
          walked += added;
          walk(frames.length - added, frames.length);
        }
      }
    }
    walk(0, initial);
    var ids = [], sizes = [];
    for (var c = 0; c < NCOLL; c++) {
      ids.push(put(C[c]));
      sizes.push(C[c].length);
    }
    return {t: token, doc: put(topDoc), c: ids, n: sizes, fw: walked, fi: initial};
  }

  // ---- snapshot operations (keyed loop) -------------------------------------------
  function click(el) { clickFn.call(el); return true; }
  function setValue(el, text) { el.value = text; return true; }
  function readValue(el) { return str(el.value); }
  // Option number n selects index n - 1: 0 clears the selection, and an index beyond
  // the options is left to the engine (which clears it too).
  function selectAt(el, text, n) {
    el.selectedIndex = n - 1;
    return true;
  }
  var TNI = ['title', 'name', 'id'], VNI = ['value', 'name', 'id'];
  var SNAP = {
    click_button: {a: VNI, act: click, none: false},
    set_textbox_text: {a: TNI, act: setValue, none: false, all: true},
    get_textbox_text: {a: TNI, act: readValue, none: ''},
    set_textarea_text: {a: TNI, act: setValue, none: false},
    check_radio: {a: TNI, act: function (el) { el.checked = true; return true; }, none: false},
    click_checkbox: {a: VNI, act: click, none: false},
    uncheck_checkbox: {a: TNI, act: function (el) { el.checked = false; return true; }, none: false},
    select_option: {a: TNI, act: selectAt, none: false, all: true},
    get_selected_index: {a: TNI, act: function (el) { return el.selectedIndex | 0; }, none: 0},
    count_options: {a: TNI, act: function (el) { return el.options ? el.options.length : 0; }, none: 0},
    get_option_text: {a: TNI, none: '', act: function (el, text, n) {
      var o = el.options;
      return o && n >= 1 && n <= o.length ? str(o[n - 1].text) : '';
    }},
    get_select_name: {a: TNI, act: function (el) { return prop(el, 'name'); }, none: ''},
    click_link: {a: TNI, href: true, act: click, none: false},
    get_table_text: {a: TNI, act: function (el) { return str(el.outerText); }, none: ''}
  };
  function matches(el, attrs, key, href) {
    for (var i = 0; i < attrs.length; i++) if (prop(el, attrs[i]) === key) return true;
    return href ? prop(el, 'href').indexOf(key) >= 0 : false;
  }
  function act(op, el, text, extra) {
    try { return op.act(el, text, extra); } catch (e) { return op.none; }
  }
  function snap(name, collHandle, key, text, occurrence, extra) {
    var op = SNAP[name], coll = get(collHandle);
    if (!op || !coll) return null;
    key = str(key);
    var occ = occurrence >= 1 ? occurrence : 1;
    var res = {v: op.none, d: 0};
    var n = keyNumber(key);
    if (n >= 1 && n <= coll.length) {
      var target = coll[n - 1];
      if (alive(target)) { res.v = act(op, target, text, extra); res.d++; }
      if (!op.all) return res;
    }
    var count = 0;
    for (var i = 0, len = coll.length; i < len; i++) {
      var el = coll[i];
      if (!matches(el, op.a, key, op.href) || !alive(el)) continue;
      if (++count >= occ) {
        res.v = act(op, el, text, extra);
        res.d++;
        if (!op.all) return res;
      }
    }
    return res;
  }
  function item(collHandle, n) {
    var coll = get(collHandle);
    if (!coll || !(n >= 1 && n <= coll.length)) return 0;
    return put(coll[n - 1]);
  }

  // ---- events ---------------------------------------------------------------------
  var MOUSE = {click: 1, dblclick: 1, mousedown: 1, mouseup: 1, mouseover: 1, mouseout: 1,
               mousemove: 1, mouseenter: 1, mouseleave: 1, contextmenu: 1};
  var KEYS = {keydown: 1, keyup: 1, keypress: 1};
  var FOCUS = {focus: 1, blur: 1, focusin: 1, focusout: 1};
  var QUIET = {focus: 1, blur: 1, load: 1, unload: 1, mouseenter: 1, mouseleave: 1,
               scroll: 1, error: 1, abort: 1};
  function fireOn(el, name) {
    var t = str(name).toLowerCase();
    if (t.slice(0, 2) === 'on') t = t.slice(2);
    if (!t) return false;
    var init = {bubbles: !QUIET[t], cancelable: true};
    var ev = MOUSE[t] ? new MouseEvent(t, init) : KEYS[t] ? new KeyboardEvent(t, init)
           : FOCUS[t] ? new FocusEvent(t, init) : new Event(t, init);
    dispatchFn.call(el, ev);
    return true;
  }
  function fire(h, name) {
    var el = get(h);
    if (!el || !alive(el)) return false;
    try { return fireOn(el, name); } catch (e) { return false; }
  }

  // ---- document operations --------------------------------------------------------
  function byId(docHandle, id) {
    var d = get(docHandle);
    if (!d || !docAlive(d)) return 0;
    var el = docById.call(d, str(id));
    return el ? put(el) : 0;
  }
  function setElementValue(h, text) {
    var el = get(h);
    if (!el || !alive(el)) return false;
    try { el.value = text; return true; } catch (e) { return false; }
  }
  function bodyHtml(docHandle) {
    var d = get(docHandle);
    if (!d || !docAlive(d)) return '';
    var b = docBody.call(d);
    return b ? elOuter.call(b) : '';
  }

  // ---- live finders ---------------------------------------------------------------
  // lists: [{c: collection or a function making it, accept: fn or null}]; matched
  // elements pass skip first; an element whose count equals the numeric key is taken when
  // no attribute matched.
  function find(lists, match, key, skip) {
    key = str(key);
    var n = keyNumber(key);
    for (var l = 0; l < lists.length; l++) {
      var c = lists[l].c, accept = lists[l].accept, count = 0;
      if (typeof c === 'function') c = c();  // made only when the lists before found nothing
      for (var i = 0, len = c.length; i < len; i++) {
        var el = c[i];
        if (accept && !accept(el)) continue;
        count++;
        if (match(el, key)) {
          if (skip <= 0) return el;
          skip--;
        } else if (n === count) {
          return el;
        }
      }
    }
    return null;
  }
  function eqAny(attrs) {
    return function (el, key) {
      for (var i = 0; i < attrs.length; i++) if (prop(el, attrs[i]) === key) return true;
      return false;
    };
  }
  var NIT = eqAny(['name', 'id', 'title']);
  function liveBody() { return docBody.call(topDoc); }
  function inputFinder(types, key, skip) {
    var body = liveBody();
    if (!body) return null;
    key = str(key);
    // Button elements have no legacy mapping: their type is always one of the three.
    var accept = function (el) {
      return types.indexOf(el.localName === 'input' ? legacyType(el) : str(el.type)) >= 0;
    };
    var tags = types.indexOf('button') >= 0 ? ['input', 'button'] : ['input'];
    if (key !== '' && keyNumber(key) === 0) {
      // No ordinal can match: only the elements whose name, id or title equals the key
      // matter (these properties reflect their attributes), in document order.
      var e = '"' + CSS.escape(key) + '"';
      var lists = tags.map(function (tag) {
        var sel = tag + ':is([name=' + e + '],[id=' + e + '],[title=' + e + '])';
        return {c: function () { return elQSA.call(body, sel); }, accept: accept};
      });
      return find(lists, NIT, key, skip);
    }
    var all = [];
    for (var u = 0; u < tags.length; u++) all.push({c: elTags.call(body, tags[u]), accept: accept});
    return find(all, NIT, key, skip);
  }
  function textareaFinder(key, skip) {
    var body = liveBody();
    if (!body) return null;
    return find([{c: elTags.call(body, 'textarea')}],
                eqAny(['innerText', 'className', 'id', 'title']), key, skip);
  }
  function linkFinder(key, skip) {
    var body = liveBody();
    if (!body) return null;
    return find([{c: elTags.call(body, 'a')}],
                eqAny(['href', 'id', 'title', 'innerText', 'className']), key, skip);
  }
  function imageFinder(key, skip) {
    var body = liveBody();
    if (!body) return null;
    var match = function (el, k) { return prop(el, 'src').indexOf(k) >= 0 || NIT(el, k); };
    return find([{c: elTags.call(body, 'input'), accept: function (el) { return legacyType(el) === 'image'; }},
                 {c: elTags.call(body, 'img')}], match, key, skip);
  }

  function base64(bytes) {
    var s = '', CH = 0x8000;
    for (var i = 0; i < bytes.length; i += CH)
      s += String.fromCharCode.apply(null, bytes.subarray(i, i + CH));
    return btoa(s);
  }
  // The picture the element shows now, never fetched again: drawn at its natural size
  // (on white) when readable, else the rectangle it covers in the view.
  function picture(el) {
    var r = elRect.call(el), rect = [r.left, r.top, r.width, r.height];
    if (el.localName === 'img') {
      if (!el.complete || !(el.naturalWidth > 0)) return null;
      try {
        var w = el.naturalWidth, h = el.naturalHeight;
        var cv = docCreate.call(topDoc, 'canvas');
        cv.width = w;
        cv.height = h;
        var ctx = cv.getContext('2d');
        ctx.fillStyle = '#ffffff';
        ctx.fillRect(0, 0, w, h);
        ctx.drawImage(el, 0, 0, w, h);
        return {w: w, h: h, d: base64(ctx.getImageData(0, 0, w, h).data)};
      } catch (e) {
        return {rect: rect};  // another origin: the canvas is tainted
      }
    }
    return {rect: rect};
  }

  var LIVE = {
    set_input: function (key, text, skip) {
      var el = inputFinder('text|password|file', key, skip);
      if (!el) return false;
      try { el.value = text; } catch (e) {}
      return true;
    },
    set_textarea: function (key, text, skip) {
      var el = textareaFinder(key, skip);
      if (!el) return false;
      try { el.value = text; } catch (e) {}
      return true;
    },
    check_radio: function (key, text, skip, flag) {
      var el = inputFinder('radio', key, skip);
      if (!el) return false;
      try { el.checked = true; } catch (e) {}
      if (flag) { try { fireOn(el, 'onmousedown'); } catch (e) {} }
      return true;
    },
    click_button: function (key, text, skip) {
      var el = inputFinder('button|submit|reset', key, skip);
      if (!el) return false;
      try { clickFn.call(el); } catch (e) {}
      return true;
    },
    click_link: function (key, text, skip, flag) {
      var el = linkFinder(key, skip);
      if (!el) return false;
      try { if (flag) el.target = ''; clickFn.call(el); } catch (e) {}
      return true;
    },
    image: function (key) {
      var el = imageFinder(key, 0);
      return el ? picture(el) : null;
    }
  };
  function live(tok, name, key, text, skip, flag) {
    if (tok !== token || !LIVE[name]) return null;
    return LIVE[name](key, text, skip | 0, !!flag);
  }
  function liveHtml(tok) {
    if (tok !== token) return '';
    var root = docRoot.call(topDoc);
    return root ? elOuter.call(root) : '';
  }

  // ---- page probe -----------------------------------------------------------------
  // The documents shown (the top one, then every reachable frame's, depth first), each
  // with an identity that stays while it is shown and changes with every load, its ready
  // state and address; per key the documents holding an element of that id, name, title
  // or value (or a link or button of that text); per select key its selected index
  // there (-1: not in that document); login: a document holds the login form.
  var docReady = getter(Document.prototype, 'readyState');
  var docUrl = getter(Document.prototype, 'URL');
  var nodeText = getter(HTMLElement.prototype, 'innerText');
  var docSerials = new WeakMap(), nextDoc = 1;
  function docIdentity(d) {
    var s = docSerials.get(d);
    if (!s) { s = nextDoc++; docSerials.set(d, s); }
    return token + ':' + s;
  }
  function holds(d, key) {
    var e = '"' + CSS.escape(key) + '"';
    var sel = '[id=' + e + '],[name=' + e + '],[title=' + e + '],input[value=' + e + ']';
    try { if (docQSA.call(d, sel).length > 0) return true; } catch (x) { return false; }
    var texts = docQSA.call(d, 'a,button');
    for (var i = 0, n = texts.length; i < n; i++) {
      var t = '';
      try { t = str(nodeText.call(texts[i])).trim(); } catch (x) { t = ''; }
      if (t === key) return true;
    }
    return false;
  }
  function selectedIn(d, key) {
    var e = '"' + CSS.escape(key) + '"';
    var s = null;
    try { s = docQSA.call(d, 'select[id=' + e + '],select[name=' + e + ']')[0]; } catch (x) { s = null; }
    return s ? (s.selectedIndex | 0) : -1;
  }
  function probe(keys, selects) {
    keys = keys || [];
    selects = selects || [];
    var docs = [], seen = [];
    function visit(d) {
      if (!d || seen.indexOf(d) >= 0 || !docAlive(d)) return;
      seen.push(d);
      var entry = {i: docIdentity(d), r: str(docReady.call(d)), u: str(docUrl.call(d)), k: [], s: [],
                   login: holds(d, 'UserName') && holds(d, 'Password2')};
      for (var k = 0; k < keys.length; k++) entry.k.push(holds(d, str(keys[k])));
      for (var j = 0; j < selects.length; j++) entry.s.push(selectedIn(d, str(selects[j])));
      docs.push(entry);
      var fr = [];
      try { fr = docQSA.call(d, 'iframe,frame'); } catch (x) { fr = []; }
      for (var f = 0; f < fr.length; f++) {
        var w = null;
        try { w = fr[f].contentWindow; } catch (x) { w = null; }
        if (w) visit(frameDocument(w));
      }
    }
    visit(topDoc);
    return docs;
  }

  var OPS = Object.create(null);
  OPS.probe = probe;
  OPS.token = function () { return token; };
  OPS.size = function () { return table.size; };
  OPS.capture = capture;
  OPS.snap = snap;
  OPS.item = item;
  OPS.fire = fire;
  OPS.by_id = byId;
  OPS.set_value = setElementValue;
  OPS.body_html = bodyHtml;
  OPS.live = live;
  OPS.live_html = liveHtml;

  function run(fn, args, releases) {
    if (releases) {
      for (var i = 0; i < releases.length; i++) {
        var rel = releases[i];
        if (rel && rel[0] === token) table.delete(rel[1]);
      }
    }
    created = [];
    var f = OPS[fn];
    try {
      if (!f) throw new Error('no operation ' + fn);
      var r = f.apply(null, args || []);
      if (typeof r === 'string') return 'S' + r;
      return 'J' + JSON.stringify({r: r === undefined ? null : r, t: token, h: created});
    } catch (e) {
      return 'J' + JSON.stringify({x: String(e && e.message || e), t: token, h: created});
    }
  }

  Object.defineProperty(window, '__tessaroAgent', {
    value: Object.freeze({run: run}), configurable: false, enumerable: false, writable: false
  });
})();
)JS";

}  // namespace

const QString& agent_script_source() {
  static const QString source = QString::fromUtf8(kAgent);
  return source;
}

}  // namespace platform
