// wazuna-jet-dump: the records of tbl1 in a Jet 4.0 file, for wazuna to read.
//   wazuna-jet-dump FILE
// Runs as a process of its own: a damaged file can make libmdb loop or
// crash, and the tool then only loses this helper. Writes "WZJET1\n", then a
// line a record, "R" and for No, kind, quest and anser in turn " LENGTH:"
// and that many bytes of UTF-8, then "E COUNT\n". NULL and empty text are
// both empty.
#include <glib.h> // before mdbtools.h, which does not compile without it
#include <mdbtools.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{

// A memo of 65,535 characters, three UTF-8 bytes each, and the end.
constexpr size_t BindSize = 65535 * 3 + 16;

int fail(const char *why, int status)
{
    std::fprintf(stderr, "wazuna-jet-dump: %s\n", why);
    return status;
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
    for (int f = 0; f < 4; ++f) {
        int column = -1;
        for (unsigned i = 0; i < table->num_cols; ++i) {
            const auto *col = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
            if (g_ascii_strcasecmp(col->name, names[f]) == 0)
                column = int(i) + 1;
        }
        if (column < 0)
            return fail("tbl1 lacks a column", 5);
        mdb_bind_column(table, column, values[f].data(), &lengths[f]);
    }
    mdb_rewind_table(table);
    std::fputs("WZJET1\n", stdout);
    long count = 0;
    while (mdb_fetch_row(table)) {
        std::fputc('R', stdout);
        for (int f = 0; f < 4; ++f) {
            const int length = lengths[f] > 0 ? std::min<int>(lengths[f], int(BindSize)) : 0;
            std::fprintf(stdout, " %d:", length);
            std::fwrite(values[f].data(), 1, size_t(length), stdout);
            lengths[f] = 0;
        }
        std::fputc('\n', stdout);
        ++count;
    }
    std::fprintf(stdout, "E %ld\n", count);
    mdb_free_tabledef(table);
    mdb_close(mdb);
    return std::fflush(stdout) == 0 ? 0 : 6;
}
