#pragma once
// The scripts the browser host puts into every frame of every page. GUI thread.

namespace platform {

// Runs in the page's own world at document start: defines window.external, whose members are
// looked up and called through the host's prompt channel. @MARKER@ is replaced by the
// channel's private marker.
//
// Requests (the prompt's default text): "G<name>" reads a member, "H<name>" looks one up,
// "I<dispid>;<count>;<arg>..." calls one, "P<dispid>;<arg>" sets one. Answers: "N" (no such
// member), "F<dispid>;<value>", "R<value>", "E" (the call failed). Values: "s<text>", "n<number>",
// "b0"/"b1", "z" (null), "u" (nothing), "o" (an object). Texts escape every code unit outside
// printable ASCII, and '\' and ';', as \uXXXX, so that NULs and lone surrogates pass whole.
inline constexpr char kExternalScript[] = R"JS((function () {
  'use strict';
  const marker = '@MARKER@';
  const apply = Reflect.apply, ask = window.prompt, charCodeAt = String.prototype.charCodeAt;
  const fromCharCode = String.fromCharCode, parse = Number.parseInt, toNumber = Number;
  const hex = (c) => { const h = '000' + apply(Number.prototype.toString, c, [16]); return h.substring(h.length - 4); };
  const escape = (s) => {
    let out = '';
    for (let i = 0; i < s.length; i++) {
      const c = apply(charCodeAt, s, [i]);
      out += (c >= 0x20 && c <= 0x7e && c !== 0x5c && c !== 0x3b) ? fromCharCode(c) : '\\u' + hex(c);
    }
    return out;
  };
  const unescape = (s) => {
    let out = '';
    for (let i = 0; i < s.length; i++) {
      if (s[i] === '\\' && s[i + 1] === 'u') { out += fromCharCode(parse(s.substring(i + 2, i + 6), 16)); i += 5; }
      else out += s[i];
    }
    return out;
  };
  const encode = (v) => {
    switch (typeof v) {
      case 'string': return 's' + escape(v);
      case 'number': return 'n' + v;
      case 'boolean': return v ? 'b1' : 'b0';
      case 'undefined': return 'u';
      default: return v === null ? 'z' : 'o';
    }
  };
  const decode = (v) => {
    switch (v[0]) {
      case 's': return unescape(v.substring(1));
      case 'n': return toNumber(v.substring(1));
      case 'b': return v[1] === '1';
      case 'z': return null;
      default: return undefined;
    }
  };
  const send = (request) => apply(ask, window, [marker, request]);
  const failed = () => { throw new Error('window.external: the call failed'); };
  const method = (dispid) => function () {
    let request = 'I' + dispid + ';' + arguments.length;
    for (let i = 0; i < arguments.length; i++) request += ';' + encode(arguments[i]);
    const answer = send(request);
    if (answer === null || answer[0] !== 'R') failed();
    return decode(answer.substring(1));
  };
  const lookUp = (op, name) => {
    if (typeof name !== 'string') return null;
    const answer = send(op + escape(name));
    if (answer === null || answer[0] !== 'F') return null;
    const end = answer.indexOf(';');
    return end < 0 ? { dispid: answer.substring(1) } : { dispid: answer.substring(1, end), value: answer.substring(end + 1) };
  };
  const target = Object.freeze(Object.create(null));
  const external = new Proxy(target, {
    get(t, name) {
      const member = lookUp('G', name);
      if (!member) return undefined;
      return member.value === 'u' ? method(member.dispid) : decode(member.value);
    },
    set(t, name, value) {
      const member = lookUp('H', name);
      if (member) send('P' + member.dispid + ';' + encode(value));
      return true;
    },
    has(t, name) { return lookUp('H', name) !== null; },
    deleteProperty() { return false; },
    defineProperty() { return false; },
  });
  try {
    Object.defineProperty(window, 'external', { value: external, enumerable: true, configurable: false, writable: false });
  } catch (e) {}
})();)JS";

// Runs in the host's own world in every frame: reports where each frame arrived and when its
// document completed, keeps the top-level document's anchors by handle for connections, and
// reports clicks on connected anchors. Messages are JSON texts sent as "M<json>" over the prompt
// channel (@MARKER@ as for window.external), which carries plain text: the host never has to
// hold a script value, and with it a script engine of its own.
inline constexpr char kPageScript[] = R"JS((function () {
  'use strict';
  const marker = '@MARKER@', ask = window.prompt, apply = Reflect.apply, stringify = JSON.stringify;
  const post = (m) => { apply(ask, window, [marker, 'M' + stringify(m)]); };
  const isTop = window === window.top;
  post({ t: 'navigate', url: location.href, top: isTop });
  if (!isTop) {
    window.addEventListener('load', () => post({ t: 'complete', url: location.href, top: false }));
    return;
  }
  const ids = new WeakMap(), anchors = new Map(), listeners = new Map();
  let nextId = 1;
  const idOf = (e) => {
    let id = ids.get(e);
    if (!id) { id = nextId++; ids.set(e, id); anchors.set(id, new WeakRef(e)); }
    return id;
  };
  const describe = (e) => {
    const anchor = e instanceof HTMLAnchorElement;
    return { tag: e.tagName, anchor: anchor, href: anchor ? e.href : '', id: anchor ? idOf(e) : 0 };
  };
  const snapshot = () => {
    const all = document.getElementsByTagName('*'), elements = [];
    for (let i = 0; i < all.length; i++) elements.push(describe(all[i]));
    return { url: location.href, elements: elements };
  };
  globalThis.qarvelleHost = {
    sendSnapshot(id) { post({ t: 'snapshot', id: id, doc: snapshot() }); },
    connect(id, cookie) {
      const ref = anchors.get(id), e = ref && ref.deref();
      if (!e) return false;
      const listener = (event) => post({ t: 'click', cookie: cookie,
        src: event.target instanceof Element ? describe(event.target) : null });
      e.addEventListener('click', listener);
      listeners.set(cookie, { ref: ref, listener: listener });
      return true;
    },
    disconnect(cookie) {
      const entry = listeners.get(cookie);
      if (!entry) return false;
      const e = entry.ref.deref();
      if (e) e.removeEventListener('click', entry.listener);
      listeners.delete(cookie);
      return true;
    },
  };
  window.addEventListener('load', () => post({ t: 'complete', url: location.href, top: true, doc: snapshot() }));
})();)JS";

inline constexpr char kPageWorld[] = "qarvelle";

// Shown in place of a response the browser cannot show as a page.
inline constexpr char kUnshowablePage[] =
    "<!doctype html><meta charset=\"utf-8\"><body style=\"margin:0;display:flex;height:100vh;"
    "align-items:center;justify-content:center;background:#1a1210;color:#e8d3a8;"
    "font:16px sans-serif\">登录页面无法显示，请稍后重试。</body>";

// Shown when the login server takes the connection and never answers; @URL@ is the address.
inline constexpr char kTimedOutPage[] =
    "<!doctype html><meta charset=\"utf-8\"><body style=\"margin:0;display:flex;height:100vh;"
    "flex-direction:column;align-items:center;justify-content:center;background:#1a1210;"
    "color:#e8d3a8;font:16px sans-serif\"><p>登录服务器没有响应，请稍后重试。</p>"
    "<p><a href=\"@URL@\" style=\"color:#f0d474\">重试</a></p></body>";

// Keeps the top-level document from scrolling and from showing scroll bars.
inline constexpr char kNoScrollStyle[] = "html { overflow: hidden !important; }";

}  // namespace platform
