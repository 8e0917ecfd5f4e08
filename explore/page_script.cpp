#include "explore/page_script.h"

namespace lumera {

const char* const kPageScript = R"js('use strict';
// Start(page) lays the decoded bytes out, given
//   hex     true for a hex grid of 16 bytes a row, false for text
//   row     the height of a row in pixels
//   block   the bytes of a block of the strip; strip: one shade a block, as digits
//   costly  the costly regions, [begin, end, begin, end, ...]
//   shades  two shades a byte, in base64; events: the event records, in base64
//   bytes   the decoded bytes
// and builds only the rows near the screen, again whenever the page scrolls past them.
function Base64(text) {
  const s = atob(text), bytes = new Uint8Array(s.length);
  for (let i = 0; i < s.length; ++i) bytes[i] = s.charCodeAt(i);
  return bytes;
}

function Utf8(text) {
  return new TextEncoder().encode(text);
}

// The number of items of the sorted list that are at most x.
function Count(list, x) {
  let low = 0, high = list.length;
  while (low < high) {
    const mid = (low + high) >> 1;
    if (list[mid] <= x) low = mid + 1; else high = mid;
  }
  return low;
}

// Each event's first byte and fields, from its record: unsigned LEB128 numbers, depth * 3
// + kind, bits, info in hundredths less 100 * bits (zigzag), and for a repeat code, len
// and out - from (zigzag). A record takes 3 bytes or more.
function Events(records) {
  const most = Math.ceil(records.length / 3), e = {
    out: new Float64Array(most), kind: new Uint8Array(most), depth: new Uint32Array(most),
    bits: new Float64Array(most), info: new Float64Array(most), code: new Uint32Array(most),
    from: new Float64Array(most), len: new Float64Array(most)};
  let at = 0, out = 0, n = 0;
  const number = () => {
    let value = 0, scale = 1, byte;
    do {
      byte = records[at++];
      value += (byte & 127) * scale;
      scale *= 128;
    } while (byte > 127);
    return value;
  };
  const signed = () => {
    const value = number();
    return value % 2 ? -(value + 1) / 2 : value / 2;
  };
  for (; at < records.length; ++n) {
    const head = number(), kind = head % 3, bits = number();
    e.out[n] = out;
    e.kind[n] = kind;
    e.depth[n] = (head - kind) / 3;
    e.bits[n] = bits;
    e.info[n] = signed() + 100 * bits;
    e.len[n] = 1;
    if (kind === 2) {
      e.code[n] = number();
      e.len[n] = number();
      e.from[n] = out - signed();
    }
    out += e.len[n];
  }
  for (const field in e) e[field] = e[field].subarray(0, n);
  return e;
}

// The first byte of each row, then the end. A row of text ends after a line feed or at
// 120 bytes.
function RowStarts(bytes, hex) {
  const starts = [0], most = hex ? 16 : 120;
  for (let i = 0, begin = 0; i < bytes.length; ++i) {
    if (i + 1 - begin === most || (!hex && bytes[i] === 10)) starts.push(begin = i + 1);
  }
  if (starts[starts.length - 1] !== bytes.length) starts.push(bytes.length);
  return starts;
}

// How each byte value shows: in the grid as hex; in text as itself, the line feed with a
// visible mark, and a control or non-ASCII byte as boxed hex.
function Glyphs(hex) {
  const glyphs = [], entities = {9: '\t', 10: '\u21b5', 38: '&amp;', 60: '&lt;', 62: '&gt;'};
  for (let c = 0; c < 256; ++c) {
    const code = c.toString(16).toUpperCase().padStart(2, '0');
    if (hex) glyphs.push(code + ' ');
    else if (c in entities) glyphs.push(entities[c]);
    else glyphs.push(c >= 32 && c < 127 ? String.fromCharCode(c) : '<b>' + code + '</b>');
  }
  return glyphs;
}

function Start(page) {
  const $ = id => document.getElementById(id);
  const T = $('t'), V = $('v'), K = $('k'), Q = $('q'), M = $('m'), Z = $('z'), Y = $('y');
  const P = $('p'), B = page.bytes, H = page.row, E = Events(Base64(page.events));
  const packed = Base64(page.shades), S = new Uint8Array(B.length);
  for (let i = 0; i < B.length; ++i) S[i] = packed[i >> 1] >> (i & 1) * 4 & 15;
  const rows = RowStarts(B, page.hex), count = rows.length - 1, glyphs = Glyphs(page.hex);
  const costly = page.costly.filter((_, i) => i % 2 === 0), spare = 40;
  const width = page.hex ? Math.max(8, B.length.toString(16).length) : String(B.length).length;
  const offset = o => page.hex ? o.toString(16).toUpperCase().padStart(width, '0')
                               : String(o).padStart(width);
  const kinds = ['literal', 'literal (escaped)', 'repeat'];
  let matches = [], matchBytes = 0, mark = -1, laid = [0, 0], here = 0, hereY = NaN;

  const Say = text => { M.textContent = text; };
  const EventAt = o => Count(E.out, o) - 1;

  // A row: its offset, then one element for each piece of an event that has one shade
  // and lies wholly inside or outside a match; the marked byte is a piece of its own.
  function RowHtml(r) {
    const begin = rows[r], end = rows[r + 1];
    let html = '<div data-o=' + begin + '><span class=n>' + offset(begin) + ' </span>';
    for (let i = begin; i < end;) {
      const k = EventAt(i), m = Count(matches, i) - 1;
      const found = m >= 0 && i < matches[m] + matchBytes;
      const matchEnd = found ? matches[m] + matchBytes : m + 1 < matches.length ? matches[m + 1] : end;
      const stop = Math.min(end, E.out[k] + E.len[k], matchEnd, i < mark ? mark : i === mark ? i + 1 : end);
      let j = i + 1;
      while (j < stop && S[j] === S[i]) ++j;
      const tag = E.kind[k] === 2 ? 'u' : 'i';
      html += '<' + tag + ' class="c' + S[i] + (found ? ' h' : '') + (i === mark ? ' g' : '') +
              '" data-o=' + i + '>';
      for (; i < j; ++i) html += glyphs[B[i]];
      html += '</' + tag + '>';
    }
    return html + '</div>';
  }

  // The rows [first, last) that are at least partly on screen below the toolbar.
  function OnScreen() {
    const top = T.getBoundingClientRect().top, clear = Math.max(0, K.getBoundingClientRect().bottom);
    const row = y => Math.min(count, Math.max(0, y));
    return [row(Math.floor((clear - top) / H)), row(Math.ceil((innerHeight - top) / H))];
  }

  // Lays out the rows near the screen when those laid out do not cover it (or always,
  // again), and marks on the strip what is on screen.
  function Layout(again) {
    const [first, last] = OnScreen();
    if (again || first < laid[0] || last > laid[1]) {
      const from = Math.max(0, first - spare), to = Math.min(count, last + spare);
      let html = '';
      for (let r = from; r < to; ++r) html += RowHtml(r);
      V.style.top = from * H + 'px';
      V.innerHTML = html;
      laid = [from, to];
    }
    const scale = Z.clientHeight / Math.max(1, B.length);
    Y.style.top = rows[first] * scale + 'px';
    Y.style.height = Math.max(4, (rows[last] - rows[first]) * scale) + 'px';
  }

  // Scrolls the row of byte o to a quarter of the way down the screen below the toolbar.
  function Jump(o) {
    const clear = K.offsetHeight, top = T.getBoundingClientRect().top + scrollY;
    scrollTo(scrollX, top + (Count(rows, o) - 1) * H - clear - (innerHeight - clear) / 4);
    here = o;
    hereY = scrollY;
    Layout(true);
  }

  // Where the keys and the search go on from: the byte last jumped to while the page is
  // still there, else the first byte on screen.
  const Here = () => scrollY === hereY ? here : rows[OnScreen()[0]];

  // Jumps to the next (step 1) or previous (-1) offset of the sorted list from Here(), or
  // to the first at or after it (0), going round at either end.
  function Step(list, step, what) {
    if (!list.length) return Say('no ' + what);
    const at = Here(), n = list.length;
    const i = ((step > 0 ? Count(list, at) : Count(list, at - 1) + Math.min(step, 0)) + n) % n;
    Jump(list[i]);
    Say(what + ' ' + (i + 1) + ' of ' + n);
  }

  function Find(text) {
    const q = Utf8(text);
    matches = [];
    matchBytes = q.length;
    for (let i = q.length ? B.indexOf(q[0]) : -1; i >= 0; i = B.indexOf(q[0], i + 1)) {
      let j = 1;
      while (j < q.length && B[i + j] === q[j]) ++j;
      if (j === q.length) matches.push(i), i += j - 1;
    }
    Layout(true);
    if (text) Step(matches, 0, 'match'); else Say('');
  }

  function FromHash() {
    const m = /^#offset=(\d+)$/.exec(location.hash);
    if (!m || !B.length) return;
    mark = Math.min(Number(m[1]), B.length - 1);
    Jump(mark);
    Say(mark === Number(m[1]) ? 'offset ' + mark : 'offset ' + m[1] + ' is past the end');
  }

  function Describe(k) {
    return 'event ' + k + ' ' + kinds[E.kind[k]] + '  out ' + E.out[k] + '  depth ' + E.depth[k] +
           '  bits ' + E.bits[k] + '  info ' + (E.info[k] / 100).toFixed(2) +
           (E.kind[k] === 2 ? '  code ' + E.code[k] + '  from ' + E.from[k] + '  len ' + E.len[k] : '');
  }

  const Hide = () => { P.style.display = 'none'; };
  T.addEventListener('mouseover', e => {
    const x = e.target.closest('i,u');
    if (!x || !V.contains(x)) return Hide();
    P.textContent = Describe(EventAt(Number(x.dataset.o)));
    P.style.display = 'block';
  });
  T.addEventListener('mouseleave', Hide);
  V.addEventListener('click', e => {
    const n = e.target.closest('.n');
    if (!n) return;
    mark = Number(n.parentNode.dataset.o);
    history.replaceState(null, '', '#offset=' + mark);
    Layout(true);
    Say('this line: #offset=' + mark);
  });

  for (const shade of page.strip) Z.appendChild(document.createElement('div')).className = 'c' + shade;
  Z.addEventListener('click', e => {
    const i = Array.prototype.indexOf.call(Z.children, e.target);
    if (i >= 0) Jump(i * page.block);
  });

  addEventListener('keydown', e => {
    if (e.target === Q || e.ctrlKey || e.metaKey || e.altKey || (e.key !== 'n' && e.key !== 'p')) return;
    Step(costly, e.key === 'n' ? 1 : -1, 'costly region');
  });
  Q.addEventListener('input', () => Find(Q.value));
  Q.addEventListener('keydown', e => {
    if (e.key === 'Enter') Step(matches, e.shiftKey ? -1 : 1, 'match');
  });
  $('cp').addEventListener('click', () => navigator.clipboard.writeText(new TextDecoder().decode(B))
      .then(() => Say('copied ' + B.length + ' bytes as text'), err => Say('not copied: ' + err.message)));
  $('dl').addEventListener('click', () => Object.assign(document.createElement('a'),
      {href: URL.createObjectURL(new Blob([B])), download: $('dl').dataset.name}).click());

  T.style.height = count * H + 'px';
  T.dataset.events = E.out.length;
  Layout(true);
  FromHash();
  addEventListener('hashchange', FromHash);
  addEventListener('scroll', () => Layout(false), {passive: true});
  addEventListener('resize', () => Layout(true));
}
)js";

}  // namespace lumera
