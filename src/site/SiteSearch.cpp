#include "SiteSearch.h"

#include "db/TextSearch.h"
#include "db/Texts.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <utility>
#include <unistd.h>

namespace SiteSearch
{

namespace
{

constexpr int MaxShards = 1024;
// What is gathered in memory before it goes to a temporary file, by the
// last bits of each key's hash.
constexpr int Spills = 128;
constexpr size_t SpillChunk = 16 * 1024;

// Values in the index files: base 32, most significant first, every digit
// but the last one from the second half of the alphabet.
constexpr char Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

template <class Out> void putValue(Out &out, quint64 v)
{
    char digits[16];
    int n = 0;
    digits[n++] = Digits[v & 31];
    for (v >>= 5; v; v >>= 5)
        digits[n++] = Digits[32 + (v & 31)];
    while (n)
        out.push_back(digits[--n]);
}

// The gaps between a pair's positions in a field, after their count. A
// text that repeats itself (a sentence in every paragraph, a few lines in
// turn) puts a pair at distances that repeat: such gaps go as copies, "the
// next L gaps are those P before", and the count's last bit says so.
template <class Out> void putGaps(Out &out, const std::vector<quint32> &gaps)
{
    constexpr size_t Reach = 16;
    const size_t n = gaps.size();
    // (gap, 0) or (P, L) for a copy.
    static thread_local std::vector<std::pair<quint32, quint32>> items;
    items.clear();
    bool copies = false;
    for (size_t i = 0; i < n;) {
        size_t best = 0, from = 0;
        for (size_t p = 1; p <= std::min(i, Reach); ++p) {
            size_t l = 0;
            while (i + l < n && gaps[i + l] == gaps[i + l - p])
                ++l;
            if (l > best) {
                best = l;
                from = p;
            }
        }
        if (best >= 2) {
            items.push_back({quint32(from), quint32(best)});
            copies = true;
            i += best;
        } else {
            items.push_back({gaps[i++], 0});
        }
    }
    putValue(out, quint64(n - 1) * 2 + copies);
    for (const auto &[value, length] : items) {
        if (!copies) {
            putValue(out, value);
        } else if (length == 0) {
            putValue(out, quint64(value) * 2);
        } else {
            putValue(out, quint64(value - 1) * 2 + 1);
            putValue(out, length - 2);
        }
    }
}

// Temporary records: LEB128.
void putVarint(std::string &out, quint64 v)
{
    while (v >= 0x80) {
        out.push_back(char(0x80 | (v & 0x7F)));
        v >>= 7;
    }
    out.push_back(char(v));
}

quint64 getVarint(const char *&p)
{
    quint64 v = 0;
    for (int shift = 0;; shift += 7) {
        const uchar b = uchar(*p++);
        v |= quint64(b & 0x7F) << shift;
        if (!(b & 0x80))
            return v;
    }
}

// Past one record's postings of a key, their size first.
void skipPostings(const char *&p)
{
    const quint64 size = getVarint(p);
    p += size;
}

template <class Out> void putHex(Out &out, quint64 v)
{
    char digits[16];
    int n = 0;
    do {
        digits[n++] = "0123456789abcdef"[v & 15];
        v >>= 4;
    } while (v);
    while (n)
        out.push_back(digits[--n]);
}

// A text as a script's string literal; what CP932 cannot hold becomes a
// character reference when the file is encoded, which the results, shown
// as markup like the menu pages, show as the character.
void putString(QString &out, const QString &text)
{
    out.append(u'"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'"':
            out.append(QLatin1StringView("\\\""));
            break;
        case u'\\':
            out.append(QLatin1StringView("\\\\"));
            break;
        case u'\n':
            out.append(QLatin1StringView("\\n"));
            break;
        case u'\r':
            out.append(QLatin1StringView("\\r"));
            break;
        case 0x2028:
        case 0x2029:
            out.append(QLatin1StringView("\\u")).append(QString::number(c.unicode(), 16));
            break;
        default:
            if (c.unicode() < 0x20)
                out.append(QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0')));
            else
                out.append(c);
        }
    }
    out.append(u'"');
}

// A number as the script reads it exactly: beyond 2^53 as a string.
void putNumber(QString &out, qint64 no)
{
    constexpr qint64 Exact = qint64(1) << 53;
    if (no > -Exact && no < Exact)
        out.append(QString::number(no));
    else
        out.append(u'"' + QString::number(no) + u'"');
}

int tempFile()
{
    const QByteArray dir = QFile::encodeName(QDir::tempPath());
    int fd = ::open(dir.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
    QByteArray path = dir + "/wazuna-search-XXXXXX";
    fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(path.constData());
    return fd;
}

quint64 packed(char32_t first, qint64 second)
{
    return (quint64(first) << 32) | quint32(second + 1);
}

// The engine of search.html. Words are folded by the rules above and split
// at blanks; each must occur in the category, the question or the answer.
// A word of one character is looked up as such, a longer one by pairs of
// characters that cover it (at 0, 2, 4, ... and at its end), which must
// stand where the word puts them.
const char Engine[] = R"js(
var DIGITS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
var value = [];
for (var i = 0; i < 64; i++) value[DIGITS.charCodeAt(i)] = i;
var marks = {};
for (i = 0; i < MARKS.length; i += 3) marks[MARKS[i] + "_" + MARKS[i + 1]] = MARKS[i + 2];
var dead = {};
for (i = 0; i < DEAD.length; i++) dead[DEAD[i]] = true;

function foldPoint(c) {
  var lo = 0, hi = RUNS.length / 4 - 1;
  while (lo <= hi) {
    var mid = (lo + hi) >> 1;
    if (RUNS[mid * 4] <= c) lo = mid + 1; else hi = mid - 1;
  }
  if (hi < 0) return c;
  var d = c - RUNS[hi * 4], step = RUNS[hi * 4 + 2];
  return d % step == 0 && d / step < RUNS[hi * 4 + 1] ? c + RUNS[hi * 4 + 3] : c;
}
function words(text) {
  var all = [], word = [], i = 0, n = text.length;
  function end() { if (word.length) { var k = word.join(","); if (!all.some(function (w) { return w.join(",") == k; })) all.push(word); } word = []; }
  while (i < n) {
    var c = text.charCodeAt(i);
    if (c == 60 && i + 4 <= n && (text.charCodeAt(i + 1) | 32) == 98 &&
        (text.charCodeAt(i + 2) | 32) == 114 && text.charCodeAt(i + 3) == 62) {
      end(); i += 4; continue;
    }
    c = text.codePointAt(i);
    i += c > 0xFFFF ? 2 : 1;
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
    c = foldPoint(c);
    if (i < n) {
      var m = text.charCodeAt(i), v = marks[c + "_" + m];
      if (v) { c = v; i++; }
    }
    if (c == 32) end(); else word.push(c);
  }
  end();
  return all;
}
function hash(a, b) {
  var h = (Math.imul(a, 0x9E3779B1) + Math.imul(b + 1, 0x85EBCA77)) >>> 0;
  h ^= h >>> 15;
  h = Math.imul(h, 0x2C1B3C6D) >>> 0;
  h ^= h >>> 12;
  return (h >>> 0) & (SHARDS - 1);
}
function indexFile(s) { var t = s.toString(16); while (t.length < 3) t = "0" + t; return "search-index-" + t + ".js"; }
function listFile(b) { return "search-list-" + b + ".js"; }
function keyOf(a, b) { return b < 0 ? a.toString(16) : a.toString(16) + "_" + b.toString(16); }
function pageOf(no) {
  var s = String(no), sign = s.charAt(0) == "-";
  if (sign) s = s.slice(1);
  while (s.length < 3) s = "0" + s;
  return (sign ? "qa-" : "qa") + s + ".html";
}
function numbers(text) {
  var out = [], v = 0;
  for (var i = 0; i < text.length; i++) {
    var d = value[text.charCodeAt(i)];
    if (d >= 32) v = v * 32 + d - 32; else { out.push(v * 32 + d); v = 0; }
  }
  return out;
}

var index = {}, lists = {}, loaded = {};
window.wzIndex = function (s, keys) { index[s] = keys; };
window.wzList = function (b, docs) { lists[b] = docs; };
function load(names, done) {
  var left = 1, ok = true;
  function one() { if (--left == 0) done(ok); }
  names.forEach(function (name) {
    if (loaded[name]) return;
    loaded[name] = true;
    left++;
    var e = document.createElement("script");
    e.charset = "Shift_JIS";
    e.src = name;
    e.onload = one;
    e.onerror = function () { ok = false; loaded[name] = false; one(); };
    document.head.appendChild(e);
  });
  one();
}

// Where a pair stands: by record and field (record * 3 + field), its
// positions (their count, then the gaps, some as copies of earlier ones);
// for one character, the records and fields alone.
var decoded = {};
function postings(a, b) {
  var key = keyOf(a, b);
  if (key in decoded) return decoded[key];
  var text = (index[hash(a, b)] || {})[key], out = new Map();
  if (text !== undefined) {
    var v = numbers(text), i = 0, x;
    while (i < v.length) {
      x = v[i++];
      if (b < 0) { out.set(x, null); continue; }
      var head = v[i++], n = Math.floor(head / 2) + 1, gaps = new Array(n), k = 0;
      if (head % 2 == 0) {
        for (; k < n; k++) gaps[k] = v[i++];
      } else {
        while (k < n) {
          var item = v[i++];
          if (item % 2 == 0) { gaps[k++] = item / 2; continue; }
          var back = Math.floor(item / 2) + 1, length = v[i++] + 2;
          while (length--) { gaps[k] = gaps[k - back]; k++; }
        }
      }
      var at = -1, ps = new Array(n);
      for (k = 0; k < n; k++) { at += gaps[k] + 1; ps[k] = at; }
      out.set(x, ps);
    }
  }
  return decoded[key] = out;
}
function has(list, p) {
  var lo = 0, hi = list.length - 1;
  while (lo <= hi) {
    var mid = (lo + hi) >> 1;
    if (list[mid] == p) return true;
    if (list[mid] < p) lo = mid + 1; else hi = mid - 1;
  }
  return false;
}
function pairsOf(word) {
  if (word.length == 1) return [[word[0], -1, 0]];
  var pairs = [];
  for (var o = 0; o + 1 < word.length; o += 2) pairs.push([word[o], word[o + 1], o]);
  if (word.length % 2) pairs.push([word[word.length - 2], word[word.length - 1], word.length - 2]);
  return pairs;
}
// The records and fields that hold the word.
function where(pairs) {
  var lists = pairs.map(function (p) { return postings(p[0], p[1]); }), found = [];
  lists[0].forEach(function (first, x) {
    var others = [];
    for (var j = 1; j < lists.length; j++) {
      var list = lists[j].get(x);
      if (!list) return;
      others.push(list);
    }
    if (!others.length) { found.push(x); return; }
    for (var k = 0; k < first.length; k++) {
      var ok = true;
      for (j = 1; j < pairs.length && ok; j++) ok = has(others[j - 1], first[k] + pairs[j][2]);
      if (ok) { found.push(x); return; }
    }
  });
  return found;
}

var box = document.getElementById("wzq");
var count = document.getElementById("wzcount"), results = document.getElementById("wzresults");
var moreBox = document.getElementById("wzmore"), found = [], shown = [];
function say(text) { count.textContent = text; results.innerHTML = ""; moreBox.innerHTML = ""; }
function search(text) {
  var all = words(text);
  if (!all.length) { say(""); return; }
  var plans = all.map(pairsOf), files = {};
  plans.forEach(function (pairs) { pairs.forEach(function (p) { files[indexFile(hash(p[0], p[1]))] = 1; }); });
  say(SEARCHING);
  load(Object.keys(files), function (ok) {
    if (!ok) { say(NOT_LOADED); return; }
    var inAny = null, inQuestion = null;
    plans.forEach(function (pairs) {
      var any = {}, question = {};
      where(pairs).forEach(function (x) { var doc = (x / 3) | 0; any[doc] = 1; if (x % 3 == 1) question[doc] = 1; });
      inAny = inAny ? inAny.filter(function (d) { return any[d]; }) : Object.keys(any).map(Number);
      inQuestion = inQuestion ? inQuestion.filter(function (d) { return question[d]; }) : Object.keys(question).map(Number);
    });
    // The records are in the order of their numbers: those whose question
    // holds every word first, then the others.
    var top = {};
    inQuestion.forEach(function (d) { top[d] = 1; });
    found = inAny.filter(function (d) { return !dead[d]; });
    found.sort(function (a, b) { return (top[b] || 0) - (top[a] || 0) || a - b; });
    shown = [];
    if (!found.length) { say(NONE); return; }
    count.textContent = found.length + FOUND;
    more();
  });
}
// The next page of results, with the lists of their questions.
function more() {
  var next = found.slice(shown.length, shown.length + PAGE), blocks = {};
  next.forEach(function (d) { blocks[listFile((d / BLOCK) | 0)] = 1; });
  moreBox.innerHTML = "";
  load(Object.keys(blocks), function (ok) {
    if (!ok) { say(NOT_LOADED); return; }
    next.forEach(function (d) {
      var entry = lists[(d / BLOCK) | 0][d % BLOCK], page = pageOf(entry[0]);
      shown.push(TABLE ? "<tr><td><A href=\"" + page + "\">" + BULLET + entry[1] + "<\/a><\/td><\/tr>"
                       : "<A href=\"" + page + "\">" + BULLET + entry[1] + "<\/a><br>");
    });
    results.innerHTML = TABLE ? "<table border=1>" + shown.join("") + "<\/table>" : shown.join("");
    var left = found.length - shown.length;
    if (left > 0) {
      moreBox.innerHTML = "<A href=\"#\" id=\"wzmorelink\">" + MORE.replace("#", Math.min(left, PAGE)) + "<\/A>";
      document.getElementById("wzmorelink").onclick = function () { more(); return false; };
    }
  });
}
// For a page or a test that asks for itself.
window.wzSearch = search;
window.wzWords = words;
var asked = new URLSearchParams(location.search).get("q");
if (asked !== null) { box.value = asked; search(asked); }
)js";

void putList(QString &out, const std::vector<qint64> &values)
{
    for (size_t i = 0; i < values.size(); ++i) {
        if (i)
            out.append(u',');
        out.append(QString::number(values[i]));
    }
}

} // namespace

QString pageName()
{
    return QStringLiteral("search.html");
}

QString indexFileName(int shard)
{
    return QStringLiteral("search-index-%1.js").arg(shard, 3, 16, QChar(u'0'));
}

QString listFileName(int block)
{
    return QStringLiteral("search-list-%1.js").arg(block);
}

bool isOurFile(const QString &name)
{
    return name == pageName() ||
           ((name.startsWith(QLatin1StringView("search-index-")) ||
             name.startsWith(QLatin1StringView("search-list-"))) &&
            name.endsWith(QLatin1StringView(".js")));
}

quint32 keyHash(char32_t first, qint64 second)
{
    quint32 h = quint32(first) * 0x9E3779B1u + quint32(second + 1) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

// Index files of 16 KB: a search loads one for each pair of characters it
// looks for, and a small site's whole index is a few of them.
Builder::Builder(Emit out, qint64 fileSize, bool holdLists)
    : m_emit(std::move(out)), m_fileSize(fileSize), m_spills(Spills), m_holdLists(holdLists)
{
}

Builder::~Builder()
{
    for (Spill &spill : m_spills)
        if (spill.fd >= 0)
            ::close(spill.fd);
    if (m_heldLists.fd >= 0)
        ::close(m_heldLists.fd);
}

void Builder::emitList(QByteArray bytes)
{
    const int block = int((m_nos.size() - 1) / ListBlock);
    if (!m_holdLists) {
        m_emit(listFileName(block), std::move(bytes));
        return;
    }
    m_heldSizes.push_back(bytes.size());
    m_heldLists.buffer.append(bytes.constData(), size_t(bytes.size()));
    if (m_heldLists.buffer.size() >= SpillChunk)
        spillOut(m_heldLists);
}

void Builder::listEntry(qint64 no, const QString &quest)
{
    if (m_listed == 0)
        m_list = QStringLiteral("wzList(%1,[").arg(m_nos.size() / ListBlock);
    else
        m_list.append(u',');
    m_list.append(u'[');
    putNumber(m_list, no);
    m_list.append(u',');
    putString(m_list, quest);
    m_list.append(u']');
    if (++m_listed == ListBlock) {
        m_list.append(QLatin1StringView("]);\n"));
        emitList(m_encoder.encode(std::exchange(m_list, {})));
        m_listed = 0;
    }
}

void Builder::add(qint64 no, QByteArrayView kind, QByteArrayView quest, QByteArrayView anser,
                  const QString &questShown)
{
    const int doc = int(m_nos.size());
    m_nos.push_back(no);
    listEntry(no, questShown);
    if (!m_error.isEmpty())
        return;
    int field = 0;
    for (QByteArrayView text : {kind, quest, anser}) {
        m_folded.clear();
        foldForSearch(text, m_folded);
        fieldGrams(doc, field++);
    }
}

// Every character of a field, and where each pair of characters stands
// that no blank parts; one record of each in the spill its hash falls to.
void Builder::fieldGrams(int doc, int field)
{
    // Folded text is well-formed UTF-8.
    m_points.clear();
    for (const char *p = m_folded.data(), *end = p + m_folded.size(); p < end;) {
        const uchar lead = uchar(*p);
        char32_t c;
        if (lead < 0x80) {
            c = lead;
            p += 1;
        } else if (lead < 0xE0) {
            c = (char32_t(lead & 0x1F) << 6) | (p[1] & 0x3F);
            p += 2;
        } else if (lead < 0xF0) {
            c = (char32_t(lead & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
            p += 3;
        } else {
            c = (char32_t(lead & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) |
                (p[3] & 0x3F);
            p += 4;
        }
        m_points.push_back(c);
    }
    const size_t n = m_points.size();
    if (n == 0)
        return;
    size_t capacity = 64;
    while (capacity < 4 * n)
        capacity *= 2;
    m_slots.assign(capacity, -1);
    m_grams.clear();
    m_positions.clear();
    m_next.clear();
    const auto gram = [&](char32_t first, qint64 second) -> Gram & {
        const quint64 key = packed(first, second);
        size_t slot = keyHash(first, second) & (capacity - 1);
        while (m_slots[slot] >= 0) {
            if (m_grams[m_slots[slot]].key == key)
                return m_grams[m_slots[slot]];
            slot = (slot + 1) & (capacity - 1);
        }
        m_slots[slot] = qint32(m_grams.size());
        m_grams.push_back({key, 0, 0, 0});
        return m_grams.back();
    };
    for (size_t i = 0; i < n; ++i) {
        const char32_t c = m_points[i];
        if (c == U' ')
            continue;
        // A character alone where no pair begins with it; the others once
        // their pairs are known, far fewer than characters in most texts.
        if (i + 1 == n || m_points[i + 1] == U' ') {
            gram(c, -1);
            continue;
        }
        Gram &pair = gram(c, m_points[i + 1]);
        const quint32 at = quint32(m_positions.size());
        m_positions.push_back(quint32(i));
        m_next.push_back(0);
        if (pair.count++ == 0)
            pair.first = at;
        else
            m_next[pair.last] = at;
        pair.last = at;
    }
    for (size_t g = 0, grams = m_grams.size(); g < grams; ++g)
        if (quint32(m_grams[g].key) != 0)
            gram(char32_t(m_grams[g].key >> 32), -1);
    for (const Gram &g : m_grams) {
        const char32_t first = char32_t(g.key >> 32);
        const qint64 second = qint64(quint32(g.key)) - 1;
        Spill &spill = m_spills[keyHash(first, second) % Spills];
        std::string &out = spill.buffer;
        // The key, then the record's postings as the index file holds them,
        // so that building the file only puts them together.
        m_posting.clear();
        putValue(m_posting, quint64(doc) * 3 + quint64(field));
        if (second >= 0) {
            m_gaps.clear();
            qint64 previous = -1;
            for (quint32 k = g.first, left = g.count; left; --left, k = m_next[k]) {
                m_gaps.push_back(quint32(qint64(m_positions[k]) - previous - 1));
                previous = m_positions[k];
            }
            putGaps(m_posting, m_gaps);
        }
        putVarint(out, first);
        putVarint(out, quint64(second + 1));
        putVarint(out, m_posting.size());
        out.append(m_posting);
        if (out.size() >= SpillChunk)
            spillOut(spill);
    }
}

void Builder::spillOut(Spill &spill)
{
    if (!m_error.isEmpty())
        return;
    if (spill.fd < 0)
        spill.fd = tempFile();
    const char *p = spill.buffer.data();
    size_t left = spill.buffer.size();
    while (spill.fd >= 0 && left) {
        const ssize_t n = ::write(spill.fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = Texts::Reason::ofErrno(n < 0 ? errno : ENOSPC);
            return;
        }
        p += n;
        left -= size_t(n);
    }
    if (spill.fd < 0) {
        m_error = Texts::Reason::ofErrno(errno);
        return;
    }
    spill.spilled += qint64(spill.buffer.size());
    spill.buffer.clear();
}

bool Builder::load(Spill &spill, std::string &into)
{
    const size_t start = into.size();
    into.resize(start + size_t(spill.spilled));
    char *p = into.data() + start;
    qint64 at = 0;
    while (at < spill.spilled) {
        const ssize_t n = ::pread(spill.fd, p + at, size_t(spill.spilled - at), at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = Texts::Reason::ofErrno(n < 0 ? errno : EIO);
            return false;
        }
        at += n;
    }
    into.append(spill.buffer);
    std::string().swap(spill.buffer);
    if (spill.fd >= 0) {
        ::close(spill.fd);
        spill.fd = -1;
    }
    return true;
}

// One index file from the records of its keys, in the order of the
// records: each key's positions, record after record.
QByteArray Builder::indexFile(int shard, const std::string &data) const
{
    struct Entry {
        quint64 key; // first << 32 | second + 1
        quint32 at;  // its postings, in `data`
        quint32 size;
    };
    std::vector<Entry> entries;
    for (const char *p = data.data(), *end = p + data.size(); p < end;) {
        const quint64 first = getVarint(p);
        const quint64 second = getVarint(p);
        const quint64 size = getVarint(p);
        entries.push_back({first << 32 | second, quint32(p - data.data()), quint32(size)});
        p += size;
    }
    // Stable: the postings of a key stay in the order of the records.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry &a, const Entry &b) { return a.key < b.key; });
    // Written where it fits exactly: a file of a key in every record is
    // large.
    const std::string head = "wzIndex(" + std::to_string(shard) + ",{";
    qsizetype size = qsizetype(head.size()) + 4;
    for (auto e = entries.cbegin(); e != entries.cend(); ++e)
        size += e->size + (e == entries.cbegin() || e[-1].key != e->key ? 32 : 0);
    QByteArray bytes;
    bytes.reserve(size);
    bytes.append(head.data(), qsizetype(head.size()));
    for (auto e = entries.cbegin(); e != entries.cend();) {
        if (e != entries.cbegin())
            bytes.push_back(',');
        bytes.push_back('"');
        const quint64 key = e->key;
        putHex(bytes, key >> 32);
        if (quint32(key) != 0) {
            bytes.push_back('_');
            putHex(bytes, quint32(key) - 1);
        }
        bytes.append("\":\"", 3);
        for (; e != entries.cend() && e->key == key; ++e)
            bytes.append(data.data() + e->at, e->size);
        bytes.push_back('"');
    }
    bytes.append("});\n", 4);
    return bytes;
}

bool Builder::finish(QString *error)
{
    if (m_listed) {
        m_list.append(QLatin1StringView("]);\n"));
        emitList(m_encoder.encode(std::exchange(m_list, {})));
        m_listed = 0;
    }
    if (m_holdLists && m_error.isEmpty()) {
        std::string held;
        if (load(m_heldLists, held)) {
            size_t at = 0;
            for (size_t block = 0; block < m_heldSizes.size(); ++block) {
                m_emit(listFileName(int(block)),
                       QByteArray(held.data() + at, qsizetype(m_heldSizes[block])));
                at += size_t(m_heldSizes[block]);
            }
        }
    }
    qint64 total = 0;
    for (const Spill &spill : m_spills)
        total += spill.spilled + qint64(spill.buffer.size());
    int shards = 1;
    while (shards < MaxShards && total / shards > m_fileSize)
        shards *= 2;
    m_shape.shards = shards;
    m_shape.docs = int(m_nos.size());
    // A page whose number a later record shares holds the later record.
    {
        std::vector<int> order(m_nos.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return m_nos[a] < m_nos[b]; });
        for (size_t i = 0; i + 1 < order.size(); ++i)
            if (m_nos[order[i]] == m_nos[order[i + 1]])
                m_shape.superseded.append(order[i]);
        std::sort(m_shape.superseded.begin(), m_shape.superseded.end());
        std::vector<qint64>().swap(m_nos);
    }

    // A few spills at a time: either several spills make one index file,
    // or one spill, split by the files its keys go to, makes several.
    const int groups = std::min(shards, Spills);
    std::string data;
    std::vector<std::string> parts;
    for (int group = 0; group < groups && m_error.isEmpty(); ++group) {
        // Every buffer sized before it is filled: grown by doubling, a
        // large site's would take twice the room they need.
        size_t size = 0;
        for (int s = group; s < Spills; s += groups)
            size += size_t(m_spills[s].spilled) + m_spills[s].buffer.size();
        data.clear();
        data.reserve(size);
        for (int s = group; s < Spills; s += groups)
            if (!load(m_spills[s], data))
                break;
        if (!m_error.isEmpty())
            break;
        if (groups == shards) {
            m_emit(indexFileName(group), indexFile(group, data));
            continue;
        }
        parts.assign(size_t(shards / groups), {});
        for (const bool count : {true, false}) {
            std::vector<size_t> sizes(parts.size());
            for (const char *p = data.data(), *end = p + data.size(); p < end;) {
                const char *const start = p;
                const char32_t first = char32_t(getVarint(p));
                const qint64 second = qint64(getVarint(p)) - 1;
                skipPostings(p);
                const quint32 part = (keyHash(first, second) & quint32(shards - 1)) / groups;
                if (count)
                    sizes[part] += size_t(p - start);
                else
                    parts[part].append(start, size_t(p - start));
            }
            for (size_t k = 0; count && k < parts.size(); ++k)
                parts[k].reserve(sizes[k]);
        }
        std::string().swap(data);
        for (size_t k = 0; k < parts.size(); ++k) {
            QByteArray bytes = indexFile(int(group + k * groups), parts[k]);
            std::string().swap(parts[k]);
            m_emit(indexFileName(int(group + k * groups)), std::move(bytes));
        }
    }
    std::string().swap(data);
    if (!m_error.isEmpty()) {
        if (error)
            *error = m_error;
        return false;
    }
    return true;
}

// The folding rules as the script holds them: runs of code points that fold
// by one offset, each `start, count, step, offset`, and each half-width
// mark combination as `base, mark, result`.
std::vector<qint64> foldRuns();
std::vector<qint64> markTriples();

QString pageScript(const Shape &shape, Pages::Layout layout)
{
    static const QString rules = [] {
        QString out = QStringLiteral("var RUNS = [");
        putList(out, foldRuns());
        out.append(QLatin1StringView("];\nvar MARKS = ["));
        putList(out, markTriples());
        out.append(QLatin1StringView("];\n"));
        return out;
    }();
    const bool table = layout == Pages::Layout::Table;
    QString out = QStringLiteral("(function () {\nvar SHARDS = %1, BLOCK = %2, TABLE = %3;\n")
                      .arg(shape.shards)
                      .arg(ListBlock)
                      .arg(table ? QLatin1StringView("true") : QLatin1StringView("false"));
    out.append(QLatin1StringView("var DEAD = ["));
    for (qsizetype i = 0; i < shape.superseded.size(); ++i) {
        if (i)
            out.append(u',');
        out.append(QString::number(shape.superseded[i]));
    }
    out.append(QLatin1StringView("];\n"));
    out.append(rules);
    out.append(QStringLiteral("var SEARCHING = \"検索しています…\", "
                              "NOT_LOADED = \"検索用のファイルを読み込めませんでした\", "
                              "NONE = \"該当するデータはありません\", FOUND = \"件見つかりました\", "
                              "MORE = \"次の#件を表示\", PAGE = 100, BULLET = \"") +
               (table ? QStringLiteral("●") : QStringLiteral("･")) + QLatin1StringView("\";\n"));
    out.append(QLatin1StringView(Engine));
    out.append(QLatin1StringView("})();\n"));
    return out;
}

std::vector<qint64> foldRuns()
{
    std::vector<qint64> runs;
    qint64 last = -1; // the last code point in a run
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const qint64 offset = qint64(foldedCodePoint(c)) - qint64(c);
        if (offset == 0)
            continue;
        const size_t n = runs.size();
        if (n && runs[n - 1] == offset) {
            const qint64 step = runs[n - 2], count = runs[n - 3];
            // One step on, or every other code point when the one between
            // folds to itself, as letter case pairs do.
            if ((count == 1 || step == 1) && c == char32_t(last + 1)) {
                runs[n - 2] = 1;
                ++runs[n - 3];
                last = c;
                continue;
            }
            if ((count == 1 || step == 2) && c == char32_t(last + 2)) {
                runs[n - 2] = 2;
                ++runs[n - 3];
                last = c;
                continue;
            }
        }
        runs.insert(runs.end(), {qint64(c), 1, 1, offset});
        last = c;
    }
    return runs;
}

std::vector<qint64> markTriples()
{
    std::vector<qint64> triples;
    for (char32_t base = 0x3000; base < 0x3100; ++base)
        for (char32_t mark : {U'\uFF9E', U'\uFF9F'})
            if (const char32_t result = foldedWithMark(base, mark))
                triples.insert(triples.end(), {qint64(base), qint64(mark), qint64(result)});
    return triples;
}

} // namespace SiteSearch
