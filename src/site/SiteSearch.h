#pragma once

#include "Cp932.h"
#include "Pages.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <string>
#include <vector>

// The published site's search. Beside the pages go scripts that
// search.html reads: they work from a folder opened as it is (file://) as
// on any web server, with nothing run on the server and nothing fetched
// from elsewhere. Texts are folded exactly as the window's search folds
// them, and the index holds where every pair of characters stands, so a
// word is found wherever it occurs, inside a longer one too, and nowhere
// else: no dictionary decides where a Japanese word begins.
//
// What a search loads: search.html (the engine and the folding rules), one
// index file for each pair of characters of the words typed (each file
// holds the pairs whose hash falls to it, so a site of any size keeps
// every file small), and the lists of the questions found.
namespace SiteSearch
{

QString pageName(); // "search.html"
// search.html and the scripts of its index.
bool isOurFile(const QString &name);
QString indexFileName(int shard);
QString listFileName(int block);

// Records a list file holds.
constexpr int ListBlock = 1000;

// What search.html must know of the index.
struct Shape {
    int shards = 1;
    int docs = 0;
    QList<int> superseded; // records whose page a later one of the same number took
};

// The files of the index, built from the records as their pages are written.
// Each file is handed to `out` once complete, in the order of its name's
// number; the index files only once every record is in. Big sites spill to
// an unnamed temporary file, so memory stays small whatever the size.
class Builder
{
public:
    // A file's name and bytes, encoded as the pages are.
    using Emit = std::function<void(const QString &name, QByteArray bytes)>;
    // `fileSize`: about how large an index file may grow before the keys
    // are spread over more of them. With `holdLists`, the lists too wait
    // for finish (in a temporary file), so that nothing is handed over
    // before every record is in.
    explicit Builder(Emit out, qint64 fileSize = 16 * 1024, bool holdLists = false);
    ~Builder();
    Builder(const Builder &) = delete;
    Builder &operator=(const Builder &) = delete;

    // A record, as stored, and its question as the menu pages show it.
    void add(qint64 no, QByteArrayView kind, QByteArrayView quest, QByteArrayView anser,
             const QString &questShown);
    // Hands over the rest. False, with the reason, when a temporary file
    // failed: the index is then incomplete and must not be published.
    bool finish(QString *error);
    Shape shape() const { return m_shape; }

private:
    struct Spill {
        std::string buffer;
        int fd = -1;
        qint64 spilled = 0;
    };
    struct Gram {
        quint64 key;
        quint32 first, last, count;
    };

    void fieldGrams(int doc, int field);
    void spillOut(Spill &spill);
    bool load(Spill &spill, std::string &into);
    QByteArray indexFile(int shard, const std::string &data) const;
    void listEntry(qint64 no, const QString &quest);
    void emitList(QByteArray bytes);

    Emit m_emit;
    qint64 m_fileSize;
    Cp932 m_encoder;
    Shape m_shape;
    std::vector<qint64> m_nos;
    QString m_list;
    int m_listed = 0;
    std::string m_folded;
    std::string m_posting;
    std::vector<char32_t> m_points;
    std::vector<Gram> m_grams;
    std::vector<qint32> m_slots;
    std::vector<quint32> m_positions, m_next, m_gaps;
    std::vector<Spill> m_spills;
    bool m_holdLists;
    Spill m_heldLists;
    std::vector<qint64> m_heldSizes;
    QString m_error;
};

// The script of search.html for an index of `shape`, the results laid out
// as the menu pages lay out their links.
QString pageScript(const Shape &shape, Pages::Layout layout);

// The hash of a character (second < 0) or a pair, as the script computes it.
quint32 keyHash(char32_t first, qint64 second);

} // namespace SiteSearch
