#include "StringTable.h"

#include <unordered_map>

namespace {

const std::unordered_map<int, std::string>& Table() {
    static const std::unordered_map<int, std::string> table = {
        {IDS_ABOUTBOX, "&About Stowlist..."},
        {1014, "options.htm#tabbed"},
        {1015, "options.htm#padded"},
        {1016, "options.htm#autoview"},
        {1017, "options.htm#exclude"},
        {1018, "options.htm#format"},
        {1019, "options.htm#archive"},
        {1020, "options.htm#dirlist"},
        {1021, "options.htm#export"},
        {1022, "options.htm#dironly"},
        {1023, "options.htm#hidsys"},
        {1024, "options.htm#subfldr"},
        {IDS_APP_TITLE, "Stowlist"},
        {IDS_IDLE, "Idle"},
        {IDS_UNSAVED_EXIT, "You have unsaved data - exit anyway?"},
        {IDS_WARNING, "Warning!"},
        {IDS_LOG_LINE, "%s%02d-%02d\t%s"},
        {IDS_NO_FILES, "No files to process!"},
        {IDS_DROP_FILES, "Drop Files"},
        {IDS_CAN_EXPORT, "Data can now be exported"},
        {IDS_LISTING_TABBED, "%s\t%s\t%s\t%s\t%s"},
        {IDS_LISTING_PADDED, "%-15s  %20s  %8s  %11s  %s"},
        {IDS_ARCHIVE_LINE, "%s\t%Ld\t%s\t%s\t%s%02d-%02d"},
        {IDS_PROCESSING, "Processing file: %d"},
        {IDS_EXPORT_FILTER, "Text files (*.txt)|*.txt||"},
        {IDS_EXPORT_TITLE, "Export Data"},
        {IDS_EXPORT_ERROR, "Error exporting data!"},
        {IDS_EXPORT_PROGRESS, "%3.0f%% Exported"},
        {IDS_FOLDER_EMPTY, "FOLDER IS EMPTY\n"},
        {IDS_SUMMARY_TABBED, "\nSummary: %s Folder(s), %s File(s)\t%s Bytes"},
        {IDS_SUMMARY_PADDED, "\nSummary: %s Folder(s), %s File(s)  %20s Bytes"},
        {IDS_NO_LOG, "No log information to view!"},
        {IDS_VIEW_LOG_ERROR, "View Log Error!"},
        {57365, "Sorting: /"},
        {57366, "Sorting: -"},
        {57367, "Sorting: \\"},
        {57368, "Sorting: |"},
        {IDS_SECTION_OPTIONS, "Options"},
        {IDS_KEY_EXPORT_DATA, "ExportData"},
        {IDS_KEY_AUTO_VIEW, "AutoView"},
        {IDS_KEY_FORMAT_FILE_SIZE, "FormatFileSize"},
        {IDS_KEY_EXCLUDE_EMPTY, "ExcludeEmptyFolders"},
        {IDS_KEY_OUTPUT_FORMAT, "OutputFormat"},
        {IDS_KEY_PROCESS_TYPE, "ProcessType"},
        {IDS_SECTION_ARCHIVE, "Archive Options"},
        {IDS_KEY_MEDIA_NUMBER, "MediaNumber"},
        {IDS_KEY_ARCHIVE_NUMBER, "ArchiveNumber"},
        {IDS_KEY_MULTIPLE_ARCHIVE, "MultipleArchive"},
        {IDS_SECTION_EXPORT, "Export Dialogue"},
        {IDS_KEY_DEFAULT_DIR, "DefaultDir"},
        {IDS_FOLDER_SIZE, "<FOLDER>"},
        {IDS_UNSAVED_OVERWRITE, "You have unsaved data!  Overwrite?"},
        {IDS_ALREADY_RUNNING, "Stowlist Utility is already running!"},
        {IDS_KEY_DIRECTORY_ONLY, "DirectoryOnly"},
        {IDS_KEY_EXCLUDE_HIDDEN, "ExcludeHiddenSystemInfo"},
        {IDS_KEY_EXCLUDE_SUBFOLDERS, "ExcludeSubFolders"},
        {IDS_HELP_TITLE, "Stowlist Utility Help"},
        {IDS_HELP_BACK, "Back"},
        {IDS_HELP_FORWARD, "Forward"},
        {IDS_HELP_CONTENTS, "Contents"},
        {IDS_HELP_MISSING, "Help is not available: the help file %s could not be opened."},
        {IDS_FOLDER_MISSING, "%s\nThis folder does not exist. Check the folder name and try again."},
        {IDS_UNNAMED_FILE, "an unnamed file"},
        {IDS_OUT_OF_MEMORY, "Out of memory."},
        {IDS_ENTER_INTEGER, "Please enter an integer."},
        {61856, "No error occurred."},
        {61857, "An unknown error occurred while accessing %1."},
        {61858, "%1 was not found."},
        {61859, "%1 contains an invalid path."},
        {61860, "%1 could not be opened because there are too many open files."},
        {61861, "Access to %1 was denied."},
        {61862, "An invalid file handle was associated with %1."},
        {61863, "%1 could not be removed because it is the current directory."},
        {61864, "%1 could not be created because the directory is full."},
        {61865, "Seek failed on %1"},
        {61866, "A hardware I/O error was reported while accessing %1."},
        {61867, "A sharing violation occurred while accessing %1."},
        {61868, "A locking violation occurred while accessing %1."},
        {61869, "Disk full while accessing %1."},
        {61870, "An attempt was made to access %1 past its end."},
        {58701, "no size given"},
        {58702, "a size must start with a digit"},
        {58703, "a decimal point needs digits after it, and a unit"},
        {58704, "unknown unit: use k, M, G, T (powers of 1000) or KiB, MiB, GiB, TiB (powers of 1024)"},
        {58705, "more bytes than 64 bits hold"},
        {58711, "unknown media type: use CD, DAT, DLT, JAZ or ZIP"},
        {58712, "this media type needs --capacity"},
        {58713, "the block size must be at least 1"},
        {58714, "the reserve leaves less than one block of the capacity"},
        {IDS_PLAN_TOO_LARGE, "%s: larger than a medium, left out"},
        {IDS_PLAN_LINE_FEED, "%s: a line feed in the name cannot be held in a path list, left out"},
        {IDS_PLAN_USAGE,
         "Usage: stowlist-cli plan [OPTION]... PATH...\n"
         "Split the PATHs over as few media as possible, taken as a drop takes them,\n"
         "and print each medium's items. Options not given take their values from the\n"
         "settings file.\n"
         "\n"},
        {IDS_PLAN_MEDIUM_LINE, "%s: %s items, %s bytes used, %s bytes free"},
        {IDS_PLAN_TOTAL_LINE, "Total: %s media, %s bytes"},
        {IDS_PLAN_MEDIUM_TAG, "%s%02d-%02d"},
        {IDS_PLAN_PATH_LIST_NAME, "%s%02d.path-list"},
        {IDS_PLAN_BAD_SIZE, "option '%s': %s"},
        {IDS_PLAN_BAD_STORED_TYPE,
         "the stored media type '%s' in '%s' is none of CD, DAT, DLT, JAZ and ZIP: give --media-type"},
        {IDS_PLAN_CANNOT_READ, "cannot read '%s': %s"},
        {IDS_PLAN_CANNOT_WRITE, "cannot write '%s': %s"},
        {IDS_PLAN_NO_WORKING_FOLDER, "cannot find the working folder: %s"},
        {IDS_PLAN_SAME_FILE, "the report and the log cannot be the same file"},
        {IDS_PLAN_NOT_CATALOGUED, "warning: the report was not added to the catalogue: %s"},
        {IDS_PLAN_NUMBERS_EXHAUSTED, "%d media from number %d would pass the largest medium number"},
        {IDS_PLAN_STANDARD_OUTPUT, "standard output"},
        {IDS_CLI_BAD_USAGE, "%s: %s (%s --help lists the options)"},
        {IDS_CLI_MESSAGE, "%s: %s"},
        {IDS_CLI_UNKNOWN_OPTION, "unknown option '%s'"},
        {IDS_CLI_NEEDS_VALUE, "option '%s' needs a value"},
        {IDS_CLI_TAKES_NO_VALUE, "option '%s' takes no value"},
        {IDS_CLI_BAD_NUMBER, "option '%s' needs a whole number, not '%s'"},
        {IDS_CLI_BAD_MEDIA_TYPE, "unknown media type '%s' (CD, DAT, DLT, JAZ or ZIP)"},
        {IDS_CLI_NO_PATH, "no PATH given"},
        {IDS_CLI_CANNOT_READ, "cannot read '%s': %s"},
        {IDS_RUN_USAGE,
         "Usage: stowlist-cli [OPTION]... PATH...\n"
         "       stowlist-cli find [OPTION]... TEXT...\n"
         "       stowlist-cli copies [OPTION]... [TEXT]...\n"
         "       stowlist-cli catalogue [OPTION]... add|remove|refresh|compact|list [PATH]...\n"
         "       stowlist-cli plan [OPTION]... PATH...\n"
         "       stowlist-cli verify [OPTION]... REPORT PATH...\n"
         "       stowlist-cli compare [OPTION]... OLD NEW\n"
         "Catalogue the PATHs as if they were dropped on the Stowlist window, in order,\n"
         "and write the report (CRLF line ends). A first PATH ending in \"/\" is a whole\n"
         "medium: every PATH is then listed by its contents only.\n"
         "Options not given take their values from the settings file.\n"
         "\n"},
        {IDS_RUN_HELP_OUTPUT, "  -o, --output FILE        write the report to FILE (default: standard output)\n"},
        {IDS_RUN_HELP_SETTINGS, "      --settings FILE      settings file (default: the desktop program's)\n"},
        {IDS_RUN_HELP_TYPE, "      --archive | --listing            report type (default: stored ProcessType)\n"},
        {IDS_RUN_HELP_LAYOUT, "      --tabbed | --padded              listing layout (OutputFormat)\n"},
        {IDS_RUN_HELP_DIRS_ONLY, "      --dirs-only | --no-dirs-only     (DirectoryOnly)\n"},
        {IDS_RUN_HELP_EMPTY, "      --exclude-empty | --keep-empty   (ExcludeEmptyFolders)\n"},
        {IDS_RUN_HELP_HIDDEN, "      --exclude-hidden | --include-hidden   (ExcludeHiddenSystemInfo)\n"},
        {IDS_RUN_HELP_SUBFOLDERS, "      --no-subfolders | --subfolders   (ExcludeSubFolders)\n"},
        {IDS_RUN_HELP_GROUPING, "      --grouping | --no-grouping       thousands separators (FormatFileSize)\n"},
        {IDS_RUN_HELP_MEDIA_TYPE, "      --media-type TYPE    CD, DAT, DLT, JAZ or ZIP (any case)\n"},
        {IDS_RUN_HELP_NUMBERS, "      --media-number N     --archive-number N\n"},
        {IDS_RUN_HELP_ARCHIVES, "      --multiple-archives | --single-archive\n"},
        {IDS_RUN_HELP_LOG, "      --log FILE           write the archive log to FILE\n"},
        {IDS_RUN_HELP_CATALOGUE,
         "      --catalogue FILE     add the report to this catalogue (default:\n"
         "                           $XDG_DATA_HOME/stowlist/catalogue.sqlite)\n"},
        {IDS_RUN_HELP_NO_CATALOGUE, "      --no-catalogue       do not add the report to the catalogue\n"},
        {IDS_RUN_HELP_CHECKSUMS,
         "      --checksums | --no-checksums   write a sha256sum manifest of the files\n"
         "                           beside the report (default: [Catalogue] Checksums)\n"},
        {IDS_RUN_HELP_MANIFEST,
         "      --manifest FILE      write the manifest to FILE (needed with --checksums\n"
         "                           when the report goes to standard output)\n"},
        {IDS_RUN_HELP_QUIET, "  -q, --quiet              no progress on standard error\n"},
        {IDS_RUN_USAGE_TAIL,
         "  -h, --help               --version\n"
         "\n"
         "Exit status: 0 report written; 1 nothing to catalogue; 2 bad usage;\n"
         "3 a PATH that does not exist, or a report, log, manifest or settings file that\n"
         "cannot be written; 4 report written, checksums incomplete (files that could\n"
         "not be read are named on standard error and left out of the manifest).\n"
         "\n"
         "Commands (a folder of one of these names is given as ./find):\n"
         "  find        search the catalogue of reports (stowlist-cli find --help)\n"
         "  copies      how many media hold each file of the catalogue (stowlist-cli copies --help)\n"
         "  catalogue   add, remove, refresh and list its reports (stowlist-cli catalogue --help)\n"
         "  plan        split PATHs over media, with path lists and the report (stowlist-cli plan --help)\n"
         "  verify      check a medium against its report and manifest (stowlist-cli verify --help)\n"
         "  compare     what changed between two reports of one medium (stowlist-cli compare --help)\n"},
        {IDS_FIND_USAGE,
         "Usage: stowlist-cli find [OPTION]... TEXT...\n"
         "Searches the catalogue of reports for entries whose name holds every TEXT,\n"
         "ignoring case. One line per hit: medium, folder, name, size, date, time,\n"
         "REPORT:LINE, separated by tabs, ordered by medium, folder and name.\n"
         "\n"},
        {IDS_FIND_HELP_CATALOGUE,
         "  --catalogue FILE  the catalogue to search (default $XDG_DATA_HOME/stowlist/catalogue.sqlite)\n"},
        {IDS_FIND_HELP_GLOB, "  --glob            one shell pattern (*, ?, [...]) matched against the whole name\n"},
        {IDS_FIND_HELP_FILES, "  --files           files only\n"},
        {IDS_FIND_HELP_FOLDERS, "  --folders         folders only\n"},
        {IDS_FIND_HELP_MEDIUM, "  --medium PREFIX   hits whose medium tag starts with PREFIX, ignoring case\n"},
        {IDS_FIND_HELP_LIMIT, "  --limit N         the first N hits only\n"},
        {IDS_FIND_HELP_JSON, "  --json            one JSON object per hit and line\n"},
        {IDS_FIND_USAGE_TAIL,
         "  -h, --help        this text; --version\n"
         "\n"
         "Exit status: 0 found, 1 nothing found (or no catalogue yet), 2 bad usage, 3 the\n"
         "catalogue cannot be read.\n"},
        {IDS_FIND_BOTH_KINDS, "--files and --folders exclude each other"},
        {IDS_FIND_BAD_LIMIT, "--limit needs a number, not \"%s\""},
        {IDS_FIND_NO_TEXT, "find needs a TEXT"},
        {IDS_FIND_ONE_PATTERN, "--glob takes one pattern"},
        {IDS_COPIES_USAGE,
         "Usage: stowlist-cli copies [OPTION]... [TEXT]...\n"
         "Counts the media that hold each file of the catalogue of reports. Files with\n"
         "the same SHA-256 digest (from the manifests of their reports) are one file;\n"
         "a file without one is the file of the same name (ignoring case), size, date\n"
         "and time. A medium is a tag's medium (CD01 of CD01-03), or a listing's report.\n"
         "One line per file: copies, media (comma-separated), folder, name, size,\n"
         "separated by tabs, ordered by copies, media, folder and name. With TEXTs, only\n"
         "files with a copy whose name holds every TEXT, ignoring case.\n"
         "\n"},
        {IDS_COPIES_HELP_CATALOGUE,
         "  --catalogue FILE  the catalogue (default $XDG_DATA_HOME/stowlist/catalogue.sqlite)\n"},
        {IDS_COPIES_HELP_FEWER_THAN, "  --fewer-than N    files on fewer than N media (2: on one medium only)\n"},
        {IDS_COPIES_HELP_AT_LEAST, "  --at-least N      files on N media or more\n"},
        {IDS_COPIES_HELP_MEDIUM, "  --medium PREFIX   files with a copy on a medium whose name starts with PREFIX\n"},
        {IDS_COPIES_HELP_BY, "  --by name         a file without a digest is the file of the same name and size\n"},
        {IDS_COPIES_HELP_SUMMARY,
         "  --summary         one line per medium instead: medium, files, bytes, and the\n"
         "                    files and bytes held on no other medium\n"},
        {IDS_COPIES_HELP_JSON, "  --json            one JSON object per line\n"},
        {IDS_COPIES_USAGE_TAIL,
         "  -h, --help        this text; --version\n"
         "\n"
         "Exit status: 0 something printed, 1 nothing matches (or no catalogue yet),\n"
         "2 bad usage, 3 the catalogue cannot be read.\n"},
        {IDS_COPIES_BAD_COUNT, "%s needs a whole number above 0, not \"%s\""},
        {IDS_COPIES_BOTH_COUNTS, "--fewer-than and --at-least exclude each other"},
        {IDS_COPIES_BAD_BY, "--by takes name, not \"%s\""},
        {IDS_CATALOGUE_USAGE,
         "Usage: stowlist-cli catalogue [--catalogue FILE] add|remove PATH...\n"
         "       stowlist-cli catalogue [--catalogue FILE] refresh|compact|list\n"
         "Keeps the catalogue of reports that find searches.\n"
         "\n"
         "  add PATH...     adds report files, archive logs and folders of reports (searched recursively)\n"
         "  remove PATH...  forgets them\n"
         "  refresh         reads changed reports again and looks for new ones in the folders\n"
         "  compact         merges the catalogue's index into as few files as it can\n"
         "  list            one line per source: state, kind, entries, path (tab-separated)\n"},
        {IDS_CATALOGUE_HELP_CATALOGUE,
         "  --catalogue FILE  the catalogue (default $XDG_DATA_HOME/stowlist/catalogue.sqlite)\n"},
        {IDS_CATALOGUE_USAGE_TAIL,
         "  -h, --help        this text; --version\n"
         "\n"
         "Exit status: 0 done, 2 bad usage, 3 the catalogue cannot be opened or written,\n"
         "or a path to add does not exist.\n"},
        {IDS_CATALOGUE_NO_ACTION, "catalogue needs add, remove, refresh or list"},
        {IDS_CATALOGUE_UNKNOWN_ACTION, "unknown action %s"},
        {IDS_CATALOGUE_NEEDS_PATH, "%s needs a PATH"},
        {IDS_CATALOGUE_NO_PATH_TAKEN, "%s takes no PATH"},
        {IDS_VERIFY_USAGE,
         "Usage: stowlist-cli verify [OPTION]... REPORT PATH...\n"
         "Checks what was dropped (the PATHs: folders and files, or a medium's root\n"
         "with a trailing \"/\") against REPORT, and against its checksum manifest\n"
         "when there is one. One line per difference, KIND<TAB>PATH<TAB>DETAIL,\n"
         "where KIND is changed, missing, new, moved, corrupt or unreadable; then\n"
         "the counts.\n"
         "\n"},
        {IDS_VERIFY_HELP_MANIFEST, "  --manifest FILE      the checksum manifest (default: beside REPORT, .sha256 for .txt)\n"},
        {IDS_VERIFY_HELP_NO_CHECKSUMS, "  --no-checksums       no hashing, even with a manifest\n"},
        {IDS_VERIFY_HELP_LOG, "  --log FILE           the archive log of an archive report (default: the catalogue's)\n"},
        {IDS_VERIFY_HELP_ALL, "  --all                ok lines too\n"},
        {IDS_VERIFY_HELP_JSON, "  --json               one JSON object per line, the counts last\n"},
        {IDS_VERIFY_HELP_SETTINGS, "  --settings FILE      the settings file\n"},
        {IDS_VERIFY_HELP_CATALOGUE, "  --catalogue FILE     the catalogue that knows the report's log\n"},
        {IDS_VERIFY_HELP_HIDDEN, "  --include-hidden, --exclude-hidden\n"},
        {IDS_VERIFY_HELP_SUBFOLDERS, "  --subfolders, --no-subfolders\n"},
        {IDS_VERIFY_HELP_EMPTY,
         "  --keep-empty, --exclude-empty\n"
         "                       how the drop was walked, when the report cannot tell\n"},
        {IDS_VERIFY_USAGE_TAIL,
         "  -h, --help           this text; --version\n"
         "\n"
         "Exit status: 0 everything ok, 1 differences, 2 bad usage, 3 REPORT, the\n"
         "manifest or a PATH cannot be read.\n"},
        {IDS_VERIFY_NO_REPORT, "verify needs a REPORT and a PATH"},
        {IDS_VERIFY_NO_PATH, "verify needs a PATH to check"},
        {IDS_VERIFY_MANIFEST_WITHOUT_CHECKSUMS, "--manifest and --no-checksums exclude each other"},
        {IDS_COMPARE_USAGE,
         "Usage: stowlist-cli compare [OPTION]... OLD NEW\n"
         "Compares two reports of one medium or folder, neither of them mounted: what\n"
         "changed from OLD to NEW. One line per difference, KIND<TAB>PATH<TAB>DETAIL,\n"
         "where KIND is changed, missing, new, moved or corrupt, in OLD's order; then\n"
         "the counts. Paths are relative to each report's base, so a medium catalogued\n"
         "under another mount point compares clean.\n"
         "\n"},
        {IDS_COMPARE_HELP_LOGS,
         "  --old-log FILE, --new-log FILE\n"
         "                       the archive log of an archive report (default: the catalogue's)\n"},
        {IDS_COMPARE_HELP_MANIFESTS,
         "  --old-manifest FILE, --new-manifest FILE\n"
         "                       a report's checksum manifest (default: beside the report,\n"
         "                       .sha256 for .txt, or the catalogue's)\n"},
        {IDS_COMPARE_HELP_NO_CHECKSUMS, "  --no-checksums       no digests, even with manifests\n"},
        {IDS_COMPARE_HELP_ALL, "  --all                ok lines too\n"},
        {IDS_COMPARE_HELP_FOLDERS,
         "  --folders            instead: the folders whose totals differ, FOLDER<TAB>files\n"
         "                       in OLD<TAB>files in NEW<TAB>bytes in OLD<TAB>bytes in NEW\n"},
        {IDS_COMPARE_HELP_JSON, "  --json               one JSON object per line, the counts last\n"},
        {IDS_COMPARE_HELP_CATALOGUE, "  --catalogue FILE     the catalogue that knows the reports' logs and manifests\n"},
        {IDS_COMPARE_USAGE_TAIL,
         "  -h, --help           this text; --version\n"
         "\n"
         "Exit status: 0 the reports match, 1 they differ, 2 bad usage, 3 a report,\n"
         "log or manifest cannot be read.\n"},
        {IDS_COMPARE_NO_REPORTS, "compare needs two reports, OLD and NEW"},
        {IDS_COMPARE_TWO_REPORTS, "compare takes two reports"},
        {IDS_COMPARE_EMPTY_REPORT, "a report's name is empty"},
        {IDS_COMPARE_MANIFEST_WITHOUT_CHECKSUMS, "a manifest and --no-checksums exclude each other"},
        {IDS_COMPARE_ALL_WITH_FOLDERS, "--all and --folders exclude each other"},
        {IDS_PLAN_HELP_MEDIA_TYPE, "      --media-type TYPE    CD, DAT, DLT, JAZ or ZIP, any case (default: stored MediaType)\n"},
        {IDS_PLAN_HELP_CAPACITY,
         "      --capacity SIZE      bytes per medium: a number, or with k, M, G, T (powers of\n"
         "                           1000) or KiB, MiB, GiB, TiB (default for CD: 737280000)\n"},
        {IDS_PLAN_HELP_BLOCK_SIZE, "      --block-size N       bytes per block (default: 2048 for CD, else 512)\n"},
        {IDS_PLAN_HELP_RESERVE, "      --reserve SIZE       kept free on every medium (default: 0)\n"},
        {IDS_PLAN_HELP_MEDIA_NUMBER, "      --media-number N     the first medium's number (default: stored MediaNumber)\n"},
        {IDS_PLAN_HELP_ARCHIVES, "      --multiple-archives | --single-archive   each dropped folder an archive\n"},
        {IDS_PLAN_HELP_PATH_LISTS,
         "      --path-lists DIR     write each medium's graft points to DIR/TAG.path-list\n"
         "                           (xorriso -as mkisofs and genisoimage -graft-points -path-list)\n"},
        {IDS_PLAN_HELP_OUTPUT,
         "  -o, --output REPORT      write the archive report of the plan to REPORT, add it to\n"
         "                           the catalogue and advance the stored MediaNumber\n"},
        {IDS_PLAN_HELP_LOG, "      --log FILE           write its archive log to FILE\n"},
        {IDS_PLAN_HELP_JSON, "      --json               one JSON object per medium on standard output\n"},
        {IDS_PLAN_HELP_SETTINGS, "      --settings FILE      settings file (default: the desktop program's)\n"},
        {IDS_PLAN_HELP_CATALOGUE, "      --catalogue FILE     --no-catalogue\n"},
        {IDS_PLAN_HELP_HIDDEN, "      --exclude-hidden | --include-hidden   (ExcludeHiddenSystemInfo)\n"},
        {IDS_PLAN_HELP_SUBFOLDERS, "      --no-subfolders | --subfolders   (ExcludeSubFolders)\n"},
        {IDS_PLAN_HELP_GROUPING, "      --grouping | --no-grouping       thousands separators in the numbers\n"},
        {IDS_PLAN_USAGE_TAIL,
         "  -h, --help               --version\n"
         "\n"
         "Exit status: 0 plan made; 1 something did not fit (named on standard error, the\n"
         "rest planned); 2 bad usage; 3 a PATH that does not exist, or a file that cannot\n"
         "be written.\n"},
        {58801, "no SHA-256 checksum (64 hexadecimal digits) at the start"},
        {58802, "the checksum is not followed by two spaces or by a space and \"*\""},
        {58803, "no file name after the checksum"},
        {58804, "a backslash other than \\\\, \\n or \\r in an escaped file name"},
        {58805, "a NUL byte in the line"},
        {IDS_MANIFEST_FAULT_LINE, "line %lld: %s"},
        {IDS_FIND_TITLE, "Find in Reports"},
        {IDS_FIND_PLACEHOLDER, "Name contains..."},
        {IDS_FIND_KINDS_ALL, "Files and folders"},
        {IDS_FIND_KINDS_FILES, "Files"},
        {IDS_FIND_KINDS_FOLDERS, "Folders"},
        {IDS_FIND_KINDS_ONE_MEDIUM, "On one medium only"},
        {IDS_FIND_MEDIUM_PLACEHOLDER, "Medium starts with..."},
        {IDS_FIND_REPORTS_BUTTON, "&Reports..."},
        {IDS_FIND_COLUMNS, "Name\tSize\tDate\tTime\tMedium\tFolder\tCopies\tReport"},
        {IDS_FIND_HITS, "%s hits in %s"},
        {IDS_FIND_ONE_HIT, "1 hit in %s"},
        {IDS_FIND_NO_HITS, "No hits in %s"},
        {IDS_FIND_SEARCHING, "Searching..."},
        {IDS_FIND_READY, "Type part of a name; * ? [ make a pattern of the whole name"},
        {IDS_FIND_FAILED, "The catalogue cannot be read: %s"},
        {IDS_FIND_SORT_LIMIT, "%s hits in %s, shown by medium, folder and name: up to %s hits can be sorted"},
        {IDS_FIND_OPEN_REPORT, "&Open report"},
        {IDS_FIND_COPY_LINE, "&Copy line"},
        {IDS_FIND_COPY_PATH, "Copy report &path"},
        {IDS_FIND_SHOW_FOLDER, "&Show report folder"},
        {IDS_FIND_READING, "Reading reports (%s of %s)..."},
        {IDS_FIND_READ_DONE, "The catalogue holds %s reports"},
        {IDS_FIND_HELP_TOPIC, "find.htm"},
        {IDS_SOURCES_TITLE, "Reports in the Catalogue"},
        {IDS_SOURCES_COLUMNS, "State\tKind\tEntries\tPath"},
        {IDS_SOURCE_STATE_FIRST, "ok"},
        {58925, "changed"},
        {58926, "missing"},
        {58927, "unreadable"},
        {IDS_SOURCE_KIND_FIRST, "report"},
        {58929, "log"},
        {58930, "folder"},
        {IDS_SOURCES_ADD_FOLDER, "Add &folder..."},
        {IDS_SOURCES_ADD_FILES, "Add f&iles..."},
        {IDS_SOURCES_REMOVE, "&Remove"},
        {IDS_SOURCES_REFRESH, "Re&fresh"},
        {IDS_SOURCES_ADD_REPORTS, "&Add every report that Stowlist writes"},
        {IDS_SOURCES_CLOSE, "&Close"},
        {IDS_SOURCES_CHOOSE_FOLDER, "Add a Folder of Reports"},
        {IDS_SOURCES_CHOOSE_FILES, "Add Reports"},
        {IDS_SOURCES_FILE_FILTER, "Reports and logs (*.txt *.log *.lst);;All files (*)"},
        {IDS_CATALOGUE_NOT_ADDED, "Not added to the catalogue: %s"},
        {IDS_FIND_REPORT_COUNT, "%s reports"},
        {IDS_FIND_ONE_REPORT, "1 report"},
        {IDS_VERIFY_ACTION, "&Verify against..."},
        {IDS_VERIFY_CHOOSE_FOLDER, "Verify Against a Folder or Medium"},
        {IDS_VERIFY_CAPTION, "Verify"},
        {IDS_VERIFY_PROGRESS_TITLE, "Verifying"},
        {IDS_VERIFY_PROGRESS, "Checking %s against its report %s..."},
        {IDS_VERIFY_CANCELLING, "Cancelling..."},
        {IDS_VERIFY_CANCEL, "Cancel"},
        {IDS_VERIFY_RESULT_TITLE, "Verified: %s"},
        {IDS_VERIFY_REPORT_AND_FOLDER, "Report: %s\nChecked: %s"},
        {IDS_VERIFY_SHOW, "&Show:"},
        {IDS_VERIFY_ALL_KINDS, "All kinds"},
        {IDS_VERIFY_SHOWN, "%s of %s lines shown"},
        {IDS_VERIFY_COLUMNS, "Kind\tPath\tDetail"},
        {IDS_VERIFY_COPY, "&Copy"},
        {IDS_VERIFY_SAVE, "&Save..."},
        {IDS_VERIFY_CLOSE, "Close"},
        {IDS_VERIFY_SAVE_TITLE, "Save the Check"},
        {IDS_VERIFY_SAVE_FILTER, "Text files (*.txt);;All files (*)"},
        {IDS_VERIFY_SAVE_SUFFIX, "-verify.txt"},
        {IDS_VERIFY_NOT_SAVED, "The check could not be saved to %s: %s"},
        {IDS_VERIFY_NOT_CHECKED, "The check could not be made: %s"},
        {IDS_VERIFY_HELP_TOPIC, "find.htm#verify"},
        {IDS_COMPARE_ACTION, "C&ompare..."},
        {IDS_COMPARE_CAPTION, "Compare"},
        {IDS_COMPARE_PROGRESS_TITLE, "Comparing"},
        {IDS_COMPARE_PROGRESS, "Comparing the report %s with the older %s..."},
        {IDS_COMPARE_RESULT_TITLE, "Compared: %s with %s"},
        {IDS_COMPARE_OLD_AND_NEW, "Old: %s\nNew: %s"},
        {IDS_COMPARE_NOT_COMPARED, "The reports could not be compared: %s"},
        {IDS_COMPARE_HELP_TOPIC, "find.htm#compare"},
        {IDS_CATALOGUE_WARNING, "Catalogue: %s"},
        {IDS_CHECKSUMS_PROGRESS, "Checksums: %d%%"},
        {IDS_CHECKSUMS_CANCEL, "Cancel"},
        {IDS_CHECKSUMS_UNREADABLE, "%d files could not be read; the checksum manifest leaves them out:"},
        {IDS_CHECKSUMS_UNREADABLE_ONE, "cannot read %s: %s"},
        {IDS_CHECKSUMS_NOT_WRITTEN, "The checksum manifest %s could not be written: %s"},
        {IDS_CHECKSUMS_TITLE, "Checksums"},
        {IDS_CHECKSUMS_FAILED, "The checksums could not be made: %s"},
        {IDS_HELP_CHECKSUMS, "options.htm#checksums"},
    };
    return table;
}

} // namespace

const std::string& LoadString(int id) {
    static const std::string empty;
    const auto& table = Table();
    auto it = table.find(id);
    return it == table.end() ? empty : it->second;
}
