#include <algorithm>
#include <string>
#include <thread>

#include <CLI/CLI.hpp>

#include "cli/Lmpinfo.h"
#include "cli/Messages.h"
#include "core/Query.h"
#include "scan/DescriptionCache.h"

namespace lmp::cli {
namespace {

constexpr const char* kDescription =
    "Prints what the LMPexplorer description pane shows for Lumora Parks files: track designs (.TD4),\n"
    "saved games (.SV4) and scenarios (.SC4). Other files, track images (.TP4) included, print nothing.";

constexpr const char* kFooter =
    "Each PATH is described in order, then each path listed in the FILE of --files-from (\"-\":\n"
    "standard input), as if it were given as a PATH: one path a line, a CR at a line's end dropped\n"
    "and empty lines skipped, or with --null one path after another, each ended by a NUL byte (as\n"
    "find -print0 writes them). The list is read as it is described, so it may come from a program\n"
    "still running.\n"
    "\n"
    "A PATH that is a folder stands for the files directly in it (subfolders are left out), in the\n"
    "file list's order: by name, case-insensitive, with runs of digits compared by value\n"
    "(\"Coaster 2\" before \"Coaster 10\"). With -r the folder's files are followed by its subfolders\n"
    "in that order, each with all it holds; links to folders are not followed.\n"
    "\n"
    "--json writes one JSON object per line for each file the text would describe, --csv one header\n"
    "row for the whole run (none with --no-header) and one row per such file (RFC 4180, CRLF line\n"
    "ends). Both hold the numbers, not their texts (ratings as decimals such as 6.7, cash in whole\n"
    "units), with \".\" as the decimal mark whatever the locale; a path that cannot be read gets a\n"
    "record with an \"error\" field. Text that is not valid UTF-8 (file names) has each stray byte\n"
    "replaced by U+FFFD.\n"
    "The fields are listed in lmpinfo(1) and the README.\n"
    "\n"
    "Separator line (31 hyphens) in front of a file's description:\n"
    "  without --edition  every edition is described; every description except the first\n"
    "                     file's starts with a separator (a file that prints nothing, or that\n"
    "                     cannot be read, still takes its turn as a file).\n"
    "  with --edition N   only files of edition N are described; a description starts with a\n"
    "                     separator once a file of edition N came before it.\n"
    "  --no-separator     never a separator line.\n"
    "The line \"cannot determine file version!\" (a checksum that matches no edition) never has\n"
    "one; with --edition it is printed for saved games only.\n"
    "\n"
    "Numbers with decimals use the locale's decimal mark (LC_ALL, else LC_NUMERIC, else LANG), \".\"\n"
    "when it defines none; --decimal-mark overrides it with one character that is not a digit 0-9,\n"
    "a blank or a control character (bidirectional controls included). Thousands are always grouped\n"
    "with \",\".\n"
    "Output is UTF-8, one line per line of the pane.\n"
    "\n"
    "Every message on standard error begins with \"lmpinfo: \"; the \"error\" field of JSON and CSV\n"
    "holds the message without it.\n"
    "\n"
    "Exit status:\n"
    "  0  every PATH was described\n"
    "  1  a PATH named nothing (\"No such file or folder: PATH\"), a file could not be read\n"
    "     (\"Cannot open file PATH\"), or the list held an entry that is no path (too long, or a\n"
    "     NUL byte in a line) or could not be read on; the other paths are still described\n"
    "  2  usage error, or the list of --files-from cannot be opened (the message says which);\n"
    "     nothing is described\n"
    "\n"
    "Files are read and checked on several threads (--jobs), two files at a time on each; the\n"
    "output comes in the order above all the same. A folder of -r is listed only when its turn\n"
    "comes, so the first lines come at once and memory does not grow with the tree.\n"
    "\n"
    "--where QUERY describes only the files the query matches, as if they alone had been given\n"
    "(separators, --edition and the formats as usual); a path that cannot be read is still reported.\n"
    "Terms are separated by blanks and must all hold: a word or \"a phrase\" found in the name, the\n"
    "ride type or the park's name; FIELD>N, >=, <, <=, = on excitement, intensity, nausea, length,\n"
    "rating, guests, cash, rides, stalls, staff, size; FIELD:VALUE on edition (0, 1, 2), type (td4,\n"
    "sv4, sc4), ride, park (text held) and name (a pattern with * and ?). Files that the name and size\n"
    "alone rule out are not read. Examples:\n"
    "  lmpinfo -r --where 'excitement>7' Designs\n"
    "  lmpinfo -r --json --where 'type:sv4 guests>=1,000' Saves\n"
    "The whole language is in lmpinfo(1) and docs/search.md.\n"
    "\n"
    "--cache keeps what describing found in the cache of descriptions\n"
    "($XDG_CACHE_HOME/lmpexplorer/descriptions.db, shared with the window), and a later run takes a\n"
    "file's description from it while the file's size, times and inode are as they were: the output\n"
    "is the same as without it. A cache that is damaged is set aside and started anew, one that cannot\n"
    "be written is left alone; either is said once on standard error and describing goes on.\n"
    "\n"
    "When standard error is a terminal and more than 500 files are examined, a progress line\n"
    "shows there (\"lmpinfo: 1,200 files examined\", with \"of\" the total once the folders\n"
    "have all been listed, and with --where how many matched); it never shows when standard error goes to a "
    "file or a pipe.\n"
    "\n"
    "A PATH that starts with \"-\" goes after \"--\"; a list takes any name as it is.\n";

std::string UsageError(const std::string& message)
{
    return FormatStderrMessage(message) + "\nRun 'lmpinfo --help' for more information.\n";
}

} // namespace

ParseResult ParseArguments(int argc, const char* const* argv)
{
    CLI::App app(kDescription, "lmpinfo");
    app.footer(kFooter);
    // "/name" is a path on every system, never an option.
    app.allow_windows_style_options(false);

    Options options;
    std::int32_t edition = 0;
    std::string decimalMark;
    auto* editionOption =
        app.add_option(
               "--edition", edition,
               "Describe only files of edition N: 0 original game, 1 first expansion, 2 second expansion")
            ->type_name("N")
            ->check([](const std::string& value) {
                return value == "0" || value == "1" || value == "2"
                           ? std::string()
                           : "the edition is 0, 1 or 2, not '" + value + "'";
            });
    app.add_flag("--no-separator", options.noSeparator, "Never write the separator line");
    bool json = false;
    bool csv = false;
    auto* jsonFlag = app.add_flag("--json", json, "One JSON object per line for each file described");
    auto* csvFlag = app.add_flag("--csv", csv, "A header row and one CSV row for each file described")
                        ->excludes(jsonFlag);
    app.add_flag("--no-header", options.noHeader, "CSV without its header row")->needs(csvFlag);
    app.add_flag("-r,--recursive", options.recursive, "A folder also stands for the files of its subfolders");
    auto* markOption =
        app.add_option("--decimal-mark", decimalMark,
                       "Decimal mark of numbers with decimals (one character), instead of the locale's")
            ->type_name("C")
            ->check(DecimalMarkProblem);
    std::string listFile;
    auto* listOption =
        app.add_option("--files-from", listFile,
                       "Then describe the paths listed in FILE, one a line; \"-\" reads standard input")
            ->type_name("FILE");
    app.add_flag("--null", options.nullSeparated,
                 "The list's paths are each ended by a NUL byte (find -print0), not a line end")
        ->needs(listOption);
    app.add_option("--jobs", options.jobs,
                   "Describe on N threads (default: one per processor core, " +
                       std::to_string(std::max(1u, std::thread::hardware_concurrency())) + " here)")
        ->type_name("N")
        ->check(CLI::Range(1u, 1024u));
    std::string where;
    auto* whereOption =
        app.add_option("--where", where, "Describe only the files that match QUERY (see below)")
            ->type_name("QUERY")
            ->check([](const std::string& value) {
                try {
                    const Query query(value);
                } catch (const QueryError& error) {
                    return std::string(error.what());
                }
                return std::string();
            });
    auto* cacheFlag = app.add_flag("--cache", options.cache,
                                   "Take descriptions from the cache kept on disk, and keep them there");
    app.set_version_flag("--version", "lmpinfo " LMP_VERSION, "Print the version and exit");
    app.add_option("PATH", options.paths, "Game file, or folder whose files are described");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        return {std::nullopt, kExitOk, app.help()};
    } catch (const CLI::CallForAllHelp&) {
        return {std::nullopt, kExitOk, app.help("", CLI::AppFormatMode::All)};
    } catch (const CLI::CallForVersion& version) {
        return {std::nullopt, kExitOk, std::string(version.what()) + "\n"};
    } catch (const CLI::ParseError& error) {
        return {std::nullopt, kExitUsage, UsageError(error.what())};
    }

    if (listOption->count() > 0) {
        options.filesFrom = listFile;
    } else if (options.paths.empty()) {
        return {std::nullopt, kExitUsage, UsageError("PATH is required, or --files-from FILE")};
    }
    if (json) {
        options.format = OutputFormat::Json;
    } else if (csv) {
        options.format = OutputFormat::Csv;
    }
    if (editionOption->count() > 0) {
        options.edition = edition;
    }
    if (markOption->count() > 0) {
        options.decimalMark = decimalMark;
    }
    if (whereOption->count() > 0) {
        options.where = where;
    }
    if (cacheFlag->count() > 0 && !DescriptionCache::Available()) {
        return {
            std::nullopt, kExitUsage,
            UsageError("--cache: the cache of descriptions is not available in this build (it needs SQLite, "
                       "which the Windows build has not)")};
    }
    return {std::move(options), kExitOk, {}};
}

} // namespace lmp::cli
