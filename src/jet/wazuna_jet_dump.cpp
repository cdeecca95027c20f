// wazuna-jet-dump: the records of tbl1 in a Jet 4.0 file, for wazuna to read.
//   wazuna-jet-dump FILE
// Runs as a process of its own: a damaged file can make libmdb loop or
// crash, and the tool then only loses this helper. Writes "WZJET2 ROWS\n"
// with the number of rows the table's definition records, then a line a
// record, then "E COUNT\n" with the number of record lines. A record line is
// a letter and for No, kind, quest and anser in turn " LENGTH:" and that many
// bytes of UTF-8; NULL and empty text are both empty. The letter is R for a
// record read whole, L for one whose answer is longer than this helper reads
// (the answer is cut), C for one whose answer could not be read to its end
// (a damaged file; libmdb then gives part of it or nothing, and says so only
// on standard error). wazuna refuses a file with anything but R records, or
// with fewer records than ROWS: libmdb skips the rows it cannot read.
// wazuna words the statuses 3 to 5 (the file, its catalog or tbl1 cannot be
// read) in its own language; for others it shows the last line written here.
#include <glib.h> // before mdbtools.h, which does not compile without it
#include <mdbtools.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{

// A memo of 65,535 characters, three UTF-8 bytes each: the longest value
// passed on (JetImport::ValueBytesMax is the same). The buffer holds more, so
// a value that reaches past the limit shows that libmdb may have cut it.
constexpr size_t ValueBytesMax = 65535 * 3;
constexpr size_t BindSize = ValueBytesMax + 16;

// The flags in the high bits of a memo's length, as Jet stores them.
constexpr uint32_t MemoInline = 0x80000000;
constexpr uint32_t MemoOnePage = 0x40000000;
constexpr uint32_t MemoLengthMask = 0x3fffffff;

int fail(const char *why, int status)
{
    std::fprintf(stderr, "wazuna-jet-dump: %s\n", why);
    return status;
}

// Whether the memo of the row just fetched was there to be read whole. libmdb
// gives an empty or shortened text, without a sign but a warning, when a
// page of the memo is missing or its chain ends early; this walks the same
// pages and compares what they hold with the length the row records.
bool memoWhole(MdbHandle *mdb, const MdbColumn *col)
{
    if (col->cur_value_len == 0)
        return true; // NULL
    if (col->cur_value_len < MDB_MEMO_OVERHEAD)
        return false;
    const uint32_t head = uint32_t(mdb_get_int32(mdb->pg_buf, col->cur_value_start));
    const size_t stored = head & MemoLengthMask;
    if (head & MemoInline)
        return size_t(col->cur_value_len - MDB_MEMO_OVERHEAD) >= stored;
    int pgRow = int(mdb_get_int32(mdb->pg_buf, col->cur_value_start + 4));
    void *buf = nullptr;
    int start = 0;
    size_t length = 0;
    if (head & MemoOnePage)
        return mdb_find_pg_row(mdb, pgRow, &buf, &start, &length) == 0 && length >= stored;
    if (head & ~MemoLengthMask)
        return false; // flags libmdb does not know: it gives nothing
    // Each page of the chain holds the next one's place and then its part.
    size_t found = 0;
    while (pgRow != 0 && found < stored) {
        if (mdb_find_pg_row(mdb, pgRow, &buf, &start, &length) != 0 || length <= 4)
            return false;
        found += length - 4;
        pgRow = int(mdb_get_int32(buf, start));
    }
    return found == stored;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2)
        return fail("usage: wazuna-jet-dump FILE", 2);
    MdbHandle *mdb = mdb_open(argv[1], MDB_NOFLAGS);
    if (!mdb)
        return fail("cannot open the file", 3);
    mdb_set_bind_size(mdb, BindSize);
    if (!mdb_read_catalog(mdb, MDB_TABLE))
        return fail("cannot read the catalog", 4);
    MdbTableDef *table = mdb_read_table_by_name(mdb, const_cast<gchar *>("tbl1"), MDB_TABLE);
    if (!table || !mdb_read_columns(table))
        return fail("no table tbl1", 5);

    const char *const names[4] = {"No", "kind", "quest", "anser"};
    std::vector<std::vector<char>> values(4, std::vector<char>(BindSize + 1));
    int lengths[4] = {};
    const MdbColumn *memo = nullptr;
    for (int f = 0; f < 4; ++f) {
        int column = -1;
        for (unsigned i = 0; i < table->num_cols; ++i) {
            const auto *col = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
            if (g_ascii_strcasecmp(col->name, names[f]) == 0) {
                column = int(i) + 1;
                if (f == 3 && col->col_type == MDB_MEMO)
                    memo = col;
            }
        }
        if (column < 0)
            return fail("tbl1 lacks a column", 5);
        mdb_bind_column(table, column, values[f].data(), &lengths[f]);
    }
    mdb_rewind_table(table);
    std::fprintf(stdout, "WZJET2 %u\n", table->num_rows);
    unsigned long count = 0;
    while (mdb_fetch_row(table)) {
        char mark = 'R';
        if (memo && !memoWhole(mdb, memo))
            mark = 'C';
        for (const int length : lengths)
            if (size_t(std::max(length, 0)) > ValueBytesMax)
                mark = 'L';
        std::fputc(mark, stdout);
        for (int f = 0; f < 4; ++f) {
            const size_t length = std::min(size_t(std::max(lengths[f], 0)), ValueBytesMax);
            std::fprintf(stdout, " %zu:", length);
            std::fwrite(values[f].data(), 1, length, stdout);
            lengths[f] = 0;
        }
        std::fputc('\n', stdout);
        ++count;
    }
    std::fprintf(stdout, "E %lu\n", count);
    mdb_free_tabledef(table);
    mdb_close(mdb);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : fail("cannot write", 6);
}
